#pragma once
// What printing needs beyond the printer object: printer information for the
// print dialog, copies and paper on the current device settings, custom paper,
// borderless paper, resetting to the printer's defaults while keeping the
// user's choices, the printer's property dialog, and the whole printer choice
// as a stream. Also the draw context on the printer, and the seams through
// which the print dialogs run modally and show their messages.
#include "uModalDialog.h"
#include "AnsiString.h"
#include "Canvas.h"
#include "Classes.h"
#include "Object.h"
#include "Printers.h"
#include "uDrawContext.h"

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QDialog;
class QWidget;
struct TDeviceMode;

struct TPaperInfo {
    AnsiString Name;
    int32_t Width = 0;   // tenths of a millimetre
    int32_t Height = 0;  // tenths of a millimetre
    int32_t PaperCode = 0;
};

struct TPrinterInfo {
    QString ServerName;
    QString PrinterName;
    QString ShareName;
    QString PortName;
    QString DriverName;
    QString Comment;
    QString Location;
    QString SepFile;
    QString PrintProcessor;
    QString Datatype;
    QString Parameters;
    QString Status;
};

class TPrinterSupport : public TObject {
public:
    LUMI_CLASSNAME(TPrinterSupport)
    TPrinterSupport();

    void GetPrinterInfo(TPrinterInfo& Info);
    QString GetDeviceName();
    // The printers as the user reads them: the file printer under its name in
    // the language (the settings keep its one name).
    QStringList PrinterNames();
    QString GetPortName();
    // The page setup dialog on the current settings; true when the user chose OK.
    bool ShowPrinterProperties(QWidget* ParentWindow);
    // The printer set-up: the printers of the print dialog ("PDF-Datei"
    // included) with the chosen one's page setup; cancel keeps the printer and
    // settings as they were. True when the user chose OK.
    bool ExecutePrinterSetup(QWidget* ParentWindow, const QString& Title);
    // The printer's defaults, keeping paper, orientation, copies, and colour,
    // duplex and resolution where the printer offers them, and full page.
    void ResetDevModeKeepingChoices();
    // Makes the printer at Index the current one; the choices made so far go
    // over to it where it offers them.
    void SelectPrinterKeepingChoices(int Index);
    void SaveToStream(TStream& Stream);
    bool LoadFromStream(TStream& Stream);
    int GetMaxCopies();
    void SetCopies(int Count);
    bool SetPaperCode(int32_t Code);
    // Millimetres; a paper of the printer within 2 mm, else a custom paper,
    // else A4 (once); always true.
    bool SetCustomPaper(float Width, float Height);
    void RefreshPaperList();
    // Index of the first paper within 2 mm (tenths of mm) in both sides; -1 when none.
    int FindPaperBySize(int32_t Width, int32_t Height) const;
    // Borderless: the printer's own borderless variant of the paper when it
    // has one, full page, no margins. Off: the plain variant with margins.
    void SetBorderless(bool Value);

    std::vector<TPaperInfo> Papers;

private:
    void SelectPaper(int Index);
    bool SetCustomPaperOnce(float Width, float Height, bool FallBack);
};

// The global printer support, created on first use.
TPrinterSupport& PrinterSupport();

// The draw context on the printer's page: device pixels of the printable area.
class TPrinterDrawContext : public TDrawContext {
public:
    LUMI_CLASSNAME(TPrinterDrawContext)
    TPrinterDrawContext();
    // Sends the bitmap (made 32-bit when it is not) stretched to the rectangle
    // in printer pixels.
    void DrawBitmap(TBitmap& Bitmap, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom);
};

// Text with its placeholders ("%d", "%s", "%.1f") replaced in order by
// Values, so that a text from a language file never goes through Format.
QString FillPlaceholders(const QString& Text, const QStringList& Values);

// Shows a message box with one OK button (unless replaced).
extern std::function<void(QMessageBox::Icon Icon, const QString& Text)> PrintMessageHook;
void PrintMessage(QMessageBox::Icon Icon, const QString& Text);
