#include "patrol/KeywordMatcher.h"

#include <algorithm>

namespace {
constexpr std::size_t kCodeUnits = 0x10000;
// Rows with up to this many entries are scanned instead of bisected.
constexpr quint32 kLinearScan = 8;
// Complete rows cost memory; beyond this many row entries per state (shallow states come
// first and are the ones a title visits most) further states keep their own edges only.
constexpr std::size_t kRowEntriesPerState = 24;
constexpr std::size_t kRowEntriesBase = 1 << 16;

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

// Table entries the row takes.
std::size_t rowCost(Row::const_iterator first, Row::const_iterator last) {
    if (first == last)
        return 0;
    return denseRow(first, last) ? (last - 1)->first - first->first + 1
                                 : 2 * static_cast<std::size_t>(last - first);
}

// The rows of all states while the automaton is built, targets named by state index.
class RowStore {
public:
    explicit RowStore(std::size_t states) : m_begin(states + 1, 0) {}

    // Rows are added in state order.
    void add(const Row& row) {
        m_edges.insert(m_edges.end(), row.begin(), row.end());
        m_begin[++m_added] = m_edges.size();
    }
    void skip() { m_begin[m_added + 1] = m_begin[m_added], ++m_added; }
    Row::const_iterator begin(std::size_t s) const { return m_edges.begin() + m_begin[s]; }
    Row::const_iterator end(std::size_t s) const { return m_edges.begin() + m_begin[s + 1]; }
    std::size_t size(std::size_t s) const { return m_begin[s + 1] - m_begin[s]; }

private:
    Row m_edges;
    std::vector<std::size_t> m_begin;
    std::size_t m_added = 0;
};
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
    // Breadth-first trie over the sorted words: a state stands for a prefix shared by the
    // words [lo, hi) of length at least depth. A state that ends a word gets no children:
    // a title that contains a longer word starting with it contains the word itself.
    struct Pending {
        quint32 lo, hi, depth;
    };
    std::vector<Pending> queue;
    std::vector<quint32> edgeBegin;
    std::vector<Edge> edges; // the edge into state s is edges[s - 1]
    std::vector<bool> terminal;
    queue.push_back({0, static_cast<quint32>(words.size()), 0});
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
            i = j;
        }
    }
    const auto states = static_cast<quint32>(queue.size());
    edgeBegin.push_back(static_cast<quint32>(edges.size()));
    std::vector<quint32> parent(states, 0);
    for (quint32 s = 0; s < states; ++s)
        for (quint32 e = edgeBegin[s]; e < edgeBegin[s + 1]; ++e)
            parent[edges[e].second] = s;

    auto trieChild = [&](quint32 state, quint32 symbol) -> quint32 {
        const auto first = edges.begin() + edgeBegin[state];
        const auto last = edges.begin() + edgeBegin[state + 1];
        const auto it = std::lower_bound(first, last, symbol,
                                         [](const Edge& e, quint32 s) { return e.first < s; });
        return (it != last && it->first == symbol) ? it->second : 0;
    };

    // Failure links in breadth-first order; a state accepts when its own prefix is a word
    // or its failure state accepts.
    std::vector<quint32> fail(states, 0);
    std::vector<bool> accepting(states, false);
    for (quint32 s = 1; s < states; ++s) {
        const quint32 p = parent[s];
        const quint32 a = edges[s - 1].first;
        quint32 f = 0;
        if (p != 0) {
            for (quint32 g = fail[p];; g = fail[g]) {
                f = trieChild(g, a);
                if (f != 0 || g == 0)
                    break;
            }
        }
        fail[s] = f;
        accepting[s] = terminal[s] || accepting[f];
    }
    for (Edge& e : edges)
        if (accepting[e.second])
            e.second |= kAccepting;

    m_rootNext.assign(symbols + 1, 0);
    for (quint32 e = edgeBegin[0]; e < edgeBegin[1]; ++e)
        m_rootNext[edges[e].first] = edges[e].second;

    // Rows, parents before children: a state whose failure state is complete inherits that
    // state's row under its own edges and is complete itself, while the budget lasts.
    RowStore rows(states);
    std::vector<bool> complete(states, false);
    complete[0] = true; // the root's row is empty: every transition as from the root
    rows.skip();
    const std::size_t budget = kRowEntriesBase + kRowEntriesPerState * states;
    std::size_t used = 0;
    Row own, merged;
    for (quint32 s = 1; s < states; ++s) {
        if (accepting[s]) {
            // Entering it ends the search, so nothing ever leaves it.
            complete[s] = true;
            rows.skip();
            continue;
        }
        own.assign(edges.begin() + edgeBegin[s], edges.begin() + edgeBegin[s + 1]);
        const Row* row = &own;
        const quint32 f = fail[s];
        if (complete[f]) {
            // Both sorted by symbol; the state's own edge wins over the inherited one.
            merged.clear();
            auto i = own.cbegin();
            auto j = rows.begin(f);
            const auto jEnd = rows.end(f);
            while (i != own.cend() || j != jEnd) {
                if (j == jEnd || (i != own.cend() && i->first <= j->first)) {
                    if (j != jEnd && i->first == j->first)
                        ++j;
                    merged.push_back(*i++);
                } else {
                    merged.push_back(*j++);
                }
            }
            if (used + rowCost(merged.cbegin(), merged.cend()) <= budget) {
                row = &merged;
                complete[s] = true;
            }
        }
        used += rowCost(row->cbegin(), row->cend());
        rows.add(*row);
    }

    // Lay the states out in the table, each named by its offset.
    std::vector<quint32> offset(states, 0);
    std::size_t size = 0;
    for (quint32 s = 0; s < states; ++s) {
        offset[s] = static_cast<quint32>(size);
        size += kHeader + rowCost(rows.begin(s), rows.end(s));
    }
    auto target = [&](quint32 t) { return offset[t & kStateMask] | (t & kAccepting); };
    m_table.assign(size, 0);
    for (quint32 s = 0; s < states; ++s) {
        quint32* st = m_table.data() + offset[s];
        st[0] = offset[fail[s]] | (complete[s] ? kComplete : 0);
        const auto first = rows.begin(s), last = rows.end(s);
        if (first == last)
            continue;
        if (denseRow(first, last)) {
            st[1] = first->first;
            st[2] = (last - 1)->first - first->first + 1;
            for (auto e = first; e != last; ++e)
                st[kHeader + e->first - st[1]] = target(e->second);
        } else {
            const auto n = static_cast<quint32>(last - first);
            st[0] |= kSparse;
            st[2] = n;
            for (quint32 k = 0; k < n; ++k) {
                st[kHeader + k] = first[k].first;
                st[kHeader + n + k] = target(first[k].second);
            }
        }
    }
    for (quint32& t : m_rootNext)
        if (t)
            t = target(t);
    m_stateCount = states;
}

bool KeywordMatcher::matches(QStringView title) const {
    if (m_matchesAll)
        return true;
    if (m_table.empty())
        return false;
    const quint32* table = m_table.data();
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
        quint32 next = 0;
        for (quint32 s = state;;) {
            const quint32* st = table + s;
            const quint32 head = st[0];
            const quint32 n = st[2];
            if (head & kSparse) {
                const quint32* symbols = st + kHeader;
                if (n <= kLinearScan) {
                    for (quint32 k = 0; k < n; ++k)
                        if (symbols[k] == a) {
                            next = symbols[n + k];
                            break;
                        }
                } else {
                    const quint32* it = std::lower_bound(symbols, symbols + n, a);
                    if (it != symbols + n && *it == a)
                        next = it[n];
                }
            } else if (const quint32 k = a - st[1]; k < n) {
                next = st[kHeader + k];
            }
            if (next != 0)
                break;
            if (head & kComplete) {
                next = m_rootNext[a];
                break;
            }
            s = head & kStateMask;
        }
        if (next & kAccepting)
            return true;
        state = next;
    }
    return false;
}
