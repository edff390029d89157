#pragma once
// Opening a document or an address with the desktop's default program.
#include <QString>

// fileOrUrl is a local file name or an address with a scheme ("https://...",
// "mailto:..."). True when the desktop started a program for it.
bool ShellOpen(const QString& fileOrUrl);
