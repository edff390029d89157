// The print driver through the PDF printer: single pages and folded sheets,
// with and without border, page ranges and selections, copies, cancelling,
// the stored print settings and the texts it shows.
#include "FBPictureElement.h"
#include "PrintTestUtil.h"

#include "KvSpinEdit.h"
#include "uDlgDruckAbbrechen.h"
#include "uFotobuchDocument.h"
#include "uFotobuchPrinter.h"
#include "uPrinterSupport.h"
#include "uQwDruckDlg.h"
#include "uQwRegistry.h"
#include "uRTFDrawer.h"

#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

using namespace printtest;

namespace {

TFBPictureElement* AddPicture(TFBPage& Page, float Left, float Top, float W, float H, TColor Color)
{
    auto e = std::make_unique<TFBPictureElement>(&Page);
    e->CenterX = Left + W / 2;
    e->CenterY = Top + H / 2;
    e->Width = W;
    e->Height = H;
    e->FillWithColor(Color);
    auto* raw = e.get();
    Page.Pictures.Add(std::move(e));
    return raw;
}

// A document of Count pages of W x H mm; page i shows a full-page picture
// of Colors[i] (none for 0xFFFFFFFF).
std::unique_ptr<TFBDocument> MakeDocument(uint8_t DocType, float W, float H,
                                          const std::vector<uint32_t>& Colors)
{
    auto doc = std::make_unique<TFBDocument>();
    doc->DocType = DocType;
    doc->PageWidth = W;
    doc->PageHeight = H;
    doc->PrintPaperSize = -1;
    doc->PrintPaperWidth = DocType == 1 ? H : W;
    doc->PrintPaperHeight = DocType == 1 ? 2 * W : H;
    doc->SetPictureShadows(false);
    for (uint32_t color : Colors) {
        auto page = std::make_unique<TFBPage>(doc.get());
        if (color != 0xFFFFFFFFu)
            AddPicture(*page, 0, 0, W, H, TColor(color));
        doc->Pages.Add(std::move(page));
    }
    return doc;
}

constexpr uint32_t Red = 0x0000FF, Blue = 0xFF0000, Green = 0x00C000, Yellow = 0x00FFFF, None = 0xFFFFFFFF;

// Runs TFotobuchPrinter::Print with the print dialog answered by Setup.
struct TPrintRun {
    QTemporaryDir Dir;
    QString File;
    std::function<void(TQwDruckDlg&)> Setup;
    int Result = QDialog::Accepted;
    int Dialogs = 0;
    QStringList Progress;
    QStringList Messages;

    TPrintRun()
    {
        File = UsePdfPrinter(Dir);
        ShowModalHook = [this](QDialog& D) {
            auto* dlg = dynamic_cast<TQwDruckDlg*>(&D);
            if (!dlg)
                return int(QDialog::Rejected);
            ++Dialogs;
            if (Setup)
                Setup(*dlg);
            return Result;
        };
        PrintProgressHook = [this](const QString& Text) { Progress << Text; };
        PrintMessageHook = [this](QMessageBox::Icon, const QString& Text) { Messages << Text; };
    }
    ~TPrintRun()
    {
        ShowModalHook = nullptr;
        PrintProgressHook = nullptr;
        PrintMessageHook = nullptr;
    }
    void Print(TFBDocument& Doc)
    {
        TFotobuchPrinter printer(&Doc);
        printer.Print();
        EXPECT_EQ(PrintProgressWindow(), nullptr) << "the progress window closes with the job";
    }
};

} // namespace

TEST(FotobuchPrinter, NormalA4Page)
{
    auto doc = MakeDocument(0, 210, 297, {None, None});
    doc->PrintPaperSize = 9;
    AddPicture(*doc->Pages.GetPage(0), 55, 123.5f, 100, 50, Red);
    TPrintRun run;
    run.Print(*doc);
    EXPECT_EQ(run.Dialogs, 1);
    EXPECT_EQ(run.Progress, QStringList({QStringLiteral("Drucken wird vorbereitet"),
                                         QStringLiteral("Drucke Seite 1 von 1")}));
    const TPdfInfo info = PdfInfo(run.File);
    EXPECT_EQ(info.Pages, 1);
    EXPECT_NEAR(info.PageSize.width(), 210, 0.4);
    EXPECT_NEAR(info.PageSize.height(), 297, 0.4);
    const QImage img = RenderPdfPage(run.File, 1, 100);
    ASSERT_FALSE(img.isNull());
    EXPECT_TRUE(Near(PixelAtMm(img, 100, 105, 148.5), Qt::red));
    EXPECT_TRUE(Near(PixelAtMm(img, 100, 57, 125.5), Qt::red));
    EXPECT_TRUE(Near(PixelAtMm(img, 100, 105, 121.5), Qt::white));
    EXPECT_TRUE(Near(PixelAtMm(img, 100, 53, 148.5), Qt::white));
    EXPECT_TRUE(Near(PixelAtMm(img, 100, 157, 148.5), Qt::white));
}

