#include "Printers.h"

#include "Application.h"
#include "Dialogs.h"
#include "SysUtils.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QPageLayout>
#include <QPainter>
#include <QPrintEngine>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

const char* const PdfPrinterName = "PDF-Datei";
const char* const PdfPrinterModel = "PDF";

std::function<void(const TSpoolJob& Job)> SpoolJobHook;
std::function<QStringList()> SystemPrintersHook;

// ---- device settings block ------------------------------------------------------------

namespace {

bool ReadInt(TMemoryStream& S, int32_t& V, int32_t Min, int32_t Max)
{
    if (S.Remaining() < 4)
        return false;
    V = S.ReadI32();
    return V >= Min && V <= Max;
}

bool ReadMillimetres(TMemoryStream& S, double& V)
{
    if (S.Remaining() < 8)
        return false;
    V = S.ReadDouble();
    return V >= 1.0 && V <= 5000.0;  // also false for NaN
}

bool ContainsBorderlessWord(const QString& Text)
{
    for (const char* word : {"borderless", "fullbleed", "randlos"})
        if (Text.contains(QLatin1String(word), Qt::CaseInsensitive))
            return true;
    return false;
}

} // namespace

void WriteSizedText(TStream& Stream, const QString& Text)
{
    const QByteArray b = Text.toUtf8();
    Stream.WriteI32(int32_t(b.size()));
    if (!b.isEmpty())
        Stream.WriteBuffer(b.constData(), int32_t(b.size()));
}

bool ReadSizedText(TStream& Stream, QString& Text, int32_t MaxBytes)
{
    if (Stream.Remaining() < 4)
        return false;
    const int32_t n = Stream.ReadI32();
    if (n < 0 || n > MaxBytes || n > Stream.Remaining())
        return false;
    QByteArray b(n, '\0');
    if (n > 0)
        Stream.ReadBuffer(b.data(), n);
    Text = QString::fromUtf8(b);
    return true;
}

std::vector<uint8_t> TDeviceMode::ToBytes() const
{
    TMemoryStream s;
    s.WriteBuffer(Marker, MarkerLength);
    WriteSizedText(s, PrinterName);
    WriteSizedText(s, Model);
    s.WriteI32(PageSizeId);
    WriteSizedText(s, PageSizeKey);
    s.WriteDouble(PaperWidth);
    s.WriteDouble(PaperHeight);
    s.WriteI32(Orientation);
    s.WriteI32(Duplex);
    s.WriteI32(ColorMode);
    s.WriteI32(Resolution);
    s.WriteI32(Copies);
    s.WriteU8(FullPage ? 1 : 0);
    return {s.Bytes().begin(), s.Bytes().end()};
}

bool TDeviceMode::FromBytes(const uint8_t* Data, size_t Size)
{
    if (!Data || Size < size_t(MarkerLength) || Size > 64 * 1024)
        return false;
    TMemoryStream s;
    s.WriteBuffer(Data, int32_t(Size));
    s.SetPosition(0);
    char marker[MarkerLength];
    s.ReadBuffer(marker, MarkerLength);
    if (std::memcmp(marker, Marker, MarkerLength) != 0)
        return false;
    TDeviceMode m;
    int32_t fullPage = 0;
    const bool ok = ReadSizedText(s, m.PrinterName) && ReadSizedText(s, m.Model) &&
                    ReadInt(s, m.PageSizeId, 0, QPageSize::LastPageSize) &&
                    ReadSizedText(s, m.PageSizeKey) && ReadMillimetres(s, m.PaperWidth) &&
                    ReadMillimetres(s, m.PaperHeight) && ReadInt(s, m.Orientation, 0, 1) &&
                    ReadInt(s, m.Duplex, QPrinter::DuplexNone, QPrinter::DuplexShortSide) &&
                    ReadInt(s, m.ColorMode, 0, 1) && ReadInt(s, m.Resolution, 1, 9600) &&
                    ReadInt(s, m.Copies, 1, 9999) && s.Remaining() == 1;
    if (!ok || m.PrinterName.isEmpty())
        return false;
    fullPage = s.ReadU8();
    if (fullPage > 1)
        return false;
    m.FullPage = fullPage == 1;
    *this = m;
    return true;
}

// ---- paper codes ---------------------------------------------------------------------------

namespace {

struct TPaperCodeEntry {
    int32_t Code;
    QPageSize::PageSizeId Id;
};

constexpr TPaperCodeEntry PaperCodes[] = {
    {1, QPageSize::Letter},     {3, QPageSize::Tabloid}, {5, QPageSize::Legal},
    {7, QPageSize::Executive},  {8, QPageSize::A3},      {9, QPageSize::A4},
    {11, QPageSize::A5},        {12, QPageSize::B4},     {13, QPageSize::B5},
    {20, QPageSize::Envelope10}, {27, QPageSize::EnvelopeDL}, {70, QPageSize::A6},
};

} // namespace

