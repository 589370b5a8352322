// Reading and writing a list of 32,767 keywords of eight Chinese characters, and the same
// read with the repeat test made the old way: each line compared with every entry in turn.
#include "keywords/ListFile.h"
#include "keywords/PlainKeywordList.h"
#include "platform/fake/ScriptedPrompts.h"
#include "platform/qt/QtText.h"

#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

constexpr int kKeywords = 32767;

QStringList keywords() {
    // Eight Chinese characters each, all different.
    const QString chars = QString::fromUtf8("墨枫哨兵关键字游戏网站视频图片新闻论坛下载音乐");
    QStringList out;
    out.reserve(kKeywords);
    for (int i = 0; i < kKeywords; ++i) {
        QString word;
        int n = i;
        for (int c = 0; c < 8; ++c) {
            word += chars.at(n % chars.size());
            n /= static_cast<int>(chars.size());
        }
        out.append(word);
    }
    return out;
}

// The repeat test as a linear walk over every entry held, in order.
class EveryEntryList : public KeywordList {
public:
    int count() const override { return static_cast<int>(m_entries.size()); }
    std::u16string at(int index) const override { return m_entries.at(index); }
    void append(const std::u16string& keyword) override {
        m_entries.push_back(keyword);
        ++m_revision;
    }
    bool contains(const std::u16string& keyword) const override {
        const int n = count();
        for (int i = 0; i < n; ++i) {
            if (m_entries.at(i) == keyword)
                return true;
        }
        return false;
    }
    std::uint64_t revision() const override { return m_revision; }

private:
    std::vector<std::u16string> m_entries;
    std::uint64_t m_revision = 0;
};

// A list file of the keywords in a temporary folder, for the whole run.
struct Fixture {
    Fixture() : path(dir.path() + QStringLiteral("/KeyList.dat")), list(QtText::fromQ(keywords())) {
        ScriptedPrompts prompts;
        ListFile(prompts).OutputList(path, list);
    }
    QTemporaryDir dir;
    QString path;
    PlainKeywordList list;
};

template <class List> void readList(benchmark::State& state, const Fixture& fixture) {
    ScriptedPrompts prompts;
    ListFile listFile(prompts);
    for (auto _ : state) {
        List list;
        listFile.InputList(fixture.path, list);
        if (list.count() != kKeywords)
            state.SkipWithError("wrong number of keywords read");
        benchmark::DoNotOptimize(list.count());
    }
}

void writeList(benchmark::State& state, const Fixture& fixture) {
    const QString path = fixture.dir.path() + QStringLiteral("/written.lst");
    ScriptedPrompts prompts;
    ListFile listFile(prompts);
    for (auto _ : state) {
        if (!listFile.OutputList(path, fixture.list))
            state.SkipWithError("write failed");
    }
}

// Prints the runs as usual and keeps their times for the summary.
class Reporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            times[QString::fromStdString(run.benchmark_name())] =
                run.GetAdjustedRealTime() * 1000.0 /
                static_cast<double>(benchmark::GetTimeUnitMultiplier(run.time_unit));
    }
    QMap<QString, double> times; // milliseconds
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const Fixture fixture;
    benchmark::RegisterBenchmark(
        "BM_Read_HashSet",
        [&](benchmark::State& state) { readList<PlainKeywordList>(state, fixture); })
        ->Unit(benchmark::kMillisecond)
        ->MinTime(1.0);
    benchmark::RegisterBenchmark(
        "BM_Read_EveryEntry",
        [&](benchmark::State& state) { readList<EveryEntryList>(state, fixture); })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(2);
    benchmark::RegisterBenchmark("BM_Write",
                                 [&](benchmark::State& state) { writeList(state, fixture); })
        ->Unit(benchmark::kMillisecond)
        ->MinTime(1.0);
    Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto find = [&](const char* prefix) {
        for (auto it = reporter.times.cbegin(); it != reporter.times.cend(); ++it) {
            if (it.key().startsWith(QLatin1String(prefix)))
                return it.value();
        }
        return -1.0;
    };
    const double hashed = find("BM_Read_HashSet");
    const double literal = find("BM_Read_EveryEntry");
    const double written = find("BM_Write");
    std::printf("\n%d keywords of 8 Chinese characters (goal: under 50 ms each)\n", kKeywords);
    if (hashed > 0)
        std::printf("  read, hash-set repeat test:    %8.2f ms  %s\n", hashed,
                    hashed < 50 ? "ok" : "OVER");
    if (written > 0)
        std::printf("  write, atomic replace:         %8.2f ms  %s\n", written,
                    written < 50 ? "ok" : "OVER");
    if (literal > 0)
        std::printf("  read, every-entry comparison:  %8.2f ms\n", literal);
    if (hashed > 0 && literal > 0)
        std::printf("  every-entry / hash-set ratio:  %8.1f\n", literal / hashed);
    benchmark::Shutdown();
    return 0;
}
