#include "uFotobuchPresets.h"

#include "SysUtils.h"
#include "uDebug.h"
#include "ulocalize.h"

#include <vector>

namespace {

struct TFrameRect {
    float Left, Top, Width, Height;
};

struct TBuiltinTemplate {
    const char* Name;
    const char* Key;
    float Width, Height;  // reference page, mm
    TFBLayoutTypen Types;
    uint8_t Stil;
    bool DoublePage;
    std::vector<TFrameRect> Frames;
};

constexpr TFBLayoutTypen kBooklet = LayoutTypSet(ltPhotoBooklet43);
constexpr TFBLayoutTypen kBook = LayoutTypSet(ltPhotoBook86) | LayoutTypSet(ltPhotoBook85);
constexpr TFBLayoutTypen kRandlos = LayoutTypSet(ltPhotoBook85Randlos);
constexpr TFBLayoutTypen kPro = LayoutTypSet(ltPhotoBookPro);
constexpr TFBLayoutTypen kProRandlos = LayoutTypSet(ltPhotoBookProRandlos);

// In list order; the first kProFirst entries are the general templates, the
// rest those of the Photobook Pro products.
const std::vector<TBuiltinTemplate>& BuiltinTemplates()
{
    static const std::vector<TBuiltinTemplate> table = {
        {"Fullsize Single", "FullsizeBooklet1", 76.2f, 101.6f, kBooklet, 4, false, {{0, 0, 76.2f, 101.6f}}},
        {"Fullsize Panorama", "FullsizeBooklet2", 76.2f, 101.6f, kBooklet, 4, true, {{0, 0, 76.2f, 101.6f}}},
        {"Border Single", "BorderBooklet1", 76.2f, 101.6f, kBooklet, 1, false, {{5, 5, 66.2f, 91.6f}}},
        {"Border Panorama", "BorderBooklet2", 76.2f, 101.6f, kBooklet, 1, true, {{0, 5, 71.2f, 91.6f}}},

        {"Tradition A", "Tradition1", 163.5f, 210, kBook, 1, false,
         {{12.75f, 6.5f, 145.25f, 96.5f}, {12.75f, 107, 145.25f, 96.5f}}},
        {"Tradition B", "Tradition2", 163.5f, 210, kBook, 1, false, {{12.75f, 6.5f, 145.25f, 197}}},
        {"Tradition C", "Tradition3", 163.5f, 210, kBook, 1, false,
         {{12.75f, 6.5f, 69.5f, 96.5f}, {88.5f, 6.5f, 69.5f, 96.5f}, {12.75f, 107, 145.25f, 96.5f}}},
        {"Tradition D", "Tradition4", 163.5f, 210, kBook, 1, false,
         {{12.75f, 6.5f, 69.5f, 96.5f}, {88.5f, 6.5f, 69.5f, 96.5f}, {12.75f, 107, 69.5f, 96.5f},
          {88.5f, 107, 69.5f, 96.5f}}},
        {"Tradition Panorama", "Tradition5", 163.5f, 210, kBook, 1, true, {{5.5f, 6.5f, 152.5f, 197}}},
        {"Horizon A", "Horizon2", 163.5f, 210, kBook, 2, false,
         {{12.75f, 32.375f, 145.25f, 70.625f}, {12.75f, 107, 145.25f, 70.625f}}},
        {"Horizon B", "Horizon1", 163.5f, 210, kBook, 2, false, {{12.75f, 32.375f, 145.25f, 145.25f}}},
        {"Horizon C", "Horizon3", 163.5f, 210, kBook, 2, false,
         {{12.75f, 32.375f, 69.5f, 70.625f}, {88.5f, 32.375f, 69.5f, 70.625f},
          {12.75f, 107, 145.25f, 70.625f}}},
        {"Horizon D", "Horizon4", 163.5f, 210, kBook, 2, false,
         {{12.75f, 32.375f, 69.5f, 145.25f}, {88.5f, 32.375f, 69.5f, 70.625f},
          {88.5f, 107, 69.5f, 70.625f}}},
        {"Horizon E", "Horizon5", 163.5f, 210, kBook, 2, false,
         {{12.75f, 32.375f, 69.5f, 70.625f}, {88.5f, 32.375f, 69.5f, 70.625f},
          {12.75f, 107, 69.5f, 70.625f}, {88.5f, 107, 69.5f, 70.625f}}},
        {"Horizon Panorama", "Horizon6", 163.5f, 210, kBook, 2, true, {{12.75f, 32.375f, 145.25f, 145.25f}}},
        {"Verticon A", "Verticon2", 163.5f, 210, kBook, 3, false,
         {{12.75f, 6.5f, 112.75f, 96.5f}, {12.75f, 107, 112.75f, 96.5f}}},
        {"Verticon B", "Verticon1", 163.5f, 210, kBook, 3, false, {{12.75f, 6.5f, 112.75f, 197}}},
        {"Verticon C", "Verticon4", 163.5f, 210, kBook, 3, false,
         {{12.75f, 6.5f, 112.75f, 63}, {12.75f, 73.5f, 112.75f, 130}}},
        {"Verticon D", "Verticon3", 163.5f, 210, kBook, 3, false,
         {{12.75f, 6.5f, 112.75f, 63}, {12.75f, 73.5f, 112.75f, 63}, {12.75f, 140.5f, 112.75f, 63}}},
        {"Verticon Panorama", "Verticon5", 163.5f, 210, kBook, 3, true, {{12.75f, 6.5f, 112.75f, 197}}},

        {"Tradition A", "TraditionR1", 148.5f, 210, kRandlos, 5, false,
         {{0, 6.5f, 144, 96.5f}, {0, 107, 144, 96.5f}}},
        {"Tradition B", "TraditionR2", 148.5f, 210, kRandlos, 5, false, {{0, 6.5f, 144, 197}}},
        {"Tradition C", "TraditionR3", 148.5f, 210, kRandlos, 5, false,
         {{0, 6.5f, 69.5f, 96.5f}, {76, 6.5f, 68, 96.5f}, {0, 107, 144, 96.5f}}},
        {"Tradition D", "TraditionR4", 148.5f, 210, kRandlos, 5, false,
         {{0, 6.5f, 69, 96.5f}, {76, 6.5f, 68, 96.5f}, {0, 107, 69, 96.5f}, {76, 107, 68, 96.5f}}},
        {"Tradition Panorama", "TraditionR5", 148.5f, 210, kRandlos, 5, true, {{0, 6.5f, 144, 197}}},
        {"Horizon A", "HorizonR2", 148.5f, 210, kRandlos, 6, false,
         {{0, 32.375f, 144, 70.625f}, {0, 107, 144, 70.625f}}},
        {"Horizon B", "HorizonR1", 148.5f, 210, kRandlos, 6, false, {{0, 32.375f, 144, 145.25f}}},
        {"Horizon C", "HorizonR3", 148.5f, 210, kRandlos, 6, false,
         {{0, 32.375f, 69.5f, 70.625f}, {74.5f, 32.375f, 69.5f, 70.625f}, {0, 107, 144, 70.625f}}},
        {"Horizon D", "HorizonR4", 148.5f, 210, kRandlos, 6, false,
         {{0, 32.375f, 69.5f, 145.25f}, {74.5f, 32.375f, 69.5f, 70.625f}, {74.5f, 107, 69.5f, 70.625f}}},
        {"Horizon E", "HorizonR5", 148.5f, 210, kRandlos, 6, false,
         {{0, 32.375f, 69.5f, 70.625f}, {74.5f, 32.375f, 69.5f, 70.625f}, {0, 107, 69.5f, 70.625f},
          {74.5f, 107, 69.5f, 70.625f}}},
        {"Horizon Panorama", "HorizonR6", 148.5f, 210, kRandlos, 6, true, {{0, 32.375f, 144, 145.25f}}},
        {"Verticon A", "VerticonR2", 148.5f, 210, kRandlos, 7, false,
         {{0, 6.5f, 112.75f, 96.5f}, {0, 107, 112.75f, 96.5f}}},
        {"Verticon B", "VerticonR1", 148.5f, 210, kRandlos, 7, false, {{0, 6.5f, 112.75f, 197}}},
        {"Verticon C", "VerticonR4", 148.5f, 210, kRandlos, 7, false,
         {{0, 6.5f, 112.75f, 63}, {0, 73.5f, 112.75f, 130}}},
        {"Verticon D", "VerticonR3", 148.5f, 210, kRandlos, 7, false,
         {{0, 6.5f, 112.75f, 63}, {0, 73.5f, 112.75f, 63}, {0, 140.5f, 112.75f, 63}}},
        {"Verticon Panorama", "VerticonR5", 148.5f, 210, kRandlos, 7, true, {{0, 6.5f, 112.75f, 197}}},
        {"Fullsize A", "FullSize3", 148.5f, 210, kRandlos, 4, false,
         {{0, 0, 148.5f, 103.5f}, {0, 106.5f, 148.5f, 103.5f}}},
        {"Fullsize B", "FullSize1", 148.5f, 210, kRandlos, 4, false, {{0, 0, 148.5f, 210}}},
        {"Fullsize C", "FullSize3", 148.5f, 210, kRandlos, 4, false,
         {{0, 0, 72.8f, 103.5f}, {75.7f, 0, 72.8f, 103.5f}, {0, 106.5f, 148.5f, 103.5f}}},
        {"Fullsize D", "FullSize3", 148.5f, 210, kRandlos, 4, false,
         {{0, 0, 72.8f, 103.5f}, {75.7f, 0, 72.8f, 103.5f}, {0, 106.5f, 72.8f, 103.5f},
          {75.7f, 106.5f, 72.8f, 103.5f}}},
        {"Fullsize Panorama", "FullSize2", 148.5f, 210, kRandlos, 4, true, {{0, 0, 148.5f, 210}}},

        {"Layout 1", "ProBorderLayout1", 210, 210, kPro, 1, false, {{10, 5, 195, 200}}},
        {"Layout 2", "ProBorderLayout2", 210, 210, kPro, 1, false, {{10, 40, 195, 130}}},
        {"Layout 2a", "ProBorderLayout2a", 210, 210, kPro, 1, false, {{10, 40, 95, 130}, {110, 40, 95, 130}}},
        {"Layout 3", "ProBorderLayout3", 210, 210, kPro, 1, false, {{45, 5, 130, 200}}},
        {"Layout 3a", "ProBorderLayout3a", 210, 210, kPro, 1, false,
         {{45, 5, 130, 97.5f}, {45, 107.5f, 130, 97.5f}}},
        {"Layout 4", "ProBorderLayout4", 210, 210, kPro, 1, false, {{10, 5, 130, 200}}},
        {"Layout Panorama", "ProBorderLayout5", 210, 210, kPro, 1, true, {{10, 5, 195, 200}}},
        {"Layout 6", "ProBorderLayout6", 210, 210, kPro, 1, false,
         {{10, 5, 95, 98}, {10, 108, 95, 98}, {110, 5, 95, 98}, {110, 107, 95, 98}}},
        {"Layout 7", "ProBorderLayout7", 210, 210, kPro, 1, false, {{10, 5, 195, 98}, {10, 107, 195, 98}}},
        {"Layout 8", "ProBorderLayout8", 210, 210, kPro, 1, false,
         {{10, 5, 95, 98}, {110, 5, 95, 98}, {10, 107, 195, 98}}},
        {"Layout 9", "ProBorderLayout9", 210, 210, kPro, 1, false,
         {{10, 5, 95, 200}, {110, 5, 95, 98}, {110, 107, 95, 98}}},
        {"Layout 1", "ProFullLayout1", 210, 210, kProRandlos, 1, false, {{0, 0, 210, 210}}},
        {"Layout Panorama", "ProFullLayout2", 210, 210, kProRandlos, 1, true, {{0, 0, 210, 210}}},
        {"Layout 3", "ProFullLayout3", 210, 210, kProRandlos, 1, false, {{0, 0, 210, 103}, {0, 107, 210, 103}}},
        {"Layout 4", "ProFullLayout4", 210, 210, kProRandlos, 1, false,
         {{0, 0, 102.5f, 103}, {107.5f, 0, 102.5f, 103}, {0, 107, 210, 103}}},
        {"Layout 4", "ProFullLayout4", 210, 210, kProRandlos, 1, false,
         {{0, 0, 102.5f, 103}, {107.5f, 0, 102.5f, 103}, {0, 107, 102.5f, 103}, {107.5f, 107, 102.5f, 103}}},
    };
    return table;
}

constexpr size_t kProFirst = 41;

// The words template names are made of ("Tradition Panorama", "Layout 2a");
// numbers and letters between them stay as they are.
const char* const kTemplateWords[] = {"Fullsize", "Border",  "Tradition", "Horizon",
                                      "Verticon", "Layout", "Single",    "Panorama"};

[[maybe_unused]] const bool kTemplateWordsRegistered = [] {
    for (const char* word : kTemplateWords)
        RegisterDefaultString(QString::fromLatin1(word));
    return true;
}();

// The name with each of its words in the program's language.
AnsiString LocalizedTemplateName(const AnsiString& Name)
{
    QStringList words = fromAnsi(Name).split(QLatin1Char(' '));
    for (QString& word : words)
        for (const char* key : kTemplateWords)
            if (word == QLatin1String(key)) {
                word = LocalizedDefaultString(word);
                break;
            }
    return toAnsi(words.join(QLatin1Char(' ')));
}

void AppendTemplates(TFBPageTemplateList& List, size_t First, size_t Last)
{
    const auto& table = BuiltinTemplates();
    for (size_t i = First; i < Last; ++i) {
        const TBuiltinTemplate& b = table[i];
        auto t = std::make_unique<TFBPageTemplate>();
        t->TemplateWidth = b.Width;
        t->TemplateHeight = b.Height;
        t->Name = b.Name;
        t->TemplateKey = b.Key;
        t->IsDoublePage = b.DoublePage;
        t->LayoutTypes = b.Types;
        t->Stil = b.Stil;
        for (const TFrameRect& f : b.Frames)
            t->AddFrame(f.Left, f.Top, f.Width, f.Height);
        List.push_back(std::move(t));
    }
}

// Every built-in template, built when the unit starts.
TFBPageTemplateList& GlobalTemplates()
{
    static TFBPageTemplateList list = [] {
        TFBPageTemplateList l;
        FillPageTemplateList(l, AllLayoutTypen, 0);
        return l;
    }();
    return list;
}

[[maybe_unused]] const bool kGlobalTemplatesBuilt = (GlobalTemplates(), true);

struct TColorPreset {
    uint8_t R, G, B;
};

constexpr TColorPreset kPresetColors[13] = {
    {233, 233, 233}, {177, 177, 177}, {93, 93, 93},    {0, 0, 0},       {255, 240, 184},
    {255, 231, 121}, {255, 190, 104}, {255, 199, 203}, {231, 201, 255}, {208, 220, 255},
    {231, 251, 255}, {231, 244, 216}, {231, 244, 153},
};

} // namespace

