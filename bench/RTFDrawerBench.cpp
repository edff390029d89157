// A text box of 200 words of rich text (three fonts, bold, italic, colours,
// four paragraphs): setting the RTF (parse and measure), laying it out, and
// drawing it into a 100 x 160 mm box at screen resolution and at 300 dpi.
// Drawing the same words as plain wrapped text through the draw context is the
// baseline; the ratio against it is printed at the end. Milliseconds per call.
#include "BenchSupport.h"
#include "uBitmapDrawContext.h"
#include "uRTFDrawer.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace {

const char* const Words[] = {"Fotobuch", "Sommer",  "am",     "Meer",    "mit",   "der",
                             "ganzen",   "Familie", "und",    "Freunden", "bei",   "Sonne",
                             "Wind",     "Wellen",  "Sand",   "Abend",   "Hafen", "Boote"};

AnsiString PlainText()
{
    AnsiString s;
    for (int i = 0; i < 200; ++i) {
        if (i > 0)
            s += ' ';
        s += Words[i % std::size(Words)];
    }
    return s;
}

AnsiString RichText()
{
    AnsiString s =
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\froman Times New Roman;}"
        "{\\f2\\fmodern Courier New;}}{\\colortbl;\\red200\\green0\\blue0;\\red0\\green90\\blue160;}"
        "\\pard\\plain\\qj\\f0\\fs20 ";
    for (int i = 0; i < 200; ++i) {
        const AnsiString w = Words[i % std::size(Words)];
        if (i % 50 == 49)
            s += w + "\\par ";
        else if (i % 10 == 3)
            s += "{\\b " + w + "} ";
        else if (i % 10 == 7)
            s += "{\\i\\cf1 " + w + "} ";
        else if (i % 25 == 12)
            s += "{\\f1\\fs28\\cf2 " + w + "} ";
        else if (i % 33 == 20)
            s += "{\\f2 " + w + "} ";
        else
            s += w + " ";
    }
    return s + "}";
}

constexpr float BoxW = 100, BoxH = 160;

// A bitmap of the box at the given resolution, and a draw context mapping millimetres onto it.
struct Target {
    explicit Target(int dpi)
    {
        const float scale = dpi / 25.4f;
        bitmap.SetSize(int(BoxW * scale) + 2, int(BoxH * scale) + 2);
        dc = std::make_unique<TBitmapDrawContext>(bitmap);
        dc->Transformation->ScaleUniform(scale);
    }
    TBitmap bitmap;
    std::unique_ptr<TBitmapDrawContext> dc;
};

void BM_RTFSetText(benchmark::State& state)
{
    const AnsiString rtf = RichText();
    TRTFDrawer d;
    for (auto _ : state) {
        d.SetRTFText(rtf);
        benchmark::DoNotOptimize(d.TokenCount());
    }
}
BENCHMARK(BM_RTFSetText)->Unit(benchmark::kMillisecond);

void BM_RTFLayoutLines(benchmark::State& state)
{
    TRTFDrawer d;
    d.SetRTFText(RichText());
    for (auto _ : state) {
        d.LayoutLines(BoxW);
        benchmark::DoNotOptimize(d.LineCount());
    }
}
BENCHMARK(BM_RTFLayoutLines)->Unit(benchmark::kMillisecond);

void BM_RTFDraw(benchmark::State& state)
{
    TRTFDrawer d;
    d.SetRTFText(RichText());
    Target t(int(state.range(0)));
    for (auto _ : state) {
        d.Draw(*t.dc, 3, BoxW / 2, BoxH / 2, BoxW, BoxH, 0);
        t.bitmap.Image();  // finish the painting
    }
    if (d.TotalHeight() > BoxH)
        state.SkipWithError("text taller than the box");
}
BENCHMARK(BM_RTFDraw)->Arg(96)->Arg(300)->Unit(benchmark::kMillisecond);

void BM_PlainDrawText(benchmark::State& state)
{
    const AnsiString text = PlainText();
    Target t(int(state.range(0)));
    TFont font;
    font.SetName("Arial");
    font.SetSize(10);
    t.dc->SetFont(font);
    for (auto _ : state) {
        t.dc->DrawText(text, DT_WORDWRAP, 0, 0, BoxW, BoxH);
        t.bitmap.Image();
    }
}
BENCHMARK(BM_PlainDrawText)->Arg(96)->Arg(300)->Unit(benchmark::kMillisecond);

// Drawing rich text against plain wrapped text at each resolution.
int PrintRatiosToPlainText(const TFastestRunReporter& Runs)
{
    for (const std::string dpi : {"96", "300"}) {
        const auto rich = Runs.Time("BM_RTFDraw/" + dpi);
        const auto plain = Runs.Time("BM_PlainDrawText/" + dpi);
        if (rich && plain)
            std::printf("%s dpi: rich text draw / plain wrapped text draw: %.2f\n", dpi.c_str(),
                        *rich / *plain);
    }
    return 0;
}

}  // namespace

LUMI_BENCHMARK_MAIN(PrintRatiosToPlainText)
