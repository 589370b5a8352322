#include "platform/x11/PatrolRunner.h"

#include <chrono>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

#ifndef PATROL_RUNNER
#error "PATROL_RUNNER must name the helper program"
#endif

namespace {

std::string joinedKeywords(const std::vector<std::string>& keywords) {
    std::string out;
    for (size_t i = 0; i < keywords.size(); ++i)
        out += (i ? "\t" : "") + keywords[i];
    return out;
}

} // namespace

PatrolRunner::PatrolRunner(const Options& options) {
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        return;
    std::vector<std::string> argv = {PATROL_RUNNER, "--fd", std::to_string(fds[1]), "--keywords",
                                     joinedKeywords(options.keywords)};
    if (options.timer)
        argv.push_back("--timer");
    if (options.listen)
        argv.push_back("--listen");
    if (options.wholePasses)
        argv.push_back("--whole-passes");
    if (!m_child.start(argv, {}, fds[1])) {
        close(fds[0]);
        close(fds[1]);
        return;
    }
    close(fds[1]);
    m_fd = fds[0];
    if (request("", 15000) != "ready") {
        close(m_fd);
        m_fd = -1;
    }
}

PatrolRunner::~PatrolRunner() {
    if (m_fd >= 0) {
        const char quit[] = "quit\n";
        [[maybe_unused]] const ssize_t n = ::send(m_fd, quit, sizeof quit - 1, MSG_NOSIGNAL);
        close(m_fd);
    }
    if (!m_child.waitFor(5000))
        m_child.terminate();
}

std::optional<std::string> PatrolRunner::request(const std::string& line, int timeoutMs) {
    if (!line.empty()) {
        const std::string out = line + "\n";
        if (::send(m_fd, out.data(), out.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(out.size()))
            return std::nullopt;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t nl;
    while ((nl = m_buffer.find('\n')) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        pollfd p{m_fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char chunk[4096];
        const ssize_t n = read(m_fd, chunk, sizeof chunk);
        if (n <= 0)
            return std::nullopt;
        m_buffer.append(chunk, static_cast<size_t>(n));
    }
    std::string reply = m_buffer.substr(0, nl);
    m_buffer.erase(0, nl + 1);
    return reply;
}

std::optional<PatrolRunner::Stats> PatrolRunner::stats() {
    if (m_fd < 0)
        return std::nullopt;
    const auto reply = request("stats", 10000);
    if (!reply || reply->rfind("stats ", 0) != 0)
        return std::nullopt;
    std::istringstream in(reply->substr(6));
    Stats s;
    int pending = 0;
    int rested = 0;
    if (!(in >> s.extraPasses >> s.timerPasses >> pending >> rested >> s.checks >>
          s.windowsChecked))
        return std::nullopt;
    s.pending = pending != 0;
    s.rested = rested != 0;
    return s;
}

std::optional<PatrolRunner::Stats> PatrolRunner::settledStats(int timeoutMs) {
    return statsWhen([](const Stats& s) { return !s.pending; }, timeoutMs);
}

std::optional<PatrolRunner::Stats> PatrolRunner::restedStats(int timeoutMs) {
    return statsWhen([](const Stats& s) { return !s.pending && s.rested; }, timeoutMs);
}

std::optional<PatrolRunner::Stats>
PatrolRunner::statsWhen(const std::function<bool(const Stats&)>& done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        const auto s = stats();
        if (!s || done(*s))
            return s;
        if (std::chrono::steady_clock::now() > deadline)
            return std::nullopt;
        // The pending pass waits for the runner's event loop; ask again a little later.
        poll(nullptr, 0, 5);
    }
}

std::optional<double> PatrolRunner::ping(int timeoutMs) {
    if (m_fd < 0)
        return std::nullopt;
    const auto start = std::chrono::steady_clock::now();
    if (request("ping", timeoutMs) != "pong")
        return std::nullopt;
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

std::optional<double> PatrolRunner::cpuMs() {
    if (m_fd < 0)
        return std::nullopt;
    const auto reply = request("cpu", 10000);
    if (!reply || reply->rfind("cpu ", 0) != 0)
        return std::nullopt;
    return std::stod(reply->substr(4));
}
