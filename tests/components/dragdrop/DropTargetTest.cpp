#include "DragDropFormats.h"
#include "DragDropMime.h"
#include "DropSource.h"
#include "DropTarget.h"

#include <QClipboard>
#include <QDrag>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QListWidget>
#include <QMimeData>
#include <QScrollBar>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <mutex>
#include <thread>

using namespace Ole;

namespace {

struct Answer {
    bool accepted;
    Qt::DropAction action;
};

// Sends one synthetic drag event to the widget, as Qt delivers it.
Answer Send(QWidget* w, QEvent::Type type, const QMimeData* mime, QPoint pos,
            Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction,
            Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const Qt::MouseButtons buttons = type == QEvent::Drop ? Qt::NoButton : Qt::LeftButton;
    std::unique_ptr<QDropEvent> e;
    if (type == QEvent::DragEnter)
        e = std::make_unique<QDragEnterEvent>(pos, actions, mime, buttons, modifiers);
    else if (type == QEvent::DragMove)
        e = std::make_unique<QDragMoveEvent>(pos, actions, mime, buttons, modifiers);
    else
        e = std::make_unique<QDropEvent>(QPointF(pos), actions, mime, buttons, modifiers);
    e->ignore();
    QCoreApplication::sendEvent(w, e.get());
    return {e->isAccepted(), e->dropAction()};
}

void Leave(QWidget* w)
{
    QDragLeaveEvent e;
    QCoreApplication::sendEvent(w, &e);
}

QMimeData* Payload(const char* format, const QByteArray& bytes)
{
    auto* m = new QMimeData;
    m->setData(format, bytes);
    return m;
}

// A target with one generic format, recording its events.
struct Fixture {
    Fixture()
    {
        format = new TGenericDataFormat(&target);
        format->AddFormat("QwDropTest");
        target.Dragtypes = DragTypeSet(dtCopy) | DragTypeSet(dtMove);
        widget.resize(100, 100);
        target.Register(&widget);
        target.OnEnter = [this](TObject*, TShiftState, QPoint, int32_t& e) { entered.push_back(e); };
        target.OnDrop = [this](TObject*, TShiftState, QPoint p, int32_t& e) {
            dropped.push_back(format->Data());
            dropPoint = p;
            e = dropAnswer < 0 ? e : dropAnswer;
        };
    }
    TDropEmptyTarget target{nullptr};
    TGenericDataFormat* format;
    QWidget widget;
    std::vector<int32_t> entered;
    std::vector<AnsiString> dropped;
    QPoint dropPoint;
    int32_t dropAnswer = -1;
};

}  // namespace

TEST(DropTarget, RegistersEachControlBehindItsContainers)
{
    QWidget parent;
    auto* child = new QWidget(&parent);
    auto* grandchild = new QWidget(child);
    auto* other = new QWidget(&parent);
    TDropEmptyTarget target(nullptr);
    target.MultiTarget = true;

    target.Register(grandchild);
    target.Register(other);
    target.Register(child);   // contains none registered before it: at the end
    target.Register(&parent);  // at the end as well
    target.Register(child);    // already registered
    std::vector<QWidget*> order;
    for (int i = 0; i < target.Targets.Count(); ++i)
        order.push_back(target.Targets.Controls(i));
    EXPECT_EQ(order, (std::vector<QWidget*>{grandchild, other, child, &parent}));

    target.Unregister(nullptr);
    target.Register(&parent);
    target.Register(grandchild);
    target.Register(other);
    target.Register(child);  // right behind the parent, which contains it
    order.clear();
    for (int i = 0; i < target.Targets.Count(); ++i)
        order.push_back(target.Targets.Controls(i));
    EXPECT_EQ(order, (std::vector<QWidget*>{&parent, child, other, grandchild}));
    EXPECT_TRUE(child->acceptDrops());
    EXPECT_THROW(target.Targets.Delete(4), EListError);
    EXPECT_THROW(target.Targets.Insert(5, child), EListError);
    EXPECT_EQ(target.Targets.Count(), 4);

    // Setting Target leaves only that control registered.
    target.SetTarget(other);
    EXPECT_EQ(target.Targets.Count(), 1);
    EXPECT_EQ(target.Target(), other);
    EXPECT_FALSE(child->acceptDrops());

    // Without MultiTarget, registering replaces the previous control.
    target.MultiTarget = false;
    target.Register(child);
    EXPECT_EQ(target.Targets.Count(), 1);
    EXPECT_EQ(target.Target(), child);
    EXPECT_FALSE(other->acceptDrops());

    // A control registered with another target leaves the first one.
    TDropDummy dummy(nullptr);
    dummy.Register(child);
    EXPECT_EQ(target.Targets.Count(), 0);
    EXPECT_EQ(target.Target(), nullptr);
    EXPECT_EQ(dummy.Target(), child);

    // A freed control leaves the list.
    delete child;
    EXPECT_EQ(dummy.Targets.Count(), 0);
}

