#include "password/PasswordSettings.h"

#include "common/AppInfo.h"
#include "platform/SettingsStore.h"
#include "platform/qt/QtText.h"

PasswordSettings::PasswordSettings(SettingsStore& store, QString exeDir)
    : m_store(store), m_exeDir(std::move(exeDir)) {}

QString PasswordSettings::storedForm() const {
    return m_store.GetSetting(QtText::toQ(AppInfo::title()), QStringLiteral("lgPw"),
                              QStringLiteral("Endoor"));
}

QString PasswordSettings::hint() const {
    return m_store.GetSetting(m_exeDir, QStringLiteral("lgpw"), QStringLiteral("Tip"));
}

void PasswordSettings::saveStoredForm(const QString& storedForm) {
    m_store.SaveSetting(QtText::toQ(AppInfo::title()), QStringLiteral("lgPw"),
                        QStringLiteral("EnDoor"), storedForm);
}

void PasswordSettings::saveHint(const QString& hint) {
    m_store.SaveSetting(m_exeDir, QStringLiteral("lgpw"), QStringLiteral("Tip"), hint);
}
