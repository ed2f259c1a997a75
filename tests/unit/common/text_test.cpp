#include "common/text.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Text, CopyCutsAtCapacityAndTerminates) {
    char buffer[6];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_FALSE(copyText(buffer, "abcdefgh"));
    EXPECT_STREQ(buffer, "abcde");
    EXPECT_TRUE(copyText(buffer, "ab"));
    EXPECT_STREQ(buffer, "ab");
}

TEST(Text, AppendNeverPassesTheEnd) {
    char buffer[8] = "abc";
    EXPECT_TRUE(appendText(buffer, "de"));
    EXPECT_STREQ(buffer, "abcde");
    EXPECT_FALSE(appendText(buffer, "fghij"));
    EXPECT_STREQ(buffer, "abcdefg");
    // A field that holds no terminator is cut, not read past.
    char full[4] = {'a', 'b', 'c', 'd'};
    EXPECT_FALSE(appendText(full, sizeof full, "x"));
    EXPECT_EQ(full[3], '\0');
}

TEST(Text, FormatReportsCuts) {
    char buffer[10];
    EXPECT_TRUE(formatText(buffer, sizeof buffer, "%s%d", "ab", 12));
    EXPECT_STREQ(buffer, "ab12");
    EXPECT_FALSE(formatText(buffer, sizeof buffer, "%s", "0123456789abc"));
    EXPECT_STREQ(buffer, "012345678");
}

TEST(Text, LengthStopsAtCapacity) {
    char unterminated[3] = {'a', 'b', 'c'};
    EXPECT_EQ(textLength(unterminated, sizeof unterminated), 3u);
    EXPECT_EQ(textLength("ab", 3), 2u);
    EXPECT_TRUE(endsWithBackslash("c:\\x\\"));
    EXPECT_FALSE(endsWithBackslash(""));
}
