#include "uRTFDrawer.h"

#include "Charsets.h"
#include "uDrawContext.h"
#include "uFontcache.h"
#include "uRTFParser.h"
#include "uVectorLib.h"

#include <algorithm>
#include <cmath>

namespace {

// Largest font size in points that a document may ask for; larger or negative
// sizes from a damaged file are held to 0..this.
constexpr int32_t MaxFontSize = 1638;

// Justified lines widen their spaces; the empty break run after a hyphen keeps
// the hyphenated word together.
bool IsStretchableSpace(const TRTFToken& T) { return T.Kind == rtkSpace && !T.Text.empty(); }

}  // namespace

// ---- TRTFToken ----------------------------------------------------------------

void TRTFToken::SetFont(const TFont& Font)
{
    FontName = Font.Name();
    Size = Font.Size();
    Style = Font.Style();
    Color = Font.Color();
    Charset = Font.Charset();
}

void TRTFToken::AssignToFont(TFont& Font) const
{
    const AnsiString name = FontName == "Default" ? AnsiString("Arial") : FontName;
    if (Font.Name() == name && Font.Size() == Size && Font.Style() == Style &&
        Font.Color() == Color && Font.Charset() == Charset)
        return;
    TFont f(Font);
    f.SetName(name);
    f.SetSize(Size);
    f.SetStyle(Style);
    f.SetColor(Color);
    f.SetCharset(Charset);
    Font.Assign(f);
}

// ---- TRTFBasicDrawer ------------------------------------------------------------

TRTFBasicDrawer::TRTFBasicDrawer() = default;
TRTFBasicDrawer::~TRTFBasicDrawer() = default;

TRTFToken* TRTFBasicDrawer::GetToken(int Index) const
{
    if (Index < 0 || size_t(Index) >= Tokens.size())
        throw EListError(Format("List index out of bounds (%d)", {Index}));
    return Tokens[size_t(Index)].get();
}

void TRTFBasicDrawer::Clear()
{
    Tokens.clear();
    FontTable_.clear();
    ColorTable_.clear();
}

void TRTFBasicDrawer::ResetParseState()
{
    Font = TFont();
    Hidden = false;
    LastDepth = 0;
    Red = Green = Blue = FontNumber = 0;
    Charset = 0;
    DefaultFont = 0;
    Destination = 0;
    SkipDepth = 0;
    Skipping = false;
    InFieldInstruction = false;
    DestinationDepth = 0;
    LabelDepth = 0;
    LabelFirst = LabelEnd = 0;
    CellEnd = -1;
    SaveStack.clear();
}

void TRTFBasicDrawer::SetRTFText(const AnsiString& Text)
{
    RTFText_ = Text;
    Clear();
    ResetParseState();
    TRTFParser parser;
    parser.OnText = [this](TObject* s, const AnsiString& t) { DoText(s, t); };
    parser.OnControl = [this](TObject* s, const AnsiString& w, bool hp, int32_t p) {
        DoControl(s, w, hp, p);
    };
    parser.OnGroup = [this](TObject* s) { DoGroup(s); };
    TMemoryStream stream;
    stream.WriteBuffer(Text.data(), int32_t(Text.size()));
    stream.SetPosition(0);
    Parser = &parser;
    try {
        parser.Parse(stream);
    } catch (...) {
        // Nothing half-read is drawn.
        Parser = nullptr;
        Clear();
        throw;
    }
    Parser = nullptr;
    while (!Tokens.empty() && Tokens.back()->Kind == rtkParagraph)
        Tokens.pop_back();
    MeasureTokens(720);
    if (OnChange)
        OnChange(this);
}

