#include "DropTarget.h"
#include "Application.h"

#include "DragDropFormats.h"
#include "DragDropMime.h"
#include "DropSource.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCoreApplication>
#include <QDropEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QWidget>
#include <algorithm>

using namespace Ole;

namespace {

// The widget whose co-ordinates are the client co-ordinates of control.
QWidget* ClientWidget(QWidget* control)
{
    if (auto* area = dynamic_cast<QAbstractScrollArea*>(control))
        return area->viewport();
    return control;
}

// The registrations of a control, in the order they were made.
std::vector<TWinControlProxy*> ProxiesOf(const QWidget* control)
{
    std::vector<TWinControlProxy*> proxies;
    for (QObject* child : control->children())
        if (auto* proxy = dynamic_cast<TWinControlProxy*>(child))
            proxies.push_back(proxy);
    return proxies;
}

// Accepts the Qt event with the action of the effect, or refuses it.
void Answer(QDropEvent* event, HRESULT hr, int32_t effect)
{
    Qt::DropAction action = Qt::IgnoreAction;
    if (Succeeded(hr)) {
        if (effect & DROPEFFECT_COPY)
            action = Qt::CopyAction;
        else if (effect & DROPEFFECT_MOVE)
            action = Qt::MoveAction;
        else if (effect & DROPEFFECT_LINK)
            action = Qt::LinkAction;
    }
    if (action == Qt::IgnoreAction) {
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
    } else {
        event->setDropAction(action);
        event->accept();
    }
}

// The program's own drop source behind mime data, if any.
TCustomDropSource* OwnSource(const QMimeData* mime)
{
    auto* own = dynamic_cast<const TDataObjectMimeData*>(mime);
    if (!own)
        return nullptr;
    auto* guarded = dynamic_cast<TGuardedDataObject*>(own->DataObject().get());
    return guarded ? dynamic_cast<TCustomDropSource*>(guarded->Object()) : nullptr;
}

}  // namespace

// ---- control list ---------------------------------------------------------------------

int TControlList::Add(QWidget* control)
{
    items_.push_back(control);
    return Count() - 1;
}

void TControlList::Insert(int index, QWidget* control)
{
    if (index < 0 || index > Count())
        throw EListError(Format("List index out of bounds (%d)", {index}));
    items_.insert(items_.begin() + index, control);
}

void TControlList::Delete(int index)
{
    if (index < 0 || index >= Count())
        throw EListError(Format("List index out of bounds (%d)", {index}));
    items_.erase(items_.begin() + index);
}

int TControlList::IndexOf(const QWidget* control) const
{
    const auto it = std::find(items_.begin(), items_.end(), control);
    return it == items_.end() ? -1 : int(it - items_.begin());
}

// ---- the target ------------------------------------------------------------------------------

TCustomDropTarget::TCustomDropTarget(QObject* AOwner) : TDragDropComponent(AOwner)
{
    ScrollTimer = new QTimer(this);
    ScrollTimer->setSingleShot(true);
    ScrollTimer->setTimerType(Qt::PreciseTimer);
    QObject::connect(ScrollTimer, &QTimer::timeout, this, Guarded([this] { AutoScrollTick(); }));
}

TCustomDropTarget::~TCustomDropTarget()
{
    StopAsyncTransfer();
    DataObject.reset();
    Unregister(nullptr);
}

void TCustomDropTarget::Register(QWidget* control)
{
    if (control && Targets.IndexOf(control) >= 0)
        return;
    if (!MultiTarget)
        Unregister(nullptr);
    if (!control)
        return;

    int at = Targets.Count();
    for (int i = Targets.Count() - 1; i >= 0; --i)
        if (Targets.Controls(i)->isAncestorOf(control)) {
            at = i + 1;
            break;
        }
    Targets.Insert(at, control);

    // One registration per control: another target's goes.
    for (TWinControlProxy* other : ProxiesOf(control))
        if (other->DropTarget() != this)
            other->DropTarget()->Unregister(control);
    new TWinControlProxy(this, control);
}

void TCustomDropTarget::Unregister(QWidget* control)
{
    if (!control) {
        while (Targets.Count() > 0)
            Unregister(Targets.Controls(Targets.Count() - 1));
        return;
    }
    if (Targets.IndexOf(control) < 0)
        return;
    Forget(control);
    const std::vector<TWinControlProxy*> proxies = ProxiesOf(control);
    for (auto it = proxies.rbegin(); it != proxies.rend(); ++it)
        if ((*it)->DropTarget() == this) {
            delete *it;
            break;
        }
}

