#include "ShellFixture.h"
#include "SsShellNotification.h"

#include <gtest/gtest.h>

#include <QDir>

namespace {
struct Recorder {
    std::vector<std::pair<QString, TSsNotifyEventsSet>> notices;
    QStringList calls;
    void Attach(TSsCustomShellNotification& n)
    {
        n.OnShellChangeNotify = [this](TObject*, TSsShellItem* a, TSsShellItem* b, TSsNotifyEventsSet e) {
            QString text = a ? a->Path : QString("-");
            if (b)
                text += " -> " + b->Path;
            notices.push_back({text, e});
        };
        n.OnFileChange = [this](TObject*, TSsShellItem*) { calls << "change"; };
        n.OnFileCreate = [this](TObject*, TSsShellItem*) { calls << "create"; };
        n.OnAttributeChange = [this](TObject*, TSsShellItem*, TSsShellItem*) { calls << "attributes"; };
    }
    bool Has(const QString& text, TSsNotifyEvents e) const
    {
        for (const auto& [t, events] : notices)
            if (t == text && (events & NE(e)))
                return true;
        return false;
    }
};

PSsIdList ListOf(const QString& path)
{
    return SsPathToIdList(path);
}
}  // namespace

TEST(SsShellNotification, EventMask)
{
    EXPECT_EQ(SsNotifyEventMask(NE(neFileCreate) | NE(neFolderRename)), SHCNE_CREATE | SHCNE_RENAMEFOLDER);
    EXPECT_EQ(SsNotifyEventMask(NE(neFolderUpdate)), SHCNE_UPDATEDIR);
    EXPECT_EQ(SsNotifyEventMask(NE(neShellDriveAdd)), SHCNE_DRIVEADDGUI);
    EXPECT_EQ(SsNotifyEventMask(SsAllNotifyEvents), 0x0807FFFFu);
    TSsShellNotification n;
    EXPECT_EQ(n.NotifyEvents(), 0xFFFFFu);
    EXPECT_FALSE(n.Active());
    EXPECT_FALSE(n.Registered());
}

TEST(SsShellNotification, QueueLimitAndBurstDispatch)
{
    TSsShellNotification n;
    n.QueueLimit = 5;
    Recorder r;
    r.Attach(n);
    for (int i = 0; i < 3; ++i)
        n.Notify(ListOf("/tmp/f" + QString::number(i)), nullptr, SHCNE_CREATE);
    // Attribute changes are reported at once, even with notices waiting.
    n.Notify(ListOf("/tmp/attr"), nullptr, SHCNE_ATTRIBUTES);
    ASSERT_EQ(r.notices.size(), 1u);
    EXPECT_EQ(r.notices[0].second, NE(neAttributesChange));
    EXPECT_EQ(r.calls, QStringList({"attributes"}));
    for (int i = 3; i < 7; ++i)
        n.Notify(ListOf("/tmp/f" + QString::number(i)), nullptr, SHCNE_CREATE);
    EXPECT_EQ(n.QueueCount(), 6);  // the seventh arrived while six waited
    n.Notify(ListOf("/tmp/attr"), nullptr, SHCNE_ATTRIBUTES);
    EXPECT_EQ(r.notices.size(), 1u);  // so does any notice then
    // One posted dispatch works off the whole burst.
    QCoreApplication::processEvents();
    EXPECT_EQ(n.QueueCount(), 0);
    ASSERT_EQ(r.notices.size(), 7u);
    EXPECT_EQ(r.notices[1].first, "/tmp/f0");
    EXPECT_EQ(r.notices[6].first, "/tmp/f5");
}

// The folders of the notices the queue limit dropped are told once the
// queue is worked off, each once, after the notices that were kept.
TEST(SsShellNotification, DroppedNoticesNameTheirFolders)
{
    TSsShellNotification n;
    n.QueueLimit = 5;
    Recorder r;
    r.Attach(n);
    QList<QByteArray> lost;
    size_t noticesBefore = 0;
    n.OnNoticesLost = [&](TObject*, const QList<QByteArray>& folders) {
        lost << folders;
        noticesBefore = r.notices.size();
    };
    for (int i = 0; i < 6; ++i)
        n.Notify(ListOf("/tmp/a/f" + QString::number(i)), nullptr, SHCNE_MKDIR);
    n.Notify(ListOf("/tmp/b/x"), nullptr, SHCNE_RMDIR);
    n.Notify(ListOf("/tmp/b/y"), ListOf("/tmp/c/y"), SHCNE_RENAMEFOLDER);
    n.Notify(ListOf("/tmp/a/f9"), nullptr, SHCNE_MKDIR);
    QCoreApplication::processEvents();
    EXPECT_EQ(r.notices.size(), 6u);
    EXPECT_EQ(noticesBefore, 6u);
    EXPECT_EQ(lost, QList<QByteArray>({"/tmp/b", "/tmp/c", "/tmp/a"}));
    // Nothing dropped, nothing told.
    lost.clear();
    n.Notify(ListOf("/tmp/a/g"), nullptr, SHCNE_MKDIR);
    QCoreApplication::processEvents();
    EXPECT_TRUE(lost.isEmpty());
}

