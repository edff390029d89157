// The rich-text component's command dispatcher: every (group, id) of the
// action texts reaches its action, releases undo what clicks did, and the
// state update keeps the buttons in step with the attributes at the cursor.
#include "RtControlTestSupport.h"

#include "RtActionTexts.h"
#include "RtFindDialog.h"
#include "RtNumbering.h"
#include "RtObject.h"

#include <QClipboard>
#include <QMessageBox>
#include <QMimeData>

#include <functional>
#include <map>

namespace {

class RichTextDispatch : public RtControlTest {
public:
    void SetUp() override
    {
        RtControlTest::SetUp();
        saved_ = RtCommandDialogs();
        TRtCommandDialogs& d = RtCommandDialogs();
        d.AskSave = [this](QWidget*, const QString&) {
            ++Asked;
            return AskAnswer;
        };
        d.Message = [this](QWidget*, const QString& Text) { Messages << Text; };
        d.SaveFileName = [this](QWidget*, const QString&, const QString&, const QString&, int& Index) {
            ++SaveDialogs;
            Index = SaveIndex;
            return SaveName;
        };
        d.OpenFileName = [this](QWidget*, const QString&, const QString&, int&) {
            ++OpenDialogs;
            return QString();
        };
        d.InputQuery = [this](QWidget*, const QString& Caption, const QString& Prompt, QString& Value) {
            Queries << Caption + "/" + Prompt + "/" + Value;
            Value = "http://example.org";
            return true;
        };
        d.PickTable = [](QWidget*, QWidget*, int32_t& Columns, int32_t& Rows, bool& Borders) {
            Columns = 3;
            Rows = 2;
            Borders = true;
            return true;
        };
        d.PrinterSetup = [](QWidget*, QString&, int32_t& PaperCode, int32_t& Width, int32_t& Height, bool& Landscape) {
            PaperCode = DMPAPER_USER;
            Width = 11906;
            Height = 16838;
            Landscape = true;
            return true;
        };
        Prepare();
    }
    // The component and the answers of a fresh case.
    void Prepare()
    {
        Rtf->OnStartSpellCheck = [this](TObject*, int32_t Mode) { SpellModes.push_back(Mode); };
        Rtf->SetEditOptions(E()->EditOptions | TRtEditOptions{rtActivateRedo});
        AskAnswer = QMessageBox::No;
        Asked = SaveDialogs = OpenDialogs = 0;
        SaveIndex = 1;
        SaveName.clear();
        Messages.clear();
        Queries.clear();
        SpellModes.clear();
        RtEditorRegistry = {};
        TRtFindDialog::Shared(false)->hide();
        TRtFindDialog::Shared(true)->hide();
    }
    void Fresh()
    {
        Rtf.reset();
        RtControlTest::SetUp();
        Prepare();
    }
    void TearDown() override
    {
        RtCommandDialogs() = saved_;
        RtEditorRegistry = {};
        TRtFindDialog::Shared(false)->hide();
        TRtFindDialog::Shared(true)->hide();
        RtControlTest::TearDown();
    }
    // Runs a click (or a release) and answers whether the dispatcher consumed it.
    bool Run(int32_t Group, int32_t Id, uint8_t State = rtcmdClick, const AnsiString& Text = AnsiString())
    {
        Rtf->Execute(Group * 256, Id, State, Text);
        return State == 0;
    }
    int32_t Cells()
    {
        int32_t n = 0;
        for (TParagraph* p = E()->FirstPar; p; p = p->Next)
            n += (p->Flags & parfTableCell) ? 1 : 0;
        return n;
    }
    TParagraph* FirstCell()
    {
        for (TParagraph* p = E()->FirstPar; p; p = p->Next)
            if (p->Flags & parfTableCell)
                return p;
        return nullptr;
    }

