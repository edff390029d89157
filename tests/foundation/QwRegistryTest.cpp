#include "uQwRegistry.h"

#include "ParamStr.h"
#include "RegistryStore.h"
#include "SysUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <gtest/gtest.h>

#include <array>

namespace {

QString BaseKey()
{
    return QString::fromLatin1(QwRegistryBaseKey);
}

}  // namespace

TEST(QwRegIniFile, KeyPathOfSections)
{
    TQwRegIniFile ini;
    EXPECT_EQ(ini.GetKeyPath(""), "Software\\Brenmoor\\Lumiseite");
    EXPECT_EQ(ini.GetKeyPath("Master"), "Software\\Brenmoor\\Lumiseite\\Master");
    EXPECT_EQ(ini.GetKeyPath("Druckeinstellung\\A4"), "Software\\Brenmoor\\Lumiseite\\Druckeinstellung\\A4");
}

TEST(QwRegIniFile, ValuesReadBackThroughAFreshStoreInTheTestConfig)
{
    {
        TQwRegIniFile ini;
        ini.WriteString("", "BaseDir", "C:\\Bilder \xE4");  // cp1252 ä
        ini.WriteWideString("", "ClipartBaseDir", QStringLiteral("/home/\u0416"));
        ini.WriteInteger("Master", "Left", -17);
        ini.WriteFloat("Druckeinstellung\\A4", "Rand", 2.5);
    }
    TQwRegIniFile fresh;
    EXPECT_EQ(fresh.ReadString("", "basedir", "x"), "C:\\Bilder \xE4");
    EXPECT_EQ(fresh.ReadWideString("", "ClipartBaseDir", QString()), QStringLiteral("/home/\u0416"));
    EXPECT_EQ(fresh.ReadInteger("master", "LEFT", 0), -17);
    EXPECT_DOUBLE_EQ(fresh.ReadFloat("Druckeinstellung\\a4", "Rand", 0), 2.5);
    EXPECT_EQ(fresh.ReadString("Master", "Missing", "def"), "def");

    // The empty section is the base key; a nested section lies two levels below it.
    TRegistryStore store;
    EXPECT_EQ(store.ReadString(BaseKey(), QStringLiteral("BaseDir")), QStringLiteral("C:\\Bilder ä"));
    EXPECT_EQ(store.ReadString(BaseKey() + QStringLiteral("\\Druckeinstellung\\A4"), QStringLiteral("Rand")),
              QStringLiteral("2,5"));

    // The store lives in the test's private config folder.
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    ASSERT_FALSE(config.isEmpty());
    EXPECT_TRUE(store.FileName().startsWith(config + QLatin1Char('/')));
    EXPECT_TRUE(QFile::exists(store.FileName()));
}

TEST(QwRegIniFile, FloatsAreStoredWithACommaWhateverTheProgramsSeparator)
{
    TQwRegIniFile ini;
    TRegistryStore store;
    const QString key = BaseKey() + QStringLiteral("\\Floats");
    const char savedSeparator = FormatSettings().DecimalSeparator;
    FormatSettings().DecimalSeparator = '.';

    ini.WriteFloat("Floats", "half", 0.5);
    ini.WriteFloat("Floats", "big", 1234567.125);
    EXPECT_EQ(store.ReadString(key, QStringLiteral("half")), QStringLiteral("0,5"));
    EXPECT_EQ(store.ReadString(key, QStringLiteral("big")), QStringLiteral("1234567,125"));
    EXPECT_DOUBLE_EQ(ini.ReadFloat("Floats", "half", 9), 0.5);
    EXPECT_EQ(FormatSettings().DecimalSeparator, '.');  // not changed by the calls
    FormatSettings().DecimalSeparator = savedSeparator;

    const std::array<std::pair<const char*, double>, 4> cases = {{
        {"abc", 7.5}, {"", 7.5}, {"2.5", 7.5}, {"-1,25", -1.25}}};
    for (const auto& [text, expected] : cases) {
        ini.WriteString("Floats", "f", text);
        EXPECT_DOUBLE_EQ(ini.ReadFloat("Floats", "f", 7.5), expected) << text;
    }
}

TEST(QwRegIniFile, IntegersThatAreNotNumbersGiveTheDefault)
{
    TQwRegIniFile ini;
    const std::array<std::pair<const char*, int>, 6> cases = {{
        {"12", 12}, {" -3", -3}, {"$1F", 31}, {"abc", 99}, {"", 99}, {"99999999999", 99}}};
    for (const auto& [text, expected] : cases) {
        ini.WriteString("Ints", "i", text);
        EXPECT_EQ(ini.ReadInteger("Ints", "i", 99), expected) << text;
    }
    EXPECT_EQ(ini.ReadInteger("Ints", "missing", 99), 99);
}

