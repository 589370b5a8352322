#include "platform/xdg/XdgRegistry.h"

#include "platform/qt/QtCodec936.h"
#include "registry/CReg.h"
#include "registry/DesktopEntryReader.h"
#include "registry/RegistryFiles.h"
#include "support/ChildProcess.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include <sys/mount.h>
#include <sys/stat.h>

namespace {

const QString kRun = QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");

mode_t modeOf(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 0777;
}

QByteArray allBytes() {
    QByteArray b;
    for (int i = 0; i < 256; ++i)
        b.append(static_cast<char>(i));
    return b;
}

// Reads one value through CReg; "" when it cannot.
QByteArray valueOf(RegistryApi& api, Reg::Handle root, const QString& path, const QString& name,
                   qint32* typeOut = nullptr) {
    CReg reg(api);
    Reg::Handle key = 0;
    if (reg.OpenKey(root, path, key) != 0)
        return "<no key>";
    QByteArray value;
    qint32 type = -1;
    const bool ok = reg.GetValue(key, name, value, type);
    reg.CloseKey(key);
    if (typeOut)
        *typeOut = type;
    return ok ? value : QByteArray("<no value>");
}

QStringList valueNames(RegistryApi& api, Reg::Handle root, const QString& path) {
    CReg reg(api);
    Reg::Handle key = 0;
    QStringList names;
    if (reg.OpenKey(root, path, key) != 0)
        return {"<no key>"};
    QString name;
    QByteArray value;
    qint32 type = 0;
    for (int i = 0; reg.GetValueByIndex(key, i, name, value, type); ++i)
        names.append(name);
    reg.CloseKey(key);
    return names;
}

// A folder that no one may write, root included, with its files still in view: a
// read-only bind mount of itself for root, else a folder without write permission.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const QString& path) : m_path(path) {
        QDir().mkpath(path);
        const QByteArray p = QFile::encodeName(path);
        if (RegistryFiles::runningAsRoot()) {
            m_mounted = ::mount(p.constData(), p.constData(), nullptr, MS_BIND, nullptr) == 0;
            m_readOnly = m_mounted && ::mount(nullptr, p.constData(), nullptr,
                                              MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
        } else {
            m_readOnly = ::chmod(p.constData(), 0555) == 0;
        }
    }
    ~ReadOnlyFolder() {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
        ::chmod(QFile::encodeName(m_path).constData(), 0755);
    }
    bool ready() const { return m_readOnly; }

private:
    QString m_path;
    bool m_mounted = false;
    bool m_readOnly = false;
};

TEST(XdgRegistry, FilesLieInTheXdgFoldersWithFittingModes) {
    TestEnv env;
    XdgRegistry registry;
    EXPECT_EQ(registry.files(Reg::HkeyCurrentUser).registryFile,
              env.configHome() + "/sentinel/registry/HKEY_CURRENT_USER.reg");
    EXPECT_EQ(registry.files(Reg::HkeyCurrentUser).autostartDir, env.configHome() + "/autostart");
    EXPECT_EQ(registry.files(Reg::HkeyLocalMachine).registryFile,
              env.configDir() + "/sentinel/registry/HKEY_LOCAL_MACHINE.reg");
    EXPECT_EQ(registry.files(Reg::HkeyLocalMachine).autostartDir, env.configDir() + "/autostart");

    CReg reg(registry);
    for (Reg::Handle root : {Reg::HkeyCurrentUser, Reg::HkeyLocalMachine}) {
        Reg::Handle key = 0;
        ASSERT_TRUE(reg.CreatKey(root, "Software\\T", key));
        ASSERT_TRUE(reg.SetValue(key, "v", 1, QStringLiteral("x"), 0));
        reg.CloseKey(key);
    }
    // The user's registry is private; the machine's is readable by every user.
    EXPECT_EQ(modeOf(registry.files(Reg::HkeyCurrentUser).registryFile), 0600u);
    EXPECT_EQ(modeOf(env.configHome() + "/sentinel/registry"), 0700u);
    EXPECT_EQ(modeOf(registry.files(Reg::HkeyLocalMachine).registryFile), 0644u);
    EXPECT_EQ(modeOf(env.configDir() + "/sentinel/registry"), 0755u);
    EXPECT_EQ(modeOf(env.configDir() + "/sentinel"), 0755u);
}

