#include "platform/xdg/IniSettingsStore.h"

#include "support/ChildProcess.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

const QString kTitle = QString::fromUtf8("墨枫哨兵");

mode_t modeOf(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 0777;
}

TEST(IniSettingsStore, DefaultFileIsUnderXdgConfigHomeWithPrivateModes) {
    TestEnv env;
    IniSettingsStore store;
    EXPECT_EQ(store.filePath(), env.configHome() + "/sentinel/settings.ini");
    EXPECT_EQ(store.GetSetting(kTitle, "lgpw", "hwnd"), QString()); // absent reads empty
    store.SaveSetting(kTitle, "lgpw", "hwnd", "12345");
    EXPECT_EQ(store.GetSetting(kTitle, "lgpw", "hwnd"), "12345");
    EXPECT_EQ(modeOf(store.filePath()), 0600u);
    EXPECT_EQ(modeOf(env.configHome() + "/sentinel"), 0700u);
}

TEST(IniSettingsStore, SectionAndKeyIgnoreCaseAndSurviveANewStore) {
    TestEnv env;
    {
        IniSettingsStore store;
        store.SaveSetting(kTitle, "lgPw", "EnDoor", "7645A6");
        store.SaveSetting(kTitle, "lgpw", "hwnd", "99");
        // A later write in other case replaces the same entry.
        store.SaveSetting(kTitle, "LGPW", "HWND", "100");
    }
    IniSettingsStore store;
    EXPECT_EQ(store.GetSetting(kTitle, "lgpw", "Endoor"), "7645A6");
    EXPECT_EQ(store.GetSetting(kTitle, "LgPw", "hWnD"), "100");
    EXPECT_EQ(store.GetSetting("other", "lgpw", "hwnd"), QString());
}

TEST(IniSettingsStore, AnyTextServesAsNamesAndValues) {
    TestEnv env;
    IniSettingsStore store;
    const QList<QStringList> table = {
        {"/opt/sentinel dir", "lgpw", "Tip", QString::fromUtf8("我的提示")},
        {"C:\\Program Files\\墨枫", "lgpw", "Tip", "a=b/c"},
        {"/x:y/[z]", "sec]tion", "k=e/y", "line1\nline2\r\\end"},
        {"", "", "", ""},
        {"; not a comment", "[", "=", "\\n literally"},
    };
    for (const QStringList& row : table)
        store.SaveSetting(row[0], row[1], row[2], row[3]);
    IniSettingsStore fresh;
    for (const QStringList& row : table) {
        SCOPED_TRACE(row.join(" | ").toStdString());
        EXPECT_EQ(fresh.GetSetting(row[0], row[1], row[2]), row[3]);
    }
    // Application names are not folded: the hint belongs to one directory exactly.
    EXPECT_EQ(fresh.GetSetting("/OPT/SENTINEL DIR", "lgpw", "Tip"), QString());
}

TEST(IniSettingsStore, DamagedFileNeverCrashesAndLaterWritesWork) {
    TestEnv env;
    IniSettingsStore store;
    QDir().mkpath(QFileInfo(store.filePath()).absolutePath());
    QFile f(store.filePath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray("\xff\xfe[broken\n=x\nno slash=1\n[ok]\nsec/key=v\n\0\0garbage", 44));
    f.close();
    EXPECT_EQ(store.GetSetting("ok", "sec", "key"), "v");
    EXPECT_EQ(store.GetSetting("broken", "x", ""), QString());
    store.SaveSetting("ok", "sec", "key2", "w");
    EXPECT_EQ(store.GetSetting("ok", "sec", "key"), "v");
    EXPECT_EQ(store.GetSetting("ok", "sec", "key2"), "w");
}

TEST(IniSettingsStore, TwoProcessesWritingAtOnceLoseNothing) {
    TestEnv env;
    const QString path = env.configHome() + "/sentinel/settings.ini";
    ChildProcess a, b;
    ASSERT_TRUE(a.start({SETTINGS_WRITER, path.toStdString(), "a", "200"}));
    ASSERT_TRUE(b.start({SETTINGS_WRITER, path.toStdString(), "b", "200"}));
    ASSERT_TRUE(a.waitFor(100000));
    ASSERT_TRUE(b.waitFor(100000));
    EXPECT_EQ(a.exitCode(), 0);
    EXPECT_EQ(b.exitCode(), 0);
    IniSettingsStore store(path);
    int found = 0;
    for (int i = 0; i < 200; ++i) {
        found += store.GetSetting(kTitle, "race", "a" + QString::number(i)) == QString::number(i);
        found += store.GetSetting(kTitle, "race", "b" + QString::number(i)) == QString::number(i);
    }
    EXPECT_EQ(found, 400);
    EXPECT_EQ(modeOf(path), 0600u);
}

} // namespace
