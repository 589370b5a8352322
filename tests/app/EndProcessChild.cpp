// A program for the main window's exit test: it answers Yes to the exit question with the
// window's real immediate end in place. Reaching the end of main() is the failure.
#include "app/frmMain.h"
#include "platform/fake/FakeWindowSystem.h"
#include "platform/fake/ScriptedPrompts.h"
#include "platform/linux/IconvCodec936.h"
#include "platform/qt/QtText.h"
#include "registry/FakeRegistry.h"

#include <QApplication>
#include <QFile>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc != 2)
        return 2;
    const QString exeDir = QString::fromLocal8Bit(argv[1]);
    AppInfo app(QtText::fromQ(exeDir), u"sentinel");
    const IconvCodec936 codec;
    FakeWindowSystem windows;
    ScriptedPrompts prompts;
    FakeRegistry registry;
    frmMain window(MainWindowServices{
        .windows = windows, .prompts = prompts, .registry = registry, .app = app, .codec = codec});
    window.keyList().append(u"abc");
    window.show();
    prompts.answerMessage(Msg::Yes);
    window.close();
    QFile after(exeDir + QStringLiteral("/after-close"));
    if (after.open(QIODevice::WriteOnly))
        after.write("still running");
    return 3;
}
