// Draws a 24-megapixel picture (6000 x 4000) into an A4 page through the
// bitmap draw context, at 300 dpi (2480 x 3508 pixels) and at screen size
// (96 dpi, 794 x 1123), by each of its picture operations. Milliseconds per
// call; the "turned" variants rotate the picture by 5 degrees.
#include "BenchSupport.h"
#include "Canvas.h"
#include "uBitmapDrawContext.h"

#include <QImage>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr float kPageW = 210;
constexpr float kPageH = 297;

// An A4 page at Dpi with a draw context in millimetres.
struct Page {
    TBitmap bmp;
    std::unique_ptr<TBitmapDrawContext> dc;
    explicit Page(int dpi)
    {
        bmp.SetSize(int(kPageW / 25.4f * dpi + 0.5f), int(kPageH / 25.4f * dpi + 0.5f));
        bmp.Image().fill(0xFFFFFFFFu);
        dc = std::make_unique<TBitmapDrawContext>(bmp);
        dc->Transformation->ScaleUniform(dpi / 25.4f);
    }
};

// The picture 190 x 126.67 mm, centred in the upper half of the page.
constexpr float kCX = 105, kCY = 80, kW = 190, kH = 190 * 4000.0f / 6000;

void BM_DrawImageGDIPlus(benchmark::State& state)
{
    Page page(int(state.range(0)));
    const float angle = float(state.range(1));
    const QImage& photo = LargePhoto();
    for (auto _ : state)
        page.dc->DrawImageGDIPlus(photo, kCX, kCY, kW, kH, angle, 0, 0, 6000, 4000);
}
BENCHMARK(BM_DrawImageGDIPlus)->ArgNames({"dpi", "angle"})->Args({300, 0})->Args({300, 5})
    ->Args({96, 0})->Args({96, 5})->Unit(benchmark::kMillisecond);

// The photo locked as bitmap data, drawn by Draw(dc, data) on a page of range(0) dpi
// turned by range(1) degrees about the picture's centre.
template <class FDraw>
void DrawLockedPhoto(benchmark::State& state, FDraw Draw)
{
    Page page(int(state.range(0)));
    QImage pic = LargePhoto();
    BitmapData data;
    LockBits(pic, data);
    if (state.range(1) != 0)
        page.dc->Transformation->RotateAt(kCX, kCY, float(state.range(1)));
    for (auto _ : state)
        Draw(*page.dc, data);
}

void BM_DrawBitmapData(benchmark::State& state)
{
    DrawLockedPhoto(state, [](TBitmapDrawContext& dc, const BitmapData& data) {
        dc.DrawBitmapData(data, kCX - kW / 2, kCY - kH / 2, kW, kH, 0, 0, 6000, 4000);
    });
}
BENCHMARK(BM_DrawBitmapData)->ArgNames({"dpi", "angle"})->Args({300, 0})->Args({300, 5})
    ->Args({96, 0})->Unit(benchmark::kMillisecond);

void BM_DrawImageAlpha(benchmark::State& state)
{
    DrawLockedPhoto(state, [](TBitmapDrawContext& dc, const BitmapData& data) {
        dc.DrawImageAlpha(data, kCX - kW / 2, kCY - kH / 2, kW, kH, 0, 0, 6000, 4000);
    });
}
BENCHMARK(BM_DrawImageAlpha)->ArgNames({"dpi", "angle"})->Args({300, 0})->Args({300, 5})
    ->Args({96, 0})->Unit(benchmark::kMillisecond);

void BM_DrawShadowRect(benchmark::State& state)
{
    Page page(int(state.range(0)));
    for (auto _ : state)
        page.dc->DrawShadowRect(kCX + 2, kCY + 2, kW, kH, 5, 3);
}
BENCHMARK(BM_DrawShadowRect)->ArgNames({"dpi"})->Arg(300)->Arg(96)->Unit(benchmark::kMillisecond);

}  // namespace

LUMI_BENCHMARK_MAIN()
