#include "RtDefs.h"

#include "Charsets.h"
#include "RtPlatform.h"

#include <algorithm>
#include <cmath>
#include <cstring>

// ---- unit conversions ----------------------------------------------------------------------

int32_t CentimetersToTwips(double Value) { return int32_t(Round(Value * 566.929)); }
int32_t InchesToTwips(double Value) { return int32_t(Round(Value * 1440)); }
double TwipsToCentimeters(int32_t Value) { return Value / 566.929; }

// ---- property names --------------------------------------------------------------------------

const std::array<const char*, 7> RtCharPropNames = {
    "Bold", "Italic", "Underline", "Font", "Size", "FontColor", "FontBGColor"};
const std::array<const char*, 20> RtParPropNames = {
    "IndentLeft", "IndentRight", "IndentFirst", "SpaceBefore", "MultSpaceBetween",
    "SpaceBetween", "SpaceAfter", "BrdLines", "BrdWidth", "BrdColor", "Align", "Color",
    "Shading", "Tabs", "Number", "NumLevel", "IsOutline", "BrdSpace", "KeepTogther",
    "KeepWithNext"};
const std::array<const char*, 10> RtInfoFieldNames = {
    "Title", "Subject", "Author", "Keywords", "Operator", "DocComm", "Manager", "Company",
    "Category", "HLinkBase"};

bool RtIgnoreCharsets = false;
bool RtKeepBorders = false;
uint32_t RtReaderOptions = 0;
TColor RtDefaultColor = 0;

// ---- record operations ---------------------------------------------------------------------------

namespace {
void CopyFlag(uint32_t& Dest, uint32_t Source, uint32_t Bit) { Dest = (Dest & ~Bit) | (Source & Bit); }
}  // namespace

void CopyParProps(TParagraph& Dest, uint32_t ExcludeMask, const TParagraph& Source,
                  bool ClearOthers, uint32_t CopyMask)
{
    const bool cell = (Dest.Flags & parfTableCell) != 0;
    for (uint32_t i = 0; i < 20; ++i) {
        const uint32_t bit = 1u << i;
        if (ExcludeMask & bit)
            continue;
        const bool copy = (CopyMask & bit) != 0;
        if (!copy && !(ClearOthers && i < 17))
            continue;
        switch (TParPropIndex(i)) {
        case ppiIndentLeft: Dest.IndentLeft = copy ? Source.IndentLeft : 0; break;
        case ppiIndentRight: Dest.IndentRight = copy ? Source.IndentRight : 0; break;
        case ppiIndentFirst: Dest.IndentFirst = copy ? Source.IndentFirst : 0; break;
        case ppiSpaceBefore: Dest.SpaceBefore = copy ? Source.SpaceBefore : 0; break;
        case ppiMultSpaceBetween:
            if (copy)
                CopyFlag(Dest.Flags, Source.Flags, parfMultSpaceBetween);
            else
                Dest.Flags &= ~parfMultSpaceBetween;
            break;
        case ppiSpaceBetween: Dest.SpaceBetween = copy ? Source.SpaceBetween : 0; break;
        case ppiSpaceAfter: Dest.SpaceAfter = copy ? Source.SpaceAfter : 0; break;
        case ppiBrdLines:
            if (copy)
                Dest.BrdLines = Source.BrdLines;
            else if (!RtKeepBorders)
                Dest.BrdLines = 0;
            break;
        case ppiBrdWidth:
            if (copy)
                Dest.BrdWidth = Source.BrdWidth;
            else if (!(RtKeepBorders && cell))
                Dest.BrdWidth = 0;
            break;
        case ppiBrdColor:
            if (copy)
                Dest.BrdColor = Source.BrdColor;
            else if (!(RtKeepBorders && cell))
                Dest.BrdColor = {};
            break;
        case ppiAlign: Dest.Align = copy ? Source.Align : 0; break;
        case ppiColor:
            if (copy) {
                Dest.Color = Source.Color;
                Dest.PatColor = Source.PatColor;
                Dest.Shading = Source.Shading == 0 ? 100 : Source.Shading;
            } else {
                Dest.Color = 0;
                Dest.PatColor = 0;
            }
            break;
        case ppiShading:
            if (copy)
                Dest.Shading = Source.Shading;
            else if (!(CopyMask & (1u << ppiColor)))
                Dest.Shading = 0;
            break;
        case ppiTabs: Dest.Tabs = copy ? Source.Tabs : 0; break;
        case ppiNumber:
            if (copy) {
                Dest.Number = Source.Number;
                Dest.NumLevel = Source.NumLevel;
            } else if (!(CopyMask & (1u << ppiNumLevel)))
                Dest.Number = 0;
            break;
        case ppiNumLevel:
            if (copy) {
                Dest.NumLevel = Source.NumLevel;
                Dest.Number = Source.Number;
                if (Dest.NumLevel == 0 && Dest.Number != 0)
                    Dest.Number = 0;
            } else if (!(CopyMask & (1u << ppiNumber))) {
                Dest.Number = 0;
                Dest.NumLevel = 0;
            }
            break;
        case ppiIsOutline:
            if (copy)
                CopyFlag(Dest.Flags, Source.Flags, parfIsOutline);
            else
                Dest.Flags &= ~parfIsOutline;
            break;
        case ppiBrdSpace: Dest.BrdSpace = Source.BrdSpace; break;
        case ppiKeepTogther: CopyFlag(Dest.Flags, Source.Flags, parfKeepTogether); break;
        case ppiKeepWithNext: CopyFlag(Dest.Flags, Source.Flags, parfKeepWithNext); break;
        }
    }
}

