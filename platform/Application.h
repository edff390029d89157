#pragma once
// The application object: it keeps exceptions from crossing the event loop
// and shows their message as the class library's handler did.
#include <QApplication>
#include <concepts>
#include <functional>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

class Exception;

class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    // Runs the static cleanups while Qt still lives.
    ~TApplication() override;
    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the message of an exception in a message box (EAbort is silent).
    void ShowException(const std::exception& e);
    // Replaces the message box, e.g. in tests; receives the message text.
    std::function<void(const QString&)> OnShowException;

    // The application's title, used as the caption of its message boxes.
    QString Title;
};

// Static objects that hold Qt resources (fonts, cursors, icons, pictures, the
// printer device) would be destroyed after the application object, when Qt can
// no longer free them. Each registers a function that empties it; the
// application object runs them, newest first, as it is destroyed. An object
// used again afterwards simply fills up anew.
void AddStaticCleanup(std::function<void()> Cleanup);
void RunStaticCleanups();

// Registers a cleanup where the static object is made:
//   static TFoo foo; static const TStaticCleanup cleanup([] { foo.Clear(); });
class TStaticCleanup {
public:
    explicit TStaticCleanup(std::function<void()> Cleanup) { AddStaticCleanup(std::move(Cleanup)); }
};

// The application's title (the caption of its message boxes): TApplication's
// Title when set, else the display name.
QString ApplicationTitle();

// Runs f and shows any exception it throws; for code paths outside notify().
void HandleExceptions(const std::function<void()>& f);

// Runs Work on a thread of its own while the calling UI thread goes on serving
// its events (painting, timers, posted messages; no user input), so that a
// long job keeps the windows drawn and the busy cursor shown; returns when Work
// has ended and throws what it threw. Every drop into a widget is refused
// meanwhile. Off the UI thread, or without a thread to be had, Work simply
// runs. Work must not touch what the events may use.
void RunServingEvents(const std::function<void()>& Work);
// True while RunServingEvents waits: handlers that would change what the job
// works on (closing the window) refuse meanwhile.
bool ServingEventsForWork();

// A slot for QObject::connect that runs its function through HandleExceptions:
// Qt's signal machinery must never see an exception. It takes the leading
// signal arguments the function accepts, as a plain lambda slot would.
template <class F>
class TGuardedSlot {
public:
    explicit TGuardedSlot(F Function) : FFunction(std::move(Function)) {}
    template <class... Args>
        requires std::invocable<F&, Args...>
    void operator()(Args&&... A)
    {
        HandleExceptions([&] { std::invoke(FFunction, std::forward<Args>(A)...); });
    }

private:
    F FFunction;
};

template <class F>
TGuardedSlot<std::decay_t<F>> Guarded(F&& Function)
{
    return TGuardedSlot<std::decay_t<F>>(std::forward<F>(Function));
}

// Runs the drawing of a paint event, keeping what it throws out of the paint:
// a message box opened there would paint again and fail again. The failure is
// reported after the event through a queued call, and the same failure is not
// reported again until a paint succeeds. One guard per painting widget.
class TPaintGuard {
public:
    void Run(QObject* Context, const std::function<void()>& Paint);

private:
    std::optional<std::string> FReported;  // what failed since the last good paint
};