TEST(DropTarget, EachRegistrationIsAProxyChildOfTheControl)
{
    auto proxiesOf = [](QWidget* control) {
        std::vector<TWinControlProxy*> list;
        for (QObject* c : control->children())
            if (auto* p = dynamic_cast<TWinControlProxy*>(c))
                list.push_back(p);
        return list;
    };
    QListWidget list;  // a scroll area: its viewport takes the drops too
    QWidget plain;
    plain.setAcceptDrops(true);
    auto* target = new TDropEmptyTarget(nullptr);
    target->MultiTarget = true;
    target->Register(&list);
    target->Register(&plain);
    for (QWidget* w : {static_cast<QWidget*>(&list), &plain}) {
        const auto proxies = proxiesOf(w);
        ASSERT_EQ(proxies.size(), 1u);
        EXPECT_EQ(proxies[0]->DropTarget(), target);
        EXPECT_TRUE(proxies[0]->isHidden());
    }
    EXPECT_TRUE(list.acceptDrops());
    EXPECT_TRUE(list.viewport()->acceptDrops());

    // Unregistering frees the proxy and gives the control its own setting back.
    target->Unregister(&list);
    EXPECT_TRUE(proxiesOf(&list).empty());
    EXPECT_FALSE(list.acceptDrops());
    EXPECT_FALSE(list.viewport()->acceptDrops());
    std::unique_ptr<QMimeData> mime(Payload("QwDropTest", "x"));
    (new TGenericDataFormat(target))->AddFormat("QwDropTest");
    EXPECT_FALSE(Send(list.viewport(), QEvent::DragEnter, mime.get(), QPoint(5, 5)).accepted);

    // Another target's registration replaces this one's proxy.
    TDropDummy dummy(nullptr);
    dummy.Register(&plain);
    ASSERT_EQ(proxiesOf(&plain).size(), 1u);
    EXPECT_EQ(proxiesOf(&plain)[0]->DropTarget(), &dummy);
    EXPECT_EQ(target->Targets.Count(), 0);

    // A freed target revokes its registrations.
    target->Register(&list);
    delete target;
    EXPECT_TRUE(proxiesOf(&list).empty());
    EXPECT_FALSE(list.acceptDrops());
    dummy.Unregister(nullptr);
    EXPECT_TRUE(plain.acceptDrops());  // accepted drops before it was registered
}

