#include "ShellViewFixtures.h"
#include "SsContextMenu.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QTest>
#include <QUrl>

#include <memory>

namespace {
// Stands in for the user at the context menu: records what it offers and
// chooses the entry with the given text (none: dismisses it); records the
// questions the verb asks and gives them Answer.
struct MenuChoice {
    explicit MenuChoice(QString choose = QString()) : choose_(std::move(choose))
    {
        SsQuestionHook = [this](QMessageBox& box) {
            questions << box.text();
            return answer;
        };
        SsTrackPopupMenuHook = [this](QMenu& menu, const QPoint& pos) {
            ++shown;
            at = pos;
            shownMenu = &menu;
            texts.clear();
            disabled.clear();
            int chosen = 0;
            for (QAction* a : menu.actions()) {
                if (a->isSeparator())
                    continue;
                texts << a->text();
                if (!a->isEnabled())
                    disabled << a->text();
                ids[a->text()] = a->data().toInt();
                if (a->text() == choose_ && a->isEnabled())
                    chosen = a->data().toInt();
            }
            return chosen;
        };
    }
    ~MenuChoice()
    {
        SsTrackPopupMenuHook = nullptr;
        SsQuestionHook = nullptr;
    }
    int answer = QMessageBox::Yes;
    QStringList questions;
    int shown = 0;
    QPoint at;
    QPointer<QMenu> shownMenu;
    QStringList texts;
    QStringList disabled;
    QHash<QString, int> ids;

private:
    QString choose_;
};

void ContextMenu(QWidget& w, QPoint pos = QPoint(5, 5))
{
    QContextMenuEvent e(QContextMenuEvent::Mouse, pos, w.mapToGlobal(pos));
    QApplication::sendEvent(&w, &e);
}

QString TrashedFile(const QString& name)
{
    return qEnvironmentVariable("XDG_DATA_HOME") + "/Trash/files/" + name;
}

int RowOf(const TSsCustomShellListView& list, const QString& name)
{
    for (int r = 0; r < list.RowCount(); ++r)
        if (list.RowItem(r)->DisplayName == name)
            return r;
    return -1;
}

struct TreeFixture : ShellTreeFixture<TSsShellTreeView> {
    TreeFixture()
    {
        tree.show();
        WaitFor([&] { return tree.InitialSelectionDone(); });
    }
    QTreeWidgetItem* Select(const QString& name)
    {
        QTreeWidgetItem* node = Child(Root(), name);
        tree.setCurrentItem(node);
        return node;
    }
};

struct ListFixture : ShellListFixture<TSsShellListView> {
    ListFixture()
    {
        list.show();
        list.HandleNeeded();
    }
    void SelectRows(const QStringList& names)
    {
        QItemSelectionModel* selection = list.ActiveView()->selectionModel();
        selection->clear();
        for (const QString& n : names)
            selection->select(list.ActiveView()->model()->index(RowOf(list, n), 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
        list.SetFocusedRow(RowOf(list, names.first()));
    }
};

class OpenedUrls : public QObject {
    Q_OBJECT
public:
    OpenedUrls() { QDesktopServices::setUrlHandler("file", this, "Open"); }
    ~OpenedUrls() override { QDesktopServices::unsetUrlHandler("file"); }
    QList<QUrl> urls;
public slots:
    void Open(const QUrl& url) { urls << url; }
};
}  // namespace

TEST(SsShellController, TreeMenuOfSelectedNodeRenamesThroughCommand19)
{
    TreeFixture fx;
    fx.Select("alt");
    MenuChoice user("Rena&me");
    ContextMenu(*fx.tree.viewport());
    ASSERT_EQ(user.shown, 1);
    EXPECT_EQ(user.ids.value("Rena&me"), 19);
    EXPECT_EQ(user.texts, QStringList({"&Open", "Cu&t", "&Copy", "&Paste", "New &Folder", "&Delete", "Rena&me",
                                       "P&roperties"}));
    EXPECT_EQ(user.at, fx.tree.viewport()->mapToGlobal(QPoint(5, 5)));
    EXPECT_TRUE(user.shownMenu.isNull());  // destroyed after the choice
    auto* editor = fx.tree.findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "alt");
    EXPECT_TRUE(QFileInfo(fx.Path("alt")).isDir());  // the verb itself renames nothing
}

TEST(SsShellController, RenameAndExtendedVerbsFollowTheTreeOptions)
{
    TreeFixture fx;
    fx.Select("alt");
    MenuChoice user;
    fx.tree.SetOptions(fx.tree.Options() & ~toAllowRename);
    ContextMenu(*fx.tree.viewport());
    EXPECT_FALSE(user.texts.contains("Rena&me"));

    // Extended verbs: only with toExtendedMenu and Shift held.
    QWindow* window = fx.tree.window()->windowHandle();
    ASSERT_NE(window, nullptr);
    QTest::keyPress(window, Qt::Key_Shift, Qt::ShiftModifier);
    ContextMenu(*fx.tree.viewport());
    EXPECT_FALSE(user.texts.contains("Copy as &Path"));
    fx.tree.SetOptions(fx.tree.Options() | toExtendedMenu);
    ContextMenu(*fx.tree.viewport());
    EXPECT_TRUE(user.texts.contains("Copy as &Path"));
    QTest::keyRelease(window, Qt::Key_Shift, Qt::NoModifier);
    ContextMenu(*fx.tree.viewport());
    EXPECT_FALSE(user.texts.contains("Copy as &Path"));

    // Without toShellMenu the tree shows none.
    fx.tree.SetOptions(fx.tree.Options() & ~toShellMenu);
    const int before = user.shown;
    ContextMenu(*fx.tree.viewport());
    EXPECT_EQ(user.shown, before);
}

TEST(SsShellController, DismissedMenuGivesMinusOneAndIsDestroyed)
{
    ShellFixture fx;
    TSsCustomShellController controller;
    PSsIdList folderList = SsPathToIdList(fx.Path());
    PSsNamespaceFolder folder = TSsNamespaceFolder::Desktop()->BindToObject(*folderList);
    ASSERT_TRUE(folder);
    PSsIdList file = folder->ParseDisplayName("b.jpg");
    const TSsIdList* lists[] = {file.get()};
    MenuChoice user;
    EXPECT_EQ(ShowShellContextMenu(&controller, nullptr, folder.get(), nullptr, 10, 20, 1, lists), -1);
    EXPECT_EQ(user.shown, 1);
    EXPECT_EQ(user.at, QPoint(10, 20));
    EXPECT_TRUE(user.shownMenu.isNull());
    // Without a control nothing allows renaming.
    EXPECT_FALSE(user.texts.contains("Rena&me"));
    EXPECT_TRUE(QFileInfo::exists(fx.Path("b.jpg")));
    // No items, or an item that is gone: no menu at all.
    EXPECT_EQ(ShowShellContextMenu(&controller, nullptr, folder.get(), nullptr, 0, 0, 0, nullptr), -1);
    QFile::remove(fx.Path("b.jpg"));
    EXPECT_EQ(ShowShellContextMenu(&controller, nullptr, folder.get(), nullptr, 0, 0, 1, lists), -1);
    EXPECT_EQ(user.shown, 1);
}

TEST(SsShellController, ListDeletesAllSelectedRowsToTheTrash)
{
    ListFixture fx;
    ASSERT_FALSE(qEnvironmentVariable("XDG_DATA_HOME").isEmpty());
    ASSERT_TRUE(QDir::cleanPath(qEnvironmentVariable("XDG_DATA_HOME")).startsWith(QDir::homePath()));
    fx.SelectRows({"b.jpg", "c.txt", "alt"});
    MenuChoice user("&Delete");
    ContextMenu(fx.list);
    ASSERT_EQ(user.shown, 1);
    EXPECT_EQ(user.ids.value("&Delete"), cvDelete + 1);
    EXPECT_FALSE(user.texts.contains("Rena&me"));  // one item only
    EXPECT_FALSE(user.texts.contains("&Paste"));   // into one folder only
    for (const char* name : {"b.jpg", "c.txt", "alt"}) {
        EXPECT_FALSE(QFileInfo::exists(fx.Path(name))) << name;
        EXPECT_TRUE(QFileInfo::exists(TrashedFile(name))) << name;
    }
    EXPECT_TRUE(QFileInfo::exists(fx.Path("A.png")));
    EXPECT_TRUE(WaitFor([&] { return RowOf(fx.list, "b.jpg") < 0 && RowOf(fx.list, "alt") < 0; }));
}

// A wrong right-click must not cost a whole folder: Delete asks first, naming
// what goes and how many files, and a No leaves everything in place.
TEST(SsShellController, TreeDeleteAsksFirstNamingTheFolderAndItsFiles)
{
    TreeFixture fx;
    fx.Write("Bilder/Urlaub/Strand/1.jpg", 1, 2020);
    fx.Write("Bilder/Urlaub/2.jpg", 1, 2020);
    fx.Select("Bilder");
    {
        MenuChoice user("&Delete");
        user.answer = QMessageBox::No;
        ContextMenu(*fx.tree.viewport());
        ASSERT_EQ(user.questions.size(), 1);
        EXPECT_EQ(user.questions.first().toStdString(),
                  "Move to the trash?\n" + QDir::toNativeSeparators(fx.Path("Bilder")).toStdString() +
                      "\n\nFiles in all: 3");
    }
    EXPECT_TRUE(QFileInfo::exists(fx.Path("Bilder/Urlaub/Strand/1.jpg")));
    EXPECT_FALSE(QFileInfo::exists(TrashedFile("Bilder")));
    MenuChoice user("&Delete");
    ContextMenu(*fx.tree.viewport());
    EXPECT_EQ(user.questions.size(), 1);
    EXPECT_FALSE(QFileInfo::exists(fx.Path("Bilder")));
    EXPECT_TRUE(QFileInfo::exists(TrashedFile("Bilder/Urlaub/Strand/1.jpg")));
    QDir(TrashedFile("Bilder")).removeRecursively();
    QFile::remove(qEnvironmentVariable("XDG_DATA_HOME") + "/Trash/info/Bilder.trashinfo");
}

TEST(SsShellController, ListRenamesFocusedRowThroughCommand19)
{
    ListFixture fx;
    fx.SelectRows({"A.png"});
    MenuChoice user("Rena&me");
    ContextMenu(fx.list);
    ASSERT_EQ(user.shown, 1);
    auto* editor = fx.list.ActiveView()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "A.png");