void CopyCharAttr(TAttr& Dest, WrtStyle ExcludeStyles, const TAttr& Source, bool ClearOthers,
                  uint32_t CopyMask)
{
    static constexpr TOneWrtStyle styleBits[3] = {afsBold, afsItalic, afsUnderline};
    for (uint32_t i = 0; i < 7; ++i) {
        if (ExcludeStyles.Has(TOneWrtStyle(afsParStyleBold + i)))
            continue;
        const bool copy = (CopyMask & (1u << i)) != 0;
        if (i < 3) {
            if (copy)
                Dest.Style.Set(styleBits[i], Source.Style.Has(styleBits[i]));
            else if (ClearOthers)
                Dest.Style.Exclude(styleBits[i]);
            continue;
        }
        switch (TCharPropIndex(i)) {
        case cpiFont: if (copy) Dest.Font = Source.Font; break;
        case cpiSize: if (copy) Dest.Size = Source.Size; break;
        case cpiFontColor:
            if (copy) Dest.TextColor = Source.TextColor;
            else if (ClearOthers) Dest.TextColor = 0;
            break;
        case cpiFontBGColor:
            if (copy) Dest.BGColor = Source.BGColor;
            else if (ClearOthers) Dest.BGColor = 0;
            break;
        default: break;
        }
    }
}

bool VisibleParExists(const TParagraph* Par, bool Forward)
{
    for (; Par; Par = Forward ? Par->Next : Par->Prior)
        if (!(Par->Flags & (parfSkip1 | parfSkip2)))
            return true;
    return false;
}

// ---- page definitions ----------------------------------------------------------------------------

const std::array<TRtPageDef, 8> RtPageDefs = {{
    {-1, 1, 21.0f, 29.0f, "Custom"},
    {1, 0, 8.5f, 11.0f, "Letter 8 1/2 x 11 in"},
    {5, 0, 8.5f, 14.0f, "Legal 8 1/2 x 14 in"},
    {7, 0, 7.25f, 10.5f, "Executive 7.25 x 10.5 in"},
    {8, 1, 29.7f, 42.0f, "DIN A3 297 x 420 mm"},
    {9, 1, 21.0f, 29.7f, "DIN A4 210 x 297 mm"},
    {11, 1, 14.8f, 21.0f, "DIN A5 148 x 210 mm"},
    {70, 1, 10.5f, 14.8f, "DIN A6 105 x 148 mm"},
}};

