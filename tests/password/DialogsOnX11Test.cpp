#include "support/ChildProcess.h"
#include "support/TestEnv.h"
#include "support/XvfbServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

namespace {

QString xprop(const QString& window, const QStringList& properties) {
    QProcess p;
    p.start(QStringLiteral("xprop"), QStringList{"-id", window} + properties);
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Waits for a condition, checking every 20 ms, at most timeoutMs.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 15000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
}

struct ShotCase {
    const char* mode;
    QString title;
    QSize size;
};

// Each dialog on a private X server with a window manager: its caption, its fixed size as
// the manager is told it, and a screenshot for a person to look at (written beside the
// test, shot-<mode>.png).
TEST(PasswordDialogsOnX11, CaptionFixedSizeAndScreenshot) {
    const std::vector<ShotCase> cases = {
        {"login", QStringLiteral("登录"), QSize(209, 87)},
        {"setpass", QStringLiteral("密码设置"), QSize(256, 180)},
        {"setpass-first", QStringLiteral("密码设置"), QSize(256, 180)},
    };
    for (const ShotCase& c : cases) {
        SCOPED_TRACE(c.mode);
        TestEnv env;
        XvfbServer server(true);
        ASSERT_TRUE(server.ok());
        const QString out = env.work() + QStringLiteral("/stdout");
        QDir().mkpath(env.work());
        ChildProcess shot;
        ASSERT_TRUE(
            shot.start({DIALOG_SHOT, c.mode},
                       {"QT_QPA_PLATFORM=xcb", "DISPLAY=" + server.display(), "QT_SCALE_FACTOR=1"},
                       -1, out.toStdString()));
        QString window;
        ASSERT_TRUE(waitFor([&] {
            QFile f(out);
            if (f.open(QIODevice::ReadOnly))
                window = QString::fromLatin1(f.readAll()).trimmed();
            return !window.isEmpty();
        })) << "the dialog never showed";
        // Managed and framed by the window manager before the picture is taken.
        ASSERT_TRUE(waitFor(
            [&] { return xprop(window, {"_NET_FRAME_EXTENTS"}).contains(QLatin1Char('=')); }));
        const QString props = xprop(window, {"_NET_WM_NAME", "WM_NORMAL_HINTS"});
        EXPECT_TRUE(props.contains("_NET_WM_NAME(UTF8_STRING) = \"" + c.title + "\""))
            << props.toStdString();
        const QString size = QStringLiteral("%1 by %2").arg(c.size.width()).arg(c.size.height());
        EXPECT_TRUE(props.contains("program specified minimum size: " + size))
            << props.toStdString();
        EXPECT_TRUE(props.contains("program specified maximum size: " + size))
            << props.toStdString();

        const QString png = QDir::currentPath() + QStringLiteral("/shot-%1.png").arg(c.mode);
        QFile::remove(png);
        ASSERT_TRUE(waitFor([&] { return server.screenshot(png.toStdString()); }));
        EXPECT_FALSE(QImage(png).isNull());
        EXPECT_TRUE(shot.running()) << "the dialog waits for its user";
    }
}

} // namespace
