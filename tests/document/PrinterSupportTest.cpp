// Printer support: the printer choice as a stream and its refusals, paper by
// code, size and custom size, borderless paper, copies, and the draw context
// on the printer.
#include "PrintTestUtil.h"

#include "SysUtils.h"
#include "uModalDialog.h"
#include "uPrinterSupport.h"

#include <QComboBox>
#include <QDialog>
#include <QPrinter>
#include <gtest/gtest.h>

#include <cstring>

using namespace printtest;

namespace {

struct TMessages {
    std::vector<std::pair<QMessageBox::Icon, QString>> List;
    TMessages()
    {
        PrintMessageHook = [this](QMessageBox::Icon Icon, const QString& Text) { List.emplace_back(Icon, Text); };
    }
    ~TMessages() { PrintMessageHook = nullptr; }
};

void WriteName(TMemoryStream& S, const char* Name)
{
    S.WriteI32(int32_t(std::strlen(Name)));
    S.WriteBuffer(Name, int32_t(std::strlen(Name)));
}

// A printer choice stream as it is written, naming Printer and holding Block.
TMemoryStream ChoiceStream(const char* PrinterName, const std::vector<uint8_t>& Block)
{
    TMemoryStream s;
    s.WriteBuffer("QwDEVMODE0001", 13);
    for (int i = 0; i < 4; ++i)
        WriteName(s, PrinterName);
    s.WriteI32(int32_t(Block.size()));
    if (!Block.empty())
        s.WriteBuffer(Block.data(), int32_t(Block.size()));
    s.SetPosition(0);
    return s;
}

} // namespace

TEST(PrinterSupport, StreamHoldsNamesAndSettingsBlock)
{
    QTemporaryDir dir;
    UsePdfPrinter(dir);
    TPrinterSupport& ps = PrinterSupport();
    ps.SetPaperCode(11);  // A5
    ps.SetCopies(2);
    TMemoryStream s;
    ps.SaveToStream(s);

    const std::vector<uint8_t> block = Printer().DevMode().ToBytes();
    TMemoryStream expected;
    expected.WriteBuffer("QwDEVMODE0001", 13);
    WriteName(expected, "PDF-Datei");  // printer
    WriteName(expected, "PDF-Datei");  // device
    WriteName(expected, "PDF");        // driver
    WriteName(expected, "FILE:");      // port
    expected.WriteI32(int32_t(block.size()));
    expected.WriteBuffer(block.data(), int32_t(block.size()));
    EXPECT_EQ(s.Bytes(), expected.Bytes());

    // Back after changes: the saved choice returns.
    ps.SetPaperCode(9);
    ps.SetCopies(1);
    TMessages messages;
    s.SetPosition(0);
    EXPECT_TRUE(ps.LoadFromStream(s));
    EXPECT_EQ(Printer().DevMode().PageSizeId, QPageSize::A5);
    EXPECT_EQ(Printer().DevMode().Copies, 2);
    EXPECT_TRUE(messages.List.empty());
}

TEST(PrinterSupport, LoadFromStreamRefusals)
{
    QTemporaryDir dir;
    UsePdfPrinter(dir);
    TPrinterSupport& ps = PrinterSupport();
    TDeviceMode foreign = Printer().DefaultDevMode();
    foreign.Model = QStringLiteral("Laser 3000");  // another driver
    foreign.Copies = 7;
    TDeviceMode gone = foreign;
    gone.PrinterName = QStringLiteral("Buero Laser");
    gone.Model = QStringLiteral("PDF");

    struct Case {
        const char* what;
        TMemoryStream stream;
        QString message;
        int copies;  // 3 before; the default printer comes with its defaults
    };
    TMemoryStream badMarker;
    badMarker.WriteBuffer("QwDEVMODE0002", 13);
    badMarker.SetPosition(0);
    TMemoryStream cut = ChoiceStream("PDF-Datei", foreign.ToBytes());
    cut.SetSize(cut.Size() - 10);  // the block is shorter than its stated size
    Case cases[] = {
        {"another marker", std::move(badMarker), QStringLiteral("Stream ist nicht richtig"), 3},
        {"block cut short", std::move(cut), QStringLiteral("Stream ist nicht richtig"), 3},
        {"removed printer", ChoiceStream("Buero Laser", gone.ToBytes()),
         QStringLiteral("Der gespeicherte Drucker \"Buero Laser\" wurde nicht gefunden. Der Standarddrucker wird geladen"),
         1},
        {"another model", ChoiceStream("PDF-Datei", foreign.ToBytes()),
         QStringLiteral("Die gespeicherte Druckereinstellung passt nicht zum Drucker: PDF-Datei. Die "
                        "Standardeinstellungen werden geladen."),
         3},
    };
    for (Case& c : cases) {
        TMessages messages;
        ps.SetCopies(3);
        EXPECT_FALSE(ps.LoadFromStream(c.stream)) << c.what;
        ASSERT_EQ(messages.List.size(), 1u) << c.what;
        EXPECT_EQ(messages.List[0].first, QMessageBox::Warning) << c.what;
        EXPECT_EQ(messages.List[0].second, c.message) << c.what;
        EXPECT_EQ(Printer().DevMode().Copies, c.copies) << c.what << ": the refused settings are not used";
    }

    // No settings in the stream: nothing changes.
    TMessages messages;
    TMemoryStream empty = ChoiceStream("PDF-Datei", {});
    ps.SetCopies(4);
    EXPECT_TRUE(ps.LoadFromStream(empty));
    EXPECT_EQ(Printer().DevMode().Copies, 4);
    EXPECT_TRUE(messages.List.empty());
}

