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

class QWidget;

// A file to open or to save, as the program's file dialog asks for it. Paths
// are as DecodeFileName gives them, so that names that are no UTF-8 keep their
// bytes.
struct TFileDialogRequest {
    bool Save = false;      // save: a new name may be given, a file there is replaced only when the user says so
    QString Filter;         // name filters, ";;" between them: "PDF (*.pdf);;Text (*.txt *.text)"
    int FilterIndex = 1;    // the filter shown (1-based); the one chosen on return
    QString Folder;         // where the dialog starts
    QString FileName;       // the name offered, alone or with its path; the path chosen on return
    QString DefaultExt;     // given (without dot) to a name typed without an extension
};
// Runs the file dialog over Parent; true when a file was chosen, which
// Request then names.
bool ExecuteFileDialog(QWidget* Parent, TFileDialogRequest& Request);
// The dialog ExecuteFileDialog runs. The program installs its own, built on
// its folder browsing library above this layer; tests put in another.
extern std::function<bool(QWidget* Parent, TFileDialogRequest& Request)> FileDialogHandler;
