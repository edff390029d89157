#include "SsNamespace.h"
#include "SsContextMenu.h"
#include "Application.h"


#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMimeData>
#include <QMimeDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QStandardPaths>
#include <QStorageInfo>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Ole;

namespace {

QByteArray Join(const QByteArray& dir, const QByteArray& name)
{
    return dir.endsWith('/') ? dir + name : dir + '/' + name;
}

bool StatPath(const QByteArray& path, struct stat& st)
{
    if (::stat(path.constData(), &st) == 0)
        return true;
    return ::lstat(path.constData(), &st) == 0;  // a dangling link
}

bool HasSubFolder(const QString& path)
{
    QDirIterator it(path, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    return it.hasNext();
}

bool IsUserVolume(const QString& root)
{
    return root.startsWith(QLatin1String("/media/")) || root.startsWith(QLatin1String("/run/media/")) ||
           root.startsWith(QLatin1String("/mnt/"));
}
}  // namespace

// ---- desktop roots and paths ---------------------------------------------------------

std::vector<TSsDesktopRoot> SsDesktopRoots()
{
    std::vector<TSsDesktopRoot> roots;
    const QString home = QDir::cleanPath(QDir::homePath());
    const QString desktop =
        QDir::cleanPath(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    if (!desktop.isEmpty() && desktop != home && QFileInfo(desktop).isDir())
        roots.push_back({QFile::encodeName(desktop), QFileInfo(desktop).fileName()});
    roots.push_back({QFile::encodeName(home), QFileInfo(home).fileName()});
    roots.push_back({"/", QStringLiteral("/")});
    std::vector<TSsDesktopRoot> volumes;
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes())
        if (v.isValid() && v.isReady() && IsUserVolume(v.rootPath()))
            volumes.push_back({QFile::encodeName(v.rootPath()),
                               v.displayName().isEmpty() ? v.rootPath() : v.displayName()});
    std::sort(volumes.begin(), volumes.end(),
              [](const TSsDesktopRoot& a, const TSsDesktopRoot& b) { return a.Path < b.Path; });
    roots.insert(roots.end(), volumes.begin(), volumes.end());
    return roots;
}

PSsIdList SsPathToIdList(const QString& path)
{
    const QString clean = QDir::cleanPath(path);
    if (path.isEmpty() || !QDir::isAbsolutePath(clean))
        return nullptr;
    const QByteArray bytes = QFile::encodeName(clean);
    const std::vector<TSsDesktopRoot> roots = SsDesktopRoots();
    const TSsDesktopRoot* best = nullptr;
    for (const TSsDesktopRoot& r : roots) {
        const QByteArray prefix = r.Path.endsWith('/') ? r.Path : r.Path + '/';
        const bool under = bytes == r.Path || bytes.startsWith(prefix);
        if (under && (!best || r.Path.size() > best->Path.size()))
            best = &r;
    }
    if (!best)
        return nullptr;
    auto result = std::make_unique<TSsIdList>();
    result->Append(best->Path);
    for (const QByteArray& part : bytes.mid(best->Path.size()).split('/'))
        if (!part.isEmpty())
            result->Append(part);
    return result;
}

QString SsIdListToPath(const TSsIdList* list)
{
    if (!list || list->Count() == 0)
        return QString();
    QByteArray path = list->Id(0);
    for (int i = 1; i < list->Count(); ++i)
        path = Join(path, list->Id(i));
    return QFile::decodeName(path);
}

int SsGetDriveType(const QString& path)
{
    if (path.isEmpty() || !QFileInfo::exists(path))
        return DRIVE_NO_ROOT_DIR;
    const QStorageInfo info(path);
    if (!info.isValid())
        return DRIVE_UNKNOWN;
    const QByteArray fs = info.fileSystemType();
    static const QByteArrayList remote = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "sshfs",
                                          "fuse.sshfs", "davfs", "afs"};
    if (remote.contains(fs))
        return DRIVE_REMOTE;
    if (fs == "iso9660" || fs == "udf")
        return DRIVE_CDROM;
    if (IsUserVolume(info.rootPath()))
        return DRIVE_REMOVABLE;
    return DRIVE_FIXED;
}

