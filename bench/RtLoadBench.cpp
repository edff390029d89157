// Loading RTF into the edit control as the text panel does (engine attached,
// laid out once the load ends): texts that cycle through 300 fonts in three
// styles, and texts whose paragraphs each set a tab stop of their own (past
// the table's 64), each at two sizes. The time of the larger over that of the
// smaller is printed; loading linear in the input gives about 4.
#include "BenchSupport.h"
#include "RichText.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

// Count font switches among 300 fonts (bold and italic in turn) in paragraphs of 40.
std::string FontSwitches(int Count)
{
    std::string s = "{\\rtf1\\ansi{\\fonttbl";
    for (int f = 0; f < 300; ++f)
        s += "{\\f" + std::to_string(f) + " Font" + std::to_string(f) + ";}";
    s += "}";
    for (int i = 0; i < Count; ++i) {
        s += "{\\f" + std::to_string(i * 7 % 300) + (i % 3 == 1 ? "\\b" : i % 3 == 2 ? "\\i" : "") + " w}";
        if (i % 40 == 39)
            s += "\\par\n";
    }
    return s + "}";
}

// Count paragraphs, each with a tab stop of its own.
std::string TabStops(int Count)
{
    std::string s = "{\\rtf1\\ansi ";
    for (int i = 1; i <= Count; ++i)
        s += "\\pard\\tx" + std::to_string(720 * i) + " a\\tab b\\par\n";
    return s + "}";
}

void Load(benchmark::State& State, const std::string& Rtf)
{
    auto rtf = std::make_unique<TRtRichText>();
    rtf->resize(640, 480);
    for (auto _ : State)
        rtf->SetText(Rtf);
    if (!rtf->RtfText()->FirstPar || !rtf->RtfText()->FirstPar->Next)
        State.SkipWithError("the text was not read");
    State.SetBytesProcessed(int64_t(State.iterations()) * int64_t(Rtf.size()));
}

void BM_LoadFontSwitches(benchmark::State& State) { Load(State, FontSwitches(int(State.range(0)))); }
BENCHMARK(BM_LoadFontSwitches)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond)->Apply(FastestOf<3>);

void BM_LoadTabStops(benchmark::State& State) { Load(State, TabStops(int(State.range(0)))); }
BENCHMARK(BM_LoadTabStops)->Arg(4000)->Arg(16000)->Unit(benchmark::kMillisecond)->Apply(FastestOf<3>);

int PrintRatio(const TFastestRunReporter& Runs)
{
    for (const char* name : {"BM_LoadFontSwitches/10000", "BM_LoadTabStops/4000"}) {
        const std::string small = name;
        const std::string large = small.substr(0, small.find('/')) +
                                  (small.find("Font") != std::string::npos ? "/40000" : "/16000");
        const auto a = Runs.Time(small), b = Runs.Time(large);
        if (a && b && *a > 0)
            std::printf("%s: 4 x the input takes %.1f x the time\n", large.c_str(), *b / *a);
    }
    return 0;
}

} // namespace

LUMI_BENCHMARK_MAIN(PrintRatio)
