#include "registry/AutoRun.h"
#include "platform/qt/QtText.h"

#include "platform/qt/QtCodec936.h"
#include "platform/xdg/XdgRegistry.h"
#include "registry/CReg.h"
#include "registry/DesktopEntryReader.h"
#include "registry/FakeRegistry.h"
#include "registry/RegistryFiles.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <optional>

#include <sys/stat.h>

namespace {

const QByteArray kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const QString kDir = QString::fromUtf8("/opt/墨枫 sentinel");
const AppInfo kApp(QtText::fromQ(kDir), u"sentinel");

// Text as this program stores it: code page 936 and one NUL.
QByteArray ansiz(const QString& text) {
    return QtCodec936::encode(text) + '\0';
}
QByteArray ansiz(const char* utf8) {
    return ansiz(QString::fromUtf8(utf8));
}

struct Entry {
    Reg::Handle root;
    QByteArray name;
    quint32 type;
    QByteArray data;
};

// A registry with the machine's run key, and %APPDIR% naming the program's folder.
void prepare(FakeRegistry& fake, const std::optional<Entry>& entry, bool runKey = true) {
    fake.environment["APPDIR"] = QtCodec936::encode(kDir);
    if (runKey) {
        fake.putKey(Reg::HkeyLocalMachine, kRun);
        fake.putKey(Reg::HkeyCurrentUser, kRun);
    }
    if (entry)
        fake.put(entry->root, kRun, entry->name, entry->type, entry->data);
}

TEST(AutoRun, TheLogonCommandIsTheExecutablesPathAndAuto) {
    EXPECT_EQ(kApp.baseName(), u"sentinel");
    FakeRegistry fake;
    EXPECT_EQ(AutoRun(fake, kApp).logonCommand(), kDir + "/sentinel /auto");
    EXPECT_EQ(AutoRun(fake, AppInfo(u"/", u"sentinel")).logonCommand(), "/sentinel /auto");
    // The value is named after the base name: the file name without its extension.
    FakeRegistry other;
    prepare(other, std::nullopt);
    EXPECT_EQ(AutoRun(other, AppInfo(u"/opt", u"guard.bin")).cekAutoRun_Click(1), 1);
    ASSERT_NE(other.get(Reg::HkeyLocalMachine, kRun, "guard"), nullptr);
    EXPECT_EQ(other.get(Reg::HkeyLocalMachine, kRun, "guard")->data, ansiz("/opt/guard.bin /auto"));
}

struct IsAutoRow {
    const char* name;
    std::optional<Entry> entry;
    bool expected;
};

TEST(AutoRun, IsAutoComparesTheRenderedEntryInUpperCase) {
    const Reg::Handle lm = Reg::HkeyLocalMachine;
    const std::vector<IsAutoRow> rows = {
        {"no entry", std::nullopt, false},
        {"this executable's command",
         Entry{lm, "sentinel", 1, ansiz("/opt/墨枫 sentinel/sentinel /auto")}, true},
        {"another letter case",
         Entry{lm, "sentinel", 1, ansiz("/OPT/墨枫 SENTINEL/Sentinel /AUTO")}, true},
        {"the value's name in another case",
         Entry{lm, "SENTINEL", 1, ansiz("/opt/墨枫 sentinel/sentinel /auto")}, true},
        {"REG_EXPAND_SZ that expands to the command",
         Entry{lm, "sentinel", 2, ansiz("%APPDIR%/sentinel /auto")}, true},
        {"REG_SZ references expand too", Entry{lm, "sentinel", 1, ansiz("%APPDIR%/sentinel /auto")},
         true},
        {"quoted path", Entry{lm, "sentinel", 1, ansiz("\"/opt/墨枫 sentinel/sentinel\" /auto")},
         false},
        {"another directory (the program moved)",
         Entry{lm, "sentinel", 1, ansiz("/usr/bin/sentinel /auto")}, false},
        {"another argument", Entry{lm, "sentinel", 1, ansiz("/opt/墨枫 sentinel/sentinel /autox")},
         false},
        {"no argument", Entry{lm, "sentinel", 1, ansiz("/opt/墨枫 sentinel/sentinel")}, false},
        {"an added blank", Entry{lm, "sentinel", 1, ansiz("/opt/墨枫 sentinel/sentinel /auto ")},
         false},
        {"the other platform's form",
         Entry{lm, "sentinel", 1, ansiz("/opt/墨枫 sentinel\\sentinel.exe /auto")}, false},
        {"binary of the same bytes",
         Entry{lm, "sentinel", 3, ansiz("/opt/墨枫 sentinel/sentinel /auto")}, false},
        {"a number", Entry{lm, "sentinel", 4, QByteArray("\1\0\0\0", 4)}, false},
        {"a multi-string of the command",
         Entry{lm, "sentinel", 7, ansiz("/opt/墨枫 sentinel/sentinel /auto") + '\0'}, false},
        {"registered for the user only",
         Entry{Reg::HkeyCurrentUser, "sentinel", 1, ansiz("/opt/墨枫 sentinel/sentinel /auto")},
         false},
        {"registered under another name",
         Entry{lm, "sentinel2", 1, ansiz("/opt/墨枫 sentinel/sentinel /auto")}, false},
    };
    for (const IsAutoRow& row : rows) {
        SCOPED_TRACE(row.name);
        FakeRegistry fake;
        prepare(fake, row.entry);
        const int before = fake.changes();
        EXPECT_EQ(AutoRun(fake, kApp).isAuto(), row.expected);
        EXPECT_EQ(fake.changes(), before) << "isAuto writes nothing";
        EXPECT_EQ(fake.openHandles(), 0) << "every handle is closed";
    }
    FakeRegistry noKey;
    prepare(noKey, std::nullopt, false);
    EXPECT_FALSE(AutoRun(noKey, kApp).isAuto());
}

struct ClickRow {
    const char* name;
    std::optional<Entry> before;
    bool denyWrites;
    bool runKey;
    int newValue;
    int shown;
    std::optional<QByteArray> after; // the entry's data afterwards, type 1
};

TEST(AutoRun, ClickWritesOrDeletesAndRevertsTheBoxOnFailure) {
    const Reg::Handle lm = Reg::HkeyLocalMachine;
    const QByteArray command = ansiz("/opt/墨枫 sentinel/sentinel /auto");
    const Entry old{lm, "sentinel", 1, ansiz("/old/place/sentinel /auto")};
    const Entry current{lm, "sentinel", 1, command};
    const std::vector<ClickRow> rows = {
        {"checking creates the entry", std::nullopt, false, true, 1, 1, command},
        {"checking after a move overwrites the old entry", old, false, true, 1, 1, command},
        {"checking without the right to write stays unchecked", std::nullopt, true, true, 1, 0,
         std::nullopt},
        {"checking without the right to write keeps an old entry", old, true, true, 1, 0, old.data},
        {"checking when the run key cannot be opened", std::nullopt, false, false, 1, 0,
         std::nullopt},
        {"clearing deletes the entry", current, false, true, 0, 0, std::nullopt},
        {"clearing when the entry is already gone shows checked", std::nullopt, false, true, 0, 1,
         std::nullopt},
        {"clearing without the right to write shows checked", current, true, true, 0, 1, command},
        {"a greyed box does nothing", current, false, true, 2, 2, command},
    };
    for (const ClickRow& row : rows) {
        SCOPED_TRACE(row.name);
        FakeRegistry fake;
        prepare(fake, row.before, row.runKey);
        fake.denyWrites = row.denyWrites;
        const int changesBefore = fake.changes();
        EXPECT_EQ(AutoRun(fake, kApp).cekAutoRun_Click(row.newValue), row.shown);
        const FakeRegistry::Value* v = fake.get(lm, kRun, "sentinel");
        if (row.after) {
            ASSERT_NE(v, nullptr);
            EXPECT_EQ(v->type, 1u);
            EXPECT_EQ(v->data, *row.after);
        } else {
            EXPECT_EQ(v, nullptr);
        }
        EXPECT_EQ(fake.openHandles(), 0);
        // A reversion is the box's state only: no second write or delete follows.
        if (row.shown != row.newValue) {
            EXPECT_EQ(fake.changes(), changesBefore);
        }
    }
}

// A program whose folder's name the code page cannot hold has no logon command that could be
// stored: checking fails, the box returns to unchecked, and no "?" entry is left behind.
TEST(AutoRun, AFolderNameTheCodePageCannotHoldIsNeverWritten) {
    for (const char* dir : {"/home/mu\u00f1oz", "/opt/\u2713 tools", "/srv/\U0001F600"}) {
        SCOPED_TRACE(dir);
        FakeRegistry fake;
        prepare(fake, std::nullopt);
        AutoRun run(fake, AppInfo(QtText::fromQ(QString::fromUtf8(dir)), u"sentinel"));
        EXPECT_EQ(run.cekAutoRun_Click(1), 0);
        EXPECT_EQ(fake.get(Reg::HkeyLocalMachine, kRun, "sentinel"), nullptr);
        EXPECT_FALSE(run.isAuto());
        EXPECT_EQ(fake.openHandles(), 0);
    }
}

TEST(AutoRun, TwoCopiesWithOneBaseNameShareTheEntry) {
    FakeRegistry fake;
    prepare(fake, std::nullopt);
    AutoRun first(fake, AppInfo(u"/a", u"sentinel"));
    AutoRun second(fake, AppInfo(u"/b", u"sentinel"));
    EXPECT_EQ(first.cekAutoRun_Click(1), 1);
    EXPECT_TRUE(first.isAuto());
    EXPECT_EQ(second.cekAutoRun_Click(1), 1);
    EXPECT_TRUE(second.isAuto());
    EXPECT_FALSE(first.isAuto());
}

// The real registry, end to end: checking the box makes the desktop start the program.
class AutoRunOnTheDesktop : public ::testing::Test {
protected:
    void SetUp() override {
        appDir = env.work() + "/app dir";
        program = RegistryFiles::makeProbe(appDir, "sentinel");
        ASSERT_FALSE(program.isEmpty());
    }
    QString entryFile() const { return env.configDir() + "/autostart/sentinel.desktop"; }
    AppInfo app() const { return AppInfo(QtText::fromQ(appDir), u"sentinel"); }

