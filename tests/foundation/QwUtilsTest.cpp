#include "uQwUtils.h"

#include "Application.h"
#include "ColorDialog.h"
#include "uQwRegistry.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

QByteArray ReadAll(const QString& fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& fileName, const QByteArray& bytes)
{
    QFile file(fileName);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Accepts every message box that comes up while it lives and keeps its text.
class TMessageBoxCatcher {
public:
    TMessageBoxCatcher()
    {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                Texts << box->text();
                box->accept();
            }
        });
        timer_.start();
    }
    QStringList Texts;
private:
    QTimer timer_;
};

// Takes the addresses the desktop is asked to open for one scheme.
class TUrlCatcher : public QObject {
    Q_OBJECT
public:
    explicit TUrlCatcher(const QString& scheme) : scheme_(scheme)
    {
        QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    ~TUrlCatcher() override { QDesktopServices::unsetUrlHandler(scheme_); }
    QList<QUrl> Urls;
public slots:
    void open(const QUrl& url) { Urls << url; }
private:
    QString scheme_;
};

} // namespace

// ---- TColorList -------------------------------------------------------------------

TEST(ColorList, AddColorReusesFillsAndOverwrites)
{
    TColorList list(3);
    EXPECT_EQ(list.GetUsedCount(), 0);
    EXPECT_EQ(list.GetColor(2), TColorList::EmptySlot);
    list.SetColor(1, 0x112233);

    EXPECT_EQ(list.AddColor(0x112233, 2), 1);  // present: nothing changes
    EXPECT_EQ(list.GetUsedCount(), 1);
    EXPECT_EQ(list.AddColor(0x0000FF, 2), 0);  // first empty slot
    EXPECT_EQ(list.AddColor(0x00FF00, 0), 2);
    EXPECT_EQ(list.AddColor(0xFF0000, 1), 1);  // full: the default slot is replaced
    EXPECT_EQ(list.GetColor(0), 0x0000FF);
    EXPECT_EQ(list.GetColor(1), 0xFF0000);
    EXPECT_EQ(list.GetColor(2), 0x00FF00);
    EXPECT_EQ(list.GetUsedCount(), 3);

    list.Clear();
    EXPECT_EQ(list.GetUsedCount(), 0);
    EXPECT_EQ(list.GetCount(), 3);
}

TEST(ColorList, IndexOutsideRaisesListError)
{
    TColorList list(32);
    for (int index : {-1, 32}) {
        try {
            list.GetColor(index);
            ADD_FAILURE() << index;
        } catch (const EListError& e) {
            EXPECT_EQ(e.Message, Format("List index out of bounds (%d)", {index}));
        }
        EXPECT_THROW(list.SetColor(index, 0), EListError);
    }
    TColorList full(1);
    full.SetColor(0, 1);
    EXPECT_THROW(full.AddColor(2, 5), EListError);
}

TEST(ColorList, LoadSkipsUnreadableAndSystemColours)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("custcolo.dat"));
    WriteAll(name, "$000000FF\r\nclLime\r\nCLNAVY\r\n4660\r\nkeine Farbe\r\n\r\n"
                   "clBtnFace\r\n-5\r\n$80000005\r\n$00ABCDEF\n");
    TColorList list(32);
    list.SetColor(20, 7);
    list.LoadFromFile(name);
    const TColor expected[] = {0x0000FF, 0x00FF00, 0x800000, 4660, 0xABCDEF};
    EXPECT_EQ(list.GetUsedCount(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(list.GetColor(i), expected[i]) << i;

    list.LoadFromFile(dir.filePath(QStringLiteral("missing.dat")));
    EXPECT_EQ(list.GetUsedCount(), 0);
}

TEST(ColorList, LoadStopsWhenFull)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("custcolo.dat"));
    QByteArray text;
    for (int i = 0; i < 40; ++i)
        text += QByteArray::number(i + 1) + "\r\n";
    WriteAll(name, text);
    TColorList list(32);
    list.LoadFromFile(name);
    EXPECT_EQ(list.GetUsedCount(), 32);
    EXPECT_EQ(list.GetColor(31), 32);
}

TEST(ColorList, SaveWritesUsedSlotsAndReloadsThemContiguous)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("custcolo.dat"));
    WriteAll(name, "old content that must go");
    TColorList list(32);
    list.SetColor(0, 0x0000FF);
    list.SetColor(5, 0xABCDEF);
    list.SaveToFile(name);
    EXPECT_EQ(ReadAll(name), QByteArray("$000000FF\r\n$00ABCDEF\r\n"));

    TColorList loaded(32);
    loaded.LoadFromFile(name);
    EXPECT_EQ(loaded.GetUsedCount(), 2);
    EXPECT_EQ(loaded.GetColor(0), 0x0000FF);
    EXPECT_EQ(loaded.GetColor(1), 0xABCDEF);

    TColorList empty(32);
    empty.SaveToFile(name);
    EXPECT_EQ(ReadAll(name), QByteArray());

    EXPECT_THROW(list.SaveToFile(dir.filePath(QStringLiteral("no/such/folder/c.dat"))), EFCreateError);
}

