#include "RtHeaderFooter.h"

#include "RtRtfTxtIo.h"

namespace {
uint32_t NextSpecialTextId = 0;
}

TRtSpecialTextProperty::TRtSpecialTextProperty(TRtRTFText* Owner)
    : owner_(Owner), id_(++NextSpecialTextId)
{
    // The body's cursor and selection, kept aside while this text is edited.
    if (owner_) {
        TRtLivePositions& kept = owner_->Positions();
        kept.Add(saved_.CursorPar, saved_.CursorLine, saved_.CursorPos);
        kept.Add(saved_.Selection.StartPar, saved_.Selection.StartLine, saved_.Selection.StartPos);
        kept.Add(saved_.Selection.EndPar, saved_.Selection.EndLine, saved_.Selection.EndPos);
    }
}

TRtSpecialTextProperty::~TRtSpecialTextProperty()
{
    if (editing_)
        SetEditing(false);
    ClearText();
    if (owner_)
        owner_->Positions().Remove(this, sizeof(*this));
}

void TRtSpecialTextProperty::ClearText() { SetParagraphs(nullptr); }

void TRtSpecialTextProperty::SetParagraphs(TParagraph* Chain)
{
    // While edited, the chain is the text's own, whose first paragraph may have changed.
    TParagraph* old = Paragraphs();
    if (Chain == old)
        return;
    pars_ = nullptr;
    if (old && owner_)
        owner_->FreeParChain(old);
    pars_ = Chain;
    if (editing_)
        EditChain();
}

TParagraph* TRtSpecialTextProperty::TakeParagraphs()
{
    TParagraph* chain = Paragraphs();
    pars_ = nullptr;
    // The text, still editing this item, goes on with an empty text of it.
    if (editing_)
        EditChain();
    return chain;
}

TParagraph* TRtSpecialTextProperty::Paragraphs() const { return editing_ && owner_ ? owner_->FirstPar : pars_; }

bool TRtSpecialTextProperty::IsEmpty() const
{
    const TParagraph* p = Paragraphs();
    return !p || (!p->Next && (!p->Lines || (!p->Lines->Next && p->Lines->Length == 0)));
}

int32_t TRtSpecialTextProperty::CalcHeight()
{
    Height = 0;
    if (IsEmpty())
        return 0;
    for (TParagraph* p = Paragraphs(); p; p = p->Next) {
        if (p->Flags & parfNotFirstCell)
            continue;
        for (TLine* l = p->Lines; l; l = l->Next)
            Height += l->Height;
    }
    return Height;
}

void TRtSpecialTextProperty::EnsureParagraph()
{
    if (pars_ || !owner_)
        return;
    owner_->InsertPar(pars_, 0);
    pars_->Owner = this;
}

void TRtSpecialTextProperty::EditChain()
{
    EnsureParagraph();
    TRtRTFText& t = *owner_;
    t.FirstPar = pars_;
    t.CursorPar = pars_;
    t.CursorLine = pars_->Lines;
    t.CursorPos = 0;
    t.SetSelectionEnds({});
    t.MarkedCells = 0;
}

void TRtSpecialTextProperty::SetEditing(bool Value)
{
    if (Value == editing_ || !owner_)
        return;
    TRtRTFText& t = *owner_;
    if (Value) {
        if (t.EditedSpecialText && t.EditedSpecialText != this)
            throw ERtEngineModeError("Editor is already locked!");
        saved_ = {t.GetSelectionEnds(), t.CursorPar, t.CursorLine, t.CursorPos, t.MarkedCells, t.FirstPar};
        EditChain();
        t.EditedSpecialText = this;
        editing_ = true;
    } else {
        // The chain may have a new first paragraph after editing.
        pars_ = t.FirstPar;
        t.FirstPar = saved_.FirstPar;
        t.SetSelectionEnds(saved_.Selection);
        t.CursorPar = saved_.CursorPar;
        t.CursorLine = saved_.CursorLine;
        t.CursorPos = saved_.CursorPos;
        t.MarkedCells = saved_.MarkedCells;
        t.EditedSpecialText = nullptr;
        editing_ = false;
    }
}

void TRtSpecialTextProperty::SetRtfText(const TRtSpecialTextPropertyContents* Value)
{
    if (!Value)
        ClearText();
    else if (Value != &contents_)
        contents_.Assign(*Value);
}

void TRtSpecialTextProperty::SetRtfText(TRtRTFTextIo* Value)
{
    if (Value)
        contents_.Assign(*Value);
    else
        ClearText();
}

// ---- TRtSpecialTextPropertyContents ------------------------------------------------------------

bool TRtSpecialTextPropertyContents::HasData() const { return !Item->IsEmpty(); }

void TRtSpecialTextPropertyContents::WriteData(TStream* Stream) const
{
    auto* owner = dynamic_cast<TRtRTFTextIo*>(Item->Owner());
    if (!owner)
        return;
    TRtRTFTextIo temp;
    temp.Header()->Assign(*owner->Header());
    temp.PrepareCopyMaps(owner);
    TParagraph* first = Item->Editing() ? owner->FirstPar : Item->Paragraphs();
    if (TParagraph* chain = first ? temp.DuplicateChain(first, nullptr, owner) : nullptr) {
        TParagraph* old = temp.FirstPar;
        temp.FirstPar = chain;
        temp.FreeParChain(old);
        temp.RenumberFrom(chain);
        temp.CursorPar = chain;
        temp.CursorLine = chain->Lines;
        temp.CursorPos = 0;
    }
    temp.SaveRTFToStream(Stream);
}

void TRtSpecialTextPropertyContents::ReadData(TStream* Stream)
{
    auto* owner = dynamic_cast<TRtRTFTextIo*>(Item->Owner());
    if (!owner)
        return;
    TRtRTFTextIo temp;
    temp.Header()->Assign(*owner->Header());
    temp.ReadData(Stream);
    // The chain is replaced, so the text leaves it first when it edits it.
    Item->SetEditing(false);
    owner->PrepareCopyMaps(&temp);
    TParagraph* chain = owner->DuplicateChain(temp.FirstPar, nullptr, &temp);
    for (TParagraph* p = chain; p; p = p->Next)
        p->Owner = Item;
    Item->SetParagraphs(chain);
}

void TRtSpecialTextPropertyContents::Assign(const TRtSpecialTextPropertyContents& Source)
{
    TMemoryStream rtf;
    Source.WriteData(&rtf);
    rtf.SetPosition(0);
    ReadData(&rtf);
}

void TRtSpecialTextPropertyContents::Assign(TRtRTFTextIo& Source)
{
    TMemoryStream rtf;
    Source.SaveRTFToStream(&rtf);
    rtf.SetPosition(0);
    ReadData(&rtf);
}

// ---- TRtHeaderFooterCollection -----------------------------------------------------------------

TRtSpecialTextProperty* TRtHeaderFooterCollection::GetItem(int32_t Index) const
{
    return Index >= 0 && Index < Count() ? items_[size_t(Index)].get() : nullptr;
}

TRtSpecialTextProperty* TRtHeaderFooterCollection::Add()
{
    items_.push_back(std::make_unique<TRtSpecialTextProperty>(Owner));
    return items_.back().get();
}

void TRtHeaderFooterCollection::Delete(int32_t Index)
{
    if (Index >= 0 && Index < Count())
        items_.erase(items_.begin() + Index);
}
