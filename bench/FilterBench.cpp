// The picture filters on a 24-megapixel picture (6000 x 4000), in megapixels
// per second of wall-clock time (the filters share the rows out over the
// cores). The summary gives the hue/saturation/lightness filter's rate against
// the 200 megapixels per second that keep a slider move well under a second
// on a large photo, and against the lookup-table filter in the same run.
#include "BenchSupport.h"
#include "uPictureFilter.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <QThreadPool>

namespace {

template <typename F>
void RunFilter(benchmark::State& state, F&& filter)
{
    QImage img = LargePhoto().copy();
    for (auto _ : state) {
        state.PauseTiming();
        img = LargePhoto().copy();
        state.ResumeTiming();
        filter(img);
        benchmark::DoNotOptimize(img.constBits());
    }
    const double megapixels = double(LargePhoto().width()) * LargePhoto().height() / 1e6;
    state.counters["MP/s"] =
        benchmark::Counter(megapixels, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_HKIGFilter(benchmark::State& state)
{
    RunFilter(state, [](QImage& img) { HKIGFilter(img, nullptr, 0.1f, 0.2f, -0.1f, 1.4f); });
}

void BM_HSLFilter(benchmark::State& state)
{
    RunFilter(state, [](QImage& img) { HSLFilter(img, nullptr, 0.25f, -0.2f, 0.1f); });
}

// The same on one core: the figure the machine's other work disturbs least.
void BM_HSLFilterOneCore(benchmark::State& state)
{
    QThreadPool* pool = QThreadPool::globalInstance();
    const int threads = pool->maxThreadCount();
    pool->setMaxThreadCount(1);
    RunFilter(state, [](QImage& img) { HSLFilter(img, nullptr, 0.25f, -0.2f, 0.1f); });
    pool->setMaxThreadCount(threads);
}

void BM_SWColFilter(benchmark::State& state)
{
    RunFilter(state, [](QImage& img) { SWColFilter(img, nullptr, 0.1f, 0.3f); });
}

void BM_CreateCloneCopy90(benchmark::State& state)
{
    RunFilter(state, [](QImage& img) { benchmark::DoNotOptimize(CreateCloneCopy(&img, 90)); });
}

}  // namespace

BENCHMARK(BM_HKIGFilter)->Unit(benchmark::kMillisecond)->UseRealTime()->Apply(FastestOf<5>);
BENCHMARK(BM_HSLFilter)->Unit(benchmark::kMillisecond)->UseRealTime()->Apply(FastestOf<5>);
BENCHMARK(BM_HSLFilterOneCore)->Unit(benchmark::kMillisecond)->UseRealTime()->Apply(FastestOf<3>);
BENCHMARK(BM_SWColFilter)->Unit(benchmark::kMillisecond)->UseRealTime()->Apply(FastestOf<5>);
BENCHMARK(BM_CreateCloneCopy90)->Unit(benchmark::kMillisecond)->UseRealTime();

namespace {

int Summary(const TFastestRunReporter& Runs)
{
    const auto hsl = Runs.Time("BM_HSLFilter");
    const auto hkig = Runs.Time("BM_HKIGFilter");
    if (!hsl)
        return 0;
    const double megapixels = double(LargePhoto().width()) * LargePhoto().height() / 1e6;
    const double rate = megapixels / (*hsl / 1e3);  // times in milliseconds
    constexpr double cGoal = 200;
    std::printf("\nHSL filter on 24 MP: %.0f MP/s (fastest of 5), %.2fx the goal of %.0f MP/s\n",
                rate, rate / cGoal, cGoal);
    if (const auto one = Runs.Time("BM_HSLFilterOneCore"))
        std::printf("HSL filter on one core: %.0f MP/s\n", megapixels / (*one / 1e3));
    if (hkig)
        std::printf("HSL filter time / lookup-table filter time: %.2f\n", *hsl / *hkig);
    return 0;
}

}  // namespace

LUMI_BENCHMARK_MAIN(Summary)
