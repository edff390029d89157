// Draws a 24-megapixel picture (6000 x 4000) into an A4 page through the
// bitmap draw context, at 300 dpi (2480 x 3508 pixels) and at screen size
// (96 dpi, 794 x 1123), by each of its picture operations. Milliseconds per
// call; the "turned" variants rotate the picture by 5 degrees.
#include "Canvas.h"
#include "uBitmapDrawContext.h"

#include <QGuiApplication>
#include <QImage>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr float kPageW = 210;
constexpr float kPageH = 297;

const QImage& Picture()
{
    static const QImage picture = [] {
        QImage img(6000, 4000, QImage::Format_ARGB32);
        for (int y = 0; y < img.height(); ++y) {
            auto* row = reinterpret_cast<uint32_t*>(img.scanLine(y));
            for (int x = 0; x < img.width(); ++x)
                row[x] = 0xFF000000u | uint32_t((x * 255 / 6000) << 16) | uint32_t((y * 255 / 4000) << 8) |
                         uint32_t((x ^ y) & 0xFF);
        }
        return img;
    }();
    return picture;
}

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
    for (auto _ : state)
        page.dc->DrawImageGDIPlus(Picture(), kCX, kCY, kW, kH, angle, 0, 0, 6000, 4000);
}
BENCHMARK(BM_DrawImageGDIPlus)->ArgNames({"dpi", "angle"})->Args({300, 0})->Args({300, 5})
    ->Args({96, 0})->Args({96, 5})->Unit(benchmark::kMillisecond);

void BM_DrawBitmapData(benchmark::State& state)
{
    Page page(int(state.range(0)));
    QImage pic = Picture();
    BitmapData data;
    LockBits(pic, data);
    if (state.range(1) != 0) {
        page.dc->Transformation->RotateAt(kCX, kCY, float(state.range(1)));
    }
    for (auto _ : state)
        page.dc->DrawBitmapData(data, kCX - kW / 2, kCY - kH / 2, kW, kH, 0, 0, 6000, 4000);
}
BENCHMARK(BM_DrawBitmapData)->ArgNames({"dpi", "angle"})->Args({300, 0})->Args({300, 5})
    ->Args({96, 0})->Unit(benchmark::kMillisecond);

void BM_DrawImageAlpha(benchmark::State& state)
{
    Page page(int(state.range(0)));
    QImage pic = Picture();
    BitmapData data;
    LockBits(pic, data);
    if (state.range(1) != 0)
        page.dc->Transformation->RotateAt(kCX, kCY, float(state.range(1)));
    for (auto _ : state)
        page.dc->DrawImageAlpha(data, kCX - kW / 2, kCY - kH / 2, kW, kH, 0, 0, 6000, 4000);
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

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Picture();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
