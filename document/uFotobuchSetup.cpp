#include "uFotobuchSetup.h"

#include "FBPictureElement.h"
#include "Graphics.h"
#include "uFotobuchDocument.h"
#include "uFotobuchPageTemplate.h"
#include "uFotobuchPresets.h"
#include "uKalender.h"
#include "MyMemIniFile.h"
#include "ulocalize.h"

#include <QFontDatabase>

#include <memory>

namespace {

struct TFrameSpec {
    float CenterX, CenterY, Width, Height;
};

enum TNameKind : uint8_t { nkUnchanged, nkLocalized, nkFixed };
enum TSwitch : int8_t { swClear = -1, swOff = 0, swOn = 1 };  // swClear: as Clear left it

struct TProduct {
    TNameKind NameKind;
    const char* Name;
    float PageWidth, PageHeight;
    const char* PaperName;
    int32_t PaperSize;
    float PaperWidth, PaperHeight;
    uint8_t PrintSetting;
    TFBLayoutTypen Layouttypen;
    uint8_t ScreenMode, DocType;
    TSwitch Borderless, Shadows;
    bool Landscape;
    std::vector<TFrameSpec> Frames;  // put on every page
    const char* FirstTemplate;       // applied to page 0; null: none
    const char* OtherTemplate;       // applied to the other pages
};

void SetName(TFBDocument* Doc, TNameKind Kind, const char* Name)
{
    if (Kind == nkLocalized)
        Doc->Dokumentname = toAnsi(LocalizedDefaultString(fromAnsi(Name)));
    else if (Kind == nkFixed)
        Doc->Dokumentname = Name;
}

void AddFrame(TFBPage* Page, const TFrameSpec& F)
{
    auto frame = std::make_unique<TFBPictureElement>(Page);
    frame->CenterX = F.CenterX;
    frame->CenterY = F.CenterY;
    frame->Width = F.Width;
    frame->Height = F.Height;
    Page->Pictures.Add(std::move(frame));
}

// Templates that are not built in are skipped without a message.
void ApplyTemplates(TFBDocument* Doc, const char* First, const char* Other)
{
    if (Doc->Pages.Count() == 0)
        return;
    if (TFBPageTemplate* t = FindPageTemplate(First))
        t->ApplyToPage(Doc->Pages.GetPage(0));
    if (TFBPageTemplate* t = FindPageTemplate(Other))
        for (int i = 1; i < Doc->Pages.Count(); ++i)
            t->ApplyToPage(Doc->Pages.GetPage(i));
}

void SetupProduct(TFBDocument* Doc, const TProduct& P, int PageCount)
{
    Doc->Clear();
    Doc->PageWidth = P.PageWidth;
    Doc->PageHeight = P.PageHeight;
    Doc->PrintPaperName = P.PaperName;
    Doc->PrintPaperSize = P.PaperSize;
    Doc->PrintPaperWidth = P.PaperWidth;
    Doc->PrintPaperHeight = P.PaperHeight;
    Doc->PrintSetting = P.PrintSetting;
    Doc->Layouttypen = P.Layouttypen;
    Doc->ScreenMode = P.ScreenMode;
    Doc->DocType = P.DocType;
    if (P.Borderless != swClear)
        Doc->PrintBorderless = P.Borderless == swOn;
    if (P.Shadows != swClear) {
        Doc->PicturesHaveShadows = P.Shadows == swOn;
        Doc->SetPictureShadows(P.Shadows == swOn);
    }
    SetName(Doc, P.NameKind, P.Name);
    for (int i = 0; i < PageCount; ++i) {
        auto page = std::make_unique<TFBPage>(Doc);
        if (P.Landscape)
            page->SetOrientation(1);
        for (const TFrameSpec& f : P.Frames)
            AddFrame(page.get(), f);
        Doc->Pages.Add(std::move(page));
    }
    if (P.FirstTemplate)
        ApplyTemplates(Doc, P.FirstTemplate, P.OtherTemplate);
}

// ---- products ------------------------------------------------------------------------

constexpr TFBLayoutTypen lt(TFBLayoutTyp T) { return LayoutTypSet(T); }

const char* const kID10x15 = "ID_10x15";
const char* const kIDDINA4 = "ID_DINA4";

const TProduct kPocketBookletFullsize = {
    nkLocalized, "PocketBooklet", 76.2f, 101.6f, kID10x15, -1, 101.6f, 152.4f, 1,
    lt(ltPhotoBooklet43), 1, 1, swOn, swOff, false, {{76.2f / 2, 101.6f / 2, 76.2f, 101.6f}},
    nullptr, nullptr};
const TProduct kPocketBookletBorder = {
    nkLocalized, "PocketBooklet", 76.2f, 101.6f, kID10x15, -1, 101.6f, 152.4f, 1,
    lt(ltPhotoBooklet43), 1, 1, swOn, swOn, false, {}, "BorderBooklet1", "BorderBooklet1"};
const TProduct kPhotobook86 = {
    nkUnchanged, nullptr, 162.5f, 210, "ID_Legal", 5, 210, 325, 2, lt(ltPhotoBook86), 1, 1,
    swClear, swClear, false, {}, nullptr, nullptr};
const TProduct kPhotobook46 = {
    nkLocalized, "Photobook 4:6", 101.6f, 163, kID10x15, -1, 101.6f, 152.4f, 4, lt(ltPhotoBook46),
    0, 0, swOn, swOff, true, {{101.6f / 2, 163.0f / 2 + 5.3f, 101.6f, 152.4f}}, nullptr, nullptr};
const TProduct kSingles10x15 = {
    nkLocalized, "10x15 Singles", 101.6f, 152.4f, kID10x15, -1, 101.6f, 152.4f, 3,
    lt(ltSingles10x15), 0, 0, swOn, swOff, true, {{101.6f / 2, 152.4f / 2, 101.6f, 152.4f}},
    nullptr, nullptr};
const TProduct kSingles13x18 = {
    nkLocalized, "13x18 Singles", 130, 180, "13x18 cm", -2, 130, 180, 11, lt(ltSingles13x18), 0, 0,
    swOn, swOff, true, {{65, 90, 130, 180}}, nullptr, nullptr};
const TProduct kPhotobook85 = {
    nkLocalized, "Photobook 8:5", 148.5f, 210, kIDDINA4, 9, 210, 297, 6, lt(ltPhotoBook85), 1, 1,
    swOff, swClear, false, {}, nullptr, nullptr};
const TProduct kPhotobook85Randlos = {
    nkLocalized, "Photobook 8:5", 148.5f, 210, kIDDINA4, 9, 210, 297, 5,
    lt(ltPhotoBook85Randlos), 1, 1, swOn, swOff, false, {}, nullptr, nullptr};
const TProduct kPhotobookPro = {
    nkLocalized, "Photobook Pro", 210, 210, "DIN A3", 8, 297, 420, 13, lt(ltPhotoBookPro), 1, 1,
    swOff, swClear, false, {}, nullptr, nullptr};
const TProduct kPhotobookProRandlos = {
    nkLocalized, "Photobook Pro", 210, 210, "DIN A3", 8, 297, 420, 14,
    lt(ltPhotoBookProRandlos), 1, 1, swOn, swOff, false, {}, nullptr, nullptr};
const TProduct kDINA4 = {
    nkFixed, "DIN A4", 210, 297, kIDDINA4, 9, 210, 297, 9, lt(ltDINA4), 0, 0, swOff, swOn, false,
    {{105, 148.5f, 190, 277}}, nullptr, nullptr};
const TProduct kDINA4Randlos = {
    nkFixed, "DIN A4 Randlos", 210, 297, kIDDINA4, 9, 210, 297, 10, lt(ltDINA4Randlos), 0, 0,
    swOn, swOff, false, {{105, 148.5f, 210, 297}}, nullptr, nullptr};
const TProduct kLabels3C10x15 = {
    nkFixed, "3C 10x15", 210, 297, kIDDINA4, 9, 210, 297, 9, 0, 0, 0, swOff, swOff, false,
    {{105, 74.25f, 152, 102}, {105, 222.75f, 152, 102}}, nullptr, nullptr};
const TProduct kLabels3C9x13 = {
    nkFixed, "3C 9x13", 210, 297, kIDDINA4, 9, 210, 297, 9, 0, 0, 0, swOff, swOff, false,
    {{55, 80, 92, 132}, {155, 80, 92, 132}, {55, 217, 92, 132}, {155, 217, 92, 132}}, nullptr,
    nullptr};
const TProduct kOrvaneFlaschenetikett = {
    nkFixed, "Orvane Flaschenetikett", 210, 297, kIDDINA4, 9, 210, 297, 9, 0, 0, 0, swOff, swOff,
    false, {{55, 80, 82, 122}, {155, 80, 82, 122}, {55, 217, 82, 122}, {155, 217, 82, 122}},
    nullptr, nullptr};
const TProduct kKalenderA4 = {
    nkLocalized, "Kalender", 210, 297, kIDDINA4, 9, 210, 297, 7, 0, 0, 0, swOn, swOff, false, {},
    nullptr, nullptr};
const TProduct kKalenderA5 = {
    nkLocalized, "Kalender", 210, 148.5f, kIDDINA4, 9, 210, 297, 8, 0, 0, 0, swOn, swOff, false,
    {}, nullptr, nullptr};

// A layout line of a base product: its sub-type, style, name and templates.
struct TSubType {
    void (*Base)(TFBDocument*, int);
    const char* LayoutSubTyp;
    uint8_t LayoutStil;
    TNameKind NameKind;
    const char* Name;
    const char* FirstTemplate;
    const char* OtherTemplate;
};

void SetupSubType(TFBDocument* Doc, const TSubType& S, int PageCount)
{
    S.Base(Doc, PageCount);
    Doc->LayoutSubTyp = S.LayoutSubTyp;
    Doc->LayoutStil = S.LayoutStil;
    SetName(Doc, S.NameKind, S.Name);
    ApplyTemplates(Doc, S.FirstTemplate, S.OtherTemplate);
}

// ---- calendars -----------------------------------------------------------------------

struct TKalenderProduct {
    void (*Base)(TFBDocument*);
    TFrameSpec Kalender;
    uint8_t Typ;
    void (*Style)(TKalenderData&);
    std::vector<TFrameSpec> Frames;
};

void SetupKalender(TFBDocument* Doc, const TKalenderProduct& K, int Year)
{
    K.Base(Doc);
    SetName(Doc, nkLocalized, "Kalender");
    for (int m = 1; m <= 12; ++m) {
        TFBPage* page = Doc->Pages.GetPage(Doc->Pages.Add(std::make_unique<TFBPage>(Doc)));
        auto cal = std::make_unique<TFBKalenderElement>(page);
        cal->CenterX = K.Kalender.CenterX;
        cal->CenterY = K.Kalender.CenterY;
        cal->Width = K.Kalender.Width;
        cal->Height = K.Kalender.Height;
        cal->KalenderData->SetMonat(m);
        cal->KalenderData->SetJahr(Year);
        cal->KalenderData->Typ = K.Typ;
        K.Style(*cal->KalenderData);
        page->Calendars.Add(std::move(cal));
        for (const TFrameSpec& f : K.Frames)
            AddFrame(page, f);
    }
}

std::vector<TFrameSpec> SevenPictures()
{
    std::vector<TFrameSpec> frames;
    for (int i = 0; i < 7; ++i)
        frames.push_back({30.0f * i + 15, 133.5f, 30, 30});
    return frames;
}

// ---- calendar styles -----------------------------------------------------------------

constexpr TColor kWhite = 0xFFFFFF;
constexpr TColor kKeepColor = -1;

// The style's font: "Trebuchet MS" where installed, the styles given and,
// unless kKeepColor, the colour.
void StyleFont(TFont& Font, TFontStyles Styles, TColor Color = kKeepColor)
{
    SetFontNameInstalled(Font, "Trebuchet MS");
    Font.SetStyle(Styles);
    if (Color != kKeepColor)
        Font.SetColor(Color);
}

// Only the name; the styles stay as the defaults have them.
void StyleFontName(TFont& Font)
{
    SetFontNameInstalled(Font, "Trebuchet MS");
}

} // namespace

