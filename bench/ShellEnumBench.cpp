// Enumerating a folder of 10,000 files with their sizes and dates through
// the shell enumerator, against a plain directory listing as the baseline.
#include "BenchSupport.h"
#include "SsShellController.h"

#include <benchmark/benchmark.h>

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {
constexpr int FileCount = 10000;

const QString& SampleFolder()
{
    static QTemporaryDir dir;
    static bool made = false;
    if (!made) {
        for (int i = 0; i < FileCount; ++i) {
            QFile f(dir.filePath(QStringLiteral("bild_%1.jpg").arg(i, 5, 10, QLatin1Char('0'))));
            f.open(QIODevice::WriteOnly);
            f.write(QByteArray(i % 97, 'x'));
        }
        made = true;
    }
    static const QString path = dir.path();
    return path;
}

void ShellEnumerator(benchmark::State& state)
{
    const QString folder = SampleFolder();
    for (auto _ : state) {
        TSsShellEnumerator e;
        e.Options = eoIncludeNonFolders;
        e.SetRootFolder(folder);
        e.Execute();
        int64_t bytes = 0;
        double dates = 0;
        for (int i = 0; i < e.ItemList.GetCount(); ++i) {
            TSsShellItem* item = e.ItemList.GetItem(i);
            bytes += item->GetSize();
            dates += item->GetDate();
        }
        if (e.ItemList.GetCount() != FileCount)
            state.SkipWithError("wrong number of files");
        benchmark::DoNotOptimize(bytes);
        benchmark::DoNotOptimize(dates);
    }
    state.counters["files/s"] = benchmark::Counter(double(FileCount), benchmark::Counter::kIsIterationInvariantRate);
}

void PlainListing(benchmark::State& state)
{
    const QString folder = SampleFolder();
    for (auto _ : state) {
        int64_t bytes = 0;
        qint64 dates = 0;
        int n = 0;
        QDirIterator it(folder, QDir::Files);
        while (it.hasNext()) {
            it.next();
            const QFileInfo info = it.fileInfo();
            bytes += info.size();
            dates += info.lastModified().toSecsSinceEpoch();
            ++n;
        }
        if (n != FileCount)
            state.SkipWithError("wrong number of files");
        benchmark::DoNotOptimize(bytes);
        benchmark::DoNotOptimize(dates);
    }
    state.counters["files/s"] = benchmark::Counter(double(FileCount), benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(ShellEnumerator)->Unit(benchmark::kMillisecond);
BENCHMARK(PlainListing)->Unit(benchmark::kMillisecond);
}  // namespace

LUMI_BENCHMARK_MAIN()
