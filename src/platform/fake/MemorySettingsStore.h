#pragma once

#include "platform/SettingsStore.h"

#include <QList>
#include <QString>

// Settings in memory, with the store's rules (case-insensitive section and key), and a
// count of writes so tests can tell that nothing was written.
class MemorySettingsStore : public SettingsStore {
public:
    QString GetSetting(const QString& appName, const QString& section, const QString& key) override;
    void SaveSetting(const QString& appName, const QString& section, const QString& key,
                     const QString& value) override;

    int writeCount() const { return m_writes; }

private:
    struct Entry {
        QString app, section, key, value;
    };
    QList<Entry> m_entries;
    int m_writes = 0;
};