// ---- fonts ---------------------------------------------------------------------------

void SetFontNameFirstInstalled(TFont& Font, const std::vector<AnsiString>& Names)
{
    const QStringList families = QFontDatabase::families();
    for (const AnsiString& name : Names)
        if (families.contains(fromAnsi(name), Qt::CaseInsensitive)) {
            Font.SetName(name);
            return;
        }
    Font.SetName("Arial");
}

void SetFontNameInstalled(TFont& Font, const AnsiString& Name)
{
    SetFontNameFirstInstalled(Font, {Name});
}

// ---- texts ---------------------------------------------------------------------------

void RegisterCatalogueTexts()
{
    static const char* const texts[] = {
        "PocketBooklet", "Photobook 8:6 - Tradition", "Photobook 8:6 - Horizon",
        "Photobook 8:6 - Verticon", "Photobook 8:8 - Tradition", "10x15 Singles",
        "Photobook 4:6", "Photobook 8:5", "Photobook 8:5 - Tradition", "Photobook 8:5 - Horizon",
        "Photobook 8:5 - Verticon", "Photobook 8:5 - Standard",
        "Photobook 8:5 - Vollfl\344che", "10x15 cm (4x6 Zoll)", "Legal", "DIN A4", "DIN A4 Randlos",
        // Names the builders give that would otherwise have no default text.
        "13x18 Singles", "Photobook Pro", "Kalender"};
    for (const char* t : texts) {
        RegisterDefaultString(fromAnsi(t));
        RegisterProductNamePart(QStringLiteral("Default"), fromAnsi(t));
    }
    // The paper keys the products store; without these a paper shows as
    // "kein Defaultwert definiert" in the print dialog.
    RegisterDefaultStringKey(QString::fromLatin1(kID10x15), QStringLiteral("10x15 cm (4x6 Zoll)"));
    RegisterDefaultStringKey(QStringLiteral("ID_Legal"), QStringLiteral("Legal"));
    RegisterColorPresetNames();
}

