// Writes a data file of N records (ten per section), reopens it and reads every
// record back through the index. Reports records per second and the time of the
// large file against the small one: with lookups of constant cost the ratio
// stays near 20 (20,000 / 1,000 records) and must stay below it.
#include "BenchSupport.h"
#include "uDataFile.h"

#include "SysUtils.h"

#include <QTemporaryDir>

#include <cstdio>
#include <utility>

namespace {

constexpr int kRecordsPerSection = 10;

AnsiString SectionName(int s)
{
    return "Doc/Pages/Page" + IntToStr(s) + "/Elementlist";
}

AnsiString KeyName(int k)
{
    return "Element" + IntToStr(k);
}

void BM_DataFileWriteReopenRead(benchmark::State& state)
{
    const int records = int(state.range(0));
    const int sections = records / kRecordsPerSection;
    QTemporaryDir dir;
    const QString name = dir.filePath("bench.zpb");
    for (auto _ : state) {
        DeleteFile(name);
        {
            TDataFile f(name);
            for (int s = 0; s < sections; ++s) {
                const AnsiString section = SectionName(s);
                for (int k = 0; k < kRecordsPerSection; ++k)
                    f.WriteInteger(section, KeyName(k), s * kRecordsPerSection + k);
            }
        }
        TDataFile f(name);
        int64_t sum = 0;
        for (int s = 0; s < sections; ++s) {
            const AnsiString section = SectionName(s);
            for (int k = 0; k < kRecordsPerSection; ++k)
                sum += f.ReadInteger(section, KeyName(k), -1);
        }
        const int64_t expected = int64_t(records) * (records - 1) / 2;
        if (sum != expected) {
            state.SkipWithError("records read back wrong");
            break;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.counters["records/s"] =
        benchmark::Counter(double(records) * double(state.iterations()),
                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DataFileWriteReopenRead)
    ->Arg(1000)
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond)
    ->Apply(FastestOf<7>);

// Records per second of each size and the time of the large file against the small
// one; the exit code is 1 when that ratio reaches 20.
int PrintRecordsPerSecond(const TFastestRunReporter& Runs)
{
    const auto small = Runs.Time("BM_DataFileWriteReopenRead/1000");
    const auto large = Runs.Time("BM_DataFileWriteReopenRead/20000");
    for (const auto& [records, ms] : {std::pair{1000, small}, std::pair{20000, large}})
        if (ms)
            std::printf("fastest run of %d records: %.2f ms, %.0f records/s\n", records, *ms,
                        records / *ms * 1000.0);
    if (!small || !large)
        return 0;
    const double ratio = *large / *small;
    std::printf("time for 20000 records / time for 1000 records: %.2f (must stay below 20)\n",
                ratio);
    return ratio < 20.0 ? 0 : 1;
}

}  // namespace

LUMI_BENCHMARK_MAIN(PrintRecordsPerSecond)
