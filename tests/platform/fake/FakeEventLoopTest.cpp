#include "platform/fake/FakeEventLoop.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

class FakeEventLoopTest : public ::testing::Test {
protected:
    // A timer that notes its name and the loop's time, in ms from the start, each time it
    // fires.
    std::unique_ptr<Timer> timer(const std::string& name, int interval, bool singleShot) {
        auto t = loop.createTimer();
        t->setInterval(interval);
        t->setSingleShot(singleShot);
        t->setHandler([this, name] { fired.push_back(name + "@" + std::to_string(msNow())); });
        return t;
    }
    long msNow() const {
        return static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(loop.now() - start).count());
    }

    FakeEventLoop loop;
    const FakeEventLoop::TimePoint start = loop.now();
    std::vector<std::string> fired;
};

TEST_F(FakeEventLoopTest, TimersFireInTheOrderTheyFallDueAtTheirMoment) {
    auto repeating = timer("tick", 300, false);
    auto once = timer("once", 450, true);
    auto zero = timer("zero", 0, true);
    repeating->start();
    once->start();
    zero->start();
    EXPECT_TRUE(fired.empty()) << "nothing fires from start() itself";
    EXPECT_EQ(loop.activeTimers(), 3);
    loop.advance(1000ms);
    const std::vector<std::string> expected{"zero@0", "tick@300", "once@450", "tick@600",
                                            "tick@900"};
    EXPECT_EQ(fired, expected);
    EXPECT_EQ(msNow(), 1000);
    EXPECT_FALSE(once->isActive());
    EXPECT_TRUE(repeating->isActive());
    EXPECT_EQ(loop.activeTimers(), 1);
}

TEST_F(FakeEventLoopTest, StartRestartsFromNowAndStopHolds) {
    auto t = timer("t", 100, true);
    t->start();
    loop.advance(60ms);
    t->start(); // now due at 160, not at 100
    loop.advance(60ms);
    EXPECT_TRUE(fired.empty());
    loop.advance(40ms);
    EXPECT_EQ(fired, std::vector<std::string>{"t@160"});
    t->start();
    t->stop();
    loop.advance(500ms);
    EXPECT_EQ(fired.size(), 1u);
}

TEST_F(FakeEventLoopTest, HandlersMayStartStopAndDestroyTimers) {
    auto later = timer("later", 50, true);
    std::unique_ptr<Timer> doomed = timer("doomed", 20, true);
    auto first = loop.createTimer();
    first->setInterval(10);
    first->setSingleShot(true);
    first->setHandler([&] {
        fired.push_back("first@" + std::to_string(msNow()));
        later->start(); // due at 60
        doomed.reset(); // due at 20, never fires
    });
    first->start();
    doomed->start();
    loop.advance(100ms);
    EXPECT_EQ(fired, (std::vector<std::string>{"first@10", "later@60"}));
}

TEST_F(FakeEventLoopTest, ARepeatingZeroTimerFiresOncePerTurn) {
    auto t = timer("idle", 0, false);
    t->start();
    loop.turn();
    loop.turn();
    loop.advance(5ms);
    EXPECT_EQ(fired, (std::vector<std::string>{"idle@0", "idle@0", "idle@0"}));
}

} // namespace
