#include "RtRtfReader.h"

#include "RtfKeywords.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr TRtSet<TOneWrtStyle> ClearedByPlain{};

bool SameTextAscii(const AnsiString& a, const char* b) { return SameText(a, AnsiString(b)); }

int16_t Clamp16(int32_t v) { return int16_t(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX)); }

} // namespace

TRtRtfReader::TRtRtfReader()
{
    FontMap.fill(-1);
}

TRtRtfReader::~TRtRtfReader() = default;

int32_t TRtRtfReader::Parse(TStream* Stream, TParagraph*& FirstPar)
{
    Dest = rdText;
    Ignorable = false;
    Depth = SkippedDepth = 0;
    Started = Stop = false;
    Groups.clear();
    UnicodeSkip = 1;
    SkipChars = 0;
    FirstPar = StartParse(Stream, 400);
    CurrentPar->Flags &= ~(parfNoLines | parfProtected | parfObjectPar | parfObjectPar2);
    LineCapacity = 60;
    Text->BeginProgress(int32_t(std::min<int64_t>(Stream->Remaining(), INT32_MAX)));
    Run();
    FinishRead();
    In.SyncStream();
    Text->EndProgress();
    return 0;
}

void TRtRtfReader::Run()
{
    TRtfLexer lex(In);
    TRtfToken t;
    while (!Stop && lex.Next(t) != rttEnd) {
        HandleToken(t);
        if (Started && Depth == 0)
            break;
    }
}

void TRtRtfReader::HandleToken(const TRtfToken& t)
{
    switch (t.Kind) {
    case rttGroupOpen:
        SkipChars = 0;
        OpenGroup();
        Started = true;
        return;
    case rttGroupClose:
        SkipChars = 0;
        CloseGroup();
        return;
    case rttWord:
        if (SkippedDepth > 0)
            return;
        if (SkipChars > 0) {
            --SkipChars;
            return;
        }
        HandleControlWord(t);
        return;
    case rttChar:
        if (SkippedDepth > 0)
            return;
        if (SkipChars > 0) {
            --SkipChars;
            return;
        }
        if (!t.Escaped && Dest == rdPicture) {
            const int d = RtfHexDigit(t.Char);
            if (d < 0)
                return; // blanks between the hexadecimal digits
            if (PicNibble < 0)
                PicNibble = d;
            else {
                const uint8_t b = uint8_t(PicNibble * 16 + d);
                Picture->WriteBuffer(&b, 1);
                PicNibble = -1;
            }
            return;
        }
        if (!t.Escaped && (Dest == rdText || Dest == rdFieldInst || Dest == rdHeader || Dest == rdFooter))
            AddChar(t.Char);
        else
            HandleCharacter(t.Char);
        return;
    case rttEnd:
        return;
    }
}

void TRtRtfReader::OpenGroup()
{
    if (SkippedDepth > 0 || Depth >= MaxGroupDepth) {
        ++SkippedDepth;
        ++Depth;
        return;
    }
    TGroup g;
    g.Attr = CurrentAttr;
    g.Template = ParTemplate;
    g.Dest = Dest;
    g.UnicodeSkip = UnicodeSkip;
    g.InRow = InRow;
    Groups.push_back(std::move(g));
    ++Depth;
}

void TRtRtfReader::CloseGroup()
{
    if (SkippedDepth > 0) {
        --SkippedDepth;
        --Depth;
        return;
    }
    if (Groups.empty()) {
        --Depth;
        Stop = true;
        return;
    }
    TGroup& g = Groups.back();
    if (Dest != g.Dest) {
        if (Dest == rdPicture) {
            ReadPictureData();
            Picture.reset();
        }
        EndDestination(Dest);
    }
    CurrentAttr = g.Attr;
    ParTemplate = std::move(g.Template);
    Dest = g.Dest;
    UnicodeSkip = g.UnicodeSkip;
    InRow = g.InRow;
    Groups.pop_back();
    --Depth;
}

