// The editor's message table, localisation chain, display-attribute sets,
// component and filter bases, class registry, reference printer, character
// conversion and start-up tables.
#include "RtDefs.h"

#include "Charsets.h"
#include "Printers.h"
#include "RtPlatform.h"

#include <QPrinterInfo>
#include <QStringList>
#include <algorithm>
#include <map>

// ---- messages ------------------------------------------------------------------------------------

namespace {

struct TUIStringDef {
    const char* Name;
    const char* Text;
};

// "Right" and "Center" of the tab kinds stand in their right places and the
// alignment text has no stray brace.
const TUIStringDef UIStringDefs[RtUIStringCount] = {
    {"meDefaultUnit_INCH_or_CM", "INCH"}, {"meUnitInch", "Inch"}, {"meUnitCm", "Cm"},
    {"meDecimalSeperator", ""}, {"meDefaultCharSet", "0"},
    {"meFilterRTF", "RTF files (*.rtf)|*.RTF"},
    {"meFilterHTML", "HTML files (*.htm,*.html)|*.HTM;*.HTML"},
    {"meFilterTXT", "Text files (*.txt)|*.TXT"}, {"meFilterXML", "XML files (*.xml)|*.XML"},
    {"meFilterCSS", "Stylesheets files (*.CSS)|*.CSS"}, {"meFilterALL", "All files (*.*)|*.*"},
    {"meFilter", "RTF files (*.rtf)|*.RTF|HTML files (*.htm,*.html)|*.HTM;*.HTML|Text files (*.txt)|*.TXT|All files (*.*)|*.*"},
    {"meUserCancel", "Do you want to abort operation?"}, {"meReady", "Ready"},
    {"meReading", "reading ..."}, {"meWriting", "writing ..."}, {"meFormatA", "formatting ..."},
    {"meFormatB", "formatting ..."}, {"meClearMemory", "initialize memory"},
    {"meNoSelection", "no text selected"}, {"meRichText", "RICH"}, {"mePlainText", "PLAIN"},
    {"meSysError", "Internal Error"}, {"meClearTabs", "Delete all tab stops?"},
    {"meObjGraphicFilter", "Graphic Files (*.BMP,*.WMF)|*.BMP;*.WMF"},
    {"meObjGraphicFilterExt", "Graphic Files (*.BMP,*.WMF,*.JPG,*.GIF)|*.BMP;*.WMF;*.JPG;*.GIF"},
    {"meObjTextFilter", "Textfiles (*.TXT)|*.TXT"},
    {"meObjNotSupported", "Cannot use other objects than of type TRtObject."},
    {"meObjGraphicNotLinked", "Graphic support was not linked. Please include unit RtEmOBJ to project."},
    {"meObjDelete", "Delete the object"}, {"meObjInsert", "Insert new object"},
    {"meSaveChangedText", "Save changed text?"}, {"meClearChangedText", "Discard changes?"},
    {"meCannotRenameFile", "Cannot rename file %s!"},
    {"meErrorWriteToFile", "Cannot write to file %s!"},
    {"meErrorReadingFile", "Error occured when reading file %s!"},
    {"meRecursiveToolbarUsage", "property NextToolBar was used recursively"},
    {"meWrongScreenmode", "Wrong ScreenResMode in object "}, {"meTextNotFound", "Text not found"},
    {"meUndefinedInsertpoint", "Insertpoint not defined. Provide tag or fieldname"},
    {"meNotSupportedProperty", "This property is not yet supported"},
    {"meUseOnlyBitmaps", "Please use only bitmaps"},
    {"meWrongUsageOfFastAppend", "cannot append text to <self>"},
    {"mePaletteCompletelyUsed", "All colors in palette in use"},
    {"meWriterClassNotFound", "Text-Writer class not found "},
    {"meReaderClassNotFound", "Text-Reader class not found "},
    {"meWrongArgumentError", "Wrong Arguments!"}, {"meIOClassError", "Incorrect IO Class :"},
    {"meNotSupportedError", "Mode not supported"}, {"meutNone", ""}, {"meutAny", "Changes"},
    {"meutInput", "Input"}, {"meutDeleteText", "Delete"},
    {"meutChangeAttributes", "Attribute Modification"},
    {"meutChangeIndent", "Indent Modification"}, {"meutChangeSpacing", "Spacing Modification"},
    {"meutChangeAlignment", "Alignment Modification"}, {"meutChangeTabs", "Tabs Modification"},
    {"meutChangeBorder", "Border Modification"}, {"meutDeleteSelection", "Deletion"},
    {"meutDragAndDrop", "Drag and Drop"}, {"meutPaste", "Paste"},
    {"meutChangeTable", "Change Table"}, {"meutChangeGraphic", "Change Graphic"},
    {"meutChangeCode", "Change Code"}, {"meutUpdateStyle", "Update Style"},
    {"meutChangeTemplate", "Change Template"}, {"meutInsertBookmark", "Insert Bookmark"},
    {"meutInsertHyperlink", "Insert Hyperlink"}, {"meutInsertField", "Insert Field"},
    {"meDiaAlLeft", "Left"}, {"meDiaAlCenter", "Center"}, {"meDiaAlRight", "Right"},
    {"meDiaAlJustified", "Justified"}, {"meDiaYes", "Yes"}, {"meDiaNo", "No"},
    {"meTkLeft", "Left"}, {"meTkCenter", "Center"}, {"meTkRight", "Right"},
    {"meTkDecimal", "Decimal"}, {"meSpacingMultiple", "multiple"},
    {"meSpacingAtLeast", "at least"}, {"meSpacingExact", "exactly"},
    {"mePaperCustom", "Custom Size"}, {"meWrongFormat", "File has wrong format!"},
    {"meReportTemplateErr", "Error in Report Template!"},
};

std::array<AnsiString, RtUIStringCount>& UIStrings()
{
    static std::array<AnsiString, RtUIStringCount> texts = [] {
        std::array<AnsiString, RtUIStringCount> t;
        for (int i = 0; i < RtUIStringCount; ++i)
            t[size_t(i)] = UIStringDefs[i].Text;
        return t;
    }();
    return texts;
}

void SaveOwnTexts()
{
    if (RtWriteTextCallback)
        for (int i = 0; i < RtUIStringCount; ++i)
            RtWriteTextCallback(AnsiString("RtString/") + UIStringDefs[i].Name, UIStrings()[size_t(i)]);
}

void LoadOwnTexts()
{
    if (RtReadTextCallback)
        for (int i = 0; i < RtUIStringCount; ++i) {
            AnsiString text;
            if (RtReadTextCallback(AnsiString("RtString/") + UIStringDefs[i].Name, text))
                UIStrings()[size_t(i)] = text;
        }
    const AnsiString& unit = UIStrings()[meDefaultUnit_INCH_or_CM];
    if (SameText(unit, "INCH"))
        RtDefaultUnitFlag = 1;
    else if (SameText(unit, "CM"))
        RtDefaultUnitFlag = 2;
}

}  // namespace

