// The folder tree and the file list show every folder on the disk: names
// that are no UTF-8, links to folders made by other programs, the shown
// folder renamed elsewhere, and folders deeper than the longest path the
// system takes in one call.
#include "ShellViewFixtures.h"
#include "Charsets.h"
#include "SysUtils.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHash>
#include <QMessageBox>

#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QByteArray Native(const QString& path)
{
    return QFile::encodeName(path);
}

// Latin-1 names, as old disks and memory cards hold them.
const QByteArray Groesse("Gr\xfc\xdf" "e");
const QByteArray Aerger("\xc4rger");

QStringList Rows(const TSsCustomShellListView& list)
{
    QStringList rows;
    for (int r = 0; r < list.RowCount(); ++r)
        rows << list.RowItem(r)->DisplayName;
    return rows;
}

// The child of a node whose folder lies at Path (the system's bytes).
QTreeWidgetItem* ChildAt(const TSsCustomShellTreeView& tree, QTreeWidgetItem* node, const QByteArray& path)
{
    for (int i = 0; node && i < node->childCount(); ++i)
        if (TSsShellFolder* f = tree.FolderOf(node->child(i)); f && f->NativePath() == path)
            return node->child(i);
    return nullptr;
}

void Touch(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path.constData();
    ::close(fd);
}

// A tree rooted at the fixture folder with a file list linked to it.
struct LinkedFixture : ShellFixture {
    LinkedFixture()
    {
        tree.resize(300, 400);
        tree.SetRootFolder(Path());
        list.SetTreeView(&tree);
        tree.show();
        list.show();
        WaitFor([&] { return tree.InitialSelectionDone() && list.CurrentFolder(); });
    }
    ~LinkedFixture()
    {
        for (QMessageBox* box : tree.findChildren<QMessageBox*>())
            delete box;
    }
    QTreeWidgetItem* Root() { return tree.topLevelItem(0); }
    // Chooses a node as a click does, and lets what follows the choice run.
    void Choose(QTreeWidgetItem* node)
    {
        tree.setCurrentItem(node);
        for (int i = 0; i < 10; ++i)
            QApplication::processEvents();
    }
    bool Told() const { return tree.findChild<QMessageBox*>() != nullptr; }
    QByteArray Shown() const { return list.CurrentFolder() ? list.CurrentFolder()->NativePath() : QByteArray(); }
    TSsShellTreeView tree;
    TSsShellListView list;
};
}  // namespace

// A folder whose name is no UTF-8 keeps the bytes of its name from the disk
// to its node and back: it opens in the file list like any other, whether
// the tree read it or another program made it while the tree was shown, and
// the list follows what changes in it.
TEST(SsShellTreeView, FoldersNamedInLatin1OpenLikeAnyOther)
{
    LinkedFixture fx;
    const QByteArray base = Native(fx.Path());
    // Read fresh: made before the tree reads its folder again.
    ASSERT_EQ(::mkdir((base + "/Bilder/" + Groesse).constData(), 0755), 0);
    Touch(base + "/Bilder/" + Groesse + "/a.jpg");
    QTreeWidgetItem* bilder = Child(fx.Root(), "Bilder");
    ASSERT_NE(bilder, nullptr);
    bilder->setExpanded(true);
    QTreeWidgetItem* fresh = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (fresh = ChildAt(fx.tree, bilder, base + "/Bilder/" + Groesse)) != nullptr; }));
    const QString freshText = fresh->text(0);
    fx.Choose(fresh);
    EXPECT_FALSE(fx.Told());
    ASSERT_EQ(fx.Shown(), base + "/Bilder/" + Groesse);
    EXPECT_EQ(Rows(fx.list), QStringList({"a.jpg"}));
    // The list follows a file added there.
    Touch(base + "/Bilder/" + Groesse + "/b.jpg");
    EXPECT_TRUE(WaitFor([&] { return fx.list.RowCount() == 2; })) << Rows(fx.list).join(',').toStdString();

    // Made while shown: its node names the disk's bytes, and shows the name
    // as a fresh read does.
    ASSERT_EQ(::mkdir((base + "/Bilder/" + Aerger).constData(), 0755), 0);
    QTreeWidgetItem* made = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (made = ChildAt(fx.tree, bilder, base + "/Bilder/" + Aerger)) != nullptr; }))
        << ChildTexts(bilder).join(',').toStdString();
    EXPECT_EQ(made->text(0), QString::fromUtf8("Ärger"));
    EXPECT_EQ(freshText, QString::fromUtf8("Grüße"));
    EXPECT_EQ(fx.tree.FolderOf(made)->RelativeList->Id(0), Aerger);
    Touch(base + "/Bilder/" + Aerger + "/c.png");
    fx.Choose(made);
    EXPECT_FALSE(fx.Told());
    ASSERT_NE(ChildAt(fx.tree, bilder, base + "/Bilder/" + Aerger), nullptr);
    EXPECT_EQ(fx.Shown(), base + "/Bilder/" + Aerger);
    EXPECT_EQ(Rows(fx.list), QStringList({"c.png"}));
    // A sub-folder made inside it comes as a node of its own.
    made->setExpanded(true);
    ASSERT_EQ(::mkdir((base + "/Bilder/" + Aerger + "/" + Groesse).constData(), 0755), 0);
    EXPECT_TRUE(WaitFor([&] { return ChildAt(fx.tree, made, base + "/Bilder/" + Aerger + "/" + Groesse) != nullptr; }));
}

