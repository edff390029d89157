#pragma once
// Drop targets: components that make widgets accept drops and clipboard
// pastes. A target watches its registered widgets' drag events (an event
// filter), works out the drop effect from the keys and the allowed effects,
// scrolls the widget under the cursor while it rests near the edge, fetches
// the dropped data and reports through its events. The multi target fetches
// into a list of data formats; the dummy refuses every drop.
#include "DragDrop.h"

#include <QPointer>
#include <QRect>
#include <QWidget>
#include <functional>
#include <thread>

class QTimer;
class TDropTargetTransferThread;
class TInterThreadDataObject;

enum TScrolDirection : uint8_t { sdUp, sdDown, sdLeft, sdRight };
using TScrolDirections = uint8_t;  // bit n = ordinal n
constexpr TScrolDirections ScrolDirectionSet(TScrolDirection d) { return TScrolDirections(1u << d); }

using TScrollBarKinds = uint8_t;
constexpr TScrollBarKinds sbHorizontalBar = 1;
constexpr TScrollBarKinds sbVerticalBar = 2;

// Point: client co-ordinates of the target widget (of its viewport for a scroll area).
using TDropTargetEvent =
    std::function<void(TObject* Sender, TShiftState ShiftState, QPoint APoint, int32_t& Effect)>;
using TDropTargetScrollEvent =
    std::function<void(TObject* Sender, QPoint Point, TScrolDirections& Scroll, int& Interval)>;
using TAcceptFormatEvent = std::function<void(TObject* Sender, TCustomDataFormat* DataFormat, bool& Accept)>;

// The registered widgets, each behind every registered widget that contains it.
class TControlList {
public:
    int Add(QWidget* control);
    void Insert(int index, QWidget* control);
    void Delete(int index);
    int IndexOf(const QWidget* control) const;
    int Count() const { return int(items_.size()); }
    QWidget* Controls(int index) const { return items_.at(size_t(index)); }

private:
    std::vector<QWidget*> items_;
};

class TCustomDropTarget : public TDragDropComponent {
public:
    LUMI_CLASSNAME(TCustomDropTarget)
    explicit TCustomDropTarget(QObject* AOwner);
    ~TCustomDropTarget() override;

    // The data of the drag or paste in progress.
    std::shared_ptr<IDataObject> DataObject;
    TDragTypes Dragtypes = 0;
    bool GetDataOnEnter = false;
    TDropTargetEvent OnEnter;
    TDropTargetEvent OnDragOver;
    TNotifyEvent OnLeave;
    TDropTargetEvent OnDrop;
    TDropTargetEvent OnGetDropEffect;
    TDropTargetScrollEvent OnScroll;
    TControlList Targets;
    bool MultiTarget = false;
    bool OptimizedMove = false;
    bool AutoScroll = true;
    QPoint LastPoint;
    TScrollBarKinds ScrollBars = 0;
    QRect NoScrollZone;
    QTimer* ScrollTimer;  // owned (child)

    // With AllowAsyncTransfer, a drop whose source offers an asynchronous
    // operation is fetched by a TDropTargetTransferThread: OnStartAsyncTransfer
    // fires as it starts, OnEndAsyncTransfer on the main thread once it has
    // ended (AsyncTransfer is false again by then). Until then the data
    // formats belong to the thread: they outlive the drop, ClearData raises
    // and a new drag is refused.
    TNotifyEvent OnEndAsyncTransfer;
    TNotifyEvent OnStartAsyncTransfer;
    bool AllowAsyncTransfer = false;
    bool AsyncTransfer() const { return asyncTransfer_; }

    // Makes the widget accept drops through this target, by a
    // TWinControlProxy (a widget registered with another target leaves it);
    // without MultiTarget the others go.
    void Register(QWidget* control);
    // One widget; null: every one.
    void Unregister(QWidget* control);
    // During a drag the widget under the cursor, else the first registered one.
    QWidget* Target() const;
    void SetTarget(QWidget* control);

    // The drag calls, as the event filter makes them from Qt's events.
    HRESULT DragEnter(std::shared_ptr<IDataObject> dataObject, int32_t keyState, const QPoint& screenPoint,
                      int32_t& effect);
    HRESULT DragOver(int32_t keyState, const QPoint& screenPoint, int32_t& effect);
    HRESULT DragLeave();
    HRESULT Drop(int32_t keyState, const QPoint& screenPoint, int32_t& effect);

