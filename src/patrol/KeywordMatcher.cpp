#include "patrol/KeywordMatcher.h"

#include <algorithm>

namespace {
constexpr std::size_t kCodeUnits = 0x10000;
// Rows with up to this many entries are scanned instead of bisected.
constexpr std::uint32_t kLinearScan = 8;
constexpr std::uint32_t kAccepting = 0x80000000u; // in a target
constexpr std::uint32_t kComplete = 0x80000000u;  // in a state's header
constexpr std::uint32_t kSparse = 0x40000000u;    // in a state's header
constexpr std::uint32_t kStateMask = 0x3fffffffu;
constexpr std::size_t kHeader = 3;

using Edge = std::pair<std::uint32_t, std::uint32_t>; // symbol, target
using Row = std::vector<Edge>;                        // by symbol

// A row is dense when its symbols lie close together.
bool denseRow(Row::const_iterator first, Row::const_iterator last) {
    const auto count = static_cast<std::size_t>(last - first);
    return (last - 1)->first - first->first + 1 <= 2 * count + 8;
}

// Table entries the row takes after its header.
std::size_t rowCost(Row::const_iterator first, Row::const_iterator last) {
    if (first == last)
        return 0;
    return denseRow(first, last) ? (last - 1)->first - first->first + 1
                                 : 2 * static_cast<std::size_t>(last - first);
}

// The target stored for symbol a in the row of the state at offset s; 0 when there is none.
inline std::uint32_t rowEntry(const std::uint32_t* table, std::uint32_t s, std::uint32_t a) {
    const std::uint32_t* st = table + s;
    const std::uint32_t n = st[2];
    if (st[0] & kSparse) {
        const std::uint32_t* symbols = st + kHeader;
        if (n <= kLinearScan) {
            for (std::uint32_t k = 0; k < n; ++k)
                if (symbols[k] == a)
                    return symbols[n + k];
            return 0;
        }
        const std::uint32_t* it = std::lower_bound(symbols, symbols + n, a);
        return (it != symbols + n && *it == a) ? it[n] : 0;
    }
    const std::uint32_t k = a - st[1];
    return k < n ? st[kHeader + k] : 0;
}

// The transition from the state at offset s on symbol a, as stored (0: the root).
inline std::uint32_t transition(const std::uint32_t* table, const std::uint32_t* rootNext,
                                std::uint32_t s, std::uint32_t a) {
    for (;;) {
        if (const std::uint32_t t = rowEntry(table, s, a))
            return t;
        const std::uint32_t head = table[s];
        if (head & kComplete)
            return rootNext[a];
        s = head & kStateMask;
    }
}

void appendRow(const std::uint32_t* st, Row& row) {
    const std::uint32_t n = st[2];
    if (st[0] & kSparse) {
        for (std::uint32_t k = 0; k < n; ++k)
            row.emplace_back(st[kHeader + k], st[kHeader + n + k]);
        return;
    }
    for (std::uint32_t k = 0; k < n; ++k)
        if (const std::uint32_t t = st[kHeader + k])
            row.emplace_back(st[1] + k, t);
}

// Breadth-first trie over the sorted words. A state that ends a word gets no children: a
// title that contains a longer word starting with it contains the word itself.
struct Trie {
    std::vector<std::uint32_t>
        edgeBegin; // the edges out of state s: [edgeBegin[s], edgeBegin[s + 1])
    std::vector<std::uint32_t> parent;
    std::vector<Edge> edges; // the edge into state s is edges[s - 1]
    std::vector<bool> terminal;

    std::uint32_t states() const { return static_cast<std::uint32_t>(parent.size()); }
    Row::const_iterator firstEdge(std::uint32_t s) const { return edges.cbegin() + edgeBegin[s]; }
    Row::const_iterator lastEdge(std::uint32_t s) const {
        return edges.cbegin() + edgeBegin[s + 1];
    }
};

// A state still to be expanded: it stands for a prefix shared by the words [lo, hi) of
// length at least depth.
struct Pending {
    std::uint32_t lo, hi, depth;
};

// Gives state s a child for each code unit that follows its prefix in its words.
void addChildren(const std::vector<std::u16string_view>& words,
                 const std::vector<std::uint32_t>& symbol, std::uint32_t s,
                 std::vector<Pending>& queue, Trie& trie) {
    const Pending p = queue[s];
    std::uint32_t i = p.lo;
    while (i < p.hi) {
        const char16_t c = words[i][p.depth];
        std::uint32_t j = i + 1;
        while (j < p.hi && words[j][p.depth] == c)
            ++j;
        trie.edges.emplace_back(symbol[c], static_cast<std::uint32_t>(queue.size()));
        queue.push_back({i, j, p.depth + 1});
        trie.parent.push_back(s);
        i = j;
    }
}

Trie buildTrie(const std::vector<std::u16string_view>& words,
               const std::vector<std::uint32_t>& symbol) {
    std::size_t units = 1;
    for (const auto& w : words)
        units += w.size();
    std::vector<Pending> queue;
    Trie trie;
    queue.reserve(units);
    trie.edgeBegin.reserve(units + 1);
    trie.parent.reserve(units);
    trie.edges.reserve(units);
    trie.terminal.reserve(units);
    queue.push_back({0, static_cast<std::uint32_t>(words.size()), 0});
    trie.parent.push_back(0);
    for (std::uint32_t s = 0; s < queue.size(); ++s) {
        trie.edgeBegin.push_back(static_cast<std::uint32_t>(trie.edges.size()));
        trie.terminal.push_back(words[queue[s].lo].size() == queue[s].depth);
        if (!trie.terminal.back())
            addChildren(words, symbol, s, queue, trie);
    }
    trie.edgeBegin.push_back(static_cast<std::uint32_t>(trie.edges.size()));
    return trie;
}

// symbol -> the root's successor, as a state index (0: the root itself).
std::vector<std::uint32_t> rootSuccessors(const Trie& trie, std::uint32_t symbols) {
    std::vector<std::uint32_t> next(symbols + 1, 0);
    for (auto e = trie.firstEdge(0); e != trie.lastEdge(0); ++e)
        next[e->first] = e->second;
    return next;
}

// What the layout sweep learns of each state, by state index.
struct Layout {
    explicit Layout(std::uint32_t states)
        : fail(states, 0), offset(states, 0), accepting(states, false), complete(states, false) {}

