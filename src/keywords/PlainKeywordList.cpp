#include "keywords/PlainKeywordList.h"

PlainKeywordList::PlainKeywordList(const std::vector<std::u16string>& entries) {
    for (const std::u16string& e : entries)
        append(e);
}

void PlainKeywordList::append(const std::u16string& keyword) {
    insert(count(), keyword);
}

void PlainKeywordList::insert(int index, const std::u16string& keyword) {
    m_entries.insert(m_entries.begin() + index, keyword);
    ++m_counts[keyword];
    ++m_revision;
}

void PlainKeywordList::removeAt(int index) {
    const std::u16string removed = m_entries.at(index);
    m_entries.erase(m_entries.begin() + index);
    if (--m_counts[removed] == 0)
        m_counts.erase(removed);
    ++m_revision;
}

void PlainKeywordList::clear() {
    m_entries.clear();
    m_counts.clear();
    ++m_revision;
}
