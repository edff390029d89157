#include "WideStringList.h"

#include "Classes.h"

#include <gtest/gtest.h>

namespace {

TMemoryStream StreamOf(const QByteArray& bytes)
{
    TMemoryStream s;
    if (!bytes.isEmpty())
        s.WriteBuffer(bytes.constData(), int32_t(bytes.size()));
    s.SetPosition(0);
    return s;
}

QStringList LinesOf(const TWideStrings& list)
{
    QStringList l;
    for (int i = 0; i < list.Count(); ++i)
        l << list[i];
    return l;
}

QByteArray BytesOf(const TMemoryStream& s)
{
    return QByteArray(reinterpret_cast<const char*>(s.Memory()), qsizetype(s.Bytes().size()));
}

}  // namespace

TEST(WideStringList, LoadFromStreamByByteOrderMark)
{
    struct Case {
        const char* name;
        QByteArray bytes;
        QStringList lines;
        bool unicode;
    };
    const Case cases[] = {
        {"FF FE", QByteArray("\xFF\xFE" "a\0\x16\x04\r\0\n\0b\0", 12), {QStringLiteral("a\u0416"), "b"}, true},
        {"FE FF", QByteArray("\xFE\xFF\0a\x04\x16\0\r\0\n\0b", 12), {QStringLiteral("a\u0416"), "b"}, true},
        {"8-bit", QByteArray("\xE4\x80\r\nx"), {QStringLiteral("ä€"), "x"}, false},
        {"one byte", QByteArray("z"), {"z"}, false},
        {"empty", QByteArray(), {}, false},
    };
    for (const Case& c : cases) {
        TWideStringList list;
        list.SetUnicode(!c.unicode);
        TMemoryStream s = StreamOf(c.bytes);
        list.LoadFromStream(s);
        EXPECT_EQ(LinesOf(list), c.lines) << c.name;
        EXPECT_EQ(list.Unicode(), c.unicode) << c.name;
    }
}

TEST(WideStringList, TextIsCutAtEveryKindOfLineBreak)
{
    const std::pair<QString, QStringList> cases[] = {
        {QStringLiteral("a\r\nb\r\n"), {"a", "b"}},
        {QStringLiteral("a\r\rb"), {"a", "", "b"}},
        {QStringLiteral("a\n\rb"), {"a", "", "b"}},
        {QStringLiteral("a\x0B" "b\x0C" "c\u2028d\u2029e"), {"a", "b", "c", "d", "e"}},
        {QStringLiteral("a\nb"), {"a", "b"}},
        {QString::fromUtf16(u"a\nb\0c", 5), {"a", "b"}},
        {QStringLiteral("\r\n"), {""}},
        {QString(), {}},
    };
    for (const auto& [text, lines] : cases) {
        TWideStringList list;
        list.SetText(text);
        EXPECT_EQ(LinesOf(list), lines) << text.toStdString();
    }
    TWideStringList list;
    list.SetText(QStringLiteral("x\ny"));
    EXPECT_EQ(list.GetText(), QStringLiteral("x\r\ny\r\n"));
}

TEST(WideStringList, SavesAsUtf16WithMarkOr8BitText)
{
    TWideStringList list;
    list.SetText(QStringLiteral("ä\nb"));
    list.SetUnicode(true);
    TMemoryStream wide;
    list.SaveToStream(wide);
    EXPECT_EQ(BytesOf(wide), QByteArray("\xFF\xFE\xE4\0\r\0\n\0b\0\r\0\n\0", 14));

    list.SetUnicode(false);
    TMemoryStream ansi;
    list.SaveToStream(ansi);
    EXPECT_EQ(BytesOf(ansi), QByteArray("\xE4\r\nb\r\n"));
    EXPECT_TRUE(list.Saved());
}