void TRtRtfReader::HandleControlWord(const TRtfToken& Word)
{
    const std::string_view name = Word.WordName();
    if (name.size() == 1 && (name[0] == '{' || name[0] == '}' || name[0] == '~')) {
        const int32_t ch = name[0] == '~' ? 32 : name[0];
        if (Dest == rdText || Dest == rdFieldInst || Dest == rdHeader || Dest == rdFooter)
            AddChar(ch);
        else
            HandleCharacter(ch);
        Ignorable = false;
        return;
    }
    const TRtfKeyword* k = FindRtfKeyword(name);
    if (!k) {
        if (Ignorable)
            Dest = rdSkip;
        Ignorable = false;
        return;
    }
    Ignorable = false;
    switch (k->Kind) {
    case rtfkChar:
        HandleCharacter(k->Code);
        break;
    case rtfkDestination:
        HandleDestination(k->Code, k->Parameter(Word.Value, Word.HasValue));
        break;
    case rtfkProperty:
        HandleProperty(name, k->Code, k->Parameter(Word.Value, Word.HasValue));
        break;
    case rtfkSpecial:
        HandleSpecial(k->Code);
        break;
    }
}

void TRtRtfReader::HandleSpecial(int32_t Code)
{
    if (Dest == rdSkip)
        return;
    if (Code == 3)
        Ignorable = true;
}

void TRtRtfReader::HandleDestination(int32_t Code, int32_t Value)
{
    if (Dest == rdSkip)
        return;
    switch (Code) {
    case 1: // fldedit
        Dest = rdText;
        break;
    case 3: // pict
        if (Dest == rdShapeResult)
            Dest = rdSkip;
        else {
            Picture = std::make_unique<TMemoryStream>();
            PicNibble = -1;
            Dest = rdPicture;
        }
        break;
    case 4:
        Dest = rdFontTable;
        FontNr = -1;
        FontName.clear();
        break;
    case 5:
        Dest = rdColorTable;
        ColorCount = 0;
        Red = Green = Blue = 0;
        ColorSet = false;
        break;
    case 10: // field
        if (Text->Header()->RichText) {
            Dest = rdField;
            FieldInst.clear();
            FieldHyperlink = false;
            FieldTarget.clear();
            FieldResult.clear();
        }
        break;
    case 17: // fldinst
        if (Text->Header()->RichText) {
            Dest = rdFieldInst;
            FieldAttr = CurrentAttr;
            FieldInst.clear();
        }
        break;
    case 35: { // bin: raw bytes, never passed through the tokenizer
        const int64_t count = std::max<int32_t>(0, Value);
        In.Pass(count, Dest == rdPicture ? Picture.get() : nullptr);
        break;
    }
    case rtfdFieldResult: // the result keeps the field's destination
        break;
    case 43: // shprslt
        Dest = rdShapeResult;
        break;
    case 44: // do
        break;
    case 160: // pntext, listtext
        Dest = Header->KeepNumberingText ? rdText : rdSkip;
        break;
    default:
        Dest = rdSkip;
        break;
    }
}

void TRtRtfReader::HandleCharacter(int32_t Ch)
{
    switch (Dest) {
    case rdText:
    case rdHeader:
    case rdFooter:
    case rdShapeResult:
    case rdFieldInst:
        AddChar(Ch);
        break;
    case rdField: {
        // The visible result of a field.
        if (FieldHyperlink) {
            FieldResult += char(Ch);
            const TAttr keep = CurrentAttr;
            CurrentAttr.Style.Include(afsHyperLink);
            AddChar(Ch);
            CurrentAttr = keep;
        } else
            AddChar(Ch);
        break;
    }
    case rdFontTable:
        if (Ch == ';')
            EndFontEntry();
        else if (Ch != ' ' || !FontName.empty())
            FontName += char(Ch);
        break;
    case rdColorTable:
        if (Ch == ';')
            EndColorEntry();
        break;
    case rdPicture:
        if (Picture) {
            const uint8_t b = uint8_t(Ch);
            Picture->WriteBuffer(&b, 1);
        }
        break;
    default:
        break;
    }
}

