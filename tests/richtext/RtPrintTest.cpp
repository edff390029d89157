// The editor's printing: paper sizes, page ranges, the job and page loop on a
// recording printer, a three-page text printed to "PDF-Datei", and painting
// into rectangles step by step.
#include "RtHeaderFooter.h"
#include "RtPrint.h"
#include "RtTestSupport.h"

#include "../document/PrintTestUtil.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

namespace {

class RtCustomRtfEditPrint : public ::testing::Test, protected TUseTestPlatform {
protected:
    void SetUp() override
    {
        E = std::make_unique<TRtRTFTextInput>();
        P = std::make_unique<TRtCustomRtfEditPrint>(*E);
        E->SetReferenceCanvas(&Screen);
    }
    void TearDown() override { SetRtPrinter(nullptr); }

    // Paragraphs, each starting a page when Pages.
    void Fill(const std::vector<std::string>& Pars, bool Pages)
    {
        FillText(*E, Pars);
        if (Pages)
            for (TParagraph* p = E->FirstPar->Next; p; p = p->Next)
                p->Flags |= parfNewPage;
        TTextHeader* h = E->Header();
        h->BeginUpdate();
        h->SetPageWidth(11906);
        h->SetPageHeight(16838);
        h->SetLeftMargin(1440);
        h->SetRightMargin(1440);
        h->SetTopMargin(1440);
        h->SetBottomMargin(1440);
        h->EndUpdate();
        E->CursorPar = E->FirstPar;
        E->CursorLine = E->FirstPar->Lines;
        E->UpdateLayout();
    }

    void AddSpecial(TRtPagePropertyKind Kind, const char* Text)
    {
        TRtSpecialTextProperty* item = E->GetOrAddHeaderFooter(rtraOnAllPages, Kind);
        TParagraph* hp = nullptr;
        E->InsertPar(hp, 40);
        item->SetParagraphs(hp);
        hp->Owner = item;
        E->InsertTextAt(hp, 0, nullptr, Text);
        E->UpdateLayout();
    }

