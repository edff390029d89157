#pragma once
// The class library's printer object over QPrinter: the printer list (the
// CUPS printers and the pseudo-printer "PDF-Datei", which writes a PDF file),
// the current printer with its device settings, and the print job with its
// canvas.
//
// The device settings stand in for the platform's device mode. They travel as
// one versioned block (little-endian):
//   13     "QwDEVMODE0001"
//   4 + n  printer name (UTF-8, int32 byte count first)
//   4 + n  printer model, the same form
//   4      page size id (QPageSize::PageSizeId)
//   4 + n  page size key, the same form
//   8, 8   paper width and height in millimetres (doubles, portrait)
//   4      orientation (0 portrait, 1 landscape)
//   4      duplex (QPrinter::DuplexMode)
//   4      colour (0 grey scale, 1 colour)
//   4      resolution in dots per inch
//   4      copies
//   1      full page (1: borderless, no margins)
#include "Canvas.h"
#include "Classes.h"
#include "Object.h"

#include <QByteArray>
#include <QPageSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QPrinter;

// The name under which the PDF pseudo-printer is listed.
extern const char* const PdfPrinterName;  // "PDF-Datei"
// Its model in the device settings.
extern const char* const PdfPrinterModel;  // "PDF"
// Its resolution.
constexpr int PdfPrinterResolution = 1200;

struct TDeviceMode {
    static constexpr const char* Marker = "QwDEVMODE0001";
    static constexpr int MarkerLength = 13;

    QString PrinterName;
    QString Model;
    int32_t PageSizeId = QPageSize::A4;
    QString PageSizeKey;
    double PaperWidth = 210.0;   // mm
    double PaperHeight = 297.0;  // mm
    int32_t Orientation = 0;
    int32_t Duplex = 0;
    int32_t ColorMode = 1;
    int32_t Resolution = 300;
    int32_t Copies = 1;
    bool FullPage = false;

    bool operator==(const TDeviceMode&) const = default;

    std::vector<uint8_t> ToBytes() const;
    // False (and this unchanged) for a block of another version, a damaged or
    // truncated one, or one whose values are out of range.
    bool FromBytes(const uint8_t* Data, size_t Size);
};

// A text as int32 byte count and UTF-8 bytes, as the settings block and the
// printer choice stream hold their names. Reading refuses a count below 0,
// above MaxBytes or beyond the bytes left.
void WriteSizedText(TStream& Stream, const QString& Text);
bool ReadSizedText(TStream& Stream, QString& Text, int32_t MaxBytes = 4096);

// A finished job of a system printer on its way to the spooler: the PDF file
// the job was written to, and the spooler's options for it.
struct TSpoolJob {
    QString PrinterName;
    QString FileName;
    QString Title;
    std::vector<std::pair<QByteArray, QByteArray>> Options;
};

// Hands a finished job to the system's spooler (CUPS unless replaced, e.g. by
// tests); raises EPrinter when the spooler does not take it.
extern std::function<void(const TSpoolJob& Job)> SpoolJobHook;
// The system's printers (QPrinterInfo unless replaced, e.g. by tests).
extern std::function<QStringList()> SystemPrintersHook;

// Windows paper codes (DEVMODE paper sizes) as documents and settings keep them.
constexpr int32_t DMPAPER_A4 = 9;
constexpr int32_t DMPAPER_USER = 256;
// The Windows paper code of a page size (0 when it has none).
int32_t PaperCodeOf(int PageSizeId);
// The page size id of a Windows paper code (-1 when it has none).
int PageSizeIdOf(int32_t PaperCode);

// A paper the current printer offers.
struct TPrinterPaper {
    QPageSize Size;
    bool Borderless = false;  // a borderless variant of a paper size
};

class TPrinter : public TObject {
public:
    LUMI_CLASSNAME(TPrinter)
    TPrinter();
    ~TPrinter() override;
    TPrinter(const TPrinter&) = delete;
    TPrinter& operator=(const TPrinter&) = delete;

