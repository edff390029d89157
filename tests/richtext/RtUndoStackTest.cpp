#include "RtUndo.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A record that writes its name into a log when applied and, like the text
// store's records, records its reverse while the stack applies it.
class TLogRecord : public TRtUndoObject {
public:
    LUMI_CLASSNAME(TLogRecord)
    TLogRecord(std::vector<std::string>* Log, std::string Name, uint8_t K = rtukChange)
        : log(Log), name(std::move(Name))
    {
        Kind = K;
    }
    void Apply() override
    {
        log->push_back(name);
        if (Stack && Kind != rtukCheckpoint)
            Stack->AddUndoObject(Stack->Undoing(), std::make_unique<TLogRecord>(log, "re-" + name));
        TRtUndoObject::Apply();
    }
    std::vector<std::string>* log;
    std::string name;
};

struct RtUndoStack : ::testing::Test {
    TRtUndoStack stack;
    std::vector<std::string> log;
    std::unique_ptr<TLogRecord> rec(const std::string& n, uint8_t k = rtukChange)
    {
        return std::make_unique<TLogRecord>(&log, n, k);
    }
};

} // namespace

TEST_F(RtUndoStack, UndoAppliesNewestStepAndRedoReappliesIt)
{
    stack.AddUndoObject(false, rec("a"));
    stack.BeginGroup();
    stack.AddUndoObject(false, rec("b1"));
    stack.AddUndoObject(false, rec("b2"));
    stack.EndGroup();
    EXPECT_EQ(stack.CountSteps(), 2);

    EXPECT_TRUE(stack.Undo());
    EXPECT_EQ(log, (std::vector<std::string>{"b2", "b1"}));
    EXPECT_EQ(stack.RedoCount(), 2); // the reverse records form one redo step
    EXPECT_FALSE(stack.Undo());
    EXPECT_EQ(log.back(), "a");
    EXPECT_FALSE(stack.CanUndo());

    log.clear();
    EXPECT_TRUE(stack.Redo()); // one step: the reverse of "a"
    EXPECT_EQ(log, (std::vector<std::string>{"re-a"}));
    EXPECT_FALSE(stack.Redo());
    EXPECT_EQ(log, (std::vector<std::string>{"re-a", "re-b1", "re-b2"}));
    EXPECT_EQ(stack.CountSteps(), 2); // redo put back the two steps
}

TEST_F(RtUndoStack, AddingAfterUndoEmptiesRedoList)
{
    stack.AddUndoObject(false, rec("a"));
    stack.Undo();
    ASSERT_TRUE(stack.CanRedo());
    stack.AddUndoObject(false, rec("b"));
    EXPECT_FALSE(stack.CanRedo());
}

TEST_F(RtUndoStack, MaxCountKeepsWholeSteps)
{
    stack.SetMaxCount(3);
    for (const char* n : {"1", "2", "3", "4"})
        stack.AddUndoObject(false, rec(n));
    EXPECT_EQ(stack.CountSteps(), 3);
    EXPECT_EQ(static_cast<TLogRecord*>(stack.UndoItem(0))->name, "2");
    EXPECT_TRUE(stack.CanUndo());

    // A grouped step being recorded never trims its own records, and the
    // oldest step leaves whole.
    stack.BeginGroup();
    for (const char* n : {"g1", "g2", "g3", "g4"})
        stack.AddUndoObject(false, rec(n));
    stack.EndGroup();
    EXPECT_EQ(stack.CountSteps(), 3);
    EXPECT_EQ(stack.UndoCount(), 6);
    stack.BeginGroup();
    stack.AddUndoObject(false, rec("h1"));
    stack.AddUndoObject(false, rec("h2"));
    stack.EndGroup();
    EXPECT_EQ(stack.CountSteps(), 3);
    EXPECT_EQ(static_cast<TLogRecord*>(stack.UndoItem(0))->name, "4");

    // Lowering the limit frees a grouped step whole: never half of it.
    stack.SetMaxCount(1);
    EXPECT_EQ(stack.CountSteps(), 1);
    EXPECT_EQ(stack.UndoCount(), 2);
    EXPECT_EQ(static_cast<TLogRecord*>(stack.UndoItem(0))->name, "h1");
}

