#include "Application.h"
#include "Dialogs.h"
#include "ParamStr.h"
#include "SysUtils.h"
#include "SystemMemory.h"

#include <QDropEvent>
#include <QEventLoop>
#include <QThread>
#include <QWidget>

#include <atomic>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

struct TStaticCleanups {
    std::mutex Lock;
    std::vector<std::function<void()>> List;
};

TStaticCleanups& StaticCleanups()
{
    static TStaticCleanups cleanups;
    return cleanups;
}

// What is reported for a failure that is no std::exception.
Exception UnknownError() { return Exception("Unknown error"); }

std::atomic<int> servingEvents{0};

// Refuses every drop into a widget while RunServingEvents waits. Another
// program's drag and drop is no user input to the window system plug-in, so
// its messages still come in. A refused drop is a drag that left the widget.
class TDropRefusal : public QObject {
protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        const QEvent::Type type = Event->type();
        if (!Watched->isWidgetType() || (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop))
            return false;
        auto* drop = static_cast<QDropEvent*>(Event);
        drop->setDropAction(Qt::IgnoreAction);
        drop->ignore();
        if (type == QEvent::Drop) {
            QDragLeaveEvent leave;
            QCoreApplication::sendEvent(Watched, &leave);
        }
        return true;
    }
};

}  // namespace

void RunServingEvents(const std::function<void()>& Work)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        Work();
        return;
    }
    QEventLoop loop;
    std::exception_ptr failure;
    std::thread worker;
    try {
        worker = std::thread([&] {
            try {
                Work();
            } catch (...) {
                failure = std::current_exception();
            }
            // Queued, so that it reaches the loop once it runs.
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        Work();
        return;
    }
    TDropRefusal refusal;
    app->installEventFilter(&refusal);
    ++servingEvents;
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    --servingEvents;
    app->removeEventFilter(&refusal);
    if (failure)
        std::rethrow_exception(failure);
}

bool ServingEventsForWork()
{
    return servingEvents.load() > 0;
}

void AddStaticCleanup(std::function<void()> Cleanup)
{
    TStaticCleanups& c = StaticCleanups();
    const std::lock_guard<std::mutex> guard(c.Lock);
    c.List.push_back(std::move(Cleanup));
}

void RunStaticCleanups()
{
    std::vector<std::function<void()>> list;
    {
        TStaticCleanups& c = StaticCleanups();
        const std::lock_guard<std::mutex> guard(c.Lock);
        list = c.List;
    }
    for (auto it = list.rbegin(); it != list.rend(); ++it)
        HandleExceptions(*it);
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    SetProgramArguments(argc, argv);
    KeepLargeBlocksOnOwnPages();
}

TApplication::~TApplication()
{
    RunStaticCleanups();
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const EAbort&) {
    } catch (const std::exception& e) {
        ShowException(e);
    } catch (...) {
        ShowException(UnknownError());
    }
    return false;
}

void TApplication::ShowException(const std::exception& e)
{
    if (dynamic_cast<const EAbort*>(&e))
        return;
    QString msg;
    if (auto* ex = dynamic_cast<const Exception*>(&e))
        msg = ex->text();
    else
        msg = QString::fromLocal8Bit(e.what());
    // Like the class library, a message gets a closing full stop.
    if (!msg.isEmpty() && msg.back() > QLatin1Char('.'))
        msg += QLatin1Char('.');
    ShowErrorMessage(msg);
}

QString ApplicationTitle()
{
    if (auto* app = qobject_cast<TApplication*>(QCoreApplication::instance()); app && !app->Title.isEmpty())
        return app->Title;
    return QGuiApplication::applicationDisplayName();
}

void HandleExceptions(const std::function<void()>& f)
{
    try {
        f();
    } catch (const EAbort&) {
    } catch (const std::exception& e) {
        if (auto* app = qobject_cast<TApplication*>(QCoreApplication::instance()))
            app->ShowException(e);
        else
            qWarning("%s", e.what());
    }
}

void TPaintGuard::Run(QObject* Context, const std::function<void()>& Paint)
{
    std::exception_ptr error;
    std::string what;
    try {
        Paint();
        FReported.reset();
        return;
    } catch (const EAbort&) {
        return;
    } catch (const std::exception& e) {
        what = e.what();
        error = std::current_exception();
    } catch (...) {
        const Exception unknown = UnknownError();
        what = unknown.what();
        error = std::make_exception_ptr(unknown);
    }
    if (FReported == what)
        return;
    FReported = what;
    QMetaObject::invokeMethod(
        Context, [error] { HandleExceptions([&] { std::rethrow_exception(error); }); }, Qt::QueuedConnection);
}
