// Paragraph numbers and the text's header and footer texts.
#include "RtHeaderFooter.h"
#include "RtNumbering.h"
#include "RtRtfTxt.h"

#include "SysUtils.h"

#include <algorithm>
#include <map>

// ---- numbering ------------------------------------------------------------------------------

void TRtRTFText::UpdateNumbering()
{
    if (OnNumbering) {
        OnNumbering(this);
        return;
    }
    TRtRTFNumberingStyleCollection& styles = *NumberingStyles();
    // The first style of every group and level.
    std::map<int32_t, std::array<TRtRTFNumberingStyle*, 10>> levels;
    for (int32_t i = 0; i < styles.Count(); ++i) {
        TRtRTFNumberingStyle* st = styles.GetItem(i);
        st->Counter = 0;
        if (st->Group >= 1 && st->LevelInGroup >= 1 && st->LevelInGroup <= 9) {
            auto& groupLevels = levels[st->Group];
            if (!groupLevels[size_t(st->LevelInGroup)])
                groupLevels[size_t(st->LevelInGroup)] = st;
        }
    }
    auto resetPlain = [&styles](const TRtRTFNumberingStyle* except) {
        for (int32_t i = 0; i < styles.Count(); ++i) {
            TRtRTFNumberingStyle* st = styles.GetItem(i);
            if (st->Group == 0 && st != except)
                st->Counter = 0;
        }
    };
    bool runActive = false;
    int32_t unknown = 0;
    for (TParagraph* p = FirstPar; p; p = p->Next) {
        if (p->Number == 0) {
            if (runActive && (NumberingOptions & 1) == 0)
                resetPlain(nullptr);
            runActive = false;
            continue;
        }
        TRtRTFNumberingStyle* st = styles.FindForPar(p);
        if (!st) {
            p->RunNumber = uint16_t(++unknown);
            continue;
        }
        if (st->Group >= 1) {
            auto it = levels.find(st->Group);
            if (it != levels.end())
                for (int32_t l = std::max(st->LevelInGroup + 1, 1); l <= 9; ++l)
                    if (it->second[size_t(l)])
                        it->second[size_t(l)]->Counter = 0;
            p->RunNumber = uint16_t(++st->Counter);
            continue;
        }
        const bool counts = (p->Lines && p->Lines->Length > 0) || p == PendingInputPar;
        if (!counts)
            continue;
        if (st->Style != rt_none && st->Style != rt_bullet)
            resetPlain(st);
        st->Counter = p->NumberExtra >= 1 ? p->NumberExtra : st->Counter + 1;
        p->RunNumber = uint16_t(st->Counter);
        runActive = true;
    }
}

void TRtRTFText::GetParNumberText(TParagraph* Par, TRtRTFNumberingStyle*& Style, AnsiString& Text)
{
    Style = nullptr;
    Text.clear();
    if (!Par || Par->Number == 0)
        return;
    TRtRTFNumberingStyleCollection& styles = *NumberingStyles();
    Style = styles.FindForPar(Par);
    if (!Style) {
        Text = IntToStr(Par->RunNumber) + ".";
        return;
    }
    Text = Style->NumberText(Par->RunNumber);
    const int32_t level = Par->NumLevel;
    if (Style->Group < 1 || !Style->UsePrev || level < 2 || level > 9)
        return;
    styles.SelectGroup(Style->Group);
    int32_t seek = level - 1;
    for (TParagraph* p = Par->Prior; p && seek >= 1;) {
        if (p->Number == 0 || p->NumLevel > seek) {
            p = p->Prior;
            continue;
        }
        TRtRTFNumberingStyle* slot = styles.LevelSlot(seek);
        if (slot && styles.FindForPar(p) == slot) {
            Text = slot->NumberText(p->RunNumber) + Text;
            p = p->Prior;
        }
        // A shallower paragraph ends the search for this level.
        --seek;
    }
}

// ---- headers and footers ----------------------------------------------------------------------

TRtSpecialTextProperty* TRtRTFText::GetHeaderFooter(int32_t Index) const
{
    return HeaderFooters()->GetItem(Index);
}

int32_t TRtRTFText::HeaderFooterCount() const
{
    return HeaderFooters()->Count();
}

TRtSpecialTextProperty* TRtRTFText::FindHeaderFooter(TRtPagePropertyRange Range, TRtPagePropertyKind Kind) const
{
    for (int32_t i = 0; i < HeaderFooterCount(); ++i) {
        TRtSpecialTextProperty* item = GetHeaderFooter(i);
        if (item->Range == Range && item->Kind == Kind)
            return item;
    }
    return nullptr;
}

TRtSpecialTextProperty* TRtRTFText::GetOrAddHeaderFooter(TRtPagePropertyRange Range, TRtPagePropertyKind Kind)
{
    if (TRtSpecialTextProperty* item = FindHeaderFooter(Range, Kind))
        return item;
    TRtSpecialTextProperty* item = HeaderFooters()->Add();
    item->Range = Range;
    item->Kind = Kind;
    return item;
}

