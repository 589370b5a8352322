#pragma once

#include <functional>

// Waiting on conditions rather than for fixed times. Both poll every 25 ms.
class Wait {
public:
    // True as soon as the condition holds; false when it still does not after timeoutMs.
    static bool until(const std::function<bool()>& condition, int timeoutMs = 20000);
    // True when the condition held at every look for the whole of ms.
    static bool holdsFor(const std::function<bool()>& condition, int ms);
};
