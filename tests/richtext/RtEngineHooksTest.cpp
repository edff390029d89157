// The owner's hooks the engine fires and the switches of its layers, each set
// here as an owner would and seen called or honoured.
#include "RtInputTestSupport.h"

#include "RtObject.h"

#include <QBuffer>
#include <optional>

namespace {

class EngineHooks : public RtInputTest {
protected:
    void SetUp() override
    {
        RtInputTest::SetUp();
        Layout({"abc def", "ghi", "jkl"}, 200, 300, 200);
        E->OwnerControl = &Owner;
        E->PaperColor = 0x00FF00;
        E->DefaultTextColor = clBlack;
    }
    // The engine goes before its owner, whose objects it frees.
    void TearDown() override { E.reset(); }
    TColor At(int X, int Y) const
    {
        const QRgb c = E->Surface().pixel(X, Y);
        return TColor(qRed(c) | (qGreen(c) << 8) | (qBlue(c) << 16));
    }
    // Puts an object's reference character at the cursor.
    TTextObj* InsertObjectChar(TRtObjectBase* Obj)
    {
        TTextObj* ref = E->ObjRefList()->AddObject(Obj);
        E->CurrentAttr.Style.Include(afsIsObject);
        E->CurrentAttr.Tag = uint32_t(E->ObjRefList()->IndexOfObject(ref));
        E->InsertTextAndPaint("\x01", true);
        E->CurrentAttr.Style.Exclude(afsIsObject);
        E->CurrentAttr.Tag = 0;
        return ref;
    }
    TTestOwnerControl Owner;
};

// A field that notes the attribute the engine measures it with.
class TAttrNotingField : public TRtObjectField {
public:
    void GetFieldText(bool Measuring, AnsiString& Text) override
    {
        // A copy: the line measured may be built anew and freed before the test looks.
        if (Measuring && Engine)
            Seen = Engine->ObjectAttr ? std::optional<TAttr>(*Engine->ObjectAttr) : std::nullopt;
        Text = "F";
    }
    TRtRTFTextPaint* Engine = nullptr;
    std::optional<TAttr> Seen;
};

} // namespace

TEST_F(EngineHooks, CaretPositionEventsFireWhileTypingMovingAndClicking)
{
    int xs = 0, ys = 0;
    TObject* sender = nullptr;
    E->OnXPosChanged = [&](TObject* S) {
        ++xs;
        sender = S;
    };
    E->OnYPosChanged = [&](TObject*) { ++ys; };
    PutCursor(0, 0, 0);
    E->ShowCursor();
    xs = ys = 0;
    Type("xy");
    EXPECT_EQ(xs, 2);
    EXPECT_EQ(ys, 0);
    EXPECT_EQ(sender, &Owner);
    EXPECT_EQ(E->LastXPos, E->CaretX);
    E->MoveCursor(ccLeft, false);
    EXPECT_EQ(xs, 3);
    E->MoveCursor(ccDown, false);
    EXPECT_EQ(ys, 1);
    EXPECT_EQ(xs, 3);  // the same x one line down
    EXPECT_EQ(E->LastYPos, E->CaretY);
    // A click on the third paragraph moves the caret down and to the right.
    E->MoveCursorToPoint(E->DocToScreen(E->GetCharX(Par(2), Par(2)->Lines, 3)), Par(2)->Lines->Top + 2, false, true);
    EXPECT_EQ(std::get<0>(Cursor()), 2);
    EXPECT_EQ(ys, 2);
    EXPECT_EQ(xs, 4);
    // An unchanged caret reports nothing.
    E->ShowCursor();
    EXPECT_EQ(xs, 4);
}

TEST_F(EngineHooks, CaretWidthSettingAndCaretRect)
{
    E->Inserting = 1;
    PutCursor(0, 0, 1);
    EXPECT_EQ(E->CaretWidth, 1);
    E->CaretWidthSetting = 3;
    E->UpdateCaretMetrics();
    EXPECT_EQ(E->CaretWidth, 3);
    E->Inserting = 0;  // overwrite: as wide as the character
    E->UpdateCaretMetrics();
    EXPECT_EQ(E->CaretWidth, 10);

    TLine* l = Par(1)->Lines;
    E->SetCaretRect(Par(1), l, 7, 2);
    ASSERT_TRUE(E->CaretRectValid);
    EXPECT_EQ(E->CaretRectKind, 7);
    const int32_t x = E->GetCharX(Par(1), l, 2) + E->LeftX;
    EXPECT_EQ(E->CaretRect, (TRect{x, l->Top - E->TopY, x + 2, l->Top - E->TopY + l->Height}));
    E->SetCaretRect(nullptr, nullptr, 0, 0);
    EXPECT_FALSE(E->CaretRectValid);
}