TEST(DropTarget, EffectFollowsKeyState)
{
    Fixture f;
    std::unique_ptr<QMimeData> mime(Payload("QwDropTest", "x"));
    struct Case {
        Qt::KeyboardModifiers keys;
        Qt::DropActions allowed;
        Qt::DropAction action;
        int32_t effect;
    };
    const Case cases[] = {
        {Qt::NoModifier, Qt::CopyAction | Qt::MoveAction, Qt::MoveAction, DROPEFFECT_MOVE},
        {Qt::ControlModifier, Qt::CopyAction | Qt::MoveAction, Qt::CopyAction, DROPEFFECT_COPY},
        // Link is not among the drag types: the fallback gives copy.
        {Qt::ControlModifier | Qt::ShiftModifier, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction,
         Qt::CopyAction, DROPEFFECT_COPY},
        {Qt::ShiftModifier, Qt::CopyAction | Qt::MoveAction, Qt::MoveAction, DROPEFFECT_MOVE},
        {Qt::NoModifier, Qt::CopyAction, Qt::CopyAction, DROPEFFECT_COPY},
        {Qt::NoModifier, Qt::LinkAction, Qt::IgnoreAction, 0},
    };
    for (const Case& c : cases) {
        f.entered.clear();
        const Answer a = Send(&f.widget, QEvent::DragEnter, mime.get(), QPoint(5, 5), c.allowed, c.keys);
        EXPECT_EQ(a.action, c.action) << int(c.keys);
        EXPECT_EQ(a.accepted, c.action != Qt::IgnoreAction) << int(c.keys);
        ASSERT_EQ(f.entered.size(), 1u);
        EXPECT_EQ(f.entered[0], c.effect);
        // The same keys on a move over the control give the same answer.
        if (a.accepted) {
            const Answer over = Send(&f.widget, QEvent::DragMove, mime.get(), QPoint(6, 6), c.allowed, c.keys);
            EXPECT_EQ(over.action, c.action);
        }
        Leave(&f.widget);
    }

    // OnGetDropEffect has the last word.
    f.target.OnGetDropEffect = [](TObject*, TShiftState, QPoint p, int32_t& e) {
        if (p.x() > 50)
            e = DROPEFFECT_NONE;
    };
    EXPECT_TRUE(Send(&f.widget, QEvent::DragEnter, mime.get(), QPoint(5, 5)).accepted);
    EXPECT_FALSE(Send(&f.widget, QEvent::DragMove, mime.get(), QPoint(60, 5)).accepted);
    EXPECT_TRUE(Send(&f.widget, QEvent::DragMove, mime.get(), QPoint(10, 5)).accepted);
    // Qt's drag manager keeps the widget of an open drag: the drag ends before the widget goes.
    Leave(&f.widget);
}

TEST(DropTarget, RefusesDataWithoutItsFormats)
{
    Fixture f;
    std::unique_ptr<QMimeData> other(Payload("QwSomethingElse", "x"));
    EXPECT_FALSE(Send(&f.widget, QEvent::DragEnter, other.get(), QPoint(5, 5)).accepted);
    EXPECT_TRUE(f.entered.empty());
    EXPECT_EQ(f.target.DataObject, nullptr);
    EXPECT_FALSE(Send(&f.widget, QEvent::DragMove, other.get(), QPoint(5, 5)).accepted);
    EXPECT_FALSE(Send(&f.widget, QEvent::Drop, other.get(), QPoint(5, 5)).accepted);
    EXPECT_TRUE(f.dropped.empty());

    // OnAcceptFormat may turn a known format down.
    std::unique_ptr<QMimeData> known(Payload("QwDropTest", "x"));
    f.target.OnAcceptFormat = [](TObject*, TCustomDataFormat*, bool& accept) { accept = false; };
    EXPECT_FALSE(Send(&f.widget, QEvent::DragEnter, known.get(), QPoint(5, 5)).accepted);
    f.target.OnAcceptFormat = nullptr;
    EXPECT_TRUE(Send(&f.widget, QEvent::DragEnter, known.get(), QPoint(5, 5)).accepted);
    Leave(&f.widget);

    // The dummy refuses everything.
    QWidget form;
    TDropDummy dummy(nullptr);
    dummy.Register(&form);
    EXPECT_FALSE(Send(&form, QEvent::DragEnter, known.get(), QPoint(1, 1)).accepted);
    EXPECT_FALSE(Send(&form, QEvent::Drop, known.get(), QPoint(1, 1)).accepted);
}

