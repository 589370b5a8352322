#pragma once

#include "ui/EventLoop.h"

// Qt's event loop of the calling thread.
class QtEventLoop final : public EventLoop {
public:
    std::unique_ptr<Timer> createTimer() override;
};
