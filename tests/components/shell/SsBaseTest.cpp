#include "SsBase.h"
#include "Version.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>

TEST(SsBase, MessageTableHasEightySevenDistinctIds)
{
    std::set<int32_t> ids;
    for (const TSsMessageEntry& e : SsMessageTable) {
        ids.insert(e.Id);
        EXPECT_NE(AnsiString(e.Text), "") << e.Id;
    }
    EXPECT_EQ(ids.size(), 87u);
    AnsiString t;
    SsMessageText(134, t);
    EXPECT_EQ(t, "The specified key cannnot be found in version info");
    SsMessageText(302, t);
    EXPECT_EQ(t, "A * or + operand could be empty");
}

TEST(SsBase, RaiseCarriesIdTextAndClass)
{
    try {
        RaiseSsError<ESsInvalidFolder>(SsscInvalidFolder);
        FAIL();
    } catch (const ESsInvalidFolder& e) {
        EXPECT_EQ(e.ErrorCode, 240);
        EXPECT_EQ(e.Message, "Invalid folder");
    }
    try {
        RaiseSsError<ESsShellError>(999);  // unknown id: empty message
        FAIL();
    } catch (const ESsException& e) {
        EXPECT_EQ(e.ErrorCode, 999);
        EXPECT_EQ(e.Message, "");
    }
    try {
        RaiseContainerErrorFmt(SsscUnknownClass, {"TFoo"});
        FAIL();
    } catch (const ESsContainerError& e) {
        EXPECT_EQ(e.ErrorCode, 57);
        EXPECT_EQ(e.Message, "Container class name TFoo read from stream is unregistered");
    }
}

TEST(SsBase, VersionPropertyIsFixed)
{
    TSsComponent c;
    c.SetVersion("2.00");
    EXPECT_EQ(c.Version(), "1.02");
}

TEST(SsBase, GroupDigits)
{
    const std::pair<int64_t, const char*> cases[] = {
        {0, "0"},           {100, "100"},         {999, "999"},
        {1000, "1,000"},    {1234, "1,234"},      {-1000, "-1,000"},
        {1234567, "1,234,567"}, {5000000000LL, "5,000,000,000"},
        {INT64_MIN, "-9,223,372,036,854,775,808"}};
    for (auto [n, text] : cases)
        EXPECT_EQ(GroupDigits(n), text) << n;
    EXPECT_EQ(GroupDigitsWith(1234567, '.'), "1.234.567");
}

TEST(SsBase, ShortStringHelpers)
{
    EXPECT_EQ(LeftPadChar("abc", '*', 5), "**abc");
    EXPECT_EQ(LeftPadChar("abc", '*', 2), "abc");
    const AnsiString wide = LeftPadChar("abc", '*', 300);
    EXPECT_EQ(wide.size(), 255u);
    EXPECT_EQ(wide.substr(252), "abc");
    EXPECT_EQ(LeftPad("7", 3), "  7");
    int pos = -1;
    EXPECT_TRUE(FindCharPos("abcb", 'b', pos));
    EXPECT_EQ(pos, 2);
    EXPECT_FALSE(FindCharPos("", 'b', pos));
    EXPECT_EQ(pos, 0);
    EXPECT_EQ(TrimBlanks("\t a b \r\n"), "a b");
    EXPECT_EQ(IntToShortStr(-42), "-42");
}

TEST(SsBase, VersionTextIgnoresLocale)
{
    // The test main runs with a German locale (decimal comma).
    EXPECT_DOUBLE_EQ(SsVersionTextToNumber("5.0"), 5.0);
    EXPECT_DOUBLE_EQ(SsVersionTextToNumber("4.72.3110.0"), 4.72);
    EXPECT_DOUBLE_EQ(SsVersionTextToNumber("6.00.2900.2180"), 6.0);
    EXPECT_DOUBLE_EQ(SsVersionTextToNumber("1234567.1.2"), 0);  // second point too far
    EXPECT_DOUBLE_EQ(SsVersionTextToNumber("abc"), 0);
    EXPECT_GE(SsShellVersion(), 4.7);
}

