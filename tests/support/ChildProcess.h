#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

// A child process started with fork and exec, ended (SIGTERM, then SIGKILL) when this
// object goes, so a failing test leaves nothing running.
class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ~ChildProcess();

    // Starts argv[0] (searched in PATH) with extra "NAME=value" entries added to the
    // environment. keepFd, when not -1, stays open in the child.
    bool start(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
               int keepFd = -1, const std::string& stdoutPath = {});
    pid_t pid() const { return m_pid; }
    bool running();
    // Waits up to timeoutMs for the child to end; true when it ended. exitCode() is then
    // its exit status (or 128 + signal).
    bool waitFor(int timeoutMs);
    int exitCode() const { return m_exitCode; }
    void terminate();

private:
    pid_t m_pid = -1;
    int m_exitCode = -1;
};