    TRtCommandDialogs saved_;
    int AskAnswer = QMessageBox::No;
    int Asked = 0, SaveDialogs = 0, OpenDialogs = 0;
    int SaveIndex = 1;
    QString SaveName;
    QStringList Messages, Queries;
    std::vector<int32_t> SpellModes;
};

// (group, id) -> a check that prepares the text, runs the command and tests its effect.
using TCheck = std::function<void(RichTextDispatch&)>;

TEST_F(RichTextDispatch, EveryCommandReachesItsAction)
{
    const std::map<std::pair<int32_t, int32_t>, TCheck> checks = {
        {{1, 1}, [](RichTextDispatch& T) {
             T.Type("abc");
             T.E()->SetSelection(0, 3);
             T.Run(1, 2);
             ASSERT_TRUE(T.AttrAt(1)->Style.Has(afsBold));
             EXPECT_TRUE(T.Run(1, 1));
             EXPECT_FALSE(T.AttrAt(1)->Style.Has(afsBold));
         }},
        {{1, 7}, [](RichTextDispatch& T) {
             T.Type("abc");
             T.E()->SetSelection(0, 3);
             T.Run(1, 8);
             ASSERT_TRUE(T.AttrAt(1)->Style.Has(afsSub));
             EXPECT_TRUE(T.Run(1, 7));
             EXPECT_TRUE(T.AttrAt(1)->Style.Has(afsSuper));
             EXPECT_FALSE(T.AttrAt(1)->Style.Has(afsSub));
         }},
        {{1, 8}, [](RichTextDispatch& T) {
             T.Type("abc");
             T.E()->SetSelection(0, 3);
             T.Run(1, 7);
             EXPECT_TRUE(T.Run(1, 8));
             EXPECT_TRUE(T.AttrAt(1)->Style.Has(afsSub));
             EXPECT_FALSE(T.AttrAt(1)->Style.Has(afsSuper));
         }},
        {{2, 1}, [](RichTextDispatch& T) {
             T.Run(2, 4);
             EXPECT_TRUE(T.Run(2, 1));
             EXPECT_EQ(T.E()->CursorPar->Align, paralLeft);
         }},
        {{2, 2}, [](RichTextDispatch& T) { EXPECT_TRUE(T.Run(2, 2)); EXPECT_EQ(T.E()->CursorPar->Align, paralRight); }},
        {{2, 3}, [](RichTextDispatch& T) { EXPECT_TRUE(T.Run(2, 3)); EXPECT_EQ(T.E()->CursorPar->Align, paralBlock); }},
        {{2, 4}, [](RichTextDispatch& T) { EXPECT_TRUE(T.Run(2, 4)); EXPECT_EQ(T.E()->CursorPar->Align, paralCenter); }},
        {{3, 1}, [](RichTextDispatch& T) {
             T.Type("copy me");
             T.E()->SetSelection(0, 4);
             EXPECT_TRUE(T.Run(3, 1));
             EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->text(), QString("copy"));
         }},
        {{3, 2}, [](RichTextDispatch& T) {
             T.Type("cut me");
             T.E()->SetSelection(0, 4);
             EXPECT_TRUE(T.Run(3, 2));
             EXPECT_EQ(T.Text(), "me");
         }},
        {{3, 3}, [](RichTextDispatch& T) {
             QGuiApplication::clipboard()->setText("pasted");
             EXPECT_TRUE(T.Run(3, 3));
             EXPECT_EQ(T.Text(), "pasted");
         }},
        {{3, 4}, [](RichTextDispatch& T) {
             T.Type("all");
             EXPECT_TRUE(T.Run(3, 4));
             EXPECT_EQ(T.Selection(), std::make_pair(0, 3));
         }},
        {{3, 5}, [](RichTextDispatch& T) {
             T.Type("all");
             T.E()->SetSelection(0, 2);
             EXPECT_TRUE(T.Run(3, 5));
             EXPECT_EQ(T.Selection().second, 0);
         }},
        {{3, 6}, [](RichTextDispatch& T) {
             EXPECT_TRUE(T.Run(3, 6));
             EXPECT_TRUE(TRtFindDialog::Shared(false)->isVisible());
             EXPECT_EQ(TRtFindDialog::Shared(false)->Bound(), T.Rtf.get());
         }},
        {{3, 7}, [](RichTextDispatch& T) {
             EXPECT_TRUE(T.Run(3, 7));
             EXPECT_TRUE(TRtFindDialog::Shared(true)->isVisible());
             EXPECT_FALSE(TRtFindDialog::Shared(false)->isVisible());
         }},
        {{3, 8}, [](RichTextDispatch& T) { EXPECT_TRUE(T.Run(3, 8)); EXPECT_EQ(T.SpellModes, std::vector<int32_t>{0}); }},
        {{3, 9}, [](RichTextDispatch& T) {
             T.Type("x");
             EXPECT_TRUE(T.Run(3, 9));
             EXPECT_EQ(T.Text(), "");
         }},
        {{3, 10}, [](RichTextDispatch& T) { EXPECT_TRUE(T.Run(3, 10)); }},
        {{3, 11}, [](RichTextDispatch& T) {
             T.Type("delete me");
             T.E()->SetSelection(0, 7);
             EXPECT_TRUE(T.Run(3, 11));
             EXPECT_EQ(T.Text(), "me");
         }},
        {{3, 12}, [](RichTextDispatch& T) {
             T.Type("x");
             T.Run(3, 9);
             EXPECT_TRUE(T.Run(3, 12));
             EXPECT_EQ(T.Text(), "x");
         }},
        {{3, 13}, [](RichTextDispatch& T) {
             EXPECT_TRUE(T.Run(3, 13));
             EXPECT_TRUE(T.Run(3, 13, rtcmdRelease));
             EXPECT_EQ(T.SpellModes, (std::vector<int32_t>{1, 3}));
         }},
        {{3, 14}, [](RichTextDispatch& T) { EXPECT_TRUE(T.Run(3, 14)); EXPECT_EQ(T.SpellModes, std::vector<int32_t>{2}); }},
        {{4, 1}, [](RichTextDispatch& T) { EXPECT_FALSE(T.Run(4, 1)); }},
        {{4, 2}, [](RichTextDispatch& T) {
             T.Type("old");
             T.AskAnswer = QMessageBox::Cancel;
             EXPECT_TRUE(T.Run(4, 2));
             EXPECT_EQ(T.Text(), "old");
             T.AskAnswer = QMessageBox::No;
             EXPECT_TRUE(T.Run(4, 2));
             EXPECT_EQ(T.Text(), "");
             EXPECT_EQ(T.Asked, 2);
         }},
        {{4, 3}, [](RichTextDispatch& T) { EXPECT_TRUE(T.Run(4, 3)); EXPECT_EQ(T.OpenDialogs, 1); }},
        {{4, 4}, [](RichTextDispatch& T) { EXPECT_TRUE(T.Run(4, 4)); EXPECT_EQ(T.SaveDialogs, 1); }},
        {{4, 5}, [](RichTextDispatch& T) {
             T.Type("kept");
             EXPECT_TRUE(T.Run(4, 5));   // the save dialog is cancelled: the text stays
             EXPECT_EQ(T.SaveDialogs, 1);
             EXPECT_EQ(T.Text(), "kept");
         }},
        {{5, 1}, [](RichTextDispatch& T) {
             int printed = 0;
             RtEditorRegistry.Print = [&](TRtCustomRichText*) { return ++printed > 0; };
             EXPECT_TRUE(T.Run(5, 1));
             EXPECT_EQ(printed, 1);
         }},
        {{5, 2}, [](RichTextDispatch& T) {
             EXPECT_TRUE(T.Run(5, 2));
             EXPECT_TRUE(T.E()->Header()->Landscape());
             EXPECT_EQ(T.E()->Header()->PageWidth(), 11906);
             EXPECT_EQ(T.E()->Header()->PageHeight(), 16838);
         }},
        {{5, 3}, [](RichTextDispatch& T) {
             EXPECT_TRUE(T.Run(5, 3));
             EXPECT_EQ(T.Rtf->AutoZoom(), rtAutoZoomWidth);
             EXPECT_TRUE(T.Rtf->ButtonDown(5 * 256, 3));
             T.Run(5, 3);
             EXPECT_EQ(T.Rtf->AutoZoom(), rtAutoZoomOff);
         }},
        {{5, 4}, [](RichTextDispatch& T) {
             EXPECT_TRUE(T.Run(5, 4));
             EXPECT_EQ(T.Rtf->AutoZoom(), rtAutoZoomFullPage);
             EXPECT_TRUE(T.Run(5, 4, rtcmdRelease));
             EXPECT_EQ(T.Rtf->AutoZoom(), rtAutoZoomOff);
         }},
        {{5, 5}, [](RichTextDispatch& T) { EXPECT_TRUE(T.Run(5, 5)); EXPECT_EQ(T.Rtf->Zooming(), 120); }},
        {{5, 6}, [](RichTextDispatch& T) { EXPECT_TRUE(T.Run(5, 6)); EXPECT_EQ(T.Rtf->Zooming(), 80); }},
        {{5, 7}, [](RichTextDispatch& T) {
             for (int i = 0; i < 80; ++i)
                 T.Key(Qt::Key_Return, Qt::NoModifier);
             T.Key(Qt::Key_Home, Qt::ControlModifier);
             EXPECT_TRUE(T.Run(5, 7));
             EXPECT_EQ(T.E()->GetCursorPageNr(), 1);
             EXPECT_TRUE(T.Run(5, 8));
             EXPECT_EQ(T.E()->GetCursorPageNr(), 0);
         }},
        {{5, 8}, [](RichTextDispatch& T) { EXPECT_TRUE(T.Run(5, 8)); EXPECT_EQ(T.E()->GetCursorPageNr(), 0); }},
        {{5, 9}, [](RichTextDispatch& T) {
             int asked = 0;
             RtCommandDialogs().Print = [&](QWidget*, int32_t, int32_t&, int32_t&, int32_t&) { return ++asked < 0; };
             EXPECT_TRUE(T.Run(5, 9));
             EXPECT_EQ(asked, 1);
         }},
        {{7, 1}, [](RichTextDispatch& T) {
             EXPECT_TRUE(T.Run(7, 1));
             EXPECT_TRUE(T.E()->CursorPar->Flags & parfProtected);
             EXPECT_TRUE(T.Run(7, 1, rtcmdRelease));
             EXPECT_FALSE(T.E()->CursorPar->Flags & parfProtected);
         }},
        {{7, 2}, [](RichTextDispatch& T) {
             EXPECT_TRUE(T.Run(7, 2));
             EXPECT_TRUE(T.E()->CursorPar->Flags & parfKeepTogether);
         }},
        {{8, 1}, [](RichTextDispatch& T) { EXPECT_TRUE(T.Run(8, 1)); EXPECT_EQ(T.Cells(), 6); }},
        {{8, 7}, [](RichTextDispatch& T) {
             T.Run(8, 1);
             EXPECT_TRUE(T.Run(8, 7));
             EXPECT_GT(T.E()->MarkedCells, 0);
         }},
        {{8, 8}, [](RichTextDispatch& T) { T.Run(8, 1); EXPECT_TRUE(T.Run(8, 8)); EXPECT_EQ(T.Cells(), 9); }},
        {{8, 9}, [](RichTextDispatch& T) { T.Run(8, 1); EXPECT_TRUE(T.Run(8, 9)); EXPECT_EQ(T.Cells(), 3); }},
        {{8, 10}, [](RichTextDispatch& T) { T.Run(8, 1); EXPECT_TRUE(T.Run(8, 10)); EXPECT_EQ(T.Cells(), 4); }},
        {{8, 11}, [](RichTextDispatch& T) { T.Run(8, 1); EXPECT_TRUE(T.Run(8, 11)); EXPECT_EQ(T.Cells(), 8); }},
        {{8, 12}, [](RichTextDispatch& T) {
             T.Run(8, 1);
             EXPECT_TRUE(T.Run(8, 12));
             EXPECT_EQ(T.E()->MarkedCells, 2);
         }},
        {{8, 13}, [](RichTextDispatch& T) { T.Run(8, 1); EXPECT_TRUE(T.Run(8, 13)); EXPECT_EQ(T.Cells(), 7); }},
        {{8, 14}, [](RichTextDispatch& T) {
             T.Run(8, 1);
             TParagraph* a = T.FirstCell();
             T.E()->MarkCellBlock(a, a->Next);
             EXPECT_TRUE(T.Run(8, 14));
             EXPECT_NE(T.E()->GetParCell(T.FirstCell())->Combine & 15, 0);
         }},
        {{9, 1}, [](RichTextDispatch& T) {
             EXPECT_TRUE(T.Run(9, 1));
             EXPECT_EQ(T.Rtf->GetSetModeControl()->OutlineStyle(), rt_bullet);
             EXPECT_TRUE(T.Run(9, 1, rtcmdRelease));
             EXPECT_EQ(T.E()->CursorPar->Number, 0);
         }},
        {{9, 2}, [](RichTextDispatch& T) {
             EXPECT_TRUE(T.Run(9, 2));
             const int16_t number = T.E()->CursorPar->Number;
             EXPECT_EQ(T.Rtf->GetSetModeControl()->OutlineStyle(), rt_1);
             T.Key(Qt::Key_Return, Qt::NoModifier);
             T.Run(9, 2, rtcmdRelease);
             T.Key(Qt::Key_Return, Qt::NoModifier);
             T.Run(9, 2);   // continues the numbering before it
             EXPECT_EQ(T.E()->CursorPar->Number, number);
         }},
        {{9, 3}, [](RichTextDispatch& T) {
             T.Run(9, 2);
             EXPECT_TRUE(T.Run(9, 3));
             EXPECT_EQ(T.E()->CursorPar->NumLevel, 1);
             EXPECT_TRUE(T.Run(9, 4));
             EXPECT_EQ(T.E()->CursorPar->NumLevel, 0);
         }},
        {{9, 4}, [](RichTextDispatch& T) {
             T.Run(9, 2);
             T.E()->CursorPar->NumLevel = 2;
             EXPECT_TRUE(T.Run(9, 4));
             EXPECT_EQ(T.E()->CursorPar->NumLevel, 1);
         }},
        {{9, 5}, [](RichTextDispatch& T) {
             EXPECT_TRUE(T.Run(9, 5));
             EXPECT_TRUE(T.E()->CursorPar->Flags & parfIsOutline);
             EXPECT_TRUE(T.Run(9, 5, rtcmdRelease));
             EXPECT_FALSE(T.E()->CursorPar->Flags & parfIsOutline);
         }},
        {{9, 6}, [](RichTextDispatch& T) {
             T.E()->CursorPar->OutlineLevel = 2;
             EXPECT_TRUE(T.Run(9, 6));
             EXPECT_EQ(T.E()->CursorPar->OutlineLevel, 1);
         }},
        {{9, 7}, [](RichTextDispatch& T) {
             EXPECT_TRUE(T.Run(9, 7));
             EXPECT_EQ(T.E()->CursorPar->OutlineLevel, 1);
             EXPECT_TRUE(T.Run(9, 6));
             EXPECT_EQ(T.E()->CursorPar->OutlineLevel, 0);
         }},
        {{10, 1}, [](RichTextDispatch& T) {
             EXPECT_TRUE(T.Run(10, 1));
             ASSERT_EQ(T.E()->CursorLine->Length, 1);
             EXPECT_TRUE(T.E()->CursorLine->Attrs[0].Style.Has(afsIsObject));
         }},
        {{10, 2}, [](RichTextDispatch& T) {
             EXPECT_TRUE(T.Run(10, 2, rtcmdClick, "DATE"));
             EXPECT_TRUE(T.E()->CursorLine->Attrs[0].Style.Has(afsIsInsertpoint));
         }},
        {{10, 3}, [](RichTextDispatch& T) {
             T.Type("go ");
             EXPECT_TRUE(T.Run(10, 3));
             EXPECT_EQ(T.Queries, QStringList{"Hyperlink/URL/"});
             EXPECT_EQ(T.Text(), "go http://example.org");
             EXPECT_TRUE(T.AttrAt(5)->Style.Has(afsHyperLink));
         }},
    };
    // The style commands of group 1: the click sets the style, the release clears it.
    const std::pair<int32_t, TOneWrtStyle> styles[] = {{2, afsBold},      {3, afsItalic},   {4, afsUnderline},
                                                       {5, afsHyperLink}, {6, afsStrikeOut}, {10, afsIsRTFCode},
                                                       {11, afsProtected}};
    std::map<std::pair<int32_t, int32_t>, TCheck> all = checks;
    for (const auto& [id, bit] : styles)
        all[{1, id}] = [id = id, bit = bit](RichTextDispatch& T) {
            T.Type("abc");
            T.E()->SetSelection(0, 3);
            EXPECT_TRUE(T.Run(1, id));
            EXPECT_TRUE(T.AttrAt(1)->Style.Has(bit));
            EXPECT_TRUE(T.Run(1, id, rtcmdRelease));
            EXPECT_FALSE(T.AttrAt(1)->Style.Has(bit));
        };
    // Hidden toggles with each click; its release keeps the state the click left.
    all[{1, 9}] = [](RichTextDispatch& T) {
        T.Type("abc");
        T.E()->SetSelection(0, 3);
        EXPECT_TRUE(T.Run(1, 9));
        EXPECT_TRUE(T.AttrAt(1)->Style.Has(afsHidden));
        EXPECT_TRUE(T.Run(1, 9, rtcmdRelease));
        EXPECT_TRUE(T.AttrAt(1)->Style.Has(afsHidden));
        EXPECT_TRUE(T.Run(1, 9));
        EXPECT_FALSE(T.AttrAt(1)->Style.Has(afsHidden));
    };
    // The borders of group 8 on a table's first cell.
    const std::tuple<int32_t, bool, uint16_t> borders[] = {{2, false, brdLeft}, {3, true, brdLeft},
                                                           {4, true, brdTop},   {5, true, brdBottom},
                                                           {6, true, brdRight}, {15, true, brdLeft},
                                                           {16, false, brdLeft}, {17, true, brdTop}};
    for (const auto& [id, on, bit] : borders)
        all[{8, id}] = [id = id, on = on, bit = bit](RichTextDispatch& T) {
            T.Run(8, 2);   // nothing to do outside a table
            T.Rtf->InsertTable(1, 1, false);
            EXPECT_TRUE(T.Run(8, id));
            const uint16_t lines = T.FirstCell()->BrdLines;
            EXPECT_EQ((lines & bit) != 0, on) << lines;
            // The cell is painted by its cell record: it has the same edges.
            EXPECT_EQ(T.E()->GetParCell(T.FirstCell())->BrdFlags & 0xFC, lines & 0xFC);
        };
    // The database navigator: captions only.
    for (int32_t id = 1; id <= 9; ++id)
        all[{6, id}] = [id](RichTextDispatch& T) { EXPECT_FALSE(T.Run(6, id)); };
    // Every caption of the action texts is covered except the combo boxes of group 11 (ExecuteValue).
    for (const TRtActionText& t : RtActionTexts) {
        if (t.Group == 11 * 256)
            continue;
        const auto it = all.find({t.Group / 256, t.Id});
        ASSERT_NE(it, all.end()) << t.Caption;
        SCOPED_TRACE(t.Caption);
        Fresh();
        it->second(*this);
    }
}

