#include "ShellViewFixtures.h"

#include <gtest/gtest.h>

#include <QDir>

#include <QAbstractItemView>
#include <QApplication>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QUrl>

#include <memory>

namespace {
// Counts what the report style loads.
class CountingList : public TSsShellListView {
public:
    int details = 0;
    int columns = 0;
    void LoadItemDetails(TSsShellItem* item) override
    {
        ++details;
        TSsShellListView::LoadItemDetails(item);
    }
    void BuildColumns(TSsShellFolder* folder) override
    {
        ++columns;
        TSsShellListView::BuildColumns(folder);
    }
};

QStringList Rows(const TSsCustomShellListView& list)
{
    QStringList rows;
    for (int r = 0; r < list.RowCount(); ++r)
        rows << list.RowItem(r)->DisplayName;
    return rows;
}

struct ListFixture : ShellListFixture<CountingList> {
    ListFixture() { list.HandleNeeded(); }
};
}  // namespace

TEST(SsShellListView, TextsOfCaptionsAndSizes)
{
    const std::pair<int64_t, const char*> sizes[] = {
        {0, "0KB"}, {1, "1KB"}, {1023, "1KB"}, {1024, "1KB"}, {3000, "2KB"},
        {5LL * 1024 * 1024 * 1024, "5,242,880KB"}};
    for (auto [bytes, text] : sizes)
        EXPECT_EQ(SsSizeText(bytes), text) << bytes;
    struct Case {
        int files, folders, rows;
        const char* text;
    } captions[] = {{1, 2, 3, "1 file, 2 folders"}, {2, 0, 2, "2 files"},
                    {0, 1, 1, "1 folder"},          {0, 0, 2, "2 objects"}};
    for (const Case& c : captions)
        EXPECT_EQ(SsDragCaption(c.files, c.folders, c.rows), c.text);
}

TEST(SsShellListView, ShowsFolderSortedAndFlipsDirection)
{
    ListFixture fx;
    EXPECT_EQ(fx.list.CurrentFolder()->Path, fx.Path());
    EXPECT_EQ(Rows(fx.list), QStringList({"alt", "Bilder", "leer", "A.png", "b.jpg", "c.txt"}));
    EXPECT_EQ(fx.list.FocusedRow(), 0);
    fx.list.ColumnClick(0);  // the same column: descending
    EXPECT_EQ(Rows(fx.list).first(), "c.txt");
    fx.list.ColumnClick(1);  // by size, ascending
    EXPECT_EQ(Rows(fx.list), QStringList({"alt", "Bilder", "leer", "c.txt", "A.png", "b.jpg"}));
    fx.list.ColumnClick(3);  // by date: newest first
    EXPECT_EQ(Rows(fx.list).mid(3), QStringList({"A.png", "b.jpg", "c.txt"}));

    // Hidden entries on request.
    fx.list.Options |= loShowHidden;
    fx.list.SetFolder(fx.list.CurrentFolder());
    EXPECT_TRUE(Rows(fx.list).contains(".hidden.jpg"));
    // An unparsable root is an error and is forgotten.
    try {
        fx.list.SetRootFolder(fx.Path("fehlt"));
        FAIL();
    } catch (const ESsInvalidFolder& e) {
        EXPECT_EQ(e.ErrorCode, 240);
    }
    EXPECT_EQ(fx.list.RootFolder(), "");
}

TEST(SsShellListView, ShownReportStyleIsDestroyedCleanly)
{
    ShellFixture fx;
    for (bool shown : {false, true}) {
        auto list = std::make_unique<TSsShellListView>();
        list->resize(400, 300);
        list->SetRootFolder(fx.Path());
        list->HandleNeeded();
        list->SetViewStyle(vsReport);
        if (shown) {
            list->show();
            QApplication::processEvents();
        }
        ASSERT_EQ(list->ColumnCaptions().size(), 5);
        // Its header asks the model for captions while the view goes away.
        list.reset();
        QApplication::processEvents();
    }
}