// A pocket booklet: pages of 105 x 148 mm two by two on A5 sheets, page 2k
// in the lower half with its left edge at the bottom, page 2k+1 above it.
TEST(FotobuchPrinter, FoldedBookletPageOrderSeamAndShift)
{
    struct Case {
        bool borderless;
        float dialogShift;  // 0: as stored (default -1.2)
        double seam;        // mm from the top of the sheet
    } cases[] = {{false, 0, 105.0}, {true, 0, 103.8}, {true, -2.5f, 102.5}};
    for (const Case& c : cases) {
        auto doc = MakeDocument(1, 105, 148, {Red, Blue, Green, Yellow});
        doc->PrintBorderless = c.borderless;
        doc->PrintSetting = 1;
        AddPicture(*doc->Pages.GetPage(0), 0, 0, 20, 20, 0);  // black mark, top left of page 1
        TPrintRun run;
        run.Setup = [&](TQwDruckDlg& dlg) {
            EXPECT_EQ(dlg.BtnDruckposition->isHidden(), !c.borderless);
            if (c.dialogShift != 0)
                dlg.RandlosverschiebungY = c.dialogShift;
        };
        run.Print(*doc);
        const TPdfInfo info = PdfInfo(run.File);
        ASSERT_EQ(info.Pages, 2) << c.seam;
        EXPECT_NEAR(info.PageSize.width(), 148, 0.4);
        EXPECT_NEAR(info.PageSize.height(), 210, 0.4);
        const int dpi = 200;
        const QImage sheet1 = RenderPdfPage(run.File, 1, dpi);
        const QImage sheet2 = RenderPdfPage(run.File, 2, dpi);
        ASSERT_FALSE(sheet1.isNull());
        EXPECT_TRUE(Near(PixelAtMm(sheet1, dpi, 74, c.seam + 0.5), Qt::red)) << c.seam;
        EXPECT_TRUE(Near(PixelAtMm(sheet1, dpi, 74, c.seam - 0.5), Qt::blue)) << c.seam;
        EXPECT_TRUE(Near(PixelAtMm(sheet1, dpi, 74, 150), Qt::red));
        EXPECT_TRUE(Near(PixelAtMm(sheet1, dpi, 74, 50), Qt::blue));
        // The mark at the top left of page 1 lands at the bottom left of the sheet.
        EXPECT_TRUE(Near(PixelAtMm(sheet1, dpi, 10, 200 + (c.seam - 105)), Qt::black)) << c.seam;
        EXPECT_TRUE(Near(PixelAtMm(sheet1, dpi, 138, 200 + (c.seam - 105)), Qt::red)) << c.seam;
        EXPECT_TRUE(Near(PixelAtMm(sheet2, dpi, 74, 150), QColor(0, 0xC0, 0)));
        EXPECT_TRUE(Near(PixelAtMm(sheet2, dpi, 74, 50), Qt::yellow));
        EXPECT_EQ(run.Progress.mid(1), QStringList({QStringLiteral("Drucke Seite 1 von 2"),
                                                    QStringLiteral("Drucke Seite 2 von 2")}));
    }
}

TEST(FotobuchPrinter, FoldedOddPageCountLeavesTheLastPage)
{
    auto doc = MakeDocument(1, 105, 148, {Red, Blue, Green, Yellow, Red});
    TPrintRun run;
    run.Print(*doc);
    EXPECT_EQ(PdfInfo(run.File).Pages, 2);
}

