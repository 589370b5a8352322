#include "platform/local/WakeUpClient.h"

#include "platform/qt/QtCodec936.h"
#include "platform/local/RuntimeFolder.h"
#include "platform/local/WakeUpServer.h"

#include <QLocalSocket>

bool WakeUpClient::send(const QString& address, const QString& text, const QString& folder) {
    bool ok = false;
    const qint32 id = address.trimmed().toInt(&ok);
    if (!ok || id == 0)
        return false;
    const QString dir = folder.isEmpty() ? RuntimeFolder::path() : folder;
    if (dir.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(WakeUpServer::socketPath(dir, id));
    if (!socket.waitForConnected(5000))
        return false;
    socket.write(QtCodec936::encode(text) + QByteArray(1, '\0'));
    if (!socket.waitForBytesWritten(5000))
        return false;
    // No time limit: the running instance answers after its handling, which may be a
    // login dialog the user takes their time with. A vanished instance closes the socket.
    while (socket.state() == QLocalSocket::ConnectedState && socket.bytesAvailable() == 0)
        socket.waitForReadyRead(-1);
    return socket.bytesAvailable() > 0;
}
