#include "common/Codec936.h"

#include <gtest/gtest.h>

namespace {

struct CodecCase {
    const char* name;
    QString text;
    qsizetype bytes;
    QString cut79; // the text as the 79-byte cut leaves it
};

QString repeat(const QString& s, int n) { return s.repeated(n); }

std::vector<CodecCase> cases() {
    return {
        {"empty", "", 0, ""},
        {"ascii", "hello", 5, "hello"},
        {"header", QString::fromUtf8("[墨枫哨兵1.00]"), 14, QString::fromUtf8("[墨枫哨兵1.00]")},
        {"chinese", QString::fromUtf8("关键字"), 6, QString::fromUtf8("关键字")},
        {"mixed", QString::fromUtf8("a关b"), 4, QString::fromUtf8("a关b")},
        // An emoji has no code page 936 form: it becomes one "?".
        {"emoji", QString::fromUtf8("x😀y"), 3, "x?y"},
        {"100 ascii", repeat("a", 100), 100, repeat("a", 79)},
        // 40 double-byte characters are 80 bytes: the cut keeps 39 (78 bytes), never half.
        {"40 chinese", repeat(QString::fromUtf8("墨"), 40), 80, repeat(QString::fromUtf8("墨"), 39)},
        // One byte, then double-byte characters: 1 + 39 * 2 = 79 exactly.
        {"odd start", "a" + repeat(QString::fromUtf8("墨"), 40), 81,
         "a" + repeat(QString::fromUtf8("墨"), 39)},
        {"78 then chinese", repeat("b", 78) + QString::fromUtf8("墨"), 80, repeat("b", 78)},
    };
}

TEST(Codec936, ByteLengthsAndCuts) {
    for (const CodecCase& c : cases()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Codec936::byteLength(c.text), c.bytes);
        EXPECT_EQ(Codec936::cutToBytes(c.text, 79), c.cut79);
        EXPECT_LE(Codec936::byteLength(Codec936::cutToBytes(c.text, 79)), 79);
    }
}

TEST(Codec936, RoundTripAndBytes) {
    const QString header = QString::fromUtf8("[墨枫哨兵1.00]");
    const QByteArray bytes = Codec936::encode(header);
    EXPECT_EQ(bytes.toHex(), QByteArray("5bc4abb7e3c9dab1f8312e30305d"));
    EXPECT_EQ(Codec936::decode(bytes), header);
    EXPECT_TRUE(Codec936::canEncode(header));
    EXPECT_FALSE(Codec936::canEncode(QString::fromUtf8("😀")));
    EXPECT_TRUE(Codec936::canEncode(QStringLiteral("?")));
}

TEST(Codec936, CutBytesKeepsCharacterBoundaries) {
    const QByteArray two = Codec936::encode(QString::fromUtf8("墨枫"));
    ASSERT_EQ(two.size(), 4);
    EXPECT_EQ(Codec936::cutBytes(two, 3), two.left(2));
    EXPECT_EQ(Codec936::cutBytes(two, 1), QByteArray());
    EXPECT_EQ(Codec936::cutBytes(two, 0), QByteArray());
    EXPECT_EQ(Codec936::cutBytes(two, 10), two);
    // A lone lead byte at the very end is one (broken) character and may be kept whole.
    const QByteArray broken("ab\x81", 3);
    EXPECT_EQ(Codec936::cutBytes(broken, 3), broken);
}

} // namespace