    TCanvas Screen;
    std::unique_ptr<TRtRTFTextInput> E;
    std::unique_ptr<TRtCustomRtfEditPrint> P;
};

// ---- paper sizes -------------------------------------------------------------------------------------

TEST(RtPaperDefinitionCollection, ComparesWithinSevenTwips)
{
    TRtPaperDefinitionCollection c;
    c.FillFromPrinter(false);
    const int32_t a4 = c.IndexOfCode(9);
    ASSERT_GE(a4, 0);
    EXPECT_EQ(c.Items(a4).Width, 11906);
    EXPECT_EQ(c.Items(a4).Height, 16838);
    EXPECT_EQ(TRtPaperDefinitionCollection::Compare(c.Items(a4), 11906, 16838), 0);
    EXPECT_EQ(TRtPaperDefinitionCollection::Compare(c.Items(a4), 11916, 16838), -1);
    EXPECT_EQ(TRtPaperDefinitionCollection::Compare(c.Items(a4), 11000, 16000), 1);
    EXPECT_EQ(c.IndexOfSize(11906, 16838), a4);
    EXPECT_EQ(c.IndexOfSize(11916, 16838), -1);
    EXPECT_EQ(c.Items(a4).DisplayText(), AnsiString("DinA4=DIN A4 210 x 297 mm: 11906 X 16838"));
    const int32_t letter = c.IndexOfCode(1);
    ASSERT_GE(letter, 0);
    EXPECT_EQ(c.Items(letter).Width, 12240);
    EXPECT_EQ(c.Items(letter).Height, 15840);
}

TEST_F(RtCustomRtfEditPrint, RefillKeepsLockedEntriesAndFallsBackToBuiltInSizes)
{
    TRtPaperDefinitionCollection& c = P->PaperDefs();
    TRtPaperDefinition& own = c.Add();
    own.Name = "Own";
    own.Width = 5000;
    own.Height = 6000;
    own.Locked = true;
    c.Add().Name = "Gone";
    E->PrintOptions.Include(rtDontReadPapernamesFromPrinter);
    c.FillFromPrinter(true);
    // The locked entry alone is no reason for the built-in sizes.
    ASSERT_EQ(c.Count(), 1);
    EXPECT_EQ(c.Items(0).Name, AnsiString("Own"));
    EXPECT_TRUE(c.Stored());
    c.Items(0).Locked = false;
    c.FillFromPrinter(true);
    EXPECT_EQ(c.Count(), 7);
    EXPECT_FALSE(c.Stored());
    // Read from the selected printer ("PDF-Datei" at least): its papers with codes.
    E->PrintOptions.Exclude(rtDontReadPapernamesFromPrinter);
    c.FillFromPrinter(true);
    ASSERT_GT(c.Count(), 0);
    EXPECT_GE(c.IndexOfCode(9), 0);
    EXPECT_EQ(c.Items(c.IndexOfCode(9)).Width, 11906);
}

// ---- page ranges -------------------------------------------------------------------------------------

TEST_F(RtCustomRtfEditPrint, PageListIsOrderedAndClipped)
{
    struct TCase {
        const char* List;
        std::vector<TRtPageRange> Expected;
    } cases[] = {
        {"5-3", {{3, 5}}},
        {"2,9", {{2, 2}}},        // a single page beyond the last is dropped
        {"4-12", {{4, 8}}},       // a range is clipped
        {"1,3-4", {{1, 1}, {3, 4}}},
    };
    TRtPrinterEngine& e = P->PrintParameter();
    e.PageRange = rtrPageList;
    for (const TCase& c : cases) {
        e.PageList = c.List;
        AnsiString error;
        ASSERT_TRUE(e.BuildRanges(1, 8, error)) << c.List;
        EXPECT_EQ(e.Ranges, c.Expected) << c.List;
    }
    e.PageList = "x";
    AnsiString error;
    EXPECT_FALSE(e.BuildRanges(1, 8, error));
    EXPECT_FALSE(error.empty());
    e.PageRange = rtrAllPages;
    ASSERT_TRUE(e.BuildRanges(2, 6, error));
    EXPECT_EQ(e.Ranges, (std::vector<TRtPageRange>{{2, 6}}));
}

// ---- the job and page loop on a recording printer ------------------------------------------------------

// A printer whose pages are images; records each page painted and its copies.
class TRecordingPrinter : public TRtPrinterWrapper {
public:
    explicit TRecordingPrinter(TRtCustomRtfEditPrint& Owner) : owner_(Owner)
    {
        Page = QImage(600, 800, QImage::Format_ARGB32);
        Page.setDotsPerMeterX(3937);   // 100 dpi
        Page.setDotsPerMeterY(3937);
    }
    TCanvas* GetCanvas() override
    {
        Pages.push_back(owner_.RtfText().PrintingPage + 1);
        return canvas_.get();
    }
    QPaintDevice* GetHandle() override { return &Page; }
    bool GetPrinting() override { return printing_; }
    bool GetAborted() override { return false; }
    int32_t GetPageWidth() override { return Page.width(); }
    int32_t GetPageHeight() override { return Page.height(); }
    void NewPage() override { ++NewPages; }
    void BeginDoc() override
    {
        printing_ = true;
        ++Docs;
        Page.fill(Qt::white);
        canvas_ = std::make_unique<TCanvas>(&Page);
    }
    void EndDoc() override
    {
        canvas_.reset();
        printing_ = false;
    }
    QImage Page;
    std::vector<int32_t> Pages;
    int NewPages = 0, Docs = 0;

private:
    TRtCustomRtfEditPrint& owner_;
    std::unique_ptr<TCanvas> canvas_;
    bool printing_ = false;
};

TEST_F(RtCustomRtfEditPrint, PageLoopFollowsRangesSidesAndCopies)
{
    Fill({"eins", "zwei", "drei", "vier", "fuenf"}, true);
    ASSERT_EQ(E->CountPages(), 5);
    auto run = [&](auto Setup, int32_t From, int32_t To) {
        auto rec = std::make_unique<TRecordingPrinter>(*P);
        TRecordingPrinter* r = rec.get();
        SetRtPrinter(std::move(rec));
        TRtPrinterEngine& e = P->PrintParameter();
        e = TRtPrinterEngine(P.get());
        Setup(e);
        E->PrintOptions.Include(rtDoNotChangePrinterDefaults);
        P->PrintText(From, To);
        EXPECT_EQ(r->Docs, 1);
        EXPECT_EQ(r->NewPages, int(r->Pages.size()) - 1);
        return r->Pages;
    };
    EXPECT_EQ(run([](TRtPrinterEngine&) {}, 0, 0), (std::vector<int32_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(run([](TRtPrinterEngine& e) { e.PageSides = rtsEven; }, 1, 5), (std::vector<int32_t>{2, 4}));
    EXPECT_EQ(run([](TRtPrinterEngine& e) { e.PageSides = rtsOdd; }, 2, 5), (std::vector<int32_t>{3, 5}));
    EXPECT_EQ(run(
                  [](TRtPrinterEngine& e) {
                      e.PageRange = rtrPageList;
                      e.PageList = "5-3,9";
                  },
                  0, 0),
              (std::vector<int32_t>{3, 4, 5}));
    // After printing the engine lays the text out for the screen again.
    EXPECT_EQ(E->ReferenceCanvas(), &Screen);
    EXPECT_FALSE(E->Printing);
    EXPECT_EQ(E->Header()->LayoutYRes, 96);
}

TEST_F(RtCustomRtfEditPrint, CopiesAreRepeatedWhenThePrinterCannotMakeThem)
{
    Fill({"eins", "zwei"}, true);
    E->SetScreenResMode(rm1440);   // the page-scaling loop
    auto rec = std::make_unique<TRecordingPrinter>(*P);
    TRecordingPrinter* r = rec.get();
    SetRtPrinter(std::move(rec));
    P->PrintParameter().NumberOfCopies = 2;
    E->PrintOptions.Include(rtDoNotChangePrinterDefaults);
    P->PrintText(1, 2);
    EXPECT_EQ(r->Pages, (std::vector<int32_t>{1, 1, 2, 2}));
    EXPECT_EQ(r->NewPages, 3);
}

// ---- cursor helpers ----------------------------------------------------------------------------------

TEST_F(RtCustomRtfEditPrint, CharacterCursorWalksLinesAndParagraphs)
{
    Fill({"ab", "c"}, false);
    TParagraph* par = E->FirstPar;
    TLine* line = par->Lines;
    int32_t pos = 0;
    std::string walk;
    do
        walk += char(TRtCustomRtfEditPrint::CharAt(line, pos));
    while (P->NextCharPos(par, line, pos));
    EXPECT_EQ(walk, "ab\rc\r");
    std::string back;
    do
        back += char(TRtCustomRtfEditPrint::CharAt(line, pos));
    while (P->PrevCharPos(par, line, pos));
    EXPECT_EQ(back, "\rc\rba");
    EXPECT_EQ(TRtCustomRtfEditPrint::AttrAt(nullptr, 0).Width, 0);
}

} // namespace
