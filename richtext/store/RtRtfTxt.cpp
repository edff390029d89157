// The text object's lifecycle: construction, clearing and destruction, nested
// progress, status texts, zoom conversions, the name list and the
// selection-change test.
#include "RtRtfTxt.h"

#include "RtExtraData.h"
#include "RtHeaderFooter.h"
#include "RtNumbering.h"
#include "RtObjBase.h"
#include "RtPlatform.h"
#include "RtUndo.h"

#include <QDate>
#include <QLocale>
#include <QTime>
#include <algorithm>
#include <climits>
#include <cmath>

TRtRTFText::TRtRTFText()
    : header_(std::make_unique<TTextHeader>()),
      tables_(std::make_unique<TRtTableList>()),
      footnotes_(std::make_unique<TRtFootnoteList>()),
      objRefs_(std::make_unique<TRtObjReferenceList>(this)),
      insertpoints_(std::make_unique<TRtInsertpointList>()),
      numbering_(std::make_unique<TRtRTFNumberingStyleCollection>(this)),
      headerFooters_(std::make_unique<TRtHeaderFooterCollection>(this)),
      extraData_(std::make_unique<TRtRTFExtraDataCollection>(this)),
      names_(std::make_unique<TStringList>())
{
    Zooming = 100;
    ScreenResolution = RtPlatform().ScreenPixelsPerInch();
    static constexpr TOneWrtStyle decorated[7] = {afsIsInsertpoint, afsHidden, afsAutomatic, afsHyperLink,
                                                  afsProtected, afsBookmark, afsIsObject};
    for (size_t i = 0; i < charAttrs_.size(); ++i)
        charAttrs_[i] = std::make_unique<TCharacterAttr>(decorated[i]);
    InsertPointAttr()->SetTextColor(0x0000FF);
    HiddenTextAttr()->SetHidden(true);
    HyperlinkTextAttr()->SetUnderlineColor(0xFF0000);
    HyperlinkTextAttr()->SetUnderline(tsTRUE);
    BookmarkTextAttr()->SetUnderlineColor(0x008000);
    BookmarkTextAttr()->SetUnderline(tsTRUE);
    ConstructionFlag = true;
    static const bool noPrinter = RtPlatform().NoPrinters();
    RtRefPrinter.NoPrinter = noPrinter;

    positions_.Add(CursorPar, CursorLine, CursorPos, true);
    positions_.Add(SelStartPar, SelStartLine, SelStartPos);
    positions_.Add(SelEndPar, SelEndLine, SelEndPos);
    positions_.Add(BodyCursorPar, BodyCursorLine, BodyCursorPos);
    positions_.Add(PendingInputPar);
    positions_.Add(SelectedObj);
    positions_.Add(SelectedObject);
    positions_.Add(FrameEntry);
    positions_.Add(FrameObject);
    // The anchors of positioned objects.
    positions_.ForEachExtra = [this](const TRtLivePositions::TVisitor& Visit) {
        for (TRtListItem* it = objRefs_ ? objRefs_->FirstItem() : nullptr; it; it = it->Next) {
            TTextObj& o = static_cast<TRtObjRefItem*>(it)->Obj;
            if (o.AnchorPar)
                Visit(o.AnchorPar, o.AnchorLine, o.AnchorPos);
        }
    };
    // An anchor stands on its object's character: those on a line are found through its characters.
    positions_.ForEachExtraOn = [this](const TLine* Line, const TRtLivePositions::TVisitor& Visit) {
        if (!Line->Attrs || !objRefs_ || !objRefs_->FirstItem())
            return;
        std::vector<const TTextObj*> seen;
        for (int32_t i = 0; i < Line->Length; ++i) {
            const TAttr& a = Line->Attrs[i];
            if (!a.Style.Has(afsIsObject))
                continue;
            TTextObj* o = objRefs_->GetTextObj(int32_t(a.Tag));
            if (!o || o->AnchorLine != Line || std::find(seen.begin(), seen.end(), o) != seen.end())
                continue;
            seen.push_back(o);
            Visit(o->AnchorPar, o->AnchorLine, o->AnchorPos);
        }
    };
    header_->RichText = 1;
    header_->Owner = this;
    // A full tab table frees the stops no paragraph uses; those the caller is
    // collecting for a paragraph (the current tabs) stay.
    header_->OnTabsFull = [this](TTextHeader* H) { PurgeUnusedTabsKeeping(H->CurrentTabs); };
    CurrentAttr.Size = uint16_t(RtDefaultFontSize);
    memoryFormat_ = fmRichText;
    DefaultLineHeight = 16;
    SetWidthCacheCount(RtDefaultWidthCacheCount);
    InsertMode = true;
    TParagraph* p = nullptr;
    InsertPar(p, 40);
    CursorPar = p;
    CursorLine = p->Lines;
    numbering_->InitDefaults(true);
}