const char* const ColorPresetNames[14] = {
    "hellgrau", "grau",  "dunkelgrau", "schwarz",  "hellgelb", "gelb",         "orange",
    "rosa",     "lila",  "blau",       "hellblau", "hellgr\xFCn", "gr\xFCn", "Eigene Farbe",
};

void RegisterColorPresetNames()
{
    for (const char* name : ColorPresetNames)
        RegisterDefaultString(fromAnsi(name));
}

namespace {
[[maybe_unused]] const bool kColorNamesRegistered = (RegisterColorPresetNames(), true);
} // namespace

void AddPhotobookProTemplates(TFBPageTemplateList& List)
{
    AppendTemplates(List, kProFirst, BuiltinTemplates().size());
}

void FillPageTemplateList(TFBPageTemplateList& List, TFBLayoutTypen LayoutTypes, uint8_t Stil)
{
    List.clear();
    AppendTemplates(List, 0, kProFirst);
    AddPhotobookProTemplates(List);

    for (int i = int(List.size()) - 1; i >= 0; --i)
        if ((List[size_t(i)]->LayoutTypes & LayoutTypes) == 0)
            List.erase(List.begin() + i);

    if (Stil != 0) {
        // Stable: the templates of the style first, the others after them.
        TFBPageTemplateList styled, others;
        for (auto& t : List)
            (t->Stil == Stil ? styled : others).push_back(std::move(t));
        List = std::move(styled);
        for (auto& t : others)
            List.push_back(std::move(t));
    }

    for (auto& t : List)
        t->Name = LocalizedTemplateName(t->Name);
}

TFBPageTemplate* FindPageTemplate(const AnsiString& Key)
{
    for (const auto& t : GlobalTemplates())
        if (AnsiSameText(t->TemplateKey, Key))
            return t.get();
    return nullptr;
}

void FillColorList(TFBColorList& List)
{
    Debug().Log("FillColorList");
    List.clear();
    for (int i = 0; i < 14; ++i) {
        const TColor color = i < 13 ? TColor(kPresetColors[i].R | kPresetColors[i].G << 8 |
                                             kPresetColors[i].B << 16)
                                    : TColor(-1);
        List.push_back(std::make_unique<TFBColor>(
            toAnsi(LocalizedDefaultString(fromAnsi(ColorPresetNames[i]))), color));
    }
}
