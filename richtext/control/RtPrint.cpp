#include "RtPrint.h"

#include "RtHeaderFooter.h"
#include "SysUtils.h"

#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <cstring>

// ---- paper sizes -------------------------------------------------------------------------------------

AnsiString TRtPaperDefinition::DisplayText() const
{
    return Format("%s=%s: %d X %d", {Name, DisplayName, Width, Height});
}

namespace {

// Key names of the built-in sizes, by TRtPageSettings.
const char* const PageSettingNames[] = {"Custom", "Letter", "Legal", "Executive", "DinA3", "DinA4", "DinA5", "DinA6"};

// The text's page in portrait: (short side, long side) as the paper lies in the printer.
void PortraitSize(int32_t& W, int32_t& H, bool Landscape)
{
    if (Landscape)
        std::swap(W, H);
}

} // namespace

TRtPaperDefinition& TRtPaperDefinitionCollection::Add()
{
    items_.push_back(std::make_unique<TRtPaperDefinition>());
    return *items_.back();
}

void TRtPaperDefinitionCollection::Delete(int32_t Index)
{
    if (Index >= 0 && Index < Count())
        items_.erase(items_.begin() + Index);
}

int32_t TRtPaperDefinitionCollection::IndexOfCode(int32_t Code) const
{
    for (int32_t i = Count() - 1; i >= 0; --i)
        if (items_[size_t(i)]->DEFCode == Code)
            return i;
    return -1;
}

int32_t TRtPaperDefinitionCollection::IndexOfSize(int32_t W, int32_t H) const
{
    for (int32_t i = Count() - 1; i >= 0; --i)
        if (Compare(*items_[size_t(i)], W, H) == 0)
            return i;
    return -1;
}

int32_t TRtPaperDefinitionCollection::Compare(const TRtPaperDefinition& Item, int32_t W, int32_t H)
{
    if (std::abs(Item.Width - W) < 7 && std::abs(Item.Height - H) < 7)
        return 0;
    if (W <= Item.Width && H <= Item.Height)
        return 1;
    return -1;
}

bool TRtPaperDefinitionCollection::Stored() const
{
    return std::any_of(items_.begin(), items_.end(), [](const auto& I) { return I->Locked; });
}

void TRtPaperDefinitionCollection::FillFromPrinter(bool ReadPrinter)
{
    for (int32_t i = Count() - 1; i >= 0; --i)
        if (!items_[size_t(i)]->Locked)
            Delete(i);
    bool read = false;
    if (ReadPrinter && owner_ && !owner_->RtfText().PrintOptions.Has(rtDontReadPapernamesFromPrinter)) {
        QString device, driver, port;
        TDeviceMode mode;
        RtPrinter().GetPrinter(device, driver, port, mode);
        if (!device.isEmpty()) {
            int32_t ownCode = DMPAPER_USER;
            for (const TPrinterPaper& paper : RtPrinter().Papers()) {
                const QSizeF mm = paper.Size.size(QPageSize::Millimeter);
                TRtPaperDefinition& d = Add();
                d.Name = toAnsi(paper.Size.key());
                d.DisplayName = toAnsi(paper.Size.name());
                // Tenths of a millimetre, as the driver reports them, then centimetres to twips.
                d.Width = CentimetersToTwips(Round(mm.width() * 10.0) / 100.0);
                d.Height = CentimetersToTwips(Round(mm.height() * 10.0) / 100.0);
                // Papers without a Windows code get driver codes above the user-defined one.
                const int32_t code = PaperCodeOf(paper.Size.id());
                d.DEFCode = code > 0 ? code : ++ownCode;
                read = true;
            }
        }
    }
    if (!read && items_.empty())
        for (int row = rt_Letter; row <= rt_DinA6; ++row) {
            const auto r = TRtPageSettings(row);
            const int32_t w = PageDefWidthTwips(r), h = PageDefHeightTwips(r);
            if (IndexOfSize(w, h) >= 0)
                continue;
            TRtPaperDefinition& d = Add();
            d.Name = PageSettingNames[row];
            d.DisplayName = RtPageDefs[r].Name;
            d.Width = w;
            d.Height = h;
            d.DEFCode = RtPageDefs[r].PaperCode;
        }
}

// ---- printer wrapper ---------------------------------------------------------------------------------

void TRtPrinterWrapper::SetTitle(const QString& Title) { Printer().Title = Title; }

QString TRtPrinterWrapper::GetTitle() { return Printer().Title; }

TCanvas* TRtPrinterWrapper::GetCanvas() { return Printer().Printing() ? &Printer().Canvas() : nullptr; }

QPaintDevice* TRtPrinterWrapper::GetHandle() { return &Printer().Device(); }

int32_t TRtPrinterWrapper::GetCopies() { return Printer().DevMode().Copies; }

void TRtPrinterWrapper::SetCopies(int32_t N)
{
    TDeviceMode mode = Printer().DevMode();
    if (N == mode.Copies) {
        mode.Copies = 1;
        Printer().SetDevMode(mode);
    }
    mode.Copies = std::clamp(N, 1, 9999);
    Printer().SetDevMode(mode);
}

QString TRtPrinterWrapper::GetPrinterName()
{
    if (Printer().PrinterIndex() < 0)
        return QString();
    // A name "<printer> an <port>" loses its port part.
    const QString name = Printer().PrinterName();
    const qsizetype port = name.indexOf(QStringLiteral(" an "));
    return port >= 0 ? name.left(port) : name;
}

void TRtPrinterWrapper::SetPrinterName(const QString& Name)
{
    const QStringList& list = Printer().Printers();
    for (qsizetype i = 0; i < list.size(); ++i)
        if (list[i].compare(Name, Qt::CaseInsensitive) == 0) {
            Printer().SetPrinterIndex(int(i));
            return;
        }
}

int32_t TRtPrinterWrapper::GetOrientation() { return Printer().DevMode().Orientation; }

void TRtPrinterWrapper::SetOrientation(int32_t O)
{
    TDeviceMode mode = Printer().DevMode();
    mode.Orientation = O == 1 ? 1 : 0;
    Printer().SetDevMode(mode);
}

void TRtPrinterWrapper::GetPrinter(QString& Device, QString& Driver, QString& Port, TDeviceMode& DevMode)
{
    TPrinter& p = Printer();
    Device = p.PrinterIndex() < 0 ? QString() : p.PrinterName();
    Driver = p.Model();
    Port = p.IsPdfPrinter() ? QStringLiteral("FILE:") : QString();
    DevMode = p.DevMode();
}

void TRtPrinterWrapper::SetPrinter(const QString& Device, const QString&, const QString&, const TDeviceMode& DevMode)
{
    SetPrinterName(Device);
    if (Printer().Fits(DevMode))
        Printer().SetDevMode(DevMode);
}

