#include "platform/local/SignalWatcher.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// A signal handler may use nothing but this descriptor: the one process-wide value the
// watcher needs, set while a watcher lives.
int& writeEnd() {
    static int fd = -1;
    return fd;
}

void onSignal(int signal) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    if (writeEnd() >= 0) {
        // Nothing can be done here when the socket is full: a signal is already waiting.
        [[maybe_unused]] const ssize_t written = ::write(writeEnd(), &byte, 1);
    }
    errno = saved;
}
} // namespace

SignalWatcher::SignalWatcher(Handler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, m_fds) != 0)
        return;
    writeEnd() = m_fds[1];
    m_notifier = std::make_unique<QSocketNotifier>(m_fds[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &SignalWatcher::readSignals);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    m_ok = true;
    for (int signal : kSignals)
        m_ok = ::sigaction(signal, &action, nullptr) == 0 && m_ok;
}

SignalWatcher::~SignalWatcher() {
    for (int signal : kSignals)
        std::signal(signal, SIG_DFL);
    m_notifier.reset();
    writeEnd() = -1;
    for (int fd : m_fds) {
        if (fd >= 0)
            ::close(fd);
    }
}

void SignalWatcher::readSignals() {
    unsigned char byte = 0;
    while (::read(m_fds[0], &byte, 1) == 1) {
        if (m_handler)
            m_handler(byte);
    }
}
