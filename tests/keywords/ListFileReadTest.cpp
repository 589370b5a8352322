#include "keywords/ListFile.h"
#include "platform/qt/QtText.h"

#include "FailingDevice.h"
#include "ListFixtures.h"
#include "keywords/PlainKeywordList.h"
#include "platform/fake/ScriptedPrompts.h"
#include "support/TestEnv.h"

#include <QBuffer>
#include <QDir>

#include <sys/stat.h>

#include <gtest/gtest.h>

namespace {

using Result = ListFile::ReadResult;
using F = ListFixtures;

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}
QStringList us(std::initializer_list<const char*> utf8) {
    QStringList out;
    for (const char* s : utf8)
        out.append(u(s));
    return out;
}

const char* const kCannotOpen = "无法打开文件";
const char* const kNotRecognised = "无法识别的文件";

struct ReadCase {
    const char* name;
    QStringList before;
    QByteArray bytes;
    QStringList after;
    Result result;
    QString message; // empty: none
};

std::vector<ReadCase> readCases() {
    const QByteArray H = F::header();
    const QByteArray E = "\r\n";
    return {
        {"a, empty, b, a, A",
         {},
         H + E + "a" + E + E + "b" + E + "a" + E + "A" + E,
         us({"a", "b", "A"}),
         Result::Ok,
         {}},
        {"blanks kept",
         {},
         F::file({" a", "b ", "  c  ", "   ", "\t"}),
         {" a", "b ", "  c  ", "   ", "\t"},
         Result::Ok,
         {}},
        {"merge into a non-empty list",
         us({"b", "x"}),
         F::file(us({"a", "b", "c", "x", "a"})),
         us({"b", "x", "a", "c"}),
         Result::Ok,
         {}},
        {"every line already there",
         us({"a", "b"}),
         F::file(us({"b", "a", "b"})),
         us({"a", "b"}),
         Result::Ok,
         {}},
        {"exact and case-sensitive",
         {},
         F::file(us({"a", "A", "ａ", "a ", " a"})),
         us({"a", "A", "ａ", "a ", " a"}),
         Result::Ok,
         {}},
        {"chinese keywords",
         {},
         F::file(us({"关键字", "游戏", "关键字"})),
         us({"关键字", "游戏"}),
         Result::Ok,
         {}},
        {"header with text after it",
         {},
         F::gbk("[墨枫哨兵1.00]附加 text") + E + "k" + E,
         us({"k"}),
         Result::Ok,
         {}},
        {"prefix and closing bracket",
         {},
         F::gbk("[墨枫哨兵]") + E + "k" + E,
         us({"k"}),
         Result::Ok,
         {}},
        {"prefix alone", us({"z"}), F::gbk("[墨枫哨兵") + E + "k" + E, us({"z"}),
         Result::NotRecognised, u(kNotRecognised)},
        {"no opening bracket", us({"z"}), F::gbk("墨枫哨兵1.00]") + E + "k" + E, us({"z"}),
         Result::NotRecognised, u(kNotRecognised)},
        {"another title",
         {},
         F::gbk("[墨枫哨1.00]") + E + "k" + E,
         {},
         Result::NotRecognised,
         u(kNotRecognised)},
        {"empty first line", {}, E + H + E + "k" + E, {}, Result::NotRecognised, u(kNotRecognised)},
        {"header in UTF-8",
         {},
         QByteArray("[墨枫哨兵1.00]\r\nk\r\n"),
         {},
         Result::NotRecognised,
         u(kNotRecognised)},
        {"version 2.00", us({"z"}), F::gbk("[墨枫哨兵2.00]") + E + "k" + E, us({"z"}),
         Result::NewerVersion, u("文件需要更高版本的 墨枫哨兵2.00 才能打开")},
        {"version 1", {}, F::gbk("[墨枫哨兵1]") + E + "k" + E, us({"k"}), Result::Ok, {}},
        {"version 0.90", {}, F::gbk("[墨枫哨兵0.90]") + E + "k" + E, us({"k"}), Result::Ok, {}},
        {"version 1.01",
         {},
         F::gbk("[墨枫哨兵1.01]") + E + "k" + E,
         {},
         Result::NewerVersion,
         u("文件需要更高版本的 墨枫哨兵1.01 才能打开")},
        {"version with a blank",
         {},
         F::gbk("[墨枫哨兵 1.5]") + E + "k" + E,
         {},
         Result::NewerVersion,
         u("文件需要更高版本的 墨枫哨兵 1.5 才能打开")},
        {"version that is no number",
         {},
         F::gbk("[墨枫哨兵abcd]") + E + "k" + E,
         us({"k"}),
         Result::Ok,
         {}},
        {"zero-byte file", us({"z"}), QByteArray(""), us({"z"}), Result::CannotOpen,
         u(kCannotOpen)},
        {"header only", us({"z"}), H + E, us({"z"}), Result::Ok, {}},
        {"header without line end", us({"z"}), H, us({"z"}), Result::Ok, {}},
        {"LF-only file is one line", us({"z"}), H + "\na\nb\n", us({"z"}), Result::Ok, {}},
        {"LF-only file of a newer version",
         {},
         F::gbk("[墨枫哨兵2.00]") + "\na\n",
         {},
         Result::NewerVersion,
         u("文件需要更高版本的 墨枫哨兵2.00 才能打开")},
        {"lone CR line ends", {}, H + "\ra\rb\r\nc", us({"a", "b", "c"}), Result::Ok, {}},
        {"last line without end", {}, H + E + "a" + E + "b", us({"a", "b"}), Result::Ok, {}},
        {"CR CR skips the empty line", {}, H + E + "a\r\rb", us({"a", "b"}), Result::Ok, {}},
        {"lone LF kept in the keyword",
         {},
         H + E + "x\ny" + E + "\n" + E,
         {"x\ny", "\n"},
         Result::Ok,
         {}},
        // A double-byte lead at the end of a line shows as a replacement character; it never
        // vanishes into a shorter (and maybe repeated) keyword.
        {"cut double-byte character",
         {},
         H + E + "a\x81" + E + "a" + E + "\x81",
         {QStringLiteral("a\uFFFD"), "a", QStringLiteral("\uFFFD")},
         Result::Ok,
         {}},
    };
}