    // Without the menu option the view menu shows.
    ListFixture other;
    other.list.Options &= ~loShellMenu;
    other.SelectRows({"A.png"});
    MenuChoice none;
    ContextMenu(other.list);
    EXPECT_EQ(none.shown, 0);
    ASSERT_TRUE(other.list.ViewMenu()->isVisible());
    other.list.ViewMenu()->close();
}

TEST(SsShellController, CopyCutAndPasteIntoAFolder)
{
    TreeFixture fx;
    ListFixture other;  // the files of another folder
    fx.Select("leer");
    {
        MenuChoice user;
        QApplication::clipboard()->clear();
        ContextMenu(*fx.tree.viewport());
        EXPECT_EQ(user.disabled, QStringList({"&Paste"}));  // nothing to paste
    }
    other.SelectRows({"A.png"});
    {
        MenuChoice copy("&Copy");
        ContextMenu(other.list);
    }
    MenuChoice paste("&Paste");
    ContextMenu(*fx.tree.viewport());
    EXPECT_TRUE(QFileInfo::exists(fx.Path("leer/A.png")));
    EXPECT_TRUE(QFileInfo::exists(other.Path("A.png")));  // copied
    ContextMenu(*fx.tree.viewport());
    EXPECT_TRUE(QFileInfo::exists(fx.Path("leer/A (2).png")));

    other.SelectRows({"b.jpg", "c.txt"});
    {
        MenuChoice cut("Cu&t");
        ContextMenu(other.list);
    }
    MenuChoice pasteCut("&Paste");
    ContextMenu(*fx.tree.viewport());
    EXPECT_TRUE(QFileInfo::exists(fx.Path("leer/b.jpg")));
    EXPECT_TRUE(QFileInfo::exists(fx.Path("leer/c.txt")));
    EXPECT_FALSE(QFileInfo::exists(other.Path("b.jpg")));  // moved
    EXPECT_FALSE(QFileInfo::exists(other.Path("c.txt")));
    // Cut files are pasted once.
    ContextMenu(*fx.tree.viewport());
    EXPECT_EQ(pasteCut.disabled, QStringList({"&Paste"}));
}