TEST(XdgRegistry, AutostartEntriesAreReadableByEverySessionWhateverTheUmask) {
    TestEnv env;
    const mode_t old = ::umask(077);
    XdgRegistry registry;
    CReg reg(registry);
    Reg::Handle run = 0;
    const bool opened = reg.OpenKey(Reg::HkeyLocalMachine, kRun, run) == 0;
    const bool written = reg.SetValue(run, "entry", 1, QStringLiteral("/bin/true"), 0) &&
                         reg.SetValue(run, "number", 4, 1, 0);
    reg.CloseKey(run);
    ::umask(old);
    ASSERT_TRUE(opened && written);
    EXPECT_EQ(modeOf(env.configDir() + "/autostart"), 0755u);
    EXPECT_EQ(modeOf(env.configDir() + "/autostart/entry.desktop"), 0644u);
    EXPECT_EQ(modeOf(registry.files(Reg::HkeyLocalMachine).registryFile), 0644u);
    EXPECT_EQ(modeOf(env.configDir() + "/sentinel/registry"), 0755u);
}

TEST(XdgRegistry, ValuesSurviveANewProcessWithTypesAndBytesExact) {
    TestEnv env;
    const QByteArray gbkName("\xc4\xab\xb7\xe3"); // 墨枫
    // Names with every character the file form escapes, and a double-byte character
    // whose second byte is "\" (0x5C), which must not split the key path.
    const QString trailKey = QtCodec936::decode(QByteArray("\x95\x5c", 2));
    ASSERT_EQ(QtCodec936::encode(trailKey), QByteArray("\x95\x5c", 2));
    const QString path = QStringLiteral("Software\\Odd [%] \"key\"\\") + trailKey + "x";
    const struct {
        QString name;
        quint32 type;
        QByteArray data;
    } values[] = {
        {"binary", 3, allBytes()},
        {"text", 1, QByteArray("abc\0", 4)},
        {QtCodec936::decode(gbkName), 1, gbkName + '\0'},
        {"no terminator", 1, "abc"},
        {"dword", 4, QByteArray("\x0c\0\0\0", 4)},
        {"unknown type", 0xdeadbeef, "\x01"},
        {"empty", 3, {}},
        {"= [x] \"%41\" \\", 7, QByteArray("a\0b\0\0", 5)},
        {"", 1, QByteArray("default\0", 8)},
    };
    {
        XdgRegistry registry;
        CReg reg(registry);
        Reg::Handle key = 0;
        ASSERT_TRUE(reg.CreatKey(Reg::HkeyCurrentUser, path, key));
        for (const auto& v : values)
            ASSERT_TRUE(reg.SetBinaryValue(key, v.name, static_cast<qint32>(v.type), v.data,
                                           static_cast<qint32>(v.data.size())))
                << v.name.toStdString();
        reg.CloseKey(key);
    }
    for (const auto& v : values) {
        SCOPED_TRACE(v.name.toStdString());
        const RegistryFiles::Run run = RegistryFiles::tool({"get", "HKCU", path, v.name});
        ASSERT_TRUE(run.finished);
        ASSERT_EQ(run.exitCode, 0) << run.output.toStdString();
        QByteArray expected = v.data;
        if (v.type == 1 || v.type == 7)
            expected.chop(expected.endsWith('\0') ? 1 : 0);
        EXPECT_EQ(run.output, QString::number(static_cast<qint32>(v.type)) + ':' +
                                  QString::fromLatin1(expected.toHex()));
    }
    // A value written by another process is read here.
    const RegistryFiles::Run set =
        RegistryFiles::tool({"set", "HKLM", "Software\\FromChild", "v", "3", "00ff10"});
    ASSERT_EQ(set.exitCode, 0);
    XdgRegistry fresh;
    EXPECT_EQ(valueOf(fresh, Reg::HkeyLocalMachine, "Software\\FromChild", "v"),
              QByteArray("\x00\xff\x10", 3));
}