namespace {

struct TNamePart {
    QString Section, Key;
};

std::vector<TNamePart>& NameParts()
{
    static std::vector<TNamePart> parts;
    return parts;
}

// The texts of every language the program carries, loaded once.
const std::vector<std::unique_ptr<TMyMemIniFile>>& LanguageTexts()
{
    static const std::vector<std::unique_ptr<TMyMemIniFile>> languages = [] {
        std::vector<std::unique_ptr<TMyMemIniFile>> list;
        for (int i = 0; i < TLocalizer::LanguageCount; ++i) {
            auto ini = std::make_unique<TMyMemIniFile>();
            if (TLocalizer::ReadLanguage(i, *ini))
                list.push_back(std::move(ini));
        }
        return list;
    }();
    return languages;
}

// The registered text that Text is in some language, in the current language.
bool TranslateNamePart(const QString& Text, QString& Result)
{
    // A text of the current language is found without reading the other languages.
    for (const TNamePart& part : NameParts()) {
        const QString current = Localizer().GetString(part.Section, part.Key, part.Key);
        if (Text == part.Key || Text == current) {
            Result = current;
            return true;
        }
    }
    for (const TNamePart& part : NameParts())
        for (const auto& language : LanguageTexts())
            if (Text == language->ReadString(part.Section, part.Key, QString())) {
                Result = Localizer().GetString(part.Section, part.Key, part.Key);
                return true;
            }
    return false;
}

QString LocalizedName(const QString& Name)
{
    QString result;
    if (Name.isEmpty())
        return Name;
    if (TranslateNamePart(Name, result))
        return result;
    // A name joined from a registered text and a rest ("Photobook 8:5 - Tradition").
    for (const QString& separator : {QStringLiteral(" - "), QStringLiteral(" \u2013 ")}) {
        const qsizetype at = Name.indexOf(separator);
        QString head;
        if (at > 0 && TranslateNamePart(Name.left(at), head))
            return head + separator + LocalizedName(Name.mid(at + separator.size()));
    }
    return Name;
}

[[maybe_unused]] const bool kCatalogueTextsRegistered = (RegisterCatalogueTexts(), true);
} // namespace

