#include "SsContainer.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <atomic>
#include <thread>

namespace {
// Data are heap strings; the dispose routine counts and frees them.
struct Fixture {
    int disposed = 0;
    void Own(TSsContainer& c)
    {
        c.DisposeData = [this](void* d) {
            ++disposed;
            delete static_cast<AnsiString*>(d);
        };
        c.StoreData = [](TSsValueWriter& w, void* d) { w.WriteString(*static_cast<AnsiString*>(d)); };
        c.LoadData = [](TSsValueReader& r) -> void* { return new AnsiString(r.ReadString()); };
    }
};
AnsiString* S(const char* s) { return new AnsiString(s); }
AnsiString Text(void* d) { return d ? *static_cast<AnsiString*>(d) : "<nil>"; }

template <class F>
int32_t ErrorOf(F f)
{
    try {
        f();
    } catch (const ESsContainerError& e) {
        return e.ErrorCode;
    }
    return 0;
}
}  // namespace

TEST(SsContainer, SlotsNoContainerFillsAnswerZeroAndFalse)
{
    TSsList list;
    TSsDictionary dictionary(10);
    for (TSsContainer* c : {static_cast<TSsContainer*>(&list), static_cast<TSsContainer*>(&dictionary)}) {
        int32_t a = 7, b = 8, d = 9;
        c->GetZeroSizes(a, b, d);
        EXPECT_EQ(a, 0);
        EXPECT_EQ(b, 0);
        EXPECT_EQ(d, 0);
        EXPECT_FALSE(c->IsSecondFlagSet());
        c->EmptyHookA();
        c->EmptyHookB(&a, &b);
        EXPECT_EQ(c->Count(), 0);
    }
}

TEST(SsDictionary, AddFindIsCaseInsensitiveAndRejectsDuplicates)
{
    Fixture fx;
    TSsDictionary d(7);
    fx.Own(d);
    d.Add("Name", S("a"));
    auto* dup = S("b");
    EXPECT_EQ(ErrorOf([&] { d.Add("NAME", dup); }), 54);
    delete dup;
    void* data = nullptr;
    EXPECT_TRUE(d.Find("nAmE", data));
    EXPECT_EQ(Text(data), "a");
    EXPECT_FALSE(d.Find("other", data));
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(d.Count(), 1);
    d.Delete("name");
    EXPECT_EQ(fx.disposed, 1);
    EXPECT_EQ(d.Count(), 0);
    EXPECT_EQ(ErrorOf([&] { d.SetHashSize(0); }), 53);
}

TEST(SsDictionary, AssignCopiesDictionariesAndStringLists)
{
    TSsDictionary source(3);
    int a = 1, b = 2;
    source.Add("a", &a);
    source.Add("b", &b);
    TSsDictionary copy(7);
    copy.Add("old", nullptr);
    copy.Assign(source);
    EXPECT_EQ(copy.Count(), 2);
    void* data = nullptr;
    ASSERT_TRUE(copy.Find("B", data));
    EXPECT_EQ(data, &b);
    EXPECT_FALSE(copy.Find("old", data));

    TStringList lines;
    lines.AddObject(".jpg", &a);
    lines.AddObject(".png", &b);
    copy.AssignStrings(lines);
    ASSERT_TRUE(copy.Find(".PNG", data));
    EXPECT_EQ(data, &b);
    TSsList list;
    EXPECT_EQ(ErrorOf([&] { copy.Assign(list); }), 52);
    // A custom equality decides what counts as the same name.
    TSsDictionary exact(5);
    exact.OnEqual = [](TSsContainer*, const AnsiString& x, const AnsiString& y, int& r) { r = x == y ? 0 : 1; };
    exact.Hash = [](const AnsiString&, int32_t) { return 0u; };
    exact.Add("Name", nullptr);
    exact.Add("NAME", nullptr);
    EXPECT_EQ(exact.Count(), 2);
}