TEST(ColorList, GlobalListLivesInUserDataFolder)
{
    const QString expected = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                             QStringLiteral("/Brenmoor/Lumiseite/custcolo.dat");
    EXPECT_EQ(QDir::cleanPath(ColorListFileName()), QDir::cleanPath(expected));
    EXPECT_EQ(ColorList().GetCount(), 32);
}

TEST(ColorList, RefilledFromCustomColoursOfASettingsSection)
{
    TQwRegIniFile::Instance().WriteString(
        "CustomColors", "Colors",
        "ColorA=FF0000\r\nColorB=00FF00\r\nColorC=zz\r\nColorD=\r\nColorE=FF0000\r\nColorF=0000FF");
    ColorList().SetColor(30, 0x123456);
    LoadColorListFromRegistry("CustomColors");
    EXPECT_EQ(ColorList().GetUsedCount(), 3);
    EXPECT_EQ(ColorList().GetColor(0), 0xFF0000);
    EXPECT_EQ(ColorList().GetColor(1), 0x00FF00);
    EXPECT_EQ(ColorList().GetColor(2), 0x0000FF);

    // More lines than slots: the list fills up and the rest is left out.
    AnsiString many;
    for (int i = 0; i < 40; ++i)
        many += Format("Color%d=%.6x\r\n", {i, i + 1});
    TQwRegIniFile::Instance().WriteString("CustomColors", "Colors", many);
    LoadColorListFromRegistry("CustomColors");
    EXPECT_EQ(ColorList().GetUsedCount(), 32);
    EXPECT_EQ(ColorList().GetColor(31), 32);
}

TEST(ColorList, CustomColoursOfADialogGoThroughTheSettings)
{
    TColorDialog saving;
    saving.CustomColors.SetText("ColorA=0000FF\r\nColorB=FFFFFF\r\nColorC=00FF00");
    SaveCustomColors(saving, "Dialogfarben");
    EXPECT_EQ(TQwRegIniFile::Instance().ReadString("Dialogfarben", "Colors", ""),
              "ColorA=0000FF\r\nColorB=FFFFFF\r\nColorC=00FF00");
    EXPECT_EQ(ColorList().GetUsedCount(), 3);
    EXPECT_EQ(ColorList().GetColor(2), 0x00FF00);

    TColorDialog loading;
    LoadCustomColors(loading, "Dialogfarben");
    EXPECT_EQ(loading.CustomColors.Text(), saving.CustomColors.Text());
    EXPECT_EQ(ColorList().GetColor(0), 0x0000FF);
}

// ---- file association ----------------------------------------------------------------

TEST(FileAssociation, RegistersMimeTypeAndDesktopEntryOnce)
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    // Only ever under the tests' own data folder.
    ASSERT_TRUE(data.startsWith(qEnvironmentVariable("HOME"))) << data.toStdString();
    const QString mimeFile = data + QStringLiteral("/mime/packages/zpbfile.xml");
    const QString desktopFile = data + QStringLiteral("/applications/zpbfile.desktop");

    EXPECT_TRUE(RegisterFileExtension(QStringLiteral(".zpb")));
    const QByteArray mime = ReadAll(mimeFile);
    EXPECT_TRUE(mime.contains("<mime-type type=\"application/x-zpb\">")) << mime.toStdString();
    EXPECT_TRUE(mime.contains("<glob pattern=\"*.zpb\"/>"));
    EXPECT_TRUE(mime.contains(" Datei</comment>"));
    // And in each language whose file names it (here the English test file only).
    EXPECT_TRUE(mime.contains("<comment xml:lang=\"en\">" + ApplicationTitle().toUtf8() + " file</comment>"))
        << mime.toStdString();
    EXPECT_EQ(mime.count("<comment"), 2);
    const QByteArray desktop = ReadAll(desktopFile);
    const QByteArray exec = "Exec=\"" + QCoreApplication::applicationFilePath().toUtf8() + "\" %f\n";
    EXPECT_TRUE(desktop.startsWith("[Desktop Entry]\n")) << desktop.toStdString();
    EXPECT_TRUE(desktop.contains(exec)) << desktop.toStdString();
    EXPECT_TRUE(desktop.contains("MimeType=application/x-zpb;\n"));
    if (!QStandardPaths::findExecutable(QStringLiteral("update-mime-database")).isEmpty()) {
        EXPECT_TRUE(ReadAll(data + QStringLiteral("/mime/globs2")).contains("*.zpb"));
    }

    // The same extension again, with or without dots: nothing changed, no notice.
    EXPECT_FALSE(RegisterFileExtension(QStringLiteral("zpb")));
    EXPECT_FALSE(RegisterFileExtension(QStringLiteral(".ZPB")));
    EXPECT_EQ(ReadAll(mimeFile), mime);

    // A damaged entry is written anew.
    WriteAll(desktopFile, "[Desktop Entry]\n");
    EXPECT_TRUE(RegisterFileExtension(QStringLiteral("zpb")));
    EXPECT_EQ(ReadAll(desktopFile), desktop);
}

