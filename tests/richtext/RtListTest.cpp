#include "RtList.h"
#include "RtObjBase.h"
#include "RtTestSupport.h"

#include <gtest/gtest.h>

namespace {

class TCountedObject : public TRtObjectBase {
public:
    explicit TCountedObject(int* Alive, AnsiString Name = AnsiString()) : alive_(Alive), name_(std::move(Name)) { ++*alive_; }
    ~TCountedObject() override { --*alive_; }
    AnsiString ObjName() const override { return name_; }

private:
    int* alive_;
    AnsiString name_;
};

}  // namespace

TEST(RtCustomList, IdsGrowAndAreNotReused)
{
    TRtInsertpointList list;
    EXPECT_EQ(list.Add(), 1);
    EXPECT_EQ(list.Add(), 2);
    EXPECT_EQ(list.Add(), 3);
    list.DeleteItem(list.FindItem(2));
    EXPECT_EQ(list.Add(), 4);
    EXPECT_EQ(list.Count(), 3);
    list.Clear();
    EXPECT_EQ(list.LastId, 0);
    EXPECT_EQ(list.Add(), 1);
}

TEST(RtCustomList, ReuseFlagReturnsCurrentId)
{
    TRtTableList list;
    list.Add();
    list.Add();
    list.ReuseCurrent = true;
    list.First();
    EXPECT_EQ(list.Add(), 1);
    EXPECT_EQ(list.Count(), 2);
}

TEST(RtCustomList, LookupOfMissingIdsAndNavigation)
{
    TRtFootnoteList list;
    EXPECT_EQ(list.Next(), nullptr);
    list.AddFootnote("a", 1, 10);
    list.AddFootnote("b", 2, 20);
    EXPECT_EQ(list.FindItem(0), nullptr);
    EXPECT_TRUE(list.EndOfList);
    EXPECT_EQ(list.FindItem(-3), nullptr);
    EXPECT_NE(list.FindItem(2), nullptr);
    EXPECT_FALSE(list.EndOfList);
    list.SetCurrentId(99);
    EXPECT_EQ(list.Next()->Id, 1);   // none current: the first
    list.SetCurrentId(99);
    EXPECT_EQ(list.Prior()->Id, 2);  // none current: the last
    EXPECT_EQ(list.FindByName("B"), 2);
    EXPECT_EQ(list.GetNameById(1), "a");
    EXPECT_EQ(list.GetNameById(7), "");
}

TEST(RtCustomList, ClearWithGroupFilterKeepsOtherGroups)
{
    TRtInsertpointList list;
    for (int i = 0; i < 4; ++i)
        list.AddItem()->Group = i % 2 + 1;  // ids 1..4 in groups 1, 2, 1, 2
    list.GroupFilter = 1;
    list.Clear();
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.LastId, 4);
    list.GroupFilter = 2;
    list.DeleteItem(list.FindItem(4));
    list.Clear();
    EXPECT_EQ(list.LastId, 0);
}

TEST(RtCustomList, LinkItemWithOwnId)
{
    TRtTableList list;
    list.Add();
    list.Add();
    TRtListItem* low = new TRtTableItem;
    low->Id = 1;
    list.LinkItem(low);
    EXPECT_EQ(list.FirstItem(), low);  // an id not above the last goes to the front
    TRtListItem* high = new TRtTableItem;
    high->Id = 9;
    list.LinkItem(high);
    EXPECT_EQ(list.LastItem(), high);
    EXPECT_EQ(list.LastId, 9);
    EXPECT_EQ(list.Add(), 10);
}

TEST(RtCustomList, ReferenceCountsAndRelease)
{
    TRtInsertpointList list;
    const int32_t id = list.AddInsertpoint("Name", "s1", 42, "s2");
    EXPECT_EQ(list.FindItem(id)->RefCount, 1);
    EXPECT_EQ(list.AddRef(id), 2);
    EXPECT_EQ(list.Release(id), 1);
    EXPECT_EQ(list.Release(77), 0);
    list.DeleteOnRelease = true;
    EXPECT_EQ(list.Release(id), 0);
    EXPECT_NE(list.FindItem(id), nullptr);
    EXPECT_EQ(list.Release(id), -1);
    EXPECT_EQ(list.FindItem(id), nullptr);
}

TEST(RtCustomList, AssignClonesAndChecksItemKind)
{
    TRtInsertpointList a;
    a.AddInsertpoint("x", "1", 5, "2");
    a.AddInsertpoint("y", "3", 6, "4");
    TRtInsertpointList b;
    b.AddInsertpoint("old", "", 0, "");
    b.Assign(a);
    EXPECT_EQ(b.Count(), 2);
    EXPECT_EQ(b.GetStrData1(1), "1");
    EXPECT_EQ(b.GetIntData(2), 6);
    EXPECT_EQ(b.LastId, 2);
    TRtTableList t;
    EXPECT_THROW(t.Assign(a), ERtEngineModeError);
}

TEST(RtCustomList, CopiesRememberTheirSource)
{
    TRtTableList list;
    const int32_t id = list.AddTable("T", "text", 3, 200, 100);
    TRtListItem* src = list.FindItem(id);
    const int32_t copy = list.AddCopy(src);
    EXPECT_EQ(copy, 2);
    EXPECT_EQ(list.FindCopyId(src), copy);
    EXPECT_EQ(list.GetTableRight(copy), 200);
    int32_t l = -1, r = -1;
    EXPECT_FALSE(list.GetTableLeftRight(99, l, r));
    EXPECT_EQ(l, 0);
    EXPECT_TRUE(list.GetTableLeftRight(copy, l, r));
    EXPECT_EQ(l, 100);
    EXPECT_EQ(list.AddCopy(nullptr), 0);
}

