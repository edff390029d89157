// The printer adjustment: its steps, its number field and result, and the
// two test sheets printed to PDF.
#include "PrintTestUtil.h"

#include "Classes.h"
#include "uKalibrierung.h"
#include "uPrinterSupport.h"

#include <QEventLoop>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace printtest;

namespace {

struct TNoPageSetup {
    int Shown = 0;
    TNoPageSetup()
    {
        ShowModalHook = [this](QDialog&) {
            ++Shown;
            return int(QDialog::Rejected);
        };
    }
    ~TNoPageSetup() { ShowModalHook = nullptr; }
};

// Whether any pixel in the rectangle (mm) satisfies Test.
bool AnyPixel(const QImage& Img, int Dpi, double L, double T, double R, double B,
              const std::function<bool(QColor)>& Test)
{
    for (int y = int(T / 25.4 * Dpi); y <= int(B / 25.4 * Dpi); ++y)
        for (int x = int(L / 25.4 * Dpi); x <= int(R / 25.4 * Dpi); ++x)
            if (Test(QColor(Img.pixel(x, y))))
                return true;
    return false;
}

} // namespace

TEST(Kalibrierung, NumberFieldAndResult)
{
    std::unique_ptr<TKalibrierung> dlg(TLocalizerForm::create<TKalibrierung>(nullptr));
    dlg->ShowPanel(3);
    struct Case {
        const char* text;
        bool enabled;
        float result;
    } cases[] = {{"0", false, -0.1f}, {"51", false, 5.0f}, {"abc", false, 0}, {"", false, 0},
                 {"1", true, 0},      {"13", true, 1.2f}, {"50", true, 4.9f}};
    for (const Case& c : cases) {
        dlg->edKalibrierung->setText(QString::fromUtf8(c.text));
        EXPECT_EQ(dlg->BtnFertig->isEnabled(), c.enabled) << c.text;
        EXPECT_NEAR(dlg->GetResult(), c.result, 1e-5) << c.text;
    }
    dlg->BtnFertig->click();
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
}

TEST(Kalibrierung, StepsLeadThroughBothSheets)
{
    QTemporaryDir dir;
    UsePdfPrinter(dir);
    TNoPageSetup setup;
    std::unique_ptr<TKalibrierung> dlg(TLocalizerForm::create<TKalibrierung>(nullptr));
    EXPECT_EQ(dlg->size(), dlg->Panel1->size());
    EXPECT_FALSE(dlg->Panel1->isHidden());
    EXPECT_TRUE(dlg->Panel2->isHidden());
    EXPECT_FALSE(dlg->BtnDruckenNormal->isEnabled());
    EXPECT_TRUE(dlg->GroupBox1->font().bold());

    PrinterSupport().SetCopies(4);
    dlg->BtnDruckerEinstellungNormalClick();
    EXPECT_EQ(setup.Shown, 1) << "the page setup dialog stands in for the driver's";
    EXPECT_EQ(Printer().DevMode().Copies, 1);
    EXPECT_EQ(Printer().DevMode().PageSizeId, QPageSize::A4);
    EXPECT_FALSE(Printer().DevMode().FullPage);
    EXPECT_FALSE(dlg->GroupBox1->font().bold());
    EXPECT_TRUE(dlg->GroupBox2->font().bold());
    EXPECT_TRUE(dlg->BtnDruckenNormal->isEnabled());

    Printer().OutputFileName = dir.filePath(QStringLiteral("sheet1.pdf"));
    dlg->BtnDruckenNormal->click();
    EXPECT_TRUE(dlg->Panel1->isHidden());
    EXPECT_FALSE(dlg->Panel2->isHidden());
    EXPECT_TRUE(dlg->GroupBox3->font().bold());
    EXPECT_FALSE(dlg->BtnDruckenRandlos->isEnabled());

    dlg->BtnDruckerEinstellungRandlosClick();
    EXPECT_TRUE(Printer().DevMode().FullPage);
    EXPECT_TRUE(dlg->GroupBox4->font().bold());
    EXPECT_TRUE(dlg->Timer1->isActive());
    EXPECT_EQ(dlg->Timer1->interval(), 2000);
    QEventLoop loop;
    QTimer::singleShot(2300, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_FALSE(dlg->Timer1->isActive());
    EXPECT_FALSE(dlg->GroupBox4->font().bold());
    EXPECT_TRUE(dlg->GroupBox5->font().bold());

    Printer().OutputFileName = dir.filePath(QStringLiteral("sheet2.pdf"));
    dlg->BtnDruckenRandlos->click();
    EXPECT_FALSE(dlg->Panel3->isHidden());
    EXPECT_TRUE(dlg->GroupBox6->font().bold());
    EXPECT_FALSE(dlg->BtnFertig->isEnabled());
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("sheet1.pdf"))));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("sheet2.pdf"))));
}