TEST(DropTarget, DropDeliversTheData)
{
    Fixture f;
    std::unique_ptr<QMimeData> mime(Payload("QwDropTest", QByteArray("a\0b", 3)));
    ASSERT_TRUE(Send(&f.widget, QEvent::DragEnter, mime.get(), QPoint(5, 5)).accepted);
    // Fetched on the drop, not on enter.
    EXPECT_FALSE(f.format->HasData());
    const Answer a = Send(&f.widget, QEvent::Drop, mime.get(), QPoint(30, 40), Qt::CopyAction | Qt::MoveAction,
                          Qt::ControlModifier);
    EXPECT_TRUE(a.accepted);
    EXPECT_EQ(a.action, Qt::CopyAction);
    ASSERT_EQ(f.dropped.size(), 1u);
    EXPECT_EQ(f.dropped[0], std::string("a\0b", 3));
    EXPECT_EQ(f.dropPoint, QPoint(30, 40));
    // Cleared after the drop; the drag is over.
    EXPECT_FALSE(f.format->HasData());
    EXPECT_EQ(f.target.DataObject, nullptr);

    // A drop event whose handler answers 0 is refused.
    f.dropAnswer = DROPEFFECT_NONE;
    Send(&f.widget, QEvent::DragEnter, mime.get(), QPoint(5, 5));
    EXPECT_FALSE(Send(&f.widget, QEvent::Drop, mime.get(), QPoint(5, 5)).accepted);

    // With GetDataOnEnter the data are there on enter already.
    f.target.GetDataOnEnter = true;
    f.target.OnEnter = [&](TObject*, TShiftState, QPoint, int32_t&) { EXPECT_TRUE(f.format->HasData()); };
    EXPECT_TRUE(Send(&f.widget, QEvent::DragEnter, mime.get(), QPoint(5, 5)).accepted);
    Leave(&f.widget);
    EXPECT_FALSE(f.format->HasData());
}

TEST(DropTarget, OwnDragsRoundTrip)
{
    Fixture f;
    TDropEmptySource source(nullptr);
    source.DragTypes = DragTypeSet(dtCopy) | DragTypeSet(dtMove);
    auto* payload = new TGenericDataFormat(&source);
    payload->AddFormat("QwDropTest");
    payload->SetData("element 17");

    // The drag as Qt would run it: enter, move, drop on the target widget.
    source.ExecDrag = [&](QDrag& drag, Qt::DropActions actions) {
        if (!Send(&f.widget, QEvent::DragEnter, drag.mimeData(), QPoint(5, 5), actions).accepted)
            return Qt::IgnoreAction;
        Send(&f.widget, QEvent::DragMove, drag.mimeData(), QPoint(8, 8), actions);
        const Answer a = Send(&f.widget, QEvent::Drop, drag.mimeData(), QPoint(8, 8), actions);
        return a.accepted ? a.action : Qt::IgnoreAction;
    };
    EXPECT_EQ(source.Execute(), drDropMove);
    ASSERT_EQ(f.dropped.size(), 1u);
    EXPECT_EQ(f.dropped[0], "element 17");
    // The target told the source what it did.
    EXPECT_EQ(source.GetPerformedDropEffect(), DROPEFFECT_MOVE);
    EXPECT_EQ(source.FeedbackEffect, DROPEFFECT_MOVE);

    // With OptimizedMove a move is reported as copy, as performed effect and result.
    f.target.OptimizedMove = true;
    EXPECT_EQ(source.Execute(), drDropCopy);
    EXPECT_EQ(source.GetPerformedDropEffect(), DROPEFFECT_COPY);
    f.target.OptimizedMove = false;

    // The source may still refuse to drop; then the target sees no drop.
    source.OnDrop = [](TObject*, TDragType, bool& go) { go = false; };
    EXPECT_EQ(source.Execute(), drCancel);
    EXPECT_EQ(f.dropped.size(), 2u);
    EXPECT_EQ(f.target.DataObject, nullptr);
}