void TRtRtfReader::AddChar(int32_t Ch)
{
    if (Dest == rdFieldInst) {
        if (Ch >= 11 && (Ch != ' ' || !FieldInst.empty()))
            FieldInst += char(Ch);
        return;
    }
    if (Ch == 1010)
        Ch = 10;
    else if (Ch == 13 || Ch == 10 || Ch < 1 || Ch > 255)
        return;
    TAttr a = CurrentAttr;
    if (Ch == 1)
        a.Style.Include(afsIsObject);
    if (Automatic)
        a.Style.Include(afsAutomatic);
    if (Hyphen) {
        a.Style.Include(afsHyphen);
        Hyphen = false;
    }
    PutChar(uint8_t(Ch), a);
}

void TRtRtfReader::AddHiddenText(const AnsiString& S)
{
    const TAttr keep = CurrentAttr;
    CurrentAttr.Style.Include(afsHidden);
    CurrentAttr.Style.Exclude(afsHyperLink);
    for (char c : S)
        AddChar(uint8_t(c));
    CurrentAttr = keep;
}

void TRtRtfReader::EndDestination(TRtfDestination D)
{
    switch (D) {
    case rdFieldInst:
        ParseFieldInstruction();
        break;
    case rdField:
        // The target follows as hidden text unless it is the visible text itself.
        if (FieldHyperlink && !FieldTarget.empty() && FieldTarget != FieldResult)
            AddHiddenText(FieldTarget);
        FieldHyperlink = false;
        FieldTarget.clear();
        FieldResult.clear();
        break;
    default:
        break;
    }
}

void TRtRtfReader::ParseFieldInstruction()
{
    const AnsiString inst = Trim(FieldInst);
    FieldInst.clear();
    // The first argument: quoted, or up to a blank.
    auto argument = [](const AnsiString& rest) {
        const AnsiString r = TrimLeft(rest);
        if (!r.empty() && r[0] == '"') {
            const size_t end = r.find('"', 1);
            return r.substr(1, end == AnsiString::npos ? AnsiString::npos : end - 1);
        }
        return r.substr(0, r.find(' '));
    };
    if (inst.rfind("HYPERLINK ", 0) == 0) {
        FieldHyperlink = true;
        FieldTarget = argument(inst.substr(10));
    } else if (inst.rfind("SYMBOL ", 0) == 0) {
        const int32_t code = StrToIntDef(argument(inst.substr(7)), 0);
        const TAttr keep = CurrentAttr;
        const size_t f = inst.find("\\f ");
        if (f != AnsiString::npos) {
            const AnsiString font = argument(inst.substr(f + 3));
            if (!font.empty() && !Header->KeepFontsFixed)
                CurrentAttr.Font = uint16_t(Header->GetFontIndexCharset(font, 2));
        }
        const size_t s = inst.find("\\s ");
        if (s != AnsiString::npos)
            CurrentAttr.Size = uint16_t(std::clamp(StrToIntDef(argument(inst.substr(s + 3)), 0), 0, 1638));
        if (code > 0 && code < 256) {
            const TRtfDestination d = Dest;
            Dest = rdText;
            AddChar(code);
            Dest = d;
        }
        CurrentAttr = keep;
    }
}

void TRtRtfReader::ReadPictureData()
{
    // Embedded pictures become objects of the text only where an image object
    // class is registered; without one the picture is dropped.
}

// ---- properties ---------------------------------------------------------------------------

void TRtRtfReader::SetStyleBit(TOneWrtStyle Bit, bool On)
{
    CurrentAttr.Style.Set(Bit, On);
    if (CurLine && CurLine->Length == 0 && CharsAdded == 0)
        CurrentPar->ParAttr.Style.Set(Bit, On);
}

uint8_t TRtRtfReader::MapColor(int32_t Value) const
{
    return Value >= 0 && Value < 255 ? ColorMap[size_t(Value)] : 0;
}

uint8_t TRtRtfReader::FontCharset(int32_t FontIndex) const
{
    if (FontIndex < 0 || FontIndex > 255)
        return 0;
    const int32_t cs = Header->Fonts[size_t(FontIndex)].Charset;
    return cs < 0 ? 0 : uint8_t(cs);
}

