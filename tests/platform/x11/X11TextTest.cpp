#include "platform/x11/X11Text.h"

#include "common/Codec936.h"

#include <gtest/gtest.h>

namespace {

using Encoding = X11Text::Encoding;

QByteArray bytes(const char* s, qsizetype n) {
    return QByteArray(s, n);
}

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
        {"compound text, GB 2312 right half", "\x1b$)A" + Codec936::encode("中文") + " ok",
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
        EXPECT_LE(Codec936::byteLength(title), X11Text::kTitleBytes);
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
