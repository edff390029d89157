#include "uFotobuchPresets.h"

#include "ulocalize.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<AnsiString> Names(const TFBPageTemplateList& List)
{
    std::vector<AnsiString> names;
    for (const auto& t : List)
        names.push_back(t->Name);
    return names;
}

std::vector<AnsiString> Keys(const TFBPageTemplateList& List)
{
    std::vector<AnsiString> keys;
    for (const auto& t : List)
        keys.push_back(t->TemplateKey);
    return keys;
}

// Switches the localizer to a test language for the scope.
struct TLanguageScope {
    explicit TLanguageScope(int Index) { Localizer().SetLanguage(Index); }
    ~TLanguageScope() { Localizer().SetLanguage(0); }
};

} // namespace

TEST(FillPageTemplateList, EveryBuiltInTemplateFitsItsReferencePage)
{
    TFBPageTemplateList all;
    FillPageTemplateList(all, AllLayoutTypen, 0);
    ASSERT_EQ(all.size(), 57u);

    int frames = 0;
    for (const auto& t : all) {
        SCOPED_TRACE(t->TemplateKey);
        EXPECT_GT(t->Frames.Count(), 0);
        EXPECT_EQ(t->LeftFrames.Count(), 0);
        for (int i = 0; i < t->Frames.Count(); ++i) {
            const TFBElement* f = t->Frames.GetItem(i);
            EXPECT_GE(f->GetLeft(), -1e-3f);
            EXPECT_GE(f->GetTop(), -1e-3f);
            EXPECT_LE(f->GetRight(), t->TemplateWidth + 1e-3f);
            EXPECT_LE(f->GetBottom(), t->TemplateHeight + 1e-3f);
            EXPECT_EQ(f->Angle, 0.0f);
            EXPECT_EQ(f->Page, nullptr);
        }
        frames += t->Frames.Count();
    }
    EXPECT_EQ(frames, 115);

    // Spot checks against the table: first, a middle and the last entry.
    EXPECT_EQ(all[0]->Name, "Fullsize Single");
    EXPECT_EQ(all[0]->Stil, 4);
    EXPECT_EQ(all[0]->LayoutTypes, LayoutTypSet(ltPhotoBooklet43));
    const TFBElement* h = all[12]->Frames.GetItem(0);  // Horizon D
    EXPECT_EQ(all[12]->TemplateKey, "Horizon4");
    EXPECT_FLOAT_EQ(h->CenterX, 12.75f + 69.5f / 2);
    EXPECT_FLOAT_EQ(h->CenterY, 32.375f + 145.25f / 2);
    EXPECT_EQ(all[56]->TemplateKey, "ProFullLayout4");
    EXPECT_EQ(all[56]->Frames.Count(), 4);
    EXPECT_EQ(all[56]->LayoutTypes, LayoutTypSet(ltPhotoBookProRandlos));
}

TEST(FillPageTemplateList, SelectsByLayoutTypeAndPutsTheStyleFirst)
{
    TFBPageTemplateList list;
    list.push_back(std::make_unique<TFBPageTemplate>());  // emptied first
    FillPageTemplateList(list, 0, 0);
    EXPECT_TRUE(list.empty());

    struct Case {
        TFBLayoutTypen Types;
        size_t Count;
    } cases[] = {
        {LayoutTypSet(ltPhotoBooklet43), 4},  {LayoutTypSet(ltPhotoBook85), 16},
        {LayoutTypSet(ltPhotoBook85Randlos), 21}, {LayoutTypSet(ltPhotoBookPro), 11},
        {LayoutTypSet(ltPhotoBookProRandlos), 5}, {LayoutTypSet(ltDINA4), 0},
    };
    for (const Case& c : cases) {
        FillPageTemplateList(list, c.Types, 0);
        EXPECT_EQ(list.size(), c.Count) << c.Types;
    }

    FillPageTemplateList(list, LayoutTypSet(ltPhotoBook86), 0);
    EXPECT_EQ(Keys(list).front(), "Tradition1");
    EXPECT_EQ(Keys(list).back(), "Verticon5");

    FillPageTemplateList(list, LayoutTypSet(ltPhotoBook86), 2);
    EXPECT_EQ(Names(list),
              (std::vector<AnsiString>{"Horizon A", "Horizon B", "Horizon C", "Horizon D",
                                       "Horizon E", "Horizon Panorama", "Tradition A",
                                       "Tradition B", "Tradition C", "Tradition D",
                                       "Tradition Panorama", "Verticon A", "Verticon B",
                                       "Verticon C", "Verticon D", "Verticon Panorama"}));

    // Photobook Pro templates come last, or alone.
    TFBPageTemplateList pro;
    AddPhotobookProTemplates(pro);
    ASSERT_EQ(pro.size(), 16u);
    EXPECT_EQ(pro.front()->TemplateKey, "ProBorderLayout1");
}

