#pragma once
// The file dialog of the folder browsing library: the chain of folders above
// the one shown, its entries in details, a name and the file types. It lists
// every entry whatever bytes its name holds, shows names as the folder tree
// does and hands back the entry's own bytes (the path as DecodeFileName
// gives it).
#include "Dialogs.h"

#include <QDialog>
#include <QStringList>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class TSsIdList;
class TSsShellFolderComboBox;
class TSsShellItem;
class TSsShellListView;

class TSsFileDialog : public QDialog {
    Q_OBJECT
public:
    // Request is read now and, when a file is chosen, answered.
    TSsFileDialog(QWidget* Parent, TFileDialogRequest& Request);
    ~TSsFileDialog() override;

    TSsShellFolderComboBox* FolderBox() const { return folders_; }
    TSsShellListView* FileList() const { return list_; }
    QLineEdit* NameEdit() const { return name_; }
    QComboBox* TypeBox() const { return types_; }
    QPushButton* AcceptButton() const { return accept_; }
    QToolButton* UpButton() const { return up_; }
    // The folder shown, as DecodeFileName gives its path (empty for the desktop).
    QString Folder() const;
    // Shows the folder of Path's entries.
    void ShowFolder(const QString& Path);
    // Opens the folder the name or the focused row names, or chooses the
    // file: one to open must exist, one to save is replaced only when the
    // user says so.
    void accept() override;

    // Runs the dialog for ExecuteFileDialog: modally, through Show when given.
    static bool Execute(QWidget* Parent, TFileDialogRequest& Request,
                        const std::function<int(QDialog&)>& Show = nullptr);

private:
    void Navigate(const TSsIdList* List);
    void UpOneLevel();
    void TypeChosen(int Index);
    void ItemSelected(TSsShellItem* Item);
    // The path the name means: the selected entry's own when it shows that
    // entry, else the name typed, in the folder shown unless it is absolute.
    QString NamedPath() const;
    // False with the reason shown when the file cannot be taken.
    bool MayTake(const QString& Path);
    void FitToColumns();

    TFileDialogRequest& request_;
    QStringList masks_;     // of each file type, ";" between patterns
    QString entryName_;     // the name the edit shows for the selected entry
    QString entryPath_;     // and that entry's path
    QLabel* foldersLabel_ = nullptr;
    TSsShellFolderComboBox* folders_ = nullptr;
    QToolButton* up_ = nullptr;
    TSsShellListView* list_ = nullptr;
    QLineEdit* name_ = nullptr;
    QComboBox* types_ = nullptr;
    QPushButton* accept_ = nullptr;
};