namespace {
int32_t PageDefTwips(TRtPageSettings Row, bool Width)
{
    const TRtPageDef& d = RtPageDefs[Row];
    const double v = Width ? d.Width : d.Height;
    return d.Metric ? CentimetersToTwips(v) : InchesToTwips(v);
}
}  // namespace

int32_t PageDefWidthTwips(TRtPageSettings Row) { return PageDefTwips(Row, true); }
int32_t PageDefHeightTwips(TRtPageSettings Row) { return PageDefTwips(Row, false); }

const std::array<TRtStyleColors, 16> RtStyleColors = {{
    {"aqua", 0xFFFF00}, {"navy", 0x800000}, {"black", 0x000000}, {"blue", 0xFF0000},
    {"olive", 0x008080}, {"purple", 0x800080}, {"fuchsia", 0xFF00FF}, {"red", 0x0000FF},
    {"gray", 0x808080}, {"silver", 0xC0C0C0}, {"green", 0x008000}, {"teal", 0x808000},
    {"lime", 0x00FF00}, {"white", 0xFFFFFF}, {"maroon", 0x000080}, {"yellow", 0x00FFFF},
}};

int32_t DefaultFindPaperSize(int32_t Width, int32_t Height, int32_t& Index)
{
    const int32_t a4h = CentimetersToTwips(29.7);
    const int32_t near = CentimetersToTwips(29.6);
    if (std::abs(Width - near) <= 10)
        Width = a4h;
    if (std::abs(Height - near) <= 10)
        Height = a4h;
    for (int row = rt_DinA6; row >= rt_Letter; --row) {
        const auto r = TRtPageSettings(row);
        if (std::abs(PageDefWidthTwips(r) - Width) < 30 && std::abs(PageDefHeightTwips(r) - Height) < 30) {
            Index = row;
            return RtPageDefs[r].PaperCode;
        }
    }
    Index = rt_Custom;
    return RtPageDefs[rt_Custom].PaperCode;
}

int32_t (*FindPaperSize)(int32_t Width, int32_t Height, int32_t& Index) = DefaultFindPaperSize;

// ---- TTextHeader ------------------------------------------------------------------------------------

TTextHeader::TTextHeader() { Init(); }

void TTextHeader::Assign(const TObject& Source)
{
    const auto* src = dynamic_cast<const TTextHeader*>(&Source);
    if (!src)
        throw EConvertError("Cannot assign a " + AnsiString(Source.ClassName()) + " to a TTextHeader");
    HTMLStoreOptions = src->HTMLStoreOptions;
    StoreOptions = src->StoreOptions;
    LoadOptions = src->LoadOptions;
    Init();
    for (size_t i = 0; i < Fonts.size(); ++i)
        if (!src->Fonts[i].Name.empty())
            Fonts[i] = src->Fonts[i];
    Tabs = src->Tabs;
    TabOrder = src->TabOrder;
    Colors = src->Colors;
    pageWidth_ = src->pageWidth_;
    pageHeight_ = src->pageHeight_;
    leftMargin_ = src->leftMargin_;
    rightMargin_ = src->rightMargin_;
    topMargin_ = src->topMargin_;
    bottomMargin_ = src->bottomMargin_;
    defaultTabstop_ = src->defaultTabstop_;
    marginHeader_ = src->marginHeader_;
    marginFooter_ = src->marginFooter_;
    landscape_ = src->landscape_;
    DefaultPageWidth = src->DefaultPageWidth;
    DefaultPageHeight = src->DefaultPageHeight;
    DefaultTopMargin = src->DefaultTopMargin;
    DefaultBottomMargin = src->DefaultBottomMargin;
    DefaultLeftMargin = src->DefaultLeftMargin;
    DefaultRightMargin = src->DefaultRightMargin;
    DefaultMarginHeader = src->DefaultMarginHeader;
    DefaultMarginFooter = src->DefaultMarginFooter;
    DefaultLandscape = src->DefaultLandscape;
    defaultPageSize_ = src->defaultPageSize_;
    PrintHeaderFooterInPageMargins = src->PrintHeaderFooterInPageMargins;
    PixDefaultTab = MulDiv(defaultTabstop_, XRes, 1440);
    Changed();
}

