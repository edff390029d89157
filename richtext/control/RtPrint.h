#pragma once
// The editor's printing: the printer wrapper every printer operation goes
// through, the named paper sizes, the print settings, the job and page loops
// that lay the text out for the printer and paint its pages, and painting the
// text into a rectangle of any canvas in steps.
//
// The wrapper stands over the program's printer object (Printers.h), so the
// editor prints to the same CUPS printers and "PDF-Datei" pseudo-printer as
// the rest of the program. Text is measured for the printer on a measuring
// canvas at the printer's resolution; a painter is opened on the printer only
// for the job itself.
#include "Printers.h"
#include "RtPageRanges.h"
#include "RtRtfTxtInput.h"

#include <memory>
#include <vector>

// ---- paper sizes -------------------------------------------------------------------------------------

class TRtPaperDefinition {
public:
    AnsiString Name;
    AnsiString DisplayName;
    int32_t Width = 0;    // twips
    int32_t Height = 0;   // twips
    int32_t DEFCode = 0;  // Windows paper code
    bool Locked = false;  // survives a refill
    // "%s=%s: %d X %d" with Name, DisplayName, Width, Height.
    AnsiString DisplayText() const;
    void Assign(const TRtPaperDefinition& Source) { *this = Source; }
};

class TRtCustomRtfEditPrint;

class TRtPaperDefinitionCollection {
public:
    explicit TRtPaperDefinitionCollection(TRtCustomRtfEditPrint* Owner = nullptr) : owner_(Owner) {}

    int32_t Count() const { return int32_t(items_.size()); }
    TRtPaperDefinition& Items(int32_t Index) { return *items_.at(size_t(Index)); }
    TRtPaperDefinition& Add();
    void Delete(int32_t Index);
    // The last index whose DEFCode is Code; -1 when none.
    int32_t IndexOfCode(int32_t Code) const;
    // The last index whose size matches W x H (Compare 0); -1 when none.
    int32_t IndexOfSize(int32_t W, int32_t H) const;
    // 0: both sides within 7 twips; 1: the paper holds W x H; -1 otherwise.
    static int32_t Compare(const TRtPaperDefinition& Item, int32_t W, int32_t H);
    // Drops all entries that are not locked; reads the papers of the selected
    // printer when ReadPrinter (and the owner's print options allow it); falls
    // back to the built-in sizes when nothing was read and the list is empty.
    void FillFromPrinter(bool ReadPrinter);
    // The control stores the list only when an entry is locked.
    bool Stored() const;

private:
    TRtCustomRtfEditPrint* owner_;
    std::vector<std::unique_ptr<TRtPaperDefinition>> items_;
};

// ---- printer wrapper ---------------------------------------------------------------------------------

class TRtPrinterWrapper {
public:
    virtual ~TRtPrinterWrapper() = default;
    virtual void SetTitle(const QString& Title);
    virtual QString GetTitle();
    // The job's canvas (null while no job is open).
    virtual TCanvas* GetCanvas();
    // The printer device.
    virtual QPaintDevice* GetHandle();
    virtual int32_t GetCopies();
    // Setting the current number sets 1 first, so that the driver takes it again.
    virtual void SetCopies(int32_t N);
    // The selected printer's name without a port part; empty when none is selected.
    virtual QString GetPrinterName();
    // Selects the first printer of that name (case ignored); nothing when none matches.
    virtual void SetPrinterName(const QString& Name);
    virtual int32_t GetOrientation();  // 0 portrait, 1 landscape
    virtual void SetOrientation(int32_t O);
    virtual void GetPrinter(QString& Device, QString& Driver, QString& Port, TDeviceMode& DevMode);
    virtual void SetPrinter(const QString& Device, const QString& Driver, const QString& Port,
                            const TDeviceMode& DevMode);
    virtual bool GetPrinting();
    virtual int32_t GetPageWidth();   // printable area, device pixels
    virtual int32_t GetPageHeight();
    virtual bool GetAborted();
    virtual void NewPage();
    virtual void BeginDoc();
    virtual void EndDoc();

