#include "Dialogs.h"

#include "Application.h"

#include <QApplication>
#include <QMessageBox>

std::function<void(const QString&)> ShowMessageHandler;

void ShowMessage(const QString& Text)
{
    if (ShowMessageHandler) {
        ShowMessageHandler(Text);
        return;
    }
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        qWarning("%s", qPrintable(Text));
        return;
    }
    QMessageBox::information(QApplication::activeWindow(), ApplicationTitle(), Text);
}

void ShowErrorMessage(const QString& Text)
{
    auto* app = qobject_cast<TApplication*>(QCoreApplication::instance());
    if (app && app->OnShowException) {
        app->OnShowException(Text);
        return;
    }
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        qWarning("%s", qPrintable(Text));
        return;
    }
    QMessageBox::critical(QApplication::activeWindow(), ApplicationTitle(), Text);
}