TEST(XdgRegistry, NamesIgnoreCaseKeepTheirSpellingAndEnumerateInAStableOrder) {
    TestEnv env;
    {
        XdgRegistry registry;
        CReg reg(registry);
        Reg::Handle key = 0;
        ASSERT_TRUE(reg.CreatKey(Reg::HkeyCurrentUser, "Software\\MyApp", key));
        for (const char* name : {"Charlie", "alpha", "Bravo"})
            ASSERT_TRUE(reg.SetValue(key, name, 1, QString::fromLatin1(name), 0));
        // The same names in other case replace, in place.
        ASSERT_TRUE(reg.SetValue(key, "ALPHA", 1, QStringLiteral("second"), 0));
        // Full-width letters of code page 936 fold too.
        ASSERT_TRUE(reg.SetValue(key, QString::fromUtf8("ＡＢ"), 1, QStringLiteral("wide"), 0));
        reg.CloseKey(key);
        Reg::Handle sub = 0;
        for (const char* k :
             {"Software\\MyApp\\Zed", "Software\\MyApp\\able", "SOFTWARE\\MYAPP\\ZED"}) {
            ASSERT_TRUE(reg.CreatKey(Reg::HkeyCurrentUser, k, sub));
            reg.CloseKey(sub);
        }
    }
    XdgRegistry registry;
    EXPECT_EQ(valueNames(registry, Reg::HkeyCurrentUser, "software\\myapp"),
              QStringList({"Charlie", "alpha", "Bravo", QString::fromUtf8("ＡＢ")}));
    EXPECT_EQ(valueOf(registry, Reg::HkeyCurrentUser, "SOFTWARE\\MYAPP", "Alpha"), "second");
    EXPECT_EQ(valueOf(registry, Reg::HkeyCurrentUser, "Software\\MyApp", QString::fromUtf8("ａｂ")),
              "wide");
    CReg reg(registry);
    Reg::Handle key = 0;
    ASSERT_EQ(reg.OpenKey(Reg::HkeyCurrentUser, "SOFTWARE\\myAPP", key), 0);
    QString name;
    ASSERT_TRUE(reg.GetSubkeyByIndex(key, 0, name));
    EXPECT_EQ(name, "Zed");
    ASSERT_TRUE(reg.GetSubkeyByIndex(key, 1, name));
    EXPECT_EQ(name, "able");
    EXPECT_FALSE(reg.GetSubkeyByIndex(key, 2, name));
    reg.CloseKey(key);
}

TEST(XdgRegistry, HandlesPathsAndProtectedKeysFailInTheOrdinaryWay) {
    TestEnv env;
    XdgRegistry registry;
    Reg::Handle key = 0;
    EXPECT_EQ(registry.RegOpenKeyA(Reg::HkeyCurrentUser, "Software\\Missing", &key),
              Reg::ErrorFileNotFound);
    EXPECT_EQ(registry.RegOpenKeyA(0x80000000u, "Software", &key), Reg::ErrorInvalidHandle);
    EXPECT_EQ(registry.RegOpenKeyA(Reg::HkeyCurrentUser, "\\Software", &key),
              Reg::ErrorBadPathname);
    EXPECT_EQ(registry.RegCreateKeyA(Reg::HkeyCurrentUser, "a\\\\b", &key), Reg::ErrorBadPathname);
    EXPECT_EQ(registry.RegCreateKeyA(Reg::HkeyCurrentUser, QByteArray(256, 'k').constData(), &key),
              Reg::ErrorBadPathname);

    ASSERT_EQ(registry.RegCreateKeyA(Reg::HkeyCurrentUser, "Software\\Gone\\", &key), 0);
    Reg::Handle parent = 0;
    ASSERT_EQ(registry.RegOpenKeyA(Reg::HkeyCurrentUser, "Software", &parent), 0);
    ASSERT_EQ(registry.RegDeleteKeyA(parent, "gone"), 0);
    // The handle of a deleted key fails from then on, and still closes once.
    const quint8 data = 1;
    EXPECT_EQ(registry.RegSetValueExA(key, "v", 3, &data, 1), Reg::ErrorKeyDeleted);
    EXPECT_EQ(registry.RegCloseKey(key), 0);
    EXPECT_EQ(registry.RegCloseKey(key), Reg::ErrorInvalidHandle);
    EXPECT_EQ(registry.RegSetValueExA(key, "v", 3, &data, 1), Reg::ErrorInvalidHandle);

    // Roots and the run keys stay; a key with sub-keys is not deleted by one call.
    EXPECT_EQ(registry.RegDeleteKeyA(Reg::HkeyCurrentUser, ""), Reg::ErrorAccessDenied);
    EXPECT_EQ(registry.RegDeleteKeyA(Reg::HkeyLocalMachine, QtCodec936::encode(kRun).constData()),
              Reg::ErrorAccessDenied);
    EXPECT_EQ(registry.RegDeleteKeyA(parent, ""), Reg::ErrorAccessDenied);
    registry.RegCloseKey(parent);

    // The run keys exist before anything was written.
    Reg::Handle run = 0;
    EXPECT_EQ(registry.RegOpenKeyA(Reg::HkeyLocalMachine, QtCodec936::encode(kRun).constData(), &run),
              0);
    registry.RegCloseKey(run);
}

