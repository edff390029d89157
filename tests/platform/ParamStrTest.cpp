#include "ParamStr.h"
#include "SysUtils.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

TEST(ParamStr, GivesTheProgramAndItsArguments)
{
    const QStringList args = QCoreApplication::arguments();
    EXPECT_EQ(ParamCount(), args.size() - 1);
    EXPECT_EQ(QFileInfo(ParamStr(0)).canonicalFilePath(),
              QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());
    for (int i = 1; i <= ParamCount(); ++i)
        EXPECT_EQ(ParamStr(i), args[i]);
    EXPECT_EQ(ParamStr(ParamCount() + 1), QString());
    EXPECT_EQ(ParamStr(-1), QString());
}

// The arguments are read by their bytes: the test program runs this test
// again with a name in Latin-1, and the run writes back what it was given.
TEST(ParamStr, ReadsArgumentsByTheirBytes)
{
    if (qEnvironmentVariableIsSet("LUMI_PARAMSTR_RUN")) {
        for (int i = 1; i <= ParamCount(); ++i)
            printf("argument %s\n", EncodeFileName(ParamStr(i)).toHex().constData());
        return;
    }
    const QByteArray name = "/media/karte/Libro_Mar\xed" "a.zpb";
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::setenv("LUMI_PARAMSTR_RUN", "1", 1);
        const char* const argv[] = {"self", "--gtest_filter=ParamStr.ReadsArgumentsByTheirBytes", name.constData(),
                                    nullptr};
        ::execv("/proc/self/exe", const_cast<char* const*>(argv));
        ::_exit(127);
    }
    ::close(out[1]);
    QByteArray output;
    char buffer[4096];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof(buffer))) > 0;)
        output.append(buffer, n);
    ::close(out[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output.constData();
    QList<QByteArray> given;
    for (const QByteArray& line : output.split('\n'))
        if (line.startsWith("argument "))
            given << QByteArray::fromHex(line.mid(9));
    EXPECT_EQ(given, QList<QByteArray>{name});
}
