#include "support/Wait.h"

#include <chrono>
#include <thread>

namespace {
using Clock = std::chrono::steady_clock;
constexpr auto kPoll = std::chrono::milliseconds(25);
} // namespace

bool Wait::until(const std::function<bool()>& condition, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
        if (condition())
            return true;
        std::this_thread::sleep_for(kPoll);
    }
    return condition();
}

bool Wait::holdsFor(const std::function<bool()>& condition, int ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < deadline) {
        if (!condition())
            return false;
        std::this_thread::sleep_for(kPoll);
    }
    return true;
}