TEST_F(EngineHooks, OwnerEventsOfEditingAndMoving)
{
    std::vector<std::string> events;
    E->OnAfterChange = [&](TObject*) { events.push_back("after"); };
    E->OnCursorParagraph = [&](TObject*, TParagraph* P) {
        events.push_back("par" + std::to_string(TRtRTFText::CountParsTo(E->FirstPar, P) - 1));
    };
    E->OnPositionChanged = [&](TObject*) { events.push_back("position"); };
    E->OnCaretPosition = [&](TObject*) { events.push_back("caret"); };
    PutCursor(0, 0, 3);
    Type("xy");
    EXPECT_EQ(events, (std::vector<std::string>{"par0", "after", "after"}));
    events.clear();
    Type("\r");
    EXPECT_EQ(events, (std::vector<std::string>{"par0", "after"}));
    events.clear();
    Type("z");  // another paragraph now
    EXPECT_EQ(events, (std::vector<std::string>{"par1", "after"}));
    events.clear();
    E->MoveDown(1, false, true, true);
    E->MoveLeft(1, false, false);
    E->MoveCursorToPoint(0, 2, false, true);
    EXPECT_EQ(events, (std::vector<std::string>{"position", "caret", "position"}));
    events.clear();
    E->SetSelection(0, 2);
    E->DeleteSelection(false);
    EXPECT_EQ(events, (std::vector<std::string>{"caret"}));

    // Marked table cells go to the owner instead of being deleted.
    int cells = 0;
    E->OnMarkedCellsDelete = [&](TObject* S) {
        ++cells;
        EXPECT_EQ(S, &Owner);
    };
    E->SetSelection(0, 2);
    E->MarkedCells = 2;
    const auto before = Pars(*E);
    EXPECT_TRUE(E->DeleteSelection(false));
    EXPECT_EQ(cells, 1);
    EXPECT_EQ(Pars(*E), before);
}

TEST_F(EngineHooks, ALeadByteTypesTheByteAfterItInInsertMode)
{
    E->DBCSMode = TRtDBCSMode{rtdb_Enabled, rtdb_Test};  // "a" is a lead byte
    E->InsertMode = false;
    PutCursor(1, 0, 0);
    E->InsertTextAndPaint("ab", true);
    // "a" overwrites "g"; "b" after the lead byte is inserted, not written over "h".
    EXPECT_EQ(Pars(*E)[1], "abhi");
    E->InsertTextAndPaint("cd", true);
    EXPECT_EQ(Pars(*E)[1], "abcd");
}

TEST_F(EngineHooks, TheOwnersLeadByteTestAndTheLeadTable)
{
    E->DBCSMode = TRtDBCSMode{rtdb_Enabled};
    std::vector<uint8_t> asked;
    E->OnIsLeadByte = [&](TObject*, uint8_t Ch) {
        asked.push_back(Ch);
        return Ch == 'h';
    };
    TParagraph* p = Par(1);
    p->Flags |= parfReformat;
    E->MeasureParagraph(p);
    EXPECT_FALSE(asked.empty());
    EXPECT_TRUE(p->Lines->Attrs[1].Style.Has(afsDBCSOne));
    EXPECT_TRUE(p->Lines->Attrs[2].Style.Has(afsDBCSTwo));

    E->OnIsLeadByte = nullptr;
    bool isLead = true;
    // Without a table a single-byte text has no lead bytes when only non-ANSI characters can be.
    E->DBCSMode = TRtDBCSMode{rtdb_Enabled, rtdb_OnlyNotANSIChar};
    E->IsLeadByte(0x81, &E->CurrentAttr, nullptr, isLead);
    EXPECT_FALSE(isLead);
    const TRtLeadTable* sjis = RtLeadTableOf(SHIFTJIS_CHARSET);
    ASSERT_NE(sjis, nullptr);
    E->IsLeadByte(0x81, &E->CurrentAttr, sjis, isLead);
    EXPECT_TRUE(isLead);
    EXPECT_EQ(RtLeadTableOf(ANSI_CHARSET), nullptr);
}

TEST_F(EngineHooks, TheFontListenerHearsEveryFontSelection)
{
    int heard = 0;
    E->OnFontChanged = [&](TObject* S) {
        ++heard;
        EXPECT_EQ(S, E.get());
    };
    E->Refresh();
    EXPECT_GE(heard, 3);
}