void TTextHeader::Init()
{
    for (size_t i = 1; i < 255; ++i)
        Fonts[i].Name.clear();
    for (size_t i = 0; i < TabOrder.size(); ++i)
        TabOrder[i] = uint8_t(i);
    if (DefaultPageWidth < DefaultLeftMargin + DefaultRightMargin + 100)
        DefaultPageWidth = DefaultLeftMargin + DefaultRightMargin + 100;
    if (DefaultPageHeight < DefaultTopMargin + DefaultBottomMargin + 100)
        DefaultPageHeight = DefaultTopMargin + DefaultBottomMargin + 100;
    pageWidth_ = DefaultPageWidth;
    pageHeight_ = DefaultPageHeight;
    landscape_ = false;
    leftMargin_ = DefaultLeftMargin;
    rightMargin_ = DefaultRightMargin;
    topMargin_ = DefaultTopMargin;
    bottomMargin_ = DefaultBottomMargin;
    marginHeader_ = DefaultMarginHeader;
    marginFooter_ = DefaultMarginFooter;
    if (DefaultLandscape) {
        std::swap(pageWidth_, pageHeight_);
        landscape_ = true;
    }
    UpdatePixelSizes();
    Colors.fill(TRtColorEntry{});
    static constexpr TColor standard[16] = {0x000000, 0x0000FF, 0x008000, 0xFF0000, 0x00FFFF, 0xFF00FF,
                                            0x800080, 0x000080, 0x00FF00, 0xFFFF00, 0x808000, 0x800000,
                                            0xFFFFFF, 0xC0C0C0, 0x808080, 0x000000};
    for (int i = 0; i < 16; ++i) {
        const TColor c = RtPlatform().SysColor(standard[i]);
        Colors[size_t(i)] = TRtColorEntry{GetRValue(c), GetGValue(c), GetBValue(c), 1};
    }
    if (defaultTabstop_ == 0)
        SetDefaultTabstop(720);
    PixDefaultTab = MulDiv(defaultTabstop_, XRes, 1440);
    DefaultTabKind = 0;
}

namespace {

// The first slot named Name whose charset fits: exactly Charset (the slot's known or derived
// charset), or else Charset, either of them unknown, or any while charsets are ignored; -1: none.
int32_t FindFontSlot(const TTextHeader& H, const AnsiString& Name, int32_t Charset, bool Exact)
{
    for (int32_t i = 0; i < 255; ++i) {
        const TRtFontEntry& f = H.Fonts[size_t(i)];
        if (f.Name.empty() || !SameText(f.Name, Name))
            continue;
        if (Exact ? H.FontCharset(i) == Charset
                  : RtIgnoreCharsets || f.Charset == Charset || f.Charset == -1 || Charset == -1)
            return i;
    }
    return -1;
}

// The first free slot; -1 when the table is full.
int32_t FreeFontSlot(const TTextHeader& H)
{
    for (int32_t i = 0; i < 255; ++i)
        if (H.Fonts[size_t(i)].Name.empty())
            return i;
    return -1;
}

}  // namespace

int32_t TTextHeader::GetFontIndex(const AnsiString& Name) { return GetFontIndexCharset(Name, -1); }

