#include "uFotobuchPrinter.h"

#include "SystemMemory.h"

#include "Application.h"
#include "FBPictureElement.h"
#include "MainFormStatusBar.h"
#include "Printers.h"
#include "SysUtils.h"
#include "uBitmapDrawContext.h"
#include "uDlgDruckAbbrechen.h"
#include "uFotobuchDocument.h"
#include "uPrinterSupport.h"
#include "uQwDruckDlg.h"
#include "uQwRegistry.h"
#include "ulocalize.h"

#include <QDir>
#include <QPushButton>
#include <cmath>
#include <memory>

namespace {

constexpr TColor White = 0xFFFFFF;

const char* const TextNoElements = "Es sind keine Elemente zum Drucken vorhanden.";
const char* const TextPreparing = "Drucken wird vorbereitet";
const char* const TextPrintingPage = "Drucke Seite %d von %d";
const char* const TextTwoSided = "Beidseitiges Drucken ist noch nicht implementiert";
const char* const TextSettings = "Bitte stellen Sie folgende Eigenschaften für den ausgewählten Drucker ein:";
const char* const TextPdfNotWritten = "Die PDF-Datei \"%s\" kann in diesem Ordner nicht geschrieben werden.";

[[maybe_unused]] const bool TextsRegistered = [] {
    for (const char* text : {TextNoElements, TextPreparing, TextPrintingPage, TextTwoSided,
                             TextSettings, TextPdfNotWritten, "Papierformat", "Papierart", "Randlosdruck",
                             "kein Randlosdruck"})
        Localizer().RegisterDefault(QStringLiteral("TFotobuchPrinter"), QString::fromUtf8(text),
                                    QString::fromUtf8(text));
    return true;
}();

QString Text(const TObject* Obj, const char* Key) { return LocalizedString(Obj, QString::fromUtf8(Key)); }

// Runs a step of the job that writes the printer's file. When the PDF
// printer cannot write its file where the user asked for it, the user is
// told so in their language.
template <class TStep>
void WriteJob(const TObject* Obj, TStep&& Step)
{
    try {
        Step();
    } catch (const EAbort&) {
        throw;
    } catch (const Exception&) {
        const TPrinter& p = Printer();
        if (!p.IsPdfPrinter() || p.PdfTarget().isEmpty())
            throw;
        throw Exception(FillPlaceholders(Text(Obj, TextPdfNotWritten), {QDir::toNativeSeparators(p.PdfTarget())}));
    }
}

} // namespace

AnsiString PrintSettingsKey(int PrintSetting)
{
    const AnsiString name = GetPrintSettingName(PrintSetting);
    return name.empty() ? AnsiString() : "Druckeinstellung\\" + name;
}

TFotobuchPrinter::TFotobuchPrinter(TFBDocument* ADocument) : Document(ADocument) {}

TFotobuchPrinter::~TFotobuchPrinter() = default;

int TFotobuchPrinter::GetPrintablePageCount() const
{
    for (int i = Document->Pages.Count() - 1; i >= 0; --i)
        if (Document->Pages.GetPage(i)->HasContent())
            return i + 1;
    return 0;
}

