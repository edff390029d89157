#pragma once
// The editor's undo stack: undo and redo records of one or more sources,
// grouped into steps, applied newest first, limited in the number of steps.
#include "AnsiString.h"
#include "Classes.h"
#include "Object.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class TRtUndoStack;
class TRtUndoObject;

using TRtUndoActionEvent = std::function<void(TRtUndoStack* Stack, TObject* Source, TRtUndoObject*& UndoObj)>;
using TRtApplyStringUndoEvent = std::function<void(TRtUndoStack* Stack, TObject* Source, TRtUndoObject*& UndoObj,
                                                   int32_t ID, const AnsiString& Value)>;
using TRtApplyIntegerUndoEvent = std::function<void(TRtUndoStack* Stack, TObject* Source, TRtUndoObject*& UndoObj,
                                                    int32_t ID, int32_t Value)>;
using TRtApplyStreamUndoEvent = std::function<void(TRtUndoStack* Stack, TObject* Source, TRtUndoObject*& UndoObj,
                                                   int32_t ID, TMemoryStream* Value)>;
using TRtUndoManagerNotifyEvent = std::function<void(TRtUndoStack* Sender, TObject* Source)>;

// Record kinds.
enum : uint8_t {
    rtukChange = 0,
    rtukCheckpoint = 1,
    rtukTextChange = 5,
    rtukDataChange = 6,
    rtukStreamChange = 7,
};

class TRtUndoObject : public TObject {
public:
    LUMI_CLASSNAME(TRtUndoObject)
    TRtUndoObject() = default;
    ~TRtUndoObject() override = default;
    TRtUndoObject(const TRtUndoObject&) = delete;
    TRtUndoObject& operator=(const TRtUndoObject&) = delete;

    virtual void GetKindName(AnsiString& Name);
    virtual void Apply();
    virtual bool SameAs(TRtUndoObject* Other);

    // A data object shared between records; the stack keeps it while any
    // record refers to it.
    void SetSnapshot(std::shared_ptr<TObject> Obj);
    // An object the record owns; replacing it frees the old one (kept for record kinds
    // that carry data; the text's own records do not).
    void SetDataObject(std::unique_ptr<TObject> Obj) { DataObject = std::move(Obj); }
    // The stream value, created on first request.
    TMemoryStream* GetStream();
    bool HasStream() const { return StreamValue != nullptr; }

    TRtUndoStack* Stack = nullptr;
    int32_t Group = 0;
    bool IsRedo = false;
    TObject* Source = nullptr;
    int32_t Extra = 0;
    int32_t ID = 0;
    uint8_t Kind = rtukChange;
    AnsiString StringValue;
    int32_t IntegerValue = 0;
    TRtUndoActionEvent OnApply;

private:
    friend class TRtUndoStack;
    std::unique_ptr<TObject> DataObject;
    std::shared_ptr<TObject> Snapshot;
    std::unique_ptr<TMemoryStream> StreamValue;
};

struct TRtUndoManagerLink {
    TObject* Source = nullptr;
    TRtUndoManagerNotifyEvent BeforeApply;
    TRtUndoManagerNotifyEvent AfterApply;
    bool Notified = false;
};

class TRtUndoStack : public TObject {
public:
    LUMI_CLASSNAME(TRtUndoStack)
    TRtUndoStack() = default;
    ~TRtUndoStack() override;
    TRtUndoStack(const TRtUndoStack&) = delete;
    TRtUndoStack& operator=(const TRtUndoStack&) = delete;

    virtual void Changed();
    // Takes the record into the undo (ToRedo False) or redo list; False for nil.
    virtual bool AddUndoObject(bool ToRedo, std::unique_ptr<TRtUndoObject> Obj);
    virtual bool Undo();
    virtual bool Redo();

    // Drops Obj when the newest record of the target list says SameAs.
    bool AddOrMerge(bool ToRedo, std::unique_ptr<TRtUndoObject> Obj);
    TRtUndoObject* GetLastObject(bool FromRedo) const;
    bool CanUndo() const;
    bool CanRedo() const { return !redo_.empty(); }
    void BeginGroup();
    bool EndGroup();
    void ForceNewStep() { newStepRequested_ = true; }
    void NewStep();
    bool IsDisabledFor(TObject* Source) const;
    TRtUndoManagerLink* AddManagerLink(TObject* Obj);
    void RemoveManagerLink(TObject* Obj);
    void RemoveObjectsOf(TObject* Source);
    void Clear();
    // A source that goes away takes its links with it.
    void Notification(TObject* Removed) { RemoveManagerLink(Removed); }

    void SetMaxCount(int32_t Value);
    bool Undoing() const { return undoing_; }
    bool Redoing() const { return redoing_; }
    bool Grouping() const { return grouping_; }
    bool NewStepRequested() const { return newStepRequested_; }
    int32_t GroupCounter() const { return groupCounter_; }
    int32_t CheckpointCount() const { return checkpointCount_; }
    int32_t UndoCount() const { return int32_t(undo_.size()); }
    int32_t RedoCount() const { return int32_t(redo_.size()); }
    TRtUndoObject* UndoItem(int32_t i) const { return undo_[size_t(i)].get(); }
    int32_t SnapshotCount() const { return int32_t(snapshots_.size()); }
    // Number of steps in the undo list.
    int32_t CountSteps() const;

    // Recording is off for every source while above 0, and for the listed ones.
    int32_t DisableCount = 0;
    std::vector<TObject*> DisabledSources;

    TRtUndoActionEvent OnTakeSnapshot;
    TRtUndoActionEvent OnApplyUndoAction;
    TNotifyEvent OnChange;
    TRtApplyStringUndoEvent OnUndoStringAction;
    TRtApplyIntegerUndoEvent OnUndoIntegerAction;
    TRtApplyStreamUndoEvent OnUndoStreamAction;
    TRtUndoManagerNotifyEvent BeforeApply;
    TRtUndoManagerNotifyEvent AfterApply;

private:
    friend class TRtUndoObject;
    using TList = std::vector<std::unique_ptr<TRtUndoObject>>;

    bool ApplyStep(bool FromRedo);
    // Frees the record at Index of List, releasing its snapshot.
    void FreeRecord(TList& List, size_t Index);
    // Frees Obj when it is still in List (applying may have removed it).
    void FreeIfHeld(TList& List, TRtUndoObject* Obj);
    void RegisterSnapshot(const std::shared_ptr<TObject>& Snap);
    void ReleaseSnapshot(std::shared_ptr<TObject>& Snap);
    void PackSnapshots();
    // Frees whole steps from the oldest end until at most Limit remain.
    void TrimTo(int32_t Limit);
    bool StartsStep(const TRtUndoObject& Rec, int32_t PrevGroup) const;

    TList undo_;
    TList redo_;
    std::vector<std::unique_ptr<TRtUndoManagerLink>> links_;
    std::vector<std::shared_ptr<TObject>> snapshots_;
    int32_t groupCounter_ = 1;
    bool grouping_ = false;
    bool newStepRequested_ = false;
    int32_t groupDepth_ = 0;
    bool undoing_ = false;
    bool redoing_ = false;
    int32_t checkpointCount_ = 0;
    int32_t maxCount_ = -1;
};