TRtLocalizeProc RtSaveTexts = nullptr;
TRtLocalizeProc RtLoadTexts = nullptr;
std::function<void(const AnsiString&, const AnsiString&)> RtWriteTextCallback;
std::function<bool(const AnsiString&, AnsiString&)> RtReadTextCallback;
int32_t RtDefaultUnitFlag = 2;
TRtLocalizeProc RtLanguageChanged = nullptr;
// The store's texts join the localisation chain at start and leave it at the end.
static TRtLocalizeLink<SaveOwnTexts, LoadOwnTexts>::TUnit LocalizeChain;

const AnsiString& GetRtUIString(TRtUIString Id) { return UIStrings()[std::min<size_t>(Id, RtUIStringCount - 1)]; }

void SetRtUIString(TRtUIString Id, const AnsiString& Text)
{
    if (Id < RtUIStringCount)
        UIStrings()[Id] = Text;
}

const char* RtUIStringName(TRtUIString Id) { return Id < RtUIStringCount ? UIStringDefs[Id].Name : ""; }

const AnsiString& GetUndoKindText(int32_t Kind)
{
    const int32_t level = Kind & 0x7F;
    if (level >= ulGraphic && level <= ulGraphicLast)
        return GetRtUIString(meutChangeGraphic);
    switch (level) {
    case ulNone: return GetRtUIString(meutNone);
    case ulInput: return GetRtUIString(meutInput);
    case ulDeletion: return GetRtUIString(meutDeleteText);
    case ulAttributes: return GetRtUIString(meutChangeAttributes);
    case ulIndent: return GetRtUIString(meutChangeIndent);
    case ulSpacing: return GetRtUIString(meutChangeSpacing);
    case ulAlignment: return GetRtUIString(meutChangeAlignment);
    case ulTabs: return GetRtUIString(meutChangeTabs);
    case ulBorders: return GetRtUIString(meutChangeBorder);
    case ulSelection: return GetRtUIString(meutDeleteSelection);
    case ulDragAndDrop: return GetRtUIString(meutDragAndDrop);
    case ulPaste: return GetRtUIString(meutPaste);
    case ulTable: return GetRtUIString(meutChangeTable);
    case ulStyle: return GetRtUIString(meutUpdateStyle);
    default: return GetRtUIString(meutAny);
    }
}

