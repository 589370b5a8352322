#include "platform/x11/WindowMaker.h"

#include <chrono>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#ifndef WINDOW_MAKER
#error "WINDOW_MAKER must name the helper program"
#endif

namespace {

std::string joined(const std::string& verb, const std::vector<std::string>& fields) {
    std::string line = verb;
    for (const std::string& f : fields)
        line += "\t" + f;
    return line;
}

int remaining(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

} // namespace

WindowMaker::WindowMaker() {
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        return;
    if (!m_child.start({WINDOW_MAKER, "--fd", std::to_string(fds[1])}, {}, fds[1])) {
        close(fds[0]);
        close(fds[1]);
        return;
    }
    close(fds[1]);
    m_fd = fds[0];
    if (!sync()) {
        close(m_fd);
        m_fd = -1;
    }
}

WindowMaker::~WindowMaker() {
    if (m_fd >= 0) {
        const char quit[] = "quit\n";
        // The helper may be gone already (its client killed); that is no signal for the test.
        [[maybe_unused]] const ssize_t n = ::send(m_fd, quit, sizeof quit - 1, MSG_NOSIGNAL);
        close(m_fd);
    }
    if (!m_child.waitFor(2000))
        m_child.terminate();
}

bool WindowMaker::pump(int timeoutMs) {
    if (m_fd < 0)
        return false;
    pollfd p{m_fd, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0)
        return true;
    char chunk[4096];
    const ssize_t n = read(m_fd, chunk, sizeof chunk);
    if (n <= 0)
        return false;
    m_buffer.append(chunk, static_cast<size_t>(n));
    size_t nl;
    while ((nl = m_buffer.find('\n')) != std::string::npos) {
        std::string line = m_buffer.substr(0, nl);
        m_buffer.erase(0, nl + 1);
        if (line.rfind("closed ", 0) == 0) {
            size_t end = 0;
            const auto window = static_cast<uint32_t>(std::stoul(line.substr(7), &end));
            ++m_closed[window];
            const size_t tab = 7 + end;
            if (tab < line.size() && line[tab] == '\t')
                m_latencyUs[window] = std::stol(line.substr(tab + 1));
        } else
            m_replies.push_back(std::move(line));
    }
    return true;
}

bool WindowMaker::send(const std::string& line) {
    if (m_fd < 0)
        return false;
    const std::string out = line + "\n";
    return ::send(m_fd, out.data(), out.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(out.size());
}

std::optional<std::string> WindowMaker::request(const std::string& line, int timeoutMs) {
    if (!send(line))
        return std::nullopt;
    return awaitReply(timeoutMs);
}

std::optional<std::string> WindowMaker::awaitReply(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_replies.empty()) {
        if (remaining(deadline) == 0 || !pump(remaining(deadline)))
            return std::nullopt;
    }
    std::string reply = m_replies.front();
    m_replies.pop_front();
    return reply;
}

uint32_t WindowMaker::make(const std::vector<std::string>& fields) {
    const auto reply = request(joined("make", fields), 15000);
    if (!reply || reply->rfind("made ", 0) != 0)
        return 0;
    return static_cast<uint32_t>(std::stoul(reply->substr(5)));
}

bool WindowMaker::set(uint32_t window, const std::vector<std::string>& fields) {
    m_latencyUs.erase(window);
    return request(joined("set\t" + std::to_string(window), fields), 15000) == "done";
}

bool WindowMaker::destroy(uint32_t window) {
    return request("destroy\t" + std::to_string(window), 15000) == "done";
}

bool WindowMaker::sync() {
    return request("sync", 15000) == "done";
}

long WindowMaker::storm(int milliseconds) {
    return startStorm(milliseconds) ? finishStorm(milliseconds + 30000) : -1;
}

bool WindowMaker::startStorm(int milliseconds, bool managed) {
    return send("storm\t" + std::to_string(milliseconds) + (managed ? "\tmanaged" : ""));
}

long WindowMaker::finishStorm(int timeoutMs) {
    const auto reply = awaitReply(timeoutMs);
    if (!reply || reply->rfind("stormed ", 0) != 0)
        return -1;
    return std::stol(reply->substr(8));
}

bool WindowMaker::startFlicker(uint32_t window, int milliseconds, int perSecond,
                               const std::vector<std::string>& titles) {
    return send(joined("flicker\t" + std::to_string(window) + "\t" + std::to_string(milliseconds) +
                           "\t" + std::to_string(perSecond),
                       titles));
}

long WindowMaker::finishFlicker(int timeoutMs) {
    const auto reply = awaitReply(timeoutMs);
    if (!reply || reply->rfind("flickered ", 0) != 0)
        return -1;
    return std::stol(reply->substr(10));
}

std::optional<double> WindowMaker::waitCloseLatency(uint32_t window, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_latencyUs.count(window) == 0) {
        if (remaining(deadline) == 0 || !pump(remaining(deadline)))
            break;
    }
    const auto it = m_latencyUs.find(window);
    if (it == m_latencyUs.end())
        return std::nullopt;
    return static_cast<double>(it->second) / 1000.0;
}

bool WindowMaker::waitClosed(uint32_t window, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_closed.count(window) == 0) {
        if (remaining(deadline) == 0 || !pump(remaining(deadline)))
            return m_closed.count(window) != 0;
    }
    return true;
}

std::set<uint32_t> WindowMaker::closed() {
    drain();
    std::set<uint32_t> out;
    for (const auto& [window, count] : m_closed)
        out.insert(window);
    return out;
}

int WindowMaker::closeCount(uint32_t window) {
    drain();
    const auto it = m_closed.find(window);
    return it == m_closed.end() ? 0 : it->second;
}

void WindowMaker::drain() {
    while (m_fd >= 0) {
        pollfd p{m_fd, POLLIN, 0};
        if (poll(&p, 1, 0) <= 0 || !pump(0))
            break;
    }
}

int WindowMaker::waitExit(int timeoutMs) {
    if (!m_child.waitFor(timeoutMs))
        return -1;
    return m_child.exitCode();
}