    std::vector<std::uint32_t> fail, offset;
    std::vector<bool> accepting, complete;
};

// The failure link of state s, and whether it accepts: when its prefix is a word, or
// contains one, that is when its failure state or its parent accepts. Its parent and
// failure state are laid out already.
void linkState(const std::uint32_t* table, const std::uint32_t* rootNext, const Trie& trie,
               Layout& layout, std::uint32_t s) {
    const std::uint32_t p = trie.parent[s];
    if (layout.accepting[p]) {
        // Never entered: the search ends at its parent.
        layout.accepting[s] = true;
        return;
    }
    if (p != 0)
        layout.fail[s] =
            transition(table, rootNext, layout.offset[layout.fail[p]], trie.edges[s - 1].first);
    layout.accepting[s] = trie.terminal[s] || layout.accepting[layout.fail[s]];
}

// The inherited row with the state's own edges laid over it. Both are sorted by symbol;
// the state's own edge wins over the inherited one.
void overlayRow(const std::uint32_t* inherited, Row::const_iterator first, Row::const_iterator last,
                Row& merged) {
    merged.clear();
    appendRow(inherited, merged);
    const auto inheritedCount = merged.size();
    merged.insert(merged.end(), first, last);
    std::inplace_merge(merged.begin(), merged.begin() + inheritedCount, merged.end(),
                       [](const Edge& x, const Edge& y) { return x.first < y.first; });
    // Of two equal symbols the own edge comes second: keep it, drop the other.
    auto out = merged.begin();
    for (auto in = merged.begin(); in != merged.end(); ++in) {
        if (in + 1 != merged.end() && (in + 1)->first == in->first)
            continue;
        *out++ = *in;
    }
    merged.erase(out, merged.end());
}

// Appends a state's header and its row, dense or sparse, whichever its symbols suit.
void appendState(std::vector<std::uint32_t>& table, std::uint32_t head, Row::const_iterator first,
                 Row::const_iterator last) {
    if (first == last) {
        table.insert(table.end(), {head, 0, 0});
    } else if (denseRow(first, last)) {
        const std::uint32_t lo = first->first;
        const std::uint32_t n = (last - 1)->first - lo + 1;
        table.insert(table.end(), {head, lo, n});
        const std::size_t row = table.size();
        table.resize(row + n, 0);
        for (auto e = first; e != last; ++e)
            table[row + e->first - lo] = e->second;
    } else {
        const auto n = static_cast<std::uint32_t>(last - first);
        table.insert(table.end(), {head | kSparse, 0, n});
        for (auto e = first; e != last; ++e)
            table.push_back(e->first);
        for (auto e = first; e != last; ++e)
            table.push_back(e->second);
    }
}

// One sweep, parents before children, lays every state out in the table with its failure
// link and row; targets stay state indices until all offsets are known. A state whose
// failure state is complete inherits that state's row under its own edges and is complete
// itself, while the budget of row entries lasts. Returns how many states got complete.
std::ptrdiff_t layOutStates(const Trie& trie, const std::vector<std::uint32_t>& rootNext,
                            std::size_t budget, std::vector<std::uint32_t>& table, Layout& layout) {
    table.insert(table.end(), {kComplete, 0, 0}); // the root: every transition its own
    layout.complete[0] = true;
    std::ptrdiff_t completeStates = 0;
    std::size_t used = 0;
    Row merged;
    for (std::uint32_t s = 1; s < trie.states(); ++s) {
        layout.offset[s] = static_cast<std::uint32_t>(table.size());
        linkState(table.data(), rootNext.data(), trie, layout, s);
        if (layout.accepting[s]) {
            // Entering it ends the search, so nothing ever leaves it.
            table.insert(table.end(), {kComplete, 0, 0});
            continue;
        }
        const std::uint32_t f = layout.fail[s];
        auto first = trie.firstEdge(s);
        auto last = trie.lastEdge(s);
        std::uint32_t head = layout.offset[f];
        if (layout.complete[f]) {
            overlayRow(table.data() + layout.offset[f], first, last, merged);
            if (used + rowCost(merged.cbegin(), merged.cend()) <= budget) {
                first = merged.cbegin();
                last = merged.cend();
                layout.complete[s] = true;
                head |= kComplete;
                ++completeStates;
            }
        }
        used += rowCost(first, last);
        appendState(table, head, first, last);
    }
    return completeStates;
}

// Names the targets by their offsets, marking the accepting ones.
void nameTargets(const Layout& layout, std::vector<std::uint32_t>& table,
                 std::vector<std::uint32_t>& rootNext) {
    auto target = [&](std::uint32_t& t) {
        if (t)
            t = layout.offset[t] | (layout.accepting[t] ? kAccepting : 0);
    };
    for (const std::uint32_t at : layout.offset) {
        std::uint32_t* st = table.data() + at;
        std::uint32_t* row = st + kHeader;
        std::uint32_t* end = row + st[2];
        if (st[0] & kSparse) {
            row = end;
            end = row + st[2];
        }
        for (; row != end; ++row)
            target(*row);
    }
    for (std::uint32_t& t : rootNext)
        target(t);
}
} // namespace

