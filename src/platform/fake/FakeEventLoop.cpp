#include "platform/fake/FakeEventLoop.h"

#include "platform/fake/FakeTimer.h"

#include <algorithm>
#include <cassert>

FakeEventLoop::~FakeEventLoop() {
    // Timers must not outlive their loop.
    assert(m_timers.empty());
}

std::unique_ptr<Timer> FakeEventLoop::createTimer() {
    return std::make_unique<FakeTimer>(*this);
}

int FakeEventLoop::activeTimers() const {
    return static_cast<int>(std::count_if(m_timers.begin(), m_timers.end(),
                                          [](const FakeTimer* t) { return t->m_active; }));
}

void FakeEventLoop::add(FakeTimer* timer) {
    m_timers.push_back(timer);
}

void FakeEventLoop::remove(FakeTimer* timer) {
    m_timers.erase(std::remove(m_timers.begin(), m_timers.end(), timer), m_timers.end());
}

FakeTimer* FakeEventLoop::nextDue(TimePoint until, std::uint64_t turn) const {
    FakeTimer* next = nullptr;
    for (FakeTimer* timer : m_timers) {
        if (!timer->m_active || timer->m_due > until)
            continue;
        if (timer->m_interval == 0 && timer->m_firedInTurn == turn)
            continue;
        if (!next || timer->m_due < next->m_due ||
            (timer->m_due == next->m_due && timer->m_order < next->m_order))
            next = timer;
    }
    return next;
}

void FakeEventLoop::advance(std::chrono::milliseconds by) {
    const TimePoint until = m_now + by;
    const std::uint64_t turn = ++m_turns;
    // Each timer is looked up afresh, since a handler may start, stop or destroy timers.
    while (FakeTimer* timer = nextDue(until, turn)) {
        m_now = std::max(m_now, timer->m_due);
        timer->fire(turn);
    }
    m_now = until;
}