TEST(SsDictionary, DefaultHashRotatesUpperCasedCharacters)
{
    // "ab" -> 'A' ^ ('B' rotated left by 1)
    EXPECT_EQ(SsDefaultHash("ab", 1000), uint32_t('A' ^ ('B' << 1)) % 1000);
    EXPECT_EQ(SsDefaultHash("AB", 1000), SsDefaultHash("ab", 1000));
    // Position 32 wraps around to no rotation.
    const AnsiString longName = AnsiString(32, 'A') + "C";
    uint32_t h = 0;
    for (int i = 0; i < 32; ++i)
        h ^= (uint32_t('A') << (i % 32)) | (i % 32 ? uint32_t('A') >> (32 - i % 32) : 0);
    h ^= 'C';
    EXPECT_EQ(SsDefaultHash(longName, 250), h % 250);
}

TEST(SsDictionary, ResizingKeepsEntriesAndDisposesNothing)
{
    Fixture fx;
    TSsDictionary d(3);
    fx.Own(d);
    for (const char* n : {"one", "two", "three", "four", "five"})
        d.Add(n, S(n));
    d.SetHashSize(250);
    EXPECT_EQ(fx.disposed, 0);
    EXPECT_EQ(d.Count(), 5);
    for (const char* n : {"one", "two", "three", "four", "five"}) {
        void* data = nullptr;
        ASSERT_TRUE(d.Find(n, data)) << n;
        EXPECT_EQ(Text(data), n);
    }
    // The dispose routine still works after the move.
    d.Clear();
    EXPECT_EQ(fx.disposed, 5);
}

TEST(SsDictionary, FindMovesNodeToFrontOfBucket)
{
    TSsDictionary d(1);  // one bucket: one chain in insertion-reversed order
    d.Add("a", nullptr);
    d.Add("b", nullptr);
    d.Add("c", nullptr);
    auto order = [&] {
        AnsiString s;
        d.Iterate([&](TSsContainer*, TSsDictNode* n, void*) { s += n->Name; return true; }, nullptr);
        return s;
    };
    EXPECT_EQ(order(), "cba");
    void* data;
    d.Find("a", data);
    EXPECT_EQ(order(), "acb");
    // Iterate stops where the action answers false.
    TSsDictNode* at = d.Iterate([](TSsContainer*, TSsDictNode* n, void*) { return n->Name != "c"; },
                                nullptr);
    ASSERT_NE(at, nullptr);
    EXPECT_EQ(at->Name, "c");
    TSsDictionary empty(5);
    int calls = 0;
    EXPECT_EQ(empty.Iterate([&](TSsContainer*, TSsDictNode*, void*) { ++calls; return true; }, nullptr),
              nullptr);
    EXPECT_EQ(calls, 0);
}

TEST(SsDictionary, StreamRoundTripAndClassChecks)
{
    Fixture fx;
    TSsDictionary d(11);
    fx.Own(d);
    d.Add("jpg", S("JPEG image"));
    d.Add("png", S("PNG image"));
    TMemoryStream m;
    d.StoreToStream(m);

    Fixture fy;
    TSsDictionary e(2);
    fy.Own(e);
    e.Add("old", S("gone"));
    m.SetPosition(0);
    e.LoadFromStream(m);
    EXPECT_EQ(fy.disposed, 1);  // emptied first
    EXPECT_EQ(e.HashSize(), 11);
    EXPECT_EQ(e.Count(), 2);
    void* data;
    ASSERT_TRUE(e.Find("PNG", data));
    EXPECT_EQ(Text(data), "PNG image");

    // A list cannot load a dictionary's stream.
    TSsList l;
    fx.Own(l);
    m.SetPosition(0);
    EXPECT_EQ(ErrorOf([&] { l.LoadFromStream(m); }), 61);
    // Unregistered class names.
    TMemoryStream bad;
    TSsValueWriter w(bad);
    w.WriteString("TNoSuchContainer");
    w.WriteString("TSsDictNode");
    bad.SetPosition(0);
    try {
        e.LoadFromStream(bad);
        FAIL();
    } catch (const ESsContainerError& err) {
        EXPECT_EQ(err.ErrorCode, 57);
        EXPECT_EQ(err.Message, "Container class name TNoSuchContainer read from stream is unregistered");
    }
    // Without a store routine.
    TSsDictionary plain(3);
    plain.Add("x", nullptr);
    TMemoryStream out;
    EXPECT_EQ(ErrorOf([&] { plain.StoreToStream(out); }), 59);
    m.SetPosition(0);
    EXPECT_EQ(ErrorOf([&] { plain.LoadFromStream(m); }), 60);
}