    virtual void DoEnter(TShiftState shift, const QPoint& point, int32_t& effect);
    virtual void DoDragOver(TShiftState shift, const QPoint& point, int32_t& effect);
    virtual void DoDrop(TShiftState shift, const QPoint& point, int32_t& effect);
    virtual void DoLeave();
    virtual void DoPaste(int32_t& effect);
    virtual void DoScroll(const QPoint& point, TScrolDirections& scroll, int& interval);
    virtual bool TransferData(int32_t effect);
    virtual bool GetData() = 0;
    virtual void ClearData() = 0;
    virtual int32_t DoGetDropEffect(TShiftState shift, const QPoint& point, int32_t effect);
    virtual int32_t GetPreferredDropEffect();
    virtual bool SetPerformedDropEffect(int32_t effect);
    virtual bool SetPasteSucceeded(int32_t effect);
    virtual QWidget* FindTarget(const QPoint& screenPoint);
    virtual bool HasValidFormats(IDataObject& dataObject) = 0;
    // Takes the clipboard's data as a drop; returns the effect.
    virtual int32_t PasteFromClipboard();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The data object GetData reads: on the transfer thread the one handed to
    // it, elsewhere DataObject.
    IDataObject* CurrentDataObject() const;
    // Stops a running transfer thread and waits for it; its end is not
    // reported. Every destructor calls it first, before anything the thread
    // may use (the class's operations among them) goes.
    void StopAsyncTransfer();

private:
    friend class TDropTargetTransferThread;
    friend class TWinControlProxy;
    void DoEndAsyncTransfer();
    // Clears the data formats unless a transfer thread fills them.
    void ClearDragData();
    void AutoScrollTick();
    void Forget(QWidget* control);
    QPoint ClientPoint(const QPoint& screenPoint) const;

    QPointer<QWidget> target_;
    QWidget* dropHost_ = nullptr;  // receiver of the Qt event being handled
    bool asyncTransfer_ = false;
    QPointer<TDropTargetTransferThread> transfer_;
};

// The registration of one control with a drop target: a hidden child of the
// control, which the target frees when it unregisters the control. Made, it
// registers the control (and its viewport) for drops through the target, whose
// event filter then sees their drag events; freed, it revokes that and gives
// the control back its own setting, unless the control itself is going.
class TWinControlProxy : public QWidget {
public:
    TWinControlProxy(TCustomDropTarget* target, QWidget* control);
    ~TWinControlProxy() override;
    TCustomDropTarget* DropTarget() const { return target_; }

private:
    void RegisterDragDrop();
    void RevokeDragDrop();

    TCustomDropTarget* const target_;
    QWidget* const control_;
    bool acceptedDrops_ = false;
    bool clientAcceptedDrops_ = false;
    bool controlGone_ = false;
};

// Fetches the data of a drop on a thread of its own. Created suspended
// (Start runs it) and freed once it has ended; its end is the target's, on
// the main thread. The data object reaches it as a TInterThreadDataObject, so
// that the source is only ever called on the main thread.
class TDropTargetTransferThread : public QObject {
public:
    TDropTargetTransferThread(TCustomDropTarget* target, int32_t effect, std::shared_ptr<IDataObject> dataObject);
    ~TDropTargetTransferThread() override;
    void Start();
    // The transfer thread the caller runs on, else nil.
    static TDropTargetTransferThread* Current();
    IDataObject* DataObject() const;
    // Runs f on the main thread while this thread waits; raises when the
    // transfer has been stopped.
    void Synchronize(const std::function<void()>& f);
    // Main thread: fails the calls waiting for it and waits for the end; a
    // source not told of the end yet learns that the transfer failed.
    void Stop();

protected:
    // The end, on the main thread.
    void customEvent(QEvent* event) override;

private:
    void Execute();
    // Main thread: tells the source that its operation ended, once.
    HRESULT EndOperation(HRESULT outcome);

    TCustomDropTarget* const target_;
    const int32_t effect_;
    std::shared_ptr<IDataObject> source_;  // used on the main thread only
    bool ended_ = false;
    std::unique_ptr<TInterThreadDataObject> dataObject_;
    std::thread thread_;
};

class TCustomDropMultiTarget : public TCustomDropTarget {
public:
    LUMI_CLASSNAME(TCustomDropMultiTarget)
    explicit TCustomDropMultiTarget(QObject* AOwner);
    ~TCustomDropMultiTarget() override;

    TAcceptFormatEvent OnAcceptFormat;
    bool GetData() override;
    void ClearData() override;
    bool HasValidFormats(IDataObject& dataObject) override;
    virtual void DoAcceptFormat(TCustomDataFormat* dataFormat, bool& accept);
};

class TDropEmptyTarget : public TCustomDropMultiTarget {
public:
    LUMI_CLASSNAME(TDropEmptyTarget)
    using TCustomDropMultiTarget::TCustomDropMultiTarget;
    ~TDropEmptyTarget() override { StopAsyncTransfer(); }
};

// Refuses every drop.
class TDropDummy : public TCustomDropTarget {
public:
    LUMI_CLASSNAME(TDropDummy)
    using TCustomDropTarget::TCustomDropTarget;
    bool GetData() override { return false; }
    void ClearData() override {}
    bool HasValidFormats(IDataObject&) override { return false; }
};
