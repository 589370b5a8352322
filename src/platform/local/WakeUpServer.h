#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;
class QLocalSocket;

// The running instance's wake-up address: a local socket in the user's runtime folder,
// named after a 32-bit id that the instance publishes. A later instance sends a text (the
// code page 936 bytes of "show" and a NUL); the handler runs, and only when it has
// returned (a whole login dialog included) does the sender get its answer.
//
// The server never blocks the event loop: a client that sends nothing is dropped after a
// while, one that sends more than a short text or anything but the wake-up text is dropped
// at once, and at most a few clients are served at a time.
class WakeUpServer : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(const QString& text)>;

    // folder empty: the user's runtime folder.
    explicit WakeUpServer(Handler handler, QString folder = QString(), QObject* parent = nullptr);
    ~WakeUpServer() override;

    // Starts listening; returns false when no address could be made. sweep: the caller is
    // the only instance (it holds the lock), so every socket file left in the folder is a
    // crashed instance's and is removed first.
    bool listen(bool sweep = false);
    // Stops listening and removes the socket file.
    void close();
    // The id to publish (decimal text of a signed 32-bit number); 0 before listen().
    qint32 id() const { return m_id; }

    // The socket path for an id (shared with the sender).
    static QString socketPath(const QString& folder, qint32 id);
    static constexpr int kMaxMessage = 256;
    static constexpr int kIdleMs = 5000;
    static constexpr int kMaxClients = 8;

private:
    void onNewConnection();
    void onReadyRead(QLocalSocket* socket);

    Handler m_handler;
    QString m_folder;
    QLocalServer* m_server = nullptr;
    qint32 m_id = 0;
    int m_clients = 0;
};
