// The program's start as a person meets it, with the real executable (copied into a
// private folder) on a private desktop: one instance per user, the hidden start with
// "/auto", the wake-up of the running instance, and the login at start.
#include "common/AppInfo.h"
#include "password/PassTransform.h"
#include "platform/local/RuntimeFolder.h"
#include "platform/local/WakeUpServer.h"
#include "platform/x11/X11WindowSystem.h"
#include "platform/xdg/IniSettingsStore.h"
#include "support/ChildProcess.h"
#include "support/TestEnv.h"
#include "support/Wait.h"
#include "support/XvfbServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <thread>

namespace {

const QString kMainCaption = QStringLiteral("墨枫哨兵 1.00");
const QString kLoginCaption = QStringLiteral("登录");
const QString kKeyword = QStringLiteral("forbidden");

bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 20000) {
    return Wait::until(condition, timeoutMs);
}


class StartUp : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(display.ok());
        exe = env.copyExecutable();
        ASSERT_FALSE(exe.isEmpty());
        // A store with one keyword beside the copied executable.
        QFile store(QFileInfo(exe).absolutePath() + "/KeyList.dat");
        ASSERT_TRUE(store.open(QIODevice::WriteOnly));
        store.write("\x5b\xc4\xab\xb7\xe3\xc9\xda\xb1\xf8"
                    "1.00]\r\n");
        store.write(kKeyword.toUtf8() + "\r\n");
        store.close();
        windows = X11WindowSystem::open(QByteArray::fromStdString(display.display()));
        ASSERT_TRUE(windows);
    }

    std::vector<std::string> programEnv() const {
        return {"DISPLAY=" + display.display(), "QT_QPA_PLATFORM=xcb",
                "ASAN_OPTIONS=detect_leaks=0"};
    }

    void start(ChildProcess& p, const std::vector<std::string>& args = {}) {
        std::vector<std::string> argv{exe.toStdString()};
        argv.insert(argv.end(), args.begin(), args.end());
        ASSERT_TRUE(p.start(argv, programEnv(), -1, (env.work() + "/log.txt").toStdString()));
    }

    // The visible top-level window with exactly this title, or 0.
    WindowHandle find(const QString& title) {
        WindowHandle found = 0;
        windows->EnumWindows([&](WindowHandle w) {
            if (windows->IsWindowVisible(w) && windows->GetWindowText(w) == title)
                found = w;
            return found == 0;
        });
        return found;
    }
    bool shown(const QString& title) { return find(title) != 0; }

    void setPassword(const QString& password) {
        IniSettingsStore settings;
        settings.SaveSetting(AppInfo::title(), "lgPw", "EnDoor",
                             PassTransform::EncodePass(password).value());
    }

    // A window of another program whose title carries the keyword.
    void startTarget(ChildProcess& target, const QString& title) {
        ASSERT_TRUE(target.start({"xmessage", "-title", title.toStdString(), "target"},
                                 {"DISPLAY=" + display.display()}, -1, "/dev/null"));
        ASSERT_TRUE(waitUntil([&] { return shown(title) || !target.running(); }));
    }

    void xdotool(const std::vector<std::string>& args) {
        std::vector<std::string> argv{"xdotool"};
        argv.insert(argv.end(), args.begin(), args.end());
        ChildProcess tool;
        ASSERT_TRUE(tool.start(argv, {"DISPLAY=" + display.display()}, -1, "/dev/null"));
        ASSERT_TRUE(tool.waitFor(20000));
    }

    // Types into the window with this title, as a person at the keyboard would.
    void typeInto(const QString& title, const std::string& text, const std::string& key) {
        const WindowHandle w = find(title);
        ASSERT_NE(w, 0u);
        xdotool({"windowactivate", "--sync", std::to_string(w)});
        if (!text.empty())
            xdotool({"type", "--delay", "20", text});
        xdotool({"key", key});
    }

    TestEnv env;
    XvfbServer display{true};
    QString exe;
    std::unique_ptr<X11WindowSystem> windows;
};

TEST_F(StartUp, AutoInAnyCaseStartsHiddenAndPatrols) {
    for (const char* argument : {"/AUTO", "/Auto"}) {
        SCOPED_TRACE(argument);
        ChildProcess program;
        start(program, {argument});
        ChildProcess target;
        startTarget(target, "a forbidden page");
        // The patrol closes the window; nothing of the program's shows, nothing is asked.
        EXPECT_TRUE(waitUntil([&] { return !target.running(); }));
        EXPECT_FALSE(shown(kMainCaption));
        EXPECT_FALSE(shown(kLoginCaption));
        EXPECT_TRUE(program.running());
        program.terminate();
    }
}

TEST_F(StartUp, OtherArgumentsAreInteractiveStarts) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"/auto", "x"}, {"-auto"}, {"auto"}, {}}) {
        SCOPED_TRACE(args.empty() ? std::string("(none)") : args[0]);
        ChildProcess program;
        start(program, args);
        // No password is set: the main window comes at once.
        EXPECT_TRUE(waitUntil([&] { return shown(kMainCaption); }));
        program.terminate();
        ASSERT_TRUE(waitUntil([&] { return !shown(kMainCaption); }));
    }
}

