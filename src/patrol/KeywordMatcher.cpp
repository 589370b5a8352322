#include "patrol/KeywordMatcher.h"

#include <algorithm>

namespace {
constexpr std::size_t kCodeUnits = 0x10000;
// Rows with up to this many entries are scanned instead of bisected.
constexpr quint32 kLinearScan = 8;
constexpr quint32 kAccepting = 0x80000000u; // in a target
constexpr quint32 kComplete = 0x80000000u;  // in a state's header
constexpr quint32 kSparse = 0x40000000u;    // in a state's header
constexpr quint32 kStateMask = 0x3fffffffu;
constexpr std::size_t kHeader = 3;

using Edge = std::pair<quint32, quint32>; // symbol, target
using Row = std::vector<Edge>;            // by symbol

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
inline quint32 rowEntry(const quint32* table, quint32 s, quint32 a) {
    const quint32* st = table + s;
    const quint32 n = st[2];
    if (st[0] & kSparse) {
        const quint32* symbols = st + kHeader;
        if (n <= kLinearScan) {
            for (quint32 k = 0; k < n; ++k)
                if (symbols[k] == a)
                    return symbols[n + k];
            return 0;
        }
        const quint32* it = std::lower_bound(symbols, symbols + n, a);
        return (it != symbols + n && *it == a) ? it[n] : 0;
    }
    const quint32 k = a - st[1];
    return k < n ? st[kHeader + k] : 0;
}

// The transition from the state at offset s on symbol a, as stored (0: the root).
inline quint32 transition(const quint32* table, const quint32* rootNext, quint32 s, quint32 a) {
    for (;;) {
        if (const quint32 t = rowEntry(table, s, a))
            return t;
        const quint32 head = table[s];
        if (head & kComplete)
            return rootNext[a];
        s = head & kStateMask;
    }
}

void appendRow(const quint32* st, Row& row) {
    const quint32 n = st[2];
    if (st[0] & kSparse) {
        for (quint32 k = 0; k < n; ++k)
            row.emplace_back(st[kHeader + k], st[kHeader + n + k]);
        return;
    }
    for (quint32 k = 0; k < n; ++k)
        if (const quint32 t = st[kHeader + k])
            row.emplace_back(st[1] + k, t);
}

// Breadth-first trie over the sorted words. A state that ends a word gets no children: a
// title that contains a longer word starting with it contains the word itself.
struct Trie {
    std::vector<quint32> edgeBegin; // the edges out of state s: [edgeBegin[s], edgeBegin[s + 1])
    std::vector<quint32> parent;
    std::vector<Edge> edges; // the edge into state s is edges[s - 1]
    std::vector<bool> terminal;

    quint32 states() const { return static_cast<quint32>(parent.size()); }
    Row::const_iterator firstEdge(quint32 s) const { return edges.cbegin() + edgeBegin[s]; }
    Row::const_iterator lastEdge(quint32 s) const { return edges.cbegin() + edgeBegin[s + 1]; }
};

// A state still to be expanded: it stands for a prefix shared by the words [lo, hi) of
// length at least depth.
struct Pending {
    quint32 lo, hi, depth;
};

// Gives state s a child for each code unit that follows its prefix in its words.
void addChildren(const std::vector<std::u16string_view>& words, const std::vector<quint32>& symbol,
                 quint32 s, std::vector<Pending>& queue, Trie& trie) {
    const Pending p = queue[s];
    quint32 i = p.lo;
    while (i < p.hi) {
        const char16_t c = words[i][p.depth];
        quint32 j = i + 1;
        while (j < p.hi && words[j][p.depth] == c)
            ++j;
        trie.edges.emplace_back(symbol[c], static_cast<quint32>(queue.size()));
        queue.push_back({i, j, p.depth + 1});
        trie.parent.push_back(s);
        i = j;
    }
}

Trie buildTrie(const std::vector<std::u16string_view>& words, const std::vector<quint32>& symbol) {
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
    queue.push_back({0, static_cast<quint32>(words.size()), 0});
    trie.parent.push_back(0);
    for (quint32 s = 0; s < queue.size(); ++s) {
        trie.edgeBegin.push_back(static_cast<quint32>(trie.edges.size()));
        trie.terminal.push_back(words[queue[s].lo].size() == queue[s].depth);
        if (!trie.terminal.back())
            addChildren(words, symbol, s, queue, trie);
    }
    trie.edgeBegin.push_back(static_cast<quint32>(trie.edges.size()));
    return trie;
}

// symbol -> the root's successor, as a state index (0: the root itself).
std::vector<quint32> rootSuccessors(const Trie& trie, quint32 symbols) {
    std::vector<quint32> next(symbols + 1, 0);
    for (auto e = trie.firstEdge(0); e != trie.lastEdge(0); ++e)
        next[e->first] = e->second;
    return next;
}

// What the layout sweep learns of each state, by state index.
struct Layout {
    explicit Layout(quint32 states)
        : fail(states, 0), offset(states, 0), accepting(states, false), complete(states, false) {}

