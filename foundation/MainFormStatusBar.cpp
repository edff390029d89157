#include "MainFormStatusBar.h"

namespace {
TMainFormStatusBar* MainForm = nullptr;
}

void RegisterMainForm(TMainFormStatusBar* Form)
{
    MainForm = Form;
}

void UnregisterMainForm(TMainFormStatusBar* Form)
{
    if (MainForm == Form)
        MainForm = nullptr;
}

TMainFormStatusBar* ApplicationMainForm()
{
    return MainForm;
}

QWidget* ApplicationMainWidget()
{
    TMainFormStatusBar* form = ApplicationMainForm();
    return form ? form->MainFormWidget() : nullptr;
}