TEST(XdgRegistry, DeletingTheWholeSoftwareTreeSparesTheAutostartEntries) {
    TestEnv env;
    XdgRegistry registry;
    CReg reg(registry);
    Reg::Handle run = 0;
    ASSERT_EQ(reg.OpenKey(Reg::HkeyCurrentUser, kRun, run), 0);
    ASSERT_TRUE(reg.SetValue(run, "keep", 1, QStringLiteral("/bin/true"), 0));
    reg.CloseKey(run);
    Reg::Handle other = 0;
    ASSERT_TRUE(reg.CreatKey(Reg::HkeyCurrentUser, "Software\\Vendor\\App", other));
    reg.CloseKey(other);

    // The walk stops at the first sub-key that cannot go: the run key's branch.
    EXPECT_FALSE(reg.DeleteSubkeyTree(Reg::HkeyCurrentUser, "Software"));
    Reg::Handle run2 = 0;
    EXPECT_EQ(reg.OpenKey(Reg::HkeyCurrentUser, kRun, run2), 0);
    reg.CloseKey(run2);
    EXPECT_TRUE(reg.DeleteSubkeyTree(Reg::HkeyCurrentUser, "Software\\Vendor"));
    EXPECT_EQ(reg.OpenKey(Reg::HkeyCurrentUser, "Software\\Vendor", other), Reg::ErrorFileNotFound);
    EXPECT_TRUE(QFileInfo::exists(env.configHome() + "/autostart/keep.desktop"));
    EXPECT_EQ(valueOf(registry, Reg::HkeyCurrentUser, kRun, "keep"), "/bin/true");
}

TEST(XdgRegistry, RunValuesAreAutostartEntriesThatRunTheCommand) {
    TestEnv env;
    const QString program = RegistryFiles::makeProbe(env.work() + "/my app", "prog");
    const QString command = program + " /auto";
    XdgRegistry registry;
    CReg reg(registry);
    for (Reg::Handle root : {Reg::HkeyCurrentUser, Reg::HkeyLocalMachine}) {
        SCOPED_TRACE(root);
        const QString folder = registry.files(root).autostartDir;
        Reg::Handle run = 0;
        ASSERT_EQ(reg.OpenKey(root, kRun, run), 0);
        ASSERT_TRUE(reg.SetValue(run, "My Entry", 1, command, 0));
        const QString file = folder + "/My Entry.desktop";
        ASSERT_TRUE(QFileInfo::exists(file));
        EXPECT_EQ(modeOf(file), 0644u);

        const QMap<QString, QString> keys = DesktopEntryReader::mainGroup(file);
        EXPECT_EQ(keys.value("Type"), "Application");
        EXPECT_EQ(keys.value("Name"), "My Entry");
        EXPECT_EQ(keys.value("X-GNOME-Autostart-enabled"), "true");
        EXPECT_FALSE(keys.contains("Hidden"));
        EXPECT_EQ(DesktopEntryReader::execArguments(keys.value("Exec")),
                  QStringList({program, "/auto"}));
        EXPECT_TRUE(keys.value("Exec").startsWith('"')) << "the path with a blank is quoted";

        // Reading gives back the bytes written, in any letter case of the name.
        qint32 type = 0;
        EXPECT_EQ(valueOf(registry, root, kRun, "MY ENTRY", &type), command.toUtf8());
        EXPECT_EQ(type, 1);
        EXPECT_EQ(valueNames(registry, root, kRun), QStringList({"My Entry"}));

        // Rewriting in other case keeps the one file.
        ASSERT_TRUE(reg.SetValue(run, "my entry", 1, command + " again", 0));
        EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList({"My Entry.desktop"}));
        EXPECT_EQ(valueOf(registry, root, kRun, "My Entry"), (command + " again").toUtf8());

        ASSERT_TRUE(reg.DelValue(run, "MY ENTRY"));
        EXPECT_FALSE(QFileInfo::exists(file));
        EXPECT_FALSE(reg.DelValue(run, "My Entry"));
        reg.CloseKey(run);
    }
}