TRtSpecialTextProperty* TRtRTFText::GetHeaderFooterForPage(int32_t PageIndex, TRtPagePropertyKind Kind,
                                                           bool IsLastPage)
{
    // The first page takes its first-page item, also when it is the last page; without one the
    // items of odd pages or of all pages follow.
    TRtSpecialTextProperty* item = nullptr;
    if (PageIndex == 0)
        item = FindHeaderFooter(rtraOnFirstPage, Kind);
    else
        item = FindHeaderFooter(IsLastPage ? rtraOnLastPage : rtraNotOnFirstAndLastPages, Kind);
    if (!item)
        item = FindHeaderFooter(PageIndex % 2 ? rtraOnEvenPages : rtraOnOddPages, Kind);
    if (item)
        return item;
    const bool oddNumber = (PageIndex + 1) % 2 == 1;
    for (int32_t i = 0; i < HeaderFooterCount(); ++i) {
        TRtSpecialTextProperty* it = GetHeaderFooter(i);
        if (it->Kind != Kind)
            continue;
        if (it->Range == rtraOnAllPages || (it->Range == rtraOnOddPages && oddNumber)
            || (it->Range == rtraOnEvenPages && !oddNumber) || (it->Range == rtraOnFirstPage && PageIndex == 0))
            return it;
    }
    return nullptr;
}

bool TRtRTFText::HasHeaderFooter() const
{
    for (int32_t i = 0; i < HeaderFooterCount(); ++i) {
        TRtSpecialTextProperty* it = GetHeaderFooter(i);
        if (it->Range != rtraIgnored && !it->IsEmpty())
            return true;
    }
    return false;
}

void TRtRTFText::SetLayer(int32_t NewLayer)
{
    if (!ConstructionFlag || NewLayer == Layer || NewLayer < 0 || NewLayer > 2)
        return;
    // A text edited through its own item gives the body back first: the body's
    // chain is what this layer saves.
    if (EditedSpecialText)
        EditedSpecialText->SetEditing(false);
    for (TRtListItem* it = ObjRefList()->FirstItem(); it; it = it->Next)
        static_cast<TRtObjRefItem*>(it)->Obj.Placed = 0;
    MoveLayer(NewLayer);
    if (NewLayer != 0)
        for (TParagraph* p = FirstPar; p; p = p->Next)
            p->Flags |= parfReformat;
    if (OnLayerChange)
        OnLayerChange(this);
    CheckSelectionChanged();
}

void TRtRTFText::MoveLayer(int32_t NewLayer)
{
    if (NewLayer == Layer)
        return;
    if (Layer == 0) {
        BodyFirstPar = FirstPar;
        BodyCursorPar = CursorPar;
        BodyCursorLine = CursorLine;
        BodyCursorPos = CursorPos;
    } else {
        GetOrAddHeaderFooter(HeaderFooterRange, Layer == 1 ? rtIsHeader : rtIsFooter)->SetParagraphs(FirstPar);
    }
    if (NewLayer == 0) {
        FirstPar = BodyFirstPar;
        CursorPar = BodyCursorPar;
        CursorLine = BodyCursorLine;
        CursorPos = BodyCursorPos;
    } else {
        SelStartPar = SelEndPar = nullptr;
        SelStartLine = SelEndLine = nullptr;
        SelStartPos = SelEndPos = 0;
        TRtSpecialTextProperty* item = GetOrAddHeaderFooter(HeaderFooterRange, NewLayer == 1 ? rtIsHeader : rtIsFooter);
        TParagraph* chain = item->TakeParagraphs();
        if (!chain) {
            InsertPar(chain, 0);
            chain->Owner = item;
        }
        FirstPar = chain;
        CursorPar = chain;
        CursorLine = chain->Lines;
        CursorPos = 0;
    }
    Layer = NewLayer;
}

bool TRtRTFText::SelectHeaderFooterById(uint32_t Id)
{
    // A text edited through its own item is left through it.
    if (EditedSpecialText) {
        if (EditedSpecialText->Id() == Id)
            return true;
        EditedSpecialText->SetEditing(false);
    }
    if (Id == 0) {
        SetLayer(0);
        return Layer == 0;
    }
    for (int32_t i = 0; i < HeaderFooterCount(); ++i) {
        TRtSpecialTextProperty* it = GetHeaderFooter(i);
        if (it->Id() != Id)
            continue;
        SetLayer(0);
        if (FindHeaderFooter(it->Range, it->Kind) != it) {
            // Not the item its layer edits: edited through the item itself.
            it->SetEditing(true);
            return EditedSpecialText == it;
        }
        HeaderFooterRange = it->Range;
        const int32_t layer = it->Kind == rtIsHeader ? 1 : 2;
        SetLayer(layer);
        return Layer == layer;
    }
    return false;
}

uint32_t TRtRTFText::EditedHeaderFooterId() const
{
    if (EditedSpecialText)
        return EditedSpecialText->Id();
    if (Layer == 0)
        return 0;
    TRtSpecialTextProperty* it = FindHeaderFooter(HeaderFooterRange, Layer == 1 ? rtIsHeader : rtIsFooter);
    return it ? it->Id() : 0;
}

TRtWholeTextScope::TRtWholeTextScope(TRtRTFText& Text)
    : text_(Text), item_(Text.EditedSpecialText), layer_(Text.Layer), selection_(Text.GetSelectionEnds()),
      cursorPar_(Text.CursorPar), cursorLine_(Text.CursorLine), cursorPos_(Text.CursorPos),
      markedCells_(Text.MarkedCells)
{
    // An item edited in place may stand in for a layer's chain: both are left, the inner first.
    if (item_)
        item_->SetEditing(false);
    text_.MoveLayer(0);
}

TRtWholeTextScope::~TRtWholeTextScope()
{
    text_.MoveLayer(layer_);
    if (item_)
        item_->SetEditing(true);
    text_.SetSelectionEnds(selection_);
    text_.CursorPar = cursorPar_;
    text_.CursorLine = cursorLine_;
    text_.CursorPos = cursorPos_;
    text_.MarkedCells = markedCells_;
}