// ---- folders -------------------------------------------------------------------------------

std::shared_ptr<TSsNamespaceFolder> TSsNamespaceFolder::Desktop()
{
    static const auto desktop = std::make_shared<TSsNamespaceFolder>(TSsIdList());
    return desktop;
}

TSsNamespaceFolder::TSsNamespaceFolder(const TSsIdList& abs) : abs_(abs), path_(SsIdListToPath(&abs)) {}

QString TSsNamespaceFolder::ChildPath(const TSsIdList& rel) const
{
    if (rel.Count() == 0)
        return path_;
    QByteArray p = IsDesktop() ? rel.Id(0) : Join(QFile::encodeName(path_), rel.Id(0));
    for (int i = 1; i < rel.Count(); ++i)
        p = Join(p, rel.Id(i));
    return QFile::decodeName(p);
}

PSsIdList TSsNamespaceFolder::ParseDisplayName(const QString& path) const
{
    if (path.isEmpty())
        return nullptr;
    if (IsDesktop()) {
        PSsIdList result = SsPathToIdList(path);
        if (!result)
            return nullptr;
        const QString full = SsIdListToPath(result.get());
        if (!QFileInfo::exists(full) && !QFileInfo(full).isSymLink())
            return nullptr;
        return result;
    }
    QString clean = QDir::cleanPath(path);
    auto result = std::make_unique<TSsIdList>();
    if (QDir::isAbsolutePath(clean)) {
        const QString prefix = path_.endsWith('/') ? path_ : path_ + '/';
        if (!clean.startsWith(prefix))
            return nullptr;
        clean = clean.mid(prefix.size());
    }
    for (const QString& part : clean.split('/', Qt::SkipEmptyParts))
        result->Append(QFile::encodeName(part));
    const QString full = ChildPath(*result);
    if (!QFileInfo::exists(full) && !QFileInfo(full).isSymLink())
        return nullptr;
    return result;
}

std::optional<std::vector<QByteArray>> TSsNamespaceFolder::EnumObjects(uint32_t flags) const
{
    std::vector<QByteArray> out;
    if (IsDesktop()) {
        if (flags & SHCONTF_FOLDERS)
            for (const TSsDesktopRoot& r : SsDesktopRoots()) {
                out.push_back(r.Path);
                dirs_.insert(r.Path, true);
            }
        return out;
    }
    const QByteArray dirPath = QFile::encodeName(path_);
    DIR* dir = ::opendir(dirPath.constData());
    if (!dir)
        return std::nullopt;
    while (dirent* e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (name == "." || name == "..")
            continue;
        if (name.startsWith('.') && !(flags & SHCONTF_INCLUDEHIDDEN))
            continue;
        bool isDir = e->d_type == DT_DIR;
        if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
            struct stat st;
            isDir = StatPath(Join(dirPath, name), st) && S_ISDIR(st.st_mode);
        }
        if (isDir ? !(flags & SHCONTF_FOLDERS) : !(flags & SHCONTF_NONFOLDERS))
            continue;
        dirs_.insert(name, isDir);
        out.push_back(name);
    }
    ::closedir(dir);
    return out;
}

bool TSsNamespaceFolder::IsDir(const QByteArray& id) const
{
    auto it = dirs_.constFind(id);
    if (it != dirs_.constEnd())
        return *it;
    const bool dir = QFileInfo(ChildPath(TSsIdList({id}))).isDir();
    dirs_.insert(id, dir);
    return dir;
}

std::shared_ptr<TSsNamespaceFolder> TSsNamespaceFolder::BindToObject(const TSsIdList& rel) const
{
    if (rel.Count() == 0)
        return nullptr;
    const QFileInfo info(ChildPath(rel));
    if (!info.isDir() || !info.isReadable() || !info.isExecutable())
        return nullptr;
    PSsIdList abs = SsILCombine(&abs_, &rel);
    return std::make_shared<TSsNamespaceFolder>(*abs);
}

