// A picture list showing a folder of 2000 pictures, all thumbnails made, gets
// the notice of one rewritten picture: the refresh that reads again only the
// entry the notice names (and makes its thumbnail again), against reading the
// whole folder again keeping the other thumbnails, as every refresh did before.
#include "BenchSupport.h"
#include "SsShellController.h"
#include "SsShellNotification.h"
#include "uThumbnailListview.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

namespace {

constexpr int cPictures = 2000;

struct TShownFolder {
    TShownFolder()
    {
        for (int i = 0; i < cPictures; ++i)
            MakePhoto(16, 12, i).save(File(i), "PNG");
        Root = SsPathToIdList(Dir.path());
        List.resize(240, 600);
        List.ShowFolder(Root.get());
        Settle();
    }
    QString File(int i) const { return Dir.path() + QString::asprintf("/Bild%04d.png", i); }
    void Settle()
    {
        if (List.Thread())
            List.Thread()->wait();
        QCoreApplication::sendPostedEvents();
    }
    QTemporaryDir Dir;
    PSsIdList Root;
    TThumbnailListview List;
};

TShownFolder& Shown()
{
    static TShownFolder shown;
    return shown;
}

void BM_RefreshOneChange(benchmark::State& state)
{
    TShownFolder& f = Shown();
    const PSsIdList changed = SsPathToIdList(f.File(cPictures / 2));
    for (auto _ : state) {
        f.List.Notification().Notify(SsILClone(changed.get()), nullptr, SHCNE_UPDATEITEM);
        QCoreApplication::sendPostedEvents();
        f.List.Refresh();
        f.Settle();
    }
    if (f.List.count() != cPictures)
        state.SkipWithError("the list lost pictures");
}
BENCHMARK(BM_RefreshOneChange)->Unit(benchmark::kMillisecond)->UseRealTime()->Apply(FastestOf<5>);

void BM_RereadWholeFolder(benchmark::State& state)
{
    TShownFolder& f = Shown();
    for (auto _ : state) {
        f.List.FolderMoved(f.Root.get());
        f.Settle();
    }
    if (f.List.count() != cPictures)
        state.SkipWithError("the list lost pictures");
}
BENCHMARK(BM_RereadWholeFolder)->Unit(benchmark::kMillisecond)->UseRealTime()->Apply(FastestOf<5>);

int Summary(const TFastestRunReporter& Runs)
{
    const auto one = Runs.Time("BM_RefreshOneChange");
    const auto whole = Runs.Time("BM_RereadWholeFolder");
    if (one && whole)
        std::printf("\nOne changed picture among %d: refresh %.2f ms, whole folder read again %.2f ms "
                    "(%.1fx)\n",
                    cPictures, *one, *whole, *whole / *one);
    return 0;
}

}  // namespace

LUMI_BENCHMARK_MAIN(Summary)
