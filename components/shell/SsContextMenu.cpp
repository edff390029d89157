#include "SsContextMenu.h"

#include "SsBase.h"
#include "SsNamespace.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMimeDatabase>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Ole;

const char* const SsNewFolderName = "New Folder";
namespace {
struct TVerbEntry {
    int32_t Verb;
    const char* Text;
    bool SeparatorBefore;
};
// The menu's entries in their order.
constexpr TVerbEntry Verbs[] = {
    {cvOpen, "&Open", false},        {cvCut, "Cu&t", true},
    {cvCopy, "&Copy", false},        {cvCopyAsPath, "Copy as &Path", false},
    {cvPaste, "&Paste", false},      {cvNewFolder, "New &Folder", true},
    {cvDelete, "&Delete", true},     {cvRename, "Rena&me", false},
    {cvProperties, "P&roperties", true},
};

// "Preferred DropEffect" tells a paste whether the files were cut or copied;
// file managers of the desktop read the second format.
const char* const PreferredDropEffect = "Preferred DropEffect";
const char* const CopiedFilesMime = "x-special/gnome-copied-files";

// A text of the library's table, in the user's language.
QString Message(int32_t id)
{
    AnsiString text;
    SsMessageText(id, text);
    return SsMenuText(text.c_str());
}

QString PreferredDropEffectMime()
{
    return MimeTypeOfFormat(RegisterClipboardFormatA(PreferredDropEffect));
}

// Whether the clipboard's files were cut.
bool ClipboardCut(const QMimeData& data)
{
    const QByteArray effect = data.data(PreferredDropEffectMime());
    if (effect.size() >= 4)
        return (uint8_t(effect[0]) & DROPEFFECT_MOVE) != 0;
    return data.data(CopiedFilesMime).startsWith("cut\n");
}

// What the user may do with path: read, write, run.
QString PermissionText(const QByteArray& path)
{
    QString s;
    for (const auto& [mode, letter] : {std::pair{R_OK, 'r'}, {W_OK, 'w'}, {X_OK, 'x'}})
        s += ::faccessat(AT_FDCWD, path.constData(), mode, AT_EACCESS) == 0 ? QChar(letter) : QChar('-');
    return s;
}
// The type of the file at path, told by its name and first bytes.
QString FileTypeText(const QByteArray& path, const QString& shownName)
{
    QByteArray head(4096, '\0');
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    const ssize_t n = fd >= 0 ? ::read(fd, head.data(), head.size()) : -1;
    if (fd >= 0)
        ::close(fd);
    head.resize(std::max<ssize_t>(n, 0));
    return QMimeDatabase().mimeTypeForFileNameAndData(shownName, head).comment();
}
QString NameOfPath(const QByteArray& path)
{
    return QDir::toNativeSeparators(DisplayFileName(DecodeFileName(path)));
}
}  // namespace


namespace {
void ShowWarning(QWidget* window, const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::Warning, QCoreApplication::translate("MsgDlg", "Error"), text,
                                QMessageBox::Ok, window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

// A heading and one line for each entry, at most a screenful.
template <class T, class F>
QString Section(const char* heading, const QList<T>& entries, F line)
{
    constexpr int MaxLines = 20;
    QStringList lines(SsMenuText(heading));
    for (const T& e : entries) {
        if (lines.size() > MaxLines) {
            lines << QStringLiteral("...");
            break;
        }
        lines << line(e);
    }
    return lines.join('\n');
}

// Why a move left an entry at its old place.
QString LeftCause(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS: return SsMenuText("the folder is write-protected");
    case ENOTEMPTY:
    case EEXIST: return SsMenuText("entries were added to it during the move");
    case ESTALE: return SsMenuText("it changed during the move");
    default: return SysErrorMessage(error);
    }
}

// Why Path did not go to the trash: a folder is moved only where it may be
// written, as its link to the folder above changes.
QString TrashCause(const QByteArray& path, int error)
{
    struct stat st;
    if ((error == EACCES || error == EPERM) && ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
        ::faccessat(AT_FDCWD, path.constData(), W_OK, AT_EACCESS) != 0)
        return SsMenuText("the folder is write-protected");
    if (error == SsTrashNotOwn)
        return SsMenuText("the trash of this drive is a link or another user's folder, so it is not used");
    if (error == SsTrashNoUsable)
        return SsMenuText("this drive has no trash that you may use, so it stays where it is");
    return SysErrorMessage(error);
}

// Files (all but folders) at path and below it, on its own file system; links
// are counted, not followed.
qint64 FilesAt(const QByteArray& path)
{
    static thread_local qint64 count;
    count = 0;
    const auto note = [](const char*, const struct stat*, int type, FTW*) {
        if (type != FTW_D && type != FTW_DNR && type != FTW_DP)
            ++count;
        return 0;
    };
    ::nftw(path.constData(), note, 32, FTW_PHYS | FTW_MOUNT);
    return count;
}
}  // namespace