    // What the job needs of the device beyond the operations above: its
    // resolution, and the offset of the printable area on the paper in
    // device pixels, both for the page's own orientation.
    virtual int32_t LogPixelsX();
    virtual int32_t LogPixelsY();
    virtual int32_t PhysicalOffsetX();
    virtual int32_t PhysicalOffsetY();
    // Paper trays (Windows bin numbers, 0: the printer's own choice) for the
    // jobs that follow; the printing system takes one tray per job.
    virtual bool SupportsPaperSource();
    virtual void SetPaperSource(int32_t Bin);
    // The printer makes copies itself.
    virtual bool DriverHandlesCopies();
    // Whether the copies the printer makes come collated (whole runs) or each page in a row.
    virtual bool GetCollate();
    virtual void SetCollate(bool On);
    bool SupportsDuplex(int32_t Duplex);
    // The current device settings, and changing them.
    TDeviceMode DevMode();
    void SetDevMode(const TDeviceMode& Mode);
    // The papers of the selected printer.
    std::vector<TPrinterPaper> Papers();
};

// The global wrapper (created on first use); an application may put a subclass of its own in its place.
TRtPrinterWrapper& RtPrinter();
void SetRtPrinter(std::unique_ptr<TRtPrinterWrapper> Wrapper);

// ---- print settings ----------------------------------------------------------------------------------

enum TRtPageRangeKind : uint8_t { rtrAllPages, rtrPageList };
enum TRtPageSides : uint8_t { rtsAll, rtsEven, rtsOdd };
enum TRtHeaderFooterPart : uint8_t { rtrHeader, rtrFooter };
using TRtHeaderFooterParts = TRtSet<TRtHeaderFooterPart, uint8_t>;

constexpr int32_t RtMaxPageRanges = 20;

class TRtPrinterEngine {
public:
    explicit TRtPrinterEngine(TRtCustomRtfEditPrint* Owner) : owner_(Owner) {}
    int32_t NumberOfCopies = 1;
    bool Collate = false;            // copies as whole runs, else each page in a row
    QString PrintTitle;
    bool PageMirror = false;
    TRtPageRangeKind PageRange = rtrAllPages;
    AnsiString PageList;
    TRtPageSides PageSides = rtsAll;
    TRtHeaderFooterParts PrintHeaderFooterOnLastPage;
    bool RespectPhysicalMargins = true;
    int32_t DuplexMode = 0;          // 0 simplex, 1 horizontal, 2 vertical
    int32_t FirstPageSource = 0;     // Windows bin numbers, 0: unchanged
    int32_t OtherPagesSource = 0;
    int32_t LastPaperSource = 0;
    bool Cancel = false;
    bool DriverCopies = false;
    int32_t PhysicalOffsetX = 0, PhysicalOffsetY = 0;  // twips
    std::vector<TRtPageRange> Ranges;                  // built for the running print

    // Kept in the text store and the engine.
    TRtPrintHeaderFooter PrintHeaderFooter() const;
    void SetPrintHeaderFooter(TRtPrintHeaderFooter Value);
    TRtPrintOptions PrintOptions() const;
    void SetPrintOptions(TRtPrintOptions Value);

    // Copies copies, page range, page list, page sides, mirroring and title.
    void Assign(const TRtPrinterEngine& Source);
    // The ranges to print within First..Last: (First, Last), or the page list
    // ordered, clipped and without single pages outside. False (with the
    // conversion's message) for a page list that is not numbers.
    bool BuildRanges(int32_t First, int32_t Last, AnsiString& Error);

private:
    TRtCustomRtfEditPrint* owner_;
};

// ---- the printing layer of the edit control ---------------------------------------------------------

// Flags of PaintPageOnCanvas.
constexpr int32_t ppMargins = 1, ppFrame = 2, ppFitWidth = 4, ppFitHeight = 8, ppPaintOption1 = 0x10,
                  ppPaintOption2 = 0x20, ppEvents = 0x40, ppMeasureOnly = 0x80;