TEST(SsShellNotification, EventsOfOneNoticeFireInOrder)
{
    TSsShellNotification n;
    Recorder r;
    r.Attach(n);
    n.Notify(ListOf("/tmp/both"), nullptr, SHCNE_CREATE | SHCNE_UPDATEITEM);
    QCoreApplication::processEvents();
    EXPECT_EQ(r.calls, QStringList({"change", "create"}));
    ASSERT_EQ(r.notices.size(), 1u);
    EXPECT_EQ(r.notices[0].second, NE(neFileChange) | NE(neFileCreate));
    // Drive added through the shell versus otherwise.
    QStringList drives;
    n.OnShellDriveAdd = [&](TObject*, TSsShellItem*) { drives << "shell"; };
    n.OnDriveAdd = [&](TObject*, TSsShellItem*) { drives << "other"; };
    n.Notify(ListOf("/"), nullptr, SHCNE_DRIVEADDGUI);
    n.Notify(ListOf("/"), nullptr, SHCNE_DRIVEADD);
    QCoreApplication::processEvents();
    EXPECT_EQ(drives, QStringList({"shell", "other"}));
}

TEST(SsShellNotification, AFailingHandlerDoesNotStopLaterNotices)
{
    TSsShellNotification n;
    QStringList seen;
    n.OnFileCreate = [&](TObject*, TSsShellItem* item) {
        seen << item->Path;
        if (item->Path == "/tmp/bad")
            throw Exception("handler failed");
    };
    n.Notify(ListOf("/tmp/bad"), nullptr, SHCNE_CREATE);
    n.Notify(ListOf("/tmp/next"), nullptr, SHCNE_CREATE);
    // The application object reports what a handler throws; the event loop goes on.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(seen, QStringList({"/tmp/bad", "/tmp/next"}));
    EXPECT_EQ(n.QueueCount(), 0);
    n.Notify(ListOf("/tmp/later"), nullptr, SHCNE_CREATE);
    QCoreApplication::processEvents();
    EXPECT_EQ(seen.last(), "/tmp/later");
}

TEST(SsShellNotification, WatchFolderSettings)
{
    ShellFixture fx;
    TSsShellNotification n;
    try {
        n.SetWatchFolder("C:");
        FAIL();
    } catch (const ESsInvalidFolder& e) {
        EXPECT_EQ(e.ErrorCode, 240);
    }
    EXPECT_EQ(n.WatchFolder(), "C:\\");
    n.SetWatchFolder(fx.Path());
    EXPECT_EQ(n.SpecialWatchFolder(), sfNone);
    EXPECT_EQ(SsIdListToPath(n.WatchPidl()), fx.Path());
    n.SetSpecialWatchFolder(sfDesktop);
    EXPECT_EQ(n.WatchPidl(), nullptr);
    EXPECT_EQ(n.WatchFolder(), "");
    EXPECT_THROW(n.SetSpecialWatchFolder(sfPrinters), ESsShellError);
    EXPECT_EQ(n.SpecialWatchFolder(), sfDesktop);
    n.SetActive(true);
    EXPECT_TRUE(n.Registered());
    n.SetActive(false);
    EXPECT_FALSE(n.Registered());
}

TEST(SsShellNotification, ReportsCreateRenameDeleteInAWatchedFolder)
{
    ShellFixture fx;
    TSsShellNotification n;
    Recorder r;
    r.Attach(n);
    n.SetWatchFolder(fx.Path());
    n.SetActive(true);
    ASSERT_TRUE(n.Registered());

    fx.Write("neu.jpg", 4, 2024);
    EXPECT_TRUE(WaitFor([&] { return r.Has(fx.Path("neu.jpg"), neFileCreate); }));
    ASSERT_TRUE(QFile::rename(fx.Path("neu.jpg"), fx.Path("Neu.jpg")));
    EXPECT_TRUE(WaitFor([&] { return r.Has(fx.Path("neu.jpg") + " -> " + fx.Path("Neu.jpg"), neFileRename); }));
    ASSERT_TRUE(QFile::remove(fx.Path("Neu.jpg")));
    EXPECT_TRUE(WaitFor([&] { return r.Has(fx.Path("Neu.jpg"), neFileDelete); }));
    QDir().mkdir(fx.Path("ordner"));
    EXPECT_TRUE(WaitFor([&] { return r.Has(fx.Path("ordner"), neFolderCreate); }));
    // Without sub-folders nothing deeper is reported: notices come in order,
    // so once a later one at the top has come, the deeper one never will.
    fx.Write("Bilder/tief.jpg", 1, 2024);
    fx.Write("danach.jpg", 1, 2024);
    EXPECT_TRUE(WaitFor([&] { return r.Has(fx.Path("danach.jpg"), neFileCreate); }));
    EXPECT_FALSE(r.Has(fx.Path("Bilder/tief.jpg"), neFileCreate));

    // Only the chosen events.
    r.notices.clear();
    n.SetNotifyEvents(NE(neFolderDelete));
    fx.Write("x.gif", 1, 2024);
    QDir().rmdir(fx.Path("ordner"));
    EXPECT_TRUE(WaitFor([&] { return r.Has(fx.Path("ordner"), neFolderDelete); }));
    EXPECT_EQ(r.notices.size(), 1u);
}