TRtRTFText::~TRtRTFText()
{
    SetUndoStack(nullptr);
    if (UndoStack)
        UndoStack->Clear();
    objects_.clear();
    headerFooters_.reset();
    helperObjects_.clear();
    tables_.reset();
    footnotes_.reset();
    objRefs_.reset();
    insertpoints_.reset();
    extraData_.reset();
    FreeParChain(FirstPar);
    FirstPar = nullptr;
}

int32_t TRtRTFText::ReadChar(uint8_t&, TAttr&) { throw EAbstractError("Abstract Error"); }

bool TRtRTFText::AppendChar(uint8_t, const TAttr*) { throw EAbstractError("Abstract Error"); }

void TRtRTFText::Clear()
{
    if (Busy)
        return;
    Layer = 0;
    tables_->Clear();
    footnotes_->Clear();
    numbering_->InitDefaults(true);
    if (!KeepHeaders) {
        headerFooters_->Clear();
        for (TRtFontEntry& f : header_->Fonts) {
            f.Name.clear();
            f.Charset = -1;
        }
    }
    extraData_->ClearForText();
    insertpoints_->Clear();
    objRefs_->Clear();
    if (!KeepSettings) {
        if (UndoStack)
            UndoStack->Clear();
        if (OnChangeUndoStack)
            OnChangeUndoStack(this);
    }
    ClearParagraphs(false);
    if (!SharedWidthCache)
        ResetWidthCache();
    DefaultFont = CurrentAttr.Font;
    DefaultSize = RtDefaultFontSize;
    ParCounter = 0;
    if (!KeepSettings)
        header_->Init();
    header_->RichText = memoryFormat_ == fmRichText ? 1 : 0;
    TParagraph* p = nullptr;
    InsertPar(p, 100);
    MarkChanged(p);
    CursorPar = p;
    CursorLine = p->Lines;
    CursorPos = 0;
    UpdateAfterChange(true);
}

void TRtRTFText::ClearParagraphs(bool CreateFirst)
{
    FreeParChain(FirstPar);
    FirstPar = nullptr;
    CursorPar = SelStartPar = SelEndPar = nullptr;
    CursorLine = SelStartLine = SelEndLine = nullptr;
    CursorPos = SelStartPos = SelEndPos = 0;
    MarkedCells = 0;
    pageCountValid_ = false;
    if (CreateFirst) {
        TParagraph* p = nullptr;
        InsertPar(p, 100);
        CursorPar = p;
        CursorLine = p->Lines;
    }
}

// ---- progress -------------------------------------------------------------------------------------------

bool TRtRTFText::OwnerLoading() const { return OwnerControl && OwnerControl->IsLoading(); }

void TRtRTFText::FirePercent(int32_t Percent)
{
    if (OnSetGaugeValue && !OwnerLoading())
        OnSetGaugeValue(this, Percent);
}

int32_t TRtRTFText::BeginProgress(int32_t Total)
{
    if (SuppressProgress || !OnSetGaugeValue)
        return 1;
    TRtProgressLevel level;
    if (!progress_.empty()) {
        const TRtProgressLevel& parent = progress_.back();
        level.Start = parent.Current;
        if (parent.Share < 1)
            level.End = level.Start;
        else if (parent.Share < 100)
            level.End = level.Start + (parent.End - parent.Current) * parent.Share / 100;
        else
            level.End = parent.End;
    } else {
        level.Start = 0;
        level.End = 100;
    }
    level.Current = level.Start;
    if (Total > 0) {
        level.Factor = double(level.End - level.Start) / Total;
        level.Step = level.Factor > 0 ? int32_t(std::clamp<int64_t>(Round(1 / level.Factor), 1, INT_MAX)) : Total;
    } else {
        level.Factor = 0;
        level.Step = -1;
    }
    progress_.push_back(level);
    return level.Step;
}

void TRtRTFText::StepProgress(int32_t Position)
{
    if (progress_.empty())
        return;
    TRtProgressLevel& level = progress_.back();
    if (Position - level.LastPos < level.Step || level.Current >= level.End)
        return;
    const int32_t current =
        std::min(level.End, level.Current + int32_t(Round((Position - level.LastPos) * level.Factor)));
    level.LastPos = Position;
    if (current != level.Current) {
        level.Current = current;
        FirePercent(current);
    }
}

