#pragma once

#include "ui/EventLoop.h"

#include <chrono>
#include <cstdint>
#include <functional>

// Runs the extra patrol passes that window changes call for: one as soon as the event loop
// comes round after a change, one for all the changes that arrive while it is pending or
// running, and never more than kMaxPerSecond in any second, however fast the changes come.
// The passes run from a timer of the given event loop, never from changed()
// itself, so they cannot nest and the event loop runs between any two of them.
class PatrolScheduler {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // How many extra passes may run in any one second, and how many of them may follow one
    // another without a pause; a steady stream of changes gets an even
    // kMaxPerSecond - kBurst passes a second.
    static constexpr int kMaxPerSecond = 20;
    static constexpr int kBurst = 6;

    PatrolScheduler(EventLoop& loop, std::function<void()> pass,
                    Clock clock = &std::chrono::steady_clock::now);
    PatrolScheduler(const PatrolScheduler&) = delete;
    PatrolScheduler& operator=(const PatrolScheduler&) = delete;

    // A window may have changed: a pass is to follow. Safe to call from within a pass.
    void changed();

    // A pass is due and has not started yet.
    bool pending() const { return m_pending; }
    // How many extra passes have run.
    std::uint64_t passes() const { return m_passes; }
    // How long the pending pass still waits for its turn; zero when it may run now.
    std::chrono::milliseconds waitTime() const;
    // How many passes may run now one after another without waiting: kBurst after a quiet
    // spell, fewer while a stream of changes uses them up.
    int available() const;

private:
    using Duration = std::chrono::steady_clock::duration;

    void fire();
    void arm(std::chrono::milliseconds delay);

    std::function<void()> m_pass;
    Clock m_clock;
    std::unique_ptr<Timer> m_timer;
    // The moment from which the budget of passes is whole again; a pass may start while
    // it lies at most (kBurst - 1) pass intervals ahead.
    std::chrono::steady_clock::time_point m_fullAt{};
    std::uint64_t m_passes = 0;
    bool m_pending = false;
    bool m_running = false;
};
