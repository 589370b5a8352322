#pragma once

#include <cstdint>
#include <string>

// The keyword list as the list-file routines and the patrol see it: ordered entries,
// compared exactly and case-sensitively. The main window's Key_List provides it; tests use
// PlainKeywordList.
class KeywordList {
public:
    virtual ~KeywordList() = default;
    virtual int count() const = 0;
    virtual std::u16string at(int index) const = 0;
    virtual void append(const std::u16string& keyword) = 0;
    // Exact, case-sensitive membership.
    virtual bool contains(const std::u16string& keyword) const = 0;
    // Changes whenever the content changes, through any path, so that what is derived
    // from the list (the patrol's matcher) can be rebuilt before it is used again.
    virtual std::uint64_t revision() const = 0;
};