TEST(SsShellNotification, SubFoldersAreFollowed)
{
    ShellFixture fx;
    TSsShellNotification n;
    Recorder r;
    r.Attach(n);
    n.SetWatchFolder(fx.Path());
    n.SetWatchSubFolders(true);
    n.SetActive(true);
    fx.Write("Bilder/Urlaub/Strand/meer.jpg", 1, 2024);
    EXPECT_TRUE(WaitFor([&] { return r.Has(fx.Path("Bilder/Urlaub/Strand/meer.jpg"), neFileCreate); }));
    // A folder made later is followed as well.
    QDir().mkdir(fx.Path("spaeter"));
    ASSERT_TRUE(WaitFor([&] { return r.Has(fx.Path("spaeter"), neFolderCreate); }));
    fx.Write("spaeter/a.jpg", 1, 2024);
    EXPECT_TRUE(WaitFor([&] { return r.Has(fx.Path("spaeter/a.jpg"), neFileCreate); }));
}

// A sync tool or a camera import removes the folder and makes it again under
// the same name: the watch goes on with the new folder, which is reported as
// read again from scratch.
TEST(SsShellNotification, AFolderMadeAgainAtTheWatchedPathIsWatched)
{
    ShellFixture fx;
    TSsShellNotification n;
    Recorder r;
    r.Attach(n);
    QList<QByteArray> lost;
    n.OnNoticesLost = [&](TObject*, const QList<QByteArray>& folders) { lost << folders; };
    n.SetWatchFolder(fx.Path("Bilder"));
    n.SetActive(true);
    EXPECT_EQ(n.PollInterval(), 0);  // a watched folder on a local disk is not polled
    ASSERT_TRUE(QDir(fx.Path("Bilder")).removeRecursively());
    ASSERT_TRUE(WaitFor([&] { return n.PollInterval() > 0; }));  // the path is polled till a folder is there
    ASSERT_TRUE(QDir().mkdir(fx.Path("Bilder")));
    fx.Write("Bilder/x.jpg", 7, 2024);
    EXPECT_TRUE(WaitFor([&] { return lost.contains(QFile::encodeName(fx.Path("Bilder"))); }));
    r.notices.clear();
    fx.Write("Bilder/neu.jpg", 1, 2024);
    EXPECT_TRUE(WaitFor([&] { return r.Has(fx.Path("Bilder/neu.jpg"), neFileCreate); }));
    EXPECT_EQ(n.PollInterval(), 0);  // watched again, no longer polled
}

namespace {
// A FUSE mount of a folder (bindfs) for the life of the object: changes made
// in the folder itself give no notices at the mount.
struct FuseMirror {
    explicit FuseMirror(const QString& base) : Source(base + "/quelle"), Mount(base + "/spiegel")
    {
        QDir().mkpath(Source);
        QDir().mkpath(Mount);
        const std::string command = "bindfs '" + Source.toStdString() + "' '" + Mount.toStdString() +
                                    "' 2>/dev/null";
        Mounted = std::system(command.c_str()) == 0;
    }
    ~FuseMirror()
    {
        if (Mounted)
            std::system(("fusermount3 -u '" + Mount.toStdString() + "' 2>/dev/null || umount -l '" +
                         Mount.toStdString() + "'").c_str());
    }
    QString Source, Mount;
    bool Mounted = false;
};
}  // namespace

// Network and FUSE file systems tell nothing of changes made elsewhere: the
// watched folder is polled and its changes come as notices.
TEST(SsShellNotification, FolderWithoutNoticesIsPolled)
{
    ShellFixture fx;
    FuseMirror mirror(fx.Path());
    if (!mirror.Mounted)
        GTEST_SKIP() << "bindfs cannot mount here";
    fx.Write("quelle/alt.jpg", 1, 2020);
    TSsShellNotification n;
    Recorder r;
    r.Attach(n);
    n.SetWatchFolder(mirror.Mount);
    n.SetActive(true);
    EXPECT_GT(n.PollInterval(), 0);
    EXPECT_LE(n.PollInterval(), 1000);  // a list catches up within 2 s, with its own wait
    fx.Write("quelle/neu.jpg", 4, 2024);
    EXPECT_TRUE(WaitFor([&] { return r.Has(mirror.Mount + "/neu.jpg", neFileCreate); }));
    fx.Write("quelle/alt.jpg", 9, 2024);
    EXPECT_TRUE(WaitFor([&] { return r.Has(mirror.Mount + "/alt.jpg", neFileChange); }));
    ASSERT_TRUE(QFile::remove(fx.Path("quelle/neu.jpg")));
    EXPECT_TRUE(WaitFor([&] { return r.Has(mirror.Mount + "/neu.jpg", neFileDelete); }));
    ASSERT_TRUE(QDir().mkdir(fx.Path("quelle/ordner")));
    EXPECT_TRUE(WaitFor([&] { return r.Has(mirror.Mount + "/ordner", neFolderCreate); }));
}
