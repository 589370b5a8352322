#include "patrol/PatrolScheduler.h"

#include <algorithm>
#include <utility>

namespace {

// Passes keep a pace of one every kInterval, and up to kBurst - 1 of them may run ahead of
// it; any span of one second then holds at most kBurst + 1 s / kInterval = kMaxPerSecond.
constexpr std::chrono::steady_clock::duration kInterval =
    std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::seconds(1)) /
    (PatrolScheduler::kMaxPerSecond - PatrolScheduler::kBurst);
constexpr std::chrono::steady_clock::duration kAhead = kInterval * (PatrolScheduler::kBurst - 1);

} // namespace

PatrolScheduler::PatrolScheduler(EventLoop& loop, std::function<void()> pass, Clock clock)
    : m_pass(std::move(pass)), m_clock(std::move(clock)), m_timer(loop.createTimer()) {
    m_timer->setSingleShot(true);
    m_timer->setHandler([this] { fire(); });
}

void PatrolScheduler::changed() {
    if (m_pending)
        return;
    m_pending = true;
    // A pass under way arms the timer when it ends.
    if (!m_running)
        arm(waitTime());
}

std::chrono::milliseconds PatrolScheduler::waitTime() const {
    const auto now = m_clock();
    const auto earliest = m_fullAt - kAhead;
    if (now >= earliest)
        return std::chrono::milliseconds(0);
    // Rounded up, so that the timer never fires before the pass may run.
    return std::chrono::ceil<std::chrono::milliseconds>(earliest - now);
}

int PatrolScheduler::available() const {
    const auto now = m_clock();
    const auto base = std::max(m_fullAt, now);
    if (now + kAhead < base)
        return 0;
    const auto count = (now + kAhead - base) / kInterval + 1;
    return static_cast<int>(std::min<decltype(count)>(count, kBurst));
}

void PatrolScheduler::arm(std::chrono::milliseconds delay) {
    if (!m_timer->isActive() || delay.count() == 0) {
        m_timer->setInterval(static_cast<int>(delay.count()));
        m_timer->start();
    }
}

void PatrolScheduler::fire() {
    if (!m_pending || m_running)
        return;
    const std::chrono::milliseconds wait = waitTime();
    if (wait.count() > 0) {
        arm(wait);
        return;
    }
    m_pending = false;
    m_fullAt = std::max(m_fullAt, m_clock()) + kInterval;
    ++m_passes;
    m_running = true;
    // Cleared however the pass leaves, so that the scheduler never stops for good.
    struct Running {
        PatrolScheduler& s;
        ~Running() {
            s.m_running = false;
            if (s.m_pending)
                s.arm(s.waitTime());
        }
    } running{*this};
    m_pass();
}
