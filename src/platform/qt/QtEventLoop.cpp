#include "platform/qt/QtEventLoop.h"

#include "platform/qt/QtTimer.h"

std::unique_ptr<Timer> QtEventLoop::createTimer() {
    return std::make_unique<QtTimer>();
}
