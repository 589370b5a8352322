#include "platform/x11/X11Text.h"

#include "platform/qt/QtCodec936.h"

#include <gtest/gtest.h>

namespace {

using Encoding = X11Text::Encoding;

QByteArray bytes(const char* s, qsizetype n) {
    return QByteArray(s, n);
}

// An extended segment of compound text: ESC % / and the octets a character (0 for a
// varying number), the length of what follows in two bytes of seven bits each, the
// encoding's name, STX and the text.
QByteArray extended(char octets, const QByteArray& name, const QByteArray& text) {
    const qsizetype length = name.size() + 1 + text.size();
    return QByteArray("\x1b%/") + octets + static_cast<char>(0x80 + length / 128) +
           static_cast<char>(0x80 + length % 128) + name + '\x02' + text;
}

// 色情 in GBK, and 丂 (its trail byte below 0x80) and 國 beyond GB 2312.
const QByteArray kGbk = bytes("\xc9\xab\xc7\xe9\x81\x40\x87\xf8", 8);
// 色情 in Big5.
const QByteArray kBig5 = bytes("\xa6\xe2\xb1\xa1", 4);

struct TitleCase {
    const char* name;
    QByteArray value;
    Encoding encoding;
    QString title; // as the ANSI interface gives it
};

std::vector<TitleCase> titleCases() {
    const QByteArray hundred(100, 'a');
    const QByteArray fiftyChinese = QString::fromUtf8("墨").repeated(50).toUtf8();
    return {
        {"empty", "", Encoding::Utf8, ""},
        {"ascii", "hello KEY", Encoding::Utf8, "hello KEY"},
        {"chinese and emoji", QString::fromUtf8("中文😀标题").toUtf8(), Encoding::Utf8,
         QString::fromUtf8("中文?标题")},
        {"100 single-byte characters", hundred, Encoding::Utf8, QString(79, QLatin1Char('a'))},
        {"50 double-byte characters", fiftyChinese, Encoding::Utf8,
         QString::fromUtf8("墨").repeated(39)},
        {"cut at the first NUL", bytes("abc\0KEY", 7), Encoding::Utf8, "abc"},
        {"broken UTF-8 bytes",
         bytes("\xff\xfe"
               "ab",
               4),
         Encoding::Utf8, "??ab"},
        {"Latin-1", bytes("caf\xe9", 4), Encoding::Latin1, QString::fromUtf8("café")},
        {"Latin-1 beyond code page 936", bytes("\xbf\xfe", 2), Encoding::Latin1, "??"},
        {"compound text, ASCII", "plain", Encoding::CompoundText, "plain"},
        {"compound text, Latin-1 right half", bytes("caf\xe9", 4), Encoding::CompoundText,
         QString::fromUtf8("café")},
        {"compound text, GB 2312 right half", "\x1b$)A" + QtCodec936::encode("中文") + " ok",
         Encoding::CompoundText, QString::fromUtf8("中文 ok")},
        {"compound text, GB 2312 left half", bytes("\x1b$(AVP\x1b(Bx", 10), Encoding::CompoundText,
         QString::fromUtf8("中x")},
        {"compound text, UTF-8 segment", "a\x1b%G" + QString::fromUtf8("中😀").toUtf8() + "\x1b%@b",
         Encoding::CompoundText, QString::fromUtf8("a中?b")},
        {"compound text, JIS X 0208 right half", bytes("\x1b$)B\xc3\xe6\xca\xb8z", 9),
         Encoding::CompoundText, QString::fromUtf8("中文z")},
        {"compound text, KS C 5601 left half", bytes("\x1b$(CqiY~\x1b(Bz", 12),
         Encoding::CompoundText, QString::fromUtf8("中文z")},
        {"compound text, unknown two-byte set", bytes("\x1b$)D\xb0\xa1z", 7),
         Encoding::CompoundText, "?z"},
        {"compound text, unknown one-byte set", bytes("\x1b-B\xb1z", 5), Encoding::CompoundText,
         "?z"},
        {"compound text, extended segment", bytes("\x1b%/1\x80\x84xyzwq", 11),
         Encoding::CompoundText, "?q"},
        {"compound text, GBK segment", "a" + extended('2', "gbk-0", kGbk) + "b",
         Encoding::CompoundText, QString::fromUtf8("a色情丂國b")},
        {"compound text, GBK segment as Xlib names it", extended('2', "GBK-0", kGbk),
         Encoding::CompoundText, QString::fromUtf8("色情丂國")},
        {"compound text, Big5 segment between Latin-1",
         "caf\xe9 " + extended('2', "big5-0", kBig5) + " caf\xe9", Encoding::CompoundText,
         QString::fromUtf8("café 色情 café")},
        {"compound text, GB 18030 segment", extended('0', "gb18030-0", kGbk),
         Encoding::CompoundText, QString::fromUtf8("色情丂國")},
        {"compound text, segment of an unknown encoding",
         "a" + extended('2', "klingon-0", kGbk) + "b", Encoding::CompoundText, "a?b"},
        {"compound text, segment without a name's end", bytes("\x1b%/2\x80\x85gbk-0z", 12),
         Encoding::CompoundText, "?z"},
        // The length given ends the segment: what follows is in the designated sets again.
        {"compound text, bytes after the segment's length",
         extended('2', "gbk-0", kGbk.left(2)) + bytes("\xe9\xe8", 2), Encoding::CompoundText,
         QString::fromUtf8("色éè")},
        {"compound text, segment longer than the text",
         extended('2', "gbk-0", kGbk + "KEY").left(18), Encoding::CompoundText,
         QString::fromUtf8("色情丂")},
        {"compound text, character cut at the segment's end",
         extended('2', "gbk-0", kGbk.left(3)) + "z", Encoding::CompoundText,
         QString::fromUtf8("色?z")},
        {"compound text, GB 2312 set kept across a segment",
         "\x1b$)A\xd6\xd0" + extended('2', "big5-0", kBig5) + "\xce\xc4", Encoding::CompoundText,
         QString::fromUtf8("中色情文")},
        {"compound text, long GBK segment",
         extended('2', "gbk-0", kGbk.left(4).repeated(100)) + "z", Encoding::CompoundText,
         QString::fromUtf8("色情").repeated(19) + QString::fromUtf8("色")},
        {"compound text, direction sequence",
         bytes("a\x9b"
               "1]b",
               5),
         Encoding::CompoundText, "ab"},
        {"compound text, cut escape", bytes("ab\x1b$", 4), Encoding::CompoundText, "ab"},
        {"compound text, lone GB 2312 byte", bytes("\x1b$)A\xd6", 5), Encoding::CompoundText, "?"},
    };
}

TEST(X11Text, TitlesAsTheAnsiInterfaceGivesThem) {
    // One converter for all cases, as a pass uses it: broken input leaves nothing behind.
    X11Text text;
    for (const TitleCase& c : titleCases()) {
        SCOPED_TRACE(c.name);
        const QString title = text.ansiTitle(text.decode(c.value, c.encoding));
        EXPECT_EQ(title, c.title);
        EXPECT_LE(QtCodec936::byteLength(title), X11Text::kTitleBytes);
    }
}

// Characters that code page 936 cannot hold still decode; only the ANSI form loses them.
TEST(X11Text, ExtendedSegmentsOfCompoundText) {
    struct SegmentCase {
        const char* name;
        QByteArray value;
        QString text;
    };
    const std::vector<SegmentCase> cases = {
        {"Big5-HKSCS", extended('2', "big5hkscs-0", bytes("\xa6\xe2\x92\x77", 4)),
         QString::fromUtf8("色㐵")},
        {"GB 18030, four bytes", extended('0', "gb18030-0", bytes("\xc9\xab\x95\x32\x82\x36", 6)),
         QString::fromUtf8("色𠀀")},
        {"KOI8-R", extended('1', "koi8-r", bytes("\xed\xc9\xd2", 3)), QString::fromUtf8("Мир")},
        {"ISO 8859-7", extended('1', "iso8859-7", bytes("\xe1\xe2", 2)), QString::fromUtf8("αβ")},
        {"ISO 8859 set out of range", extended('1', "iso8859-17", bytes("\xe1", 1)), "?"},
        {"UCS-2, high octet first", extended('2', "iso10646-1", bytes("\x82\x72\x00\x41", 4)),
         QString::fromUtf8("色A")},
        {"UCS-2 NUL ends the text",
         extended('2', "iso10646-1", bytes("\x00\x41\x00\x00\x00\x42", 6)) + "z", "A"},
        {"NUL after a segment ends the text", extended('2', "gbk-0", kGbk.left(2)) + '\0' + "z",
         QString::fromUtf8("色")},
        {"long segment in full", extended('2', "gbk-0", kGbk.left(4).repeated(100)) + "z",
         QString::fromUtf8("色情").repeated(100) + "z"},
    };
    X11Text text;
    for (const SegmentCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(text.decode(c.value, Encoding::CompoundText), c.text);
    }
}

TEST(X11Text, ClassNameIsTheSecondPartOfWmClass) {
    struct ClassCase {
        const char* name;
        QByteArray value;
        QString className;
    };
    const std::vector<ClassCase> cases = {
        {"instance and class", bytes("xterm\0XTerm\0", 12), "XTerm"},
        {"no trailing NUL", bytes("xterm\0XTerm", 11), "XTerm"},
        {"instance only", bytes("xterm\0", 6), ""},
        {"no NUL at all", "xterm", ""},
        {"empty", "", ""},
        {"long class", QByteArray("i") + '\0' + QByteArray(300, 'C') + '\0',
         QString(254, QLatin1Char('C'))},
    };
    X11Text text;
    for (const ClassCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(text.className(c.value, Encoding::Latin1), c.className);
    }
}

} // namespace
