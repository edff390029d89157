// The printer object: the device settings block byte for byte and its refusal
// of foreign or damaged blocks, the PDF printer's list entry and its job.
#include "Dialogs.h"
#include "Printers.h"

#include "SysUtils.h"

#include <QFile>
#include <QPainter>
#include <QPrinter>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <QDir>
#include <cstring>
#include <limits>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TDeviceMode SampleMode()
{
    TDeviceMode m;
    m.PrinterName = QStringLiteral("PDF-Datei");
    m.Model = QStringLiteral("PDF");
    m.PageSizeId = QPageSize::A5;
    m.PageSizeKey = QStringLiteral("A5");
    m.PaperWidth = 148.0;
    m.PaperHeight = 210.0;
    m.Orientation = 1;
    m.Duplex = 0;
    m.ColorMode = 1;
    m.Resolution = 1200;
    m.Copies = 3;
    m.FullPage = true;
    return m;
}

void AppendI32(std::vector<uint8_t>& b, int32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t(uint32_t(v) >> (8 * i)));
}

void AppendText(std::vector<uint8_t>& b, const char* s)
{
    AppendI32(b, int32_t(std::strlen(s)));
    b.insert(b.end(), s, s + std::strlen(s));
}

void AppendDouble(std::vector<uint8_t>& b, double v)
{
    uint64_t u;
    std::memcpy(&u, &v, 8);
    for (int i = 0; i < 8; ++i)
        b.push_back(uint8_t(u >> (8 * i)));
}

} // namespace

TEST(DeviceMode, BlockBytesFieldByField)
{
    std::vector<uint8_t> expected;
    const char* marker = "QwDEVMODE0001";
    expected.insert(expected.end(), marker, marker + 13);
    AppendText(expected, "PDF-Datei");
    AppendText(expected, "PDF");
    AppendI32(expected, QPageSize::A5);
    AppendText(expected, "A5");
    AppendDouble(expected, 148.0);
    AppendDouble(expected, 210.0);
    AppendI32(expected, 1);     // landscape
    AppendI32(expected, 0);     // simplex
    AppendI32(expected, 1);     // colour
    AppendI32(expected, 1200);  // dpi
    AppendI32(expected, 3);     // copies
    expected.push_back(1);      // full page
    const std::vector<uint8_t> bytes = SampleMode().ToBytes();
    EXPECT_EQ(bytes, expected);

    TDeviceMode back;
    ASSERT_TRUE(back.FromBytes(bytes.data(), bytes.size()));
    EXPECT_EQ(back, SampleMode());
}

TEST(DeviceMode, RefusesForeignAndDamagedBlocks)
{
    const std::vector<uint8_t> good = SampleMode().ToBytes();
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases;
    auto patched = [&](size_t at, uint8_t v) {
        std::vector<uint8_t> b = good;
        b[at] = v;
        return b;
    };
    cases.push_back({"another version", patched(12, '2')});
    cases.push_back({"truncated", std::vector<uint8_t>(good.begin(), good.end() - 2)});
    std::vector<uint8_t> longer = good;
    longer.push_back(0);
    cases.push_back({"trailing bytes", longer});
    std::vector<uint8_t> hugeName(good.begin(), good.begin() + 13);
    AppendI32(hugeName, 0x7FFFFFF0);
    cases.push_back({"name longer than the block", hugeName});
    cases.push_back({"full page flag 2", patched(good.size() - 1, 2)});
    // orientation sits after marker, two texts, id, key and two doubles
    const size_t orientation = 13 + 4 + 9 + 4 + 3 + 4 + 4 + 2 + 16;
    cases.push_back({"orientation 7", patched(orientation, 7)});
    const size_t copies = orientation + 16;
    cases.push_back({"copies 0", patched(copies, 0)});
    std::vector<uint8_t> nanWidth = good;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::memcpy(&nanWidth[orientation - 16], &nan, 8);
    cases.push_back({"width not a number", nanWidth});
    cases.push_back({"empty", {}});

    for (const Case& c : cases) {
        TDeviceMode m;
        m.Copies = 42;
        EXPECT_FALSE(m.FromBytes(c.bytes.data(), c.bytes.size())) << c.what;
        EXPECT_EQ(m.Copies, 42) << c.what << ": a refused block leaves the settings alone";
    }
}

