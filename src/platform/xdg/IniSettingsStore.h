#pragma once

#include "platform/SettingsStore.h"

#include <QString>

// The settings store as one INI file, by default $XDG_CONFIG_HOME/sentinel/settings.ini.
// Every write reads the file afresh, changes one entry and replaces the file atomically
// under a lock file, so two processes writing at once lose neither write and a crash in
// the middle of a write leaves the earlier file whole. The file is 0600 in a 0700 folder.
//
// Layout: "[application]" headers, then "section/key=value" lines; backslash escapes
// keep any text (paths, "=", "/", brackets, line breaks) intact.
class IniSettingsStore : public SettingsStore {
public:
    IniSettingsStore(); // the per-user file
    explicit IniSettingsStore(QString filePath);

    QString GetSetting(const QString& appName, const QString& section, const QString& key) override;
    void SaveSetting(const QString& appName, const QString& section, const QString& key,
                     const QString& value) override;

    const QString& filePath() const { return m_filePath; }

private:
    QString m_filePath;
};