TEST(FotobuchPrinter, PageRanges)
{
    struct Case {
        const char* what;
        std::function<void(TQwDruckDlg&)> setup;
        QStringList progress;  // without the first text
        std::vector<QColor> pages;
    };
    auto choose = [](std::vector<int> pages) {
        return [pages](TQwDruckDlg& dlg) {
            for (int p : pages)
                (*dlg.PageSelection)[size_t(p - 1)] = true;
            dlg.rbSeitenauswahl->setChecked(true);
        };
    };
    auto range = [](int from, int to) {
        return [from, to](TQwDruckDlg& dlg) {
            dlg.rbSeiten->setChecked(true);
            dlg.SetFromPage(from);
            dlg.SetToPage(to);
        };
    };
    Case cases[] = {
        {"chosen pages 2 and 5", choose({2, 5}),
         {QStringLiteral("Drucke Seite 1 von 2"), QStringLiteral("Drucke Seite 2 von 2")},
         {Qt::blue, Qt::red}},
        {"from 2 to 9, clamped to the last page with content", range(2, 9),
         {QStringLiteral("Drucke Seite 1 von 3"), QStringLiteral("Drucke Seite 2 von 3"),
          QStringLiteral("Drucke Seite 3 von 3")},  // the empty page 3 is neither printed nor counted
         {Qt::blue, Qt::yellow, Qt::red}},
        {"from greater than to", range(3, 2), {}, {}},
    };
    for (const Case& c : cases) {
        // page 3 is empty; page 6 is empty and not counted
        auto doc = MakeDocument(0, 100, 150, {Green, Blue, None, Yellow, Red, None});
        TPrintRun run;
        run.Setup = c.setup;
        run.Print(*doc);
        EXPECT_EQ(run.Progress.mid(1), c.progress) << c.what;
        if (c.pages.empty()) {
            EXPECT_FALSE(QFile::exists(run.File)) << c.what << ": no job without pages";
            continue;
        }
        ASSERT_EQ(PdfInfo(run.File).Pages, int(c.pages.size())) << c.what;
        for (size_t i = 0; i < c.pages.size(); ++i)
            EXPECT_TRUE(Near(PixelAtMm(RenderPdfPage(run.File, int(i) + 1, 30), 30, 50, 75), c.pages[i]))
                << c.what << " page " << i;
    }
}

TEST(FotobuchPrinter, CopiesRepeatedByTheJobOnThePdfPrinter)
{
    auto doc = MakeDocument(1, 105, 148, {Red, Blue, Green, Yellow});
    TPrintRun run;
    run.Setup = [](TQwDruckDlg& dlg) { dlg.edAnzahl->SetValue(2); };
    run.Print(*doc);
    EXPECT_EQ(PdfInfo(run.File).Pages, 4);
    EXPECT_EQ(Printer().DevMode().Copies, 1) << "the printer makes one copy of each";
    EXPECT_EQ(run.Progress.mid(1),
              QStringList({QStringLiteral("Drucke Seite 1 von 2"), QStringLiteral("Drucke Seite 2 von 2"),
                           QStringLiteral("Drucke Seite 1 von 2"), QStringLiteral("Drucke Seite 2 von 2")}));
}

TEST(FotobuchPrinter, CancelAbortsTheJob)
{
    auto doc = MakeDocument(0, 100, 150, {Red, Blue, Green});
    TPrintRun run;
    PrintProgressHook = [&](const QString& Text) {
        run.Progress << Text;
        if (Text.startsWith(QStringLiteral("Drucke Seite 2")))
            PrintProgressWindow()->cmdAbbrechen->click();
    };
    run.Print(*doc);
    EXPECT_EQ(run.Progress.mid(1), QStringList({QStringLiteral("Drucke Seite 1 von 3"),
                                                QStringLiteral("Drucke Seite 2 von 3")}));
    EXPECT_FALSE(QFile::exists(run.File));
    EXPECT_FALSE(Printer().Printing());
}

TEST(FotobuchPrinter, NothingToPrintOrNotPrintable)
{
    struct Case {
        const char* what;
        uint8_t docType;
        std::vector<uint32_t> pages;
        QString message;
    } cases[] = {
        {"no page with content", 0, {None, None}, QStringLiteral("Es sind keine Elemente zum Drucken vorhanden.")},
        {"two-sided", 2, {Red, Blue}, QStringLiteral("Beidseitiges Drucken ist noch nicht implementiert")},
    };
    for (const Case& c : cases) {
        auto doc = MakeDocument(c.docType, 100, 150, c.pages);
        TPrintRun run;
        run.Print(*doc);
        EXPECT_EQ(run.Messages, QStringList{c.message}) << c.what;
        EXPECT_EQ(run.Dialogs, 0) << c.what;
        EXPECT_FALSE(QFile::exists(run.File)) << c.what;
    }
}

