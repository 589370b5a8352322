#include "patrol/PatrolScheduler.h"

#include "EventLoopTest.h"
#include "platform/fake/FakeEventLoop.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

namespace {

using namespace std::chrono_literals;
using TimePoint = std::chrono::steady_clock::time_point;

using PatrolSchedulerTest = EventLoopTest;

TEST_F(PatrolSchedulerTest, AChangeRunsOnePassFromTheEventLoopNotAtOnce) {
    int passes = 0;
    PatrolScheduler scheduler(
        m_loop, [&] { ++passes; }, fakeClock());
    scheduler.changed();
    EXPECT_EQ(passes, 0);
    EXPECT_TRUE(scheduler.pending());
    turn();
    EXPECT_EQ(passes, 1);
    EXPECT_FALSE(scheduler.pending());
    turn();
    EXPECT_EQ(passes, 1);
    EXPECT_EQ(scheduler.passes(), 1u);
}

TEST_F(PatrolSchedulerTest, ChangesWhilePendingLeadToOnePass) {
    int passes = 0;
    PatrolScheduler scheduler(
        m_loop, [&] { ++passes; }, fakeClock());
    for (int i = 0; i < 50; ++i)
        scheduler.changed();
    turn();
    EXPECT_EQ(passes, 1);
    EXPECT_FALSE(scheduler.pending());
}

TEST_F(PatrolSchedulerTest, ChangesDuringAPassLeadToOneMorePassAfterIt) {
    int passes = 0;
    int depth = 0;
    int deepest = 0;
    PatrolScheduler* self = nullptr;
    PatrolScheduler scheduler(
        m_loop,
        [&] {
            ++passes;
            deepest = std::max(deepest, ++depth);
            // The first pass sees three changes arrive while it runs.
            if (passes == 1)
                for (int i = 0; i < 3; ++i) {
                    self->changed();
                    // Even an event loop turned inside the pass starts no pass within it.
                    QCoreApplication::processEvents();
                }
            --depth;
        },
        fakeClock());
    self = &scheduler;
    scheduler.changed();
    turn();
    EXPECT_EQ(passes, 2);
    EXPECT_EQ(deepest, 1);
    EXPECT_FALSE(scheduler.pending());
}

TEST_F(PatrolSchedulerTest, ABurstRunsAtOnceThenPassesWaitTheirTurn) {
    int passes = 0;
    PatrolScheduler scheduler(
        m_loop, [&] { ++passes; }, fakeClock());
    for (int i = 0; i < PatrolScheduler::kBurst; ++i) {
        EXPECT_EQ(scheduler.available(), PatrolScheduler::kBurst - i) << "change " << i;
        scheduler.changed();
        EXPECT_EQ(scheduler.waitTime(), 0ms) << "change " << i;
        turn();
    }
    EXPECT_EQ(passes, PatrolScheduler::kBurst);
    EXPECT_EQ(scheduler.available(), 0);

    // Beyond the burst the pace is kMaxPerSecond - kBurst a second (14: one every 71.4 ms),
    // so that no second can hold more than kMaxPerSecond passes.
    const auto interval = std::chrono::duration_cast<std::chrono::steady_clock::duration>(1s) /
                          (PatrolScheduler::kMaxPerSecond - PatrolScheduler::kBurst);
    scheduler.changed();
    EXPECT_EQ(scheduler.waitTime(), std::chrono::ceil<std::chrono::milliseconds>(interval));
    turn();
    EXPECT_EQ(passes, PatrolScheduler::kBurst);
    EXPECT_TRUE(scheduler.pending());
    now += 30ms;
    EXPECT_EQ(scheduler.waitTime(), std::chrono::ceil<std::chrono::milliseconds>(interval - 30ms));
    now += interval - 30ms;
    EXPECT_EQ(scheduler.waitTime(), 0ms);
    // The timer set for the first wait still brings the pass.
    EXPECT_TRUE(QTest::qWaitFor([&] { return passes == PatrolScheduler::kBurst + 1; }, 5000));
    EXPECT_FALSE(scheduler.pending());
}

TEST_F(PatrolSchedulerTest, AQuietSpellRestoresTheWholeBurst) {
    int passes = 0;
    PatrolScheduler scheduler(
        m_loop, [&] { ++passes; }, fakeClock());
    for (int round = 0; round < 3; ++round) {
        const int before = passes;
        for (int i = 0; i < PatrolScheduler::kBurst; ++i) {
            scheduler.changed();
            turn();
        }
        EXPECT_EQ(passes - before, PatrolScheduler::kBurst) << "round " << round;
        scheduler.changed();
        EXPECT_GT(scheduler.waitTime(), 0ms);
        // The waiting pass comes when its timer fires, once its turn has come.
        now += 100ms;
        EXPECT_EQ(scheduler.waitTime(), 0ms);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !scheduler.pending(); }, 5000));
        EXPECT_EQ(passes - before, PatrolScheduler::kBurst + 1);
        // A second later the whole burst is there again.
        now += 1s;
        EXPECT_EQ(scheduler.available(), PatrolScheduler::kBurst);
    }
}

