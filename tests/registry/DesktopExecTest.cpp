#include "platform/xdg/DesktopExec.h"

#include "registry/DesktopEntryReader.h"

#include <QSet>

#include <gtest/gtest.h>

namespace {

struct SplitRow {
    const char* name;
    QString command;
    QStringList existing; // files that exist for this row
    QStringList argv;
};

TEST(DesktopExec, SplitsCommandLinesAsThePlatformRunsThem) {
    const std::vector<SplitRow> rows = {
        {"plain", "/usr/bin/prog /auto", {"/usr/bin/prog"}, {"/usr/bin/prog", "/auto"}},
        {"unquoted path with blanks",
         "/opt/my app/sentinel /auto",
         {"/opt/my app/sentinel"},
         {"/opt/my app/sentinel", "/auto"}},
        {"a file at a shorter prefix is not run instead",
         "/opt/my app/sentinel /auto",
         {"/opt/my", "/opt/my app/sentinel"},
         {"/opt/my app/sentinel", "/auto"}},
        {"nothing exists: first word",
         "/opt/my app/sentinel /auto",
         {},
         {"/opt/my", "app/sentinel", "/auto"}},
        {"quoted program", "\"/opt/my app/s\" /auto", {}, {"/opt/my app/s", "/auto"}},
        {"whole text is the program", "/a b/c", {"/a b/c"}, {"/a b/c"}},
        {"quoted argument", "/p \"x y\" z", {"/p"}, {"/p", "x y", "z"}},
        {"escaped quote and backslashes",
         "/p a\\\"b c\\\\\\\\\"d e\"",
         {"/p"},
         {"/p", "a\"b", "c\\\\d e"}},
        {"doubled quote inside quotes", "/p \"a\"\"b\"", {"/p"}, {"/p", "a\"b"}},
        {"backslashes not before a quote are kept", "/p a\\b\\\\", {"/p"}, {"/p", "a\\b\\\\"}},
        {"leading and repeated blanks", "  /p   a\t b ", {"/p"}, {"/p", "a", "b"}},
        {"empty argument", "/p \"\"", {"/p"}, {"/p", ""}},
        {"empty command", "   ", {}, {}},
    };
    for (const SplitRow& row : rows) {
        SCOPED_TRACE(row.name);
        const QSet<QString> files(row.existing.begin(), row.existing.end());
        const auto isFile = [&](const QString& p) { return files.contains(p); };
        EXPECT_EQ(DesktopExec::splitCommandLine(row.command, isFile), row.argv);
    }
}

TEST(DesktopExec, ExecLinesReadBackAsTheSameArguments) {
    const QStringList tricky = {
        "/opt/my app/sentinel",
        "/auto",
        "100%",
        "a\"b",
        "$HOME",
        "`x`",
        "back\\slash",
        "",
        "semi;colon",
        "new\nline",
        "tab\there",
        QString::fromUtf8("墨枫 哨兵"),
        "~",
        "a=b",
        "(x)",
        "#",
        "*?",
        "it's",
    };
    for (const QString& arg : tricky) {
        SCOPED_TRACE(arg.toStdString());
        const QStringList argv = {"/bin/prog", arg};
        // Build the command in the platform's quoting, so that it splits into argv.
        QString quoted = arg;
        quoted.replace(QLatin1Char('"'), QStringLiteral("\\\""));
        const QString command = QStringLiteral("/bin/prog \"") + quoted + QLatin1Char('"');
        const QString exec = DesktopExec::fromCommandLine(
            command, [](const QString& p) { return p == "/bin/prog"; });
        // A reader undoes the string escapes first, then the quoting.
        const QString unescaped = DesktopExec::unescapeValue(exec);
        EXPECT_FALSE(exec.contains(QLatin1Char('\n')));
        EXPECT_EQ(DesktopEntryReader::execArguments(unescaped), argv) << exec.toStdString();
    }
}

TEST(DesktopExec, QuotesOnlyWhereNeeded) {
    EXPECT_EQ(DesktopExec::quoteArgument("/usr/bin/sentinel"), "/usr/bin/sentinel");
    EXPECT_EQ(DesktopExec::quoteArgument("/auto"), "/auto");
    EXPECT_EQ(DesktopExec::quoteArgument("/a b/s"), "\"/a b/s\"");
    EXPECT_EQ(DesktopExec::quoteArgument("50%"), "50%%");
    EXPECT_EQ(DesktopExec::quoteArgument(""), "\"\"");
    EXPECT_EQ(DesktopExec::quoteArgument("a\\b"), "\"a\\\\b\"");
    // The file form doubles that backslash once more.
    EXPECT_EQ(DesktopExec::fromCommandLine("\"/x\" \"a\\b\"", [](const QString&) { return false; }),
              "/x \"a\\\\\\\\b\"");
    EXPECT_EQ(DesktopExec::fromCommandLine("", [](const QString&) { return true; }), "");
}

TEST(DesktopExec, StringEscapesRoundTrip) {
    for (const QString& text : {QString("plain"), QString(" lead"), QString("a\\b\nc\td\re"),
                                QString("\\s literal"), QString()}) {
        EXPECT_EQ(DesktopExec::unescapeValue(DesktopExec::escapeValue(text)), text);
        EXPECT_FALSE(DesktopExec::escapeValue(text).startsWith(QLatin1Char(' ')));
    }
}

} // namespace
