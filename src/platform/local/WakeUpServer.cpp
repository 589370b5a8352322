#include "platform/local/WakeUpServer.h"

#include "platform/qt/QtCodec936.h"
#include "platform/local/RuntimeFolder.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QRandomGenerator>
#include <QTimer>
#include <QVariant>

WakeUpServer::WakeUpServer(Handler handler, QString folder, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)), m_folder(std::move(folder)) {
    if (m_folder.isEmpty())
        m_folder = RuntimeFolder::path();
}

WakeUpServer::~WakeUpServer() {
    close();
}

void WakeUpServer::close() {
    // Closing removes the socket file that listening made.
    if (m_server)
        m_server->close();
}

namespace {
void removeSocketFiles(const QString& folder) {
    const QDir dir(folder);
    for (const QString& name : dir.entryList({QStringLiteral("wake-*")}, QDir::System))
        QLocalServer::removeServer(dir.filePath(name));
}
} // namespace

QString WakeUpServer::socketPath(const QString& folder, qint32 id) {
    return folder + QStringLiteral("/wake-") + QString::number(id);
}

bool WakeUpServer::listen(bool sweep) {
    if (m_folder.isEmpty())
        return false;
    if (sweep)
        removeSocketFiles(m_folder);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    m_server->setMaxPendingConnections(kMaxClients);
    for (int attempt = 0; attempt < 16; ++attempt) {
        // A positive id, so the published text never reads as the empty address 0.
        const qint32 id = static_cast<qint32>(QRandomGenerator::system()->bounded(1, 0x7FFFFFFF));
        const QString path = socketPath(m_folder, id);
        QLocalServer::removeServer(path); // a socket file left by a crashed instance
        if (m_server->listen(path)) {
            m_id = id;
            connect(m_server, &QLocalServer::newConnection, this, &WakeUpServer::onNewConnection);
            return true;
        }
    }
    return false;
}

void WakeUpServer::onNewConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        if (m_clients >= kMaxClients) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_clients;
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QObject::destroyed, this, [this] { --m_clients; });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        // A silent client is dropped; the timer dies with the socket.
        auto* idle = new QTimer(socket);
        idle->setSingleShot(true);
        connect(idle, &QTimer::timeout, socket, [socket] { socket->abort(); });
        idle->start(kIdleMs);
    }
}

void WakeUpServer::onReadyRead(QLocalSocket* socket) {
    if (socket->property("handled").toBool())
        return;
    QByteArray message = socket->property("buffer").toByteArray();
    message += socket->read(kMaxMessage + 1 - message.size());
    const qsizetype nul = message.indexOf('\0');
    if (nul < 0) {
        if (message.size() > kMaxMessage)
            socket->abort(); // oversized: not a wake-up request
        else
            socket->setProperty("buffer", message);
        return;
    }
    socket->setProperty("handled", true);
    const QString text = QtCodec936::decode(message.left(nul));
    // The socket may go while the handler runs its own event loop (a login dialog).
    QPointer<QLocalSocket> guard(socket);
    if (auto* idle = socket->findChild<QTimer*>())
        idle->stop();
    if (m_handler)
        m_handler(text);
    if (guard && guard->state() == QLocalSocket::ConnectedState) {
        guard->write("ok", 2);
        guard->flush();
        guard->disconnectFromServer();
    }
}
