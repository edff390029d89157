// The folder tree keeps in step with the disk: moves across file systems,
// folders made by other programs, bursts of notices, the order of the nodes
// and the view, folders that went unnoticed, and new folders of the menu.
#include "ShellViewFixtures.h"
#include "SsContextMenu.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QScrollBar>
#include <QUrl>

#include <sys/stat.h>

namespace {
// Runs the tree's context menu on its selected node, choosing the entry
// with the given text.
void RunMenu(TSsCustomShellTreeView& tree, const QString& entry)
{
    SsTrackPopupMenuHook = [entry](QMenu& menu, const QPoint&) {
        for (QAction* a : menu.actions())
            if (a->text() == entry && a->isEnabled())
                return a->data().toInt();
        return 0;
    };
    QWidget* view = tree.viewport();
    QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(5, 5), view->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(view, &e);
    SsTrackPopupMenuHook = nullptr;
}

dev_t DeviceOf(const QString& path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_dev : dev_t(0);
}

struct TreeFixture : ShellTreeFixture<TSsShellTreeView> {
    TreeFixture()
    {
        tree.show();
        WaitFor([&] { return tree.InitialSelectionDone(); });
    }
};
}  // namespace

// A folder cut and pasted onto another file system leaves its old parent and
// appears under the target, though the many notices of its files' removal
// overflow the notification's queue.
TEST(SsShellTreeView, FolderMovedToAnotherFileSystemFollowsTheDisk)
{
    ShellFixture fx;
    QTemporaryDir elsewhere(QStringLiteral("/dev/shm/lumi-tree-XXXXXX"));
    if (!elsewhere.isValid() || DeviceOf(elsewhere.path()) == DeviceOf(fx.Path()))
        GTEST_SKIP() << "no writable folder on another file system than " << fx.Path().toStdString();
    QDir().mkpath(elsewhere.path() + "/Ziel");
    for (int i = 0; i < 12; ++i)
        fx.Write(QString("Bilder/Urlaub/bild%1.jpg").arg(i), 10, 2020);
    fx.Mkdir("Bilder/Urlaub/Strand/Tief");

    // Rooted at the desktop, as the program's tree is; both places are reached
    // through the file system's root.
    TSsShellTreeView tree;
    tree.resize(300, 400);
    tree.show();
    ASSERT_TRUE(WaitFor([&] { return tree.InitialSelectionDone(); }));
    PSsIdList target = SsPathToIdList(elsewhere.path() + "/Ziel");
    tree.SelectFolderByPidl(target.get());
    QTreeWidgetItem* ziel = tree.currentItem();
    ASSERT_EQ(ziel->text(0), "Ziel");
    PSsIdList moved = SsPathToIdList(fx.Path("Bilder/Urlaub"));
    tree.SelectFolderByPidl(moved.get());
    QTreeWidgetItem* urlaub = tree.currentItem();
    ASSERT_EQ(urlaub->text(0), "Urlaub");
    urlaub->setExpanded(true);  // its files' folder is watched too
    QTreeWidgetItem* bilder = urlaub->parent();

    RunMenu(tree, SsMenuText("Cu&t"));
    tree.setCurrentItem(ziel);
    RunMenu(tree, SsMenuText("&Paste"));
    ASSERT_TRUE(QFileInfo(elsewhere.path() + "/Ziel/Urlaub/Strand/Tief").isDir());
    ASSERT_FALSE(QFileInfo::exists(fx.Path("Bilder/Urlaub")));

    EXPECT_TRUE(WaitFor([&] { return ChildTexts(bilder).isEmpty(); })) << ChildTexts(bilder).join(',').toStdString();
    EXPECT_TRUE(WaitFor([&] {
        return ziel->childCount() > 0 || ziel->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator;
    }));
    ziel->setExpanded(true);
    EXPECT_EQ(ChildTexts(ziel), QStringList({"Urlaub"}));
    QTreeWidgetItem* arrived = Child(ziel, "Urlaub");
    ASSERT_NE(arrived, nullptr);
    EXPECT_EQ(tree.FolderOf(arrived)->Path, elsewhere.path() + "/Ziel/Urlaub");
    arrived->setExpanded(true);
    EXPECT_EQ(ChildTexts(arrived), QStringList({"Strand"}));
}

