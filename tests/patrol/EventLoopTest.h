#pragma once

#include "platform/qt/QtEventLoop.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

// A test of something that runs from Qt timers: an application object for each test, a way
// to let the event loop run what is due, and a clock that moves only when the test says.
class EventLoopTest : public ::testing::Test {
protected:
    using TimePoint = std::chrono::steady_clock::time_point;

    void SetUp() override { m_app = std::make_unique<QCoreApplication>(m_argc, m_argv); }
    void TearDown() override { m_app.reset(); }

    // Lets the event loop run whatever is due now (zero timers, posted events).
    static void turn() {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    std::function<TimePoint()> fakeClock() {
        return [this] { return now; };
    }

    TimePoint now = TimePoint(std::chrono::hours(1000));
    QtEventLoop m_loop;

private:
    int m_argc = 1;
    char m_name[16] = "event-loop-test";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QCoreApplication> m_app;
};