TEST_F(RichTextDispatch, StateZeroOrALockedDispatcherExecutesNothing)
{
    Type("abc");
    E()->SetSelection(0, 3);
    uint8_t state = 0;
    Rtf->Execute(256, 2, state);
    EXPECT_FALSE(AttrAt(1)->Style.Has(afsBold));
    Rtf->CommandLock = 1;
    EXPECT_FALSE(Run(1, 2));
    EXPECT_FALSE(AttrAt(1)->Style.Has(afsBold));
    Rtf->CommandLock = 0;
    Rtf->ReadOnly = true;
    Run(1, 2);
    EXPECT_FALSE(AttrAt(1)->Style.Has(afsBold));
    EXPECT_FALSE(Run(3, 7) && TRtFindDialog::Shared(true)->isVisible());
}

TEST_F(RichTextDispatch, ComboCommandsSetFontSizeAndColours)
{
    Type("abc");
    E()->SetSelection(0, 3);
    Rtf->ExecuteValue(11 * 256, 1, 0, "DejaVu Sans");
    EXPECT_EQ(E()->Header()->GetFontName(AttrAt(1)->Font), "DejaVu Sans");
    Rtf->ExecuteValue(11 * 256, 2, 18, "");
    EXPECT_EQ(AttrAt(1)->Size, 18);
    int32_t red = 0, yellow = 0;
    ASSERT_TRUE(Rtf->GetSetModeControl()->ColorToIndex(0x0000FF, red, false));
    ASSERT_TRUE(Rtf->GetSetModeControl()->ColorToIndex(0x00FFFF, yellow, false));
    Rtf->ExecuteValue(11 * 256, 3, red, "");
    Rtf->ExecuteValue(11 * 256, 4, yellow, "");
    EXPECT_EQ(E()->Header()->GetColor(AttrAt(1)->TextColor), 0x0000FF);
    EXPECT_EQ(E()->Header()->GetColor(AttrAt(1)->BGColor), 0x00FFFF);
    Rtf->ExecuteValue(11 * 256, 10, yellow, "");
    EXPECT_EQ(E()->CursorPar->Color, yellow);
    EXPECT_EQ(E()->CursorPar->Shading, 100);
}

