// The program's start as a person meets it, with the real executable (copied into a
// private folder) on a private desktop: one instance per user, the hidden start with
// "/auto", the wake-up of the running instance, and the login at start.
#include "common/AppInfo.h"
#include "password/PassTransform.h"
#include "platform/local/RuntimeFolder.h"
#include "platform/local/WakeUpServer.h"
#include "platform/qt/QtText.h"
#include "platform/x11/X11WindowSystem.h"
#include "platform/xdg/IniSettingsStore.h"
#include "support/ChildProcess.h"
#include "support/TestEnv.h"
#include "support/Wait.h"
#include "support/XvfbServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <functional>
#include <thread>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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
            if (windows->IsWindowVisible(w) && QtText::toQ(windows->GetWindowText(w)) == title)
                found = w;
            return found == 0;
        });
        return found;
    }
    bool shown(const QString& title) { return find(title) != 0; }

    void setPassword(const QString& password) {
        IniSettingsStore settings;
        settings.SaveSetting(QtText::toQ(AppInfo::title()), "lgPw", "EnDoor",
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

    // The wake-up sockets and the lock file in the runtime folder.
    QStringList leftovers() const {
        return QDir(env.runtimeDir() + "/sentinel")
            .entryList({"wake-*", "instance.lock"}, QDir::Files | QDir::System);
    }
    QString published() const {
        return IniSettingsStore().GetSetting(QtText::toQ(AppInfo::title()), "lgpw", "hwnd");
    }
    QByteArray storeBytes() const {
        QFile store(QFileInfo(exe).absolutePath() + "/KeyList.dat");
        return store.open(QIODevice::ReadOnly) ? store.readAll() : QByteArray();
    }

    // Types a keyword into Key_Text of the shown main window and adds it, and waits until
    // the patrol closes a window with it in its title, so it is surely in the list.
    void addKeyword(const std::string& keyword) {
        const WindowHandle w = find(kMainCaption);
        ASSERT_NE(w, 0u);
        xdotool({"windowactivate", "--sync", std::to_string(w)});
        // Key_Text lies at the top of the window, left of the add button.
        xdotool({"mousemove", "--window", std::to_string(w), "100", "47", "click", "1"});
        xdotool({"type", "--delay", "20", keyword});
        xdotool({"key", "Return"});
        ChildProcess target;
        startTarget(target, QString::fromStdString(keyword) + " target");
        ASSERT_TRUE(waitUntil([&] { return !target.running(); }));
    }

    TestEnv env;
    XvfbServer display{true};
    QString exe;
    std::unique_ptr<X11WindowSystem> windows;
};

// However the instance ends, it leaves neither its wake-up socket nor its lock behind.
TEST_F(StartUp, EveryEndRemovesTheWakeUpSocketAndTheLock) {
    enum class How { ExitQuestion, RefusedLogin, Signal };
    const struct {
        const char* name;
        How how;
        int signal;
    } cases[] = {
        {"Yes to the exit question", How::ExitQuestion, 0},
        {"a refused login", How::RefusedLogin, 0},
        {"SIGTERM", How::Signal, SIGTERM},
        {"SIGINT", How::Signal, SIGINT},
        {"SIGHUP", How::Signal, SIGHUP},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        IniSettingsStore().SaveSetting(QtText::toQ(AppInfo::title()), "lgPw", "EnDoor", QString());
        if (c.how == How::RefusedLogin)
            setPassword("secret");
        ChildProcess program;
        start(program);
        ASSERT_TRUE(waitUntil(
            [&] { return shown(c.how == How::RefusedLogin ? kLoginCaption : kMainCaption); }));
        EXPECT_EQ(leftovers().filter("wake-").size(), 1);
        switch (c.how) {
        case How::ExitQuestion:
            typeInto(kMainCaption, "", "alt+F4");
            ASSERT_TRUE(waitUntil([&] { return shown(QStringLiteral("询问")); }));
            typeInto(QStringLiteral("询问"), "", "Return");
            break;
        case How::RefusedLogin:
            typeInto(kLoginCaption, "", "Escape");
            break;
        case How::Signal:
            ::kill(program.pid(), c.signal);
            break;
        }
        ASSERT_TRUE(program.waitFor(10000));
        if (c.how == How::Signal) {
            EXPECT_EQ(program.exitCode(), 128 + c.signal) << "ended by the signal itself";
        }
        EXPECT_EQ(leftovers(), QStringList());
    }
}

TEST_F(StartUp, SocketsLeftByACrashedInstanceAreRemovedAtStart) {
    const QString folder = RuntimeFolder::path();
    for (const char* name : {"wake-12345", "wake-777"}) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray path = QFile::encodeName(folder + "/" + name);
        std::memcpy(address.sun_path, path.constData(), path.size());
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
    }
    ASSERT_EQ(leftovers().size(), 2);
    ChildProcess program;
    start(program, {"/auto"});
    ASSERT_TRUE(waitUntil([&] { return !published().isEmpty(); }));
    EXPECT_EQ(leftovers(), (QStringList{"instance.lock", "wake-" + published()}));
}

