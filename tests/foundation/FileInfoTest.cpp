#include "uFileInfo.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(FileInfo, VersionPartsKeepEightBits)
{
    TProjVersion v;
    v.Assign((1u << 16) | 2u, (300u << 16) | 4u);
    EXPECT_EQ(v.vv, 1);
    EXPECT_EQ(v.rr, 2);
    EXPECT_EQ(v.mm, 44);
    EXPECT_EQ(v.pp, 4);
}

TEST(FileInfo, ProgramCarriesTheBuildsVersion)
{
    QFile cmake(QStringLiteral(LUMI_SOURCE_DIR "/CMakeLists.txt"));
    ASSERT_TRUE(cmake.open(QIODevice::ReadOnly));
    const auto match = QRegularExpression(QStringLiteral(R"(project\(\w+\s+VERSION\s+(\d+)\.(\d+)\.(\d+)\.(\d+))"))
                           .match(QString::fromUtf8(cmake.readAll()));
    ASSERT_TRUE(match.hasMatch());

    const TFileInfo& info = FileInfo();
    EXPECT_TRUE(info.HasVersionData());
    EXPECT_EQ(info.TranslationKey(), "040704E4");
    const TProjVersion* versions[] = {&info.FileVersion(), &info.ProductVersion()};
    for (const TProjVersion* v : versions) {
        EXPECT_EQ(v->vv, uint8_t(match.captured(1).toUInt()));
        EXPECT_EQ(v->rr, uint8_t(match.captured(2).toUInt()));
        EXPECT_EQ(v->mm, uint8_t(match.captured(3).toUInt()));
        EXPECT_EQ(v->pp, uint8_t(match.captured(4).toUInt()));
    }
    const AnsiString text = toAnsi(match.captured(1) + '.' + match.captured(2) + '.' +
                                   match.captured(3) + '.' + match.captured(4));
    EXPECT_EQ(info.FileVersionText(), text);
    EXPECT_EQ(info.ProductVersionText(), text);
    EXPECT_EQ(info.ProductName(), "Lumiseite");
    EXPECT_EQ(info.CompanyName(), "Brenmoor");
    EXPECT_EQ(info.LegalCopyright(), "Nicht gefunden");
    EXPECT_EQ(FileInfo().FileName(), QCoreApplication::applicationFilePath());
    EXPECT_DOUBLE_EQ(info.FileDate(),
                     QDateTimeToDateTime(QFileInfo(info.FileName()).lastModified()));
}

TEST(FileInfo, FileWithoutVersionDataKeepsZeros)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("plain.txt"));
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("text");
    file.close();
    const QDateTime stamp(QDate(2024, 2, 29), QTime(13, 45, 30));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(stamp, QFileDevice::FileModificationTime));
    file.close();

    TFileInfo info(name);
    EXPECT_FALSE(info.HasVersionData());
    EXPECT_EQ(info.FileVersion().vv + info.FileVersion().rr + info.FileVersion().mm +
                  info.FileVersion().pp,
              0);
    EXPECT_EQ(info.ProductVersion().vv, 0);
    EXPECT_EQ(info.ProductName(), "");
    EXPECT_EQ(info.QueryString("CompanyName"), "");
    EXPECT_DOUBLE_EQ(info.FileDate(), EncodeDate(2024, 2, 29) + EncodeTime(13, 45, 30, 0));

    TFileInfo missing(dir.filePath(QStringLiteral("missing.exe")));
    EXPECT_FALSE(missing.HasVersionData());
    EXPECT_EQ(missing.FileDate(), 0.0);
}
