// The editor's printing: paper sizes, page ranges, the job and page loop on a
// recording printer, a three-page text printed to "PDF-Datei", and painting
// into rectangles step by step.
#include "RtControlTestSupport.h"
#include "RtHeaderFooter.h"
#include "RtPrint.h"
#include "RtTestSupport.h"

#include "../document/PrintTestUtil.h"

#include <QFile>
#include <QFileInfo>
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
    // Pages of 600 x 800 pixels at 100 dpi unless given.
    explicit TRecordingPrinter(TRtCustomRtfEditPrint& Owner, int W = 600, int H = 800, int DotsPerMeter = 3937)
        : owner_(Owner)
    {
        Page = QImage(W, H, QImage::Format_ARGB32);
        Page.setDotsPerMeterX(DotsPerMeter);
        Page.setDotsPerMeterY(DotsPerMeter);
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
    int32_t PhysicalOffsetX() override { return OffsetX; }
    int32_t PhysicalOffsetY() override { return OffsetY; }
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
    int32_t OffsetX = 0, OffsetY = 0;   // device pixels
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
    E->PrintOptions.Include(rtDoNotChangePrinterDefaults);
    struct TCase {
        bool PageScaling;  // the page-scaling loop, else the printer's resolution
        bool Collate;
        std::vector<int32_t> Pages;
    };
    const TCase cases[] = {
        {true, false, {1, 1, 2, 2}},
        {true, true, {1, 2, 1, 2}},
        {false, false, {1, 1, 2, 2}},
        {false, true, {1, 2, 1, 2}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.PageScaling << c.Collate);
        E->SetScreenResMode(c.PageScaling ? rm1440 : rmNormal);
        auto rec = std::make_unique<TRecordingPrinter>(*P);
        TRecordingPrinter* r = rec.get();
        SetRtPrinter(std::move(rec));
        P->PrintParameter().NumberOfCopies = 2;
        P->PrintParameter().Collate = c.Collate;
        P->PrintText(1, 2);
        EXPECT_EQ(r->Pages, c.Pages);
        EXPECT_EQ(r->NewPages, 3);
    }
}

TEST_F(RtCustomRtfEditPrint, PageRangesArePrintedWithSimpleTextOutput)
{
    Fill({"eins", "zwei"}, true);
    E->PrintOptions.Include(rtDoNotChangePrinterDefaults);
    std::vector<bool> seen;
    E->OnFontChanged = [&](TObject*) { seen.push_back(E->SimpleTextOutput); };
    auto rec = std::make_unique<TRecordingPrinter>(*P);
    TRecordingPrinter* r = rec.get();
    SetRtPrinter(std::move(rec));
    P->PrintText(1, 2);
    EXPECT_EQ(r->Pages, (std::vector<int32_t>{1, 2}));
    EXPECT_NE(std::find(seen.begin(), seen.end(), true), seen.end());
    EXPECT_FALSE(E->SimpleTextOutput);
}

// The first row (from the top) with a dark pixel inside x0..x1, -1 when none.
int FirstInkRow(const QImage& Img, int X0, int X1, int FromY = 0, int Threshold = 200)
{
    for (int y = FromY; y < Img.height(); ++y)
        for (int x = X0; x < std::min(X1, Img.width()); ++x)
            if (qGray(Img.pixel(x, y)) < Threshold)
                return y;
    return -1;
}

// The top rows of the runs of rows with ink, from the top.
std::vector<int> InkRunTops(const QImage& Img)
{
    std::vector<int> tops;
    bool inRun = false;
    for (int y = 0; y < Img.height(); ++y) {
        bool ink = false;
        for (int x = 0; x < Img.width() && !ink; ++x)
            ink = qGray(Img.pixel(x, y)) < 200;
        if (ink && !inRun)
            tops.push_back(y);
        inRun = ink;
    }
    return tops;
}