int32_t PaperCodeOf(int PageSizeId)
{
    for (const TPaperCodeEntry& e : PaperCodes)
        if (e.Id == PageSizeId)
            return e.Code;
    return 0;
}

int PageSizeIdOf(int32_t PaperCode)
{
    for (const TPaperCodeEntry& e : PaperCodes)
        if (e.Code == PaperCode)
            return e.Id;
    return -1;
}

// ---- spooler ----------------------------------------------------------------------

namespace {

// Qt's CUPS support keeps the options chosen in its print dialog (name, value,
// name, value, ...) under this engine property.
constexpr auto PPK_CupsOptions = QPrintEngine::PrintEnginePropertyKey(0xfe00);

// The options Qt's CUPS engine would send with the job of Device.
std::vector<std::pair<QByteArray, QByteArray>> SpoolOptions(QPrinter& Device)
{
    std::vector<std::pair<QByteArray, QByteArray>> options;
    const QPageLayout layout = Device.pageLayout();
    options.push_back({"media", layout.pageSize().key().toUtf8()});
    const int copies = Device.copyCount();
    if (copies > 1) {
        options.push_back({"copies", QByteArray::number(copies)});
        if (Device.collateCopies())
            options.push_back({"Collate", "True"});
    }
    switch (Device.duplex()) {
    case QPrinter::DuplexNone:
        options.push_back({"sides", "one-sided"});
        break;
    case QPrinter::DuplexAuto:
        options.push_back({"sides", layout.orientation() == QPageLayout::Portrait ? "two-sided-long-edge"
                                                                               : "two-sided-short-edge"});
        break;
    case QPrinter::DuplexLongSide:
        options.push_back({"sides", "two-sided-long-edge"});
        break;
    case QPrinter::DuplexShortSide:
        options.push_back({"sides", "two-sided-short-edge"});
        break;
    }
    if (layout.orientation() == QPageLayout::Landscape)
        options.push_back({"landscape", ""});
    if (QPrintEngine* engine = Device.printEngine()) {
        const QStringList chosen = engine->property(PPK_CupsOptions).toStringList();
        for (qsizetype i = 0; i + 1 < chosen.size(); i += 2)
            options.push_back({chosen[i].toUtf8(), chosen[i + 1].toUtf8()});
    }
    return options;
}

// cupsPrintFile of the CUPS library, which Qt's print support loads anyway.
void SpoolWithCups(const TSpoolJob& Job)
{
    struct TCupsOption {
        char* Name;
        char* Value;
    };
    using TPrintFile = int (*)(const char*, const char*, const char*, int, TCupsOption*);
    using TLastErrorString = const char* (*)();
    static QLibrary cups(QStringLiteral("cups"), 2);
    auto printFile = reinterpret_cast<TPrintFile>(cups.resolve("cupsPrintFile"));
    auto lastError = reinterpret_cast<TLastErrorString>(cups.resolve("cupsLastErrorString"));
    if (!printFile)
        throw EPrinter("The printing system cannot be reached");
    std::vector<std::pair<QByteArray, QByteArray>> options = Job.Options;  // held while cups reads them
    std::vector<TCupsOption> list;
    for (auto& o : options)
        list.push_back({o.first.data(), o.second.data()});
    // The queue without its instance ("printer/instance").
    const QByteArray queue = Job.PrinterName.section(QLatin1Char('/'), 0, 0).toLocal8Bit();
    const int id = printFile(queue.constData(), QFile::encodeName(Job.FileName).constData(),
                             Job.Title.toUtf8().constData(), int(list.size()),
                             list.empty() ? nullptr : list.data());
    if (id == 0) {
        AnsiString message = "The print job could not be sent to the printer";
        if (lastError && lastError())
            message += AnsiString(": ") + toAnsi(QString::fromUtf8(lastError()));
        throw EPrinter(message);
    }
}

} // namespace

// ---- printer ----------------------------------------------------------------------

TPrinter::TPrinter() { Refresh(); }

TPrinter::~TPrinter()
{
    if (FPrinting)
        Abort();
}

