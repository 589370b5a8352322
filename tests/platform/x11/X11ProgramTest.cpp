// The real program on a private display: it closes real windows by its keyword list, and
// ends with one message when the display goes away.
#include "keywords/ListFile.h"
#include "keywords/PlainKeywordList.h"
#include "platform/x11/X11WindowSystem.h"
#include "support/ChildProcess.h"
#include "support/TestEnv.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <memory>
#include <thread>

namespace {

// Enumerates until some visible window carries the title (or 30 s pass).
bool waitForTitle(X11WindowSystem& windows, const QString& title) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        bool found = false;
        windows.EnumWindows([&](WindowHandle w) {
            found = windows.IsWindowVisible(w) && windows.GetWindowText(w) == title;
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
           file.write(ListFile::ListBytes(PlainKeywordList(keywords))) > 0;
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

    // A window that gains the keyword while the program runs is closed at its next tick.
    ChildProcess target;
    ASSERT_TRUE(
        target.start({"xmessage", "-title", "a KEYWORD message", "closing"}, {}, -1, "/dev/null"));
    EXPECT_TRUE(target.waitFor(20000));
    EXPECT_TRUE(calm.running());
    EXPECT_TRUE(program.running());
    EXPECT_TRUE(waitForTitle(*windows, QString::fromUtf8("墨枫哨兵 1.00")));
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
