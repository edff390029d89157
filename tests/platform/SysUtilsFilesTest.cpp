#include "SysUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray Contents(const QString& Path)
{
    QFile f(Path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void Write(const QString& Path, const QByteArray& Bytes)
{
    QFile f(Path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << Path.toStdString();
    f.write(Bytes);
}

int Replace(const QString& Path, const QByteArray& Bytes)
{
    return ReplaceFileContents(Path, Bytes.constData(), size_t(Bytes.size()));
}

// What a link holds, as it holds it.
QString LinkText(const QString& Link)
{
    char text[4096];
    const ssize_t n = ::readlink(QFile::encodeName(Link).constData(), text, sizeof text);
    return n < 0 ? QString() : QFile::decodeName(QByteArray(text, n));
}

QStringList Entries(const QString& Folder)
{
    return QDir(Folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

// Runs Body as an ordinary user, who has no power over modes: at once when
// the tests run as one, else in a child process that gives up root's rights.
// Body returns what went wrong, empty when all was right. The reason when
// the machine allows neither goes to Skipped.
std::string AsOrdinaryUser(const std::function<std::string()>& Body, std::string& Skipped)
{
    if (::geteuid() != 0)
        return Body();
    const passwd* nobody = ::getpwnam("nobody");
    const uid_t uid = nobody ? nobody->pw_uid : 65534;
    const gid_t gid = nobody ? nobody->pw_gid : 65534;
    int result[2];
    if (::pipe(result) != 0)
        return "no pipe";
    const pid_t child = ::fork();
    if (child < 0)
        return "no child process";
    if (child == 0) {
        ::close(result[0]);
        if (::setgroups(0, nullptr) != 0 || ::setresgid(gid, gid, gid) != 0 || ::setresuid(uid, uid, uid) != 0)
            ::_exit(77);
        const std::string failure = Body();
        const bool sent = ::write(result[1], failure.data(), failure.size()) == ssize_t(failure.size());
        ::_exit(sent ? 0 : 1);
    }
    ::close(result[1]);
    std::string failure;
    char buffer[512];
    for (ssize_t n; (n = ::read(result[0], buffer, sizeof buffer)) != 0;) {
        if (n > 0)
            failure.append(buffer, size_t(n));
        else if (errno != EINTR)
            break;
    }
    ::close(result[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) {
        Skipped = "root cannot give up its rights here (no setuid in this container)";
        return std::string();
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return failure + " (the child process ended with status " + std::to_string(status) + ")";
    return failure;
}

// Watches the syncs of a replacement: which folder was synced, and whether
// the new contents stood under the file's name by then.
struct TSyncWatch {
    static inline QString File;
    static inline QByteArray Expected;
    static inline std::vector<std::pair<ino_t, bool>> Folders;

    static int Sync(int Fd)
    {
        struct stat st {};
        if (::fstat(Fd, &st) == 0 && S_ISDIR(st.st_mode))
            Folders.emplace_back(st.st_ino, Contents(File) == Expected);
        return ::fsync(Fd);
    }
};

} // namespace

// A name as long as the system allows is replaced and made anew; only the
// file is left in the folder.
TEST(SysUtils, ReplacesAFileWhoseNameIsAsLongAsTheSystemAllows)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const int length : {248, 255}) {
        SCOPED_TRACE(length);
        const QString name = QString(length - 4, QLatin1Char('a')) + QStringLiteral(".zpb");
        const QString path = dir.filePath(name);
        ASSERT_EQ(Replace(path, "neu"), 0);
        EXPECT_EQ(Contents(path), "neu");
        ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        ASSERT_EQ(Replace(path, "noch einmal"), 0);
        EXPECT_EQ(Contents(path), "noch einmal");
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0600u);
        EXPECT_EQ(Entries(dir.path()), QStringList{name});
        QFile::remove(path);
    }
}

// After the rename, the folder that holds the new name is synced.
TEST(SysUtils, ReplacedFileIsSyncedWithItsFolder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("album.zpb"));
    Write(path, "alt");
    TSyncWatch::File = path;
    TSyncWatch::Expected = "neu";
    TSyncWatch::Folders.clear();
    ReplaceFileSync = TSyncWatch::Sync;
    const int err = Replace(path, "neu");
    ReplaceFileSync = ::fsync;
    ASSERT_EQ(err, 0);
    struct stat folder {};
    ASSERT_EQ(::stat(QFile::encodeName(dir.path()).constData(), &folder), 0);
    ASSERT_EQ(TSyncWatch::Folders.size(), 1u);
    EXPECT_EQ(TSyncWatch::Folders[0].first, folder.st_ino);
    EXPECT_TRUE(TSyncWatch::Folders[0].second) << "synced before the new contents had the name";
}

// Through a link the file it names is written, whether it exists yet or not;
// the link stays as it was.
TEST(SysUtils, ReplacingThroughALinkWritesItsTargetAndKeepsTheLink)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("ziel")));
    const QString ziel = dir.filePath(QStringLiteral("ziel"));
    const struct {
        const char* What;
        QString Target;     // what the link holds
        QString Written;    // the file that gets the contents
        bool TargetExists;
    } cases[] = {
        {"live", ziel + QStringLiteral("/a.zpb"), ziel + QStringLiteral("/a.zpb"), true},
        {"dangling", ziel + QStringLiteral("/b.zpb"), ziel + QStringLiteral("/b.zpb"), false},
        {"dangling, relative", QStringLiteral("ziel/c.zpb"), ziel + QStringLiteral("/c.zpb"), false},
        {"dangling, to a dangling link", QStringLiteral("zwischen"), ziel + QStringLiteral("/d.zpb"), false},
    };
    ASSERT_TRUE(QFile::link(QStringLiteral("ziel/d.zpb"), dir.filePath(QStringLiteral("zwischen"))));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        if (c.TargetExists)
            Write(c.Written, "alt");
        const QString link = dir.filePath(QStringLiteral("link.zpb"));
        QFile::remove(link);
        ASSERT_EQ(::symlink(QFile::encodeName(c.Target).constData(), QFile::encodeName(link).constData()), 0);
        ASSERT_EQ(Replace(link, "neu"), 0);
        EXPECT_EQ(LinkText(link), c.Target) << "the link was replaced";
        EXPECT_EQ(Contents(c.Written), "neu");
        EXPECT_EQ(Contents(link), "neu");
    }
    EXPECT_EQ(Entries(ziel), (QStringList{"a.zpb", "b.zpb", "c.zpb", "d.zpb"}));
}