    TestEnv env;
    QString appDir;
    QString program;
};

TEST_F(AutoRunOnTheDesktop, CheckingStartsTheProgramWithAutoAndClearingStopsIt) {
    {
        XdgRegistry registry;
        AutoRun autoRun(registry, app());
        EXPECT_FALSE(autoRun.isAuto());
        EXPECT_EQ(autoRun.cekAutoRun_Click(1), 1);
    }
    ASSERT_TRUE(QFileInfo::exists(entryFile()));
    const QMap<QString, QString> keys = DesktopEntryReader::mainGroup(entryFile());
    EXPECT_EQ(keys.value("Type"), "Application");
    EXPECT_EQ(keys.value("X-GNOME-Autostart-enabled"), "true");
    EXPECT_FALSE(keys.contains("Hidden"));
    EXPECT_EQ(DesktopEntryReader::execArguments(keys.value("Exec")),
              QStringList({program, "/auto"}));

    // The next start (another process) shows the box checked.
    const RegistryFiles::Run check = RegistryFiles::tool({"isauto", appDir, "sentinel"});
    ASSERT_TRUE(check.finished);
    EXPECT_EQ(check.output, "1");

    // What the desktop does at logon.
    QString error;
    ASSERT_TRUE(RegistryFiles::launch(entryFile(), &error)) << error.toStdString();
    EXPECT_EQ(RegistryFiles::waitForProbe(appDir), QStringList({program, "/auto"}));

    XdgRegistry registry;
    AutoRun autoRun(registry, app());
    EXPECT_TRUE(autoRun.isAuto());
    EXPECT_EQ(autoRun.cekAutoRun_Click(0), 0);
    EXPECT_FALSE(QFileInfo::exists(entryFile()));
    EXPECT_FALSE(autoRun.isAuto());
    // Cleared again while already gone: the box shows checked.
    EXPECT_EQ(autoRun.cekAutoRun_Click(0), 1);
}

TEST_F(AutoRunOnTheDesktop, TheMovedProgramShowsUncheckedAndLeavesTheOldEntry) {
    XdgRegistry registry;
    EXPECT_EQ(AutoRun(registry, app()).cekAutoRun_Click(1), 1);
    const QByteArray before = RegistryFiles::read(entryFile());
    const QString moved = env.work() + "/moved";
    RegistryFiles::makeProbe(moved, "sentinel");
    AutoRun movedRun(registry, AppInfo(QtText::fromQ(moved), u"sentinel"));
    EXPECT_FALSE(movedRun.isAuto());
    EXPECT_EQ(RegistryFiles::read(entryFile()), before);
    EXPECT_EQ(movedRun.cekAutoRun_Click(1), 1);
    EXPECT_EQ(
        DesktopEntryReader::execArguments(DesktopEntryReader::mainGroup(entryFile()).value("Exec")),
        QStringList({moved + "/sentinel", "/auto"}));
}

TEST_F(AutoRunOnTheDesktop, AnAutostartFolderThatCannotBeWrittenLeavesTheBoxUnchecked) {
    ASSERT_TRUE(RegistryFiles::write(env.configDir() + "/autostart", "a file, not a folder"));
    XdgRegistry registry;
    AutoRun autoRun(registry, app());
    EXPECT_EQ(autoRun.cekAutoRun_Click(1), 0);
    EXPECT_FALSE(autoRun.isAuto());
    EXPECT_EQ(RegistryFiles::read(env.configDir() + "/autostart"), "a file, not a folder");
    EXPECT_FALSE(RegistryFiles::read(registry.files(Reg::HkeyLocalMachine).registryFile)
                     .contains("sentinel"));
}

TEST_F(AutoRunOnTheDesktop, AUserWhoMayNotWriteTheMachinesFolderChangesNothing) {
    // The limited user must reach the program and the machine's folders to read them.
    for (const QString& dir : {env.root(), env.work(), appDir, env.configDir()})
        ::chmod(QFile::encodeName(dir).constData(), 0755);
    if (!RegistryFiles::runningAsRoot())
        ::chmod(QFile::encodeName(env.configDir()).constData(), 0555);

    RegistryFiles::Run run = RegistryFiles::tool({"click", appDir, "sentinel", "1"}, true);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.output, "0") << "checking fails and the box returns to unchecked";
    EXPECT_FALSE(QFileInfo::exists(entryFile()));

    // Registered by the administrator: the limited user sees it, and cannot clear it.
    if (!RegistryFiles::runningAsRoot())
        ::chmod(QFile::encodeName(env.configDir()).constData(), 0755);
    {
        XdgRegistry registry;
        ASSERT_EQ(AutoRun(registry, app()).cekAutoRun_Click(1), 1);
    }
    if (!RegistryFiles::runningAsRoot())
        ::chmod(QFile::encodeName(env.configDir() + "/autostart").constData(), 0555);
    run = RegistryFiles::tool({"isauto", appDir, "sentinel"}, true);
    EXPECT_EQ(run.output, "1");
    run = RegistryFiles::tool({"click", appDir, "sentinel", "0"}, true);
    EXPECT_EQ(run.output, "1") << "clearing fails and the box returns to checked";
    EXPECT_TRUE(QFileInfo::exists(entryFile()));
    if (!RegistryFiles::runningAsRoot())
        ::chmod(QFile::encodeName(env.configDir() + "/autostart").constData(), 0755);
}

} // namespace