bool TRtPrinterWrapper::GetPrinting() { return Printer().Printing(); }
int32_t TRtPrinterWrapper::GetPageWidth() { return Printer().PageWidth(); }
int32_t TRtPrinterWrapper::GetPageHeight() { return Printer().PageHeight(); }
bool TRtPrinterWrapper::GetAborted() { return Printer().Aborted(); }
void TRtPrinterWrapper::NewPage() { Printer().NewPage(); }
void TRtPrinterWrapper::BeginDoc() { Printer().BeginDoc(); }

bool TRtPrinterWrapper::SupportsPaperSource() { return !Printer().IsPdfPrinter(); }

void TRtPrinterWrapper::SetPaperSource(int32_t Bin)
{
    // The Windows bins as the printing system names its trays: the IPP
    // media-source keyword and the PPD InputSlot choice most drivers use.
    static const struct {
        int32_t Bin;
        const char* MediaSource;
        const char* InputSlot;
    } trays[] = {
        {1, "top", "Upper"},          {2, "bottom", "Lower"},     {3, "middle", "Middle"},
        {4, "manual", "Manual"},      {5, "envelope", "Envelope"}, {6, "envelope", "EnvManual"},
        {7, "auto", "Auto"},          {8, "main-roll", "Tractor"}, {9, "alternate", "SmallFormat"},
        {10, "large-capacity", "LargeFormat"}, {11, "large-capacity", "LargeCapacity"},
        {14, "main", "Cassette"},     {15, "main", "FormSource"},
    };
    auto& options = Printer().JobOptions;
    std::erase_if(options, [](const auto& O) { return O.first == "media-source" || O.first == "InputSlot"; });
    for (const auto& t : trays)
        if (t.Bin == Bin) {
            options.push_back({"media-source", t.MediaSource});
            options.push_back({"InputSlot", t.InputSlot});
            return;
        }
    // A driver's own bins (256 and above) are known to it by number only.
    if (Bin >= 256)
        options.push_back({"media-source", "tray-" + QByteArray::number(Bin - 255)});
}
void TRtPrinterWrapper::EndDoc() { Printer().EndDoc(); }

int32_t TRtPrinterWrapper::LogPixelsX() { return GetHandle()->logicalDpiX(); }
int32_t TRtPrinterWrapper::LogPixelsY() { return GetHandle()->logicalDpiY(); }

int32_t TRtPrinterWrapper::PhysicalOffsetX()
{
    auto* printer = dynamic_cast<QPrinter*>(GetHandle());
    return printer ? int32_t(Round(printer->pageRect(QPrinter::DevicePixel).left())) : 0;
}

int32_t TRtPrinterWrapper::PhysicalOffsetY()
{
    auto* printer = dynamic_cast<QPrinter*>(GetHandle());
    return printer ? int32_t(Round(printer->pageRect(QPrinter::DevicePixel).top())) : 0;
}

bool TRtPrinterWrapper::DriverHandlesCopies() { return Printer().MaxCopies() > 1; }

bool TRtPrinterWrapper::GetCollate()
{
    auto* printer = dynamic_cast<QPrinter*>(GetHandle());
    return !printer || printer->collateCopies();
}

void TRtPrinterWrapper::SetCollate(bool On)
{
    if (auto* printer = dynamic_cast<QPrinter*>(GetHandle()))
        printer->setCollateCopies(On);
}
bool TRtPrinterWrapper::SupportsDuplex(int32_t Duplex) { return Printer().SupportsDuplex(Duplex); }
TDeviceMode TRtPrinterWrapper::DevMode() { return Printer().DevMode(); }
void TRtPrinterWrapper::SetDevMode(const TDeviceMode& Mode) { Printer().SetDevMode(Mode); }
std::vector<TPrinterPaper> TRtPrinterWrapper::Papers() { return Printer().Papers(); }

namespace {
std::unique_ptr<TRtPrinterWrapper>& WrapperInstance()
{
    static std::unique_ptr<TRtPrinterWrapper> instance;
    return instance;
}
} // namespace

TRtPrinterWrapper& RtPrinter()
{
    auto& w = WrapperInstance();
    if (!w)
        w = std::make_unique<TRtPrinterWrapper>();
    return *w;
}

void SetRtPrinter(std::unique_ptr<TRtPrinterWrapper> Wrapper) { WrapperInstance() = std::move(Wrapper); }

// ---- print settings ----------------------------------------------------------------------------------

TRtPrintHeaderFooter TRtPrinterEngine::PrintHeaderFooter() const { return owner_->RtfText().PrintHeaderFooter; }

void TRtPrinterEngine::SetPrintHeaderFooter(TRtPrintHeaderFooter Value)
{
    TRtRTFTextInput& e = owner_->RtfText();
    if (e.PrintHeaderFooter == Value)
        return;
    e.PrintHeaderFooter = Value;
    e.ReformatAll();
    e.NotifyChange(rtchAll);
}

TRtPrintOptions TRtPrinterEngine::PrintOptions() const { return owner_->RtfText().PrintOptions; }

void TRtPrinterEngine::SetPrintOptions(TRtPrintOptions Value) { owner_->RtfText().PrintOptions = Value; }

void TRtPrinterEngine::Assign(const TRtPrinterEngine& Source)
{
    NumberOfCopies = Source.NumberOfCopies;
    Collate = Source.Collate;
    PageRange = Source.PageRange;
    PageList = Source.PageList;
    PageSides = Source.PageSides;
    PageMirror = Source.PageMirror;
    PrintTitle = Source.PrintTitle;
}

bool TRtPrinterEngine::BuildRanges(int32_t First, int32_t Last, AnsiString& Error)
{
    Ranges.clear();
    if (PageRange == rtrAllPages) {
        Ranges.push_back({First, Last});
        return true;
    }
    std::vector<TRtPageRange> list;
    if (!ParsePageRanges(PageList, list, RtMaxPageRanges, Error))
        return false;
    for (TRtPageRange r : list) {
        if (r.From == 0 && r.To == 0)
            continue;
        if (r.To == 0) {
            if (r.From < First || r.From > Last)
                continue;
            r.To = r.From;
        }
        if (r.From > r.To)
            std::swap(r.From, r.To);
        r.From = std::max(r.From, First);
        r.To = std::min(r.To, Last);
        if (r.From <= r.To)
            Ranges.push_back(r);
    }
    return true;
}

// ---- the printing layer ------------------------------------------------------------------------------