TEST(Printer, ListsThePdfPrinterWithItsDefaults)
{
    TPrinter& p = Printer();
    ASSERT_TRUE(p.Printers().contains(QStringLiteral("PDF-Datei")));
    p.SetPrinterIndex(int(p.Printers().indexOf(QStringLiteral("PDF-Datei"))));
    EXPECT_TRUE(p.IsPdfPrinter());
    EXPECT_EQ(p.Model(), QStringLiteral("PDF"));
    const TDeviceMode& m = p.DevMode();
    EXPECT_EQ(m.PageSizeId, QPageSize::A4);
    EXPECT_EQ(m.Resolution, 1200);
    EXPECT_EQ(m.Copies, 1);
    EXPECT_FALSE(m.FullPage);
    EXPECT_TRUE(p.Fits(m));
    TDeviceMode other = m;
    other.Model = QStringLiteral("Other Model");
    EXPECT_FALSE(p.Fits(other));
    EXPECT_EQ(p.LogPixelsY(), 1200);
    // A4 is 595 points wide in the PDF: 209.9 mm
    EXPECT_NEAR(p.PageWidth(), 210.0 / 25.4 * 1200, 6);
    EXPECT_EQ(p.MaxCopies(), 1);
}

TEST(Printer, CustomPaperNamedInMillimetres)
{
    TDeviceMode m = SampleMode();
    m.PageSizeId = QPageSize::Custom;
    m.PaperWidth = 101.6;
    m.PaperHeight = 152.4;
    const QPageSize size = TPrinter::PageSizeOf(m);
    EXPECT_EQ(size.name(), QStringLiteral("QN 101,60 x 152,40"));
    EXPECT_NEAR(size.size(QPageSize::Millimeter).width(), 101.6, 0.01);
    EXPECT_NEAR(size.size(QPageSize::Millimeter).height(), 152.4, 0.01);
}

TEST(Printer, PdfJobWritesTheFileOnlyWhenItEnds)
{
    QTemporaryDir dir;
    TPrinter& p = Printer();
    p.SetPrinterIndex(int(p.Printers().indexOf(QStringLiteral("PDF-Datei"))));
    const QString done = dir.filePath(QStringLiteral("done.pdf"));
    p.OutputFileName = done;
    p.BeginDoc();
    EXPECT_TRUE(p.Printing());
    EXPECT_THROW(p.SetPrinterIndex(0), EPrinter);
    p.Canvas().Painter()->fillRect(0, 0, 100, 100, Qt::black);
    p.NewPage();
    EXPECT_EQ(p.PageNumber(), 2);
    EXPECT_FALSE(QFile::exists(done));
    p.EndDoc();
    EXPECT_FALSE(p.Printing());
    QFile f(done);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.read(5) == "%PDF-");

    const QString aborted = dir.filePath(QStringLiteral("aborted.pdf"));
    p.OutputFileName = aborted;
    p.BeginDoc();
    p.Canvas().Painter()->fillRect(0, 0, 100, 100, Qt::black);
    p.Abort();
    EXPECT_FALSE(p.Printing());
    EXPECT_TRUE(p.Aborted());
    EXPECT_TRUE(dir.isValid());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("done.pdf")});

    // No file name given: the job does not start.
    p.OutputFileName.clear();
    p.AskPdfFileName = [](const QString&) { return QString(); };
    EXPECT_THROW(p.BeginDoc(), EAbort);
    EXPECT_FALSE(p.Printing());
    p.AskPdfFileName = nullptr;
    EXPECT_THROW(p.NewPage(), EPrinter);
}

TEST(Printer, AskedPdfNameStartsInDocumentsAndGetsItsExtension)
{
    QTemporaryDir dir;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    ASSERT_TRUE(QDir().mkpath(documents));
    TPrinter& p = Printer();
    p.SetPrinterIndex(int(p.Printers().indexOf(QStringLiteral("PDF-Datei"))));
    p.OutputFileName.clear();
    p.Title = QStringLiteral("Urlaub");
    QStringList suggested;
    QString typed = dir.filePath(QStringLiteral("ohne Endung"));
    p.AskPdfFileName = [&](const QString& Suggested) {
        suggested << Suggested;
        return typed;
    };
    for (int run = 0; run < 2; ++run) {
        p.BeginDoc();
        p.EndDoc();
    }
    p.AskPdfFileName = nullptr;
    ASSERT_EQ(suggested.size(), 2);
    EXPECT_EQ(suggested[0], documents + QStringLiteral("/Urlaub.pdf"));  // not the working folder
    EXPECT_EQ(suggested[1], dir.filePath(QStringLiteral("Urlaub.pdf")));  // the last one chosen
    EXPECT_TRUE(QFile::exists(typed + QStringLiteral(".pdf")));
    EXPECT_FALSE(QFile::exists(typed));
}