void TRTFBasicDrawer::AddToken(uint8_t Kind, const AnsiString& Text)
{
    auto token = std::make_unique<TRTFToken>();
    token->Kind = Kind;
    token->Text = Text;
    token->SetFont(Font);
    // The paragraph's first characters give the label before them their size, style and
    // colour, as the editor shows a paragraph's number; an empty paragraph leaves it as it is.
    if (LabelEnd > LabelFirst && LabelDepth == 0 && Kind != rtkAlignment && Kind != rtkSpace) {
        if (Kind != rtkParagraph)
            for (size_t i = LabelFirst; i < LabelEnd; ++i) {
                Tokens[i]->Size = token->Size;
                Tokens[i]->Style = token->Style;
                Tokens[i]->Color = token->Color;
            }
        LabelFirst = LabelEnd = 0;
    }
    Tokens.push_back(std::move(token));
}

// A cell ends in a separator, as a tab.
void TRTFBasicDrawer::EndCell()
{
    AddToken(rtkSpace, " ");
    CellEnd = int32_t(Tokens.size()) - 1;
}

// A row ends its line; the last cell needs no separator.
void TRTFBasicDrawer::EndRow()
{
    if (CellEnd >= 0 && size_t(CellEnd) + 1 == Tokens.size())
        Tokens.pop_back();
    CellEnd = -1;
    AddToken(rtkParagraph, AnsiString());
}

// The label's characters are text in its font, as the editor draws a number.
void TRTFBasicDrawer::EndLabel()
{
    LabelDepth = 0;
    LabelEnd = Tokens.size();
    for (size_t i = LabelFirst; i < LabelEnd; ++i)
        Tokens[i]->Charset = DEFAULT_CHARSET;
}

void TRTFBasicDrawer::AddWord(const AnsiString& Word)
{
    // A hyphen is a break opportunity: the word is cut after each hyphen and
    // an empty break run is put behind the piece.
    AnsiString rest = Word;
    for (size_t hyphen = rest.find('-'); hyphen != AnsiString::npos; hyphen = rest.find('-')) {
        AddToken(rtkWord, rest.substr(0, hyphen + 1));
        AddToken(rtkSpace, AnsiString());
        rest.erase(0, hyphen + 1);
    }
    if (!rest.empty())
        AddToken(rest == " " ? rtkSpace : rtkWord, rest);
}

void TRTFBasicDrawer::AddText(const AnsiString& Text)
{
    // A double-byte character is one character, and a word of its own: lines
    // of East-Asian text break between any two characters.
    const int32_t charset = Font.Charset();
    auto pairAt = [&](size_t i) { return i + 1 < Text.size() && IsCharsetLeadByte(charset, uint8_t(Text[i])); };
    if (PerCharacter) {
        for (size_t i = 0; i < Text.size(); ++i) {
            const size_t n = pairAt(i) ? 2 : 1;
            AddWord(Text.substr(i, n));
            i += n - 1;
        }
        return;
    }
    size_t start = 0;
    for (size_t i = 0; i <= Text.size(); ++i) {
        if (i < Text.size() && pairAt(i)) {
            if (i > start)
                AddWord(Text.substr(start, i - start));
            AddWord(Text.substr(i, 2));
            start = ++i + 1;
            continue;
        }
        if (i < Text.size() && Text[i] != ' ')
            continue;
        if (i > start)
            AddWord(Text.substr(start, i - start));
        if (i < Text.size())
            AddToken(rtkSpace, " ");
        start = i + 1;
    }
}

void TRTFBasicDrawer::SelectFont(int32_t Number)
{
    if (FontTable_.empty()) {
        Font.SetName("Arial");
        Font.SetCharset(DEFAULT_CHARSET);
        return;
    }
    const TRTFFontEntry* entry = &FontTable_.front();
    for (const TRTFFontEntry& e : FontTable_)
        if (e.Number == Number) {
            entry = &e;
            break;
        }
    Font.SetName(entry->Name);
    Font.SetCharset(entry->Charset);
}

TColor TRTFBasicDrawer::TableColor(int32_t Index) const
{
    if (Index < 0 || size_t(Index) >= ColorTable_.size())
        return clBlack;
    return ColorTable_[size_t(Index)].Color;
}

void TRTFBasicDrawer::ResetCharacterFormat()
{
    SelectFont(DefaultFont);
    Font.SetStyle(0);
    Font.SetSize(10);
    Font.SetColor(TableColor(0));
    Hidden = false;
}

