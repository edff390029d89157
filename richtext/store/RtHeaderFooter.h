#pragma once
// Header and footer texts of a text: each a paragraph chain of its own with
// a kind and a page range.
#include "AnsiString.h"
#include "Object.h"
#include "RtDefs.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class TRtRTFText;
class TRtRTFTextIo;
class TRtCustomRtfEditClass;
class TRtSpecialTextProperty;
class TStream;

enum TRtPagePropertyKind : uint8_t { rtIsHeader, rtIsFooter };

// The text of a header or footer item as a persistent value: its stream
// property "Data" holds the text as RTF followed by four 0 bytes. Streaming
// needs an item whose owner is a TRtRTFTextIo; otherwise nothing is read or written.
class TRtSpecialTextPropertyContents : public TObject {
public:
    LUMI_CLASSNAME(TRtSpecialTextPropertyContents)
    explicit TRtSpecialTextPropertyContents(TRtSpecialTextProperty* Item) : Item(Item) {}
    // "Data" is stored only when the item has text.
    bool HasData() const;
    // Frees the item's text and loads the RTF into a new chain.
    void ReadData(TStream* Stream);
    void WriteData(TStream* Stream) const;
    // Copies the other item's text through RTF.
    void Assign(const TRtSpecialTextPropertyContents& Source);
    // Copies a text's body through RTF.
    void Assign(TRtRTFTextIo& Source);

    TRtSpecialTextProperty* const Item;
};

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
    // The chain; while it is edited through this item, the text's own chain
    // (its first paragraph may have gone since editing began).
    TParagraph* Paragraphs() const;
    // Frees the current chain and takes Chain. While the item is edited, the
    // text edits Chain (an empty text for nil) from its start.
    void SetParagraphs(TParagraph* Chain);
    void ClearText();
    // Hands the chain over without freeing it; the text, while it edits the
    // item, goes on with an empty text.
    TParagraph* TakeParagraphs();
    // The text's own first paragraph while this item is edited in its place, else nil.
    TParagraph* SavedFirstPar() const { return editing_ ? saved_.FirstPar : nullptr; }
    uint32_t Id() const { return id_; }
    // An item read back in the place of another (a whole-text undo step) takes its id, so that
    // what refers to the one finds the other.
    void TakeIdOf(uint32_t Id) { id_ = Id; }
    TRtRTFText* Owner() const { return owner_; }
    // The text as a persistent value; setting takes another item's contents or
    // a text's body, and nil clears the text.
    TRtSpecialTextPropertyContents* RtfText() { return &contents_; }
    void SetRtfText(const TRtSpecialTextPropertyContents* Value);
    void SetRtfText(TRtRTFTextIo* Value);
    void SetRtfText(std::nullptr_t) { ClearText(); }

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
    // The text edits this item's chain (made when it has none) from its start, without a selection.
    void EditChain();

    TRtRTFText* owner_;
    TRtSpecialTextPropertyContents contents_{this};
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