class ListFileRead : public ::testing::Test {
protected:
    QString path(const QString& name = QStringLiteral("list.lst")) const {
        return env.work() + QLatin1Char('/') + name;
    }
    TestEnv env;
    ScriptedPrompts prompts;
    ListFile listFile{prompts};
};

void expectMessages(const ScriptedPrompts& prompts, const QString& message) {
    if (message.isEmpty()) {
        EXPECT_TRUE(prompts.asked().isEmpty());
        return;
    }
    ASSERT_EQ(prompts.asked().size(), 1);
    const ScriptedPrompts::Asked& asked = prompts.asked().first();
    EXPECT_EQ(asked.kind, ScriptedPrompts::Asked::Message);
    EXPECT_EQ(asked.text, message);
    EXPECT_EQ(asked.style, Msg::OkOnly);
    EXPECT_EQ(asked.caption, u("墨枫哨兵"));
}

TEST_F(ListFileRead, EdgeCases) {
    for (const ReadCase& c : readCases()) {
        SCOPED_TRACE(c.name);
        prompts.clear();
        ASSERT_TRUE(F::write(path(), c.bytes));
        PlainKeywordList list(QtText::fromQ(c.before));
        EXPECT_EQ(listFile.InputList(path(), list), c.result);
        EXPECT_EQ(list.entries(), QtText::fromQ(c.after));
        expectMessages(prompts, c.message);
        // The file is only read.
        EXPECT_EQ(F::read(path()), c.bytes);
    }
}

TEST_F(ListFileRead, MissingFileOrFolderCannotBeOpened) {
    QDir().mkpath(path(QStringLiteral("folder.lst")));
    for (const QString& name : {QStringLiteral("missing.lst"), QStringLiteral("folder.lst"),
                                QStringLiteral("missing/list.lst")}) {
        SCOPED_TRACE(name.toStdString());
        prompts.clear();
        PlainKeywordList list(QtText::fromQ(us({"z"})));
        EXPECT_EQ(listFile.InputList(path(name), list), Result::CannotOpen);
        EXPECT_EQ(list.entries(), QtText::fromQ(us({"z"})));
        expectMessages(prompts, u(kCannotOpen));
    }
}

