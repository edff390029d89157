// The editor's text store against QTextDocument: a text of 1,000 paragraphs
// gets 100,000 characters typed one by one at scattered positions, which are
// then deleted again one by one (the text ends as it began). The same edits go
// through QTextCursor::insertText and deleteChar on a QTextDocument holding the
// same text. Characters per second of both and their ratio are printed.
// Besides, texts of 20,000 and 80,000 paragraphs are built through the readers'
// character sink; the ratio of their time per character shows it stays linear.
#include "BenchSupport.h"
#include "RtRtfTxtIo.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int ParCount = 1000;
constexpr int Edits = 100000;

// The scattered edits: paragraph, position in it, character. Deleting them in
// reverse order at the same places restores the text.
struct TEdit {
    int Par;
    int Pos;
    char Ch;
};

const std::vector<TEdit>& Edits100k()
{
    static const std::vector<TEdit> edits = [] {
        std::vector<int> lengths(ParCount);
        for (int i = 0; i < ParCount; ++i)
            lengths[size_t(i)] = int(ParText(i, 60).size());
        std::mt19937 rng(13);
        std::vector<TEdit> v;
        v.reserve(Edits);
        for (int i = 0; i < Edits; ++i) {
            const int p = int(rng() % ParCount);
            const int pos = int(rng() % uint32_t(lengths[size_t(p)] + 1));
            v.push_back(TEdit{p, pos, char('a' + rng() % 26)});
            ++lengths[size_t(p)];
        }
        return v;
    }();
    return edits;
}

void BM_RtStoreTypeAndDelete(benchmark::State& State)
{
    TRtRTFText text;
    std::vector<TParagraph*> pars;
    TParagraph* p = text.FirstPar;
    for (int i = 0; i < ParCount; ++i) {
        if (i > 0)
            text.InsertPar(p, 64);
        const std::string s = ParText(i, 60);
        text.AddParText(i, reinterpret_cast<const uint8_t*>(s.data()), nullptr, int32_t(s.size()));
        pars.push_back(p);
    }
    TAttr attr;
    attr.Style.Include(afsBold);
    const auto& edits = Edits100k();
    for (auto _ : State) {
        for (const TEdit& e : edits)
            text.InsertChar(pars[size_t(e.Par)], nullptr, &attr, uint8_t(e.Ch), e.Pos);
        for (auto it = edits.rbegin(); it != edits.rend(); ++it) {
            TParagraph* par = pars[size_t(it->Par)];
            int32_t pos = it->Pos;
            TLine* line = par->Lines;
            while (line->Next && pos >= line->Length) {
                pos -= line->Length;
                line = line->Next;
            }
            text.DeleteChar(par, line, pos);
        }
    }
    if (TRtRTFText::GetParLength(pars[0]) != int32_t(ParText(0, 60).size()))
        State.SkipWithError("the text did not return to its start");
    State.SetItemsProcessed(State.iterations() * 2 * Edits);
}
BENCHMARK(BM_RtStoreTypeAndDelete)->Unit(benchmark::kMillisecond)->Apply(FastestOf<3>);

void BM_QTextDocumentTypeAndDelete(benchmark::State& State)
{
    QTextDocument doc;
    {
        QString all;
        for (int i = 0; i < ParCount; ++i) {
            if (i > 0)
                all += QChar::ParagraphSeparator;
            all += QString::fromLatin1(ParText(i, 60).c_str());
        }
        doc.setPlainText(all);
    }
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    QTextCursor cursor(&doc);
    const auto& edits = Edits100k();
    std::vector<QTextBlock> blocks;
    for (int i = 0; i < ParCount; ++i)
        blocks.push_back(doc.findBlockByNumber(i));
    for (auto _ : State) {
        for (const TEdit& e : edits) {
            cursor.setPosition(blocks[size_t(e.Par)].position() + e.Pos);
            cursor.insertText(QString(QChar::fromLatin1(e.Ch)), bold);
        }
        for (auto it = edits.rbegin(); it != edits.rend(); ++it) {
            cursor.setPosition(blocks[size_t(it->Par)].position() + it->Pos);
            cursor.deleteChar();
        }
    }
    if (doc.blockCount() != ParCount || blocks[0].length() - 1 != int(ParText(0, 60).size()))
        State.SkipWithError("the document did not return to its start");
    State.SetItemsProcessed(State.iterations() * 2 * Edits);
}
BENCHMARK(BM_QTextDocumentTypeAndDelete)->Unit(benchmark::kMillisecond)->Apply(FastestOf<3>);

// A reader's sink: a text of Pars paragraphs of 60 characters appended one
// character at a time. Per character a long text should cost what a short one does.
void BM_RtStoreAppendChars(benchmark::State& State)
{
    const int pars = int(State.range(0));
    std::string all;
    for (int i = 0; i < pars; ++i) {
        if (i > 0)
            all += '\r';
        all += ParText(i, 60);
    }
    for (auto _ : State) {
        TRtRTFTextIo text;
        const TParagraph props;
        for (char ch : all)
            text.AppendChar(text.CurrentAttr, uint8_t(ch), props);
        if (text.CountPars() != pars)
            State.SkipWithError("the paragraphs did not come out");
    }
    State.SetItemsProcessed(State.iterations() * int64_t(all.size()));
}
BENCHMARK(BM_RtStoreAppendChars)->Arg(20000)->Arg(80000)->Unit(benchmark::kMillisecond)->Apply(FastestOf<3>);

int PrintRatio(const TFastestRunReporter& Runs)
{
    const auto store = Runs.Time("BM_RtStoreTypeAndDelete");
    const auto doc = Runs.Time("BM_QTextDocumentTypeAndDelete");
    if (store && doc) {
        const double chars = 2.0 * Edits;
        std::printf("text store: %.0f characters/s, QTextDocument: %.0f characters/s\n",
                    chars / (*store / 1000.0), chars / (*doc / 1000.0));
        std::printf("characters per second, text store / QTextDocument: %.2f\n", *doc / *store);
    }
    const auto small = Runs.Time("BM_RtStoreAppendChars/20000");
    const auto large = Runs.Time("BM_RtStoreAppendChars/80000");
    if (small && large)
        std::printf("appending, time per character of 80,000 paragraphs / of 20,000 paragraphs: %.2f\n",
                    (*large / 4.0) / *small);
    return 0;
}

}  // namespace

LUMI_BENCHMARK_MAIN(PrintRatio)
