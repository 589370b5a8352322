// The patrol's keyword test: the automaton against the plain loop (every title against
// every keyword, in list order), on 200 titles of 79 bytes that match no keyword, so that
// neither may stop early. Prints the ratio and whether the speed goals are met.

#include "keywords/PlainKeywordList.h"
#include "patrol/KeywordMatcher.h"
#include "patrol/PatrolPass.h"
#include "platform/fake/FakeWindowSystem.h"
#include "platform/linux/IconvCodec936.h"
#include "platform/qt/QtCodec936.h"
#include "platform/qt/QtText.h"

#include <benchmark/benchmark.h>

#include <QStringList>

#include <cstdio>
#include <map>
#include <random>
#include <string>

namespace {

constexpr int kWindows = 200;
constexpr int kTitleBytes = 79;
constexpr int kListSizes[] = {10, 1000, 32767};
constexpr int kFullList = 32767;

// Goals for the full list.
constexpr double kMatchGoalSeconds = 100e-6;
constexpr double kRatioGoal = 100.0;
constexpr double kBuildGoalSeconds = 50e-3;

class Corpus {
public:
    Corpus() : m_rng(1234) {
        while (m_titles.size() < kWindows)
            m_titles.append(title());
        while (m_keywords.size() < kFullList) {
            const QString k = keyword();
            bool occurs = false;
            for (const QString& t : std::as_const(m_titles))
                occurs = occurs || t.contains(k);
            if (!occurs)
                m_keywords.append(k);
        }
    }

    const QStringList& titles() const { return m_titles; }
    QStringList keywords(int count) const { return m_keywords.mid(0, count); }

private:
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }
    QChar letter() { return QChar(char16_t(u'a' + pick(0, 25))); }
    // Common ideographs, all in code page 936.
    QChar ideograph() { return QChar(char16_t(0x4E00 + pick(0, 2999))); }

    QString asciiWord(int lo, int hi) {
        QString w;
        for (int n = pick(lo, hi); n > 0; --n)
            w += letter();
        return w;
    }

    QString chineseWord(int lo, int hi) {
        QString w;
        for (int n = pick(lo, hi); n > 0; --n)
            w += ideograph();
        return w;
    }

    // A browser-like title of exactly 79 bytes: Latin and Chinese words, blanks, dashes.
    QString title() {
        QString t;
        for (;;) {
            QString piece;
            switch (pick(0, 3)) {
            case 0:
                piece = asciiWord(2, 9);
                break;
            case 1:
                piece = chineseWord(1, 5);
                break;
            case 2:
                piece = QStringLiteral(" - ");
                break;
            default:
                piece = QStringLiteral(" ");
                break;
            }
            if (QtCodec936::byteLength(t + piece) > kTitleBytes)
                break;
            t += piece;
        }
        while (QtCodec936::byteLength(t) < kTitleBytes)
            t += letter();
        return t;
    }

    QString keyword() { return pick(0, 1) ? asciiWord(4, 10) : chineseWord(2, 4); }

    std::mt19937 m_rng;
    QStringList m_titles;
    QStringList m_keywords;
};

const Corpus& corpus() {
    static const Corpus c;
    return c;
}

void BM_MatchAutomaton(benchmark::State& state) {
    const std::vector<std::u16string> titles = QtText::fromQ(corpus().titles());
    const KeywordMatcher matcher(QtText::fromQ(corpus().keywords(int(state.range(0)))));
    for (auto _ : state) {
        int matched = 0;
        for (const std::u16string& t : titles)
            matched += matcher.matches(t);
        benchmark::DoNotOptimize(matched);
    }
    std::size_t units = 0;
    for (const std::u16string& t : titles)
        units += t.size();
    state.counters["code_units"] = double(units);
    state.counters["states"] = double(matcher.stateCount());
    state.counters["MiB"] = double(matcher.memoryBytes()) / (1 << 20);
}

