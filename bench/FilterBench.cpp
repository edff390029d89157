// The picture filters on a 24-megapixel picture (6000 x 4000), in megapixels
// per second.
#include "uPictureFilter.h"

#include <benchmark/benchmark.h>

#include <QImage>

namespace {

constexpr int cWidth = 6000;
constexpr int cHeight = 4000;

// A photo-like picture: colour gradients with some noise.
const QImage& Picture()
{
    static const QImage img = [] {
        QImage i(cWidth, cHeight, QImage::Format_ARGB32);
        uint32_t seed = 12345;
        for (int y = 0; y < cHeight; ++y) {
            QRgb* line = reinterpret_cast<QRgb*>(i.scanLine(y));
            for (int x = 0; x < cWidth; ++x) {
                seed = seed * 1664525u + 1013904223u;
                const int n = int(seed >> 28);
                line[x] = qRgb((x * 255 / cWidth + n) & 255, (y * 255 / cHeight + n) & 255,
                               ((x + y) * 255 / (cWidth + cHeight)) & 255);
            }
        }
        return i;
    }();
    return img;
}

template <typename F>
void RunFilter(benchmark::State& state, F&& filter)
{
    QImage img = Picture().copy();
    for (auto _ : state) {
        state.PauseTiming();
        img = Picture().copy();
        state.ResumeTiming();
        filter(img);
        benchmark::DoNotOptimize(img.constBits());
    }
    state.counters["MP/s"] = benchmark::Counter(double(cWidth) * cHeight / 1e6,
                                                benchmark::Counter::kIsIterationInvariantRate);
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

BENCHMARK_MAIN();
