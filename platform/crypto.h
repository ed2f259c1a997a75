// MD5 digests (RFC 1321).
#pragma once
#include <cstddef>
#include <cstdint>

namespace plat {

// The 16-byte digest of the bytes; false when no MD5 routines are available on this system.
bool md5Digest(const void* bytes, size_t length, uint8_t digest[16]);

}  // namespace plat