TEST_F(RtCustomRtfEditPrint, OverflowLiftsTheBodyLinesAtPrinterResolution)
{
    // Lines 20 units high; at 144 dpi one unit is 10 twips. The body is 97
    // units high, but the layout lets five lines (100 units) stand on page 1.
    E->OnMeasureChar = [](TRtRTFTextPaint*, const TAttr&, int32_t&, int32_t& LineHeight, int32_t& Ascent,
                          std::array<int32_t, 256>& W) {
        W.fill(12);
        LineHeight = 20;
        Ascent = 16;
    };
    E->OnMeasurePage = [](TObject*, int32_t, int32_t& PageHeight, int32_t&, int32_t&) { PageHeight += 30; };
    Fill({"X", "X", "X", "X", "X", "X"}, false);
    E->Header()->SetPageHeight(2880 + 970);
    E->UpdateLayout();
    E->PrintOptions.Include(rtDoNotChangePrinterDefaults);
    auto rec = std::make_unique<TRecordingPrinter>(*P, 400, 400, 5669);   // 144 dpi
    TRecordingPrinter* r = rec.get();
    SetRtPrinter(std::move(rec));
    P->PrintText(1, 1);
    const std::vector<int> tops = InkRunTops(r->Page);
    ASSERT_EQ(tops.size(), 5u);
    // The k-th line stands min(k, 3) units higher than its place in the layout.
    EXPECT_EQ(tops[1] - tops[0], 19);
    EXPECT_EQ(tops[2] - tops[1], 19);
    EXPECT_EQ(tops[3] - tops[2], 20);
    EXPECT_EQ(tops[4] - tops[3], 20);

    // A page that fits is drawn unchanged.
    E->OnMeasurePage = nullptr;
    E->UpdateLayout();
    auto plain = std::make_unique<TRecordingPrinter>(*P, 400, 400, 5669);
    r = plain.get();
    SetRtPrinter(std::move(plain));
    P->PrintText(1, 1);
    const std::vector<int> fitting = InkRunTops(r->Page);
    ASSERT_EQ(fitting.size(), 4u);
    for (size_t i = 1; i < fitting.size(); ++i)
        EXPECT_EQ(fitting[i] - fitting[i - 1], 20);
}

// The leftmost and topmost dark pixel of an image.
QPoint FirstInk(const QImage& Img, int Threshold = 200)
{
    int left = Img.width(), top = Img.height();
    for (int y = 0; y < Img.height(); ++y)
        for (int x = 0; x < Img.width(); ++x)
            if (qGray(Img.pixel(x, y)) < Threshold) {
                left = std::min(left, x);
                top = std::min(top, y);
            }
    return {left, top};
}

TEST_F(RtCustomRtfEditPrint, PhysicalOffsetsMoveThePageInEitherOrientation)
{
    Fill({"Text"}, false);
    E->PrintOptions.Include(rtDoNotChangePrinterDefaults);
    auto inkAt = [&](int32_t OffsetX, int32_t OffsetY, bool Respect) {
        auto rec = std::make_unique<TRecordingPrinter>(*P);
        TRecordingPrinter* r = rec.get();
        r->OffsetX = OffsetX;
        r->OffsetY = OffsetY;
        SetRtPrinter(std::move(rec));
        P->PrintParameter().RespectPhysicalMargins = Respect;
        P->PrintText(0, 0);
        return FirstInk(r->Page);
    };
    for (bool landscape : {false, true}) {
        E->Header()->SetLandscape(landscape);
        E->UpdateLayout();
        const QPoint plain = inkAt(0, 0, true);
        // 100 dpi: the 1-inch margin lies 100 pixels in, less the ink's own lead.
        EXPECT_NEAR(plain.x(), 100, 6) << landscape;
        EXPECT_NEAR(plain.y(), 100, 8) << landscape;
        EXPECT_EQ(inkAt(20, 8, true), plain - QPoint(20, 8)) << landscape;
        EXPECT_EQ(inkAt(20, 8, false), plain) << landscape;
    }
}

TEST_F(RtCustomRtfEditPrint, PaintsAPageIntoACanvasFittingItsWidth)
{
    Fill({"Seite eins", "Seite zwei"}, true);
    AddSpecial(rtIsHeader, "Kopf");
    // A4 fitted into 210 pixels: one pixel a millimetre.
    QImage img(212, 300, QImage::Format_ARGB32);
    img.fill(Qt::white);
    TCanvas c(&img);
    const int32_t zoom = P->PaintPageOnCanvas(1, &c, 0, ppMargins | ppFitWidth | ppFrame, 1, 1, 210, 297);
    EXPECT_EQ(zoom, MulDiv(210, 100, MulDiv(11906, 96, 1440)));
    EXPECT_EQ(P->PaintPageOnCanvas(1, &c, 0, ppMargins | ppFitWidth | ppMeasureOnly, 0, 0, 210, 297), zoom);
    c.Flush();
    if (qEnvironmentVariableIsSet("RT_PRINT_KEEP"))
        img.save(QString::fromLocal8Bit(qgetenv("RT_PRINT_KEEP")) + QStringLiteral("/preview.png"));
    // The frame one pixel outside the page; inside it the header at 12.7 mm and the body at 25.4 mm
    // (the zoom is a whole per cent: 26 of 794 pixels).
    EXPECT_LT(qGray(img.pixel(0, 100)), 128);
    EXPECT_LT(qGray(img.pixel(100, 0)), 128);
    const double mm = 26 / 100.0 * 96 / 25.4;
    const QImage inner = img.copy(2, 2, 150, 150);
    const QPoint ink = FirstInk(inner, 245);
    EXPECT_NEAR(ink.x() + 1, 25.4 * mm, 3);
    EXPECT_NEAR(ink.y() + 1, 12.7 * mm, 4);
    EXPECT_NEAR(FirstInkRow(inner, 0, 150, ink.y() + 6, 245) + 1, 25.4 * mm, 4);
}