int32_t TRtCustomRtfEditPrint::jobNesting_ = 0;
int32_t TRtCustomRtfEditPrint::jobCounter_ = 1;
bool TRtCustomRtfEditPrint::newPageNeeded_ = false;

TRtCustomRtfEditPrint::TRtCustomRtfEditPrint(TRtRTFTextInput& Engine)
    : engine_(Engine), print_(this), paperDefs_(this)
{
}

TRtCustomRtfEditPrint::~TRtCustomRtfEditPrint() = default;

QString TRtCustomRtfEditPrint::JobTitle(bool Numbered) const
{
    if (!print_.PrintTitle.isEmpty())
        return print_.PrintTitle;
    const QString own = ControlTitle();
    if (!own.isEmpty())
        return Numbered ? QString::number(jobCounter_) + QLatin1Char(' ') + own : own;
    return QStringLiteral("Printing ") + QString::number(jobCounter_);
}

void TRtCustomRtfEditPrint::BeginJob(int32_t FirstPage)
{
    if (jobNesting_++ > 0)
        return;
    TRtPrinterWrapper& p = RtPrinter();
    const int32_t source = SourceOfPage(std::max(1, FirstPage));
    jobSource_ = source;
    const TTextHeader* h = engine_.Header();
    if (!engine_.PrintOptions.Has(rtDoNotChangePrinterDefaults))
        SetupPrinterPaper(h->PageWidth(), h->PageHeight(), h->Landscape(), source, 0);
    if (!p.GetPrinting()) {
        p.SetTitle(JobTitle(false));
        ++jobCounter_;
        savedCopies_ = p.GetCopies();
        savedCollate_ = p.GetCollate();
        print_.DriverCopies = PrinterMakesCopies();
        p.SetCopies(print_.DriverCopies ? std::max(1, print_.NumberOfCopies) : 1);
        if (print_.DriverCopies)
            p.SetCollate(print_.Collate);
        try {
            p.BeginDoc();
        } catch (...) {
            jobNesting_ = 0;
            p.SetCopies(savedCopies_);
            p.SetCollate(savedCollate_);
            throw;
        }
    }
    newPageNeeded_ = false;
}

