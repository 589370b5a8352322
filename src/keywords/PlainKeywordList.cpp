#include "keywords/PlainKeywordList.h"

PlainKeywordList::PlainKeywordList(const QStringList& entries) {
    for (const QString& e : entries)
        append(e);
}

void PlainKeywordList::append(const QString& keyword) { insert(count(), keyword); }

void PlainKeywordList::insert(int index, const QString& keyword) {
    m_entries.insert(index, keyword);
    ++m_counts[keyword];
    ++m_revision;
}

void PlainKeywordList::removeAt(int index) {
    const QString removed = m_entries.takeAt(index);
    if (--m_counts[removed] == 0)
        m_counts.remove(removed);
    ++m_revision;
}

void PlainKeywordList::clear() {
    m_entries.clear();
    m_counts.clear();
    ++m_revision;
}