void RegisterProductNamePart(const QString& Section, const QString& Key)
{
    for (const TNamePart& part : NameParts())
        if (part.Section == Section && part.Key == Key)
            return;
    NameParts().push_back({Section, Key});
}

QString LocalizedProductName(const AnsiString& Name)
{
    return LocalizedName(fromAnsi(Name));
}

// ---- builders ------------------------------------------------------------------------

void SetupDefaultDocument(TFBDocument* Doc)
{
    SetupPhotobook85Tradition(Doc, 32);
    Doc->Dokumentname.clear();
}

void SetupPocketBookletFullsize(TFBDocument* Doc, int PageCount) { SetupProduct(Doc, kPocketBookletFullsize, PageCount); }
void SetupPocketBookletBorder(TFBDocument* Doc, int PageCount) { SetupProduct(Doc, kPocketBookletBorder, PageCount); }
void SetupPhotobook86(TFBDocument* Doc, int PageCount) { SetupProduct(Doc, kPhotobook86, PageCount); }
void SetupPhotobook85(TFBDocument* Doc, int PageCount) { SetupProduct(Doc, kPhotobook85, PageCount); }
void SetupPhotobook85Randlos(TFBDocument* Doc, int PageCount) { SetupProduct(Doc, kPhotobook85Randlos, PageCount); }
void SetupPhotobookPro(TFBDocument* Doc, int PageCount) { SetupProduct(Doc, kPhotobookPro, PageCount); }
void SetupPhotobookProRandlos(TFBDocument* Doc, int PageCount) { SetupProduct(Doc, kPhotobookProRandlos, PageCount); }
void SetupSingles10x15(TFBDocument* Doc, int PageCount) { SetupProduct(Doc, kSingles10x15, PageCount); }
void SetupSingles13x18(TFBDocument* Doc, int PageCount) { SetupProduct(Doc, kSingles13x18, PageCount); }
void SetupDINA4(TFBDocument* Doc, int PageCount) { SetupProduct(Doc, kDINA4, PageCount); }
void SetupDINA4Randlos(TFBDocument* Doc, int PageCount) { SetupProduct(Doc, kDINA4Randlos, PageCount); }
void SetupLabels3C10x15(TFBDocument* Doc, int PageCount) { SetupProduct(Doc, kLabels3C10x15, PageCount); }
void SetupLabels3C9x13(TFBDocument* Doc, int PageCount) { SetupProduct(Doc, kLabels3C9x13, PageCount); }
void SetupOrvaneFlaschenetikett(TFBDocument* Doc, int PageCount) { SetupProduct(Doc, kOrvaneFlaschenetikett, PageCount); }

