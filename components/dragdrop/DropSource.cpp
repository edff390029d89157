#include "DropSource.h"
#include "Application.h"

#include "DragDropFormats.h"
#include "DragDropMime.h"

#include <QDrag>
#include <QPointer>

using namespace Ole;

namespace {

int32_t DropEffectOf(Qt::DropAction action)
{
    switch (action) {
    case Qt::CopyAction: return DROPEFFECT_COPY;
    case Qt::MoveAction:
    case Qt::TargetMoveAction: return DROPEFFECT_MOVE;
    case Qt::LinkAction: return DROPEFFECT_LINK;
    default: return DROPEFFECT_NONE;
    }
}

}  // namespace

// ---- the source ---------------------------------------------------------------------

TCustomDropSource::TCustomDropSource(QObject* AOwner) : TDragDropComponent(AOwner)
{
    ExecDrag = [](QDrag& drag, Qt::DropActions actions) { return drag.exec(actions); };
}

TCustomDropSource::~TCustomDropSource()
{
    TCustomDropSource::EmptyClipboard();
}

void TCustomDropSource::SetImages(const QList<QPixmap>* images)
{
    if (images == images_)
        return;
    images_ = images;
    const int count = images_ ? int(images_->size()) : 0;
    if (imageIndex_ >= count)
        imageIndex_ = 0;
    showImage_ = showImage_ && count > 0;
}

void TCustomDropSource::SetImageIndex(int index)
{
    const int count = images_ ? int(images_->size()) : 0;
    if (index >= 0 && count > 0) {
        if (index < count)
            imageIndex_ = index;
        return;
    }
    imageIndex_ = 0;
    showImage_ = false;
}

void TCustomDropSource::SetShowImage(bool show)
{
    showImage_ = show && images_ != nullptr;
}

HRESULT TCustomDropSource::GetData(const FORMATETC& format, STGMEDIUM& medium)
{
    bool handled = false;
    if (OnGetData) {
        OnGetData(this, format, medium, handled);
        if (handled)
            return S_OK;
    }
    if (!HasFormat(format))
        return DV_E_FORMATETC;
    return DoGetData(format, medium);
}

HRESULT TCustomDropSource::QueryGetData(const FORMATETC& format)
{
    return HasFormat(format) ? S_OK : DV_E_FORMATETC;
}

HRESULT TCustomDropSource::SetData(const FORMATETC& format, STGMEDIUM& medium, bool release)
{
    return FinishSetData(medium, release, SetData(format, medium));
}

HRESULT TCustomDropSource::SetData(const FORMATETC& format, STGMEDIUM& medium)
{
    bool handled = false;
    if (OnSetData)
        OnSetData(this, format, medium, handled);
    return handled ? S_OK : E_NOTIMPL;
}

HRESULT TCustomDropSource::EnumFormatEtc(uint32_t direction, std::unique_ptr<IEnumFORMATETC>& enumerator)
{
    enumerator = GetEnumFormatEtc(direction);
    return enumerator ? S_OK : E_NOTIMPL;
}

HRESULT TCustomDropSource::GetCanonicalFormatEtc(const FORMATETC& format, FORMATETC& canonical)
{
    canonical = format;
    return DATA_S_SAMEFORMATETC;
}