// A name that is no UTF-8 is shown in the code page of the program's
// language wherever the tree, the file list and its folder box name it, for
// every byte that UTF-8 cannot start or end with; the items keep the bytes.
TEST(SsShellTreeView, NamesThatAreNoUtf8AreShownInTheLanguagesCodePage)
{
    const int32_t saved = FileNameCodePage();
    for (const int32_t codePage : {1252, 1250, 1251, 1253}) {
        SCOPED_TRACE(codePage);
        SetFileNameCodePage(codePage);
        LinkedFixture linked;
        TSsShellFolderComboBox combo;
        linked.list.SetComboBox(&combo);
        const QByteArray folder = Native(linked.Path()) + "/Bilder/" + Groesse;
        ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
        QHash<QByteArray, QString> shown;  // name -> text expected
        for (int b = 0x80; b <= 0xFF; ++b) {
            const QByteArray name = QByteArray("n") + char(b) + ".jpg";
            Touch(folder + "/" + name);
            const QString letter = CodePageToUnicode(codePage, std::string_view(name).substr(1, 1));
            shown.insert(name, QStringLiteral("n") + (letter[0].unicode() < 0xA0 && letter[0].unicode() >= 0x80
                                                          ? QString(QChar::ReplacementCharacter)
                                                          : letter) + QStringLiteral(".jpg"));
        }
        QTreeWidgetItem* bilder = Child(linked.Root(), "Bilder");
        ASSERT_NE(bilder, nullptr);
        bilder->setExpanded(true);
        QTreeWidgetItem* node = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (node = ChildAt(linked.tree, bilder, folder)) != nullptr; }));
        const QString groesse = DisplayFileName(DecodeFileName(Groesse));
        if (codePage == 1252) {
            EXPECT_EQ(groesse, QString::fromUtf8("Grüße"));
        }
        EXPECT_EQ(node->text(0), groesse);
        EXPECT_EQ(linked.tree.FolderOf(node)->NativePath(), folder);
        linked.Choose(node);
        ASSERT_EQ(linked.Shown(), folder);
        EXPECT_EQ(combo.currentText(), groesse);
        ASSERT_EQ(linked.list.RowCount(), 128);
        for (int r = 0; r < linked.list.RowCount(); ++r) {
            const TSsShellItem* item = linked.list.RowItem(r);
            const QByteArray name = item->RelativeList->Id(item->RelativeList->Count() - 1);
            ASSERT_TRUE(shown.contains(name)) << name.toHex().toStdString();
            EXPECT_EQ(item->DisplayName, shown.value(name)) << name.toHex().toStdString();
            EXPECT_EQ(item->NativePath(), folder + "/" + name);
        }
    }
    SetFileNameCodePage(saved);
}

// The notices of a watched folder carry the bytes of names that are no UTF-8.
TEST(SsShellNotification, NamesThatAreNoUtf8KeepTheirBytes)
{
    ShellFixture fx;
    const QByteArray base = Native(fx.Path());
    ASSERT_EQ(::mkdir((base + "/" + Groesse).constData(), 0755), 0);
    TSsShellNotification n;
    QList<QByteArray> made;
    n.OnShellChangeNotify = [&](TObject*, TSsShellItem* item, TSsShellItem*, TSsNotifyEventsSet) {
        if (item)
            made << item->NativePath();
    };
    n.SetWatchPidl(SsNativePathToIdList(base + "/" + Groesse));
    n.SetActive(true);
    ASSERT_TRUE(n.Registered());
    ASSERT_EQ(::mkdir((base + "/" + Groesse + "/" + Aerger).constData(), 0755), 0);
    ASSERT_TRUE(WaitFor([&] { return !made.isEmpty(); }));
    EXPECT_EQ(made.first(), base + "/" + Groesse + "/" + Aerger);
}

