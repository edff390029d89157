// The edit control's own costs around the engine: repainting a transparent
// control that did not change, the button states of a change with an action
// list of every command, the gutter of a long text scrolled to its end, a long
// input-method text, and the main window starting with a clip-art folder of
// many pictures while the clip-art tab is not shown.
#include "BenchSupport.h"
#include "FMainform.h"
#include "RichText.h"
#include "RtActionTexts.h"
#include "ulocalize.h"
#include "uQwRegistry.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QScrollBar>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

// Count paragraphs of a dozen words each.
std::string LongRtf(int Count)
{
    std::string s = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Liberation Sans;}}\\f0\\fs22 ";
    for (int p = 0; p < Count; ++p)
        s += "Ein Sommer am Meer mit der ganzen Familie und Freunden, " + std::to_string(p) + "\\par\n";
    return s + "}";
}

std::unique_ptr<TRtRichText> MakeRichText(QWidget* Parent, int Paragraphs)
{
    auto rtf = std::make_unique<TRtRichText>(Parent);
    rtf->setGeometry(10, 10, 640, 480);
    rtf->SetText(LongRtf(Paragraphs));
    rtf->show();
    QApplication::processEvents();
    return rtf;
}

// A paint event of a transparent control over a parent with a picture, nothing changed in between.
void BM_TransparentRepaint(benchmark::State& State)
{
    QWidget parent;
    parent.resize(660, 500);
    QPalette palette = parent.palette();
    palette.setBrush(QPalette::Window, QBrush(MakePhoto(64, 64, 1)));
    parent.setPalette(palette);
    parent.setAutoFillBackground(true);
    parent.show();
    auto rtf = MakeRichText(&parent, 240);
    rtf->SetTransparent(true);
    rtf->viewport()->repaint();
    for (auto _ : State)
        rtf->viewport()->repaint();
}
BENCHMARK(BM_TransparentRepaint)->Unit(benchmark::kMicrosecond)->Apply(FastestOf<3>);

// The button states one change sets (view, styles, alignment, paragraph,
// numbering), with the rich text current and an action list of every command.
void BM_SetButtonStates(benchmark::State& State)
{
    QObject list;
    for (const TRtActionText& t : RtActionTexts)
        (new TRtAction(t.Group, t.Id, &list))->setCheckable(true);
    TRtRichText rtf;
    rtf.SetActionList(&list);
    rtf.Activate();
    bool down = false;
    for (auto _ : State) {
        down = !down;
        for (int32_t id = 1; id <= 8; ++id)
            rtf.SetButtonState(rtgStyle, id, down);
        for (int32_t id = 1; id <= 4; ++id)
            rtf.SetButtonState(rtgAlign, id, down);
        for (int32_t id = 1; id <= 2; ++id) {
            rtf.SetButtonState(rtgView, id, down);
            rtf.SetButtonState(rtgParagraph, id, down);
            rtf.SetButtonState(rtgNumbering, id, down);
        }
    }
    State.counters["actions"] = double(list.children().size());
}
BENCHMARK(BM_SetButtonStates)->Unit(benchmark::kMicrosecond)->Apply(FastestOf<3>);

// The gutter's marks of a text of 5000 paragraphs scrolled to its end.
void BM_GutterAtTheEnd(benchmark::State& State)
{
    auto rtf = MakeRichText(nullptr, 5000);
    TRtCustomGutter gutter;
    rtf->SetRtGutter(&gutter);
    rtf->Activate();
    rtf->verticalScrollBar()->setValue(rtf->verticalScrollBar()->maximum());
    size_t marks = 0;
    for (auto _ : State)
        marks = gutter.Marks().size();
    if (marks == 0)
        State.SkipWithError("no marks");
    rtf->SetRtGutter(nullptr);
}
BENCHMARK(BM_GutterAtTheEnd)->Unit(benchmark::kMicrosecond)->Apply(FastestOf<3>);

// An input-method text of 2000 characters committed into an empty text: Latin
// letters, or Japanese ones that become double-byte pairs of a Shift-JIS font.
void BM_CommitLongInputText(benchmark::State& State)
{
    auto rtf = MakeRichText(nullptr, 0);
    rtf->setFocus();
    const QString sentence = State.range(0) == 1
                                 ? QString::fromUtf16(u"\u65E5\u672C\u8A9E\u306E\u6587\u7AE0\u3092\u66F8\u304F\u3002")
                                 : QStringLiteral("Sommer am Meer ");
    QString text;
    while (text.size() < 2000)
        text += sentence;
    text.truncate(2000);
    for (auto _ : State) {
        State.PauseTiming();
        rtf->Clear();
        State.ResumeTiming();
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QApplication::sendEvent(rtf.get(), &commit);
    }
}
BENCHMARK(BM_CommitLongInputText)->ArgName("cjk")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Apply(FastestOf<3>);

// The main window built, shown and idle, its clip-art folder holding 150 pictures.
void BM_MainWindowWithClipart(benchmark::State& State)
{
    static TPhotoFolder clipart(150, 800, 600);
    TQwRegIniFile::Instance().WriteWideString("", "ClipartBaseDir", clipart.Path(QString()));
    for (auto _ : State) {
        std::unique_ptr<TMaster> master(TLocalizerForm::create<TMaster>(nullptr));
        master->show();
        QApplication::processEvents();
        State.PauseTiming();
        master.reset();
        QApplication::processEvents();
        State.ResumeTiming();
    }
}
BENCHMARK(BM_MainWindowWithClipart)->Unit(benchmark::kMillisecond)->Iterations(5)->Apply(FastestOf<3>);

}  // namespace

int main(int argc, char** argv)
{
    const TPrivateHome home;
    TBenchProgram program(argc, argv);
    return program.Run();
}
