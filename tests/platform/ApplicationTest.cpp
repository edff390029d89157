#include "Application.h"
#include "SysUtils.h"
#include "../common/ShownMessages.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
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