TEST(RtCustomList, ReleaseLineRefsClearsIds)
{
    TRtObjReferenceList refs;
    const int32_t a = refs.Add();
    const int32_t b = refs.Add();
    TAttr attrs[4]{};
    uint8_t chars[4] = {1, 'x', 1, 0};
    TLine line;
    line.Chars = chars;
    line.Attrs = attrs;
    line.Length = 3;
    line.Capacity = 4;
    attrs[0].Style = WrtStyle{afsIsObject};
    attrs[0].Tag = uint32_t(a);
    attrs[2].Style = WrtStyle{afsIsObject};
    attrs[2].Tag = uint32_t(b);
    EXPECT_EQ(refs.ReleaseLineRefs(&line, 1, afsIsObject, 10), 1);
    EXPECT_EQ(attrs[2].Tag, 0u);
    EXPECT_EQ(attrs[0].Tag, uint32_t(a));
    EXPECT_EQ(refs.FindItem(b)->RefCount, 0);
    line.Chars = nullptr;
    line.Attrs = nullptr;
}

TEST(RtObjReferenceList, NamedReferences)
{
    TRtObjReferenceList refs;
    const int32_t id = refs.AddNamedRef("Mark", 0x101);
    EXPECT_EQ(refs.AddNamedRef("mark", 0x201), id);  // the tag compares as a byte
    EXPECT_NE(refs.AddNamedRef("mark", 2), id);
    ASSERT_NE(refs.FindNamedRef("MARK", 1), nullptr);
    EXPECT_EQ(refs.FindNamedRef("MARK", 1)->Kind, 3);
    std::vector<void*> found;
    EXPECT_TRUE(refs.FindNamedRefs("mark", 1, &found));
    EXPECT_EQ(found.size(), 1u);
    EXPECT_FALSE(refs.FindNamedRefs("none", 1, nullptr));
}

TEST(RtObjReferenceList, HitTestIgnoresUnplacedReferences)
{
    TRtObjReferenceList refs;
    TTextObj* a = refs.AddObject(nullptr);
    a->RectLeft = 10;
    a->RectTop = 10;
    a->RectWidth = 20;
    a->RectHeight = 20;
    TTextObj* b = refs.AddObject(nullptr);
    *b = *a;
    b->Placed = 1;
    EXPECT_EQ(refs.FindObjectAt(15, 15), 2);
    EXPECT_EQ(refs.FindObjectAt(30, 15), 0);  // right edge is outside
    refs.ResetPlaced();
    EXPECT_EQ(refs.FindObjectAt(15, 15), 0);
}

TEST(RtObjReferenceList, SharedObjectLivesUntilItsLastReference)
{
    TUseTestPlatform use;
    int alive = 0;
    TRtRTFText text;
    std::vector<TRtObjectBase*> destroying;
    text.OnTextObjectDestroying = [&](TObject*, TRtObjectBase* o) { destroying.push_back(o); };
    TRtObjReferenceList& refs = *text.ObjRefList();
    auto* obj = new TCountedObject(&alive, "Picture1");
    text.Objects().push_back(obj);
    TTextObj* first = refs.AddObject(obj);
    refs.AddObject(obj);
    EXPECT_EQ(refs.FindByObjectName("PICTURE1"), refs.GetTextObj(1));
    EXPECT_EQ(refs.IndexOfObject(first), 1);
    refs.DeleteItem(refs.FindItem(1));
    EXPECT_EQ(alive, 1);
    EXPECT_TRUE(destroying.empty());
    refs.DeleteItem(refs.FindItem(2));
    EXPECT_EQ(alive, 0);
    EXPECT_EQ(destroying.size(), 1u);
    EXPECT_TRUE(text.Objects().empty());
}

TEST(RtObjReferenceList, DestroyQueryKeepsTheObject)
{
    int alive = 0;
    TCountedObject kept(&alive);
    kept.OnDestroyQuery = [](TRtObjectBase*) { return false; };
    {
        TRtObjReferenceList refs;
        refs.AddObject(&kept);
    }
    EXPECT_EQ(alive, 1);
}

TEST(RtCustomList, CloneCopiesHeaderAndDataButNotCountsOrLinks)
{
    TRtFootnoteList list;
    list.AddFootnote("first", 1, 10);
    const int32_t id = list.AddFootnote("note", 2, 7);
    auto* src = static_cast<TRtFootnoteItem*>(list.FindItem(id));
    src->Flags = 1;
    src->Group = 3;
    list.AddRef(id);
    std::unique_ptr<TRtListItem> clone(list.CloneItem(src));
    const auto* c = dynamic_cast<TRtFootnoteItem*>(clone.get());
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Id, id);
    EXPECT_EQ(c->Flags, 1);
    EXPECT_EQ(c->Group, 3);
    EXPECT_EQ(c->Text, "note");
    EXPECT_EQ(c->Kind, 2);
    EXPECT_EQ(c->Value, 7);
    EXPECT_EQ(c->RefCount, 0);
    EXPECT_EQ(c->Prior, nullptr);
    EXPECT_EQ(c->Next, nullptr);
    EXPECT_EQ(c->Source, nullptr);
    // Footnotes are named by their text.
    AnsiString name;
    list.SetItemName(clone.get(), "renamed");
    list.GetItemName(clone.get(), name);
    EXPECT_EQ(name, "renamed");
    EXPECT_EQ(list.FindByName("note"), id);
}