void TRtRtfReader::HandleProperty(std::string_view Name, int32_t Code, int32_t Value)
{
    if (Dest == rdSkip || Code == 0)
        return;
    if (Dest == rdFontTable) {
        if (Code == 26) {
            FontNr = Value;
            FontCharsetValue = 0;
            FontName.clear();
        } else if (Code == 101)
            FontCharsetValue = Value;
        return;
    }
    if (Dest == rdColorTable) {
        const int32_t v = std::clamp(Value, 0, 255);
        if (Code == 38)
            Red = v;
        else if (Code == 39)
            Green = v;
        else if (Code == 40)
            Blue = v;
        ColorSet = true;
        return;
    }
    switch (Code) {
    case 1: case 2: case 3: case 23: case 26: case 27: case 28: case 29: case 30: case 31:
    case 44: case 51: case 52: case 53: case 54: case 55: case 159: case 160: case 161:
    case rtfpUnicode: case rtfpUnicodeSkip:
        SetCharProperty(Code, Value);
        break;
    default:
        SetParProperty(Code, Value);
        break;
    }
}

void TRtRtfReader::SetCharProperty(int32_t Code, int32_t Value)
{
    const bool on = Value != 0;
    switch (Code) {
    case 1: SetStyleBit(afsBold, on); break;
    case 2: SetStyleBit(afsItalic, on); break;
    case 3: SetStyleBit(afsUnderline, on); break;
    case 30: SetStyleBit(afsHyperLink, on); break;
    case 31: SetStyleBit(afsProtected, on); break;
    case 44: SetStyleBit(afsStrikeOut, on); break;
    case 52: SetStyleBit(afsHidden, on); break;
    case 51:
        CurrentAttr.Style.Set(afsAutomatic, on);
        if (on)
            CurrentAttr.Style.Exclude(afsIsInsertpoint);
        break;
    case 53:
        SetStyleBit(afsSuper, false);
        SetStyleBit(afsSub, false);
        break;
    case 54: SetStyleBit(afsSuper, on); if (on) SetStyleBit(afsSub, false); break;
    case 55: SetStyleBit(afsSub, on); if (on) SetStyleBit(afsSuper, false); break;
    case 159:
    case 160:
        SetStyleBit(Code == 159 ? afsSuper : afsSub, on);
        if (on && CurLine && CurLine->Length > 0 && CurLine->Attrs)
            CurrentAttr.Size = CurLine->Attrs[CurLine->Length - 1].Size;
        break;
    case 161:
        Hyphen = true;
        break;
    case 23: { // plain
        const bool bookmark = CurrentAttr.Style.Has(afsBookmark);
        const uint32_t tag = CurrentAttr.Tag;
        CurrentAttr.Style = ClearedByPlain;
        CurrentAttr.Size = 0;
        CurrentAttr.TextColor = CurrentAttr.BGColor = 0;
        CurrentAttr.Tag = 0;
        if (bookmark) {
            CurrentAttr.Style.Include(afsBookmark);
            CurrentAttr.Tag = tag;
        }
        if (FontMap[0] >= 0) {
            CurrentAttr.Font = uint16_t(FontMap[0]);
            CurrentAttr.Charset = FontCharset(FontMap[0]);
        }
        break;
    }
    case 26:
        if (Value >= 0 && Value < 255 && FontMap[size_t(Value)] >= 0) {
            CurrentAttr.Font = uint16_t(FontMap[size_t(Value)]);
            CurrentAttr.Charset = FontCharset(CurrentAttr.Font);
            if (CurLine && CurLine->Length == 0 && CharsAdded == 0) {
                CurrentPar->ParAttr.Font = CurrentAttr.Font;
                CurrentPar->ParAttr.Charset = CurrentAttr.Charset;
            }
        }
        break;
    case 27:
        if (!Header->KeepSizesFixed) {
            CurrentAttr.Size = uint16_t(std::clamp(Value / 2, 0, 1638));
            if (CurLine && CurLine->Length == 0 && CharsAdded == 0)
                CurrentPar->ParAttr.Size = CurrentAttr.Size;
        }
        break;
    case 28:
        if (Text->Use256Colors)
            CurrentAttr.TextColor = MapColor(Value);
        else
            CurrentAttr.TextColor = uint8_t((CurrentAttr.TextColor & 0xF0) | (MapColor(Value) & 0x0F));
        break;
    case 29:
        if (Text->Use256Colors)
            CurrentAttr.BGColor = MapColor(Value);
        else
            CurrentAttr.TextColor = uint8_t((CurrentAttr.TextColor & 0x0F) | ((MapColor(Value) & 0x0F) << 4));
        break;
    case rtfpUnicode:
        AddUnicode(Value);
        break;
    case rtfpUnicodeSkip:
        UnicodeSkip = uint8_t(std::clamp(Value, 0, 10));
        break;
    default:
        break;
    }
}

