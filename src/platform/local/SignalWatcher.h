#pragma once

#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;

// Turns the signals that ask a program to end (SIGTERM, SIGINT, SIGHUP) into a call from the
// event loop, where the program may still save its list: the handler only writes the
// signal's number into a socket that the event loop watches.
class SignalWatcher : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(int signal)>;

    explicit SignalWatcher(Handler handler, QObject* parent = nullptr);
    ~SignalWatcher() override;

    // False when the signals could not be taken over; they then end the program as before.
    bool ok() const { return m_ok; }

private:
    void readSignals();

    Handler m_handler;
    int m_fds[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_ok = false;
};
