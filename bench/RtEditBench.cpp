// The rich-text edit control against QTextEdit: the time from a key press to
// the repainted control, typing at the end and in the middle of a 20-page
// text of mixed attributes, in a 640 x 480 window. Every iteration sends one
// key event (a letter, then Backspace, so the text keeps its length) and lets
// the event loop run until the widget has painted what the key made it ask
// for: both widgets repaint only what they invalidated themselves, nothing is
// forced on either. QTextEdit holds the same text with the same character
// formats in a window of the same size. Goal: under 16 ms per key (one frame)
// and at least 3 times as fast as QTextEdit.
// A key in the middle of one paragraph of 2,000 Japanese characters (double-
// byte pairs of a Shift-JIS font) against one in 4,000 Latin characters of
// about the same width: a pair costs no more to measure than a single byte.
#include "BenchSupport.h"
#include "RichText.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

constexpr int ParCount = 240;    // 20 A4 pages of 12 paragraphs
constexpr int WordsPerPar = 45;

const char* WordAt(int I)
{
    static const char* const words[] = {"Fotobuch", "Sommer", "am", "Meer", "mit", "der", "ganzen", "Familie",
                                        "und", "Freunden", "Sonne", "Wind", "Wellen", "zwischen", "D\xfcnen"};
    return words[(I * 7 + I / 5) % std::size(words)];
}

// The text as RTF: runs of a few words bold, italic, larger or coloured.
const std::string& BenchRtf()
{
    static const std::string rtf = [] {
        std::string s = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Liberation Sans;}{\\f1 Liberation Serif;}}"
                        "{\\colortbl;\\red0\\green0\\blue0;\\red192\\green0\\blue0;}\\paperw11906\\paperh16838"
                        "\\margl1134\\margr1134\\margt1134\\margb1134\\f0\\fs22 ";
        int w = 0;
        for (int p = 0; p < ParCount; ++p) {
            for (int i = 0; i < WordsPerPar; ++i, ++w) {
                static const char* const looks[] = {"", "\\b ", "\\i\\f1 ", "\\fs28 ", "\\cf2 ", "\\ul "};
                s += "{";
                s += looks[(w / 7 + w / 23) % std::size(looks)];
                s += WordAt(w);
                s += " }";
            }
            s += "\\par\n";
        }
        return s + "}";
    }();
    return rtf;
}

void SendKey(QWidget* W, int Key, const QString& Text)
{
    QKeyEvent press(QEvent::KeyPress, Key, Qt::NoModifier, Text);
    QApplication::sendEvent(W, &press);
    QKeyEvent release(QEvent::KeyRelease, Key, Qt::NoModifier, Text);
    QApplication::sendEvent(W, &release);
}

// Counts the paint events a widget receives.
class TPaintCounter : public QObject {
public:
    explicit TPaintCounter(QWidget* W) : widget_(W) { W->installEventFilter(this); }
    ~TPaintCounter() override { widget_->removeEventFilter(this); }
    int Count = 0;

protected:
    bool eventFilter(QObject* O, QEvent* E) override
    {
        if (O == widget_ && E->type() == QEvent::Paint)
            ++Count;
        return false;
    }

private:
    QWidget* widget_;
};

// One key press, then the event loop runs until the widget has painted what
// the key invalidated; letters and Backspace take turns.
template <class W>
void TypeAndRepaint(benchmark::State& State, W* Widget, QWidget* Viewport, const QString& Letter = "x")
{
    TPaintCounter paints(Viewport);
    bool letter = true;
    for (auto _ : State) {
        const int before = paints.Count;
        if (letter)
            SendKey(Widget, Qt::Key_X, Letter);
        else
            SendKey(Widget, Qt::Key_Backspace, "\b");
        letter = !letter;
        for (int round = 0; round < 100 && paints.Count == before; ++round)
            QCoreApplication::processEvents();
        if (paints.Count == before) {
            State.SkipWithError("a key did not repaint the widget");
            break;
        }
    }
}

std::unique_ptr<TRtRichText> MakeRichText(bool Middle)
{
    auto rtf = std::make_unique<TRtRichText>();
    rtf->resize(640, 480);
    rtf->show();
    rtf->SetText(BenchRtf());
    TRtRTFTextInput* e = rtf->RtfText();
    if (Middle) {
        e->CursorPar = e->GetParByIndex(ParCount / 2);
        e->CursorLine = e->CursorPar->Lines;
        e->CursorPos = 3;
    } else {
        TParagraph* p = e->GetParByIndex(ParCount);   // the empty last paragraph
        if (!p)
            p = e->GetParByIndex(ParCount - 1);
        e->CursorPar = p;
        e->CursorLine = TRtRTFText::GetLastLine(p);
        e->CursorPos = e->CursorLine->Length;
    }
    rtf->setFocus();
    e->ShowCursor();
    QApplication::processEvents();
    return rtf;
}

void BM_RtfEditKey(benchmark::State& State)
{
    auto rtf = MakeRichText(State.range(0) == 1);
    if (rtf->RtfText()->CountPages() < 20)
        State.SkipWithError("the text is not 20 pages long");
    TypeAndRepaint(State, rtf.get(), rtf->viewport());
    State.counters["pages"] = rtf->RtfText()->CountPages();
}
BENCHMARK(BM_RtfEditKey)->ArgName("middle")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Apply(FastestOf<3>);