// A PDF job goes into a folder and a name that are no UTF-8, by their bytes,
// whether the name is given or chosen in the file dialog.
TEST(Printer, PdfJobIsWrittenUnderANameThatIsNoUtf8)
{
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path()) + "/101_Cumplea\xf1os Mar\xed" "a";
    ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
    TPrinter& p = Printer();
    p.SetPrinterIndex(int(p.Printers().indexOf(QStringLiteral("PDF-Datei"))));
    const auto print = [&p] {
        p.BeginDoc();
        p.Canvas().Painter()->fillRect(0, 0, 100, 100, Qt::black);
        p.EndDoc();
    };
    p.OutputFileName = DecodeFileName(folder + "/Tarta.pdf");
    print();
    p.OutputFileName.clear();

    std::vector<TFileDialogRequest> asked;
    FileDialogHandler = [&](QWidget*, TFileDialogRequest& Request) {
        asked.push_back(Request);
        Request.FileName = DecodeFileName(folder + "/Ni\xf1os");
        return true;
    };
    p.Title = QStringLiteral("Urlaub");
    print();
    FileDialogHandler = nullptr;
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].Save);
    EXPECT_EQ(asked[0].Filter, QStringLiteral("PDF (*.pdf)"));
    EXPECT_EQ(asked[0].DefaultExt, QStringLiteral("pdf"));
    EXPECT_TRUE(asked[0].FileName.endsWith(QStringLiteral("/Urlaub.pdf")));

    for (const QByteArray& name : {QByteArray("/Tarta.pdf"), QByteArray("/Ni\xf1os.pdf")}) {
        SCOPED_TRACE(name.constData());
        const int fd = ::open((folder + name).constData(), O_RDONLY);
        ASSERT_GE(fd, 0);
        char head[5] = {};
        EXPECT_EQ(::read(fd, head, 5), 5);
        ::close(fd);
        EXPECT_EQ(QByteArray(head, 5), "%PDF-");
    }
    ::unlink((folder + "/Tarta.pdf").constData());
    ::unlink((folder + "/Ni\xf1os.pdf").constData());
    EXPECT_EQ(::rmdir(folder.constData()), 0) << "nothing else left in the folder";
}

// A system printer's job is written to a file of its own and handed to the
// spooler only when it ends: an aborted job sends nothing and leaves no file.
TEST(Printer, SystemPrinterSpoolsOnlyAFinishedJob)
{
    QTemporaryDir temp;
    const QByteArray oldTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(temp.path()));
    SystemPrintersHook = [] { return QStringList{QStringLiteral("Testdrucker")}; };
    std::vector<TSpoolJob> jobs;
    std::vector<QByteArray> heads;
    bool refuse = false;
    SpoolJobHook = [&](const TSpoolJob& Job) {
        QFile f(Job.FileName);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << "the file is there while it is spooled";
        heads.push_back(f.read(5));
        jobs.push_back(Job);
        if (refuse)
            throw EPrinter("refused");
    };
    TPrinter& p = Printer();
    p.Refresh();
    ASSERT_EQ(p.Printers(), QStringList({QStringLiteral("Testdrucker"), QStringLiteral("PDF-Datei")}));
    p.SetPrinterIndex(0);
    EXPECT_FALSE(p.IsPdfPrinter());
    TDeviceMode m = p.DevMode();
    m.PageSizeId = QPageSize::A5;
    m.PageSizeKey = QStringLiteral("A5");
    m.PaperWidth = 148;
    m.PaperHeight = 210;
    m.Copies = 3;
    p.SetDevMode(m);
    p.Title = QStringLiteral("Album");
    auto job = [&](void (TPrinter::*Finish)()) {
        p.BeginDoc();
        p.Canvas().Painter()->fillRect(0, 0, 100, 100, Qt::black);
        p.NewPage();
        p.Canvas().Painter()->fillRect(0, 0, 100, 100, Qt::black);
        (p.*Finish)();
    };

    job(&TPrinter::Abort);
    EXPECT_TRUE(jobs.empty()) << "an aborted job is not spooled";
    EXPECT_FALSE(p.Printing());

    job(&TPrinter::EndDoc);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(heads[0], QByteArray("%PDF-"));
    EXPECT_EQ(jobs[0].PrinterName, QStringLiteral("Testdrucker"));
    EXPECT_EQ(jobs[0].Title, QStringLiteral("Album"));
    auto option = [&](const char* Name) -> QByteArray {
        for (const auto& o : jobs[0].Options)
            if (o.first == Name)
                return o.second;
        return "(none)";
    };
    EXPECT_EQ(option("media"), QByteArray("A5"));
    EXPECT_EQ(option("copies"), QByteArray("3"));
    EXPECT_EQ(option("sides"), QByteArray("one-sided"));
    EXPECT_EQ(option("landscape"), QByteArray("(none)"));

    refuse = true;
    EXPECT_THROW(job(&TPrinter::EndDoc), EPrinter);
    EXPECT_EQ(jobs.size(), 2u);
    EXPECT_FALSE(p.Printing());
    EXPECT_TRUE(QDir(temp.path()).entryList(QDir::Files).isEmpty()) << "no job file is left behind";

    SpoolJobHook = nullptr;
    SystemPrintersHook = nullptr;
    qputenv("TMPDIR", oldTemp);
    p.Refresh();
}
