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
    std::size_t units = 1;
    for (const auto& w : words)
        units += w.size();

    // Breadth-first trie over the sorted words: a state stands for a prefix shared by the
    // words [lo, hi) of length at least depth. A state that ends a word gets no children:
    // a title that contains a longer word starting with it contains the word itself.
    struct Pending {
        quint32 lo, hi, depth;
    };
    std::vector<Pending> queue;
    std::vector<quint32> edgeBegin, parent;
    std::vector<Edge> edges; // the edge into state s is edges[s - 1]
    std::vector<bool> terminal;
    queue.reserve(units);
    edgeBegin.reserve(units + 1);
    parent.reserve(units);
    edges.reserve(units);
    terminal.reserve(units);
    queue.push_back({0, static_cast<quint32>(words.size()), 0});
    parent.push_back(0);
    for (std::size_t s = 0; s < queue.size(); ++s) {
        const Pending p = queue[s];
        edgeBegin.push_back(static_cast<quint32>(edges.size()));
        terminal.push_back(words[p.lo].size() == p.depth);
        if (terminal.back())
            continue;
        quint32 i = p.lo;
        while (i < p.hi) {
            const char16_t c = words[i][p.depth];
            quint32 j = i + 1;
            while (j < p.hi && words[j][p.depth] == c)
                ++j;
            edges.emplace_back(m_symbol[c], static_cast<quint32>(queue.size()));
            queue.push_back({i, j, p.depth + 1});
            parent.push_back(static_cast<quint32>(s));
            i = j;
        }
    }
    const auto states = static_cast<quint32>(queue.size());
    edgeBegin.push_back(static_cast<quint32>(edges.size()));

    m_rootNext.assign(symbols + 1, 0);
    for (quint32 e = edgeBegin[0]; e < edgeBegin[1]; ++e)
        m_rootNext[edges[e].first] = edges[e].second;

    // One sweep, parents before children, lays every state out in the table with its
    // failure link and row; targets stay state indices until all offsets are known. A state
    // accepts when its prefix is a word, or contains one: its failure state or its parent
    // accepts. A state whose failure state is complete inherits that state's row under its
    // own edges and is complete itself, while the budget lasts.
    std::vector<quint32> fail(states, 0), offset(states, 0);
    std::vector<bool> accepting(states, false), complete(states, false);
    m_table.clear();
    m_table.reserve(kHeader * states + 2 * edges.size());
    m_table.insert(m_table.end(), {kComplete, 0, 0}); // the root: every transition its own
    complete[0] = true;
    const std::size_t budget = m_tuning.rowEntriesBase + m_tuning.rowEntriesPerState * states;
    std::size_t used = 0;
    Row merged;
    for (quint32 s = 1; s < states; ++s) {
        const quint32 p = parent[s];
        offset[s] = static_cast<quint32>(m_table.size());
        if (accepting[p]) {
            // Never entered: the search ends at its parent.
            accepting[s] = true;
        } else if (p != 0) {
            fail[s] =
                transition(m_table.data(), m_rootNext.data(), offset[fail[p]], edges[s - 1].first);
        }
        accepting[s] = accepting[s] || terminal[s] || accepting[fail[s]];
        const quint32 f = fail[s];
        if (accepting[s]) {
            // Entering it ends the search, so nothing ever leaves it.
            m_table.insert(m_table.end(), {kComplete, 0, 0});
            continue;
        }
        auto first = edges.cbegin() + edgeBegin[s];
        auto last = edges.cbegin() + edgeBegin[s + 1];
        quint32 head = offset[f];
        if (complete[f]) {
            // Both sorted by symbol; the state's own edge wins over the inherited one.
            merged.clear();
            appendRow(m_table.data() + offset[f], merged);
            const auto inherited = merged.size();
            for (auto e = first; e != last; ++e)
                merged.push_back(*e);
            std::inplace_merge(merged.begin(), merged.begin() + inherited, merged.end(),
                               [](const Edge& x, const Edge& y) { return x.first < y.first; });
            // Of two equal symbols the own edge comes second: keep it, drop the other.
            auto out = merged.begin();
            for (auto in = merged.begin(); in != merged.end(); ++in) {
                if (in + 1 != merged.end() && (in + 1)->first == in->first)
                    continue;
                *out++ = *in;
            }
            merged.erase(out, merged.end());
            if (used + rowCost(merged.cbegin(), merged.cend()) <= budget) {
                first = merged.cbegin();
                last = merged.cend();
                complete[s] = true;
                head |= kComplete;
                ++m_completeStates;
            }
        }
        used += rowCost(first, last);
        if (first == last) {
            m_table.insert(m_table.end(), {head, 0, 0});
        } else if (denseRow(first, last)) {
            const quint32 lo = first->first;
            const quint32 n = (last - 1)->first - lo + 1;
            m_table.insert(m_table.end(), {head, lo, n});
            const std::size_t row = m_table.size();
            m_table.resize(row + n, 0);
            for (auto e = first; e != last; ++e)
                m_table[row + e->first - lo] = e->second;
        } else {
            const auto n = static_cast<quint32>(last - first);
            m_table.insert(m_table.end(), {head | kSparse, 0, n});
            for (auto e = first; e != last; ++e)
                m_table.push_back(e->first);
            for (auto e = first; e != last; ++e)
                m_table.push_back(e->second);
        }
    }

    // Name the targets by their offsets, marking the accepting ones.
    auto target = [&](quint32& t) {
        if (t)
            t = offset[t] | (accepting[t] ? kAccepting : 0);
    };
    for (quint32 s = 0; s < states; ++s) {
        quint32* st = m_table.data() + offset[s];
        quint32* row = st + kHeader;
        quint32* end = row + st[2];
        if (st[0] & kSparse) {
            row = end;
            end = row + st[2];
        }
        for (; row != end; ++row)
            target(*row);
    }
    for (quint32& t : m_rootNext)
        target(t);
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