TEST(SsShellController, NewFolderOpenAndProperties)
{
    TreeFixture fx;
    fx.Select("leer");
    {
        MenuChoice user("New &Folder");
        ContextMenu(*fx.tree.viewport());
        // The new folder is selected: back to its parent.
        fx.Select("leer");
        ContextMenu(*fx.tree.viewport());
    }
    EXPECT_TRUE(QFileInfo(fx.Path("leer/New Folder")).isDir());
    EXPECT_TRUE(QFileInfo(fx.Path("leer/New Folder (2)")).isDir());
    fx.Select("leer");
    {
        OpenedUrls opened;
        MenuChoice user("&Open");
        ContextMenu(*fx.tree.viewport());
        EXPECT_EQ(opened.urls, QList<QUrl>({QUrl::fromLocalFile(fx.Path("leer"))}));
    }
    {
        MenuChoice user("P&roperties");
        ContextMenu(*fx.tree.viewport());
        auto* dialog = fx.tree.findChild<QDialog*>();
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->isVisible());
        QStringList labels;
        for (QLabel* l : dialog->findChildren<QLabel*>())
            labels << l->text();
        EXPECT_TRUE(labels.contains("leer"));
        EXPECT_TRUE(labels.contains("File Folder"));
        dialog->close();
    }
}