// ---- a three-page text to "PDF-Datei" ------------------------------------------------------------------

QString PdfText(const QString& File, int Page)
{
    QProcess proc;
    proc.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-f"), QString::number(Page),
                                             QStringLiteral("-l"), QString::number(Page), File, QStringLiteral("-")});
    EXPECT_TRUE(proc.waitForFinished(30000));
    return QString::fromUtf8(proc.readAllStandardOutput());
}

TEST_F(RtCustomRtfEditPrint, ThreePagesToPdfWithRangesHeadersAndPaper)
{
    QTemporaryDir dir;
    Fill({"Seite eins", "Seite zwei", "Seite drei"}, true);
    AddSpecial(rtIsHeader, "Kopfzeile");
    AddSpecial(rtIsFooter, "Fu\xDFzeile");
    ASSERT_EQ(E->CountPages(), 3);

    const QString all = printtest::UsePdfPrinter(dir, QStringLiteral("all.pdf"));
    P->PrintText(0, 0);
    const printtest::TPdfInfo info = printtest::PdfInfo(all);
    EXPECT_EQ(info.Pages, 3);
    EXPECT_NEAR(info.PageSize.width(), 210.0, 1.0);
    EXPECT_NEAR(info.PageSize.height(), 297.0, 1.0);
    const char* bodies[] = {"Seite eins", "Seite zwei", "Seite drei"};
    for (int page = 1; page <= 3; ++page) {
        const QString text = PdfText(all, page);
        EXPECT_TRUE(text.contains(QLatin1String(bodies[page - 1]))) << page << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Kopfzeile"))) << page;
        EXPECT_TRUE(text.contains(QStringLiteral("Fußzeile"))) << page;
        for (int other = 0; other < 3; ++other) {
            if (other != page - 1) {
                EXPECT_FALSE(text.contains(QLatin1String(bodies[other]))) << page;
            }
        }
        // Header above the body above the footer.
        const qsizetype head = text.indexOf(QStringLiteral("Kopfzeile")), body = text.indexOf(QLatin1String(bodies[page - 1])),
                        foot = text.indexOf(QStringLiteral("Fußzeile"));
        EXPECT_LT(head, body);
        EXPECT_LT(body, foot);
    }
    // The body's first line stands at the top margin (1 inch), the header at 0.5 inch, the footer near the bottom.
    const int dpi = 100;
    const QImage first = printtest::RenderPdfPage(all, 1, dpi);
    ASSERT_FALSE(first.isNull());
    first.save(dir.filePath(QStringLiteral("page1.png")));
    const int left = dpi, right = first.width() - dpi;
    const int headRow = FirstInkRow(first, left, right);
    const int bodyRow = FirstInkRow(first, left, right, dpi * 9 / 10);
    EXPECT_NEAR(headRow, dpi / 2, 4);
    EXPECT_NEAR(bodyRow, dpi, 4);
    int lastInk = -1;
    for (int y = first.height() - 1; y >= 0 && lastInk < 0; --y)
        for (int x = left; x < right; ++x)
            if (qGray(first.pixel(x, y)) < 200) {
                lastInk = y;
                break;
            }
    EXPECT_GT(lastInk, first.height() - dpi);
    EXPECT_LT(lastInk, first.height() - dpi / 4);
    // Text starts at the left margin.
    int firstCol = -1;
    for (int x = 0; x < first.width() && firstCol < 0; ++x)
        for (int y = bodyRow; y < bodyRow + dpi / 4; ++y)
            if (qGray(first.pixel(x, y)) < 200) {
                firstCol = x;
                break;
            }
    EXPECT_NEAR(firstCol, dpi, 3);

    // A page list, and the last page only: page 2 is left out.
    const QString list = printtest::UsePdfPrinter(dir, QStringLiteral("list.pdf"));
    P->PrintParameter().PageRange = rtrPageList;
    P->PrintParameter().PageList = "3,1";
    P->PrintText(0, 0);
    EXPECT_EQ(printtest::PdfInfo(list).Pages, 2);
    EXPECT_TRUE(PdfText(list, 1).contains(QStringLiteral("Seite drei")));
    EXPECT_TRUE(PdfText(list, 2).contains(QStringLiteral("Seite eins")));

    // Headers only on the first page; a landscape A5 page.
    P->PrintParameter().PageRange = rtrAllPages;
    P->PrintParameter().SetPrintHeaderFooter(rtrOnlyOnFirstPage);
    TTextHeader* h = E->Header();
    h->BeginUpdate();
    h->SetLandscape(true);
    h->SetPageWidth(11906);
    h->SetPageHeight(8391);
    h->EndUpdate();
    E->UpdateLayout();
    const QString landscape = printtest::UsePdfPrinter(dir, QStringLiteral("landscape.pdf"));
    P->PrintText(2, 3);
    const printtest::TPdfInfo a5 = printtest::PdfInfo(landscape);
    EXPECT_EQ(a5.Pages, 2);
    EXPECT_NEAR(a5.PageSize.width(), 210.0, 1.0);
    EXPECT_NEAR(a5.PageSize.height(), 148.0, 1.0);
    EXPECT_FALSE(PdfText(landscape, 1).contains(QStringLiteral("Kopfzeile")));
    EXPECT_TRUE(PdfText(landscape, 1).contains(QStringLiteral("Seite zwei")));
    if (qEnvironmentVariableIsSet("RT_PRINT_KEEP"))
        for (const QString& f : {all, list, landscape})
            QFile::copy(f, QString::fromLocal8Bit(qgetenv("RT_PRINT_KEEP")) + QLatin1Char('/') + QFileInfo(f).fileName());
}