void TPrinter::Refresh()
{
    if (FPrinting)
        throw EPrinter("Printing in progress");
    FPrinters = SystemPrintersHook ? SystemPrintersHook() : QPrinterInfo::availablePrinterNames();
    FPrinters.removeAll(QString::fromLatin1(PdfPrinterName));
    FPrinters.append(QString::fromLatin1(PdfPrinterName));
    FDefaultName = QPrinterInfo::defaultPrinterName();
    if (FDefaultName.isEmpty() || !FPrinters.contains(FDefaultName))
        FDefaultName = QString::fromLatin1(PdfPrinterName);
    FIndex = -2;
    SetPrinterIndex(-1);
}

int TPrinter::DefaultPrinterIndex() const { return int(FPrinters.indexOf(FDefaultName)); }

void TPrinter::SetPrinterIndex(int Index)
{
    if (FPrinting)
        throw EPrinter("Printing in progress");
    if (Index < 0 || Index >= FPrinters.size())
        Index = DefaultPrinterIndex();
    FIndex = Index;
    FDevice.reset();
    FDevMode = DefaultDevMode();
    FDeviceDirty = true;
}

QString TPrinter::PrinterName() const { return FPrinters.value(FIndex); }

bool TPrinter::IsPdfPrinter() const { return PrinterName() == QLatin1String(PdfPrinterName); }

bool TPrinter::IsDefaultPrinter() const { return PrinterName() == FDefaultName; }

QString TPrinter::Model() const
{
    if (IsPdfPrinter())
        return QString::fromLatin1(PdfPrinterModel);
    return QPrinterInfo::printerInfo(PrinterName()).makeAndModel();
}

QString TPrinter::Description() const
{
    return IsPdfPrinter() ? QString() : QPrinterInfo::printerInfo(PrinterName()).description();
}

QString TPrinter::Location() const
{
    return IsPdfPrinter() ? QString() : QPrinterInfo::printerInfo(PrinterName()).location();
}

std::vector<TPrinterPaper> TPrinter::Papers() const
{
    std::vector<TPrinterPaper> result;
    if (IsPdfPrinter()) {
        for (QPageSize::PageSizeId id :
             {QPageSize::A3, QPageSize::A4, QPageSize::A5, QPageSize::A6, QPageSize::B5,
              QPageSize::Letter, QPageSize::Legal, QPageSize::Executive})
            result.push_back({QPageSize(id), false});
        return result;
    }
    for (const QPageSize& size : QPrinterInfo::printerInfo(PrinterName()).supportedPageSizes())
        result.push_back({size, ContainsBorderlessWord(size.key()) || ContainsBorderlessWord(size.name())});
    return result;
}

bool TPrinter::SupportsCustomPaper() const
{
    return IsPdfPrinter() || QPrinterInfo::printerInfo(PrinterName()).supportsCustomPageSizes();
}

bool TPrinter::SupportsColorMode(int32_t ColorMode) const
{
    if (IsPdfPrinter())
        return ColorMode == 0 || ColorMode == 1;
    const auto modes = QPrinterInfo::printerInfo(PrinterName()).supportedColorModes();
    return modes.contains(ColorMode == 0 ? QPrinter::GrayScale : QPrinter::Color);
}

bool TPrinter::SupportsDuplex(int32_t Duplex) const
{
    if (IsPdfPrinter())
        return Duplex == QPrinter::DuplexNone;
    return QPrinterInfo::printerInfo(PrinterName())
        .supportedDuplexModes()
        .contains(QPrinter::DuplexMode(Duplex));
}

bool TPrinter::SupportsResolution(int32_t Resolution) const
{
    if (IsPdfPrinter())
        return Resolution == PdfPrinterResolution;
    return QPrinterInfo::printerInfo(PrinterName()).supportedResolutions().contains(Resolution);
}

int TPrinter::MaxCopies() const
{
    if (IsPdfPrinter())
        return 1;
    return const_cast<TPrinter*>(this)->Device().supportsMultipleCopies() ? 9999 : 1;
}

TDeviceMode TPrinter::DefaultDevMode() const
{
    TDeviceMode m;
    m.PrinterName = PrinterName();
    m.Model = Model();
    QPageSize size(QPageSize::A4);
    if (IsPdfPrinter()) {
        m.Resolution = PdfPrinterResolution;
    } else {
        const QPrinterInfo info = QPrinterInfo::printerInfo(PrinterName());
        if (info.defaultPageSize().isValid())
            size = info.defaultPageSize();
        m.Duplex = int32_t(info.defaultDuplexMode());
        m.ColorMode = info.defaultColorMode() == QPrinter::GrayScale ? 0 : 1;
        QPrinter probe(info, QPrinter::HighResolution);
        m.Resolution = probe.resolution() > 0 ? probe.resolution() : 300;
    }
    m.PageSizeId = int32_t(size.id());
    m.PageSizeKey = size.key();
    const QSizeF mm = size.size(QPageSize::Millimeter);
    m.PaperWidth = mm.width();
    m.PaperHeight = mm.height();
    return m;
}

