#pragma once

#include <QString>

class SettingsStore;

// The two settings of the password protection. The password setting lives under the
// application title, section "lgPw"; it is written with the key "EnDoor" and read with
// "Endoor" (keys match without regard to case). The hint lives under the directory of the
// executable, section "lgpw", key "Tip", so moving the program loses the hint but keeps the
// password. Absent and empty are the same: no password, no hint. Values are read anew at
// every call, never cached.
class PasswordSettings {
public:
    PasswordSettings(SettingsStore& store, QString exeDir);

    // The stored form of the password; empty when none is set.
    QString storedForm() const;
    QString hint() const;
    void saveStoredForm(const QString& storedForm);
    void saveHint(const QString& hint);

private:
    SettingsStore& m_store;
    QString m_exeDir;
};