void TRtRTFText::EndProgress()
{
    if (progress_.empty())
        return;
    FirePercent(progress_.back().End);
    progress_.pop_back();
    if (progress_.empty())
        FirePercent(0);
}

void TRtRTFText::SetProgressShare(int32_t Percent)
{
    if (!progress_.empty())
        progress_.back().Share = Percent;
}

void TRtRTFText::ResetProgress()
{
    progress_.clear();
    FirePercent(0);
}

// ---- status texts ---------------------------------------------------------------------------------------------

void TRtRTFText::GetStatusText(TRtStatusItemCont Index)
{
    if (!OnSetStatusString || Index >= 22)
        return;
    AnsiString text;
    switch (Index) {
    case stGauge:
        // The innermost level's percentage.
        text = IntToStr(progress_.empty() ? 0 : progress_.back().Current) + "%";
        break;
    case stInsert:
        text = InsertMode ? "INS" : "";
        break;
    case stXPos:
        text = IntToStr(DocToScreen(XPos));
        break;
    case stYPos:
        text = IntToStr(DocToScreen(YPos));
        break;
    case stDate:
        text = toAnsi(QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat));
        break;
    case stTime:
        text = toAnsi(QLocale::system().toString(QTime::currentTime(), QLocale::ShortFormat));
        break;
    case stPage:
        if (CursorLine)
            text = IntToStr(CursorLine->PageNr + 1);
        break;
    case stLine:
        if (CursorPar)
            text = IntToStr(CursorPar->Index + 1);
        break;
    case stFont:
        text = header_->GetFontName(CurrentAttr.Font);
        break;
    case stFileName:
        text = toAnsi(FileName);
        break;
    case stPathName:
        text = toAnsi(ExtractFileDir(FileName));
        break;
    default:
        break;
    }
    OnSetStatusString(this, Index, text);
}

// ---- zoom -------------------------------------------------------------------------------------------------------

void TRtRTFText::SetZooming(int32_t Value)
{
    if (Value < 1)
        return;
    Zooming = Value;
    if (FixedResMode)
        ScaledFixedResolution = MulDiv(FixedResolution, 100, Zooming);
}

void TRtRTFText::SetScreenResMode(TRtScreenResMode Mode)
{
    static constexpr int32_t resolutions[2] = {0, 1440};
    ScreenResMode = Mode;
    FixedResMode = Mode == rm1440;
    FixedResolution = resolutions[Mode];
    ScaledFixedResolution = MulDiv(FixedResolution, 100, Zooming);
}

int32_t TRtRTFText::ScreenToDoc(int32_t Value) const
{
    if (FixedResMode)
        return MulDiv(Value, ScaledFixedResolution, ScreenResolution);
    if (Zooming == 100 || ZoomByResolution)
        return Value;
    return MulDiv(Value, 100, Zooming);
}

int32_t TRtRTFText::DocToScreen(int32_t Value) const
{
    if (FixedResMode)
        return MulDiv(Value, ScreenResolution, ScaledFixedResolution);
    if (Zooming == 100 || ZoomByResolution)
        return Value;
    return MulDiv(Value, Zooming, 100);
}

// ---- names, selection, helpers -------------------------------------------------------------------------------------

int32_t TRtRTFText::NameToIndex(const AnsiString& Name)
{
    if (Name.empty())
        return 0;
    const AnsiString lower = LowerCase(Name);
    int32_t i = names_->IndexOf(lower);
    if (i < 0)
        i = names_->Add(lower);
    return i + 1;
}

void TRtRTFText::IndexToName(int32_t Index, AnsiString& Name) const
{
    Name = Index >= 1 && Index <= names_->Count() ? names_->Strings(Index - 1) : AnsiString();
}

void TRtRTFText::SetSelectionEnds(const TRtSelectionEnds& Ends)
{
    SelStartPar = Ends.StartPar;
    SelStartLine = Ends.StartLine;
    SelStartPos = Ends.StartPos;
    SelEndPar = Ends.EndPar;
    SelEndLine = Ends.EndLine;
    SelEndPos = Ends.EndPos;
}

void TRtRTFText::CheckSelectionChanged()
{
    const TRtSelectionEnds now = GetSelectionEnds();
    if (now == savedSel_)
        return;
    savedSel_ = now;
    SelectionChanged = true;
}

void TRtRTFText::FreeHelperObjects() { helperObjects_.clear(); }

void TRtRTFText::ClearHeaderFooters() { headerFooters_->Clear(); }
