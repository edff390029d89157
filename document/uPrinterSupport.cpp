#include "uPrinterSupport.h"

#include "Application.h"
#include "Printers.h"
#include "SysUtils.h"
#include "ulocalize.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstring>

std::function<void(QMessageBox::Icon Icon, const QString& Text)> PrintMessageHook;

QString FillPlaceholders(const QString& Text, const QStringList& Values)
{
    static const QRegularExpression placeholder(QStringLiteral("%(\\.\\d+)?[dsf]"));
    QString result;
    qsizetype from = 0;
    int next = 0;
    for (auto it = placeholder.globalMatch(Text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        result += Text.mid(from, m.capturedStart() - from);
        result += next < Values.size() ? Values[next++] : m.captured();
        from = m.capturedEnd();
    }
    return result + Text.mid(from);
}

void PrintMessage(QMessageBox::Icon Icon, const QString& Text)
{
    if (PrintMessageHook) {
        PrintMessageHook(Icon, Text);
        return;
    }
    QMessageBox box(Icon, ApplicationTitle(), Text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

// ---- paper codes -----------------------------------------------------------------------

namespace {

int32_t Tenths(double Millimetres) { return int32_t(Round(Millimetres * 10.0)); }

void SetPaperSize(TDeviceMode& Mode, const QPageSize& Size)
{
    Mode.PageSizeId = int32_t(Size.id());
    Mode.PageSizeKey = Size.key();
    const QSizeF mm = Size.size(QPageSize::Millimeter);
    Mode.PaperWidth = mm.width();
    Mode.PaperHeight = mm.height();
}

bool SameSize(const QPageSize& A, const QPageSize& B)
{
    const QSizeF a = A.size(QPageSize::Millimeter);
    const QSizeF b = B.size(QPageSize::Millimeter);
    return std::abs(a.width() - b.width()) < 2.0 && std::abs(a.height() - b.height()) < 2.0;
}

} // namespace

// ---- printer support --------------------------------------------------------------------

TPrinterSupport::TPrinterSupport()
{
    RegisterLocalizedString(this, QStringLiteral("Standarddrucker"));
    RegisterLocalizedString(this, QString::fromLatin1(PdfPrinterName));
}

void TPrinterSupport::GetPrinterInfo(TPrinterInfo& Info)
{
    TPrinter& p = Printer();
    if (p.PrinterIndex() < 0)
        return;
    Info = TPrinterInfo();
    Info.PrinterName = p.PrinterName();
    Info.PortName = GetPortName();
    Info.DriverName = p.Model();
    Info.Comment = p.Description();
    Info.Location = p.Location();
    if (p.IsDefaultPrinter())
        Info.Status = QStringLiteral(" ") + LocalizedString(this, QStringLiteral("Standarddrucker"));
}

QStringList TPrinterSupport::PrinterNames()
{
    QStringList names = Printer().Printers();
    const qsizetype pdf = names.indexOf(QString::fromLatin1(PdfPrinterName));
    if (pdf >= 0)
        names[pdf] = LocalizedString(this, QString::fromLatin1(PdfPrinterName));
    return names;
}

QString TPrinterSupport::GetDeviceName() { return Printer().PrinterName().left(80); }

QString TPrinterSupport::GetPortName()
{
    TPrinter& p = Printer();
    const QString port = p.IsPdfPrinter() ? QStringLiteral("FILE:")
                                          : QStringLiteral("ipp://localhost/printers/") + p.PrinterName();
    return port.left(80);
}

bool TPrinterSupport::ShowPrinterProperties(QWidget* ParentWindow)
{
    QPrinter& device = Printer().Device();
    QPageSetupDialog dialog(&device, ParentWindow);
    if (ShowModalDialog(dialog) != QDialog::Accepted)
        return false;
    TDeviceMode mode = Printer().DevMode();
    const QPageLayout layout = device.pageLayout();
    SetPaperSize(mode, layout.pageSize());
    mode.Orientation = layout.orientation() == QPageLayout::Landscape ? 1 : 0;
    Printer().SetDevMode(mode);
    return true;
}

bool TPrinterSupport::ExecutePrinterSetup(QWidget* ParentWindow, const QString& Title)
{
    TPrinter& p = Printer();
    const int keptPrinter = p.PrinterIndex();
    const TDeviceMode keptMode = p.DevMode();

    QDialog dialog(ParentWindow);
    dialog.setObjectName(QStringLiteral("PrinterSetupDialog1"));
    dialog.setWindowTitle(Title);
    const TLocalizer& texts = Localizer();
    const QString section = QStringLiteral("TQwDruckDlg");
    auto* printers = new QComboBox(&dialog);
    printers->setObjectName(QStringLiteral("cbDrucker"));
    printers->addItems(PrinterNames());
    printers->setCurrentIndex(p.PrinterIndex());
    printers->setMinimumWidth(260);
    auto* label = new QLabel(texts.GetString(section, QStringLiteral("gbDrucker.Caption"), QStringLiteral("Drucker"))
                                 + QLatin1Char(':'),
                             &dialog);
    label->setBuddy(printers);
    auto* properties = new QPushButton(
        texts.GetString(section, QStringLiteral("BtnEigenschaften.Caption"), QStringLiteral("&Eigenschaften")), &dialog);
    properties->setObjectName(QStringLiteral("BtnEigenschaften"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(printers, 1);
    row->addWidget(properties);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(row);
    layout->addWidget(buttons);
    QObject::connect(printers, &QComboBox::activated, &dialog,
                     Guarded([this](int Index) { SelectPrinterKeepingChoices(Index); }));
    QObject::connect(properties, &QPushButton::clicked, &dialog,
                     Guarded([this, &dialog] { ShowPrinterProperties(&dialog); }));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);

    if (ShowModalDialog(dialog) == QDialog::Accepted)
        return true;
    if (p.PrinterIndex() != keptPrinter)
        p.SetPrinterIndex(keptPrinter);
    p.SetDevMode(keptMode);
    return false;
}

void TPrinterSupport::ResetDevModeKeepingChoices()
{
    TPrinter& p = Printer();
    const TDeviceMode kept = p.DevMode();
    TDeviceMode mode = p.DefaultDevMode();
    mode.Orientation = kept.Orientation;
    mode.Copies = kept.Copies;
    mode.FullPage = kept.FullPage;
    if (p.SupportsColorMode(kept.ColorMode))
        mode.ColorMode = kept.ColorMode;
    if (p.SupportsDuplex(kept.Duplex))
        mode.Duplex = kept.Duplex;
    if (p.SupportsResolution(kept.Resolution))
        mode.Resolution = kept.Resolution;

    // The same paper: by its key, else one of the same size, else a custom one.
    const QPageSize keptSize = TPrinter::PageSizeOf(kept);
    const std::vector<TPrinterPaper> papers = p.Papers();
    const TPrinterPaper* found = nullptr;
    for (const TPrinterPaper& paper : papers)
        if (paper.Size.key() == kept.PageSizeKey) {
            found = &paper;
            break;
        }
    for (size_t i = 0; !found && i < papers.size(); ++i)
        if (papers[i].Borderless == kept.FullPage && SameSize(papers[i].Size, keptSize))
            found = &papers[i];
    if (found)
        SetPaperSize(mode, found->Size);
    else if (p.SupportsCustomPaper())
        SetPaperSize(mode, keptSize);
    p.SetDevMode(mode);
}

void TPrinterSupport::SelectPrinterKeepingChoices(int Index)
{
    TPrinter& p = Printer();
    const TDeviceMode kept = p.DevMode();
    p.SetPrinterIndex(Index);
    TDeviceMode mode = kept;
    mode.PrinterName = p.PrinterName();
    mode.Model = p.Model();
    p.SetDevMode(mode);
    ResetDevModeKeepingChoices();
}

void TPrinterSupport::SaveToStream(TStream& Stream)
{
    TPrinter& p = Printer();
    Stream.WriteBuffer(TDeviceMode::Marker, TDeviceMode::MarkerLength);
    WriteSizedText(Stream, p.PrinterName());
    WriteSizedText(Stream, GetDeviceName());
    WriteSizedText(Stream, p.Model());
    WriteSizedText(Stream, GetPortName());
    const std::vector<uint8_t> block = p.DevMode().ToBytes();
    Stream.WriteI32(int32_t(block.size()));
    Stream.WriteBuffer(block.data(), int32_t(block.size()));
}

bool TPrinterSupport::LoadFromStream(TStream& Stream)
{
    auto notRight = [] {
        PrintMessage(QMessageBox::Warning, QStringLiteral("Stream ist nicht richtig"));
        return false;
    };
    char marker[TDeviceMode::MarkerLength];
    if (Stream.Remaining() < TDeviceMode::MarkerLength)
        return notRight();
    Stream.ReadBuffer(marker, TDeviceMode::MarkerLength);
    if (std::memcmp(marker, TDeviceMode::Marker, TDeviceMode::MarkerLength) != 0)
        return notRight();
    // Every count is bounded by the bytes left.
    const int32_t limit = int32_t(std::min<int64_t>(Stream.Remaining(), INT32_MAX));
    QString printerName, deviceName, driverName, portName;
    if (!ReadSizedText(Stream, printerName, limit) || !ReadSizedText(Stream, deviceName, limit) ||
        !ReadSizedText(Stream, driverName, limit) || !ReadSizedText(Stream, portName, limit) ||
        Stream.Remaining() < 4)
        return notRight();
    const int32_t size = Stream.ReadI32();
    if (size < 0 || size > Stream.Remaining())
        return notRight();
    if (size == 0)
        return true;
    std::vector<uint8_t> block(size_t(size), 0);
    Stream.ReadBuffer(block.data(), size);

    TPrinter& p = Printer();
    const int index = int(p.Printers().indexOf(printerName));
    if (index < 0) {
        PrintMessage(QMessageBox::Warning,
                     fromAnsi(Format("Der gespeicherte Drucker \"%s\" wurde nicht gefunden. Der "
                                     "Standarddrucker wird geladen",
                                     {toAnsi(printerName)})));
        p.SetPrinterIndex(-1);
        ResetDevModeKeepingChoices();
        return false;
    }
    // A refused block leaves the found printer with the settings it had.
    if (index != p.PrinterIndex())
        p.SetPrinterIndex(index);
    TDeviceMode mode;
    if (!mode.FromBytes(block.data(), block.size()) || !p.Fits(mode)) {
        PrintMessage(QMessageBox::Warning,
                     fromAnsi(Format("Die gespeicherte Druckereinstellung passt nicht zum Drucker: "
                                     "%s. Die Standardeinstellungen werden geladen.",
                                     {toAnsi(printerName)})));
        return false;
    }
    p.SetDevMode(mode);
    return true;
}

int TPrinterSupport::GetMaxCopies() { return Printer().MaxCopies(); }

void TPrinterSupport::SetCopies(int Count)
{
    TPrinter& p = Printer();
    if (p.Printing())
        throw Exception("Kopien können nicht während eines Druckauftrags gesetzt werden");
    TDeviceMode mode = p.DevMode();
    mode.Copies = std::clamp(Count, 1, 9999);
    p.SetDevMode(mode);
}

void TPrinterSupport::RefreshPaperList()
{
    Papers.clear();
    int next = DMPAPER_USER;
    for (const TPrinterPaper& paper : Printer().Papers()) {
        TPaperInfo info;
        info.Name = toAnsi(paper.Size.name()).substr(0, 64);
        const QSizeF mm = paper.Size.size(QPageSize::Millimeter);
        info.Width = Tenths(mm.width());
        info.Height = Tenths(mm.height());
        // Borderless variants and sizes without a standard code get codes of their own.
        info.PaperCode = paper.Borderless ? 0 : PaperCodeOf(paper.Size.id());
        if (info.PaperCode == 0)
            info.PaperCode = ++next;
        Papers.push_back(info);
    }
}

int TPrinterSupport::FindPaperBySize(int32_t Width, int32_t Height) const
{
    for (size_t i = 0; i < Papers.size(); ++i)
        if (std::abs(Papers[i].Width - Width) < 20 && std::abs(Papers[i].Height - Height) < 20)
            return int(i);
    return -1;
}

void TPrinterSupport::SelectPaper(int Index)
{
    TPrinter& p = Printer();
    const std::vector<TPrinterPaper> papers = p.Papers();
    if (Index < 0 || size_t(Index) >= papers.size())
        return;
    TDeviceMode mode = p.DevMode();
    SetPaperSize(mode, papers[size_t(Index)].Size);
    p.SetDevMode(mode);
}

bool TPrinterSupport::SetPaperCode(int32_t Code)
{
    RefreshPaperList();
    for (size_t i = 0; i < Papers.size(); ++i)
        if (Papers[i].PaperCode == Code) {
            SelectPaper(int(i));
            return true;
        }
    return false;
}

bool TPrinterSupport::SetCustomPaper(float Width, float Height)
{
    SetCustomPaperOnce(Width, Height, true);
    return true;
}

bool TPrinterSupport::SetCustomPaperOnce(float Width, float Height, bool FallBack)
{
    // Sizes no paper can have (from a damaged document) go the way of a paper
    // the printer cannot take.
    const bool possible = Width >= 1 && Width <= 5000 && Height >= 1 && Height <= 5000;
    if (!possible)
        return FallBack && SetCustomPaperOnce(210.0f, 297.0f, false);
    RefreshPaperList();
    const int i = FindPaperBySize(int32_t(Round(Width * 10.0)), int32_t(Round(Height * 10.0)));
    if (i >= 0) {
        SelectPaper(i);
        return true;
    }
    TPrinter& p = Printer();
    if (p.SupportsCustomPaper()) {
        TDeviceMode mode = p.DevMode();
        mode.PageSizeId = QPageSize::Custom;
        mode.PaperWidth = Width;
        mode.PaperHeight = Height;
        mode.PageSizeKey = TPrinter::PageSizeOf(mode).key();
        p.SetDevMode(mode);
        return true;
    }
    // A4 once; when even that cannot be met, the paper stays as it is.
    return FallBack && SetCustomPaperOnce(210.0f, 297.0f, false);
}

void TPrinterSupport::SetBorderless(bool Value)
{
    TPrinter& p = Printer();
    TDeviceMode mode = p.DevMode();
    const QPageSize current = TPrinter::PageSizeOf(mode);
    const std::vector<TPrinterPaper> papers = p.Papers();
    bool currentIsBorderless = false;
    for (const TPrinterPaper& paper : papers)
        if (paper.Size.key() == mode.PageSizeKey)
            currentIsBorderless = paper.Borderless;
    if (currentIsBorderless != Value)
        for (const TPrinterPaper& paper : papers)
            if (paper.Borderless == Value && SameSize(paper.Size, current)) {
                SetPaperSize(mode, paper.Size);
                break;
            }
    mode.FullPage = Value;
    p.SetDevMode(mode);
}

TPrinterSupport& PrinterSupport()
{
    static TPrinterSupport instance;
    return instance;
}

// ---- printer draw context --------------------------------------------------------------

TPrinterDrawContext::TPrinterDrawContext() : TDrawContext(&Printer().Canvas())
{
    DeviceBounds = TRect{0, 0, Printer().PageWidth(), Printer().PageHeight()};
}

void TPrinterDrawContext::DrawBitmap(TBitmap& Bitmap, int32_t Left, int32_t Top, int32_t Right,
                                     int32_t Bottom)
{
    if (Bitmap.PixelFormat() != pf32bit)
        Bitmap.SetPixelFormat(pf32bit);
    Canvas->StretchDIBits(TRect{Left, Top, Right, Bottom}, Bitmap.Image());
}