// A folder that another program makes together with a sub-folder gets its
// expand button, and expanding it shows the sub-folder.
TEST(SsShellTreeView, FolderMadeWithItsSubfolderShowsIt)
{
    TreeFixture fx;
    QTreeWidgetItem* root = fx.Root();
    ASSERT_TRUE(QDir().mkpath(fx.Path("Extern/Unterordner")));
    ASSERT_TRUE(WaitFor([&] { return Child(root, "Extern") != nullptr; }));
    QTreeWidgetItem* extern_ = Child(root, "Extern");
    EXPECT_EQ(extern_->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    extern_->setExpanded(true);
    EXPECT_EQ(ChildTexts(extern_), QStringList({"Unterordner"}));
}

// A folder that lost its last child node while expanded shows the next one
// that comes, and so does one found empty when it was expanded.
TEST(SsShellTreeView, ExpandedFolderWithoutChildrenShowsTheNextOne)
{
    TreeFixture fx;
    QTreeWidgetItem* bilder = Child(fx.Root(), "Bilder");
    bilder->setExpanded(true);
    ASSERT_EQ(ChildTexts(bilder), QStringList({"Urlaub"}));
    ASSERT_TRUE(QDir(fx.Path("Bilder/Urlaub")).removeRecursively());
    ASSERT_TRUE(WaitFor([&] { return bilder->childCount() == 0; }));
    fx.Mkdir("Bilder/Eingefuegt");
    ASSERT_TRUE(WaitFor([&] { return bilder->childCount() > 0; }));
    EXPECT_EQ(ChildTexts(bilder), QStringList({"Eingefuegt"}));
    EXPECT_TRUE(bilder->isExpanded());

    QTreeWidgetItem* leer = Child(fx.Root(), "leer");
    leer->setExpanded(true);  // found empty: no button, collapsed
    ASSERT_FALSE(leer->isExpanded());
    fx.Mkdir("leer/Neu");
    ASSERT_TRUE(WaitFor([&] { return leer->childCount() > 0; }));
    EXPECT_EQ(leer->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    leer->setExpanded(true);
    EXPECT_EQ(ChildTexts(leer), QStringList({"Neu"}));
}

// Many folders made and removed at once, more than the notification's queue
// takes: every node comes and goes, each in its place in the order.
TEST(SsShellTreeView, BurstOfNoticesKeepsTheOrder)
{
    TreeFixture fx;
    QTreeWidgetItem* root = fx.Root();
    QStringList expected = ChildTexts(root);
    for (const char* m : {"Aa", "m05b", "zz", "m00a", "Bilder2", "k", "Zeta", "beta", "ALT2"}) {
        fx.Mkdir(m);
        expected << m;
    }
    ASSERT_TRUE(QDir(fx.Path("alt")).removeRecursively());
    expected.removeAll("alt");
    std::sort(expected.begin(), expected.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    EXPECT_TRUE(WaitFor([&] { return ChildTexts(root) == expected; })) << ChildTexts(root).join(',').toStdString();
}

// Nodes that come and go above and below do not move the node under the
// mouse, nor does the view scroll to the selection out of sight.
TEST(SsShellTreeView, NoticesDoNotMoveTheView)
{
    TreeFixture fx;
    for (int i = 0; i < 30; ++i)
        fx.Mkdir(QString("m%1").arg(i, 2, 10, QChar('0')));
    fx.tree.FillTree();
    QTreeWidgetItem* root = fx.Root();
    fx.tree.resize(300, 200);
    QApplication::processEvents();

    fx.tree.setCurrentItem(Child(root, "m29"));
    fx.tree.scrollToItem(Child(root, "m10"), QAbstractItemView::PositionAtTop);
    QTreeWidgetItem* pointed = Child(root, "m13");
    const QRect rect = fx.tree.visualItemRect(pointed);
    ASSERT_TRUE(fx.tree.viewport()->rect().contains(rect));
    QCursor::setPos(fx.tree.viewport()->mapToGlobal(rect.center()));

    struct Step {
        bool Make;
        const char* Name;
    };
    const Step steps[] = {{true, "m05b"}, {true, "Aa"}, {false, "m02"}, {true, "m20b"}, {true, "m12b"}};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.Name);
        if (step.Make)
            fx.Mkdir(step.Name);
        else
            ASSERT_TRUE(QDir().rmdir(fx.Path(step.Name)));
        ASSERT_TRUE(WaitFor([&] { return (Child(root, step.Name) != nullptr) == step.Make; }));
        EXPECT_EQ(fx.tree.visualItemRect(pointed).top(), rect.top());
        EXPECT_EQ(fx.tree.itemAt(rect.center()), pointed);
        EXPECT_EQ(fx.tree.currentItem(), Child(root, "m29"));
    }
    QStringList sorted = ChildTexts(root);
    std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    EXPECT_EQ(ChildTexts(root), sorted);
}

// A node whose folder went away unnoticed is removed when it is chosen, with
// the message of the folder error, and nothing reports it as selected.
TEST(SsShellTreeView, ChosenNodeOfAVanishedFolderGoes)
{
    TreeFixture fx;
    QStringList reported;
    fx.tree.OnFolderSelected = [&](TObject*, TSsShellFolder* f) { reported << f->Path; };
    fx.tree.Notification()->SetActive(false);
    ASSERT_TRUE(QDir().rmdir(fx.Path("leer")));
    QTreeWidgetItem* leer = Child(fx.Root(), "leer");
    ASSERT_NE(leer, nullptr);
    fx.tree.setCurrentItem(leer);
    ASSERT_TRUE(WaitFor([&] { return fx.tree.findChild<QMessageBox*>() != nullptr; }));
    auto* box = fx.tree.findChild<QMessageBox*>();
    EXPECT_EQ(box->windowTitle(), QCoreApplication::translate("MsgDlg", "Error"));
    EXPECT_TRUE(box->text().startsWith("Invalid folder")) << box->text().toStdString();
    EXPECT_TRUE(box->text().contains(fx.Path("leer")));
    delete box;
    EXPECT_EQ(ChildTexts(fx.Root()), QStringList({"alt", "Bilder"}));
    EXPECT_FALSE(reported.contains(fx.Path("leer")));
    ASSERT_NE(fx.tree.currentItem(), nullptr);
    EXPECT_TRUE(fx.tree.currentItem()->text(0) == "Bilder") << fx.tree.currentItem()->text(0).toStdString();

    // A folder whose parents went with it: the outermost one shown goes, told once.
    QTreeWidgetItem* bilder = Child(fx.Root(), "Bilder");
    bilder->setExpanded(true);
    Child(bilder, "Urlaub")->setExpanded(true);
    QTreeWidgetItem* strand = Child(Child(bilder, "Urlaub"), "Strand");
    ASSERT_NE(strand, nullptr);
    ASSERT_TRUE(QDir(fx.Path("Bilder")).removeRecursively());
    fx.tree.setCurrentItem(strand);
    ASSERT_TRUE(WaitFor([&] { return Child(fx.Root(), "Bilder") == nullptr; }));
    for (int i = 0; i < 10; ++i)
        QApplication::processEvents();
    const QList<QMessageBox*> boxes = fx.tree.findChildren<QMessageBox*>();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0]->text().contains(fx.Path("Bilder/Urlaub/Strand")));
    delete boxes[0];
    EXPECT_EQ(ChildTexts(fx.Root()), QStringList({"alt"}));
}