int TSsNamespaceFolder::CompareIDs(const TSsIdList& a, const TSsIdList& b) const
{
    const int n = std::min(a.Count(), b.Count());
    for (int i = 0; i < n; ++i) {
        const QByteArray& x = a.Id(i);
        const QByteArray& y = b.Id(i);
        if (x == y)
            continue;
        if (i == 0 && IsDesktop()) {
            const std::vector<TSsDesktopRoot> roots = SsDesktopRoots();
            auto rank = [&](const QByteArray& id) {
                for (size_t k = 0; k < roots.size(); ++k)
                    if (roots[k].Path == id)
                        return int(k);
                return int(roots.size());
            };
            const int rx = rank(x), ry = rank(y);
            if (rx != ry)
                return rx < ry ? -1 : 1;
        } else if (i == 0) {
            const bool dx = IsDir(x), dy = IsDir(y);
            if (dx != dy)
                return dx ? -1 : 1;
        }
        auto ascii = [](const QByteArray& b) {
            return std::all_of(b.begin(), b.end(), [](char ch) { return uchar(ch) < 0x80; });
        };
        int c = ascii(x) && ascii(y)
                    ? qstricmp(x.constData(), y.constData())
                    : QFile::decodeName(x).compare(QFile::decodeName(y), Qt::CaseInsensitive);
        if (c == 0)
            c = x < y ? -1 : 1;
        return c < 0 ? -1 : 1;
    }
    return a.Count() == b.Count() ? 0 : (a.Count() < b.Count() ? -1 : 1);
}

uint32_t TSsNamespaceFolder::GetAttributesOf(const TSsIdList& rel, uint32_t mask) const
{
    if (rel.Count() == 0)
        return 0;
    // Kind questions about an enumerated child need no file-system call.
    constexpr uint32_t kind = SFGAO_FILESYSTEM | SFGAO_FOLDER | SFGAO_FILESYSANCESTOR;
    if (!(mask & ~kind) && rel.Count() == 1) {
        auto it = dirs_.constFind(rel.Id(0));
        if (it != dirs_.constEnd())
            return (*it ? kind : SFGAO_FILESYSTEM) & mask;
    }
    const QString path = ChildPath(rel);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return 0;
    const bool root = IsDesktop() && rel.Count() == 1;
    uint32_t a = SFGAO_FILESYSTEM;
    if (info.isDir())
        a |= SFGAO_FOLDER | SFGAO_FILESYSANCESTOR;
    if (info.isSymLink())
        a |= SFGAO_LINK;
    if (!root && info.fileName().startsWith('.'))
        a |= SFGAO_GHOSTED;
    if ((mask & (SFGAO_CANCOPY | SFGAO_CANLINK)) && info.isReadable())
        a |= SFGAO_CANCOPY | SFGAO_CANLINK;
    if ((mask & (SFGAO_CANMOVE | SFGAO_CANRENAME | SFGAO_CANDELETE)) && !root &&
        QFileInfo(info.absolutePath()).isWritable())
        a |= SFGAO_CANMOVE | SFGAO_CANRENAME | SFGAO_CANDELETE;
    if (mask & (SFGAO_READONLY | SFGAO_DROPTARGET)) {
        if (!info.isWritable())
            a |= SFGAO_READONLY;
        else if (info.isDir())
            a |= SFGAO_DROPTARGET;
    }
    if ((mask & SFGAO_REMOVABLE) && root && SsGetDriveType(path) == DRIVE_REMOVABLE)
        a |= SFGAO_REMOVABLE;
    if ((mask & SFGAO_HASSUBFOLDER) && info.isDir() && HasSubFolder(path))
        a |= SFGAO_HASSUBFOLDER;
    return a & mask;
}

QString TSsNamespaceFolder::GetDisplayNameOf(const TSsIdList& rel, uint32_t flags) const
{
    if (flags & SHGDN_FORPARSING)
        return ChildPath(rel);
    if (rel.Count() == 0)
        return IsDesktop() ? QStringLiteral("Desktop") : QFileInfo(path_).fileName();
    if (IsDesktop() && rel.Count() == 1) {
        for (const TSsDesktopRoot& r : SsDesktopRoots())
            if (r.Path == rel.Id(0))
                return r.Name;
        return QFile::decodeName(rel.Id(0));
    }
    return QFile::decodeName(rel.Id(rel.Count() - 1));
}

