#pragma once

#include "keywords/KeywordList.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Answers "does any keyword occur in this title?" with one pass over the title, whatever
// the number of keywords: an Aho–Corasick automaton over the UTF-16 code units of the
// keywords. The answer is exactly that of testing every keyword with an exact,
// case-sensitive substring search; an empty keyword occurs in every title, an empty title
// too.
class KeywordMatcher {
public:
    // Complete rows (one lookup per code unit) cost memory: they are given, shallow states
    // first, as long as the rows hold at most rowEntriesBase + rowEntriesPerState * states
    // entries; the other states keep their own edges and follow failure links.
    struct Tuning {
        std::size_t rowEntriesPerState = 8;
        std::size_t rowEntriesBase = 1 << 16;
    };

    // Matches nothing until built.
    KeywordMatcher() = default;
    explicit KeywordMatcher(const std::vector<std::u16string>& keywords);

    void build(const std::vector<std::u16string>& keywords);
    void build(const KeywordList& list);

    // Rebuilds from the list unless the matcher was last built from this very list at its
    // current revision and count. Returns true when it rebuilt.
    bool update(const KeywordList& list);
    // Forgets which list the matcher was built from, so that the next update() rebuilds.
    void invalidate() { m_source = nullptr; }

    bool matches(std::u16string_view title) const;

    // Applies from the next build on.
    void setTuning(const Tuning& tuning) { m_tuning = tuning; }

    // Size of the automaton, for tests and benchmarks.
    std::ptrdiff_t stateCount() const { return m_stateCount; }
    // States, besides the root and the accepting ones, that got a complete row.
    std::ptrdiff_t completeStateCount() const { return m_completeStates; }
    // Memory held by the automaton, in bytes.
    std::ptrdiff_t memoryBytes() const;
    // How many times the automaton has been built.
    std::uint64_t buildCount() const { return m_builds; }

private:
    void clear();
    void buildAutomaton(const std::vector<std::u16string_view>& words, std::uint32_t symbols);

    bool m_matchesAll = false; // an empty keyword is in the list
    // UTF-16 code unit -> symbol (1..n) of the keywords' alphabet; 0 for a code unit that
    // no keyword contains. Empty when there are no non-empty keywords.
    std::vector<std::uint32_t> m_symbol;
    // symbol -> the root's successor (0: the root itself)
    std::vector<std::uint32_t> m_rootNext;
    // The states, root first, then breadth-first; a state is named by its offset here, so
    // that its row lies right after its header:
    //   [0] failure state | kComplete | kSparse
    //   [1] dense: symbol of the first entry
    //   [2] entries n
    //   [3..] dense: n targets (0: none); sparse: n symbols in order, then their n targets
    // A complete state's row holds every transition that differs from the root's, so a
    // missing entry means "as from the root"; a partial state's row holds only its own
    // edges, and a missing entry means "as from the failure state". A target carries
    // kAccepting when entering it completes a match.
    std::vector<std::uint32_t> m_table;
    std::ptrdiff_t m_stateCount = 0;
    std::ptrdiff_t m_completeStates = 0;
    Tuning m_tuning;

    const KeywordList* m_source = nullptr; // only compared, never dereferenced
    std::uint64_t m_sourceRevision = 0;
    int m_sourceCount = 0;
    std::uint64_t m_builds = 0;
};
