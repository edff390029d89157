#pragma once
// The application object: it keeps exceptions from crossing the event loop
// and shows their message as the class library's handler did.
#include <QApplication>
#include <functional>

class Exception;

class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the message of an exception in a message box (EAbort is silent).
    void ShowException(const std::exception& e);
    // Replaces the message box, e.g. in tests; receives the message text.
    std::function<void(const QString&)> OnShowException;

    // The application's title, used as the caption of its message boxes.
    QString Title;
};

// The application's title (the caption of its message boxes): TApplication's
// Title when set, else the display name.
QString ApplicationTitle();

// Runs f and shows any exception it throws; for code paths outside notify().
void HandleExceptions(const std::function<void()>& f);
