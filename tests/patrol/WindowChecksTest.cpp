#include "patrol/WindowChecks.h"

#include "EventLoopTest.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>

#include <chrono>
#include <memory>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Handles = std::vector<WindowHandle>;

class WindowChecksTest : public EventLoopTest {
protected:
    WindowChecks make() {
        return WindowChecks(
            m_loop, [this](const Handles& windows) { checked.push_back(windows); },
            [this] { ++wholePasses; }, fakeClock());
    }

    std::vector<Handles> checked;
    int wholePasses = 0;
};

TEST_F(WindowChecksTest, ChangesBetweenTurnsMakeOneCheckOfEachWindowOnce) {
    WindowChecks checks = make();
    for (WindowHandle w : {7u, 3u, 7u, 9u, 3u, 7u})
        checks.changed(w);
    // Nothing runs inside changed() itself: the check comes from the event loop.
    EXPECT_TRUE(checked.empty());
    EXPECT_TRUE(checks.pending());
    turn();
    ASSERT_EQ(checked.size(), 1u);
    EXPECT_EQ(checked[0], (Handles{7, 3, 9}));
    EXPECT_FALSE(checks.pending());
    EXPECT_EQ(checks.checks(), 1u);
    EXPECT_EQ(checks.windowsChecked(), 3u);
    turn();
    EXPECT_EQ(checked.size(), 1u);
    EXPECT_EQ(wholePasses, 0);
}

TEST_F(WindowChecksTest, AChangeOfSomeUnknownWindowAsksForAWholePass) {
    WindowChecks checks = make();
    checks.changed(WindowSystem::kSomeWindow);
    checks.changed(5);
    EXPECT_EQ(wholePasses, 1);
    turn();
    ASSERT_EQ(checked.size(), 1u);
    EXPECT_EQ(checked[0], Handles{5});
}

// Under a storm, checks keep their gap: a window that changes again right after its check
// waits for the gap, with every other window that changes meanwhile, and is then checked.
TEST_F(WindowChecksTest, ChecksKeepAGapAndGatherWhatChangesInIt) {
    WindowChecks checks = make();
    checks.changed(1);
    turn();
    ASSERT_EQ(checked.size(), 1u);
    checks.changed(1);
    checks.changed(2);
    EXPECT_EQ(checks.waitTime(), WindowChecks::kMinGap);
    turn();
    EXPECT_EQ(checked.size(), 1u) << "no check before the gap has passed";
    now += WindowChecks::kMinGap;
    EXPECT_EQ(checks.waitTime(), 0ms);
    ASSERT_TRUE(QTest::qWaitFor([&] { return checked.size() == 2; }, 2000));
    EXPECT_EQ(checked[1], (Handles{1, 2}));
}

TEST_F(WindowChecksTest, AChangeDuringACheckIsCheckedAfterIt) {
    WindowChecks* self = nullptr;
    int inside = 0;
    WindowChecks checks(
        m_loop,
        [&](const Handles& windows) {
            checked.push_back(windows);
            ++inside;
            // A window changes while it is checked (the platform's call reports it).
            if (checked.size() == 1)
                self->changed(4);
            EXPECT_EQ(inside, 1) << "checks never nest";
            --inside;
        },
        [] {}, fakeClock());
    self = &checks;
    checks.changed(4);
    turn();
    ASSERT_EQ(checked.size(), 1u);
    EXPECT_TRUE(checks.pending());
    now += WindowChecks::kMinGap;
    ASSERT_TRUE(QTest::qWaitFor([&] { return checked.size() == 2; }, 2000));
    EXPECT_EQ(checked[1], Handles{4});
}

} // namespace
