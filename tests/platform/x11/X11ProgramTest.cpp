// The real program on a private display: it closes real windows by its keyword list, and
// ends with one message when the display goes away.
#include "keywords/ListFile.h"
#include "keywords/PlainKeywordList.h"
#include "platform/qt/QtText.h"
#include "platform/x11/WindowMaker.h"
#include "platform/x11/X11WindowSystem.h"
#include "support/ChildProcess.h"
#include "support/TestEnv.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <thread>

namespace {

// Enumerates until some visible window carries the title (or 30 s pass).
bool waitForTitle(X11WindowSystem& windows, const QString& title) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        bool found = false;
        windows.EnumWindows([&](WindowHandle w) {
            found = windows.IsWindowVisible(w) && QtText::toQ(windows.GetWindowText(w)) == title;
            return !found;
        });
        if (found)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

bool writeKeyList(const QString& exePath, const QStringList& keywords) {
    QFile file(QFileInfo(exePath).absolutePath() + QStringLiteral("/KeyList.dat"));
    return file.open(QIODevice::WriteOnly) &&
           file.write(ListFile::ListBytes(PlainKeywordList(QtText::fromQ(keywords)))) > 0;
}

class X11ProgramTest : public ::testing::TestWithParam<bool> {};

TEST_P(X11ProgramTest, ClosesRealWindowsByItsKeywordList) {
    TestEnv env;
    XvfbServer server(GetParam());
    ASSERT_TRUE(server.ok());
    const QString exe = env.copyExecutable();
    ASSERT_FALSE(exe.isEmpty());
    ASSERT_TRUE(writeKeyList(exe, {QStringLiteral("KEYWORD")}));
    auto windows = X11WindowSystem::open();
    ASSERT_TRUE(windows);

    ChildProcess calm;
    ASSERT_TRUE(calm.start({"xmessage", "-title", "calm message", "staying"}, {}, -1, "/dev/null"));
    ASSERT_TRUE(waitForTitle(*windows, "calm message"));
    ChildProcess program;
    ASSERT_TRUE(program.start({exe.toStdString()}, {"QT_QPA_PLATFORM=xcb"}, -1,
                              (env.work() + "/program.log").toStdString()));
    ASSERT_TRUE(waitForTitle(*windows, QString::fromUtf8("墨枫哨兵 1.00")));

    // A window with the keyword that comes while the program runs is closed.
    ChildProcess target;
    ASSERT_TRUE(
        target.start({"xmessage", "-title", "a KEYWORD message", "closing"}, {}, -1, "/dev/null"));
    EXPECT_TRUE(target.waitFor(20000));
    EXPECT_TRUE(calm.running());
    EXPECT_TRUE(program.running());
    EXPECT_TRUE(waitForTitle(*windows, QString::fromUtf8("墨枫哨兵 1.00")));
}

// The program as it runs for the user, started on the display, its main window shown.
class RunningProgram {
public:
    RunningProgram(const TestEnv& env, const QStringList& keywords) {
        const QString exe = env.copyExecutable();
        windows = X11WindowSystem::open();
        m_ok = !exe.isEmpty() && writeKeyList(exe, keywords) && windows &&
               process.start({exe.toStdString()}, {"QT_QPA_PLATFORM=xcb"}, -1,
                             (env.work() + "/program.log").toStdString()) &&
               waitForTitle(*windows, QString::fromUtf8("墨枫哨兵 1.00"));
        m_exe = exe.toStdString();
    }
    bool ok() const { return m_ok; }
    const std::string& exe() const { return m_exe; }