void TFotobuchPrinter::Print()
{
    const int n = GetPrintablePageCount();
    if (n == 0) {
        PrintMessage(QMessageBox::Information, Text(this, TextNoElements));
        return;
    }
    // Only single pages and folded sheets can be printed; no job for anything else.
    if (Document->DocType != 0 && Document->DocType != 1) {
        if (Document->DocType == 2)
            PrintMessage(QMessageBox::Information, Text(this, TextTwoSided));
        return;
    }
    PreparePaper();
    PromoteBorderless();
    LoadPrintSettings();
    PrinterSupport().SetBorderless(Document->PrintBorderless);
    PageSelection.assign(size_t(Document->Pages.Count()), false);

    std::unique_ptr<TQwDruckDlg> dlg(
        TLocalizerForm::create<TQwDruckDlg>(ApplicationMainWidget()));
    dlg->SetFromPage(1);
    dlg->SetToPage(n);
    dlg->PageSelection = &PageSelection;
    dlg->SetInfoText(GetRequiredSettingsText());
    dlg->RandlosverschiebungY = RandlosverschiebungY;
    dlg->SettingsKey = PrintSettingsKey(Document->PrintSetting);
    dlg->Document = Document;
    dlg->BtnDruckposition->setVisible(Document->PrintBorderless && Document->DocType != 0);
    if (dlg->Execute() != QDialog::Accepted)
        return;

    switch (dlg->RangeChoice()) {
    case 0:
        FirstPage = 0;
        LastPage = n - 1;
        std::fill(PageSelection.begin(), PageSelection.end(), true);
        break;
    case 1:
        FirstPage = std::clamp(dlg->FromPage() - 1, 0, n - 1);
        LastPage = std::clamp(dlg->ToPage() - 1, 0, n - 1);
        std::fill(PageSelection.begin(), PageSelection.end(), false);
        for (int i = FirstPage; i <= LastPage; ++i)
            PageSelection[size_t(i)] = true;
        break;
    default:
        FirstPage = 0;
        LastPage = n - 1;
        break;
    }

    Copies = dlg->Copies();
    // The printer makes the copies when it can; otherwise the job repeats the
    // pages and the printer makes one.
    if (PrinterSupport().GetMaxCopies() >= Copies) {
        PrinterSupport().SetCopies(Copies);
        Copies = 1;
    } else {
        PrinterSupport().SetCopies(1);
    }
    RandlosverschiebungY = dlg->RandlosverschiebungY;
    SavePrintSettings();
    dlg.reset();
    RunJob();
}

void TFotobuchPrinter::PreparePaper()
{
    TPrinterSupport& ps = PrinterSupport();
    TFBDocument& d = *Document;
    if (d.PrintPaperSize >= 1)
        ps.SetPaperCode(d.PrintPaperSize);
    else if (d.PrintPaperWidth > 0 && d.PrintPaperHeight > 0)
        ps.SetCustomPaper(d.PrintPaperWidth, d.PrintPaperHeight);
    else if (d.DocType == 0)
        ps.SetCustomPaper(d.PageWidth, d.PageHeight);
    else if (d.DocType == 1)
        ps.SetCustomPaper(d.PageHeight, 2 * d.PageWidth);
    else
        ps.SetPaperCode(DMPAPER_A4);
}

void TFotobuchPrinter::PromoteBorderless()
{
    TFBDocument& d = *Document;
    if (d.PrintBorderless)
        return;
    for (int i = 0; i < d.Pages.Count(); ++i)
        if ((d.Pages.GetPage(i)->PageColor & 0xFFFFFF) != White) {
            d.PrintBorderless = true;
            if (d.PrintSetting == 6)
                d.PrintSetting = 5;
            else if (d.PrintSetting == 9)
                d.PrintSetting = 10;
            return;
        }
}

void TFotobuchPrinter::LoadPrintSettings()
{
    const AnsiString key = PrintSettingsKey(Document->PrintSetting);
    if (key.empty())
        return;
    TQwRegIniFile& reg = TQwRegIniFile::Instance();
    TPrinter& p = Printer();
    const QString name = reg.ReadWideString(key, "Drucker", QString());
    const int index = name.isEmpty() ? -1 : int(p.Printers().indexOf(name));
    if (index < 0)
        return;
    // The paper prepared for the document stays unless fitting stored settings
    // replace it.
    PrinterSupport().SelectPrinterKeepingChoices(index);
    const int32_t size = reg.GetDataSize(key, "DeviceMode");
    if (size > 0) {
        // Settings that do not fit this printer, or damaged ones, leave its defaults.
        std::vector<uint8_t> block(size_t(size), 0);
        TDeviceMode mode;
        try {
            const int32_t read = reg.ReadBinaryData(key, "DeviceMode", block.data(), size);
            if (mode.FromBytes(block.data(), size_t(read)) && p.Fits(mode))
                p.SetDevMode(mode);
        } catch (const Exception&) {
        }
    }
    if (Document->PrintBorderless) {
        RandlosverschiebungY = -1.2f;
        RandlosverschiebungY = float(reg.ReadFloat(key + "\\" + toAnsi(p.PrinterName()),
                                                   "RandlosverschiebungY", -1.2));
    }
    PrinterSupport().SetCopies(1);
}

void TFotobuchPrinter::SavePrintSettings()
{
    const AnsiString key = PrintSettingsKey(Document->PrintSetting);
    if (key.empty())
        return;
    TQwRegIniFile& reg = TQwRegIniFile::Instance();
    TPrinter& p = Printer();
    reg.WriteWideString(key, "Drucker", p.PrinterName());
    const std::vector<uint8_t> block = p.DevMode().ToBytes();
    reg.WriteBinaryData(key, "DeviceMode", block.data(), int32_t(block.size()));
    if (Document->PrintBorderless)
        reg.WriteFloat(key + "\\" + toAnsi(p.PrinterName()), "RandlosverschiebungY",
                       RandlosverschiebungY);
}