TEST_F(EngineHooks, TheObjectBeingMeasuredShowsItsAttribute)
{
    auto* field = new TAttrNotingField;
    field->Engine = E.get();
    PutCursor(1, 0, 1);
    InsertObjectChar(field);
    ASSERT_TRUE(field->Seen.has_value());
    EXPECT_TRUE(field->Seen->Style.Has(afsIsObject));
    EXPECT_EQ(E->ObjectAttr, nullptr);
}

TEST_F(EngineHooks, FormattingAtZoom100InTheFixedResolutionMode)
{
    E->SetScreenResMode(rm1440);
    E->SetZooming(200);
    std::vector<int32_t> zooms;
    E->OnSpellCheckPar = [&](TObject*, TParagraph*) { zooms.push_back(E->Zooming); };
    E->UpdateAfterChange(false);
    ASSERT_FALSE(zooms.empty());
    EXPECT_EQ(zooms.back(), 200);
    E->FormatAtZoom100 = true;
    zooms.clear();
    E->UpdateAfterChange(false);
    ASSERT_FALSE(zooms.empty());
    EXPECT_EQ(zooms.back(), 100);
    EXPECT_EQ(E->Zooming, 200);
}

TEST_F(EngineHooks, MappingModeSwitches)
{
    TCanvas c;
    c.SetPixelsPerInch(96, 96);
    // Own scale factors give the window extent.
    E->OwnScale = true;
    E->ScaleX = 2.0f;
    E->ScaleY = 0.5f;
    E->ApplyMapMode(&c);
    EXPECT_EQ(E->MapModeOf(&c).Mode, MM_ANISOTROPIC);
    EXPECT_EQ(E->MapModeOf(&c).WindowExt, (TSize{192, 48}));
    // KeepMapMode: the mapping is never reset.
    E->KeepMapMode = true;
    E->ResetMapMode(&c);
    EXPECT_EQ(E->MapModeOf(&c).Mode, MM_ANISOTROPIC);
    E->KeepMapMode = false;
    E->ResetMapMode(&c);
    EXPECT_EQ(E->MapModeOf(&c).Mode, MM_TEXT);
    // The suppress flags keep the zoom from being mapped.
    E->OwnScale = false;
    E->SetZooming(200);
    E->ResetMapMode(E->ReferenceCanvas());
    E->SuppressZoomMapMode = true;
    E->SelectMapMode(false);
    EXPECT_EQ(E->MapModeOf(E->ReferenceCanvas()).Mode, MM_TEXT);
    E->SuppressZoomMapMode = false;
    E->SelectMapMode(false);
    EXPECT_EQ(E->MapModeOf(E->ReferenceCanvas()).Mode, MM_ANISOTROPIC);
    EXPECT_EQ(E->EffectiveResolution, 192);
    EXPECT_EQ(E->DeviceTechnology, DT_RASDISPLAY);
}

TEST_F(EngineHooks, TheRightMarginAndTheScreenMargins)
{
    E->SetZooming(100);
    E->ShowRightMargin = true;
    E->GapWidth2 = 7;
    E->SetClientSize(300, 200);
    E->UpdatePageMetrics(false);
    EXPECT_EQ(E->RightScreenOffset, MulDiv(1440, 96 * 100, 144000) + 7);
    EXPECT_EQ(E->ScreenMargins, (TRect{0, 0, 300, 200}));
    EXPECT_FALSE(E->HasScreenMargins);
}

TEST_F(EngineHooks, KeptLineBreaksAndTheCentreMeasure)
{
    Layout({"aaaa bbbb cccc"}, 100, 300, 200);
    ASSERT_EQ(Par(0)->Lines->Length, 10);  // "aaaa bbbb " fits 100 pixels
    // Kept breaks: a wider text area keeps every line's characters.
    E->KeepStoredLineBreaks = true;
    SetTextWidth(200);
    E->UpdateLayout();
    EXPECT_EQ(Par(0)->Lines->Length, 10);
    E->KeepStoredLineBreaks = false;
    E->UpdateLayout();
    EXPECT_EQ(Par(0)->Lines->Length, 14);
    // Centre measure: a character that reaches the limit with half its width ends the line,
    // and the line breaks at the overflow, not at the last blank.
    SetTextWidth(38);
    E->UpdateLayout();
    const int32_t normal = Par(0)->Lines->Length;
    E->CenterMeasure = true;
    Par(0)->Flags |= parfReformat;
    E->BreakParagraph(Par(0), false);
    EXPECT_NE(Par(0)->Lines->Length, normal);
}