TEST(SsShellListView, ReportStyleLoadsColumnsAndDetailsOncePerFolder)
{
    ListFixture fx;
    EXPECT_EQ(fx.list.details, 0);
    fx.list.SetViewStyle(vsReport);
    EXPECT_EQ(fx.list.columns, 1);
    EXPECT_EQ(fx.list.ColumnCaptions(), QStringList({"Name", "Size", "Type", "Modified", "Attributes"}));
    QAbstractItemModel* model = fx.list.ActiveView()->model();
    auto cell = [&](int row, int col) { return model->data(model->index(row, col)).toString(); };
    for (int r = 0; r < fx.list.RowCount(); ++r)
        cell(r, 1);
    const int loaded = fx.list.details;
    EXPECT_EQ(loaded, fx.list.RowCount());
    fx.list.SetViewStyle(vsList);
    fx.list.SetViewStyle(vsReport);
    for (int r = 0; r < fx.list.RowCount(); ++r)
        cell(r, 2);
    EXPECT_EQ(fx.list.details, loaded);
    EXPECT_EQ(fx.list.columns, 1);

    const QStringList rows = Rows(fx.list);
    EXPECT_EQ(cell(int(rows.indexOf("A.png")), 1), "1KB");
    EXPECT_EQ(cell(int(rows.indexOf("c.txt")), 1), "0KB");
    EXPECT_EQ(cell(int(rows.indexOf("Bilder")), 1), "");
    EXPECT_EQ(cell(int(rows.indexOf("Bilder")), 2), "File Folder");
    EXPECT_FALSE(cell(int(rows.indexOf("b.jpg")), 2).isEmpty());
    EXPECT_EQ(cell(int(rows.indexOf("b.jpg")), 3).isEmpty(), false);
    fx.Write("daten.qqqz", 1, 2020);
    fx.list.SetFolder(fx.list.CurrentFolder());
    EXPECT_EQ(fx.list.columns, 2);  // a new folder builds them again
    EXPECT_EQ(cell(int(Rows(fx.list).indexOf("daten.qqqz")), 2), "QQQZ File");
    // The desktop and other folders outside the file system show names only.
    fx.list.SetSpecialRootFolder(sfDesktop);
    EXPECT_EQ(fx.list.ColumnCaptions(), QStringList({"Name"}));
}

TEST(SsShellListView, FilterKeepsFoldersAndMatchingFiles)
{
    ListFixture fx;
    fx.list.SetFilterText("*.JPG;*.png");
    fx.list.SetFiltered(true);
    EXPECT_EQ(Rows(fx.list), QStringList({"alt", "Bilder", "leer", "A.png", "b.jpg"}));
    EXPECT_FALSE(fx.list.FullListUsed());
    fx.list.SetFiltered(false);
    EXPECT_EQ(fx.list.RowCount(), 6);
    // A handler filters while enumerating instead.
    fx.list.OnFilterItem = [](TObject*, TSsShellItem* item, bool& accept) { accept = item->IsFile; };
    fx.list.SetFiltered(true);
    fx.list.SetFolder(fx.list.CurrentFolder());
    EXPECT_EQ(Rows(fx.list), QStringList({"A.png", "b.jpg", "c.txt"}));
}