QString TFotobuchPrinter::GetRequiredSettingsText() const
{
    QStringList lines;
    lines << Text(this, TextSettings) << QString();
    lines << QStringLiteral("- ") + Text(this, "Papierformat") + QStringLiteral(": ") +
                 fromAnsi(Document->GetPrintPaperCaption());
    const QString type = fromAnsi(Document->GetPrintPaperTypeCaption());
    if (!type.isEmpty())
        lines << QStringLiteral("- ") + Text(this, "Papierart") + QStringLiteral(": ") + type;
    lines << QStringLiteral("- ") +
                 Text(this, Document->PrintBorderless ? "Randlosdruck" : "kein Randlosdruck");
    return lines.join(QStringLiteral("\r\n"));
}

QString TFotobuchPrinter::MakeJobTitle(const QString& Title)
{
    QString t = Title;
    for (QChar c : {QLatin1Char('+'), QLatin1Char('/'), QLatin1Char('\\'), QLatin1Char('&')})
        t.replace(c, QLatin1Char(' '));
    t.remove(QLatin1Char('\''));
    t.remove(QLatin1Char('"'));
    return t;
}

int TFotobuchPrinter::ResolutionDivisor(int LogPixelsY)
{
    int d = 1;
    while (double(LogPixelsY) / d > 365.0)
        ++d;
    return d;
}

bool TFotobuchPrinter::Cancelled()
{
    if (!FCancelled && IsPrintCancelled())
        FCancelled = true;
    return FCancelled;
}

TPrinterDrawContext& TFotobuchPrinter::StartPage()
{
    TPrinter& p = Printer();
    if (FDC) {
        p.NewPage();
    } else {
        WriteJob(this, [&p] { p.BeginDoc(); });
        FDC = std::make_unique<TPrinterDrawContext>();
        FDivisor = ResolutionDivisor(p.LogPixelsY());
    }
    return *FDC;
}

void TFotobuchPrinter::RunJob()
{
    TPrinter& p = Printer();
    p.Title = MakeJobTitle(ApplicationTitle());
    TDeviceMode mode = p.DevMode();
    mode.Orientation = 0;
    p.SetDevMode(mode);
    FCancelled = false;
    ShowPrintProgress(Text(this, TextPreparing));
    try {
        if (Document->DocType == 0)
            PrintNormal();
        else if (Document->DocType == 1)
            PrintFolded();
        FDC.reset();
        if (FCancelled)
            p.Abort();
        else if (p.Printing())
            WriteJob(this, [&p] { p.EndDoc(); });
    } catch (...) {
        FDC.reset();
        if (p.Printing())
            p.Abort();
        ClosePrintProgress();
        throw;
    }
    ClosePrintProgress();
    // The pages' bitmaps are freed; their memory goes back to the system.
    ReleaseFreeMemory();
}

void TFotobuchPrinter::PrintNormal()
{
    // The progress counts the pages this pass prints ("Drucke Seite 2 von 2"),
    // never a page number against the count ("Seite 5 von 2").
    auto printed = [this](int i) {
        return PageSelection[size_t(i)] && Document->Pages.GetPage(i)->HasContent();
    };
    int total = 0;
    for (int i = FirstPage; i <= LastPage; ++i)
        if (printed(i))
            ++total;
    for (int pass = 0; pass < Copies; ++pass) {
        int counter = 1;
        for (int i = FirstPage; i <= LastPage; ++i) {
            if (!printed(i))
                continue;
            TFBPage& page = *Document->Pages.GetPage(i);
            if (Cancelled())
                break;
            TPrinterDrawContext& DC = StartPage();
            ShowPrintProgress(FillPlaceholders(Text(this, TextPrintingPage),
                                               {QString::number(counter++), QString::number(total)}));
            DC.Transformation->Push();
            SetupPageTransform(DC);
            if (Document->PrintSetting == 7)
                DC.Transformation->RotateAt(105, 148.5f, 180);
            else if (Document->PrintSetting == 8)
                DC.Transformation->RotateAt(105, 74.25f, 180);
            PrintPage(DC, page);
            DC.Transformation->Pop();
        }
    }
}

