#pragma once
// The shell's context menu of items of one folder: the file manager's usual
// verbs (open, cut, copy, paste, new folder, delete, rename, properties),
// put into a popup menu and carried out on the items' files.
#include "Ole.h"
#include "SsBase.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <vector>

class QMenu;
class QMessageBox;
struct TSsOperationReport;
class QWidget;

// Flags of TSsContextMenu::QueryContextMenu.
constexpr uint32_t CMF_NORMAL = 0;
constexpr uint32_t CMF_EXPLORE = 4;
constexpr uint32_t CMF_CANRENAME = 16;
constexpr uint32_t CMF_EXTENDEDVERBS = 128;

// The verbs, as offsets from the first command id of the menu.
enum TSsContextVerb : int32_t {
    cvOpen = 0,
    cvDelete = 17,
    cvRename = 18,
    cvProperties = 19,
    cvCut = 24,
    cvCopy = 25,
    cvPaste = 26,
    cvNewFolder = 27,
    cvCopyAsPath = 28,  // extended verb
};

// Show states of the invoked command's window.
constexpr int32_t SW_SHOWNORMAL = 1;

struct TSsCMInvokeCommandInfo {
    QWidget* Window = nullptr;  // owner of whatever the command shows
    int32_t Verb = -1;          // a verb offset (TSsContextVerb)
    QString Parameters;
    QString Directory;
    int32_t Show = SW_SHOWNORMAL;
};

// The name the new-folder verb gives, before a free one is sought.
extern const char* const SsNewFolderName;

// Tells the user in a box on window that what failed, naming the entries.
void SsShowError(QWidget* window, const QString& what, const QStringList& names);
// What a paste or drop did not do in full, and why, in the user's language;
// SsShowReport tells it in a box on window.
QString SsReportText(const TSsOperationReport& report);
void SsShowReport(QWidget* window, const TSsOperationReport& report);
// Puts the files (the system's bytes of their paths) on the clipboard, cut or
// copied, as file managers and the paste of this library take them.
void SsPutFilesOnClipboard(const QList<QByteArray>& paths, bool cut);
// Tells the user why a new name was not given (error as SetNameOf answers it).
void SsShowRenameError(QWidget* window, int error, const QString& newName);
// When set, stands in for the user at the questions the verbs ask: answers
// the box as its exec would (QMessageBox::Yes, ...).
extern std::function<int(QMessageBox& Box)> SsQuestionHook;

class TSsContextMenu {
public:
    // Paths are the items' file-system paths as the system's bytes;
    // attributes their SFGAO bits.
    TSsContextMenu(QList<QByteArray> paths, std::vector<uint32_t> attributes);

    // Appends the verbs that hold for the items to Menu; each action's data
    // is its command id, First + verb. Answers the number of ids used past
    // First (0 when nothing was offered).
    HRESULT QueryContextMenu(QMenu& menu, uint32_t idCmdFirst, uint32_t idCmdLast, uint32_t flags);
    // Carries out a verb offered by the last QueryContextMenu. S_OK when it
    // was done; E_FAIL for a verb not offered, or when a file could not be
    // handled (the user is told which); E_ABORT when the user declined. Delete
    // asks first, naming the entries and how many files go with them.
    HRESULT InvokeCommand(const TSsCMInvokeCommandInfo& info);

    const QList<QByteArray>& Paths() const { return paths_; }
    // The folder the last New Folder made (empty when none).
    const QByteArray& CreatedFolder() const { return created_; }

private:
    bool Offers(int32_t verb) const;
    bool Enabled(int32_t verb) const;
    bool AllHave(uint32_t attribute) const;
    bool SingleFolder() const;
    bool Open();
    bool ConfirmDelete(QWidget* window) const;
    bool Delete(QStringList& failed);
    void PutOnClipboard(bool cut);
    bool Paste(QWidget* window);
    bool NewFolder(QStringList& failed);
    void ShowProperties(QWidget* window);
    QStringList Names() const;
    QList<QByteArray> paths_;
    std::vector<uint32_t> attributes_;
    uint32_t flags_ = 0;
    bool queried_ = false;
    QByteArray created_;
};
