#include "platform/xdg/XdgEscapes.h"

#include <gtest/gtest.h>

namespace {

const XdgEscapes::Rules kDesktopEntry{.space = true, .keepUnknown = true};
const XdgEscapes::Rules kSettings{};

QString unescape(const char* text, XdgEscapes::Rules rules) {
    return XdgEscapes::unescape(QString::fromUtf8(text), rules);
}

TEST(XdgEscapes, ControlLettersAndBackslashUnderBothRules) {
    for (const XdgEscapes::Rules rules : {kDesktopEntry, kSettings}) {
        EXPECT_EQ(unescape("a\\nb\\tc\\rd\\\\e", rules), QString("a\nb\tc\rd\\e"));
        EXPECT_EQ(unescape("plain", rules), QString("plain"));
        EXPECT_EQ(unescape("", rules), QString());
        EXPECT_EQ(unescape("ends\\", rules), QString("ends\\")); // a lone last backslash stays
    }
}

TEST(XdgEscapes, SpaceEscapeOnlyWhereTheRulesKnowIt) {
    EXPECT_EQ(unescape("\\sled", kDesktopEntry), QString(" led"));
    EXPECT_EQ(unescape("\\sled", kSettings), QString("sled"));
}

TEST(XdgEscapes, UnknownEscapeKeptOrReducedToItsCharacter) {
    EXPECT_EQ(unescape("a\\=b\\\"c", kDesktopEntry), QString("a\\=b\\\"c"));
    EXPECT_EQ(unescape("a\\=b\\/c\\[d\\]", kSettings), QString("a=b/c[d]"));
}

} // namespace