// Drops a control from the lists (also when it is being destroyed).
void TCustomDropTarget::Forget(QWidget* control)
{
    if (target_ == control)
        target_ = nullptr;
    const int i = Targets.IndexOf(control);
    if (i >= 0)
        Targets.Delete(i);
}

// ---- proxy ----------------------------------------------------------------------------------------

TWinControlProxy::TWinControlProxy(TCustomDropTarget* target, QWidget* control)
    : QWidget(control), target_(target), control_(control)
{
    QObject::connect(control, &QObject::destroyed, this, Guarded([this] {
        controlGone_ = true;
        target_->Forget(control_);
    }));
    RegisterDragDrop();
    hide();
}

TWinControlProxy::~TWinControlProxy()
{
    if (!controlGone_)
        RevokeDragDrop();
}

void TWinControlProxy::RegisterDragDrop()
{
    QWidget* client = ClientWidget(control_);
    acceptedDrops_ = control_->acceptDrops();
    clientAcceptedDrops_ = client->acceptDrops();
    control_->installEventFilter(target_);
    control_->setAcceptDrops(true);
    if (client != control_) {
        client->installEventFilter(target_);
        client->setAcceptDrops(true);
    }
}

void TWinControlProxy::RevokeDragDrop()
{
    QWidget* client = ClientWidget(control_);
    control_->removeEventFilter(target_);
    control_->setAcceptDrops(acceptedDrops_);
    if (client != control_) {
        client->removeEventFilter(target_);
        client->setAcceptDrops(clientAcceptedDrops_);
    }
}

QWidget* TCustomDropTarget::Target() const
{
    if (target_)
        return target_;
    return Targets.Count() > 0 ? Targets.Controls(0) : nullptr;
}

void TCustomDropTarget::SetTarget(QWidget* control)
{
    if (control == Target())
        return;
    if (MultiTarget)
        Unregister(nullptr);
    Register(control);
}

QPoint TCustomDropTarget::ClientPoint(const QPoint& screenPoint) const
{
    return target_ ? ClientWidget(target_)->mapFromGlobal(screenPoint) : screenPoint;
}

HRESULT TCustomDropTarget::DragEnter(std::shared_ptr<IDataObject> dataObject, int32_t keyState,
                                     const QPoint& screenPoint, int32_t& effect)
{
    // The data formats still belong to a transfer thread.
    if (asyncTransfer_) {
        effect = DROPEFFECT_NONE;
        return E_UNEXPECTED;
    }
    ClearData();
    DataObject = std::move(dataObject);
    target_ = FindTarget(screenPoint);
    if (target_)
        LastPoint = ClientPoint(screenPoint);
    // Without a target nothing scrolls (no scroll bars are found); the
    // AutoScroll setting itself stays for the drags to come.
    const QPoint point = ClientPoint(screenPoint);

    if (!DataObject || !HasValidFormats(*DataObject)) {
        DataObject.reset();
        effect = DROPEFFECT_NONE;
        return S_OK;
    }
    ScrollBars = 0;
    auto* area = dynamic_cast<QAbstractScrollArea*>(target_.data());
    if (AutoScroll && area) {
        if (area->horizontalScrollBar()->isVisibleTo(area))
            ScrollBars |= sbHorizontalBar;
        if (area->verticalScrollBar()->isVisibleTo(area))
            ScrollBars |= sbVerticalBar;
        if (ScrollBars) {
            const int extent = area->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, area);
            NoScrollZone = area->viewport()->rect();
            if (ScrollBars & sbVerticalBar)
                NoScrollZone.adjust(0, extent, 0, -extent);
            if (ScrollBars & sbHorizontalBar)
                NoScrollZone.adjust(extent, 0, -extent, 0);
        }
    }
    if (GetDataOnEnter && !TransferData(effect)) {
        DataObject.reset();
        effect = DROPEFFECT_NONE;
        return DV_E_CLIPFORMAT;
    }
    const TShiftState shift = KeyStateToShiftState(keyState);
    effect = DoGetDropEffect(shift, point, effect);
    DoEnter(shift, point, effect);
    if (effect == DROPEFFECT_NONE)
        DataObject.reset();
    return S_OK;
}

HRESULT TCustomDropTarget::DragOver(int32_t keyState, const QPoint& screenPoint, int32_t& effect)
{
    if (!target_) {
        effect = DROPEFFECT_NONE;
        return E_UNEXPECTED;
    }
    const QPoint point = ClientPoint(screenPoint);
    HRESULT hr = DV_E_CLIPFORMAT;
    if (DataObject) {
        const TShiftState shift = KeyStateToShiftState(keyState);
        effect = DoGetDropEffect(shift, point, effect);
        DoDragOver(shift, point, effect);
        if ((effect & DROPEFFECT_SCROLL) && !ScrollTimer->isActive())
            ScrollTimer->start(DragScrollDelay);
        hr = S_OK;
    }
    LastPoint = point;
    return hr;
}