void TPrinter::SetDevMode(const TDeviceMode& Mode)
{
    FDevMode = Mode;
    FDeviceDirty = true;
}

bool TPrinter::Fits(const TDeviceMode& Mode) const
{
    return Mode.PrinterName == PrinterName() && Mode.Model == Model();
}

QPageSize TPrinter::PageSizeOf(const TDeviceMode& Mode)
{
    if (Mode.PageSizeId != QPageSize::Custom) {
        const QPageSize size{QPageSize::PageSizeId(Mode.PageSizeId)};
        if (size.isValid())
            return size;
    }
    const AnsiString name = Format("QN %.2f x %.2f", {Mode.PaperWidth, Mode.PaperHeight});
    return QPageSize(QSizeF(Mode.PaperWidth, Mode.PaperHeight), QPageSize::Millimeter,
                     fromAnsi(name), QPageSize::ExactMatch);
}

void TPrinter::CreateDevice()
{
    if (IsPdfPrinter()) {
        FDevice = std::make_unique<QPrinter>(QPrinter::HighResolution);
        FDevice->setOutputFormat(QPrinter::PdfFormat);
    } else {
        FDevice = std::make_unique<QPrinter>(QPrinterInfo::printerInfo(PrinterName()),
                                             QPrinter::HighResolution);
    }
    FDeviceDirty = true;
}

void TPrinter::ApplyDevMode()
{
    QPrinter& p = *FDevice;
    QPageSize size = PageSizeOf(FDevMode);
    for (const TPrinterPaper& paper : Papers())
        if (!FDevMode.PageSizeKey.isEmpty() && paper.Size.key() == FDevMode.PageSizeKey) {
            size = paper.Size;
            break;
        }
    if (!FPrinting)
        p.setResolution(FDevMode.Resolution);
    p.setDuplex(QPrinter::DuplexMode(FDevMode.Duplex));
    p.setColorMode(FDevMode.ColorMode == 0 ? QPrinter::GrayScale : QPrinter::Color);
    p.setCopyCount(FDevMode.Copies);

    // The size first gives the printer's least margins for it; then the whole
    // layout goes in one call, as the system loses the orientation otherwise.
    p.setPageSize(size);
    const QPageLayout current = p.pageLayout();
    const QMarginsF margins = FDevMode.FullPage ? QMarginsF() : current.minimumMargins();
    QPageLayout layout(size,
                       FDevMode.Orientation == 1 ? QPageLayout::Landscape : QPageLayout::Portrait,
                       margins, current.units(), margins);
    layout.setMode(FDevMode.FullPage ? QPageLayout::FullPageMode : QPageLayout::StandardMode);
    if (!p.setPageLayout(layout))
        p.setPageOrientation(layout.orientation());
    p.setFullPage(FDevMode.FullPage);
    FDeviceDirty = false;
}

QPrinter& TPrinter::Device()
{
    if (!FDevice)
        CreateDevice();
    if (FDeviceDirty)
        ApplyDevMode();
    return *FDevice;
}

QString TPrinter::SuggestedPdfName() const
{
    const QString folder = FLastPdfFolder.isEmpty() ? UserDocumentsFolder() : FLastPdfFolder;
    QString name = (DocumentName.isEmpty() ? Title : DocumentName).trimmed();
    name.replace(QLatin1Char('/'), QLatin1Char(' '));
    if (name.isEmpty())
        name = QStringLiteral("Druck");
    return folder + QLatin1Char('/') + name + QStringLiteral(".pdf");
}