void BM_QTextEditKey(benchmark::State& State)
{
    // The same words in the same character formats.
    QTextEdit edit;
    edit.resize(640, 480);
    edit.show();
    QTextCursor c(edit.document());
    int w = 0;
    for (int p = 0; p < ParCount; ++p) {
        if (p > 0)
            c.insertBlock();
        for (int i = 0; i < WordsPerPar; ++i, ++w) {
            QTextCharFormat f;
            f.setFontFamilies({"Liberation Sans"});
            f.setFontPointSize(11);
            switch ((w / 7 + w / 23) % 6) {
            case 1: f.setFontWeight(QFont::Bold); break;
            case 2:
                f.setFontItalic(true);
                f.setFontFamilies({"Liberation Serif"});
                break;
            case 3: f.setFontPointSize(14); break;
            case 4: f.setForeground(QColor(192, 0, 0)); break;
            case 5: f.setFontUnderline(true); break;
            default: break;
            }
            c.insertText(QString::fromLatin1(WordAt(w)) + " ", f);
        }
    }
    QTextCursor at(edit.document());
    if (State.range(0) == 1) {
        at.setPosition(edit.document()->findBlockByNumber(ParCount / 2).position() + 3);
    } else
        at.movePosition(QTextCursor::End);
    edit.setTextCursor(at);
    edit.ensureCursorVisible();
    edit.setFocus();
    QApplication::processEvents();
    TypeAndRepaint(State, &edit, edit.viewport());
}
BENCHMARK(BM_QTextEditKey)->ArgName("middle")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Apply(FastestOf<3>);

// One paragraph of 4,000 Latin characters, or of 2,000 Japanese ones in Shift-JIS.
std::string LongParagraphRtf(bool Cjk)
{
    std::string s = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Liberation Sans;}{\\f1\\fcharset128 MS Mincho;}}"
                    "\\paperw11906\\paperh16838\\margl1134\\margr1134\\f0\\fs22 ";
    if (Cjk) {
        // A Japanese sentence ("I write a Japanese text.") as Shift-JIS pairs.
        static const char* const pairs[] = {"93fa", "967b", "8cea", "82cc", "95b6",
                                            "8fcd", "82f0", "8f91", "82ad", "8142"};
        s += "\\f1 ";
        for (int i = 0; i < 2000; ++i) {
            const char* p = pairs[i % std::size(pairs)];
            s += std::string("\\'") + p[0] + p[1] + "\\'" + p[2] + p[3];
        }
    } else {
        for (int i = 0; i < 4000; ++i)
            s += "Sommer am Meer "[i % 15];
    }
    return s + "\\par}";
}

// At the paragraph's end a key changes the last line; in the middle, Japanese
// text (broken between any two characters) changes every line after the key,
// which are repainted, where Latin words mostly end the change at the next blank.
void BM_LongParagraphKey(benchmark::State& State)
{
    const bool cjk = State.range(0) == 1;
    const bool middle = State.range(1) == 1;
    auto rtf = std::make_unique<TRtRichText>();
    rtf->resize(640, 480);
    rtf->show();
    rtf->SetText(LongParagraphRtf(cjk));
    TRtRTFTextInput* e = rtf->RtfText();
    e->CursorPar = e->GetParByIndex(0);
    e->CursorLine = e->CursorPar->Lines;
    int lines = 1;
    for (TLine* l = e->CursorLine; l->Next; l = l->Next, ++lines)
        if (!middle || lines <= 20)
            e->CursorLine = l->Next;
    e->CursorPos = middle ? 2 : e->CursorLine->Length;   // on a pair's lead byte, or at the end
    rtf->setFocus();
    e->ShowCursor();
    QApplication::processEvents();
    TypeAndRepaint(State, rtf.get(), rtf->viewport(), cjk ? QString(QChar(0x65E5)) : QString("x"));
    State.counters["lines"] = lines;
}
BENCHMARK(BM_LongParagraphKey)
    ->ArgNames({"cjk", "middle"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Apply(FastestOf<3>);

// The ratio of two benchmarks' fastest wall times, and of their CPU times (what
// a loaded machine disturbs least: both run on the calling thread alone).
void PrintRatio(const TFastestRunReporter& Runs, const char* What, const std::string& Slow, const std::string& Fast)
{
    const auto slow = Runs.Time(Slow), fast = Runs.Time(Fast);
    const auto slowCpu = Runs.CpuTime(Slow), fastCpu = Runs.CpuTime(Fast);
    if (slow && fast && slowCpu && fastCpu)
        std::printf("%s: %.2f ms against %.2f ms, ratio %.2f (CPU time %.2f)\n", What, *slow, *fast, *slow / *fast,
                    *slowCpu / *fastCpu);
}

int PrintRatios(const TFastestRunReporter& Runs)
{
    PrintRatio(Runs, "key to repainted control at the end of the text, QTextEdit against the edit control (goal >= 3)",
               "BM_QTextEditKey/middle:0", "BM_RtfEditKey/middle:0");
    PrintRatio(Runs,
               "key to repainted control in the middle of the text, QTextEdit against the edit control (goal >= 3)",
               "BM_QTextEditKey/middle:1", "BM_RtfEditKey/middle:1");
    PrintRatio(Runs, "key at the end of a long paragraph, 2,000 Japanese against 4,000 Latin characters (goal <= 1.5)",
               "BM_LongParagraphKey/cjk:1/middle:0", "BM_LongParagraphKey/cjk:0/middle:0");
    PrintRatio(Runs, "key in the middle of a long paragraph, 2,000 Japanese against 4,000 Latin characters",
               "BM_LongParagraphKey/cjk:1/middle:1", "BM_LongParagraphKey/cjk:0/middle:1");
    return 0;
}

}  // namespace

LUMI_BENCHMARK_MAIN(PrintRatios)