// Each word of a name that the language file gives is in the language; words
// it lacks, numbers and letters stay.
TEST(FillPageTemplateList, NamesTheTemplatesInTheLanguage)
{
    TLanguageScope french(2);
    TFBPageTemplateList list;
    FillPageTemplateList(list, LayoutTypSet(ltPhotoBooklet43), 0);
    EXPECT_EQ(Names(list), (std::vector<AnsiString>{"Pleine page Single", "Pleine page Panorama",
                                                    "Border Single", "Border Panorama"}));
    FillPageTemplateList(list, LayoutTypSet(ltPhotoBookPro), 0);
    ASSERT_GE(list.size(), 3u);
    EXPECT_EQ(list[2]->Name, "Mise en page 2a");
    // The global list was built at start, in German.
    EXPECT_EQ(FindPageTemplate("FullsizeBooklet2")->Name, "Fullsize Panorama");
}

TEST(FindPageTemplate, FindsTheFirstOfAKeyWhateverTheCase)
{
    for (const char* key : {"FullSize3", "fullsize3", "FULLSIZE3"}) {
        const TFBPageTemplate* t = FindPageTemplate(key);
        ASSERT_NE(t, nullptr) << key;
        EXPECT_EQ(t->Name, "Fullsize A");
        EXPECT_EQ(t->Frames.Count(), 2);
    }
    const TFBPageTemplate* four = FindPageTemplate("ProFullLayout4");
    ASSERT_NE(four, nullptr);
    EXPECT_EQ(four->Frames.Count(), 3);
    EXPECT_EQ(FindPageTemplate("Tradition"), nullptr);
    EXPECT_EQ(FindPageTemplate(""), nullptr);
}

TEST(FillColorList, FourteenPresetsEndingWithTheUsersOwnColour)
{
    TFBColorList list;
    FillColorList(list);
    ASSERT_EQ(list.size(), 14u);
    EXPECT_EQ(list[0]->Name, "hellgrau");
    EXPECT_EQ(list[0]->Color, 0xE9E9E9);
    EXPECT_EQ(list[6]->Name, "orange");
    EXPECT_EQ(list[6]->Color, 0x68BEFF);  // RGB 255, 190, 104
    EXPECT_EQ(list[11]->Name, "hellgr\xFCn");
    EXPECT_EQ(list[11]->Color, 0xD8F4E7);
    EXPECT_EQ(list[13]->Name, "Eigene Farbe");
    EXPECT_EQ(list[13]->Color, -1);

    TLanguageScope french(2);
    FillColorList(list);
    ASSERT_EQ(list.size(), 14u);
    EXPECT_EQ(list[7]->Name, "rose");
    EXPECT_EQ(list[7]->Color, 0xCBC7FF);
    EXPECT_EQ(list[8]->Name, "lila");  // not translated: the default text
    EXPECT_EQ(list[13]->Name, "Couleur personnelle");
    EXPECT_EQ(list[13]->Color, -1);
}