TEST_F(RtCustomRtfEditPrint, AHeaderBeingEditedPrintsInItsPlaceAboveTheBody)
{
    QTemporaryDir dir;
    Fill({"Seite eins", "Seite zwei"}, true);
    AddSpecial(rtIsHeader, "XKopf");
    TRtSpecialTextProperty* header = E->FindHeaderFooter(rtraOnAllPages, rtIsHeader);
    // Edited in place, and as the layer of the headers.
    const std::pair<const char*, std::function<void(bool)>> ways[] = {
        {"in place", [&](bool On) { header->SetEditing(On); }},
        {"as a layer", [&](bool On) { E->SetLayer(On ? 1 : 0); }},
    };
    int n = 0;
    for (const auto& [name, edit] : ways) {
        SCOPED_TRACE(name);
        edit(true);
        E->UpdateLayout();
        const QString pdf = printtest::UsePdfPrinter(dir, QStringLiteral("p%1.pdf").arg(++n));
        P->PrintText(0, 0);
        ASSERT_EQ(printtest::PdfInfo(pdf).Pages, 2);
        for (int page = 1; page <= 2; ++page) {
            const QString text = PdfText(pdf, page);
            EXPECT_EQ(text.count(QStringLiteral("XKopf")), 1) << text.toStdString();
            EXPECT_TRUE(text.contains(QLatin1String(page == 1 ? "Seite eins" : "Seite zwei"))) << text.toStdString();
        }
        // The header is still the text edited.
        EXPECT_EQ(E->EditedHeaderFooterId(), header->Id());
        EXPECT_EQ(LineUtf8(*E, E->FirstPar->Lines), "XKopf");
        edit(false);
    }
}

