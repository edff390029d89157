// The folder browser's file operations through the context menu and the
// views: moves, pastes with links, odd names, renames and their refusals.
#include "ShellViewFixtures.h"
#include "SsContextMenu.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QUrl>

#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
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

QStringList ChildTexts(QTreeWidgetItem* node)
{
    QStringList texts;
    for (int i = 0; i < node->childCount(); ++i)
        texts << node->child(i)->text(0);
    return texts;
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

// An entry that cannot be copied (a pipe) fails the paste midway: nothing of
// the folder is left at the target, and a move keeps its source whole.
TEST(SsFolderDropTarget, FailedCopyLeavesNothingBehind)
{
    ShellFixture fx;
    MakeFolderWithLinks(fx);
    ASSERT_EQ(::mkfifo(Native(fx.Path("Mit Links/c-pipe")).constData(), 0600), 0);
    QTemporaryDir otherVolume(QStringLiteral("/dev/shm/ssops-XXXXXX"));
    const auto listing = [](const QString& dir) {
        return QDir(dir).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    };
    const QStringList before = listing(fx.Path("Mit Links"));
    for (const bool acrossVolumes : {false, true}) {
        SCOPED_TRACE(acrossVolumes);
        const QString into = acrossVolumes ? otherVolume.path() : fx.Path("alt");
        QMimeData mime;
        mime.setUrls({SsNativePathToUrl(Native(fx.Path("Mit Links")))});
        TSsFolderDropTarget target(Native(into));
        int32_t effect = Ole::DROPEFFECT_COPY | Ole::DROPEFFECT_MOVE;
        EXPECT_EQ(target.Drop(&mime, acrossVolumes ? Ole::MK_SHIFT : Ole::MK_CONTROL, effect), Ole::E_FAIL);
        EXPECT_EQ(listing(into), QStringList());
        EXPECT_EQ(listing(fx.Path("Mit Links")), before);
        EXPECT_EQ(listing(fx.Path("Mit Links/Unter")), QStringList({"z.txt"}));
    }
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
        const auto invoke = [&](int32_t verb) {
            auto menu = menuOf();
            QMenu qmenu;
            menu->QueryContextMenu(qmenu, 1, 0x7FFF, CMF_CANRENAME);
            TSsCMInvokeCommandInfo info;
            info.Window = &fx.list;
            info.Verb = verb;
            return menu->InvokeCommand(info);
        };
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

// A rename never replaces an entry, also one that another program makes while
// the rename runs.
TEST(SsNamespace, RenameNeverReplaces)
{
    ShellFixture fx;
    PSsNamespaceFolder folder = TSsNamespaceFolder::Desktop()->BindToObject(*SsPathToIdList(fx.Path()));
    ASSERT_TRUE(folder);
    const QByteArray dir = Native(fx.Path());
    ASSERT_EQ(::symlink("/nirgends", (dir + "/verwaist").constData()), 0);
    for (const char* taken : {"leer", "b.jpg", "verwaist"}) {
        int error = 0;
        EXPECT_EQ(folder->SetNameOf(TSsIdList({QByteArray("c.txt")}), QString::fromLatin1(taken), &error), nullptr);
        EXPECT_EQ(error, EEXIST) << taken;
        EXPECT_TRUE(Exists(dir + "/c.txt"));
    }
    EXPECT_EQ(QFileInfo(fx.Path("b.jpg")).size(), 3000);
    EXPECT_TRUE(QFileInfo(fx.Path("leer")).isDir());

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
    int done = 0;
    for (int i = 0; i < 2000; ++i) {
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