// A link into a folder that does not exist, or a ring of links, gives an
// error; the links stay and nothing is made.
TEST(SysUtils, ReplacingThroughALinkThatLeadsNowhereFailsAndKeepsIt)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("album.zpb"));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("fehlt/album.zpb")), link));
    EXPECT_EQ(Replace(link, "neu"), ENOENT);
    const QString ring = dir.filePath(QStringLiteral("ring.zpb"));
    ASSERT_TRUE(QFile::link(QStringLiteral("ring2.zpb"), ring));
    ASSERT_TRUE(QFile::link(QStringLiteral("ring.zpb"), dir.filePath(QStringLiteral("ring2.zpb"))));
    EXPECT_EQ(Replace(ring, "neu"), ELOOP);
    EXPECT_EQ(Entries(dir.path()), (QStringList{"album.zpb", "ring.zpb", "ring2.zpb"}));
    EXPECT_EQ(LinkText(link), dir.filePath(QStringLiteral("fehlt/album.zpb")));
    EXPECT_EQ(LinkText(ring), QStringLiteral("ring2.zpb"));
}

// What an ordinary user may not write is left alone, directly or through a
// link: a read-only file, and a link into a read-only folder.
TEST(SysUtils, ReplacingWhatMayNotBeWrittenLeavesItAlone)
{
    std::string skipped;
    const std::string failure = AsOrdinaryUser(
        [] {
            std::string failures;
            const auto check = [&](bool ok, const char* what) {
                if (!ok)
                    failures += std::string(what) + "; ";
            };
            QTemporaryDir dir;
            if (!dir.isValid())
                return std::string("no temporary folder");
            const QString locked = dir.filePath(QStringLiteral("gesperrt"));
            const QString readOnly = dir.filePath(QStringLiteral("nur-lesen.zpb"));
            QDir(dir.path()).mkdir(QStringLiteral("gesperrt"));
            QFile file(readOnly);
            file.open(QIODevice::WriteOnly);
            file.write("alt");
            file.close();
            QFile::link(readOnly, dir.filePath(QStringLiteral("link.zpb")));
            QFile::link(locked + QStringLiteral("/neu.zpb"), dir.filePath(QStringLiteral("dangling.zpb")));
            QFile::setPermissions(readOnly, QFileDevice::ReadOwner);
            QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
            const QStringList before = Entries(dir.path());

            check(Replace(readOnly, "neu") == EACCES, "read-only file: not EACCES");
            check(Replace(dir.filePath(QStringLiteral("link.zpb")), "neu") == EACCES, "link to it: not EACCES");
            check(Replace(dir.filePath(QStringLiteral("dangling.zpb")), "neu") == EACCES,
                  "link into a read-only folder: not EACCES");
            check(Contents(readOnly) == "alt", "read-only file changed");
            check(Entries(dir.path()) == before, "the folder changed");
            check(Entries(locked).isEmpty(), "a file in the read-only folder");
            check(LinkText(dir.filePath(QStringLiteral("link.zpb"))) == readOnly, "link replaced");
            check(LinkText(dir.filePath(QStringLiteral("dangling.zpb"))) == locked + QStringLiteral("/neu.zpb"),
                  "dangling link replaced");
            QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            return failures;
        },
        skipped);
    if (!skipped.empty())
        GTEST_SKIP() << skipped;
    EXPECT_EQ(failure, "");
}
