#include "platform/local/ProcessEnd.h"

#include <csignal>
#include <cstdlib>

namespace {
// exit() hands its hook no context, so the object that catches it is kept here: the one place
// the program needs a process-wide pointer.
ProcessEnd*& exitCatcher() {
    static ProcessEnd* catcher = nullptr;
    return catcher;
}
} // namespace

ProcessEnd::~ProcessEnd() {
    if (exitCatcher() == this)
        exitCatcher() = nullptr;
}

void ProcessEnd::atEveryEnd(Action action) {
    m_everyEnd.push_back(std::move(action));
}

void ProcessEnd::atEndFromOutside(Action action) {
    m_fromOutside.push_back(std::move(action));
}

void ProcessEnd::run(bool fromOutside) {
    // An action that itself ends the process (or a signal during one) must not start over.
    if (m_ending)
        return;
    m_ending = true;
    if (fromOutside) {
        for (auto it = m_fromOutside.rbegin(); it != m_fromOutside.rend(); ++it)
            (*it)();
    }
    for (auto it = m_everyEnd.rbegin(); it != m_everyEnd.rend(); ++it)
        (*it)();
}

void ProcessEnd::now(int status) {
    run(false);
    std::_Exit(status);
}

void ProcessEnd::fromOutside(int status) {
    run(true);
    std::_Exit(status);
}

void ProcessEnd::bySignal(int signal) {
    run(true);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    std::_Exit(128 + signal);
}

void ProcessEnd::catchExit() {
    static const bool hooked = std::atexit(&ProcessEnd::exitHook) == 0;
    if (hooked)
        exitCatcher() = this;
}

void ProcessEnd::exitHook() {
    if (ProcessEnd* catcher = exitCatcher())
        catcher->run(true);
}