void BM_MatchPlainLoop(benchmark::State& state) {
    const QStringList& titles = corpus().titles();
    const QStringList keywords = corpus().keywords(int(state.range(0)));
    for (auto _ : state) {
        int matched = 0;
        for (const QString& t : titles) {
            for (const QString& k : keywords) {
                if (t.contains(k)) {
                    ++matched;
                    break;
                }
            }
        }
        benchmark::DoNotOptimize(matched);
    }
}

void BM_BuildAutomaton(benchmark::State& state) {
    const std::vector<std::u16string> keywords =
        QtText::fromQ(corpus().keywords(int(state.range(0))));
    KeywordMatcher matcher;
    for (auto _ : state) {
        matcher.build(keywords);
        benchmark::DoNotOptimize(matcher.stateCount());
    }
}

// A whole pass over the fake window system: search, protections and matching.
void BM_PatrolPass(benchmark::State& state) {
    class Host : public PatrolHost {
    public:
        std::u16string mainCaption() const override { return u"墨枫哨兵 1.00"; }
        std::uint32_t ownProcessId() const override { return 1; }
    } host;
    FakeWindowSystem ws;
    ws.setRecordQueries(false);
    std::uint32_t pid = 100;
    for (const QString& t : corpus().titles())
        ws.addWindow({0, u"Navigator", 0, true, QtText::fromQ(t), pid++});
    PlainKeywordList list(QtText::fromQ(corpus().keywords(int(state.range(0)))));
    const IconvCodec936 codec;
    WindowSearch search(ws, codec);
    PatrolPass pass(search, list, host);
    pass.run(); // builds the matcher
    for (auto _ : state)
        pass.run();
    if (!ws.closeRequests().empty())
        state.SkipWithError("a title matched");
}

BENCHMARK(BM_MatchAutomaton)->Arg(10)->Arg(1000)->Arg(kFullList)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MatchPlainLoop)->Arg(10)->Arg(1000)->Arg(kFullList)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BuildAutomaton)->Arg(10)->Arg(1000)->Arg(kFullList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PatrolPass)->Arg(10)->Arg(kFullList)->Unit(benchmark::kMicrosecond);

// Keeps each benchmark's CPU time per iteration, in seconds, for the summary: the machine
// may be shared, and the goals are about the work a pass costs, not about the scheduler.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& reports) override {
        for (const Run& r : reports)
            if (!r.error_occurred && r.run_type == Run::RT_Iteration)
                seconds[r.benchmark_name()] =
                    r.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(r.time_unit);
        ConsoleReporter::ReportRuns(reports);
    }
    std::map<std::string, double> seconds;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto& s = reporter.seconds;
    std::printf("\nCPU time per pass, %d titles of %d bytes, no title matching:\n", kWindows,
                kTitleBytes);
    for (int n : kListSizes) {
        const std::string arg = "/" + std::to_string(n);
        const auto a = s.find("BM_MatchAutomaton" + arg);
        const auto p = s.find("BM_MatchPlainLoop" + arg);
        if (a == s.end() || p == s.end())
            continue;
        std::printf("  %5d keywords: automaton %10.1f us, plain loop %12.1f us, ratio %8.1f x\n", n,
                    a->second * 1e6, p->second * 1e6, p->second / a->second);
    }

    bool missed = false;
    const std::string full = "/" + std::to_string(kFullList);
    const auto a = s.find("BM_MatchAutomaton" + full);
    const auto p = s.find("BM_MatchPlainLoop" + full);
    const auto b = s.find("BM_BuildAutomaton" + full);
    auto goal = [&](const char* what, bool met) {
        std::printf("  goal %-46s %s\n", what, met ? "met" : "MISSED");
        missed = missed || !met;
    };
    if (a != s.end())
        goal("matching with 32767 keywords under 100 us:", a->second < kMatchGoalSeconds);
    if (a != s.end() && p != s.end())
        goal("at least 100 times faster than the plain loop:", p->second / a->second >= kRatioGoal);
    if (b != s.end())
        goal("building for 32767 keywords under 50 ms:", b->second < kBuildGoalSeconds);
    return missed ? 1 : 0;
}
