#include <gtest/gtest.h>

#include "Classes.h"
#include "Dialogs.h"
#include "FDateiNeuDlg.h"
#include "FDlgInfo.h"
#include "FMainform.h"
#include "FStartbild.h"
#include "SysUtils.h"
#include "uDataFile.h"
#include "uFileInfo.h"
#include "uFotobuchDocument.h"
#include "uFotobuchSetup.h"
#include "uJpegResource.h"
#include "uModalDialog.h"
#include "uProgramStart.h"
#include "uQwRegistry.h"
#include "uSubForm.h"
#include "../common/NoPermissionOverride.h"
#include "../common/ShownMessages.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QStyle>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <algorithm>
#include <cerrno>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Start-up with the dialogs stood in for: the wizard is noted and cancelled,
// messages are noted, and the start image's time is set.
struct StartUp {
    int WizardRuns = 0;
    QStringList Messages;
    QTemporaryDir Dir;
    QString Project;
    const uint32_t SavedTime = StartImageMinimumTime;

    explicit StartUp(uint32_t MinimumTime = 0)
    {
        StartImageMinimumTime = MinimumTime;
        ShowModalHook = [this](QDialog& D) {
            if (dynamic_cast<TDateiNeuDlg*>(&D))
                ++WizardRuns;
            return 2;
        };
        ShowMessageHandler = [this](const QString& T) { Messages.append(T); };
        // A small project to open.
        Project = Dir.filePath(QStringLiteral("urlaub.zpb"));
        TFBDocument doc;
        SetupPhotobook46(&doc, 6);
        doc.Dokumentname = "Urlaub";
        TMemoryStream stream;
        {
            TMemoryDataFile file(stream);
            doc.SaveToDataFile(file);
        }
        QFile f(Project);
        f.open(QIODevice::WriteOnly);
        f.write(reinterpret_cast<const char*>(stream.Memory()), stream.Size());
    }
    ~StartUp()
    {
        StartImageMinimumTime = SavedTime;
        ShowModalHook = nullptr;
        ShowMessageHandler = nullptr;
    }
};

class TTestPanel : public TSubForm {
public:
    LUMI_CLASSNAME(TTestPanel)
    TTestPanel(TCreateKey Key, QWidget* Parent) : TSubForm(Key, Parent) {}
    void SetElement(TFBElement* E) override { Element = E; }
    void ContentChanged(TFBPage*, TFBElement*) override {}
    TFBElement* Element = nullptr;
};

}  // namespace

TEST(ProgramStart, OneExistingProjectIsOpened)
{
    StartUp s;
    std::unique_ptr<TMaster> m(StartProgram({s.Project}));
    EXPECT_EQ(s.WizardRuns, 0);
    EXPECT_EQ(m->Document()->FileName, s.Project);
    EXPECT_EQ(m->Document()->Pages.Count(), 6);
    EXPECT_EQ(m->windowTitle(), QStringLiteral("urlaub.zpb - Brenmoor Vantoria"));
    EXPECT_TRUE(m->isVisible());
    EXPECT_TRUE(m->isEnabled());
    EXPECT_EQ(StartImage(), nullptr);
}

TEST(ProgramStart, StoresVersionAndInstallFolder)
{
    StartUp s;
    TQwRegIniFile& settings = TQwRegIniFile::Instance();
    settings.WriteString("", "Version", "alt");
    settings.WriteString("", "InstallDir", "alt");
    std::unique_ptr<TMaster> m(StartProgram({s.Project}));
    const TProjVersion& v = FileInfo().FileVersion();
    const AnsiString version = settings.ReadString("", "Version", "");
    EXPECT_EQ(version, Format("%d.%.2d.%.4d.%.4d", {int(v.vv), int(v.rr), int(v.mm), int(v.pp)}));
    EXPECT_EQ(std::count(version.begin(), version.end(), '.'), 3) << version;
    EXPECT_EQ(settings.ReadWideString("", "InstallDir", QString()), QCoreApplication::applicationDirPath());
}

// Anything but one existing file runs the new-project command, silently.
TEST(ProgramStart, OtherwiseTheWizardRuns)
{
    StartUp s;
    const QStringList cases[] = {{}, {s.Project, s.Project}, {s.Dir.filePath(QStringLiteral("fehlt.zpb"))},
                                 {s.Dir.path()}};
    for (const QStringList& args : cases) {
        SCOPED_TRACE(args.join(QLatin1Char(' ')).toStdString());
        const int before = s.WizardRuns;
        std::unique_ptr<TMaster> m(StartProgram(args));
        EXPECT_EQ(s.WizardRuns, before + 1);
        EXPECT_TRUE(m->Document()->FileName.isEmpty());
        EXPECT_EQ(m->windowTitle(), QStringLiteral("Unbenannt - Brenmoor Vantoria"));
        EXPECT_TRUE(m->isEnabled());
    }
    EXPECT_TRUE(s.Messages.isEmpty());
}

// A project named in Latin-1, as a file manager hands it over from a memory
// card, is opened; one that cannot be read is named, in the language, with
// the reason.
TEST(ProgramStart, ALatin1NamedProjectIsOpenedAndAnUnreadableOneNamed)
{
    StartUp s;
    const QByteArray project = QFile::encodeName(s.Dir.path()) + "/Libro_Mar\xed" "a.zpb";
    ASSERT_EQ(::rename(QFile::encodeName(s.Project).constData(), project.constData()), 0);
    {
        std::unique_ptr<TMaster> m(StartProgram({DecodeFileName(project)}));
        EXPECT_EQ(s.WizardRuns, 0);
        EXPECT_EQ(EncodeFileName(m->Document()->FileName), project);
        EXPECT_EQ(m->Document()->Pages.Count(), 6);
    }
    ASSERT_EQ(::chmod(project.constData(), 0), 0);
    ShownMessages shown;
    {
        const TNoPermissionOverride ordinaryUser;
        std::unique_ptr<TMaster> m(StartProgram({DecodeFileName(project)}));
        EXPECT_TRUE(m->Document()->FileName.isEmpty());
    }
    ::unlink(project.constData());
    EXPECT_EQ(shown.Texts, QStringList{QStringLiteral("Die Datei konnte nicht geöffnet werden: %1\n%2.")
                                           .arg(DisplayFileName(DecodeFileName(project)), SysErrorMessage(EACCES).chopped(1))});
}