PSsIdList TSsNamespaceFolder::SetNameOf(const TSsIdList& rel, const QString& newName) const
{
    if (rel.Count() == 0 || newName.isEmpty() || newName.contains('/') || newName == "." ||
        newName == ".." || (IsDesktop() && rel.Count() == 1))
        return nullptr;
    const QString oldPath = ChildPath(rel);
    const QString newPath = QFileInfo(oldPath).absolutePath() + '/' + newName;
    // Never replace another entry.
    if (QFileInfo::exists(newPath) || QFileInfo(newPath).isSymLink())
        return nullptr;
    if (!QDir().rename(oldPath, newPath))
        return nullptr;
    PSsIdList result = SsILClone(&rel);
    SsILRemoveLastID(result.get());
    result->Append(QFile::encodeName(newName));
    dirs_.remove(rel.Id(rel.Count() - 1));
    return result;
}

bool TSsNamespaceFolder::GetFileData(const TSsIdList& rel, TSsFindData& data) const
{
    if (rel.Count() == 0)
        return false;
    const QByteArray path = QFile::encodeName(ChildPath(rel));
    struct stat st;
    if (!StatPath(path, st))
        return false;
    const bool dir = S_ISDIR(st.st_mode);
    data.Size = dir ? 0 : int64_t(st.st_size);
    data.LastWrite = QDateTimeToDateTime(QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec));
    // The file systems here keep no archive or compression bit.
    data.Attributes = 0;
    if (dir)
        data.Attributes |= FILE_ATTRIBUTE_DIRECTORY;
    else if (!S_ISREG(st.st_mode))
        data.Attributes |= FILE_ATTRIBUTE_SYSTEM;
    if (::access(path.constData(), W_OK) != 0)
        data.Attributes |= FILE_ATTRIBUTE_READONLY;
    if (rel.Id(rel.Count() - 1).startsWith('.'))
        data.Attributes |= FILE_ATTRIBUTE_HIDDEN;
    return true;
}

std::unique_ptr<TSsFolderDropTarget> TSsNamespaceFolder::GetDropTarget(const TSsIdList& rel) const
{
    const QString path = ChildPath(rel);
    if (path.isEmpty() || !QFileInfo(path).isDir())
        return nullptr;
    return std::make_unique<TSsFolderDropTarget>(path);
}

// ---- dropping into a folder --------------------------------------------------------------

