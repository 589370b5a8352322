#include "platform/x11/X11WindowSystem.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

namespace {

TEST(X11Connection, LosingTheDisplayIsReportedOnceAndNothingHangs) {
    auto server = std::make_unique<XvfbServer>();
    ASSERT_TRUE(server->ok());
    auto windows = X11WindowSystem::open(QByteArray::fromStdString(server->display()));
    ASSERT_TRUE(windows);
    int lost = 0;
    windows->setConnectionLostHandler([&] { ++lost; });
    int visited = 0;
    windows->EnumWindows([&](WindowHandle) { return ++visited, true; });
    EXPECT_EQ(lost, 0);
    EXPECT_FALSE(windows->connectionLost());

    server.reset();
    const auto start = std::chrono::steady_clock::now();
    visited = 0;
    windows->EnumWindows([&](WindowHandle) { return ++visited, true; });
    EXPECT_EQ(visited, 0);
    EXPECT_EQ(lost, 1);
    EXPECT_TRUE(windows->connectionLost());
    // Every later call does nothing, quietly.
    for (int i = 0; i < 3; ++i) {
        windows->EnumWindows([&](WindowHandle) { return ++visited, true; });
        windows->PostClose(0x400001);
        EXPECT_EQ(windows->GetWindowText(0x400001), u"");
        EXPECT_FALSE(windows->IsWindowVisible(0x400001));
        EXPECT_EQ(windows->GetWindowProcessId(0x400001), 0u);
        windows->processEvents();
    }
    EXPECT_EQ(visited, 0);
    EXPECT_EQ(lost, 1);
    // Loose bound: a lost connection answers at once instead of waiting on the socket.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(X11Connection, LostDuringCloseRequestIsReportedToo) {
    auto server = std::make_unique<XvfbServer>();
    ASSERT_TRUE(server->ok());
    auto windows = X11WindowSystem::open(QByteArray::fromStdString(server->display()));
    ASSERT_TRUE(windows);
    int lost = 0;
    windows->setConnectionLostHandler([&] { ++lost; });
    server.reset();
    windows->PostClose(0x400001);
    EXPECT_EQ(lost, 1);
}

// Without a handler of its own the program ends with one line that says why.
TEST(X11ConnectionDeathTest, ByDefaultTheProgramEndsWithOneClearMessage) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            auto server = std::make_unique<XvfbServer>();
            auto windows = X11WindowSystem::open(QByteArray::fromStdString(server->display()));
            if (!windows)
                std::_Exit(100);
            server.reset();
            windows->EnumWindows([](WindowHandle) { return true; });
            std::_Exit(101); // not reached: the default handler ends the process
        },
        ::testing::ExitedWithCode(1), "连接已断开，程序结束");
}

} // namespace