// New Folder of the menu shows the new folder at once, selected, in its
// parent opened for it.
TEST(SsShellTreeView, NewFolderOfTheMenuIsShownSelected)
{
    TreeFixture fx;
    for (const char* parent : {"Bilder", "leer"}) {
        SCOPED_TRACE(parent);
        QTreeWidgetItem* node = Child(fx.Root(), parent);
        fx.tree.setCurrentItem(node);
        RunMenu(fx.tree, SsMenuText("New &Folder"));
        const QString made = fx.Path(QString(parent) + '/' + SsMenuText(SsNewFolderName));
        ASSERT_TRUE(QFileInfo(made).isDir());
        QTreeWidgetItem* current = fx.tree.currentItem();
        ASSERT_NE(current, nullptr);
        EXPECT_EQ(fx.tree.FolderOf(current)->Path, made);
        EXPECT_EQ(fx.tree.SelectedPath(), made);
        EXPECT_TRUE(node->isExpanded());
        EXPECT_TRUE(fx.tree.viewport()->rect().intersects(fx.tree.visualItemRect(current)));
        // Its notice adds no second node: notices come in order, so once a
        // later folder's node is there, the new folder's notice was handled.
        const QString later = QString(parent) + "/zz-danach";
        fx.Mkdir(later);
        ASSERT_TRUE(WaitFor([&] { return Child(node, "zz-danach") != nullptr; }));
        EXPECT_EQ(ChildTexts(node).count(SsMenuText(SsNewFolderName)), 1);
    }
}