TEST(SsShellListView, EntersFoldersAndFollowsChanges)
{
    ListFixture fx;
    QStringList loaded;
    fx.list.OnFolderLoaded = [&](TObject*) { loaded << fx.list.CurrentFolder()->Path; };
    fx.list.RowDoubleClicked(int(Rows(fx.list).indexOf("Bilder")));
    EXPECT_EQ(loaded, QStringList({fx.Path("Bilder")}));
    EXPECT_EQ(Rows(fx.list), QStringList({"Urlaub", "x.jpg"}));
    bool asked = false;
    fx.list.OnItemDblClick = [&](TObject*, TSsShellItem*, bool& useDefault) {
        asked = true;
        useDefault = false;
    };
    fx.list.RowDoubleClicked(0);
    EXPECT_TRUE(asked);
    EXPECT_EQ(fx.list.CurrentFolder()->Path, fx.Path("Bilder"));

    fx.list.SetFocusedRow(1);
    fx.Write("Bilder/neu.jpg", 3, 2024);
    ASSERT_TRUE(WaitFor([&] { return fx.list.RowCount() == 3; }));
    EXPECT_EQ(Rows(fx.list), QStringList({"Urlaub", "neu.jpg", "x.jpg"}));
    EXPECT_EQ(fx.list.RowItem(fx.list.FocusedRow())->DisplayName, "x.jpg");  // kept by caption
    QFile::remove(fx.Path("Bilder/x.jpg"));
    ASSERT_TRUE(WaitFor([&] { return fx.list.RowCount() == 2; }));

    // Removed and made again under its name: the list follows the new folder.
    ASSERT_TRUE(QDir(fx.Path("Bilder")).removeRecursively());
    ASSERT_TRUE(QDir().mkdir(fx.Path("Bilder")));
    fx.Write("Bilder/eins.jpg", 1, 2024);
    ASSERT_TRUE(WaitFor([&] { return Rows(fx.list) == QStringList({"eins.jpg"}); }))
        << Rows(fx.list).join(',').toStdString();
    fx.Write("Bilder/zwei.jpg", 1, 2024);
    EXPECT_TRUE(WaitFor([&] { return Rows(fx.list) == QStringList({"eins.jpg", "zwei.jpg"}); }))
        << Rows(fx.list).join(',').toStdString();
}

TEST(SsShellListView, LinkedTreeSelectionShowsFolder)
{
    ShellFixture fx;
    TSsShellTreeView tree;
    TSsShellListView list;
    tree.SetRootFolder(fx.Path());
    list.SetTreeView(&tree);
    EXPECT_EQ(tree.ListView(), &list);
    tree.show();
    list.show();
    ASSERT_TRUE(WaitFor([&] { return tree.InitialSelectionDone(); }));
    EXPECT_EQ(list.Controller(), tree.Controller());
    ASSERT_TRUE(WaitFor([&] { return list.CurrentFolder() && list.CurrentFolder()->Path == fx.Path(); }));
    PSsIdList urlaub = SsPathToIdList(fx.Path("Bilder/Urlaub"));
    tree.SelectFolderByPidl(urlaub.get());
    ASSERT_TRUE(WaitFor([&] { return list.CurrentFolder()->Path == fx.Path("Bilder/Urlaub"); }));
    EXPECT_EQ(Rows(list), QStringList({"Strand"}));
    // Entering a folder in the list selects it in the tree.
    list.RowDoubleClicked(0);
    EXPECT_EQ(tree.currentItem()->text(0), "Strand");
    EXPECT_EQ(list.CurrentFolder()->Path, fx.Path("Bilder/Urlaub/Strand"));
}