HRESULT TCustomDropSource::DAdvise(const FORMATETC&, uint32_t, IAdviseSink*, uint32_t&)
{
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT TCustomDropSource::DUnadvise(uint32_t) { return OLE_E_ADVISENOTSUPPORTED; }

HRESULT TCustomDropSource::EnumDAdvise(IEnumSTATDATA** enumAdvise)
{
    if (enumAdvise)
        *enumAdvise = nullptr;
    return OLE_E_ADVISENOTSUPPORTED;
}

// ---- asynchronous operation ------------------------------------------------------------

void TCustomDropSource::SetAllowAsyncTransfer(bool allow)
{
    if (allow == allowAsyncTransfer_)
        return;
    allowAsyncTransfer_ = allow;
    if (!allow) {
        asyncMode_ = false;
        inOperation_ = false;
    }
}

HRESULT TCustomDropSource::SetAsyncMode(BOOL async)
{
    if (!allowAsyncTransfer_)
        return E_NOTIMPL;
    asyncMode_ = async != 0;
    return S_OK;
}

HRESULT TCustomDropSource::GetAsyncMode(BOOL& async)
{
    async = BoolOf(asyncMode_);
    return S_OK;
}

HRESULT TCustomDropSource::StartOperation()
{
    if (!asyncMode_)
        return E_NOTIMPL;
    inOperation_ = true;
    return S_OK;
}

HRESULT TCustomDropSource::InOperation(BOOL& inOperation)
{
    inOperation = BoolOf(inOperation_);
    return S_OK;
}

HRESULT TCustomDropSource::EndOperation(HRESULT result, int32_t effects)
{
    if (!inOperation_)
        return E_FAIL;
    inOperation_ = false;
    if (OnAfterDrop) {
        const TDragResult dragResult =
            Succeeded(result) ? DropEffectToDragResult(DragTypesToDropEffect(DragTypes) & effects) : drUnknown;
        const bool optimized = !(dragResult == drDropMove && GetPerformedDropEffect() == DROPEFFECT_MOVE);
        OnAfterDrop(this, dragResult, optimized);
    }
    return S_OK;
}

// ---- drag ------------------------------------------------------------------------------------

HRESULT TCustomDropSource::QueryContinueDrag(bool escapePressed, int32_t keyState)
{
    if (escapePressed)
        return DRAGDROP_S_CANCEL;
    if (keyState & (MK_LBUTTON | MK_RBUTTON))
        return S_OK;
    TDragType type;
    bool continueDrop = DropEffectToDragType(FeedbackEffect, type) && (DragTypes & DragTypeSet(type));
    SetInShellDragLoop(false);
    if (continueDrop && OnDrop)
        OnDrop(this, type, continueDrop);
    return continueDrop ? DRAGDROP_S_DROP : DRAGDROP_S_CANCEL;
}

HRESULT TCustomDropSource::GiveFeedback(int32_t effect)
{
    FeedbackEffect = effect;
    bool useDefaultCursors = true;
    if (OnFeedback)
        OnFeedback(this, effect, useDefaultCursors);
    return useDefaultCursors ? DRAGDROP_S_USEDEFAULTCURSORS : S_OK;
}

void TCustomDropSource::DataChanging(TObject*)
{
    FlushClipboard();
}

bool TCustomDropSource::SetClipboard()
{
    OleSetClipboard(std::make_shared<TGuardedDataObject>(this, this));
    return OleIsCurrentClipboard(this);
}

void TCustomDropSource::DoPaste(TDragResult action, bool deleteOnPaste)
{
    if (OnPaste)
        OnPaste(this, action, deleteOnPaste);
}

TDragResult TCustomDropSource::Execute()
{
    const int32_t allowed = DragTypesToDropEffect(DragTypes);
    SetPerformedDropEffect(-1);

    QPointer<QDrag> drag = new QDrag(this);
    drag->setMimeData(new TDataObjectMimeData(std::make_shared<TGuardedDataObject>(this, this)));
    StartDragImage(*drag);
    QObject::connect(drag, &QDrag::actionChanged, this,
                     Guarded([this](Qt::DropAction action) { GiveFeedback(DropEffectOf(action)); }));

    if (allowAsyncTransfer_)
        SetAsyncMode(BoolOf(true));
    SetInShellDragLoop(true);
    Qt::DropAction action = Qt::IgnoreAction;
    try {
        action = ExecDrag(*drag, DropActionsOfEffects(allowed));
    } catch (...) {
        SetInShellDragLoop(false);
        DragSourceHelper.reset();
        if (drag)
            drag->deleteLater();
        throw;
    }
    SetInShellDragLoop(false);
    DragSourceHelper.reset();
    if (drag)
        drag->deleteLater();

    const int32_t effect = DropEffectOf(action);
    TDragResult result;
    if (action == Qt::IgnoreAction)
        result = drCancel;
    else if (GetLogicalPerformedDropEffect() == DROPEFFECT_MOVE ||
             (effect != DROPEFFECT_MOVE && GetPerformedDropEffect() == DROPEFFECT_MOVE))
        result = drDropMove;
    else
        result = DropEffectToDragResult(effect & allowed);

    if (GetPerformedDropEffect() == -1)
        SetPerformedDropEffect(0);
    // With an operation in progress EndOperation reports the drop.
    if (!inOperation_ && OnAfterDrop) {
        const bool optimized =
            result == drDropMove && !(effect == DROPEFFECT_MOVE && GetPerformedDropEffect() == DROPEFFECT_MOVE);
        OnAfterDrop(this, result, optimized);
    }
    return result;
}

void TCustomDropSource::StartDragImage(QDrag& drag)
{
    if (!showImage_ || !images_ || imageIndex_ >= images_->size())
        return;
    DragSourceHelper = std::make_unique<TDragSourceHelper>(drag);
    SHDRAGIMAGE image;
    image.hbmpDragImage = images_->at(imageIndex_).copy();  // a bitmap of its own
    image.sizeDragImage = image.hbmpDragImage.size();
    image.ptOffset = QPoint(ImageHotSpotX, ImageHotSpotY);
    if (DragSourceHelper->InitializeFromBitmap(image, this) != S_OK)
        DragSourceHelper.reset();
}

HRESULT TDragSourceHelper::InitializeFromBitmap(const SHDRAGIMAGE& image, IDataObject* dataObject)
{
    auto* mime = dynamic_cast<const TDataObjectMimeData*>(drag_.mimeData());
    if (!mime || !mime->Holds(dataObject))
        return E_INVALIDARG;
    if (image.hbmpDragImage.isNull() || image.sizeDragImage.isEmpty())
        return E_FAIL;
    drag_.setPixmap(image.hbmpDragImage.copy(QRect(QPoint(0, 0), image.sizeDragImage)));
    drag_.setHotSpot(image.ptOffset);
    return S_OK;
}

bool TCustomDropSource::CutToClipboard()
{
    SetPreferredDropEffect(DROPEFFECT_MOVE);
    return SetClipboard();
}

bool TCustomDropSource::CopyToClipboard()
{
    SetPreferredDropEffect(DROPEFFECT_COPY);
    return SetClipboard();
}

void TCustomDropSource::FlushClipboard()
{
    if (OleIsCurrentClipboard(this))
        OleFlushClipboard();
}

void TCustomDropSource::EmptyClipboard()
{
    if (OleIsCurrentClipboard(this))
        OleSetClipboard(nullptr);
}

// ---- format enumerator ------------------------------------------------------------------

std::vector<FORMATETC> TEnumFormatEtc::FormatsOf(const TDataFormats& formats, TDataDirections direction)
{
    std::vector<FORMATETC> list;
    TClipboardFormats listed(nullptr, false);
    for (int i = 0; i < formats.Count(); ++i) {
        TClipboardFormats& cfs = *formats.Formats(i)->CompatibleFormats;
        for (int j = 0; j < cfs.Count(); ++j) {
            TClipboardFormat* f = cfs.Formats(j);
            if (!(f->DataDirections & direction))
                continue;
            bool known = false;
            for (int k = 0; k < listed.Count() && !known; ++k) {
                TClipboardFormat* l = listed.Formats(k);
                known = l->ClassType()->InheritsFrom(f->ClassType()) &&
                        l->FormatEtc().cfFormat == f->FormatEtc().cfFormat;
            }
            if (known)
                continue;
            listed.Add(f);
            list.push_back(f->FormatEtc());
        }
    }
    return list;
}

// ---- multi source ------------------------------------------------------------------------

int TSourceDataFormats::Add(TCustomDataFormat* format)
{
    const int i = TDataFormats::Add(format);
    format->OnChanging = [s = source_](TObject* sender) { s->DataChanging(sender); };
    return i;
}

TCustomDropMultiSource::TCustomDropMultiSource(QObject* AOwner) : TCustomDropSource(AOwner)
{
    DataFormats = std::make_unique<TSourceDataFormats>(this);
    FeedbackDataFormat = new TFeedbackDataFormat(this);
    RawDataFormat = new TRawDataFormat(this);
}

TCustomDropMultiSource::~TCustomDropMultiSource()
{
    TCustomDropSource::EmptyClipboard();
    while (DataFormats->Count() > 0)
        delete DataFormats->Formats(DataFormats->Count() - 1);
    DataFormats.reset();
}

bool TCustomDropMultiSource::HasFormat(const FORMATETC& format)
{
    for (int i = 0; i < DataFormats->Count(); ++i)
        if (DataFormats->Formats(i)->AcceptFormat(format))
            return true;
    return false;
}

HRESULT TCustomDropMultiSource::DoGetData(const FORMATETC& format, STGMEDIUM& medium)
{
    medium = STGMEDIUM{};
    for (int i = 0; i < DataFormats->Count(); ++i) {
        TCustomDataFormat* df = DataFormats->Formats(i);
        if (!df->HasData())
            continue;
        for (int j = 0; j < df->CompatibleFormats->Count(); ++j) {
            TClipboardFormat* cf = df->CompatibleFormats->Formats(j);
            if (cf->AcceptFormat(format) && df->AssignTo(*cf) && cf->HasData() && cf->FillMedium(format, medium)) {
                cf->Clear();
                return S_OK;
            }
        }
    }
    return DV_E_FORMATETC;
}

HRESULT TCustomDropMultiSource::SetData(const FORMATETC& format, STGMEDIUM& medium)
{
    for (int i = 0; i < DataFormats->Count(); ++i) {
        TCustomDataFormat* df = DataFormats->Formats(i);
        for (int j = 0; j < df->CompatibleFormats->Count(); ++j) {
            TClipboardFormat* cf = df->CompatibleFormats->Formats(j);
            if (!cf->AcceptFormat(format))
                continue;
            STGMEDIUM m;
            CopyMedium(medium, m);
            if (cf->GetDataFromMedium(this, m) && df->Assign(*cf)) {
                if (auto* pasted = dynamic_cast<TPasteSuccededClipboardFormat*>(cf)) {
                    const int32_t v = int32_t(pasted->Value);
                    DoPaste(DropEffectToDragResult(v),
                            v == DROPEFFECT_MOVE && GetPerformedDropEffect() == DROPEFFECT_MOVE);
                }
                cf->Clear();
                return S_OK;
            }
        }
    }
    auto raw = std::make_unique<TRawClipboardFormat>(format);
    STGMEDIUM m;
    CopyMedium(medium, m);
    if (!raw->GetDataFromMedium(this, m) || !RawDataFormat->Assign(*raw))
        return E_NOTIMPL;
    RawDataFormat->CompatibleFormats->Add(std::move(raw));
    return S_OK;
}

std::unique_ptr<IEnumFORMATETC> TCustomDropMultiSource::GetEnumFormatEtc(uint32_t direction)
{
    if (direction == DATADIR_GET)
        return std::make_unique<TEnumFormatEtc>(*DataFormats, ddRead);
    if (direction == DATADIR_SET)
        return std::make_unique<TEnumFormatEtc>(*DataFormats, ddWrite);
    return nullptr;
}

int32_t TCustomDropMultiSource::GetPerformedDropEffect() { return FeedbackDataFormat->PerformedDropEffect(); }

int32_t TCustomDropMultiSource::GetLogicalPerformedDropEffect()
{
    return FeedbackDataFormat->LogicalPerformedDropEffect;
}

void TCustomDropMultiSource::SetPerformedDropEffect(int32_t value)
{
    FeedbackDataFormat->SetPerformedDropEffect(value);
}

int32_t TCustomDropMultiSource::GetPreferredDropEffect() { return FeedbackDataFormat->PreferredDropEffect(); }

void TCustomDropMultiSource::SetPreferredDropEffect(int32_t value)
{
    FeedbackDataFormat->SetPreferredDropEffect(value);
}

bool TCustomDropMultiSource::GetInShellDragLoop() { return FeedbackDataFormat->InShellDragLoop(); }

TGUID TCustomDropMultiSource::GetTargetCLSID() { return FeedbackDataFormat->TargetCLSID; }

void TCustomDropMultiSource::SetInShellDragLoop(bool value) { FeedbackDataFormat->SetInShellDragLoop(value); }
