#include "RtSetModeControl.h"

#include "RtList.h"
#include "RtfEdit.h"
#include "RtNumbering.h"

TRtSetModeControl::TRtSetModeControl(TRtRTFTextInput* Engine) : Engine(Engine) {}

void TRtSetModeControl::EndUpdate()
{
    if (updateLock_ > 0 && --updateLock_ == 0)
        Apply();
}

void TRtSetModeControl::Assign(const TRtSetModeControl& Source)
{
    BeginUpdate();
    SetAlignment(Source.Alignment());
    SetTabs(Source.Tabs());
    SetColor(Source.Color());
    SetBKColor(Source.BKColor());
    SetFontName(Source.FontName());
    SetOutlineLevel(Source.OutlineLevel());
    SetNumberStyle(Source.NumberStyle());
    SetOutlineMode(Source.OutlineMode());
    SetSize(Source.Size());
    SetStyle(Source.Style());
    SetVertAlignment(Source.VertAlignment());
    SetParColor(Source.ParColor());
    SetParShading(Source.ParShading());
    SetIndentLeft(Source.IndentLeft());
    SetIndentRight(Source.IndentRight());
    SetIndentFirst(Source.IndentFirst());
    SetSpaceBefore(Source.SpaceBefore());
    SetSpaceAfter(Source.SpaceAfter());
    SetSpaceBetween(Source.SpaceBetween());
    SetMultSpaceBetween(Source.MultSpaceBetween());
    SetParProtect(Source.ParProtect());
    SetParKeep(Source.ParKeep());
    SetParKeepNext(Source.ParKeepNext());
    EndUpdate();
}

void TRtSetModeControl::LoadAttributes(const TParagraph* Par, const TAttr* Attr)
{
    if (Attr)
        attr_ = *Attr;
    if (Par) {
        par_.IndentLeft = Par->IndentLeft;
        par_.IndentRight = Par->IndentRight;
        par_.IndentFirst = Par->IndentFirst;
        par_.SpaceBefore = Par->SpaceBefore;
        par_.SpaceAfter = Par->SpaceAfter;
        par_.SpaceBetween = Par->SpaceBetween;
        par_.MultSpaceBetween = (Par->Flags & parfMultSpaceBetween) != 0;
        par_.Alignment = Par->Align;
        par_.VertAlignment = (Par->Flags & parfCellVCenter)   ? paralVertCenter
                             : (Par->Flags & parfCellVBottom) ? paralVertBottom
                                                              : paralVertTop;
        par_.ParColor = Par->Color;
        par_.ParShading = Par->Shading;
        par_.NumberStyle = Par->Number;
        par_.NumberLevel = Par->NumLevel;
        par_.ParId = Par->ParId;
        par_.ParKeep = (Par->Flags & parfKeepTogether) != 0;
        par_.ParKeepNext = (Par->Flags & parfKeepWithNext) != 0;
        par_.ParProtect = (Par->Flags & parfProtected) != 0;
        par_.StyleIndex = Par->StyleIndex;
        tabs_ = Par->Tabs;
        numberStart_ = Par->NumberExtra;
        outlineMode_ = (Par->Flags & parfIsOutline) != 0;
        cell_ = TRtCellValues{};
        tableName_.clear();
        if (const TRtCell* c = Par->Cell; c && (Par->Flags & parfTableCell)) {
            cell_.Name = c->Name;
            cell_.Command = c->Command;
            cell_.FormatNr = c->FormatNr;
            if (TRtTableItem* table = c->TableId > 0 ? Engine->TableList()->GetTable(c->TableId) : nullptr)
                tableName_ = table->Name;
        }
    }
}

void TRtSetModeControl::Reload()
{
    LoadAttributes(Engine->CursorPar, &Engine->CurrentAttr);
    ReloadChar = ReloadPar = false;
}

void TRtSetModeControl::SetChar(uint32_t Bit)
{
    CharMask |= Bit;
    Apply();
}

void TRtSetModeControl::SetStyle(WrtStyle V)
{
    attr_.Style = V;
    SetChar(cmStyle);
}

void TRtSetModeControl::AddStyle(WrtStyle Bits)
{
    attr_.Style = Bits;
    SetChar(cmAddStyle);
}