void TFotobuchPrinter::PrintFolded()
{
    TFBDocument& d = *Document;
    const int sheets = d.Pages.Count() / 2;
    auto chosen = [this](int k) { return PageSelection[size_t(2 * k)] || PageSelection[size_t(2 * k + 1)]; };
    int total = 0;
    for (int k = 0; k < sheets; ++k)
        if (chosen(k))
            ++total;
    for (int pass = 0; pass < Copies; ++pass) {
        int counter = 1;  // each pass counts its sheets from one
        for (int k = 0; k < sheets; ++k) {
            if (!chosen(k))
                continue;
            TFBPage& left = *d.Pages.GetPage(2 * k);
            TFBPage& right = *d.Pages.GetPage(2 * k + 1);
            if (!left.HasContent() && !right.HasContent())
                continue;
            if (Cancelled())
                break;
            TPrinterDrawContext& DC = StartPage();
            ShowPrintProgress(FillPlaceholders(Text(this, TextPrintingPage),
                                               {QString::number(counter), QString::number(total)}));
            ++counter;
            TTransformation& t = *DC.Transformation;
            t.Push();
            SetupPageTransform(DC);
            if (d.PrintBorderless)
                t.Translate(0, RandlosverschiebungY);
            t.RotateAt(0, 0, -90);
            t.Translate(-d.PrintPaperHeight, 0);
            DC.ClipRect(0, 0, d.PageWidth, d.PageHeight, RGN_COPY);
            PrintPage(DC, left);
            DC.RestoreClip();
            t.Translate(d.PrintPaperHeight / 2, 0);
            DC.ClipRect(0, 0, d.PageWidth, d.PageHeight, RGN_COPY);
            PrintPage(DC, right);
            DC.RestoreClip();
            t.Pop();
        }
    }
}

void TFotobuchPrinter::SetupPageTransform(TPrinterDrawContext& DC)
{
    TPrinter& p = Printer();
    TTransformation& t = *DC.Transformation;
    t.Translate(float(-p.PhysicalOffsetX()), float(-p.PhysicalOffsetY()));
    t.Scale(float(p.LogPixelsX() / 25.4), float(p.LogPixelsY() / 25.4));
    if (Document->PrintSetting == 4)
        t.RotateAt(Document->PageWidth / 2, Document->PageHeight / 2, 180);
}

void TFotobuchPrinter::PrintPage(TPrinterDrawContext& DC, TFBPage& Page)
{
    if ((Page.PageColor & 0xFFFFFF) != White) {
        TBitmap fill;
        fill.SetPixelFormat(pf32bit);
        fill.SetSize(64, 64);
        fill.Image().fill(toQColor(Page.PageColor));
        const TRect r = DC.Transformation->TransformBounds(0, 0, Document->PageWidth, Document->PageHeight);
        DC.DrawBitmap(fill, r.Left, r.Top, r.Right, r.Bottom);
    }
    for (int i = 0; i < Page.Pictures.Count(); ++i) {
        if (Cancelled())
            return;
        PrintPictureElement(DC, Page, i);
    }
    for (int i = 0; i < Page.Calendars.Count(); ++i) {
        if (Cancelled())
            return;
        Page.Calendars.GetItem(i)->Draw(DC, 0);
    }
    for (int i = 0; i < Page.Elements.Count(); ++i) {
        if (Cancelled())
            return;
        PrintOtherElement(DC, Page, i);
    }
}