// Edits made in the open window are saved when the program is ended from outside, without a
// question that nobody may be there to answer.
TEST_F(StartUp, AnEndFromOutsideSavesTheListFirst) {
    const struct {
        const char* name;
        int signal; // 0: the display goes
    } cases[] = {{"SIGTERM", SIGTERM}, {"SIGHUP", SIGHUP}, {"SIGINT", SIGINT}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ChildProcess program;
        start(program);
        ASSERT_TRUE(waitUntil([&] { return shown(kMainCaption); }));
        const std::string keyword = std::string("added") + c.name;
        addKeyword(keyword);
        EXPECT_FALSE(storeBytes().contains(keyword.c_str()));
        ::kill(program.pid(), c.signal);
        ASSERT_TRUE(program.waitFor(10000));
        EXPECT_TRUE(storeBytes().contains(("\r\n" + keyword + "\r\n").c_str()));
        EXPECT_TRUE(storeBytes().contains("forbidden"));
    }
}

TEST(StartUpDisplay, LosingTheDisplaySavesTheListFirst) {
    TestEnv env;
    auto display = std::make_unique<XvfbServer>(true);
    ASSERT_TRUE(display->ok());
    const QString exe = env.copyExecutable();
    ASSERT_FALSE(exe.isEmpty());
    ChildProcess program;
    ASSERT_TRUE(program.start(
        {exe.toStdString()},
        {"DISPLAY=" + display->display(), "QT_QPA_PLATFORM=xcb", "ASAN_OPTIONS=detect_leaks=0"}, -1,
        (env.work() + "/log.txt").toStdString()));
    auto windows = X11WindowSystem::open(QByteArray::fromStdString(display->display()));
    ASSERT_TRUE(windows);
    WindowHandle main = 0;
    ASSERT_TRUE(waitUntil([&] {
        windows->EnumWindows([&](WindowHandle w) {
            if (windows->IsWindowVisible(w) &&
                QtText::toQ(windows->GetWindowText(w)) == kMainCaption)
                main = w;
            return main == 0;
        });
        return main != 0;
    }));
    // The main window is shown and loaded; nothing typed, so the save writes the empty
    // list's header: the store did not exist before.
    const QString store = QFileInfo(exe).absolutePath() + "/KeyList.dat";
    ASSERT_FALSE(QFile::exists(store));
    windows.reset();
    display.reset();
    ASSERT_TRUE(program.waitFor(20000));
    EXPECT_EQ(program.exitCode(), 1);
    QFile saved(store);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll().startsWith("\x5b\xc4\xab\xb7\xe3\xc9\xda\xb1\xf8"));
    EXPECT_EQ(QDir(env.runtimeDir() + "/sentinel").entryList({"wake-*"}, QDir::System),
              QStringList());
}

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
        return !IniSettingsStore()
                    .GetSetting(QtText::toQ(AppInfo::title()), "lgpw", "hwnd")
                    .isEmpty();
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
        return !IniSettingsStore()
                    .GetSetting(QtText::toQ(AppInfo::title()), "lgpw", "hwnd")
                    .isEmpty();
    }));
    ChildProcess second;
    start(second);
    ASSERT_TRUE(waitUntil([&] { return shown(kLoginCaption); }));
    // The later start waits while the login dialog is open in the first.
    EXPECT_TRUE(Wait::holdsFor([&] { return second.running(); }, 1000));

    // A wrong password: the message, then the dialog again.
    typeInto(kLoginCaption, "wrong", "Return");
    ASSERT_TRUE(waitUntil([&] { return shown(QtText::toQ(AppInfo::title())); }));
    typeInto(QtText::toQ(AppInfo::title()), "", "Return");
    ASSERT_TRUE(
        waitUntil([&] { return !shown(QtText::toQ(AppInfo::title())) && shown(kLoginCaption); }));
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
        return !IniSettingsStore()
                    .GetSetting(QtText::toQ(AppInfo::title()), "lgpw", "hwnd")
                    .isEmpty();
    }));
    const QString staleAddress =
        IniSettingsStore().GetSetting(QtText::toQ(AppInfo::title()), "lgpw", "hwnd");
    ::kill(crashed.pid(), SIGKILL);
    ASSERT_TRUE(crashed.waitFor(10000));

    // The lock is stale: this start is a first instance and shows its window.
    ChildProcess fresh;
    start(fresh);
    ASSERT_TRUE(waitUntil([&] { return shown(kMainCaption); }));
    EXPECT_TRUE(fresh.running());
    EXPECT_NE(IniSettingsStore().GetSetting(QtText::toQ(AppInfo::title()), "lgpw", "hwnd"),
              staleAddress);
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
        address = IniSettingsStore().GetSetting(QtText::toQ(AppInfo::title()), "lgpw", "hwnd");
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
