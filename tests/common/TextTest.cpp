#include "common/Text.h"

#include <gtest/gtest.h>

namespace {
const std::u16string kBad(1, char16_t(0xFFFD));
}

TEST(Text, Utf8RoundTrips) {
    for (const std::u16string& text :
         {std::u16string(u""), std::u16string(u"abc"), std::u16string(u"墨枫哨兵 1.00"),
          std::u16string(u"é€ß"), std::u16string(u"x😀y")}) {
        EXPECT_EQ(Text::fromUtf8(Text::toUtf8(text)), text);
    }
    EXPECT_EQ(Text::toUtf8(u"墨"), "\xe5\xa2\xa8");
    EXPECT_EQ(Text::toUtf8(u"😀"), "\xf0\x9f\x98\x80");
}

TEST(Text, IllFormedInputBecomesReplacementCharacters) {
    EXPECT_EQ(Text::toUtf8(std::u16string(u"a") + char16_t(0xDC00) + u"b"), "a\xef\xbf\xbd"
                                                                            "b");
    struct Case {
        const char* name;
        std::string bytes;
        std::u16string text;
    };
    const Case cases[] = {
        {"stray continuation",
         "a\x80"
         "b",
         u"a" + kBad + u"b"},
        {"cut sequence at the end", "a\xe5\xa2", u"a" + kBad + kBad},
        {"overlong slash", "\xc0\xaf", kBad + kBad},
        {"encoded surrogate", "\xed\xa0\x80", kBad + kBad + kBad},
        {"beyond U+10FFFF", "\xf4\x90\x80\x80", kBad + kBad + kBad + kBad},
        {"lead before ASCII keeps the ASCII",
         "\xe5"
         "ab",
         kBad + u"ab"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Text::fromUtf8(c.bytes), c.text);
    }
}