// One UTF-16 unit of "\u". Fonts of the ANSI character set take the
// Windows-1252 byte of the character; fonts of other character sets take the
// fallback bytes that follow, which are in the font's own character set.
void TRtRtfReader::AddUnicode(int32_t Value)
{
    const char16_t unit = char16_t(Value < 0 ? Value + 65536 : Value);
    const bool highSurrogate = unit >= 0xD800 && unit < 0xDC00;
    const bool lowSurrogate = unit >= 0xDC00 && unit < 0xE000;
    const bool pairEnd = lowSurrogate && HighSurrogate;
    HighSurrogate = highSurrogate;
    if (pairEnd) {
        // The first half already let its fallback through.
        SkipChars = UnicodeSkip;
        return;
    }
    const uint8_t charset = CurrentAttr.Charset;
    const bool ansiFont = charset == 0 || charset == 1;
    const int ansi = (highSurrogate || lowSurrogate) ? -1 : UnicodeToAnsiChar(unit);
    if (ansi > 0 && (ansiFont || UnicodeSkip == 0)) {
        HandleCharacter(ansi);
        SkipChars = UnicodeSkip;
    } else if (UnicodeSkip == 0)
        HandleCharacter('?');
    // otherwise the fallback characters are read as text
}

void TRtRtfReader::SetParProperty(int32_t Code, int32_t Value)
{
    TParagraph& t = ParTemplate;
    switch (Code) {
    case 4: t.IndentLeft = Clamp16(std::max(0, Value)); break;
    case 5: t.IndentRight = Clamp16(Value); break;
    case 6: t.IndentFirst = Clamp16(Value); break;
    case 41: t.SpaceBefore = Clamp16(Value); break;
    case 43: t.SpaceAfter = Clamp16(Value); break;
    case 42:
        t.SpaceBetween = Value == 1000 ? 0 : Clamp16(Value);
        t.Flags &= ~parfMultSpaceBetween;
        break;
    case 92:
        if (Value)
            t.Flags |= parfMultSpaceBetween;
        else
            t.Flags &= ~parfMultSpaceBetween;
        break;
    case 21: {
        static const uint8_t map[4] = {paralLeft, paralRight, paralCenter, paralBlock};
        t.Align = map[std::clamp(Value, 0, 3)];
        break;
    }
    case 22: { // pard
        const TParagraph fresh;
        AssignParFormat(t, fresh);
        InRow = false;
        break;
    }
    case 25:
    case 33:
    case 48:
        EndParagraph(Code);
        break;
    case 77:
        if (!RowDefined)
            t.Flags |= parfKeepTogether;
        break;
    case 71:
        PendingTabKind = (Value >= 1 && Value <= 3) ? Value : 0;
        break;
    case 32: {
        const int32_t idx = Header->AddTab(std::max(0, Value), PendingTabKind);
        if (idx >= 0 && idx < 64)
            t.Tabs |= uint64_t(1) << idx;
        PendingTabKind = 0;
        break;
    }
    case 79:
        t.Shading = uint8_t(std::clamp(100 - Value / 100, 0, 100));
        break;
    case 80:
        t.Color = MapColor(Value);
        if (t.Shading == 0)
            t.Shading = 100;
        break;
    case 113: t.ParId = uint32_t(Value); break;
    case 143: t.OutlineLevel = uint8_t(std::clamp(Value, 0, 255)); break;
    case 106: {
        static const uint32_t flags[5] = {0, parfNoLines, parfProtected, parfObjectPar, parfObjectPar2};
        t.Flags |= flags[std::clamp(Value, 0, 4)];
        break;
    }
    case 114: t.Flags |= parfSkip1; break;
    case 124: t.Flags |= parfNoWrap; break;
    case 125: t.ExtFlags |= parxTableOfContents; break;
    // Tables.
    case 45: BeginRowDef(); break;
    case 46:
        if (Cells.size() < 255) {
            TCellDef c;
            c.Right = std::max(0, Value);
            Cells.push_back(c);
        }
        break;
    case 47: FinishRow(); break;
    case 49: InRow = true; break;
    case 72: RowGap = std::max(0, Value); break;
    case 73: RowLeft = Value; break;
    case 147: RowAlign = Value; break;
    case 130:
        if (!Cells.empty())
            Cells.back().VertAlign = uint8_t(Value);
        break;
    // Page layout.
    case 10: if (Value > 0) Header->SetPageWidth(Value); break;
    case 11: if (Value > 0) Header->SetPageHeight(Value); break;
    case 12: Header->SetLeftMargin(std::max(0, Value)); break;
    case 13: Header->SetRightMargin(std::max(0, Value)); break;
    case 14: Header->SetTopMargin(std::max(0, Value)); break;
    case 15: Header->SetBottomMargin(std::max(0, Value)); break;
    case 127: Header->SetMarginHeader(std::max(0, Value)); break;
    case 128: Header->SetMarginFooter(std::max(0, Value)); break;
    case 145: Header->SetMarginMirror(true); break;
    case 20: Header->SetLandscape(true); break;
    case 105:
        if (Value > 0)
            Header->SetDefaultTabstop(Value);
        break;
    case 82: {
        static const int32_t chars[7] = {0, 0, 0, 39, 39, 0x96, 0xA0};
        const int32_t ch = chars[std::clamp(Value, 0, 6)];
        if (ch)
            HandleCharacter(ch);
        break;
    }
    default:
        break;
    }
}