TEST_F(RichTextDispatch, StateFollowsTheAttributesAtTheCursor)
{
    int charEvents = 0;
    Rtf->OnCharacterAttrChange = [&](TObject*, TRtSetModeControl*) { ++charEvents; };
    Type("plain ");
    Run(1, 2);
    Type("bold");
    Run(1, 2, rtcmdRelease);
    Run(2, 4);
    QApplication::processEvents();
    EXPECT_TRUE(Rtf->ButtonDown(512, 4));
    EXPECT_FALSE(Rtf->ButtonDown(512, 1));
    QTest::mouseClick(Rtf->viewport(), Qt::LeftButton, {}, PointOf(8));
    QApplication::processEvents();
    EXPECT_TRUE(Rtf->ButtonDown(256, 2));
    EXPECT_TRUE(Rtf->GetSetModeControl()->Style().Has(afsBold));
    QTest::mouseClick(Rtf->viewport(), Qt::LeftButton, {}, PointOf(2));
    QApplication::processEvents();
    EXPECT_FALSE(Rtf->ButtonDown(256, 2));
    EXPECT_GT(charEvents, 0);
    // A bound action follows the state and runs its command.
    TRtAction italic(256, 3);
    italic.setCheckable(true);
    Rtf->BindAction(&italic);
    E()->SetSelection(0, 5);
    SCOPED_TRACE(Text());
    italic.trigger();
    EXPECT_TRUE(AttrAt(1)->Style.Has(afsItalic));
    EXPECT_TRUE(italic.isChecked());
}

