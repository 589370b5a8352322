#include "app/frmMain.h"
#include "about/frmAbout.h"
#include "app/Twips.h"
#include "platform/fake/FakeWindowSystem.h"
#include "platform/fake/ScriptedPrompts.h"
#include "platform/linux/IconvCodec936.h"
#include "platform/qt/QtCodec936.h"
#include "platform/qt/QtText.h"
#include "registry/AutoRun.h"
#include "registry/FakeRegistry.h"
#include "support/ChildProcess.h"
#include "support/TestEnv.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "PrintQt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>

namespace {

using Asked = ScriptedPrompts::Asked;

const QString kExitQuestion = QStringLiteral("你确定要退出吗？");
const QString kShortQuestion = QStringLiteral("关键字很短，你确定要添加吗?");

QByteArray storeBytes(const QStringList& keywords) {
    QByteArray bytes = QtCodec936::encode(QStringLiteral("[墨枫哨兵1.00]")) + "\r\n";
    for (const QString& k : keywords)
        bytes += QtCodec936::encode(k) + "\r\n";
    return bytes;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QStringList messageTexts(const ScriptedPrompts& prompts) {
    QStringList texts;
    for (const Asked& a : prompts.asked())
        if (a.kind == Asked::Message)
            texts << a.text;
    return texts;
}

class FrmMain : public ::testing::Test {
protected:
    FrmMain() {
        QDir().mkpath(m_exeDir);
        // The run key is there on every installed system.
        registry.putKey(Reg::HkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
        m_app = std::make_unique<AppInfo>(QtText::fromQ(m_exeDir), u"sentinel");
    }

    std::unique_ptr<frmMain> make() {
        MainWindowServices services{.windows = windows,
                                    .prompts = prompts,
                                    .registry = registry,
                                    .app = *m_app,
                                    .codec = m_codec,
                                    .setPassword = [this] { ++passwordRequests; },
                                    .endProcess = [this] { ++endRequests; },
                                    .openUrl = [this](const QUrl& url) { opened << url; }};
        return std::make_unique<frmMain>(std::move(services));
    }

    template <typename T> static T* control(frmMain& w, const char* name) {
        T* found = w.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    static QPushButton* button(frmMain& w, const char* name) {
        return control<QPushButton>(w, name);
    }
    static QListWidget* list(frmMain& w) { return control<QListWidget>(w, "Key_List"); }
    static QLineEdit* text(frmMain& w) { return control<QLineEdit>(w, "Key_Text"); }

    static void showActive(frmMain& w) {
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    }

    // The store's path, and the app as it knows it.
    QString store() const { return QtText::toQ(m_app->keyListPath()); }
    const AppInfo& app() const { return *m_app; }

    TestEnv env;
    FakeWindowSystem windows;
    ScriptedPrompts prompts;
    FakeRegistry registry;
    int passwordRequests = 0;
    int endRequests = 0;
    QList<QUrl> opened;

private:
    const IconvCodec936 m_codec;
    QString m_exeDir = env.work() + QStringLiteral("/app");
    std::unique_ptr<AppInfo> m_app;
};

TEST_F(FrmMain, WindowCarriesEveryControlOfItsLayout) {
    auto w = make();
    EXPECT_FALSE(w->isVisible()); // loaded, not shown
    EXPECT_EQ(w->windowTitle(), QStringLiteral("墨枫哨兵 1.00"));
    EXPECT_EQ(w->size(), QSize(453, 454));
    EXPECT_EQ(w->minimumSize(), w->maximumSize());
    const Qt::WindowFlags flags = w->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(w->windowIcon().isNull());

    struct Expect {
        const char* name;
        const char* kind;
        QString caption;
        QRect place;
        bool visible;
    };
    const Expect expects[] = {
        {"Key_List", "QListWidget", {}, Twips::rect(90, 990, 4935, 5280), true},
        {"AddKey_Cmd", "QPushButton", QStringLiteral("添加关键字"),
         Twips::rect(5265, 540, 1215, 510), true},
        {"Key_Text", "QLineEdit", {}, Twips::rect(90, 585, 4935, 270), true},
        {"lblKeyword", "QLabel", QStringLiteral("关键字(区分大小写)："),
         Twips::rect(120, 360, 1800, 180), true},
        {"Command1", "QPushButton", QStringLiteral("Command1"), Twips::rect(5355, 0, 915, 465),
         false},
        {"Update_cmd", "QPushButton", QStringLiteral("修改关键字"),
         Twips::rect(5265, 1170, 1215, 465), true},
        {"SetMima_cmd", "QPushButton", QStringLiteral("密码设置"),
         Twips::rect(5280, 4080, 1230, 420), true},
        {"cmdOutList", "QPushButton", QStringLiteral("导出列表"),
         Twips::rect(5265, 2295, 1230, 420), true},
        {"cmdInputList", "QPushButton", QStringLiteral("导入列表"),
         Twips::rect(5265, 1755, 1230, 420), true},
        {"cmdHide", "QPushButton", QStringLiteral("隐藏"), Twips::rect(5265, 4680, 1230, 420),
         true},
        {"cmdAbout", "QPushButton", QStringLiteral("关于"), Twips::rect(5265, 5280, 1230, 420),
         true},
        {"cmdDelList", "QPushButton", QStringLiteral("清除列表"),
         Twips::rect(5280, 3480, 1215, 420), true},
        {"cmdDelOne", "QPushButton", QStringLiteral("清除选定项"),
         Twips::rect(5280, 2880, 1215, 420), true},
        {"cekAutoRun", "QCheckBox", QStringLiteral("开机自动运行"),
         Twips::rect(5280, 5880, 1455, 255), true},
        {"Command2", "QPushButton", QStringLiteral("Command2"), Twips::rect(4200, 0, 975, 375),
         false},
        {"lblNotice", "QLabel",
         QStringLiteral(
             "说明：当软件窗口标题包含关键字列表中的任意一条关键字时，窗口就会立即被关闭！"),
         Twips::rect(120, 6360, 6255, 375), true},
    };
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    for (const Expect& e : expects) {
        QWidget* c = w->findChild<QWidget*>(QString::fromLatin1(e.name));
        ASSERT_NE(c, nullptr) << e.name;
        EXPECT_STREQ(c->metaObject()->className(), e.kind) << e.name;
        EXPECT_EQ(c->isVisible(), e.visible) << e.name;
        EXPECT_EQ(c->pos(), e.place.topLeft()) << e.name;
        if (auto* label = qobject_cast<QLabel*>(c)) {
            // A label may grow to fit the interface font, never shrink.
            EXPECT_EQ(label->text(), e.caption) << e.name;
            EXPECT_GE(c->width(), e.place.width()) << e.name;
            EXPECT_GE(c->height(), e.place.height()) << e.name;
        } else {
            EXPECT_EQ(c->size(), e.place.size()) << e.name;
        }
        if (auto* b = qobject_cast<QAbstractButton*>(c)) {
            EXPECT_EQ(b->text(), e.caption) << e.name;
        }
    }
    EXPECT_TRUE(text(*w)->text().isEmpty());
    EXPECT_EQ(list(*w)->count(), 0);
    EXPECT_EQ(list(*w)->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_FALSE(list(*w)->isSortingEnabled());
    EXPECT_FALSE(control<QCheckBox>(*w, "cekAutoRun")->isChecked());
    EXPECT_TRUE(button(*w, "AddKey_Cmd")->isDefault());
    EXPECT_EQ(control<QLabel>(*w, "lblNotice")->palette().color(QPalette::WindowText),
              QColor(255, 0, 0));
    auto* timer = w->findChild<QTimer*>(QStringLiteral("KillWindows"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 500);
    EXPECT_TRUE(timer->isActive());

    // Tab order over the controls that take the focus.
    const char* tabOrder[] = {"Key_List",    "AddKey_Cmd", "Key_Text",     "Update_cmd",
                              "SetMima_cmd", "cmdOutList", "cmdInputList", "cmdHide",
                              "cmdAbout",    "cmdDelList", "cmdDelOne",    "cekAutoRun"};
    QWidget* at = list(*w);
    for (const char* name : tabOrder) {
        EXPECT_EQ(at->objectName(), QString::fromLatin1(name));
        do {
            at = at->nextInFocusChain();
        } while (at != w.get() && !(at->isVisible() && (at->focusPolicy() & Qt::TabFocus)));
    }
}

TEST_F(FrmMain, LoadWithoutStoreGivesAnEmptyListSilently) {
    auto w = make();
    EXPECT_EQ(w->keyList().count(), 0);
    EXPECT_TRUE(prompts.asked().isEmpty());
    EXPECT_FALSE(QFile::exists(store())); // loading writes nothing
}

TEST_F(FrmMain, LoadReadsTheStoreBesideTheExecutable) {
    ASSERT_TRUE(writeFile(store(), storeBytes({QStringLiteral("色情"), QStringLiteral(" b "),
                                               QStringLiteral("色情")})));
    auto w = make();
    EXPECT_EQ(w->keyList().entries(), (QStringList{QStringLiteral("色情"), QStringLiteral(" b ")}));
    EXPECT_TRUE(prompts.asked().isEmpty());
}

// A store that cannot be read is not lost at the next save: it is kept beside as .bak.
TEST_F(FrmMain, UnreadableStoreIsKeptAsideBeforeItIsFirstOverwritten) {
    const QByteArray newer = QtCodec936::encode(QStringLiteral("[墨枫哨兵2.00]\r\n新的\r\n"));
    ASSERT_TRUE(writeFile(store(), newer));
    auto w = make();
    EXPECT_EQ(messageTexts(prompts),
              QStringList{QStringLiteral("文件需要更高版本的 墨枫哨兵2.00 才能打开")});
    EXPECT_EQ(w->keyList().count(), 0);
    w->keyList().append(u"abc");

    w->cmdHide_Click();
    EXPECT_EQ(readFile(store() + QStringLiteral(".bak")), newer);
    EXPECT_EQ(readFile(store()), storeBytes({QStringLiteral("abc")}));

    // Only the store as it was at load is kept; later saves leave the copy alone.
    ASSERT_TRUE(writeFile(store() + QStringLiteral(".bak"), "kept"));
    w->cmdHide_Click();
    EXPECT_EQ(readFile(store() + QStringLiteral(".bak")), QByteArray("kept"));
}

// A store with more keywords than the list holds is read up to the limit and kept aside
// whole, so the keywords past the limit are not lost at the next save.
TEST_F(FrmMain, StoreBeyondTheLimitIsReadToItAndKeptAside) {
    QStringList many;
    for (int i = 0; i < 32770; ++i)
        many.append(QStringLiteral("词%1").arg(i));
    const QByteArray whole = storeBytes(many);
    ASSERT_TRUE(writeFile(store(), whole));
    auto w = make();
    EXPECT_EQ(w->keyList().count(), 32767);
    EXPECT_EQ(messageTexts(prompts),
              QStringList{QStringLiteral(
                  "关键字列表最多只能容纳 32767 个关键字，文件中其余的关键字没有读入。")});
    w->cmdHide_Click();
    EXPECT_EQ(readFile(store() + QStringLiteral(".bak")), whole);
    EXPECT_EQ(readFile(store()), storeBytes(many.mid(0, 32767)));

    // A full list takes no keyword typed by hand either.
    prompts.clear();
    text(*w)->setText(QStringLiteral("one more"));
    QTest::mouseClick(button(*w, "AddKey_Cmd"), Qt::LeftButton);
    EXPECT_EQ(w->keyList().count(), 32767);
    EXPECT_EQ(messageTexts(prompts),
              QStringList{QStringLiteral("关键字列表已满，最多只能容纳 32767 个关键字。")});
    EXPECT_EQ(text(*w)->text(), QStringLiteral("one more"));
}

// Whoever may write the program's folder can plant KeyList.dat as a link; the program reads
// and writes its store only as a file of its own, whoever runs it.
TEST_F(FrmMain, AStoreLinkIsNeitherReadNorWrittenThrough) {
    const QString victim = QFileInfo(store()).absolutePath() + QStringLiteral("/victim");
    const QByteArray secret = storeBytes({QStringLiteral("planted")});
    ASSERT_TRUE(writeFile(victim, secret));
    ASSERT_TRUE(QFile::link(victim, store()));
    auto w = make();
    EXPECT_EQ(w->keyList().count(), 0);
    EXPECT_EQ(messageTexts(prompts), QStringList{QStringLiteral("无法打开文件")});
    w->keyList().append(u"abc");
    w->cmdHide_Click();
    EXPECT_EQ(readFile(victim), secret);
    EXPECT_FALSE(QFileInfo(store()).isSymLink());
    EXPECT_EQ(readFile(store()), storeBytes({QStringLiteral("abc")}));
    // The link itself is what was kept aside.
    EXPECT_TRUE(QFileInfo(store() + QStringLiteral(".bak")).isSymLink());
}

// The save for an end from outside asks nothing, also when it fails.
TEST_F(FrmMain, QuietSaveWritesTheStoreAndShowsNothing) {
    auto w = make();
    w->keyList().append(u"坏网站");
    w->SaveQuietly();
    EXPECT_EQ(readFile(store()), storeBytes({QStringLiteral("坏网站")}));
    ASSERT_TRUE(QFile::remove(store()));
    ASSERT_TRUE(QDir().mkpath(store())); // nothing can be written there
    w->SaveQuietly();
    EXPECT_TRUE(prompts.asked().isEmpty());
    EXPECT_TRUE(QFileInfo(store()).isDir());
}

TEST_F(FrmMain, ReadableStoreIsNotCopiedAside) {
    ASSERT_TRUE(writeFile(store(), storeBytes({QStringLiteral("abc")})));
    auto w = make();
    w->cmdHide_Click();
    EXPECT_FALSE(QFile::exists(store() + QStringLiteral(".bak")));
}

TEST_F(FrmMain, HideWritesTheStoreAndHidesAndThePatrolGoesOn) {
    auto w = make();
    showActive(*w);
    w->keyList().append(u"坏网站");
    w->keyList().append(u"abc");
    QTest::mouseClick(button(*w, "cmdHide"), Qt::LeftButton);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(readFile(store()), storeBytes({QStringLiteral("坏网站"), QStringLiteral("abc")}));
    EXPECT_TRUE(prompts.asked().isEmpty()); // no password, no question
    EXPECT_EQ(endRequests, 0);

    const WindowHandle bad =
        windows.addWindow({0, u"Browser", 0, true, u"一个坏网站 - 浏览器", 4242});
    EXPECT_TRUE(QTest::qWaitFor([&] { return windows.closeRequestCount(bad) >= 2; }, 5000));
}

// A window the platform reports as retitled is checked at once, alone: no whole enumeration.
// One that refuses to close is asked again by the timer's whole passes; a change the platform
// cannot pin to a window gets a whole pass before the next tick.
TEST_F(FrmMain, ReportedWindowsAreCheckedAtOnceAndTheTimerKeepsAsking) {
    auto w = make();
    w->keyList().append(u"坏网站");
    ASSERT_TRUE(windows.listening());
    const WindowHandle quiet = windows.addWindow({0, u"Browser", 0, true, u"新闻", 4242});
    const WindowHandle bad = windows.addWindow({0, u"Browser", 0, true, u"新闻", 4243});
    // Right after a tick, so that the timer stays out of the way for a while.
    ASSERT_TRUE(QTest::qWaitFor([&] { return windows.enumerationCount() > 0; }, 2000));
    windows.clearRecords();

    windows.window(bad)->title = u"一个坏网站 - 浏览器";
    windows.notifyChanged(bad);
    windows.notifyChanged(quiet);
    windows.notifyChanged(bad);
    ASSERT_TRUE(QTest::qWaitFor([&] { return windows.closeRequestCount(bad) == 1; }, 400));
    EXPECT_EQ(windows.enumerationCount(), 0);
    ASSERT_EQ(windows.partialEnumerationCount(), 1);
    EXPECT_EQ(windows.partialEnumerations().front(), (std::vector<WindowHandle>{bad, quiet}));
    EXPECT_EQ(windows.closeRequestCount(quiet), 0);

    // The window stays (it refuses): the timer asks it again, twice a second.
    EXPECT_TRUE(QTest::qWaitFor([&] { return windows.closeRequestCount(bad) >= 3; }, 3000));
    EXPECT_GE(windows.enumerationCount(), 2);

    // Some window changed, unknown which: a whole pass follows.
    ASSERT_TRUE(QTest::qWaitFor([&] { return windows.enumerationCount() > 2; }, 2000));
    windows.clearRecords();
    windows.notifyChanged(WindowSystem::kSomeWindow);
    EXPECT_TRUE(QTest::qWaitFor([&] { return windows.enumerationCount() == 1; }, 400));
    EXPECT_EQ(windows.partialEnumerationCount(), 0);
}

TEST_F(FrmMain, MinimisingIsNotHiding) {
    auto w = make();
    showActive(*w);
    w->showMinimized();
    QCoreApplication::processEvents();
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(QFile::exists(store()));
}

TEST_F(FrmMain, CloseAnsweredNoWritesTheStoreAndKeepsTheWindow) {
    auto w = make();
    showActive(*w);
    w->keyList().append(u"abc");
    prompts.answerMessage(Msg::No);
    // The question comes after the list is on disk.
    QByteArray onDiskWhileAsked;
    prompts.whileOpen([&] { onDiskWhileAsked = readFile(store()); });

    EXPECT_FALSE(w->close());

    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(endRequests, 0);
    EXPECT_EQ(onDiskWhileAsked, storeBytes({QStringLiteral("abc")}));
    ASSERT_EQ(prompts.asked().size(), 1);
    const Asked& q = prompts.asked().first();
    EXPECT_EQ(q.kind, Asked::Message);
    EXPECT_EQ(q.text, kExitQuestion);
    EXPECT_EQ(q.style, 0x24);
    EXPECT_EQ(q.caption, QStringLiteral("询问"));
    EXPECT_TRUE(w->findChild<QTimer*>(QStringLiteral("KillWindows"))->isActive());
}

TEST_F(FrmMain, CloseAnsweredYesEndsTheProcess) {
    auto w = make();
    showActive(*w);
    prompts.answerMessage(Msg::Yes);
    w->close();
    EXPECT_EQ(endRequests, 1);
    EXPECT_TRUE(QFile::exists(store()));
}

TEST_F(FrmMain, CloseRequestsWhileTheQuestionIsOpenAskOnce) {
    auto w = make();
    showActive(*w);
    prompts.answerMessage(Msg::No);
    QWidget* window = w.get();
    prompts.whileOpen([window] { window->close(); });
    w->close();
    EXPECT_EQ(messageTexts(prompts), QStringList{kExitQuestion});
    EXPECT_TRUE(w->isVisible());
}

TEST_F(FrmMain, YesEndsTheRealProcessAtOnceAfterSaving) {
    const QString dir = env.work() + QStringLiteral("/child");
    ASSERT_TRUE(QDir().mkpath(dir));
    ChildProcess child;
    ASSERT_TRUE(child.start({END_PROCESS_CHILD, dir.toStdString()}, {}, -1,
                            (env.work() + QStringLiteral("/child.log")).toStdString()));
    ASSERT_TRUE(child.waitFor(60000));
    EXPECT_EQ(child.exitCode(), 0)
        << readFile(env.work() + QStringLiteral("/child.log")).toStdString();
    EXPECT_FALSE(QFile::exists(dir + QStringLiteral("/after-close")));
    EXPECT_EQ(readFile(dir + QStringLiteral("/KeyList.dat")), storeBytes({QStringLiteral("abc")}));
}

TEST_F(FrmMain, PatrolGoesOnWhileAModalPromptIsOpen) {
    auto w = make();
    showActive(*w);
    w->keyList().append(u"坏");
    const WindowHandle bad = windows.addWindow({0, u"Browser", 0, true, u"坏网站", 4242});
    struct Case {
        const char* prompt;
        std::function<void()> open;
    };
    const Case cases[] = {
        {"exit question",
         [&] {
             prompts.answerMessage(Msg::No);
             w->close();
         }},
        {"short-keyword question",
         [&] {
             text(*w)->setText(QStringLiteral("x"));
             prompts.answerMessage(Msg::No);
             w->findChild<QPushButton*>(QStringLiteral("AddKey_Cmd"))->click();
         }},
        {"file dialog",
         [&] { w->findChild<QPushButton*>(QStringLiteral("cmdInputList"))->click(); }},
    };
    for (const Case& c : cases) {
        windows.clearRecords();
        bool patrolled = false;
        // The scripted prompt stays "open" until the timer has run two passes.
        prompts.whileOpen([&] {
            patrolled = QTest::qWaitFor([&] { return windows.closeRequestCount(bad) >= 2; }, 5000);
        });
        c.open();
        EXPECT_TRUE(patrolled) << c.prompt;
    }
}

TEST_F(FrmMain, Command1RunsOnePassAndCommand2ListsTheWindows) {
    auto w = make();
    windows.addWindow({0, u"Browser", 0, true, u"坏网站", 4242});
    windows.addWindow({0, u"Dialog", 0x1000, true, u"owned", 4242});
    windows.addWindow({0, u"Term", 0, true, u"shell", 4243});
    windows.addWindow({0, u"Hidden", 0, false, u"hidden", 4243});

    // With an empty list a pass enumerates nothing.
    windows.clearRecords();
    w->Command1_Click();
    EXPECT_EQ(windows.enumerationCount(), 0);

    w->keyList().append(u"坏");
    windows.clearRecords();
    w->Command1_Click();
    EXPECT_EQ(windows.enumerationCount(), 1);
    EXPECT_EQ(windows.closeRequests().size(), 1);

    w->Command2_Click();
    EXPECT_EQ(w->keyList().entries(),
              (QStringList{QStringLiteral("坏网站><Browser"), QStringLiteral("shell><Term")}));

    windows.clearWindows();
    w->Command2_Click();
    EXPECT_EQ(w->keyList().count(), 0);
}

TEST_F(FrmMain, PatrolSparesTheProgramsOwnWindowsAndItsCaption) {
    auto w = make();
    w->keyList().append(u"1.00");
    const quint32 own = static_cast<quint32>(QCoreApplication::applicationPid());
    const WindowHandle mine = windows.addWindow({0, u"x", 0, true, u"about 1.00", own});
    const WindowHandle sameCaption = windows.addWindow({0, u"x", 0, true, u"墨枫哨兵 1.00", 7});
    const WindowHandle longer = windows.addWindow({0, u"x", 0, true, u"墨枫哨兵 1.00!", 7});
    w->Command1_Click();
    EXPECT_EQ(windows.closeRequests(), std::vector<WindowHandle>{longer});
    EXPECT_EQ(windows.closeRequestCount(mine), 0);
    EXPECT_EQ(windows.closeRequestCount(sameCaption), 0);
}

// The editing commands, as a user drives them.
TEST_F(FrmMain, EditingCommands) {
    enum Action { Add, Change, RemoveOne, Clear };
    struct Case {
        const char* name;
        QStringList initial;
        int select; // -1: nothing selected
        QString typed;
        Action action;
        QList<int> messageAnswers;
        QStringList inputAnswers;
        QStringList expected;
        QString textAfter;
        QStringList messages;
        bool prompted; // the change prompt was shown
    };
    const QString a = QStringLiteral("a");
    const QStringList abc = {QStringLiteral("alpha"), QStringLiteral("beta"),
                             QStringLiteral("gamma")};
    const Case cases[] = {
        {"add spaces only",
         {},
         -1,
         QStringLiteral("   "),
         Add,
         {},
         {},
         {},
         QStringLiteral("   "),
         {},
         false},
        {"add nothing", {}, -1, QString(), Add, {}, {}, {}, QString(), {}, false},
        {"add keeps blanks",
         {},
         -1,
         QStringLiteral("  words  "),
         Add,
         {},
         {},
         {QStringLiteral("  words  ")},
         QString(),
         {},
         false},
        {"add twice",
         {QStringLiteral("words")},
         -1,
         QStringLiteral("words"),
         Add,
         {},
         {},
         {QStringLiteral("words"), QStringLiteral("words")},
         QString(),
         {},
         false},
        {"add one letter yes",
         {},
         -1,
         a,
         Add,
         {Msg::Yes},
         {},
         {a},
         QString(),
         {kShortQuestion},
         false},
        {"add one letter no", {}, -1, a, Add, {Msg::No}, {}, {}, a, {kShortQuestion}, false},
        {"add short with blanks",
         {},
         -1,
         QStringLiteral("  ab  "),
         Add,
         {Msg::Yes},
         {},
         {QStringLiteral("  ab  ")},
         QString(),
         {kShortQuestion},
         false},
        {"add four letters",
         {},
         -1,
         QStringLiteral("abcd"),
         Add,
         {Msg::Yes},
         {},
         {QStringLiteral("abcd")},
         QString(),
         {kShortQuestion},
         false},
        {"add five letters",
         {},
         -1,
         QStringLiteral("abcde"),
         Add,
         {},
         {},
         {QStringLiteral("abcde")},
         QString(),
         {},
         false},
        {"add one hanzi",
         {},
         -1,
         QStringLiteral("色"),
         Add,
         {Msg::Yes},
         {},
         {QStringLiteral("色")},
         QString(),
         {kShortQuestion},
         false},
        // Shortness is measured in UTF-8: most Chinese keywords are two characters, and
        // they are not asked about.
        {"add two hanzi",
         {},
         -1,
         QStringLiteral("色情"),
         Add,
         {},
         {},
         {QStringLiteral("色情")},
         QString(),
         {},
         false},
        {"add one CJK symbol",
         {},
         -1,
         QStringLiteral("\u3007"),
         Add,
         {Msg::No},
         {},
         {},
         QStringLiteral("\u3007"),
         {kShortQuestion},
         false},
        {"add three hanzi",
         {},
         -1,
         QStringLiteral("色情网"),
         Add,
         {},
         {},
         {QStringLiteral("色情网")},
         QString(),
         {},
         false},
        {"change keeps place",
         abc,
         1,
         {},
         Change,
         {},
         {QStringLiteral("X")},
         {QStringLiteral("alpha"), QStringLiteral("X"), QStringLiteral("gamma")},
         QString(),
         {},
         true},
        {"change to blanks",
         abc,
         0,
         {},
         Change,
         {},
         {QStringLiteral("   ")},
         {QStringLiteral("   "), QStringLiteral("beta"), QStringLiteral("gamma")},
         QString(),
         {},
         true},
        {"change cancelled", abc, 2, {}, Change, {}, {QString()}, abc, QString(), {}, true},
        {"change with nothing selected",
         abc,
         -1,
         {},
         Change,
         {},
         {QStringLiteral("X")},
         abc,
         QString(),
         {},
         false},
        {"remove selected",
         abc,
         1,
         {},
         RemoveOne,
         {},
         {},
         {QStringLiteral("alpha"), QStringLiteral("gamma")},
         QString(),
         {},
         false},
        {"remove with nothing selected", abc, -1, {}, RemoveOne, {}, {}, abc, QString(), {}, false},
        {"clear", abc, 1, {}, Clear, {}, {}, {}, QString(), {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPrompts fresh;
        prompts = fresh;
        auto w = make();
        showActive(*w);
        for (const QString& k : c.initial)
            w->keyList().append(QtText::fromQ(k));
        if (c.select >= 0)
            QTest::mouseClick(list(*w)->viewport(), Qt::LeftButton, {},
                              list(*w)->visualItemRect(list(*w)->item(c.select)).center());
        EXPECT_EQ(w->keyList().selectionIndex(), c.select);
        text(*w)->setText(c.typed);
        for (int answer : c.messageAnswers)
            prompts.answerMessage(answer);
        for (const QString& answer : c.inputAnswers)
            prompts.answerInput(answer);
        const char* buttonName[] = {"AddKey_Cmd", "Update_cmd", "cmdDelOne", "cmdDelList"};
        QTest::mouseClick(button(*w, buttonName[c.action]), Qt::LeftButton);

        EXPECT_EQ(w->keyList().entries(), c.expected);
        EXPECT_EQ(list(*w)->count(), c.expected.size());
        EXPECT_EQ(text(*w)->text(), c.textAfter);
        EXPECT_EQ(messageTexts(prompts), c.messages);
        for (const Asked& asked : prompts.asked())
            if (asked.kind == Asked::Message) {
                EXPECT_EQ(asked.style, Msg::YesNo | Msg::Question); // Yes is the default
                EXPECT_EQ(asked.caption, QStringLiteral("询问"));
            }

        const bool prompted = std::any_of(prompts.asked().begin(), prompts.asked().end(),
                                          [](const Asked& x) { return x.kind == Asked::Input; });
        EXPECT_EQ(prompted, c.prompted);
        if (prompted) {
            const Asked& input = prompts.asked().first();
            EXPECT_EQ(input.text, QStringLiteral("请输入关键字"));
            EXPECT_EQ(input.caption, QStringLiteral("墨枫哨兵"));
            EXPECT_EQ(input.defaultText, c.initial.at(c.select));
            // A changed entry is not selected again; a cancelled change keeps the selection.
            EXPECT_EQ(w->keyList().selectionIndex(), c.expected == c.initial ? c.select : -1);
        }
        if (c.action == Add && c.textAfter.isEmpty() && !c.expected.isEmpty()) {
            EXPECT_TRUE(text(*w)->hasFocus());
        }
        if (c.action == RemoveOne) {
            EXPECT_TRUE(list(*w)->hasFocus());
        }
        // Edits reach the disk only on hide or close.
        EXPECT_FALSE(QFile::exists(store()));
    }
}

// A keyword the list file cannot hold in code page 936 would come back from it as "?", which
// matches nearly every title: it is refused at once, and the list and the text box stay.
TEST_F(FrmMain, KeywordsTheListFileCannotHoldAreRefused) {
    const QStringList abc = {QStringLiteral("alpha"), QStringLiteral("beta")};
    const struct {
        const char* name;
        bool change;
        QString typed;
        QString named; // the characters the message names; empty: accepted
    } cases[] = {
        {"add with two", false, QStringLiteral("se\u00f1or \u2713 se\u00f1or"),
         QStringLiteral("“\u00f1”(U+00F1)、“\u2713”(U+2713)")},
        {"add an emoji", false, QStringLiteral("game \U0001F3B2"),
         QStringLiteral("“\U0001F3B2”(U+1F3B2)")},
        {"add a no-break space", false, QStringLiteral("a\u00a0b c"),
         QStringLiteral("“\u00a0”(U+00A0)")},
        {"change to a sharp s", true, QStringLiteral("stra\u00dfe"),
         QStringLiteral("“\u00df”(U+00DF)")},
        // Pinyin letters and the euro sign are in the code page.
        {"add pinyin and the euro", false, QStringLiteral("caf\u00e9 \u20ac"), QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPrompts fresh;
        prompts = fresh;
        QFile::remove(store());
        auto w = make();
        showActive(*w);
        for (const QString& k : abc)
            w->keyList().append(QtText::fromQ(k));
        if (c.change) {
            QTest::mouseClick(list(*w)->viewport(), Qt::LeftButton, {},
                              list(*w)->visualItemRect(list(*w)->item(1)).center());
            prompts.answerInput(c.typed);
            QTest::mouseClick(button(*w, "Update_cmd"), Qt::LeftButton);
        } else {
            text(*w)->setText(c.typed);
            QTest::mouseClick(button(*w, "AddKey_Cmd"), Qt::LeftButton);
        }
        if (c.named.isEmpty()) {
            EXPECT_EQ(w->keyList().entries(), abc + QStringList{c.typed});
            EXPECT_TRUE(messageTexts(prompts).isEmpty());
            continue;
        }
        EXPECT_EQ(w->keyList().entries(), abc);
        EXPECT_EQ(text(*w)->text(), c.change ? QString() : c.typed);
        ASSERT_EQ(messageTexts(prompts),
                  QStringList{QStringLiteral("关键字中有无法保存的字符：") + c.named +
                              QStringLiteral("\n请删除这些字符后再试。")});
        const Asked& refusal = prompts.asked().last();
        EXPECT_EQ(refusal.style, Msg::OkOnly | Msg::Critical);
        EXPECT_EQ(refusal.caption, QStringLiteral("墨枫哨兵"));
        // Nothing that could turn into "?" reaches the store.
        w->cmdHide_Click();
        EXPECT_FALSE(readFile(store()).contains('?'));
    }
}

TEST_F(FrmMain, EnterPressesTheButtonThatFollowsTheFocus) {
    auto w = make();
    showActive(*w);
    w->keyList().append(u"alpha");
    w->keyList().append(u"beta");
    QPushButton* add = button(*w, "AddKey_Cmd");
    QPushButton* change = button(*w, "Update_cmd");

    // At start the list has the focus and Add is the default: Enter adds the (empty) text.
    EXPECT_TRUE(list(*w)->hasFocus());
    EXPECT_TRUE(add->isDefault());
    QTest::keyClick(list(*w), Qt::Key_Return);
    EXPECT_EQ(w->keyList().count(), 2);
    EXPECT_TRUE(prompts.asked().isEmpty());

    // Enter in the text box adds.
    QTest::mouseClick(text(*w), Qt::LeftButton);
    QTest::keyClicks(text(*w), QStringLiteral("hello"));
    QTest::keyClick(text(*w), Qt::Key_Return);
    EXPECT_EQ(w->keyList().at(2), u"hello");
    EXPECT_TRUE(text(*w)->text().isEmpty());
    EXPECT_TRUE(prompts.asked().isEmpty());

    // Picking an entry with the mouse makes Change the default: Enter opens the prompt.
    QTest::mouseClick(list(*w)->viewport(), Qt::LeftButton, {},
                      list(*w)->visualItemRect(list(*w)->item(0)).center());
    EXPECT_TRUE(change->isDefault());
    EXPECT_FALSE(add->isDefault());
    prompts.answerInput(QStringLiteral("ALPHA"));
    QTest::keyClick(list(*w), Qt::Key_Return);
    ASSERT_EQ(prompts.asked().size(), 1);
    EXPECT_EQ(prompts.asked().first().defaultText, QStringLiteral("alpha"));
    EXPECT_EQ(w->keyList().at(0), u"ALPHA");

    // Back in the text box, Enter adds again (keypad Enter too).
    QTest::mouseClick(text(*w), Qt::LeftButton);
    EXPECT_TRUE(add->isDefault());
    QTest::keyClicks(text(*w), QStringLiteral("world"));
    QTest::keyClick(text(*w), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(w->keyList().at(3), u"world");

    // Picking with the arrow keys counts as picking.
    list(*w)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(list(*w), Qt::Key_Down);
    ASSERT_GE(w->keyList().selectionIndex(), 0);
    EXPECT_TRUE(change->isDefault());
    const QString picked = QtText::toQ(w->keyList().at(w->keyList().selectionIndex()));
    prompts.clear();
    prompts.answerInput(QString()); // cancel
    QTest::keyClick(list(*w), Qt::Key_Return);
    ASSERT_EQ(prompts.asked().size(), 1);
    EXPECT_EQ(prompts.asked().first().defaultText, picked);

    // Removing entries moves no default by itself.
    w->keyList().removeAt(0);
    EXPECT_TRUE(change->isDefault());
}

TEST_F(FrmMain, ImportAndExportThroughTheFileDialogs) {
    auto w = make();
    showActive(*w);
    const QString exported = env.work() + QStringLiteral("/列表.lst");
    const QList<QPair<QString, QString>> filters = {
        {QStringLiteral("列表文件(*.lst)"), QStringLiteral("*.lst")},
        {QStringLiteral("所有文件"), QStringLiteral("*.*")}};

    // Cancel does nothing.
    w->keyList().append(u"abc");
    QTest::mouseClick(button(*w, "cmdInputList"), Qt::LeftButton);
    QTest::mouseClick(button(*w, "cmdOutList"), Qt::LeftButton);
    ASSERT_EQ(prompts.asked().size(), 2);
    EXPECT_EQ(prompts.asked()[0].file.title, QStringLiteral("打开"));
    EXPECT_FALSE(prompts.asked()[0].file.save);
    EXPECT_EQ(prompts.asked()[0].file.filters, filters);
    EXPECT_EQ(prompts.asked()[1].file.title, QStringLiteral("保存"));
    EXPECT_TRUE(prompts.asked()[1].file.save);
    EXPECT_EQ(prompts.asked()[1].file.flags, 0x80100Eu);
    EXPECT_EQ(prompts.asked()[1].file.filters, filters);
    EXPECT_EQ(w->keyList().entries(), QStringList{QStringLiteral("abc")});
    EXPECT_EQ(QDir(env.work()).entryList(QDir::Files), QStringList());

    // An empty list exports as the header line alone.
    w->keyList().clear();
    prompts.answerFile(exported);
    QTest::mouseClick(button(*w, "cmdOutList"), Qt::LeftButton);
    EXPECT_EQ(readFile(exported), storeBytes({}));
    EXPECT_EQ(readFile(exported).size(), 16);

    // Export over a read-only file replaces it.
    for (const char16_t* k : {u"色情", u" spaced ", u"abc", u"abc"})
        w->keyList().append(k);
    ASSERT_TRUE(QFile::setPermissions(exported, QFile::ReadOwner | QFile::ReadGroup));
    prompts.answerFile(exported);
    QTest::mouseClick(button(*w, "cmdOutList"), Qt::LeftButton);
    EXPECT_EQ(readFile(exported), storeBytes(w->keyList().entries()));
    EXPECT_FALSE(QFile::exists(store())); // the store is not the export

    // Export, clear, import: the same keywords, repeats once.
    QTest::mouseClick(button(*w, "cmdDelList"), Qt::LeftButton);
    prompts.answerFile(exported);
    QTest::mouseClick(button(*w, "cmdInputList"), Qt::LeftButton);
    const QStringList back = {QStringLiteral("色情"), QStringLiteral(" spaced "),
                              QStringLiteral("abc")};
    EXPECT_EQ(w->keyList().entries(), back);
    // Importing the same file again adds nothing and says nothing.
    prompts.clear();
    prompts.answerFile(exported);
    QTest::mouseClick(button(*w, "cmdInputList"), Qt::LeftButton);
    EXPECT_EQ(w->keyList().entries(), back);
    EXPECT_TRUE(messageTexts(prompts).isEmpty());

    // A file of another kind.
    const QString other = env.work() + QStringLiteral("/notes.txt");
    ASSERT_TRUE(writeFile(other, "just some text\r\n"));
    prompts.answerFile(other);
    QTest::mouseClick(button(*w, "cmdInputList"), Qt::LeftButton);
    EXPECT_EQ(messageTexts(prompts), QStringList{QStringLiteral("无法识别的文件")});
    EXPECT_EQ(w->keyList().entries(), back);
}

TEST_F(FrmMain, ExportOverAnUnreadStoreKeepsItAsideToo) {
    const QByteArray unread = "not a list file\r\n";
    ASSERT_TRUE(writeFile(store(), unread));
    auto w = make();
    w->keyList().append(u"abc");
    prompts.answerFile(store());
    w->findChild<QPushButton*>(QStringLiteral("cmdOutList"))->click();
    EXPECT_EQ(readFile(store() + QStringLiteral(".bak")), unread);
    EXPECT_EQ(readFile(store()), storeBytes({QStringLiteral("abc")}));
}

TEST_F(FrmMain, AboutBoxIsOneAtATimeModelessAndLoadsAfresh) {
    auto w = make();
    showActive(*w);
    QTest::mouseClick(button(*w, "cmdAbout"), Qt::LeftButton);
    frmAbout* first = w->aboutBox();
    ASSERT_NE(first, nullptr);
    QTest::mouseClick(button(*w, "cmdAbout"), Qt::LeftButton);
    EXPECT_EQ(w->aboutBox(), first);
    int boxes = 0;
    for (QWidget* top : QApplication::topLevelWidgets())
        boxes += qobject_cast<frmAbout*>(top) && top->isVisible();
    EXPECT_EQ(boxes, 1);
    EXPECT_FALSE(first->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(first));
    EXPECT_EQ(first->findChild<QLabel*>(QStringLiteral("lblTitle"))->text(),
              QStringLiteral("墨枫哨兵"));

    // The main window still takes input while the box is open.
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    QTest::mouseClick(text(*w), Qt::LeftButton);
    QTest::keyClicks(text(*w), QStringLiteral("hello"));
    QTest::keyClick(text(*w), Qt::Key_Return);
    EXPECT_EQ(w->keyList().entries(), QStringList{QStringLiteral("hello")});

    // The mail link goes through the service the window was given.
    QTest::mouseClick(first->findChild<QLabel*>(QStringLiteral("Label4")), Qt::LeftButton, {},
                      QPoint(2, 2));
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.first().toString(), QStringLiteral("mailto:") + frmAbout::mailAddress());

    for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
        first->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(first));
        QTest::keyClick(first, key);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(w->aboutBox(), nullptr);
        // Opened again: a new box, loaded again.
        QTest::mouseClick(button(*w, "cmdAbout"), Qt::LeftButton);
        first = w->aboutBox();
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first->findChild<QLabel*>(QStringLiteral("lblTitle"))->text(),
                  QStringLiteral("墨枫哨兵"));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(first));
    }
}

TEST_F(FrmMain, PasswordButtonCallsTheGivenService) {
    auto w = make();
    showActive(*w);
    QTest::mouseClick(button(*w, "SetMima_cmd"), Qt::LeftButton);
    EXPECT_EQ(passwordRequests, 1);
}

TEST_F(FrmMain, RunAtLogonBoxIsSetAtLoadWithoutWritingAndFollowsTheUser) {
    {
        auto w = make();
        EXPECT_FALSE(w->isAuto());
        EXPECT_FALSE(control<QCheckBox>(*w, "cekAutoRun")->isChecked());
    }
    ASSERT_EQ(AutoRun(registry, app()).cekAutoRun_Click(1), 1);
    const int changesBefore = registry.changes();
    auto w = make();
    auto* box = control<QCheckBox>(*w, "cekAutoRun");
    EXPECT_TRUE(w->isAuto());
    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(registry.changes(), changesBefore); // the load wrote nothing

    showActive(*w);
    // The user clears the box: the entry goes.
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_FALSE(box->isChecked());
    EXPECT_FALSE(w->isAuto());
    // The user may not write: checking fails and the box shows unchecked again.
    registry.denyWrites = true;
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_FALSE(box->isChecked());
    EXPECT_FALSE(w->isAuto());
    registry.denyWrites = false;
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_TRUE(box->isChecked());
    EXPECT_TRUE(w->isAuto());
    EXPECT_TRUE(prompts.asked().isEmpty());
}

} // namespace
