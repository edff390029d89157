// Writes a data file of N records (ten per section), reopens it and reads every
// record back through the index. Reports records per second and the time of the
// large file against the small one: with lookups of constant cost the ratio
// stays near 20 (20,000 / 1,000 records) and must stay below it.
#include "uDataFile.h"

#include "SysUtils.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

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
// The fastest of several repetitions is the least disturbed by the machine.
BENCHMARK(BM_DataFileWriteReopenRead)
    ->Arg(1000)
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(7)
    ->ComputeStatistics("min",
                        [](const std::vector<double>& v) {
                            return *std::min_element(v.begin(), v.end());
                        })
    ->DisplayAggregatesOnly(true);

// Console output plus the fastest time per iteration (milliseconds) of each size.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "min" &&
                !run.error_occurred)
                milliseconds[std::stoi(run.run_name.args)] = run.GetAdjustedRealTime();
    }
    std::map<int, double> milliseconds;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    for (const auto& [records, ms] : reporter.milliseconds)
        std::printf("fastest run of %d records: %.2f ms, %.0f records/s\n", records, ms,
                    records / ms * 1000.0);
    const auto small = reporter.milliseconds.find(1000);
    const auto large = reporter.milliseconds.find(20000);
    if (small == reporter.milliseconds.end() || large == reporter.milliseconds.end())
        return 0;
    const double ratio = large->second / small->second;
    std::printf("time for 20000 records / time for 1000 records: %.2f (must stay below 20)\n",
                ratio);
    return ratio < 20.0 ? 0 : 1;
}
