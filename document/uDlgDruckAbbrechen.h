#pragma once
// The progress window of a print job: the page being printed and a cancel
// button. One window exists while a job runs.
#include "ulocalize.h"

#include <QString>
#include <functional>

class QLabel;
class QPushButton;

class TDlgDruckAbbrechen : public TLocalizerForm {
public:
    LUMI_CLASSNAME(TDlgDruckAbbrechen)
    TDlgDruckAbbrechen(TCreateKey Key, QWidget* Owner);

    void FormCreate();
    void cmdAbbrechenClick();

    QLabel* lText;
    QPushButton* cmdAbbrechen;
    bool Cancelled = false;
};

// Called with every progress text after it is shown (tests, logging).
extern std::function<void(const QString& Text)> PrintProgressHook;

// Shows Text in the progress window, creating it over the main form (which is
// disabled) on first use; pending events are processed.
void ShowPrintProgress(const QString& Text);
// False without a window; otherwise processes pending events and tells
// whether the user cancelled.
bool IsPrintCancelled();
// Enables the main form again and frees the window.
void ClosePrintProgress();
// The window while a job runs, else nullptr.
TDlgDruckAbbrechen* PrintProgressWindow();