// A change every millisecond for two seconds, on the real clock: no second holds more than
// 20 passes, the passes keep coming at about the steady pace, and the event loop is never
// held up for long.
TEST_F(PatrolSchedulerTest, AStreamOfChangesGetsAtMostTwentyPassesInAnySecond) {
    std::vector<TimePoint> starts;
    PatrolScheduler scheduler(m_loop, [&] { starts.push_back(std::chrono::steady_clock::now()); });
    QTimer changes;
    changes.setTimerType(Qt::PreciseTimer);
    QObject::connect(&changes, &QTimer::timeout, [&] { scheduler.changed(); });
    changes.start(1);

    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 longestGap = 0;
    while (clock.elapsed() < 2000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        longestGap = std::max(longestGap, clock.elapsed() - last);
        last = clock.elapsed();
    }
    changes.stop();

    for (size_t i = 0; i < starts.size(); ++i) {
        const auto inSecond = std::count_if(starts.begin() + static_cast<long>(i), starts.end(),
                                            [&](TimePoint t) { return t - starts[i] <= 1s; });
        EXPECT_LE(inSecond, PatrolScheduler::kMaxPerSecond) << "from pass " << i;
    }
    // 6 at once and 14 a second after that, less what a loaded machine loses.
    EXPECT_GE(starts.size(), 20u);
    EXPECT_LE(starts.size(), 2u * PatrolScheduler::kMaxPerSecond);
    EXPECT_LT(longestGap, 250);
}

// The pace over a long stream of changes, in the loop's own time: no real second passes, so
// the bound is checked exactly, at every pass.
TEST(PatrolSchedulerPace, AStreamOfChangesKeepsThePaceInEverySecond) {
    FakeEventLoop loop;
    std::vector<TimePoint> starts;
    PatrolScheduler scheduler(
        loop, [&] { starts.push_back(loop.now()); }, [&] { return loop.now(); });
    for (int ms = 0; ms < 3000; ++ms) {
        scheduler.changed();
        loop.advance(1ms);
    }
    loop.advance(1s);
    EXPECT_FALSE(scheduler.pending());
    ASSERT_FALSE(starts.empty());
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const auto inSecond =
            std::count_if(starts.begin() + static_cast<std::ptrdiff_t>(i), starts.end(),
                          [&](TimePoint t) { return t - starts[i] < 1s; });
        EXPECT_LE(inSecond, PatrolScheduler::kMaxPerSecond) << "from pass " << i;
    }
    // Once the burst is spent, the stream gets the even pace.
    const auto lastSecond = std::count_if(starts.begin(), starts.end(), [&](TimePoint t) {
        return t >= starts.front() + 2s && t < starts.front() + 3s;
    });
    EXPECT_GE(lastSecond, PatrolScheduler::kMaxPerSecond - PatrolScheduler::kBurst - 1);
}

} // namespace