void SetupPhotobook46(TFBDocument* Doc, int PageCount)
{
    SetupProduct(Doc, kPhotobook46, PageCount);
    Doc->ScreenQuerformatWinkel = -90;
}

void SetupPhotobinding10x15(TFBDocument* Doc, int PageCount)
{
    SetupSingles10x15(Doc, PageCount);
    Doc->PrintSetting = 12;
    Doc->Dokumentname = "Photobuch 10x15";
}

void SetupPhotobook86Tradition(TFBDocument* Doc, int PageCount)
{
    SetupSubType(Doc, {SetupPhotobook86, "Tradition", 1, nkLocalized, "Photobook 8:6 - Tradition", "Tradition2", "Tradition1"}, PageCount);
}

void SetupPhotobook86Horizon(TFBDocument* Doc, int PageCount)
{
    SetupSubType(Doc, {SetupPhotobook86, "Horizon", 2, nkLocalized, "Photobook 8:6 - Horizon", "Horizon1", "Horizon2"}, PageCount);
}

void SetupPhotobook86Verticon(TFBDocument* Doc, int PageCount)
{
    SetupSubType(Doc, {SetupPhotobook86, "Verticon", 3, nkLocalized, "Photobook 8:6 - Verticon", "Verticon1", "Verticon2"}, PageCount);
}

