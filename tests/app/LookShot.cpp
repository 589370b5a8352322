// Shows one of the program's windows on the display it is given and reports, once the
// window manager has framed it, what the look test checks from outside; then waits to be
// ended.
//   app_look_shot main | about | login | setpass | msgbox TEXT | input PROMPT
// Lines on stdout:
//   window 0xID                 the client window
//   ratio R                     the device pixel ratio
//   client W H                  the client size in device-independent pixels
//   control NAME X Y W H        each visible child control, relative to the client
//   done                        nothing more follows
#include "about/frmAbout.h"
#include "app/AppLook.h"
#include "app/frmMain.h"
#include "common/AppInfo.h"
#include "password/LoginContext.h"
#include "password/PassTransform.h"
#include "password/frmPassword.h"
#include "password/frmSetPass.h"
#include "platform/fake/FakeWindowSystem.h"
#include "platform/fake/MemorySettingsStore.h"
#include "platform/fake/ScriptedPrompts.h"
#include "platform/linux/IconvCodec936.h"
#include "platform/qt/QtPrompts.h"
#include "platform/qt/QtText.h"
#include "registry/FakeRegistry.h"

#include <QApplication>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <memory>

namespace {

void report(QWidget& window) {
    std::printf("window 0x%llx\n", static_cast<unsigned long long>(window.winId()));
    std::printf("ratio %g\n", window.devicePixelRatioF());
    std::printf("client %d %d\n", window.width(), window.height());
    for (QWidget* child : window.findChildren<QWidget*>()) {
        if (!child->isVisible() || child->parentWidget() != &window)
            continue;
        const QRect r = child->geometry();
        const QString name = child->objectName().isEmpty()
                                 ? QString::fromLatin1(child->metaObject()->className())
                                 : child->objectName();
        std::printf("control %s %d %d %d %d\n", qPrintable(name), r.x(), r.y(), r.width(),
                    r.height());
    }
    std::printf("done\n");
    std::fflush(stdout);
}

// Reports the first window that is shown and framed.
class Reporter : public QObject {
public:
    Reporter() {
        connect(&m_poll, &QTimer::timeout, this, &Reporter::poll);
        m_poll.start(20);
    }

private:
    void poll() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            QWindow* handle = w->windowHandle();
            if (!w->isVisible() || !handle || !handle->isExposed() ||
                handle->frameMargins().isNull())
                continue;
            m_poll.stop();
            report(*w);
            return;
        }
    }

    QTimer m_poll;
};

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setFont(AppLook::font());
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("main");
    const QString text = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    Reporter reporter;

    const IconvCodec936 codec;
    FakeWindowSystem windows;
    ScriptedPrompts scripted;
    QtPrompts prompts;
    FakeRegistry registry;
    MemorySettingsStore store;
    const AppInfo app(u"/opt/sentinel", u"sentinel");
    // With a password set the login dialog waits for it instead of granting at once.
    store.SaveSetting(QtText::toQ(AppInfo::title()), "lgPw", "EnDoor",
                      *PassTransform::EncodePass("pw"));
    LoginContext login(store, scripted, app);
    std::unique_ptr<QWidget> window;
    if (mode == QStringLiteral("main"))
        window = std::make_unique<frmMain>(MainWindowServices{.windows = windows,
                                                              .prompts = scripted,
                                                              .registry = registry,
                                                              .app = app,
                                                              .codec = codec});
    else if (mode == QStringLiteral("about"))
        window = std::make_unique<frmAbout>();
    else if (mode == QStringLiteral("login"))
        window = std::make_unique<frmPassword>(login);
    else if (mode == QStringLiteral("setpass"))
        window = std::make_unique<frmSetPass>(login);
    else if (mode == QStringLiteral("msgbox"))
        return prompts.MsgBox(text, Msg::Critical, QString());
    else if (mode == QStringLiteral("input"))
        return prompts.InputBox(text, QString(), QString()).isEmpty() ? 0 : 1;
    else
        return 2;
    window->show();
    return application.exec();
}