TEST(SsBase, IdListOperations)
{
    const TSsIdList abs({"/home/u", "Pictures", "a.jpg"});
    PSsIdList clone = SsILClone(&abs);
    EXPECT_TRUE(SsILIsEqual(clone.get(), &abs));
    EXPECT_EQ(SsILCloneFirst(&abs)->Ids(), std::vector<QByteArray>{"/home/u"});
    EXPECT_EQ(SsILFindLast(&abs)->Ids(), std::vector<QByteArray>{"a.jpg"});
    EXPECT_EQ(SsILNext(&abs)->Count(), 2);
    EXPECT_TRUE(SsILRemoveLastID(clone.get()));
    EXPECT_EQ(clone->Count(), 2);
    PSsIdList last = SsILFindLast(&abs);
    EXPECT_TRUE(SsILIsEqual(SsILCombine(clone.get(), last.get()).get(), &abs));
    TSsIdList desktop;
    EXPECT_FALSE(SsILRemoveLastID(&desktop));
    EXPECT_EQ(SsILFindLast(&desktop), nullptr);
    EXPECT_FALSE(SsILIsEqual(&desktop, nullptr));
    EXPECT_TRUE(SsILIsEqual(nullptr, nullptr));
    // Size counts each identifier's 16-bit size and the terminating zero.
    EXPECT_EQ(SsILGetSize(&desktop), 2u);
    EXPECT_EQ(SsILGetSize(&abs), 2u + 9 + 10 + 7);
    const QByteArray bytes = abs.Bytes();
    EXPECT_EQ(uint32_t(bytes.size()), SsILGetSize(&abs));
    EXPECT_EQ(uint8_t(bytes[0]), 9);
    EXPECT_EQ(bytes.mid(2, 7), "/home/u");
    EXPECT_EQ(bytes.right(2), QByteArray(2, '\0'));
    SsILFree(clone);
    EXPECT_EQ(clone, nullptr);
    // The parent's own identifier; none above the desktop's children.
    EXPECT_EQ(GetParentLastID(&abs)->Ids(), std::vector<QByteArray>{"Pictures"});
    const TSsIdList top({"/home/u"});
    EXPECT_EQ(GetParentLastID(&top), nullptr);
    EXPECT_EQ(GetParentLastID(&desktop), nullptr);
}

TEST(SsBase, ClipboardFormats)
{
    const TClipFormat f = SsCFIdList();
    EXPECT_GE(f, 0xC000);
    EXPECT_EQ(RegisterClipboardFormatA("shell idlist array"), f);
    EXPECT_EQ(GetClipboardFormatNameA(f), "Shell IDList Array");
    // The shell's format travels as a native one of the Windows clipboard, both ways.
    const QString mime = "application/x-qt-windows-mime;value=\"Shell IDList Array\"";
    EXPECT_EQ(MimeTypeOfFormat(f), mime);
    EXPECT_EQ(FormatOfMimeType(mime), f);
    EXPECT_EQ(MimeTypeOfFormat(15), "text/uri-list");
}

TEST(SsVersionInfo, ReadsTheProgramsOwnVersionAndRefusesOtherFiles)
{
    TSsVersionInfo info;
    EXPECT_EQ(info.FileName(), QCoreApplication::applicationFilePath());
    EXPECT_FALSE(info.Loaded());
    const TBuildVersion v = BuildVersion();
    const double expected = std::stod(std::to_string(v.Major) + "." + std::to_string(v.Minor));
    EXPECT_DOUBLE_EQ(info.GetFileVersion(), expected);
    EXPECT_TRUE(info.Loaded());
    EXPECT_EQ(info.FileVersionMS, (v.Major << 16) | v.Minor);
    EXPECT_DOUBLE_EQ(info.GetProductVersion(), expected);
    AnsiString value;
    info.LoadVersionInfo("ProductName", value);
    EXPECT_EQ(value, "Lumiseite");
    value = "old";
    try {
        info.LoadVersionInfo("NoSuchKey", value);
        ADD_FAILURE() << "no error";
    } catch (const ESsVersionInfoError& e) {
        EXPECT_EQ(e.ErrorCode, 134);
        EXPECT_EQ(value, "");
    }

    // Another existing file has no version block; a missing one cannot be named.
    QTemporaryDir dir;
    const QString other = dir.path() + "/other.bin";
    QFile f(other);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    info.SetFileName(other);
    EXPECT_FALSE(info.Loaded());
    try {
        info.GetFileVersion();
        ADD_FAILURE() << "no error";
    } catch (const ESsVersionInfoError& e) {
        EXPECT_EQ(e.ErrorCode, 100);
        EXPECT_EQ(e.Message, "File does not contain version info");
    }
    try {
        info.SetFileName(dir.path() + "/missing.bin");
        ADD_FAILURE() << "no error";
    } catch (const ESsVersionInfoError& e) {
        EXPECT_EQ(e.ErrorCode, 73);
    }
    EXPECT_EQ(info.FileName(), other);
}