KeywordMatcher::KeywordMatcher(const std::vector<std::u16string>& keywords) {
    build(keywords);
}

void KeywordMatcher::clear() {
    m_matchesAll = false;
    m_symbol = {};
    m_rootNext = {};
    m_table = {};
    m_stateCount = 0;
    m_completeStates = 0;
    m_source = nullptr;
}

std::ptrdiff_t KeywordMatcher::memoryBytes() const {
    return static_cast<std::ptrdiff_t>(
        sizeof(std::uint32_t) * (m_symbol.capacity() + m_rootNext.capacity() + m_table.capacity()));
}

void KeywordMatcher::build(const KeywordList& list) {
    const int count = list.count();
    std::vector<std::u16string> keywords;
    keywords.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        keywords.push_back(list.at(i));
    build(keywords);
    m_source = &list;
    m_sourceRevision = list.revision();
    m_sourceCount = count;
}

bool KeywordMatcher::update(const KeywordList& list) {
    if (m_source == &list && m_sourceRevision == list.revision() && m_sourceCount == list.count())
        return false;
    build(list);
    return true;
}

void KeywordMatcher::build(const std::vector<std::u16string>& keywords) {
    clear();
    ++m_builds;

    std::vector<std::u16string_view> words;
    words.reserve(static_cast<std::size_t>(keywords.size()));
    for (const std::u16string& k : keywords) {
        if (k.empty()) {
            // Every title contains the empty keyword; nothing else needs to be known.
            m_matchesAll = true;
            return;
        }
        words.emplace_back(k);
    }
    if (words.empty())
        return;

    // Symbols are given in code unit order, so the code unit order of the sorted words is
    // also the symbol order of every state's edges.
    m_symbol.assign(kCodeUnits, 0);
    for (const auto& w : words)
        for (char16_t c : w)
            m_symbol[c] = 1;
    std::uint32_t symbols = 0;
    for (std::uint32_t& s : m_symbol)
        if (s)
            s = ++symbols;

    std::sort(words.begin(), words.end());
    buildAutomaton(words, symbols);
}

void KeywordMatcher::buildAutomaton(const std::vector<std::u16string_view>& words,
                                    std::uint32_t symbols) {
    const Trie trie = buildTrie(words, m_symbol);
    const std::uint32_t states = trie.states();
    m_rootNext = rootSuccessors(trie, symbols);
    Layout layout(states);
    const std::size_t budget = m_tuning.rowEntriesBase + m_tuning.rowEntriesPerState * states;
    m_table.clear();
    m_table.reserve(kHeader * states + 2 * trie.edges.size());
    m_completeStates = layOutStates(trie, m_rootNext, budget, m_table, layout);
    nameTargets(layout, m_table, m_rootNext);
    m_table.shrink_to_fit();
    m_stateCount = states;
}

bool KeywordMatcher::matches(std::u16string_view title) const {
    if (m_matchesAll)
        return true;
    if (m_table.empty())
        return false;
    const std::uint32_t* table = m_table.data();
    const std::uint32_t* rootNext = m_rootNext.data();
    // The current state never accepts: entering an accepting state ends the search.
    std::uint32_t state = 0;
    for (const char16_t c : title) {
        const std::uint32_t a = m_symbol[c];
        if (a == 0) {
            state = 0; // no keyword contains this code unit
            continue;
        }
        const std::uint32_t next = transition(table, rootNext, state, a);
        if (next & kAccepting)
            return true;
        state = next;
    }
    return false;
}
