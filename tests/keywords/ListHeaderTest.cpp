#include "keywords/ListHeader.h"

#include "platform/qt/QtCodec936.h"

#include <gtest/gtest.h>

namespace {

TEST(ListHeader, LineAndPrefix) {
    EXPECT_EQ(ListHeader::line(), QString::fromUtf8("[墨枫哨兵1.00]"));
    EXPECT_EQ(ListHeader::line().size(), 10);
    EXPECT_EQ(QtCodec936::encode(ListHeader::line()).size(), 14);
    EXPECT_EQ(ListHeader::prefix(), QString::fromUtf8("[墨枫哨兵"));
}

TEST(ListHeader, VersionOfFirstLine) {
    const struct {
        const char* line;
        const char* version;
    } cases[] = {
        {"[墨枫哨兵1.00]", "1.00"},
        {"[墨枫哨兵1.00]more text", "1.00"},
        {"[墨枫哨兵]", "]"},
        {"[墨枫哨兵", ""},
        {"[墨枫哨兵1", "1"},
        {"[墨枫哨兵12345678", "1234"},
        {"墨枫哨兵1.00]", ""},
        {"[墨枫哨1.00]", ""},
        {"", ""},
        {" [墨枫哨兵1.00]", ""},
        {"[墨枫哨兵1.00]\nkeyword\n", "1.00"},
        {"[墨枫哨兵\n1.0", "\n1.0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(ListHeader::versionOf(QString::fromUtf8(c.line)), QString::fromUtf8(c.version));
    }
}

TEST(ListHeader, ValueOfVersionText) {
    const struct {
        const char* text;
        double value;
        bool readable;
    } cases[] = {
        {"1.00", 1.0, true},   {"1", 1.0, true},      {"1]", 1.0, true},    {"0.90", 0.9, true},
        {"]", 0.0, true},      {"", 0.0, true},       {"abcd", 0.0, true},  {"1.01", 1.01, false},
        {"2.00", 2.0, false},  {"1.50", 1.5, false},  {".5", 0.5, true},    {"1.", 1.0, true},
        {" 1.5", 1.5, false},  {"1 .5", 1.5, false},  {"1 0", 10.0, false}, {"\t2", 2.0, false},
        {"1\n.5", 1.5, false}, {"-2.0", -2.0, true},  {"+2", 2.0, false},   {"- 3", -3.0, true},
        {"--2", 0.0, true},    {"1.2.3", 1.2, false}, {"1a", 1.0, true},    {"1e9", 1.0, true},
        {"0x10", 0.0, true},   {"１.00", 0.0, true}, // a full-width digit is no digit
        {"1,5", 1.0, true},                          // the comma is no decimal point
        {"00.9", 0.9, true},   {"0009", 9.0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const QString text = QString::fromUtf8(c.text);
        EXPECT_DOUBLE_EQ(ListHeader::valueOf(text), c.value);
        EXPECT_EQ(ListHeader::isReadable(text), c.readable);
    }
}

} // namespace
