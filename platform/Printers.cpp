#include "Printers.h"

#include "SysUtils.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>

#include <cstring>

const char* const PdfPrinterName = "PDF-Datei";
const char* const PdfPrinterModel = "PDF";

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
    return s.Bytes();
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
    FPrinters = QPrinterInfo::availablePrinterNames();
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
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    QString name = Title.trimmed();
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
            FPdfTarget = AskPdfFileName
                             ? AskPdfFileName(suggested)
                             : QFileDialog::getSaveFileName(QApplication::activeWindow(), QString(),
                                                            suggested, QStringLiteral("PDF (*.pdf)"));
            if (FPdfTarget.isEmpty())
                ::Abort();
        }
        // Written beside the target and renamed over it when the job ends.
        p.setOutputFileName(FPdfTarget + QStringLiteral(".part"));
    }
    p.setDocName(Title);
    FCanvas = std::make_unique<TCanvas>(&p);
    QPainter* painter = FCanvas->Painter();
    if (!painter || !painter->isActive()) {
        FCanvas.reset();
        if (IsPdfPrinter())
            QFile::remove(FPdfTarget + QStringLiteral(".part"));
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

void TPrinter::EndDoc()
{
    if (!FPrinting)
        throw EPrinter("Printer is not currently printing");
    FCanvas.reset();  // ends the painter and with it the job
    FPrinting = false;
    if (IsPdfPrinter()) {
        const QString part = FPdfTarget + QStringLiteral(".part");
        QFile::remove(FPdfTarget);
        if (!QFile::rename(part, FPdfTarget)) {
            QFile::remove(part);
            throw EFCreateError(toAnsi(QStringLiteral("Cannot create file \"%1\"").arg(FPdfTarget)));
        }
    }
}

void TPrinter::Abort()
{
    if (FPrinting) {
        FDevice->abort();
        FCanvas.reset();
        FPrinting = false;
        if (IsPdfPrinter())
            QFile::remove(FPdfTarget + QStringLiteral(".part"));
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

TPrinter& Printer()
{
    static TPrinter instance;
    return instance;
}
