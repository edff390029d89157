#include "SsFileDialog.h"

#include "Application.h"
#include "SsShellListView.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>

#include <cerrno>

namespace {

// The patterns of a name filter "Text files (*.txt *.text)" as file masks
// "*.txt;*.text"; a filter without parentheses is its own pattern list.
QString MasksOf(const QString& Filter)
{
    static const QRegularExpression inParentheses(QStringLiteral("\\(([^()]*)\\)\\s*$"));
    const QRegularExpressionMatch m = inParentheses.match(Filter);
    const QString patterns = m.hasMatch() ? m.captured(1) : Filter;
    return patterns.split(QRegularExpression(QStringLiteral("[\\s;]+")), Qt::SkipEmptyParts).join(QLatin1Char(';'));
}

}  // namespace

TSsFileDialog::TSsFileDialog(QWidget* Parent, TFileDialogRequest& Request) : QDialog(Parent), request_(Request)
{
    const bool save = Request.Save;
    setWindowTitle(SsMenuText(save ? "Save As" : "Open"));
    setSizeGripEnabled(true);

    foldersLabel_ = new QLabel(SsMenuText(save ? "Save in:" : "Look in:"), this);
    folders_ = new TSsShellFolderComboBox(this);
    folders_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    foldersLabel_->setBuddy(folders_);
    up_ = new QToolButton(this);
    up_->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
    up_->setToolTip(SsMenuText("Up One Level"));
    list_ = new TSsShellListView(this);
    list_->Options = 0;
    list_->SetViewStyle(vsReport);
    list_->SetComboBox(folders_);
    auto* nameLabel = new QLabel(SsMenuText("File name:"), this);
    name_ = new QLineEdit(this);
    nameLabel->setBuddy(name_);
    auto* typeLabel = new QLabel(SsMenuText("Files of type:"), this);
    types_ = new QComboBox(this);
    typeLabel->setBuddy(types_);
    accept_ = new QPushButton(SsMenuText(save ? "&Save" : "&Open"), this);
    accept_->setDefault(true);
    auto* cancel = new QPushButton(QCoreApplication::translate("QPlatformTheme", "Cancel"), this);

    auto* grid = new QGridLayout(this);
    grid->addWidget(foldersLabel_, 0, 0);
    grid->addWidget(folders_, 0, 1);
    grid->addWidget(up_, 0, 2, Qt::AlignLeft);
    grid->addWidget(list_, 1, 0, 1, 3);
    grid->addWidget(nameLabel, 2, 0);
    grid->addWidget(name_, 2, 1);
    grid->addWidget(accept_, 2, 2);
    grid->addWidget(typeLabel, 3, 0);
    grid->addWidget(types_, 3, 1);
    grid->addWidget(cancel, 3, 2);
    grid->setRowStretch(1, 1);
    grid->setColumnStretch(1, 1);

    for (const QString& filter : Request.Filter.split(QStringLiteral(";;"), Qt::SkipEmptyParts)) {
        types_->addItem(filter);
        masks_ << MasksOf(filter);
    }

    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(accept_, &QPushButton::clicked, this, Guarded([this] { accept(); }));
    connect(up_, &QToolButton::clicked, this, Guarded([this] { UpOneLevel(); }));
    connect(folders_, &QComboBox::activated, this, Guarded([this](int Index) {
        if (const TSsShellFolder* f = folders_->FolderList().GetItem(Index))
            Navigate(PSsIdList(SsILClone(f->AbsoluteList.get())).get());
    }));
    connect(types_, &QComboBox::currentIndexChanged, this, Guarded([this](int Index) { TypeChosen(Index); }));
    list_->OnItemSelected = [this](TObject*, TSsShellItem* Item) { ItemSelected(Item); };
    list_->OnItemDblClick = [this](TObject*, TSsShellItem* Item, bool& UseDefault) {
        // A folder opens in the list; a file is chosen.
        if (Item->IsFolder())
            return;
        UseDefault = false;
        ItemSelected(Item);
        accept();
    };
    list_->OnFolderLoaded = [this](TObject*) {
        up_->setEnabled(list_->CurrentFolder() && !list_->CurrentFolder()->IsDesktop);
        // The columns after the names widen to show their texts whole.
        if (auto* view = list_->findChild<QTreeView*>())
            for (int c = 1; c < view->header()->count(); ++c)
                view->header()->resizeSection(
                    c, std::max(view->header()->sectionSize(c), static_cast<QAbstractItemView*>(view)->sizeHintForColumn(c)));
        // The name of an entry of the folder left goes with it; a name typed stays.
        if (!entryPath_.isEmpty() && name_->text() == entryName_)
            name_->clear();
        entryName_.clear();
        entryPath_.clear();
    };
    list_->HandleNeeded();

    // The name offered may carry the folder to start in.
    QString folder = Request.Folder;
    QString offered = Request.FileName;
    if (offered.contains(QLatin1Char('/'))) {
        const qsizetype slash = offered.lastIndexOf(QLatin1Char('/'));
        folder = slash == 0 ? QStringLiteral("/") : offered.left(slash);
        offered = offered.mid(slash + 1);
    }
    if (folder.isEmpty() || !SsIsFolderPath(EncodeFileName(folder)))
        folder = UserDocumentsFolder();
    types_->setCurrentIndex(std::clamp(Request.FilterIndex, 1, std::max<int>(1, types_->count())) - 1);
    TypeChosen(types_->currentIndex());
    ShowFolder(folder);
    if (!offered.isEmpty()) {
        entryName_ = DisplayFileName(offered);
        entryPath_ = Folder() + QLatin1Char('/') + offered;
        name_->setText(entryName_);
    }
    name_->setFocus();
    FitToColumns();
}