TEST(FotobuchPrinter, CancelledDialogPrintsAndStoresNothing)
{
    auto doc = MakeDocument(0, 210, 297, {Red});
    doc->PrintSetting = 9;
    TPrintRun run;
    run.Result = QDialog::Rejected;
    run.Print(*doc);
    EXPECT_EQ(run.Dialogs, 1);
    EXPECT_FALSE(QFile::exists(run.File));
    EXPECT_EQ(TQwRegIniFile::Instance().GetDataSize("Druckeinstellung\\DINA4", "DeviceMode"), -1);
}

// Rotations by product: calendars about the middle of the A4 page, the 4:6
// photo book about the middle of its page.
TEST(FotobuchPrinter, TurnedProducts)
{
    struct Case {
        uint8_t setting;
        float w, h;
        double markX, markY;  // where the 20 mm mark from (10, 10) lands
    } cases[] = {{9, 210, 297, 20, 20}, {7, 210, 297, 190, 277}, {4, 100, 150, 80, 130}};
    for (const Case& c : cases) {
        auto doc = MakeDocument(0, c.w, c.h, {None});
        doc->PrintSetting = c.setting;
        AddPicture(*doc->Pages.GetPage(0), 10, 10, 20, 20, 0);
        TPrintRun run;
        run.Print(*doc);
        const TPdfInfo info = PdfInfo(run.File);
        EXPECT_NEAR(info.PageSize.width(), c.w, 0.4) << int(c.setting);
        EXPECT_NEAR(info.PageSize.height(), c.h, 0.4) << int(c.setting);
        const QImage img = RenderPdfPage(run.File, 1, 50);
        EXPECT_TRUE(Near(PixelAtMm(img, 50, c.markX, c.markY), Qt::black)) << int(c.setting);
        if (c.setting != 9) {
            EXPECT_TRUE(Near(PixelAtMm(img, 50, 20, 20), Qt::white)) << int(c.setting);
        }
    }
}

TEST(FotobuchPrinter, ColouredPageMakesTheBookBorderlessAndIsStoredSo)
{
    auto doc = MakeDocument(1, 105, 148, {Red, Blue});
    doc->PrintSetting = 6;
    doc->Pages.GetPage(1)->PageColor = 0x00FF00;
    TPrintRun run;
    run.Setup = [](TQwDruckDlg& dlg) { dlg.RandlosverschiebungY = -1.5f; };
    run.Print(*doc);
    EXPECT_TRUE(doc->PrintBorderless);
    EXPECT_EQ(doc->PrintSetting, 5);
    TQwRegIniFile& reg = TQwRegIniFile::Instance();
    EXPECT_EQ(reg.ReadWideString("Druckeinstellung\\PhotoBook85Randlos", "Drucker", QString()),
              QStringLiteral("PDF-Datei"));
    EXPECT_NEAR(reg.ReadFloat("Druckeinstellung\\PhotoBook85Randlos\\PDF-Datei", "RandlosverschiebungY", 0), -1.5,
                1e-6);
    EXPECT_TRUE(Printer().DevMode().FullPage);
    EXPECT_EQ(reg.GetDataSize("Druckeinstellung\\PhotoBook85Normal", "DeviceMode"), -1);
}