TEST(XdgRegistry, TheDesktopsLauncherStartsTheEntryWithItsArguments) {
    TestEnv env;
    const QString dir = env.work() + "/folder with blanks";
    const QString program = RegistryFiles::makeProbe(dir, "prog");
    XdgRegistry registry;
    CReg reg(registry);
    Reg::Handle run = 0;
    ASSERT_EQ(reg.OpenKey(Reg::HkeyCurrentUser, kRun, run), 0);
    ASSERT_TRUE(reg.SetValue(run, "probe", 1, program + " /auto 100% $HOME", 0));
    reg.CloseKey(run);
    QString error;
    ASSERT_TRUE(RegistryFiles::launch(env.configHome() + "/autostart/probe.desktop", &error))
        << error.toStdString();
    EXPECT_EQ(RegistryFiles::waitForProbe(dir), QStringList({program, "/auto", "100%", "$HOME"}));
}

TEST(XdgRegistry, ExpandableRunValuesStartTheExpandedCommand) {
    TestEnv env;
    const QString dir = env.work() + "/exp";
    const QString program = RegistryFiles::makeProbe(dir, "prog");
    qputenv("SENTINEL_TEST_PROBE_DIR", QFile::encodeName(dir));
    XdgRegistry registry;
    CReg reg(registry);
    Reg::Handle run = 0;
    ASSERT_EQ(reg.OpenKey(Reg::HkeyCurrentUser, kRun, run), 0);
    ASSERT_TRUE(
        reg.SetValue(run, "exp", 2, QStringLiteral("%SENTINEL_TEST_PROBE_DIR%/prog /auto"), 0));
    reg.CloseKey(run);
    qunsetenv("SENTINEL_TEST_PROBE_DIR");
    const QMap<QString, QString> keys =
        DesktopEntryReader::mainGroup(env.configHome() + "/autostart/exp.desktop");
    EXPECT_EQ(DesktopEntryReader::execArguments(keys.value("Exec")),
              QStringList({program, "/auto"}));
    qint32 type = 0;
    EXPECT_EQ(valueOf(registry, Reg::HkeyCurrentUser, kRun, "exp", &type),
              "%SENTINEL_TEST_PROBE_DIR%/prog /auto");
    EXPECT_EQ(type, 2);
}

TEST(XdgRegistry, OtherValuesOfTheRunKeyStayInTheRegistryFile) {
    TestEnv env;
    XdgRegistry registry;
    CReg reg(registry);
    const QString folder = env.configHome() + "/autostart";
    // Another program's entry reads as its command.
    ASSERT_TRUE(RegistryFiles::write(folder + "/other.desktop",
                                     "[Desktop Entry]\nType=Application\nName=O\n"
                                     "Exec=/usr/bin/other --flag\n"));
    Reg::Handle run = 0;
    ASSERT_EQ(reg.OpenKey(Reg::HkeyCurrentUser, kRun, run), 0);
    EXPECT_EQ(valueOf(registry, Reg::HkeyCurrentUser, kRun, "other"), "/usr/bin/other --flag");

    ASSERT_TRUE(reg.SetValue(run, "entry", 1, QStringLiteral("/bin/true"), 0));
    ASSERT_TRUE(QFileInfo::exists(folder + "/entry.desktop"));
    // The same name as a number: no longer something to start, so the file goes.
    ASSERT_TRUE(reg.SetValue(run, "Entry", 4, 5, 0));
    EXPECT_FALSE(QFileInfo::exists(folder + "/entry.desktop"));
    qint32 type = 0;
    EXPECT_EQ(valueOf(registry, Reg::HkeyCurrentUser, kRun, "entry", &type),
              QByteArray("\5\0\0\0", 4));
    EXPECT_EQ(type, 4);
    // And back to text: a file again, and only one value of that name.
    ASSERT_TRUE(reg.SetValue(run, "entry", 1, QStringLiteral("/bin/true"), 0));
    EXPECT_TRUE(QFileInfo::exists(folder + "/entry.desktop"));
    EXPECT_EQ(valueNames(registry, Reg::HkeyCurrentUser, kRun), QStringList({"entry", "other"}));
    // The default value is no program.
    ASSERT_TRUE(reg.SetDefaultValue(Reg::HkeyCurrentUser, kRun, "not a program"));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 2);
    // A text value whose name cannot be a file name would never start: refused.
    EXPECT_FALSE(reg.SetValue(run, "a/b", 1, QStringLiteral("/bin/true"), 0));
    EXPECT_FALSE(reg.SetValue(run, "..", 1, QStringLiteral("/bin/true"), 0));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 2);
    reg.CloseKey(run);
}