namespace {
bool CopyEntry(const QString& from, const QString& to)
{
    const QFileInfo info(from);
    if (info.isDir() && !info.isSymLink()) {
        if (!QDir().mkpath(to))
            return false;
        const QDir dir(from);
        for (const QString& name :
             dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
            if (!CopyEntry(from + '/' + name, to + '/' + name))
                return false;
        return true;
    }
    return QFile::copy(from, to);
}
}  // namespace

std::unique_ptr<TSsContextMenu> TSsNamespaceFolder::GetUIObjectOf(int count,
                                                                   const TSsIdList* const* idLists) const
{
    if (count <= 0 || !idLists)
        return nullptr;
    constexpr uint32_t asked = SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANRENAME | SFGAO_CANDELETE |
                               SFGAO_DROPTARGET | SFGAO_FOLDER | SFGAO_FILESYSTEM;
    QStringList paths;
    std::vector<uint32_t> attributes;
    for (int i = 0; i < count; ++i) {
        const TSsIdList* rel = idLists[i];
        if (!rel || rel->Count() == 0)
            return nullptr;
        const uint32_t a = GetAttributesOf(*rel, asked);
        if (!(a & SFGAO_FILESYSTEM))
            return nullptr;
        paths << ChildPath(*rel);
        attributes.push_back(a);
    }
    return std::make_unique<TSsContextMenu>(paths, attributes);
}

QString SsFreeFileName(const QString& folder, const QString& name)
{
    auto taken = [&](const QString& n) {
        const QString p = folder + '/' + n;
        return QFileInfo::exists(p) || QFileInfo(p).isSymLink();
    };
    if (!taken(name))
        return name;
    const int dot = name.lastIndexOf('.');
    const QString base = dot > 0 ? name.left(dot) : name;
    const QString ext = dot > 0 ? name.mid(dot) : QString();
    for (int n = 2;; ++n) {
        const QString candidate = QStringLiteral("%1 (%2)%3").arg(base).arg(n).arg(ext);
        if (!taken(candidate))
            return candidate;
    }
}

int32_t TSsFolderDropTarget::Choose(int32_t keyState, int32_t allowed) const
{
    const QStringList files = LocalFilesOf(data_);
    if (files.isEmpty())
        return DROPEFFECT_NONE;
    // A folder never goes into itself or one of its own sub-folders.
    const QString here = QFileInfo(folder_).canonicalFilePath();
    for (const QString& f : files) {
        const QFileInfo info(f);
        if (!info.isDir() || info.isSymLink())
            continue;
        const QString dir = info.canonicalFilePath();
        if (!dir.isEmpty() && (here == dir || here.startsWith(dir.endsWith('/') ? dir : dir + '/')))
            return DROPEFFECT_NONE;
    }
    int32_t wanted;
    if ((keyState & MK_CONTROL) && (keyState & MK_SHIFT))
        wanted = DROPEFFECT_LINK;
    else if (keyState & MK_CONTROL)
        wanted = DROPEFFECT_COPY;
    else if (keyState & MK_SHIFT)
        wanted = DROPEFFECT_MOVE;
    else if (keyState & MK_ALT)
        wanted = DROPEFFECT_LINK;
    else {
        // Within one file system a drop moves, across file systems it copies.
        struct stat a, b;
        const bool same = ::stat(QFile::encodeName(folder_).constData(), &a) == 0 &&
                          ::stat(QFile::encodeName(files.first()).constData(), &b) == 0 &&
                          a.st_dev == b.st_dev;
        wanted = same ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
    }
    // Moving entries into the folder they are in does nothing.
    if (wanted == DROPEFFECT_MOVE) {
        bool allHere = true;
        for (const QString& f : files)
            allHere = allHere && QFileInfo(f).absolutePath() == QDir(folder_).absolutePath();
        if (allHere)
            return DROPEFFECT_NONE;
    }
    if (allowed & wanted)
        return wanted;
    for (int32_t e : {DROPEFFECT_COPY, DROPEFFECT_MOVE, DROPEFFECT_LINK})
        if (allowed & e)
            return e;
    return DROPEFFECT_NONE;
}

HRESULT TSsFolderDropTarget::DragEnter(const QMimeData* data, int32_t keyState, int32_t& effect)
{
    data_ = data;
    effect = Choose(keyState, effect);
    return S_OK;
}

HRESULT TSsFolderDropTarget::DragOver(int32_t keyState, int32_t& effect)
{
    effect = Choose(keyState, effect);
    return S_OK;
}

HRESULT TSsFolderDropTarget::Drop(const QMimeData* data, int32_t keyState, int32_t& effect)
{
    data_ = data;
    effect = Choose(keyState, effect);
    const QStringList files = LocalFilesOf(data);
    data_ = nullptr;
    if (effect == DROPEFFECT_NONE)
        return S_OK;
    bool ok = true;
    for (const QString& from : files) {
        const QFileInfo info(from);
        if (effect == DROPEFFECT_MOVE && info.absolutePath() == QDir(folder_).absolutePath())
            continue;
        const QString to = folder_ + '/' + SsFreeFileName(folder_, info.fileName());
        bool done;
        if (effect == DROPEFFECT_LINK)
            done = QFile::link(info.absoluteFilePath(), to);
        else if (effect == DROPEFFECT_COPY)
            done = CopyEntry(from, to);
        else {
            done = QDir().rename(from, to);
            if (!done && CopyEntry(from, to))
                done = info.isDir() ? QDir(from).removeRecursively() : QFile::remove(from);
        }
        ok = ok && done;
    }
    return ok ? S_OK : E_FAIL;
}

// ---- system image list --------------------------------------------------------------------

TSsSystemImageList& TSsSystemImageList::Instance()
{
    static TSsSystemImageList list;
    static const TStaticCleanup cleanup([] {
        list.icons_.clear();
        list.pixmaps_.clear();
        list.keys_.clear();
        list.provider_.reset();
    });
    return list;
}

int TSsSystemImageList::IndexOf(const QString& path, bool isDir, bool isRoot, bool isDesktop, bool open)
{
    if (!provider_)
        provider_ = std::make_unique<QFileIconProvider>();
    const QFileIconProvider& provider = *provider_;
    QString key;
    QIcon icon;
    if (isDesktop) {
        key = QStringLiteral("desktop");
        if (!keys_.contains(key))
            icon = QIcon::fromTheme("user-desktop", provider.icon(QAbstractFileIconProvider::Desktop));
    } else if (isRoot && path != QDir::homePath()) {
        key = QStringLiteral("drive");
        if (!keys_.contains(key))
            icon = QIcon::fromTheme("drive-harddisk", provider.icon(QAbstractFileIconProvider::Drive));
    } else if (isDir || isRoot) {
        key = open ? QStringLiteral("folder-open") : QStringLiteral("folder");
        if (!keys_.contains(key)) {
            const QIcon folder = QIcon::fromTheme("folder", provider.icon(QAbstractFileIconProvider::Folder));
            icon = open ? QIcon::fromTheme("folder-open", folder) : folder;
        }
    } else {
        static const QMimeDatabase db;
        const QMimeType mime = db.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
        key = QStringLiteral("mime:") + mime.name();
        if (!keys_.contains(key))
            icon = QIcon::fromTheme(mime.iconName(),
                                    QIcon::fromTheme(mime.genericIconName(),
                                                     provider.icon(QAbstractFileIconProvider::File)));
    }
    auto it = keys_.constFind(key);
    if (it != keys_.constEnd())
        return *it;
    icons_.push_back(icon);
    const int index = int(icons_.size()) - 1;
    keys_.insert(key, index);
    return index;
}

const QIcon& TSsSystemImageList::Icon(int index) const
{
    static const QIcon none;
    return index >= 0 && index < int(icons_.size()) ? icons_[size_t(index)] : none;
}

QPixmap TSsSystemImageList::Pixmap(int index, int size, int overlay) const
{
    const quint64 key = quint64(uint32_t(index)) << 32 | quint64(uint16_t(size)) << 16 | quint16(int16_t(overlay));
    auto it = pixmaps_.find(key);
    if (it == pixmaps_.end())
        it = pixmaps_.insert(key, DrawPixmap(index, size, overlay));
    return *it;
}

QPixmap TSsSystemImageList::DrawPixmap(int index, int size, int overlay) const
{
    QPixmap pm = Icon(index).pixmap(size, size);
    if (pm.isNull()) {
        pm = QPixmap(size, size);
        pm.fill(Qt::transparent);
    }
    if (overlay == 1) {
        // The shortcut arrow in the lower left corner.
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal s = size / 2.5;
        const QRectF box(0, size - s, s, s);
        p.fillRect(box, Qt::white);
        p.setPen(QPen(Qt::black, 1));
        p.drawRect(box.adjusted(0, 0, -1, -1));
        QPainterPath arrow;
        arrow.moveTo(box.left() + s * 0.25, box.bottom() - s * 0.2);
        arrow.quadTo(box.left() + s * 0.3, box.top() + s * 0.35, box.right() - s * 0.25, box.top() + s * 0.3);
        p.drawPath(arrow);
        p.drawLine(QPointF(box.right() - s * 0.25, box.top() + s * 0.3),
                   QPointF(box.right() - s * 0.45, box.top() + s * 0.15));
        p.drawLine(QPointF(box.right() - s * 0.25, box.top() + s * 0.3),
                   QPointF(box.right() - s * 0.4, box.top() + s * 0.5));
    }
    return pm;
}