    // The printer list: the system's printers, then "PDF-Datei".
    const QStringList& Printers() const { return FPrinters; }
    // Reads the system's printers again and selects the default printer.
    void Refresh();
    int PrinterIndex() const { return FIndex; }
    // -1 selects the default printer. The device settings become the
    // printer's defaults. Raises EPrinter while a job is open.
    void SetPrinterIndex(int Index);
    int DefaultPrinterIndex() const;
    QString PrinterName() const;
    bool IsPdfPrinter() const;
    bool IsDefaultPrinter() const;
    // Model, description and location of the current printer.
    QString Model() const;
    QString Description() const;
    QString Location() const;

    // The papers of the current printer.
    std::vector<TPrinterPaper> Papers() const;
    bool SupportsCustomPaper() const;
    bool SupportsColorMode(int32_t ColorMode) const;
    bool SupportsDuplex(int32_t Duplex) const;
    bool SupportsResolution(int32_t Resolution) const;
    // How many copies the printer makes itself (1: it cannot).
    int MaxCopies() const;

    // The current device settings, the printer's defaults, and selecting
    // settings (which the printer applies as one page layout).
    const TDeviceMode& DevMode() const { return FDevMode; }
    TDeviceMode DefaultDevMode() const;
    void SetDevMode(const TDeviceMode& Mode);
    // True when the settings were made for this printer (name and model).
    bool Fits(const TDeviceMode& Mode) const;
    // The page size the settings describe (a custom size where no id fits).
    static QPageSize PageSizeOf(const TDeviceMode& Mode);

    // The printer device with the current settings applied.
    QPrinter& Device();
    // Aborts a running job and frees the device; the next use makes it anew.
    void ReleaseDevice();

    // The PDF printer writes to this file; when it is empty, BeginDoc asks
    // through AskPdfFileName (a save dialog unless replaced) and raises EAbort
    // when no name is given.
    QString OutputFileName;
    std::function<QString(const QString& Suggested)> AskPdfFileName;
    // The name the PDF file is suggested under (without ".pdf"); the job
    // title when empty.
    QString DocumentName;
    // The PDF file of the running or last job; empty before one was named.
    const QString& PdfTarget() const { return FPdfTarget; }

    // The job.
    QString Title;
    // Further options of the printing system for the jobs that follow (for
    // example the paper tray); a system printer's job carries them.
    std::vector<std::pair<QByteArray, QByteArray>> JobOptions;
    bool Printing() const { return FPrinting; }
    bool Aborted() const { return FAborted; }
    void BeginDoc();
    void NewPage();
    void EndDoc();
    // Ends the job so that nothing of it is kept: the PDF file is not written
    // and nothing goes to the spooler. A system printer's job is written to a
    // temporary file and spooled only when it ends.
    void Abort();
    int PageNumber() const { return FPageNumber; }
    TCanvas& Canvas();

    // Metrics of the printable area in device pixels.
    int PageWidth();
    int PageHeight();
    int PhysicalOffsetX();
    int PhysicalOffsetY();
    int LogPixelsX();
    int LogPixelsY();

private:
    void CreateDevice();
    void ApplyDevMode();
    QString SuggestedPdfName() const;
    // Removes the running job's file.
    void DropJobFile();

    QStringList FPrinters;
    QString FDefaultName;
    int FIndex = -1;
    TDeviceMode FDevMode;
    std::unique_ptr<QPrinter> FDevice;
    bool FDeviceDirty = true;
    std::unique_ptr<TCanvas> FCanvas;
    bool FPrinting = false;
    bool FAborted = false;
    int FPageNumber = 0;
    QString FPdfTarget;      // the file the PDF job ends in
    QString FLastPdfFolder;  // of the last PDF file chosen; the next suggestion starts there
    QString FJobFile;        // the file the running job is written to
};

// The global printer object, created on first use.
TPrinter& Printer();
