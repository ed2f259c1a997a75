#include "platform/crypto.h"

#include <windows.h>

#include "platform/win32/library.h"

#include <cstring>

namespace plat {

namespace {
// The context layout of advapi32's MD5 routines.
struct Md5Context {
    ULONG i[2];
    ULONG buf[4];
    unsigned char in[64];
    unsigned char digest[16];
};
using Md5Init = void(WINAPI*)(Md5Context*);
using Md5Update = void(WINAPI*)(Md5Context*, const unsigned char*, unsigned int);
using Md5Final = void(WINAPI*)(Md5Context*);
}  // namespace

bool md5Digest(const void* bytes, size_t length, uint8_t digest[16]) {
    HMODULE advapi = loadSystemLibrary("advapi32.dll");
    if (advapi == nullptr) return false;
    auto init = reinterpret_cast<Md5Init>(reinterpret_cast<void*>(GetProcAddress(advapi, "MD5Init")));
    auto update =
        reinterpret_cast<Md5Update>(reinterpret_cast<void*>(GetProcAddress(advapi, "MD5Update")));
    auto final =
        reinterpret_cast<Md5Final>(reinterpret_cast<void*>(GetProcAddress(advapi, "MD5Final")));
    bool ok = init != nullptr && update != nullptr && final != nullptr;
    if (ok) {
        Md5Context context;
        std::memset(&context, 0, sizeof context);
        init(&context);
        update(&context, static_cast<const unsigned char*>(bytes), static_cast<unsigned>(length));
        final(&context);
        std::memcpy(digest, context.digest, 16);
    }
    FreeLibrary(advapi);
    return ok;
}

}  // namespace plat
