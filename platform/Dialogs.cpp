#include "Dialogs.h"

#include "Application.h"
#include "SysUtils.h"

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

std::function<bool(QWidget* Parent, TFileDialogRequest& Request)> FileDialogHandler;

bool ExecuteFileDialog(QWidget* Parent, TFileDialogRequest& Request)
{
    if (!FileDialogHandler)
        throw EInvalidOperation("No file dialog is installed");
    return FileDialogHandler(Parent, Request);
}
