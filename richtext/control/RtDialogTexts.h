#pragma once
// The texts of the editor's own dialogs (find, replace, hyperlink, print),
// kept in the language files under "RtDialog/<name>" through the editor's
// localisation chain.
#include <QString>

#include <cstdint>

enum TRtDialogText : uint8_t {
    dtFind, dtReplace, dtFindWhat, dtReplaceWith, dtWholeWord, dtMatchCase, dtDirection, dtUp, dtDown,
    dtFindNext, dtReplaceOne, dtReplaceAll, dtCancel, dtHyperlink, dtURL, dtPrint, dtPrinter, dtAllPages,
    dtPagesFrom, dtPagesTo, dtCopies, dtLastDialogText = dtCopies
};
constexpr int RtDialogTextCount = int(dtLastDialogText) + 1;

QString RtDialogString(TRtDialogText Id);
// The key's name ("dtFind").
const char* RtDialogTextName(TRtDialogText Id);
