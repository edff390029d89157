// The metafile player: the time of one play of small hostile files beside
// that of ordinary word-processor metafiles, each drawn at 600 x 400 pixels;
// the time per unit of the budget of each kind of work; and the ordinary
// drawings LibreOffice Draw made and the crafted files at 60 to 5,000 pixels wide.
#include "BenchSupport.h"
#include "Metafile.h"

#include "../tests/common/MetafileRecords.h"

#include <QFile>
#include <QPainter>

#include <map>

namespace {

std::vector<std::pair<std::string, QByteArray>>& Files()
{
    static std::vector<std::pair<std::string, QByteArray>> files = [] {
        std::vector<std::pair<std::string, QByteArray>> all;
        for (const char* name : {"shapes.wmf", "shapes.emf"}) {
            QFile f(QStringLiteral(LUMI_SOURCE_DIR "/tests/data/metafile/") + QLatin1String(name));
            all.emplace_back(name, f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray());
        }
        for (auto& [name, bytes] : metafile_records::SlowMetafiles())
            all.emplace_back(name, bytes);
        all.emplace_back("stretched-text.wmf", metafile_records::StretchedTextWmf(true));
        for (auto& [name, bytes] : metafile_records::CostlyMetafiles(true))
            all.emplace_back(name, bytes);
        return all;
    }();
    return files;
}

// The ordinary corpus, then the hostile files.
std::vector<std::pair<std::string, QByteArray>>& SizedFiles()
{
    static std::vector<std::pair<std::string, QByteArray>> files = [] {
        std::vector<std::pair<std::string, QByteArray>> all;
        for (const char* folder : {"ordinary", "hostile"})
            for (auto& [name, bytes] :
                 metafile_records::MetafilesIn(QStringLiteral(LUMI_SOURCE_DIR "/tests/data/metafile/") + QLatin1String(folder)))
                all.emplace_back(std::string(folder) + "/" + name.toStdString(), bytes);
        return all;
    }();
    return files;
}

std::vector<std::pair<std::string, QByteArray>>& KindFiles()
{
    static std::vector<std::pair<std::string, QByteArray>> files = [] {
        std::vector<std::pair<std::string, QByteArray>> all;
        for (auto& [name, bytes] : metafile_records::BudgetKindMetafiles())
            all.emplace_back(name, bytes);
        return all;
    }();
    return files;
}

// What the plays of each kind spent, by name.
std::map<std::string, TMetafile::TPlayCost>& Costs()
{
    static std::map<std::string, TMetafile::TPlayCost> costs;
    return costs;
}

// 1 when the play drew the whole picture, 0 when its budget ran out, by name and width.
std::map<std::string, bool>& Whole()
{
    static std::map<std::string, bool> whole;
    return whole;
}

void Play(benchmark::State& State, const std::string& Name, const QByteArray& Bytes, int W, int H)
{
    State.SetLabel(Name);
    TMetafile m;
    if (!m.LoadFromBytes(Bytes)) {
        State.SkipWithError("not a metafile");
        return;
    }
    if (H <= 0)  // as high as the picture's frame makes it, at most as high as wide
        H = std::clamp(int(std::lround(W * double(m.MMHeight()) / std::max(1, m.MMWidth()))), 1, W);
    QImage image(W, H, QImage::Format_ARGB32_Premultiplied);
    bool whole = false;
    TMetafile::TPlayCost cost;
    for (auto _ : State) {
        // Filling an image of 5,000 pixels square takes longer than many plays.
        State.PauseTiming();
        image.fill(Qt::white);
        State.ResumeTiming();
        QPainter p(&image);
        whole = m.Draw(p, QRectF(0, 0, W, H), &cost);
        benchmark::DoNotOptimize(whole);
    }
    State.counters["whole"] = whole;
    State.counters["timed_out"] = cost.TimedOut;
    Whole()[Name + "@" + std::to_string(W)] = whole;
    Costs()[Name + "@" + std::to_string(W)] = cost;
}

void BM_Draw(benchmark::State& State)
{
    const auto& [name, bytes] = Files()[size_t(State.range(0))];
    Play(State, name, bytes, 600, 400);
}
BENCHMARK(BM_Draw)->DenseRange(0, int(Files().size()) - 1)->Unit(benchmark::kMillisecond)->Apply(FastestOf<3>);

// Each kind's budget is timed, not the play's time limit.
void BM_Kind(benchmark::State& State)
{
    const auto& [name, bytes] = KindFiles()[size_t(State.range(0))];
    TMetafile::SetTimeLimitFactor(1000);
    Play(State, name, bytes, 600, 400);
    TMetafile::SetTimeLimitFactor(1);
}
BENCHMARK(BM_Kind)->DenseRange(0, int(KindFiles().size()) - 1)->Unit(benchmark::kMillisecond)->Apply(FastestOf<3>);

void BM_DrawAt(benchmark::State& State)
{
    const auto& [name, bytes] = SizedFiles()[size_t(State.range(0))];
    Play(State, name, bytes, int(State.range(1)), 0);
}
BENCHMARK(BM_DrawAt)
    ->ArgsProduct({benchmark::CreateDenseRange(0, int(SizedFiles().size()) - 1, 1), {60, 600, 1500, 4800, 5000}})
    ->Unit(benchmark::kMillisecond)
    ->Apply(FastestOf<3>);

int PrintRatio(const TFastestRunReporter& Runs)
{
    const auto ordinary = Runs.Time("BM_Draw/1");
    for (size_t i = 0; i < Files().size(); ++i) {
        const auto t = Runs.Time("BM_Draw/" + std::to_string(i));
        if (t && ordinary && *ordinary > 0)
            std::printf("%-28s %8.2f ms per draw, %6.1f x shapes.emf\n", Files()[i].first.c_str(), *t,
                        *t / *ordinary);
    }
    // Units of work and of the rasteriser's work are meant to cost alike; pixels are a budget of their own.
    std::printf("\n%-22s %9s %9s %9s %10s %10s %10s\n", "budget kind at 600 x 400", "ms", "work", "raster", "pixels",
                "ns/unit", "ns/pixel");
    for (size_t i = 0; i < KindFiles().size(); ++i) {
        const auto t = Runs.Time("BM_Kind/" + std::to_string(i));
        const TMetafile::TPlayCost c = Costs()[KindFiles()[i].first + "@600"];
        const double ns = t ? *t * 1e6 : -1;
        std::printf("%-24s %7.1f %9lld %9lld %10lld %10.1f %10.2f\n", KindFiles()[i].first.c_str(), t ? *t : -1.0,
                    (long long)c.Work, (long long)c.Raster, (long long)c.Pixels,
                    ns / double(std::max<int64_t>(1, c.Work + c.Raster)), ns / double(std::max<int64_t>(1, c.Pixels)));
    }
    std::printf("\nwhole budget at 600 x 400: %lld units of work, %lld of the rasteriser's, %lld pixels; time limit %.0f ms\n",
                (long long)TMetafile::MaxWork, (long long)(1000 * TMetafile::RasterWorkPerPixel),
                (long long)std::max<int64_t>(TMetafile::MaxPixels, 600 * 400 * TMetafile::MaxOverdraw),
                TMetafile::TimeLimit(600 * 400) * 1000);
    std::printf("\n%-36s %16s %16s %16s %16s %16s\n", "ms per draw (W whole, - budget, T time)", "60 px", "600 px",
                "1,500 px", "4,800 px", "5,000 px");
    for (size_t i = 0; i < SizedFiles().size(); ++i) {
        std::printf("%-36s", SizedFiles()[i].first.c_str());
        for (const int w : {60, 600, 1500, 4800, 5000}) {
            const std::string name = "BM_DrawAt/" + std::to_string(i) + "/" + std::to_string(w);
            const auto t = Runs.Time(name);
            const std::string key = SizedFiles()[i].first + "@" + std::to_string(w);
            const auto whole = Whole().find(key);
            std::printf(" %13.2f %s", t ? *t : -1.0,
                        whole == Whole().end() ? "?" : whole->second ? "W" : Costs()[key].TimedOut ? "T" : "-");
        }
        std::printf("\n");
    }
    return 0;
}

} // namespace

LUMI_BENCHMARK_MAIN(PrintRatio)
