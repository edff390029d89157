#pragma once
// The user's own colours (a list of 32 slots kept in "custcolo.dat" and
// mirrored from the custom colours of the colour dialogs), the project file
// association, opening documents with the desktop, screen scaling and file
// size and date.
#include "AnsiString.h"
#include "Classes.h"
#include "DateTime.h"
#include "Graphics.h"
#include "Object.h"

#include <QString>
#include <cstdint>
#include <vector>

class QWidget;
class TColorDialog;

class TColorList : public TObject {
public:
    LUMI_CLASSNAME(TColorList)
    static constexpr TColor EmptySlot = -1;

    // Capacity slots, all empty.
    explicit TColorList(int32_t Capacity);

    // EListError "List index out of bounds (%d)" outside 0..GetCount()-1.
    TColor GetColor(int32_t Index) const;
    void SetColor(int32_t Index, TColor Color);
    int32_t GetCount() const { return int32_t(FColors.size()); }
    // Number of slots that are not empty.
    int32_t GetUsedCount() const;
    void Clear();

    // The slot already holding Color, else the first empty slot, else slot
    // DefaultIndex (replacing its colour); the colour's slot is returned.
    int32_t AddColor(TColor Color, int32_t DefaultIndex);

    // One colour per line: a colour name, a decimal number or "$" and hex
    // digits. Unreadable lines and system colours are skipped; the colours fill
    // the slots from 0 until the list is full. A missing file leaves it empty.
    void LoadFromFile(const QString& FileName);
    // Writes the used slots, one "$%.8x" line each, and replaces the file.
    // EFCreateError when the file cannot be written.
    void SaveToFile(const QString& FileName) const;

private:
    void CheckIndex(int32_t Index) const;
    std::vector<TColor> FColors;
};

// The user data file of the global colour list.
QString ColorListFileName();
// The global colour list (32 slots): loaded from ColorListFileName() on first
// use, saved back there at program end.
TColorList& ColorList();

// Refills the global colour list from the value "Colors" of Section (lines
// "Name=BBGGRR", line i going to slot i when the list is full).
void LoadColorListFromRegistry(const AnsiString& Section);
// The dialog's custom colours := "Colors" of Section; then refills the list.
void LoadCustomColors(TColorDialog& ColorDialog, const AnsiString& Section);
// "Colors" of Section := the dialog's custom colours; then refills the list.
void SaveCustomColors(TColorDialog& ColorDialog, const AnsiString& Section);

// Registers the extension (with or without dots) for this program with the
// desktop: a MIME type for "*.<ext>" named after the application title + " Datei"
// (and so in each language the program carries)
// and a desktop entry opening such files with this executable, both under the
// user's data folder. When either changed, the desktop's databases are updated
// and true is returned. Failures are ignored (false).
bool RegisterFileExtension(const QString& Ext);

// Opens FileName with the desktop's default program. A missing file or a
// failure to open it is shown in an error message box; the result tells
// whether the document was opened.
bool ShellOpenDocument(QWidget* Wnd, const QString& FileName);
// Opens a file or an address with the desktop's default program; true when it
// was opened.
bool ShellOpenFile(QWidget* Wnd, const QString& FileName);

// Value x screen pixels per inch / 96 (MulDiv).
int32_t ScaleByScreenDpi(int32_t Value);
void SetBoundsScaled(QWidget* Control, int32_t Left, int32_t Top, int32_t Width, int32_t Height);

// Size of the file in bytes; -1 when there is none.
int32_t GetFileSizeByName(const QString& FileName);
// Last-write date of the file; -1.0 when there is none.
TDateTime GetFileDateTime(const QString& FileName);
