#pragma once
// The progress window: a small always-on-top window "Fortschritt" with one
// centred text, shown over its owner while the owner is disabled.
#include "ulocalize.h"

#include <QString>

class QLabel;
class QWidget;

class TProgressDlg : public TLocalizerForm {
public:
    LUMI_CLASSNAME(TProgressDlg)
    TProgressDlg(TCreateKey Key, QWidget* Owner);

    // Sets the text and repaints it at once.
    void SetText(const QString& Text);
    QString Text() const;

private:
    QLabel* lText;
};

// ShowProgressDlg with the application's main form as owner.
void ShowProgress(const QString& Text);
// Shows Text in the progress window. The first call creates the window over
// Owner, shows it and disables Owner; later calls only change the text.
// Pending events are processed once so that the text appears at once.
void ShowProgressDlg(QWidget* Owner, const QString& Text);
// Enables the owner again and closes the window; nothing when none is shown.
void HideProgress();
void HideProgressDlg();
// The window while it is shown, else nullptr.
TProgressDlg* ProgressDlg();