// ---- TCharacterAttr ------------------------------------------------------------------------------

void TCharacterAttr::Assign(const TCharacterAttr& Source)
{
    const TOneWrtStyle decorates = decorates_;
    auto event = std::move(OnChange);
    *this = Source;
    decorates_ = decorates;
    OnChange = std::move(event);
}

void TCharacterAttr::Fire(bool Layout)
{
    if (OnChange)
        OnChange(WrtStyle{decorates_}, Layout);
}

void TCharacterAttr::SetDoubleUnderline(bool V)
{
    if (V)
        underline_ = tsTRUE;
    SetState(doubleUnderline_, V, false);
}

void TCharacterAttr::SetUnderlineColor(TColor V)
{
    underlineColor_ = V;
    useUnderlineColor_ = true;
    Fire(false);
}

void TCharacterAttr::SetTextColor(TColor V)
{
    textColor_ = V;
    useTextColor_ = true;
    Fire(false);
}

void TCharacterAttr::SetBackgroundColor(TColor V)
{
    backgroundColor_ = V;
    useBackgroundColor_ = true;
    Fire(false);
}

void TCharacterAttr::SetUseUnderlineColor(bool V)
{
    if (useUnderlineColor_ == V)
        return;
    useUnderlineColor_ = V;
    if (underline_ == tsTRUE)
        Fire(false);
}

void TCharacterAttr::SetHotUnderlineColor(TColor V)
{
    hotUnderlineColor_ = V;
    UseHotUnderlineColor = true;
    HotStyleIsActive = true;
}

void TCharacterAttr::SetHotBackgroundColor(TColor V)
{
    hotBackgroundColor_ = V;
    UseHotBackgroundColor = true;
    HotStyleIsActive = true;
}

void TCharacterAttr::SetHotTextColor(TColor V)
{
    hotTextColor_ = V;
    UseHotTextColor = true;
    HotStyleIsActive = true;
}

void TCharacterAttr::SetHotEffect(TRtTextEffect V)
{
    hotEffect_ = V;
    if (V == rteffPopup)
        HotEffectColor = RtPlatform().SysColor(clBtnFace);
    else if (V == rteffOutline)
        HotEffectColor = 0x00FFFF;
    if (V != rteffNone)
        HotStyleIsActive = true;
}

// ---- component bases -----------------------------------------------------------------------------

TRtCustomRtfEditClass::~TRtCustomRtfEditClass() { SetRtStyleCollection(nullptr); }

void TRtCustomRtfEditClass::SetRtStyleCollection(TRtCustomStyleCollection* Collection)
{
    if (Collection == styleCollection_)
        return;
    if (styleCollection_) {
        auto& eds = styleCollection_->Editors;
        eds.erase(std::remove(eds.begin(), eds.end(), this), eds.end());
    }
    styleCollection_ = Collection;
    if (styleCollection_)
        styleCollection_->Editors.push_back(this);
}

TRtCustomStyleCollection::~TRtCustomStyleCollection()
{
    // The linked editors forget the collection (free notification).
    const auto editors = Editors;
    for (TRtCustomRtfEditClass* e : editors)
        e->SetRtStyleCollection(nullptr);
}

int32_t TRtCustomStyleCollection::IndexOfStyle(const AnsiString& Name) const
{
    for (size_t i = 0; i < Styles.size(); ++i)
        if (SameText(Styles[i].Name, Name))
            return int32_t(i);
    return -1;
}

int32_t TRtCustomStyleCollection::AddStyle(const TRtParStyle& Style)
{
    const int32_t i = IndexOfStyle(Style.Name);
    if (i >= 0) {
        TRtParStyle& s = Styles[size_t(i)];
        const AnsiString name = s.Name;
        s = Style;
        s.Name = name;
        return i;
    }
    Styles.push_back(Style);
    return int32_t(Styles.size() - 1);
}

// ---- writer output routines ------------------------------------------------------------------------

void TRtCustomTextWriter::PutDecimal(char*& P, int32_t Value)
{
    Value = std::clamp(Value, 0, 999999);
    char digits[8];
    int n = 0;
    do {
        digits[n++] = char('0' + Value % 10);
        Value /= 10;
    } while (Value > 0);
    while (n > 0)
        *P++ = digits[--n];
}

