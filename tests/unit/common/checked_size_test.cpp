#include "common/checked_size.h"

#include <gtest/gtest.h>
#include <zlib.h>

// The 32-bit sums at their limits, whatever the width of the host's size_t.
TEST(CheckedSize, SumsThatDoNotFitIn32BitsAreRefused) {
    const struct {
        uint32_t a, b;
        bool fits;
    } sums[] = {
        {0, 0, true},          {UINT32_MAX, 0, true},          {UINT32_MAX, 1, false},
        {0x80000000u, 0x7FFFFFFFu, true}, {0x80000000u, 0x80000000u, false}, {1, UINT32_MAX, false},
    };
    for (const auto& c : sums) {
        uint32_t sum = 7;
        EXPECT_EQ(addSizes(c.a, c.b, sum), c.fits) << c.a << " + " << c.b;
        EXPECT_EQ(sum, c.fits ? c.a + c.b : 7u) << c.a << " + " << c.b;
    }
    // A file, zlib's bound for it and a byte: the last length that fits, the first that wraps.
    const struct {
        uint64_t length;
        bool fits;
    } files[] = {{0, true}, {2147155979, true}, {2147155980, false}, {0xFFFFFFFFull, false}, {1ull << 32, false}};
    for (const auto& c : files) {
        uint32_t room = 0;
        EXPECT_EQ(packingRoom(c.length, compressBound(static_cast<uLong>(c.length)), room), c.fits) << c.length;
        if (c.length == 2147155979) {
            EXPECT_EQ(room, UINT32_MAX);
        }
    }
}
