#include "ShellViewFixtures.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QScrollBar>
#include <QUrl>

namespace {
struct TreeFixture : ShellTreeFixture<TSsShellTreeView> {
    TreeFixture() { tree.HandleNeeded(); }
    PSsIdList List(const QString& rel) { return SsPathToIdList(Path(rel)); }
};
}  // namespace

TEST(SsShellTreeView, FillsRootWithSortedFolders)
{
    TreeFixture fx;
    ASSERT_EQ(fx.tree.topLevelItemCount(), 1);
    QTreeWidgetItem* root = fx.Root();
    EXPECT_EQ(root->text(0), QFileInfo(fx.Path()).fileName());
    EXPECT_TRUE(root->isExpanded());
    EXPECT_EQ(ChildTexts(root), QStringList({"alt", "Bilder", "leer"}));
    EXPECT_EQ(Child(root, "Bilder")->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    EXPECT_NE(Child(root, "leer")->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    EXPECT_EQ(Child(root, "Bilder")->childCount(), 0);  // filled when expanded
    EXPECT_EQ(fx.tree.FolderOf(root)->Path, fx.Path());

    // Files and hidden folders on request.
    fx.tree.SetOptions(fx.tree.Options() | toShowFiles | toShowHidden);
    fx.tree.FillTree();
    EXPECT_EQ(ChildTexts(fx.Root()),
              QStringList({".versteckt", "alt", "Bilder", "leer", ".hidden.jpg", "A.png", "b.jpg", "c.txt"}));
}

TEST(SsShellTreeView, NodeLosesButtonWhenItHasNothingToShow)
{
    TreeFixture fx;
    fx.Mkdir("nurversteckt/.x");
    fx.tree.FillTree();
    QTreeWidgetItem* node = Child(fx.Root(), "nurversteckt");
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    node->setExpanded(true);
    EXPECT_EQ(node->childCount(), 0);
    EXPECT_EQ(node->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
    EXPECT_FALSE(node->isExpanded());
}

TEST(SsShellTreeView, SelectsFolderByListExpandingAncestors)
{
    TreeFixture fx;
    PSsIdList strand = fx.List("Bilder/Urlaub/Strand");
    fx.tree.SelectFolderByPidl(strand.get());
    QTreeWidgetItem* node = fx.tree.currentItem();
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->text(0), "Strand");
    EXPECT_TRUE(node->parent()->isExpanded());
    EXPECT_TRUE(Child(fx.Root(), "Bilder")->isExpanded());
    EXPECT_EQ(fx.tree.SelectedPath(), fx.Path("Bilder/Urlaub/Strand"));
    EXPECT_EQ(fx.tree.FindNodeByPath(fx.Path("Bilder/Urlaub")), node->parent());
    EXPECT_EQ(fx.tree.FindNodeByPidl(strand.get()), node);

    // Outside the root, or gone: "Invalid folder".
    PSsIdList home = SsPathToIdList(QDir::homePath());
    try {
        fx.tree.SelectFolderByPidl(home.get());
        FAIL();
    } catch (const ESsInvalidFolder& e) {
        EXPECT_EQ(e.ErrorCode, 240);
    }
    TSsIdList missing = *fx.List("Bilder");
    missing.Append("fehlt");
    EXPECT_THROW(fx.tree.SelectFolderByPidl(&missing), ESsInvalidFolder);
}

// A folder made a moment ago, before its change notice arrived, is read
// into its parent's children when it is selected; the parent's other
// expanded folders stay expanded.
TEST(SsShellTreeView, SelectsAFolderCreatedBeforeItsChangeNotice)
{
    TreeFixture fx;
    PSsIdList strand = fx.List("Bilder/Urlaub/Strand");
    fx.tree.SelectFolderByPidl(strand.get());
    QTreeWidgetItem* bilder = Child(fx.Root(), "Bilder");
    ASSERT_TRUE(bilder->isExpanded());
    fx.Mkdir("Bilder/Neu/Tief");
    fx.Mkdir("leer/Frisch");

    for (const char* rel : {"Bilder/Neu/Tief", "leer/Frisch"}) {
        PSsIdList made = fx.List(rel);
        fx.tree.SelectFolderByPidl(made.get());
        ASSERT_NE(fx.tree.currentItem(), nullptr) << rel;
        EXPECT_EQ(fx.tree.SelectedPath(), fx.Path(rel));
        EXPECT_EQ(fx.tree.FindNodeByPidl(made.get()), fx.tree.currentItem());
    }
    EXPECT_TRUE(fx.tree.FindNodeByPidl(strand.get()) != nullptr);
    EXPECT_TRUE(fx.tree.FindNodeByPath(fx.Path("Bilder/Urlaub"))->isExpanded());
    EXPECT_EQ(ChildTexts(Child(fx.Root(), "Bilder")).count("Neu"), 1);

    // A folder that is on no disk stays unreachable.
    TSsIdList missing = *fx.List("Bilder/Neu");
    missing.Append("fehlt");
    EXPECT_THROW(fx.tree.SelectFolderByPidl(&missing), ESsInvalidFolder);
}

TEST(SsShellTreeView, FirstPaintReportsTheStartFolder)
{
    ShellFixture fx;
    TSsShellTreeView tree;
    QStringList selected;
    tree.OnFolderSelected = [&](TObject*, TSsShellFolder* f) { selected << f->Path; };
    tree.SetStartInFolder("C:");
    EXPECT_EQ(tree.StartInFolder(), "C:\\");
    tree.SetRootFolder(fx.Path());
    tree.SetStartInFolder(fx.Path("Bilder/Urlaub"));
    tree.show();
    ASSERT_TRUE(WaitFor([&] { return tree.InitialSelectionDone(); }));
    EXPECT_EQ(selected, QStringList({fx.Path("Bilder/Urlaub")}));
    EXPECT_EQ(tree.currentItem()->text(0), "Urlaub");

    // Without a node of the start folder the first node is reported.
    TSsShellTreeView other;
    other.OnFolderSelected = [&](TObject*, TSsShellFolder* f) { selected << f->Path; };
    other.SetRootFolder(fx.Path("Bilder"));
    other.show();
    ASSERT_TRUE(WaitFor([&] { return other.InitialSelectionDone(); }));
    EXPECT_EQ(selected.last(), fx.Path("Bilder"));

    // Changing the filter fills the tree again and reports the top node.
    other.OnFilterItem = [](TObject*, TSsShellItem* item, bool& accept) { accept = item->DisplayName != "Urlaub"; };
    selected.clear();
    other.SetFiltered(true);
    EXPECT_EQ(ChildTexts(other.topLevelItem(0)), QStringList());
    ASSERT_TRUE(WaitFor([&] { return !selected.isEmpty(); }));
    EXPECT_EQ(selected, QStringList({fx.Path("Bilder")}));
}

TEST(SsShellTreeView, FollowsChangesInTheFileSystem)
{
    TreeFixture fx;
    QTreeWidgetItem* bilder = Child(fx.Root(), "Bilder");
    bilder->setExpanded(true);
    ASSERT_EQ(ChildTexts(bilder), QStringList({"Urlaub"}));

    fx.Mkdir("Bilder/Neu");
    ASSERT_TRUE(WaitFor([&] { return Child(bilder, "Neu") != nullptr; }));
    EXPECT_EQ(ChildTexts(bilder), QStringList({"Neu", "Urlaub"}));

    // A branch that was never expanded gets no node; expanding shows it.
    // A hidden folder gets no node either (its notice comes before the next one's).
    fx.Mkdir("Bilder/Urlaub/Strand/Tief");
    fx.Mkdir("Bilder/.cache");
    fx.Mkdir("Bilder/Zuletzt");
    ASSERT_TRUE(WaitFor([&] { return Child(bilder, "Zuletzt") != nullptr; }));
    EXPECT_EQ(ChildTexts(bilder), QStringList({"Neu", "Urlaub", "Zuletzt"}));
    QTreeWidgetItem* urlaub = Child(bilder, "Urlaub");
    EXPECT_EQ(urlaub->childCount(), 0);
    urlaub->setExpanded(true);
    Child(urlaub, "Strand")->setExpanded(true);
    EXPECT_EQ(ChildTexts(Child(urlaub, "Strand")), QStringList({"Tief"}));

    // Renaming keeps the node and shows the new name; only the case changes.
    QTreeWidgetItem* neu = Child(bilder, "Neu");
    ASSERT_TRUE(QDir().rename(fx.Path("Bilder/Neu"), fx.Path("Bilder/neu")));
    ASSERT_TRUE(WaitFor([&] { return neu->text(0) == "neu"; }));
    EXPECT_EQ(fx.tree.FolderOf(neu)->Path, fx.Path("Bilder/neu"));

    // Deleting the selected folder selects the next node first.
    fx.tree.setCurrentItem(neu);
    ASSERT_TRUE(QDir().rmdir(fx.Path("Bilder/neu")));
    ASSERT_TRUE(WaitFor([&] { return Child(bilder, "neu") == nullptr; }));
    ASSERT_NE(fx.tree.currentItem(), nullptr);
    EXPECT_EQ(fx.tree.currentItem()->text(0), "Urlaub");
}

// A new folder below expanded folders leaves every expanded folder expanded
// and the selection where it was.
TEST(SsShellTreeView, NewFolderKeepsExpandedFoldersAndTheSelection)
{
    TreeFixture fx;
    fx.Mkdir("Bilder/Urlaub/Strand/Tief");
    fx.Mkdir("Bilder/Urlaub/Berge");
    QTreeWidgetItem* bilder = Child(fx.Root(), "Bilder");
    bilder->setExpanded(true);
    QTreeWidgetItem* urlaub = Child(bilder, "Urlaub");
    urlaub->setExpanded(true);
    QTreeWidgetItem* strand = Child(urlaub, "Strand");
    strand->setExpanded(true);
    QTreeWidgetItem* tief = Child(strand, "Tief");
    ASSERT_NE(tief, nullptr);
    fx.tree.setCurrentItem(tief);

    for (const char* made : {"Bilder/Alben", "Bilder/Urlaub/Alpen", "Aaa"}) {
        SCOPED_TRACE(made);
        fx.Mkdir(made);
        const QString name = QFileInfo(fx.Path(made)).fileName();
        QTreeWidgetItem* parent = QString(made).count('/') == 0 ? fx.Root()
                                  : QString(made).count('/') == 1 ? bilder : urlaub;
        ASSERT_TRUE(WaitFor([&] { return Child(parent, name) != nullptr; }));
        EXPECT_TRUE(fx.Root()->isExpanded());
        EXPECT_TRUE(bilder->isExpanded());
        EXPECT_TRUE(urlaub->isExpanded());
        EXPECT_TRUE(strand->isExpanded());
        EXPECT_EQ(fx.tree.currentItem(), tief);
        EXPECT_TRUE(tief->isSelected());
    }
    EXPECT_EQ(ChildTexts(urlaub), QStringList({"Alpen", "Berge", "Strand"}));
}

// A folder that gets its first subfolder gets its expand button at once.
TEST(SsShellTreeView, FirstSubfolderShowsTheExpandButton)
{
    TreeFixture fx;
    QTreeWidgetItem* leer = Child(fx.Root(), "leer");
    QTreeWidgetItem* alt = Child(fx.Root(), "alt");
    alt->setExpanded(true);  // found empty
    ASSERT_NE(leer->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    ASSERT_EQ(alt->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);

    fx.Mkdir("leer/Erster");
    fx.Mkdir("alt/Erster");
    ASSERT_TRUE(WaitFor([&] {
        return leer->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator
               && alt->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator;
    }));
    leer->setExpanded(true);
    EXPECT_EQ(ChildTexts(leer), QStringList({"Erster"}));
    alt->setExpanded(true);
    EXPECT_EQ(ChildTexts(alt), QStringList({"Erster"}));

    // A hidden folder shows no button.
    QTreeWidgetItem* erster = Child(leer, "Erster");
    erster->setExpanded(true);
    fx.Mkdir("leer/Erster/.versteckt");
    fx.Mkdir("alt/Erster/Sichtbar");  // comes after the hidden one's notice
    ASSERT_TRUE(WaitFor([&] {
        return Child(alt, "Erster")->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator;
    }));
    EXPECT_NE(erster->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
}

TEST(SsShellTreeView, RenamesInPlace)
{
    TreeFixture fx;
    fx.tree.show();
    ASSERT_TRUE(WaitFor([&] { return fx.tree.InitialSelectionDone(); }));
    QTreeWidgetItem* alt = Child(fx.Root(), "alt");
    fx.tree.setCurrentItem(alt);
    fx.tree.editItem(alt);
    auto* editor = fx.tree.findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText("Archiv");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(editor, &enter);
    ASSERT_TRUE(WaitFor([&] { return QFileInfo::exists(fx.Path("Archiv")); }));
    EXPECT_FALSE(QFileInfo::exists(fx.Path("alt")));
    ASSERT_TRUE(WaitFor([&] { return fx.tree.currentItem() && fx.tree.currentItem()->text(0) == "Archiv"; }));
    EXPECT_EQ(fx.tree.SelectedPath(), fx.Path("Archiv"));
    // Renaming onto an existing name is refused and nothing is lost.
    QTreeWidgetItem* archiv = fx.tree.currentItem();
    fx.tree.editItem(archiv);
    editor = fx.tree.findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText("leer");
    QApplication::sendEvent(editor, &enter);
    // The refused rename gives the node its old name back.
    const auto named = [&](const QString& Text) { return int(ChildTexts(fx.Root()).count(Text)); };
    EXPECT_TRUE(WaitFor([&] { return named("Archiv") == 1 && named("leer") == 1; }));
    EXPECT_TRUE(QFileInfo::exists(fx.Path("Archiv")));
    EXPECT_TRUE(QFileInfo(fx.Path("leer")).isDir());
}

namespace {
// Renames the root's child From to To in the editor; Between runs once the edit
// is committed and before the queued rename does.
void RenameWithChangeBetween(TreeFixture& fx, const QString& From, const QString& To,
                             const std::function<void()>& Between)
{
    struct TBetween : QObject {
        std::function<void()> Run;
        bool Armed = false;
        bool eventFilter(QObject*, QEvent* Event) override
        {
            if (Armed && Event->type() == QEvent::MetaCall) {
                Armed = false;
                Run();
            }
            return false;
        }
    } between;
    between.Run = Between;
    fx.tree.installEventFilter(&between);
    QObject::connect(&fx.tree, &QTreeWidget::itemChanged, &between, [&] { between.Armed = true; });
    fx.tree.editItem(Child(fx.Root(), From));
    auto* editor = fx.tree.findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(To);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(editor, &enter);
    WaitFor([&] { return !between.Armed && !fx.tree.findChild<QLineEdit*>(); }, 300);
    QCoreApplication::processEvents();
    fx.tree.removeEventFilter(&between);
}
}  // namespace

TEST(SsShellTreeView, RenameFindsItsFolderAfterAChangeNotice)
{
    TreeFixture fx;
    fx.tree.show();
    ASSERT_TRUE(WaitFor([&] { return fx.tree.InitialSelectionDone(); }));
    // The root is read again: its folders get new nodes and slots.
    RenameWithChangeBetween(fx, "leer", "voll", [&] { fx.tree.RefreshNode(fx.Root()); });
    ASSERT_TRUE(WaitFor([&] { return QFileInfo::exists(fx.Path("voll")); }));
    EXPECT_FALSE(QFileInfo::exists(fx.Path("leer")));
    EXPECT_TRUE(QFileInfo(fx.Path("alt")).isDir());
    EXPECT_TRUE(QFileInfo(fx.Path("Bilder")).isDir());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    // The tree shows another folder now: the old slots name other folders,
    // none of which may be renamed.
    RenameWithChangeBetween(fx, "alt", "neu", [&] { fx.tree.SetRootFolder(fx.Path("Bilder")); });
    EXPECT_EQ(QDir(fx.Path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
              QStringList({"alt", "Bilder", "voll"}));
    EXPECT_EQ(QDir(fx.Path("Bilder")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).count("neu"), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(SsShellTreeView, DropOnNodeCopiesAndHoverExpands)
{
    TreeFixture fx;
    fx.tree.ExpandInterval = 50;
    fx.tree.show();
    ASSERT_TRUE(WaitFor([&] { return fx.tree.InitialSelectionDone(); }));
    QTreeWidgetItem* bilder = Child(fx.Root(), "Bilder");
    const QPointF at = fx.tree.visualItemRect(bilder).center();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(fx.Path("b.jpg"))});
    QWidget* vp = fx.tree.viewport();
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDragMoveEvent move(at.toPoint(), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(vp, &move);
    EXPECT_TRUE(move.isAccepted());
    EXPECT_EQ(move.dropAction(), Qt::CopyAction);
    EXPECT_EQ(bilder->background(0).color(), fx.tree.palette().highlight().color());
    ASSERT_TRUE(WaitFor([&] { return bilder->isExpanded(); }));  // hovering expands

    const QPointF again = fx.tree.visualItemRect(bilder).center();
    QDropEvent drop(again, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(vp, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_TRUE(QFile::exists(fx.Path("Bilder/b.jpg")));
    EXPECT_TRUE(QFile::exists(fx.Path("b.jpg")));
    EXPECT_EQ(bilder->background(0).style(), Qt::NoBrush);

    // Data without files is not accepted; a drop then fails.
    QMimeData text;
    text.setText("x");
    QDragEnterEvent refused(at.toPoint(), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &refused);
    EXPECT_FALSE(refused.isAccepted());

    // With an interval of 0 hovering never expands.
    fx.tree.ExpandInterval = 0;
    QTreeWidgetItem* leer = Child(fx.Root(), "alt");
    fx.Mkdir("alt/unter");
    fx.tree.RefreshNode(fx.Root());
    leer = Child(fx.Root(), "alt");
    ASSERT_EQ(leer->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    QDragEnterEvent enter2(fx.tree.visualItemRect(leer).center(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &enter2);
    QDragMoveEvent move2(fx.tree.visualItemRect(leer).center(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &move2);
    WaitFor([] { return false; }, 150);
    EXPECT_FALSE(leer->isExpanded());
}

TEST(SsShellTreeView, DragRestingNearTheEdgeKeepsScrolling)
{
    TreeFixture fx;
    for (int i = 0; i < 40; ++i)
        fx.Mkdir(QString("viele/o%1").arg(i, 2, 10, QChar('0')));
    fx.tree.resize(300, 150);
    fx.tree.show();
    ASSERT_TRUE(WaitFor([&] { return fx.tree.InitialSelectionDone(); }));
    // The folder's node comes with its change notice; expanded before the
    // notice came, a refresh would replace the expanded node.
    ASSERT_TRUE(WaitFor([&] { return Child(fx.Root(), "viele") != nullptr; }));
    QTreeWidgetItem* viele = Child(fx.Root(), "viele");
    viele->setExpanded(true);
    QScrollBar* bar = fx.tree.verticalScrollBar();
    ASSERT_TRUE(WaitFor([&] { return bar->maximum() > 3; }));
    bar->setValue(bar->maximum());
    ASSERT_TRUE(WaitFor([&] { return bar->value() == bar->maximum(); }));

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(fx.Path("b.jpg"))});
    QWidget* vp = fx.tree.viewport();
    const QPoint top(20, 5);
    QDragEnterEvent enter(top, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &enter);
    QDragMoveEvent move(top, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &move);
    // No further drag-over arrives while the cursor rests; it scrolls on.
    const int start = bar->value();
    ASSERT_GT(start, 3);
    EXPECT_TRUE(WaitFor([&] { return bar->value() <= start - 3; }))
        << "from " << start << " to " << bar->value() << " of " << bar->maximum();

    // Away from the edge, and after leaving, it stops.
    QDragLeaveEvent leave;
    QApplication::sendEvent(vp, &leave);
    const int stopped = bar->value();
    WaitFor([] { return false; }, 120);
    EXPECT_EQ(bar->value(), stopped);
}