std::function<int(QMessageBox& Box)> SsQuestionHook;

namespace {
int Ask(QMessageBox& box)
{
    return SsQuestionHook ? SsQuestionHook(box) : box.exec();
}
}  // namespace

void SsShowError(QWidget* window, const QString& what, const QStringList& names)
{
    ShowWarning(window, what + '\n' + names.join('\n'));
}

QString SsReportText(const TSsOperationReport& report)
{
    using TEntry = QPair<QByteArray, int>;
    QStringList sections;
    if (!report.Failed.isEmpty())
        sections << Section("Cannot paste:", report.Failed, [](const TEntry& e) {
            return NameOfPath(e.first) + QStringLiteral(": ") + SysErrorMessage(e.second);
        });
    if (!report.Skipped.isEmpty())
        sections << Section("Not copied, as pipes, sockets and devices cannot be copied:", report.Skipped,
                            [](const QByteArray& path) { return NameOfPath(path); });
    if (!report.Repeated.isEmpty())
        sections << Section("Not copied, as each leads back to a folder above it (a loop):", report.Repeated,
                            [](const QByteArray& path) { return NameOfPath(path); });
    if (!report.Mounted.isEmpty())
        sections << Section("Not removed, as another drive is mounted there:", report.Mounted,
                            [](const QByteArray& path) { return NameOfPath(path); });
    if (!report.Left.isEmpty())
        sections << Section("Copied, but these stay at their old place:", report.Left, [](const TEntry& e) {
            return NameOfPath(e.first) + QStringLiteral(": ") + LeftCause(e.second);
        });
    if (!report.Renamed.isEmpty())
        sections << Section("The target takes only Unicode names, so these were written under the names shown here:",
                            report.Renamed, [](const QByteArray& path) { return NameOfPath(path); });
    return sections.isEmpty() ? SsMenuText("Cannot paste:") : sections.join(QStringLiteral("\n\n"));
}

void SsShowReport(QWidget* window, const TSsOperationReport& report)
{
    ShowWarning(window, SsReportText(report));
}

void SsShowRenameError(QWidget* window, int error, const QString& newName)
{
    const char* what;
    switch (error) {
    case EEXIST:
    case ENOTEMPTY: what = "This name is already taken:"; break;
    case EINVAL: what = "A name cannot contain \"/\" and cannot be \".\" or \"..\":"; break;
    case ENAMETOOLONG:
    case EILSEQ: what = "The file system does not accept this name:"; break;
    default: what = "Cannot rename:"; break;
    }
    SsShowError(window, SsMenuText(what), {newName});
}

TSsContextMenu::TSsContextMenu(QList<QByteArray> paths, std::vector<uint32_t> attributes)
    : paths_(std::move(paths)), attributes_(std::move(attributes))
{
    attributes_.resize(size_t(paths_.size()), 0);
}

bool TSsContextMenu::AllHave(uint32_t attribute) const
{
    return !attributes_.empty() &&
           std::all_of(attributes_.begin(), attributes_.end(), [&](uint32_t a) { return (a & attribute) != 0; });
}

bool TSsContextMenu::SingleFolder() const
{
    return paths_.size() == 1 && (attributes_[0] & SFGAO_FOLDER);
}

bool TSsContextMenu::Offers(int32_t verb) const
{
    switch (verb) {
    case cvOpen:
    case cvProperties: return !paths_.isEmpty();
    case cvCut: return AllHave(SFGAO_CANMOVE);
    case cvCopy: return AllHave(SFGAO_CANCOPY);
    case cvCopyAsPath: return (flags_ & CMF_EXTENDEDVERBS) && !paths_.isEmpty();
    case cvPaste:
    case cvNewFolder: return SingleFolder();
    case cvDelete: return AllHave(SFGAO_CANDELETE);
    case cvRename: return (flags_ & CMF_CANRENAME) && paths_.size() == 1 && AllHave(SFGAO_CANRENAME);
    default: return false;
    }
}

