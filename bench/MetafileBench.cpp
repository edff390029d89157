// The metafile player: the time of one play of small hostile files beside
// that of ordinary word-processor metafiles, each drawn at 600 x 400 pixels.
#include "BenchSupport.h"
#include "Metafile.h"

#include "../tests/common/MetafileRecords.h"

#include <QFile>
#include <QPainter>

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

void BM_Draw(benchmark::State& State)
{
    const auto& [name, bytes] = Files()[size_t(State.range(0))];
    State.SetLabel(name);
    TMetafile m;
    if (!m.LoadFromBytes(bytes)) {
        State.SkipWithError("not a metafile");
        return;
    }
    QImage image(600, 400, QImage::Format_ARGB32_Premultiplied);
    bool whole = false;
    for (auto _ : State) {
        image.fill(Qt::white);
        QPainter p(&image);
        whole = m.Draw(p, QRectF(0, 0, 600, 400));
        benchmark::DoNotOptimize(whole);
    }
    // 1 when the play drew the whole picture, 0 when its budget ran out.
    State.counters["whole"] = whole;
}
BENCHMARK(BM_Draw)->DenseRange(0, int(Files().size()) - 1)->Unit(benchmark::kMillisecond)->Apply(FastestOf<3>);

int PrintRatio(const TFastestRunReporter& Runs)
{
    const auto ordinary = Runs.Time("BM_Draw/1");
    for (size_t i = 0; i < Files().size(); ++i) {
        const auto t = Runs.Time("BM_Draw/" + std::to_string(i));
        if (t && ordinary && *ordinary > 0)
            std::printf("%-28s %8.2f ms per draw, %6.1f x shapes.emf\n", Files()[i].first.c_str(), *t,
                        *t / *ordinary);
    }
    return 0;
}

} // namespace

LUMI_BENCHMARK_MAIN(PrintRatio)
