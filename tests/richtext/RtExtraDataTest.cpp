#include "RtExtraData.h"

#include <gtest/gtest.h>

TEST(RtRTFExtraDataItem, DisplayNameAndAssign)
{
    TRtRTFExtraDataItem a;
    a.Name = "Client";
    EXPECT_EQ(a.GetDisplayName(), "Client <empty>");
    a.SetText("Meier");
    EXPECT_EQ(a.GetDisplayName(), "Client= \"Meier\"");

    TRtRTFExtraDataItem b;
    b.Name = "Blob";
    b.StorageKind = 1;
    b.Stream().WriteU32(7);
    EXPECT_EQ(b.GetDisplayName(), "Blob (4 Bytes)");
    TRtRTFExtraDataItem c;
    c.Assign(b);
    EXPECT_EQ(c.Stream().Bytes(), b.Stream().Bytes());
    EXPECT_EQ(c.Options, (1 << rtxSaveToRTF) | (1 << rtxLoadFromRTF));

    a.Name = "author";
    EXPECT_TRUE(a.IsReservedName());
    a.Name = "Authors";
    EXPECT_FALSE(a.IsReservedName());
}

TEST(RtRTFExtraDataCollection, FindAndClearForText)
{
    TRtRTFExtraDataCollection list(nullptr);
    TRtRTFExtraDataItem* keep = list.Add();
    keep->Name = "Keep";
    keep->Text = "k";
    keep->Options |= 1 << rtxDoNotRemoveOnClear;
    TRtRTFExtraDataItem* stay = list.Add();
    stay->Name = "Stay";
    stay->Text = "s";
    stay->Options |= (1 << rtxDoNotRemoveOnClear) | (1 << rtxDoNotClear);
    list.Add()->Name = "Gone";
    EXPECT_EQ(list.Find("STAY", 0), stay);
    EXPECT_EQ(list.Find("Stay", 1), nullptr);

    list.ClearForText();
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.GetItem(0)->Text, "");
    EXPECT_EQ(list.GetItem(1)->Text, "s");
    EXPECT_EQ(list.Find("Gone", 0), nullptr);
}