TEST(SsShellController, FailedPasteIsReported)
{
    TreeFixture fx;
    fx.Write("weg.txt", 3, 2020);
    auto data = std::make_unique<QMimeData>();
    data->setUrls({QUrl::fromLocalFile(fx.Path("weg.txt"))});
    QApplication::clipboard()->setMimeData(data.release());
    QFile::remove(fx.Path("weg.txt"));
    fx.Select("leer");
    MenuChoice user("&Paste");
    ContextMenu(*fx.tree.viewport());
    auto* box = fx.tree.findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->text().contains("weg.txt"));
    box->close();
}

namespace {
// Notes every search animation that paints a frame, with what it shows on.
struct AnimationWatch : QObject {
    AnimationWatch() { qApp->installEventFilter(this); }
    ~AnimationWatch() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            if (auto* a = qobject_cast<TSsAnimate*>(o); a && (shown.empty() || shown.back() != a)) {
                shown.push_back(a);
                parent = a->parentWidget();
                geometry = a->geometry();
                colour = a->palette().color(QPalette::Window);
                active = a->Active();
            }
        return false;
    }
    std::vector<QPointer<TSsAnimate>> shown;
    QWidget* parent = nullptr;
    QRect geometry;
    QColor colour;
    bool active = false;
};
}  // namespace

TEST(SsShellController, SearchAnimationShowsWhileAVirtualFolderIsRead)
{
    ListFixture fx;
    QPalette p = fx.list.palette();
    p.setColor(QPalette::Base, QColor(10, 200, 30));
    fx.list.setPalette(p);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&fx.list));
    AnimationWatch watch;
    int rowsAtFilter = -1;
    fx.list.OnFilterItem = [&](TObject*, TSsShellItem*, bool&) {
        // The animation goes with the first item.
        if (rowsAtFilter < 0)
            rowsAtFilter = int(fx.list.Controller()->Animation.isNull());
    };
    fx.list.SetSpecialRootFolder(sfDesktop);
    ASSERT_GT(fx.list.RowCount(), 0);
    ASSERT_EQ(watch.shown.size(), 1u);
    EXPECT_EQ(watch.parent, &fx.list);
    EXPECT_TRUE(watch.active);
    EXPECT_EQ(watch.colour, QColor(10, 200, 30));
    EXPECT_EQ(watch.geometry.top(), fx.list.height() / 2 - watch.geometry.height() / 2);
    EXPECT_EQ(watch.geometry.left(), fx.list.width() / 2 - watch.geometry.width() / 2);
    EXPECT_EQ(rowsAtFilter, 1);
    EXPECT_TRUE(watch.shown[0].isNull());  // freed
    EXPECT_TRUE(fx.list.Controller()->Animation.isNull());

    // A file-system folder is read without it, and so is any folder of a
    // list that is not showing.
    fx.list.SetRootFolder(fx.Path("Bilder"));
    fx.list.hide();
    fx.list.SetSpecialRootFolder(sfNone);
    fx.list.SetSpecialRootFolder(sfDesktop);
    ASSERT_GT(fx.list.RowCount(), 0);
    EXPECT_EQ(watch.shown.size(), 1u);
}

#include "SsShellControllerTest.moc"
