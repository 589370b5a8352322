#include "platform/fake/FakeTimer.h"

#include "platform/fake/FakeEventLoop.h"

FakeTimer::FakeTimer(FakeEventLoop& loop) : m_loop(loop) {
    m_loop.add(this);
}

FakeTimer::~FakeTimer() {
    m_loop.remove(this);
}

void FakeTimer::start() {
    m_active = true;
    m_due = m_loop.now() + std::chrono::milliseconds(m_interval);
    m_order = ++m_loop.m_starts;
}

void FakeTimer::fire(std::uint64_t turn) {
    m_firedInTurn = turn;
    if (m_singleShot)
        m_active = false;
    else
        m_due += std::chrono::milliseconds(m_interval);
    // Last: the handler may restart or destroy this timer.
    if (m_handler) {
        const std::function<void()> handler = m_handler;
        handler();
    }
}
