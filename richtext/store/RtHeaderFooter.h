#pragma once
// Header and footer texts of a text: each a paragraph chain of its own with
// a kind and a page range.
#include "AnsiString.h"
#include "Object.h"
#include "RtDefs.h"

#include <cstdint>
#include <memory>
#include <vector>

class TRtRTFText;
class TRtCustomRtfEditClass;

enum TRtPagePropertyKind : uint8_t { rtIsHeader, rtIsFooter };

class TRtSpecialTextProperty : public TObject {
public:
    LUMI_CLASSNAME(TRtSpecialTextProperty)
    explicit TRtSpecialTextProperty(TRtRTFText* Owner);
    ~TRtSpecialTextProperty() override;
    TRtSpecialTextProperty(const TRtSpecialTextProperty&) = delete;
    TRtSpecialTextProperty& operator=(const TRtSpecialTextProperty&) = delete;

    // Moves the owning text's editing onto this item's chain or back.
    void SetEditing(bool Value);
    bool Editing() const { return editing_; }
    // Sum of the line heights, continued cells skipped; 0 for an empty text.
    int32_t CalcHeight();
    // No paragraph, or one paragraph with one empty line.
    bool IsEmpty() const;
    // Frees the current chain and takes Chain.
    void SetParagraphs(TParagraph* Chain);
    void ClearText();
    TParagraph* Paragraphs() const { return pars_; }
    // Hands the chain over without freeing it.
    TParagraph* TakeParagraphs();
    // The text's own first paragraph while this item is edited in its place, else nil.
    TParagraph* SavedFirstPar() const { return editing_ ? saved_.FirstPar : nullptr; }
    uint32_t Id() const { return id_; }
    TRtRTFText* Owner() const { return owner_; }

    AnsiString Name;
    TRtPagePropertyKind Kind = rtIsHeader;
    TRtPagePropertyRange Range = rtraIgnored;
    int32_t Height = 0;

private:
    struct TSavedState {
        TRtSelectionEnds Selection;
        TParagraph* CursorPar = nullptr;
        TLine* CursorLine = nullptr;
        int32_t CursorPos = 0;
        int32_t MarkedCells = 0;
        TParagraph* FirstPar = nullptr;
    };
    void EnsureParagraph();

    TRtRTFText* owner_;
    TParagraph* pars_ = nullptr;
    TSavedState saved_;
    bool editing_ = false;
    uint32_t id_;
};

class TRtHeaderFooterCollection : public TObject {
public:
    LUMI_CLASSNAME(TRtHeaderFooterCollection)
    explicit TRtHeaderFooterCollection(TRtRTFText* Owner) : Owner(Owner) {}

    int32_t Count() const { return int32_t(items_.size()); }
    TRtSpecialTextProperty* GetItem(int32_t Index) const;
    TRtSpecialTextProperty* Add();
    void Delete(int32_t Index);
    virtual void Clear() { items_.clear(); }
    // Kept for hosts that give the collection an edit control; the editor itself does not.
    void SetEditor(TRtCustomRtfEditClass* Editor) { this->Editor = Editor; }

    TRtRTFText* Owner;
    TRtCustomRtfEditClass* Editor = nullptr;

private:
    std::vector<std::unique_ptr<TRtSpecialTextProperty>> items_;
};