    std::vector<quint32> fail, offset;
    std::vector<bool> accepting, complete;
};

// The failure link of state s, and whether it accepts: when its prefix is a word, or
// contains one, that is when its failure state or its parent accepts. Its parent and
// failure state are laid out already.
void linkState(const quint32* table, const quint32* rootNext, const Trie& trie, Layout& layout,
               quint32 s) {
    const quint32 p = trie.parent[s];
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
void overlayRow(const quint32* inherited, Row::const_iterator first, Row::const_iterator last,
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
void appendState(std::vector<quint32>& table, quint32 head, Row::const_iterator first,
                 Row::const_iterator last) {
    if (first == last) {
        table.insert(table.end(), {head, 0, 0});
    } else if (denseRow(first, last)) {
        const quint32 lo = first->first;
        const quint32 n = (last - 1)->first - lo + 1;
        table.insert(table.end(), {head, lo, n});
        const std::size_t row = table.size();
        table.resize(row + n, 0);
        for (auto e = first; e != last; ++e)
            table[row + e->first - lo] = e->second;
    } else {
        const auto n = static_cast<quint32>(last - first);
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
qsizetype layOutStates(const Trie& trie, const std::vector<quint32>& rootNext, std::size_t budget,
                       std::vector<quint32>& table, Layout& layout) {
    table.insert(table.end(), {kComplete, 0, 0}); // the root: every transition its own
    layout.complete[0] = true;
    qsizetype completeStates = 0;
    std::size_t used = 0;
    Row merged;
    for (quint32 s = 1; s < trie.states(); ++s) {
        layout.offset[s] = static_cast<quint32>(table.size());
        linkState(table.data(), rootNext.data(), trie, layout, s);
        if (layout.accepting[s]) {
            // Entering it ends the search, so nothing ever leaves it.
            table.insert(table.end(), {kComplete, 0, 0});
            continue;
        }
        const quint32 f = layout.fail[s];
        auto first = trie.firstEdge(s);
        auto last = trie.lastEdge(s);
        quint32 head = layout.offset[f];
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
void nameTargets(const Layout& layout, std::vector<quint32>& table,
                 std::vector<quint32>& rootNext) {
    auto target = [&](quint32& t) {
        if (t)
            t = layout.offset[t] | (layout.accepting[t] ? kAccepting : 0);
    };
    for (const quint32 at : layout.offset) {
        quint32* st = table.data() + at;
        quint32* row = st + kHeader;
        quint32* end = row + st[2];
        if (st[0] & kSparse) {
            row = end;
            end = row + st[2];
        }
        for (; row != end; ++row)
            target(*row);
    }
    for (quint32& t : rootNext)
        target(t);
}
} // namespace

KeywordMatcher::KeywordMatcher(const QStringList& keywords) {
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

qsizetype KeywordMatcher::memoryBytes() const {
    return static_cast<qsizetype>(
        sizeof(quint32) * (m_symbol.capacity() + m_rootNext.capacity() + m_table.capacity()));
}

void KeywordMatcher::build(const KeywordList& list) {
    const int count = list.count();
    QStringList keywords;
    keywords.reserve(count);
    for (int i = 0; i < count; ++i)
        keywords.append(list.at(i));
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

void KeywordMatcher::build(const QStringList& keywords) {
    clear();
    ++m_builds;

    std::vector<std::u16string_view> words;
    words.reserve(static_cast<std::size_t>(keywords.size()));
    for (const QString& k : keywords) {
        if (k.isEmpty()) {
            // Every title contains the empty keyword; nothing else needs to be known.
            m_matchesAll = true;
            return;
        }
        words.emplace_back(reinterpret_cast<const char16_t*>(k.constData()),
                           static_cast<std::size_t>(k.size()));
    }
    if (words.empty())
        return;

    // Symbols are given in code unit order, so the code unit order of the sorted words is
    // also the symbol order of every state's edges.
    m_symbol.assign(kCodeUnits, 0);
    for (const auto& w : words)
        for (char16_t c : w)
            m_symbol[c] = 1;
    quint32 symbols = 0;
    for (quint32& s : m_symbol)
        if (s)
            s = ++symbols;

    std::sort(words.begin(), words.end());
    buildAutomaton(words, symbols);
}

void KeywordMatcher::buildAutomaton(const std::vector<std::u16string_view>& words,
                                    quint32 symbols) {
    const Trie trie = buildTrie(words, m_symbol);
    const quint32 states = trie.states();
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

bool KeywordMatcher::matches(QStringView title) const {
    if (m_matchesAll)
        return true;
    if (m_table.empty())
        return false;
    const quint32* table = m_table.data();
    const quint32* rootNext = m_rootNext.data();
    const char16_t* text = title.utf16();
    const qsizetype length = title.size();
    // The current state never accepts: entering an accepting state ends the search.
    quint32 state = 0;
    for (qsizetype i = 0; i < length; ++i) {
        const quint32 a = m_symbol[text[i]];
        if (a == 0) {
            state = 0; // no keyword contains this code unit
            continue;
        }
        const quint32 next = transition(table, rootNext, state, a);
        if (next & kAccepting)
            return true;
        state = next;
    }
    return false;
}