TEST(PrinterSupport, PaperByCodeSizeAndCustomSize)
{
    QTemporaryDir dir;
    UsePdfPrinter(dir);
    TPrinterSupport& ps = PrinterSupport();
    EXPECT_TRUE(ps.SetPaperCode(8));
    EXPECT_EQ(Printer().DevMode().PageSizeId, QPageSize::A3);
    EXPECT_FALSE(ps.SetPaperCode(4711));
    EXPECT_EQ(Printer().DevMode().PageSizeId, QPageSize::A3);

    // Within 2 mm: the printer's own paper; else a custom paper named in millimetres.
    struct Case {
        float w, h;
        int id;
        QString name;
    } cases[] = {
        {148.0f, 210.0f, QPageSize::A5, QString()},
        {1e9f, 1e9f, QPageSize::A4, QString()},  // impossible sizes: A4
        {101.6f, 152.4f, QPageSize::Custom, QStringLiteral("QN 101,60 x 152,40")},
        {-5.0f, 297.0f, QPageSize::A4, QString()},
        {209.0f, 298.5f, QPageSize::A4, QString()},
        {207.9f, 297.0f, QPageSize::Custom, QStringLiteral("QN 207,90 x 297,00")},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(ps.SetCustomPaper(c.w, c.h));
        const TDeviceMode& m = Printer().DevMode();
        EXPECT_EQ(m.PageSizeId, c.id) << c.w << " x " << c.h;
        if (c.id == QPageSize::Custom) {
            EXPECT_EQ(TPrinter::PageSizeOf(m).name(), c.name);
            EXPECT_NEAR(m.PaperWidth, c.w, 0.001);
            EXPECT_NEAR(m.PaperHeight, c.h, 0.001);
        }
    }

    // A printer listing a 4 x 6 inch paper serves 101.6 x 152.4 mm with it.
    ps.Papers = {{"A4", 2100, 2970, 9}, {"4x6", 1016, 1524, 257}};
    EXPECT_EQ(ps.FindPaperBySize(1016, 1524), 1);
    EXPECT_EQ(ps.FindPaperBySize(1035, 1543), 1);
    EXPECT_EQ(ps.FindPaperBySize(1036, 1524), -1);
    EXPECT_EQ(ps.FindPaperBySize(2970, 2100), -1);
}

TEST(PrinterSupport, CopiesAndBorderless)
{
    QTemporaryDir dir;
    UsePdfPrinter(dir);
    TPrinterSupport& ps = PrinterSupport();
    // The PDF printer makes no copies itself: the driver repeats the pages.
    EXPECT_LE(ps.GetMaxCopies(), 1);
    ps.SetCopies(5);
    EXPECT_EQ(Printer().DevMode().Copies, 5);

    ps.SetPaperCode(9);
    ps.SetBorderless(true);
    EXPECT_TRUE(Printer().DevMode().FullPage);
    EXPECT_EQ(Printer().PhysicalOffsetX(), 0);
    EXPECT_TRUE(Printer().Device().fullPage());
    ps.SetBorderless(false);
    EXPECT_FALSE(Printer().DevMode().FullPage);

    Printer().BeginDoc();
    EXPECT_THROW(ps.SetCopies(2), Exception);
    try {
        ps.SetCopies(2);
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Kopien können nicht während eines Druckauftrags gesetzt werden");
    }
    Printer().Abort();
    EXPECT_EQ(Printer().DevMode().Copies, 5);
}

TEST(PrinterSupport, PrinterInfoOfThePdfPrinter)
{
    QTemporaryDir dir;
    UsePdfPrinter(dir);
    TPrinterInfo info;
    PrinterSupport().GetPrinterInfo(info);
    EXPECT_EQ(info.PrinterName, QStringLiteral("PDF-Datei"));
    EXPECT_EQ(info.DriverName, QStringLiteral("PDF"));
    EXPECT_EQ(info.PortName, QStringLiteral("FILE:"));
    // Without system printers the PDF printer is the default one.
    EXPECT_EQ(info.Status, Printer().IsDefaultPrinter() ? QStringLiteral(" Standarddrucker") : QString());
}