void TRTFBasicDrawer::DoControl(TObject*, const AnsiString& Word, bool HasParam, int32_t Param)
{
    if (Destination == 3 && Word == "fldinst")
        InFieldInstruction = true;
    if (Skipping)
        return;
    switch (Destination) {
    case 0: {
        const struct {
            const char* word;
            TFontStyle style;
        } styles[] = {{"b", fsBold}, {"i", fsItalic}, {"ul", fsUnderline}, {"strike", fsStrikeOut}};
        for (const auto& s : styles)
            if (Word == s.word) {
                if (HasParam && Param == 0)
                    Font.SetStyle(Font.Style() & ~s.style);
                else
                    Font.SetStyle(Font.Style() | s.style);
                return;
            }
        const struct {
            const char* word;
            uint8_t alignment;
        } alignments[] = {{"ql", 0}, {"qc", 1}, {"qr", 2}, {"qj", 3}};
        for (const auto& a : alignments)
            if (Word == a.word) {
                AddToken(rtkAlignment, AnsiString());
                Tokens.back()->Alignment = a.alignment;
                return;
            }
        if (Word == "ulnone")
            Font.SetStyle(Font.Style() & ~fsUnderline);
        else if (Word == "f")
            SelectFont(Param);
        else if (Word == "fs")
            Font.SetSize(std::clamp(Param / 2, 0, MaxFontSize));
        else if (Word == "cf")
            Font.SetColor(TableColor(Param));
        else if (Word == "plain")
            ResetCharacterFormat();
        else if (Word == "pard") {
            ResetCharacterFormat();
            AddToken(rtkAlignment, AnsiString());
        } else if (Word == "par" || Word == "line")
            AddToken(rtkParagraph, AnsiString());
        else if (Word == "v")
            Hidden = !(HasParam && Param == 0);
        else if (Word == "tab")
            AddText(" ");
        else if (Word == "cell" || Word == "nestcell")
            EndCell();
        else if (Word == "row")
            EndRow();
        else if (Word == "listtext" || Word == "pntext") {
            LabelDepth = Parser->Depth();
            LabelFirst = LabelEnd = Tokens.size();
        }
        else if (Word == "fonttbl" || Word == "colortbl" || Word == "field") {
            Destination = Word == "fonttbl" ? 1 : Word == "colortbl" ? 2 : 3;
            DestinationDepth = Parser->Depth();
        } else if (Word == "deff")
            DefaultFont = Param;
        else if (Word == "*") {
            SkipDepth = Parser->Depth();
            Skipping = true;
        }
        break;
    }
    case 1:
        if (Word == "f")
            FontNumber = Param;
        else if (Word == "fcharset")
            Charset = Param;
        break;
    case 2:
        if (Word == "red")
            Red = Param;
        else if (Word == "green")
            Green = Param;
        else if (Word == "blue")
            Blue = Param;
        break;
    default:
        break;
    }
}

void TRTFBasicDrawer::DoText(TObject*, const AnsiString& Text)
{
    if (Destination == 3) {
        if (InFieldInstruction) {
            AddToken(rtkField, "<" + Text + ">");
            Tokens.back()->FieldCode = Text;
            InFieldInstruction = false;
        }
        return;
    }
    if (Skipping)
        return;
    switch (Destination) {
    case 0:
        if (!Hidden)
            AddText(Text);
        break;
    case 1: {
        AnsiString name = Text.substr(0, Text.size() - 1);
        if (!IsFontInstalled(name))
            name = "Arial";
        FontTable_.push_back({name, FontNumber, TFontCharset(std::clamp(Charset, 0, 255))});
        break;
    }
    case 2:
        if (Text == ";") {
            // Components outside 0..255 from a damaged file are held to that range.
            const int r = std::clamp(Red, 0, 255), g = std::clamp(Green, 0, 255),
                      b = std::clamp(Blue, 0, 255);
            ColorTable_.push_back({Format("%d %d %d", {r, g, b}), RGB(uint8_t(r), uint8_t(g), uint8_t(b))});
            Red = Green = Blue = 0;
        }
        break;
    default:
        break;
    }
}