TEST(ProgramStart, StartImageStaysForItsMinimumTime)
{
    StartUp s(400);
    QElapsedTimer t;
    t.start();
    std::unique_ptr<TMaster> m(StartProgram({}));
    EXPECT_GE(t.elapsed(), 400);
    EXPECT_GT(StartImageElapsed(), 400);
    EXPECT_EQ(StartImage(), nullptr);

    // The main window is disabled while the image is up; a start slower than
    // the minimum time ends after one pass.
    StartImageMinimumTime = 0;
    ShowStartImage();
    ASSERT_NE(StartImage(), nullptr);
    EXPECT_EQ(StartImage()->size(), QSize(400, 300));
    EXPECT_TRUE(StartImage()->Label1->isHidden());
    EXPECT_EQ(StartImage()->Label1->text(), QStringLiteral("Version 2.3"));
    EXPECT_FALSE(StartImage()->Image1->pixmap().isNull());
    t.restart();
    CloseStartImage(m.get());
    EXPECT_LT(t.elapsed(), 400);
    EXPECT_EQ(StartImage(), nullptr);
}

TEST(DlgInfo, ShowsProductAndFileVersion)
{
    std::unique_ptr<TDlgInfo> dlg(TLocalizerForm::create<TDlgInfo>(nullptr));
    EXPECT_EQ(dlg->ProductName->text(), QStringLiteral("Brenmoor Vantoria 2.3"));
    const TProjVersion& v = FileInfo().FileVersion();
    EXPECT_EQ(dlg->Version->text(),
              QStringLiteral("FV %1.%2.%3 Build %4").arg(v.vv).arg(v.rr).arg(v.mm).arg(int(v.pp), 4, 10, QLatin1Char('0')));
    EXPECT_FALSE(dlg->Image1->pixmap().isNull());
    int shown = 0;
    ShowModalHook = [&](QDialog& D) {
        ++shown;
        EXPECT_NE(dynamic_cast<TDlgInfo*>(&D), nullptr);
        return 1;
    };
    ShowInfoDialog();
    ShowModalHook = nullptr;
    EXPECT_EQ(shown, 1);
}

TEST(JpegResource, DecodesThePreviewsAndRefusesOtherData)
{
    const QImage start = LoadJpegResource(QStringLiteral("WIZ_START"));
    EXPECT_EQ(start.size(), QSize(400, 300));
    EXPECT_EQ(start.format(), QImage::Format_RGB32);
    // The decoded pixels match what Qt's own reader makes of the same bytes
    // (within the rounding of two decoders).
    QFile f(QStringLiteral(":/JPEG/WIZ_START"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    const QImage reference = QImage::fromData(bytes, "JPG").convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(reference.size(), start.size());
    int worst = 0;
    for (int y = 0; y < 300; y += 7)
        for (int x = 0; x < 400; x += 7) {
            const QRgb a = start.pixel(x, y), b = reference.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                              std::abs(qBlue(a) - qBlue(b))});
        }
    EXPECT_LE(worst, 4);

    EXPECT_THROW(DecodeJpeg(QByteArray()), Exception);
    EXPECT_THROW(DecodeJpeg(QByteArray("not a picture at all")), Exception);
    EXPECT_THROW(DecodeJpeg(bytes.left(600)), Exception);  // cut short
    EXPECT_THROW(LoadJpegResource(QStringLiteral("WIZ_NONE")), Exception);
}

TEST(SubForm, FillsItsTabWithoutCaptionOrBorder)
{
    QTabWidget tabs;
    tabs.resize(400, 250);
    auto* sheet = new QWidget;
    tabs.addTab(sheet, QStringLiteral("Bild"));
    tabs.show();
    TTestPanel* panel = TSubForm::CreateOn<TTestPanel>(sheet);
    QApplication::processEvents();
    EXPECT_EQ(panel->parentWidget(), sheet);
    EXPECT_FALSE(panel->isWindow());
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->geometry(), sheet->rect());
    tabs.resize(500, 300);
    QApplication::processEvents();
    EXPECT_EQ(panel->geometry(), sheet->rect());
}

TEST(SubForm, BackgroundFollowsTheThemes)
{
    QTabWidget tabs;
    auto* sheet = new QWidget;
    tabs.addTab(sheet, QStringLiteral("Bild"));
    TTestPanel* themed = TSubForm::CreateOn<TTestPanel>(sheet);
    EXPECT_TRUE(TSubForm::ThemesActive());
    EXPECT_FALSE(themed->autoFillBackground());  // the tab body shows through

    const QString style = QApplication::style()->name();
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Windows")));
    EXPECT_FALSE(TSubForm::ThemesActive());
    auto* sheet2 = new QWidget;
    tabs.addTab(sheet2, QStringLiteral("Text"));
    TTestPanel* plain = TSubForm::CreateOn<TTestPanel>(sheet2);
    EXPECT_TRUE(plain->autoFillBackground());
    QApplication::setStyle(QStyleFactory::create(style));
}