void TRtSetModeControl::SetAlignment(TParAlign V)
{
    SetPar(pamAlignment, [&] { par_.Alignment = V; });
}

void TRtSetModeControl::SetVertAlignment(TParVertAlign V)
{
    SetPar(pamVertAlignment, [&] { par_.VertAlignment = V; });
}

int32_t TRtSetModeControl::Color() const { return SixteenColours() ? attr_.TextColor & 15 : attr_.TextColor; }

void TRtSetModeControl::SetColor(int32_t V)
{
    attr_.TextColor = SixteenColours() ? uint8_t((attr_.TextColor & 0xF0) | (V & 15)) : uint8_t(V);
    SetChar(cmColor);
}

int32_t TRtSetModeControl::BKColor() const { return SixteenColours() ? attr_.TextColor >> 4 : attr_.BGColor; }

void TRtSetModeControl::SetBKColor(int32_t V)
{
    if (SixteenColours())
        attr_.TextColor = uint8_t((attr_.TextColor & 15) | ((V & 15) << 4));
    else
        attr_.BGColor = uint8_t(V);
    SetChar(cmBKColor);
}

AnsiString TRtSetModeControl::FontName() const
{
    return attr_.Font > 254 ? AnsiString() : Engine->Header()->GetFontName(attr_.Font);
}

void TRtSetModeControl::SetFontName(const AnsiString& V)
{
    if (V.empty())
        return;
    SetFontNr(Engine->Header()->GetTextFontIndex(V));
}

void TRtSetModeControl::SetFontNr(int32_t V)
{
    if (V < 0 || V > 255)
        return;
    attr_.Font = uint16_t(V);
    SetChar(cmFont);
}

void TRtSetModeControl::SetSize(int32_t V)
{
    attr_.Size = uint16_t(std::clamp(V, 1, 1638));
    SetChar(cmSize);
}

int32_t TRtSetModeControl::ParColor() const { return SixteenColours() ? par_.ParColor >> 4 : par_.ParColor; }

void TRtSetModeControl::SetParColor(int32_t V)
{
    SetPar(pamParColor, [&] { par_.ParColor = SixteenColours() ? uint8_t((V & 15) << 4) : uint8_t(V); });
}

void TRtSetModeControl::SetParShading(int32_t V)
{
    SetPar(pamParShading, [&] { par_.ParShading = uint8_t(std::clamp(V, 0, 100)); });
}

TRtNumberStyle TRtSetModeControl::OutlineStyle() const
{
    if (par_.NumberStyle == 0)
        return rt_none;
    const TRtRTFNumberingStyle* s = Engine->NumberingStyles()->FindStyle(par_.NumberStyle, par_.NumberLevel);
    return s ? s->Style : rt_none;
}

void TRtSetModeControl::SetOutlineStyle(TRtNumberStyle V)
{
    int32_t number = 0;
    if (V == rt_bullet)
        number = Engine->NumberingStyles()->FindOrAddStyle(V, AnsiString(1, RtDefaultBulletChar), 0, 0, false, 0,
                                                           360, RtDefaultBulletFont, "");
    else if (V != rt_none)
        number = Engine->NumberingStyles()->FindOrAddStyle(V, "", 0, 0, false, 0, 360, "", ".");
    SetNumberStyle(number);
}

void TRtSetModeControl::SetOutlineMode(bool V)
{
    outlineMode_ = V;
    if (TParagraph* p = Engine->CursorPar) {
        p->Flags = V ? p->Flags | parfIsOutline : p->Flags & ~parfIsOutline;
        Engine->MarkChanged(p);
        if (updateLock_ == 0)
            Engine->UpdateNumbering();
    }
}

void TRtSetModeControl::SetNumberStart(int32_t V)
{
    numberStart_ = std::clamp(V, 0, 65535);
    // A step of its own in the undo history.
    Engine->NewUndoLevel();
    Engine->SetNumberStart(numberStart_);
    Engine->ReformatText(nullptr);
    Engine->Refresh();
}

const TRtRTFNumberingStyle* TRtSetModeControl::ExNumberStyle() const
{
    return par_.NumberStyle ? Engine->NumberingStyles()->FindStyle(par_.NumberStyle, par_.NumberLevel) : nullptr;
}