void TRtCustomTextWriter::PutHexByte(char*& P, int32_t Value)
{
    static constexpr char hex[] = "0123456789abcdef";
    *P++ = hex[(Value >> 4) & 15];
    *P++ = hex[Value & 15];
}

int32_t TRtCustomTextWriter::WriteHexData(const void* Data, int32_t Count)
{
    if (Count < 1 || !Stream)
        return 0;
    std::string text(size_t(Count) * 2, '\0');
    char* p = text.data();
    const auto* bytes = static_cast<const uint8_t*>(Data);
    for (int32_t i = 0; i < Count; ++i)
        PutHexByte(p, bytes[i]);
    return Stream->Write(text.data(), int32_t(text.size())) == int32_t(text.size()) ? 0 : 5;
}

TDefaultReaderWriter RtDefaultReaderWriter;

// ---- class registry -----------------------------------------------------------------------------------

namespace {
std::map<AnsiString, TRtClassFactory>& ClassRegistry()
{
    static std::map<AnsiString, TRtClassFactory> registry;
    return registry;
}
}  // namespace

void RegisterRtClass(const TRtClassRef& Class)
{
    ClassRegistry().emplace(Class.Name, Class.Create);
}

void RegisterRtClasses(std::initializer_list<TRtClassRef> Classes)
{
    for (const TRtClassRef& c : Classes)
        RegisterRtClass(c);
}

const TRtClassFactory* FindRtClass(const AnsiString& Name)
{
    const auto it = ClassRegistry().find(Name);
    return it == ClassRegistry().end() ? nullptr : &it->second;
}

// ---- reference printer --------------------------------------------------------------------------------

TRtReferencePrinter RtRefPrinter;

void ReleasePrinterInfo()
{
    RtRefPrinter.HasContext = false;
    RtRefPrinter.DeviceName.clear();
}

void ReadPrinterInfo(const AnsiString& PrinterName)
{
    RtRefPrinter.NoPrinter = RtPlatform().NoPrinters();
    if (RtRefPrinter.NoPrinter)
        return;
    ReleasePrinterInfo();
    if (SameText(PrinterName, "none"))
        return;
    QPrinterInfo info = PrinterName.empty() ? QPrinterInfo::defaultPrinter()
                                            : QPrinterInfo::printerInfo(fromAnsi(PrinterName));
    if (info.isNull())
        info = QPrinterInfo::defaultPrinter();
    if (info.isNull() || info.printerName().isEmpty()) {
        RtRefPrinter.NoPrinter = true;
        return;
    }
    QPrinter printer(info, QPrinter::HighResolution);
    RtRefPrinter.XRes = printer.resolution();
    RtRefPrinter.YRes = printer.resolution();
    RtRefPrinter.DeviceName = toAnsi(info.printerName());
    RtRefPrinter.HasContext = RtRefPrinter.XRes > 0;
}

void UpdatePrinterInfo() { ReadPrinterInfo(AnsiString()); }

// ---- character conversion ------------------------------------------------------------------------------