TEST_F(RtCustomRtfEditPrint, FirstPageComesFromItsOwnTrayAndHeadersAreOffered)
{
    QTemporaryDir dir;
    const QByteArray oldTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(dir.path()));
    SystemPrintersHook = [] { return QStringList{QStringLiteral("Testdrucker")}; };
    struct TJob {
        TSpoolJob Spooled;
        QString Copy;  // the job's PDF, kept past the spooling
    };
    std::vector<TJob> jobs;
    int spooled = 0;
    SpoolJobHook = [&](const TSpoolJob& Job) {
        const QString copy = dir.filePath(QStringLiteral("job%1.pdf").arg(spooled++));
        EXPECT_TRUE(QFile::copy(Job.FileName, copy));
        jobs.push_back({Job, copy});
    };
    TPrinter& printer = Printer();
    printer.Refresh();
    printer.SetPrinterIndex(0);
    auto option = [](const TSpoolJob& Job, const char* Name) {
        for (const auto& o : Job.Options)
            if (o.first == Name)
                return o.second;
        return QByteArray();
    };
    Fill({"Seite eins", "Seite zwei", "Seite drei"}, true);
    P->PrintParameter().PrintTitle = QStringLiteral("Brief");
    P->PrintParameter().FirstPageSource = 4;   // manual feed
    P->PrintParameter().OtherPagesSource = 2;  // lower tray
    P->PrintText(0, 0);
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(option(jobs[0].Spooled, "media-source"), "manual");
    EXPECT_EQ(option(jobs[0].Spooled, "InputSlot"), "Manual");
    EXPECT_EQ(printtest::PdfInfo(jobs[0].Copy).Pages, 1);
    EXPECT_TRUE(PdfText(jobs[0].Copy, 1).contains(QStringLiteral("Seite eins")));
    EXPECT_EQ(option(jobs[1].Spooled, "media-source"), "bottom");
    EXPECT_EQ(option(jobs[1].Spooled, "InputSlot"), "Lower");
    EXPECT_EQ(printtest::PdfInfo(jobs[1].Copy).Pages, 2);
    EXPECT_TRUE(PdfText(jobs[1].Copy, 1).contains(QStringLiteral("Seite zwei")));
    for (const TJob& j : jobs)
        EXPECT_EQ(j.Spooled.Title, QStringLiteral("Brief"));
    EXPECT_TRUE(printer.JobOptions.empty()) << "later jobs take the printer's own tray";

    // Without page 1 one job from the other tray; one tray for all, one job.
    jobs.clear();
    P->PrintText(2, 3);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(option(jobs[0].Spooled, "media-source"), "bottom");
    jobs.clear();
    P->PrintParameter().FirstPageSource = 2;
    P->PrintText(0, 0);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(printtest::PdfInfo(jobs[0].Copy).Pages, 3);
    // A first page from the printer's own choice, the rest from a tray.
    jobs.clear();
    P->PrintParameter().FirstPageSource = 0;
    P->PrintText(0, 0);
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(option(jobs[0].Spooled, "media-source"), "");
    EXPECT_EQ(option(jobs[1].Spooled, "media-source"), "bottom");

    // In duplex the first sheet holds pages 1 and 2: both come from the first page's tray.
    jobs.clear();
    P->PrintParameter().FirstPageSource = 4;
    P->PrintParameter().DuplexMode = 1;
    P->PrintText(0, 0);
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(option(jobs[0].Spooled, "media-source"), "manual");
    EXPECT_EQ(printtest::PdfInfo(jobs[0].Copy).Pages, 2);
    EXPECT_EQ(printtest::PdfInfo(jobs[1].Copy).Pages, 1);
    P->PrintParameter().DuplexMode = 0;

    // The PDF printer has no trays: one file. Each printed page offers its
    // header and footer areas to the application once.
    P->PrintParameter().FirstPageSource = 4;
    const QString pdf = printtest::UsePdfPrinter(dir, QStringLiteral("all.pdf"));
    jobs.clear();
    std::vector<int32_t> headers, footers;
    P->PrintHeader = [&](TObject*, TCanvas* Canvas, const TRect& Area, int32_t PageNo) {
        EXPECT_NE(Canvas, nullptr);
        EXPECT_EQ(Area.Bottom - Area.Top, E->Header()->PixTopMargin);
        headers.push_back(PageNo);
    };
    P->PrintFooter = [&](TObject*, TCanvas*, const TRect& Area, int32_t PageNo) {
        EXPECT_EQ(Area.Bottom - Area.Top, E->Header()->PixBottomMargin);
        footers.push_back(PageNo);
    };
    P->PrintText(0, 0);
    EXPECT_TRUE(jobs.empty());
    EXPECT_EQ(printtest::PdfInfo(pdf).Pages, 3);
    EXPECT_EQ(headers, (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(footers, (std::vector<int32_t>{1, 2, 3}));

    SpoolJobHook = nullptr;
    SystemPrintersHook = nullptr;
    qputenv("TMPDIR", oldTemp);
    printer.Refresh();
}

// Copies the printer makes come out collated when asked for, also when a
// tray of its own for the first page splits the print into two jobs: the
// printer repeats each job for its copies, so the page loop makes them then.
TEST_F(RtCustomRtfEditPrint, CollatedCopiesStayCollatedAcrossATraySwitch)
{
    QTemporaryDir dir;
    const QByteArray oldTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(dir.path()));
    SystemPrintersHook = [] { return QStringList{QStringLiteral("Testdrucker")}; };
    // The sheets the printer gives for the jobs it was sent, by their text.
    std::vector<std::string> sheets;
    std::vector<TSpoolJob> jobs;
    SpoolJobHook = [&](const TSpoolJob& Job) {
        jobs.push_back(Job);
        int copies = 1;
        bool collate = false;
        for (const auto& o : Job.Options) {
            if (o.first == "copies")
                copies = o.second.toInt();
            if (o.first == "Collate")
                collate = o.second == "True";
        }
        std::vector<std::string> pages;
        for (int page = 1; page <= printtest::PdfInfo(Job.FileName).Pages; ++page)
            pages.push_back(PdfText(Job.FileName, page).simplified().toStdString());
        for (int copy = 0; copy < copies * int(pages.size()); ++copy)
            sheets.push_back(collate ? pages[size_t(copy) % pages.size()] : pages[size_t(copy / copies)]);
    };
    TPrinter& printer = Printer();
    printer.Refresh();
    printer.SetPrinterIndex(0);
    // A printer that makes copies itself.
    struct TCopyingPrinter : TRtPrinterWrapper {
        bool DriverHandlesCopies() override { return true; }
    };
    SetRtPrinter(std::make_unique<TCopyingPrinter>());
    Fill({"eins", "zwei", "drei"}, true);
    TRtPrinterEngine& e = P->PrintParameter();
    e.NumberOfCopies = 2;
    const std::vector<std::string> collated = {"eins", "zwei", "drei", "eins", "zwei", "drei"};
    const std::vector<std::string> uncollated = {"eins", "eins", "zwei", "zwei", "drei", "drei"};
    struct TCase {
        int32_t FirstPageSource;
        bool Collate;
        std::vector<std::string> Sheets;
        size_t Jobs;
    };
    for (const TCase& c : {TCase{2, true, collated, 1}, TCase{2, false, uncollated, 1},
                           TCase{4, true, collated, 4}, TCase{4, false, uncollated, 2}}) {
        SCOPED_TRACE(testing::Message() << c.FirstPageSource << c.Collate);
        sheets.clear();
        jobs.clear();
        e.FirstPageSource = c.FirstPageSource;
        e.OtherPagesSource = 2;
        e.Collate = c.Collate;
        P->PrintText(0, 0);
        EXPECT_EQ(sheets, c.Sheets);
        EXPECT_EQ(jobs.size(), c.Jobs);
    }
    SpoolJobHook = nullptr;
    SystemPrintersHook = nullptr;
    qputenv("TMPDIR", oldTemp);
    printer.Refresh();
}

