#include "ShellFixture.h"
#include "SsDataObject.h"
#include "SsShellController.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QStandardPaths>

using namespace Ole;

namespace {
PSsIdList Parse(const QString& path)
{
    return TSsNamespaceFolder::Desktop()->ParseDisplayName(path);
}

std::unique_ptr<TSsShellItem> ItemOf(const QString& path)
{
    PSsIdList list = Parse(path);
    EXPECT_NE(list, nullptr) << path.toStdString();
    return std::make_unique<TSsShellItem>(list.get(), nullptr);
}

QStringList Names(const TSsShellItemList& list)
{
    QStringList names;
    for (int i = 0; i < list.GetCount(); ++i)
        names << list.GetItem(i)->DisplayName;
    return names;
}
}  // namespace

TEST(SsNamespace, PathsParseIntoListsBelowTheDesktopRoots)
{
    ShellFixture fx;
    PSsIdList list = Parse(fx.Path("Bilder/x.jpg"));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(SsIdListToPath(list.get()), fx.Path("Bilder/x.jpg"));
    EXPECT_EQ(list->Id(list->Count() - 1), "x.jpg");
    // The home folder is a root of its own.
    PSsIdList home = Parse(QDir::homePath());
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(home->Count(), 1);
    EXPECT_EQ(Parse(fx.Path("missing")), nullptr);
    EXPECT_EQ(Parse("relative/path"), nullptr);
    EXPECT_EQ(Parse(""), nullptr);
    // A path of more than 260 characters is not cut.
    QString deep = fx.Path();
    for (int i = 0; i < 30; ++i)
        deep += "/verzeichnis" + QString::number(i);
    ASSERT_TRUE(QDir().mkpath(deep));
    ASSERT_GT(deep.size(), 300);
    auto item = ItemOf(deep);
    EXPECT_EQ(item->Path, deep);
    EXPECT_TRUE(item->IsFileFolder);
}

TEST(SsShellItem, DesktopAnswersFalseToEveryAttributeQuestion)
{
    TSsIdList desktop;
    TSsShellItem item(&desktop, nullptr);
    EXPECT_TRUE(item.IsDesktop);
    EXPECT_FALSE(item.IsFileSystem);
    EXPECT_FALSE(item.CanRename());
    EXPECT_FALSE(item.HasSubFolder());
    EXPECT_FALSE(item.IsCompressed());
    EXPECT_FALSE(item.IsFileSystemAncestor());
    EXPECT_FALSE(item.IsHidden());
    EXPECT_FALSE(item.IsLink());
    // Outside the file system: no file data.
    EXPECT_EQ(item.GetSize(), -1);
    EXPECT_EQ(item.GetDate(), 0);
    EXPECT_FALSE(item.FileDataLoaded());
}

TEST(SsShellItem, FileAndFolderData)
{
    ShellFixture fx;
    auto file = ItemOf(fx.Path("b.jpg"));
    EXPECT_TRUE(file->IsFile);
    EXPECT_FALSE(file->IsFileFolder);
    EXPECT_EQ(file->DisplayName, "b.jpg");
    EXPECT_EQ(file->Path, fx.Path("b.jpg"));
    EXPECT_EQ(file->GetSize(), 3000);
    int y, m, d;
    DecodeDate(file->GetDate(), y, m, d);
    EXPECT_EQ(y, 2020);
    EXPECT_TRUE(file->CanRename());
    EXPECT_TRUE(file->IsFileSystemAncestor() == false);
    EXPECT_EQ(file->DropEffects(), DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK);

    auto folder = ItemOf(fx.Path("Bilder"));
    EXPECT_TRUE(folder->IsFileFolder);
    EXPECT_FALSE(folder->IsFile);
    EXPECT_EQ(folder->GetSize(), 0);
    EXPECT_TRUE(folder->HasSubFolder());
    EXPECT_TRUE(folder->IsFileSystemAncestor());
    EXPECT_TRUE(folder->IsFolder());
    EXPECT_FALSE(ItemOf(fx.Path("leer"))->HasSubFolder());

    auto hidden = ItemOf(fx.Path(".hidden.jpg"));
    EXPECT_TRUE(hidden->IsHidden());
    hidden->LoadFileData();
    EXPECT_EQ(hidden->AttributeText, "H");

    QFile(fx.Path("b.jpg")).setPermissions(QFile::ReadOwner);
    auto readOnly = ItemOf(fx.Path("b.jpg"));
    readOnly->LoadFileData();
    if (getuid() != 0) {  // root may write anything
        EXPECT_EQ(readOnly->AttributeText, "R");
    }
}

