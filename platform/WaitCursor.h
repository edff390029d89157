#pragma once
// Shows the hourglass cursor while an object of this class lives (when a GUI runs).
#include <QCursor>
#include <QGuiApplication>

class TWaitCursor {
public:
    TWaitCursor()
        : active_(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr)
    {
        if (active_)
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~TWaitCursor()
    {
        if (active_)
            QGuiApplication::restoreOverrideCursor();
    }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;

private:
    bool active_;
};
