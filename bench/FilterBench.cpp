// The picture filters on a 24-megapixel picture (6000 x 4000), in megapixels
// per second.
#include "BenchSupport.h"
#include "uPictureFilter.h"

#include <benchmark/benchmark.h>

#include <QImage>

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

void BM_SWColFilter(benchmark::State& state)
{
    RunFilter(state, [](QImage& img) { SWColFilter(img, nullptr, 0.1f, 0.3f); });
}

void BM_CreateCloneCopy90(benchmark::State& state)
{
    RunFilter(state, [](QImage& img) { benchmark::DoNotOptimize(CreateCloneCopy(&img, 90)); });
}

}  // namespace

BENCHMARK(BM_HKIGFilter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HSLFilter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SWColFilter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CreateCloneCopy90)->Unit(benchmark::kMillisecond);

LUMI_BENCHMARK_MAIN()