namespace {

// The symbol fonts' characters as Unicode. WingDings bullets become marks that
// common fonts carry; the Symbol font's Greek and mathematical characters map
// to their Unicode counterparts.
char32_t SymbolToUnicode(uint8_t Ch, const AnsiString& FontName)
{
    if (SameText(FontName, "wingdings")) {
        switch (Ch) {
        case 'l': return U'\u25CF';  // black circle
        case 'n': return U'\u25A0';  // black square
        case 'p': return U'\u25A1';  // white square
        case 'q': return U'\u2751';  // shadowed white square
        case 'u': return U'\u25C6';  // black diamond
        case 'v': return U'\u2756';  // black diamond minus white x
        case 0xA7: return U'\u25AA'; // small black square
        case 0xD8: return U'\u27A2';  // arrowhead
        case 0xFC: return U'\u2714';  // check mark
        default: return U'\u2022';
        }
    }
    static constexpr char32_t greekUpper[26] = {
        U'\u0391', U'\u0392', U'\u03A7', U'\u0394', U'\u0395', U'\u03A6', U'\u0393', U'\u0397', U'\u0399',
        U'\u03D1', U'\u039A', U'\u039B', U'\u039C', U'\u039D', U'\u039F', U'\u03A0', U'\u0398', U'\u03A1',
        U'\u03A3', U'\u03A4', U'\u03A5', U'\u03C2', U'\u03A9', U'\u039E', U'\u03A8', U'\u0396'};
    static constexpr char32_t greekLower[26] = {
        U'\u03B1', U'\u03B2', U'\u03C7', U'\u03B4', U'\u03B5', U'\u03C6', U'\u03B3', U'\u03B7', U'\u03B9',
        U'\u03D5', U'\u03BA', U'\u03BB', U'\u03BC', U'\u03BD', U'\u03BF', U'\u03C0', U'\u03B8', U'\u03C1',
        U'\u03C3', U'\u03C4', U'\u03C5', U'\u03D6', U'\u03C9', U'\u03BE', U'\u03C8', U'\u03B6'};
    if (Ch >= 'A' && Ch <= 'Z')
        return greekUpper[Ch - 'A'];
    if (Ch >= 'a' && Ch <= 'z')
        return greekLower[Ch - 'a'];
    switch (Ch) {
    case 0x22: return U'\u2200';
    case 0x24: return U'\u2203';
    case 0x27: return U'\u220B';
    case 0x2A: return U'\u2217';
    case 0x2D: return U'\u2212';
    case 0x40: return U'\u2245';
    case 0x5C: return U'\u2234';
    case 0x5E: return U'\u22A5';
    case 0x7E: return U'\u223C';
    case 0xA5: return U'\u221E';
    case 0xAE: return U'\u2192';
    case 0xB0: return U'\u00B0';
    case 0xB1: return U'\u00B1';
    case 0xB4: return U'\u00D7';
    case 0xB7: return U'\u2022';
    case 0xB8: return U'\u00F7';
    case 0xB9: return U'\u2260';
    case 0xBA: return U'\u2261';
    case 0xBB: return U'\u2248';
    case 0xD6: return U'\u221A';
    case 0xE5: return U'\u2211';
    default: return Ch < 0x80 ? char32_t(Ch) : U'\u2022';
    }
}

}  // namespace

bool IsSymbolFontName(const AnsiString& Name)
{
    static const char* const names[] = {"wingdings", "webdings", "symbol"};
    const AnsiString n = LowerCase(Name);
    for (const char* s : names)
        if (n == s)
            return true;
    return false;
}

char32_t RtCharToUnicode(uint8_t Ch, int32_t Charset, const AnsiString& FontName)
{
    if (Charset == SYMBOL_CHARSET)
        return SymbolToUnicode(Ch, FontName);
    return CharsetCharToUnicode(Charset, Ch);
}

// ---- start-up values -------------------------------------------------------------------------------------

uint8_t RtFieldStart = 171;
uint8_t RtFieldEnd = 187;
char RtDefaultBulletChar = 'l';
AnsiString RtDefaultBulletFont = "WingDings";
int32_t RtDefaultFontSize = 10;
int32_t RtDefaultWidthCacheCount = 1;
char RtDecimalSeparator = 0;
int32_t RtPaintDefault1 = 50;
int32_t RtPaintDefault2 = 255;
bool RtHideInsertPoints = false;
bool RtEditorBusy = false;
TColor RtObjectHandleColor = clBlack;

const std::array<uint32_t, 32> RtBitMask = [] {
    std::array<uint32_t, 32> m{};
    for (size_t i = 0; i < 32; ++i)
        m[i] = 1u << i;
    return m;
}();

const std::array<bool, 256> RtWordDelimiter = [] {
    std::array<bool, 256> t{};
    for (int c = 0; c < 256; ++c)
        t[size_t(c)] = c < 65 && !(c >= '0' && c <= '9');
    return t;
}();

const std::array<uint8_t, 256> RtWordClass = [] {
    std::array<uint8_t, 256> t{};
    for (int c = 0; c < 256; ++c)
        t[size_t(c)] = (c >= 0x41 || (c >= '0' && c <= '9')) ? 0 : 1;
    return t;
}();

const std::array<uint8_t, 256> RtCharMap = [] {
    std::array<uint8_t, 256> t{};
    for (int c = 0; c < 256; ++c)
        t[size_t(c)] = uint8_t(c);
    return t;
}();

const std::array<int8_t, 256> RtHexValue = [] {
    std::array<int8_t, 256> t{};
    t.fill(-1);
    for (int c = '0'; c <= '9'; ++c)
        t[size_t(c)] = int8_t(c - '0');
    for (int c = 'A'; c <= 'F'; ++c)
        t[size_t(c)] = t[size_t(c + 32)] = int8_t(c - 'A' + 10);
    return t;
}();
