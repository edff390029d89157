#include "RtUndo.h"

#include "WaitCursor.h"

#include <algorithm>
#include <cstring>
#include <optional>

// ---- TRtUndoObject ---------------------------------------------------------------

void TRtUndoObject::GetKindName(AnsiString& Name)
{
    static const char* const names[] = {"Change",      "Checkpoint",  "Change",     "Deletion",
                                        "Input",       "Text Change", "Data Change", "Data Change"};
    Name = Kind < 8 ? names[Kind] : "Change";
}

void TRtUndoObject::Apply()
{
    if (Kind == rtukCheckpoint)
        return;
    TRtUndoObject* self = this;
    if (OnApply)
        OnApply(Stack, Source, self);
    if (!self || !Stack)
        return;
    TRtUndoStack* stack = Stack;
    switch (Kind) {
    case rtukTextChange:
        if (stack->OnUndoStringAction)
            stack->OnUndoStringAction(stack, Source, self, ID, StringValue);
        break;
    case rtukDataChange:
        if (stack->OnUndoIntegerAction)
            stack->OnUndoIntegerAction(stack, Source, self, ID, IntegerValue);
        break;
    case rtukStreamChange:
        if (stack->OnUndoStreamAction && StreamValue) {
            StreamValue->SetPosition(0);
            stack->OnUndoStreamAction(stack, Source, self, ID, StreamValue.get());
        }
        break;
    default:
        break;
    }
    if (self && stack->OnApplyUndoAction)
        stack->OnApplyUndoAction(stack, Source, self);
}

bool TRtUndoObject::SameAs(TRtUndoObject* Other)
{
    if (!Other || !Stack || Stack->NewStepRequested())
        return false;
    return Kind == Other->Kind && Extra == Other->Extra && Source == Other->Source && ID == Other->ID
        && std::strcmp(ClassName(), Other->ClassName()) == 0;
}

void TRtUndoObject::SetSnapshot(std::shared_ptr<TObject> Obj)
{
    if (Obj == Snapshot)
        return;
    if (Stack)
        Stack->ReleaseSnapshot(Snapshot);
    Snapshot = std::move(Obj);
    if (Stack && Snapshot)
        Stack->RegisterSnapshot(Snapshot);
}

TMemoryStream* TRtUndoObject::GetStream()
{
    if (!StreamValue)
        StreamValue = std::make_unique<TMemoryStream>();
    return StreamValue.get();
}

// ---- TRtUndoStack ----------------------------------------------------------------

TRtUndoStack::~TRtUndoStack()
{
    OnChange = nullptr;
    Clear();
}

void TRtUndoStack::Changed()
{
    if (OnChange)
        OnChange(this);
}

bool TRtUndoStack::StartsStep(const TRtUndoObject& Rec, int32_t PrevGroup) const
{
    return (Rec.Kind != rtukCheckpoint && Rec.Group == 0) || Rec.Group != PrevGroup;
}

int32_t TRtUndoStack::CountSteps() const
{
    int32_t steps = 0;
    int32_t prev = 0;
    for (const auto& rec : undo_) {
        if (StartsStep(*rec, prev))
            ++steps;
        prev = rec->Group;
    }
    return steps;
}

void TRtUndoStack::RegisterSnapshot(const std::shared_ptr<TObject>& Snap)
{
    if (std::find(snapshots_.begin(), snapshots_.end(), Snap) == snapshots_.end())
        snapshots_.push_back(Snap);
}

void TRtUndoStack::ReleaseSnapshot(std::shared_ptr<TObject>& Snap)
{
    if (!Snap)
        return;
    Snap.reset();
    PackSnapshots();
}

void TRtUndoStack::PackSnapshots()
{
    // A snapshot only the list still holds is referred to by no record.
    std::erase_if(snapshots_, [](const std::shared_ptr<TObject>& s) { return s.use_count() == 1; });
}