void TPrinter::BeginDoc()
{
    if (FPrinting)
        throw EPrinter("Printing in progress");
    FAborted = false;
    FPageNumber = 0;
    if (!FDevice)
        CreateDevice();
    FDeviceDirty = true;  // the whole layout again, after any dialog
    QPrinter& p = Device();
    if (IsPdfPrinter()) {
        FPdfTarget = OutputFileName;
        if (FPdfTarget.isEmpty()) {
            const QString suggested = SuggestedPdfName();
            if (AskPdfFileName) {
                FPdfTarget = AskPdfFileName(suggested);
            } else {
                TFileDialogRequest request;
                request.Save = true;
                request.Filter = QStringLiteral("PDF (*.pdf)");
                request.FileName = suggested;
                request.DefaultExt = QStringLiteral("pdf");
                if (ExecuteFileDialog(QApplication::activeWindow(), request))
                    FPdfTarget = request.FileName;
            }
            if (FPdfTarget.isEmpty())
                ::Abort();
            if (QFileInfo(FPdfTarget).suffix().isEmpty())
                FPdfTarget += QStringLiteral(".pdf");
            FLastPdfFolder = QFileInfo(FPdfTarget).absolutePath();
        }
        // Written beside the target and renamed over it when the job ends.
        FJobFile = FPdfTarget + QStringLiteral(".part");
    } else {
        // Written to a file of our own and spooled when the job ends, so that
        // an aborted job sends nothing. Not named *.pdf: the printer keeps its
        // own engine and metrics and only writes to the file.
        QTemporaryFile reserve(QDir::tempPath() + QStringLiteral("/lumiseite-XXXXXX.spool"));
        reserve.setAutoRemove(false);
        if (!reserve.open())
            throw EPrinter("Printer selected is not valid");
        FJobFile = reserve.fileName();
    }
    // Opened by its bytes, so that a folder or a name that is no UTF-8 takes
    // the job too; the printer opens the file through the descriptor's link.
    const int job = ::open(EncodeFileName(FJobFile).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (job < 0) {
        const int error = errno;
        const QString name = DisplayFileName(IsPdfPrinter() ? FPdfTarget : FJobFile);
        FJobFile.clear();
        throw EFCreateError(toAnsi(QStringLiteral("Cannot create file \"%1\". %2").arg(name, SysErrorMessage(error))));
    }
    p.setOutputFileName(QStringLiteral("/proc/self/fd/%1").arg(job));
    p.setDocName(Title);
    FCanvas = std::make_unique<TCanvas>(&p);
    QPainter* painter = FCanvas->Painter();  // the printer opens the file here
    ::close(job);
    if (!painter || !painter->isActive()) {
        FCanvas.reset();
        DropJobFile();
        throw EPrinter("Printer selected is not valid");
    }
    FPrinting = true;
    FPageNumber = 1;
}

void TPrinter::NewPage()
{
    if (!FPrinting)
        throw EPrinter("Printer is not currently printing");
    FDevice->newPage();
    ++FPageNumber;
}

void TPrinter::DropJobFile()
{
    if (!FJobFile.isEmpty())
        ::unlink(EncodeFileName(FJobFile).constData());
    FJobFile.clear();
    if (!IsPdfPrinter())
        FDevice->setOutputFileName(QString());  // back to the spooler
}

void TPrinter::EndDoc()
{
    if (!FPrinting)
        throw EPrinter("Printer is not currently printing");
    FCanvas.reset();  // ends the painter and with it the job file
    FPrinting = false;
    if (IsPdfPrinter()) {
        if (::rename(EncodeFileName(FJobFile).constData(), EncodeFileName(FPdfTarget).constData()) != 0) {
            DropJobFile();
            throw EFCreateError(toAnsi(QStringLiteral("Cannot create file \"%1\"").arg(DisplayFileName(FPdfTarget))));
        }
        FJobFile.clear();
        return;
    }
    TSpoolJob job{PrinterName(), FJobFile, Title, SpoolOptions(*FDevice)};
    job.Options.insert(job.Options.end(), JobOptions.begin(), JobOptions.end());
    try {
        if (SpoolJobHook)
            SpoolJobHook(job);
        else
            SpoolWithCups(job);
    } catch (...) {
        DropJobFile();
        throw;
    }
    DropJobFile();
}

void TPrinter::Abort()
{
    if (FPrinting) {
        FDevice->abort();
        FCanvas.reset();
        FPrinting = false;
        DropJobFile();
    }
    FAborted = true;
}

TCanvas& TPrinter::Canvas()
{
    if (!FCanvas)
        throw EPrinter("Printer is not currently printing");
    return *FCanvas;
}

int TPrinter::PageWidth() { return Device().width(); }

int TPrinter::PageHeight() { return Device().height(); }

int TPrinter::PhysicalOffsetX()
{
    return int(Round(Device().pageRect(QPrinter::DevicePixel).left()));
}

int TPrinter::PhysicalOffsetY()
{
    return int(Round(Device().pageRect(QPrinter::DevicePixel).top()));
}

int TPrinter::LogPixelsX() { return Device().logicalDpiX(); }

int TPrinter::LogPixelsY() { return Device().logicalDpiY(); }

void TPrinter::ReleaseDevice()
{
    if (FPrinting)
        Abort();
    FDevice.reset();
    FDeviceDirty = true;
}

TPrinter& Printer()
{
    static TPrinter instance;
    static const TStaticCleanup cleanup([] { instance.ReleaseDevice(); });
    return instance;
}