// A link to a folder made by another program comes as a folder, and so does
// a folder swapped for a link; a link removed takes its node with it.
TEST(SsShellTreeView, LinksToFoldersMadeByOthersAppear)
{
    ShellTreeFixture<TSsShellTreeView> fx;
    fx.tree.show();
    ASSERT_TRUE(WaitFor([&] { return fx.tree.InitialSelectionDone(); }));
    const QByteArray base = Native(fx.Path());
    ASSERT_EQ(::symlink("Bilder", (base + "/Verweis").constData()), 0);
    ASSERT_TRUE(WaitFor([&] { return Child(fx.Root(), "Verweis") != nullptr; }))
        << ChildTexts(fx.Root()).join(',').toStdString();
    EXPECT_TRUE(fx.tree.FolderOf(Child(fx.Root(), "Verweis"))->IsLink());
    // Made elsewhere and moved in.
    ASSERT_EQ(::symlink((base + "/Bilder").constData(), (base + "/Bilder/Urlaub/hin").constData()), 0);
    ASSERT_EQ(::rename((base + "/Bilder/Urlaub/hin").constData(), (base + "/Hinweis").constData()), 0);
    ASSERT_TRUE(WaitFor([&] { return Child(fx.Root(), "Hinweis") != nullptr; }));

    // The folder "alt" swapped for a link of the same name.
    ASSERT_NE(Child(fx.Root(), "alt"), nullptr);
    ASSERT_EQ(::rmdir((base + "/alt").constData()), 0);
    ASSERT_EQ(::symlink("Bilder/Urlaub", (base + "/alt").constData()), 0);
    ASSERT_TRUE(WaitFor([&] {
        QTreeWidgetItem* alt = Child(fx.Root(), "alt");
        return alt && fx.tree.FolderOf(alt)->IsLink();
    })) << ChildTexts(fx.Root()).join(',').toStdString();
    QTreeWidgetItem* alt = Child(fx.Root(), "alt");
    alt->setExpanded(true);
    EXPECT_EQ(ChildTexts(alt), QStringList({"Strand"}));

    // A link renamed keeps its node under the new name; one removed goes.
    ASSERT_EQ(::rename((base + "/Verweis").constData(), (base + "/Zeiger").constData()), 0);
    ASSERT_TRUE(WaitFor([&] { return Child(fx.Root(), "Zeiger") != nullptr; }));
    EXPECT_EQ(Child(fx.Root(), "Verweis"), nullptr);
    ASSERT_EQ(::unlink((base + "/Zeiger").constData()), 0);
    ASSERT_TRUE(WaitFor([&] { return Child(fx.Root(), "Zeiger") == nullptr; }));
    EXPECT_EQ(ChildTexts(fx.Root()), QStringList({"alt", "Bilder", "Hinweis", "leer"}));
}

// A folder renamed by another program is still followed under its new name:
// what is made in it later shows.
TEST(SsShellTreeView, RenamedFolderIsFollowedUnderItsNewName)
{
    ShellTreeFixture<TSsShellTreeView> fx;
    fx.tree.show();
    ASSERT_TRUE(WaitFor([&] { return fx.tree.InitialSelectionDone(); }));
    const QByteArray base = Native(fx.Path());
    // Made while shown, chosen, then renamed.
    ASSERT_EQ(::mkdir((base + "/Neu").constData(), 0755), 0);
    ASSERT_TRUE(WaitFor([&] { return Child(fx.Root(), "Neu") != nullptr; }));
    QTreeWidgetItem* made = Child(fx.Root(), "Neu");
    fx.tree.setCurrentItem(made);
    ASSERT_EQ(::rename((base + "/Neu").constData(), (base + "/" + Groesse).constData()), 0);
    ASSERT_TRUE(WaitFor([&] { return Child(fx.Root(), QString::fromUtf8("Grüße")) == made; }));
    ASSERT_EQ(::mkdir((base + "/" + Groesse + "/Neu").constData(), 0755), 0);
    ASSERT_TRUE(WaitFor([&] { return made->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator; }));
    made->setExpanded(true);
    EXPECT_EQ(ChildTexts(made), QStringList({"Neu"}));
}

