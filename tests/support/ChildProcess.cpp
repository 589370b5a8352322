#include "support/ChildProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : m_pid(other.m_pid), m_exitCode(other.m_exitCode) {
    other.m_pid = -1;
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        terminate();
        m_pid = other.m_pid;
        m_exitCode = other.m_exitCode;
        other.m_pid = -1;
    }
    return *this;
}

ChildProcess::~ChildProcess() {
    terminate();
}

bool ChildProcess::start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                         int keepFd, const std::string& stdoutPath) {
    if (argv.empty())
        return false;
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('='));
        bool overridden = false;
        for (const std::string& add : env)
            if (add.substr(0, add.find('=')) == name)
                overridden = true;
        if (!overridden)
            envStrings.push_back(entry);
    }
    for (const std::string& add : env)
        envStrings.push_back(add);
    std::vector<char*> envp;
    for (std::string& s : envStrings)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (std::string& s : args)
        argp.push_back(s.data());
    argp.push_back(nullptr);

    m_exitCode = -1;
    m_pid = fork();
    if (m_pid < 0)
        return false;
    if (m_pid == 0) {
        setpgid(0, 0);
        if (!stdoutPath.empty()) {
            const int fd = open(stdoutPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            if (fd >= 0) {
                dup2(fd, 1);
                dup2(fd, 2);
                close(fd);
            }
        }
        for (int fd = 3; fd < 1024; ++fd)
            if (fd != keepFd)
                close(fd);
        if (keepFd >= 0)
            fcntl(keepFd, F_SETFD, 0);
        execvpe(argp[0], argp.data(), envp.data());
        _exit(127);
    }
    return true;
}

bool ChildProcess::running() {
    if (m_pid <= 0)
        return false;
    int status = 0;
    const pid_t r = waitpid(m_pid, &status, WNOHANG);
    if (r == m_pid) {
        m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        m_pid = -1;
        return false;
    }
    return true;
}

bool ChildProcess::waitFor(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (running()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void ChildProcess::terminate() {
    if (m_pid <= 0)
        return;
    kill(-m_pid, SIGTERM);
    kill(m_pid, SIGTERM);
    if (!waitFor(2000)) {
        kill(-m_pid, SIGKILL);
        kill(m_pid, SIGKILL);
        waitFor(2000);
    }
    m_pid = -1;
}
