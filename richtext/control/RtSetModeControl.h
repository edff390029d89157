#pragma once
// TRtSetModeControl: reads and changes the attributes at the cursor of a rich
// text: the character attributes of the selection or the insert point and the
// paragraph attributes of the selected paragraphs. Every setter stores its
// value, marks it in a change mask and applies the masks through the engine,
// unless an update lock is held. Also the colour-index conversion.
#include "RtRtfTxtInput.h"

#include <functional>

LUMI_EXCEPTION(EInvalidRtColor, Exception)

// Paragraph change-mask bits are the engine's pam... bits; character ones:
constexpr uint32_t cmFont = 1, cmSize = 2, cmColor = 16, cmBKColor = 32, cmAddStyle = 64, cmStyle = 128;

class TRtSetModeControl : public TObject {
public:
    LUMI_CLASSNAME(TRtSetModeControl)
    explicit TRtSetModeControl(TRtRTFTextInput* Engine);

    void Assign(const TRtSetModeControl& Source);
    void BeginUpdate() { ++updateLock_; }
    void EndUpdate();
    // Copies the given records into the control (either may be absent).
    void LoadAttributes(const TParagraph* Par, const TAttr* Attr);
    // Reloads both from the engine's cursor paragraph and current attribute.
    void Reload();

    WrtStyle Style() const { return attr_.Style; }
    void SetStyle(WrtStyle V);
    void AddStyle(WrtStyle Bits);
    TParAlign Alignment() const { return TParAlign(par_.Alignment); }
    void SetAlignment(TParAlign V);
    TParVertAlign VertAlignment() const { return TParVertAlign(par_.VertAlignment); }
    void SetVertAlignment(TParVertAlign V);
    // With colour indices (16-colour mode) the text colour is the low half of
    // the colour byte and the background the high half; otherwise whole bytes.
    int32_t Color() const;
    void SetColor(int32_t V);
    int32_t BKColor() const;
    void SetBKColor(int32_t V);
    AnsiString FontName() const;
    void SetFontName(const AnsiString& V);
    int32_t FontNr() const { return attr_.Font; }
    void SetFontNr(int32_t V);
    int32_t Size() const { return attr_.Size ? attr_.Size : RtDefaultFontSize; }
    void SetSize(int32_t V);
    int32_t ParColor() const;
    void SetParColor(int32_t V);
    int32_t ParShading() const { return par_.ParShading; }
    void SetParShading(int32_t V);
    int32_t IndentLeft() const { return par_.IndentLeft; }
    void SetIndentLeft(int32_t V) { SetPar(pamIndentLeft, [&] { par_.IndentLeft = V; }); }
    int32_t IndentRight() const { return par_.IndentRight; }
    void SetIndentRight(int32_t V) { SetPar(pamIndentRight, [&] { par_.IndentRight = V; }); }
    int32_t IndentFirst() const { return par_.IndentFirst; }
    void SetIndentFirst(int32_t V) { SetPar(pamIndentFirst, [&] { par_.IndentFirst = V; }); }
    int32_t SpaceBefore() const { return par_.SpaceBefore; }
    void SetSpaceBefore(int32_t V) { SetPar(pamSpaceBefore, [&] { par_.SpaceBefore = V; }); }
    int32_t SpaceAfter() const { return par_.SpaceAfter; }
    void SetSpaceAfter(int32_t V) { SetPar(pamSpaceAfter, [&] { par_.SpaceAfter = V; }); }
    int32_t SpaceBetween() const { return par_.SpaceBetween; }
    void SetSpaceBetween(int32_t V) { SetPar(pamSpaceBetween, [&] { par_.SpaceBetween = V; }); }
    bool MultSpaceBetween() const { return par_.MultSpaceBetween; }
    void SetMultSpaceBetween(bool V) { SetPar(pamMultSpaceBetween, [&] { par_.MultSpaceBetween = V; }); }
    bool ParProtect() const { return par_.ParProtect; }
    void SetParProtect(bool V) { SetPar(pamParProtect, [&] { par_.ParProtect = V; }); }
    bool ParKeep() const { return par_.ParKeep; }
    void SetParKeep(bool V) { SetPar(pamParKeep, [&] { par_.ParKeep = V; }); }
    bool ParKeepNext() const { return par_.ParKeepNext; }
    void SetParKeepNext(bool V) { SetPar(pamParKeepNext, [&] { par_.ParKeepNext = V; }); }
    uint32_t ParId() const { return par_.ParId; }
    void SetParId(uint32_t V) { SetPar(pamParId, [&] { par_.ParId = V; }); }
    uint64_t Tabs() const { return tabs_; }
    void SetTabs(uint64_t V) { SetPar(pamTabStops, [&] { tabs_ = V; }); }
    // Numbering: the style number of the paragraphs, their level and the outline kind.
    int32_t NumberStyle() const { return par_.NumberStyle; }
    void SetNumberStyle(int32_t V) { SetPar(pamNumberStyle, [&] { par_.NumberStyle = V; }); }
    int32_t OutlineLevel() const { return par_.NumberLevel; }
    void SetOutlineLevel(int32_t V) { SetPar(pamNumberLevel, [&] { par_.NumberLevel = V; }); }
    TRtNumberStyle OutlineStyle() const;
    void SetOutlineStyle(TRtNumberStyle V);
    bool OutlineMode() const { return outlineMode_; }
    void SetOutlineMode(bool V);
    // The number the cursor paragraph's numbering starts at (0: it continues);
    // setting changes that paragraph at once, with an undo record.
    int32_t NumberStart() const { return numberStart_; }
    void SetNumberStart(int32_t V);
    // The numbering style of the paragraphs (null: none); setting takes the
    // text's style equal to the given one, added when missing.
    const TRtRTFNumberingStyle* ExNumberStyle() const;
    void SetExNumberStyle(const TRtRTFNumberingStyle& V);
    // The paragraph style by name, through the rich text's style collection;
    // an empty name removes the style, a name the collection lacks changes nothing.
    AnsiString StyleName() const;
    void SetStyleName(const AnsiString& V);
    // The current table cell's name, command and format, and its table's name
    // (empty outside tables, where setting them changes nothing).
    AnsiString CellName() const { return cell_.Name; }
    void SetCellName(const AnsiString& V);
    AnsiString CellCommand() const { return cell_.Command; }
    void SetCellCommand(const AnsiString& V);
    int32_t CellFormat() const { return cell_.FormatNr; }
    void SetCellFormat(int32_t V);
    AnsiString TableName() const { return tableName_; }
    void SetTableName(const AnsiString& V);
    void IncLevel() { SetPar(pamNextLevel, [] {}); }
    void DecLevel() { SetPar(pamPriorLevel, [] {}); }

    // The colour of a colour-table index, and the index of a colour (added to
    // the table when it has room); Raise: EInvalidRtColor when it cannot be mapped.
    TColor IndexToColor(int32_t Index) const;
    bool ColorToIndex(TColor Colour, int32_t& Index, bool Raise);

    TRtRTFTextInput* Engine;
    // Fired after an application with the reloaded values (the component's attribute events).
    TNotifyEvent OnApplied;
    uint32_t ParMask = 0, CharMask = 0;
    bool Applying = false;
    bool ReloadChar = true, ReloadPar = true;

private:
    template <class F>
    void SetPar(uint32_t Bit, F Store)
    {
        Store();
        ParMask |= Bit;
        Apply();
    }
    void SetChar(uint32_t Bit);
    bool InCell() const;
    void SetCell(uint32_t Mask, const TRtCellValues& Values);
    TRtCustomStyleCollection* Styles() const;
    void Apply();
    bool SixteenColours() const { return !Engine->Use256Colors; }

    TAttr attr_;
    TRtParAttrValues par_;
    uint64_t tabs_ = 0;
    int32_t numberStart_ = 0;
    TRtCellValues cell_;
    AnsiString tableName_;
    bool outlineMode_ = false;
    int32_t updateLock_ = 0;
};