void TRTFBasicDrawer::DoGroup(TObject*)
{
    const int32_t depth = Parser->Depth();
    if (depth < SkipDepth) {
        SkipDepth = 0;
        Skipping = false;
    }
    if (depth < DestinationDepth) {
        DestinationDepth = 0;
        Destination = 0;
    }
    if (depth < LabelDepth)
        EndLabel();
    if (depth <= LastDepth) {
        if (!SaveStack.empty()) {
            const TRTFSave& save = SaveStack.back();
            Font.SetName(save.FontName);
            Font.SetSize(save.Size);
            Font.SetStyle(save.Style);
            Font.SetColor(save.Color);
            Font.SetCharset(save.Charset);
            Hidden = save.Hidden;
            SaveStack.pop_back();
        }
    } else {
        SaveStack.push_back({Font.Name(), Font.Size(), Font.Style(), Font.Color(), Font.Charset(), Hidden});
    }
    LastDepth = depth;
}

void TRTFBasicDrawer::MeasureTokens(int PixelsPerInch)
{
    TFont font;
    font.SetPixelsPerInch(PixelsPerInch);
    for (const auto& token : Tokens) {
        token->AssignToFont(font);
        const TFontInfo& info = FontCache.GetFontInfo(font);
        const double scale = double(-font.Height()) / info.EmSquare / PixelsPerInch * 25.4;
        const TTextMetric& tm = info.TextMetric;
        token->Height = float(scale * (tm.tmHeight + tm.tmExternalLeading));
        token->Ascent = float(scale * tm.tmAscent);
        token->CharRight.clear();
        token->Width = 0;
        if (token->Kind == rtkWord || token->Kind == rtkSpace || token->Kind == rtkField) {
            float right = 0;
            token->CharRight.reserve(token->Text.size());
            for (const int32_t w : info.TextWidths(token->Text)) {
                right += float(scale * w);
                token->CharRight.push_back(right);
            }
            token->Width = right;
        }
    }
}

// ---- TRTFDrawer -------------------------------------------------------------------

void TRTFDrawer::SetRTFText(const AnsiString& Text)
{
    TRTFBasicDrawer::SetRTFText(Text);
    LayoutWidth_ = -1;
}

void TRTFDrawer::Clear()
{
    TRTFBasicDrawer::Clear();
    Lines.clear();
    LayoutWidth_ = -1;
    TotalHeight_ = 0;
}

TRTFLine* TRTFDrawer::GetLine(int Index) const
{
    if (Index < 0 || size_t(Index) >= Lines.size())
        throw EListError(Format("List index out of bounds (%d)", {Index}));
    return Lines[size_t(Index)].get();
}

void TRTFDrawer::AddLine(int First, int Last, uint8_t Alignment)
{
    bool onlyAlignment = true;
    for (int i = First; i <= Last; ++i)
        if (Tokens[size_t(i)]->Kind != rtkAlignment) {
            onlyAlignment = false;
            break;
        }
    if (onlyAlignment)  // also when the range is empty
        return;
    auto line = std::make_unique<TRTFLine>();
    line->First = First;
    line->Last = Last;
    line->Alignment = Alignment;
    Lines.push_back(std::move(line));
}

