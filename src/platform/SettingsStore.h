#pragma once

#include <QString>

// Per-user persistent text values addressed by application name, section and key.
// Section and key are matched without regard to case; any text, a path included, may
// serve as application name. Every read has an empty default, so absent equals empty.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual QString GetSetting(const QString& appName, const QString& section,
                               const QString& key) = 0;
    virtual void SaveSetting(const QString& appName, const QString& section,
                             const QString& key, const QString& value) = 0;
};