TEST_F(RtUndoStack, CheckpointsAreSkippedByUndo)
{
    stack.AddUndoObject(false, rec("a"));
    stack.AddUndoObject(false, rec("cp", rtukCheckpoint));
    EXPECT_EQ(stack.CheckpointCount(), 1);
    stack.Undo();
    EXPECT_EQ(log, (std::vector<std::string>{"a"}));
    EXPECT_EQ(stack.CheckpointCount(), 0);
    EXPECT_EQ(stack.UndoCount(), 0);

    stack.AddUndoObject(false, rec("cp2", rtukCheckpoint));
    EXPECT_FALSE(stack.CanUndo());
}

TEST_F(RtUndoStack, HourglassOnlyForStepsOfMoreThanTwenty)
{
    for (int n : {20, 25}) {
        TRtUndoStack s;
        bool busy = false;
        s.OnApplyUndoAction = [&](TRtUndoStack*, TObject*, TRtUndoObject*&) {
            busy = busy || QGuiApplication::overrideCursor() != nullptr;
        };
        s.BeginGroup();
        for (int i = 0; i < n; ++i)
            s.AddUndoObject(false, std::make_unique<TRtUndoObject>());
        s.EndGroup();
        s.Undo();
        EXPECT_EQ(busy, n == 25) << n;
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    }
}

TEST_F(RtUndoStack, AddOrMergeKeepsTheFirstOfEqualRecords)
{
    TObject src;
    auto text = [&](int id, int extra) {
        auto r = std::make_unique<TRtUndoObject>();
        r->Kind = rtukTextChange;
        r->Source = &src;
        r->ID = id;
        r->Extra = extra;
        return r;
    };
    EXPECT_TRUE(stack.AddOrMerge(false, text(1, 0)));
    EXPECT_FALSE(stack.AddOrMerge(false, text(1, 0)));
    EXPECT_EQ(stack.UndoCount(), 1);
    EXPECT_TRUE(stack.AddOrMerge(false, text(1, 7))); // another second key
    stack.ForceNewStep();
    EXPECT_TRUE(stack.AddOrMerge(false, text(1, 7)));
    EXPECT_EQ(stack.UndoCount(), 3);
}

TEST_F(RtUndoStack, ValueEventsAndHandledRecords)
{
    TObject src;
    std::vector<std::string> calls;
    stack.OnUndoStringAction = [&](TRtUndoStack*, TObject* s, TRtUndoObject*&, int32_t id, const AnsiString& v) {
        calls.push_back("str " + std::to_string(id) + " " + v + (s == &src ? " src" : ""));
    };
    stack.OnUndoIntegerAction = [&](TRtUndoStack*, TObject*, TRtUndoObject*&, int32_t id, int32_t v) {
        calls.push_back("int " + std::to_string(id) + " " + std::to_string(v));
    };
    stack.OnUndoStreamAction = [&](TRtUndoStack*, TObject*, TRtUndoObject*&, int32_t, TMemoryStream* m) {
        calls.push_back("stream at " + std::to_string(m->Position()));
    };
    stack.OnApplyUndoAction = [&](TRtUndoStack*, TObject*, TRtUndoObject*&) { calls.push_back("action"); };

    auto a = std::make_unique<TRtUndoObject>();
    a->Kind = rtukTextChange;
    a->Source = &src;
    a->ID = 4;
    a->StringValue = "old";
    stack.AddUndoObject(false, std::move(a));
    auto b = std::make_unique<TRtUndoObject>();
    b->Kind = rtukDataChange;
    b->ID = 2;
    b->IntegerValue = -9;
    stack.AddUndoObject(false, std::move(b));
    auto c = std::make_unique<TRtUndoObject>();
    c->Kind = rtukStreamChange;
    c->GetStream()->WriteU32(1);
    stack.AddUndoObject(false, std::move(c));
    auto d = std::make_unique<TRtUndoObject>();
    d->Kind = rtukTextChange;
    d->OnApply = [&](TRtUndoStack*, TObject*, TRtUndoObject*& self) {
        calls.push_back("own");
        self = nullptr; // handled
    };
    stack.AddUndoObject(false, std::move(d));

    while (stack.Undo()) {
    }
    EXPECT_EQ(calls, (std::vector<std::string>{"own", "stream at 0", "action", "int 2 -9", "action",
                                               "str 4 old src", "action"}));
}

