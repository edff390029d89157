#pragma once
// The undo stack: before a command changes the document it records an item
// that copies what the change will destroy into its own in-memory data file,
// together with the focus state of the window ("UIState"). Undo restores the
// newest item and drops it. There is no redo and no limit.
#include "AnsiString.h"
#include "Classes.h"
#include "Object.h"
#include "uDataFile.h"

#include <functional>
#include <memory>
#include <vector>

class TFBDocument;
class TFBPage;
class TFBElement;
class TFBPictureElement;
class TFBKalenderElement;

class TUndoItem : public TObject {
public:
    LUMI_CLASSNAME(TUndoItem)
    TUndoItem();
    ~TUndoItem() override;
    TUndoItem(const TUndoItem&) = delete;
    TUndoItem& operator=(const TUndoItem&) = delete;

    virtual void Undo(TFBDocument& Document);

    TCustomDataFile& Data() { return *FData; }
    // The bytes of the item's data file.
    TMemoryStream& Stream() { return *FStream; }

private:
    std::unique_ptr<TMemoryStream> FStream;
    std::unique_ptr<TMemoryDataFile> FData;
};

// What undo needs of the window that shows the document: writing and reading
// its focus state (screen and focused element) in a section of an item.
class TUndoUIStateHost {
public:
    virtual ~TUndoUIStateHost() = default;
    virtual void SaveUIState(TCustomDataFile& DataFile, const AnsiString& Section) = 0;
    virtual void RestoreUIState(TCustomDataFile& DataFile, const AnsiString& Section) = 0;
};

class TUndoManager : public TObject {
public:
    LUMI_CLASSNAME(TUndoManager)
    TUndoManager();
    ~TUndoManager() override;

    void AddBildAustauschen(TFBPictureElement* Source, TFBPictureElement* Dest);
    void AddBildDrehen(TFBPictureElement* Element);
    void AddBildEinfuegen(TFBPictureElement* Element);
    // Runs Filter (a filter dialog on the element's picture) and records the
    // item only when it answers that the picture changed; what Filter throws
    // passes on with nothing recorded.
    bool AddBildFilter(TFBPictureElement* Element, const std::function<bool()>& Filter);
    void AddBildLoeschen(TFBPictureElement* Element);
    void AddBildRahmen(TFBPictureElement* Element);
    // With Merge, a zoom or pan step on the picture of the newest zoom-and-pan
    // item adds nothing, so a run of steps undoes at once.
    void AddBildZoomPan(TFBPictureElement* Element, bool Merge);
    void AddElementEinfuegen(TFBElement* Element);
    void AddElementLoeschen(TFBElement* Element);
    void AddElementSizePos(TFBElement* Element);
    // Completes the newest size-and-position item with the element's page and
    // list index (after it went to another page).
    void SetElementSizePosDest(TFBElement* Element);
    void AddFarbeEinfuegen(TFBPictureElement* Element);
    void AddKalenderEigenschaften(TFBKalenderElement* Element);
    void AddKalenderEigenschaftenFuerAlle(TFBDocument* Document);
    void AddKalenderJahrSetzen(TFBKalenderElement* Element);
    void AddLayoutEinfuegen(TFBDocument* Document, int ScreenIndex);
    void AddSeiteEinfuegen(int ScreenIndex);
    void AddSeiteLoeschen(TFBDocument* Document, int ScreenIndex);
    void AddSeitenhintergrund(TFBPage* Page);
    void AddSeiteVerschieben(int SourceIndex, int DestIndex);

    bool CanUndo() const { return !FItems.empty(); }
    void Undo(TFBDocument& Document);
    void Clear();
    // Drops the newest item without undoing it.
    void DropLast();
    int Count() const { return int(FItems.size()); }
    // The newest item, null when the stack is empty.
    TUndoItem* Last() const { return FItems.empty() ? nullptr : FItems.back().get(); }

    void SaveUIState(TUndoItem& Item);
    void RestoreUIState(TUndoItem& Item);
    // The window whose focus state the items record (null: none); not owned.
    void SetUIStateHost(TUndoUIStateHost* Host) { FUIStateHost = Host; }
    TUndoUIStateHost* UIStateHost() const { return FUIStateHost; }

private:
    void Push(std::unique_ptr<TUndoItem> Item);

    std::vector<std::unique_ptr<TUndoItem>> FItems;
    TUndoUIStateHost* FUIStateHost = nullptr;
};

// The global undo manager, created on first use.
TUndoManager& GetUndoManager();