void SetupPhotobook85Tradition(TFBDocument* Doc, int PageCount)
{
    SetupSubType(Doc, {SetupPhotobook85, "Tradition", 1, nkLocalized, "Photobook 8:5 - Tradition", "Tradition2", "Tradition1"}, PageCount);
}

void SetupPhotobook85Horizon(TFBDocument* Doc, int PageCount)
{
    SetupSubType(Doc, {SetupPhotobook85, "Horizon", 2, nkLocalized, "Photobook 8:5 - Horizon", "Horizon1", "Horizon2"}, PageCount);
}

void SetupPhotobook85Verticon(TFBDocument* Doc, int PageCount)
{
    SetupSubType(Doc, {SetupPhotobook85, "Verticon", 3, nkLocalized, "Photobook 8:5 - Verticon", "Verticon1", "Verticon2"}, PageCount);
}

void SetupPhotobook85RandlosTradition(TFBDocument* Doc, int PageCount)
{
    SetupSubType(Doc, {SetupPhotobook85Randlos, "Tradition", 5, nkLocalized, "Photobook 8:5 - Tradition", "TraditionR2", "TraditionR1"}, PageCount);
}

void SetupPhotobook85RandlosHorizon(TFBDocument* Doc, int PageCount)
{
    SetupSubType(Doc, {SetupPhotobook85Randlos, "Horizon", 6, nkLocalized, "Photobook 8:5 - Horizon", "HorizonR1", "HorizonR2"}, PageCount);
}

void SetupPhotobook85RandlosVerticon(TFBDocument* Doc, int PageCount)
{
    SetupSubType(Doc, {SetupPhotobook85Randlos, "Verticon", 7, nkLocalized, "Photobook 8:5 - Verticon", "VerticonR1", "VerticonR2"}, PageCount);
}

void SetupPhotobook85RandlosFullpage(TFBDocument* Doc, int PageCount)
{
    SetupSubType(Doc, {SetupPhotobook85Randlos, "Fullpage", 4, nkLocalized, "Photobook 8:5 - Vollfl\344che", "FullSize1", "FullSize3"}, PageCount);
}

void SetupPhotobookProHorizon(TFBDocument* Doc, int PageCount)
{
    SetupSubType(Doc, {SetupPhotobookPro, "Horizon", 2, nkFixed, "Photobook Pro", "ProBorderLayout1", "ProBorderLayout1"}, PageCount);
}

void SetupPhotobookProRandlosHorizon(TFBDocument* Doc, int PageCount)
{
    SetupSubType(Doc, {SetupPhotobookProRandlos, "Horizon", 2, nkFixed, "Photobook Pro", "ProFullLayout1", "ProFullLayout1"}, PageCount);
}

void SetupKalenderA4(TFBDocument* Doc) { SetupProduct(Doc, kKalenderA4, 0); }
void SetupKalenderA5(TFBDocument* Doc) { SetupProduct(Doc, kKalenderA5, 0); }

