// MD5 on the host builds, from libcrypto.
#pragma once
#include <cstddef>
#include <cstdint>

namespace host {

void md5(const void* bytes, size_t length, uint8_t digest[16]);

}  // namespace host
