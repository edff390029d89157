// The editor engine's formatting against QTextDocument: a text of 5,000 words
// in mixed fonts, sizes and styles is laid out at a width of 160 mm, whole,
// and again after one keystroke in its middle (a character typed, then
// deleted). QTextDocument lays out the same text with the same character
// formats at the same width. The ratio of the whole-text times and the time
// of one keystroke's re-formatting are printed.
#include "BenchSupport.h"
#include "RtRtfTxtPaint.h"

#include <QAbstractTextDocumentLayout>
#include <QTextCursor>
#include <QTextDocument>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int WordCount = 5000;
constexpr int WordsPerPar = 80;
constexpr int WidthTwips = 9071;   // 160 mm

struct TWordLook {
    const char* Font;
    int Size;
    bool Bold;
    bool Italic;
};

const TWordLook& LookOf(int Word)
{
    static const TWordLook looks[] = {{"Liberation Sans", 11, false, false}, {"Liberation Sans", 11, true, false},
                                      {"Liberation Serif", 12, false, true}, {"Liberation Sans", 14, false, false},
                                      {"DejaVu Sans", 10, false, false},     {"Liberation Serif", 12, true, true}};
    // Runs of a few words in one look, as typed text has.
    return looks[(Word / 7 + Word / 23) % std::size(looks)];
}

std::string WordAt(int I)
{
    static const char* const words[] = {"Fotobuch", "Sommer", "am", "Meer", "mit", "der", "ganzen", "Familie",
                                        "und", "Freunden", "Sonne", "Wind", "Wellen", "zwischen", "Dünen"};
    return words[(I * 7 + I / 5) % std::size(words)];
}

// Paragraphs of words, each word with its look's index.
struct TBenchText {
    std::vector<std::string> Pars;
    std::vector<std::vector<int>> Looks;   // per character
};

const TBenchText& Text()
{
    static const TBenchText text = [] {
        TBenchText t;
        for (int w = 0; w < WordCount; ++w) {
            if (w % WordsPerPar == 0) {
                t.Pars.emplace_back();
                t.Looks.emplace_back();
            }
            std::string word = WordAt(w);
            if (w % WordsPerPar != WordsPerPar - 1)
                word += ' ';
            t.Pars.back() += word;
            t.Looks.back().insert(t.Looks.back().end(), word.size(), w);
        }
        return t;
    }();
    return text;
}

class TBenchEngine {
public:
    TBenchEngine()
    {
        TTextHeader* h = engine.Header();
        h->BeginUpdate();
        h->SetLeftMargin(1440);
        h->SetRightMargin(1440);
        h->SetPageWidth(2880 + WidthTwips);
        h->EndUpdate();
        engine.SetReferenceCanvas(&canvas);
        engine.SetSurfaceSize(800, 600);
        const TBenchText& t = Text();
        TParagraph* p = engine.FirstPar;
        for (size_t i = 0; i < t.Pars.size(); ++i) {
            if (i > 0)
                engine.InsertPar(p, 8);
            engine.AddParText(int32_t(i), reinterpret_cast<const uint8_t*>(t.Pars[i].data()), nullptr,
                              int32_t(t.Pars[i].size()));
            int32_t n = 0;
            for (TLine* l = p->Lines; l; l = l->Next)
                for (int32_t k = 0; k < l->Length; ++k, ++n) {
                    const TWordLook& look = LookOf(t.Looks[i][size_t(n)]);
                    TAttr& a = l->Attrs[k];
                    a.Font = uint16_t(h->GetFontIndex(look.Font));
                    a.Size = uint16_t(look.Size);
                    a.Style.Set(afsBold, look.Bold);
                    a.Style.Set(afsItalic, look.Italic);
                }
        }
        engine.UpdateLayout();
    }
    TCanvas canvas;
    TRtRTFTextPaint engine;
};

void BM_RtEngineFormatWholeText(benchmark::State& State)
{
    TBenchEngine b;
    for (auto _ : State) {
        b.engine.UpdateLayout();
        benchmark::DoNotOptimize(b.engine.TextHeight);
    }
    if (b.engine.TextHeight <= 0)
        State.SkipWithError("nothing was laid out");
}
BENCHMARK(BM_RtEngineFormatWholeText)->Unit(benchmark::kMillisecond)->Apply(FastestOf<3>);

void BM_RtEngineKeystroke(benchmark::State& State)
{
    TBenchEngine b;
    TRtRTFTextPaint& e = b.engine;
    TParagraph* middle = e.GetParByIndex(e.CountPars() / 2);
    const int32_t pos = TRtRTFText::GetParLength(middle) / 2;
    const std::string before = std::to_string(TRtRTFText::GetParLength(middle));
    for (auto _ : State) {
        // Type a character, re-format; delete it again, re-format.
        int32_t p = pos;
        TLine* line = TRtRTFText::LineAtParPos(middle, p);
        e.InsertChar(middle, line, nullptr, 'x', p);
        e.UpdateAfterChange(true);
        p = pos;
        line = TRtRTFText::LineAtParPos(middle, p);
        e.DeleteChar(middle, line, p);
        e.UpdateAfterChange(true);
    }
    if (std::to_string(TRtRTFText::GetParLength(middle)) != before)
        State.SkipWithError("the text did not return to its start");
    State.SetItemsProcessed(State.iterations() * 2);
}
BENCHMARK(BM_RtEngineKeystroke)->Unit(benchmark::kMicrosecond)->Apply(FastestOf<3>);

void BM_QTextDocumentLayoutWholeText(benchmark::State& State)
{
    QTextDocument doc;
    doc.setDocumentMargin(0);
    QTextCursor cursor(&doc);
    const TBenchText& t = Text();
    for (size_t i = 0; i < t.Pars.size(); ++i) {
        if (i > 0)
            cursor.insertBlock();
        const std::string& s = t.Pars[i];
        size_t k = 0;
        while (k < s.size()) {
            const int word = t.Looks[i][k];
            size_t end = k;
            while (end < s.size() && t.Looks[i][end] == word)
                ++end;
            const TWordLook& look = LookOf(word);
            QTextCharFormat f;
            f.setFontFamilies({QString::fromLatin1(look.Font)});
            f.setFontPointSize(look.Size);
            f.setFontWeight(look.Bold ? QFont::Bold : QFont::Normal);
            f.setFontItalic(look.Italic);
            cursor.insertText(QString::fromLatin1(s.data() + k, qsizetype(end - k)), f);
            k = end;
        }
    }
    const double width = WidthTwips / 15.0;   // pixels at 96 dpi
    doc.setTextWidth(width);
    for (auto _ : State) {
        doc.markContentsDirty(0, doc.characterCount());
        benchmark::DoNotOptimize(doc.documentLayout()->documentSize().height());
    }
}
BENCHMARK(BM_QTextDocumentLayoutWholeText)->Unit(benchmark::kMillisecond)->Apply(FastestOf<3>);

int PrintRatio(const TFastestRunReporter& Runs)
{
    const auto engine = Runs.Time("BM_RtEngineFormatWholeText");
    const auto doc = Runs.Time("BM_QTextDocumentLayoutWholeText");
    const auto key = Runs.Time("BM_RtEngineKeystroke");
    if (engine && doc)
        std::printf("whole text: engine %.2f ms, QTextDocument %.2f ms, QTextDocument / engine: %.2f\n", *engine,
                    *doc, *doc / *engine);
    if (key)
        std::printf("one keystroke's re-formatting: %.3f ms\n", *key / 2000.0);
    return 0;
}

}  // namespace

LUMI_BENCHMARK_MAIN(PrintRatio)
