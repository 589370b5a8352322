// The hidden start with "/auto", the wake-up of that instance by a later start, and the
// "开机自动运行" box, whose autostart entry starts the installed program hidden at logon.
#include "e2e/Journey.h"

#include "common/AppInfo.h"
#include "password/PassTransform.h"
#include "platform/qt/QtText.h"
#include "platform/xdg/IniSettingsStore.h"

#include <QFile>

namespace {

class AutoStart : public Journey {
protected:
    // The wake-up address a start publishes once it runs as the one instance.
    static QString wakeUpAddress() {
        return IniSettingsStore().GetSetting(QtText::toQ(AppInfo::title()), QStringLiteral("lgpw"),
                                             QStringLiteral("hwnd"));
    }

    // A window of another program with a keyword goes within a second.
    void expectGuarded(const QString& title) {
        ChildProcess target;
        const qint64 ms = timeToClose([&] { startXmessage(target, title); });
        EXPECT_GE(ms, 0) << (ms == -2 ? "it never showed" : "it did not close");
        EXPECT_LE(ms, 1000);
    }
};

TEST_F(AutoStart, AutoShowsNothingAndASecondStartAsksForThePasswordInTheFirst) {
    // A password from an earlier session.
    IniSettingsStore().SaveSetting(QtText::toQ(AppInfo::title()), QStringLiteral("lgPw"),
                                   QStringLiteral("EnDoor"),
                                   PassTransform::EncodePass(QStringLiteral("Secret12")).value());
    writeKeyList(kListHeader + QByteArray("forbidden\r\n"));

    ChildProcess first;
    start(first, {"/auto"});
    const quint32 firstPid = static_cast<quint32>(first.pid());
    ASSERT_TRUE(waitUntil([] { return !wakeUpAddress().isEmpty(); })) << "it never came up";
    EXPECT_TRUE(holdsFor([&] { return shownOf(firstPid).empty(); }, 1500))
        << "a hidden start showed a window";
    expectGuarded(QStringLiteral("a forbidden note"));
    EXPECT_TRUE(shownOf(firstPid).empty());

    // A second start hands over to the first, which asks for the password; the second
    // waits for the answer and shows nothing of its own.
    ChildProcess second;
    start(second);
    const auto login = waitForWindow(kLoginCaption, firstPid);
    ASSERT_TRUE(login) << "the first instance did not ask for the password";
    EXPECT_TRUE(second.running());
    EXPECT_TRUE(shownOf(static_cast<quint32>(second.pid())).empty());
    ASSERT_TRUE(input->activate(login->window));
    ASSERT_TRUE(input->type(QStringLiteral("Secret12")));
    ASSERT_TRUE(input->keys({"Return"}));
    EXPECT_TRUE(waitForWindow(kMainCaption, firstPid)) << "the main window did not come";
    ASSERT_TRUE(second.waitFor(10000)) << "the second start did not end";
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(first.running());
}

TEST_F(AutoStart, TheRunAtLogonBoxMakesAnEntryThatStartsTheProgramHidden) {
    writeKeyList(kListHeader + QByteArray("forbidden\r\n"));
    ChildProcess sentinel;
    start(sentinel);
    const quint32 pid = static_cast<quint32>(sentinel.pid());
    const auto main = waitForWindow(kMainCaption, pid);
    ASSERT_TRUE(main);

    // Shift+Tab from the list goes round to "开机自动运行"; Space ticks it. The machine's
    // autostart folder is the first of XDG_CONFIG_DIRS (here the test's own).
    ASSERT_TRUE(input->activate(main->window));
    ASSERT_TRUE(input->keys({"shift+Tab", "space"}));
    const QString entry = env.configDir() + QStringLiteral("/autostart/sentinel.desktop");
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(entry); })) << "no autostart entry";
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    const QByteArray exe = program.executable().toUtf8();
    EXPECT_TRUE(lines.contains("Exec=" + exe + " /auto") ||
                lines.contains("Exec=\"" + exe + "\" /auto"))
        << "the entry does not start " << exe.toStdString() << " /auto";

    // Exit, then log on: the desktop starts the entry.
    ASSERT_TRUE(input->activate(main->window));
    ASSERT_TRUE(input->keys({"alt+F4"}));
    ASSERT_TRUE(waitForWindow(kQuestionCaption, pid));
    ASSERT_TRUE(input->keys({"y"}));
    ASSERT_TRUE(sentinel.waitFor(10000));
    const QString before = wakeUpAddress();
    ChildProcess logon;
    ASSERT_TRUE(logon.start({"gio", "launch", entry.toStdString()}, desktopEnv(), -1,
                            (env.work() + QStringLiteral("/logon.log")).toStdString()));
    ASSERT_TRUE(waitUntil([&] { return runningCopies().size() == 1 && wakeUpAddress() != before; }))
        << "the entry did not start the program";
    const quint32 started = static_cast<quint32>(runningCopies().front());
    EXPECT_TRUE(holdsFor([&] { return shownOf(started).empty(); }, 1500))
        << "the start at logon showed a window";
    expectGuarded(QStringLiteral("forbidden at logon"));
}

} // namespace
