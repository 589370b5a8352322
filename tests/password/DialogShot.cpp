// Shows one of the password dialogs on the display it is given, types a few characters
// into it, and prints the dialog's window id once the window is exposed; then waits to be
// ended. The X11 test takes its screenshot and reads its window properties meanwhile.
//   password_dialog_shot login | setpass | setpass-first
#include "common/AppInfo.h"
#include "password/CLogin.h"
#include "password/LoginContext.h"
#include "password/PassTransform.h"
#include "platform/fake/MemorySettingsStore.h"
#include "platform/fake/ScriptedPrompts.h"
#include "platform/qt/QtText.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QTimer>
#include <QWindow>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("login");
    MemorySettingsStore store;
    ScriptedPrompts prompts;
    LoginContext context(store, prompts, AppInfo(u"/opt/sentinel", u"sentinel"));
    if (mode != QStringLiteral("setpass-first"))
        store.SaveSetting(QtText::toQ(AppInfo::title()), "lgPw", "EnDoor",
                          *PassTransform::EncodePass("pw"));
    store.SaveSetting(QStringLiteral("/opt/sentinel"), "lgpw", "Tip", "hint");

    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->windowHandle() || !dialog->windowHandle()->isExposed())
            return;
        poll.stop();
        for (QLineEdit* box : dialog->findChildren<QLineEdit*>())
            if (box->isEnabled())
                box->setText(box->objectName() == QStringLiteral("txtTip")
                                 ? QString::fromUtf8("提示文字")
                                 : QStringLiteral("abc"));
        std::printf("0x%llx\n", static_cast<unsigned long long>(dialog->winId()));
        std::fflush(stdout);
    });
    poll.start();
    if (mode == QStringLiteral("login"))
        CLogin(context).Pass();
    else
        CLogin(context).SetPassword();
    return 0;
}
