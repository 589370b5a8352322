#include "common/Codec936.h"

#include <gtest/gtest.h>

// The cut on bytes needs no conversion: it only knows which bytes lead a double-byte
// character.
TEST(Codec936, CutBytesKeepsCharacterBoundaries) {
    const std::string two = "\xc4\xab\xb7\xe3"; // 墨枫
    EXPECT_EQ(Codec936::cutBytes(two, 3), two.substr(0, 2));
    EXPECT_EQ(Codec936::cutBytes(two, 1), "");
    EXPECT_EQ(Codec936::cutBytes(two, 0), "");
    EXPECT_EQ(Codec936::cutBytes(two, 10), two);
    // A lone lead byte at the very end is one (broken) character and may be kept whole.
    const std::string broken("ab\x81", 3);
    EXPECT_EQ(Codec936::cutBytes(broken, 3), broken);
    EXPECT_EQ(Codec936::cutBytes("a\xc4\xab", 2), "a");
}