// The sheets are drawn landscape on A4 portrait paper: landscape (x, y)
// lies at paper (210 - y, x).
TEST(Kalibrierung, TestSheets)
{
    QTemporaryDir dir;
    UsePdfPrinter(dir, QStringLiteral("normal.pdf"));
    std::unique_ptr<TKalibrierung> dlg(TLocalizerForm::create<TKalibrierung>(nullptr));
    PrinterSupport().SetPaperCode(9);
    PrinterSupport().SetBorderless(false);
    dlg->PrintNormalSheet();
    const QString normal = dir.filePath(QStringLiteral("normal.pdf"));
    const TPdfInfo info = PdfInfo(normal);
    EXPECT_EQ(info.Pages, 1);
    EXPECT_NEAR(info.PageSize.width(), 210, 0.4);
    EXPECT_NEAR(info.PageSize.height(), 297, 0.4);
    const int dpi = 300;
    const QImage sheet = RenderPdfPage(normal, 1, dpi);
    ASSERT_FALSE(sheet.isNull());
    auto dark = [](QColor c) { return c.red() < 100 && c.green() < 100 && c.blue() < 100; };
    auto grey = [](QColor c) { return Near(c, QColor(0x80, 0x80, 0x80), 20); };
    // arrow marks: the edge from (28, 20) to (59, 20) of the one at (12, 12)
    EXPECT_TRUE(Near(PixelAtMm(sheet, dpi, 190, 45), QColor(0x80, 0x80, 0x80), 20));
    EXPECT_TRUE(AnyPixel(sheet, dpi, 35, 40, 45, 50, grey)) << "mark at (12, 166)";
    // bar 1 at landscape y 5.5..8.5, x 148.5 with its number left of x 142
    EXPECT_TRUE(AnyPixel(sheet, dpi, 201.3, 148.3, 204.7, 148.8, dark));
    EXPECT_TRUE(AnyPixel(sheet, dpi, 200, 136, 206, 142, dark)) << "number 1";
    // bar 50 sits 4.9 mm further right than bar 1, its tick ends there
    EXPECT_TRUE(AnyPixel(sheet, dpi, 5.3, 153.2, 8.7, 153.7, dark));
    EXPECT_FALSE(AnyPixel(sheet, dpi, 5.3, 153.9, 8.7, 155, dark));
    EXPECT_FALSE(AnyPixel(sheet, dpi, 201.3, 149.1, 204.7, 150, dark)) << "bar 1 ends at 148.5";
    // title area
    EXPECT_TRUE(AnyPixel(sheet, dpi, 175, 68, 189, 100, dark));
    sheet.save(dir.filePath(QStringLiteral("normal.png")));
    if (!qEnvironmentVariableIsEmpty("LUMI_SCREENSHOT_DIR"))
        sheet.save(qEnvironmentVariable("LUMI_SCREENSHOT_DIR") + QStringLiteral("/KalibrierBlatt1.png"));

    UsePdfPrinter(dir, QStringLiteral("borderless.pdf"));
    PrinterSupport().SetPaperCode(9);
    PrinterSupport().SetBorderless(true);
    dlg->PrintBorderlessSheet();
    const QImage second = RenderPdfPage(dir.filePath(QStringLiteral("borderless.pdf")), 1, dpi);
    ASSERT_FALSE(second.isNull());
    auto red = [](QColor c) { return c.red() > 150 && c.green() < 120 && c.blue() < 120; };
    // the red fold line across the paper at landscape x 148.5
    for (double x : {5.0, 105.0, 205.0})
        EXPECT_TRUE(AnyPixel(second, dpi, x, 148.2, x + 1, 148.8, red)) << x;
    EXPECT_FALSE(AnyPixel(second, dpi, 100, 140, 101, 147, red));
    EXPECT_TRUE(AnyPixel(second, dpi, 140, 200, 155, 210, dark)) << "\"2.\" at (205, 54)";
    if (!qEnvironmentVariableIsEmpty("LUMI_SCREENSHOT_DIR"))
        second.save(qEnvironmentVariable("LUMI_SCREENSHOT_DIR") + QStringLiteral("/KalibrierBlatt2.png"));
}

TEST(Kalibrierung, WordWrapOfTheHints)
{
    struct Case {
        const char* text;
        int cols;
        std::vector<const char*> lines;
    } cases[] = {
        {"eins zwei drei vier", 10, {"eins zwei ", "drei vier"}},
        {"eins\r\nzwei drei", 6, {"eins", "zwei ", "drei"}},
        {"Randlos-Einstellung gedruckt", 10, {"Randlos-", "Einstellung ", "gedruckt"}},
        {"kurz", 10, {"kurz"}},
    };
    for (const Case& c : cases) {
        TStringList lines;
        WrapTextToLines(c.text, c.cols, lines);
        ASSERT_EQ(lines.Count(), int(c.lines.size())) << c.text;
        for (size_t i = 0; i < c.lines.size(); ++i)
            EXPECT_EQ(lines[int(i)], c.lines[i]) << c.text;
    }
}