bool TSsContextMenu::Enabled(int32_t verb) const
{
    if (verb == cvPaste) {
        const QMimeData* data = QApplication::clipboard()->mimeData();
        return AllHave(SFGAO_DROPTARGET) && !SsNativePathsOf(data).isEmpty();
    }
    if (verb == cvNewFolder)
        return AllHave(SFGAO_DROPTARGET);
    return true;
}

HRESULT TSsContextMenu::QueryContextMenu(QMenu& menu, uint32_t idCmdFirst, uint32_t idCmdLast,
                                         uint32_t flags)
{
    flags_ = flags;
    queried_ = true;
    int32_t used = 0;
    bool any = false;
    for (const TVerbEntry& e : Verbs) {
        const uint32_t id = idCmdFirst + uint32_t(e.Verb);
        if (!Offers(e.Verb) || id > idCmdLast)
            continue;
        if (e.SeparatorBefore && any)
            menu.addSeparator();
        QAction* a = menu.addAction(SsMenuText(e.Text));
        a->setData(int(id));
        a->setEnabled(Enabled(e.Verb));
        if (e.Verb == cvOpen) {
            QFont bold = a->font();
            bold.setBold(true);
            a->setFont(bold);
            menu.setDefaultAction(a);
        }
        any = true;
        used = std::max(used, e.Verb + 1);
    }
    return used;
}

QStringList TSsContextMenu::Names() const
{
    QStringList names;
    for (const QByteArray& p : paths_)
        names << NameOfPath(p);
    return names;
}

HRESULT TSsContextMenu::InvokeCommand(const TSsCMInvokeCommandInfo& info)
{
    if (!queried_ || !Offers(info.Verb) || !Enabled(info.Verb))
        return E_FAIL;
    QStringList failed;
    bool done = true;
    switch (info.Verb) {
    case cvOpen:
        done = Open();
        if (!done)
            SsShowError(info.Window, SsMenuText("No program could open:"), Names());
        break;
    case cvCut:
    case cvCopy: PutOnClipboard(info.Verb == cvCut); break;
    case cvCopyAsPath: {
        QStringList quoted;
        for (const QString& p : Names())
            quoted << '"' + p + '"';
        QApplication::clipboard()->setText(quoted.join('\n'));
        break;
    }
    case cvPaste: done = Paste(info.Window); break;
    case cvNewFolder:
        done = NewFolder(failed);
        if (!done)
            SsShowError(info.Window, SsMenuText("Cannot create a folder in:"), failed);
        break;
    case cvDelete:
        if (!ConfirmDelete(info.Window))
            return E_ABORT;
        done = Delete(failed);
        if (!done)
            SsShowError(info.Window, SsMenuText("Cannot move to the trash:"), failed);
        break;
    case cvRename: break;  // the control edits the item's label
    case cvProperties: ShowProperties(info.Window); break;
    default: return E_FAIL;
    }
    return done ? S_OK : E_FAIL;
}

bool TSsContextMenu::Open()
{
    bool ok = true;
    for (const QByteArray& p : paths_)
        ok = QDesktopServices::openUrl(SsNativePathToUrl(p)) && ok;
    return ok;
}

bool TSsContextMenu::ConfirmDelete(QWidget* window) const
{
    qint64 files = 0;
    for (const QByteArray& p : paths_)
        files += FilesAt(p);
    const QString text = Section("Move to the trash?", paths_, NameOfPath) + QStringLiteral("\n\n") +
                         SsMenuText("Files in all: %1").arg(QLocale().toString(files));
    QMessageBox box(QMessageBox::Question, QCoreApplication::translate("MsgDlg", "Confirm"), text,
                    QMessageBox::Yes | QMessageBox::No, window);
    box.setDefaultButton(QMessageBox::Yes);
    return Ask(box) == QMessageBox::Yes;
}

bool TSsContextMenu::Delete(QStringList& failed)
{
    for (const QByteArray& p : paths_)
        if (const int error = SsMoveToTrash(p))
            failed << NameOfPath(p) + QStringLiteral(": ") + TrashCause(p, error);
    return failed.isEmpty();
}

