// The folder browser's file operations through the context menu and the
// views: moves, pastes with links, odd names, renames and their refusals.
#include "ShellViewFixtures.h"
#include "SsContextMenu.h"
#include "SysUtils.h"
#include "../../common/NoPermissionOverride.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDirIterator>
#include <QDateTime>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMap>
#include <QMimeData>
#include <QMimeDatabase>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>
#include <set>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sched.h>
#include <sys/fanotify.h>
#include <sys/mount.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {
// Chooses the menu entry with the given text.
struct Choose {
    explicit Choose(const QString& text)
    {
        SsTrackPopupMenuHook = [text](QMenu& menu, const QPoint&) {
            for (QAction* a : menu.actions())
                if (a->text() == text && a->isEnabled())
                    return a->data().toInt();
            return 0;
        };
    }
    ~Choose() { SsTrackPopupMenuHook = nullptr; }
};

void ContextMenu(QWidget& w)
{
    QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(5, 5), w.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&w, &e);
}

QByteArray Native(const QString& path)
{
    return QFile::encodeName(path);
}

QStringList Listing(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

bool Exists(const QByteArray& path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

QByteArray LinkTarget(const QByteArray& path)
{
    char buffer[4096];
    const ssize_t n = ::readlink(path.constData(), buffer, sizeof buffer);
    return n < 0 ? QByteArray() : QByteArray(buffer, n);
}

// Offers Menu's verbs and runs Verb for Window, as a click on it does; a
// question the verb asks is answered Yes.
HRESULT RunVerb(TSsContextMenu& menu, int32_t verb, QWidget& window, uint32_t flags = CMF_NORMAL)
{
    QMenu qmenu;
    menu.QueryContextMenu(qmenu, 1, 0x7FFF, flags);
    TSsCMInvokeCommandInfo info;
    info.Window = &window;
    info.Verb = verb;
    SsQuestionHook = [](QMessageBox&) { return int(QMessageBox::Yes); };
    const HRESULT result = menu.InvokeCommand(info);
    SsQuestionHook = nullptr;
    return result;
}

// The text of the box a view shows, closed once read.
QString TakeMessage(QWidget& w)
{
    QString text;
    WaitFor([&] { return w.findChild<QMessageBox*>() != nullptr; }, 3000);
    if (auto* box = w.findChild<QMessageBox*>()) {
        text = box->text();
        delete box;
    }
    return text;
}

struct TreeFixture : ShellTreeFixture<TSsShellTreeView> {
    TreeFixture()
    {
        tree.show();
        WaitFor([&] { return tree.InitialSelectionDone(); });
    }
    QTreeWidgetItem* Select(QTreeWidgetItem* node)
    {
        tree.setCurrentItem(node);
        return node;
    }
    void Clipboard(const QList<QByteArray>& paths, bool cut)
    {
        auto data = std::make_unique<QMimeData>();
        QList<QUrl> urls;
        for (const QByteArray& p : paths)
            urls << SsNativePathToUrl(p);
        data->setUrls(urls);
        data->setData("x-special/gnome-copied-files", cut ? "cut\n" : "copy\n");
        QApplication::clipboard()->setMimeData(data.release());
    }
};

// A folder "Mit Links" holding a file, a link to a file, a link to a
// folder, a dangling link, and a folder after them.
void MakeFolderWithLinks(const ShellFixture& fx)
{
    fx.Mkdir("Mit Links/Unter");
    fx.Write("Mit Links/a.txt", 4, 2020);
    fx.Write("Mit Links/Unter/z.txt", 2, 2020);
    ASSERT_EQ(::symlink("a.txt", Native(fx.Path("Mit Links/b-link.txt")).constData()), 0);
    ASSERT_EQ(::symlink("../Bilder", Native(fx.Path("Mit Links/c-ordner")).constData()), 0);
    ASSERT_EQ(::symlink("/nirgends/da", Native(fx.Path("Mit Links/d-verwaist")).constData()), 0);
}

// ---- acting as an ordinary user on folders of two file systems ----------------------------

// The user the mode tests act as: this one, or for root a numeric ordinary
// one, as modes do not hold root back; and for root a second one.
std::pair<uid_t, gid_t> OrdinaryUser()
{
    if (::geteuid() != 0)
        return {::geteuid(), ::getegid()};
    return {65533, 65533};
}

uid_t OtherUser()
{
    return 65534;
}

// Runs body in a child process, which first runs prepare (a user to become,
// a namespace to enter; false: it could not). A failure in the child fails
// the test. False (with the reason) when the child could not start or prepare.
bool InChild(const std::function<bool()>& prepare, const std::function<void()>& body, const char* cannot,
             std::string& why)
{
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child == 0) {
        if (!prepare())
            ::_exit(77);
        body();
        std::fflush(stdout);
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) {
        why = "cannot start a process";
        return false;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) {
        why = cannot;
        return false;
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child's part failed";
    return true;
}

bool BecomeUser(uid_t uid, gid_t gid)
{
    return ::setgroups(0, nullptr) == 0 && ::setgid(gid) == 0 && ::setuid(uid) == 0;
}

// Runs body as the ordinary user: here when this process is one, else in a
// child process that drops root; a failure there fails the test. False
// (with the reason) when root cannot be dropped.
bool AsOrdinaryUser(const std::function<void()>& body, std::string& why)
{
    if (::geteuid() != 0) {
        body();
        return true;
    }
    const uid_t uid = OrdinaryUser().first;
    const gid_t gid = OrdinaryUser().second;
    return InChild([uid, gid] { return BecomeUser(uid, gid); }, body, "root cannot become an ordinary user here",
                   why);
}

// Makes the mounts of the calling process its own (in a user namespace of
// its own when it is not root), so that it may mount and bind folders.
bool OwnMounts()
{
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (::unshare(uid == 0 ? CLONE_NEWNS : CLONE_NEWUSER | CLONE_NEWNS) != 0)
        return false;
    if (uid != 0) {
        auto put = [](const char* file, const std::string& text) {
            const int fd = ::open(file, O_WRONLY);
            const bool ok = fd >= 0 && ::write(fd, text.data(), text.size()) == ssize_t(text.size());
            ::close(fd);
            return ok;
        };
        if (!put("/proc/self/setgroups", "deny") ||
            !put("/proc/self/uid_map", std::to_string(uid) + ' ' + std::to_string(uid) + " 1") ||
            !put("/proc/self/gid_map", std::to_string(gid) + ' ' + std::to_string(gid) + " 1"))
            return false;
    }
    return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// A new folder below base that the ordinary user owns; removed with all it
// holds, also read-only folders and trees deeper than a path can name.
struct Scratch {
    explicit Scratch(const QByteArray& base)
    {
        QByteArray name = base + "/ssops-XXXXXX";
        if (::mkdtemp(name.data())) {
            Path = name;
            const auto [uid, gid] = OrdinaryUser();
            if (::chown(name.constData(), uid, gid) != 0)
                Path.clear();
        }
    }
    ~Scratch()
    {
        if (!Path.isEmpty())
            std::system(("chmod -R u+rwx '" + Path + "' 2>/dev/null; rm -rf '" + Path + "'").constData());
    }
    QByteArray Path;
};

dev_t DeviceOf(const QByteArray& path)
{
    struct stat st {};
    ::stat(path.constData(), &st);
    return st.st_dev;
}

// Two folders on different file systems (the temporary folder and the
// shared-memory one), when there are two.
struct TwoVolumes {
    Scratch Here{QFile::encodeName(QDir::tempPath())};
    Scratch There{"/dev/shm"};
    bool Apart() const
    {
        return !Here.Path.isEmpty() && !There.Path.isEmpty() && DeviceOf(Here.Path) != DeviceOf(There.Path);
    }
};
#define SKIP_UNLESS_APART(volumes) \
    if (!(volumes).Apart())        \
    GTEST_SKIP() << "no two file systems at hand (temporary folder and /dev/shm)"

void MakeFile(const QByteArray& path, const QByteArray& content, mode_t mode = 0644)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0) << path.constData();
    ASSERT_EQ(::write(fd, content.constData(), size_t(content.size())), content.size());
    ::close(fd);
    ASSERT_EQ(::chmod(path.constData(), mode), 0);
}

QByteArray ReadFile(const QByteArray& path)
{
    QFile f(QFile::decodeName(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

mode_t ModeOf(const QByteArray& path)
{
    struct stat st {};
    ::lstat(path.constData(), &st);
    return st.st_mode & 07777;
}

// Sets the hook for the life of the object.
struct Hook {
    explicit Hook(std::function<void(int, const QByteArray&)> hook) { SsEntryHook = std::move(hook); }
    ~Hook() { SsEntryHook = nullptr; }
};
}  // namespace

// Cut and paste of a folder into another one moves its node there: gone from
// its old place, in order under the target, which gets its expand button.
TEST(SsShellTreeView, FolderMovedThroughTheMenuMovesItsNode)
{
    TreeFixture fx;
    fx.Mkdir("Bilder/Urlaub/Berge");
    QTreeWidgetItem* root = fx.Root();
    ASSERT_EQ(ChildTexts(root), QStringList({"alt", "Bilder", "leer"}));
    fx.Select(Child(root, "Bilder"));
    {
        Choose cut("Cu&t");
        ContextMenu(*fx.tree.viewport());
    }
    QTreeWidgetItem* leer = Child(root, "leer");
    ASSERT_NE(leer->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    fx.Select(leer);
    {
        Choose paste("&Paste");
        ContextMenu(*fx.tree.viewport());
    }
    ASSERT_TRUE(QFileInfo(fx.Path("leer/Bilder/Urlaub/Berge")).isDir());
    ASSERT_TRUE(WaitFor([&] { return Child(root, "Bilder") == nullptr; }));
    EXPECT_EQ(ChildTexts(root), QStringList({"alt", "leer"}));
    ASSERT_TRUE(WaitFor([&] { return leer->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator; }));
    leer->setExpanded(true);
    EXPECT_EQ(ChildTexts(leer), QStringList({"Bilder"}));
    QTreeWidgetItem* moved = Child(leer, "Bilder");
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(fx.tree.FolderOf(moved)->Path, fx.Path("leer/Bilder"));
    moved->setExpanded(true);
    EXPECT_EQ(ChildTexts(moved), QStringList({"Urlaub"}));

    // Into an expanded folder: the node takes its place in the order.
    fx.Mkdir("Zwischen");
    ASSERT_TRUE(WaitFor([&] { return Child(root, "Zwischen") != nullptr; }));
    fx.Mkdir("alt/A");
    fx.Mkdir("alt/Z");
    QTreeWidgetItem* alt = Child(root, "alt");
    alt->setExpanded(true);
    ASSERT_EQ(ChildTexts(alt), QStringList({"A", "Z"}));
    fx.Select(Child(root, "Zwischen"));
    {
        Choose cut("Cu&t");
        ContextMenu(*fx.tree.viewport());
    }
    fx.Select(alt);
    {
        Choose paste("&Paste");
        ContextMenu(*fx.tree.viewport());
    }
    ASSERT_TRUE(WaitFor([&] { return ChildTexts(alt) == QStringList({"A", "Z", "Zwischen"}) ||
                                     ChildTexts(alt) == QStringList({"A", "Zwischen", "Z"}); }));
    EXPECT_EQ(ChildTexts(alt), QStringList({"A", "Z", "Zwischen"}));
    EXPECT_EQ(ChildTexts(root), QStringList({"alt", "leer"}));
}

// Pasting a folder with links copies the links as links; a move across file
// systems does the same and removes the source only after the whole copy.
TEST(SsFolderDropTarget, PastedFolderKeepsItsLinks)
{
    ShellFixture fx;
    MakeFolderWithLinks(fx);
    QTemporaryDir otherVolume(QStringLiteral("/dev/shm/ssops-XXXXXX"));
    for (const bool acrossVolumes : {false, true}) {
        SCOPED_TRACE(acrossVolumes);
        const QByteArray into = acrossVolumes ? Native(otherVolume.path()) : Native(fx.Path("alt"));
        QMimeData mime;
        mime.setUrls({SsNativePathToUrl(Native(fx.Path("Mit Links")))});
        TSsFolderDropTarget target(into);
        int32_t effect = Ole::DROPEFFECT_COPY | Ole::DROPEFFECT_MOVE;
        const int32_t keys = acrossVolumes ? Ole::MK_SHIFT : Ole::MK_CONTROL;
        ASSERT_EQ(target.Drop(&mime, keys, effect), Ole::S_OK);
        const QByteArray copy = into + "/Mit Links";
        EXPECT_EQ(LinkTarget(copy + "/b-link.txt"), "a.txt");
        EXPECT_EQ(LinkTarget(copy + "/c-ordner"), "../Bilder");
        EXPECT_EQ(LinkTarget(copy + "/d-verwaist"), "/nirgends/da");
        EXPECT_EQ(QFileInfo(QFile::decodeName(copy + "/a.txt")).size(), 4);
        EXPECT_EQ(QFileInfo(QFile::decodeName(copy + "/Unter/z.txt")).size(), 2);
        if (acrossVolumes) {
            EXPECT_FALSE(Exists(Native(fx.Path("Mit Links"))));  // moved
            EXPECT_EQ(effect, Ole::DROPEFFECT_MOVE);
        }
    }
}

// Pipes and sockets inside a folder are skipped: everything else is copied
// or moved, the paste answers that not all was done, and the report names
// what was skipped, which a move leaves at its place.
TEST(SsFolderDropTarget, PipesAndSocketsAreSkippedAndNamed)
{
    ShellFixture fx;
    MakeFolderWithLinks(fx);
    const QByteArray source = Native(fx.Path("Mit Links"));
    ASSERT_EQ(::mkfifo((source + "/c-pipe").constData(), 0600), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray sockPath = source + "/Unter/s-sock";
    ASSERT_LT(size_t(sockPath.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, sockPath.constData(), size_t(sockPath.size()));
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(sock);
    const QStringList skipped = {QFile::decodeName(source + "/Unter/s-sock"), QFile::decodeName(source + "/c-pipe")};
    QTemporaryDir otherVolume(QStringLiteral("/dev/shm/ssops-XXXXXX"));
    for (const bool move : {false, true}) {
        SCOPED_TRACE(move);
        const QString into = move ? otherVolume.path() : fx.Path("alt");
        QMimeData mime;
        mime.setUrls({SsNativePathToUrl(source)});
        TSsFolderDropTarget target(Native(into));
        int32_t effect = Ole::DROPEFFECT_COPY | Ole::DROPEFFECT_MOVE;
        EXPECT_EQ(target.Drop(&mime, move ? Ole::MK_SHIFT : Ole::MK_CONTROL, effect), Ole::E_FAIL);
        EXPECT_EQ(Listing(into + "/Mit Links"), QStringList({"Unter", "a.txt", "b-link.txt", "c-ordner", "d-verwaist"}));
        EXPECT_EQ(Listing(into + "/Mit Links/Unter"), QStringList({"z.txt"}));
        EXPECT_EQ(Listing(into), QStringList({"Mit Links"}));  // no partial copy
        QStringList named;
        for (const QByteArray& p : target.Report().Skipped)
            named << QFile::decodeName(p);
        named.sort();
        EXPECT_EQ(named, skipped);
        EXPECT_TRUE(target.Report().Failed.isEmpty());
        EXPECT_TRUE(target.Report().Left.isEmpty());
        EXPECT_TRUE(SsReportText(target.Report())
                        .startsWith("Not copied, as pipes, sockets and devices cannot be copied:\n"));
    }
    // The move left the pipe and the socket, and the folders holding them.
    EXPECT_EQ(Listing(fx.Path("Mit Links")), QStringList({"Unter", "c-pipe"}));
    EXPECT_EQ(Listing(fx.Path("Mit Links/Unter")), QStringList({"s-sock"}));
}

// A dangling link and a name that is no UTF-8 are copied, renamed, opened and
// deleted by their bytes.
TEST(SsShellListView, ActsOnDanglingLinksAndNamesThatAreNoUtf8)
{
    ShellListFixture<TSsShellListView> fx;
    const QByteArray dir = Native(fx.Path());
    const QByteArray odd = dir + "/bad\xff\xfe.txt";
    const int fd = ::open(odd.constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "12345", 5), 5);
    ::close(fd);
    ASSERT_EQ(::symlink("/nirgends/da", (dir + "/verwaist").constData()), 0);
    fx.list.show();
    fx.list.HandleNeeded();
    fx.list.Options |= loAllowRename;
    PSsNamespaceFolder folder = TSsNamespaceFolder::Desktop()->BindToObject(*SsPathToIdList(fx.Path()));
    ASSERT_TRUE(folder);
    for (const QByteArray& name : {QByteArray("bad\xff\xfe.txt"), QByteArray("verwaist")}) {
        SCOPED_TRACE(name.toStdString());
        const TSsIdList rel({name});
        const TSsIdList* lists[] = {&rel};
        const auto menuOf = [&] { return folder->GetUIObjectOf(1, lists); };
        const auto invoke = [&](int32_t verb) { return RunVerb(*menuOf(), verb, fx.list, CMF_CANRENAME); };
        ASSERT_NE(menuOf(), nullptr);
        // Copy and paste into another folder.
        ASSERT_EQ(invoke(cvCopy), Ole::S_OK);
        const TSsIdList alt({QByteArray("alt")});
        const TSsIdList* altLists[] = {&alt};
        auto altMenu = folder->GetUIObjectOf(1, altLists);
        QMenu qmenu;
        altMenu->QueryContextMenu(qmenu, 1, 0x7FFF, CMF_NORMAL);
        TSsCMInvokeCommandInfo paste;
        paste.Verb = cvPaste;
        EXPECT_EQ(altMenu->InvokeCommand(paste), Ole::S_OK);
        EXPECT_TRUE(Exists(dir + "/alt/" + name));
        // Opened by a URL that names its bytes.
        const QUrl url = SsNativePathToUrl(dir + "/" + name);
        EXPECT_EQ(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()), dir + "/" + name);
        // Renamed, and back.
        int error = -1;
        PSsIdList renamed = folder->SetNameOf(rel, QStringLiteral("umbenannt"), &error);
        ASSERT_NE(renamed, nullptr);
        EXPECT_EQ(error, 0);
        EXPECT_TRUE(Exists(dir + "/umbenannt"));
        EXPECT_FALSE(Exists(dir + "/" + name));
        ASSERT_EQ(::rename((dir + "/umbenannt").constData(), (dir + "/" + name).constData()), 0);
        // Deleted to the trash.
        EXPECT_EQ(invoke(cvDelete), Ole::S_OK);
        EXPECT_FALSE(Exists(dir + "/" + name));
        const QByteArray trash = Native(qEnvironmentVariable("XDG_DATA_HOME")) + "/Trash";
        EXPECT_TRUE(Exists(trash + "/files/" + name));
        char note[4096] = {};
        const int noteFd = ::open((trash + "/info/" + name + ".trashinfo").constData(), O_RDONLY);
        ASSERT_GE(noteFd, 0);
        EXPECT_GT(::read(noteFd, note, sizeof note - 1), 0);
        ::close(noteFd);
        EXPECT_TRUE(QByteArray(note).contains("Path=" + (dir + "/" + name).toPercentEncoding("/")));
        SsRemoveEntry(trash + "/files/" + name);
        SsRemoveEntry(trash + "/info/" + name + ".trashinfo");
    }
    EXPECT_EQ(fx.list.findChild<QMessageBox*>(), nullptr);
}

namespace {
// A file system that has neither no-replace renames nor hard links (as FUSE
// ones such as sshfs), for the life of the object.
struct WithoutNoReplaceRenames {
    WithoutNoReplaceRenames()
    {
        SsRenameAt2 = [](int, const char*, int, const char*, unsigned) {
            errno = EINVAL;
            return -1;
        };
        SsLinkAt = [](int, const char*, int, const char*, int) {
            errno = EPERM;
            return -1;
        };
    }
    ~WithoutNoReplaceRenames()
    {
        SsRenameAt2 = ::renameat2;
        SsLinkAt = ::linkat;
    }
};
}  // namespace

// A rename never replaces an entry, also one that another program makes while
// the rename runs; also on a file system without no-replace renames and hard
// links.
TEST(SsNamespace, RenameNeverReplaces)
{
    for (const bool plain : {false, true}) {
        SCOPED_TRACE(plain ? "without no-replace renames and hard links" : "with no-replace renames");
        std::optional<WithoutNoReplaceRenames> fileSystem;
        if (plain)
            fileSystem.emplace();
        ShellFixture fx;
        PSsNamespaceFolder folder = TSsNamespaceFolder::Desktop()->BindToObject(*SsPathToIdList(fx.Path()));
        ASSERT_TRUE(folder);
        const QByteArray dir = Native(fx.Path());
        ASSERT_EQ(::symlink("/nirgends", (dir + "/verwaist").constData()), 0);
        for (const char* taken : {"leer", "b.jpg", "verwaist"}) {
            int error = 0;
            EXPECT_EQ(folder->SetNameOf(TSsIdList({QByteArray("c.txt")}), QString::fromLatin1(taken), &error),
                      nullptr);
            EXPECT_EQ(error, EEXIST) << taken;
            EXPECT_TRUE(Exists(dir + "/c.txt"));
        }
        EXPECT_EQ(QFileInfo(fx.Path("b.jpg")).size(), 3000);
        EXPECT_TRUE(QFileInfo(fx.Path("leer")).isDir());
        EXPECT_EQ(LinkTarget(dir + "/verwaist"), "/nirgends");

        // Another program keeps making and removing the name: whenever the rename
        // succeeds, the entry is ours and nothing of the other's is replaced.
        std::atomic<bool> stop = false;
        const QByteArray theirs = dir + "/theirs", name = dir + "/ziel";
        fx.Write("theirs", 9, 2020);
        std::thread other([&] {
            while (!stop)
                if (::link(theirs.constData(), name.constData()) == 0)
                    ::unlink(name.constData());
        });
        // On a busy machine the other thread may hold the name at every one of
        // a fixed number of tries: go on until some renames went through.
        int done = 0;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        for (int i = 0; i < 2000 || (done < 5 && std::chrono::steady_clock::now() < until); ++i) {
            PSsIdList rel = folder->SetNameOf(TSsIdList({QByteArray("c.txt")}), QStringLiteral("ziel"));
            if (!rel)
                continue;
            ++done;
            ASSERT_EQ(QFileInfo(QFile::decodeName(name)).size(), 0);
            ASSERT_EQ(::rename(name.constData(), (dir + "/c.txt").constData()), 0);
        }
        stop = true;
        other.join();
        EXPECT_GT(done, 0);
        EXPECT_TRUE(Exists(dir + "/c.txt"));
        EXPECT_EQ(ReadFile(theirs), QByteArray(9, 'x'));
    }
}

// On a file system without no-replace renames and hard links, files, links
// and folders are copied, moved and put in the trash, and a name that is
// taken stays as it was.
TEST(SsNamespace, CopiesAndMovesWithoutNoReplaceRenames)
{
    const WithoutNoReplaceRenames fileSystem;
    ShellFixture fx;
    MakeFolderWithLinks(fx);
    const QByteArray dir = Native(fx.Path());
    EXPECT_EQ(SsCopyEntry(dir + "/b.jpg", dir + "/alt/b.jpg"), 0);
    EXPECT_EQ(QFileInfo(fx.Path("alt/b.jpg")).size(), 3000);
    EXPECT_EQ(SsCopyEntry(dir + "/Mit Links", dir + "/alt/Mit Links"), 0);
    EXPECT_EQ(ReadFile(dir + "/alt/Mit Links/a.txt"), "xxxx");
    EXPECT_EQ(LinkTarget(dir + "/alt/Mit Links/b-link.txt"), "a.txt");
    EXPECT_EQ(LinkTarget(dir + "/alt/Mit Links/d-verwaist"), "/nirgends/da");
    EXPECT_EQ(SsMoveEntry(dir + "/A.png", dir + "/alt/A.png"), 0);
    EXPECT_EQ(SsMoveEntry(dir + "/Mit Links/b-link.txt", dir + "/alt/b-link.txt"), 0);
    EXPECT_EQ(SsMoveEntry(dir + "/Bilder", dir + "/alt/Bilder"), 0);
    EXPECT_EQ(Listing(fx.Path()), QStringList({".hidden.jpg", ".versteckt", "Mit Links", "alt", "b.jpg", "c.txt", "leer"}));
    EXPECT_EQ(Listing(fx.Path("alt")), QStringList({"A.png", "Bilder", "Mit Links", "b-link.txt", "b.jpg"}));
    EXPECT_TRUE(QFileInfo(fx.Path("alt/Bilder/Urlaub/Strand")).isDir());
    // Taken names.
    EXPECT_EQ(SsCopyEntry(dir + "/c.txt", dir + "/b.jpg"), EEXIST);
    EXPECT_EQ(SsMoveEntry(dir + "/c.txt", dir + "/b.jpg"), EEXIST);
    EXPECT_EQ(SsMoveEntry(dir + "/leer", dir + "/alt/Bilder"), EEXIST);
    EXPECT_EQ(QFileInfo(fx.Path("b.jpg")).size(), 3000);
    EXPECT_TRUE(Exists(dir + "/c.txt"));
    EXPECT_TRUE(QFileInfo(fx.Path("alt/Bilder/x.jpg")).isFile());
    EXPECT_EQ(Listing(fx.Path("alt")), QStringList({"A.png", "Bilder", "Mit Links", "b-link.txt", "b.jpg"}));
    // The home trash lies on the same file system.
    const QByteArray trash = Native(qEnvironmentVariable("XDG_DATA_HOME")) + "/Trash";
    ASSERT_TRUE(QDir().mkpath(QFile::decodeName(trash)));
    ASSERT_EQ(DeviceOf(trash), DeviceOf(dir));
    ASSERT_EQ(SsMoveToTrash(dir + "/c.txt"), 0);
    EXPECT_FALSE(Exists(dir + "/c.txt"));
    const QStringList notes = Listing(QFile::decodeName(trash + "/info")).filter(QRegularExpression("^c(\\.\\d+)?\\.txt"));
    ASSERT_FALSE(notes.isEmpty());
    for (const QString& note : notes) {
        const QByteArray entry = Native(note).chopped(int(strlen(".trashinfo")));
        if (!ReadFile(trash + "/info/" + Native(note)).contains("Path=" + dir.toPercentEncoding("/") + "/c.txt\n"))
            continue;
        EXPECT_TRUE(Exists(trash + "/files/" + entry));
        SsRemoveEntry(trash + "/files/" + entry);
        SsRemoveEntry(trash + "/info/" + Native(note));
    }
}

// A refused rename, a paste into the folder itself and a name the file
// system refuses each say why.
TEST(SsShellTreeView, RefusalsSayWhy)
{
    TreeFixture fx;
    QTreeWidgetItem* alt = fx.Select(Child(fx.Root(), "alt"));
    struct Case {
        QString NewName;
        const char* Says;
    };
    const Case cases[] = {
        {"leer", "This name is already taken:"},
        {"a/b", "A name cannot contain \"/\" and cannot be \".\" or \"..\":"},
        {"..", "A name cannot contain \"/\" and cannot be \".\" or \"..\":"},
        {QString(300, 'x'), "The file system does not accept this name:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Says);
        fx.tree.editItem(alt);
        auto* editor = fx.tree.findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr);
        editor->setText(c.NewName);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(editor, &enter);
        const QString text = TakeMessage(fx.tree);
        EXPECT_TRUE(text.startsWith(QString::fromLatin1(c.Says))) << text.toStdString();
        EXPECT_TRUE(text.endsWith(c.NewName));
        EXPECT_EQ(alt->text(0), "alt");
        EXPECT_TRUE(QFileInfo(fx.Path("alt")).isDir());
    }
    // Pasting a folder into itself or below it.
    fx.Mkdir("alt/innen");
    for (const char* into : {"alt", "alt/innen"}) {
        fx.Clipboard({Native(fx.Path("alt"))}, false);
        QTreeWidgetItem* node = Child(fx.Root(), "alt");
        if (QString(into) != "alt") {
            node->setExpanded(true);
            node = Child(node, "innen");
        }
        fx.Select(node);
        Choose paste("&Paste");
        ContextMenu(*fx.tree.viewport());
        EXPECT_TRUE(TakeMessage(fx.tree).startsWith(
            "A folder cannot be pasted into itself or into a folder inside it:"))
            << into;
    }
    EXPECT_EQ(QDir(fx.Path("alt")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList({"innen"}));
}

// A file written to while it is copied by a move across file systems stays
// at its old place: the copy has what was read before the write, and only
// the source holds what was written. (Another program's write between two
// reads is staged with the system's permission events, which only root may
// ask for.)
TEST(SsNamespace, MoveKeepsAFileWrittenToWhileItIsCopied)
{
    const TwoVolumes volumes;
    SKIP_UNLESS_APART(volumes);
    const QByteArray src = volumes.There.Path + "/Quelle", dst = volumes.Here.Path + "/Quelle";
    const QByteArray file = src + "/gross.bin";
    ASSERT_EQ(::mkdir(src.constData(), 0700), 0);
    MakeFile(file, QByteArray(1024 * 1024, 'a'));
    const timespec old[2] = {{1577836800, 0}, {1577836800, 0}};  // a write now changes the time
    ASSERT_EQ(::utimensat(AT_FDCWD, file.constData(), old, 0), 0);
    const int fan = ::fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC, O_RDWR);
    if (fan < 0)
        GTEST_SKIP() << "no permission events for this user: " << std::strerror(errno);
    if (::fanotify_mark(fan, FAN_MARK_ADD, FAN_ACCESS_PERM, AT_FDCWD, file.constData()) != 0) {
        const int error = errno;
        ::close(fan);
        GTEST_SKIP() << "no permission events on this system: " << std::strerror(error);
    }
    std::atomic<bool> done{false};
    int reads = 0;
    std::thread writer([&] {
        // Each read of the file waits for this answer; before the second one
        // the file is written to where the first one read.
        pollfd p{fan, POLLIN, 0};
        while (!done) {
            if (::poll(&p, 1, 50) <= 0)
                continue;
            alignas(fanotify_event_metadata) char buffer[4096];
            ssize_t n = ::read(fan, buffer, sizeof buffer);
            for (auto* e = reinterpret_cast<fanotify_event_metadata*>(buffer); FAN_EVENT_OK(e, n);
                 e = FAN_EVENT_NEXT(e, n)) {
                if (e->fd < 0)
                    continue;
                if (++reads == 2) {
                    EXPECT_EQ(::pwrite(e->fd, "NEU", 3, 0), 3);
                }
                const fanotify_response allow{e->fd, FAN_ALLOW};
                EXPECT_EQ(::write(fan, &allow, sizeof allow), ssize_t(sizeof allow));
                ::close(e->fd);
            }
        }
    });
    TSsOperationReport report;
    const int result = SsMoveEntry(src, dst, &report);
    done = true;
    writer.join();
    ::close(fan);
    ASSERT_GE(reads, 2);
    EXPECT_EQ(result, ESTALE);
    EXPECT_EQ(ReadFile(file).left(4), "NEUa");
    EXPECT_EQ(ReadFile(dst + "/gross.bin"), QByteArray(1024 * 1024, 'a'));
    EXPECT_EQ(report.Left, (QList<QPair<QByteArray, int>>{{file, ESTALE}}));
}

// An ordinary user copies read-only folders: the copy keeps their modes and
// nothing is left beside it; a copy that fails inside them leaves nothing.
TEST(SsNamespace, CopiesReadOnlyFoldersAndLeavesNothingOnFailure)
{
    const Scratch scratch(QFile::encodeName(QDir::tempPath()));
    ASSERT_FALSE(scratch.Path.isEmpty());
    const QByteArray src = scratch.Path + "/Quelle", dst = scratch.Path + "/Ziel";
    std::string why;
    const bool ran = AsOrdinaryUser(
        [&] {
            ASSERT_EQ(::mkdir(src.constData(), 0700), 0);
            ASSERT_EQ(::mkdir(dst.constData(), 0700), 0);
            for (const QByteArray name : {"Nur lesen", "Kaputt"}) {
                const QByteArray top = src + '/' + name;
                ASSERT_EQ(::mkdir(top.constData(), 0700), 0);
                ASSERT_EQ(::mkdir((top + "/Unter").constData(), 0700), 0);
                MakeFile(top + "/a.txt", "aaa", 0444);
                MakeFile(top + "/Unter/b.txt", "bb", 0444);
                if (name == "Kaputt")
                    MakeFile(top + "/Unter/zu.txt", "geheim", 0);
                ASSERT_EQ(::chmod((top + "/Unter").constData(), 0555), 0);
                ASSERT_EQ(::chmod(top.constData(), 0555), 0);
            }
            ASSERT_EQ(SsCopyEntry(src + "/Nur lesen", dst + "/Nur lesen"), 0);
            EXPECT_EQ(ModeOf(dst + "/Nur lesen"), 0555u);
            EXPECT_EQ(ModeOf(dst + "/Nur lesen/Unter"), 0555u);
            EXPECT_EQ(ModeOf(dst + "/Nur lesen/a.txt"), 0444u);
            EXPECT_EQ(ReadFile(dst + "/Nur lesen/Unter/b.txt"), "bb");
            EXPECT_EQ(Listing(QFile::decodeName(dst)), QStringList({"Nur lesen"}));
            EXPECT_EQ(SsCopyEntry(src + "/Kaputt", dst + "/Kaputt"), EACCES);
            EXPECT_EQ(Listing(QFile::decodeName(dst)), QStringList({"Nur lesen"}));
        },
        why);
    if (!ran)
        GTEST_SKIP() << why;
}

// Another program adds files to a folder while it is moved to another file
// system: the move removes only what it copied, the added files stay where
// they were written, and the message says so.
TEST(SsContextMenu, MoveAcrossFileSystemsRemovesOnlyWhatWasCopied)
{
    const TwoVolumes volumes;
    SKIP_UNLESS_APART(volumes);
    const QByteArray src = volumes.There.Path + "/Quelle", dst = volumes.Here.Path + "/Quelle";
    ASSERT_EQ(::mkdir(src.constData(), 0700), 0);
    ASSERT_EQ(::mkdir((src + "/a").constData(), 0700), 0);
    for (const QByteArray name : {"a/1.txt", "a/2.txt", "a/3.txt", "b.txt"})
        MakeFile(src + '/' + name, name);
    int added = 0;
    const Hook writer([&](int, const QByteArray&) {
        for (const QByteArray folder : {"", "/a"})
            if (added < 124)
                MakeFile(src + folder + "/neu-" + QByteArray::number(++added) + ".txt", "neu");
    });
    auto data = std::make_unique<QMimeData>();
    data->setUrls({SsNativePathToUrl(src)});
    data->setData("x-special/gnome-copied-files", "cut\n" + SsNativePathToUrl(src).toEncoded());
    QApplication::clipboard()->setMimeData(data.release());
    TSsContextMenu menu({volumes.Here.Path}, {SFGAO_FOLDER | SFGAO_DROPTARGET | SFGAO_FILESYSTEM});
    QWidget window;
    EXPECT_EQ(RunVerb(menu, cvPaste, window), Ole::E_FAIL);
    SsEntryHook = nullptr;

    // Every file written is in the copy or at its old place.
    int found = 0;
    for (const QByteArray& top : {src, dst})
        for (const QByteArray folder : {"", "/a"})
            found += int(Listing(QFile::decodeName(top + folder)).filter(QRegularExpression("^neu-")).size());
    EXPECT_GT(added, 0);
    EXPECT_EQ(found, added);
    for (const QByteArray name : {"a/1.txt", "a/2.txt", "a/3.txt", "b.txt"}) {
        EXPECT_EQ(ReadFile(dst + '/' + name), name);
        EXPECT_FALSE(Exists(src + '/' + name));
    }
    const QString message = TakeMessage(window);
    EXPECT_TRUE(message.startsWith("Copied, but these stay at their old place:\n" + QFile::decodeName(src)))
        << message.toStdString();
    EXPECT_TRUE(message.contains(": entries were added to it during the move")) << message.toStdString();
    EXPECT_FALSE(QApplication::clipboard()->mimeData()->urls().isEmpty());  // not all of it moved
}

// A move across file systems of a folder holding a write-protected folder:
// the copy is whole, the write-protected folder stays with what it holds,
// and the report names it and why.
TEST(SsFolderDropTarget, MoveLeavesWriteProtectedFoldersAndSaysWhy)
{
    const TwoVolumes volumes;
    SKIP_UNLESS_APART(volumes);
    const QByteArray src = volumes.There.Path + "/Quelle", dst = volumes.Here.Path + "/Quelle";
    std::string why;
    const bool ran = AsOrdinaryUser(
        [&] {
            ASSERT_EQ(::mkdir(src.constData(), 0700), 0);
            ASSERT_EQ(::mkdir((src + "/Nur lesen").constData(), 0700), 0);
            MakeFile(src + "/a.txt", "aaa");
            MakeFile(src + "/Nur lesen/b.txt", "bb");
            ASSERT_EQ(::chmod((src + "/Nur lesen").constData(), 0555), 0);
            QMimeData mime;
            mime.setUrls({SsNativePathToUrl(src)});
            TSsFolderDropTarget target(volumes.Here.Path);
            int32_t effect = Ole::DROPEFFECT_COPY | Ole::DROPEFFECT_MOVE;
            EXPECT_EQ(target.Drop(&mime, Ole::MK_SHIFT, effect), Ole::E_FAIL);
            EXPECT_EQ(effect, Ole::DROPEFFECT_MOVE);
            EXPECT_EQ(ReadFile(dst + "/a.txt"), "aaa");
            EXPECT_EQ(ReadFile(dst + "/Nur lesen/b.txt"), "bb");
            EXPECT_EQ(ReadFile(src + "/Nur lesen/b.txt"), "bb");
            EXPECT_FALSE(Exists(src + "/a.txt"));
            const TSsOperationReport& report = target.Report();
            EXPECT_TRUE(report.Failed.isEmpty());
            EXPECT_TRUE(report.Skipped.isEmpty());
            EXPECT_EQ(SsReportText(report), "Copied, but these stay at their old place:\n" + QFile::decodeName(src) +
                                                "/Nur lesen: the folder is write-protected");
        },
        why);
    if (!ran)
        GTEST_SKIP() << why;
}

// Only paths of this machine's files count: a URL whose path holds NUL, one
// of another host and a relative one name none, and a drop of them does nothing.
TEST(SsNamespace, DroppedUrlsNameOnlyLocalFiles)
{
    struct Case {
        const char* Url;
        QByteArray Path;  // empty: none
    };
    const Case cases[] = {
        {"file:///tmp/Bilder%00/gibt-es-nicht.jpg", ""},
        {"file:///tmp/Bilder/a.jpg%00", ""},
        {"file://server/tmp/Bilder", ""},
        {"file:Bilder/a.jpg", ""},
        {"file://localhost/tmp/Bilder/a%20b.jpg", "/tmp/Bilder/a b.jpg"},
        {"file://LOCALHOST/tmp/x.jpg", "/tmp/x.jpg"},
        {"file:///tmp/bad%FF.jpg", "/tmp/bad\xff.jpg"},
    };
    for (const Case& c : cases) {
        QMimeData mime;
        mime.setData("text/uri-list", QByteArray(c.Url) + "\r\n");
        EXPECT_EQ(SsNativePathsOf(&mime), c.Path.isEmpty() ? QList<QByteArray>() : QList<QByteArray>{c.Path})
            << c.Url;
    }
    // Dropped as a move, the folder before the NUL stays where it is.
    ShellFixture fx;
    QMimeData mime;
    mime.setData("text/uri-list",
                 SsNativePathToUrl(Native(fx.Path("Bilder"))).toEncoded() + "%00/gibt-es-nicht.jpg\r\n");
    TSsFolderDropTarget target(Native(fx.Path("alt")));
    int32_t effect = Ole::DROPEFFECT_MOVE;
    EXPECT_EQ(target.Drop(&mime, Ole::MK_SHIFT, effect), Ole::S_OK);
    EXPECT_EQ(effect, Ole::DROPEFFECT_NONE);
    EXPECT_TRUE(QFileInfo(fx.Path("Bilder/x.jpg")).isFile());
    EXPECT_EQ(Listing(fx.Path("alt")), QStringList());
}

// A folder swapped for a link between its look and its opening is never
// followed: what the link leads to is neither copied nor emptied.
TEST(SsNamespace, CopyAndRemoveNeverFollowASwappedFolder)
{
    ShellFixture fx;
    fx.Mkdir("Quelle/innen");
    fx.Write("Quelle/innen/eigen.txt", 3, 2020);
    fx.Mkdir("Fremd");
    fx.Write("Fremd/privat.txt", 7, 2020);
    const QByteArray quelle = Native(fx.Path("Quelle")), away = Native(fx.Path("innen-weg"));
    const auto swap = [&](int, const QByteArray& name) {
        if (name == "innen" && !Exists(away)) {
            ASSERT_EQ(::rename((quelle + "/innen").constData(), away.constData()), 0);
            ASSERT_EQ(::symlink(Native(fx.Path("Fremd")).constData(), (quelle + "/innen").constData()), 0);
        }
    };
    {
        const Hook hook(swap);
        EXPECT_NE(SsCopyEntry(quelle, Native(fx.Path("alt/Quelle"))), 0);
        EXPECT_EQ(Listing(fx.Path("alt")), QStringList());
    }
    ASSERT_EQ(::unlink((quelle + "/innen").constData()), 0);
    ASSERT_EQ(::rename(away.constData(), (quelle + "/innen").constData()), 0);
    {
        const Hook hook(swap);
        EXPECT_EQ(SsRemoveEntry(quelle), 0);
    }
    EXPECT_FALSE(Exists(quelle));
    EXPECT_EQ(Listing(fx.Path("Fremd")), QStringList({"privat.txt"}));
    EXPECT_EQ(Listing(fx.Path("innen-weg")), QStringList({"eigen.txt"}));
}

namespace {
// Lowers the number of handles the process may open for the life of the object.
struct HandleLimit {
    explicit HandleLimit(rlim_t more)
    {
        ::getrlimit(RLIMIT_NOFILE, &old);
        rlimit lower = old;
        lower.rlim_cur = rlim_t(QDir("/proc/self/fd").count()) + more;
        ::setrlimit(RLIMIT_NOFILE, &lower);
    }
    ~HandleLimit() { ::setrlimit(RLIMIT_NOFILE, &old); }
    rlimit old{};
};

const QByteArray DeepName = "ein-ordner-mit-langem-namen";  // 1,000 of them: far beyond a path's 4,096 bytes
constexpr int DeepLevels = 1000;

// Makes Levels folders one inside the other below Top and a file at the bottom.
void MakeDeepTree(const QByteArray& top)
{
    int fd = ::open(top.constData(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < DeepLevels && fd >= 0; ++i) {
        ASSERT_EQ(::mkdirat(fd, DeepName.constData(), 0700), 0);
        const int inner = ::openat(fd, DeepName.constData(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = inner;
    }
    ASSERT_GE(fd, 0);
    const int file = ::openat(fd, "boden.txt", O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_EQ(::write(file, "unten", 5), 5);
    ::close(file);
    ::close(fd);
}

// The depth of the folders below Top and the text of the file at the bottom.
std::pair<int, QByteArray> DeepTreeOf(const QByteArray& top)
{
    int depth = 0;
    int fd = ::open(top.constData(), O_RDONLY | O_DIRECTORY);
    for (int inner; fd >= 0 && (inner = ::openat(fd, DeepName.constData(), O_RDONLY | O_DIRECTORY)) >= 0; ++depth) {
        ::close(fd);
        fd = inner;
    }
    char text[16] = {};
    const int file = ::openat(fd, "boden.txt", O_RDONLY);
    const ssize_t n = file < 0 ? 0 : ::read(file, text, sizeof text);
    ::close(file);
    ::close(fd);
    return {depth, QByteArray(text, int(std::max<ssize_t>(n, 0)))};
}
}  // namespace

// A tree 1,000 folders deep, whose paths are far longer than a path may be,
// is copied and removed with few handles; a copy that fails at its bottom
// leaves nothing.
TEST(SsNamespace, CopiesAndRemovesTreesDeeperThanAPath)
{
    ShellFixture fx;
    const QByteArray src = Native(fx.Path("tief")), dst = Native(fx.Path("alt/tief"));
    fx.Mkdir("tief");
    MakeDeepTree(src);
    ASSERT_EQ(DeepTreeOf(src), std::make_pair(DeepLevels, QByteArray("unten")));
    const HandleLimit limit(64);
    EXPECT_EQ(SsCopyEntry(src, dst), 0);
    EXPECT_EQ(DeepTreeOf(dst), std::make_pair(DeepLevels, QByteArray("unten")));
    {
        const Hook vanish([](int dirFd, const QByteArray& name) {
            if (name == "boden.txt")
                ::unlinkat(dirFd, "boden.txt", 0);
        });
        EXPECT_EQ(SsCopyEntry(src, Native(fx.Path("leer/tief"))), ENOENT);
        EXPECT_EQ(Listing(fx.Path("leer")), QStringList());
    }
    EXPECT_EQ(SsRemoveEntry(dst), 0);
    EXPECT_EQ(SsRemoveEntry(src), 0);
    EXPECT_EQ(Listing(fx.Path("alt")), QStringList());
    EXPECT_FALSE(Exists(src));
}

// Entries whose names are 246 to 255 bytes long go to the trash under a
// shortened name, cut between characters; the note keeps the original path,
// and a second entry of the same name gets a name of its own.
TEST(SsNamespace, LongNamesGoToTheTrash)
{
    ShellFixture fx;
    const QByteArray dir = Native(fx.Path());
    const QByteArray trash = Native(qEnvironmentVariable("XDG_DATA_HOME")) + "/Trash";
    const QByteArray umlauts = QString(125, QChar(0xE4)).toUtf8();  // 250 bytes
    const QByteArray names[] = {QByteArray(246, 'a'), QByteArray(251, 'b') + ".jpg", QByteArray(255, 'c'),
                                umlauts + ".jpg", umlauts + "x.jpg"};
    for (const QByteArray& name : names)
        for (int twice = 0; twice < 2; ++twice) {
            MakeFile(dir + '/' + name, name.left(4));
            ASSERT_EQ(SsMoveToTrash(dir + '/' + name), 0) << name.size();
            EXPECT_FALSE(Exists(dir + '/' + name));
        }
    QMap<QByteArray, int> trashed;  // original path -> entries
    for (const QString& note : Listing(QFile::decodeName(trash + "/info"))) {
        const QByteArray text = ReadFile(trash + "/info/" + QFile::encodeName(note));
        const qsizetype at = text.indexOf("\nPath=") + 6;
        const QByteArray path = QByteArray::fromPercentEncoding(text.mid(at, text.indexOf('\n', at) - at));
        if (!path.startsWith(dir + '/'))
            continue;
        const QByteArray entry = QFile::encodeName(note).chopped(int(strlen(".trashinfo")));
        EXPECT_EQ(QString::fromUtf8(entry).toUtf8(), entry);  // no character cut
        EXPECT_EQ(ReadFile(trash + "/files/" + entry), path.mid(path.lastIndexOf('/') + 1).left(4));
        ++trashed[path];
        SsRemoveEntry(trash + "/files/" + entry);
        SsRemoveEntry(trash + "/info/" + QFile::encodeName(note));
    }
    for (const QByteArray& name : names)
        EXPECT_EQ(trashed.value(dir + '/' + name), 2) << name.size();
    EXPECT_EQ(trashed.size(), int(std::size(names)));
}

// A copy of an entry into its own folder takes a free name that the file
// system accepts, however long the name: its stem is cut, never within a
// character, and its extension stays.
TEST(SsNamespace, CopiesOfLongNamesGetFreeNamesThatFit)
{
    ShellFixture fx;
    const QByteArray dir = Native(fx.Path());
    const QByteArray umlauts = QString(125, QChar(0xE4)).toUtf8();  // 250 bytes
    const QByteArray names[] = {QByteArray(255, 'a'), QByteArray(251, 'b') + ".jpg", umlauts + ".jpg",
                                umlauts + "xyzab"};
    for (const QByteArray& name : names) {
        SCOPED_TRACE(name.size());
        MakeFile(dir + '/' + name, "1234");
        for (int copy = 2; copy <= 3; ++copy) {
            const QByteArray free = SsFreeFileName(dir, name);
            EXPECT_LE(free.size(), NAME_MAX);
            EXPECT_EQ(QString::fromUtf8(free).toUtf8(), free);  // no character cut
            EXPECT_TRUE(free.contains(" (" + QByteArray::number(copy) + ")"));
            EXPECT_EQ(free.endsWith(".jpg"), name.endsWith(".jpg"));
            EXPECT_EQ(SsCopyEntry(dir + '/' + name, dir + '/' + free, nullptr), 0);
        }
    }
    EXPECT_EQ(Listing(fx.Path()).filter(" (3)").size(), int(std::size(names)));
}

// A long name that is no UTF-8 is cut as a long name is, not down to nothing:
// its copy's free name and its name in the trash keep nearly all of it.
TEST(SsNamespace, LongNamesThatAreNoUtf8KeepTheirStem)
{
    ShellFixture fx;
    const QByteArray dir = Native(fx.Path());
    const QByteArray name(NAME_MAX, '\x80');
    MakeFile(dir + '/' + name, "1234");
    const QByteArray free = SsFreeFileName(dir, name);
    EXPECT_EQ(free, name.left(NAME_MAX - 4) + " (2)");
    ASSERT_EQ(SsMoveToTrash(dir + '/' + name), 0);
    const QByteArray trash = Native(qEnvironmentVariable("XDG_DATA_HOME")) + "/Trash";
    EXPECT_TRUE(Exists(trash + "/files/" + name.left(NAME_MAX - 10)));
    EXPECT_TRUE(Exists(trash + "/info/" + name.left(NAME_MAX - 10) + ".trashinfo"));
    SsRemoveEntry(trash + "/files/" + name.left(NAME_MAX - 10));
    SsRemoveEntry(trash + "/info/" + name.left(NAME_MAX - 10) + ".trashinfo");
}

// A drop that leaves something undone says what, in the tree and in the list,
// as a paste does; a drop that does everything shows nothing.
TEST(SsShellTreeView, FailedDropsSayWhatWasNotDone)
{
    for (const bool inList : {false, true}) {
        SCOPED_TRACE(inList);
        TreeFixture fx;
        ShellListFixture<TSsShellListView> lx;
        QWidget* view = &fx.tree;
        if (inList) {
            lx.list.show();
            lx.list.HandleNeeded();
            view = &lx.list;
        }
        ShellFixture& files = inList ? static_cast<ShellFixture&>(lx) : fx;
        files.Mkdir("Rohr");
        files.Write("Rohr/a.txt", 4, 2020);
        ASSERT_EQ(::mkfifo(Native(files.Path("Rohr/p")).constData(), 0600), 0);
        const auto dropOnAlt = [&](const QString& path) {
            QMimeData mime;
            mime.setUrls({QUrl::fromLocalFile(path)});
            QWidget* vp;
            QPoint at;
            if (inList) {
                QAbstractItemView* v = lx.list.ActiveView();
                const QModelIndex alt = v->model()->match(v->model()->index(0, 0), Qt::DisplayRole, "alt").value(0);
                EXPECT_TRUE(WaitFor([&] { return v->visualRect(alt).isValid(); }));
                vp = v->viewport();
                at = v->visualRect(alt).center();
            } else {
                vp = fx.tree.viewport();
                at = fx.tree.visualItemRect(Child(fx.Root(), "alt")).center();
            }
            QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::ControlModifier);
            QApplication::sendEvent(vp, &enter);
            QDragMoveEvent move(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::ControlModifier);
            QApplication::sendEvent(vp, &move);
            QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::ControlModifier);
            QApplication::sendEvent(vp, &drop);
        };
        dropOnAlt(files.Path("b.jpg"));
        EXPECT_TRUE(QFile::exists(files.Path("alt/b.jpg")));
        EXPECT_EQ(view->findChild<QMessageBox*>(), nullptr);
        dropOnAlt(files.Path("Rohr"));
        EXPECT_TRUE(QFile::exists(files.Path("alt/Rohr/a.txt")));
        const QString text = TakeMessage(*view);
        EXPECT_TRUE(text.startsWith("Not copied, as pipes, sockets and devices cannot be copied:\n")) << text.toStdString();
        EXPECT_TRUE(text.contains(QDir::toNativeSeparators(files.Path("Rohr/p")))) << text.toStdString();
    }
}

// A cut and paste across file systems of a folder deeper than a path can
// name, whose file was just written: the file's content is compared with its
// copy's, reached through folder handles, and the whole source goes.
TEST(SsNamespace, MoveOfADeepFolderWithAFileJustWrittenRemovesTheSource)
{
    const TwoVolumes volumes;
    SKIP_UNLESS_APART(volumes);
    const QByteArray level(120, 'o');
    constexpr int Depth = 40;
    const QByteArray src = volumes.There.Path + "/Tief", dst = volumes.Here.Path + "/Tief";
    ASSERT_EQ(::mkdir(src.constData(), 0700), 0);
    // Down the levels through handles; Made is called with the deepest.
    auto down = [&](const QByteArray& top, bool make, const std::function<void(int)>& made) {
        int fd = ::open(top.constData(), O_RDONLY | O_DIRECTORY);
        for (int i = 0; i < Depth && fd >= 0; ++i) {
            if (make) {
                ASSERT_EQ(::mkdirat(fd, level.constData(), 0700), 0);
            }
            const int next = ::openat(fd, level.constData(), O_RDONLY | O_DIRECTORY);
            ::close(fd);
            fd = next;
        }
        ASSERT_GE(fd, 0);
        made(fd);
        ::close(fd);
    };
    down(src, true, [](int fd) {
        const int file = ::openat(fd, "frisch.txt", O_WRONLY | O_CREAT | O_EXCL, 0644);
        EXPECT_EQ(::write(file, "eben geschrieben", 16), 16);
        ::close(file);
    });
    ASSERT_GT(src.size() + Depth * (level.size() + 1), PATH_MAX);
    TSsOperationReport report;
    EXPECT_EQ(SsMoveEntry(src, dst, &report), 0);
    EXPECT_TRUE(report.IsEmpty()) << report.Left.size() << " entries stay";
    EXPECT_FALSE(Exists(src));
    down(dst, false, [](int fd) {
        char text[32] = {};
        const int file = ::openat(fd, "frisch.txt", O_RDONLY);
        EXPECT_EQ(::read(file, text, sizeof text), 16);
        ::close(file);
        EXPECT_STREQ(text, "eben geschrieben");
    });
}

// A file rewritten during a move across file systems, with its size and
// times put back (as "touch -r", "cp -p" and tag editors do), stays at its
// old place and is named; the copy keeps what was read, and the file beside
// it moves. Whether its times are as new as the copy (content compared) or
// clearly older (the change time tells).
TEST(SsNamespace, MoveKeepsAFileRewrittenWithItsTimesPutBack)
{
    const TwoVolumes volumes;
    SKIP_UNLESS_APART(volumes);
    for (const bool aged : {false, true}) {
        SCOPED_TRACE(aged ? "written long before" : "written just before");
        const QByteArray name = aged ? "/Alt" : "/Neu";
        const QByteArray src = volumes.There.Path + name, dst = volumes.Here.Path + name;
        const QByteArray file = src + "/Alben/lied.mp3";
        ASSERT_EQ(::mkdir(src.constData(), 0700), 0);
        ASSERT_EQ(::mkdir((src + "/Alben").constData(), 0700), 0);
        MakeFile(file, "Titel: alt");
        MakeFile(src + "/andere.mp3", "Titel: ihr");
        const timespec old[2] = {{1577836800, 0}, {1577836800, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, file.constData(), old, 0), 0);
        if (aged)
            std::this_thread::sleep_for(std::chrono::milliseconds(3200));  // the change time too
        bool rewritten = false;
        // Once copied, before the move removes the folder's entries.
        const Hook tagEditor([&](int, const QByteArray& entry) {
            if (entry != "Alben" || !Exists(dst) || rewritten)
                return;
            struct stat before;
            ASSERT_EQ(::stat(file.constData(), &before), 0);
            const int fd = ::open(file.constData(), O_WRONLY);
            EXPECT_EQ(::pwrite(fd, "neu", 3, 7), 3);
            const timespec times[2] = {before.st_atim, before.st_mtim};
            EXPECT_EQ(::futimens(fd, times), 0);
            ::close(fd);
            rewritten = true;
        });
        TSsOperationReport report;
        EXPECT_EQ(SsMoveEntry(src, dst, &report), ESTALE);
        ASSERT_TRUE(rewritten);
        EXPECT_EQ(ReadFile(file), "Titel: neu");
        EXPECT_EQ(ReadFile(dst + "/Alben/lied.mp3"), "Titel: alt");
        EXPECT_EQ(ReadFile(dst + "/andere.mp3"), "Titel: ihr");
        EXPECT_FALSE(Exists(src + "/andere.mp3"));
        EXPECT_EQ(report.Left, (QList<QPair<QByteArray, int>>{{file, ESTALE}}));
    }
}

namespace {
// Notes the files and folders fsync is called for, by device and inode, and
// whether a sync came once Source was gone, while the object lives.
struct SyncRecorder {
    explicit SyncRecorder(const QByteArray& source)
    {
        State() = TState{{}, source, false};
        SsFsync = [](int fd) {
            struct stat st;
            if (::fstat(fd, &st) == 0)
                State().Synced.insert({st.st_dev, st.st_ino});
            State().AfterRemoval |= !Exists(State().Source);
            return ::fsync(fd);
        };
    }
    ~SyncRecorder() { SsFsync = ::fsync; }
    struct TState {
        std::set<std::pair<dev_t, ino_t>> Synced;
        QByteArray Source;
        bool AfterRemoval;
    };
    static TState& State()
    {
        static TState state;
        return state;
    }
    // Of Top with the files and folders below it, and the folder it is in:
    // what was not synced (links have nothing of their own to sync).
    static QStringList NotSynced(const QByteArray& top)
    {
        QStringList missing;
        auto check = [&](const QByteArray& path) {
            struct stat st;
            if (::lstat(path.constData(), &st) != 0 ||
                (!S_ISLNK(st.st_mode) && !State().Synced.count({st.st_dev, st.st_ino})))
                missing << QFile::decodeName(path);
        };
        check(top.left(top.lastIndexOf('/')));
        check(top);
        QDirIterator it(QFile::decodeName(top), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            check(QFile::encodeName(it.next()));
        return missing;
    }
};
}  // namespace

// A move to another drive writes each copied file and folder, and the folder
// the copy went into, through to the disk before the first entry of the
// source goes: a drive pulled right after the move keeps the pictures.
TEST(SsNamespace, MoveToAnotherDriveSyncsTheCopyBeforeTheSourceGoes)
{
    const TwoVolumes volumes;
    SKIP_UNLESS_APART(volumes);
    for (const bool folder : {true, false}) {
        SCOPED_TRACE(folder ? "a folder" : "a file");
        const QByteArray name = folder ? "/Album" : "/bild.jpg";
        const QByteArray src = volumes.Here.Path + name, dst = volumes.There.Path + name;
        if (folder) {
            ASSERT_EQ(::mkdir(src.constData(), 0755), 0);
            ASSERT_EQ(::mkdir((src + "/Sommer").constData(), 0755), 0);
            MakeFile(src + "/a.jpg", "a");
            MakeFile(src + "/Sommer/b.jpg", "b");
            ASSERT_EQ(::symlink("../a.jpg", (src + "/Sommer/c.jpg").constData()), 0);
        } else {
            MakeFile(src, "bild");
        }
        const SyncRecorder recorder(src);
        std::optional<QStringList> notSynced;  // at the first removal inside the source
        const Hook hook([&](int, const QByteArray&) {
            if (!notSynced && Exists(dst))
                notSynced = SyncRecorder::NotSynced(dst);
        });
        ASSERT_EQ(SsMoveEntry(src, dst), 0);
        EXPECT_FALSE(Exists(src));
        EXPECT_FALSE(SyncRecorder::State().AfterRemoval);
        EXPECT_EQ(notSynced.value_or(SyncRecorder::NotSynced(dst)).join('\n').toStdString(), "");
        EXPECT_EQ(notSynced.has_value(), folder);
        EXPECT_EQ(ReadFile(folder ? dst + "/Sommer/c.jpg" : dst), folder ? "a" : "bild");
    }
}

// A folder named in Latin-1 copied and dropped (moved) onto an exFAT drive,
// which takes only Unicode names: each name that is no UTF-8 is written as
// the list shows it, the report says so, and the move removes its source.
TEST(SsNamespace, NamesADriveCannotHoldAreWrittenAsTheListShowsThem)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root, to mount an exFAT drive";
    if (std::system("{ command -v mkfs.exfat && command -v mount.exfat-fuse && command -v losetup; } >/dev/null") != 0)
        GTEST_SKIP() << "needs exfatprogs, exfat-fuse and losetup";
    const uid_t uid = OrdinaryUser().first;
    const gid_t gid = OrdinaryUser().second;
    const Scratch scratch(QFile::encodeName(QDir::tempPath()));
    ASSERT_FALSE(scratch.Path.isEmpty());
    ASSERT_EQ(::chmod(scratch.Path.constData(), 0755), 0);
    const QByteArray image = scratch.Path + "/stick.img", stick = scratch.Path + "/Stick";
    ASSERT_EQ(::mkdir(stick.constData(), 0755), 0);
    ASSERT_EQ(std::system(("truncate -s 16M '" + image + "' && mkfs.exfat '" + image + "' >/dev/null").constData()),
              0);
    // On a loop device, which goes with the mount.
    const QByteArray mount = "d=$(losetup -f --show '" + image + "') && mount.exfat-fuse -o uid=" +
                             QByteArray::number(uid) + ",gid=" + QByteArray::number(gid) + ",allow_other $d '" +
                             stick + "' >/dev/null 2>&1; r=$?; losetup -d $d; exit $r";
    const auto asUser = [&] {
        const QByteArray src = scratch.Path + "/Ni\xf1os", umzug = stick + "/Umzug";
        ASSERT_EQ(::mkdir(src.constData(), 0755), 0);
        ASSERT_EQ(::mkdir((src + "/Mar\xed" "a").constData(), 0755), 0);
        MakeFile(src + "/A\xf1o.jpg", "jahr");
        MakeFile(src + "/Mar\xed" "a/Playa.jpg", "playa");
        MakeFile(src + "/Caf\xc3\xa9.jpg", "cafe");
        ASSERT_EQ(::mkdir(umzug.constData(), 0755), 0);
        for (const QByteArray& at : {stick, umzug}) {
            const bool copy = at == stick;
            SCOPED_TRACE(copy ? "copied" : "moved");
            TSsOperationReport report;
            if (copy) {
                EXPECT_EQ(SsCopyEntry(src, at + "/Ni\xf1os", &report), 0);
            } else {
                // All of it is there, under other names: the drop is done.
                QMimeData mime;
                mime.setUrls({SsNativePathToUrl(src)});
                TSsFolderDropTarget target(at);
                int32_t effect = Ole::DROPEFFECT_COPY | Ole::DROPEFFECT_MOVE;
                EXPECT_EQ(target.Drop(&mime, Ole::MK_SHIFT, effect), Ole::S_OK);
                EXPECT_EQ(effect, Ole::DROPEFFECT_MOVE);
                report = target.Report();
            }
            const QByteArray shown = at + "/Ni\xc3\xb1os";
            EXPECT_EQ(ReadFile(shown + "/A\xc3\xb1o.jpg"), "jahr");
            EXPECT_EQ(ReadFile(shown + "/Mar\xc3\xad" "a/Playa.jpg"), "playa");
            EXPECT_EQ(ReadFile(shown + "/Caf\xc3\xa9.jpg"), "cafe");
            EXPECT_EQ(Exists(src), copy);
            EXPECT_EQ(report.Failed, (QList<QPair<QByteArray, int>>()));
            EXPECT_EQ(report.Left, (QList<QPair<QByteArray, int>>()));
            QList<QByteArray> renamed = report.Renamed;
            std::sort(renamed.begin(), renamed.end());
            EXPECT_EQ(renamed, (QList<QByteArray>{src, src + "/A\xf1o.jpg", src + "/Mar\xed" "a"}));
            QStringList lines = SsReportText(report).split('\n');
            ASSERT_EQ(lines.size(), 4);
            EXPECT_EQ(lines.takeFirst(),
                      "The target takes only Unicode names, so these were written under the names shown here:");
            lines.sort();
            const QString folder = QFile::decodeName(scratch.Path) + QString::fromUtf8("/Ni\u00f1os");
            EXPECT_EQ(lines, (QStringList{folder, folder + QString::fromUtf8("/A\u00f1o.jpg"),
                                          folder + QString::fromUtf8("/Mar\u00eda")}));
        }
    };
    std::string why;
    if (!InChild([&] { return OwnMounts() && std::system(mount.constData()) == 0; },
                 [&] {
                     std::string cannot;
                     EXPECT_TRUE(InChild([&] { return BecomeUser(uid, gid); }, asUser,
                                         "cannot become the ordinary user", cannot))
                         << cannot;
                     ::umount2(stick.constData(), MNT_DETACH);
                 },
                 "cannot mount an exFAT drive through FUSE here", why))
        GTEST_SKIP() << why;
}

// A folder is never pasted into itself or a folder inside it, also when the
// target is reached on another path: through a link to one of its folders,
// or through a bind mount of it.
TEST(SsFolderDropTarget, RefusesItsOwnAncestorOnAnyPath)
{
    ShellFixture fx;
    fx.Mkdir("alt/innen");
    const QByteArray alt = Native(fx.Path("alt"));
    ASSERT_EQ(::symlink(alt.constData(), Native(fx.Path("zu-alt")).constData()), 0);
    const auto refuses = [&](const QByteArray& target) {
        SCOPED_TRACE(target.constData());
        TSsFolderDropTarget drop(target);
        ASSERT_TRUE(drop.HoldsOwnAncestor({alt}));  // else the drop would copy until the disk is full
        EXPECT_FALSE(drop.HoldsOwnAncestor({Native(fx.Path("Bilder")), Native(fx.Path("zu-alt"))}));
        QMimeData mime;
        mime.setUrls({SsNativePathToUrl(alt)});
        int32_t effect = Ole::DROPEFFECT_COPY;
        EXPECT_EQ(drop.Drop(&mime, Ole::MK_CONTROL, effect), Ole::S_OK);
        EXPECT_EQ(effect, Ole::DROPEFFECT_NONE);
        EXPECT_EQ(Listing(fx.Path("alt/innen")), QStringList());
    };
    refuses(Native(fx.Path("zu-alt/innen")));
    refuses(Native(fx.Path("zu-alt")));
    const QByteArray bound = Native(fx.Path("leer"));
    std::string why;
    if (!InChild(OwnMounts,
                 [&] {
                     ASSERT_EQ(::mount(alt.constData(), bound.constData(), nullptr, MS_BIND, nullptr), 0)
                         << std::strerror(errno);
                     refuses(bound + "/innen");
                     refuses(bound);
                 },
                 "no mount namespace of its own for this user", why))
        GTEST_SKIP() << "the bind mount was not tried: " << why;
}

// A folder that holds a bind mount of a folder above it (its parent, itself)
// is copied once: the repeating folder is skipped and named, not copied
// without end.
TEST(SsNamespace, CopySkipsAFolderThatRepeatsOneAboveIt)
{
    struct TLoop {
        const char* What;
        QByteArray Bound;  // below the scratch folder R; R/A is pasted
        QByteArray Mount;  // where it is bound
    };
    const TLoop loops[] = {{"the parent", "", "/A/loop"}, {"the pasted folder", "/A", "/A/B/loop"}};
    for (const TLoop& loop : loops) {
        SCOPED_TRACE(loop.What);
        ShellFixture fx;
        fx.Mkdir("R/A/B/loop");
        fx.Mkdir("R/A/loop");
        fx.Mkdir("Ziel");
        const QByteArray r = Native(fx.Path("R")), dst = Native(fx.Path("Ziel"));
        MakeFile(r + "/A/B/bild.jpg", "bild");
        std::string why;
        if (!InChild(OwnMounts,
                     [&] {
                         // A small volume as the target, where an endless copy soon ends.
                         ASSERT_EQ(::mount("lumi-test", dst.constData(), "tmpfs", 0, "size=2m"), 0)
                             << std::strerror(errno);
                         ASSERT_EQ(::mount((r + loop.Bound).constData(), (r + loop.Mount).constData(), nullptr,
                                           MS_BIND, nullptr),
                                   0)
                             << std::strerror(errno);
                         QMimeData mime;
                         mime.setUrls({SsNativePathToUrl(r + "/A")});
                         TSsFolderDropTarget target(dst);
                         int32_t effect = Ole::DROPEFFECT_COPY;
                         EXPECT_EQ(target.Drop(&mime, Ole::MK_CONTROL, effect), Ole::E_FAIL);
                         EXPECT_EQ(target.Report().Repeated, QList<QByteArray>{r + loop.Mount});
                         EXPECT_TRUE(target.Report().Failed.isEmpty());
                         EXPECT_TRUE(SsReportText(target.Report()).contains(QFile::decodeName(r + loop.Mount)));
                         EXPECT_EQ(ReadFile(dst + "/A/B/bild.jpg"), "bild");
                         int folders = 0;
                         for (QDirIterator it(QFile::decodeName(dst), QDir::Dirs | QDir::NoDotAndDotDot,
                                              QDirIterator::Subdirectories);
                              it.hasNext(); it.next())
                             ++folders;
                         EXPECT_LE(folders, 4);
                     },
                     "no mount namespace of its own for this user", why))
            GTEST_SKIP() << why;
    }
}

// A file inside a bind mount of a folder on the home's file system goes to
// the trash at the top of that mount (a rename cannot leave a mount), also
// when reached through a link to a folder inside the mount, and a mount
// point sent to the trash stays with a clear reason.
TEST(SsNamespace, TrashFollowsTheMountAnEntryIsOn)
{
    const Scratch scratch(QFile::encodeName(QDir::tempPath()));
    ASSERT_FALSE(scratch.Path.isEmpty());
    if (DeviceOf(Native(qEnvironmentVariable("HOME"))) != DeviceOf(scratch.Path))
        GTEST_SKIP() << "the home trash is not on the temporary folder's file system";
    const QByteArray src = scratch.Path + "/Quelle", bound = scratch.Path + "/Gebunden",
                     disk = scratch.Path + "/Platte";
    for (const QByteArray& d : {src, bound, disk})
        ASSERT_EQ(::mkdir(d.constData(), 0700), 0);
    MakeFile(src + "/bild.jpg", "bild");
    ASSERT_EQ(::mkdir((src + "/Urlaub").constData(), 0700), 0);
    MakeFile(src + "/Urlaub/strand.jpg", "strand");
    ASSERT_EQ(::symlink((bound + "/Urlaub").constData(), (scratch.Path + "/Urlaub").constData()), 0);
    std::string why;
    if (!InChild(OwnMounts,
                 [&] {
                     ASSERT_EQ(::mount(src.constData(), bound.constData(), nullptr, MS_BIND, nullptr), 0);
                     ASSERT_EQ(SsMoveToTrash(bound + "/bild.jpg"), 0);
                     EXPECT_FALSE(Exists(src + "/bild.jpg"));
                     const QByteArray trashName = "/.Trash-" + QByteArray::number(uint(::geteuid()));
                     const QByteArray trash = bound + trashName;
                     EXPECT_EQ(ReadFile(trash + "/files/bild.jpg"), "bild");
                     EXPECT_TRUE(ReadFile(trash + "/info/bild.jpg.trashinfo").contains("\nPath=bild.jpg\n"));
                     ASSERT_EQ(SsMoveToTrash(scratch.Path + "/Urlaub/strand.jpg"), 0);
                     EXPECT_EQ(ReadFile(trash + "/files/strand.jpg"), "strand");
                     EXPECT_TRUE(
                         ReadFile(trash + "/info/strand.jpg.trashinfo").contains("\nPath=Urlaub/strand.jpg\n"));
                     EXPECT_FALSE(Exists(src + "/Urlaub" + trashName));

                     ASSERT_EQ(::mount("lumi-test", disk.constData(), "tmpfs", 0, nullptr), 0);
                     EXPECT_EQ(SsMoveToTrash(disk), EBUSY);
                     TSsContextMenu menu({disk}, {SFGAO_FOLDER | SFGAO_CANDELETE | SFGAO_FILESYSTEM});
                     QWidget window;
                     EXPECT_EQ(RunVerb(menu, cvDelete, window), Ole::E_FAIL);
                     EXPECT_EQ(TakeMessage(window).toStdString(),
                               "Cannot move to the trash:\n" + disk.toStdString() +
                                   ": The file or folder is in use by the system (a mounted drive, for example).");
                     EXPECT_EQ(DeviceOf(disk) == DeviceOf(scratch.Path), false);  // still mounted, in place
                 },
                 "no mount namespace of its own for this user", why))
        GTEST_SKIP() << why;
}

// A drive with no trash the user may use (its top is root's, or it refuses
// to close a new trash to others, as FAT-like volumes do) keeps the user's
// file where it is, says so, and leaves no trash folder behind.
TEST(SsNamespace, DriveWithoutAUsableTrashKeepsTheFileAndLeavesNothing)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root, to make a volume whose top the user may not write";
    const uid_t uid = OrdinaryUser().first;
    const gid_t gid = OrdinaryUser().second;
    const Scratch scratch(QFile::encodeName(QDir::tempPath()));
    ASSERT_FALSE(scratch.Path.isEmpty());
    ASSERT_EQ(::chmod(scratch.Path.constData(), 0755), 0);
    const QByteArray top = scratch.Path + "/Band", src = scratch.Path + "/Quelle";
    ASSERT_EQ(::mkdir(top.constData(), 0755), 0);
    ASSERT_EQ(::mkdir(src.constData(), 0755), 0);
    ASSERT_EQ(::chown(src.constData(), uid, gid), 0);
    struct TDrive {
        const char* What;
        std::function<bool()> Mount;  // false: not at hand here
        QByteArray Folder;            // the user's folder on it
    };
    const TDrive drives[] = {
        {"the top is root's",
         [&] {
             if (::mount("lumi-test", top.constData(), "tmpfs", 0, "mode=0755") != 0)
                 return false;
             const QByteArray own = top + "/Eigene";
             return ::mkdir(own.constData(), 0755) == 0 && ::chown(own.constData(), uid, gid) == 0;
         },
         top + "/Eigene"},
        {"chmod is refused",
         [&] {
             const std::string command = "bindfs --chmod-deny --perms=go+rX -o allow_other '" + src.toStdString() +
                                         "' '" + top.toStdString() + "' 2>/dev/null";
             return std::system(command.c_str()) == 0;
         },
         top},
    };
    for (const TDrive& drive : drives) {
        SCOPED_TRACE(drive.What);
        std::string why;
        const bool ran = InChild(OwnMounts, [&] {
            if (!drive.Mount()) {
                std::printf("[ SKIPPED  ] %s: cannot mount it here\n", drive.What);
                return;
            }
            std::string cannot;
            ASSERT_TRUE(InChild([&] { return BecomeUser(uid, gid); },
                                [&] {
                                    const QByteArray file = drive.Folder + "/bild.jpg";
                                    const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
                                    ASSERT_EQ(::write(fd, "bild", 4), 4);
                                    ::close(fd);
                                    const QStringList before = Listing(QFile::decodeName(top));
                                    const QStringList beforeInFolder = Listing(QFile::decodeName(drive.Folder));
                                    EXPECT_EQ(SsMoveToTrash(file), SsTrashNoUsable);
                                    // The same answer through a link to the folder.
                                    const QByteArray link = scratch.Path + "/Bilder";
                                    ASSERT_EQ(::symlink(drive.Folder.constData(), link.constData()), 0);
                                    EXPECT_EQ(SsMoveToTrash(link + "/bild.jpg"), SsTrashNoUsable);
                                    EXPECT_EQ(::unlink(link.constData()), 0);
                                    EXPECT_EQ(Listing(QFile::decodeName(drive.Folder)), beforeInFolder);
                                    TSsContextMenu menu({file}, {SFGAO_CANDELETE | SFGAO_FILESYSTEM});
                                    QWidget window;
                                    EXPECT_EQ(RunVerb(menu, cvDelete, window), Ole::E_FAIL);
                                    EXPECT_EQ(TakeMessage(window).toStdString(),
                                              "Cannot move to the trash:\n" + file.toStdString() +
                                                  ": this drive has no trash that you may use, so it stays where "
                                                  "it is");
                                    EXPECT_EQ(ReadFile(file), "bild");
                                    EXPECT_EQ(Listing(QFile::decodeName(top)), before);
                                },
                                "cannot become the ordinary user", cannot))
                << cannot;
            ::umount2(top.constData(), MNT_DETACH);
        }, "no mount namespace of its own", why);
        if (!ran)
            GTEST_SKIP() << why;
    }
}

namespace {
// How a user (uid) finds the top of a volume that others can write to, and
// where that user's file goes to the trash from it (empty: it stays).
struct TrashCase {
    const char* What;
    std::function<void(const QByteArray& top, const QByteArray& uid)> OtherUser;  // plants
    std::function<void(const QByteArray& top, const QByteArray& uid)> Admin;      // root's share
    QByteArray TrashedTo;  // "<uid>" for the user's uid
};
}  // namespace

// On a volume that others write to, another user plants the trash folder of
// this user: a link to a folder of theirs, or a folder of their own. The
// trash is not used: a private file stays where it is, and the menu says it
// could not go. A shared ".Trash" that is a link, lacks the sticky bit or
// holds another's folder for the user makes way for ".Trash-<uid>", which
// the user owns and is made private.
TEST(SsNamespace, TrashPlantedByAnotherUserIsNotUsed)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root, to act as two users on a volume of its own";
    const uid_t uid = OrdinaryUser().first;
    const gid_t gid = OrdinaryUser().second;
    const uid_t otherUid = OtherUser();
    const QByteArray uidText = QByteArray::number(uint(uid));
    auto mkdir = [](const QByteArray& path, mode_t mode) {
        ASSERT_EQ(::mkdir(path.constData(), mode), 0) << path.constData();
        ASSERT_EQ(::chmod(path.constData(), mode), 0);
    };
    const TrashCase cases[] = {
        {"a link to another's folder",
         [&](const QByteArray& top, const QByteArray& id) {
             mkdir(top + "/Ablage", 0777);
             ASSERT_EQ(::symlink((top + "/Ablage").constData(), (top + "/.Trash-" + id).constData()), 0);
         },
         nullptr, ""},
        {"another's folder",
         [&](const QByteArray& top, const QByteArray& id) {
             for (const QByteArray sub : {"", "/files", "/info"})
                 mkdir(top + "/.Trash-" + id + sub, 0777);
         },
         nullptr, ""},
        {"a shared trash that is a link",
         [&](const QByteArray& top, const QByteArray&) {
             mkdir(top + "/Ablage", 01777);
             ASSERT_EQ(::symlink((top + "/Ablage").constData(), (top + "/.Trash").constData()), 0);
         },
         nullptr, "/.Trash-<uid>/files/geheim.txt"},
        {"a shared trash without the sticky bit", nullptr,
         [&](const QByteArray& top, const QByteArray&) { mkdir(top + "/.Trash", 0777); },
         "/.Trash-<uid>/files/geheim.txt"},
        {"another's folder in the shared trash",
         [&](const QByteArray& top, const QByteArray& id) { mkdir(top + "/.Trash/" + id, 0777); },
         [&](const QByteArray& top, const QByteArray&) { mkdir(top + "/.Trash", 01777); },
         "/.Trash-<uid>/files/geheim.txt"},
        {"the shared trash", nullptr, [&](const QByteArray& top, const QByteArray&) { mkdir(top + "/.Trash", 01777); },
         "/.Trash/<uid>/files/geheim.txt"},
        {"the user's own trash open to others", nullptr,
         [&](const QByteArray& top, const QByteArray& id) {
             mkdir(top + "/.Trash-" + id, 0777);
             ASSERT_EQ(::chown((top + "/.Trash-" + id).constData(), uid, gid), 0);
         },
         "/.Trash-<uid>/files/geheim.txt"},
    };
    const Scratch scratch(QFile::encodeName(QDir::tempPath()));
    ASSERT_FALSE(scratch.Path.isEmpty());
    ASSERT_EQ(::chmod(scratch.Path.constData(), 0755), 0);
    const QByteArray top = scratch.Path + "/Band";
    ASSERT_EQ(::mkdir(top.constData(), 0755), 0);
    std::string why;
    const bool ran = InChild(OwnMounts, [&] {
        for (const TrashCase& c : cases) {
            SCOPED_TRACE(c.What);
            // A volume of its own, which everyone may write to, as /dev/shm.
            ASSERT_EQ(::mount("lumi-test", top.constData(), "tmpfs", 0, "mode=1777"), 0) << std::strerror(errno);
            if (c.Admin)
                c.Admin(top, uidText);
            std::string cannot;
            if (c.OtherUser) {
                ASSERT_TRUE(InChild([&] { return BecomeUser(otherUid, otherUid); },
                                    [&] { c.OtherUser(top, uidText); }, "cannot become nobody", cannot))
                    << cannot;
            }
            ASSERT_TRUE(InChild([&] { return BecomeUser(uid, gid); },
                                [&] {
                                    MakeFile(top + "/geheim.txt", "privat", 0600);
                                    const int result = SsMoveToTrash(top + "/geheim.txt");
                                    EXPECT_EQ(result, c.TrashedTo.isEmpty() ? SsTrashNotOwn : 0);
                                    EXPECT_EQ(Exists(top + "/geheim.txt"), c.TrashedTo.isEmpty());
                                    if (!c.TrashedTo.isEmpty())
                                        return;
                                    // The user is told why the file stays.
                                    TSsContextMenu menu({top + "/geheim.txt"}, {SFGAO_CANDELETE | SFGAO_FILESYSTEM});
                                    QWidget window;
                                    EXPECT_EQ(RunVerb(menu, cvDelete, window), Ole::E_FAIL);
                                    EXPECT_EQ(TakeMessage(window).toStdString(),
                                              "Cannot move to the trash:\n" + top.toStdString() +
                                                  "/geheim.txt: the trash of this drive is a link or another "
                                                  "user's folder, so it is not used");
                                    EXPECT_TRUE(Exists(top + "/geheim.txt"));
                                },
                                "cannot become the ordinary user", cannot))
                << cannot;
            // Where the file is, as root sees it: at its place or in the
            // user's trash, and nowhere else.
            QByteArrayList found;
            std::function<void(const QByteArray&)> find = [&](const QByteArray& dir) {
                for (const QString& e : Listing(QFile::decodeName(dir))) {
                    const QByteArray path = dir + '/' + Native(e);
                    struct stat st;
                    ASSERT_EQ(::lstat(path.constData(), &st), 0);
                    if (S_ISDIR(st.st_mode))
                        find(path);
                    else if (!S_ISLNK(st.st_mode) && !e.endsWith(".trashinfo"))
                        found << path.mid(top.size());
                }
            };
            find(top);
            QByteArray expected = c.TrashedTo.isEmpty() ? QByteArray("/geheim.txt") : c.TrashedTo;
            expected.replace("<uid>", uidText);
            EXPECT_EQ(found, QByteArrayList({expected}));
            if (!c.TrashedTo.isEmpty()) {
                struct stat st;
                const QByteArray trash = top + expected.left(expected.indexOf("/files/"));
                ASSERT_EQ(::lstat(trash.constData(), &st), 0);
                EXPECT_TRUE(S_ISDIR(st.st_mode));
                EXPECT_EQ(st.st_uid, uid);
                if (trash.contains(".Trash-")) {
                    EXPECT_EQ(st.st_mode & 07777, 0700u);
                }
                EXPECT_TRUE(ReadFile(trash + "/info/geheim.txt.trashinfo").contains("\nPath=geheim.txt\n"));
            }
            ASSERT_EQ(::umount(top.constData()), 0);
        }
    }, "no mount namespace of its own", why);
    if (!ran)
        GTEST_SKIP() << why;
}
namespace {
// Pastes a copy of From into Folder, as the menu's paste does.
int PasteCopy(const QByteArray& from, const QByteArray& folder)
{
    QMimeData mime;
    mime.setUrls({SsNativePathToUrl(from)});
    TSsFolderDropTarget target(folder);
    int32_t effect = Ole::DROPEFFECT_COPY;
    return target.Drop(&mime, Ole::MK_CONTROL, effect) == Ole::S_OK ? 0 : 1;
}

// A folder held open and locked, as a paste that is still running holds its work folder.
struct THeldFolder {
    explicit THeldFolder(const QByteArray& path) : Fd(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        Locked = Fd >= 0 && ::flock(Fd, LOCK_EX | LOCK_NB) == 0;
    }
    ~THeldFolder()
    {
        if (Fd >= 0)
            ::close(Fd);
    }
    int Fd;
    bool Locked = false;
};
}  // namespace

namespace {
// A temporary of the program (Prefix: a save's or a paste's), made as the
// program makes one in Folder: marked, and locked while Held gets its handle;
// without Held it is left as a killed process leaves it. Others may read it,
// as a save's under the usual umask. A folder holds a read-only folder with
// a read-only picture, as a copy of such does.
void MakeTemporary(const QByteArray& folder, const QByteArray& name, bool isFolder, int* held = nullptr)
{
    const QByteArray path = folder + '/' + name;
    int fd;
    if (isFolder) {
        ASSERT_EQ(::mkdir(path.constData(), 0755), 0) << path.constData();
        ASSERT_EQ(::mkdir((path + "/Ordner").constData(), 0700), 0);
        MakeFile(path + "/Ordner/halb.jpg", QByteArray(100000, 'x'), 0444);
        ASSERT_EQ(::chmod((path + "/Ordner").constData(), 0555), 0);
        fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } else {
        fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        ASSERT_EQ(::write(fd, "halb", 4), 4);
    }
    ASSERT_EQ(::chmod(path.constData(), isFolder ? 0755 : 0644), 0);
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_EQ(LockTemporary(dir, name.constData(), fd), 0);
    ::close(dir);
    if (held)
        *held = fd;
    else
        ::close(fd);
}
}  // namespace

// A save and a paste sweep only what the program can prove it made: the
// user's own stale temporaries in their exact form with their mark. The
// user's own files of look-alike names, leftovers of earlier versions (whose
// names prove nothing), another user's leftovers in a shared folder with or
// without the sticky bit, running ones, and links all stay.
TEST(SsNamespace, SweepRemovesOnlyTheProgramsOwnLeftovers)
{
    const Scratch scratch(QFile::encodeName(QDir::tempPath()));
    ASSERT_FALSE(scratch.Path.isEmpty());
    ASSERT_EQ(::chmod(scratch.Path.constData(), 0755), 0);
    const bool twoUsers = ::geteuid() == 0;
    struct TEntry {
        QByteArray Name;
        bool Folder;
        bool Goes;
    };
    const QByteArray save = ".lumiseite-", paste = ".partial-copy-";
    for (const mode_t sharedMode : {mode_t(0777), mode_t(01777)}) {
        SCOPED_TRACE(sharedMode);
        const QByteArray dst = scratch.Path + "/Ziel" + QByteArray::number(sharedMode, 8);
        ASSERT_EQ(::mkdir(dst.constData(), 0700), 0);
        ASSERT_EQ(::chmod(dst.constData(), sharedMode), 0);
        // Another user's leftovers, made by a process of that user.
        std::vector<TEntry> foreign;
        if (twoUsers) {
            foreign = {{TemporaryName(save), false, false}, {TemporaryName(paste), true, false}};
            std::string why;
            ASSERT_TRUE(InChild([] { return BecomeUser(OtherUser(), OtherUser()); },
                                [&] {
                                    for (const TEntry& e : foreign)
                                        MakeTemporary(dst, e.Name, e.Folder);
                                },
                                "cannot become another user", why))
                << why;
        }
        std::string why;
        const bool ran = AsOrdinaryUser(
            [&] {
                const QByteArray src = scratch.Path + "/Quelle" + QByteArray::number(sharedMode, 8);
                const QByteArray outside = src + "/Draussen";
                ASSERT_EQ(::mkdir(src.constData(), 0700), 0);
                ASSERT_EQ(::mkdir(outside.constData(), 0700), 0);
                MakeFile(src + "/Bild.jpg", "bild");
                MakeFile(outside + "/bleibt.txt", "bleibt");
                std::vector<TEntry> entries = foreign;
                // The user's own files and folders of look-alike names, and
                // the leftovers of earlier versions.
                for (const QByteArray name : {".lumiseite-notes", ".lumiseite-backup", ".lumiseite-2025",
                                               ".lumiseite-abc", ".lumiseite-1"}) {
                    MakeFile(dst + '/' + name, "eigen");
                    entries.push_back({name, false, false});
                }
                for (const QByteArray name : {".partial-copy-Urlaub", ".partial-copy-photos", ".partial-copy-Ab12Cd"}) {
                    ASSERT_EQ(::mkdir((dst + '/' + name).constData(), 0700), 0);
                    MakeFile(dst + '/' + name + "/strand.jpg", "strand");
                    entries.push_back({name, true, false});
                }
                // The exact form, but without the mark (a copy the user made).
                const QByteArray unmarked = TemporaryName(save);
                MakeFile(dst + '/' + unmarked, "kopie");
                entries.push_back({unmarked, false, false});
                // Links of the exact form, to a folder and to a file.
                const QByteArray linkToFolder = TemporaryName(paste), linkToFile = TemporaryName(save);
                ASSERT_EQ(::symlink(outside.constData(), (dst + '/' + linkToFolder).constData()), 0);
                ASSERT_EQ(::symlink((outside + "/bleibt.txt").constData(), (dst + '/' + linkToFile).constData()), 0);
                entries.push_back({linkToFolder, true, false});
                entries.push_back({linkToFile, false, false});
                // Running ones, and the program's own stale ones.
                int heldFile = -1, heldFolder = -1;
                for (const bool folder : {false, true}) {
                    const QByteArray running = TemporaryName(folder ? paste : save);
                    MakeTemporary(dst, running, folder, folder ? &heldFolder : &heldFile);
                    entries.push_back({running, folder, false});
                    const QByteArray stale = TemporaryName(folder ? paste : save);
                    MakeTemporary(dst, stale, folder);
                    entries.push_back({stale, folder, true});
                }

                ASSERT_EQ(ReplaceFileContents(QFile::decodeName(dst + "/album.zpb"), "neu", 3), 0);
                ASSERT_EQ(PasteCopy(src + "/Bild.jpg", dst), 0);
                ::close(heldFile);
                ::close(heldFolder);
                QStringList expected{"Bild.jpg", "album.zpb"};
                for (const TEntry& e : entries)
                    if (!e.Goes)
                        expected << QFile::decodeName(e.Name);
                expected.sort();
                EXPECT_EQ(Listing(QFile::decodeName(dst)).join(' ').toStdString(), expected.join(' ').toStdString());
                EXPECT_EQ(ReadFile(dst + "/.partial-copy-Urlaub/strand.jpg"), "strand");
                EXPECT_EQ(ReadFile(dst + "/.lumiseite-notes"), "eigen");
                EXPECT_EQ(ReadFile(outside + "/bleibt.txt"), "bleibt");
            },
            why);
        if (!ran)
            GTEST_SKIP() << why;
    }
}

// On a network file system, whose locks other machines do not see, only a
// leftover older than a day is the program's to remove.
TEST(SsNamespace, SweepOnANetworkFileSystemTakesOnlyDayOldLeftovers)
{
    const Scratch scratch(QFile::encodeName(QDir::tempPath()));
    ASSERT_FALSE(scratch.Path.isEmpty());
    std::string why;
    const bool ran = AsOrdinaryUser(
        [&] {
            const QByteArray dst = scratch.Path + "/Ziel";
            ASSERT_EQ(::mkdir(dst.constData(), 0700), 0);
            const QByteArray fresh = TemporaryName(".partial-copy-"), old = TemporaryName(".partial-copy-");
            MakeTemporary(dst, fresh, true);
            MakeTemporary(dst, old, true);
            const timespec dayAndMore[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 25 * 3600, 0}};
            ASSERT_EQ(::utimensat(AT_FDCWD, (dst + '/' + old).constData(), dayAndMore, 0), 0);
            MakeFile(scratch.Path + "/Bild.jpg", "bild");
            TemporaryStatFs = [](int, struct statfs* fs) {
                *fs = {};
                fs->f_type = 0x6969;  // NFS
                return 0;
            };
            const int pasted = PasteCopy(scratch.Path + "/Bild.jpg", dst);
            TemporaryStatFs = ::fstatfs;
            ASSERT_EQ(pasted, 0);
            EXPECT_EQ(Listing(QFile::decodeName(dst)).join(' ').toStdString(),
                      (QFile::decodeName(fresh) + " Bild.jpg").toStdString());
        },
        why);
    if (!ran)
        GTEST_SKIP() << why;
}

// No removal leaves the mount it started on: a stale work folder of a paste
// that holds a mount (a bind mount of the user's folder, a drive) keeps it
// and what it holds, even as the sweep makes read-only folders writable, and
// the paste's report names it; a move across drives leaves a mount inside
// the moved folder at its old place and says so.
TEST(SsNamespace, RemovalsNeverLeaveTheirMount)
{
    for (const bool bind : {true, false}) {
        SCOPED_TRACE(bind ? "bind mount" : "tmpfs");
        const Scratch scratch(QFile::encodeName(QDir::tempPath()));
        ASSERT_FALSE(scratch.Path.isEmpty());
        ASSERT_EQ(::chmod(scratch.Path.constData(), 0755), 0);
        const QByteArray dst = scratch.Path + "/Ziel", album = scratch.Path + "/Quelle/Album";
        const QByteArray leftoverName = TemporaryName(".partial-copy-"), leftover = dst + '/' + leftoverName;
        const QByteArray mounts[] = {leftover + "/mnt", album + "/mnt"};
        std::string why;
        // The mounted folders, filled by the user: a picture in a read-only folder.
        const auto fill = [&] {
            for (const QByteArray& m : mounts) {
                ASSERT_EQ(::mkdir((m + "/Unter").constData(), 0700), 0) << m.constData();
                MakeFile(m + "/Unter/bild.jpg", "bild");
                ASSERT_EQ(::chmod((m + "/Unter").constData(), 0555), 0);
            }
        };
        const auto kept = [&](const QByteArray& m) {
            EXPECT_EQ(ReadFile(m + "/Unter/bild.jpg"), "bild") << m.constData();
            EXPECT_EQ(ModeOf(m + "/Unter"), 0555u) << m.constData();
        };
        if (!InChild(OwnMounts,
                     [&] {
                         ASSERT_TRUE(AsOrdinaryUser(
                             [&] {
                                 for (const QByteArray& d : {dst, scratch.Path + "/Quelle", album,
                                                             scratch.Path + "/Fremd1", scratch.Path + "/Fremd2"})
                                     ASSERT_EQ(::mkdir(d.constData(), 0700), 0);
                                 MakeFile(album + "/a.jpg", "a");
                                 MakeFile(scratch.Path + "/Bild.jpg", "neu");
                             },
                             why))
                             << why;
                         const std::string owner = "uid=" + std::to_string(OrdinaryUser().first) +
                                                   ",gid=" + std::to_string(OrdinaryUser().second);
                         // The target of the move, on a drive of its own.
                         ASSERT_EQ(::mount("lumi-test", dst.constData(), "tmpfs", 0, (owner + ",mode=0700").c_str()),
                                   0)
                             << std::strerror(errno);
                         ASSERT_TRUE(AsOrdinaryUser(
                             [&] {
                                 MakeTemporary(dst, leftoverName, true);
                                 for (const QByteArray& m : mounts)
                                     ASSERT_EQ(::mkdir(m.constData(), 0700), 0);
                             },
                             why))
                             << why;
                         for (int i = 0; i < 2; ++i) {
                             const QByteArray fremd = scratch.Path + "/Fremd" + QByteArray::number(i + 1);
                             const char* at = mounts[i].constData();
                             ASSERT_EQ(bind ? ::mount(fremd.constData(), at, nullptr, MS_BIND, nullptr)
                                            : ::mount("lumi-test", at, "tmpfs", 0, owner.c_str()),
                                       0)
                                 << std::strerror(errno);
                         }
                         ASSERT_TRUE(AsOrdinaryUser(
                             [&] {
                                 fill();
                                 QMimeData mime;
                                 mime.setUrls({SsNativePathToUrl(scratch.Path + "/Bild.jpg")});
                                 TSsFolderDropTarget target(dst);
                                 int32_t effect = Ole::DROPEFFECT_COPY;
                                 EXPECT_EQ(target.Drop(&mime, Ole::MK_CONTROL, effect), Ole::E_FAIL);
                                 EXPECT_EQ(target.Report().Mounted, QList<QByteArray>{mounts[0]});
                                 EXPECT_TRUE(SsReportText(target.Report()).contains(QFile::decodeName(mounts[0])));
                                 EXPECT_EQ(ReadFile(dst + "/Bild.jpg"), "neu");
                                 kept(mounts[0]);

                                 TSsOperationReport report;
                                 EXPECT_EQ(SsMoveEntry(album, dst + "/Album", &report), EBUSY);
                                 EXPECT_EQ(report.Left, (QList<QPair<QByteArray, int>>{{mounts[1], EBUSY}}));
                                 EXPECT_EQ(ReadFile(dst + "/Album/mnt/Unter/bild.jpg"), "bild");
                                 EXPECT_FALSE(Exists(album + "/a.jpg"));
                                 kept(mounts[1]);
                             },
                             why))
                             << why;
                     },
                     "no mount namespace of its own for this user", why))
            GTEST_SKIP() << why;
    }
}

// The sweep removes the stale work folder it proved to be the program's, by
// its handle: when another program gives one of the user's folders the
// work folder's name meanwhile (as another user may in a folder that all
// may write), that folder stays.
TEST(SsNamespace, SweepRemovesTheLeftoverItHoldsNotOneRenamedInItsPlace)
{
    const Scratch scratch(QFile::encodeName(QDir::tempPath()));
    ASSERT_FALSE(scratch.Path.isEmpty());
    const QByteArray dst = scratch.Path + "/Ziel", leftoverName = TemporaryName(".partial-copy-");
    const QByteArray leftover = dst + '/' + leftoverName;
    ASSERT_EQ(::mkdir(dst.constData(), 0700), 0);
    MakeTemporary(dst, leftoverName, true);
    ASSERT_EQ(::mkdir((dst + "/Leer").constData(), 0700), 0);
    MakeFile(scratch.Path + "/Bild.jpg", "bild");
    struct stat own {};
    ASSERT_EQ(::lstat((dst + "/Leer").constData(), &own), 0);
    bool swapped = false;
    {
        const Hook meanwhile([&](int, const QByteArray&) {
            if (!swapped)
                swapped = ::rename(leftover.constData(), (dst + "/weg").constData()) == 0 &&
                          ::rename((dst + "/Leer").constData(), leftover.constData()) == 0;
        });
        PasteCopy(scratch.Path + "/Bild.jpg", dst);
    }
    ASSERT_TRUE(swapped);
    struct stat now {};
    ASSERT_EQ(::lstat(leftover.constData(), &now), 0) << "the user's folder was removed";
    EXPECT_EQ(now.st_ino, own.st_ino);
    EXPECT_EQ(ReadFile(dst + "/Bild.jpg"), "bild");
}

// A folder is never copied into itself or a folder inside it, on whatever
// path the target is reached: the copy refuses, and nothing is made.
TEST(SsNamespace, CopyOfAFolderIntoItselfIsRefused)
{
    const Scratch scratch(QFile::encodeName(QDir::tempPath()));
    ASSERT_FALSE(scratch.Path.isEmpty());
    const QByteArray disk = scratch.Path + "/Platte", bound = scratch.Path + "/Gebunden";
    ASSERT_EQ(::mkdir(disk.constData(), 0700), 0);
    ASSERT_EQ(::mkdir(bound.constData(), 0700), 0);
    std::string why;
    if (!InChild(OwnMounts,
                 [&] {
                     // A small drive, where a copy without end soon ends.
                     ASSERT_EQ(::mount("lumi-test", disk.constData(), "tmpfs", 0, "size=1m,nr_inodes=400"), 0)
                         << std::strerror(errno);
                     const QByteArray a = disk + "/A";
                     ASSERT_EQ(::mkdir(a.constData(), 0700), 0);
                     ASSERT_EQ(::mkdir((a + "/B").constData(), 0700), 0);
                     MakeFile(a + "/B/bild.jpg", QByteArray(8192, 'x'));
                     ASSERT_EQ(::mount(a.constData(), bound.constData(), nullptr, MS_BIND, nullptr), 0)
                         << std::strerror(errno);
                     for (const QByteArray& to : {a + "/Kopie", a + "/B/A", bound + "/B/A"}) {
                         SCOPED_TRACE(to.constData());
                         TSsOperationReport report;
                         EXPECT_EQ(SsCopyEntry(a, to, &report), EINVAL);
                         EXPECT_TRUE(report.IsEmpty());
                         EXPECT_EQ(Listing(QFile::decodeName(a)).join(' ').toStdString(), "B");
                         EXPECT_EQ(Listing(QFile::decodeName(a + "/B")).join(' ').toStdString(), "bild.jpg");
                     }
                 },
                 "no mount namespace of its own for this user", why))
        GTEST_SKIP() << why;
}

// A pasted folder that holds an entry the user may not read is refused
// whole, and the message names that entry, not the folder.
TEST(SsNamespace, PasteRefusedForAnUnreadableEntryNamesIt)
{
    const Scratch scratch(QFile::encodeName(QDir::tempPath()));
    ASSERT_FALSE(scratch.Path.isEmpty());
    std::string why;
    const bool ran = AsOrdinaryUser(
        [&] {
            for (const QByteArray unreadable : {"/Album/geheim.jpg", "/Album/Unter/Privat"}) {
                SCOPED_TRACE(unreadable.constData());
                const QByteArray src = scratch.Path + "/Quelle", dst = scratch.Path + "/Ziel";
                for (const QByteArray& d : {src, src + "/Album", src + "/Album/Unter", dst})
                    ASSERT_EQ(::mkdir(d.constData(), 0700), 0);
                MakeFile(src + "/Album/a.jpg", "a");
                MakeFile(src + "/Album/Unter/b.jpg", "b");
                if (unreadable.endsWith(".jpg"))
                    MakeFile(src + unreadable, "geheim", 0);
                else
                    ASSERT_EQ(::mkdir((src + unreadable).constData(), 0), 0);
                QMimeData mime;
                mime.setUrls({SsNativePathToUrl(src + "/Album")});
                TSsFolderDropTarget target(dst);
                int32_t effect = Ole::DROPEFFECT_COPY;
                EXPECT_EQ(target.Drop(&mime, Ole::MK_CONTROL, effect), Ole::E_FAIL);
                EXPECT_EQ(target.Report().Failed, (QList<QPair<QByteArray, int>>{{src + unreadable, EACCES}}));
                EXPECT_TRUE(SsReportText(target.Report()).contains(QFile::decodeName(src + unreadable)));
                EXPECT_EQ(Listing(QFile::decodeName(dst)), QStringList());
                ASSERT_EQ(std::system(("chmod -R u+rwx '" + src + "'; rm -rf '" + src + "' '" + dst + "'").constData()),
                          0);
            }
        },
        why);
    if (!ran)
        GTEST_SKIP() << why;
}

// A paste's work folder is locked while the copy grows in it, and another
// paste into the same folder meanwhile leaves it alone; both copies end whole.
TEST(SsNamespace, PartialCopyIsLockedWhileItGrows)
{
    const Scratch scratch(QFile::encodeName(QDir::tempPath()));
    ASSERT_FALSE(scratch.Path.isEmpty());
    const QByteArray src = scratch.Path + "/Quelle", dst = scratch.Path + "/Ziel";
    for (const QByteArray& d : {src, src + "/Unter", dst})
        ASSERT_EQ(::mkdir(d.constData(), 0700), 0);
    MakeFile(src + "/Unter/a.jpg", "aaa");
    MakeFile(src + "/b.jpg", "bb");
    QStringList seen;
    bool anyLockable = false;
    int second = -1;
    {
        const Hook during([&](int, const QByteArray&) {
            if (second >= 0)
                return;
            second = 0;
            for (const QString& name : Listing(QFile::decodeName(dst))) {
                seen << name;
                const THeldFolder probe(dst + '/' + QFile::encodeName(name));
                anyLockable = anyLockable || probe.Locked;
            }
            second = PasteCopy(src + "/b.jpg", dst);
        });
        ASSERT_EQ(PasteCopy(src + "/Unter", dst), 0);
    }
    ASSERT_EQ(seen.size(), 1);
    EXPECT_TRUE(seen[0].startsWith(".partial-copy-"));
    EXPECT_FALSE(anyLockable);
    EXPECT_EQ(second, 0);
    EXPECT_EQ(ReadFile(dst + "/Unter/a.jpg"), "aaa");
    EXPECT_EQ(ReadFile(dst + "/b.jpg"), "bb");
    EXPECT_EQ(Listing(QFile::decodeName(dst)).join(' ').toStdString(), "Unter b.jpg");
}

// The trash refuses what may not be moved, and the message says why for each
// entry: a write-protected folder, and a file in a write-protected folder.
TEST(SsContextMenu, TrashRefusalsSayWhy)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray folder = Native(dir.filePath("Geschuetzt")), inside = Native(dir.filePath("Nur lesen"));
    ASSERT_EQ(::mkdir(folder.constData(), 0700), 0);
    ASSERT_EQ(::mkdir(inside.constData(), 0700), 0);
    MakeFile(folder + "/a.jpg", "a");
    MakeFile(inside + "/b.jpg", "b");
    ASSERT_EQ(::chmod(folder.constData(), 0555), 0);
    ASSERT_EQ(::chmod(inside.constData(), 0555), 0);
    const QByteArray file = inside + "/b.jpg";
    TSsContextMenu menu({folder, file}, {SFGAO_FOLDER | SFGAO_CANDELETE | SFGAO_FILESYSTEM,
                                         SFGAO_CANDELETE | SFGAO_FILESYSTEM});
    QWidget window;
    {
        const TNoPermissionOverride user;
        EXPECT_EQ(RunVerb(menu, cvDelete, window), Ole::E_FAIL);
    }
    EXPECT_EQ(TakeMessage(window).toStdString(), "Cannot move to the trash:\n" + folder.toStdString() +
                                                     ": the folder is write-protected\n" + file.toStdString() +
                                                     ": You do not have permission for this.");
    EXPECT_EQ(ReadFile(folder + "/a.jpg"), "a");
    EXPECT_EQ(ReadFile(file), "b");
    ::chmod(folder.constData(), 0700);
    ::chmod(inside.constData(), 0700);
}

// Properties reads the entry by its bytes: a name that is no UTF-8 shows its
// size, date, type and permissions as any other does.
TEST(SsContextMenu, PropertiesOfEntriesNamedInAnyBytes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray folder = Native(dir.path());
    struct Case {
        QByteArray name;
        QString shown;
    };
    for (const Case& c : {Case{"Noel.txt", "Noel.txt"}, Case{"No\xebl.txt", QString::fromUtf8("No\u00ebl.txt")},
                          Case{"Gr\xfc\xdf" "e \x80.txt", QString::fromUtf8("Gr\u00fc\u00dfe \u20ac.txt")}}) {
        SCOPED_TRACE(c.name.toHex().constData());
        const QByteArray path = folder + '/' + c.name;
        MakeFile(path, QByteArray(1234, 'x'));
        const struct timespec times[2] = {{1600000000, 0}, {1600000000, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.constData(), times, 0), 0);
        ASSERT_EQ(::chmod(path.constData(), 0600), 0);
        TSsContextMenu menu({path}, {SFGAO_CANDELETE | SFGAO_FILESYSTEM});
        QWidget window;
        EXPECT_EQ(RunVerb(menu, cvProperties, window), Ole::S_OK);
        auto* dialog = window.findChild<QDialog*>();
        ASSERT_NE(dialog, nullptr);
        QStringList labels;
        for (QLabel* l : dialog->findChildren<QLabel*>())
            labels << l->text();
        const QLocale locale;
        for (const QString& expected : {c.shown, locale.formattedDataSize(1234),
                                        locale.toString(QDateTime::fromSecsSinceEpoch(1600000000), QLocale::LongFormat),
                                        QString("rw-"), QMimeDatabase().mimeTypeForName("text/plain").comment()})
            EXPECT_TRUE(labels.contains(expected)) << expected.toStdString() << " not in " << labels.join(" | ").toStdString();
        delete dialog;
    }
}

// Run by hand (--gtest_also_run_disabled_tests; LUMI_KILLS sets the number,
// 50 by default): pastes of a folder of 20 pictures of 4 MB, killed at a
// random moment of their run until that many were killed, then one normal
// paste. The source stays whole, and the normal paste leaves nothing but
// the copies.
TEST(SsNamespace, DISABLED_KilledPastesLeaveNothingBehindTheNextPaste)
{
    const int kills = qEnvironmentVariableIsSet("LUMI_KILLS") ? qEnvironmentVariableIntValue("LUMI_KILLS") : 50;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray src = Native(dir.filePath("Bilder")), dst = Native(dir.filePath("Ziel"));
    ASSERT_EQ(::mkdir(src.constData(), 0700), 0);
    ASSERT_EQ(::mkdir(dst.constData(), 0700), 0);
    const auto picture = [](int n) { return QByteArray(4 << 20, char('a' + n)); };
    for (int n = 0; n < 20; ++n)
        MakeFile(src + "/Bild" + QByteArray::number(n) + ".jpg", picture(n));
    const auto paste = [&] {
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(PasteCopy(src, dst));
        return child;
    };
    const auto partial = [&] {
        std::pair<int, qint64> found{0, 0};
        for (const QString& name : Listing(QFile::decodeName(dst)).filter(QRegularExpression("^\\.partial-copy-"))) {
            ++found.first;
            QDirIterator it(QFile::decodeName(dst) + '/' + name, QDir::Files | QDir::Hidden,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                it.next();
                found.second += it.fileInfo().size();
            }
        }
        return found;
    };
    const auto whole = [&](const QByteArray& folder) {
        for (int n = 0; n < 20; ++n)
            if (ReadFile(folder + "/Bild" + QByteArray::number(n) + ".jpg") != picture(n))
                return false;
        return Listing(QFile::decodeName(folder)).size() == 20;
    };
    // Finished copies are whole; they go, so that the disk holds out.
    const auto removeFinished = [&] {
        int finished = 0;
        for (const QString& name : Listing(QFile::decodeName(dst)).filter(QRegularExpression("^Bilder"))) {
            EXPECT_TRUE(whole(dst + '/' + Native(name))) << name.toStdString();
            ++finished;
            EXPECT_EQ(SsRemoveEntry(dst + '/' + Native(name)), 0);
        }
        return finished;
    };
    int status = 0;
    qint64 span = std::numeric_limits<qint64>::max();
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer timer;
        timer.start();
        ::waitpid(paste(), &status, 0);
        span = std::min(span, std::max<qint64>(timer.nsecsElapsed() / 1000, 1000));
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        ASSERT_EQ(removeFinished(), 1);
    }
    int killed = 0, done = 0, most = 0, i = 0;
    for (; killed < kills && i < 3 * kills; ++i) {
        const pid_t child = paste();
        ::usleep(useconds_t(QRandomGenerator::global()->bounded(span / 2)));
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        killed += WIFSIGNALED(status) ? 1 : 0;
        ASSERT_TRUE(whole(src)) << "after kill " << i;
        done += removeFinished();
        most = std::max(most, partial().first);
    }
    const auto [left, bytes] = partial();
    std::printf("%d pastes started, %d killed, %d finished (one paste takes %lld us), at most %d partial copies at "
                "once: %d left, %.1f MB\n",
                i, killed, done, static_cast<long long>(span), most, left, double(bytes) / (1 << 20));
    ::waitpid(paste(), &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const auto [after, afterBytes] = partial();
    std::printf("after one more paste: %d partial copies, %.1f MB; entries: %s\n", after,
                double(afterBytes) / (1 << 20), qPrintable(Listing(QFile::decodeName(dst)).join(' ')));
    EXPECT_EQ(killed, kills);
    EXPECT_EQ(Listing(QFile::decodeName(dst)), QStringList{"Bilder"});
    EXPECT_TRUE(whole(dst + "/Bilder"));
    EXPECT_TRUE(whole(src));
}
