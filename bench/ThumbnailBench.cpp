// Thumbnails (92 x 92 box, the picture list's size) of a folder of 200 JPEGs
// of 24 megapixels by the picture list's workers, against vipsthumbnail run
// on the same folder by xargs on as many processes as there are cores
// (package libvips-tools; without it the comparison is skipped). Both read the
// files from the page cache: the folder is read once before. The repetitions
// of all runs are interleaved at random, so that a change in the machine's
// load falls on both sides alike.
#include "BenchSupport.h"
#include "SsShellController.h"
#include "uThumbnailListview.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <cstdlib>

namespace {

constexpr int cPictures = 200;
constexpr int cBox = 92;

const TPhotoFolder& Folder()
{
    static const TPhotoFolder folder(cPictures, 6000, 4000);
    return folder;
}

QString FolderPath()
{
    return QFileInfo(Folder().File(0)).absolutePath();
}

// Reads every file once, so that both sides start from the page cache.
void WarmCache()
{
    static bool warm = false;
    if (warm)
        return;
    for (int i = 0; i < cPictures; ++i) {
        QFile f(Folder().File(i));
        if (f.open(QIODevice::ReadOnly))
            while (!f.read(1 << 20).isEmpty()) {
            }
    }
    warm = true;
}

// Range(0): workers (0: one per core).
void BM_ThumbnailWorkers(benchmark::State& state)
{
    WarmCache();
    TSsShellEnumerator enumerator;
    enumerator.Options = eoIncludeNonFolders;
    enumerator.SetRootFolder(FolderPath());
    enumerator.Execute();
    for (auto _ : state) {
        TPicList list;
        for (int i = 0; i < enumerator.ItemList.GetCount(); ++i) {
            TPicData* data = list.Add();
            data->ShellItem = enumerator.ItemList.GetItem(i);
            data->Index = i;
        }
        TThumbLoadThread worker(list, cBox, cBox, nullptr, int(state.range(0)));
        worker.wait();
        for (int i = 0; i < list.Count(); ++i)
            if (!list.Items(i)->Thumbnail())
                state.SkipWithError("a thumbnail is missing");
    }
    state.counters["pictures/s"] =
        benchmark::Counter(cPictures, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ThumbnailWorkers)->ArgName("workers")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)
    ->UseRealTime()->Iterations(1)->Apply(FastestOf<3>);

// Range(0): files per vipsthumbnail process (xargs -n).
void BM_Vipsthumbnail(benchmark::State& state)
{
    if (QStandardPaths::findExecutable("vipsthumbnail").isEmpty()) {
        state.SkipWithError("vipsthumbnail not installed (package libvips-tools)");
        return;
    }
    WarmCache();
    QTemporaryDir out;
    const QByteArray command =
        QStringLiteral("cd '%1' && ls *.jpg | xargs -n %2 -P $(nproc) vipsthumbnail -s %3 -o '%4/%s.jpg'")
            .arg(FolderPath())
            .arg(state.range(0))
            .arg(cBox)
            .arg(out.path())
            .toLocal8Bit();
    for (auto _ : state) {
        if (std::system(command.constData()) != 0)
            state.SkipWithError("vipsthumbnail failed");
    }
    if (QDir(out.path()).entryList(QDir::Files).size() != cPictures)
        state.SkipWithError("vipsthumbnail made too few thumbnails");
    state.counters["pictures/s"] =
        benchmark::Counter(cPictures, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Vipsthumbnail)->ArgName("per_process")->Arg(1)->Arg(cPictures / 8)
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Apply(FastestOf<3>);

int Summary(const TFastestRunReporter& Runs)
{
    const auto ours = Runs.Time("BM_ThumbnailWorkers/workers:0");
    const auto one = Runs.Time("BM_ThumbnailWorkers/workers:1");
    std::printf("\n%d thumbnails of 24 MP JPEGs, %d cores:\n", cPictures, QThread::idealThreadCount());
    if (ours)
        std::printf("  picture list, one worker per core: %.1f per second\n", cPictures / (*ours / 1e3));
    if (one)
        std::printf("  picture list, one worker:          %.1f per second\n", cPictures / (*one / 1e3));
    for (const char* name : {"BM_Vipsthumbnail/per_process:1", "BM_Vipsthumbnail/per_process:25"}) {
        const auto vips = Runs.Time(name);
        if (!vips)
            continue;
        std::printf("  %s: %.1f per second", name, cPictures / (*vips / 1e3));
        if (ours)
            std::printf("; speed of the picture list / vipsthumbnail: %.2fx", *vips / *ours);
        std::printf("\n");
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = int(args.size());
    args.push_back(nullptr);
    TBenchProgram program(count, args.data());
    return program.Run(Summary);
}