void TSsContextMenu::PutOnClipboard(bool cut)
{
    SsPutFilesOnClipboard(paths_, cut);
}

void SsPutFilesOnClipboard(const QList<QByteArray>& paths, bool cut)
{
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    QStringList shown;
    QByteArray copied = cut ? "cut" : "copy";
    for (const QByteArray& p : paths) {
        urls << SsNativePathToUrl(p);
        copied += '\n' + urls.back().toEncoded();
        shown << NameOfPath(p);
    }
    data->setUrls(urls);
    // As text the paths read as the lists show them, not as URLs.
    data->setText(shown.join('\n'));
    const int32_t effect = cut ? DROPEFFECT_MOVE : DROPEFFECT_COPY | DROPEFFECT_LINK;
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((effect >> (8 * i)) & 0xFF);
    data->setData(PreferredDropEffectMime(), bytes);
    data->setData(CopiedFilesMime, copied);
    QApplication::clipboard()->setMimeData(data.release());
}

bool TSsContextMenu::Paste(QWidget* window)
{
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (!data)
        return false;
    const QList<QByteArray> files = SsNativePathsOf(data);
    QStringList names;
    for (const QByteArray& f : files)
        names << NameOfPath(f);
    TSsFolderDropTarget target(paths_.first());
    if (target.HoldsOwnAncestor(files)) {
        SsShowError(window, SsMenuText("A folder cannot be pasted into itself or into a folder inside it:"), names);
        return false;
    }
    const bool cut = ClipboardCut(*data);
    int32_t effect = cut ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
    const HRESULT result = target.Drop(data, cut ? MK_SHIFT : MK_CONTROL, effect);
    if (!target.Report().IsEmpty())
        SsShowReport(window, target.Report());
    if (result != S_OK)
        return false;
    // Cut files are where they belong now: they are no longer on the clipboard.
    if (cut && effect == DROPEFFECT_MOVE)
        QApplication::clipboard()->clear();
    return true;
}

bool TSsContextMenu::NewFolder(QStringList& failed)
{
    const QByteArray& folder = paths_.first();
    const QByteArray name = SsFreeFileName(folder, QFile::encodeName(SsMenuText(SsNewFolderName)));
    const QByteArray made = folder.endsWith('/') ? folder + name : folder + '/' + name;
    if (::mkdir(made.constData(), 0777) == 0) {
        created_ = made;
        return true;
    }
    failed << NameOfPath(folder);
    return false;
}

void TSsContextMenu::ShowProperties(QWidget* window)
{
    auto* dialog = new QDialog(window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(SsMenuText("Properties"));
    auto* form = new QFormLayout(dialog);
    const QLocale locale;
    auto row = [&](int32_t captionId, const QString& value) {
        auto* label = new QLabel(value, dialog);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(Message(captionId) + ':', label);
    };
    // Entries are read by their bytes, so that names that are no UTF-8 are reached too.
    qint64 size = 0;
    for (const QByteArray& p : paths_)
        if (struct stat st {}; ::stat(p.constData(), &st) == 0 && S_ISREG(st.st_mode))
            size += st.st_size;
    if (paths_.size() == 1) {
        const QByteArray& path = paths_.first();
        struct stat st {};
        const bool known = ::stat(path.constData(), &st) == 0;
        const bool folder = known && S_ISDIR(st.st_mode);
        const QFileInfo shown(NameOfPath(path));
        const QString name = shown.fileName().isEmpty() ? shown.filePath() : shown.fileName();
        row(SsscName, name);
        row(SsscType, folder ? Message(SsscFileFolder) : FileTypeText(path, name));
        form->addRow(SsMenuText("Location:"), new QLabel(QDir::toNativeSeparators(shown.absolutePath()), dialog));
        if (!folder)
            row(SsscSize, locale.formattedDataSize(size));
        if (known)
            row(SsscModified, locale.toString(QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec), QLocale::LongFormat));
        row(SsscAttributes, PermissionText(path));
    } else {
        row(SsscName, QString::number(paths_.size()) + SsMenuText(SsObjectsText));
        row(SsscSize, locale.formattedDataSize(size));
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    form->addRow(buttons);
    dialog->open();
}