TEST_F(ListFileRead, PipeIsRefusedWithoutWaiting) {
    const QString fifo = path(QStringLiteral("pipe.lst"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    PlainKeywordList list;
    EXPECT_EQ(listFile.InputList(fifo, list), Result::CannotOpen);
    expectMessages(prompts, u(kCannotOpen));
}

TEST_F(ListFileRead, SameFileTwiceAddsOnce) {
    ASSERT_TRUE(F::write(path(), F::file(us({"a", "b"}))));
    PlainKeywordList list(QtText::fromQ(us({"c"})));
    EXPECT_EQ(listFile.InputList(path(), list), Result::Ok);
    EXPECT_EQ(listFile.InputList(path(), list), Result::Ok);
    EXPECT_EQ(list.entries(), QtText::fromQ(us({"c", "a", "b"})));
    EXPECT_TRUE(prompts.asked().isEmpty());
}

// The list holds at most 32,767 keywords (its index is a 16-bit signed number). A file with
// more fills it and says so, and the rest of the file is not even read.
TEST_F(ListFileRead, ListFillsUpAtItsIndexLimit) {
    const auto numbered = [](int from, int count) {
        QStringList lines;
        for (int i = from; i < from + count; ++i)
            lines.append(QStringLiteral("关键字%1").arg(i));
        return lines;
    };
    const QString tooMany =
        u("关键字列表最多只能容纳 32767 个关键字，文件中其余的关键字没有读入。");
    const struct {
        const char* name;
        int before;
        QStringList lines;
        Result result;
        int count;
    } cases[] = {
        // Repeats and empty lines take no room.
        {"exactly full", 0, numbered(0, 32767) + numbered(0, 5) + QStringList{QString()},
         Result::Ok, 32767},
        {"one more", 0, numbered(0, 32768), Result::TooMany, 32767},
        {"merging into a list", 32760, numbered(50000, 100), Result::TooMany, 32767},
        {"a full list takes nothing new", 32767, numbered(40000, 1), Result::TooMany, 32767},
        {"a full list reads its own lines", 32767, numbered(0, 10), Result::Ok, 32767},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        prompts.clear();
        PlainKeywordList list(QtText::fromQ(numbered(0, c.before)));
        ASSERT_TRUE(F::write(path(), F::file(c.lines)));
        EXPECT_EQ(listFile.InputList(path(), list), c.result);
        EXPECT_EQ(list.count(), c.count);
        // The first keywords are the ones kept, in the file's order.
        if (c.before == 0) {
            EXPECT_EQ(list.entries(), QtText::fromQ(c.lines.mid(0, c.count)));
        }
        if (c.result == Result::TooMany) {
            ASSERT_EQ(prompts.asked().size(), 1);
            EXPECT_EQ(prompts.asked().first().text, tooMany);
            EXPECT_EQ(prompts.asked().first().style, Msg::OkOnly | Msg::Exclamation);
            EXPECT_EQ(prompts.asked().first().caption, u("墨枫哨兵"));
        } else {
            EXPECT_TRUE(prompts.asked().isEmpty());
        }
    }

    // A huge file is left unread past the point where the list filled up.
    QByteArray huge = F::file(numbered(0, 200000));
    QBuffer device(&huge);
    device.open(QIODevice::ReadOnly);
    PlainKeywordList list;
    EXPECT_EQ(listFile.InputListFrom(device, list), Result::TooMany);
    EXPECT_EQ(list.count(), 32767);
    EXPECT_LT(device.pos(), huge.size() / 2);
}

// A first line that never ends (a large file of another kind) is refused from its start.
TEST_F(ListFileRead, HugeForeignFileIsRefusedFromItsStart) {
    QByteArray bytes(8 * 1024 * 1024, '\0');
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    PlainKeywordList list;
    EXPECT_EQ(listFile.InputListFrom(device, list), Result::NotRecognised);
    EXPECT_LT(device.pos(), 1024 * 1024);
    expectMessages(prompts, u(kNotRecognised));
}

TEST_F(ListFileRead, ReadErrorKeepsWhatWasAdded) {
    FailingDevice device(F::file(us({"a", "b", "a"})) + "unfinished");
    PlainKeywordList list(QtText::fromQ(us({"z"})));
    EXPECT_EQ(listFile.InputListFrom(device, list), Result::CannotOpen);
    EXPECT_EQ(list.entries(), QtText::fromQ(us({"z", "a", "b"})));
    expectMessages(prompts, u(kCannotOpen));
}

TEST_F(ListFileRead, ReadErrorInTheHeader) {
    FailingDevice device(QByteArray("[\xc4\xab"));
    PlainKeywordList list;
    EXPECT_EQ(listFile.InputListFrom(device, list), Result::CannotOpen);
    expectMessages(prompts, u(kCannotOpen));
}

TEST_F(ListFileRead, GetListVersion) {
    const struct {
        const char* name;
        QByteArray bytes;
        const char* version;
        bool ok;
    } cases[] = {
        {"list file", F::file(us({"a"})), "1.00", true},
        {"text after the header", F::gbk("[墨枫哨兵1.00]xyz\r\n"), "1.00", true},
        {"short version", F::gbk("[墨枫哨兵1"), "1", true},
        {"prefix alone", F::gbk("[墨枫哨兵\r\n"), "", true},
        {"foreign text", QByteArray("hello\r\n"), "", true},
        {"LF only", F::header() + "\na\n", "1.00", true},
        {"newer", F::gbk("[墨枫哨兵2.00]"), "2.00", true},
        {"zero bytes", QByteArray(""), "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(F::write(path(), c.bytes));
        bool ok = !c.ok;
        EXPECT_EQ(listFile.GetListVersion(path(), &ok), u(c.version));
        EXPECT_EQ(ok, c.ok);
    }
    bool ok = true;
    EXPECT_EQ(listFile.GetListVersion(path(QStringLiteral("missing.lst")), &ok), QString());
    EXPECT_FALSE(ok);
    EXPECT_TRUE(prompts.asked().isEmpty());
}

TEST_F(ListFileRead, FileExists) {
    ASSERT_TRUE(F::write(path(QStringLiteral("empty.lst")), QByteArray("")));
    ASSERT_TRUE(F::write(path(QStringLiteral("list.lst")), F::file({})));
    QDir().mkpath(path(QStringLiteral("folder")));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("list.lst")), path(QStringLiteral("link.lst"))));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("gone.lst")), path(QStringLiteral("dead.lst"))));
    const struct {
        const char* name;
        bool exists;
    } cases[] = {
        {"list.lst", true}, {"empty.lst", true}, {"link.lst", true},          {"missing", false},
        {"folder", false},  {"dead.lst", false}, {"missing/list.lst", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(listFile.FileExists(path(u(c.name))), c.exists);
    }
}

} // namespace