TSsFileDialog::~TSsFileDialog() = default;

bool TSsFileDialog::Execute(QWidget* Parent, TFileDialogRequest& Request, const std::function<int(QDialog&)>& Show)
{
    TSsFileDialog dialog(Parent, Request);
    return (Show ? Show(dialog) : dialog.exec()) == QDialog::Accepted;
}

QString TSsFileDialog::Folder() const
{
    const TSsShellFolder* f = list_->CurrentFolder();
    return f ? f->Path : QString();
}

void TSsFileDialog::ShowFolder(const QString& Path)
{
    const PSsIdList list = SsPathToIdList(Path);
    if (list)
        Navigate(list.get());
}

void TSsFileDialog::Navigate(const TSsIdList* List)
{
    // The combo box's own entry may go as it shows the new chain.
    TSsShellFolder folder(List, list_->Controller());
    folders_->ShowFolder(&folder);
    list_->SetFolder(&folder);
}

void TSsFileDialog::UpOneLevel()
{
    const TSsShellFolder* f = list_->CurrentFolder();
    if (!f || f->IsDesktop)
        return;
    const PSsIdList parent = SsILClone(f->AbsoluteList.get());
    SsILRemoveLastID(parent.get());
    Navigate(parent.get());
}

void TSsFileDialog::TypeChosen(int Index)
{
    const bool filtered = Index >= 0 && Index < masks_.size();
    list_->SetFilterText(filtered ? toAnsi(masks_[Index]) : AnsiString());
    list_->SetFiltered(filtered);
}

void TSsFileDialog::ItemSelected(TSsShellItem* Item)
{
    if (!Item || Item->IsFolder())
        return;
    entryName_ = Item->DisplayName;
    entryPath_ = Item->Path;
    name_->setText(entryName_);
}

QString TSsFileDialog::NamedPath() const
{
    const QString typed = name_->text().trimmed();
    if (!entryPath_.isEmpty() && name_->text() == entryName_)
        return entryPath_;
    if (typed.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(typed);
    return QDir::cleanPath(Folder() + QLatin1Char('/') + typed);
}

void TSsFileDialog::accept()
{
    if (name_->text().trimmed().isEmpty()) {
        // Without a name, the folder of the focused row opens.
        TSsShellItem* focused = list_->RowItem(list_->FocusedRow());
        if (focused && focused->IsFolder())
            Navigate(PSsIdList(SsILClone(focused->AbsoluteList.get())).get());
        return;
    }
    QString path = NamedPath();
    if (SsIsFolderPath(EncodeFileName(path))) {
        name_->clear();
        ShowFolder(path);
        return;
    }
    // The default extension goes to a name typed without one (when opening,
    // unless the name is there without it).
    const bool typed = entryPath_.isEmpty() || name_->text() != entryName_;
    if (typed && !request_.DefaultExt.isEmpty() && QFileInfo(path).suffix().isEmpty()
        && (request_.Save || !SsEntryExists(EncodeFileName(path))))
        path += QLatin1Char('.') + request_.DefaultExt;
    if (!MayTake(path))
        return;
    request_.FileName = path;
    request_.FilterIndex = types_->currentIndex() + 1;
    QDialog::accept();
}

bool TSsFileDialog::MayTake(const QString& Path)
{
    const QByteArray native = EncodeFileName(Path);
    const QString shown = DisplayFileName(Path);
    const QByteArray folder = native.left(std::max<qsizetype>(1, native.lastIndexOf('/')));
    if (!SsEntryExists(native) && (!request_.Save || !SsIsFolderPath(folder))) {
        QMessageBox::warning(this, windowTitle(), shown + QLatin1Char('\n') + SysErrorMessage(ENOENT));
        return false;
    }
    if (request_.Save && SsEntryExists(native))
        return QMessageBox::question(this, windowTitle(),
                                     shown + QLatin1Char('\n') + SsMenuText("This file already exists. Do you want to replace it?"),
                                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
               == QMessageBox::Yes;
    return true;
}

void TSsFileDialog::FitToColumns()
{
    // Wide enough for every column of the list and every label, so that none is cut.
    auto* view = list_->findChild<QTreeView*>();
    int columns = 0;
    if (view)
        for (int c = 0; c < view->header()->count(); ++c)
            columns += view->header()->sectionSize(c);
    const int frame = 2 * (view ? view->frameWidth() : 0) + style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const QMargins margins = layout()->contentsMargins();
    const QSize hint = sizeHint();
    resize(std::max(hint.width(), columns + frame + margins.left() + margins.right()), std::max(hint.height(), 420));
}
