// What a rich text links to: a ruler following the cursor's paragraph and
// the zoom, a vertical ruler, a gutter, a tool bar showing the button states,
// an action list, outside scroll bars; linking on activation, unlinking on
// deactivation and when a linked component goes; and the events it raises.
#include "RtControlTestSupport.h"
#include "RtUndo.h"

#include "../document/PrintTestUtil.h"

#include <QAction>
#include <QClipboard>
#include <QScrollBar>
#include <QToolButton>

namespace {

// Counts the paints a widget receives.
class TPaintCounter : public QObject {
public:
    explicit TPaintCounter(QWidget* W) { W->installEventFilter(this); }
    int Paints = 0;
    bool eventFilter(QObject*, QEvent* E) override
    {
        if (E->type() == QEvent::Paint)
            ++Paints;
        return false;
    }
};

class RtRuler : public RtControlTest {};

TEST_F(RtRuler, FollowsTheCursorsParagraphAndTheZoom)
{
    TRtBasicRulerType ruler;
    ruler.resize(500, 24);
    ruler.show();
    Rtf->SetRtRuler(&ruler);
    Rtf->Activate();
    EXPECT_EQ(ruler.RichText(), Rtf.get());
    // Two paragraphs with their own indents and tab stops.
    Type("first");
    Key(Qt::Key_Return);
    Type("second");
    TParagraph* first = E()->FirstPar;
    TParagraph* second = first->Next;
    ASSERT_NE(second, nullptr);
    first->IndentLeft = 1440;
    first->IndentFirst = 720;
    second->IndentRight = 720;
    const int32_t tab = E()->Header()->AddTab(2880, 1);
    ASSERT_GE(tab, 0);
    second->Tabs = uint64_t(1) << tab;
    const int dpi = E()->ScreenResolution;
    // The cursor in the second paragraph: its indents and its right tab.
    Key(Qt::Key_End, Qt::ControlModifier);
    Rtf->UpdateState();
    QApplication::processEvents();
    EXPECT_EQ(ruler.IndentLeft(), 0);
    EXPECT_EQ(ruler.IndentRight(), dpi / 2);
    ASSERT_EQ(ruler.Tabs().size(), 1u);
    EXPECT_EQ(ruler.Tabs()[0], (TRtRulerTab{2 * dpi, 1}));
    // Up into the first paragraph.
    Key(Qt::Key_Home, Qt::ControlModifier);
    Rtf->UpdateState();
    EXPECT_EQ(ruler.IndentLeft(), dpi);
    EXPECT_EQ(ruler.IndentFirst(), dpi * 3 / 2);
    EXPECT_EQ(ruler.IndentRight(), 0);
    EXPECT_TRUE(ruler.Tabs().empty());
    // At 200 % every value doubles.
    Rtf->SetZooming(200);
    EXPECT_EQ(ruler.IndentLeft(), 2 * dpi);
    EXPECT_EQ(ruler.IndentFirst(), 3 * dpi);
    // The same paragraph again repaints nothing.
    QApplication::processEvents();
    TPaintCounter paints(&ruler);
    Rtf->UpdateRulers();
    Rtf->UpdateState();
    QApplication::processEvents();
    EXPECT_EQ(paints.Paints, 0);
    E()->ChangeFlags = rtchParAttr;
    Key(Qt::Key_End, Qt::ControlModifier);
    Rtf->UpdateState();
    QApplication::processEvents();
    EXPECT_GT(paints.Paints, 0);
}

TEST_F(RtRuler, LinkedOnActivationAndGoneWhenDestroyed)
{
    auto ruler = std::make_unique<TRtBasicRulerType>();
    auto vertical = std::make_unique<TRtBasicRulerType>(Qt::Vertical);
    TRtRichText other;
    other.SetRtRuler(ruler.get());
    Rtf->SetRtRuler(ruler.get());
    Rtf->SetRtVertRuler(vertical.get());
    Rtf->Activate();
    EXPECT_EQ(ruler->RichText(), Rtf.get());
    EXPECT_EQ(vertical->RichText(), Rtf.get());
    EXPECT_EQ(vertical->PageExtent(), Rtf->viewport()->height());
    // The other rich text takes the shared ruler when it becomes the active one.
    other.Activate();
    EXPECT_EQ(ruler->RichText(), &other);
    EXPECT_EQ(vertical->RichText(), Rtf.get());
    // Deactivating a rich text leaves a ruler another one shows.
    Rtf->Deactivate();
    EXPECT_EQ(ruler->RichText(), &other);
    EXPECT_EQ(vertical->RichText(), nullptr);
    // A destroyed ruler is unlinked; the rich text goes on without it.
    ruler.reset();
    EXPECT_EQ(Rtf->RtRuler(), nullptr);
    EXPECT_EQ(other.RtRuler(), nullptr);
    Rtf->Activate();
    Type("still fine");
    Rtf->UpdateState();
    EXPECT_EQ(Text(), "still fine");
}

TEST_F(RtRuler, PageAndMarginsInPageLayout)
{
    TRtBasicRulerType ruler;
    Rtf->SetRtRuler(&ruler);
    E()->LayoutFlags |= lfPageLayoutView;
    TTextHeader* h = E()->Header();
    h->BeginUpdate();
    h->SetPageWidth(11906);
    h->SetLeftMargin(1440);
    h->SetRightMargin(720);
    h->EndUpdate();
    Rtf->Activate();
    const int dpi = E()->ScreenResolution;
    EXPECT_EQ(ruler.PageExtent(), MulDiv(11906, dpi, 1440));
    EXPECT_EQ(ruler.MarginStart(), dpi);
    EXPECT_EQ(ruler.MarginEnd(), dpi / 2);
}

TEST(RtToolBar, ShowsTheButtonStatesItIsGiven)
{
    TUseTestPlatform platform;
    TRtToolBar bar(nullptr, {{256, 2}, {256, 3}, {512, 1}, {512, 4}, {3 * 256, 1}});
    EXPECT_EQ(bar.ButtonCount(), 5);
    EXPECT_FALSE(bar.Button(3 * 256, 1)->isCheckable()) << "Copy does not stay down";
    auto a = std::make_unique<TRtRichText>();
    auto b = std::make_unique<TRtRichText>();
    a->SetRtToolBar(&bar);
    b->SetRtToolBar(&bar);
    EXPECT_EQ(bar.EditorCount, 2);
    a->Activate();
    EXPECT_EQ(bar.RichText(), a.get());
    a->SetButtonState(256, 2, true);
    EXPECT_TRUE(bar.ButtonDown(256, 2));
    // A click on a button runs the command on the linked rich text.
    a->show();
    a->setFocus();
    QTest::keyClicks(a.get(), "ab");
    a->SelectAll();
    bar.Button(256, 3)->click();
    const TLine* line = a->RtfText()->FirstPar->Lines;
    ASSERT_TRUE(line && line->Attrs);
    EXPECT_TRUE(line->Attrs[0].Style.Has(afsItalic));
    a->UpdateState();
    EXPECT_TRUE(bar.ButtonDown(256, 3));
    // The other rich text shows its own states when it becomes the active one.
    b->Activate();
    EXPECT_EQ(bar.RichText(), b.get());
    EXPECT_FALSE(bar.ButtonDown(256, 2));
    EXPECT_FALSE(bar.ButtonDown(256, 3));
    b.reset();
    EXPECT_EQ(bar.EditorCount, 1);
    EXPECT_EQ(bar.RichText(), nullptr);
    a.reset();
    EXPECT_EQ(bar.EditorCount, 0);
}

class RtGutter : public RtControlTest {};

TEST_F(RtGutter, NumbersTheParagraphsWhereTheyStand)
{
    TRtCustomGutter gutter;
    EXPECT_TRUE(gutter.Marks().empty()) << "linked to nothing";
    Rtf->SetRtGutter(&gutter);
    Rtf->Activate();
    EXPECT_EQ(gutter.RichText(), Rtf.get());
    for (int i = 0; i < 30; ++i) {
        Type("line");
        Key(Qt::Key_Return);
    }
    Key(Qt::Key_Home, Qt::ControlModifier);
    auto marks = gutter.Marks();
    ASSERT_GE(marks.size(), 3u);
    EXPECT_EQ(marks[0].Number, 1);
    EXPECT_EQ(marks[1].Number, 2);
    EXPECT_EQ(marks[1].Y, PointOf(5).y() - E()->DocToScreen(E()->FirstPar->Next->Lines->Height) / 2);
    // Scrolled down, the numbers move up with their lines.
    Rtf->verticalScrollBar()->setValue(Rtf->verticalScrollBar()->maximum());
    marks = gutter.Marks();
    ASSERT_FALSE(marks.empty());
    EXPECT_GT(marks[0].Number, 1);
    EXPECT_EQ(marks.back().Number, 31) << "the empty last paragraph";
    // A paragraph taken away above the view, and given back by undo.
    const auto lastNumber = [&] {
        Rtf->verticalScrollBar()->setValue(Rtf->verticalScrollBar()->maximum());
        const auto m = gutter.Marks();
        return m.empty() ? 0 : m.back().Number;
    };
    Key(Qt::Key_Home, Qt::ControlModifier);
    Key(Qt::Key_Down, Qt::ShiftModifier);
    Key(Qt::Key_Delete);
    EXPECT_EQ(lastNumber(), 30);
    Rtf->Undo();
    EXPECT_EQ(lastNumber(), 31);
    // Back at the top after a jump to the end.
    Rtf->verticalScrollBar()->setValue(0);
    marks = gutter.Marks();
    ASSERT_GE(marks.size(), 2u);
    EXPECT_EQ(marks[0].Number, 1);
    EXPECT_EQ(marks[1].Number, 2);
}

namespace {
// The numbers a walk from the text's first paragraph gives the paragraphs in view.
std::vector<std::pair<int32_t, int32_t>> WalkedMarks(const TRtRichText& Rtf)
{
    std::vector<std::pair<int32_t, int32_t>> out;
    const TRtRTFTextInput* e = Rtf.RtfText();
    int32_t number = 0;
    for (const TParagraph* p = e->FirstPar; p; p = p->Next) {
        ++number;
        const int32_t y = p->Lines ? e->DocToScreen(p->Lines->Top - e->TopY) : 0;
        if (p->Lines && y > Rtf.viewport()->height())
            break;
        if (p->Lines && y + e->DocToScreen(p->Lines->Height) >= 0)
            out.emplace_back(number, y);
    }
    return out;
}
std::vector<std::pair<int32_t, int32_t>> GutterMarks(const TRtCustomGutter& Gutter)
{
    std::vector<std::pair<int32_t, int32_t>> out;
    for (const TRtCustomGutter::TMark& m : Gutter.Marks())
        out.emplace_back(m.Number, m.Y);
    return out;
}
} // namespace

TEST_F(RtGutter, NumbersTheChainBeingEditedAndOutlivesItsText)
{
    for (int i = 0; i < 40; ++i) {
        Type("line");
        Key(Qt::Key_Return);
    }
    const auto middle = [&] { Rtf->verticalScrollBar()->setValue(Rtf->verticalScrollBar()->maximum() / 2); };
    // Linked while the body is shown, then into a header and back; and linked
    // first while a header is edited, then back to the body.
    for (bool linkInHeader : {false, true}) {
        SCOPED_TRACE(linkInHeader ? "linked in the header" : "linked in the body");
        TRtCustomGutter gutter;
        if (linkInHeader)
            E()->SetLayer(1);
        Rtf->SetRtGutter(&gutter);
        Rtf->Activate();
        middle();
        EXPECT_EQ(GutterMarks(gutter), WalkedMarks(*Rtf));
        if (!linkInHeader) {
            E()->SetLayer(1);
            for (int i = 0; i < 5; ++i) {
                Type("head");
                Key(Qt::Key_Return);
            }
            E()->ReformatText(nullptr);
            EXPECT_EQ(GutterMarks(gutter), WalkedMarks(*Rtf)) << "the header";
        }
        E()->SetLayer(0);
        for (int top : {0, 1}) {
            if (top)
                middle();
            else
                Rtf->verticalScrollBar()->setValue(0);
            EXPECT_EQ(GutterMarks(gutter), WalkedMarks(*Rtf)) << "the body again";
        }
        Rtf->SetRtGutter(nullptr);
    }
    // A gutter linked directly outlives the rich text it was linked to.
    TRtCustomGutter gutter;
    {
        TRtRichText other;
        gutter.SetRichText(&other);
        EXPECT_EQ(gutter.RichText(), &other);
    }
    EXPECT_EQ(gutter.RichText(), nullptr);
    EXPECT_TRUE(gutter.Marks().empty());
    // One inside the control, as a line-number area is, goes with it.
    auto* inner = new TRtRichText;
    (new TRtCustomGutter(inner->viewport()))->SetRichText(inner);
    delete inner;
}

class RtRichTextLinks : public RtControlTest {};

TEST_F(RtRichTextLinks, OutsideScrollBarsMoveTheViewAndFollowIt)
{
    QScrollBar outside(Qt::Vertical);
    Rtf->SetExternVerScrollBar(&outside);
    for (int i = 0; i < 40; ++i) {
        Type("line");
        Key(Qt::Key_Return);
    }
    Rtf->UpdateState();
    EXPECT_EQ(outside.maximum(), Rtf->verticalScrollBar()->maximum());
    EXPECT_GT(outside.maximum(), 0);
    EXPECT_EQ(outside.value(), Rtf->verticalScrollBar()->value());
    outside.setValue(20);
    EXPECT_EQ(Rtf->verticalScrollBar()->value(), 20);
    Rtf->verticalScrollBar()->setValue(5);
    EXPECT_EQ(outside.value(), 5);
}

TEST_F(RtRichTextLinks, ActionsOfTheListWorkOnTheCurrentRichText)
{
    QObject list;
    auto* bold = new TRtAction(256, 2, &list);
    bold->setCheckable(true);
    TRtRichText other;
    Rtf->SetActionList(&list);
    other.SetActionList(&list);
    Type("ab");
    Rtf->SelectAll();
    Rtf->Activate();
    bold->trigger();
    EXPECT_TRUE(AttrAt(0)->Style.Has(afsBold));
    // Bound once although two rich texts name the list: a second trigger releases.
    bold->trigger();
    EXPECT_FALSE(AttrAt(0)->Style.Has(afsBold));
    // The other one current: this text is left alone.
    other.Activate();
    bold->trigger();
    EXPECT_FALSE(AttrAt(0)->Style.Has(afsBold));
    // The list's actions show the state of the current rich text only, also after one of them went.
    auto* italic = new TRtAction(256, 3, &list);
    italic->setCheckable(true);
    Rtf->SetActionList(&list);
    delete bold;
    other.SetButtonState(256, 3, true);
    EXPECT_TRUE(italic->isChecked());
    Rtf->SetButtonState(256, 3, false);
    EXPECT_TRUE(italic->isChecked());
    other.SetButtonState(256, 3, false);
    EXPECT_FALSE(italic->isChecked());
}

TEST_F(RtRichTextLinks, ActionsAddedToTheListLaterAreBoundOnActivation)
{
    QObject list;
    Rtf->SetActionList(&list);
    auto* zoomIn = new TRtAction(rtgView, rtcViewZoomIn, &list);
    Rtf->Activate();
    zoomIn->trigger();
    EXPECT_EQ(Rtf->Zooming(), 120);
    // Bound once, however often the rich text is activated.
    Rtf->Activate();
    zoomIn->trigger();
    EXPECT_EQ(Rtf->Zooming(), 140);
}

TEST_F(RtRichTextLinks, ZoomingAndResizingActivateTheRichText)
{
    TRtBasicRulerType ruler;
    ruler.resize(500, 24);
    ruler.show();
    TRtRichText other;
    other.SetRtRuler(&ruler);
    Rtf->SetRtRuler(&ruler);
    other.Activate();
    QApplication::processEvents();
    // A new zoom makes this the current rich text, and the ruler shows it anew.
    TPaintCounter paints(&ruler);
    Rtf->SetZooming(150);
    QApplication::processEvents();
    EXPECT_EQ(TRtCustomRichText::Current(), Rtf.get());
    EXPECT_EQ(ruler.RichText(), Rtf.get());
    EXPECT_GT(paints.Paints, 0);
    // Resizing scales the text's characters and activates it too.
    Rtf->SetZooming(100);
    Type("Abc");
    const int32_t height = E()->CursorLine->Height;
    other.Activate();
    Rtf->SetResizing(200);
    EXPECT_EQ(Rtf->Resizing(), 200);
    EXPECT_EQ(E()->Resizing, 200);
    EXPECT_EQ(TRtCustomRichText::Current(), Rtf.get());
    EXPECT_GE(E()->CursorLine->Height, height * 3 / 2);
}

TEST_F(RtRichTextLinks, EventsAreRaisedOncePerChange)
{
    int pageSize = 0, parAttr = 0, undo = 0, saveForUndo = 0;
    std::vector<int32_t> layers;
    std::vector<TParagraph*> created;
    Rtf->OnChangePageSize = [&](TObject*) { ++pageSize; };
    Rtf->OnUpdateParAttr = [&](TObject*) { ++parAttr; };
    Rtf->OnUndoChange = [&](TObject*, TRtUndoStack* Stack) {
        EXPECT_EQ(Stack, E()->UndoStack);
        ++undo;
    };
    Rtf->SaveForUNDO = [&](TObject*) { ++saveForUndo; };
    Rtf->OnWorkOnTextChanged = [&](TObject*, int32_t Layer) { layers.push_back(Layer); };
    Rtf->OnNewParCreatedEvent = [&](TObject*, TParagraph* Par) { created.push_back(Par); };
    // A page of another size: once, however many header values change together.
    TTextHeader* h = E()->Header();
    h->BeginUpdate();
    h->SetPageWidth(8391);
    h->SetPageHeight(11906);
    h->EndUpdate();
    EXPECT_EQ(pageSize, 1);
    h->SetPageWidth(8391);
    h->SetLeftMargin(900);
    EXPECT_EQ(pageSize, 1) << "the same size, or only margins";
    // Typing: one SaveForUNDO per keystroke; Return reports the new paragraph.
    Type("ab");
    EXPECT_EQ(saveForUndo, 2);
    Key(Qt::Key_Return);
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0], E()->FirstPar->Next);
    // Pasting inside Ctrl+V's own change: one.
    saveForUndo = 0;
    QApplication::clipboard()->setText("x");
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(saveForUndo, 1);
    // The paragraph attributes are read again after a paragraph change.
    parAttr = 0;
    Rtf->GetSetModeControl()->SetAlignment(paralCenter);
    Rtf->UpdateState();
    EXPECT_EQ(parAttr, 1);
    // Undo changes the stack.
    EXPECT_GT(undo, 0);
    undo = 0;
    Rtf->Undo();
    EXPECT_GE(undo, 1);
    // Editing the header and back.
    E()->SetLayer(1);
    E()->SetLayer(0);
    EXPECT_EQ(layers, (std::vector<int32_t>{1, 0}));
    // The mouse onto a hyperlink and off it again.
    std::vector<TParagraph*> hot;
    int cold = 0;
    Rtf->OnActivateHotStyle = [&](TObject*, TParagraph* Par, int32_t) { hot.push_back(Par); };
    Rtf->OnDeactivateHotStyle = [&](TObject*) { ++cold; };
    Rtf->SelectAll();
    Key(Qt::Key_Delete);
    Type("see link");
    E()->SetSelection(4, 4);
    Rtf->GetSetModeControl()->AddStyle(WrtStyle{afsHyperLink});
    E()->ClearSelection(false);
    for (int32_t pos : {5, 6, 1}) {
        QMouseEvent move(QEvent::MouseMove, PointOf(pos), Rtf->viewport()->mapToGlobal(PointOf(pos)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(Rtf->viewport(), &move);
    }
    ASSERT_EQ(hot.size(), 1u) << "once for the link, however the mouse moves on it";
    EXPECT_EQ(hot[0], E()->FirstPar);
    EXPECT_EQ(cold, 1);
    // A loaded text of another page size tells once.
    pageSize = 0;
    Rtf->SetText("{\\rtf1\\ansi\\paperw11906\\paperh16838 a\\par b}");
    EXPECT_EQ(pageSize, 1);
}

TEST_F(RtRichTextLinks, PrinterSetupPassesThePrinterOnAndRefillsThePapers)
{
    SystemPrintersHook = [] { return QStringList{QStringLiteral("Testdrucker")}; };
    TPrinter& printer = Printer();
    printer.Refresh();
    printer.SetPrinterIndex(int(printer.Printers().indexOf(QString::fromLatin1(PdfPrinterName))));
    TRtPaperDefinition& stale = Rtf->PaperDefs().Add();
    stale.Name = "Stale";
    QString offered;
    const auto saved = RtCommandDialogs().PrinterSetup;
    RtCommandDialogs().PrinterSetup = [&](QWidget*, QString& Name, int32_t& Code, int32_t& W, int32_t& H, bool& L) {
        offered = Name;
        Name = QStringLiteral("Testdrucker");
        Code = 11;   // A5
        W = H = 1;   // the paper's entry gives the size
        L = false;
        return true;
    };
    int pageSize = 0;
    Rtf->OnChangePageSize = [&](TObject*) { ++pageSize; };
    EXPECT_TRUE(Rtf->PrinterSetup());
    EXPECT_EQ(offered, QString::fromLatin1(PdfPrinterName));
    EXPECT_EQ(printer.PrinterName(), QStringLiteral("Testdrucker"));
    EXPECT_LT(Rtf->PaperDefs().IndexOfCode(11), Rtf->PaperDefs().Count());
    for (int32_t i = 0; i < Rtf->PaperDefs().Count(); ++i)
        EXPECT_NE(Rtf->PaperDefs().Items(i).Name, "Stale");
    EXPECT_EQ(E()->Header()->PageWidth(), 8391);
    EXPECT_EQ(E()->Header()->PageHeight(), 11906);
    EXPECT_EQ(pageSize, 1);
    RtCommandDialogs().PrinterSetup = saved;
    SystemPrintersHook = nullptr;
    printer.Refresh();
}

} // namespace

