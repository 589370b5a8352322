#include "password/PasswordSettings.h"
#include "common/AppInfo.h"
#include "password/PassTransform.h"
#include "platform/fake/MemorySettingsStore.h"
#include "platform/qt/QtText.h"
#include "platform/xdg/IniSettingsStore.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Call {
    bool write;
    QString app, section, key, value;
    bool operator==(const Call&) const = default;
};

void PrintTo(const Call& c, std::ostream* os) {
    *os << (c.write ? "write " : "read ") << c.app.toStdString() << " [" << c.section.toStdString()
        << "] " << c.key.toStdString() << "=" << c.value.toStdString();
}

// Records the exact names used, and keeps values with the store's rules.
class RecordingStore : public MemorySettingsStore {
public:
    std::vector<Call> calls;
    QString GetSetting(const QString& app, const QString& section, const QString& key) override {
        calls.push_back({false, app, section, key, {}});
        return MemorySettingsStore::GetSetting(app, section, key);
    }
    void SaveSetting(const QString& app, const QString& section, const QString& key,
                     const QString& value) override {
        calls.push_back({true, app, section, key, value});
        MemorySettingsStore::SaveSetting(app, section, key, value);
    }
};

TEST(PasswordSettings, NamesOfTheTwoEntries) {
    RecordingStore store;
    const QString dir = QStringLiteral("/opt/sentinel");
    PasswordSettings settings(store, dir);
    settings.saveStoredForm("7645A6");
    settings.saveHint("hint");
    EXPECT_EQ(settings.storedForm(), "7645A6");
    EXPECT_EQ(settings.hint(), "hint");
    const QString title = QtText::toQ(AppInfo::title());
    const std::vector<Call> expected = {
        {true, title, "lgPw", "EnDoor", "7645A6"},
        {true, dir, "lgpw", "Tip", "hint"},
        {false, title, "lgPw", "Endoor", {}},
        {false, dir, "lgpw", "Tip", {}},
    };
    EXPECT_EQ(store.calls, expected);
}

// On the real per-user file: the password shares its section with the wake-up address,
// whatever the case; the hint belongs to the executable's directory, so a moved program
// keeps its password and loses its hint; an emptied password setting means no password.
TEST(PasswordSettings, OnThePerUserFile) {
    TestEnv env;
    IniSettingsStore store;
    const QString here = QString::fromUtf8("/home/用户/程序");
    store.SaveSetting(QtText::toQ(AppInfo::title()), "lgpw", "hwnd", "4242");
    {
        PasswordSettings settings(store, here);
        EXPECT_TRUE(settings.storedForm().isEmpty());
        EXPECT_TRUE(settings.hint().isEmpty());
        settings.saveStoredForm(*PassTransform::EncodePass("abc"));
        settings.saveHint(QString::fromUtf8("三个字母"));
    }
    IniSettingsStore again;
    PasswordSettings settings(again, here);
    EXPECT_TRUE(PassTransform::CheckPass("abc", settings.storedForm()));
    EXPECT_EQ(settings.hint(), QString::fromUtf8("三个字母"));
    EXPECT_EQ(again.GetSetting(QtText::toQ(AppInfo::title()), "LGPW", "hwnd"), "4242");

    PasswordSettings moved(again, here + "2");
    EXPECT_EQ(moved.storedForm(), settings.storedForm());
    EXPECT_TRUE(moved.hint().isEmpty());

    again.SaveSetting(QtText::toQ(AppInfo::title()), "LgPw", "ENDOOR", "");
    EXPECT_TRUE(PasswordSettings(again, here).storedForm().isEmpty());
    EXPECT_TRUE(PassTransform::CheckPass("", PasswordSettings(again, here).storedForm()));
}

} // namespace
