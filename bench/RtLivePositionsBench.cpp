// The register of live positions under load: a text of 2,000 paragraphs of
// several lines each, with 1,000 positions registered on lines all over it,
// is broken into lines anew paragraph by paragraph, and a copy of the whole
// chain (as undo keeps one) is made and freed. Each registered position is
// checked to stay on a line of its paragraph. Times per paragraph are printed.
#include "BenchSupport.h"
#include "RtRtfTxtPaint.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int ParCount = 2000;
constexpr int HolderCount = 1000;

struct THolder {
    TParagraph* Par = nullptr;
    TLine* Line = nullptr;
    int32_t Pos = 0;
};

class TBenchText {
public:
    TBenchText()
    {
        TTextHeader* h = engine.Header();
        h->BeginUpdate();
        h->SetLeftMargin(1440);
        h->SetRightMargin(1440);
        h->SetPageWidth(2880 + 9071);
        h->EndUpdate();
        engine.SetReferenceCanvas(&canvas);
        engine.SetSurfaceSize(800, 600);
        TParagraph* p = engine.FirstPar;
        for (int i = 0; i < ParCount; ++i) {
            if (i > 0)
                engine.InsertPar(p, 8);
            const std::string s = ParText(i, 400);
            engine.AddParText(i, reinterpret_cast<const uint8_t*>(s.data()), nullptr, int32_t(s.size()));
            pars.push_back(p);
        }
        engine.UpdateLayout();
        // Every second paragraph holds a position on its last line.
        holders.resize(HolderCount);
        for (int i = 0; i < HolderCount; ++i) {
            THolder& h = holders[size_t(i)];
            h.Par = pars[size_t(i * 2 % ParCount)];
            h.Line = TRtRTFText::GetLastLine(h.Par);
            h.Pos = h.Line->Length / 2;
            engine.Positions().Add(h.Par, h.Line, h.Pos);
        }
    }
    ~TBenchText() { engine.Positions().Remove(holders.data(), holders.size() * sizeof(THolder)); }

    // Every holder on a line of its paragraph.
    bool HoldersLive() const
    {
        for (const THolder& h : holders) {
            bool found = false;
            for (const TLine* l = h.Par ? h.Par->Lines : nullptr; l && !found; l = l->Next)
                found = l == h.Line && h.Pos <= l->Length;
            if (!found)
                return false;
        }
        return true;
    }

    TCanvas canvas;
    TRtRTFTextPaint engine;
    std::vector<TParagraph*> pars;
    std::vector<THolder> holders;
};

void BM_RtLivePositionsRebreakEveryParagraph(benchmark::State& State)
{
    TBenchText b;
    for (auto _ : State)
        for (TParagraph* p : b.pars)
            benchmark::DoNotOptimize(b.engine.BreakParagraph(p, true));
    if (!b.HoldersLive())
        State.SkipWithError("a position left its paragraph's lines");
    State.SetItemsProcessed(State.iterations() * ParCount);
}
BENCHMARK(BM_RtLivePositionsRebreakEveryParagraph)->Unit(benchmark::kMillisecond)->Apply(FastestOf<3>);

void BM_RtLivePositionsCopyAndFreeChain(benchmark::State& State)
{
    TBenchText b;
    b.engine.PrepareCopyMaps(nullptr);
    for (auto _ : State) {
        TParagraph* copy = b.engine.DuplicateChain(b.engine.FirstPar, nullptr, nullptr);
        b.engine.FreeParChain(copy);
    }
    if (!b.HoldersLive())
        State.SkipWithError("a position left its paragraph's lines");
    State.SetItemsProcessed(State.iterations() * ParCount);
}
BENCHMARK(BM_RtLivePositionsCopyAndFreeChain)->Unit(benchmark::kMillisecond)->Apply(FastestOf<3>);

int PrintTimes(const TFastestRunReporter& Runs)
{
    const auto rebreak = Runs.Time("BM_RtLivePositionsRebreakEveryParagraph");
    const auto chain = Runs.Time("BM_RtLivePositionsCopyAndFreeChain");
    if (rebreak)
        std::printf("re-breaking one paragraph with %d positions registered: %.2f us\n", HolderCount,
                    *rebreak * 1000.0 / ParCount);
    if (chain)
        std::printf("copying and freeing one paragraph with %d positions registered: %.2f us\n", HolderCount,
                    *chain * 1000.0 / ParCount);
    return 0;
}

}  // namespace

LUMI_BENCHMARK_MAIN(PrintTimes)
