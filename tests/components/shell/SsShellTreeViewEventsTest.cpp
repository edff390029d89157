// The tree control's own events as the shell tree raises them.
#include "ShellViewFixtures.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QStyleOptionViewItem>
#include <QTimer>
#include <QUrl>
#include <QWindow>

namespace {
// Sees what the custom draw gets and draws one node itself.
class DrawingTree : public TSsShellTreeView {
public:
    using TSsShellTreeView::startDrag;
    void CustomDrawItem(TObject* Sender, QTreeWidgetItem* Node, QStyleOptionViewItem& State,
                        bool& DefaultDraw) override
    {
        TSsShellTreeView::CustomDrawItem(Sender, Node, State, DefaultDraw);
        drawn[Node->text(0)] = State.icon.pixmap(SsSmallIconSize).toImage();
        if (Node->text(0) == ownDrawn)
            DefaultDraw = false;
    }
    QHash<QString, QImage> drawn;
    QString ownDrawn;
};

struct TreeFixture : ShellTreeFixture<DrawingTree> {
    TreeFixture() { tree.HandleNeeded(); }
};
}  // namespace

TEST(SsShellTreeView, ExpandingAndCollapsingEventsMayRefuse)
{
    TreeFixture fx;
    QStringList seen;
    bool allow = false;
    fx.tree.OnExpanding = [&](TObject* s, QTreeWidgetItem* n, bool& a) {
        EXPECT_EQ(s, &fx.tree);
        seen << "expanding " + n->text(0);
        a = allow;
    };
    fx.tree.OnExpanded = [&](TObject*, QTreeWidgetItem* n) { seen << "expanded " + n->text(0); };
    fx.tree.OnCollapsing = [&](TObject*, QTreeWidgetItem* n, bool& a) {
        seen << "collapsing " + n->text(0);
        a = allow;
    };
    fx.tree.OnCollapsed = [&](TObject*, QTreeWidgetItem* n) { seen << "collapsed " + n->text(0); };
    QTreeWidgetItem* bilder = Child(fx.Root(), "Bilder");
    bilder->setExpanded(true);
    EXPECT_FALSE(bilder->isExpanded());
    EXPECT_EQ(bilder->childCount(), 0);  // refused before the folder is read
    allow = true;
    bilder->setExpanded(true);
    EXPECT_TRUE(bilder->isExpanded());
    EXPECT_EQ(bilder->childCount(), 1);
    allow = false;
    bilder->setExpanded(false);
    EXPECT_TRUE(bilder->isExpanded());
    allow = true;
    bilder->setExpanded(false);
    EXPECT_FALSE(bilder->isExpanded());
    EXPECT_EQ(seen, QStringList({"expanding Bilder", "expanding Bilder", "expanded Bilder", "collapsing Bilder",
                                 "collapsing Bilder", "collapsed Bilder"}));
    // A node with nothing below loses its button and reports no expansion.
    seen.clear();
    fx.Mkdir("alt/.x");
    fx.tree.RefreshNode(fx.Root());
    seen.clear();
    Child(fx.Root(), "alt")->setExpanded(true);
    EXPECT_EQ(seen, QStringList({"expanding alt"}));
}

TEST(SsShellTreeView, EditingAndEditedEvents)
{
    TreeFixture fx;
    fx.tree.show();
    ASSERT_TRUE(WaitFor([&] { return fx.tree.InitialSelectionDone(); }));
    bool allow = false;
    fx.tree.OnEditing = [&](TObject*, QTreeWidgetItem* n, bool& a) { a = allow && n->text(0) == "alt"; };
    fx.tree.OnEdited = [&](TObject*, QTreeWidgetItem*, QString& s) { s = s.toUpper(); };
    QTreeWidgetItem* alt = Child(fx.Root(), "alt");
    fx.tree.editItem(alt);
    EXPECT_EQ(fx.tree.findChild<QLineEdit*>(), nullptr);
    allow = true;
    fx.tree.editItem(alt);
    auto* editor = fx.tree.findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText("archiv");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(editor, &enter);
    // The handler's text is the new name.
    EXPECT_TRUE(WaitFor([&] { return QFileInfo::exists(fx.Path("ARCHIV")); }));
    EXPECT_FALSE(QFileInfo::exists(fx.Path("archiv")));
}

