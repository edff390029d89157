#include "ShellFixture.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The fixture's folder goes with it, with names that are no UTF-8 and
// dangling links in it, so that a run leaves no folder behind.
TEST(ShellFixture, LeavesNoFolderBehind)
{
    QByteArray path;
    {
        ShellFixture fx;
        path = QFile::encodeName(fx.Path());
        const int fd = ::open((path + "/alt/bad\xff\xfe.txt").constData(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
        ASSERT_EQ(::symlink("/nirgends/da", (path + "/alt/verwaist").constData()), 0);
    }
    struct stat st {};
    EXPECT_NE(::lstat(path.constData(), &st), 0) << path.toStdString() << " is still there";
}