int32_t TTextHeader::GetFontIndexCharset(const AnsiString& Name, int32_t Charset)
{
    if (const int32_t found = FindFontSlot(*this, Name, Charset, false); found >= 0)
        return found;
    const int32_t i = FreeFontSlot(*this);
    if (i < 0)
        return 0;
    Fonts[size_t(i)].Name = Name;
    Fonts[size_t(i)].Charset = IsSymbolFontName(Name) ? SYMBOL_CHARSET : Charset;
    return i;
}

int32_t TTextHeader::FontCharset(int32_t Index) const
{
    const TRtFontEntry& f = Fonts[size_t(std::clamp(Index, 0, 255))];
    if (f.Charset >= 0)
        return f.Charset;
    return IsSymbolFontName(f.Name) ? SYMBOL_CHARSET : ANSI_CHARSET;
}

int32_t TTextHeader::GetFontIndexForCharset(int32_t Index, int32_t Charset)
{
    // Slot 0 keeps the text's default font, named before another slot is taken.
    if (Fonts[0].Name.empty())
        Fonts[0].Name = RtDefaultFontName;
    const TRtFontEntry source = Fonts[size_t(std::clamp(Index, 0, 255))];
    const AnsiString name = source.Name.empty() ? RtDefaultFontName : source.Name;
    if (const int32_t found = FindFontSlot(*this, name, Charset, true); found >= 0)
        return found;
    const int32_t i = FreeFontSlot(*this);
    if (i >= 0) {
        TRtFontEntry& f = Fonts[size_t(i)];
        f = source;
        f.Name = name;
        f.Charset = Charset;
    }
    return i;
}

bool TTextHeader::UnicodeToFontChars(std::u32string_view Text, uint16_t& Font, std::string& Out, bool Switch,
                                     int32_t Preferred)
{
    if (Text.empty())
        return false;
    const char32_t ch = Text[0];
    const int32_t charset = FontCharset(Font);
    if (charset == SYMBOL_CHARSET) {
        // A symbol font holds its own bytes, written as private-use characters.
        if (ch >= 0xF020 && ch <= 0xF0FF) {
            Out.push_back(char(ch - 0xF000));
            return true;
        }
        if (ch < 0x80) {
            Out.push_back(char(ch));
            return true;
        }
    } else if (UnicodeToCharset(charset, ch, Out))
        return true;
    if (!Switch)
        return false;
    const int32_t chosen = ChooseCharset(Text, -1, Preferred);
    if (chosen < 0)
        return false;
    const int32_t slot = GetFontIndexForCharset(Font, chosen);
    if (slot < 0 || !UnicodeToCharset(chosen, ch, Out))
        return false;
    Font = uint16_t(slot);
    return true;
}

int32_t TTextHeader::GetTextFontIndex(const AnsiString& Name, int32_t Charset)
{
    if (Fonts[0].Name.empty())
        Fonts[0].Name = RtDefaultFontName;
    return GetFontIndexCharset(Name, Charset);
}

AnsiString TTextHeader::GetFontName(int32_t Index) const
{
    return Index >= 0 && Index < 256 ? Fonts[size_t(Index)].Name : AnsiString();
}

TColor TTextHeader::GetColor(int32_t Index) const
{
    if (Index < 0 || Index > 254)
        return 0;
    const TRtColorEntry& e = Colors[size_t(Index)];
    return RGB(e.Red, e.Green, e.Blue);
}

