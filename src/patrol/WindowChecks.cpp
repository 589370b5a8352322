#include "patrol/WindowChecks.h"

#include <utility>

WindowChecks::WindowChecks(EventLoop& loop, Check check, std::function<void()> wholePass,
                           Clock clock)
    : m_check(std::move(check)), m_wholePass(std::move(wholePass)), m_clock(std::move(clock)),
      m_timer(loop.createTimer()) {
    m_timer->setSingleShot(true);
    m_timer->setHandler([this] { fire(); });
}

void WindowChecks::changed(WindowHandle window) {
    if (window == WindowSystem::kSomeWindow) {
        if (m_wholePass)
            m_wholePass();
        return;
    }
    if (!m_queued.insert(window).second)
        return;
    m_pending.push_back(window);
    // A check under way arms the timer when it ends.
    if (!m_running && !m_timer->isActive())
        arm();
}

std::chrono::milliseconds WindowChecks::waitTime() const {
    const auto now = m_clock();
    if (now >= m_nextAt)
        return std::chrono::milliseconds(0);
    // Rounded up, so that the timer never fires before the check may run.
    return std::chrono::ceil<std::chrono::milliseconds>(m_nextAt - now);
}

void WindowChecks::arm() {
    m_timer->setInterval(static_cast<int>(waitTime().count()));
    m_timer->start();
}

void WindowChecks::fire() {
    if (m_pending.empty() || m_running)
        return;
    if (waitTime().count() > 0) {
        arm();
        return;
    }
    std::vector<WindowHandle> windows;
    windows.swap(m_pending);
    m_queued.clear();
    m_nextAt = m_clock() + kMinGap;
    ++m_checks;
    m_windowsChecked += windows.size();
    m_running = true;
    // Cleared however the check leaves, so that checking never stops for good.
    struct Running {
        WindowChecks& c;
        ~Running() {
            c.m_running = false;
            if (!c.m_pending.empty())
                c.arm();
        }
    } running{*this};
    m_check(windows);
}
