#pragma once
// Status output: a text in the main form's status bar and, while a text is
// shown, the progress window over the main form.
#include "AnsiString.h"
#include "Object.h"
#include "SysUtils.h"

#include <QString>
#include <initializer_list>

class TInfoAusgabe : public TObject {
public:
    LUMI_CLASSNAME(TInfoAusgabe)
    // Only when the application has a main form: sets its status bar text; a
    // non-empty text shows the progress window with it, an empty one hides it.
    void ShowInfo(const QString& Text);
    void ShowInfoFmt(const AnsiString& Fmt, std::initializer_list<TVarRec> Args);
    // Only the status bar text, no progress window.
    void SetStatusText(const QString& Text);
};

// The global status output, created on first use.
TInfoAusgabe& InfoAusgabe();