TEST_F(StartUp, SecondStartWhileVisibleEndsAndLeavesTheFirstShown) {
    ChildProcess first;
    start(first);
    ASSERT_TRUE(waitUntil([&] { return shown(kMainCaption); }));
    setPassword("secret"); // a visible window comes back without it
    ChildProcess second;
    start(second);
    ASSERT_TRUE(second.waitFor(5000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(first.running());
    EXPECT_TRUE(shown(kMainCaption));
    EXPECT_FALSE(shown(kLoginCaption));
}

TEST_F(StartUp, SecondStartWhileHiddenWithoutPasswordShowsTheWindow) {
    ChildProcess first;
    start(first, {"/auto"});
    ASSERT_TRUE(waitUntil([&] {
        return !IniSettingsStore().GetSetting(AppInfo::title(), "lgpw", "hwnd").isEmpty();
    }));
    EXPECT_FALSE(shown(kMainCaption));
    ChildProcess second;
    start(second);
    EXPECT_TRUE(waitUntil([&] { return shown(kMainCaption); }));
    ASSERT_TRUE(second.waitFor(10000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(first.running());
}

TEST_F(StartUp, SecondStartWhileHiddenAsksForThePasswordAndWaits) {
    setPassword("secret");
    ChildProcess first;
    start(first, {"/auto"});
    ASSERT_TRUE(waitUntil([&] {
        return !IniSettingsStore().GetSetting(AppInfo::title(), "lgpw", "hwnd").isEmpty();
    }));
    ChildProcess second;
    start(second);
    ASSERT_TRUE(waitUntil([&] { return shown(kLoginCaption); }));
    // The later start waits while the login dialog is open in the first.
    EXPECT_TRUE(Wait::holdsFor([&] { return second.running(); }, 1000));

    // A wrong password: the message, then the dialog again.
    typeInto(kLoginCaption, "wrong", "Return");
    ASSERT_TRUE(waitUntil([&] { return shown(AppInfo::title()); }));
    typeInto(AppInfo::title(), "", "Return");
    ASSERT_TRUE(waitUntil([&] { return !shown(AppInfo::title()) && shown(kLoginCaption); }));
    EXPECT_TRUE(second.running());

    // Cancel: the first stays hidden and patrolling, the second ends.
    typeInto(kLoginCaption, "", "Escape");
    ASSERT_TRUE(second.waitFor(10000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_FALSE(shown(kMainCaption));
    EXPECT_TRUE(first.running());
    ChildProcess target;
    startTarget(target, "still forbidden");
    EXPECT_TRUE(waitUntil([&] { return !target.running(); }));

    // The right password, at a later start, brings the window back.
    ChildProcess third;
    start(third);
    ASSERT_TRUE(waitUntil([&] { return shown(kLoginCaption); }));
    typeInto(kLoginCaption, "secret", "Return");
    EXPECT_TRUE(waitUntil([&] { return shown(kMainCaption); }));
    ASSERT_TRUE(third.waitFor(10000));
}

TEST_F(StartUp, RefusedLoginAtStartEndsEverything) {
    setPassword("secret");
    ChildProcess program;
    start(program);
    ASSERT_TRUE(waitUntil([&] { return shown(kLoginCaption); }));
    // The patrol already runs behind the login dialog.
    ChildProcess early;
    startTarget(early, "forbidden early");
    EXPECT_TRUE(waitUntil([&] { return !early.running(); }));
    typeInto(kLoginCaption, "", "Escape");
    ASSERT_TRUE(program.waitFor(10000));
    // Nothing keeps patrolling.
    ChildProcess target;
    startTarget(target, "forbidden after");
    EXPECT_TRUE(Wait::holdsFor([&] { return target.running(); }, 1500));
}

TEST_F(StartUp, StaleAddressOfACrashedInstanceGivesAFreshStart) {
    ChildProcess crashed;
    start(crashed, {"/auto"});
    ASSERT_TRUE(waitUntil([&] {
        return !IniSettingsStore().GetSetting(AppInfo::title(), "lgpw", "hwnd").isEmpty();
    }));
    const QString staleAddress = IniSettingsStore().GetSetting(AppInfo::title(), "lgpw", "hwnd");
    ::kill(crashed.pid(), SIGKILL);
    ASSERT_TRUE(crashed.waitFor(10000));

    // The lock is stale: this start is a first instance and shows its window.
    ChildProcess fresh;
    start(fresh);
    ASSERT_TRUE(waitUntil([&] { return shown(kMainCaption); }));
    EXPECT_TRUE(fresh.running());
    EXPECT_NE(IniSettingsStore().GetSetting(AppInfo::title(), "lgpw", "hwnd"), staleAddress);
    // And a later one still hands off to it.
    ChildProcess later;
    start(later);
    ASSERT_TRUE(later.waitFor(5000));
    EXPECT_EQ(later.exitCode(), 0);
    EXPECT_TRUE(fresh.running());
}

TEST_F(StartUp, HostileWakeUpClientsBlockNeitherThePatrolNorTheWakeUp) {
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    ChildProcess program;
    start(program, {"/auto"});
    QString address;
    ASSERT_TRUE(waitUntil([&] {
        address = IniSettingsStore().GetSetting(AppInfo::title(), "lgpw", "hwnd");
        return !address.isEmpty();
    }));
    const QString path = WakeUpServer::socketPath(RuntimeFolder::path(), address.toInt());
    QLocalSocket silent, garbage, huge;
    for (QLocalSocket* s : {&silent, &garbage, &huge}) {
        s->connectToServer(path);
        ASSERT_TRUE(s->waitForConnected(5000));
    }
    garbage.write("\x01\x02 garbage without end");
    huge.write(QByteArray(2 * 1024 * 1024, 'x'));
    garbage.flush();
    huge.flush();

    ChildProcess target;
    startTarget(target, "forbidden while besieged");
    EXPECT_TRUE(waitUntil([&] { return !target.running(); }));
    ChildProcess second;
    start(second);
    EXPECT_TRUE(waitUntil([&] { return shown(kMainCaption); }));
    ASSERT_TRUE(second.waitFor(10000));
    EXPECT_EQ(second.exitCode(), 0);
}

} // namespace
