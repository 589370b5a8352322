// The main window's keyword list at its largest: merging a list file of 32,767 keywords
// into Key_List, and a patrol pass that reads the list box through the adapter.
#include "app/KeyListAdapter.h"
#include "keywords/ListFile.h"
#include "keywords/PlainKeywordList.h"
#include "patrol/PatrolPass.h"
#include "platform/fake/FakeWindowSystem.h"
#include "platform/fake/ScriptedPrompts.h"
#include "platform/linux/IconvCodec936.h"
#include "platform/qt/QtText.h"

#include <QApplication>
#include <QBuffer>
#include <QListWidget>

#include <benchmark/benchmark.h>

namespace {

QStringList keywords(int n) {
    QStringList list;
    list.reserve(n);
    for (int i = 0; i < n; ++i)
        list << QStringLiteral("关键字%1").arg(i);
    return list;
}

void BM_ImportIntoKeyList(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const QByteArray bytes = ListFile::ListBytes(PlainKeywordList(QtText::fromQ(keywords(n))));
    ScriptedPrompts prompts;
    ListFile file(prompts);
    for (auto _ : state) {
        QListWidget box;
        KeyListAdapter list(box);
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        file.InputListFrom(buffer, list);
        benchmark::DoNotOptimize(list.count());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ImportIntoKeyList)->Arg(1000)->Arg(32767)->Unit(benchmark::kMillisecond);

class Host : public PatrolHost {
public:
    std::u16string mainCaption() const override { return u"墨枫哨兵 1.00"; }
    std::uint32_t ownProcessId() const override { return 1; }
};

void BM_PatrolPassOverKeyList(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    QListWidget box;
    KeyListAdapter list(box);
    for (const QString& k : keywords(n))
        list.append(QtText::fromQ(k));
    FakeWindowSystem windows;
    windows.setRecordQueries(false);
    for (int i = 0; i < 50; ++i)
        windows.addWindow({0, u"App", 0, true,
                           QtText::fromQ(QStringLiteral("一个普通的窗口标题 %1 - Browser").arg(i)),
                           100u + i});
    const IconvCodec936 codec;
    WindowSearch search(windows, codec);
    Host host;
    PatrolPass pass(search, list, host);
    pass.run(); // builds the matcher once, as the first tick does
    for (auto _ : state)
        pass.run();
}
BENCHMARK(BM_PatrolPassOverKeyList)->Arg(100)->Arg(32767)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
