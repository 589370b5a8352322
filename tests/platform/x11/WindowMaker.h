#pragma once

#include "support/ChildProcess.h"

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

// Drives an x11_window_maker process on the current DISPLAY: windows with crafted
// properties, made by a client other than the test, and the close requests they receive.
class WindowMaker {
public:
    WindowMaker();
    ~WindowMaker();
    WindowMaker(const WindowMaker&) = delete;
    WindowMaker& operator=(const WindowMaker&) = delete;

    bool ok() const { return m_fd >= 0; }
    pid_t pid() const { return m_child.pid(); }

    // Makes a window from "key=value" fields and waits until it is mapped (and managed,
    // when a manager runs); 0 on failure.
    uint32_t make(const std::vector<std::string>& fields);
    bool set(uint32_t window, const std::vector<std::string>& fields);
    bool destroy(uint32_t window);
    bool sync();
    // Makes and destroys windows as fast as it can for the given time; how many it made,
    // or -1.
    long storm(int milliseconds);
    // The same, in the background: startStorm returns at once, finishStorm waits for the end.
    // With managed, each window is first taken on by the manager (when one runs).
    bool startStorm(int milliseconds, bool managed = false);
    long finishStorm(int timeoutMs);

    // Sets the window's _NET_WM_NAME to the titles in turn, perSecond times a second for the
    // given time, in the background; finishFlicker waits for the end and gives the number
    // of changes made, or -1.
    bool startFlicker(uint32_t window, int milliseconds, int perSecond,
                      const std::vector<std::string>& titles);
    long finishFlicker(int timeoutMs);

    // Waits for the window's first close request after it was made or last set, and gives
    // the time from that moment to the request's arrival, in milliseconds, as the helper
    // measured it; nullopt when none came in time.
    std::optional<double> waitCloseLatency(uint32_t window, int timeoutMs);

    // Waits until the window has received WM_DELETE_WINDOW.
    bool waitClosed(uint32_t window, int timeoutMs);
    // The windows that have received WM_DELETE_WINDOW so far.
    std::set<uint32_t> closed();
    // How many times the window has received it.
    int closeCount(uint32_t window);
    // Waits until the helper has ended (its client killed, for one); its exit code or -1.
    int waitExit(int timeoutMs);

private:
    bool send(const std::string& line);
    std::optional<std::string> awaitReply(int timeoutMs);
    std::optional<std::string> request(const std::string& line, int timeoutMs);
    // Reads what has arrived, waiting at most timeoutMs for something; false at the end.
    bool pump(int timeoutMs);
    // Reads whatever has arrived, without waiting.
    void drain();

    ChildProcess m_child;
    int m_fd = -1;
    std::string m_buffer;
    std::deque<std::string> m_replies;
    std::map<uint32_t, int> m_closed;
    std::map<uint32_t, long> m_latencyUs;
};