void TRTFDrawer::LayoutLines(float Width)
{
    if (Tokens.empty() || Width < 0)
        return;
    Lines.clear();
    const int count = int(Tokens.size());
    float x = 0;
    int s = 0;  // first run of the line being filled
    int b = 0;  // last break opportunity in it; b == s when there is none
    uint8_t a = 0;
    int i = 0;
    while (i < count) {
        const TRTFToken& t = *Tokens[size_t(i)];
        switch (t.Kind) {
        case rtkParagraph:
            AddLine(s, i, a);
            Lines.back()->ParagraphEnd = true;
            x = 0;
            s = b = i + 1;
            break;
        case rtkAlignment:
            a = t.Alignment;
            break;
        case rtkSpace:
            if (x + t.Width > Width) {
                // the space at the end of a full line is dropped
                AddLine(s, i - 1, a);
                x = 0;
                s = b = i + 1;
            } else {
                b = i;
                x += t.Width;
            }
            break;
        default:  // word or field
            if (x + t.Width > Width) {
                if (b != s) {
                    // wrap at the last break and lay out the runs after it again
                    AddLine(s, b - 1, a);
                    x = 0;
                    s = b + 1;
                    i = s;
                    b = s;
                } else {
                    AddLine(s, i - 1, a);
                    x = 0;
                    s = b = i;
                }
            }
            x += Tokens[size_t(i)]->Width;
            break;
        }
        ++i;
    }
    if (s < count)
        AddLine(s, count - 1, a);
    if (!Lines.empty())
        Lines.back()->ParagraphEnd = true;

    TotalHeight_ = 0;
    for (const auto& line : Lines) {
        line->Height = 0;
        line->Width = 0;
        line->SpaceCount = 0;
        for (int k = line->First; k <= line->Last; ++k) {
            const TRTFToken& t = *Tokens[size_t(k)];
            line->Height = std::max(line->Height, t.Height);
            line->Width += t.Width;
            if (IsStretchableSpace(t))
                ++line->SpaceCount;
        }
        TotalHeight_ += line->Height;
    }
    LayoutWidth_ = Width;
}

void TRTFDrawer::Draw(TDrawContext& DC, uint8_t HorzAlign, float CX, float CY, float W, float H,
                      uint8_t VertAlign)
{
    if (LayoutWidth_ != double(W))
        LayoutLines(W);

    DC.GetBrush().SetStyle(bsClear);
    float y;
    switch (VertAlign) {
    case 1: y = CY - TotalHeight_ / 2; break;
    case 2: y = CY + H / 2 - TotalHeight_; break;
    default: y = CY - H / 2; break;
    }
    y = std::max(y, CY - H / 2);

    for (size_t n = 0; n < Lines.size(); ++n) {
        TRTFLine& line = *Lines[n];
        if (n > 0 && y + line.Height > CY + H / 2 + 0.05f)
            break;
        // Device metrics of the line's runs, so that baselines of different
        // sizes line up at this resolution.
        line.Ascent = 0;
        line.DeviceAscent = 0;
        for (int k = line.First; k <= line.Last; ++k) {
            TRTFToken& t = *Tokens[size_t(k)];
            if (t.Kind != rtkWord && t.Kind != rtkSpace && t.Kind != rtkField)
                continue;
            t.AssignToFont(*DC.Font);
            TTextMetric tm;
            DC.GetTextMetrics(tm);
            t.DeviceHeight = tm.tmHeight;
            t.DeviceAscent = tm.tmAscent;
            line.DeviceAscent = std::max(line.DeviceAscent, t.DeviceAscent);
            line.Ascent = std::max(line.Ascent, t.Ascent);
        }

        float x = CX - W / 2;
        if (HorzAlign == 1)
            x = CX - line.Width / 2;
        else if (HorzAlign == 2)
            x = CX + W / 2 - line.Width;
        x = std::max(x, CX - W / 2);
        const bool stretch = HorzAlign == 3 && !line.ParagraphEnd && line.SpaceCount > 0;
        for (int k = line.First; k <= line.Last; ++k) {
            const TRTFToken& t = *Tokens[size_t(k)];
            if (t.Kind == rtkParagraph || t.Kind == rtkAlignment)
                continue;
            t.AssignToFont(*DC.Font);
            const float a = VectorLength(DC.DeviceVectorToPage(t.DeviceAscent, 0));
            DC.TextOut(t.Text, 0, x, y + line.Ascent - a);
            x += t.Width;
            if (stretch && IsStretchableSpace(t))
                x += (W - line.Width) / line.SpaceCount;
        }
        y += line.Height;
    }
}