TEST(FileAssociation, RefusesExtensionsThatAreNoPlainName)
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const auto filesUnderData = [&] {
        QStringList files;
        for (QDirIterator it(data, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            files << it.next();
        return files;
    };
    const QStringList before = filesUnderData();
    for (const char* ext : {"", "...", "../x", "a/b", "z p"})
        EXPECT_FALSE(RegisterFileExtension(QString::fromLatin1(ext))) << ext;
    EXPECT_EQ(filesUnderData(), before);
}

// ---- opening documents ----------------------------------------------------------------

TEST(ShellOpen, DocumentOpensWithTheDesktop)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("Anleitung.pdf"));
    WriteAll(name, "%PDF-1.4");
    TUrlCatcher desktop(QStringLiteral("file"));
    TMessageBoxCatcher boxes;
    EXPECT_TRUE(ShellOpenDocument(nullptr, name));
    ASSERT_EQ(desktop.Urls.size(), 1);
    EXPECT_EQ(desktop.Urls[0], QUrl::fromLocalFile(name));
    EXPECT_TRUE(boxes.Texts.isEmpty());
}

TEST(ShellOpen, MissingDocumentIsNamedInAMessage)
{
    TUrlCatcher desktop(QStringLiteral("file"));
    TMessageBoxCatcher boxes;
    EXPECT_FALSE(ShellOpenDocument(nullptr, QStringLiteral("/nicht/da/Anleitung.pdf")));
    EXPECT_TRUE(desktop.Urls.isEmpty());
    ASSERT_EQ(boxes.Texts.size(), 1);
    EXPECT_EQ(boxes.Texts[0], QStringLiteral("Die Datei \"/nicht/da/Anleitung.pdf\" konnte nicht "
                                             "gefunden werden. Bitte installieren Sie das Programm neu."));
}

TEST(ShellOpen, DocumentTheDesktopCannotOpenReportsFailure)
{
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        GTEST_SKIP() << "needs a desktop that opens nothing";
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("Anleitung.pdf"));
    WriteAll(name, "%PDF-1.4");
    TMessageBoxCatcher boxes;
    EXPECT_FALSE(ShellOpenDocument(nullptr, name));
    ASSERT_EQ(boxes.Texts.size(), 1);
    EXPECT_TRUE(boxes.Texts[0].startsWith(QStringLiteral("Das Dokument konnte nicht ge"))) << boxes.Texts[0].toStdString();
    EXPECT_FALSE(ShellOpenFile(nullptr, name));
}

TEST(ShellOpen, FileOrAddressGoesToTheDesktop)
{
    TUrlCatcher files(QStringLiteral("file"));
    TUrlCatcher web(QStringLiteral("https"));
    TUrlCatcher mail(QStringLiteral("mailto"));
    EXPECT_TRUE(ShellOpenFile(nullptr, QStringLiteral("https://www.example.org/fotobuch?a=1")));
    EXPECT_TRUE(ShellOpenFile(nullptr, QStringLiteral("mailto:info@example.org")));
    EXPECT_TRUE(ShellOpenFile(nullptr, QStringLiteral("relativ/bild 1.jpg")));
    EXPECT_FALSE(ShellOpenFile(nullptr, QString()));
    ASSERT_EQ(web.Urls.size(), 1);
    EXPECT_EQ(web.Urls[0].toString(), QStringLiteral("https://www.example.org/fotobuch?a=1"));
    ASSERT_EQ(mail.Urls.size(), 1);
    ASSERT_EQ(files.Urls.size(), 1);
    EXPECT_EQ(files.Urls[0], QUrl::fromLocalFile(QDir::current().absoluteFilePath(QStringLiteral("relativ/bild 1.jpg"))));
}

// ---- files ------------------------------------------------------------------------------

TEST(FileHelpers, SizeAndDateOfAFile)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("bild.jpg"));
    WriteAll(name, "12345");
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime(QDate(2023, 7, 14), QTime(8, 30, 15)),
                                 QFileDevice::FileModificationTime));
    file.close();

    EXPECT_EQ(GetFileSizeByName(name), 5);
    EXPECT_DOUBLE_EQ(GetFileDateTime(name), EncodeDate(2023, 7, 14) + EncodeTime(8, 30, 15, 0));
    EXPECT_EQ(GetFileSizeByName(dir.path()), 0);
    for (const QString& missing : {dir.filePath(QStringLiteral("fehlt.jpg")), QString()}) {
        EXPECT_EQ(GetFileSizeByName(missing), -1);
        EXPECT_EQ(GetFileDateTime(missing), -1.0);
    }
}

#include "QwUtilsTest.moc"