// ---- paragraphs and tables ------------------------------------------------------------------

int32_t TRtRtfReader::TextWidth() const
{
    return Header->PageWidth() - Header->LeftMargin() - Header->RightMargin();
}

TRtCell* TRtRtfReader::CellOf(TParagraph* Par)
{
    if (!Par->Cell)
        Par->Cell = new TRtCell;
    return Par->Cell;
}

void TRtRtfReader::BeginRowDef()
{
    if (CellIndex > 0)
        FinishRow();
    Cells.clear();
    RowDefined = true;
    RowLeft = RowGap = RowAlign = 0;
    CellIndex = 0;
    SharesUsed = 0;
    // Rows that follow each other form one table.
    if (!(LastCellPar && LastCellPar->Next == CurrentPar && CurLine->Length == 0))
        TableId = 0;
}

void TRtRtfReader::FinishCell()
{
    TParagraph* par = CurrentPar;
    AssignParFormat(*par, ParTemplate);
    int32_t maxRight = 0;
    for (const TCellDef& c : Cells)
        maxRight = std::max(maxRight, c.Right);
    int32_t width;
    if (CellIndex < int32_t(Cells.size()) && maxRight > 0) {
        const int32_t total = std::clamp(MulDiv(Cells[size_t(CellIndex)].Right, 255, maxRight), 0, 255);
        width = std::max(1, total - SharesUsed);
    } else
        width = 10;
    if (TableId == 0) {
        const int32_t right = std::max(TextWidth() - maxRight, -Header->RightMargin());
        TableId = Text->TableList()->AddTable(AnsiString(), AnsiString(), 0, std::max(0, right),
                                              std::max(0, RowLeft));
    }
    TRtCell* cell = CellOf(par);
    cell->Left = uint8_t(std::min(255, SharesUsed));
    cell->Width = uint8_t(std::min(255, width));
    cell->StartShare = SharesUsed;
    cell->TableId = TableId;
    cell->Gap = RowGap;
    SharesUsed = std::min(255, SharesUsed + width);
    par->Flags |= parfTableCell | parfNotLastCell;
    if (CellIndex > 0)
        par->Flags |= parfNotFirstCell;
    par->TableLevel = 1;
    if (CellIndex < int32_t(Cells.size())) {
        const uint8_t va = Cells[size_t(CellIndex)].VertAlign;
        if (va == 1)
            par->Flags |= parfCellVCenter;
        else if (va == 2)
            par->Flags |= parfCellVBottom;
    }
    ++CellIndex;
    LastCellPar = par;
}