void TRtUndoStack::FreeRecord(TList& List, size_t Index)
{
    std::unique_ptr<TRtUndoObject> rec = std::move(List[Index]);
    List.erase(List.begin() + std::ptrdiff_t(Index));
    if (rec->Kind == rtukCheckpoint && checkpointCount_ > 0)
        --checkpointCount_;
    ReleaseSnapshot(rec->Snapshot);
    rec->Stack = nullptr;
}

void TRtUndoStack::FreeIfHeld(TList& List, TRtUndoObject* Obj)
{
    for (size_t i = List.size(); i-- > 0;) {
        if (List[i].get() == Obj) {
            FreeRecord(List, i);
            return;
        }
    }
}

void TRtUndoStack::TrimTo(int32_t Limit)
{
    int32_t steps = CountSteps();
    int32_t prev = 0;
    while (steps > std::max(Limit, 0) && !undo_.empty()) {
        // One whole step: its first record and every record that does not start the next.
        bool started = false;
        while (!undo_.empty()) {
            const TRtUndoObject& rec = *undo_.front();
            const bool starts = StartsStep(rec, prev);
            if (starts && started)
                break;
            started = started || starts;
            prev = rec.Group;
            FreeRecord(undo_, 0);
        }
        --steps;
    }
}

bool TRtUndoStack::AddUndoObject(bool ToRedo, std::unique_ptr<TRtUndoObject> Obj)
{
    if (!Obj)
        return false;
    if (Obj->Kind == rtukCheckpoint)
        ++checkpointCount_;
    Obj->Stack = this;
    if (undoing_ || redoing_ || (grouping_ && !ToRedo))
        Obj->Group = groupCounter_;
    Obj->IsRedo = ToRedo;
    TRtUndoObject* rec = Obj.get();
    if (!ToRedo) {
        if (maxCount_ > 0) {
            // Room for the record: one step less when it starts a step of its own.
            const bool starts = StartsStep(*rec, undo_.empty() ? 0 : undo_.back()->Group);
            TrimTo(starts ? maxCount_ - 1 : maxCount_);
        }
        if (!redoing_)
            while (!redo_.empty())
                FreeRecord(redo_, redo_.size() - 1);
        undo_.push_back(std::move(Obj));
        newStepRequested_ = false;
    } else {
        redo_.push_back(std::move(Obj));
    }
    if (rec->Snapshot)
        RegisterSnapshot(rec->Snapshot);
    Changed();
    return true;
}

bool TRtUndoStack::AddOrMerge(bool ToRedo, std::unique_ptr<TRtUndoObject> Obj)
{
    TRtUndoObject* last = GetLastObject(ToRedo);
    if (last && last->SameAs(Obj.get()))
        return false;
    return AddUndoObject(ToRedo, std::move(Obj));
}

TRtUndoObject* TRtUndoStack::GetLastObject(bool FromRedo) const
{
    if (newStepRequested_)
        return nullptr;
    if (FromRedo && !redo_.empty())
        return redo_.back().get();
    return undo_.empty() ? nullptr : undo_.back().get();
}

bool TRtUndoStack::CanUndo() const
{
    return std::any_of(undo_.begin(), undo_.end(), [](const auto& r) { return r->Kind != rtukCheckpoint; });
}

bool TRtUndoStack::Undo()
{
    return ApplyStep(false);
}

bool TRtUndoStack::Redo()
{
    return ApplyStep(true);
}