TEST(FotobuchPrinter, StoredSettingsAreCheckedBeforeUse)
{
    QTemporaryDir dir;
    UsePdfPrinter(dir);
    TQwRegIniFile& reg = TQwRegIniFile::Instance();
    const AnsiString key = "Druckeinstellung\\DINA4";
    auto doc = MakeDocument(0, 210, 297, {Red});
    doc->PrintSetting = 9;
    TFotobuchPrinter printer(doc.get());

    TDeviceMode a3 = Printer().DefaultDevMode();
    a3.PageSizeId = QPageSize::A3;
    a3.PageSizeKey = QStringLiteral("A3");
    a3.PaperWidth = 297;
    a3.PaperHeight = 420;
    TDeviceMode foreign = a3;
    foreign.Model = QStringLiteral("Laser 3000");
    std::vector<uint8_t> damaged = a3.ToBytes();
    damaged.resize(damaged.size() - 3);

    // Refused settings leave the paper prepared for the document (A5 here).
    struct Case {
        const char* what;
        const char* printer;
        std::vector<uint8_t> block;
        int id;
    } cases[] = {
        {"fitting", "PDF-Datei", a3.ToBytes(), QPageSize::A3},
        {"another printer model", "PDF-Datei", foreign.ToBytes(), QPageSize::A5},
        {"damaged", "PDF-Datei", damaged, QPageSize::A5},
        {"unknown printer", "Buero Laser", a3.ToBytes(), QPageSize::A5},
    };
    for (const Case& c : cases) {
        reg.WriteWideString(key, "Drucker", QString::fromLatin1(c.printer));
        reg.WriteBinaryData(key, "DeviceMode", c.block.data(), int32_t(c.block.size()));
        PrinterSupport().SetPaperCode(11);
        PrinterSupport().SetCopies(3);
        printer.LoadPrintSettings();
        EXPECT_EQ(Printer().DevMode().PageSizeId, c.id) << c.what;
        EXPECT_EQ(Printer().PrinterName(), QStringLiteral("PDF-Datei")) << c.what;
        const bool known = QString::fromLatin1(c.printer) == QStringLiteral("PDF-Datei");
        EXPECT_EQ(Printer().DevMode().Copies, known ? 1 : 3) << c.what << ": an unknown printer changes nothing";
    }

    // Written back as the block of the current settings.
    printer.SavePrintSettings();
    const std::vector<uint8_t> expected = Printer().DevMode().ToBytes();
    std::vector<uint8_t> stored(expected.size() + 8);
    EXPECT_EQ(reg.ReadBinaryData(key, "DeviceMode", stored.data(), int32_t(stored.size())),
              int32_t(expected.size()));
    stored.resize(expected.size());
    EXPECT_EQ(stored, expected);
}

TEST(FotobuchPrinter, TextsAndArithmetic)
{
    struct { int dpi, divisor; } divisors[] = {{300, 1}, {360, 1}, {365, 1}, {366, 2}, {600, 2}, {720, 2}, {1200, 4}};
    for (const auto& d : divisors)
        EXPECT_EQ(TFotobuchPrinter::ResolutionDivisor(d.dpi), d.divisor) << d.dpi;

    EXPECT_EQ(TFotobuchPrinter::MakeJobTitle(QStringLiteral("Foto+Buch/A&B\\C 'x' \"y\"")),
              QStringLiteral("Foto Buch A B C x y"));

    auto doc = MakeDocument(0, 210, 297, {Red});
    doc->PrintPaperName = "A4 Fotopapier";
    doc->PrintPaperType = "";
    TFotobuchPrinter printer(doc.get());
    EXPECT_EQ(printer.GetRequiredSettingsText(),
              QStringLiteral("Bitte stellen Sie folgende Eigenschaften für den ausgewählten Drucker ein:\r\n\r\n"
                             "- Papierformat: A4 Fotopapier\r\n- kein Randlosdruck"));
    doc->PrintPaperType = "Glanz";
    doc->PrintBorderless = true;
    EXPECT_EQ(printer.GetRequiredSettingsText(),
              QStringLiteral("Bitte stellen Sie folgende Eigenschaften für den ausgewählten Drucker ein:\r\n\r\n"
                             "- Papierformat: A4 Fotopapier\r\n- Papierart: Glanz\r\n- Randlosdruck"));

    EXPECT_EQ(PrintSettingsKey(0), "");
    EXPECT_EQ(PrintSettingsKey(12), "Druckeinstellung\\Photobinding10x15");
}