TEST_F(RichTextDispatch, ZoomStepsAndLimits)
{
    const std::tuple<int32_t, bool, int32_t> cases[] = {
        {100, true, 120}, {120, true, 140}, {200, true, 220}, {250, false, 200}, {999, true, 1000},
        {1000, true, 1000}, {10, false, 10}, {15, false, 10}, {50, false, 40},
    };
    for (const auto& [from, in, to] : cases) {
        Rtf->SetZooming(from);
        in ? Rtf->ZoomIn() : Rtf->ZoomOut();
        EXPECT_EQ(Rtf->Zooming(), to) << from;
    }
    Rtf->SetZooming(0);
    EXPECT_EQ(Rtf->Zooming(), 10);
    Rtf->SetZooming(5000);
    EXPECT_EQ(Rtf->Zooming(), 1000);
}

}  // namespace

TEST_F(RichTextDispatch, EachCommandIsItsOwnUndoStep)
{
    // Every command of the text panel, after typing: undo takes back the
    // command only, redo brings it back.
    struct TCase {
        const char* Name;
        std::function<void(RichTextDispatch&)> Run;
        std::function<bool(RichTextDispatch&)> Done;
    };
    const TCase cases[] = {
        {"bold button", [](RichTextDispatch& T) { T.Run(1, 2); },
         [](RichTextDispatch& T) { return T.AttrAt(4)->Style.Has(afsBold); }},
        {"size box", [](RichTextDispatch& T) { T.Rtf->ExecuteValue(11 * 256, 2, 18, ""); },
         [](RichTextDispatch& T) { return T.AttrAt(4)->Size == 18; }},
        {"font box", [](RichTextDispatch& T) { T.Rtf->ExecuteValue(11 * 256, 1, 0, "DejaVu Sans"); },
         [](RichTextDispatch& T) { return T.E()->Header()->GetFontName(T.AttrAt(4)->Font) == "DejaVu Sans"; }},
        {"colour chooser", [](RichTextDispatch& T) {
             int32_t red = 0;
             T.Rtf->GetSetModeControl()->ColorToIndex(0x0000FF, red, false);
             T.Rtf->ExecuteValue(11 * 256, 3, red, "");
         },
         [](RichTextDispatch& T) { return T.E()->Header()->GetColor(T.AttrAt(4)->TextColor) == 0x0000FF; }},
        {"attribute control", [](RichTextDispatch& T) { T.Rtf->GetSetModeControl()->SetSize(20); },
         [](RichTextDispatch& T) { return T.AttrAt(4)->Size == 20; }},
        {"paragraph command", [](RichTextDispatch& T) { T.Run(2, 4); },
         [](RichTextDispatch& T) { return T.E()->FirstPar->Next->Align == paralCenter; }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Fresh();
        Rtf->SetEditOptions(E()->EditOptions | TRtEditOptions{rtActivateRedoHotkey});
        Type("xy");
        Key(Qt::Key_Return);
        Type("abc def");
        E()->SetSelection(3, 3);
        Key(Qt::Key_Right, Qt::ShiftModifier);
        Key(Qt::Key_Left, Qt::ShiftModifier);
        const int32_t cursor = E()->GetCursorAbsPos();
        c.Run(*this);
        ASSERT_TRUE(c.Done(*this));
        // Text, attributes and selection as before the command.
        Key(Qt::Key_Z, Qt::ControlModifier);
        ASSERT_EQ(Text(), "xy\nabc def");
        EXPECT_FALSE(c.Done(*this));
        EXPECT_EQ(AttrAt(4)->Size, 12);
        EXPECT_EQ(Selection(), std::make_pair(3, 3));
        EXPECT_EQ(E()->GetCursorAbsPos(), cursor);
        Key(Qt::Key_Y, Qt::ControlModifier);
        ASSERT_EQ(Text(), "xy\nabc def");
        EXPECT_TRUE(c.Done(*this));
        // The typing before stays a step of its own.
        Key(Qt::Key_Z, Qt::ControlModifier);
        Key(Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(Text(), "xy\n");
    }
}

TEST_F(RichTextDispatch, AFontChosenForPartOfTheTextLeavesTheDefaultFontOfTheRest)
{
    // A text never loaded: its font slot 0 has no name.
    for (const bool viaAttributes : {false, true}) {
        SCOPED_TRACE(viaAttributes);
        Fresh();
        E()->Header()->Fonts[0] = TRtFontEntry{};
        E()->CurrentAttr.Font = 0;
        Type("abc def");
        E()->SetSelection(4, 3);
        if (viaAttributes)
            Rtf->GetSetModeControl()->SetFontName("DejaVu Sans");
        else
            Rtf->ExecuteValue(11 * 256, 1, 0, "DejaVu Sans");
        EXPECT_EQ(E()->Header()->GetFontName(AttrAt(5)->Font), "DejaVu Sans");
        EXPECT_NE(E()->Header()->GetFontName(AttrAt(1)->Font), "DejaVu Sans");
    }
}