TEST(QwRegIniFile, BinaryData)
{
    TQwRegIniFile ini;
    const uint8_t bytes[5] = {0, 1, 0x80, 0xFE, 0xFF};
    ini.WriteBinaryData("Druckeinstellung\\A4\\Drucker", "DevMode", bytes, 5);
    EXPECT_EQ(ini.GetDataSize("Druckeinstellung\\A4\\Drucker", "devmode"), 5);
    EXPECT_EQ(ini.GetDataSize("Druckeinstellung\\A4\\Drucker", "none"), -1);

    uint8_t buffer[8] = {};
    EXPECT_EQ(TQwRegIniFile().ReadBinaryData("Druckeinstellung\\A4\\Drucker", "DevMode", buffer, 8), 5);
    EXPECT_EQ(std::memcmp(buffer, bytes, 5), 0);
    EXPECT_EQ(ini.ReadBinaryData("Druckeinstellung\\A4\\Drucker", "none", buffer, 8), 0);
    EXPECT_THROW(ini.ReadBinaryData("Druckeinstellung\\A4\\Drucker", "DevMode", buffer, 4), ERegistryException);
    ini.WriteString("Druckeinstellung", "Text", "abc");
    EXPECT_THROW(ini.ReadBinaryData("Druckeinstellung", "Text", buffer, 8), ERegistryException);
}

TEST(QwRegIniFile, InstanceIsOneObject)
{
    EXPECT_EQ(&TQwRegIniFile::Instance(), &TQwRegIniFile::Instance());
}

TEST(FormPosition, MaximisedSavesOnlyTheStateAndKeepsEarlierBounds)
{
    QWidget form;
    form.move(30, 40);
    form.resize(300, 200);
    SaveFormPosition(&form, "PosMax");
    form.resize(500, 400);
    form.setWindowState(Qt::WindowMaximized);
    SaveFormPosition(&form, "PosMax");

    auto& ini = TQwRegIniFile::Instance();
    EXPECT_EQ(ini.ReadInteger("PosMax", "WindowState", -1), 2);
    EXPECT_EQ(ini.ReadInteger("PosMax", "Left", -1), 30);
    EXPECT_EQ(ini.ReadInteger("PosMax", "Width", -1), 300);

    QWidget restored;
    RestoreFormPosition(&restored, "PosMax");
    EXPECT_EQ(restored.windowState(), Qt::WindowMaximized);
}

TEST(FormPosition, RestoreKeepsTheWindowOnTheScreen)
{
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    auto& ini = TQwRegIniFile::Instance();
    struct Case {
        QRect stored;
        QRect expected;
    };
    const Case cases[] = {
        {QRect(100, 50, 3000, 2000), QRect(0, 0, screen.width(), screen.height())},
        {QRect(-50, -20, 200, 100), QRect(0, 0, 200, 100)},
        {QRect(screen.width() - 100, screen.height() - 50, 200, 100),
         QRect(screen.width() - 200, screen.height() - 100, 200, 100)},
        {QRect(10, 20, 200, 100), QRect(10, 20, 200, 100)},
    };
    for (const Case& c : cases) {
        ini.WriteInteger("PosNormal", "WindowState", 0);
        ini.WriteInteger("PosNormal", "Left", c.stored.x());
        ini.WriteInteger("PosNormal", "Top", c.stored.y());
        ini.WriteInteger("PosNormal", "Width", c.stored.width());
        ini.WriteInteger("PosNormal", "Height", c.stored.height());
        QWidget form;
        RestoreFormPosition(&form, "PosNormal");
        EXPECT_EQ(QRect(form.pos(), form.size()), c.expected) << c.stored.x() << "," << c.stored.y();
        EXPECT_EQ(form.windowState(), Qt::WindowNoState);
    }
}

TEST(UserDataFolder, LiesInTheXdgDataHomeAndIsCreated)
{
    const QString folder = GetUserDataFolder();
    EXPECT_EQ(folder, qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Brenmoor/Lumiseite/"));
    EXPECT_TRUE(QDir(folder).exists());
    EXPECT_EQ(GetSpecialFolderPath(CSIDL_APPDATA), qEnvironmentVariable("XDG_DATA_HOME"));
    EXPECT_EQ(GetSpecialFolderPath(12345), QString());
}

TEST(UserDataFolder, FileOnlyInTheProgramFolderIsMovedOnce)
{
    const QString name = QStringLiteral("userdata-move-test-%1.dat").arg(QCoreApplication::applicationPid());
    const QString old = ExtractFilePath(ParamStr(0)) + name;
    if (!QFileInfo(ExtractFilePath(ParamStr(0))).isWritable())
        GTEST_SKIP() << "the test program's folder is not writable by this user";
    QFile f(old);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("colours");
    f.close();

    const QString result = GetUserDataFileName(name);
    EXPECT_EQ(result, GetUserDataFolder() + name);
    EXPECT_FALSE(QFile::exists(old));
    QFile moved(result);
    ASSERT_TRUE(moved.open(QIODevice::ReadOnly));
    EXPECT_EQ(moved.readAll(), QByteArray("colours"));

    // A file already in the user data folder is left alone; a missing one
    // still gives its path.
    EXPECT_EQ(GetUserDataFileName(name), result);
    EXPECT_EQ(GetUserDataFileName(QStringLiteral("nothing.dat")), GetUserDataFolder() + "nothing.dat");
    QFile::remove(result);
}
