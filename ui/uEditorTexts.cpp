#include "uEditorTexts.h"

#include "RtDefs.h"
#include "ulocalize.h"

namespace {

const QString Section = QStringLiteral("RichText");

}  // namespace

void InstallEditorTexts()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    RtWriteTextCallback = [](const AnsiString& Key, const AnsiString& Text) {
        Localizer().RegisterDefault(Section, fromAnsi(Key), fromAnsi(Text));
    };
    // Every key has its built-in text as default, so a language that lacks
    // one gives the editor's own text, never the previous language's.
    RtReadTextCallback = [](const AnsiString& Key, AnsiString& Text) {
        const QString text = Localizer().GetString(Section, fromAnsi(Key), QString());
        if (text.isNull())
            return false;
        Text = toAnsi(text);
        return true;
    };
    if (RtSaveTexts)
        RtSaveTexts();
}

void LoadEditorTexts()
{
    if (RtLoadTexts)
        RtLoadTexts();
    if (RtLanguageChanged)
        RtLanguageChanged();
}