TEST(XdgRegistry, AnAutostartFolderThatCannotBeMadeRefusesTheChange) {
    const struct {
        const char* name;
        const char* folder;  // below the test's root
        const char* blocker; // a regular file there
    } cases[] = {
        {"a regular file where the folder belongs", "etc-xdg/autostart", "etc-xdg/autostart"},
        {"a folder below a regular file", "blocker/autostart", "blocker"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestEnv env;
        const QString folder = env.root() + '/' + c.folder;
        ASSERT_TRUE(RegistryFiles::write(env.root() + '/' + c.blocker, "not a folder"));
        XdgRegistry registry({env.configHome() + "/u.reg", env.configHome() + "/autostart"},
                             {env.configDir() + "/m.reg", folder, true});
        Reg::Handle run = 0;
        ASSERT_EQ(
            registry.RegOpenKeyA(Reg::HkeyLocalMachine, QtCodec936::encode(kRun).constData(), &run),
            0);
        const QByteArray cmd("/bin/true\0", 10);
        EXPECT_EQ(registry.RegSetValueExA(run, "x", 1,
                                          reinterpret_cast<const quint8*>(cmd.constData()), 10),
                  Reg::ErrorAccessDenied);
        EXPECT_EQ(valueOf(registry, Reg::HkeyLocalMachine, kRun, "x"), "<no value>");
        EXPECT_FALSE(RegistryFiles::read(env.configDir() + "/m.reg").contains("\"x\""));
        registry.RegCloseKey(run);
    }
}

TEST(XdgRegistry, AReadOnlyAutostartFolderRefusesWritesAndDeletes) {
    TestEnv env;
    XdgRegistry registry;
    CReg reg(registry);
    const QString folder = env.configDir() + "/autostart";
    Reg::Handle run = 0;
    ASSERT_EQ(reg.OpenKey(Reg::HkeyLocalMachine, kRun, run), 0);
    ASSERT_TRUE(reg.SetValue(run, "present", 1, QStringLiteral("/bin/true"), 0));
    const QByteArray before = RegistryFiles::read(folder + "/present.desktop");
    {
        ReadOnlyFolder ro(folder);
        ASSERT_TRUE(ro.ready());
        EXPECT_FALSE(reg.SetValue(run, "new", 1, QStringLiteral("/bin/true"), 0));
        EXPECT_FALSE(reg.SetValue(run, "present", 1, QStringLiteral("/bin/false"), 0));
        EXPECT_FALSE(reg.DelValue(run, "present"));
        // A number of the same name would have to remove the file first.
        EXPECT_FALSE(reg.SetValue(run, "present", 4, 1, 0));
        EXPECT_EQ(valueOf(registry, Reg::HkeyLocalMachine, kRun, "present"), "/bin/true");
    }
    EXPECT_EQ(RegistryFiles::read(folder + "/present.desktop"), before);
    EXPECT_FALSE(QFileInfo::exists(folder + "/new.desktop"));
    EXPECT_EQ(valueNames(registry, Reg::HkeyLocalMachine, kRun), QStringList({"present"}));
    reg.CloseKey(run);
}

TEST(XdgRegistry, ARegistryFileThatCannotBeWrittenGivesAccessDenied) {
    TestEnv env;
    // The registry folder's place is taken by a file.
    ASSERT_TRUE(RegistryFiles::write(env.configHome() + "/sentinel/registry", "file"));
    XdgRegistry registry;
    Reg::Handle key = 0;
    EXPECT_EQ(registry.RegCreateKeyA(Reg::HkeyCurrentUser, "Software\\X", &key),
              Reg::ErrorAccessDenied);
    EXPECT_EQ(registry.RegSetValueA(Reg::HkeyCurrentUser, "Software", 1, "x", 2),
              Reg::ErrorAccessDenied);
    // Reading still works.
    EXPECT_EQ(registry.RegOpenKeyA(Reg::HkeyCurrentUser, "SOFTWARE", &key), 0);
    registry.RegCloseKey(key);
}

TEST(XdgRegistry, AFileThatIsNoRegistryIsNeverOverwritten) {
    TestEnv env;
    XdgRegistry registry;
    const QString file = registry.files(Reg::HkeyCurrentUser).registryFile;
    const QByteArray foreign("precious data, not a registry\n\xff\x00\x01", 33);
    ASSERT_TRUE(RegistryFiles::write(file, foreign));
    Reg::Handle key = 0;
    EXPECT_EQ(registry.RegCreateKeyA(Reg::HkeyCurrentUser, "Software\\X", &key),
              Reg::ErrorRegistryCorrupt);
    EXPECT_EQ(RegistryFiles::read(file), foreign);
    EXPECT_EQ(valueOf(registry, Reg::HkeyCurrentUser, "Software\\X", "x"), "<no key>");

    // Damaged lines inside a registry file are skipped; the rest reads.
    ASSERT_TRUE(RegistryFiles::write(file, "#sentinel-registry 1\n[A]\n\"ok\"=1:6100\n"
                                           "\"bad\"=1:6\n\"worse\n[B\\\\]\n\"lost\"=1:00\n"
                                           "[%zz]\n[A\\B]\n@=3:ff\n"));
    EXPECT_EQ(valueOf(registry, Reg::HkeyCurrentUser, "A", "ok"), "a");
    EXPECT_EQ(valueOf(registry, Reg::HkeyCurrentUser, "A", "bad"), "<no value>");
    EXPECT_EQ(valueOf(registry, Reg::HkeyCurrentUser, "A\\B", ""), "\xff");
}

TEST(XdgRegistry, ConcurrentWritersLoseNothing) {
    TestEnv env;
    ChildProcess a;
    ChildProcess b;
    ASSERT_TRUE(a.start({REGISTRY_TOOL, "many", "HKCU", "Software\\Race", "a", "40"}));
    ASSERT_TRUE(b.start({REGISTRY_TOOL, "many", "HKCU", "Software\\Race", "b", "40"}));
    ASSERT_TRUE(a.waitFor(120000));
    ASSERT_TRUE(b.waitFor(120000));
    EXPECT_EQ(a.exitCode(), 0);
    EXPECT_EQ(b.exitCode(), 0);
    XdgRegistry registry;
    const QStringList names = valueNames(registry, Reg::HkeyCurrentUser, "Software\\Race");
    EXPECT_EQ(names.size(), 80);
    for (int i = 0; i < 40; ++i) {
        EXPECT_TRUE(names.contains("a" + QString::number(i)));
        EXPECT_TRUE(names.contains("b" + QString::number(i)));
    }
}

TEST(XdgRegistry, ExpansionFollowsThePlatform) {
    TestEnv env;
    qputenv("SENTINEL_T_A", "x y");
    qputenv("SENTINEL_T_EMPTY", "");
    XdgRegistry registry;
    struct Row {
        const char* in;
        const char* out;
    };
    const Row rows[] = {
        {"%SENTINEL_T_A%", "x y"},
        {"<%SENTINEL_T_A%%SENTINEL_T_A%>", "<x yx y>"},
        {"%SENTINEL_T_EMPTY%|", "|"},
        {"%SENTINEL_T_NONE%SENTINEL_T_A%", "%SENTINEL_T_NONEx y"},
        {"%%", "%%"},
        {"50% off", "50% off"},
        {"\xc4\xab%SENTINEL_T_A%\xb7\xe3", "\xc4\xabx y\xb7\xe3"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.in);
        const quint32 need = registry.ExpandEnvironmentStringsA(row.in, nullptr, 0);
        EXPECT_EQ(need, std::strlen(row.out) + 1);
        QByteArray small(static_cast<qsizetype>(need) - 1, '#');
        EXPECT_EQ(registry.ExpandEnvironmentStringsA(row.in, small.data(), need - 1), need);
        EXPECT_EQ(small, QByteArray(static_cast<qsizetype>(need) - 1, '#')) << "nothing written";
        QByteArray buffer(static_cast<qsizetype>(need), '#');
        EXPECT_EQ(registry.ExpandEnvironmentStringsA(row.in, buffer.data(), need), need);
        EXPECT_EQ(QByteArray(buffer.constData()), QByteArray(row.out));
    }
    qunsetenv("SENTINEL_T_A");
    qunsetenv("SENTINEL_T_EMPTY");
}

} // namespace