HRESULT TCustomDropTarget::DragLeave()
{
    ClearDragData();
    ScrollTimer->stop();
    DataObject.reset();
    DoLeave();
    target_ = nullptr;
    return S_OK;
}

HRESULT TCustomDropTarget::Drop(int32_t keyState, const QPoint& screenPoint, int32_t& effect)
{
    ScrollTimer->stop();
    HRESULT hr = S_OK;
    if (!DataObject) {
        effect = DROPEFFECT_NONE;
        hr = E_UNEXPECTED;
    } else {
        const TShiftState shift = KeyStateToShiftState(keyState);
        const QPoint point = ClientPoint(screenPoint);
        effect = DoGetDropEffect(shift, point, effect);
        if (!GetDataOnEnter && !TransferData(effect))
            effect = DROPEFFECT_NONE;
        else
            DoDrop(shift, point, effect);
    }
    ClearDragData();
    DataObject.reset();
    target_ = nullptr;
    return hr;
}

void TCustomDropTarget::DoEnter(TShiftState shift, const QPoint& point, int32_t& effect)
{
    if (OnEnter)
        OnEnter(this, shift, point, effect);
}

void TCustomDropTarget::DoDragOver(TShiftState shift, const QPoint& point, int32_t& effect)
{
    if (OnDragOver)
        OnDragOver(this, shift, point, effect);
}

void TCustomDropTarget::DoDrop(TShiftState shift, const QPoint& point, int32_t& effect)
{
    if (OnDrop)
        OnDrop(this, shift, point, effect);
    if (effect != DROPEFFECT_NONE) {
        if (OptimizedMove && effect == DROPEFFECT_MOVE)
            effect = DROPEFFECT_COPY;
        SetPerformedDropEffect(effect);
    }
}

void TCustomDropTarget::DoLeave()
{
    if (OnLeave)
        OnLeave(this);
}

void TCustomDropTarget::DoPaste(int32_t& effect)
{
    if (OnDrop)
        OnDrop(this, 0, QPoint(0, 0), effect);
    if (effect != DROPEFFECT_NONE)
        SetPasteSucceeded(effect);
}

void TCustomDropTarget::DoScroll(const QPoint& point, TScrolDirections& scroll, int& interval)
{
    if (OnScroll)
        OnScroll(this, point, scroll, interval);
}

bool TCustomDropTarget::TransferData(int32_t effect)
{
    ClearData();
    auto* async = dynamic_cast<IAsyncOperation*>(DataObject.get());
    BOOL asyncMode = 0;
    if (!AllowAsyncTransfer || !async || !Succeeded(async->GetAsyncMode(asyncMode)) || !asyncMode)
        return GetData();
    if (OnStartAsyncTransfer)
        OnStartAsyncTransfer(this);
    asyncTransfer_ = true;
    async->StartOperation();
    transfer_ = new TDropTargetTransferThread(this, effect, DataObject);
    transfer_->Start();
    return true;
}

void TCustomDropTarget::DoEndAsyncTransfer()
{
    transfer_ = nullptr;  // it frees itself
    asyncTransfer_ = false;
    if (OnEndAsyncTransfer)
        OnEndAsyncTransfer(this);
}

void TCustomDropTarget::ClearDragData()
{
    if (!asyncTransfer_)
        ClearData();
}

IDataObject* TCustomDropTarget::CurrentDataObject() const
{
    if (TDropTargetTransferThread* transfer = TDropTargetTransferThread::Current())
        return transfer->DataObject();
    return DataObject.get();
}

void TCustomDropTarget::StopAsyncTransfer()
{
    delete transfer_.data();
    asyncTransfer_ = false;
}

int32_t TCustomDropTarget::DoGetDropEffect(TShiftState shift, const QPoint& point, int32_t effect)
{
    int32_t e = DragTypesToDropEffect(Dragtypes) & effect;
    e = ShiftStateToDropEffect(shift, e, true);
    if (AutoScroll && ScrollBars) {
        if (NoScrollZone.contains(point))
            e &= ~DROPEFFECT_SCROLL;
        else
            e |= DROPEFFECT_SCROLL;
    }
    if (OnGetDropEffect)
        OnGetDropEffect(this, shift, point, e);
    return e;
}

int32_t TCustomDropTarget::GetPreferredDropEffect()
{
    TPreferredDropEffectClipboardFormat format;
    return DataObject && format.GetData(*DataObject) ? int32_t(format.Value) : 0;
}

