// The edit control's layout modes with their page view, and the engine's
// events it hands on to its owner.
#include "RtControlTestSupport.h"

#include "RtObject.h"

#include <QDragMoveEvent>
#include <QMimeData>

namespace {

class RtfEditLayoutMode : public RtControlTest {
protected:
    // Three pages of 3 x 2 inches with half-inch margins: "a", "b" and "c", each starting a page.
    void ThreePages()
    {
        FillText(*E(), {"a", "b", "c"});
        TTextHeader* h = E()->Header();
        h->BeginUpdate();
        h->SetPageWidth(4320);
        h->SetPageHeight(2880);
        h->SetLeftMargin(720);
        h->SetRightMargin(720);
        h->SetTopMargin(720);
        h->SetBottomMargin(720);
        h->EndUpdate();
        E()->FirstPar->Next->Flags |= parfNewPage;
        E()->FirstPar->Next->Next->Flags |= parfNewPage;
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
    void Move(int X, int Y)
    {
        QMouseEvent move(QEvent::MouseMove, QPointF(X, Y), Rtf->viewport()->mapToGlobal(QPointF(X, Y)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(Rtf->viewport(), &move);
    }
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