// A shadowed text is printed from a bitmap of its rectangle: on a coloured
// page that bitmap carries the page colour, not a white box.
TEST(FotobuchPrinter, ShadowedTextOnAColouredPage)
{
    auto doc = MakeDocument(0, 210, 297, {None});
    doc->PrintPaperSize = 9;
    TFBPage& page = *doc->Pages.GetPage(0);
    page.PageColor = 0x00FF00;
    auto text = std::make_unique<TFBTextElement>(&page);
    text->CenterX = 70;
    text->CenterY = 35;
    text->Width = 100;
    text->Height = 30;
    text->Drawer->SetRTFText("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs48 Hallo\\par}");
    text->SetHasShadow(true);
    page.Elements.Add(std::move(text));
    TPrintRun run;
    run.Print(*doc);
    const QImage img = RenderPdfPage(run.File, 1, 100);
    ASSERT_FALSE(img.isNull());
    EXPECT_TRUE(Near(PixelAtMm(img, 100, 115, 45), Qt::green)) << "inside the text box, beside the text";
    EXPECT_TRUE(Near(PixelAtMm(img, 100, 150, 150), Qt::green));
    bool dark = false;  // the text itself
    for (double x = 21; x < 60 && !dark; x += 0.3)
        for (double y = 21; y < 32 && !dark; y += 0.3)
            dark = PixelAtMm(img, 100, x, y).lightness() < 80;
    EXPECT_TRUE(dark);
}

// Pictures reaching beyond the paper are rendered for the part on it: one
// hanging over the left edge ends where it should, and one of absurd size
// (a damaged document) still fills the page.
TEST(FotobuchPrinter, PicturesBeyondThePaper)
{
    struct Case {
        const char* what;
        float left, top, w, h;
        double redX, whiteX;  // mm on the paper, at y = 100
    } cases[] = {
        {"over the left edge", -30, 50, 80, 100, 49, 51},
        {"absurdly large", -50000, -50000, 100000, 100000, 209, -1},
    };
    for (const Case& c : cases) {
        auto doc = MakeDocument(0, 210, 297, {None});
        doc->PrintPaperSize = 9;
        AddPicture(*doc->Pages.GetPage(0), c.left, c.top, c.w, c.h, Red);
        TPrintRun run;
        run.Print(*doc);
        const QImage img = RenderPdfPage(run.File, 1, 100);
        ASSERT_FALSE(img.isNull()) << c.what;
        EXPECT_TRUE(Near(PixelAtMm(img, 100, 1, 100), Qt::red)) << c.what;
        EXPECT_TRUE(Near(PixelAtMm(img, 100, c.redX, 100), Qt::red)) << c.what;
        if (c.whiteX > 0) {
            EXPECT_TRUE(Near(PixelAtMm(img, 100, c.whiteX, 100), Qt::white)) << c.what;
        }
    }
}

#include "../common/OrientedJpeg.h"
#include "uDataFile.h"

// A picture a camera stored turned stands upright in the printed PDF after
// the project was saved and opened again.
TEST(FotobuchPrinter, CameraPictureIsUprightAfterSavingAndReopening)
{
    using namespace orientedjpeg;
    QTemporaryDir dir;
    const QString photo = dir.filePath("portrait.jpg");
    {
        QFile f(photo);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(Make(Upright(300, 400), 6));  // a portrait from a camera held upright
    }
    const QString project = dir.filePath("book.zpb");
    {
        auto doc = MakeDocument(0, 210, 297, {None});
        doc->PrintPaperSize = 9;
        TFBPage* page = doc->Pages.GetPage(0);
        auto e = std::make_unique<TFBPictureElement>(page);
        e->CenterX = 105;
        e->CenterY = 148.5f;
        e->Width = 150;
        e->Height = 200;
        e->LoadPictureFromFile(photo);
        page->Pictures.Add(std::move(e));
        TDataFile file(project);
        doc->SaveToDataFile(file);
    }
    TFBDocument doc;
    {
        TDataFile file(project);
        doc.LoadFromDataFile(file);
    }
    TPrintRun run;
    run.Print(doc);
    const QImage img = RenderPdfPage(run.File, 1, 50);
    ASSERT_FALSE(img.isNull());
    // The frame spans 30..180 x 48.5..248.5 mm; the centre of each quarter.
    EXPECT_TRUE(Near(PixelAtMm(img, 50, 67.5, 98.5), kTopLeft));
    EXPECT_TRUE(Near(PixelAtMm(img, 50, 142.5, 98.5), kTopRight));
    EXPECT_TRUE(Near(PixelAtMm(img, 50, 67.5, 198.5), kBottomLeft));
    EXPECT_TRUE(Near(PixelAtMm(img, 50, 142.5, 198.5), kBottomRight));
}