namespace {

bool WriteDWORD(IDataObject* dataObject, TCustomDWORDClipboardFormat& format, int32_t value)
{
    if (!dataObject)
        return false;
    format.Value = uint32_t(value);
    STGMEDIUM medium;
    return format.SetData(*dataObject, format.FormatEtc(), medium);
}

}  // namespace

bool TCustomDropTarget::SetPerformedDropEffect(int32_t effect)
{
    TPerformedDropEffectClipboardFormat format;
    return WriteDWORD(DataObject.get(), format, effect);
}

bool TCustomDropTarget::SetPasteSucceeded(int32_t effect)
{
    TPasteSuccededClipboardFormat format;
    return WriteDWORD(DataObject.get(), format, effect);
}

QWidget* TCustomDropTarget::FindTarget(const QPoint& screenPoint)
{
    QWidget* w;
    if (dropHost_) {
        w = dropHost_->childAt(dropHost_->mapFromGlobal(screenPoint));
        if (!w)
            w = dropHost_;
    } else {
        w = QApplication::widgetAt(screenPoint);
    }
    for (; w; w = w->parentWidget())
        if (Targets.IndexOf(w) >= 0)
            return w;
    return nullptr;
}

int32_t TCustomDropTarget::PasteFromClipboard()
{
    DataObject = OleGetClipboard();
    int32_t effect = GetPreferredDropEffect();
    if (!TransferData(effect))
        effect = DROPEFFECT_NONE;
    DoPaste(effect);
    DataObject.reset();
    return effect;
}

void TCustomDropTarget::AutoScrollTick()
{
    ScrollTimer->stop();
    int interval = DragScrollInterval;
    TScrolDirections scroll = 0;
    if (!NoScrollZone.contains(LastPoint)) {
        if (LastPoint.y() < NoScrollZone.top())
            scroll |= ScrolDirectionSet(sdUp);
        else if (LastPoint.y() > NoScrollZone.bottom())
            scroll |= ScrolDirectionSet(sdDown);
        if (LastPoint.x() < NoScrollZone.left())
            scroll |= ScrolDirectionSet(sdLeft);
        else if (LastPoint.x() > NoScrollZone.right())
            scroll |= ScrolDirectionSet(sdRight);
    }
    DoScroll(LastPoint, scroll, interval);
    if (!scroll)
        return;
    if (auto* area = dynamic_cast<QAbstractScrollArea*>(target_.data())) {
        if (scroll & ScrolDirectionSet(sdUp))
            area->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
        else if (scroll & ScrolDirectionSet(sdDown))
            area->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        if (scroll & ScrolDirectionSet(sdLeft))
            area->horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
        else if (scroll & ScrolDirectionSet(sdRight))
            area->horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    }
    ScrollTimer->start(interval);
}

bool TCustomDropTarget::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::DragLeave) {
        DragLeave();
        event->accept();
        return true;
    }
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return false;
    auto* host = static_cast<QWidget*>(watched);
    auto* de = static_cast<QDropEvent*>(event);
    const QPoint screen = host->mapToGlobal(de->position().toPoint());
    const int32_t keyState = KeyStateOf(de->modifiers(), de->buttons());
    int32_t effect = DropEffectsOfActions(de->possibleActions());
    TCustomDropSource* source = OwnSource(de->mimeData());
    HRESULT hr;
    dropHost_ = host;
    if (type == QEvent::DragEnter) {
        hr = DragEnter(DataObjectOfMimeData(de->mimeData()), keyState, screen, effect);
    } else if (type == QEvent::DragMove) {
        hr = DragOver(keyState, screen, effect);
    } else if (source && source->QueryContinueDrag(false, 0) != DRAGDROP_S_DROP) {
        // The program's own source refuses to drop here.
        DragLeave();
        hr = S_OK;
        effect = DROPEFFECT_NONE;
    } else {
        hr = Drop(keyState, screen, effect);
    }
    dropHost_ = nullptr;
    if (source && type != QEvent::Drop)
        source->GiveFeedback(Succeeded(hr) ? effect : DROPEFFECT_NONE);
    Answer(de, hr, effect);
    return true;
}

// ---- transfer thread ---------------------------------------------------------------------------

namespace {

thread_local TDropTargetTransferThread* CurrentTransfer = nullptr;

}  // namespace

TDropTargetTransferThread::TDropTargetTransferThread(TCustomDropTarget* target, int32_t effect,
                                                     std::shared_ptr<IDataObject> dataObject)
    : target_(target), effect_(effect), source_(dataObject),
      dataObject_(std::make_unique<TInterThreadDataObject>(std::move(dataObject)))
{
}

