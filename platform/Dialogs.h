#pragma once
// The class library's ShowMessage: a modal message box with the program's title,
// and its twin for errors.
#include <QString>
#include <functional>

void ShowMessage(const QString& Text);
// When set, receives the text in place of the message box (tests, batch runs).
extern std::function<void(const QString&)> ShowMessageHandler;
// The same with the error icon, as exceptions are shown: the application's
// OnShowException receives the text in place of the box when it is set.
void ShowErrorMessage(const QString& Text);
