#include "common/Codec936Contract.h"

#include <gtest/gtest.h>

namespace {

struct CodecCase {
    const char* name;
    std::u16string text;
    std::string bytes;    // the encoding
    std::u16string cut79; // the text as the 79-byte cut leaves it
};

std::u16string repeat(std::u16string_view s, int n) {
    std::u16string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

std::string repeatBytes(std::string_view s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

std::vector<CodecCase> cases() {
    return {
        {"empty", u"", "", u""},
        {"ascii", u"hello", "hello", u"hello"},
        {"header", u"[墨枫哨兵1.00]",
         "[\xc4\xab\xb7\xe3\xc9\xda\xb1\xf8"
         "1.00]",
         u"[墨枫哨兵1.00]"},
        {"chinese", u"关键字", "\xb9\xd8\xbc\xfc\xd7\xd6", u"关键字"},
        {"mixed", u"a关b",
         "a\xb9\xd8"
         "b",
         u"a关b"},
        {"euro at 0x80", u"€5",
         "\x80"
         "5",
         u"€5"},
        {"pinyin", u"é", "\xa8\xa6", u"é"},
        // A character without a code page 936 form becomes one "?", a pair of surrogates
        // too.
        {"emoji", u"x😀y", "x?y", u"x?y"},
        {"n tilde and check", u"ñ✓", "??", u"??"},
        {"lone surrogate", std::u16string(u"a") + char16_t(0xD800) + u"b", "a?b", u"a?b"},
        {"100 ascii", repeat(u"a", 100), repeatBytes("a", 100), repeat(u"a", 79)},
        // 40 double-byte characters are 80 bytes: the cut keeps 39 (78 bytes), never half.
        {"40 chinese", repeat(u"墨", 40), repeatBytes("\xc4\xab", 40), repeat(u"墨", 39)},
        // One byte, then double-byte characters: 1 + 39 * 2 = 79 exactly.
        {"odd start", u"a" + repeat(u"墨", 40), "a" + repeatBytes("\xc4\xab", 40),
         u"a" + repeat(u"墨", 39)},
        {"78 then chinese", repeat(u"b", 78) + u"墨", repeatBytes("b", 78) + "\xc4\xab",
         repeat(u"b", 78)},
    };
}

struct DecodeCase {
    const char* name;
    std::string bytes;
    std::u16string text;
};

std::vector<DecodeCase> decodeCases() {
    const std::u16string bad(1, char16_t(0xFFFD));
    return {
        // A window title cut in the middle of a character loses the half character.
        {"a lone lead byte at the end", "ab\x81", u"ab"},
        // The system's table gives 0xFF a character of the private use area.
        {"0xFF",
         "a\xff"
         "b",
         u"a\uF8F5b"},
        {"a lead byte before ASCII keeps the ASCII", "\x81 x", bad + u" x"},
    };
}

} // namespace

void expectCodec936Contract(const Codec936& codec) {
    for (const CodecCase& c : cases()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(codec.encode(c.text), c.bytes);
        EXPECT_EQ(codec.byteLength(c.text), c.bytes.size());
        EXPECT_EQ(codec.cutToBytes(c.text, 79), c.cut79);
        EXPECT_LE(codec.byteLength(codec.cutToBytes(c.text, 79)), 79u);
        if (c.bytes.find('?') == std::string::npos) {
            EXPECT_TRUE(codec.canEncode(c.text));
            EXPECT_EQ(codec.decode(c.bytes), c.text);
        } else {
            EXPECT_FALSE(codec.canEncode(c.text));
        }
    }
    for (const DecodeCase& c : decodeCases()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(codec.decode(c.bytes), c.text);
    }
    EXPECT_TRUE(codec.canEncode(u"?"));
    const std::vector<std::u16string> lost{u"ñ", u"😀", u"✓"};
    EXPECT_EQ(codec.unencodable(u"añ😀b✓ñ色"), lost);
    EXPECT_TRUE(codec.unencodable(u"色情 é €").empty());
}