bool TRtUndoStack::ApplyStep(bool FromRedo)
{
    TList& list = FromRedo ? redo_ : undo_;
    bool& running = FromRedo ? redoing_ : undoing_;
    const bool nested = running;
    if (list.empty()) {
        if (!nested)
            Changed();
        return false;
    }
    if (!nested || FromRedo)
        ++groupCounter_;
    if (!nested) {
        for (auto& link : links_)
            link->Notified = false;
        grouping_ = false;
    }
    const bool skipCheckpoints = !FromRedo && !nested;
    const int32_t group = list.back()->Group;

    size_t count = 0;
    for (size_t i = list.size(); i-- > 0;) {
        const TRtUndoObject& rec = *list[i];
        if (rec.Group != group)
            break;
        ++count;
        if (group == 0 && !(skipCheckpoints && rec.Kind == rtukCheckpoint))
            break;
    }
    std::optional<TWaitCursor> wait;
    if (count >= 21)
        wait.emplace();

    struct Restore {
        bool& flag;
        bool old;
        ~Restore() { flag = old; }
    } restore{running, running};
    running = true;

    while (!list.empty() && list.back()->Group == group) {
        TRtUndoObject* rec = list.back().get();
        if (skipCheckpoints && rec->Kind == rtukCheckpoint) {
            FreeRecord(list, list.size() - 1);
            continue;
        }
        if (rec->Source) {
            for (size_t i = 0; i < links_.size(); ++i) {
                TRtUndoManagerLink* link = links_[i].get();
                if (link->Source != rec->Source || link->Notified)
                    continue;
                link->Notified = true;
                if (link->BeforeApply)
                    link->BeforeApply(this, link->Source);
                if (BeforeApply)
                    BeforeApply(this, link->Source);
            }
        }
        rec->Apply();
        FreeIfHeld(list, rec);
        if (group == 0)
            break;
    }
    running = nested;
    if (!nested) {
        for (size_t i = 0; i < links_.size(); ++i) {
            TRtUndoManagerLink* link = links_[i].get();
            if (!link->Notified)
                continue;
            if (link->AfterApply)
                link->AfterApply(this, link->Source);
            if (AfterApply)
                AfterApply(this, link->Source);
        }
        Changed();
    }
    return !list.empty();
}

void TRtUndoStack::BeginGroup()
{
    if (++groupDepth_ == 1) {
        ++groupCounter_;
        Changed();
    }
    grouping_ = true;
}

bool TRtUndoStack::EndGroup()
{
    if (groupDepth_ > 0)
        --groupDepth_;
    if (groupDepth_ == 0) {
        grouping_ = false;
        Changed();
    }
    return groupDepth_ > 0;
}

void TRtUndoStack::NewStep()
{
    if (groupDepth_ == 0)
        newStepRequested_ = true;
}

bool TRtUndoStack::IsDisabledFor(TObject* Source) const
{
    return DisableCount > 0
        || std::find(DisabledSources.begin(), DisabledSources.end(), Source) != DisabledSources.end();
}

TRtUndoManagerLink* TRtUndoStack::AddManagerLink(TObject* Obj)
{
    RemoveManagerLink(Obj);
    links_.push_back(std::make_unique<TRtUndoManagerLink>());
    links_.back()->Source = Obj;
    return links_.back().get();
}

void TRtUndoStack::RemoveManagerLink(TObject* Obj)
{
    std::erase_if(links_, [Obj](const auto& l) { return l->Source == Obj; });
}

void TRtUndoStack::RemoveObjectsOf(TObject* Source)
{
    for (TList* list : {&undo_, &redo_})
        for (size_t i = list->size(); i-- > 0;)
            if ((*list)[i]->Source == Source)
                FreeRecord(*list, i);
    PackSnapshots();
    std::erase(DisabledSources, Source);
    grouping_ = false;
    Changed();
}

void TRtUndoStack::Clear()
{
    for (TList* list : {&undo_, &redo_}) {
        for (auto& rec : *list)
            rec->Stack = nullptr;
        list->clear();
    }
    snapshots_.clear();
    checkpointCount_ = 0;
    DisabledSources.clear();
    DisableCount = 0;
    grouping_ = false;
    groupCounter_ = 1;
    Changed();
}

void TRtUndoStack::SetMaxCount(int32_t Value)
{
    maxCount_ = Value;
    if (!undo_.empty() && Value >= 1)
        TrimTo(Value);
}