TEST(SsShellTreeView, ImagesAskedAndCustomDrawnAtEachPaint)
{
    TreeFixture fx;
    QStringList asked, askedSelected;
    TSsSystemImageList& images = TSsSystemImageList::Instance();
    const int fileImage = images.IndexOf(fx.Path("c.txt"), false, false, false, false);
    fx.tree.OnGetImageIndex = [&](TObject*, QTreeWidgetItem* n) {
        asked << n->text(0);
        if (n->text(0) == "leer")
            n->setData(0, TSsCustomShellTreeView::ImageIndexRole, fileImage);
    };
    fx.tree.OnGetSelectedIndex = [&](TObject*, QTreeWidgetItem* n) { askedSelected << n->text(0); };
    fx.tree.ownDrawn = "alt";
    const QImage shot = fx.tree.viewport()->grab().toImage();
    for (const char* n : {"alt", "Bilder", "leer"}) {
        EXPECT_TRUE(asked.contains(n)) << n;
        EXPECT_TRUE(askedSelected.contains(n)) << n;
    }
    EXPECT_EQ(fx.tree.drawn.value("leer"), images.Pixmap(fileImage, SsSmallIconSize, -1).toImage());
    EXPECT_NE(fx.tree.drawn.value("Bilder"), fx.tree.drawn.value("leer"));
    // The node its handler drew shows nothing of the default drawing.
    const QRect row = fx.tree.visualItemRect(Child(fx.Root(), "alt"));
    const QRgb background = shot.pixel(row.right() - 1, row.center().y());
    for (int x = row.left(); x < row.right(); ++x)
        ASSERT_EQ(shot.pixel(x, row.center().y()), background) << x;
    const QRect bilder = fx.tree.visualItemRect(Child(fx.Root(), "Bilder"));
    bool drawnAny = false;
    for (int x = bilder.left(); x < bilder.right(); ++x)
        drawnAny = drawnAny || shot.pixel(x, bilder.center().y()) != background;
    EXPECT_TRUE(drawnAny);
}

TEST(SsShellTreeView, DeletionEventForEveryNodeThatGoes)
{
    TreeFixture fx;
    Child(fx.Root(), "Bilder")->setExpanded(true);
    QStringList deleted;
    fx.tree.OnDeletion = [&](TObject*, QTreeWidgetItem* n) { deleted << n->text(0); };
    QDir(fx.Path("Bilder")).removeRecursively();
    ASSERT_TRUE(WaitFor([&] { return !Child(fx.Root(), "Bilder"); }));
    EXPECT_EQ(deleted, QStringList({"Urlaub", "Bilder"}));
    deleted.clear();
    fx.tree.ClearNodes();
    deleted.sort();
    EXPECT_EQ(deleted, QStringList({"alt", "leer", QFileInfo(fx.Path()).fileName()}));
}

TEST(SsShellTreeView, KeyUpEventMaySwallowTheKey)
{
    TreeFixture fx;
    int seenKey = 0;
    Qt::KeyboardModifiers seenShift;
    fx.tree.OnKeyUp = [&](TObject*, int& key, Qt::KeyboardModifiers shift) {
        seenKey = key;
        seenShift = shift;
        if (key == Qt::Key_F2)
            key = 0;
    };
    QKeyEvent f2(QEvent::KeyRelease, Qt::Key_F2, Qt::ShiftModifier);
    QApplication::sendEvent(&fx.tree, &f2);
    EXPECT_EQ(seenKey, Qt::Key_F2);
    EXPECT_EQ(seenShift, Qt::ShiftModifier);
    EXPECT_TRUE(f2.isAccepted());
    QKeyEvent a(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier);
    QApplication::sendEvent(&fx.tree, &a);
    EXPECT_EQ(seenKey, Qt::Key_A);
    EXPECT_FALSE(a.isAccepted());
}

TEST(SsShellTreeView, DragEventsAroundADragOutAndADrop)
{
    TreeFixture fx;
    fx.tree.show();
    ASSERT_TRUE(WaitFor([&] { return fx.tree.InitialSelectionDone(); }));
    fx.tree.setCurrentItem(Child(fx.Root(), "alt"));
    QStringList started;
    bool ended = false;
    QObject* endTarget = &fx.tree;
    fx.tree.OnStartDrag = [&](TObject*, QDrag* drag) {
        started = LocalFilesOf(drag->mimeData());
        // The user cancels the drag.
        QTimer::singleShot(0, &fx.tree, [&] {
            QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(fx.tree.window()->windowHandle(), &esc);
        });
    };
    fx.tree.OnEndDrag = [&](TObject*, QObject* target, int, int) {
        ended = true;
        endTarget = target;
    };
    fx.tree.startDrag(Qt::CopyAction | Qt::MoveAction);
    EXPECT_EQ(started, QStringList({fx.Path("alt")}));
    EXPECT_TRUE(ended);
    EXPECT_EQ(endTarget, nullptr);

    QPoint dropped(-1, -1);
    fx.tree.OnDragDrop = [&](TObject*, QObject*, int x, int y) { dropped = QPoint(x, y); };
    const QPoint at = fx.tree.visualItemRect(Child(fx.Root(), "leer")).center();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(fx.Path("b.jpg"))});
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(fx.tree.viewport(), &enter);
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(fx.tree.viewport(), &drop);
    EXPECT_TRUE(QFileInfo::exists(fx.Path("leer/b.jpg")));
    EXPECT_EQ(dropped, at);
}
