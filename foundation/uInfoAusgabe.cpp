#include "uInfoAusgabe.h"

#include "FProgressDlg.h"
#include "MainFormStatusBar.h"

void TInfoAusgabe::ShowInfo(const QString& Text)
{
    TMainFormStatusBar* form = ApplicationMainForm();
    if (!form)
        return;
    form->SetStatusBarText(Text);
    if (!Text.isEmpty())
        ShowProgress(Text);
    else
        HideProgress();
}

void TInfoAusgabe::ShowInfoFmt(const AnsiString& Fmt, std::initializer_list<TVarRec> Args)
{
    ShowInfo(fromAnsi(Format(Fmt, Args)));
}

void TInfoAusgabe::SetStatusText(const QString& Text)
{
    if (TMainFormStatusBar* form = ApplicationMainForm())
        form->SetStatusBarText(Text);
}

TInfoAusgabe& InfoAusgabe()
{
    static TInfoAusgabe instance;
    return instance;
}
