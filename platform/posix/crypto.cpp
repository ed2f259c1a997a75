// The host tools' MD5: libcrypto's.
#include "platform/crypto.h"
#include "platform/host/md5.h"

namespace plat {

bool md5Digest(const void* bytes, size_t length, uint8_t digest[16]) {
    host::md5(bytes, length, digest);
    return true;
}

}  // namespace plat
