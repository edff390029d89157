// The metafile player: the time of one play of small hostile files beside
// that of ordinary word-processor metafiles, each drawn at 600 x 400 pixels,
// and of the ordinary drawings LibreOffice Draw made and the hostile files with
// wide dashed pens, each at 60, 600 and 5,000 pixels wide.
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
    for (auto _ : State) {
        // Filling an image of 5,000 pixels square takes longer than many plays.
        State.PauseTiming();
        image.fill(Qt::white);
        State.ResumeTiming();
        QPainter p(&image);
        whole = m.Draw(p, QRectF(0, 0, W, H));
        benchmark::DoNotOptimize(whole);
    }
    State.counters["whole"] = whole;
    Whole()[Name + "@" + std::to_string(W)] = whole;
}

void BM_Draw(benchmark::State& State)
{
    const auto& [name, bytes] = Files()[size_t(State.range(0))];
    Play(State, name, bytes, 600, 400);
}
BENCHMARK(BM_Draw)->DenseRange(0, int(Files().size()) - 1)->Unit(benchmark::kMillisecond)->Apply(FastestOf<3>);

void BM_DrawAt(benchmark::State& State)
{
    const auto& [name, bytes] = SizedFiles()[size_t(State.range(0))];
    Play(State, name, bytes, int(State.range(1)), 0);
}
BENCHMARK(BM_DrawAt)
    ->ArgsProduct({benchmark::CreateDenseRange(0, int(SizedFiles().size()) - 1, 1), {60, 600, 5000}})
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
    std::printf("\n%-36s %16s %16s %16s\n", "ms per draw (whole: W)", "60 px", "600 px", "5,000 px");
    for (size_t i = 0; i < SizedFiles().size(); ++i) {
        std::printf("%-36s", SizedFiles()[i].first.c_str());
        for (const int w : {60, 600, 5000}) {
            const std::string name = "BM_DrawAt/" + std::to_string(i) + "/" + std::to_string(w);
            const auto t = Runs.Time(name);
            const auto whole = Whole().find(SizedFiles()[i].first + "@" + std::to_string(w));
            std::printf(" %13.2f %s", t ? *t : -1.0,
                        whole == Whole().end() ? "?" : whole->second ? "W" : "-");
        }
        std::printf("\n");
    }
    return 0;
}

} // namespace

LUMI_BENCHMARK_MAIN(PrintRatio)