void TRtSetModeControl::SetExNumberStyle(const TRtRTFNumberingStyle& V)
{
    SetNumberStyle(Engine->NumberingStyles()->FindOrAddStyle(V.Style, V.TextB, V.LevelInGroup, V.Group, V.UsePrev,
                                                             V.Size, V.Indent, V.Font, V.TextA));
}

TRtCustomStyleCollection* TRtSetModeControl::Styles() const
{
    return Engine->OwnerControl ? Engine->OwnerControl->RtStyleCollection() : nullptr;
}

AnsiString TRtSetModeControl::StyleName() const
{
    const TRtCustomStyleCollection* styles = Styles();
    const int32_t i = par_.StyleIndex - 1;
    return styles && i >= 0 && i < int32_t(styles->Styles.size()) ? styles->Styles[size_t(i)].Name : AnsiString();
}

void TRtSetModeControl::SetStyleName(const AnsiString& V)
{
    const TRtCustomStyleCollection* styles = Styles();
    const int32_t i = V.empty() || !styles ? -1 : styles->IndexOfStyle(V);
    if (!V.empty() && i < 0)
        return;
    SetPar(pamStyleName, [&] { par_.StyleIndex = i + 1; });
}

bool TRtSetModeControl::InCell() const
{
    return Engine->CursorPar && (Engine->CursorPar->Flags & parfTableCell) && Engine->CursorPar->Cell;
}

void TRtSetModeControl::SetCell(uint32_t Mask, const TRtCellValues& Values)
{
    if (!InCell())
        return;
    Engine->SetCellProperties(Values, Mask);
    Reload();
}

void TRtSetModeControl::SetCellName(const AnsiString& V)
{
    TRtCellValues v;
    v.Name = V;
    SetCell(1, v);
}

void TRtSetModeControl::SetCellCommand(const AnsiString& V)
{
    TRtCellValues v;
    v.Command = V;
    SetCell(2, v);
}

void TRtSetModeControl::SetCellFormat(int32_t V)
{
    TRtCellValues v;
    v.FormatNr = V;
    SetCell(4, v);
}

void TRtSetModeControl::SetTableName(const AnsiString& V)
{
    const TRtCell* c = InCell() ? Engine->CursorPar->Cell : nullptr;
    if (TRtTableItem* table = c && c->TableId > 0 ? Engine->TableList()->GetTable(c->TableId) : nullptr) {
        table->Name = V;
        tableName_ = V;
    }
}

void TRtSetModeControl::Apply()
{
    if (updateLock_ > 0)
        return;
    Applying = true;
    const bool changed = ParMask != 0 || CharMask != 0;
    // One undo step of its own for both masks.
    if (changed) {
        Engine->NewUndoLevel();
        Engine->BeginUndoGroup();
    }
    if (ParMask)
        Engine->ChangeSelParAttr(par_, &tabs_, ParMask);
    if (CharMask)
        Engine->ChangeSelCharAttr(attr_, CharMask);
    if (ParMask & pamStyleName) {
        const TRtCustomStyleCollection* styles = Styles();
        const int32_t i = par_.StyleIndex - 1;
        if (styles && i >= 0 && i < int32_t(styles->Styles.size())) {
            Engine->ApplyParStyle(styles->Styles[size_t(i)]);
            // Typing goes on in the style's attributes.
            auto* edit = dynamic_cast<TRtCustomRtfEdit*>(Engine->OwnerControl);
            if (edit && !Engine->HasCompleteSelection())
                edit->TakeCursorAttr();
        }
    }
    if (changed) {
        Engine->EndUndoGroup();
        if (ParMask & 0x200F0000)
            Engine->UpdateNumbering();
        Engine->ReformatText(nullptr);
        Engine->ShowCursor();
        Engine->Refresh();
        Reload();
        if (OnApplied)
            OnApplied(this);
    }
    ParMask = CharMask = 0;
    ReloadChar = ReloadPar = true;
    Applying = false;
}

TColor TRtSetModeControl::IndexToColor(int32_t Index) const { return Engine->Header()->GetColor(Index); }

bool TRtSetModeControl::ColorToIndex(TColor Colour, int32_t& Index, bool Raise)
{
    const bool ok = Engine->Header()->GetColorIndex(Colour, !SixteenColours(), Index);
    if (!ok && Raise)
        throw EInvalidRtColor(GetRtUIString(mePaletteCompletelyUsed));
    return ok;
}