TEST_F(EngineHooks, TheParagraphStyleCallbackFiresOncePerParagraph)
{
    std::vector<TParagraph*> seen;
    E->OnParagraphStyle = [&](TObject* S, TParagraph* P) {
        EXPECT_EQ(S, &Owner);
        seen.push_back(P);
    };
    PutCursor(0, 0, 1);
    E->ChangeStyle(WrtStyle{afsBold}, 1);
    E->ChangeStyle(WrtStyle{afsItalic}, 1);
    PutCursor(2, 0, 1);
    E->ChangeStyle(WrtStyle{afsBold}, 1);
    EXPECT_EQ(seen, (std::vector<TParagraph*>{Par(0), Par(2)}));
    EXPECT_EQ(E->LastStyleParagraph, Par(2));
}

TEST_F(EngineHooks, LayoutLocksDeferralAndTheUpdatingFlag)
{
    int changes = 0;
    bool updating = false;
    E->OnTextChange = [&](TObject*) {
        ++changes;
        updating = E->LayoutUpdating;
    };
    E->FormatLock2 = true;
    E->UpdateLayout();
    EXPECT_EQ(changes, 0);
    E->FormatLock2 = false;
    E->DeferLayout = true;
    E->UpdateLayout();
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(E->DeferPending);
    E->DeferLayout = false;
    E->UpdateLayout();
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(updating);
    EXPECT_FALSE(E->LayoutUpdating);
    EXPECT_FALSE(E->DeferPending);
}

TEST_F(EngineHooks, TheScreenLayoutStopsBelowTheWindow)
{
    std::vector<std::string> pars(60, "line");
    Layout(pars, 200, 300, 40);
    E->SetVisibleHeight(40);
    E->ScreenLayout = true;
    // A narrower text: four windows down the walk ends, and the paragraphs below keep their lines.
    SetTextWidth(30);
    E->UpdateLayout();
    EXPECT_NE(Par(0)->Lines->Next, nullptr);
    EXPECT_EQ(Par(59)->Lines->Next, nullptr);
    E->ScreenLayout = false;
    E->UpdateLayout();
    EXPECT_NE(Par(59)->Lines->Next, nullptr);
}

TEST_F(EngineHooks, ScrollFlagsAndTheRefreshMark)
{
    Layout(std::vector<std::string>(40, "line"), 200, 300, 60);
    E->SetVisibleHeight(60);
    bool busyInScroll = false, verticalInCaret = false, busyInCaret = true;
    E->OnVertScrolled = [&](TObject*) {
        busyInScroll = E->ScrollBusy && E->ScrollingVertically;
        return false;
    };
    E->OnCaretMoved = [&](TObject*) {
        verticalInCaret = E->ScrollingVertically;
        busyInCaret = E->ScrollBusy;
    };
    E->ScrollDown(20);
    EXPECT_TRUE(busyInScroll);
    EXPECT_TRUE(verticalInCaret);
    EXPECT_FALSE(busyInCaret);
    EXPECT_FALSE(E->ScrollBusy || E->ScrollingVertically);
    EXPECT_TRUE(E->RefreshPending);
    E->Refresh();
    EXPECT_FALSE(E->RefreshPending);
}

TEST_F(EngineHooks, SkippedLinesAndTheBlankAreaMark)
{
    E->Surface().fill(Qt::black);
    E->SkipLinePaint = true;
    E->Refresh();
    // The lines stay unpainted; the free area below them is filled.
    EXPECT_EQ(At(2, 5), 0x000000);
    EXPECT_EQ(At(150, 150), 0x00FF00);
    E->SkipLinePaint = false;
    E->Refresh();
    EXPECT_EQ(At(2, 5), 0x00FF00);

    // The blank-area mark fills the whole painted rectangle with the brush at the end.
    E->PaperColor = 0x0000FF;
    E->BlankAreaMark = true;
    E->Refresh();
    for (int x = 0; x < 60; ++x)
        ASSERT_EQ(At(x, 10), 0x0000FF) << x;
}