TEST(WideStringList, AsksBeforeLosingCharactersIn8BitText)
{
    TWideStringList list;
    TMemoryStream in = StreamOf(QByteArray("abc"));
    list.LoadFromStream(in);
    int asked = 0;
    bool allow = false;
    list.OnConfirmConversion = [&](TObject* sender, bool& allowed) {
        EXPECT_EQ(sender, &list);
        ++asked;
        allowed = allow;
    };

    TMemoryStream plain;
    list.SaveToStream(plain);  // nothing above 255: no question
    EXPECT_EQ(asked, 0);

    list.Add(QStringLiteral("\u0416"));
    TMemoryStream refused;
    list.SaveToStream(refused);
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(list.Saved());
    EXPECT_EQ(refused.Size(), 0);

    allow = true;
    TMemoryStream allowed;
    list.SaveToStream(allowed);
    EXPECT_TRUE(list.Saved());
    EXPECT_EQ(BytesOf(allowed), QByteArray("abc\r\n?\r\n"));
}

TEST(WideStringList, SortedListsAndTheirErrors)
{
    TWideStringList list;
    list.Add(QStringLiteral("Birne"));
    list.Add(QStringLiteral("apfel"));
    list.Add(QStringLiteral("Äpfel"));
    list.SetSorted(true);
    EXPECT_EQ(LinesOf(list), (QStringList{"apfel", "Äpfel", "Birne"}));

    int index = -1;
    EXPECT_TRUE(list.Find(QStringLiteral("BIRNE"), index));
    EXPECT_EQ(index, 2);
    EXPECT_FALSE(list.Find(QStringLiteral("Banane"), index));
    EXPECT_EQ(index, 2);
    EXPECT_EQ(list.Add(QStringLiteral("APFEL")), 0);  // ignored duplicate
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.IndexOf(QStringLiteral("birne")), 2);

    list.Duplicates = dupError;
    try {
        list.Add(QStringLiteral("birne"));
        FAIL();
    } catch (const EListError& e) {
        EXPECT_EQ(e.text(), QStringLiteral("In der Stringliste sind Duplikate nicht erlaubt"));
    }
    list.Duplicates = dupAccept;
    list.Add(QStringLiteral("birne"));
    EXPECT_EQ(list.Count(), 4);
    EXPECT_TRUE(list.Find(QStringLiteral("Birne"), index));
    EXPECT_EQ(index, 2);  // the first of the equal entries

    try {
        list.Insert(0, QStringLiteral("x"));
        FAIL();
    } catch (const EListError& e) {
        EXPECT_EQ(e.text(), QStringLiteral("Operation für sortierte Listen nicht zulässig"));
    }
    try {
        list.Get(5);
        FAIL();
    } catch (const EListError& e) {
        EXPECT_EQ(e.text(), QStringLiteral("Listenindex überschreitet das Maximum (5)"));
    }
    EXPECT_THROW(list.Delete(-1), EListError);
}

TEST(WideStringList, CapacityGrowsInSteps)
{
    const std::pair<int, int> cases[] = {{1, 4}, {5, 8}, {9, 12}, {13, 28}, {61, 76}, {77, 95}};
    for (const auto& [count, capacity] : cases) {
        TWideStringList list;
        for (int i = 0; i < count; ++i)
            list.Add(QString::number(i));
        EXPECT_EQ(list.GetCapacity(), capacity) << count;
    }
}

TEST(WideStringList, ChangeEventsAndListOperations)
{
    TWideStringList list;
    int changing = 0, changed = 0;
    list.OnChanging = [&](TObject*) { ++changing; };
    list.OnChange = [&](TObject*) { ++changed; };
    list.SetText(QStringLiteral("c\nb\na"));
    EXPECT_EQ(changing, 1);
    EXPECT_EQ(changed, 1);

    TObject marker;
    list.PutObject(1, &marker);
    list.Move(1, 0);
    EXPECT_EQ(LinesOf(list), (QStringList{"b", "c", "a"}));
    EXPECT_EQ(list.GetObject(0), &marker);
    list.Exchange(0, 2);
    list.Put(1, QStringLiteral("x"));
    EXPECT_EQ(LinesOf(list), (QStringList{"a", "x", "b"}));

    TStringList ansi;
    ansi.Add("\xFC");
    list.AddStrings(ansi);
    EXPECT_EQ(list[3], QStringLiteral("ü"));
    list.Sort();
    EXPECT_EQ(LinesOf(list), (QStringList{"a", "b", "ü", "x"}));
}
