// Sizes that come from outside (a file's length, a container's fields) added up in 32 bits, as
// the setup is built: a sum that does not fit is refused, never wrapped into a small block.
#pragma once
#include <cstdint>

// a + b in `sum`; false (and `sum` untouched) when it does not fit in 32 bits.
constexpr bool addSizes(uint32_t a, uint32_t b, uint32_t& sum) {
    if (a > UINT32_MAX - b) return false;
    sum = a + b;
    return true;
}

// The room for a file of `length` bytes, its compressed form of at most `bound` bytes and one
// byte more, in 32 bits; false when a file that long cannot be given room.
constexpr bool packingRoom(uint64_t length, uint64_t bound, uint32_t& room) {
    uint32_t sum = 0;
    return length <= UINT32_MAX && bound <= UINT32_MAX &&
           addSizes(static_cast<uint32_t>(length), static_cast<uint32_t>(bound), sum) && addSizes(sum, 1, room);
}