// ---- painting into rectangles -------------------------------------------------------------------------

TEST_F(RtCustomRtfEditPrint, PaintsIntoRectanglesStepByStep)
{
    Fill({"Erste Zeile", "Zweite Zeile", "Dritte Zeile", "Vierte Zeile", "Fuenfte Zeile"}, false);
    QImage img(360, 120, QImage::Format_ARGB32);
    img.fill(Qt::white);
    TCanvas c(&img);
    const int32_t lineH = E->FirstPar->Lines->Height;
    ASSERT_GT(lineH, 0);
    P->RectPaintOptions = 0;
    int layouts = 0;
    E->OnCaretMoved = [&](TObject*) { ++layouts; };
    EXPECT_EQ(P->PaintToRect(&c, 0, 0, 160, 2 * lineH, 0, rpBegin), 0);
    const int afterBegin = layouts;
    EXPECT_GT(afterBegin, 0);
    // Two lines a step; each step goes on where the last one ended.
    const int32_t first = P->PaintToRect(&c, 10, 10, 160, 2 * lineH, 0, rpPaint);
    EXPECT_EQ(first, 2);
    EXPECT_EQ(P->RectPaintBottom, 10 + 2 * lineH);
    const int32_t second = P->PaintToRect(&c, 190, 10, 160, 2 * lineH, first, rpPaint);
    EXPECT_EQ(second, 4);
    const int32_t third = P->PaintToRect(&c, 10, 70, 160, 2 * lineH, second, rpPaint);
    EXPECT_EQ(third, 0);   // the last line was painted
    E->OnCaretMoved = nullptr;
    EXPECT_EQ(P->RectPaintBottom, 70 + lineH);
    EXPECT_EQ(P->PaintToRect(nullptr, 0, 0, 0, 0, 0, rpEnd), 0);
    EXPECT_EQ(layouts, afterBegin);   // laid out at the begin call only: the steps kept the width
    c.Flush();
    // The engine is the screen's again.
    EXPECT_EQ(E->ReferenceCanvas(), &Screen);
    EXPECT_EQ(E->CanvasLeft, 0);

    const QString reference = QStringLiteral(LUMI_TEST_DATA "/richtext/PaintToRectSteps.png");
    if (qEnvironmentVariableIsSet("LUMI_MAKE_REFERENCE"))
        img.save(reference);
    const QImage expected = QImage(reference).convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(expected.isNull());
    int differing = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (std::abs(qGray(img.pixel(x, y)) - qGray(expected.pixel(x, y))) > 64)
                ++differing;
    EXPECT_LT(differing, 40);
}