namespace {

TEST_F(RtRichTextLinks, WysiwygLaysTheTextOutWithThePrintersWidths)
{
    QTemporaryDir dir;
    const QString pdf = printtest::UsePdfPrinter(dir);
    Type("The quick brown fox");
    const int32_t screenX = E()->DocToScreen(E()->GetCharX(E()->FirstPar, E()->FirstPar->Lines, 3));
    const int32_t dpi = RtPrinter().LogPixelsY();
    ASSERT_GT(dpi, 300);
    Rtf->SetWYSIWYG(true);
    EXPECT_EQ(E()->Header()->FontRes, dpi) << "characters are measured at the printer's resolution";
    EXPECT_EQ(E()->Header()->LayoutXRes, dpi);
    // The screen shows that layout scaled: a word stays where it was, within a pixel or two.
    EXPECT_NEAR(E()->DocToScreen(E()->GetCharX(E()->FirstPar, E()->FirstPar->Lines, 3)), screenX, 2);
    Rtf->viewport()->repaint();
    const QImage shown = Rtf->viewport()->grab().toImage();
    const QPoint word = PointOf(1);
    int dark = 0;
    for (int x = word.x() - 10; x < word.x() + 40; ++x)
        for (int y = word.y() - 6; y <= word.y() + 6; ++y)
            dark += qGray(shown.pixel(x, y)) < 100 ? 1 : 0;
    EXPECT_GT(dark, 10);
    // Printed as laid out; then back to the screen's own widths.
    Rtf->PrintText(0, 0);
    EXPECT_EQ(printtest::PdfInfo(pdf).Pages, 1);
    Rtf->SetWYSIWYG(false);
    EXPECT_EQ(E()->ScreenResMode, rmNormal);
    EXPECT_EQ(E()->Header()->FontRes, E()->ScreenResolution);
}

} // namespace