bool TTextHeader::GetColorIndex(TColor Color, bool Use256, int32_t& Index)
{
    Index = -1;
    if (Color == 0 || Color == RtDefaultColor) {
        Index = 0;
        return true;
    }
    const TColor rgb = RtPlatform().SysColor(Color);
    const int r = GetRValue(rgb), g = GetGValue(rgb), b = GetBValue(rgb);
    const int n = Use256 ? 256 : 16;
    int freeCount = 0;
    int best = -1;
    int bestDist = 0;
    for (int i = 0; i < n; ++i) {
        const TRtColorEntry& e = Colors[size_t(i)];
        if (!e.Used) {
            // Free slots are counted where they are handed out below.
            if (i >= (Use256 ? 17 : 1))
                ++freeCount;
            continue;
        }
        const int d = (e.Red - r) * (e.Red - r) + (e.Green - g) * (e.Green - g) + (e.Blue - b) * (e.Blue - b);
        if (best < 0 || d < bestDist) {
            best = i;
            bestDist = d;
            if (d == 0)
                break;
        }
    }
    if (best >= 0 && (freeCount == 0 || bestDist < 257)) {
        Colors[size_t(best)].Used = 1;
        Index = best;
        return true;
    }
    const int from = Use256 ? 17 : 1;
    const int to = Use256 ? 255 : 15;
    for (int i = from; i <= to; ++i) {
        TRtColorEntry& e = Colors[size_t(i)];
        if (e.Used)
            continue;
        e = TRtColorEntry{uint8_t(r), uint8_t(g), uint8_t(b), 1};
        Index = i;
        return true;
    }
    return false;
}

int32_t TTextHeader::AddTab(int32_t Pos, int32_t Kind)
{
    CurrentTabs = 0;
    return AddTabTo(Pos, Kind);
}

int32_t TTextHeader::AddTabTo(int32_t Pos, int32_t Kind)
{
    int32_t result = -1;
    if (Pos > 0) {
        result = FindTab(Pos, Kind);
        if (result >= 0)
            CurrentTabs |= uint64_t(1) << result;
        else {
            bool askedFull = false;
            for (;;) {
                for (int32_t i = 0; i < 64; ++i) {
                    TRtTabEntry& t = Tabs[size_t(i)];
                    if (t.Pos != 0)
                        continue;
                    t.Pos = Pos;
                    t.PixPos = MulDiv(Pos, XRes, 1440);
                    t.Kind = uint8_t(Kind == 4 ? DefaultTabKind : Kind);
                    CurrentTabs |= uint64_t(1) << i;
                    SortTabs();
                    result = i;
                    break;
                }
                if (result >= 0 || askedFull || !OnTabsFull)
                    break;
                askedFull = true;
                OnTabsFull(this);
            }
        }
    }
    DoNotRound = 0;
    return result;
}

int32_t TTextHeader::FindTab(int32_t& Pos, int32_t Kind)
{
    for (int pass = 0; pass < 2; ++pass) {
        for (int32_t i = 0; i < 64; ++i) {
            const TRtTabEntry& t = Tabs[size_t(i)];
            if (t.Pos != 0 && t.Pos == Pos && (Kind == 4 || t.Kind == Kind))
                return i;
        }
        if (pass == 1 || DoNotRound)
            break;
        const int32_t rounded = RoundTab(Pos);
        if (rounded == Pos)
            break;
        Pos = rounded;
    }
    return -1;
}

int32_t TTextHeader::RoundTab(int32_t Pos) const
{
    if (!RoundTabs || XRes < 1)
        return Pos;
    const int32_t step = UsedUnit != UnitCm ? RoundTabsDivForInch : RoundTabsDivForCm;
    if (step == 0)
        return Pos;
    const int32_t w = PageWidth() - LeftMargin() - RightMargin();
    int32_t cand;
    if (4 < Pos && Pos < step)
        cand = step;
    else
        cand = (Pos + step / 2) / step * step;
    return std::abs(cand - w) > step ? cand : w;
}

void TTextHeader::SortTabs()
{
    for (size_t i = 0; i < TabOrder.size(); ++i)
        TabOrder[i] = uint8_t(i);
    auto key = [this](uint8_t i) { return Tabs[i].Pos == 0 ? 16777215 : Tabs[i].Pos; };
    bool swapped = true;
    while (swapped) {
        swapped = false;
        for (size_t i = 0; i + 1 < TabOrder.size(); ++i)
            if (key(TabOrder[i]) > key(TabOrder[i + 1])) {
                std::swap(TabOrder[i], TabOrder[i + 1]);
                swapped = true;
            }
    }
}

