#pragma once

#include "ui/Timer.h"

#include <QTimer>

// A timer of Qt's event loop. Precise, since the patrol's short waits (a few milliseconds
// between checks) must not be stretched to the coarse timer's 5 % slack.
class QtTimer final : public Timer {
public:
    QtTimer();

    void setHandler(std::function<void()> onTimer) override { m_handler = std::move(onTimer); }
    void setInterval(int milliseconds) override { m_timer.setInterval(milliseconds); }
    int interval() const override { return m_timer.interval(); }
    void setSingleShot(bool singleShot) override { m_timer.setSingleShot(singleShot); }
    void start() override { m_timer.start(); }
    void stop() override { m_timer.stop(); }
    bool isActive() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
    std::function<void()> m_handler;
};
