#pragma once

#include "keywords/KeywordList.h"

#include <QHash>
#include <QStringList>

// A keyword list in memory, with constant-time membership.
class PlainKeywordList : public KeywordList {
public:
    PlainKeywordList() = default;
    explicit PlainKeywordList(const QStringList& entries);

    int count() const override { return static_cast<int>(m_entries.size()); }
    QString at(int index) const override { return m_entries.at(index); }
    void append(const QString& keyword) override;
    bool contains(const QString& keyword) const override { return m_counts.contains(keyword); }
    quint64 revision() const override { return m_revision; }

    void removeAt(int index);
    void insert(int index, const QString& keyword);
    void clear();
    const QStringList& entries() const { return m_entries; }

private:
    QStringList m_entries;
    QHash<QString, int> m_counts; // entry -> how many times it is in the list
    quint64 m_revision = 0;
};