    std::unique_ptr<X11WindowSystem> windows;
    ChildProcess process;

private:
    bool m_ok = false;
    std::string m_exe;
};

// The goal is tens of milliseconds; its 500 ms timer alone would take 250 on average.
constexpr double kBoundMs = 200;

TEST_P(X11ProgramTest, AsksANewWindowOrANewTitleToCloseWithinMilliseconds) {
    TestEnv env;
    XvfbServer server(GetParam());
    ASSERT_TRUE(server.ok());
    RunningProgram program(env, {QStringLiteral("KEYWORD")});
    ASSERT_TRUE(program.ok());
    WindowMaker maker;
    ASSERT_TRUE(maker.ok());
    // Changes at random moments of the timer's half second: by the timer alone, each would
    // come in time with a chance of two in five, all ten of them with one in ten thousand.
    std::mt19937 random(7);
    std::uniform_int_distribution<int> moment(0, 499);
    for (int trial = 0; trial < 5; ++trial) {
        const uint32_t calm = maker.make({"name=calm window " + std::to_string(trial)});
        ASSERT_NE(calm, 0u);
        std::this_thread::sleep_for(std::chrono::milliseconds(moment(random)));
        const uint32_t keyed = maker.make({"name=new KEYWORD window " + std::to_string(trial)});
        ASSERT_NE(keyed, 0u);
        const auto made = maker.waitCloseLatency(keyed, 5000);
        ASSERT_TRUE(made) << "trial " << trial;
        EXPECT_LT(*made, kBoundMs) << "new window, trial " << trial;

        std::this_thread::sleep_for(std::chrono::milliseconds(moment(random)));
        EXPECT_EQ(maker.closeCount(calm), 0);
        ASSERT_TRUE(maker.set(calm, {"name=calm no more: KEYWORD"}));
        const auto retitled = maker.waitCloseLatency(calm, 5000);
        ASSERT_TRUE(retitled) << "trial " << trial;
        EXPECT_LT(*retitled, kBoundMs) << "new title, trial " << trial;
    }
    EXPECT_TRUE(program.process.running());
}

TEST_P(X11ProgramTest, AFlickeringTitleNeitherHoldsUpThePatrolNorALaterStart) {
    TestEnv env;
    XvfbServer server(GetParam());
    ASSERT_TRUE(server.ok());
    RunningProgram program(env, {QStringLiteral("KEYWORD")});
    ASSERT_TRUE(program.ok());
    WindowMaker flickering;
    WindowMaker other;
    ASSERT_TRUE(flickering.ok() && other.ok());
    const uint32_t w = flickering.make({"name=flicker", "onclose=ignore"});
    ASSERT_NE(w, 0u);
    ASSERT_TRUE(
        flickering.startFlicker(w, 4000, 1000, {"flicker KEYWORD", "flicker, nothing to see"}));
    const auto start = std::chrono::steady_clock::now();

    // A new window is still asked to close at once.
    for (int trial = 0; trial < 3; ++trial) {
        const uint32_t keyed = other.make({"name=new KEYWORD window " + std::to_string(trial)});
        ASSERT_NE(keyed, 0u);
        const auto latency = other.waitCloseLatency(keyed, 5000);
        ASSERT_TRUE(latency) << "trial " << trial;
        EXPECT_LT(*latency, kBoundMs) << "trial " << trial;
    }
    // A later start hands over to the running program and ends once it has answered.
    ChildProcess later;
    const auto laterStart = std::chrono::steady_clock::now();
    ASSERT_TRUE(later.start({program.exe()}, {"QT_QPA_PLATFORM=xcb"}, -1,
                            (env.work() + "/later.log").toStdString()));
    ASSERT_TRUE(later.waitFor(20000)) << "the later start did not end";
    EXPECT_EQ(later.exitCode(), 0);
    const double handOverMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - laterStart)
            .count();
    // Well within the flicker, which it must not have waited out.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4000))
        << "the hand-over took " << handOverMs << " ms";

    EXPECT_GT(flickering.finishFlicker(30000), 2000);
    EXPECT_GT(flickering.closeCount(w), 0);
    EXPECT_TRUE(program.process.running());
}

TEST(X11ProgramEnd, LosingTheDisplayEndsTheProgramWithOneMessage) {
    TestEnv env;
    auto server = std::make_unique<XvfbServer>();
    ASSERT_TRUE(server->ok());
    const QString exe = env.copyExecutable();
    ASSERT_FALSE(exe.isEmpty());
    ASSERT_TRUE(writeKeyList(exe, {QStringLiteral("KEYWORD")}));
    const QString log = env.work() + "/program.log";
    ChildProcess program;
    // Its widgets off the display, so that only the patrol's connection is lost.
    ASSERT_TRUE(
        program.start({exe.toStdString()}, {"QT_QPA_PLATFORM=offscreen"}, -1, log.toStdString()));
    // Wait until it patrols: a window with the keyword is closed.
    auto windows = X11WindowSystem::open();
    ASSERT_TRUE(windows);
    ChildProcess target;
    ASSERT_TRUE(target.start({"xmessage", "-title", "KEYWORD", "closing"}, {}, -1, "/dev/null"));
    ASSERT_TRUE(target.waitFor(30000));
    windows.reset();

    server.reset();
    ASSERT_TRUE(program.waitFor(20000));
    EXPECT_EQ(program.exitCode(), 1);
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString output = QString::fromUtf8(file.readAll());
    EXPECT_EQ(output.count(QString::fromUtf8("连接已断开")), 1) << output.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Display, X11ProgramTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "openbox" : "bare";
                         });

} // namespace