// The folder shown, renamed or moved by another program: the file list goes
// with it and shows what is added there, in step with the tree's node.
TEST(SsShellListView, FollowsTheShownFolderRenamedByAnotherProgram)
{
    LinkedFixture fx;
    const QByteArray base = Native(fx.Path());
    QTreeWidgetItem* bilder = Child(fx.Root(), "Bilder");
    ASSERT_NE(bilder, nullptr);
    fx.Choose(bilder);
    ASSERT_EQ(fx.Shown(), base + "/Bilder");
    ASSERT_EQ(Rows(fx.list), QStringList({"Urlaub", "x.jpg"}));
    ASSERT_EQ(::rename((base + "/Bilder").constData(), (base + "/" + Groesse).constData()), 0);
    Touch(base + "/" + Groesse + "/neu.jpg");
    ASSERT_TRUE(WaitFor([&] { return fx.list.RowCount() == 3; })) << Rows(fx.list).join(',').toStdString();
    EXPECT_EQ(fx.Shown(), base + "/" + Groesse);
    EXPECT_EQ(Child(fx.Root(), QString::fromUtf8("Grüße")), bilder);  // the node is kept
    EXPECT_EQ(fx.tree.SelectedFolder()->NativePath(), base + "/" + Groesse);


    // A list of its own, without a tree, follows its folder moved into
    // another one, with no change there after it, and one whose parent was
    // renamed, once something changes in it.
    TSsShellListView alone;
    fx.Mkdir("alt/Reise/Strand");
    alone.SetRootFolder(fx.Path("alt/Reise"));
    alone.HandleNeeded();
    ASSERT_EQ(Rows(alone), QStringList({"Strand"}));
    ASSERT_EQ(::rename((base + "/alt/Reise").constData(), (base + "/leer/Fotos").constData()), 0);
    ASSERT_TRUE(WaitFor([&] { return alone.CurrentFolder()->NativePath() == base + "/leer/Fotos"; }));
    ASSERT_EQ(::rename((base + "/leer").constData(), (base + "/voll").constData()), 0);
    Touch(base + "/voll/Fotos/d.jpg");
    ASSERT_TRUE(WaitFor([&] { return alone.RowCount() == 2; })) << Rows(alone).join(',').toStdString();
    EXPECT_EQ(alone.CurrentFolder()->NativePath(), base + "/voll/Fotos");
    EXPECT_EQ(Rows(alone), QStringList({"Strand", "d.jpg"}));
}

namespace {
// Folders Levels deep below Base, each named by 120 bytes, made through
// handles as no path to the deepest ones fits one call. Answers the path of
// the deepest.
QByteArray MakeDeepFolders(const QByteArray& base, int levels)
{
    QByteArray path = base;
    int dir = ::open(base.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int i = 0; i < levels && dir >= 0; ++i) {
        const QByteArray name = QByteArray::number(i).rightJustified(3, '0') + QByteArray(117, 'e');
        ::mkdirat(dir, name.constData(), 0755);
        const int next = ::openat(dir, name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(dir);
        dir = next;
        path += '/' + name;
    }
    if (dir >= 0) {
        const int fd = ::openat(dir, "tief.jpg", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0)
            ::close(fd);
        ::close(dir);
    }
    return path;
}
}  // namespace

// Folders below paths longer than the system takes in one call (40 levels of
// 120-byte names) are read, chosen and shown like any other, and a folder
// made at the deepest level while shown appears.
TEST(SsShellTreeView, FoldersBelowPathsTooLongForOneCallOpen)
{
    LinkedFixture fx;
    const QByteArray base = Native(fx.Path("leer"));
    const QByteArray deepest = MakeDeepFolders(base, 40);
    ASSERT_GT(deepest.size(), PATH_MAX);
    struct Cleanup {
        QByteArray path;
        ~Cleanup() { SsRemoveEntry(path); }
    } cleanup{base + "/000" + QByteArray(117, 'e')};

    PSsIdList list = SsNativePathToIdList(deepest);
    ASSERT_NE(list, nullptr);
    fx.tree.SelectFolderByPidl(list.get());
    QTreeWidgetItem* node = fx.tree.currentItem();
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(fx.tree.FolderOf(node)->NativePath(), deepest);
    int depth = 0;
    for (QTreeWidgetItem* n = node; n->parent(); n = n->parent())
        ++depth;
    EXPECT_EQ(depth, 41);  // below "leer"
    fx.Choose(node);
    EXPECT_FALSE(fx.Told());
    EXPECT_EQ(fx.tree.currentItem(), node);
    EXPECT_EQ(fx.Shown(), deepest);
    EXPECT_EQ(Rows(fx.list), QStringList({"tief.jpg"}));

    // Made while shown, at the deepest level.
    node->setExpanded(true);
    const int dir = SsOpenPath(deepest, O_RDONLY | O_DIRECTORY);
    ASSERT_GE(dir, 0);
    ASSERT_EQ(::mkdirat(dir, "neu", 0755), 0);
    ::close(dir);
    EXPECT_TRUE(WaitFor([&] { return Child(node, "neu") != nullptr; }));
    EXPECT_TRUE(WaitFor([&] { return fx.list.RowCount() == 2; })) << Rows(fx.list).join(',').toStdString();
}
