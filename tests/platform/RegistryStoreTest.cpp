#include "RegistryStore.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A store in a folder of its own.
struct StoreDir {
    QTemporaryDir dir;
    QString file() const { return dir.path() + QStringLiteral("/store.ini"); }
};

}  // namespace

TEST(RegistryStore, FileFollowsXdgConfigHome)
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    QTemporaryDir other;
    qputenv("XDG_CONFIG_HOME", other.path().toLocal8Bit());
    const QString file = TRegistryStore::DefaultFileName();
    EXPECT_EQ(file, other.path() + QStringLiteral("/Brenmoor/Lumiseite.ini"));
    TRegistryStore().WriteString(QStringLiteral("Software\\X"), QStringLiteral("v"), QStringLiteral("1"));
    EXPECT_TRUE(QFile::exists(file));
    qputenv("XDG_CONFIG_HOME", saved);
}

TEST(RegistryStore, NamesIgnoreCaseAndKeepTheirFirstSpelling)
{
    StoreDir d;
    TRegistryStore store(d.file());
    store.WriteString(QStringLiteral("Software\\Brenmoor\\Master"), QStringLiteral("Left"), QStringLiteral("10"));
    store.WriteString(QStringLiteral("SOFTWARE\\brenmoor\\MASTER"), QStringLiteral("LEFT"), QStringLiteral("20"));

    TRegistryStore fresh(d.file());
    EXPECT_EQ(fresh.ReadString(QStringLiteral("software\\BRENMOOR\\master"), QStringLiteral("left")),
              QStringLiteral("20"));
    QSettings raw(d.file(), QSettings::IniFormat);
    EXPECT_EQ(raw.allKeys(), QStringList{QStringLiteral("Software/Brenmoor/Master/Left")});
    EXPECT_TRUE(fresh.KeyExists(QStringLiteral("software\\brenmoor")));
    EXPECT_FALSE(fresh.KeyExists(QStringLiteral("Software\\Other")));
}

TEST(RegistryStore, TextsAndNamesSurviveTheFile)
{
    StoreDir d;
    const QString key = QStringLiteral("Software\\Druckeinstellung\\A4\\HP/Laser 100%");
    const QStringList values = {
        QString(), QStringLiteral("a, b; c=d"), QStringLiteral("  leading and trailing  "),
        QStringLiteral("@start"), QStringLiteral("\"quoted\""), QStringLiteral("line\r\nbreak"),
        QStringLiteral("Grüße €"), QStringLiteral("\u0416\u0133"), QStringLiteral("C:\\Bilder\\")};
    {
        TRegistryStore store(d.file());
        for (int i = 0; i < values.size(); ++i)
            store.WriteString(key, QStringLiteral("v%1/x").arg(i), values[i]);
        store.WriteString(key, QStringLiteral("@"), QStringLiteral("at"));
        store.WriteString(key, QString(), QStringLiteral("default value"));
    }
    TRegistryStore fresh(d.file());
    for (int i = 0; i < values.size(); ++i)
        EXPECT_EQ(fresh.ReadString(key, QStringLiteral("V%1/X").arg(i)), values[i]) << i;
    EXPECT_EQ(fresh.ReadString(key, QStringLiteral("@")), QStringLiteral("at"));
    EXPECT_EQ(fresh.ReadString(key, QString()), QStringLiteral("default value"));
}

TEST(RegistryStore, TypesSizesAndWrongTypes)
{
    StoreDir d;
    TRegistryStore store(d.file());
    const QString key = QStringLiteral("Software\\K");
    store.WriteString(key, QStringLiteral("s"), QStringLiteral("abc"));
    store.WriteBinary(key, QStringLiteral("b"), QByteArray("\x00\x01\xFF", 3));

    EXPECT_EQ(store.GetDataType(key, QStringLiteral("s")), rdString);
    EXPECT_EQ(store.GetDataType(key, QStringLiteral("b")), rdBinary);
    EXPECT_EQ(store.GetDataType(key, QStringLiteral("none")), rdUnknown);
    EXPECT_EQ(store.GetDataSize(key, QStringLiteral("s")), 8);  // UTF-16 with NUL
    EXPECT_EQ(store.GetDataSize(key, QStringLiteral("b")), 3);
    EXPECT_EQ(store.GetDataSize(key, QStringLiteral("none")), -1);

    EXPECT_EQ(TRegistryStore(d.file()).ReadBinary(key, QStringLiteral("B")), QByteArray("\x00\x01\xFF", 3));
    EXPECT_EQ(store.ReadString(key, QStringLiteral("b")), std::nullopt);
    EXPECT_EQ(store.ReadBinary(key, QStringLiteral("none")), std::nullopt);
    try {
        store.ReadBinary(key, QStringLiteral("s"));
        FAIL() << "no exception";
    } catch (const ERegistryException& e) {
        EXPECT_STREQ(e.what(), "Invalid data type for 's'");
    }

    // Writing a string over a binary value replaces it.
    store.WriteString(key, QStringLiteral("B"), QStringLiteral("now text"));
    EXPECT_EQ(store.GetDataType(key, QStringLiteral("b")), rdString);
}

TEST(RegistryStore, DeletesValuesAndKeys)
{
    StoreDir d;
    TRegistryStore store(d.file());
    store.WriteString(QStringLiteral("Software\\A\\B"), QStringLiteral("x"), QStringLiteral("1"));
    store.WriteString(QStringLiteral("Software\\A"), QStringLiteral("y"), QStringLiteral("2"));

    EXPECT_TRUE(store.DeleteValue(QStringLiteral("software\\a"), QStringLiteral("Y")));
    EXPECT_FALSE(store.DeleteValue(QStringLiteral("Software\\A"), QStringLiteral("y")));
    EXPECT_TRUE(store.ValueExists(QStringLiteral("Software\\A\\B"), QStringLiteral("x")));
    EXPECT_TRUE(store.DeleteKey(QStringLiteral("SOFTWARE\\A")));
    EXPECT_FALSE(store.KeyExists(QStringLiteral("Software\\A\\B")));
    EXPECT_FALSE(store.DeleteKey(QStringLiteral("Software\\A")));
}