void SetupKalenderA4PictureBottom(TFBDocument* Doc, int Year)
{
    SetupKalender(Doc, {SetupKalenderA4, {105, 110, 160, 170}, 0, StyleKalenderA4PictureBottom, {{105, 253, 210, 88}}}, Year);
}

void SetupKalenderA4PictureTop(TFBDocument* Doc, int Year)
{
    SetupKalender(Doc, {SetupKalenderA4, {105, 245, 188, 70}, 0, StyleKalenderA4PictureTop, {{105, 113, 188, 186}}}, Year);
}

void SetupKalenderA4StripBottom(TFBDocument* Doc, int Year)
{
    SetupKalender(Doc, {SetupKalenderA4, {105, 282, 194, 20}, 1, StyleKalenderA4StripBottom, {{105, 131.5f, 210, 263}}}, Year);
}

void SetupKalenderA4StripRight(TFBDocument* Doc, int Year)
{
    SetupKalender(Doc, {SetupKalenderA4, {187, 148.5f, 46, 297}, 2, StyleKalenderA4StripRight, {{82, 148.5f, 164, 297}}}, Year);
}

void SetupKalenderA5PictureLeft(TFBDocument* Doc, int Year)
{
    SetupKalender(Doc, {SetupKalenderA5, {169, 76, 60, 123}, 0, StyleKalenderA5PictureLeft, {{72, 76, 123, 123}}}, Year);
}

void SetupKalenderA5SevenPictures(TFBDocument* Doc, int Year)
{
    SetupKalender(Doc, {SetupKalenderA5, {105, 60, 210, 105}, 0, StyleKalenderA5SevenPictures, SevenPictures()}, Year);
}

void SetupKalenderA5StripBottom(TFBDocument* Doc, int Year)
{
    SetupKalender(Doc, {SetupKalenderA5, {105, 133, 190, 20}, 1, StyleKalenderA5StripBottom, {{105, 68, 210, 98}}}, Year);
}

// ---- calendar styles -----------------------------------------------------------------

void StyleKalenderA4PictureBottom(TKalenderData& D)
{
    D.SetDefaults();
    StyleFontName(D.Font);
    D.FontHeight = 37;
    D.FTextAlign = 9;
    D.ColorZellen = 0xDDDDDD;
    D.CellPadding.SetValues(0, 0, 0, 7);
    D.CellSpacing.SetValues(7, 7, 7, 7);
    StyleFont(D.WochentagFont, fsBold);
    D.WochentagSize = 18;
    D.WochentagFontHeight = 33;
    D.WochentagColorZeile = 0xDDDDDD;
    D.WochentagRowSpacing.SetValues(1, 10, 1, 35);
    StyleFont(D.MonatJahrFont, fsItalic, 0x333333);
    D.MonatJahrSize = 15;
    D.MonatJahrFontHeight = 40;
}

void StyleKalenderA4PictureTop(TKalenderData& D)
{
    D.SetDefaults();
    StyleFontName(D.Font);
    D.FontHeight = 70;
    D.FTextAlign = 5;
    D.Color = 0xE0E0E0;
    D.ColorZeilen = 0xF0F0F0;
    D.CellPadding.SetValues(0, 0, 0, 0);
    D.RowPadding.SetValues(5, 0, 5, 0);
    D.RowSpacing.SetValues(0, 10, 0, 10);
    StyleFont(D.WochentagFont, fsBold);
    D.WochentagSize = 18;
    D.WochentagFontHeight = 47;
    D.WochentagColorZeile = 0xD0D0D0;
    D.WochentagRowPadding.SetValues(5, 0, 5, 0);
    D.WochentagRowSpacing.SetValues(0, 0, 0, 30);
    StyleFont(D.MonatJahrFont, fsItalic, 0x333333);
    D.MonatJahrSize = 20;
    D.MonatJahrFontHeight = 45;
    D.ShowMonatJahrOnBottom = true;
}

