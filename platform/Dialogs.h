#pragma once
// The class library's ShowMessage: a modal message box with the program's title.
#include <QString>
#include <functional>

void ShowMessage(const QString& Text);
// When set, receives the text in place of the message box (tests, batch runs).
extern std::function<void(const QString&)> ShowMessageHandler;