TEST(SsShellItem, DatesBefore1980AndLargeSizes)
{
    ShellFixture fx;
    fx.Write("alt.jpg", 2, 1975);
    int y, m, d;
    DecodeDate(ItemOf(fx.Path("alt.jpg"))->GetDate(), y, m, d);
    EXPECT_EQ(y, 1975);
    // Sizes beyond 4 GB (a sparse file).
    QFile big(fx.Path("big.bin"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(5LL * 1024 * 1024 * 1024));
    big.close();
    EXPECT_EQ(ItemOf(fx.Path("big.bin"))->GetSize(), 5LL * 1024 * 1024 * 1024);
}

TEST(SsShellItem, LinksGetTheShortcutOverlay)
{
    ShellFixture fx;
    ASSERT_TRUE(QFile::link(fx.Path("b.jpg"), fx.Path("link.jpg")));
    auto link = ItemOf(fx.Path("link.jpg"));
    EXPECT_TRUE(link->IsLink());
    EXPECT_EQ(link->GetOverlayIndex(), 1);
    EXPECT_EQ(ItemOf(fx.Path("b.jpg"))->GetOverlayIndex(), -1);
    EXPECT_GE(link->GetImageIndex(), 0);
    EXPECT_FALSE(link->GetLargeIcon().isNull());
}

TEST(SsShellItem, AssignCopiesAndFolderKeepsItsOwnFields)
{
    ShellFixture fx;
    auto source = ItemOf(fx.Path("Bilder/x.jpg"));
    source->GetSize();
    source->ColumnTexts << "5KB";
    TSsShellItem copy(nullptr);
    copy.Assign(*source);
    EXPECT_EQ(copy.Path, source->Path);
    EXPECT_TRUE(SsILIsEqual(copy.AbsoluteList.get(), source->AbsoluteList.get()));
    EXPECT_NE(copy.AbsoluteList.get(), source->AbsoluteList.get());
    EXPECT_TRUE(copy.ColumnTexts.isEmpty());
    EXPECT_EQ(copy.GetSize(), 5);
    ASSERT_NE(copy.ParentFolder, nullptr);
    EXPECT_EQ(copy.ParentFolder->Path(), fx.Path("Bilder"));

    TSsShellFolder folder(nullptr);
    folder.Level = 3;
    folder.Temporary = true;
    folder.Assign(*source);
    EXPECT_EQ(folder.Level, 3);
    EXPECT_TRUE(folder.Temporary);
}

TEST(SsShellItem, ItemWithoutControllerMakesItsOwn)
{
    ShellFixture fx;
    TSsCustomShellController controller;
    EXPECT_EQ(TSsShellItem::CreateForController(&controller)->Controller, &controller);
    auto own = TSsShellFolder::CreateForController(nullptr);
    ASSERT_NE(own->Controller, nullptr);
    EXPECT_FALSE(own->FileDataLoaded());
    EXPECT_EQ(own->Level, -1);
    // The item of a list without controller, as a change notice makes it.
    auto item = ItemOf(fx.Path("b.jpg"));
    ASSERT_NE(item->Controller, nullptr);
    // A copy never takes another item's own controller, which goes with it.
    auto copy = TSsShellItem::CreateForController(&controller);
    copy->Assign(*item);
    item.reset();
    EXPECT_EQ(copy->Controller, &controller);
    EXPECT_EQ(copy->Path, fx.Path("b.jpg"));
}

TEST(SsShellItem, Orderings)
{
    ShellFixture fx;
    TSsShellItemList list;
    for (const char* n : {"b.jpg", "Bilder", "A.png", "c.txt", "alt"})
        list.Add(ItemOf(fx.Path(n)));
    list.Sort(SsCompareByName);  // folders first, names ignoring case
    EXPECT_EQ(Names(list), QStringList({"alt", "Bilder", "A.png", "b.jpg", "c.txt"}));
    list.Sort(SsCompareByNameDesc);
    EXPECT_EQ(Names(list), QStringList({"c.txt", "b.jpg", "A.png", "Bilder", "alt"}));
    list.Sort(SsCompareBySize);
    EXPECT_EQ(Names(list).mid(2), QStringList({"c.txt", "A.png", "b.jpg"}));
    list.Sort(SsCompareByDate);  // newest first, after the folders
    EXPECT_EQ(Names(list).mid(2), QStringList({"A.png", "b.jpg", "c.txt"}));
    list.Sort(SsCompareByExtension);
    EXPECT_EQ(Names(list).mid(2), QStringList({"b.jpg", "A.png", "c.txt"}));
    EXPECT_EQ(list.GetItem(list.GetCount()), nullptr);
    EXPECT_EQ(list.GetItem(-1), nullptr);
}

TEST(SsShellFolderList, FreedSlotsKeepIndices)
{
    TSsShellFolderList list;
    TSsIdList desktop;
    EXPECT_EQ(list.Add(std::make_unique<TSsShellFolder>(&desktop, nullptr)), 0);
    EXPECT_EQ(list.Add(std::make_unique<TSsShellFolder>(&desktop, nullptr)), 1);
    list.FreeSlot(0);
    EXPECT_EQ(list.GetItem(0), nullptr);
    EXPECT_NE(list.GetItem(1), nullptr);
    EXPECT_EQ(list.GetCount(), 2);
}

TEST(SsSpecialFolders, NumbersAndLocations)
{
    EXPECT_EQ(sfPersonal, 23);
    EXPECT_EQ(SsSpecialFolderCSIDL(sfPersonal), 5);
    EXPECT_EQ(SsSpecialFolderCSIDL(sfDrives), 17);
    EXPECT_EQ(SsSpecialFolderCSIDL(sfNone), 0);
    EXPECT_TRUE(SsNeedsShell47(sfInternet));
    EXPECT_TRUE(SsNeedsShell47(sfHistory));
    EXPECT_FALSE(SsNeedsShell47(sfPersonal));
    try {
        SsCheckSpecialFolder(sfCookies, 4.71);
        SsCheckSpecialFolder(sfCookies, 4.0);
        FAIL();
    } catch (const ESsShellError& e) {
        EXPECT_EQ(e.ErrorCode, 110);
    }
    const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    // Without a documents folder the home is the personal folder.
    ASSERT_TRUE(docs.startsWith(QDir::homePath() + QLatin1Char('/')));
    QDir(docs).removeRecursively();
    PSsIdList home = SHGetSpecialFolderLocation(sfPersonal);
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(SsIdListToPath(home.get()), QDir::cleanPath(QDir::homePath()));
    ASSERT_TRUE(QDir().mkpath(docs));
    PSsIdList personal = SHGetSpecialFolderLocation(sfPersonal);
    ASSERT_NE(personal, nullptr);
    EXPECT_EQ(SsIdListToPath(personal.get()), QDir::cleanPath(docs));
    EXPECT_EQ(SHGetSpecialFolderLocation(sfDesktop)->Count(), 0);
    EXPECT_EQ(SHGetSpecialFolderLocation(sfBitBucket), nullptr);
    EXPECT_EQ(SHGetSpecialFolderLocation(sfPrinters), nullptr);
}

TEST(SsShellEnumerator, ListsSortsAndFilters)
{
    ShellFixture fx;
    TSsShellEnumerator e;
    e.Execute();  // nothing set: nothing happens
    EXPECT_EQ(e.ItemList.GetCount(), 0);
    e.SetRootFolder(fx.Path());
    e.Execute();
    EXPECT_EQ(Names(e.ItemList), QStringList({"alt", "Bilder", "leer", "A.png", "b.jpg", "c.txt"}));
    EXPECT_EQ(e.RootItem()->Path, fx.Path());
    TSsShellItem* first = e.ItemList.GetItem(0);
    EXPECT_EQ(first->OwnerList, &e.ItemList);

    e.Options = eoIncludeFolders;
    e.Execute();
    EXPECT_EQ(Names(e.ItemList), QStringList({"alt", "Bilder", "leer"}));
    e.Options = eoIncludeFolders | eoIncludeHidden;
    e.Execute();
    EXPECT_EQ(Names(e.ItemList), QStringList({".versteckt", "alt", "Bilder", "leer"}));

    e.Options = eoIncludeNonFolders;
    e.SetSortDirection(sdDescending);
    EXPECT_EQ(Names(e.ItemList), QStringList({"leer", "Bilder", "alt", ".versteckt"}));  // re-sorted at once
    e.Execute();
    EXPECT_EQ(Names(e.ItemList), QStringList({"c.txt", "b.jpg", "A.png"}));
    try {
        e.SetSortDirection(sdToggle);
        FAIL();
    } catch (const ESsInvalidSortDir& err) {
        EXPECT_EQ(err.ErrorCode, 242);
        EXPECT_EQ(err.Message, "Invalid sort direction");
    }
    EXPECT_EQ(e.SortDirection(), sdDescending);

    // Sorting after an unsorted run works on the items at hand.
    e.SetSortDirection(sdAscending);
    e.SetSorted(false);
    e.OnEnumItem = [](TObject*, TSsShellItem* item, bool& accept) {
        accept = item->DisplayName != "A.png";
    };
    e.Execute();
    e.OnEnumItem = [](TObject*, TSsShellItem*, bool&) { FAIL() << "not enumerated again"; };
    e.SetSorted(true);
    EXPECT_EQ(Names(e.ItemList), QStringList({"b.jpg", "c.txt"}));
    e.OnEnumItem = [](TObject*, TSsShellItem*, bool& accept) { accept = false; };
    e.Execute();
    EXPECT_EQ(e.ItemList.GetCount(), 0);
}

TEST(SsShellEnumerator, RootsAndErrors)
{
    ShellFixture fx;
    TSsShellEnumerator e;
    e.SetRootFolder("C:");
    EXPECT_EQ(e.RootFolder(), "C:\\");
    EXPECT_THROW(e.Execute(), ESsInvalidFolder);
    e.SetRootPidl(TSsNamespaceFolder::Desktop()->ParseDisplayName(fx.Path("Bilder")));
    EXPECT_EQ(e.RootFolder(), "");
    e.Execute();
    EXPECT_EQ(Names(e.ItemList), QStringList({"Urlaub", "x.jpg"}));
    // The desktop lists its folders: at least the home folder and "/".
    e.SetSpecialRootFolder(sfDesktop);
    e.Execute();
    QStringList paths;
    for (int i = 0; i < e.ItemList.GetCount(); ++i)
        paths << e.ItemList.GetItem(i)->Path;
    EXPECT_TRUE(paths.contains(QDir::homePath()));
    EXPECT_TRUE(paths.contains("/"));
    // A folder that cannot be opened is an error, not the desktop.
    e.SetRootFolder(fx.Path("b.jpg"));
    EXPECT_THROW(e.Execute(), ESsInvalidFolder);
    if (getuid() != 0) {
        QFile::setPermissions(fx.Path("alt"), QFile::Permissions());
        e.SetRootFolder(fx.Path("alt"));
        try {
            e.Execute();
            FAIL();
        } catch (const ESsInvalidFolder& err) {
            EXPECT_EQ(err.ErrorCode, 240);
        }
        QFile::setPermissions(fx.Path("alt"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}