void StyleKalenderA4StripBottom(TKalenderData& D)
{
    D.SetDefaults();
    StyleFontName(D.Font);
    D.FontHeight = 45;
    D.ShowWochentage = false;
    StyleFont(D.MonatJahrFont, fsItalic, 0x333333);
    D.MonatJahrSize = 55;
    D.MonatJahrFontHeight = 80;
    D.MonatJahrTextAlign = 6;
}

void StyleKalenderA4StripRight(TKalenderData& D)
{
    D.SetDefaults();
    StyleFont(D.Font, fsBold);
    D.FontHeight = 60;
    D.FTextAlign = 6;
    D.RowPadding.SetValues(0, 4, 22, 4);
    D.ShowWochentage = false;
    D.WochentagRowPadding.SetValues(2, 4, 22, 4);
    StyleFont(D.MonatJahrFont, fsItalic, kWhite);
    D.MonatJahrSize = 6.7f;
    D.MonatJahrFontHeight = 35;
    D.MonatJahrTextAlign = 6;
    D.MonatJahrColorZeile = 0x606060;
    D.ShowMonatJahrOnBottom = true;
    D.MonatJahrZweizeilig = true;
    D.MonatJahrRowPadding.SetValues(0, 0, 22, 0);
}

void StyleKalenderA5PictureLeft(TKalenderData& D)
{
    D.SetDefaults();
    StyleFontName(D.Font);
    D.FontHeight = 70;
    D.FTextAlign = 5;
    D.Color = 0xE0E0E0;
    D.ColorZeilen = 0xF0F0F0;
    D.CellPadding.SetValues(0, 0, 0, 0);
    D.RowPadding.SetValues(5, 0, 5, 0);
    D.RowSpacing.SetValues(0, 32, 0, 32);
    StyleFont(D.WochentagFont, fsBold);
    D.WochentagSize = 13;
    D.WochentagFontHeight = 47;
    D.WochentagColorZeile = 0xD0D0D0;
    D.WochentagRowPadding.SetValues(5, 0, 5, 0);
    D.WochentagRowSpacing.SetValues(0, 0, 0, 47);
    StyleFont(D.MonatJahrFont, fsItalic, kWhite);
    D.MonatJahrSize = 20;
    D.MonatJahrFontHeight = 45;
    D.MonatJahrColorZeile = 0x333333;
    D.ShowMonatJahrOnBottom = true;
    D.MonatJahrZweizeilig = true;
    D.MonatJahrRowSpacing.SetValues(0, 30, 0, 0);
}

void StyleKalenderA5SevenPictures(TKalenderData& D)
{
    D.SetDefaults();
    StyleFontName(D.Font);
    D.FontHeight = 47;
    D.CellPadding.SetValues(0, 0, 0, 0);
    D.RowPadding.SetValues(5, 0, 5, 0);
    D.RowSpacing.SetValues(0, 0, 0, 0);
    StyleFont(D.WochentagFont, fsBold, kWhite);
    D.WochentagSize = 13;
    D.WochentagFontHeight = 45;
    D.WochentagColorZeile = 0x808080;
    D.WochentagRowPadding.SetValues(5, 0, 5, 0);
    D.WochentagRowSpacing.SetValues(0, 0, 0, 0);
    StyleFont(D.MonatJahrFont, fsItalic);
    D.MonatJahrSize = 15;
    D.MonatJahrFontHeight = 60;
    D.MonatJahrRowSpacing.SetValues(0, 0, 0, 0);
}

void StyleKalenderA5StripBottom(TKalenderData& D)
{
    D.SetDefaults();
    StyleFontName(D.Font);
    D.FontHeight = 40;
    D.ShowWochentage = false;
    StyleFont(D.MonatJahrFont, fsItalic, 0x333333);
    D.MonatJahrSize = 50;
    D.MonatJahrFontHeight = 70;
    D.MonatJahrTextAlign = 6;
    D.MonatJahrRowSpacing.SetValues(0, 0, 0.8f, 0);
}