TEST(DropTarget, AutoScrollsWhileTheCursorRestsNearTheEdge)
{
    QListWidget list;
    for (int i = 0; i < 300; ++i)
        list.addItem(QString::number(i));
    list.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    list.resize(200, 200);
    list.show();
    QScrollBar* bar = list.verticalScrollBar();
    bar->setValue(100);
    const int start = bar->value();

    TDropEmptyTarget target(nullptr);
    (new TGenericDataFormat(&target))->AddFormat("QwDropTest");
    std::unique_ptr<QMimeData> mime(Payload("QwDropTest", "x"));
    // A drag that enters with no target scrolls nothing and leaves the
    // auto-scroll on for the drags after it.
    int32_t effect = DROPEFFECT_COPY;
    target.DragEnter(DataObjectOfMimeData(mime.get()), 0, QPoint(-5000, -5000), effect);
    EXPECT_EQ(target.Target(), nullptr);
    EXPECT_EQ(target.ScrollBars, 0);
    target.DragLeave();
    EXPECT_TRUE(target.AutoScroll);
    target.Register(&list);
    QElapsedTimer clock;
    std::vector<qint64> ticks;
    std::vector<TScrolDirections> directions;
    target.OnScroll = [&](TObject*, QPoint, TScrolDirections& scroll, int&) {
        if (scroll) {
            ticks.push_back(clock.elapsed());
            directions.push_back(scroll);
        }
    };
    std::vector<int32_t> overEffects;
    target.OnDragOver = [&](TObject*, TShiftState, QPoint, int32_t& e) { overEffects.push_back(e); };

    QWidget* viewport = list.viewport();
    ASSERT_TRUE(Send(viewport, QEvent::DragEnter, mime.get(), QPoint(50, 100)).accepted);
    EXPECT_EQ(target.Target(), &list);
    EXPECT_EQ(target.ScrollBars, sbVerticalBar);
    // On the top band of a control with a vertical scroll bar: the scroll bit.
    clock.start();
    ASSERT_TRUE(Send(viewport, QEvent::DragMove, mime.get(), QPoint(50, 2)).accepted);
    ASSERT_EQ(overEffects.size(), 1u);
    EXPECT_EQ(overEffects[0], DROPEFFECT_COPY | DROPEFFECT_SCROLL);  // copy and link accepted

    // No further drag-over comes while the cursor rests; the timer goes on.
    while (clock.elapsed() < 15000 && ticks.size() < 4)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    ASSERT_GE(ticks.size(), 4u);
    EXPECT_GE(ticks[0], DragScrollDelay);
    for (size_t i = 1; i < ticks.size(); ++i)
        EXPECT_GE(ticks[i] - ticks[i - 1], DragScrollInterval - 1) << i;
    EXPECT_EQ(directions, std::vector<TScrolDirections>(ticks.size(), ScrolDirectionSet(sdUp)));
    EXPECT_EQ(bar->value(), start - int(ticks.size()) * bar->singleStep());

    // Inside the no-scroll zone the bit goes and the scrolling stops.
    ASSERT_TRUE(Send(viewport, QEvent::DragMove, mime.get(), QPoint(50, 100)).accepted);
    EXPECT_EQ(overEffects.back(), DROPEFFECT_COPY);
    const size_t count = ticks.size();
    clock.restart();
    while (clock.elapsed() < 150)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_EQ(ticks.size(), count);
    EXPECT_FALSE(target.ScrollTimer->isActive());
    EXPECT_EQ(bar->value(), start - int(count) * bar->singleStep());

    // A drop stops the timer as well.
    Send(viewport, QEvent::DragMove, mime.get(), QPoint(50, 2));
    Send(viewport, QEvent::Drop, mime.get(), QPoint(50, 2));
    EXPECT_FALSE(target.ScrollTimer->isActive());
}

