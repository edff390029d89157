#include "RtNumbering.h"

#include <gtest/gtest.h>

TEST(RtRTFNumberingStyle, NumberTexts)
{
    struct Case {
        TRtNumberStyle style;
        int32_t value;
        const char* text;
    };
    const Case cases[] = {
        {rt_a, 1, "a"},          {rt_a, 26, "z"},         {rt_a, 27, "aa"},       {rt_a, 52, "az"},
        {rt_a, 53, "ba"},        {rt_a, 702, "zz"},       {rt_a, 703, "a"},       {rt_lg_a, 28, "AB"},
        {rt_a, 0, ""},           {rt_lg_i, 49, "XXXXIX"}, {rt_i, 90, "lxxxx"},    {rt_i, 40, "xxxx"},
        {rt_i, 4, "iv"},         {rt_i, 100, "c"},        {rt_lg_i, 1999, "MDCCCCLXXXXIX"},
        {rt_1, 12, "12"},        {rt_bullet, 3, ""},      {rt_none, 3, ""},
    };
    TRtRTFNumberingStyle st(nullptr);
    st.TextB = "(";
    st.TextA = ")";
    for (const Case& c : cases) {
        st.Style = c.style;
        EXPECT_EQ(st.NumberText(c.value), AnsiString("(") + c.text + ")") << int(c.style) << " " << c.value;
    }
}

TEST(RtRTFNumberingStyleCollection, NewStylesNumberFromTwenty)
{
    TRtRTFNumberingStyleCollection list(nullptr);
    list.Add()->Number = 6;
    EXPECT_EQ(list.Add()->Number, 20);
    list.GetItem(1)->Number = 25;
    EXPECT_EQ(list.Add()->Number, 26);
}

TEST(RtRTFNumberingStyleCollection, DefaultsAndLookup)
{
    TRtRTFNumberingStyleCollection list(nullptr);
    list.InitDefaults(true);
    ASSERT_EQ(list.Count(), 6 + 3 + 9);
    EXPECT_EQ(list.FindStyle(1, 0)->TextB, AnsiString(1, RtDefaultBulletChar));
    EXPECT_EQ(list.FindStyle(2, 0)->NumberText(3), "C)");
    EXPECT_EQ(list.FindStyle(6, 0)->NumberText(3), "3.");
    EXPECT_EQ(list.FindStyle(22, 0)->TextB, "v");

    // Level lookup within the outline group, also from a style of another level.
    TRtRTFNumberingStyle* l1 = list.FindStyle(-1, 1);
    ASSERT_NE(l1, nullptr);
    EXPECT_EQ(l1->NumberText(2), "II.");
    EXPECT_EQ(list.FindStyle(l1->Number, 5)->NumberText(2), "(ii)");
    EXPECT_EQ(list.SelectGroup(1), 9);

    EXPECT_EQ(list.GetOutlineStyle(0, 1), nullptr);
    EXPECT_EQ(list.GetOutlineStyle(1, 12), list.FindStyle(-1, 9));
    TRtRTFNumberingStyle* added = list.GetOutlineStyle(2, 3);
    EXPECT_EQ(added->Group, 2);
    EXPECT_EQ(added->LevelInGroup, 3);

    const int32_t n = list.FindOrAddStyle(rt_1, "", 0, 0, false, 0, 360, "", "-");
    EXPECT_EQ(list.FindOrAddStyle(rt_1, "", 0, 0, false, 0, 360, "", "-"), n);

    // Keep leaves a non-empty collection alone; locked styles survive a rebuild.
    list.GetItem(0)->Locked = 1;
    list.GetItem(0)->TextB = "*";
    list.InitDefaults(false);
    EXPECT_EQ(list.FindStyle(1, 0)->TextB, "*");
    EXPECT_EQ(list.Count(), 6 + 3 + 9);
}

TEST(RtRTFNumberingStyle, DisplayName)
{
    TRtRTFNumberingStyleCollection list(nullptr);
    TRtRTFNumberingStyle* st = list.Add();
    st->Style = rt_1;
    st->TextA = ".";
    EXPECT_EQ(st->GetDisplayName(), "20=  \"1.\"  <not locked>");
    st->Locked = 1;
    EXPECT_EQ(st->GetDisplayName(), "20= \"1.\"");
}
