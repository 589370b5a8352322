#include "platform/fake/MemorySettingsStore.h"

namespace {
bool same(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}
} // namespace

QString MemorySettingsStore::GetSetting(const QString& appName, const QString& section,
                                        const QString& key) {
    for (const Entry& e : m_entries)
        if (e.app == appName && same(e.section, section) && same(e.key, key))
            return e.value;
    return {};
}

void MemorySettingsStore::SaveSetting(const QString& appName, const QString& section,
                                      const QString& key, const QString& value) {
    ++m_writes;
    for (Entry& e : m_entries) {
        if (e.app == appName && same(e.section, section) && same(e.key, key)) {
            e.value = value;
            return;
        }
    }
    m_entries.append({appName, section, key, value});
}
