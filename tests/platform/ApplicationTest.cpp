#include "Application.h"
#include "SysUtils.h"
#include "../common/ShownMessages.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

TEST(Application, GuardedSlotsReportWhatTheyThrowInsteadOfPassingItToQt)
{
    ShownMessages messages;
    const QStringList& shown = messages.Texts;

    // Both signals run their slots at once, outside any event handler.
    QPushButton button;
    QObject::connect(&button, &QPushButton::clicked, &button, Guarded([] { throw EConvertError("bad value"); }));
    QSpinBox spin;
    int got = -1;
    QObject::connect(&spin, &QSpinBox::valueChanged, &spin, Guarded([&](int Value) {
        got = Value;
        throw Exception("changed");
    }));
    QObject::connect(&spin, &QSpinBox::valueChanged, &spin, Guarded([] { Abort(); }));
    button.click();
    spin.setValue(5);
    EXPECT_EQ(shown, QStringList({"bad value.", "changed."}));
    EXPECT_EQ(got, 5);
}

namespace {
std::vector<int> CleanupOrder;
bool CleanupThrew = false;
}  // namespace

TEST(Application, StaticCleanupsRunNewestFirstEvenWhenOneFails)
{
    ShownMessages messages;
    const QStringList& shown = messages.Texts;
    static const TStaticCleanup first([] { CleanupOrder.push_back(1); });
    static const TStaticCleanup failing([] {
        if (!CleanupThrew) {
            CleanupThrew = true;
            throw Exception("cannot free");
        }
    });
    static const TStaticCleanup last([] { CleanupOrder.push_back(3); });
    CleanupOrder.clear();
    RunStaticCleanups();
    EXPECT_EQ(CleanupOrder, (std::vector<int>{3, 1}));
    EXPECT_EQ(shown, QStringList({"cannot free."}));
}

TEST(Application, PaintGuardReportsEachFailureOnceAfterThePaint)
{
    ShownMessages messages;
    const QStringList& shown = messages.Texts;
    const auto processUntil = [&](qsizetype Count) {
        const QDeadlineTimer limit(10000);
        while (shown.size() < Count && !limit.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    };

    QObject context;
    TPaintGuard guard;
    const auto throwInt = [] { throw 42; };
    // Something that is no std::exception stays inside the paint as well.
    EXPECT_NO_THROW(guard.Run(&context, throwInt));
    EXPECT_TRUE(shown.isEmpty());
    processUntil(1);
    EXPECT_EQ(shown, QStringList({"Unknown error."}));
    // The same failure again is not reported again ...
    guard.Run(&context, throwInt);
    guard.Run(&context, [] { throw Exception("no canvas"); });
    guard.Run(&context, [] { throw Exception("no canvas"); });
    processUntil(2);
    // ... until a paint succeeds.
    guard.Run(&context, [] {});
    guard.Run(&context, throwInt);
    processUntil(3);
    QCoreApplication::processEvents();
    EXPECT_EQ(shown, QStringList({"Unknown error.", "no canvas.", "Unknown error."}));
}

// The work runs on a thread of its own while the UI thread serves its
// timers: here the work cannot end before a timer has fired on the UI
// thread. Its failure reaches the caller; off the UI thread it simply runs.
TEST(Application, WorkServingEventsLetsTimersFireAndPassesItsFailureOn)
{
    std::atomic<bool> fired{false};
    bool servingInTimer = false;
    QTimer timer;
    timer.setInterval(0);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        servingInTimer = ServingEventsForWork();
        fired = true;
    });
    timer.start();
    std::thread::id workThread;
    bool sawTimer = false;
    RunServingEvents([&] {
        workThread = std::this_thread::get_id();
        const QDeadlineTimer limit(60000);
        while (!fired && !limit.hasExpired())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        sawTimer = fired;
    });
    timer.stop();
    EXPECT_TRUE(sawTimer);
    EXPECT_TRUE(servingInTimer);
    EXPECT_NE(workThread, std::this_thread::get_id());
    EXPECT_FALSE(ServingEventsForWork());

    EXPECT_THROW(RunServingEvents([] { throw EConvertError("kaputt"); }), EConvertError);
    EXPECT_FALSE(ServingEventsForWork());

    std::thread::id caller, inner;
    std::thread([&] {
        caller = std::this_thread::get_id();
        RunServingEvents([&] { inner = std::this_thread::get_id(); });
    }).join();
    EXPECT_EQ(inner, caller);
}

namespace {

// A widget that takes every drag and drop and records what reaches it.
class TDropRecorder : public QWidget {
public:
    TDropRecorder() { setAcceptDrops(true); }
    QStringList Seen;

protected:
    void dragEnterEvent(QDragEnterEvent* e) override { Take("enter", e); }
    void dragMoveEvent(QDragMoveEvent* e) override { Take("move", e); }
    void dragLeaveEvent(QDragLeaveEvent*) override { Seen << "leave"; }
    void dropEvent(QDropEvent* e) override { Take("drop", e); }

private:
    void Take(const char* What, QDropEvent* e)
    {
        Seen << What;
        e->acceptProposedAction();
    }
};

// Sends a drag event of Type at the widget's origin; the action it was answered with.
Qt::DropAction Send(QWidget& W, QEvent::Type Type, const QMimeData& Mime)
{
    const Qt::DropActions actions = Qt::CopyAction;
    std::unique_ptr<QDropEvent> e;
    if (Type == QEvent::DragEnter)
        e = std::make_unique<QDragEnterEvent>(QPoint(), actions, &Mime, Qt::NoButton, Qt::NoModifier);
    else if (Type == QEvent::DragMove)
        e = std::make_unique<QDragMoveEvent>(QPoint(), actions, &Mime, Qt::NoButton, Qt::NoModifier);
    else
        e = std::make_unique<QDropEvent>(QPointF(), actions, &Mime, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&W, e.get());
    return e->isAccepted() ? e->dropAction() : Qt::IgnoreAction;
}

}  // namespace

// While work is served, every drag event to a widget is refused; a drag that
// entered before and is dropped meanwhile learns that it left. Afterwards
// drops are taken again.
TEST(Application, WorkServingEventsRefusesDrops)
{
    TDropRecorder widget;
    QMimeData mime;
    mime.setText("Fremd");
    ASSERT_EQ(Send(widget, QEvent::DragEnter, mime), Qt::CopyAction);
    std::atomic<bool> done{false};
    Qt::DropAction move = Qt::CopyAction, drop = Qt::CopyAction;
    QTimer::singleShot(0, [&] {
        move = Send(widget, QEvent::DragMove, mime);
        drop = Send(widget, QEvent::Drop, mime);
        done = true;
    });
    RunServingEvents([&] {
        const QDeadlineTimer limit(60000);
        while (!done && !limit.hasExpired())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    ASSERT_TRUE(done);
    EXPECT_EQ(move, Qt::IgnoreAction);
    EXPECT_EQ(drop, Qt::IgnoreAction);
    EXPECT_EQ(widget.Seen.join(' '), "enter leave");

    widget.Seen.clear();
    EXPECT_EQ(Send(widget, QEvent::DragEnter, mime), Qt::CopyAction);
    EXPECT_EQ(Send(widget, QEvent::DragMove, mime), Qt::CopyAction);
    EXPECT_EQ(Send(widget, QEvent::Drop, mime), Qt::CopyAction);
    EXPECT_EQ(widget.Seen.join(' '), "enter move drop");
}