TEST_F(RtCustomRtfEditPrint, RectanglePaintingEdgeCases)
{
    Fill({"eins", "zwei", "drei"}, false);
    QImage img(200, 200, QImage::Format_ARGB32);
    img.fill(Qt::white);
    TCanvas c(&img);
    const int32_t lineH = E->FirstPar->Lines->Height;
    // A single step: all three lines fit; the bottom is Y plus the first top to the third bottom.
    EXPECT_EQ(P->PaintToRect(&c, 0, 5, 200, 200, 0, rpPaint), 0);
    const TLine* l0 = E->FirstPar->Lines;
    const TLine* l2 = E->FirstPar->Next->Next->Lines;
    EXPECT_EQ(P->RectPaintBottom, 5 + l2->Top + l2->Height - l0->Top);
    // A line taller than the rectangle is painted anyway and counted.
    EXPECT_EQ(P->PaintToRect(&c, 0, 0, 200, 3, 0, rpPaint), 1);
    // Negative starts paint nothing.
    EXPECT_EQ(P->PaintToRect(&c, 0, 0, 200, 200, -1, rpPaint), 0);
    // Characters: a start inside a line paints from that character; the text keeps its characters.
    P->RectPaintOptions = 128;
    EXPECT_EQ(P->PaintToRect(&c, 0, 0, 200, 200, 7, rpMeasure), 14);
    EXPECT_EQ(P->PaintToRect(&c, 0, 0, 200, lineH, 7, rpPaint), 10);   // one line, "ei": on at "drei"
    EXPECT_EQ(P->PaintToRect(&c, 0, 0, 200, lineH, 5, rpPaint), 10);   // "zwei" from its start
    EXPECT_EQ(P->PaintToRect(&c, 0, 0, 200, lineH, 4, rpPaint), 10);   // at the end of "eins": the next line
    EXPECT_EQ(Pars(*E), (std::vector<std::string>{"eins", "zwei", "drei"}));
    // A line feed of the text itself stays where it is.
    Fill({"ab\ncdef", "gh"}, false);
    EXPECT_EQ(P->PaintToRect(&c, 0, 0, 200, lineH, 5, rpPaint), 8);   // "ef", then on at "gh"
    EXPECT_EQ(Pars(*E), (std::vector<std::string>{"ab\ncdef", "gh"}));
    Fill({"eins", "zwei", "drei"}, false);
    // Paragraphs: from the second one on; beyond the text nothing is painted and the count comes back.
    P->RectPaintOptions = 64;
    EXPECT_EQ(P->PaintToRect(&c, 0, 0, 200, 200, 1, rpMeasure), 0);
    EXPECT_EQ(P->PaintToRect(&c, 0, 0, 200, lineH, 1, rpMeasure), 2);
    EXPECT_EQ(P->PaintToRect(&c, 0, 0, 200, 200, 9, rpMeasure), 3);
    EXPECT_EQ(P->PaintToRect(&c, 0, 0, 200, 200, -1, rpMeasure), 0);
    // Lines beyond the text: from the last line on.
    P->RectPaintOptions = 0;
    EXPECT_EQ(P->PaintToRect(&c, 0, 0, 200, 200, 9, rpMeasure), 0);
    // Page mode stops at the next page start, whatever the height.
    E->FirstPar->Next->Next->Flags |= parfNewPage;
    P->RectPaintOptions = 32;
    EXPECT_EQ(P->PaintToRect(&c, 0, 0, 200, 200, 0, rpMeasure), 2);
    EXPECT_EQ(P->PaintToRect(&c, 0, 0, 200, 200, 2, rpMeasure), 0);
    P->RectPaintOptions = 0;
    // A fixed-resolution engine refuses.
    E->SetScreenResMode(rm1440);
    EXPECT_THROW(P->PaintToRect(&c, 0, 0, 10, 10, 0, rpPaint), ERtEngineModeError);
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

// The component's print commands print through its printing layer: Print all
// pages unless the registry's handler takes the job, Print Dialog the pages chosen.
class RichTextPrintCommands : public RtControlTest {
protected:
    void SetUp() override
    {
        RtControlTest::SetUp();
        saved_ = RtCommandDialogs();
        FillText(*E(), {"Seite eins", "Seite zwei", "Seite drei"});
        for (TParagraph* p = E()->FirstPar->Next; p; p = p->Next)
            p->Flags |= parfNewPage;
        E()->CursorPar = E()->FirstPar;
        E()->CursorLine = E()->FirstPar->Lines;
        E()->UpdateLayout();
    }
    void TearDown() override
    {
        RtCommandDialogs() = saved_;
        RtEditorRegistry = {};
        RtControlTest::TearDown();
    }
    void Run(int32_t Id)
    {
        uint8_t state = rtcmdClick;
        Rtf->Execute(5 * 256, Id, state);
        EXPECT_EQ(state, 0);
    }
    // The pages of a PDF by their body text.
    static std::vector<std::string> Bodies(const QString& File)
    {
        std::vector<std::string> out;
        const int pages = printtest::PdfInfo(File).Pages;
        for (int page = 1; page <= pages; ++page) {
            const QString text = PdfText(File, page);
            for (const char* body : {"Seite eins", "Seite zwei", "Seite drei"})
                if (text.contains(QLatin1String(body)))
                    out.push_back(body);
        }
        return out;
    }
    TRtCommandDialogs saved_;
};

TEST_F(RichTextPrintCommands, PrintAndPrintDialogReachThePrinter)
{
    QTemporaryDir dir;
    ASSERT_EQ(E()->CountPages(), 3);
    // Print: every page, the job named by the control's title.
    Rtf->setWindowTitle(QStringLiteral("Brief an Anna"));
    const QString all = printtest::UsePdfPrinter(dir, QStringLiteral("all.pdf"));
    Run(1);
    EXPECT_EQ(Bodies(all), (std::vector<std::string>{"Seite eins", "Seite zwei", "Seite drei"}));
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {all});
    ASSERT_TRUE(info.waitForFinished(30000));
    EXPECT_TRUE(QString::fromUtf8(info.readAllStandardOutput()).contains(QStringLiteral("Brief an Anna")));

    // The registry's handler may take the job.
    int handled = 0;
    RtEditorRegistry.Print = [&](TRtCustomRichText* R) {
        EXPECT_EQ(R, Rtf.get());
        return ++handled > 0;
    };
    const QString taken = printtest::UsePdfPrinter(dir, QStringLiteral("taken.pdf"));
    Run(1);
    EXPECT_EQ(handled, 1);
    EXPECT_FALSE(QFileInfo::exists(taken));
    RtEditorRegistry = {};

    // Print Dialog: offered pages 1..3 and one copy; the chosen range is printed.
    int32_t offered = 0, offeredCopies = 0;
    bool confirm = true;
    RtCommandDialogs().Print = [&](QWidget*, int32_t MaxPage, int32_t& From, int32_t& To, int32_t& Copies) {
        offered = MaxPage;
        offeredCopies = Copies;
        From = 2;
        To = 3;
        return confirm;
    };
    const QString range = printtest::UsePdfPrinter(dir, QStringLiteral("range.pdf"));
    Run(9);
    EXPECT_EQ(offered, 3);
    EXPECT_EQ(offeredCopies, 1);
    EXPECT_EQ(Bodies(range), (std::vector<std::string>{"Seite zwei", "Seite drei"}));

    // Cancelled: nothing is printed.
    confirm = false;
    const QString none = printtest::UsePdfPrinter(dir, QStringLiteral("none.pdf"));
    Run(9);
    EXPECT_FALSE(QFileInfo::exists(none));
}

