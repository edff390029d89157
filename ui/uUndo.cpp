#include "uUndo.h"

#include "FBPictureElement.h"
#include "uFotobuchDocument.h"
#include "uUndoItems.h"

namespace {

const AnsiString UIStateSection = "UIState";

}  // namespace

TUndoItem::TUndoItem()
    : FStream(std::make_unique<TMemoryStream>()), FData(std::make_unique<TMemoryDataFile>(*FStream))
{
}

TUndoItem::~TUndoItem() = default;

void TUndoItem::Undo(TFBDocument&) {}

TUndoManager::TUndoManager() = default;
TUndoManager::~TUndoManager() = default;

void TUndoManager::Push(std::unique_ptr<TUndoItem> Item)
{
    SaveUIState(*Item);
    FItems.push_back(std::move(Item));
}

void TUndoManager::AddBildAustauschen(TFBPictureElement* Source, TFBPictureElement* Dest)
{
    Push(std::make_unique<TUndoBildAustauschen>(Source, Dest));
}

void TUndoManager::AddBildDrehen(TFBPictureElement* Element)
{
    Push(std::make_unique<TUndoBildDrehen>(Element));
}

void TUndoManager::AddBildEinfuegen(TFBPictureElement* Element)
{
    Push(std::make_unique<TUndoBildEinfuegen>(Element));
}

bool TUndoManager::AddBildFilter(TFBPictureElement* Element, const std::function<bool()>& Filter)
{
    auto item = std::make_unique<TUndoBildFilter>(Element);
    SaveUIState(*item);
    if (!Filter())
        return false;
    FItems.push_back(std::move(item));
    return true;
}

void TUndoManager::AddBildLoeschen(TFBPictureElement* Element)
{
    Push(std::make_unique<TUndoBildLoeschen>(Element));
}

void TUndoManager::AddBildRahmen(TFBPictureElement* Element)
{
    Push(std::make_unique<TUndoBildRahmen>(Element));
}

void TUndoManager::AddBildZoomPan(TFBPictureElement* Element, bool Merge)
{
    if (Merge && !FItems.empty()) {
        auto* last = dynamic_cast<TUndoBildZoomPan*>(FItems.back().get());
        if (last && last->Designates(Element))
            return;
    }
    Push(std::make_unique<TUndoBildZoomPan>(Element));
}

void TUndoManager::AddElementEinfuegen(TFBElement* Element)
{
    Push(std::make_unique<TUndoElementEinfuegen>(Element));
}

void TUndoManager::AddElementLoeschen(TFBElement* Element)
{
    Push(std::make_unique<TUndoElementLoeschen>(Element));
}

void TUndoManager::AddElementSizePos(TFBElement* Element)
{
    Push(std::make_unique<TUndoElementSizePos>(Element));
}

void TUndoManager::SetElementSizePosDest(TFBElement* Element)
{
    if (FItems.empty())
        return;
    if (auto* last = dynamic_cast<TUndoElementSizePos*>(FItems.back().get()))
        last->SetDest(Element);
}

void TUndoManager::AddFarbeEinfuegen(TFBPictureElement* Element)
{
    Push(std::make_unique<TUndoFarbeEinfuegen>(Element));
}

void TUndoManager::AddKalenderEigenschaften(TFBKalenderElement* Element)
{
    Push(std::make_unique<TUndoKalenderEigenschaften>(Element));
}

void TUndoManager::AddKalenderEigenschaftenFuerAlle(TFBDocument* Document)
{
    Push(std::make_unique<TUndoKalenderEigenschaftenFuerAlle>(Document));
}

void TUndoManager::AddKalenderJahrSetzen(TFBKalenderElement* Element)
{
    Push(std::make_unique<TUndoKalenderJahrSetzen>(Element));
}

void TUndoManager::AddLayoutEinfuegen(TFBDocument* Document, int ScreenIndex)
{
    Push(std::make_unique<TUndoLayoutEinfuegen>(Document, ScreenIndex));
}

void TUndoManager::AddSeiteEinfuegen(int ScreenIndex)
{
    Push(std::make_unique<TUndoSeiteEinfuegen>(ScreenIndex));
}

void TUndoManager::AddSeiteLoeschen(TFBDocument* Document, int ScreenIndex)
{
    Push(std::make_unique<TUndoSeiteLoeschen>(Document, ScreenIndex));
}

void TUndoManager::AddSeitenhintergrund(TFBPage* Page)
{
    Push(std::make_unique<TUndoSeitenhintergrund>(Page));
}

void TUndoManager::AddSeiteVerschieben(int SourceIndex, int DestIndex)
{
    Push(std::make_unique<TUndoSeiteVerschieben>(SourceIndex, DestIndex));
}

void TUndoManager::Undo(TFBDocument& Document)
{
    if (FItems.empty())
        return;
    // Taken off first, so that an item whose undo fails is gone all the same.
    std::unique_ptr<TUndoItem> item = std::move(FItems.back());
    FItems.pop_back();
    item->Undo(Document);
    RestoreUIState(*item);
}

void TUndoManager::Clear()
{
    FItems.clear();
}

void TUndoManager::DropLast()
{
    if (!FItems.empty())
        FItems.pop_back();
}

void TUndoManager::SaveUIState(TUndoItem& Item)
{
    if (FUIStateHost)
        FUIStateHost->SaveUIState(Item.Data(), UIStateSection);
}

void TUndoManager::RestoreUIState(TUndoItem& Item)
{
    if (FUIStateHost)
        FUIStateHost->RestoreUIState(Item.Data(), UIStateSection);
}

TUndoManager& GetUndoManager()
{
    static TUndoManager manager;
    return manager;
}
