#pragma once
// The application's main form as the foundation sees it: a form whose status
// bar shows one simple text across the whole bar. The main window implements
// this and registers itself while it exists.
#include <QString>

class QWidget;

class TMainFormStatusBar {
public:
    virtual ~TMainFormStatusBar() = default;
    // The main form itself (the owner of the progress window).
    virtual QWidget* MainFormWidget() = 0;
    // Sets the simple text of the status bar.
    virtual void SetStatusBarText(const QString& Text) = 0;
};

// Makes Form the application's main form.
void RegisterMainForm(TMainFormStatusBar* Form);
// Clears the registration when Form is the registered main form.
void UnregisterMainForm(TMainFormStatusBar* Form);
// The registered main form, or nullptr.
TMainFormStatusBar* ApplicationMainForm();
// The registered main form's widget (the owner of dialogs), or nullptr.
QWidget* ApplicationMainWidget();