TEST(DropTarget, PastesFromTheClipboard)
{
    Fixture f;
    TDropEmptySource source(nullptr);
    auto* payload = new TGenericDataFormat(&source);
    payload->AddFormat("QwDropTest");
    payload->SetData("copied");
    std::vector<std::pair<TDragResult, bool>> pastes;
    source.OnPaste = [&](TObject*, TDragResult r, bool del) { pastes.emplace_back(r, del); };

    ASSERT_TRUE(source.CopyToClipboard());
    EXPECT_EQ(f.target.PasteFromClipboard(), DROPEFFECT_COPY);
    ASSERT_EQ(f.dropped.size(), 1u);
    EXPECT_EQ(f.dropped[0], "copied");
    EXPECT_EQ(f.dropPoint, QPoint(0, 0));
    // The target told the source that the paste succeeded.
    EXPECT_EQ(pastes, (std::vector<std::pair<TDragResult, bool>>{{drDropCopy, false}}));

    ASSERT_TRUE(source.CutToClipboard());
    source.SetPerformedDropEffect(DROPEFFECT_MOVE);  // flushes: the clipboard keeps a copy
    EXPECT_EQ(f.target.PasteFromClipboard(), DROPEFFECT_MOVE);
    EXPECT_EQ(f.dropped.back(), "copied");

    // Data another program put there; without a preferred effect the effect is 0.
    QGuiApplication::clipboard()->setMimeData(Payload("QwDropTest", "from elsewhere"));
    EXPECT_EQ(f.target.PasteFromClipboard(), DROPEFFECT_NONE);
    EXPECT_EQ(f.dropped.back(), "from elsewhere");

    // Nothing of the target's formats: nothing delivered.
    QGuiApplication::clipboard()->setMimeData(Payload("QwOther", "x"));
    EXPECT_EQ(f.target.PasteFromClipboard(), DROPEFFECT_NONE);
    EXPECT_EQ(f.dropped.back(), "");
    EXPECT_EQ(f.target.DataObject, nullptr);
}

