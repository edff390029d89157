// The edit control's layout modes with their page view, and the engine's
// events it hands on to its owner.
#include "RtCommandRun.h"
#include "RtControlTestSupport.h"

#include "RtHeaderFooter.h"
#include "RtObject.h"

#include <QClipboard>
#include <QDragMoveEvent>
#include <QMimeData>
#include <QScreen>
#include <QStyleHints>

#include <random>

namespace {

class RtfEditLayoutMode : public RtControlTest {
protected:
    // A caret that does not blink, for as long as it lives.
    struct TSteadyCaret {
        TSteadyCaret() { QApplication::styleHints()->setCursorFlashTime(0); }
        ~TSteadyCaret() { QApplication::styleHints()->setCursorFlashTime(1000); }
    };
    // Three pages of 3 x 2 inches with half-inch margins: "a", "b" and "c", each starting a page.
    void ThreePages()
    {
        SmallPages({"a", "b", "c"});
        E()->FirstPar->Next->Flags |= parfNewPage;
        E()->FirstPar->Next->Next->Flags |= parfNewPage;
    }
    // Pages of 3 x 2 inches with half-inch margins holding Pars.
    void SmallPages(const std::vector<std::string>& Pars)
    {
        FillText(*E(), Pars);
        TTextHeader* h = E()->Header();
        h->BeginUpdate();
        h->SetPageWidth(4320);
        h->SetPageHeight(2880);
        h->SetLeftMargin(720);
        h->SetRightMargin(720);
        h->SetTopMargin(720);
        h->SetBottomMargin(720);
        h->EndUpdate();
        E()->GapColor = 0x0000FF;
        E()->PaperColor = 0x00FF00;
    }
    TColor Pixel(const QImage& I, int X, int Y) const
    {
        const QRgb c = I.pixel(X, Y);
        return TColor(qRed(c) | (qGreen(c) << 8) | (qBlue(c) << 16));
    }
    QImage Shot()
    {
        Rtf->RefreshView();
        QApplication::processEvents();
        return Rtf->viewport()->grab().toImage();
    }
    QImage Window() { return RtWindowPixels(*Rtf); }
    // True when the window shows what a whole repaint shows; the window shows that afterwards.
    bool ShowsAWholeRepaint()
    {
        const QImage shown = Window();
        Rtf->RefreshView();
        return shown == Window();
    }
    void Move(int X, int Y)
    {
        QMouseEvent move(QEvent::MouseMove, QPointF(X, Y), Rtf->viewport()->mapToGlobal(QPointF(X, Y)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(Rtf->viewport(), &move);
    }
    // A header or footer text on the pages of Range.
    void AddSpecialText(TRtPagePropertyKind Kind, const char* Text, TRtPagePropertyRange Range = rtraOnAllPages)
    {
        TRtSpecialTextProperty* item = E()->GetOrAddHeaderFooter(Range, Kind);
        TParagraph* p = nullptr;
        E()->InsertPar(p, 40);
        item->SetParagraphs(p);
        p->Owner = item;
        E()->InsertTextAt(p, 0, nullptr, Text);
    }
    // Pixels of grey text (header and footer texts) in the window rows [Top, Bottom): blue shows
    // only there, over the green paper and the red desktop.
    static int GreyPixels(const QImage& I, int Top, int Bottom)
    {
        int n = 0;
        for (int y = std::max(Top, 0); y < std::min(Bottom, I.height()); ++y)
            for (int x = 0; x < I.width(); ++x)
                n += qBlue(I.pixel(x, y)) > 40;
        return n;
    }
    // The window rows of the space above page Page's first line and below its last line.
    std::pair<int, int> SpaceAbove(int Page) const
    {
        const TLine* l = E()->GetParByIndex(Page)->Lines;
        return {Screen(l->Top - l->SpaceAbove), Screen(l->Top)};
    }
    std::pair<int, int> SpaceBelow(int Page) const
    {
        const TLine* l = E()->GetParByIndex(Page)->Lines;
        return {Screen(l->Top + l->Height), Screen(l->Top + l->Height + l->SpaceBelow)};
    }
    int Screen(int32_t Y) const { return E()->DocToScreen(Y - E()->TopY); }
    // The page's right edge of the page-layout view's mouse rule (window pixels).
    int32_t PageRightEdge() const
    {
        return E()->DocToScreen(E()->LeftX) + E()->DocToScreen(E()->WrapWidth) + E()->LeftScreenOffset +
               E()->RightScreenOffset / 2 - 3;
    }
};

} // namespace

TEST_F(RtfEditLayoutMode, EachModeSetsItsFlagWordAndEndsTheObjectSelection)
{
    EXPECT_EQ(Rtf->LayoutMode(), rtlayNormal);
    EXPECT_EQ(Rtf->WriteBitmapMode, wbmDIBBitmap);
    QImage red(8, 8, QImage::Format_RGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(Rtf->InsertPicture(red));
    TTextObj* entry = E()->ObjRefList()->GetTextObj(E()->ObjRefList()->Count());
    ASSERT_NE(entry, nullptr);
    Rtf->ObjectEnv()->SelectObject(entry);
    ASSERT_NE(E()->SelectedObject, nullptr);
    const std::pair<TRtLayoutMode, uint16_t> modes[] = {{rtlayPageGap, 64}, {rtlayLayout, 143},
                                                        {rtlayFullLayout, 191}, {rtlayShowManualPageBreaks, 320},
                                                        {rtlayNormal, 0}};
    for (const auto& [mode, flags] : modes) {
        Rtf->SetLayoutMode(mode);
        EXPECT_EQ(Rtf->LayoutMode(), mode);
        EXPECT_EQ(E()->LayoutFlags, flags);
        EXPECT_EQ(E()->SelectedObject, nullptr);
    }
}

TEST_F(RtfEditLayoutMode, ThePageViewScrollsOverPagesWithTheirGapsAtAnyZoom)
{
    ThreePages();
    Rtf->SetLayoutMode(rtlayLayout);
    ASSERT_EQ(E()->PageCount, 3);
    for (int zoom : {100, 50}) {
        Rtf->SetZooming(zoom);
        Rtf->SetLayoutMode(rtlayLayout);
        // A page of 192 pixels and a gap of 2 x 9 pixels at zoom 100.
        const int32_t pitch = MulDiv(192 + 2 * 9, zoom, 100);
        EXPECT_EQ(E()->DocToScreen(E()->PageViewPitch()), pitch) << zoom;
        QScrollBar* v = Rtf->verticalScrollBar();
        EXPECT_EQ(v->maximum() + Rtf->viewport()->height(), 3 * pitch) << zoom;

        const QImage shot = Shot();
        const int32_t gap = MulDiv(9, zoom, 100), page = MulDiv(192, zoom, 100);
        const int32_t x = MulDiv(100, zoom, 100);
        // The gap above the first page, the page, the gap between the first two pages.
        EXPECT_EQ(Pixel(shot, x, gap / 2), 0x0000FF) << zoom;
        EXPECT_EQ(Pixel(shot, x, gap + page / 2 + 20 * zoom / 100), 0x00FF00) << zoom;
        EXPECT_EQ(Pixel(shot, x, pitch), 0x0000FF) << zoom;
        if (pitch + gap + page / 2 < shot.height()) {
            EXPECT_EQ(Pixel(shot, x, pitch + gap + page / 2 + 20 * zoom / 100), 0x00FF00) << zoom;
        }
        // Right of the page lies the desktop.
        EXPECT_EQ(Pixel(shot, MulDiv(288, zoom, 100) + 5, gap + page / 2), 0x0000FF) << zoom;
    }
    // Back in the normal view the extent is the text's.
    Rtf->SetLayoutMode(rtlayNormal);
    EXPECT_EQ(Rtf->verticalScrollBar()->maximum(), 0);
}

TEST_F(RtfEditLayoutMode, ThePageViewShowsHeaderAndFooterTextsOnEveryPage)
{
    Rtf->resize(500, 400);
    ThreePages();
    AddSpecialText(rtIsHeader, "HHHHHHHH");
    AddSpecialText(rtIsFooter, "FFFFFFFF");
    E()->UpdateLayout();
    Rtf->SetLayoutMode(rtlayLayout);
    ASSERT_EQ(E()->PageCount, 3);
    // Pages 1 and 2 in the window: each page's header above its text, page 1's footer below it.
    QImage shot = Shot();
    const auto [h1Top, h1Bottom] = SpaceAbove(0);
    const auto [f1Top, f1Bottom] = SpaceBelow(0);
    const auto [h2Top, h2Bottom] = SpaceAbove(1);
    ASSERT_LT(h2Bottom, shot.height());
    EXPECT_GT(GreyPixels(shot, h1Top, h1Bottom), 20);
    EXPECT_GT(GreyPixels(shot, f1Top, f1Bottom), 20);
    EXPECT_GT(GreyPixels(shot, h2Top, h2Bottom), 20);
    // The last page has its footer too.
    E()->TopY = E()->GetParByIndex(2)->Lines->Top - 20;
    shot = Shot();
    const auto [f3Top, f3Bottom] = SpaceBelow(2);
    EXPECT_GT(GreyPixels(shot, f3Top, f3Bottom), 20);
    EXPECT_EQ(GreyPixels(shot, Screen(E()->GetParByIndex(2)->Lines->Top), f3Top), 0);

    // The caller switches either off, or both with the compact view.
    struct TCase {
        bool Headers, Footers, Compact;
        bool HeaderShown, FooterShown;
    };
    for (const TCase c : {TCase{false, true, false, false, true}, TCase{true, false, false, true, false},
                          TCase{true, true, true, false, false}}) {
        E()->HeadersInGap = c.Headers;
        E()->FootersInGap = c.Footers;
        E()->CompactView = c.Compact;
        E()->TopY = 0;
        shot = Shot();
        EXPECT_EQ(GreyPixels(shot, h1Top, h1Bottom) > 0, c.HeaderShown) << c.Headers << c.Footers << c.Compact;
        EXPECT_EQ(GreyPixels(shot, f1Top, f1Bottom) > 0, c.FooterShown) << c.Headers << c.Footers << c.Compact;
    }
    // Outside the page-layout view no page shows them.
    E()->HeadersInGap = E()->FootersInGap = true;
    E()->CompactView = false;
    Rtf->SetLayoutMode(rtlayPageGap);
    shot = Shot();
    EXPECT_EQ(GreyPixels(shot, 0, shot.height()), 0);
}

TEST_F(RtfEditLayoutMode, PageSwitchesSetByTheCallerTakeEffect)
{
    // Each switch against the same text: its effect with the switch off and on.
    struct TCase {
        const char* Name;
        bool TRtRTFTextInput::*Switch;
        std::vector<std::string> Pars;
        TRtLayoutMode Mode;
        std::function<int32_t(TRtRTFTextInput*)> Result;
        int32_t Off, On;
    };
    auto pageCount = [](TRtRTFTextInput* E) { return E->PageCount; };
    const TCase cases[] = {
        // Twelve lines fill three pages of five lines, unless nothing breaks a page.
        {"NoPageBreaks", &TRtRTFTextInput::NoPageBreaks, std::vector<std::string>(12, "x"), rtlayNormal, pageCount, 3, 1},
        // The new-page paragraphs count, unless the text has no pages.
        {"NoPages", &TRtRTFTextInput::NoPages, {"a", "b", "c"}, rtlayNormal, pageCount, 3, 1},
        // Without the numbering pass the page view gives the first line no space above.
        {"SkipNumbering", &TRtRTFTextInput::SkipNumbering, {"a", "b", "c"}, rtlayLayout,
         [](TRtRTFTextInput* E) { return int32_t(E->FirstPar->Lines->SpaceAbove > 0); }, 1, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        SmallPages(c.Pars);
        if (c.Pars.size() == 3) {
            E()->FirstPar->Next->Flags |= parfNewPage;
            E()->FirstPar->Next->Next->Flags |= parfNewPage;
        }
        E()->UpdateLayout();
        Rtf->SetLayoutMode(c.Mode);
        EXPECT_EQ(c.Result(E()), c.Off);
        E()->*c.Switch = true;
        Rtf->RefreshView();
        EXPECT_EQ(c.Result(E()), c.On);
        E()->*c.Switch = false;
    }
}

TEST_F(RtfEditLayoutMode, TableSwitchesSetByTheCallerTakeEffect)
{
    // Four lines, then a table of two rows, of which the second does not fit on the first page.
    Rtf->SetText("{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Sans;}}\\paperw4320\\paperh2880\\margl720"
                 "\\margr720\\margt720\\margb720\\f0\\fs24 x\\par x\\par x\\par x\\par"
                 "\\trowd\\cellx1000\\cellx2000\\intbl a\\cell b\\cell\\row"
                 "\\trowd\\cellx1000\\cellx2000\\intbl c\\cell d\\cell\\row\\pard y\\par}");
    TParagraph* row1 = E()->GetParByIndex(4);
    TParagraph* row2 = E()->GetParByIndex(6);
    TParagraph* after = E()->GetParByIndex(8);
    ASSERT_TRUE(row1 && row2 && after);
    ASSERT_TRUE(row1->Flags & parfTableCell);
    auto startsPage = [](const TParagraph* P) { return (P->Lines->Flags & linfPageStart) != 0; };
    Rtf->RefreshView();
    EXPECT_FALSE(startsPage(row1));
    EXPECT_TRUE(startsPage(row2));
    // Kept together, the table moves to the next page as a whole.
    E()->KeepTableRowsTogether = true;
    Rtf->RefreshView();
    EXPECT_TRUE(startsPage(row1));
    EXPECT_FALSE(startsPage(row2));
    E()->KeepTableRowsTogether = false;

    // A cell's last line keeps a height it was given instead of being measured again.
    auto rowBottom = [&] { return after->Lines->Top; };
    Rtf->RefreshView();
    const int32_t measured = rowBottom();
    E()->KeepCellLineHeights = true;
    row2->Lines->Height = 80;
    Rtf->RefreshView();
    EXPECT_GT(rowBottom(), measured + 40);
    E()->KeepCellLineHeights = false;
    row2->Lines->Height = 80;
    Rtf->RefreshView();
    EXPECT_EQ(rowBottom(), measured);
}

TEST_F(RtfEditLayoutMode, BesideThePageTheMouseShowsTheArrowAndDropsAreRefused)
{
    ThreePages();
    Rtf->SetLayoutMode(rtlayLayout);
    int moves = 0;
    Rtf->OnMouseMove = [&](TObject*, Qt::MouseButton, Qt::KeyboardModifiers, int32_t, int32_t) { ++moves; };
    const int32_t right = PageRightEdge();
    Move(right + 1, 50);  // within the 3-pixel allowance, already outside
    EXPECT_EQ(Rtf->viewport()->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(moves, 1);
    Move(right - 10, 50);
    EXPECT_EQ(Rtf->viewport()->cursor().shape(), Qt::IBeamCursor);
    // In the normal view nothing is beside the page.
    Rtf->SetLayoutMode(rtlayNormal);
    Move(right + 1, 50);
    EXPECT_EQ(Rtf->viewport()->cursor().shape(), Qt::IBeamCursor);

    // A drag over the control: the owner hears the control's answer and may change it.
    Rtf->SetLayoutMode(rtlayLayout);
    std::vector<bool> answers;
    bool veto = false;
    Rtf->OnDragOver = [&](TObject* S, QObject* Source, int32_t, int32_t, TDragState, bool& Accept) {
        EXPECT_EQ(S, Rtf.get());
        EXPECT_EQ(Source, nullptr);
        answers.push_back(Accept);
        if (veto)
            Accept = false;
    };
    QMimeData data;
    data.setText("t");
    auto drag = [&](int X) {
        QDragEnterEvent enter(QPoint(X, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Rtf->viewport(), &enter);
        QDragMoveEvent e(QPoint(X, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        e.ignore();
        QApplication::sendEvent(Rtf->viewport(), &e);
        QDragLeaveEvent leave;
        QApplication::sendEvent(Rtf->viewport(), &leave);
        return e.isAccepted();
    };
    EXPECT_TRUE(drag(right - 10));
    EXPECT_FALSE(drag(right + 1));
    veto = true;
    EXPECT_FALSE(drag(right - 10));
    EXPECT_EQ(answers, (std::vector<bool>{true, false, true}));
}

TEST_F(RtfEditLayoutMode, CaretEventsCountWhileTypingMovingAndClicking)
{
    int xs = 0, ys = 0;
    Rtf->OnXPosChanged = [&](TObject* S) {
        EXPECT_EQ(S, Rtf.get());
        ++xs;
    };
    Rtf->OnYPosChanged = [&](TObject*) { ++ys; };
    Type("abc");
    EXPECT_EQ(xs, 3);
    Key(Qt::Key_Left);
    Key(Qt::Key_Left);
    EXPECT_EQ(xs, 5);
    Key(Qt::Key_End);
    Key(Qt::Key_Return);
    EXPECT_EQ(ys, 1);
    Type("de");
    Key(Qt::Key_Up);
    EXPECT_EQ(ys, 2);
    const int before = xs;
    QTest::mouseClick(Rtf->viewport(), Qt::LeftButton, {}, PointOf(1));
    EXPECT_GT(xs, before);
}

TEST_F(RtfEditLayoutMode, TheEditBoxEventsGoToTheOwner)
{
    Rtf->resize(100, 60);
    QApplication::processEvents();
    std::vector<int32_t> widths;
    bool refuse = true;
    Rtf->OnEditBoxChangeWidth = [&](TObject* S, int32_t& W, int32_t&, bool& Change) {
        EXPECT_EQ(S, Rtf.get());
        widths.push_back(W);
        Change = !refuse;
    };
    int heights = 0;
    Rtf->OnEditBoxChangeHeight = [&](TObject*, int32_t&, int32_t&, bool&) { ++heights; };
    Rtf->SetEditBoxModes(TRtEditBoxModes{rtemAutoSizeWidth});
    Type("wider text");
    ASSERT_FALSE(widths.empty());
    EXPECT_EQ(Rtf->width(), 100);  // refused
    refuse = false;
    Type("x");
    EXPECT_EQ(Rtf->width(), widths.back());
    Rtf->SetEditBoxModes(TRtEditBoxModes{rtemAutoSizeHeight});
    Key(Qt::Key_Return);
    EXPECT_GT(heights, 0);
}

TEST_F(RtfEditLayoutMode, ThePageGapLabelComesFromTheOwner)
{
    ThreePages();
    E()->ViewOptions.Include(rtShowPageNRinGap);
    std::vector<int32_t> asked;
    Rtf->OnGetPageGapText = [&](TObject* S, int32_t PageNr, AnsiString& Text) {
        EXPECT_EQ(S, Rtf.get());
        EXPECT_TRUE(Text.empty());
        asked.push_back(PageNr);
        Text = "Seite " + IntToStr(PageNr);
    };
    Rtf->SetLayoutMode(rtlayPageGap);
    Shot();
    ASSERT_GE(asked.size(), 2u);
    EXPECT_EQ(asked[0], 1);
    EXPECT_EQ(asked[1], 2);
    // Without the owner's text the engine's own label stands.
    Rtf->OnGetPageGapText = nullptr;
    AnsiString label;
    E()->OnGetPageGapText(Rtf.get(), 2, label);
    EXPECT_EQ(label, " 2");
}

TEST_F(RtfEditLayoutMode, PageFieldsShowTheNumberOfThePageTheyArePaintedOn)
{
    // Three small pages with a page number in the header and on each page; the same text with
    // the numbers written out shows what each page must look like.
    Rtf->resize(500, 700);
    auto text = [](const std::string& Header, const std::string& P1, const std::string& P2, const std::string& P3) {
        return "{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Sans;}}\\paperw4320\\paperh2880\\margl720\\margr720"
               "\\margt720\\margb720{\\header\\pard\\f0\\fs24 " + Header + "\\par}\\f0\\fs24 " + P1 + "\\par\\page " +
               P2 + "\\par\\page " + P3 + "\\par}";
    };
    auto show = [&](const std::string& Text) {
        Rtf->SetText(Text);
        Rtf->SetLayoutMode(rtlayLayout);
        // Header texts in the body's colours, on white paper.
        E()->ViewOptions.Include(rtDontGrayHeaderFooterInLayout);
        E()->PaperColor = clWhite;
        return Shot();
    };
    const std::string field = "{\\field{\\*\\fldinst PAGE}{\\fldrslt 1}}";
    const QImage fields = show(text(field, field, field, field));
    ASSERT_EQ(E()->PageCount, 3);
    for (int page = 0; page < 3; ++page) {
        const QImage written = show(text(std::to_string(page + 1), "1", "2", "3"));
        const int top = SpaceAbove(page).first, bottom = SpaceBelow(page).second;
        ASSERT_LT(bottom, fields.height());
        const QRect band(0, top, fields.width(), bottom - top);
        EXPECT_EQ(fields.copy(band), written.copy(band)) << "page " << page + 1;
    }
}

TEST_F(RtfEditLayoutMode, AHeaderEditedInTheBodysPlaceKeepsItsPageLayoutWhenPainted)
{
    TSteadyCaret steady;
    Rtf->resize(500, 500);
    ThreePages();
    AddSpecialText(rtIsHeader, "HHHH");
    Rtf->SetLayoutMode(rtlayLayout);
    TRtSpecialTextProperty* header = E()->GetOrAddHeaderFooter(rtraOnAllPages, rtIsHeader);
    header->SetEditing(true);
    E()->UpdateLayout();
    // The header's text laid out as the body: one page with its gap and its own header above it.
    auto layout = [&] {
        std::vector<int32_t> v;
        for (TParagraph* p = E()->FirstPar; p; p = p->Next)
            for (TLine* l = p->Lines; l; l = l->Next)
                v.insert(v.end(), {l->Top, l->Height, l->SpaceAbove, l->SpaceBelow, l->PageNr});
        return v;
    };
    const std::vector<int32_t> before = layout();
    const TLine* line = E()->FirstPar->Lines;
    ASSERT_GT(line->SpaceAbove, 0);
    const QImage first = Shot();
    EXPECT_EQ(layout(), before);
    // The page stands in its frame with the desktop above it.
    EXPECT_EQ(Pixel(first, 100, 2), 0x0000FF);
    EXPECT_EQ(Pixel(first, 100, Screen(line->Top - line->SpaceAbove / 2)), 0x00FF00);
    // Painted again, and with the caret placed anew on its character, the window is the same.
    EXPECT_EQ(Shot(), first);
    EXPECT_EQ(layout(), before);
    Key(Qt::Key_End);
    Key(Qt::Key_Home);
    EXPECT_EQ(Shot(), first);
    header->SetEditing(false);
}

TEST_F(RtfEditLayoutMode, AfterEveryKeyOnAPagesEdgeTheWindowIsAWholeRepaint)
{
    TSteadyCaret steady;
    Rtf->resize(500, 500);
    // Twelve lines on pages of five: the second page starts where the first is full.
    SmallPages(std::vector<std::string>(12, "x"));
    Rtf->SetLayoutMode(rtlayLayout);
    ASSERT_EQ(E()->PageCount, 3);
    // The second page's first line, then the first page's last; letters with and without
    // descenders, and one taken back.
    for (int32_t par : {5, 4}) {
        E()->CursorPar = E()->GetParByIndex(par);
        E()->CursorLine = E()->CursorPar->Lines;
        E()->CursorPos = 1;
        E()->ShowCursor();
        Shot();
        for (const char* step : {"x", "y", "gj", "\b"}) {
            if (step[0] == '\b')
                Key(Qt::Key_Backspace);
            else
                Type(step);
            EXPECT_TRUE(ShowsAWholeRepaint())
                << "paragraph " << par << " after " << (step[0] == '\b' ? "backspace" : step);
        }
    }
}

TEST_F(RtfEditLayoutMode, AHeaderOrFooterEditedInPlaceLeavesTheWindowAWholeRepaint)
{
    TSteadyCaret steady;
    Rtf->resize(400, 320);
    struct TStep {
        const char* Name;
        Qt::Key Key;
        Qt::KeyboardModifiers Modifiers;
    };
    // Letters with and without descenders, paragraph ends, deletions, cursor moves, a selection, undo and redo.
    const TStep steps[] = {
        {"a", Qt::Key_A, Qt::NoModifier}, {"g", Qt::Key_G, Qt::NoModifier},
        {"j", Qt::Key_J, Qt::NoModifier}, {"W", Qt::Key_W, Qt::ShiftModifier},
        {"return", Qt::Key_Return, Qt::NoModifier}, {"backspace", Qt::Key_Backspace, Qt::NoModifier},
        {"delete", Qt::Key_Delete, Qt::NoModifier}, {"left", Qt::Key_Left, Qt::NoModifier},
        {"right", Qt::Key_Right, Qt::NoModifier}, {"up", Qt::Key_Up, Qt::NoModifier},
        {"down", Qt::Key_Down, Qt::NoModifier}, {"home", Qt::Key_Home, Qt::NoModifier},
        {"end", Qt::Key_End, Qt::NoModifier}, {"shift+left", Qt::Key_Left, Qt::ShiftModifier},
        {"undo", Qt::Key_Z, Qt::ControlModifier}, {"redo", Qt::Key_Y, Qt::ControlModifier},
    };
    // Three small pages with a header and a footer; the header, the footer or the body is edited.
    const std::string text = "{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Sans;}}\\paperw4320\\paperh2880\\margl720"
                             "\\margr720\\margt720\\margb720\\f0\\fs24{\\header\\pard HHHH\\par}"
                             "{\\footer\\pard FFFF\\par}a\\par\\page b\\par\\page c\\par}";
    const char* const kinds[] = {"header", "footer", "body"};
    // Seeded runs of keys: after editing begins, after every key and after editing ends the window
    // shows what a whole repaint shows.
    int differing = 0;
    std::string firstDifference;
    for (uint32_t run = 0; run < 64; ++run) {
        Rtf->SetText(text);
        Rtf->SetLayoutMode(rtlayLayout);
        E()->EditOptions.Include(rtActivateRedoHotkey);
        const int kind = int(run % 3);
        TRtSpecialTextProperty* item =
            kind == 2 ? nullptr : E()->GetOrAddHeaderFooter(rtraOnAllPages, kind == 0 ? rtIsHeader : rtIsFooter);
        Shot();
        std::string done = kinds[kind];
        bool same = true;
        if (item) {
            item->SetEditing(true);
            E()->UpdateLayout();
            done += " editing begins";
            same = ShowsAWholeRepaint();
        }
        std::mt19937 random(run);
        for (int i = 0; i < 16 && same; ++i) {
            const TStep& step = steps[random() % std::size(steps)];
            Key(step.Key, step.Modifiers);
            done += std::string(", ") + step.Name;
            same = ShowsAWholeRepaint();
        }
        if (item && same) {
            item->SetEditing(false);
            E()->UpdateLayout();
            done += ", editing ends";
            same = ShowsAWholeRepaint();
        } else if (item) {
            item->SetEditing(false);
        }
        if (!same && differing++ == 0)
            firstDifference = done;
    }
    EXPECT_EQ(differing, 0) << "first: " << firstDifference;
}

namespace {

// A header or footer edited in place in the page-layout view, stepped through edits, scrolls and
// its end: after each step the window, every line's top and the caret are what a whole repaint and
// a fresh layout make of the same text.
class RtfEditInPlace : public RtfEditLayoutMode {
protected:
    struct TItem {
        const char* Name;
        TRtPagePropertyRange Range;
        TRtPagePropertyKind Kind;
    };
    static constexpr TItem Items[] = {
        {"all-pages header", rtraOnAllPages, rtIsHeader},   {"all-pages footer", rtraOnAllPages, rtIsFooter},
        {"first-page header", rtraOnFirstPage, rtIsHeader}, {"first-page footer", rtraOnFirstPage, rtIsFooter},
        {"odd-pages header", rtraOnOddPages, rtIsHeader},   {"odd-pages footer", rtraOnOddPages, rtIsFooter},
        {"even-pages header", rtraOnEvenPages, rtIsHeader}, {"even-pages footer", rtraOnEvenPages, rtIsFooter},
    };
    static constexpr int32_t Zooms[] = {50, 100, 150, 200};
    enum TStep {
        stType, stReturn, stJoin, stPaste, stDeleteSelection, stSelectAllAndType, stEmpty, stUndo, stRedo,
        stScroll, stPageDown, stLeave, stCount
    };
    static constexpr const char* StepNames[] = {"typing", "Return", "Backspace joining lines", "three-line paste",
                                                "deleting a selection", "Ctrl+A and typing", "emptying the item",
                                                "undo", "redo", "scrolling", "PageDown", "leaving after a scroll"};
    std::string Differences() { return RtViewDifferences(*Rtf); }
    // Three small pages "a", "b" and "c", a header "HHHH" and a footer "FFFF" on all pages and the
    // header and footer of Item's range, shown at Zoom.
    void Load(const TItem& Item, int32_t Zoom)
    {
        Rtf->SetText("{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Sans;}}\\paperw4320\\paperh2880\\margl720"
                     "\\margr720\\margt720\\margb720\\f0\\fs24{\\header\\pard HHHH\\par}"
                     "{\\footer\\pard FFFF\\par}a\\par\\page b\\par\\page c\\par}");
        if (Item.Range != rtraOnAllPages) {
            AddSpecialText(rtIsHeader, "HHHH", Item.Range);
            AddSpecialText(rtIsFooter, "FFFF", Item.Range);
        }
        Rtf->SetLayoutMode(rtlayLayout);
        Rtf->SetZooming(Zoom);
        E()->EditOptions.Include(rtActivateRedoHotkey);
        Shot();
    }
    TRtSpecialTextProperty* StartEditing(const TItem& Item)
    {
        TRtSpecialTextProperty* item = E()->FindHeaderFooter(Item.Range, Item.Kind);
        if (item) {
            item->SetEditing(true);
            E()->UpdateLayout();
        }
        return item;
    }
    void ScrollTo(int Value) { Rtf->verticalScrollBar()->setValue(Value); }
    // Seed picks where a scroll goes.
    void Do(TStep Step, TRtSpecialTextProperty* Item, uint32_t Seed)
    {
        QScrollBar* bar = Rtf->verticalScrollBar();
        switch (Step) {
        case stType: Type("xg"); break;
        case stReturn: Key(Qt::Key_Return); break;
        case stJoin:
            Key(Qt::Key_Home);
            Key(Qt::Key_Backspace);
            break;
        case stPaste:
            QGuiApplication::clipboard()->setText("one\ntwo\nthree");
            Key(Qt::Key_V, Qt::ControlModifier);
            break;
        case stDeleteSelection:
            Key(Qt::Key_Up, Qt::ShiftModifier);
            Key(Qt::Key_Delete);
            break;
        case stSelectAllAndType:
            Key(Qt::Key_A, Qt::ControlModifier);
            Type("X");
            break;
        case stEmpty:
            Key(Qt::Key_A, Qt::ControlModifier);
            Key(Qt::Key_Backspace);
            break;
        case stUndo: Key(Qt::Key_Z, Qt::ControlModifier); break;
        case stRedo: Key(Qt::Key_Y, Qt::ControlModifier); break;
        case stScroll: ScrollTo(int(Seed % 3) * bar->maximum() / 2); break;
        case stPageDown: Key(Qt::Key_PageDown); break;
        case stLeave:
            ScrollTo(int(Seed % 3) * bar->maximum() / 2);
            Item->SetEditing(false);
            E()->UpdateLayout();
            break;
        case stCount: break;
        }
    }
};

} // namespace

TEST_F(RtfEditInPlace, EveryStepOnEveryItemAtEveryZoomLeavesWhatAFreshLayoutAndRepaintMake)
{
    TSteadyCaret steady;
    Rtf->resize(400, 320);
    int compared = 0;
    std::vector<std::string> failed;
    for (const TItem& item : Items)
        for (int32_t zoom : Zooms) {
            Load(item, zoom);
            TRtSpecialTextProperty* edited = StartEditing(item);
            ASSERT_NE(edited, nullptr) << item.Name;
            const std::string where = std::string(item.Name) + " at " + std::to_string(zoom) + "%";
            if (std::string d = Differences(); !d.empty())
                failed.push_back(where + ", editing begins:" + d);
            for (int step = 0; step < stCount; ++step) {
                Do(TStep(step), edited, uint32_t(step));
                ++compared;
                if (std::string d = Differences(); !d.empty())
                    failed.push_back(where + ", " + StepNames[step] + ":" + d);
            }
            // Editing left at the top after pastes that make the item taller than the window.
            Load(item, zoom);
            edited = StartEditing(item);
            for (TStep step : {stPaste, stPaste, stScroll, stLeave}) {
                Do(step, edited, 0);
                ++compared;
                if (std::string d = Differences(); !d.empty())
                    failed.push_back(where + ", two pastes, " + StepNames[step] + ":" + d);
            }
        }
    EXPECT_EQ(compared, int(std::size(Items) * std::size(Zooms)) * (stCount + 4));
    std::string all;
    for (const std::string& f : failed)
        all += "\n  " + f;
    EXPECT_TRUE(failed.empty()) << failed.size() << " of " << compared << " steps differ:" << all;
}

TEST_F(RtfEditInPlace, SeededRunsOfStepsLeaveWhatAFreshLayoutAndRepaintMake)
{
    TSteadyCaret steady;
    Rtf->resize(400, 320);
    int differing = 0;
    std::string failed;
    for (uint32_t seed = 1; seed <= 120; ++seed) {
        std::mt19937 random(seed);
        const TItem& item = Items[random() % std::size(Items)];
        const int32_t zoom = Zooms[random() % std::size(Zooms)];
        Load(item, zoom);
        TRtSpecialTextProperty* edited = StartEditing(item);
        ASSERT_NE(edited, nullptr) << item.Name;
        std::string done = "seed " + std::to_string(seed) + ", " + item.Name + " at " + std::to_string(zoom) + "%";
        std::string d = Differences();
        // Ten steps; editing ends with the last.
        for (int i = 0; i < 10 && d.empty(); ++i) {
            const TStep step = i == 9 ? stLeave : TStep(random() % stLeave);
            Do(step, edited, random());
            done += std::string(", ") + StepNames[step];
            d = Differences();
        }
        edited->SetEditing(false);
        if (!d.empty() && differing++ < 5)
            failed += "\n  " + done + ":" + d;
    }
    EXPECT_EQ(differing, 0) << "of 120 seeds; the first:" << failed;
}

TEST_F(RtfEditInPlace, AWholeRepaintThatMovesTheLinesTakesTheCaretAlong)
{
    TSteadyCaret steady;
    Rtf->resize(400, 320);
    // Headers and footers turned off behind the layout's back: the whole repaint lays the pages
    // out anew, without their room, and the caret goes up with its line.
    Load(Items[0], 150);
    Key(Qt::Key_End);
    const int32_t top = E()->CursorLine->Top;
    E()->PrintHeaderFooter = rtrNever;
    Rtf->RefreshView();
    EXPECT_LT(E()->CursorLine->Top, top);
    const std::string d = Differences();
    EXPECT_TRUE(d.empty()) << d;
}

TEST_F(RtfEditInPlace, SavingAndCopyingTakeTheWholeTextWhateverItemIsEdited)
{
    auto save = [&] {
        TMemoryStream stream;
        Rtf->SaveToStream(&stream);
        return std::string(reinterpret_cast<const char*>(stream.Memory()), size_t(stream.Size()));
    };
    auto copy = [&] {
        std::unique_ptr<QMimeData> data(Rtf->CreateMimeData(true));
        return data->text().toStdString();
    };
    for (const TItem& item : Items) {
        SCOPED_TRACE(item.Name);
        Load(item, 100);
        // Laid out once as edited, so that its character sizes are set.
        TRtSpecialTextProperty* edited = StartEditing(item);
        edited->SetEditing(false);
        const std::string saved = save(), copied = copy();
        ASSERT_NE(copied.find("c"), std::string::npos);
        // Edited in place: the text keeps its body and the item its own text.
        StartEditing(item);
        EXPECT_EQ(save(), saved);
        EXPECT_EQ(copy(), copied);
        EXPECT_EQ(Rtf->GetTextAsString(), saved);
        // Typed into, left, and entered again by an undo: the undo edits the item as a layer.
        Type("X");
        const std::string typed = save();
        EXPECT_NE(typed, saved);
        edited->SetEditing(false);
        E()->UpdateLayout();
        EXPECT_EQ(save(), typed);
        Key(Qt::Key_Z, Qt::ControlModifier);
        EXPECT_NE(E()->EditedHeaderFooterId(), 0u);
        EXPECT_EQ(save(), saved);
        EXPECT_EQ(copy(), copied);
        // Still the item's text that is edited, with the cursor where it was.
        Type("Y");
        E()->SelectHeaderFooterById(0);
        EXPECT_NE(save().find("Y"), std::string::npos);
        EXPECT_EQ(Text(), "a\nb\nc\n");
    }
}

TEST_F(RtfEditInPlace, SelectingAllRightAfterEditingBeginsPlacesTheCaretFromTheLayout)
{
    TSteadyCaret steady;
    Rtf->resize(400, 320);
    std::string failed;
    for (const TItem& item : Items)
        for (int32_t zoom : Zooms) {
            Load(item, zoom);
            StartEditing(item);
            Key(Qt::Key_A, Qt::ControlModifier);
            if (const std::string d = Differences(); !d.empty())
                failed += "\n  " + std::string(item.Name) + " at " + std::to_string(zoom) + "%:" + d;
            E()->EditedSpecialText->SetEditing(false);
        }
    EXPECT_TRUE(failed.empty()) << failed;
}

TEST_F(RtfEditInPlace, FieldsTablesPicturesPageBreaksAndSelectionsLeaveWhatAFreshLayoutAndRepaintMake)
{
    TSteadyCaret steady;
    Rtf->resize(400, 320);
    auto keys = [this](Qt::Key K, int Times, Qt::KeyboardModifiers M = Qt::NoModifier) {
        return [=, this] {
            for (int i = 0; i < Times; ++i)
                Key(K, M);
        };
    };
    auto paste = [this](QByteArray Rtf) { return [this, Rtf] { RtPasteRtf(*this->Rtf, Rtf); }; };
    auto run = [this](int32_t Group, int32_t Id) {
        return [=, this] {
            uint8_t state = rtcmdClick;
            Rtf->Execute(Group, Id, state);
        };
    };
    const QByteArray threeLines = "{\\rtf1\\ansi one\\par two\\par three}";
    const QByteArray table = "{\\rtf1\\ansi\\trowd\\cellx1000\\cellx2000 1\\cell 2\\cell\\row}";
    struct TCase {
        const char* Name;
        const TItem* Item;  // nil: the body
        int32_t Zoom;
        std::vector<std::function<void()>> Steps;
    };
    const TCase cases[] = {
        {"a field at the start of a picture in a large font", &Items[4], 200,
         {[this] { Rtf->ExecuteValue(rtgValue, rtcValueFontSize, 40, AnsiString()); }, paste(RtPictureRtf()),
          keys(Qt::Key_Home, 1, Qt::ControlModifier), run(rtgInsert, rtcInsertNumber), keys(Qt::Key_Delete, 1)}},
        {"twelve Returns", &Items[0], 125, {keys(Qt::Key_Return, 12)}},
        {"a selection over a page break", &Items[0], 100,
         {keys(Qt::Key_Return, 1, Qt::ControlModifier), keys(Qt::Key_Left, 1, Qt::ShiftModifier)}},
        {"a selection upwards over a paste", nullptr, 200, {paste(threeLines), keys(Qt::Key_Up, 1, Qt::ShiftModifier)}},
        {"a pasted table", nullptr, 75, {paste(table)}},
    };
    std::string failed;
    for (const TCase& c : cases) {
        Load(c.Item ? *c.Item : Items[0], c.Zoom);
        if (c.Item)
            StartEditing(*c.Item);
        for (size_t i = 0; i < c.Steps.size(); ++i) {
            c.Steps[i]();
            if (const std::string d = Differences(); !d.empty()) {
                failed += "\n  " + std::string(c.Name) + ", step " + std::to_string(i + 1) + ":" + d;
                break;
            }
        }
        if (c.Item)
            E()->EditedSpecialText->SetEditing(false);
    }
    EXPECT_TRUE(failed.empty()) << failed;
}
