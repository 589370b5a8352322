#pragma once

#include "ui/Timer.h"

#include <memory>

// The toolkit's event loop as the patrol needs it. Everything it calls back runs on the
// loop's own thread.
class EventLoop {
public:
    virtual ~EventLoop() = default;

    virtual std::unique_ptr<Timer> createTimer() = 0;
};