void TFotobuchPrinter::PrintAsBitmap(TPrinterDrawContext& DC, TFBPage& Page, const TRectF& Bounds,
                                     float Angle,
                                     const std::function<void(TBitmapDrawContext&)>& Draw)
{
    TTransformation& t = *DC.Transformation;
    const float cx = (Bounds.Left + Bounds.Right) / 2;
    const float cy = (Bounds.Top + Bounds.Bottom) / 2;
    auto mapped = [&] {
        t.Push();
        if (Angle != 0)
            t.RotateAt(cx, cy, Angle);
        const TRect r = t.TransformBounds(Bounds.Left, Bounds.Top, Bounds.Right, Bounds.Bottom);
        t.Pop();
        return r;
    };
    // Where the page origin lies on the printer: scaling by 1/d in page units
    // maps a printer pixel p to (p - o) / d + o of the reduced bitmap.
    const float ox = t.Matrix()[2];
    const float oy = t.Matrix()[5];
    TRect R = mapped();
    t.Push();
    t.ScaleUniform(1.0f / float(FDivisor));
    TRect r = mapped();
    // Only the part on the paper is rendered, so that an element reaching far
    // beyond it (a damaged document) gets no bitmap of its whole size.
    const TRect& paper = DC.DeviceBounds;
    if (R.Left < paper.Left || R.Top < paper.Top || R.Right > paper.Right || R.Bottom > paper.Bottom) {
        const double d = FDivisor;
        auto reduced = [d](double P, double O) { return (P - O) / d + O; };
        auto full = [d](double Q, double O) { return int32_t(Round((Q - O) * d + O)); };
        TRect visible;
        if (IntersectRect(visible, R, paper))
            r = TRect{std::max(r.Left, int32_t(std::floor(reduced(visible.Left, ox)))),
                      std::max(r.Top, int32_t(std::floor(reduced(visible.Top, oy)))),
                      std::min(r.Right, int32_t(std::ceil(reduced(visible.Right, ox)))),
                      std::min(r.Bottom, int32_t(std::ceil(reduced(visible.Bottom, oy))))};
        if (IsRectEmpty(visible) || IsRectEmpty(r)) {
            t.Pop();
            return;
        }
        // Each bitmap pixel covers d x d printer pixels.
        R = TRect{full(r.Left, ox), full(r.Top, oy), full(r.Right + 1, ox), full(r.Bottom + 1, oy)};
    }
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf32bit);
    bitmap.SetSize(r.Right - r.Left + 1, r.Bottom - r.Top + 1);
    bitmap.Image().fill(Qt::white);
    {
        TBitmapDrawContext bdc(bitmap);
        bdc.Transformation->Translate(float(-r.Left), float(-r.Top));
        bdc.Transformation->Multiply(t);
        if ((Page.PageColor & 0xFFFFFF) != White) {
            bdc.GetBrush().SetColor(Page.PageColor);
            bdc.GetBrush().SetStyle(bsSolid);
            bdc.SetPenStyle(psClear);
            bdc.Rectangle(0, 0, Document->PageWidth, Document->PageHeight);
            bdc.SetPenStyle(psSolid);
        }
        Draw(bdc);
    }
    t.Pop();
    DC.DrawBitmap(bitmap, R.Left, R.Top, R.Right, R.Bottom);
}

void TFotobuchPrinter::PrintPictureElement(TPrinterDrawContext& DC, TFBPage& Page, int Index)
{
    auto* e = static_cast<TFBPictureElement*>(Page.Pictures.GetItem(Index));
    if (!e->HasPicture())
        return;
    float w = e->Width, h = e->Height;
    if (e->Angle != 0)
        e->GetBoundingSize(w, h);
    TRectF b{e->CenterX - w / 2, e->CenterY - h / 2, e->CenterX + w / 2, e->CenterY + h / 2};
    float grow = Document->PicturesHaveShadows ? 2.0f : 0.0f;
    if (e->BorderWidth > 0)
        grow += e->BorderWidth;
    b = TRectF{b.Left - grow, b.Top - grow, b.Right + grow, b.Bottom + grow};
    PrintAsBitmap(DC, Page, b, 0, [&](TBitmapDrawContext& bdc) {
        for (int i = 0; i <= Index; ++i)
            Page.Pictures.GetItem(i)->Draw(bdc, 0);
    });
}

void TFotobuchPrinter::PrintOtherElement(TPrinterDrawContext& DC, TFBPage& Page, int Index)
{
    TFBElement* e = Page.Elements.GetItem(Index);
    if (!e->HasShadow()) {
        e->Draw(DC, 0);
        return;
    }
    const TRectF b{e->GetLeft(), e->GetTop(), e->GetRight(), e->GetBottom()};
    PrintAsBitmap(DC, Page, b, e->Angle, [&](TBitmapDrawContext& bdc) {
        for (int i = 0; i < Page.Pictures.Count(); ++i)
            Page.Pictures.GetItem(i)->Draw(bdc, 0);
        for (int i = 0; i < Page.Calendars.Count(); ++i)
            Page.Calendars.GetItem(i)->Draw(bdc, 0);
        for (int i = 0; i <= Index; ++i)
            Page.Elements.GetItem(i)->Draw(bdc, 0);
    });
}
