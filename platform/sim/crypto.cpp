// The simulated advapi32's MD5: libcrypto's, unless the machine is one without MD5 routines.
#include "platform/crypto.h"

#include "platform/host/md5.h"
#include "platform/sim/machine.h"

namespace plat {

bool md5Digest(const void* bytes, size_t length, uint8_t digest[16]) {
    if (sim::Machine* m = sim::current(); m != nullptr && !m->hasMd5) return false;
    host::md5(bytes, length, digest);
    return true;
}

}  // namespace plat