// Modes of PaintToRect.
constexpr uint8_t rpMeasure = 0, rpBegin = 2, rpEnd = 4, rpPaint = 1;

using TRtPageEvent = std::function<void(TObject* Sender, TCanvas* Canvas, int32_t PageNo)>;
using TRtWatermarkEvent = std::function<void(TObject* Sender, TCanvas* Canvas, const TRect& PageRect, int32_t PageNo)>;

class TRtCustomRtfEditPrint {
public:
    explicit TRtCustomRtfEditPrint(TRtRTFTextInput& Engine);
    virtual ~TRtCustomRtfEditPrint();
    TRtCustomRtfEditPrint(const TRtCustomRtfEditPrint&) = delete;
    TRtCustomRtfEditPrint& operator=(const TRtCustomRtfEditPrint&) = delete;

    TRtRTFTextInput& RtfText() const { return engine_; }
    TRtPrinterEngine& PrintParameter() { return print_; }
    TRtPaperDefinitionCollection& PaperDefs() { return paperDefs_; }

    // ---- what the edit control fills in ----
    // The control's word-wrap setter (default: the engine's).
    virtual void SetWordWrapState(bool Value) { engine_.SetWordWrap(Value); }
    virtual bool WordWrapState() const { return engine_.WrapAtWindow; }
    // Hands the control's background image to the engine (default: keeps the engine's).
    virtual void UpdateBackgroundImage() {}
    virtual AnsiString ControlName() const { return AnsiString(); }
    virtual QString ControlTitle() const { return QString(); }
    TRtWatermarkEvent OnPrintWatermark;
    TRtPageEvent OnPageBegin, OnPageEnd;
    // While printing, after each page's header or footer: the area between the
    // page's edge and its body (layout units of the printer canvas) for the
    // application's own header and footer.
    using TRtPrintSpecialEvent = std::function<void(TObject* Sender, TCanvas* Canvas, const TRect& Area, int32_t PageNo)>;
    TRtPrintSpecialEvent PrintHeader, PrintFooter;

    // ---- printing ----
    // The control's print command: pages FromPage..ToPage (1-based; 0 from the
    // first, 0 to the last) along the fixed-resolution or the printer-resolution path.
    void PrintText(int32_t FromPage, int32_t ToPage);
    // The page-scaling loop (fixed-resolution engines).
    void Print(int32_t FromPage, int32_t ToPage);
    // One page (0-based), once; the page loop repeats it for copies the printer does not make.
    void PrintPage(int32_t PageIndex);
    // Paints page PageNo (0-based) into Canvas at Zoom (per cent; 0: fit); returns the zoom used.
    int32_t PaintPageOnCanvas(int32_t PageNo, TCanvas* Canvas, int32_t Zoom, int32_t Flags, int32_t X = 0,
                              int32_t Y = 0, int32_t TargetWidth = 0, int32_t TargetHeight = 0);
    // Prepares the printer's paper; true when the device was reset during a job.
    bool SetupPrinterPaper(int32_t Width, int32_t Height, bool Landscape, int32_t PaperSource, int32_t PaperCode);
    void BeginJob(int32_t FirstPage);
    void EndJob();

    // ---- character cursor of the edit control ----
    bool NextCharPos(TParagraph*& Par, TLine*& Line, int32_t& Pos) const;
    bool PrevCharPos(TParagraph*& Par, TLine*& Line, int32_t& Pos) const;
    static uint8_t CharAt(const TLine* Line, int32_t Index);
    static TAttr AttrAt(const TLine* Line, int32_t Index);

