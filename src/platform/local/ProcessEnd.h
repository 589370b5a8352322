#pragma once

#include <functional>
#include <vector>

// The end of the process. The program ends only at once, running no window's handling, but a
// few things must still happen. At every end what the instance would leave behind is removed
// (its wake-up socket); an end that comes from outside (a signal, the loss of the display)
// first saves what the user has not saved yet, quietly, since nobody may be there to answer.
class ProcessEnd {
public:
    using Action = std::function<void()>;

    ProcessEnd() = default;
    ProcessEnd(const ProcessEnd&) = delete;
    ProcessEnd& operator=(const ProcessEnd&) = delete;
    ~ProcessEnd();

    // Runs at every end, the last one added first.
    void atEveryEnd(Action action);
    // Runs first at an end from outside, the last one added first.
    void atEndFromOutside(Action action);

    // The program's own immediate end.
    [[noreturn]] void now(int status = 0);
    // An end from outside that gives the status.
    [[noreturn]] void fromOutside(int status);
    // An end from outside by a signal: after the actions the signal's default end follows, so
    // that whoever sent it sees the program ended by it.
    [[noreturn]] void bySignal(int signal);

    // Makes a plain exit(), as a library calls it (Qt does on a broken display connection),
    // an end from outside as well. One object at a time may catch it; its destruction lets go.
    void catchExit();

private:
    void run(bool fromOutside);
    static void exitHook();

    std::vector<Action> m_everyEnd;
    std::vector<Action> m_fromOutside;
    bool m_ending = false;
};