namespace {

// Processes events until cond holds (false after a generous limit).
bool WaitFor(const std::function<bool()>& cond)
{
    QElapsedTimer clock;
    clock.start();
    while (!cond() && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return cond();
}

// A drag of the program's own onto the fixture's widget, with a record of the
// events on both sides and the thread each fired on.
struct AsyncFixture : Fixture {
    AsyncFixture()
    {
        source.DragTypes = DragTypeSet(dtCopy) | DragTypeSet(dtMove);
        payload = new TGenericDataFormat(&source);
        payload->AddFormat("QwDropTest");
        payload->SetData("element 17");
        source.ExecDrag = [this](QDrag& drag, Qt::DropActions actions) {
            if (!Send(&widget, QEvent::DragEnter, drag.mimeData(), QPoint(5, 5), actions).accepted)
                return Qt::IgnoreAction;
            Send(&widget, QEvent::DragMove, drag.mimeData(), QPoint(8, 8), actions);
            const Answer a = Send(&widget, QEvent::Drop, drag.mimeData(), QPoint(8, 8), actions);
            return a.accepted ? a.action : Qt::IgnoreAction;
        };
        // The drop event reads no data: they may still be on their way.
        target.OnDrop = [this](TObject*, TShiftState, QPoint, int32_t&) { Note("drop"); };
        target.OnStartAsyncTransfer = [this](TObject*) { Note("start"); };
        target.OnEndAsyncTransfer = [this](TObject*) {
            Note("end");
            transferring = target.AsyncTransfer();
            dataAtEnd = format->Data();
        };
        format->OnChanging = [this](TObject*) { Note("changing"); };
        source.OnGetData = [this](TObject*, const FORMATETC&, STGMEDIUM&, bool&) { Note("source data"); };
        source.OnAfterDrop = [this](TObject*, TDragResult r, bool optimized) {
            Note("after drop");
            afterDrop.emplace_back(r, optimized);
        };
    }
    void Note(const char* what)
    {
        std::lock_guard guard(lock);
        events.push_back(std::string(what) + (std::this_thread::get_id() == mainThread ? "" : " (worker)"));
    }
    std::vector<std::string> Events()
    {
        std::lock_guard guard(lock);
        return events;
    }
    bool Ended()
    {
        const std::vector<std::string> e = Events();
        return !e.empty() && e.back() == "end";
    }

    TDropEmptySource source{nullptr};
    TGenericDataFormat* payload;
    const std::thread::id mainThread = std::this_thread::get_id();
    std::mutex lock;
    std::vector<std::string> events;
    std::vector<std::pair<TDragResult, bool>> afterDrop;
    bool transferring = true;
    AnsiString dataAtEnd;
};

}  // namespace

TEST(DropTarget, AsyncDropFetchesOnTheTransferThread)
{
    AsyncFixture f;
    f.target.AllowAsyncTransfer = true;
    f.source.SetAllowAsyncTransfer(true);
    f.target.OnAcceptFormat = [&](TObject*, TCustomDataFormat*, bool&) { f.Note("accept"); };

    EXPECT_EQ(f.source.Execute(), drDropMove);
    // The drop is over; the data are still to come.
    EXPECT_TRUE(f.target.AsyncTransfer());
    EXPECT_TRUE(f.source.AsyncMode());
    EXPECT_TRUE(f.source.InOperation());
    EXPECT_TRUE(f.afterDrop.empty());
    EXPECT_EQ(f.target.DataObject, nullptr);

    // Meanwhile the data formats belong to the transfer: no clearing, no new drag.
    try {
        f.target.ClearData();
        ADD_FAILURE() << "ClearData during a transfer";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Can't clear data while async data transfer is in progress");
    }
    std::unique_ptr<QMimeData> other(Payload("QwDropTest", "other"));
    EXPECT_FALSE(Send(&f.widget, QEvent::DragEnter, other.get(), QPoint(5, 5)).accepted);
    Leave(&f.widget);

    ASSERT_TRUE(WaitFor([&] { return f.Ended(); }));
    // Every event on the main thread, the data filled on the worker, the
    // source's end before the target's.
    EXPECT_EQ(f.Events(), (std::vector<std::string>{"changing", "accept", "changing", "start", "drop", "accept",
                                                    "source data", "changing (worker)", "after drop", "end"}));
    EXPECT_FALSE(f.transferring);
    EXPECT_EQ(f.dataAtEnd, "element 17");
    EXPECT_EQ(f.format->Data(), "element 17");  // the data outlive the drop
    // The target performed a move, so the source has nothing left to optimize.
    EXPECT_EQ(f.afterDrop, (std::vector<std::pair<TDragResult, bool>>{{drDropMove, false}}));
    EXPECT_FALSE(f.source.InOperation());
    EXPECT_EQ(f.source.GetPerformedDropEffect(), DROPEFFECT_MOVE);

    // The next drag clears them again.
    ASSERT_TRUE(Send(&f.widget, QEvent::DragEnter, other.get(), QPoint(5, 5)).accepted);
    EXPECT_FALSE(f.format->HasData());
    Leave(&f.widget);
}

TEST(DropTarget, DropStaysSynchronousUnlessBothSidesAllowIt)
{
    for (const bool targetAllows : {false, true}) {
        AsyncFixture f;
        f.target.AllowAsyncTransfer = targetAllows;
        f.source.SetAllowAsyncTransfer(!targetAllows);
        f.target.OnDrop = [&](TObject*, TShiftState, QPoint, int32_t&) { f.dataAtEnd = f.format->Data(); };
        EXPECT_EQ(f.source.Execute(), drDropMove);
        EXPECT_EQ(f.dataAtEnd, "element 17");
        EXPECT_FALSE(f.target.AsyncTransfer());
        EXPECT_FALSE(f.source.InOperation());
        EXPECT_EQ(f.source.AsyncMode(), !targetAllows);
        // All on the main thread, the after-drop event within Execute.
        EXPECT_EQ(f.Events(), (std::vector<std::string>{"changing", "changing", "source data", "changing",
                                                        "changing", "after drop"}))
            << targetAllows;
        EXPECT_EQ(f.afterDrop, (std::vector<std::pair<TDragResult, bool>>{{drDropMove, false}}));
    }
}

TEST(DropTarget, AsyncTransferThatRaisesEndsTheOperationWithFailure)
{
    AsyncFixture f;
    f.target.AllowAsyncTransfer = true;
    f.source.SetAllowAsyncTransfer(true);
    f.target.OnAcceptFormat = [&](TObject*, TCustomDataFormat*, bool&) {
        if (f.target.AsyncTransfer())
            throw Exception("refused");
    };
    EXPECT_EQ(f.source.Execute(), drDropMove);
    ASSERT_TRUE(WaitFor([&] { return f.Ended(); }));
    EXPECT_EQ(f.afterDrop, (std::vector<std::pair<TDragResult, bool>>{{drUnknown, true}}));
    EXPECT_FALSE(f.format->HasData());
    EXPECT_FALSE(f.target.AsyncTransfer());
}

TEST(DropTarget, SourceFreedDuringATransferLeavesNoData)
{
    Fixture f;
    f.target.AllowAsyncTransfer = true;
    bool ended = false;
    f.target.OnEndAsyncTransfer = [&](TObject*) { ended = true; };
    auto* source = new TDropEmptySource(nullptr);
    source->SetAllowAsyncTransfer(true);
    auto* payload = new TGenericDataFormat(source);
    payload->AddFormat("QwDropTest");
    payload->SetData("gone");
    source->ExecDrag = [&](QDrag& drag, Qt::DropActions actions) {
        Send(&f.widget, QEvent::DragEnter, drag.mimeData(), QPoint(5, 5), actions);
        return Send(&f.widget, QEvent::Drop, drag.mimeData(), QPoint(5, 5), actions).action;
    };
    source->Execute();
    ASSERT_TRUE(f.target.AsyncTransfer());
    // The thread's calls reach the source only on the main thread, which frees it first.
    delete source;
    ASSERT_TRUE(WaitFor([&] { return ended; }));
    EXPECT_FALSE(f.format->HasData());
    EXPECT_FALSE(f.target.AsyncTransfer());
}

TEST(DropTarget, TargetFreedDuringATransferStopsIt)
{
    QWidget widget;
    widget.resize(50, 50);
    auto* target = new TDropEmptyTarget(nullptr);
    (new TGenericDataFormat(target))->AddFormat("QwDropTest");
    target->AllowAsyncTransfer = true;
    target->Register(&widget);
    bool ended = false;
    target->OnEndAsyncTransfer = [&](TObject*) { ended = true; };
    TDropEmptySource source(nullptr);
    source.SetAllowAsyncTransfer(true);
    auto* payload = new TGenericDataFormat(&source);
    payload->AddFormat("QwDropTest");
    payload->SetData("x");
    source.ExecDrag = [&](QDrag& drag, Qt::DropActions actions) {
        Send(&widget, QEvent::DragEnter, drag.mimeData(), QPoint(5, 5), actions);
        return Send(&widget, QEvent::Drop, drag.mimeData(), QPoint(5, 5), actions).action;
    };
    std::vector<TDragResult> afterDrop;
    bool afterDropOnMainThread = true;
    const std::thread::id mainThread = std::this_thread::get_id();
    source.OnAfterDrop = [&](TObject*, TDragResult r, bool) {
        afterDrop.push_back(r);
        afterDropOnMainThread = afterDropOnMainThread && std::this_thread::get_id() == mainThread;
    };
    EXPECT_EQ(source.Execute(), drDropCopy);
    ASSERT_TRUE(target->AsyncTransfer());
    ASSERT_TRUE(source.InOperation());
    // The thread waits for the main thread, which frees the target instead:
    // the thread's calls fail and it ends; the source learns that the
    // operation failed, and the target reports nothing afterwards.
    delete target;
    EXPECT_FALSE(source.InOperation());
    EXPECT_EQ(afterDrop, std::vector<TDragResult>{drUnknown});
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 200)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_FALSE(ended);
    EXPECT_EQ(afterDrop, std::vector<TDragResult>{drUnknown});

    // The next drop, onto a target that fetches at once, ends as usual.
    TDropEmptyTarget next(nullptr);
    (new TGenericDataFormat(&next))->AddFormat("QwDropTest");
    next.Register(&widget);
    EXPECT_EQ(source.Execute(), drDropCopy);
    EXPECT_EQ(afterDrop, (std::vector<TDragResult>{drUnknown, drDropCopy}));
    EXPECT_TRUE(afterDropOnMainThread);
}