TEST_F(EngineHooks, TheBackgroundTileScalesWithTheZoomOncePageBuffersAreUsed)
{
    // A 4 x 4 tile: its left half red, its right half blue.
    QImage tile(4, 4, QImage::Format_RGB32);
    tile.fill(Qt::red);
    for (int y = 0; y < 4; ++y)
        for (int x = 2; x < 4; ++x)
            tile.setPixel(x, y, qRgb(0, 0, 255));
    E->BackgroundPicture = tile;
    E->SetZooming(200);
    TBitmap b;
    b.SetSize(16, 1);
    auto row = [&] {
        b.Canvas().Brush().SetStyle(bsSolid);
        b.Canvas().Brush().SetColor(clWhite);
        b.Canvas().FillRect(TRect{0, 0, 16, 1});
        E->PaintBackground(&b.Canvas(), TRect{0, 0, 16, 1}, nullptr, 0, 0, 0);
        std::string s;
        for (int x = 0; x < 16; ++x)
            s += qRed(b.Image().pixel(x, 0)) > 128 ? 'r' : 'b';
        return s;
    };
    // Unscaled the tile keeps its pixels in the window: two layout units at zoom 200.
    EXPECT_EQ(row(), "rbrbrbrbrbrbrbrb");
    // A page buffer in use sets the scaling: the tile grows with the zoom.
    E->ViewOptions.Include(rtUseWatermark);
    E->PageView = true;
    E->RenderPageBuffer(true, 0);
    EXPECT_TRUE(E->ScaleBackground);
    E->PageBuffersActive = false;
    EXPECT_EQ(row(), "rrbbrrbbrrbbrrbb");
}

TEST_F(EngineHooks, TheWorkBitmapIsMadeOnlyWhenAsked)
{
    EXPECT_FALSE(E->HasWorkBitmap());
    TRtRTFTextInput eager(true);
    EXPECT_TRUE(eager.HasWorkBitmap());
    // With it floating objects are painted through it, as without it.
    auto paintPicture = [&](bool Buffered) {
        Layout({"abc", "def"}, 200, 300, 200);
        if (Buffered)
            E->WorkBitmap();
        auto obj = std::make_unique<TRtOImageObject>();
        QImage red(20, 20, QImage::Format_RGB32);
        red.fill(Qt::red);
        QByteArray bytes;
        QBuffer buf(&bytes);
        buf.open(QIODevice::WriteOnly);
        red.save(&buf, "PNG");
        obj->SetPicture(bytes, "PNG");
        TTextObj* ref = E->ObjRefList()->AddObject(obj.release());
        ref->Kind = 1;
        ref->AnchorPar = Par(0);
        ref->AnchorLine = Par(0)->Lines;
        ref->X = 1500;
        ref->Y = 300;
        ref->Width = ref->Height = 300;
        E->ObjectsToPlace = {ref};
        E->Surface().fill(Qt::black);
        E->Refresh();
        return std::make_pair(At(110, 35), At(99, 35));
    };
    const auto plain = paintPicture(false);
    const auto buffered = paintPicture(true);
    EXPECT_EQ(plain.first, 0x0000FF);
    EXPECT_EQ(buffered, plain);
}

TEST_F(EngineHooks, ATagFieldIsPaintedInItsBoxInTheFieldObjectLook)
{
    auto* tag = new TRtTagField;
    EXPECT_EQ(tag->BackColor, clBtnFace);
    EXPECT_EQ(tag->FrameColor, 0);
    EXPECT_TRUE(tag->ShowFrame);
    tag->SetTag("t");
    tag->BackColor = 0xFFFF00;
    E->FieldObjectTextAttr()->SetTextColor(0x0000FF);
    PutCursor(1, 0, 1);
    TTextObj* ref = InsertObjectChar(tag);
    auto paint = [&] {
        E->Surface().fill(Qt::black);
        E->Refresh();
    };
    paint();
    // The cell's place is kept in the reference.
    const int32_t l = ref->RectLeft + E->LeftX, t = ref->RectTop - E->TopY;
    const int32_t r = l + ref->RectWidth - 1, b = t + ref->RectHeight - 1, mid = (t + b) / 2;
    ASSERT_GT(ref->RectWidth, 8);
    EXPECT_EQ(l, E->GetCharX(Par(1), Par(1)->Lines, 1));
    // Cut corners in the paper colour, the frame in colour 0, the background in the field's colour.
    EXPECT_EQ(At(l, t), 0x00FF00);
    EXPECT_EQ(At(r, b), 0x00FF00);
    EXPECT_EQ(At(l, mid), 0x000000);
    EXPECT_EQ(At(l + 4, t), 0x000000);
    EXPECT_EQ(At(l + 2, mid), 0xFFFF00);
    // The text in the field-object look.
    bool red = false;
    for (int32_t y = t; y <= b; ++y)
        for (int32_t x = l; x <= r; ++x)
            red |= At(x, y) == 0x0000FF;
    EXPECT_TRUE(red);
    // A plain box keeps its corners; without the frame the field is text on the run's background.
    tag->BoxOpt = TRtObjectFieldFrameOpt{rtfoBox, rtfoBackColor, rtfoFrameColor};
    paint();
    EXPECT_EQ(At(l, t), 0x000000);
    tag->ShowFrame = false;
    paint();
    EXPECT_EQ(At(l, mid), 0x00FF00);
}
