#pragma once
// Colour presets and page templates (layouts of picture frames for one page or
// a two-page spread), the binary stream routines both travel in (drag and drop,
// catalogue), and the colour dialog with the user's custom colours.
#include "AnsiString.h"
#include "Classes.h"
#include "Graphics.h"
#include "Object.h"
#include "Types.h"
#include "uFotobuchDocument.h"

#include <cstdint>
#include <memory>
#include <vector>

class TBitmap;

// ---- stream routines (little-endian) ---------------------------------------------------
// A reader that gets fewer bytes than it asked for returns 0 for the missing
// bytes; a string's length is bounded by the bytes left in the stream.

void WriteByteToStream(TStream& Stream, uint8_t Value);
uint8_t ReadByteFromStream(TStream& Stream);
void WriteIntToStream(TStream& Stream, int32_t Value);
int32_t ReadIntFromStream(TStream& Stream);
void WriteSingleToStream(TStream& Stream, float Value);
float ReadSingleFromStream(TStream& Stream);
// A 4-byte length, then the bytes, no terminator.
void WriteStringToStream(TStream& Stream, const AnsiString& Value);
AnsiString ReadStringFromStream(TStream& Stream);

// The colour dialog of the main window, starting at Color, with the custom
// colours kept under the settings section "CustomColors". True and the choice
// in Color on OK; Color is untouched on Cancel.
bool ExecuteColorDialog(TColor& Color);

// ---- colour preset -------------------------------------------------------------------

class TFBColor : public TObject {
public:
    LUMI_CLASSNAME(TFBColor)
    TFBColor() = default;
    TFBColor(const AnsiString& AName, TColor AColor) : Name(AName), Color(AColor) {}

    // A colour >= 0 as it is; a negative one is picked in the colour dialog
    // (starting at white). False when the dialog was cancelled; Value is then
    // left as it was.
    bool GetColor(TColor& Value) const;
    void LoadFromStream(TStream& Stream);
    void SaveToStream(TStream& Stream) const;

    AnsiString Name;
    TColor Color = 0;  // negative: the user picks the colour when it is used
};

using TFBColorList = std::vector<std::unique_ptr<TFBColor>>;

// ---- page template -------------------------------------------------------------------

class TFBPageTemplate : public TObject {
public:
    LUMI_CLASSNAME(TFBPageTemplate)
    TFBPageTemplate() = default;
    TFBPageTemplate(const TFBPageTemplate&) = delete;
    TFBPageTemplate& operator=(const TFBPageTemplate&) = delete;

    // Appends a frame given by its top-left corner and size (angle 0).
    void AddFrame(float Left, float Top, float Width, float Height);
    // Lays out Page (for a spread template both pages of its screen).
    void ApplyToPage(TFBPage* Page);
    // Gives Page exactly the frames of FrameList, scaled to the page size; the
    // pictures move into the first frames in page order.
    void ApplyFrames(TFBPage* Page, const TFBElementList& FrameList);
    // The template's miniature, centred in Rect.
    void DrawPreview(TBitmap& Bitmap, const TRect& Rect) const;
    // Background colour of the template's style in the template list.
    TColor GetStyleColor() const;
    // Any frames held before are replaced.
    void LoadFromStream(TStream& Stream);
    void SaveToStream(TStream& Stream) const;

    // Frames of the single page or of the right page of a spread: picture
    // elements without page, holding only their geometry.
    TFBElementList Frames;
    TFBElementList LeftFrames;  // left page of a spread; may be empty
    TFBLayoutTypen LayoutTypes = 0;
    float TemplateWidth = 0;   // mm: the page size the frames were designed on
    float TemplateHeight = 0;
    AnsiString Name;
    uint8_t Stil = 0;  // layout style 0..9
    bool IsDoublePage = false;
    AnsiString TemplateKey;  // key of a built-in template; not streamed
};

using TFBPageTemplateList = std::vector<std::unique_ptr<TFBPageTemplate>>;