void TTextHeader::ClearTabs() { Tabs.fill(TRtTabEntry{}); }

void TTextHeader::RescaleTabs()
{
    PixDefaultTab = MulDiv(defaultTabstop_, XRes, 1440);
    for (TRtTabEntry& t : Tabs)
        t.PixPos = MulDiv(t.Pos, XRes, 1440);
    PixTextWidth = MulDiv(PageWidth() - LeftMargin() - RightMargin(), XRes, 1440);
    PixTextHeight = MulDiv(PageHeight() - TopMargin() - BottomMargin(), YRes, 1440);
}

void TTextHeader::UpdatePixelSizes()
{
    const int32_t hRes = landscape_ ? YRes : XRes;
    const int32_t vRes = landscape_ ? XRes : YRes;
    PixPageWidth = MulDiv(pageWidth_, hRes, 1440);
    PixLeftMargin = MulDiv(leftMargin_, hRes, 1440);
    PixRightMargin = MulDiv(rightMargin_, hRes, 1440);
    PixPageHeight = MulDiv(pageHeight_, vRes, 1440);
    PixTopMargin = MulDiv(topMargin_, vRes, 1440);
    PixBottomMargin = MulDiv(bottomMargin_, vRes, 1440);
    marginHeader_ = std::max(marginHeader_, 254);
    marginFooter_ = std::max(marginFooter_, 254);
    PixMarginHeader = MulDiv(marginHeader_, vRes, 1440);
    PixMarginFooter = MulDiv(marginFooter_, vRes, 1440);
    PixTextWidth = PixPageWidth - PixLeftMargin - PixRightMargin;
    PixTextHeight = PixPageHeight - PixTopMargin - PixBottomMargin;
}

void TTextHeader::BeginUpdate() { UpdateLock = 1; }

void TTextHeader::EndUpdate()
{
    UpdateLock = 0;
    Changed();
}

void TTextHeader::Changed()
{
    if (UpdateLock)
        return;
    UpdatePixelSizes();
    if (OnChange)
        OnChange(true);
}

void TTextHeader::SetDefaultTabstop(int32_t V)
{
    defaultTabstop_ = V;
    PixDefaultTab = MulDiv(V, XRes, 1440);
    Changed();
}

void TTextHeader::SetPageWidth(int32_t V)
{
    (landscape_ ? pageHeight_ : pageWidth_) = V;
    defaultPageSize_ = rt_Custom;
    Changed();
}

void TTextHeader::SetPageHeight(int32_t V)
{
    (landscape_ ? pageWidth_ : pageHeight_) = V;
    defaultPageSize_ = rt_Custom;
    Changed();
}

void TTextHeader::SetLeftMargin(int32_t V) { leftMargin_ = V; Changed(); }
void TTextHeader::SetRightMargin(int32_t V) { rightMargin_ = V; Changed(); }
void TTextHeader::SetTopMargin(int32_t V) { topMargin_ = V; Changed(); }
void TTextHeader::SetBottomMargin(int32_t V) { bottomMargin_ = V; Changed(); }
void TTextHeader::SetMarginMirror(bool V) { marginMirror_ = V; Changed(); }

void TTextHeader::SetLandscape(bool V)
{
    if (V == landscape_)
        return;
    std::swap(pageWidth_, pageHeight_);
    landscape_ = V;
    UpdatePixelSizes();
    Changed();
}

void TTextHeader::SetDefaultPageSize(TRtPageSettings V)
{
    if (V != rt_Custom) {
        DefaultPageWidth = PageDefWidthTwips(V);
        DefaultPageHeight = PageDefHeightTwips(V);
    }
    defaultPageSize_ = V;
}

void TTextHeader::SetPageSize(TRtPageSettings V)
{
    if (V != rt_Custom) {
        SetPageWidth(PageDefWidthTwips(V));
        SetPageHeight(PageDefHeightTwips(V));
    }
    pageSize_ = V;
}