TEST(SsList, AppendDeleteIterateAndAssign)
{
    Fixture fx;
    TSsList l;
    fx.Own(l);
    TSsListNode* a = l.Append(S("a"));
    l.Append(S("b"));
    TSsListNode* c = l.Append(S("c"));
    EXPECT_EQ(l.Count(), 3);
    EXPECT_EQ(Text(l.Next(a)->Data), "b");
    EXPECT_EQ(l.Prev(a), nullptr);
    AnsiString down;
    l.Iterate([&](TSsContainer*, TSsListNode* n, void*) { down += Text(n->Data); return true; }, false,
              nullptr);
    EXPECT_EQ(down, "cba");
    l.Delete(l.Next(a));
    EXPECT_EQ(fx.disposed, 1);
    EXPECT_EQ(l.Next(a), c);
    l.Delete(nullptr);
    EXPECT_EQ(l.Count(), 2);
    // A list node of another class (of another list).
    struct TOtherListNode : TSsListNode {
        LUMI_CLASSNAME(TOtherListNode)
        using TSsListNode::TSsListNode;
    } foreign(nullptr);
    EXPECT_EQ(ErrorOf([&] { l.Delete(&foreign); }), 52);

    // A copy shares the data, so it must not dispose them.
    TSsList copy;
    copy.Assign(l);
    EXPECT_EQ(Text(copy.Head()->Data), "a");
    EXPECT_EQ(Text(copy.Tail()->Data), "c");
    TSsDictionary d(5);
    EXPECT_EQ(ErrorOf([&] { copy.Assign(d); }), 52);

    TMemoryStream m;
    l.StoreToStream(m);
    Fixture fq;
    TSsDQue q;  // a descendant class may load a list's stream
    fq.Own(q);
    m.SetPosition(0);
    q.LoadFromStream(m);
    EXPECT_EQ(q.Count(), 2);
    void* head = nullptr;
    q.PeekHead(head);
    EXPECT_EQ(Text(head), "a");
}

TEST(SsDQue, PeekAndPopOnEmptyQueue)
{
    Fixture fx;
    TSsDQue q;
    fx.Own(q);
    void* data = reinterpret_cast<void*>(1);
    q.PeekHead(data);
    EXPECT_EQ(data, nullptr);
    q.PopHead();
    EXPECT_EQ(q.Count(), 0);
    q.Append(S("x"));
    q.Append(S("y"));
    q.PopHead();
    EXPECT_EQ(fx.disposed, 1);
    q.PeekHead(data);
    EXPECT_EQ(Text(data), "y");
}

TEST(SsContainer, DefaultCompareRaisesAndEventWins)
{
    TSsList l;
    EXPECT_EQ(ErrorOf([&] { l.DoCompare(nullptr, nullptr); }), 51);
    l.Compare = [](void*, void*) { return 1; };
    EXPECT_EQ(l.DoCompare(nullptr, nullptr), 1);
    l.OnCompare = [](TSsContainer*, void*, void*, int& r) { r = -7; };
    EXPECT_EQ(l.DoCompare(nullptr, nullptr), -7);
}

TEST(SsContainer, FileRoundTrip)
{
    QTemporaryDir dir;
    Fixture fx;
    TSsList l;
    fx.Own(l);
    l.Append(S("first"));
    l.StoreToFile(dir.filePath("list.bin"));
    TSsList back;
    fx.Own(back);
    back.LoadFromFile(dir.filePath("list.bin"));
    EXPECT_EQ(Text(back.Head()->Data), "first");
}

TEST(SsContainer, TwoThreadsShareAQueue)
{
    TSsDQue q;
    std::atomic<int> popped{0};
    constexpr int N = 20000;
    std::thread producer([&] {
        for (int i = 0; i < N; ++i)
            q.Append(reinterpret_cast<void*>(intptr_t(i + 1)));
    });
    std::thread consumer([&] {
        intptr_t expected = 1;
        while (popped < N) {
            TSsGuard guard(q.Lock());  // peek and pop as one step
            void* d = nullptr;
            q.PeekHead(d);
            if (!d)
                continue;
            EXPECT_EQ(reinterpret_cast<intptr_t>(d), expected);
            ++expected;
            q.PopHead();
            ++popped;
        }
    });
    producer.join();
    consumer.join();
    EXPECT_EQ(q.Count(), 0);
}
