#include "RtDialogTexts.h"

#include "RichText.h"
#include "RtFindDialog.h"

#include <array>

namespace {

struct TDialogTextDef {
    const char* Name;
    const char* Text;
};

constexpr TDialogTextDef DialogTextDefs[RtDialogTextCount] = {
    {"dtFind", "Find"}, {"dtReplace", "Replace"}, {"dtFindWhat", "Find what:"},
    {"dtReplaceWith", "Replace with:"}, {"dtWholeWord", "Match whole word only"}, {"dtMatchCase", "Match case"},
    {"dtDirection", "Direction"}, {"dtUp", "Up"}, {"dtDown", "Down"}, {"dtFindNext", "Find Next"},
    {"dtReplaceOne", "Replace"}, {"dtReplaceAll", "Replace All"}, {"dtCancel", "Cancel"},
    {"dtHyperlink", "Hyperlink"}, {"dtURL", "URL"}, {"dtPrint", "Print"}, {"dtPrinter", "Printer:"},
    {"dtAllPages", "All pages"}, {"dtPagesFrom", "Pages from:"}, {"dtPagesTo", "to:"}, {"dtCopies", "Copies:"},
};

std::array<AnsiString, RtDialogTextCount>& Texts()
{
    static std::array<AnsiString, RtDialogTextCount> texts = [] {
        std::array<AnsiString, RtDialogTextCount> t;
        for (int i = 0; i < RtDialogTextCount; ++i)
            t[size_t(i)] = DialogTextDefs[i].Text;
        return t;
    }();
    return texts;
}

AnsiString Key(int I) { return AnsiString("RtDialog/") + DialogTextDefs[I].Name; }

void SaveDialogTexts()
{
    if (RtWriteTextCallback)
        for (int i = 0; i < RtDialogTextCount; ++i)
            RtWriteTextCallback(Key(i), Texts()[size_t(i)]);
}

void LoadDialogTexts()
{
    if (RtReadTextCallback)
        for (int i = 0; i < RtDialogTextCount; ++i) {
            AnsiString text;
            if (RtReadTextCallback(Key(i), text))
                Texts()[size_t(i)] = text;
        }
}

void DialogLanguageChanged() { TRtFindDialog::RefreshSharedTexts(); }

TRtLocalizeLink<SaveDialogTexts, LoadDialogTexts, DialogLanguageChanged>::TUnit DialogTextsUnit;

}  // namespace

QString RtDialogString(TRtDialogText Id) { return fromAnsi(Texts()[size_t(Id)]); }

const char* RtDialogTextName(TRtDialogText Id) { return DialogTextDefs[Id].Name; }