void TRtCustomRtfEditPrint::EndJob()
{
    if (jobNesting_ == 0 || --jobNesting_ > 0)
        return;
    TRtPrinterWrapper& p = RtPrinter();
    // The trays were this job's: later jobs (also the program's own) take the printer's.
    auto finish = [&] {
        if (print_.LastPaperSource != 0 || jobSource_ != 0)
            p.SetPaperSource(0);
        print_.LastPaperSource = jobSource_ = 0;
        p.SetCopies(savedCopies_);
        p.SetCollate(savedCollate_);
    };
    try {
        if (p.GetPrinting())
            p.EndDoc();
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

bool TRtCustomRtfEditPrint::SetupPrinterPaper(int32_t Width, int32_t Height, bool Landscape, int32_t PaperSource,
                                              int32_t PaperCode)
{
    if (engine_.PrintOptions.Has(rtDoNotChangePrinterDefaults))
        return false;
    TRtPrinterWrapper& p = RtPrinter();
    TDeviceMode mode = p.DevMode();
    print_.DriverCopies = PrinterMakesCopies();
    if (print_.DriverCopies)
        mode.Copies = std::clamp(print_.NumberOfCopies, 1, 9999);
    if (PaperSource != 0 && PaperSource != print_.LastPaperSource && p.SupportsPaperSource()) {
        p.SetPaperSource(PaperSource);
        print_.LastPaperSource = PaperSource;
    }
    const int32_t duplex = print_.DuplexMode == 1   ? QPrinter::DuplexShortSide
                           : print_.DuplexMode == 2 ? QPrinter::DuplexLongSide
                                                    : QPrinter::DuplexNone;
    if (p.SupportsDuplex(duplex))
        mode.Duplex = duplex;
    if (!p.GetPrinting()) {
        int32_t w = Width, h = Height;
        PortraitSize(w, h, Landscape);
        if (paperDefs_.Count() == 0)
            paperDefs_.FillFromPrinter(true);
        int32_t code = PaperCode;
        if (code == 0) {
            const int32_t current = paperDefs_.IndexOfCode(PaperCodeOf(mode.PageSizeId));
            if (current >= 0 && TRtPaperDefinitionCollection::Compare(paperDefs_.Items(current), w, h) == 0)
                code = paperDefs_.Items(current).DEFCode;
            else if (const int32_t i = paperDefs_.IndexOfSize(w, h); i >= 0)
                code = paperDefs_.Items(i).DEFCode;
        }
        const int32_t id = code > 0 ? PageSizeIdOf(code) : -1;
        if (id >= 0) {
            const QPageSize size{QPageSize::PageSizeId(id)};
            mode.PageSizeId = id;
            mode.PageSizeKey = size.key();
            const QSizeF mm = size.size(QPageSize::Millimeter);
            mode.PaperWidth = mm.width();
            mode.PaperHeight = mm.height();
        } else {
            // The user-defined paper, in tenths of a millimetre.
            mode.PageSizeId = QPageSize::Custom;
            mode.PageSizeKey.clear();
            mode.PaperWidth = std::clamp(MulDiv(w, 254, 1440) / 10.0, 1.0, 5000.0);
            mode.PaperHeight = std::clamp(MulDiv(h, 254, 1440) / 10.0, 1.0, 5000.0);
        }
        mode.Orientation = Landscape ? 1 : 0;
    }
    p.SetDevMode(mode);
    return false;
}

// ---- pages -------------------------------------------------------------------------------------------

namespace {

bool StartsPage(const TParagraph* Par, const TLine* Line)
{
    return (Line == Par->Lines && (Par->Flags & parfNewPage)) || (Line->Flags & linfPageStart);
}

// The line after L in the text, and its paragraph.
bool NextTextLine(TParagraph*& Par, TLine*& Line)
{
    if (Line->Next) {
        Line = Line->Next;
        return true;
    }
    for (Par = Par->Next; Par; Par = Par->Next)
        if (Par->Lines) {
            Line = Par->Lines;
            return true;
        }
    return false;
}

int32_t LineExtent(const TLine* L) { return L->Height + L->SpaceAbove + L->SpaceBelow; }

} // namespace

TRtCustomRtfEditPrint::TPageStart TRtCustomRtfEditPrint::FindPage(int32_t PageIndex) const
{
    int32_t page = 0;
    for (TParagraph* p = engine_.FirstPar; p; p = p->Next)
        for (TLine* l = p->Lines; l; l = l->Next) {
            // The text's first line begins page 0 whatever its marks.
            if (StartsPage(p, l) && (p != engine_.FirstPar || l != p->Lines))
                ++page;
            if (page == PageIndex)
                return {p, l};
            if (page > PageIndex)
                return {};
        }
    return {};
}

int32_t TRtCustomRtfEditPrint::PageOverflow(const TPageStart& Start) const
{
    int32_t sum = 0;
    TParagraph* p = Start.Par;
    TLine* l = Start.Line;
    do {
        if (!((p->Flags & parfNotFirstCell) && p->Prior && (p->Prior->Flags & parfNotLastCell)))
            sum += LineExtent(l);
    } while (NextTextLine(p, l) && !StartsPage(p, l));
    return std::max(0, sum - engine_.VisibleHeight);
}

TRtSpecialTextProperty* TRtCustomRtfEditPrint::SpecialFor(int32_t PageIndex, bool IsHeader) const
{
    const TRtPrintHeaderFooter mode = engine_.PrintHeaderFooter;
    if (mode == rtrNever || (mode == rtrNotOnFirstPage && PageIndex == 0) ||
        (mode == rtrOnlyOnFirstPage && PageIndex != 0))
        return nullptr;
    // The last page takes its own header or footer only when asked to.
    const bool last = engine_.IsLastPage(PageIndex) &&
                      print_.PrintHeaderFooterOnLastPage.Has(IsHeader ? rtrHeader : rtrFooter);
    TRtSpecialTextProperty* item = engine_.GetHeaderFooterForPage(PageIndex, IsHeader ? rtIsHeader : rtIsFooter, last);
    return item && !item->IsEmpty() ? item : nullptr;
}

void TRtCustomRtfEditPrint::PaintSpecial(int32_t PageIndex, bool IsHeader, int32_t OriginX, int32_t OriginY)
{
    TRtSpecialTextProperty* item = SpecialFor(PageIndex, IsHeader);
    if (!item)
        return;
    const TTextHeader* h = engine_.Header();
    const int32_t height = item->CalcHeight();
    int32_t top;
    if (IsHeader) {
        top = engine_.TwipsToLayoutY(h->MarginHeader());
        if (h->PrintHeaderFooterInPageMargins)
            top = std::max(0, std::min(top, h->PixTopMargin - height));
    } else {
        const int32_t from = engine_.TwipsToLayoutY(h->MarginFooter());
        top = h->PixPageHeight - from - height;
        if (h->PrintHeaderFooterInPageMargins)
            top = std::min(h->PixPageHeight - height, std::max(top, h->PixPageHeight - h->PixBottomMargin));
    }
    engine_.PaintSpecialText(item, OriginX, OriginY + top, PageIndex, false);
}

void TRtCustomRtfEditPrint::PaintPageContent(TCanvas* Canvas, int32_t PageIndex, int32_t OriginX, int32_t OriginY,
                                             int32_t Flags, bool LiftOverflow)
{
    const TPageStart start = FindPage(PageIndex);
    if (!start.Line)
        return;
    TRtRTFTextInput& e = engine_;
    const TTextHeader* h = e.Header();
    const TRect pageRect{OriginX, OriginY, OriginX + h->PixPageWidth, OriginY + h->PixPageHeight};
    if (Flags & ppEvents) {
        if (!e.PrintOptions.Has(rtDontPrintWatermark) && OnPrintWatermark)
            OnPrintWatermark(nullptr, Canvas, pageRect, PageIndex + 1);
        if (OnPageBegin)
            OnPageBegin(nullptr, Canvas, PageIndex + 1);
    }
    e.PaintingCanvas = Canvas;
    e.Canvas = Canvas;
    // Line positions hold the left margin. Mirrored margins: pages 1, 3, ...
    // start at the left margin, the others at the right one.
    int32_t left = 0;
    if (print_.PageMirror != h->MarginMirror() && PageIndex % 2 == 1)
        left = h->PixRightMargin - h->PixLeftMargin;
    PaintSpecial(PageIndex, true, OriginX + left, OriginY);
    // The body starts below the top margin and any header that reaches past it.
    int32_t bodyTop = h->PixTopMargin;
    if (TRtSpecialTextProperty* hd = SpecialFor(PageIndex, true)) {
        const int32_t needed = engine_.TwipsToLayoutY(h->MarginHeader()) + hd->CalcHeight();
        bodyTop += h->PrintHeaderFooterInPageMargins ? std::max(needed - h->PixTopMargin, 0) : needed;
    }
    int32_t overflow = LiftOverflow ? PageOverflow(start) : 0;
    const int32_t savedTop = e.TopY, savedLeft = e.LeftX, savedCL = e.CanvasLeft, savedCT = e.CanvasTop;
    e.TopY = start.Line->Top;
    e.LeftX = 0;
    e.CanvasLeft = OriginX + left;
    e.CanvasTop = OriginY + bodyTop;
    TParagraph* p = start.Par;
    TLine* l = start.Line;
    do {
        if (overflow > 0) {
            ++e.TopY;
            --overflow;
        }
        e.PaintLine(l, p);
    } while (NextTextLine(p, l) && !StartsPage(p, l));
    e.TopY = savedTop;
    e.LeftX = savedLeft;
    e.CanvasLeft = savedCL;
    e.CanvasTop = savedCT;
    PaintSpecial(PageIndex, false, OriginX + left, OriginY);
    if (e.Printing) {
        if (PrintHeader)
            PrintHeader(nullptr, Canvas, TRect{pageRect.Left, pageRect.Top, pageRect.Right, OriginY + bodyTop}, PageIndex + 1);
        if (PrintFooter)
            PrintFooter(nullptr, Canvas,
                        TRect{pageRect.Left, pageRect.Bottom - h->PixBottomMargin, pageRect.Right, pageRect.Bottom},
                        PageIndex + 1);
    }
    if ((Flags & ppEvents) && OnPageEnd)
        OnPageEnd(nullptr, Canvas, PageIndex + 1);
    e.PaintingCanvas = nullptr;
    e.Canvas = nullptr;
}

// ---- job and page loops ------------------------------------------------------------------------------

void TRtCustomRtfEditPrint::ReadPhysicalOffset()
{
    print_.PhysicalOffsetX = print_.PhysicalOffsetY = 0;
    if (!print_.RespectPhysicalMargins)
        return;
    TRtPrinterWrapper& p = RtPrinter();
    print_.PhysicalOffsetX = MulDiv(p.PhysicalOffsetX(), 1440, std::max(1, p.LogPixelsX()));
    // The device reports the offsets of the oriented page already: a landscape
    // page takes them as they are.
    print_.PhysicalOffsetY = MulDiv(p.PhysicalOffsetY(), 1440, std::max(1, p.LogPixelsY()));
}

int32_t TRtCustomRtfEditPrint::SourceOfPage(int32_t Page) const
{
    // The first sheet: page 1, and in duplex its back, page 2, too.
    const int32_t firstSheet = print_.DuplexMode != 0 ? 2 : 1;
    return Page <= firstSheet ? print_.FirstPageSource : print_.OtherPagesSource;
}

void TRtCustomRtfEditPrint::SwitchPaperSource(int32_t Page)
{
    TRtPrinterWrapper& p = RtPrinter();
    const int32_t source = SourceOfPage(Page);
    if (source == jobSource_ || engine_.PrintOptions.Has(rtDoNotChangePrinterDefaults) || !p.SupportsPaperSource())
        return;
    // The printing system takes one tray per job: pages from another tray go
    // in a job of their own, with the same title and copies.
    if (p.GetPrinting() && newPageNeeded_) {
        const QString title = p.GetTitle();
        p.EndDoc();
        p.SetPaperSource(source);
        p.SetTitle(title);
        p.BeginDoc();
        newPageNeeded_ = false;
    } else {
        p.SetPaperSource(source);
    }
    jobSource_ = source;
    print_.LastPaperSource = source;
}

std::vector<int32_t> TRtCustomRtfEditPrint::SelectedPages(int32_t First, int32_t Last)
{
    AnsiString error;
    if (!print_.BuildRanges(First, Last, error))
        throw EConvertError(error);
    std::vector<int32_t> pages;
    for (const TRtPageRange& r : print_.Ranges)
        for (int32_t page = r.From; page <= r.To; ++page)
            if (!(print_.PageSides == rtsEven && page % 2 == 1) && !(print_.PageSides == rtsOdd && page % 2 == 0))
                pages.push_back(page);
    return pages;
}

bool TRtCustomRtfEditPrint::TraysSplitJob(const std::vector<int32_t>& Pages) const
{
    if (engine_.PrintOptions.Has(rtDoNotChangePrinterDefaults) || !RtPrinter().SupportsPaperSource())
        return false;
    for (size_t i = 1; i < Pages.size(); ++i)
        if (SourceOfPage(Pages[i]) != SourceOfPage(Pages[i - 1]))
            return true;
    return false;
}

bool TRtCustomRtfEditPrint::PrinterMakesCopies() const
{
    return RtPrinter().DriverHandlesCopies() && !(print_.Collate && splitJob_);
}

void TRtCustomRtfEditPrint::ForEachSelectedPage(const std::vector<int32_t>& Pages,
                                                const std::function<void(int32_t Page)>& Fn)
{
    print_.Cancel = false;
    // Printed runs are written in the font's own advances while the page ranges are printed.
    struct TSimpleOutput {
        TRtRTFTextInput& E;
        ~TSimpleOutput() { E.SimpleTextOutput = false; }
    } simple{engine_};
    engine_.SimpleTextOutput = true;
    // Copies the printer does not make itself: the whole run again when
    // collated, else each page again in a row.
    const size_t copies = print_.DriverCopies ? 1 : size_t(std::clamp(print_.NumberOfCopies, 1, 9999));
    const size_t count = Pages.size() * copies;
    for (size_t i = 0; i < count; ++i) {
        if (print_.Cancel || RtPrinter().GetAborted())
            return;
        const int32_t page = Pages[print_.Collate ? i % Pages.size() : i / copies];
        engine_.PrintingPage = page - 1;
        SwitchPaperSource(page);
        Fn(page);
        newPageNeeded_ = true;
    }
}

void TRtCustomRtfEditPrint::PrintText(int32_t FromPage, int32_t ToPage)
{
    TRtRTFTextInput& e = engine_;
    const int32_t savedFormat = int32_t(e.MemoryFormat());
    if (!e.RichText())
        e.SetMemoryFormat(fmRichText);
    try {
        if (FromPage <= 0)
            FromPage = 1;
        if (e.ScreenResMode == rm1440)
            Print(FromPage, ToPage);
        else
            PrintAtPrinterResolution(FromPage, ToPage);
    } catch (...) {
        if (int32_t(e.MemoryFormat()) != savedFormat)
            e.SetMemoryFormat(savedFormat);
        throw;
    }
    if (int32_t(e.MemoryFormat()) != savedFormat)
        e.SetMemoryFormat(savedFormat);
}

namespace {

constexpr uint32_t RectPaintEngineOptions = eoNoDisplay | eoNoCursorMoves | eoNoScrolling | eoPaintAllLines;

// Gives the engine Reference and Options back; with formatting on, it
// measures and lays the text out for that canvas again.
void Resume(TRtRTFTextInput& E, TCanvas* Reference, uint32_t Options)
{
    E.EngineOptions |= eoSuspended;
    E.SetReferenceCanvas(Reference);
    E.EngineOptions = Options;
    if (!(Options & eoSuspended) && Reference) {
        E.UpdateDeviceMetrics();
        E.UpdatePageMetrics(false);
        E.UpdateLayout();
        E.Refresh();
    }
}

// The engine's layout and painting state, put back when printing ends.
struct TEngineState {
    explicit TEngineState(TRtRTFTextInput& E)
        : e(E), reference(E.ReferenceCanvas()), options(E.EngineOptions), zoom(E.Zooming), printing(E.Printing),
          wrap(E.WrapAtWindow), topY(E.TopY), leftX(E.LeftX), visW(E.VisibleWidth), visH(E.VisibleHeight),
          visWPx(E.VisibleWidthPx), visHPx(E.VisibleHeightPx)
    {
    }
    void Restore()
    {
        e.Printing = printing;
        e.Zooming = zoom;
        e.WrapAtWindow = wrap;
        e.TopY = topY;
        e.LeftX = leftX;
        e.VisibleWidth = visW;
        e.VisibleHeight = visH;
        e.VisibleWidthPx = visWPx;
        e.VisibleHeightPx = visHPx;
        e.CanvasLeft = e.CanvasTop = 0;
        Resume(e, reference, options);
    }
    TRtRTFTextInput& e;
    TCanvas* reference;
    uint32_t options;
    int32_t zoom;
    bool printing, wrap;
    int32_t topY, leftX, visW, visH, visWPx, visHPx;
};

} // namespace

void TRtCustomRtfEditPrint::RunJob(int32_t FromPage, int32_t ToPage, const std::function<void()>& Prepare,
                                   const std::function<void(const std::vector<int32_t>& Pages)>& PrintPages)
{
    TRtRTFTextInput& e = engine_;
    TEngineState state(e);
    const auto finish = [&] {
        state.Restore();
        print_.PhysicalOffsetX = print_.PhysicalOffsetY = 0;
        splitJob_ = false;
    };
    try {
        // The whole text is printed, whatever is edited; what is edited is laid out anew afterwards.
        const TRtWholeTextScope whole(e);
        e.Printing = true;
        if (Prepare)
            Prepare();
        e.InvalidatePageCount();
        const int32_t count = std::max(1, e.CountPages());
        const int32_t last = ToPage <= 0 ? count : std::min(ToPage, count);
        const std::vector<int32_t> pages = SelectedPages(FromPage, last);
        e.PrintedPageCount = last;
        splitJob_ = TraysSplitJob(pages);
        BeginJob(FromPage);
        try {
            ReadPhysicalOffset();
            PrintPages(pages);
        } catch (...) {
            EndJob();
            throw;
        }
        EndJob();
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

void TRtCustomRtfEditPrint::PrintAtPrinterResolution(int32_t FromPage, int32_t ToPage)
{
    TRtRTFTextInput& e = engine_;
    TRtPrinterWrapper& p = RtPrinter();
    // Measured at the printer's resolution without opening the printer.
    const int32_t resX = std::max(1, p.LogPixelsX()), resY = std::max(1, p.LogPixelsY());
    TCanvas measure;
    measure.SetPixelsPerInch(resX, resY);
    const auto prepare = [&] {
        e.Zooming = 100;
        e.WrapAtWindow = false;
        e.EngineOptions = RectPaintEngineOptions | eoSuspended;
        e.SetReferenceCanvas(&measure);
        e.EngineOptions = RectPaintEngineOptions;
        e.UpdateDeviceMetrics();
        const TTextHeader* h = e.Header();
        e.VisibleWidth = e.VisibleWidthPx = h->PixTextWidth;
        e.VisibleHeight = e.VisibleHeightPx = h->PixTextHeight;
        e.UpdatePageMetrics(false);
        e.UpdateLayout();
    };
    RunJob(FromPage, ToPage, prepare, [&](const std::vector<int32_t>& Pages) {
        const int32_t originX = -MulDiv(print_.PhysicalOffsetX, resX, 1440);
        const int32_t originY = -MulDiv(print_.PhysicalOffsetY, resY, 1440);
        ForEachSelectedPage(Pages, [&](int32_t Page) {
            if (newPageNeeded_)
                p.NewPage();
            TCanvas* c = p.GetCanvas();
            if (QPainter* painter = c ? c->Painter() : nullptr)
                painter->resetTransform();
            PaintPageContent(c, Page - 1, originX, originY, 0, true);
        });
    });
}

void TRtCustomRtfEditPrint::Print(int32_t FromPage, int32_t ToPage)
{
    RunJob(FromPage, ToPage, nullptr, [&](const std::vector<int32_t>& Pages) {
        ForEachSelectedPage(Pages, [&](int32_t Page) { PrintPage(Page - 1); });
    });
}

void TRtCustomRtfEditPrint::PrintPage(int32_t PageIndex)
{
    TRtPrinterWrapper& p = RtPrinter();
    const int32_t w = p.GetPageWidth(), h = p.GetPageHeight();
    if (newPageNeeded_)
        p.NewPage();
    TCanvas* c = p.GetCanvas();
    PaintPageOnCanvas(PageIndex, c, 0, ppMargins, 0, 0, w, h);
    newPageNeeded_ = true;
}

int32_t TRtCustomRtfEditPrint::PaintPageOnCanvas(int32_t PageNo, TCanvas* Canvas, int32_t Zoom, int32_t Flags,
                                                 int32_t X, int32_t Y, int32_t TargetWidth, int32_t TargetHeight)
{
    TRtRTFTextInput& e = engine_;
    const TTextHeader* h = e.Header();
    // The page in layout units and in pixels of the screen resolution.
    const int32_t layoutX = std::max(1, h->LayoutXRes), layoutY = std::max(1, h->LayoutYRes);
    const bool margins = Flags & ppMargins;
    const int32_t pageW = h->PageWidth() - (margins ? 0 : h->LeftMargin() + h->RightMargin());
    const int32_t pageH = h->PageHeight() - (margins ? 0 : h->TopMargin() + h->BottomMargin());
    const int32_t screen = Canvas ? Canvas->PixelsPerInchX() : e.ScreenResolution;
    const int32_t screenW = std::max(1, MulDiv(pageW, screen, 1440));
    const int32_t screenH = std::max(1, MulDiv(pageH, screen, 1440));
    if (Zoom <= 0 || (Flags & ppFitWidth))
        Zoom = MulDiv(TargetWidth, 100, screenW);
    if (Flags & ppFitHeight) {
        const int32_t zh = MulDiv(TargetHeight, 100, screenH);
        Zoom = (Flags & ppFitWidth) ? std::min(Zoom, zh) : zh;
    }
    if (Zoom < 1)
        Zoom = 100;
    if ((Flags & ppMeasureOnly) || !Canvas)
        return Zoom;
    // Layout units to canvas pixels.
    const double sx = double(screen) * Zoom / 100.0 / layoutX;
    const double sy = double(Canvas->PixelsPerInchY()) * Zoom / 100.0 / layoutY;
    QPainter* painter = Canvas->Painter();
    if (!painter)
        return Zoom;
    painter->save();
    painter->resetTransform();
    painter->translate(X, Y);
    painter->scale(sx, sy);
    const int32_t ox = -(margins ? 0 : h->PixLeftMargin) - MulDiv(print_.PhysicalOffsetX, layoutX, 1440);
    const int32_t oy = -(margins ? 0 : h->PixTopMargin) - MulDiv(print_.PhysicalOffsetY, layoutY, 1440);
    const uint32_t savedOptions = e.EngineOptions;
    e.EngineOptions |= eoNoDisplay | eoPaintAllLines | ((Flags & ppPaintOption1) ? eoNoBackground : 0) |
                       ((Flags & ppPaintOption2) ? eoNoShading : 0);
    PaintPageContent(Canvas, PageNo, ox, oy, Flags, false);
    e.EngineOptions = savedOptions;
    if (Flags & ppFrame) {
        Canvas->Brush().SetStyle(bsClear);
        Canvas->Pen().SetColor(clBlack);
        const int32_t w = MulDiv(pageW, layoutX, 1440), hh = MulDiv(pageH, layoutY, 1440);
        painter->setPen(QPen(Qt::black, 0));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(QRectF(-1.0 / sx, -1.0 / sy, w + 1.0 / sx, hh + 1.0 / sy));
    }
    painter->restore();
    return Zoom;
}

// ---- character cursor --------------------------------------------------------------------------------

bool TRtCustomRtfEditPrint::NextCharPos(TParagraph*& Par, TLine*& Line, int32_t& Pos) const
{
    if (!Par || !Line)
        return false;
    if (Pos + 1 < Line->Length) {
        ++Pos;
        return true;
    }
    if (Line->Next) {
        Line = Line->Next;
        Pos = 0;
        return true;
    }
    if (Pos < Line->Length) {
        Pos = Line->Length;
        return true;
    }
    for (TParagraph* p = Par->Next; p; p = p->Next)
        if (p->Lines) {
            Par = p;
            Line = p->Lines;
            Pos = 0;
            return true;
        }
    return false;
}

bool TRtCustomRtfEditPrint::PrevCharPos(TParagraph*& Par, TLine*& Line, int32_t& Pos) const
{
    if (!Par || !Line)
        return false;
    if (Pos > 0) {
        --Pos;
        return true;
    }
    if (Line->Prior) {
        Line = Line->Prior;
        Pos = std::max(0, Line->Length - 1);
        return true;
    }
    for (TParagraph* p = Par->Prior; p; p = p->Prior)
        if (p->Lines) {
            TLine* l = p->Lines;
            while (l->Next)
                l = l->Next;
            Par = p;
            Line = l;
            Pos = l->Length;
            return true;
        }
    return false;
}

uint8_t TRtCustomRtfEditPrint::CharAt(const TLine* Line, int32_t Index)
{
    if (!Line || Index < 0 || Index >= Line->Length)
        return 13;
    return Line->Chars[Index];
}

TAttr TRtCustomRtfEditPrint::AttrAt(const TLine* Line, int32_t Index)
{
    if (!Line || !Line->Attrs || Index < 0 || Index >= Line->Length)
        return TAttr{};
    return Line->Attrs[Index];
}

// ---- painting into a rectangle -----------------------------------------------------------------------

void TRtCustomRtfEditPrint::CheckRectMode()
{
    if (engine_.ScreenResMode == rm1440)
        throw ERtEngineModeError(GetRtUIString(meWrongScreenmode) + ControlName());
}

void TRtCustomRtfEditPrint::RestoreAfterRectPaint()
{
    TRtRTFTextInput& e = engine_;
    e.TopY = savedTopY_;
    e.LeftX = savedLeftX_;
    e.CanvasLeft = e.CanvasTop = 0;
    e.VisibleHeight = savedVisH_;
    e.VisibleHeightPx = savedVisHPx_;
    e.VisibleWidth = savedVisW_;
    e.VisibleWidthPx = savedVisWPx_;
    lastWidth_ = -1;
}

void TRtCustomRtfEditPrint::SaveViewForRectPaint()
{
    TRtRTFTextInput& e = engine_;
    savedTopY_ = e.TopY;
    savedLeftX_ = e.LeftX;
    savedVisW_ = e.VisibleWidth;
    savedVisH_ = e.VisibleHeight;
    savedVisWPx_ = e.VisibleWidthPx;
    savedVisHPx_ = e.VisibleHeightPx;
    savedCanvas_ = e.ReferenceCanvas();
}

void TRtCustomRtfEditPrint::LayoutAfterRectPaint()
{
    TRtRTFTextInput& e = engine_;
    e.DeferLayout = false;
    if (e.MarginsChanging) {
        e.UpdateDeviceMetrics();
        e.UpdateLayout();
    }
    e.MarginsChanging = false;
}

int32_t TRtCustomRtfEditPrint::PaintToRect(TCanvas* Canvas, int32_t X, int32_t Y, int32_t Width, int32_t Height,
                                           int32_t Start, uint8_t Mode)
{
    CheckRectMode();
    TRtRTFTextInput& e = engine_;
    if (Mode == rpBegin) {
        BeginRectPaint(Canvas, X, Y, Width, Height);
        return 0;
    }
    if (Mode == rpEnd) {
        if (!rectActive_)
            return 0;
        e.SetEngineOptions(eoSuspended | eoNoDisplay);
        SetWordWrapState(savedWordWrap_);
        RestoreAfterRectPaint();
        Resume(e, savedCanvas_, savedOptions_);
        rectActive_ = false;
        LayoutAfterRectPaint();
        return 0;
    }

    // ---- a paint or measuring step ----
    const bool single = !rectActive_;
    PrepareRectPaintStep(Canvas, X, Y, Width, Height, single);
    const uint8_t o = RectPaintOptions;
    RectPaintBottom = Y;
    TRectPlace at;
    at.Par = e.FirstPar;
    at.Line = at.Par ? at.Par->Lines : nullptr;
    bool nothing = false;
    if (o & 128) {
        SeekRectStartChar(Start, at);
    } else if (o & 64) {
        // Start counts paragraphs.
        if (Start < 0) {
            nothing = true;
        } else {
            for (int32_t i = 0; i < Start && at.Par; ++i) {
                at.Par = at.Par->Next;
                ++at.Lines;
            }
            at.Line = at.Par ? at.Par->Lines : nullptr;
        }
    } else if (Start < 0) {
        nothing = true;
    } else {
        for (int32_t i = 0; i < Start && at.Line; ++i) {
            TParagraph* p = at.Par;
            TLine* l = at.Line;
            if (!NextTextLine(p, l))
                break;   // stays on the last line
            at.Par = p;
            at.Line = l;
            ++at.Lines;
        }
    }

    int32_t result = 0;
    if (!nothing && at.Par && at.Line) {
        PaintRectLines(Canvas, Y, Height, Mode, at);
        result = (o & 128) ? at.Chars : at.Lines;
    } else if (o & 64 && !nothing) {
        result = at.Lines;   // past the last paragraph: the number of paragraphs
    }

    if (single) {
        e.SetEngineOptions(eoSuspended | eoNoDisplay);
        SetWordWrapState(savedWordWrap_);
        RestoreAfterRectPaint();
        Resume(e, savedCanvas_, savedOptions_);
    }
    return result;
}

// Starts a series of steps: the engine is laid out once for the rectangle's width.
void TRtCustomRtfEditPrint::BeginRectPaint(TCanvas* Canvas, int32_t X, int32_t Y, int32_t Width, int32_t Height)
{
    TRtRTFTextInput& e = engine_;
    SaveViewForRectPaint();
    savedWordWrap_ = WordWrapState();
    savedOptions_ = e.EngineOptions;
    e.SetEngineOptions(eoSuspended);
    e.SetReferenceCanvas(Canvas);
    SetWordWrapState(true);
    e.CanvasLeft = X;   // wrapped at the rectangle, lines start at its left edge
    e.CanvasTop = Y;
    e.VisibleHeight = e.VisibleHeightPx = Height;
    e.VisibleWidth = e.VisibleWidthPx = Width;
    lastWidth_ = Width;
    e.WrapAtWindow = true;
    e.EngineOptions = RectPaintEngineOptions;   // formatting on for the one layout at this width
    e.UpdateDeviceMetrics();
    e.UpdatePageMetrics(false);
    e.UpdateLayout();
    e.LeftX = e.TopY = 0;
    rectActive_ = true;
    e.EngineOptions = RectPaintEngineOptions;
    UpdateBackgroundImage();
    LayoutAfterRectPaint();
}

// Sets the engine up for one step: the view on the rectangle, a new layout when the width
// changed, and the painting options of RectPaintOptions.
void TRtCustomRtfEditPrint::PrepareRectPaintStep(TCanvas* Canvas, int32_t X, int32_t Y, int32_t Width,
                                                 int32_t Height, bool Single)
{
    TRtRTFTextInput& e = engine_;
    if (Single) {
        savedWordWrap_ = WordWrapState();
        savedOptions_ = e.EngineOptions;
        SaveViewForRectPaint();
        e.SetEngineOptions(eoSuspended | eoNoDisplay);
        e.SetReferenceCanvas(Canvas);
        SetWordWrapState(true);
        e.LeftX = e.TopY = 0;
    } else if (Canvas && Canvas != e.ReferenceCanvas()) {
        e.EngineOptions |= eoSuspended;    // the canvas is taken as it is, without measuring again
        e.SetReferenceCanvas(Canvas);
    }
    e.CanvasLeft = X;   // wrapped at the rectangle, lines start at its left edge
    e.CanvasTop = Y;
    e.VisibleHeight = e.VisibleHeightPx = Height;
    e.VisibleWidth = e.VisibleWidthPx = Width;
    e.WrapAtWindow = true;
    const uint8_t o = RectPaintOptions;
    uint32_t extra = 0;
    if (o & 1)
        extra |= eoNoBackground;
    if (o & 2)
        extra |= eoNoAreaFills;
    if (o & 4)
        extra |= eoNoScrollDC | eoNoShading;
    if (!(o & 8))
        extra |= eoWhiteFills | eoNoBackground;
    if (o & 16)
        extra |= eoNoZoomScaling;
    if (Single || Width != lastWidth_) {
        e.EngineOptions = RectPaintEngineOptions;
        if (Single)
            e.UpdateDeviceMetrics();
        e.DeferLayout = false;
        e.UpdatePageMetrics(false);
        e.UpdateLayout();
        lastWidth_ = Width;
    }
    e.EngineOptions = RectPaintEngineOptions | extra;
}

// Moves At to the line Start characters into the text; a line Start falls inside is broken
// there for the time of the painting.
void TRtCustomRtfEditPrint::SeekRectStartChar(int32_t Start, TRectPlace& At)
{
    TRtRTFTextInput& e = engine_;
    TParagraph*& par = At.Par;
    TLine*& line = At.Line;
    int32_t& lines = At.Lines;
    int32_t& chars = At.Chars;
    while (line) {
        const int32_t rest = Start - chars;
        if (rest <= 0)
            break;   // this line begins at Start
        if (rest < line->Length) {
            // Start falls inside this line: a line feed breaks it there for
            // the time of the painting and goes again after the new layout.
            int32_t offset = rest;   // of the break in the paragraph
            for (TLine* l = par->Lines; l && l != line; l = l->Next)
                offset += l->Length;
            e.SplitLineAt(line, rest);
            line->Chars[rest] = 10;
            if (line->Attrs)
                line->Attrs[rest] = line->Attrs[rest > 0 ? rest - 1 : rest];
            line->Length = uint16_t(rest + 1);
            line->Chars[rest + 1] = 0;
            e.WrapParagraph(par);
            e.ReformatText(nullptr);
            for (TLine* l = par->Lines; l; l = l->Next) {
                if (offset >= l->Length) {
                    offset -= l->Length;
                    continue;
                }
                // The line feed ends its line: remove it.
                std::memmove(l->Chars + offset, l->Chars + offset + 1, size_t(l->Length - offset));
                if (l->Attrs)
                    std::memmove(static_cast<void*>(l->Attrs + offset), l->Attrs + offset + 1,
                                 sizeof(TAttr) * size_t(l->Length - offset - 1));
                --l->Length;
                line = l->Next ? l->Next : l;
                break;
            }
            chars += rest;
            ++lines;
            break;
        }
        chars += line->Length;
        ++lines;
        TLine* next = line->Next;
        if (!next) {
            ++chars;   // the paragraph end
            TParagraph* np = par->Next;
            while (np && !np->Lines)
                np = np->Next;
            if (!np)
                break;   // past the end: the last line
            par = np;
            next = np->Lines;
        }
        line = next;
    }
}

// Paints (or only measures) the lines from At that fit the rectangle, counting them in At.
void TRtCustomRtfEditPrint::PaintRectLines(TCanvas* Canvas, int32_t Y, int32_t Height, uint8_t Mode, TRectPlace& At)
{
    TRtRTFTextInput& e = engine_;
    const uint8_t o = RectPaintOptions;
    TParagraph*& par = At.Par;
    TLine*& line = At.Line;
    bool first = true, skipping = RectPaintSkipEmptyLines & 1;
    TParagraph* firstPar = par;
    TCanvas* target = Canvas ? Canvas : e.ReferenceCanvas();
    if (Mode != rpMeasure) {
        e.PaintingCanvas = target;
        e.Canvas = target;
    }
    bool more = true;
    while (more) {
        if (first || skipping) {
            e.TopY = line->Top;
            if (!(skipping && line->Length == 0 && !(par->Flags & (parfNotFirstCell | parfNotLastCell))))
                skipping = false;
        }
        const int32_t y = line->Top - e.TopY;
        if (o & 32) {
            TLine* nextInPar = line->Next;
            if (y > 0 && ((par != firstPar && line == par->Lines && (par->Flags & parfNewPage)) ||
                          (!first && (line->Flags & linfPageStart)) ||
                          (nextInPar && (nextInPar->Flags & linfPageStart))))
                break;
        } else if (y + line->Height > Height && !first) {
            break;
        }
        if (Mode != rpMeasure)
            e.PaintLine(line, par);
        RectPaintBottom = y + line->Height + Y;
        ++At.Lines;
        At.Chars += line->Length;
        const bool tooTall = first && !(o & 32) && line->Height > Height;
        first = false;
        TParagraph* p = par;
        TLine* l = line;
        if (!NextTextLine(p, l)) {
            At.Lines = 0;
            break;
        }
        if (p != par)
            ++At.Chars;
        par = p;
        line = l;
        if (tooTall)
            break;
    }
    if (Mode != rpMeasure) {
        e.PaintingCanvas = nullptr;
        e.Canvas = nullptr;
    }
}