// Page numbers in rectangles: each rectangle shows the number of the page it paints.
using RichTextRectPaint = RtControlTest;

TEST_F(RichTextRectPaint, EachRectangleShowsTheNumberOfItsPage)
{
    // Four pages, once with fields and once with the numbers written out.
    auto text = [](const std::vector<std::string>& Pages, const std::string& Count) {
        std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Sans;}}\\f0\\fs24 ";
        for (const std::string& page : Pages)
            rtf += (&page == &Pages.front() ? "Seite " : "\\par Seite ") + page + " von " + Count;
        return rtf + "}";
    };
    // Each paragraph after the first starts a page.
    auto load = [&](const std::string& Text, int32_t Zoom) {
        Rtf->SetText(Text);
        for (TParagraph* p = E()->FirstPar->Next; p; p = p->Next)
            p->Flags |= parfNewPage;
        Rtf->SetZooming(Zoom);
        E()->UpdateLayout();
    };
    const std::string page = "{\\field{\\*\\fldinst PAGE}{\\fldrslt 1}}";
    const std::string count = "{\\field{\\*\\fldinst NUMPAGES}{\\fldrslt 4}}";
    // Each step from the first page on, in page mode, alone or between a begin and an end call.
    auto steps = [&](bool Paired) {
        std::vector<QImage> out;
        QImage img(420, 320, QImage::Format_RGB32);
        TCanvas c(&img);
        TRtCustomRtfEditPrint& print = Rtf->Printing();
        print.RectPaintOptions = 32;
        if (Paired)
            print.PaintToRect(&c, 10, 10, 400, 300, 0, rpBegin);
        int32_t start = 0;
        do {
            img.fill(Qt::white);
            start = print.PaintToRect(&c, 10, 10, 400, 300, start, rpPaint);
            c.Flush();
            out.push_back(img.copy());
        } while (start != 0 && out.size() < 8);
        if (Paired)
            print.PaintToRect(nullptr, 0, 0, 0, 0, 0, rpEnd);
        return out;
    };
    for (const int zoom : {100, 150}) {
        for (const bool paired : {false, true}) {
            load(text({"1", "2", "3", "4"}, "4"), zoom);
            const std::vector<QImage> written = steps(paired);
            ASSERT_EQ(written.size(), 4u);
            load(text({page, page, page, page}, count), zoom);
            ASSERT_EQ(E()->CountPages(), 4);
            // Painted before and after the screen showed the last page.
            for (const bool afterLastPage : {false, true}) {
                if (afterLastPage) {
                    Key(Qt::Key_End, Qt::ControlModifier);
                    Rtf->RefreshView();
                    QApplication::processEvents();
                }
                const int32_t screenPage = E()->PaintingPage;
                const std::vector<QImage> fields = steps(paired);
                ASSERT_EQ(fields.size(), 4u);
                for (size_t i = 0; i < 4; ++i)
                    EXPECT_TRUE(fields[i] == written[i]) << "page " << i + 1 << " at zoom " << zoom
                                                         << (paired ? ", paired" : ", alone")
                                                         << (afterLastPage ? ", after the last page" : "");
                EXPECT_EQ(E()->PaintingPage, screenPage);
            }
        }
    }
}

} // namespace
