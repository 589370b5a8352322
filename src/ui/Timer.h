#pragma once

#include <functional>

// A timer of the toolkit's event loop, as a form's Timer control: while enabled it calls
// its handler every interval, from the loop, never from within start() itself. A single
// shot calls it once and stops.
class Timer {
public:
    virtual ~Timer() = default;

    virtual void setHandler(std::function<void()> onTimer) = 0;
    // Milliseconds; 0 means as soon as the loop comes round.
    virtual void setInterval(int milliseconds) = 0;
    virtual int interval() const = 0;
    virtual void setSingleShot(bool singleShot) = 0;
    // Starts counting the interval from now, restarting a timer that runs.
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
};