TEST_F(RtUndoStack, LinksAreNotifiedOncePerStep)
{
    TObject src, other;
    std::vector<std::string> calls;
    TRtUndoManagerLink* link = stack.AddManagerLink(&src);
    link->BeforeApply = [&](TRtUndoStack*, TObject*) { calls.push_back("before"); };
    link->AfterApply = [&](TRtUndoStack*, TObject*) { calls.push_back("after"); };
    stack.AddManagerLink(&other)->BeforeApply = [&](TRtUndoStack*, TObject*) { calls.push_back("other"); };
    stack.AfterApply = [&](TRtUndoStack*, TObject* s) { calls.push_back(s == &src ? "event" : "?"); };

    stack.BeginGroup();
    for (int i = 0; i < 3; ++i) {
        auto r = std::make_unique<TRtUndoObject>();
        r->Source = &src;
        stack.AddUndoObject(false, std::move(r));
    }
    stack.EndGroup();
    stack.Undo();
    EXPECT_EQ(calls, (std::vector<std::string>{"before", "after", "event"}));

    stack.RemoveManagerLink(&src);
    calls.clear();
    auto r = std::make_unique<TRtUndoObject>();
    r->Source = &src;
    stack.AddUndoObject(false, std::move(r));
    stack.Undo();
    EXPECT_TRUE(calls.empty());
}

TEST_F(RtUndoStack, SnapshotsLiveWhileARecordRefersToThem)
{
    TObject src, other;
    auto snap = std::make_shared<TObject>();
    std::weak_ptr<TObject> watch = snap;
    for (TObject* s : {&src, &other}) {
        auto r = std::make_unique<TRtUndoObject>();
        r->Source = s;
        r->SetSnapshot(snap);
        stack.AddUndoObject(false, std::move(r));
    }
    snap.reset();
    EXPECT_EQ(stack.SnapshotCount(), 1);
    stack.RemoveObjectsOf(&src);
    EXPECT_EQ(stack.UndoCount(), 1);
    EXPECT_FALSE(watch.expired());
    stack.Undo();
    EXPECT_EQ(stack.SnapshotCount(), 0);
    EXPECT_TRUE(watch.expired());
}

TEST_F(RtUndoStack, ClearAndDisabledSources)
{
    TObject src;
    stack.DisabledSources.push_back(&src);
    EXPECT_TRUE(stack.IsDisabledFor(&src));
    EXPECT_FALSE(stack.IsDisabledFor(nullptr));
    stack.DisableCount = 1;
    EXPECT_TRUE(stack.IsDisabledFor(nullptr));
    stack.BeginGroup();
    stack.AddUndoObject(false, rec("a"));
    stack.Clear();
    EXPECT_FALSE(stack.IsDisabledFor(&src));
    EXPECT_EQ(stack.GroupCounter(), 1);
    EXPECT_FALSE(stack.Grouping());
    EXPECT_EQ(stack.UndoCount(), 0);
    EXPECT_FALSE(stack.AddUndoObject(false, nullptr));
}

TEST(RtUndoObject, KindNames)
{
    TRtUndoObject r;
    const char* expected[] = {"Change", "Checkpoint", "Change", "Deletion", "Input", "Text Change", "Data Change",
                              "Data Change"};
    for (uint8_t k = 0; k < 8; ++k) {
        r.Kind = k;
        AnsiString name;
        r.GetKindName(name);
        EXPECT_EQ(name, expected[k]);
    }
}
