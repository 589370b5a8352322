#include "keywords/FileDialogs.h"
#include "platform/fake/ScriptedPrompts.h"

#include "PrintQt.h"

#include <gtest/gtest.h>

namespace {

const QChar kNul(u'\0');

QString nuls(qsizetype n) {
    return QString(n, kNul);
}

QString listFilter() {
    return QStringLiteral("列表文件(*.lst)") + kNul + QStringLiteral("*.lst") + kNul +
           QStringLiteral("所有文件") + kNul + QStringLiteral("*.*") + kNul;
}

using Show = qint32 (FileDialogs::*)(FileDialogs::Request&);

struct Kind {
    const char* name;
    Show show;
    bool save;
    const char* title;
    quint32 flags;
};

const Kind kKinds[] = {
    {"open", &FileDialogs::ShowOpenDialog, false, "打开", 0x80100C},
    {"save", &FileDialogs::ShowSaveDialog, true, "保存", 0x80100E},
};

class FileDialogsKinds : public ::testing::TestWithParam<Kind> {};

TEST_P(FileDialogsKinds, CallerSettingOnlyTheFilterGetsEveryDefault) {
    const Kind& kind = GetParam();
    ScriptedPrompts prompts;
    FileDialogs dialogs(prompts);
    FileDialogs::Request request;
    request.lpstrFilter = listFilter();

    const qint32 result = (dialogs.*kind.show)(request);

    EXPECT_EQ(result, 0); // scripted prompts cancel by default
    EXPECT_EQ(request.lStructSize, 76u);
    EXPECT_EQ(request.nMaxFile, 255u);
    EXPECT_EQ(request.lpstrFile, nuls(256));
    EXPECT_EQ(request.lpstrTitle, QString::fromUtf8(kind.title));
    EXPECT_EQ(request.Flags, kind.flags);
    EXPECT_EQ(request.lpstrDefExt, QStringLiteral("*") + kNul);
    EXPECT_EQ(request.lpstrFilter, listFilter());
    EXPECT_EQ(request.nFilterIndex, 0u);
    EXPECT_EQ(request.hwndOwner, 0u);
    EXPECT_TRUE(request.lpstrInitialDir.isEmpty());
    EXPECT_EQ(FileDialogs::ChosenPath(request), QString());

    // What the chooser was asked to show.
    ASSERT_EQ(prompts.asked().size(), 1);
    const auto& asked = prompts.asked().first();
    EXPECT_EQ(asked.kind, ScriptedPrompts::Asked::File);
    EXPECT_EQ(asked.file.save, kind.save);
    EXPECT_EQ(asked.file.title, QString::fromUtf8(kind.title));
    EXPECT_EQ(asked.file.maxFile, 255);
    EXPECT_EQ(asked.file.flags, kind.flags);
    EXPECT_EQ(asked.file.defaultExt, QStringLiteral("*"));
    const QList<QPair<QString, QString>> pairs = {
        {QStringLiteral("列表文件(*.lst)"), QStringLiteral("*.lst")},
        {QStringLiteral("所有文件"), QStringLiteral("*.*")}};
    EXPECT_EQ(asked.file.filters, pairs);
}

TEST_P(FileDialogsKinds, EmptyFilterGetsTheSingleAllFilesPair) {
    const Kind& kind = GetParam();
    ScriptedPrompts prompts;
    FileDialogs dialogs(prompts);
    FileDialogs::Request request;

    (dialogs.*kind.show)(request);

    EXPECT_EQ(request.lpstrFilter,
              QStringLiteral("所有文件 (*.*)") + kNul + QStringLiteral("*.*") + kNul + kNul + kNul);
    ASSERT_EQ(prompts.asked().size(), 1);
    const QList<QPair<QString, QString>> pairs = {
        {QStringLiteral("所有文件 (*.*)"), QStringLiteral("*.*")}};
    EXPECT_EQ(prompts.asked().first().file.filters, pairs);
}

TEST_P(FileDialogsKinds, FieldsSetByTheCallerAreKept) {
    const Kind& kind = GetParam();
    ScriptedPrompts prompts;
    FileDialogs dialogs(prompts);
    FileDialogs::Request request;
    const QString filter = QStringLiteral("文本(*.txt)") + kNul + QStringLiteral("*.txt") + kNul;
    const QString buffer = QStringLiteral("a.txt") + nuls(300);
    request.lpstrFilter = filter;
    request.lpstrTitle = QStringLiteral("选一个文件");
    request.lpstrFile = buffer;
    request.lpstrDefExt = QStringLiteral("txt");
    request.nMaxFile = 9;
    request.Flags = 0x1;
    request.lStructSize = 3;

    (dialogs.*kind.show)(request);

    EXPECT_EQ(request.lpstrFilter, filter);
    EXPECT_EQ(request.lpstrTitle, QStringLiteral("选一个文件"));
    EXPECT_EQ(request.lpstrFile, buffer); // cancelled: the buffer is as it was
    EXPECT_EQ(request.lpstrDefExt, QStringLiteral("txt"));
    // Always set by the module, whatever the caller put there.
    EXPECT_EQ(request.nMaxFile, 255u);
    EXPECT_EQ(request.Flags, kind.flags);
    EXPECT_EQ(request.lStructSize, 76u);
    ASSERT_EQ(prompts.asked().size(), 1);
    EXPECT_EQ(prompts.asked().first().file.title, QStringLiteral("选一个文件"));
    EXPECT_EQ(prompts.asked().first().file.defaultExt, QStringLiteral("txt"));
}

TEST_P(FileDialogsKinds, ChosenPathComesBackInTheBufferFollowedByNuls) {
    const Kind& kind = GetParam();
    ScriptedPrompts prompts;
    prompts.answerFile(QStringLiteral("/home/用户/列表.lst"));
    FileDialogs dialogs(prompts);
    FileDialogs::Request request;
    request.lpstrFilter = listFilter();

    EXPECT_NE((dialogs.*kind.show)(request), 0);

    EXPECT_EQ(request.lpstrFile.size(), 256);
    EXPECT_EQ(FileDialogs::ChosenPath(request), QStringLiteral("/home/用户/列表.lst"));
    EXPECT_EQ(request.lpstrFile.mid(16), nuls(240));
    EXPECT_EQ(request.nFileOffset, 9);     // "列表.lst"
    EXPECT_EQ(request.nFileExtension, 12); // "lst"
}

TEST_P(FileDialogsKinds, CancelGivesZeroAndAnEmptyPath) {
    const Kind& kind = GetParam();
    ScriptedPrompts prompts;
    prompts.answerFile(QString());
    FileDialogs dialogs(prompts);
    FileDialogs::Request request;
    request.lpstrFilter = listFilter();

    EXPECT_EQ((dialogs.*kind.show)(request), 0);
    EXPECT_EQ(request.lpstrFile, nuls(256));
    EXPECT_TRUE(FileDialogs::ChosenPath(request).isEmpty());
}

// A path longer than the buffer cannot be handed back; a truncated one would name another
// file, so the caller sees nothing chosen rather than a wrong path.
TEST_P(FileDialogsKinds, PathBeyondTheCapacityIsNotHandedBackCut) {
    const Kind& kind = GetParam();
    struct Case {
        QString path;
        bool fits;
    };
    const QString dir = QStringLiteral("/tmp/");
    const Case cases[] = {
        {dir + QString(254 - dir.size(), QLatin1Char('a')), true},   // 254 bytes + NUL
        {dir + QString(255 - dir.size(), QLatin1Char('a')), false},  // no room for the NUL
        {dir + QString((254 - dir.size()) / 2, QChar(u'字')), true}, // two bytes each in GBK
        {dir + QString((254 - dir.size()) / 2 + 1, QChar(u'字')), false},
    };
    for (const Case& c : cases) {
        ScriptedPrompts prompts;
        prompts.answerFile(c.path);
        FileDialogs dialogs(prompts);
        FileDialogs::Request request;
        const qint32 result = (dialogs.*kind.show)(request);
        EXPECT_EQ(result != 0, c.fits) << c.path.size();
        EXPECT_EQ(FileDialogs::ChosenPath(request), c.fits ? c.path : QString()) << c.path.size();
    }
}

INSTANTIATE_TEST_SUITE_P(Both, FileDialogsKinds, ::testing::ValuesIn(kKinds),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FileDialogs, FilterPairsStopAtTheClosingEmptyDescription) {
    struct Case {
        QString filter;
        QList<QPair<QString, QString>> pairs;
    };
    const Case cases[] = {
        {QString(), {}},
        {listFilter(),
         {{QStringLiteral("列表文件(*.lst)"), QStringLiteral("*.lst")},
          {QStringLiteral("所有文件"), QStringLiteral("*.*")}}},
        {QStringLiteral("A") + kNul + QStringLiteral("*.a") + kNul + kNul + QStringLiteral("B") +
             kNul + QStringLiteral("*.b") + kNul,
         {{QStringLiteral("A"), QStringLiteral("*.a")}}},
        // A description without its pattern is no pair.
        {QStringLiteral("A") + kNul + QStringLiteral("*.a") + kNul + QStringLiteral("B"),
         {{QStringLiteral("A"), QStringLiteral("*.a")}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FileDialogs::FilterPairs(c.filter), c.pairs) << c.filter.toStdString();
}

TEST(FileDialogs, MakeFilterEndsEveryPartAndTheWhole) {
    EXPECT_EQ(FileDialogs::MakeFilter({{QStringLiteral("列表文件(*.lst)"), QStringLiteral("*.lst")},
                                       {QStringLiteral("所有文件"), QStringLiteral("*.*")}}),
              listFilter() + kNul);
}

} // namespace