    // ---- painting into a rectangle ----
    // Mode 2 begins, 4 ends, 0 measures, any other value paints; the result
    // is where to continue (0 after the last line of the text).
    virtual int32_t PaintToRect(TCanvas* Canvas, int32_t X, int32_t Y, int32_t Width, int32_t Height,
                                int32_t Start, uint8_t Mode);
    uint8_t RectPaintOptions = 0;
    uint8_t RectPaintSkipEmptyLines = 0;
    int32_t RectPaintBottom = 0;

private:
    struct TPageStart {
        TParagraph* Par = nullptr;
        TLine* Line = nullptr;
    };
    TPageStart FindPage(int32_t PageIndex) const;
    // Paints one page's header, body and footer; layout units at the page's
    // top-left are at (OriginX, OriginY). Overflow lifts the body lines.
    void PaintPageContent(TCanvas* Canvas, int32_t PageIndex, int32_t OriginX, int32_t OriginY, int32_t Flags,
                          bool LiftOverflow);
    // The header or footer page PageIndex shows (null: none).
    TRtSpecialTextProperty* SpecialFor(int32_t PageIndex, bool IsHeader) const;
    void PaintSpecial(int32_t PageIndex, bool IsHeader, int32_t OriginX, int32_t OriginY);
    int32_t PageOverflow(const TPageStart& Start) const;
    // The pages First..Last that the ranges and sides select, in print order.
    std::vector<int32_t> SelectedPages(int32_t First, int32_t Last);
    // Runs Fn for every selected page, as many times as copies are asked and the printer does not make.
    void ForEachSelectedPage(const std::vector<int32_t>& Pages, const std::function<void(int32_t Page)>& Fn);
    // Whether trays split a print of Pages into several jobs.
    bool TraysSplitJob(const std::vector<int32_t>& Pages) const;
    // Whether the printer makes the copies: it repeats each job for them, so
    // collated copies of a print that trays split into jobs are made here.
    bool PrinterMakesCopies() const;
    void PrintAtPrinterResolution(int32_t FromPage, int32_t ToPage);
    // Runs a print job over FromPage..ToPage (0: to the end): Prepare lays the
    // engine out for the printer, PrintPages prints the selected pages; the
    // engine's state is put back after it, also on a failure.
    void RunJob(int32_t FromPage, int32_t ToPage, const std::function<void()>& Prepare,
                const std::function<void(const std::vector<int32_t>& Pages)>& PrintPages);
    void ReadPhysicalOffset();
    // The paper source of page Page (1-based), and changing to it before the
    // page is printed (in a job of its own when the tray changes).
    int32_t SourceOfPage(int32_t Page) const;
    void SwitchPaperSource(int32_t Page);
    QString JobTitle(bool Numbered) const;
    void CheckRectMode();
    void RestoreAfterRectPaint();
    // The steps of PaintToRect.
    struct TRectPlace {
        TParagraph* Par = nullptr;
        TLine* Line = nullptr;
        int32_t Lines = 0;    // lines passed
        int32_t Chars = 0;    // characters passed, paragraph ends counted
    };
    void SaveViewForRectPaint();
    void LayoutAfterRectPaint();
    void BeginRectPaint(TCanvas* Canvas, int32_t X, int32_t Y, int32_t Width, int32_t Height);
    void PrepareRectPaintStep(TCanvas* Canvas, int32_t X, int32_t Y, int32_t Width, int32_t Height, bool Single);
    void SeekRectStartChar(int32_t Start, TRectPlace& At);
    void PaintRectLines(TCanvas* Canvas, int32_t Y, int32_t Height, uint8_t Mode, TRectPlace& At);

    TRtRTFTextInput& engine_;
    TRtPrinterEngine print_;
    TRtPaperDefinitionCollection paperDefs_;
    int32_t savedCopies_ = 1;
    bool savedCollate_ = true;
    int32_t jobSource_ = 0;
    bool splitJob_ = false;  // trays split the running print into jobs

    // PaintToRect state.
    bool rectActive_ = false;
    bool savedWordWrap_ = false;
    uint32_t savedOptions_ = 0;
    int32_t savedTopY_ = 0, savedLeftX_ = 0;
    int32_t savedVisW_ = 0, savedVisH_ = 0, savedVisWPx_ = 0, savedVisHPx_ = 0;
    TCanvas* savedCanvas_ = nullptr;
    int32_t lastWidth_ = -1;

    static int32_t jobNesting_;
    static int32_t jobCounter_;
    static bool newPageNeeded_;
};
