#pragma once

#include "ui/Timer.h"

#include <chrono>
#include <cstdint>

class FakeEventLoop;

// A timer of FakeEventLoop: it fires when the loop's clock reaches its due time.
class FakeTimer final : public Timer {
public:
    explicit FakeTimer(FakeEventLoop& loop);
    ~FakeTimer() override;
    FakeTimer(const FakeTimer&) = delete;
    FakeTimer& operator=(const FakeTimer&) = delete;

    void setHandler(std::function<void()> onTimer) override { m_handler = std::move(onTimer); }
    void setInterval(int milliseconds) override { m_interval = milliseconds; }
    int interval() const override { return m_interval; }
    void setSingleShot(bool singleShot) override { m_singleShot = singleShot; }
    void start() override;
    void stop() override { m_active = false; }
    bool isActive() const override { return m_active; }

private:
    friend class FakeEventLoop;
    // Called by the loop when the timer falls due.
    void fire(std::uint64_t turn);

    FakeEventLoop& m_loop;
    std::function<void()> m_handler;
    int m_interval = 0;
    bool m_singleShot = false;
    bool m_active = false;
    std::chrono::steady_clock::time_point m_due{};
    std::uint64_t m_order = 0;       // when it was last started, for timers due together
    std::uint64_t m_firedInTurn = 0; // a repeating zero timer fires once per advance
};
