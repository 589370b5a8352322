#pragma once

#include "keywords/KeywordList.h"

#include <unordered_map>
#include <vector>

// A keyword list in memory, with constant-time membership.
class PlainKeywordList : public KeywordList {
public:
    PlainKeywordList() = default;
    explicit PlainKeywordList(const std::vector<std::u16string>& entries);

    int count() const override { return static_cast<int>(m_entries.size()); }
    std::u16string at(int index) const override { return m_entries.at(index); }
    void append(const std::u16string& keyword) override;
    bool contains(const std::u16string& keyword) const override {
        return m_counts.contains(keyword);
    }
    std::uint64_t revision() const override { return m_revision; }

    void removeAt(int index);
    void insert(int index, const std::u16string& keyword);
    void clear();
    const std::vector<std::u16string>& entries() const { return m_entries; }

private:
    std::vector<std::u16string> m_entries;
    std::unordered_map<std::u16string, int> m_counts; // entry -> how many times it is in the list
    std::uint64_t m_revision = 0;
};