TEST(SsShellListView, DropsHighlightOneRowAndCopyWithControl)
{
    ListFixture fx;
    fx.list.show();
    QAbstractItemView* view = fx.list.ActiveView();
    const QStringList rows = Rows(fx.list);
    const int alt = int(rows.indexOf("alt")), leer = int(rows.indexOf("leer"));
    ASSERT_TRUE(WaitFor([&] { return view->visualRect(view->model()->index(leer, 0)).isValid(); }));
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(fx.Path("b.jpg"))});
    QWidget* vp = view->viewport();
    const QPoint atAlt = view->visualRect(view->model()->index(alt, 0)).center();
    const QPoint atLeer = view->visualRect(view->model()->index(leer, 0)).center();
    QDragEnterEvent enter(atAlt, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &enter);
    QDragMoveEvent overAlt(atAlt, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &overAlt);
    EXPECT_TRUE(fx.list.IsDropHighlighted(alt));
    QDragMoveEvent overLeer(atLeer, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &overLeer);
    EXPECT_FALSE(fx.list.IsDropHighlighted(alt));
    EXPECT_TRUE(fx.list.IsDropHighlighted(leer));
    QDropEvent drop(atLeer, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(vp, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
    EXPECT_TRUE(QFile::exists(fx.Path("leer/b.jpg")));
    EXPECT_TRUE(QFile::exists(fx.Path("b.jpg")));
    EXPECT_FALSE(fx.list.IsDropHighlighted(leer));
    // Without accepted data a drop fails.
    QDropEvent late(atLeer, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &late);
    EXPECT_FALSE(late.isAccepted());
}

TEST(SsShellFolderComboBox, InsertsAndRemovesTheChainOfFolders)
{
    const QString home = QDir::homePath();
    QDir().mkpath(home + "/Fotos/2024");
    QDir().mkpath(home + "/Andere");
    TSsShellFolderComboBox combo;
    const int homeEntry = combo.findText(QFileInfo(home).fileName());
    ASSERT_GE(homeEntry, 1);
    EXPECT_EQ(combo.itemText(0), "Desktop");
    const int fixed = combo.count();

    PSsIdList deep = SsPathToIdList(home + "/Fotos/2024");
    TSsShellItem item(deep.get(), nullptr);
    combo.ShowFolder(&item);
    ASSERT_EQ(combo.count(), fixed + 2);
    EXPECT_EQ(combo.itemText(homeEntry + 1), "Fotos");
    EXPECT_EQ(combo.itemText(homeEntry + 2), "2024");
    EXPECT_EQ(combo.EntryLevel(homeEntry + 2), combo.EntryLevel(homeEntry + 1) + 1);
    EXPECT_TRUE(combo.FolderList().GetItem(homeEntry + 1)->Temporary);
    EXPECT_EQ(combo.currentIndex(), homeEntry + 2);
    EXPECT_EQ(combo.SelectedFolder()->Path, home + "/Fotos/2024");
    EXPECT_EQ(combo.CurrentFolder()->Path, home + "/Fotos/2024");

    PSsIdList other = SsPathToIdList(home + "/Andere");
    TSsShellItem otherItem(other.get(), nullptr);
    combo.ShowFolder(&otherItem);
    ASSERT_EQ(combo.count(), fixed + 1);
    EXPECT_EQ(combo.itemText(homeEntry + 1), "Andere");

    PSsIdList homeList = SsPathToIdList(home);
    TSsShellItem homeItem(homeList.get(), nullptr);
    combo.ShowFolder(&homeItem);
    EXPECT_EQ(combo.count(), fixed);
    EXPECT_EQ(combo.currentIndex(), homeEntry);
}

TEST(SsShellListView, RenamesInPlaceWithoutReplacingAnotherFile)
{
    ListFixture fx;
    QAbstractItemModel* model = fx.list.ActiveView()->model();
    const int row = int(Rows(fx.list).indexOf("c.txt"));
    ASSERT_TRUE(fx.list.CanEditRow(row));
    model->setData(model->index(row, 0), "d.txt");
    EXPECT_EQ(fx.list.RowItem(row)->DisplayName, "d.txt");
    EXPECT_EQ(fx.list.RowItem(row)->Path, fx.Path("d.txt"));
    EXPECT_TRUE(QFile::exists(fx.Path("d.txt")));
    // The name of another entry is refused.
    model->setData(model->index(row, 0), "b.jpg");
    EXPECT_EQ(fx.list.RowItem(row)->DisplayName, "d.txt");
    EXPECT_EQ(QFileInfo(fx.Path("b.jpg")).size(), 3000);
    fx.list.Options &= uint8_t(~loAllowRename);
    EXPECT_FALSE(fx.list.CanEditRow(row));
}
