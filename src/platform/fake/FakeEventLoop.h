#pragma once

#include "ui/EventLoop.h"

#include <chrono>
#include <cstdint>
#include <vector>

class FakeTimer;

// An event loop in memory with a clock of its own that moves only when a test says: the
// timers it made fire in the order they fall due as the test advances the clock, with no
// real waiting, so that what the patrol does over seconds is checked in microseconds.
class FakeEventLoop final : public EventLoop {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    FakeEventLoop() = default;
    FakeEventLoop(const FakeEventLoop&) = delete;
    FakeEventLoop& operator=(const FakeEventLoop&) = delete;
    ~FakeEventLoop() override;

    std::unique_ptr<Timer> createTimer() override;

    // The loop's time; a clock for the code under test as well.
    TimePoint now() const { return m_now; }
    // Moves the clock by the given time, firing every timer that falls due on the way, each
    // at its moment and in the order they fall due (in the order started, when at the same
    // moment). A timer of interval 0 fires at most once per call, as once per turn of a
    // real loop.
    void advance(std::chrono::milliseconds by);
    // Fires what is due now, as one turn of a real loop does.
    void turn() { advance(std::chrono::milliseconds(0)); }
    // How many timers are running.
    int activeTimers() const;

private:
    friend class FakeTimer;
    void add(FakeTimer* timer);
    void remove(FakeTimer* timer);
    // The running timer that falls due first, no later than until; null when none does.
    FakeTimer* nextDue(TimePoint until, std::uint64_t turn) const;

    std::vector<FakeTimer*> m_timers;
    TimePoint m_now = TimePoint(std::chrono::hours(1000));
    std::uint64_t m_starts = 0;
    std::uint64_t m_turns = 0;
};
