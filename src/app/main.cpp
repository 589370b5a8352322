#include "app/AppLook.h"
#include "app/frmMain.h"
#include "app/frmStart.h"
#include "common/AppInfo.h"
#include "password/CLogin.h"
#include "password/LoginContext.h"
#include "platform/linux/IconvCodec936.h"
#include "platform/local/InstanceLock.h"
#include "platform/local/ProcessEnd.h"
#include "platform/local/SignalWatcher.h"
#include "platform/local/WakeUpClient.h"
#include "platform/qt/QtPrompts.h"
#include "platform/qt/QtText.h"
#include "platform/x11/X11WindowSystem.h"
#include "platform/xdg/IniSettingsStore.h"
#include "platform/xdg/XdgRegistry.h"

#include <QApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    // The patrol needs the display's windows; without a display there is nothing to guard,
    // and Qt would only abort later with a less helpful message.
    std::unique_ptr<X11WindowSystem> windows = X11WindowSystem::open();
    if (!windows) {
        const char* display = std::getenv("DISPLAY");
        std::fprintf(stderr,
                     "sentinel: 无法连接到 X 显示服务器 (DISPLAY=%s)。\n"
                     "sentinel: cannot open the X display (DISPLAY=%s).\n",
                     display ? display : "", display ? display : "");
        return 1;
    }

    // The whole argument text, taken before Qt removes the options it knows.
    QStringList words;
    for (int i = 1; i < argc; ++i)
        words << QString::fromLocal8Bit(argv[i]);
    const QString arguments = words.join(QLatin1Char(' '));

    QApplication application(argc, argv);
    // The program ends only by its own immediate end: a hidden main window with its last
    // dialog closed goes on patrolling.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setFont(AppLook::font());
    // Qt's own texts (Yes/No, the file dialog) in Simplified Chinese, whatever the locale.
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_zh_CN"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    const QFileInfo exe(QCoreApplication::applicationFilePath());
    const AppInfo app(QtText::fromQ(exe.absolutePath()), QtText::fromQ(exe.fileName()));
    const IconvCodec936 codec;
    QtPrompts prompts;
    XdgRegistry registry;
    IniSettingsStore settings;
    LoginContext login(settings, prompts, app);

    InstanceLock instance;
    ProcessEnd end;
    const auto endProcess = [&end] { end.now(0); };

    frmStart start(
        StartServices{.settings = settings,
                      .login = login,
                      .instance = instance,
                      .loadMain =
                          [&] {
                              return std::make_unique<frmMain>(MainWindowServices{
                                  .windows = *windows,
                                  .prompts = prompts,
                                  .registry = registry,
                                  .app = app,
                                  .codec = codec,
                                  .setPassword = [&login] { CLogin(login).SetPassword(); },
                                  .endProcess = endProcess});
                          },
                      .sendWakeUp = [](const QString& address,
                                       const QString& text) { WakeUpClient::send(address, text); },
                      .endProcess = endProcess});
    // At every end the instance's socket and lock go; an end from outside (a signal, the lost
    // display, whether ours or Qt's connection notices first) saves the list before.
    end.atEveryEnd([&start] { start.releaseInstance(); });
    const auto saveList = [&start] {
        if (frmMain* window = start.mainWindow())
            window->SaveQuietly();
    };
    end.atEndFromOutside(saveList);
    end.catchExit();
    X11WindowSystem* const display = windows.get();
    windows->setConnectionLostHandler([display, &end] {
        display->reportLostConnection();
        end.fromOutside(EXIT_FAILURE);
    });
    SignalWatcher endSignals([&end](int signal) { end.bySignal(signal); });
    // The session manager asks before the session ends: the list is saved then too.
    QObject::connect(&application, &QGuiApplication::commitDataRequest, saveList);

    start.Form_Load(arguments);
    return application.exec();
}