void TRtRtfReader::FinishRow()
{
    if (LastCellPar && CellIndex > 0)
        LastCellPar->Flags &= ~parfNotLastCell;
    CellIndex = 0;
    SharesUsed = 0;
    RowDefined = false;
}

void TRtRtfReader::EndParagraph(int32_t Code)
{
    const bool empty = CurLine->Length == 0 && CurLine == CurrentPar->Lines && CharsAdded == 0;
    if (Code == 33 && empty) {
        ParTemplate.Flags |= parfNewPage;
        CurrentPar->Flags |= parfNewPage;
        ++PageCount;
        return;
    }
    if (Code == 25 && InRow) {
        AddChar(1010); // a paragraph inside a cell is a line break
        return;
    }
    if (Code == 48)
        FinishCell();
    else
        AssignParFormat(*CurrentPar, ParTemplate);
    CurrentPar->ParAttr = CurrentAttr;
    CurrentPar->Flags |= parfReformat;
    const uint32_t newPage = ParTemplate.Flags & parfNewPage;
    ParTemplate.Flags &= ~parfNewPage;
    if (Code != 48)
        CurrentPar->Flags = (CurrentPar->Flags & ~parfNewPage) | (CurrentPar->Flags & parfNewPage) | newPage;
    TrimLines();
    if (!InRow)
        CountParagraph();
    TParagraph* par = CurrentPar;
    Text->InsertPar(par, LineCapacity);
    AssignParFormat(*par, ParTemplate);
    par->Flags &= ~(parfTableCell | parfNotLastCell | parfNotFirstCell | parfNewPage);
    par->ParAttr = CurrentAttr;
    par->RunNumber = uint16_t(++ParNumber);
    par->Flags |= parfReformat;
    BeginParagraph(par);
    if (Code == 33) {
        // A page break before the paragraph that follows.
        par->Flags |= parfNewPage;
        ++PageCount;
    }
}

void TRtRtfReader::FinishRead()
{
    if (CellIndex > 0)
        FinishRow();
    AssignParFormat(*CurrentPar, ParTemplate);
    if (CharsAdded > 0 || CurLine->Length > 0)
        CurrentPar->ParAttr = CurrentAttr;
    for (TParagraph* p = CurrentPar; p; p = p->Prior) {
        if (p->IndentRight < 0)
            p->IndentRight = 0;
        p->Flags |= parfReformat;
    }
}

// ---- font and colour tables -----------------------------------------------------------------

void TRtRtfReader::EndFontEntry()
{
    AnsiString name = Trim(FontName);
    FontName.clear();
    if (Header->KeepFontsFixed || FontNr < 0 || FontNr > 254 || name.empty()) {
        FontNr = -1;
        return;
    }
    const int32_t charset = std::clamp(FontCharsetValue, 0, 255);
    const int32_t idx = Header->GetFontIndexCharset(name, charset);
    if (idx >= 0 && idx < 256) {
        FontMap[size_t(FontNr)] = int16_t(idx);
        FontSymbol[size_t(FontNr)] = charset == 2 || SameTextAscii(name, "wingdings")
                                     || SameTextAscii(name, "webdings") || SameTextAscii(name, "symbol");
        if (Header->Fonts[size_t(idx)].Charset < 0)
            Header->Fonts[size_t(idx)].Charset = charset;
        if (FontNr == 0) {
            CurrentAttr.Font = uint16_t(idx);
            CurrentAttr.Charset = uint8_t(charset);
        }
    }
    FontNr = -1;
}

void TRtRtfReader::EndColorEntry()
{
    if (ColorCount < 255) {
        int32_t idx = 0;
        if (ColorSet && ColorCount > 0) {
            const TColor c = TColor(Red | (Green << 8) | (Blue << 16));
            if (!Header->GetColorIndex(c, Text->Use256Colors, idx))
                idx = 0;
        }
        ColorMap[size_t(ColorCount)] = uint8_t(std::clamp(idx, 0, 254));
        if (idx > 0)
            Header->Colors[size_t(idx)].Used = 1;
    }
    ++ColorCount;
    Red = Green = Blue = 0;
    ColorSet = false;
}
