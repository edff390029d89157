#include "ParamStr.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <gtest/gtest.h>

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