TDropTargetTransferThread::~TDropTargetTransferThread() { Stop(); }

void TDropTargetTransferThread::Start()
{
    thread_ = std::thread([this] { Execute(); });
}

TDropTargetTransferThread* TDropTargetTransferThread::Current() { return CurrentTransfer; }

IDataObject* TDropTargetTransferThread::DataObject() const { return dataObject_.get(); }

void TDropTargetTransferThread::Synchronize(const std::function<void()>& f)
{
    const HRESULT hr = dataObject_->Call([f] {
        f();
        return S_OK;
    });
    if (hr != S_OK)
        throw EOleSysError(hr);
}

void TDropTargetTransferThread::Execute()
{
    CurrentTransfer = this;
    HRESULT outcome = S_OK;
    try {
        target_->GetData();
    } catch (...) {
        outcome = E_UNEXPECTED;
    }
    dataObject_->Call([this, outcome] { return EndOperation(outcome); });
    QCoreApplication::postEvent(this, new QEvent(QEvent::User));
}

HRESULT TDropTargetTransferThread::EndOperation(HRESULT outcome)
{
    if (ended_)
        return E_FAIL;
    ended_ = true;
    auto* async = dynamic_cast<IAsyncOperation*>(source_.get());
    return async ? async->EndOperation(outcome, effect_) : E_NOINTERFACE;
}

void TDropTargetTransferThread::customEvent(QEvent*)
{
    // Joining orders all the thread did before what follows.
    thread_.join();
    deleteLater();
    target_->DoEndAsyncTransfer();
}

void TDropTargetTransferThread::Stop()
{
    dataObject_->Disconnect();
    if (thread_.joinable())
        thread_.join();
    EndOperation(E_UNEXPECTED);
}

// ---- multi target ----------------------------------------------------------------------------

TCustomDropMultiTarget::TCustomDropMultiTarget(QObject* AOwner) : TCustomDropTarget(AOwner)
{
    Dragtypes = DragTypeSet(dtCopy) | DragTypeSet(dtLink);
    GetDataOnEnter = false;
    DataFormats = std::make_unique<TDataFormats>();
}

TCustomDropMultiTarget::~TCustomDropMultiTarget()
{
    StopAsyncTransfer();
    while (DataFormats->Count() > 0)
        delete DataFormats->Formats(DataFormats->Count() - 1);
    DataFormats.reset();
}

void TCustomDropMultiTarget::DoAcceptFormat(TCustomDataFormat* dataFormat, bool& accept)
{
    if (!OnAcceptFormat)
        return;
    // Events fire on the main thread, also while a transfer thread fetches.
    if (TDropTargetTransferThread* transfer = TDropTargetTransferThread::Current()) {
        auto answer = std::make_shared<bool>(accept);
        transfer->Synchronize([this, dataFormat, answer] { OnAcceptFormat(this, dataFormat, *answer); });
        accept = *answer;
        return;
    }
    OnAcceptFormat(this, dataFormat, accept);
}

bool TCustomDropMultiTarget::HasValidFormats(IDataObject& dataObject)
{
    std::unique_ptr<IEnumFORMATETC> e;
    if (dataObject.EnumFormatEtc(DATADIR_GET, e) != S_OK || !e)
        return false;
    e->Reset();
    FORMATETC f;
    uint32_t fetched = 0;
    while (e->Next(1, &f, &fetched) == S_OK && fetched == 1) {
        for (int i = 0; i < DataFormats->Count(); ++i) {
            TCustomDataFormat* df = DataFormats->Formats(i);
            if (df->AcceptFormat(f) && df->HasValidFormats(dataObject)) {
                bool accept = true;
                DoAcceptFormat(df, accept);
                if (accept)
                    return true;
            }
        }
    }
    return false;
}

bool TCustomDropMultiTarget::GetData()
{
    IDataObject* data = CurrentDataObject();
    if (!data)
        return false;
    bool result = false;
    for (int i = 0; i < DataFormats->Count(); ++i) {
        TCustomDataFormat* df = DataFormats->Formats(i);
        if (!df->HasValidFormats(*data))
            continue;
        bool accept = true;
        DoAcceptFormat(df, accept);
        if (accept && df->GetData(*data))
            result = true;
    }
    return result;
}

void TCustomDropMultiTarget::ClearData()
{
    if (AsyncTransfer())
        throw Exception("Can't clear data while async data transfer is in progress");
    for (int i = 0; i < DataFormats->Count(); ++i)
        DataFormats->Formats(i)->Clear();
}