TEST(PrinterSupport, ResetKeepsChoicesTheNewPrinterOffers)
{
    QTemporaryDir dir;
    UsePdfPrinter(dir);
    TDeviceMode m = Printer().DevMode();
    m.Orientation = 1;
    m.Copies = 3;
    m.Duplex = QPrinter::DuplexLongSide;  // not offered by the PDF printer
    m.Resolution = 600;                   // neither
    m.PageSizeId = QPageSize::A5;
    m.PageSizeKey = QStringLiteral("A5");
    m.PaperWidth = 148;
    m.PaperHeight = 210;
    Printer().SetDevMode(m);
    PrinterSupport().ResetDevModeKeepingChoices();
    const TDeviceMode& r = Printer().DevMode();
    EXPECT_EQ(r.Orientation, 1);
    EXPECT_EQ(r.Copies, 3);
    EXPECT_EQ(r.PageSizeId, QPageSize::A5);
    EXPECT_EQ(r.Duplex, QPrinter::DuplexNone);
    EXPECT_EQ(r.Resolution, 1200);
}

TEST(PrinterSupport, PrinterSetupListsThePrintersOfThePrintDialog)
{
    SystemPrintersHook = [] { return QStringList{QStringLiteral("Testdrucker")}; };
    TPrinter& p = Printer();
    p.Refresh();
    p.SetPrinterIndex(0);
    const TDeviceMode before = p.DevMode();
    QStringList listed;
    bool accept = false;
    ShowModalHook = [&](QDialog& D) {
        EXPECT_EQ(D.windowTitle(), QStringLiteral("Druckereinrichtung"));
        auto* printers = D.findChild<QComboBox*>(QStringLiteral("cbDrucker"));
        EXPECT_NE(printers, nullptr);
        if (!printers)
            return int(QDialog::Rejected);
        listed.clear();
        for (int i = 0; i < printers->count(); ++i)
            listed << printers->itemText(i);
        EXPECT_EQ(printers->currentIndex(), 0);
        printers->setCurrentIndex(1);
        emit printers->activated(1);  // the user picks "PDF-Datei"
        EXPECT_TRUE(p.IsPdfPrinter());
        return int(accept ? QDialog::Accepted : QDialog::Rejected);
    };
    EXPECT_FALSE(PrinterSupport().ExecutePrinterSetup(nullptr, QStringLiteral("Druckereinrichtung")));
    EXPECT_EQ(listed, QStringList({QStringLiteral("Testdrucker"), QStringLiteral("PDF-Datei")}));
    EXPECT_EQ(p.PrinterIndex(), 0);  // cancelled: as before
    EXPECT_EQ(p.DevMode(), before);
    accept = true;
    EXPECT_TRUE(PrinterSupport().ExecutePrinterSetup(nullptr, QStringLiteral("Druckereinrichtung")));
    EXPECT_TRUE(p.IsPdfPrinter());
    ShowModalHook = nullptr;
    SystemPrintersHook = nullptr;
    p.Refresh();
}

TEST(PrinterDrawContext, BitmapStretchedToPrinterPixels)
{
    QTemporaryDir dir;
    const QString file = UsePdfPrinter(dir);
    PrinterSupport().SetPaperCode(9);
    Printer().BeginDoc();
    {
        TPrinterDrawContext dc;
        EXPECT_EQ(dc.DeviceBounds.Right, Printer().PageWidth());
        EXPECT_EQ(dc.DeviceBounds.Bottom, Printer().PageHeight());
        TBitmap bmp;
        bmp.SetPixelFormat(pf24bit);  // made 32-bit on the way
        bmp.SetSize(20, 8);  // left half red, right half blue
        bmp.Image().fill(Qt::red);
        for (int y = 0; y < 8; ++y)
            for (int x = 10; x < 20; ++x)
                bmp.Image().setPixelColor(x, y, Qt::blue);
        // 50 x 20 mm at (20, 30) mm
        const int dpmm100 = 1200 * 100;
        dc.DrawBitmap(bmp, 20 * dpmm100 / 2540, 30 * dpmm100 / 2540, 70 * dpmm100 / 2540, 50 * dpmm100 / 2540);
        EXPECT_EQ(bmp.PixelFormat(), pf32bit);
    }
    Printer().EndDoc();
    const QImage img = RenderPdfPage(file, 1, 100);
    ASSERT_FALSE(img.isNull());
    EXPECT_TRUE(Near(PixelAtMm(img, 100, 30, 40), Qt::red));
    EXPECT_TRUE(Near(PixelAtMm(img, 100, 60, 40), Qt::blue));
    EXPECT_TRUE(Near(PixelAtMm(img, 100, 15, 40), Qt::white));
    EXPECT_TRUE(Near(PixelAtMm(img, 100, 30, 55), Qt::white));
}

TEST(PrinterSupport, PlaceholdersOfLanguageTextsFilledWithoutFormat)
{
    struct Case {
        QString text;
        QStringList values;
        QString result;
    } cases[] = {
        {QStringLiteral("Drucke Seite %d von %d"), {QStringLiteral("2"), QStringLiteral("5")},
         QStringLiteral("Drucke Seite 2 von 5")},
        {QStringLiteral("%.1f mm nach links"), {QStringLiteral("0,6")}, QStringLiteral("0,6 mm nach links")},
        {QStringLiteral("Seite %d"), {}, QStringLiteral("Seite %d")},
        {QStringLiteral("%s und %d und %x"), {QStringLiteral("a"), QStringLiteral("b")},
         QStringLiteral("a und b und %x")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FillPlaceholders(c.text, c.values), c.result) << qPrintable(c.text);
}
