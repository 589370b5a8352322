#pragma once

#include "platform/WindowSystem.h"

#include "ui/EventLoop.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <unordered_set>
#include <vector>

// Checks the windows that the platform reports as new or retitled as soon as the event loop
// comes round: each window once, however often it changed in between, and all of them in
// one check of those windows alone. Checks keep a gap of at least kMinGap, so under a storm
// of changes there are at most 1 s / kMinGap of them a second, each of the windows changed
// meanwhile: the work follows the number of windows that change, not the number of changes.
// A change the platform cannot pin to a window asks for a whole pass instead.
//
// Checks run from a timer of the given event loop, never from changed() itself,
// so they cannot nest and the event loop runs between any two of them.
class WindowChecks {
public:
    using Check = std::function<void(const std::vector<WindowHandle>& windows)>;
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    static constexpr std::chrono::milliseconds kMinGap{2};

    WindowChecks(EventLoop& loop, Check check, std::function<void()> wholePass,
                 Clock clock = &std::chrono::steady_clock::now);
    WindowChecks(const WindowChecks&) = delete;
    WindowChecks& operator=(const WindowChecks&) = delete;

    // The window may have appeared or changed its title (kSomeWindow: some window did).
    // Safe to call from within a check.
    void changed(WindowHandle window);

    // Windows wait for a check that has not started yet.
    bool pending() const { return !m_pending.empty(); }
    // How many checks have run, and how many windows they were given in all.
    std::uint64_t checks() const { return m_checks; }
    std::uint64_t windowsChecked() const { return m_windowsChecked; }
    // How long the pending check still waits for its turn; zero when it may run now.
    std::chrono::milliseconds waitTime() const;

private:
    void fire();
    void arm();

    Check m_check;
    std::function<void()> m_wholePass;
    Clock m_clock;
    std::unique_ptr<Timer> m_timer;
    std::vector<WindowHandle> m_pending; // in the order first reported
    std::unordered_set<WindowHandle> m_queued;
    std::chrono::steady_clock::time_point m_nextAt{};
    std::uint64_t m_checks = 0;
    std::uint64_t m_windowsChecked = 0;
    bool m_running = false;
};
