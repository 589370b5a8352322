#include "platform/local/RuntimeFolder.h"
#include "platform/local/WakeUpClient.h"
#include "platform/local/WakeUpServer.h"

#include "support/ChildProcess.h"
#include "support/TestEnv.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocalSocket>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

int argc = 1;
char arg0[] = "test";
char* argv[] = {arg0, nullptr};

QCoreApplication& app() {
    static QCoreApplication* instance = QCoreApplication::instance()
                                            ? QCoreApplication::instance()
                                            : new QCoreApplication(argc, argv);
    return *static_cast<QCoreApplication*>(instance);
}

// Runs the event loop until the condition holds or the time is up.
bool spinUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

ChildProcess sender(const QString& folder, const QString& address, const char* text) {
    ChildProcess p;
    p.start({LOCAL_TOOLS, "send", folder.toStdString(), address.toStdString(), text});
    return p;
}

TEST(WakeUp, SenderWaitsUntilTheHandlerHasFinished) {
    app();
    TestEnv env;
    const QString folder = RuntimeFolder::path();
    QStringList received;
    bool inHandler = false;
    ChildProcess* child = nullptr;
    bool childAliveDuringHandler = false;
    WakeUpServer server(
        [&](const QString& text) {
            received << text;
            inHandler = true;
            // A long handling (like a login dialog) with its own event loop: the sender
            // must still be waiting when it ends.
            QEventLoop loop;
            QTimer::singleShot(700, &loop, &QEventLoop::quit);
            loop.exec();
            childAliveDuringHandler = child->running();
            inHandler = false;
        },
        folder);
    ASSERT_TRUE(server.listen());
    ASSERT_GT(server.id(), 0);

    ChildProcess p = sender(folder, QString::number(server.id()), "show");
    child = &p;
    ASSERT_TRUE(spinUntil([&] { return !p.running(); }));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_EQ(received, QStringList{"show"});
    EXPECT_TRUE(childAliveDuringHandler);
}

TEST(WakeUp, EmptyNonNumericAndStaleAddressesFailQuickly) {
    app();
    TestEnv env;
    const QString folder = RuntimeFolder::path();
    for (const char* address : {"", "abc", "0", "12345"}) {
        SCOPED_TRACE(address);
        QElapsedTimer t;
        t.start();
        EXPECT_FALSE(WakeUpClient::send(QString::fromLatin1(address), "show", folder));
        EXPECT_LT(t.elapsed(), 3000);
    }
    // A socket file left by a crashed instance: nobody listens.
    QFile stale(WakeUpServer::socketPath(folder, 777));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    EXPECT_FALSE(WakeUpClient::send("777", "show", folder));
}

TEST(WakeUp, HostileClientsNeitherBlockNorReachTheHandler) {
    app();
    TestEnv env;
    const QString folder = RuntimeFolder::path();
    QStringList received;
    WakeUpServer server([&](const QString& text) { received << text; }, folder);
    ASSERT_TRUE(server.listen());
    const QString path = WakeUpServer::socketPath(folder, server.id());

    QLocalSocket silent, garbage, huge;
    for (QLocalSocket* s : {&silent, &garbage, &huge})
        s->connectToServer(path);
    ASSERT_TRUE(spinUntil([&] {
        return silent.state() == QLocalSocket::ConnectedState &&
               garbage.state() == QLocalSocket::ConnectedState &&
               huge.state() == QLocalSocket::ConnectedState;
    }));
    garbage.write(QByteArray("\xff\xfe\x01 not a request"));
    huge.write(QByteArray(4 * 1024 * 1024, 's'));

    // A real request gets through at once while they hang around.
    ChildProcess p = sender(folder, QString::number(server.id()), "show");
    ASSERT_TRUE(spinUntil([&] { return !p.running(); }, 5000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_EQ(received, QStringList{"show"});

    // The oversized one is dropped; the silent one goes after its idle time.
    EXPECT_TRUE(spinUntil([&] { return huge.state() == QLocalSocket::UnconnectedState; }));
    EXPECT_TRUE(spinUntil([&] { return silent.state() == QLocalSocket::UnconnectedState; },
                          WakeUpServer::kIdleMs + 5000));
    // Text other than a wake-up request reaches the handler as text, only as a whole message.
    ChildProcess q = sender(folder, QString::number(server.id()), "SHOW");
    ASSERT_TRUE(spinUntil([&] { return !q.running(); }, 5000));
    EXPECT_EQ(received, (QStringList{"show", "SHOW"}));
}

} // namespace
