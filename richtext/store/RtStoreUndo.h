#pragma once
// The text store's own undo records: one change of a text (a paragraph copy,
// a group of paragraph properties, a table cell, an object reference, the page
// values, the current attribute or the whole text as RTF).
#include "RtList.h"
#include "RtRtfTxt.h"
#include "RtUndo.h"

#include <optional>

class TRtStoreUndoObject : public TRtUndoObject {
public:
    LUMI_CLASSNAME(TRtStoreUndoObject)
    explicit TRtStoreUndoObject(TRtRTFText* Text);
    ~TRtStoreUndoObject() override;

    void GetKindName(AnsiString& Name) override;
    void Apply() override;
    // The text's records never merge through the stack.
    bool SameAs(TRtUndoObject* Other) override { return false; }

    // Saves what the kind needs of Par (kinds 1-14) or of Ref (kinds 15-17).
    void SaveParData(TParagraph* Par);
    void SaveObjectData(TTextObj* Ref);

    TRtRTFText* Text;
    uint32_t HeaderFooterId = 0;
    uint8_t UndoKind = 0;
    uint8_t Level = 0;
    int32_t ParIndex = 0;
    int32_t PrevIndex = -1;          // kind 10: the paragraph before the deleted one
    TParagraph* SavedPar = nullptr;  // detached copy with one line
    TParagraph Props;                // the saved property fields
    std::optional<TRtCell> SavedCell;
    int32_t TableLeft = 0, TableRight = 0, TableValue3 = 0;
    TRtObjectBase* Object = nullptr;
    TTextObj SavedRef;
    TAttr SavedAttr;
    struct TPageValues {
        int32_t Width = 0, Height = 0, Left = 0, Right = 0, Top = 0, Bottom = 0, Header = 0, Footer = 0;
        bool Landscape = false, Mirror = false;
    } SavedPage;
    uint32_t Created = 0;
    int32_t CursorParIndex = 0;
    int32_t CursorOffset = 0;
    // The selection when the step was recorded, start before end, as paragraph
    // index and offset within the paragraph; SelStartParIndex -1: none.
    int32_t SelStartParIndex = -1, SelStartOffset = 0, SelEndParIndex = -1, SelEndOffset = 0;
    void SaveSelection();

private:
    // A copy of Par with all its characters in one line; object references held.
    TParagraph* CopyPar(TParagraph* Par);
    void FreeSavedPar();
    void RestoreLines(TParagraph* Par, bool WithProps);
    // The steps of Apply.
    void RecordOppositeStep(TParagraph* Par);
    void RemoveInsertedPar(TParagraph* Par);
    void InsertDeletedPar();
    void RestoreParAndCell(TParagraph* Par);
    void RestoreObjectRef();
    void RestorePageSetup();
    void RestoreCursorAndSelection();
};
