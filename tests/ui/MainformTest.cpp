#include <gtest/gtest.h>

#include "Application.h"
#include "Classes.h"
#include "Dialogs.h"
#include "FBPictureElement.h"
#include "Printers.h"
#include "SystemMemory.h"
#include "uDataFile.h"
#include "uDefaultwerte.h"
#include "uDlgDruckAbbrechen.h"
#include "FDateiNeuDlg.h"
#include "FMainform.h"
#include "PageViewFixture.h"
#include "RichText.h"
#include "SFormDlgRTFText.h"
#include "SFormSeiten.h"
#include "SsFileDialog.h"
#include "SsFileOperations.h"
#include "uLeftPanelLists.h"
#include "uShellTreeViewEx.h"
#include "uThumbnailListview.h"
#include "uFotobuchBildManager.h"
#include "uFotobuchDocument.h"
#include "uFotobuchMainview.h"
#include "uFotobuchSetup.h"
#include "uInfoAusgabe.h"
#include "uModalDialog.h"
#include "uMulticaster.h"
#include "uQwRegistry.h"
#include "ulocalize.h"
#include "uUndo.h"
#include "../common/NoPermissionOverride.h"
#include "../common/ShownMessages.h"

#include "DragDropFormats.h"

#include <QAction>
#include <QLabel>
#include <QComboBox>
#include <QAbstractItemView>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QListWidget>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWindow>
#include <QDeadlineTimer>
#include <QTimer>
#include <QDir>
#include <QFile>
#include <QKeySequence>
#include <QLibraryInfo>
#include <QMenu>
#include <QMessageBox>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QStyle>
#include <QToolButton>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <cerrno>
#include <memory>
#include <set>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// A main window with every dialog stood in for: the save question answers
// Answer, the file dialogs give the names set here, the wizard is cancelled
// unless Wizard drives it.
struct Window {
    std::unique_ptr<TMaster> M;
    QTemporaryDir Dir;
    int Answer = QMessageBox::No;
    QStringList Asked;
    QString SaveName, OpenName;
    int SaveDialogs = 0, OpenDialogs = 0, WizardRuns = 0;
    std::function<void(TDateiNeuDlg&)> Wizard;
    QStringList Messages;

    Window()
    {
        M.reset(TLocalizerForm::create<TMaster>(nullptr));
        M->AskSaveHook = [this](const QString& Text) {
            Asked.append(Text);
            return Answer;
        };
        M->SaveDialogHook = [this] {
            ++SaveDialogs;
            return SaveName;
        };
        M->OpenDialogHook = [this] {
            ++OpenDialogs;
            return OpenName;
        };
        ShowModalHook = [this](QDialog& D) {
            ++WizardRuns;
            D.setResult(2);
            if (Wizard)
                Wizard(static_cast<TDateiNeuDlg&>(D));
            return D.result();
        };
        ShowMessageHandler = [this](const QString& Text) { Messages.append(Text); };
    }
    ~Window()
    {
        M.reset();
        ShowModalHook = nullptr;
        ShowMessageHandler = nullptr;
    }
    QString Path(const char* Name) const { return Dir.filePath(QString::fromLatin1(Name)); }
    TFBDocument& Doc() const { return *M->Document(); }
    bool Close()
    {
        QCloseEvent e;
        QApplication::sendEvent(M.get(), &e);
        return e.isAccepted();
    }
    // Records an undo item so that clearing the stack shows.
    void RecordUndo() const { GetUndoManager().AddSeiteEinfuegen(0); }
};

QByteArray FileBytes(const QString& Name)
{
    QFile f(Name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QString Product = QStringLiteral(" - Brenmoor Vantoria");

// Drives the wizard to build a photo book 8:5 Horizon.
void BuildPhotoBook(TDateiNeuDlg& D)
{
    D.lbSteps->setCurrentRow(3);
    D.BtnWeiterClick();
    D.lbSteps->setCurrentRow(1);
    D.BtnWeiterClick();
}

}  // namespace

TEST(Master, CreationBuildsTheWindowForTheDefaultDocument)
{
    Window w;
    TMaster& m = *w.M;
    EXPECT_EQ(m.windowTitle(), QStringLiteral("Unbenannt") + Product);
    EXPECT_EQ(static_cast<TApplication*>(QCoreApplication::instance())->Title, m.windowTitle());
    EXPECT_EQ(w.Doc().Pages.Count(), 32);
    EXPECT_TRUE(w.Doc().FileName.isEmpty());
    EXPECT_FALSE(w.Doc().Modified);
    EXPECT_EQ(m.MainView()->ScreenIndex(), 0);
    EXPECT_EQ(m.lblSeitenzahl->text(), fromAnsi(w.Doc().GetScreenCaption(0)));
    EXPECT_GE(m.minimumWidth(), 700);
    EXPECT_GE(m.minimumHeight(), 500);
    // Tabs: clip-art offered, the first left tab shown; only the pages tab below.
    EXPECT_TRUE(m.PageControlLeft->isTabVisible(m.PageControlLeft->indexOf(m.tsClipart)));
    EXPECT_EQ(m.PageControlLeft->currentWidget(), m.tsBilder);
    EXPECT_EQ(m.pagecontrolBottom->currentWidget(), m.tsSeiten);
    for (QWidget* t : {m.tsBild, m.tsText, m.tsFarbflaeche, m.tsKalender})
        EXPECT_FALSE(m.pagecontrolBottom->isTabVisible(m.pagecontrolBottom->indexOf(t)));
    EXPECT_TRUE(m.BtnSchliessen->isHidden());
    EXPECT_TRUE(m.panMarlowen->isHidden());
    EXPECT_EQ(Localizer().SupportedLanguages(), 0x217);
    // The drag sources carry their private formats.
    const char* formats[] = {"QwFileList", "QwPageTemplate", "QwColor", "QwClipart"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(m.DragFormats[size_t(i)]->CompatibleFormats->Count(), 1) << formats[i];
    // The main window is the status output's main form.
    InfoAusgabe().SetStatusText(QStringLiteral("Seite 3 wird gespeichert"));
    EXPECT_EQ(m.StatusBar1->currentMessage(), QStringLiteral("Seite 3 wird gespeichert"));
    EXPECT_EQ(Master(), &m);
}

TEST(Master, SideTabFollowsTheFocusedElement)
{
    Window w;
    TMaster& m = *w.M;
    TFBPage* page = w.Doc().Pages.GetPage(1);
    auto* frame = static_cast<TFBPictureElement*>(page->Pictures.GetItem(0));
    auto shown = [&] {
        QWidget* only = nullptr;
        for (QWidget* t : {m.tsBild, m.tsText, m.tsFarbflaeche, m.tsKalender})
            if (m.pagecontrolBottom->isTabVisible(m.pagecontrolBottom->indexOf(t)))
                only = only ? m.tsSeiten : t;  // two visible would be wrong
        EXPECT_TRUE(m.pagecontrolBottom->isTabVisible(m.pagecontrolBottom->indexOf(m.tsSeiten)));
        return m.pagecontrolBottom->currentWidget() == (only ? only : m.tsSeiten) ? m.pagecontrolBottom->currentWidget()
                                                                                 : nullptr;
    };
    m.MainView()->SetScreen(page->GetScreenIndex());
    m.MainView()->SetFocusedElement(frame);  // an empty frame: the picture panel
    EXPECT_EQ(shown(), m.tsBild);
    EXPECT_FALSE(m.BtnEntfernen->isEnabled());
    frame->FillWithColor(0x3366CC);  // a colour area
    m.FocusChanged();
    EXPECT_EQ(shown(), m.tsFarbflaeche);
    EXPECT_TRUE(m.BtnEntfernen->isEnabled());
    auto text = std::make_unique<TFBTextElement>(page);
    text->CenterX = 50;
    text->CenterY = 50;
    text->Width = 40;
    text->Height = 20;
    TFBElement* textElement = text.get();
    page->Elements.Add(std::move(text));
    m.MainView()->SetFocusedElement(textElement);
    EXPECT_EQ(shown(), m.tsText);
    m.MainView()->SetFocusedElement(nullptr);
    EXPECT_EQ(shown(), m.tsSeiten);
}

TEST(Master, LayoutsTabOnlyWithTemplates)
{
    Window w;
    TMaster& m = *w.M;
    const int layouts = m.PageControlLeft->indexOf(m.tsLayouts);
    EXPECT_TRUE(m.PageControlLeft->isTabVisible(layouts));
    w.Doc().Layouttypen = 0;
    m.RefreshPageTemplates();
    EXPECT_FALSE(m.PageControlLeft->isTabVisible(layouts));
}

TEST(Master, SaveReopenAndSaveAs)
{
    Window w;
    TMaster& m = *w.M;
    w.SaveName = w.Path("album.zpb");
    w.Doc().Dokumentname = "Urlaub";
    w.Doc().Modified = true;
    w.RecordUndo();
    ASSERT_TRUE(m.BtnAlbumSpeichernClick());
    EXPECT_EQ(w.SaveDialogs, 1);
    EXPECT_EQ(w.Doc().FileName, w.SaveName);
    EXPECT_EQ(m.windowTitle(), QStringLiteral("album.zpb") + Product);
    EXPECT_FALSE(w.Doc().Modified);
    EXPECT_FALSE(GetUndoManager().CanUndo());
    const QByteArray saved = FileBytes(w.SaveName);
    EXPECT_TRUE(saved.startsWith("Qw DataFile"));

    // A second save needs no dialog and replaces the file in full.
    w.Doc().Pages.Delete(5);
    ASSERT_TRUE(m.BtnAlbumSpeichernClick());
    EXPECT_EQ(w.SaveDialogs, 1);
    const QByteArray shorter = FileBytes(w.SaveName);
    EXPECT_LT(shorter.size(), saved.size());

    // Reopen: the pages and name come back; undo is cleared.
    SetupPhotobook46(&w.Doc(), 8);
    w.RecordUndo();
    m.OpenDocument(w.SaveName);
    EXPECT_EQ(w.Doc().Pages.Count(), 31);
    EXPECT_EQ(w.Doc().Dokumentname, "Urlaub");
    EXPECT_EQ(m.panTitel->text(), QStringLiteral("Urlaub"));
    EXPECT_FALSE(GetUndoManager().CanUndo());
    EXPECT_FALSE(w.Doc().Modified);

    // Save as writes a new file and renames the album.
    w.SaveName = w.Path("kopie.zpb");
    ASSERT_TRUE(m.mnuDateiSpeichernUnterClick());
    EXPECT_EQ(m.windowTitle(), QStringLiteral("kopie.zpb") + Product);
    EXPECT_EQ(FileBytes(w.Path("kopie.zpb")), FileBytes(w.Path("album.zpb")));
    // Given up: nothing changes.
    w.SaveName.clear();
    EXPECT_FALSE(m.mnuDateiSpeichernUnterClick());
    EXPECT_EQ(w.Doc().FileName, w.Path("kopie.zpb"));
}

TEST(Master, FileDialogsStartInDocumentsThenInTheLastFolder)
{
    Window w;
    TMaster& m = *w.M;
    m.SaveDialogHook = nullptr;
    m.OpenDialogHook = nullptr;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    ASSERT_TRUE(QDir().mkpath(documents));
    QStringList started;
    QString choose;  // empty: the dialog is cancelled
    ShowModalHook = [&](QDialog& D) {
        auto& dialog = dynamic_cast<TSsFileDialog&>(D);
        started << dialog.Folder();
        if (choose.isEmpty())
            return int(QDialog::Rejected);
        dialog.NameEdit()->setText(choose);
        dialog.accept();
        return dialog.result();
    };
    m.BtnAlbumOeffnenClick();
    choose = w.Path("album.zpb");
    ASSERT_TRUE(m.BtnAlbumSpeichernClick());
    EXPECT_EQ(w.Doc().FileName, choose);
    choose.clear();
    m.BtnAlbumOeffnenClick();
    ASSERT_EQ(started.size(), 3);
    EXPECT_EQ(started[0], QDir(documents).absolutePath());
    EXPECT_EQ(started[1], QDir(documents).absolutePath());
    EXPECT_EQ(started[2], QDir(w.Dir.path()).absolutePath());
    ShowModalHook = nullptr;
}

// The file dialog driven as a user drives it, whichever dialog it is: the
// row a list of the dialog shows as Name is selected and the default button
// pressed, which opens a folder or chooses a file. False when no list shows
// the name (lists that fill in the background are given time).
QPushButton* DefaultButton(QDialog& D)
{
    for (QPushButton* b : D.findChildren<QPushButton*>())
        if (b->isVisible() && b->isDefault())
            return b;
    return nullptr;
}

bool PressOnListed(QDialog& D, const QString& Name)
{
    QModelIndex hit;
    QAbstractItemView* view = nullptr;
    QElapsedTimer t;
    t.start();
    while (!hit.isValid() && t.elapsed() < 5000) {
        for (QAbstractItemView* v : D.findChildren<QAbstractItemView*>())
            if (v->isVisible() && v->model() && !hit.isValid()) {
                const QModelIndexList hits = v->model()->match(v->model()->index(0, 0, v->rootIndex()), Qt::DisplayRole,
                                                               Name, 1, Qt::MatchExactly);
                if (!hits.isEmpty()) {
                    hit = hits.constFirst();
                    view = v;
                }
            }
        if (!hit.isValid())
            QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    if (!hit.isValid())
        return false;
    view->setFocus();
    view->selectionModel()->setCurrentIndex(hit, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    DefaultButton(D)->click();
    return true;
}

void TypeAndPress(QDialog& D, const QString& Name)
{
    for (QLineEdit* e : D.findChildren<QLineEdit*>())
        if (e->isVisible())
            e->setText(Name);
    DefaultButton(D)->click();
}

// A memory card in the documents folder, its folders and a project named in
// Latin-1; the file dialogs reach them, keep their bytes, open the project
// and save beside it.
TEST(Master, FileDialogsReachALatin1CardsFoldersAndProject)
{
    Window w;
    TMaster& m = *w.M;
    m.OpenDialogHook = nullptr;
    ASSERT_TRUE(QDir().mkpath(UserDocumentsFolder()));
    QTemporaryDir cardDir(UserDocumentsFolder() + QStringLiteral("/KARTE-XXXXXX"));
    const QByteArray card = QFile::encodeName(cardDir.path());
    const QByteArray folder = card + "/100_Ni\xf1os";
    ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
    ASSERT_EQ(::mkdir((card + "/101_Cumplea\xf1os Mar\xed" "a").constData(), 0755), 0);
    const QByteArray project = folder + "/Libro_Mar\xed" "a.zpb";
    w.Doc().Dokumentname = "Fiesta";
    m.SaveDialogHook = [&] { return DecodeFileName(project); };
    ASSERT_TRUE(m.mnuDateiSpeichernUnterClick());
    m.SaveDialogHook = nullptr;
    w.Doc().Dokumentname = "Otro";

    QStringList steps;
    QStringList missing;
    ShowModalHook = [&](QDialog& D) {
        D.show();
        for (const QString& step : steps)
            if (!PressOnListed(D, step)) {
                missing << step;
                break;
            }
        if (D.isVisible() && missing.isEmpty())
            TypeAndPress(D, QStringLiteral("Copia"));
        D.hide();
        return D.result();
    };
    steps = QStringList{QFileInfo(cardDir.path()).fileName(), QStringLiteral("100_Niños"),
                        QStringLiteral("Libro_María.zpb")};
    m.BtnAlbumOeffnenClick();
    EXPECT_EQ(missing, QStringList());
    EXPECT_EQ(EncodeFileName(w.Doc().FileName), project);
    EXPECT_EQ(w.Doc().Dokumentname, "Fiesta");

    // Saved under a new name in the same folder, which the dialog starts in.
    steps.clear();
    ASSERT_TRUE(m.mnuDateiSpeichernUnterClick());
    EXPECT_EQ(EncodeFileName(w.Doc().FileName), folder + "/Copia.zpb");
    struct stat st;
    EXPECT_EQ(::stat((folder + "/Copia.zpb").constData(), &st), 0);
    ShowModalHook = nullptr;
    SsRemoveEntry(card);
}

// The file dialogs open big enough in every language: each label and button
// shows its whole text, and each column of a list shows its whole caption
// without the list being scrolled.
TEST(Master, FileDialogsOpenBigEnoughForTheirTextsInEveryLanguage)
{
    Window w;
    TMaster& m = *w.M;
    m.SaveDialogHook = nullptr;
    m.OpenDialogHook = nullptr;
    ASSERT_TRUE(QDir().mkpath(UserDocumentsFolder() + QStringLiteral("/Urlaub")));  // a folder, named by its type
    QStringList cut;
    ShowModalHook = [&](QDialog& D) {
        D.show();
        QApplication::processEvents();
        const QString where = m.mnuSprache->title() + QStringLiteral(" / ") + D.windowTitle() + QStringLiteral(": ");
        for (QWidget* c : D.findChildren<QWidget*>()) {
            if (!c->isVisible())
                continue;
            const QFontMetrics fm = c->fontMetrics();
            if (auto* l = qobject_cast<QLabel*>(c); l && !l->text().isEmpty() && l->sizeHint().width() > l->width())
                cut << where + l->text();
            if (auto* b = qobject_cast<QPushButton*>(c);
                b && fm.horizontalAdvance(QString(b->text()).remove(QLatin1Char('&'))) + 6 > b->width())
                cut << where + b->text();
            if (auto* h = qobject_cast<QHeaderView*>(c); h && h->orientation() == Qt::Horizontal) {
                const int margin = 2 * h->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, h);
                for (int i = 0; i < h->count(); ++i) {
                    const QString t = h->model()->headerData(i, Qt::Horizontal).toString();
                    if (!h->isSectionHidden(i) && fm.horizontalAdvance(t) + margin > h->sectionSize(i))
                        cut << where + t;
                }
                if (h->length() > h->viewport()->width())
                    cut << where + QStringLiteral("columns beyond the list's edge");
                // The texts of the rows, but for the names, with the margins a cell draws them in.
                auto* view = qobject_cast<QAbstractItemView*>(h->parentWidget());
                const int cell = 2 * (h->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, h) + 1);
                for (int r = 0; view && r < view->model()->rowCount(view->rootIndex()); ++r)
                    for (int i = 1; i < h->count(); ++i) {
                        const QString t = view->model()->index(r, i, view->rootIndex()).data().toString();
                        if (!h->isSectionHidden(i) && view->visualRect(view->model()->index(r, i, view->rootIndex())).width()
                                                          < fm.horizontalAdvance(t) + cell)
                            cut << where + t;
                    }
            }
        }
        D.hide();
        return int(QDialog::Rejected);
    };
    for (QAction* language : {m.mnuSpracheDeutsch, m.mnuSpracheEnglisch, m.mnuSpracheFranzoesisch,
                              m.mnuSpracheItalienisch, m.mnuSpracheSpanisch, m.mnuSpracheHollaendisch}) {
        language->trigger();
        m.BtnAlbumOeffnenClick();
        EXPECT_FALSE(m.mnuDateiSpeichernUnterClick());
    }
    m.mnuSpracheDeutsch->trigger();
    ShowModalHook = nullptr;
    EXPECT_TRUE(cut.isEmpty()) << qPrintable(cut.join(QLatin1Char('\n')));
}

TEST(Master, MessageBoxesCarryTheProgramsTitle)
{
    Window w;
    TMaster& m = *w.M;
    EXPECT_EQ(ApplicationTitle(), m.windowTitle());
    QString asked;
    ShowModalHook = [&](QDialog& D) {
        asked = D.windowTitle();
        return int(QMessageBox::No);
    };
    m.MainView()->SetScreen(1);
    m.MainView()->DeleteScreen();
    EXPECT_EQ(asked, QStringLiteral("Unbenannt") + Product);
    ShowModalHook = nullptr;
}

namespace {

// A disk that takes the first 4 KB of a file and then is full.
ssize_t WriteToFullDisk(int Fd, const void* Buffer, size_t Count)
{
    static size_t written = 0;
    if (written >= 4096) {
        written = 0;
        errno = ENOSPC;
        return -1;
    }
    const ssize_t n = ::write(Fd, Buffer, std::min<size_t>(Count, 4096 - written));
    if (n > 0)
        written += size_t(n);
    return n;
}

} // namespace

// A save that fails says why, in the program's language, as an error; the
// saved file, the name, the changes and the undo steps stay as they were, and
// no temporary file is left behind.
TEST(Master, FailedSaveNamesTheCauseAsAnError)
{
    enum TFault { FullDisk, ReadOnlyFolder, ReadOnlyFile, MissingFolder, LongName };
    const struct {
        TFault Fault;
        int Language;
        const char* Cause;
    } cases[] = {
        {FullDisk, 0, "Auf dem Datenträger ist nicht genug Speicherplatz frei."},
        {FullDisk, 1, "There is not enough free space on the disk."},
        {ReadOnlyFolder, 0, "Sie haben keine Berechtigung, hier zu speichern."},
        {ReadOnlyFolder, 1, "You do not have permission to save here."},
        {ReadOnlyFile, 0, "Die Datei ist schreibgeschützt."},
        {ReadOnlyFile, 1, "The file is write-protected."},
        {MissingFolder, 0, "Die Datei oder der Ordner existiert nicht."},
        {MissingFolder, 2, "Le fichier ou le dossier n'existe pas."},
        {LongName, 0, "Der Dateiname ist zu lang."},
        {LongName, 4, "El nombre del archivo es demasiado largo."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "fault " << c.Fault << ", language " << c.Language);
        Window w;
        TMaster& m = *w.M;
        const QString folder = w.Path("alben");
        ASSERT_TRUE(QDir().mkpath(folder));
        const QString saved = folder + QStringLiteral("/album.zpb");
        w.SaveName = saved;
        ASSERT_TRUE(m.BtnAlbumSpeichernClick());
        const QByteArray before = FileBytes(saved);
        ASSERT_GT(before.size(), 4096);
        w.Doc().Modified = true;
        w.RecordUndo();
        Localizer().SetLanguage(c.Language);

        QStringList errors;
        bool result = true;
        {
            const ShownMessages shown([&](const QString& Text) { errors.append(Text); });
            switch (c.Fault) {
            case FullDisk: {
                ReplaceFileWrite = WriteToFullDisk;
                result = m.BtnAlbumSpeichernClick();
                ReplaceFileWrite = ::write;
                break;
            }
            case ReadOnlyFolder: {
                ASSERT_TRUE(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
                const TNoPermissionOverride user;
                result = m.BtnAlbumSpeichernClick();
                break;
            }
            case ReadOnlyFile: {
                ASSERT_TRUE(QFile::setPermissions(saved, QFileDevice::ReadOwner));
                const TNoPermissionOverride user;
                result = m.BtnAlbumSpeichernClick();
                break;
            }
            case MissingFolder:
                w.SaveName = QStringLiteral("/proc/lumiseite-test/album.zpb");
                result = m.mnuDateiSpeichernUnterClick();
                break;
            case LongName:
                w.SaveName = folder + QLatin1Char('/') + QString(300, QLatin1Char('x')) + QStringLiteral(".zpb");
                result = m.mnuDateiSpeichernUnterClick();
                break;
            }
        }
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QFile::setPermissions(saved, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        Localizer().SetLanguage(0);

        EXPECT_FALSE(result);
        EXPECT_TRUE(w.Messages.isEmpty()) << "an information box";
        ASSERT_EQ(errors.size(), 1);
        const QStringList lines = errors[0].split(QLatin1Char('\n'));
        ASSERT_EQ(lines.size(), 3) << errors[0].toStdString();
        const char* const heading[] = {"Das Album konnte nicht gespeichert werden:", "The album could not be saved:",
                                       "Impossible d'enregistrer l'album :", nullptr, "No se pudo guardar el álbum:"};
        EXPECT_EQ(lines[0], QString::fromUtf8(heading[c.Language]));
        EXPECT_EQ(lines[2], QString::fromUtf8(c.Cause));
        EXPECT_EQ(FileBytes(saved), before);
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("album.zpb")});
        EXPECT_EQ(w.Doc().FileName, saved);
        EXPECT_TRUE(w.Doc().Modified);
        EXPECT_TRUE(GetUndoManager().CanUndo());
        GetUndoManager().Clear();
    }
}

TEST(Master, DamagedProjectLeavesTheDocument)
{
    Window w;
    TMaster& m = *w.M;
    SetupPhotobook46(&w.Doc(), 8);
    w.Doc().Dokumentname = "Alt";
    w.Doc().Modified = true;
    // A project whose records are overwritten in the middle.
    const QString bad = w.Path("kaputt.zpb");
    {
        TFBDocument other;
        SetupPhotobook85Tradition(&other, 24);
        TMemoryStream stream;
        {
            TMemoryDataFile file(stream);
            other.SaveToDataFile(file);
        }
        QFile f(bad);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QByteArray bytes(reinterpret_cast<const char*>(stream.Memory()), int(stream.Size()));
        bytes.replace(bytes.size() / 2, 4096, QByteArray(4096, '\xff'));
        f.write(bytes);
    }
    EXPECT_THROW(m.OpenDocument(bad), std::exception);
    EXPECT_THROW(m.OpenDocument(w.Path("fehlt.zpb")), std::exception);
    EXPECT_FALSE(QFile::exists(w.Path("fehlt.zpb")));
    {
        QFile f(w.Path("text.zpb"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("Dies ist kein Album, sondern eine Textdatei.");
    }
    EXPECT_THROW(m.OpenDocument(w.Path("text.zpb")), Exception);
    // From the menu the error is shown.
    QStringList errors;
    {
        const ShownMessages shown([&](const QString& Text) { errors.append(Text); });
        w.OpenName = w.Path("text.zpb");
        m.mnuDateiOeffnen->trigger();
    }
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith(QStringLiteral("Die Datei ist keine Projektdatei:"))) << errors[0].toStdString();
    EXPECT_EQ(w.Doc().Pages.Count(), 8);
    EXPECT_EQ(w.Doc().Dokumentname, "Alt");
    EXPECT_TRUE(w.Doc().FileName.isEmpty());
    EXPECT_TRUE(w.Doc().Modified);
    EXPECT_EQ(m.windowTitle(), QStringLiteral("Unbenannt") + Product);
}

// A project cut short opens with what it holds, says that it is damaged and
// incomplete, and keeps no name, so that saving asks for a new one and the
// rest of the original stays as it is.
TEST(Master, CutProjectOpensWithWhatItHoldsUnderNoName)
{
    Window w;
    TMaster& m = *w.M;
    const QString cut = w.Path("abgeschnitten.zpb");
    QByteArray whole;
    {
        TFBDocument other;
        SetupPhotobook85Tradition(&other, 24);
        other.Dokumentname = "Urlaub";
        TMemoryStream stream;
        {
            TMemoryDataFile file(stream);
            other.SaveToDataFile(file);
        }
        whole = QByteArray(reinterpret_cast<const char*>(stream.Memory()), int(stream.Size()));
    }
    const struct {
        qsizetype Size;
        bool Incomplete;
    } cases[] = {{whole.size() / 2 + 5, true}, {whole.size() - 1, true}, {whole.size(), false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Size);
        {
            QFile f(cut);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(whole.left(c.Size));
        }
        w.Messages.clear();
        m.OpenDocument(cut);
        EXPECT_EQ(w.Doc().Dokumentname, "Urlaub");
        EXPECT_GT(w.Doc().Pages.Count(), 1);
        EXPECT_FALSE(w.Doc().Modified);
        if (!c.Incomplete) {
            EXPECT_TRUE(w.Messages.isEmpty());
            EXPECT_EQ(w.Doc().FileName, cut);
            continue;
        }
        EXPECT_LE(w.Doc().Pages.Count(), 24);
        ASSERT_EQ(w.Messages.size(), 1);
        EXPECT_TRUE(w.Messages[0].startsWith(QStringLiteral("Die Datei ist besch\u00e4digt und unvollst\u00e4ndig.")))
            << w.Messages[0].toStdString();
        EXPECT_TRUE(w.Messages[0].endsWith(cut));
        EXPECT_TRUE(w.Doc().FileName.isEmpty());
        EXPECT_EQ(m.windowTitle(), QStringLiteral("Unbenannt") + Product);
        // Saving asks for a name; given up, the damaged file is left alone.
        const int dialogs = w.SaveDialogs;
        w.SaveName.clear();
        EXPECT_FALSE(m.BtnAlbumSpeichernClick());
        EXPECT_EQ(w.SaveDialogs, dialogs + 1);
        EXPECT_EQ(FileBytes(cut), whole.left(c.Size));
    }
}

// Closing asks only for a modified album; Yes saves first, and a save
// given up in its dialog keeps the window open.
TEST(Master, CloseAsksToSave)
{
    struct Case {
        int Answer;
        const char* SaveName;
        bool Closes;
        bool Saved;
    };
    const Case cases[] = {{QMessageBox::Cancel, "a.zpb", false, false},
                          {QMessageBox::No, "a.zpb", true, false},
                          {QMessageBox::Yes, "a.zpb", true, true},
                          {QMessageBox::Yes, "", false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Answer << " " << c.SaveName);
        Window w;
        w.Answer = c.Answer;
        w.SaveName = *c.SaveName ? w.Path(c.SaveName) : QString();
        EXPECT_TRUE(w.Close());  // unmodified: no question
        EXPECT_TRUE(w.Asked.isEmpty());
        w.Doc().Modified = true;
        EXPECT_EQ(w.Close(), c.Closes);
        ASSERT_EQ(w.Asked.size(), 1);
        EXPECT_EQ(w.Asked[0], QStringLiteral("Das aktuelle Album ist noch nicht gespeichert.\r\n"
                                             "Soll es jetzt gespeichert werden?"));
        EXPECT_EQ(QFile::exists(w.Path("a.zpb")), c.Saved);
        EXPECT_EQ(w.Doc().Modified, !c.Saved);
    }
}

TEST(Master, NewAlbumRunsTheWizard)
{
    Window w;
    TMaster& m = *w.M;
    w.SaveName = w.Path("alt.zpb");
    ASSERT_TRUE(m.BtnAlbumSpeichernClick());
    w.RecordUndo();
    m.MainView()->SetScreen(3);
    w.Wizard = BuildPhotoBook;
    m.BtnAlbumNeuClick();
    EXPECT_EQ(w.WizardRuns, 1);
    EXPECT_EQ(w.Doc().Pages.Count(), 24);
    EXPECT_TRUE(w.Doc().FileName.isEmpty());  // a new album never writes over the old file
    EXPECT_EQ(m.windowTitle(), QStringLiteral("Unbenannt") + Product);
    EXPECT_EQ(m.MainView()->ScreenIndex(), 0);
    EXPECT_EQ(m.panTitel->text(), fromAnsi(w.Doc().Dokumentname));
    EXPECT_FALSE(w.Doc().Modified);
    EXPECT_FALSE(GetUndoManager().CanUndo());

    // Cancelled: the document stays.
    w.Wizard = nullptr;
    m.BtnAlbumNeuClick();
    EXPECT_EQ(w.WizardRuns, 2);
    EXPECT_EQ(w.Doc().Pages.Count(), 24);

    // "Projekt öffnen..." goes on to the open dialog.
    w.Wizard = [](TDateiNeuDlg& D) { D.BtnDateiOeffnenClick(); };
    w.OpenName = w.Path("alt.zpb");
    m.BtnAlbumNeuClick();
    EXPECT_EQ(w.OpenDialogs, 1);
    EXPECT_EQ(w.Doc().FileName, w.Path("alt.zpb"));
    EXPECT_EQ(w.Doc().Pages.Count(), 32);
}

// A new project (built by the wizard, or after closing the album) frees every
// picture of the old one, decoded or not, and hands the heap's free memory
// back to the system as printing does.
TEST(Master, NewProjectFreesThePicturesAndHandsTheirMemoryBack)
{
    Window w;
    TMaster& m = *w.M;
    const QString file = w.Path("bild.png");
    ASSERT_TRUE(QImage(300, 200, QImage::Format_RGB32).save(file));
    auto fill = [&] {
        TFBPage* page = w.Doc().Pages.GetPage(0);
        auto frame = std::make_unique<TFBPictureElement>(page);
        frame->CenterX = frame->CenterY = frame->Width = frame->Height = 50;
        frame->LoadPictureFromFile(file);
        ASSERT_NE(frame->GetBitmap(), nullptr);
        page->Pictures.Add(std::move(frame));
        w.Doc().Modified = false;
    };
    const struct {
        const char* Step;
        std::function<void()> Run;
    } steps[] = {
        {"close", [&] { m.BtnSchliessenClick(); }},
        {"new", [&] {
             w.Wizard = BuildPhotoBook;
             m.BtnAlbumNeuClick();
             w.Wizard = nullptr;
         }},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.Step);
        fill();
        ASSERT_EQ(BildManager().Count(), 1);
        const uint64_t released = FreeMemoryReleases();
        step.Run();
        EXPECT_EQ(BildManager().Count(), 0);
        EXPECT_GT(FreeMemoryReleases(), released);
    }
}

namespace {

// Runs During on the UI thread while a job is served as a picture load is
// (RunServingEvents); the job ends once During has run. False when During
// did not run within a minute.
bool WhileALoadRuns(const std::function<void()>& During)
{
    std::atomic<bool> done{false};
    QTimer::singleShot(0, [&] {
        During();
        done = true;
    });
    RunServingEvents([&] {
        const QDeadlineTimer limit(60000);
        while (!done && !limit.hasExpired())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    return done;
}

// The answers a drag source gets for a drag from another program that
// enters At of Target, rests there and is dropped: the window system plug-in
// sends these events to the top-level window, as no user input.
struct TDropAnswers {
    Qt::DropAction Move = Qt::IgnoreAction;
    Qt::DropAction Drop = Qt::IgnoreAction;
};

TDropAnswers DropFromAnotherProgram(QWidget& Target, QPoint At, const QMimeData& Mime)
{
    QWindow* window = Target.window()->windowHandle();
    const QPoint p = Target.mapTo(Target.window(), At);
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(p, actions, &Mime, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    QDragMoveEvent move(p, actions, &Mime, Qt::NoButton, Qt::NoModifier);
    if (enter.isAccepted() && enter.dropAction() != Qt::IgnoreAction) {
        move.setDropAction(enter.dropAction());
        move.accept();
    }
    QCoreApplication::sendEvent(window, &move);
    QDropEvent drop(QPointF(p), actions, &Mime, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &drop);
    return {move.isAccepted() ? move.dropAction() : Qt::IgnoreAction,
            drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction};
}

}  // namespace

// While a picture loads with the window served, closing the window is refused.
TEST(Master, WindowStaysOpenWhileAPictureLoads)
{
    Window w;
    bool closed = true;
    ASSERT_TRUE(WhileALoadRuns([&] { closed = w.Close(); }));
    EXPECT_FALSE(closed);
    EXPECT_TRUE(w.Close());
}

// While a picture loads, a drop from another program onto any drop target of
// the window is refused: the source learns that nothing was dropped, and no
// picture, text or file lands. Once the load has ended the same drop is taken,
// except by the picture lists, whose icons take no drops of item data at all
// (the data would name entries of the list by address).
TEST(Master, EveryDropTargetRefusesDropsWhileAPictureLoads)
{
    QTemporaryDir files;
    const QString pictures = files.filePath("Bilder"), clipart = files.filePath("Clipart");
    for (const QString& dir : {pictures + "/Ziel", clipart + "/Ziel", files.filePath("Quelle")})
        ASSERT_TRUE(QDir().mkpath(dir));
    TQwRegIniFile::Instance().WriteWideString("", "BaseDir", pictures);
    TQwRegIniFile::Instance().WriteWideString("", "ClipartBaseDir", clipart);
    auto picture = [&](const char* Name) {
        const QString file = files.filePath(QStringLiteral("Quelle/") + Name);
        EXPECT_TRUE(pvtest::Photo(60, 40)->save(file));
        return file;
    };
    auto fileList = [](const QString& File) {
        auto mime = std::make_unique<QMimeData>();
        mime->setData("QwFileList", File.toUtf8() + "\r\n");
        return mime;
    };
    auto urls = [](const QString& File) {
        auto mime = std::make_unique<QMimeData>();
        mime->setUrls({QUrl::fromLocalFile(File)});
        return mime;
    };
    auto text = [](const char* Text) {
        auto mime = std::make_unique<QMimeData>();
        mime->setText(QString::fromUtf8(Text));
        return mime;
    };
    // An item of another program's list whose data would be taken for an
    // entry's address.
    QListWidget foreign;
    auto* foreignItem = new QListWidgetItem("Fremd", &foreign);
    foreignItem->setData(Qt::UserRole, QVariant::fromValue(quintptr(0x1234)));
    const std::unique_ptr<QMimeData> itemData(foreign.model()->mimeData({foreign.model()->index(0, 0)}));
    auto item = [&] {
        auto mime = std::make_unique<QMimeData>();
        for (const QString& format : itemData->formats())
            mime->setData(format, itemData->data(format));
        return mime;
    };

    // The size box's drop sets the size of new text: put back for the tests after.
    struct TKeepSize {
        int Size = DefaultWerte().Font->Size();
        ~TKeepSize() { DefaultWerte().Font->SetSize(Size); }
    } keepSize;
    Window w;
    TMaster& m = *w.M;
    m.resize(1200, 800);
    m.show();
    QApplication::processEvents();
    TFBMainView& view = *m.MainView();
    TFBPage* page = w.Doc().Pages.GetPage(1);
    auto* viewFrame = static_cast<TFBPictureElement*>(page->Pictures.GetItem(0));
    auto* overviewFrame = static_cast<TFBPictureElement*>(w.Doc().Pages.GetPage(2)->Pictures.GetItem(0));
    ASSERT_FALSE(viewFrame->HasPicture());
    ASSERT_FALSE(overviewFrame->HasPicture());
    TFBElement* textElement = pvtest::AddText(page, 50, 50, 40, 20);
    TRtRichText& editor = *m.SFormDlgRTFText->rtf;
    QLineEdit& sizeBox = *m.SFormDlgRTFText->findChild<QComboBox*>("SizeCombo")->lineEdit();
    QString size;

    using TPlace = std::pair<QWidget*, QPoint>;
    // The text panel, shown for a focused text element.
    auto textPanel = [&](QWidget* Target) {
        view.SetFocusedElement(textElement);
        QApplication::processEvents();
        return TPlace(Target, Target->rect().center());
    };
    // The centre of a folder's node in a folder tree on its tab.
    auto folderNode = [&](QWidget* Tab, TShellTreeViewEx* Tree, const QString& Path) {
        m.PageControlLeft->setCurrentWidget(Tab);
        QApplication::processEvents();
        QTreeWidgetItem* node = Tree->FindNodeByPath(Path);
        if (!node)
            return TPlace(Tree->viewport(), QPoint(-1, -1));
        Tree->scrollToItem(node);
        return TPlace(Tree->viewport(), Tree->visualItemRect(node).center());
    };
    // The middle of a list on its tab.
    int items = 0;
    auto list = [&](QWidget* Tab, TQwListview* List) {
        m.PageControlLeft->setCurrentWidget(Tab);
        QApplication::processEvents();
        items = List->count();
        return TPlace(List->viewport(), List->viewport()->rect().center());
    };
    auto listGrew = [&](TQwListview* List) { return [&items, List] { return List->count() != items; }; };

    struct Target {
        const char* Name;
        // Shows the target: the widget and the point to drop on.
        std::function<TPlace()> Show;
        std::unique_ptr<QMimeData> Mime;
        // Whether the drop landed.
        std::function<bool()> Taken;
        bool TakesDrops = true;
    };
    const QString forTree = picture("baum.png"), forClipart = picture("stern.png");
    Target targets[] = {
        {"page view",
         [&] {
             view.SetScreen(page->GetScreenIndex());
             return TPlace(&view, pvtest::PagePixel(view, w.Doc(), page, viewFrame->CenterX, viewFrame->CenterY));
         },
         fileList(picture("seite.png")), [&] { return viewFrame->HasPicture(); }},
        {"page overview",
         [&] {
             view.SetFocusedElement(nullptr);
             m.pagecontrolBottom->setCurrentWidget(m.tsSeiten);
             QApplication::processEvents();
             // Amid the overview's pixels that show the frame.
             const int screen = overviewFrame->Page->GetScreenIndex();
             const QRect cell = m.SFormSeiten->CellRect(screen, TSFormSeiten::cpPicture);
             QRect on;
             for (int y = cell.top(); y <= cell.bottom(); ++y)
                 for (int x = cell.left(); x <= cell.right(); ++x)
                     if (m.SFormSeiten->FrameAt(x, y) == overviewFrame)
                         on |= QRect(x, y, 1, 1);
             return TPlace(m.SFormSeiten->pb, on.center());
         },
         fileList(picture("uebersicht.png")), [&] { return overviewFrame->HasPicture(); }},
        {"text panel's editor", [&] { return textPanel(editor.viewport()); }, text("Fremdtext"),
         [&] { return editor.GetTextAsString().find("Fremdtext") != std::string::npos; }},
        {"text panel's size box",
         [&] {
             const TPlace place = textPanel(&sizeBox);
             size = sizeBox.text();
             return place;
         },
         text("7"),
         [&] { return sizeBox.text() != size; }},
        {"picture folder tree", [&] { return folderNode(m.tsBilder, m.ShellTreeBilder, pictures + "/Ziel"); },
         urls(forTree), [&] { return QFile::exists(pictures + "/Ziel/baum.png") || !QFile::exists(forTree); }},
        {"clip-art folder tree", [&] { return folderNode(m.tsClipart, m.ShellTreeClipart, clipart + "/Ziel"); },
         urls(forClipart),
         [&] { return QFile::exists(clipart + "/Ziel/stern.png") || !QFile::exists(forClipart); }},
        {"picture list", [&] { return list(m.tsBilder, m.ThumbnailsBilder); }, item(), listGrew(m.ThumbnailsBilder),
         false},
        {"clip-art list", [&] { return list(m.tsClipart, m.ThumbnailsClipart); }, item(),
         listGrew(m.ThumbnailsClipart), false},
        {"layout list", [&] { return list(m.tsLayouts, m.PageTemplateList); }, item(), listGrew(m.PageTemplateList),
         false},
        {"colour list", [&] { return list(m.tsFarben, m.ColorList); }, item(), listGrew(m.ColorList), false},
    };

    // No other widget of the window takes drops: each that does is a target
    // above or holds one.
    std::set<const QWidget*> holders;
    for (const Target& t : targets)
        for (const QWidget* p = t.Show().first; p; p = p->parentWidget())
            holders.insert(p);
    for (const QWidget* x : m.findChildren<QWidget*>())
        EXPECT_TRUE(!x->acceptDrops() || holders.count(x))
            << x->metaObject()->className() << " " << x->objectName().toStdString();

    for (Target& t : targets) {
        SCOPED_TRACE(t.Name);
        const TPlace place = t.Show();
        QWidget* widget = place.first;
        const QPoint at = place.second;
        const QWidget* under = m.childAt(widget->mapTo(&m, at));
        ASSERT_TRUE(under == widget || widget->isAncestorOf(under));
        const int undo = GetUndoManager().Count();
        TDropAnswers during;
        ASSERT_TRUE(WhileALoadRuns([&] { during = DropFromAnotherProgram(*widget, at, *t.Mime); }));
        EXPECT_EQ(during.Move, Qt::IgnoreAction);
        EXPECT_EQ(during.Drop, Qt::IgnoreAction);
        EXPECT_FALSE(t.Taken());
        EXPECT_EQ(GetUndoManager().Count(), undo);

        const TDropAnswers after = DropFromAnotherProgram(*widget, at, *t.Mime);
        EXPECT_EQ(after.Drop != Qt::IgnoreAction, t.TakesDrops);
        EXPECT_EQ(t.Taken(), t.TakesDrops);
    }
}

TEST(Master, YesWithTheSaveGivenUpCancelsNewAndOpen)
{
    Window w;
    TMaster& m = *w.M;
    w.Doc().Modified = true;
    w.Answer = QMessageBox::Yes;
    m.BtnAlbumNeuClick();
    m.BtnAlbumOeffnenClick();
    EXPECT_EQ(w.Asked.size(), 2);
    EXPECT_EQ(w.SaveDialogs, 2);
    EXPECT_EQ(w.WizardRuns, 0);
    EXPECT_EQ(w.OpenDialogs, 0);
    EXPECT_TRUE(w.Doc().Modified);
    // No goes on without saving.
    w.Answer = QMessageBox::No;
    m.BtnAlbumOeffnenClick();
    EXPECT_EQ(w.OpenDialogs, 1);
}

TEST(Master, PagesBackAndForwardStayInRange)
{
    Window w;
    TMaster& m = *w.M;
    int notices = 0;
    const auto handler = GetMulticaster().OnCurrentPageChanged;
    GetMulticaster().OnCurrentPageChanged = [&](TMulticaster* M, TObject* S, int I) {
        // The page overview answers each new page with a notice of its own.
        if (S != m.SFormSeiten)
            ++notices;
        handler(M, S, I);
    };
    m.BtnSeiteZurueckClick();
    EXPECT_EQ(m.MainView()->ScreenIndex(), 0);
    m.BtnSeiteVorClick();
    EXPECT_EQ(m.MainView()->ScreenIndex(), 1);
    EXPECT_EQ(m.lblSeitenzahl->text(), fromAnsi(w.Doc().GetScreenCaption(1)));
    const int last = w.Doc().GetScreenCount() - 1;
    GetMulticaster().FireCurrentPageChanged(nullptr, last);
    m.BtnSeiteVorClick();
    EXPECT_EQ(m.MainView()->ScreenIndex(), last);
    EXPECT_EQ(notices, 4);
    EXPECT_TRUE(m.StatusBar1->currentMessage().isEmpty());
    GetMulticaster().OnCurrentPageChanged = handler;
}

TEST(Master, ChangesAndUndoMarkTheAlbumModified)
{
    Window w;
    TMaster& m = *w.M;
    // A content notice from any view or panel.
    GetMulticaster().PageContentChanged(nullptr, w.Doc().Pages.GetPage(0));
    EXPECT_TRUE(w.Doc().Modified);
    w.Doc().Modified = false;
    GetMulticaster().FirePageListChanged(nullptr);
    EXPECT_TRUE(w.Doc().Modified);
    w.Doc().Modified = false;
    // Picture shadows from the tool bar.
    const bool shadows = w.Doc().PicturesHaveShadows;
    m.BtnBilderschattenClick();
    EXPECT_NE(w.Doc().PicturesHaveShadows, shadows);
    EXPECT_EQ(m.BtnBilderschatten->isChecked(), w.Doc().PicturesHaveShadows);
    EXPECT_TRUE(w.Doc().Modified);
    // Undo of an inserted screen.
    w.Doc().Modified = false;
    const int pages = w.Doc().Pages.Count();
    GetUndoManager().AddSeiteEinfuegen(2);
    w.Doc().InsertScreen(2, 2);
    m.AppIdle();
    EXPECT_TRUE(m.BtnRueckgaengig->isEnabled());
    m.mnuRueckgaengigClick();
    EXPECT_EQ(w.Doc().Pages.Count(), pages);
    EXPECT_TRUE(w.Doc().Modified);
    m.AppIdle();
    EXPECT_FALSE(m.BtnRueckgaengig->isEnabled());
    m.mnuRueckgaengigClick();  // empty stack: only a beep
    EXPECT_EQ(w.Doc().Pages.Count(), pages);
}

TEST(Master, UndoRenewsThePageOverview)
{
    Window w;
    TMaster& m = *w.M;
    TSFormSeiten& overview = *m.SFormSeiten;
    // Content notices reaching the overview, counted on their way.
    TMulticaster& mc = GetMulticaster();
    int notices = 0;
    const auto forward = mc.OnContentChanged;
    mc.OnContentChanged = [&](TMulticaster* M, TObject* S, TFBPage* P, TFBElement* E) {
        ++notices;
        forward(M, S, P, E);
    };
    const int cells = overview.pb->width() / overview.CellWidth;
    GetUndoManager().AddSeiteEinfuegen(1);
    w.Doc().InsertScreen(1, 2);
    overview.Refresh();
    ASSERT_EQ(overview.pb->width() / overview.CellWidth, cells + 1);

    m.mnuRueckgaengigClick();
    EXPECT_EQ(overview.pb->width() / overview.CellWidth, cells);
    EXPECT_GT(notices, 0);

    // An undone change of a page's content is announced too.
    notices = 0;
    TFBPage* page = w.Doc().Pages.GetPage(0);
    GetUndoManager().AddSeitenhintergrund(page);
    page->PageColor = 0x123456;
    m.mnuRueckgaengigClick();
    EXPECT_NE(page->PageColor, 0x123456);
    EXPECT_GT(notices, 0);
    mc.OnContentChanged = forward;
}

TEST(Master, LanguageSwitchIsStored)
{
    Window w;
    TMaster& m = *w.M;
    emit m.mnuSprache->aboutToShow();
    EXPECT_TRUE(m.mnuSpracheDeutsch->isVisible());
    EXPECT_TRUE(m.mnuSpracheEnglisch->isVisible());
    EXPECT_TRUE(m.mnuSpracheFranzoesisch->isVisible());
    EXPECT_TRUE(m.mnuSpracheSpanisch->isVisible());
    EXPECT_TRUE(m.mnuSpracheHollaendisch->isVisible());
    EXPECT_FALSE(m.mnuSpracheItalienisch->isVisible());  // not offered
    EXPECT_TRUE(m.mnuSpracheDeutsch->isChecked());

    m.mnuSpracheEnglisch->trigger();
    EXPECT_EQ(Localizer().LanguageIndex(), 1);
    EXPECT_EQ(TQwRegIniFile::Instance().ReadInteger("", "Sprache", -1), 1);
    EXPECT_TRUE(m.mnuSpracheEnglisch->isChecked());
    EXPECT_EQ(m.mnuDatei->title(), QStringLiteral("&File"));
    EXPECT_EQ(m.BtnAlbumNeu->text(), QStringLiteral("New"));
    EXPECT_EQ(m.tsSeiten->objectName(), QStringLiteral("tsSeiten"));
    EXPECT_EQ(m.pagecontrolBottom->tabText(m.pagecontrolBottom->indexOf(m.tsSeiten)), QStringLiteral("Pages"));
    EXPECT_EQ(m.windowTitle(), QStringLiteral("Untitled") + Product);

    m.mnuSpracheDeutsch->trigger();
    EXPECT_EQ(Localizer().LanguageIndex(), 0);
    EXPECT_EQ(TQwRegIniFile::Instance().ReadInteger("", "Sprache", -1), 0);
    EXPECT_EQ(m.mnuDatei->title(), QStringLiteral("&Datei"));
    EXPECT_EQ(m.BtnAlbumNeu->text(), QStringLiteral("Neu"));
    EXPECT_EQ(m.windowTitle(), QStringLiteral("Unbenannt") + Product);
}

// Every language with a file (Italian too, whose menu entry is hidden) names
// the message-box buttons and the page in its own words, and its file has
// every text of the German one.
TEST(Master, EveryLanguageFileIsComplete)
{
    Window w;
    TMaster& m = *w.M;
    auto keysOf = [] {
        QStringList sections, keys, result;
        Localizer().LanguageIni().ReadSections(sections);
        for (const QString& s : sections) {
            Localizer().LanguageIni().ReadSection(s, keys);
            for (const QString& k : keys)
                result.append(s + QLatin1Char('/') + k);
        }
        return result;
    };
    m.mnuSpracheDeutsch->trigger();
    const QStringList german = keysOf();
    ASSERT_TRUE(german.contains(QStringLiteral("Default/IDS_mbYes")));

    struct Case {
        QAction* Entry;
        const char *Yes, *Cancel, *Page, *Warning;
    };
    const Case cases[] = {
        {m.mnuSpracheDeutsch, "&Ja", "Abbrechen", "Seite 1", "Warnung"},
        {m.mnuSpracheEnglisch, "&Yes", "Cancel", "Page 1", "Warning"},
        {m.mnuSpracheFranzoesisch, "&Oui", "Annuler", "Page 1", "Avertissement"},
        {m.mnuSpracheItalienisch, "&Sì", "Annulla", "Pagina 1", "Avviso"},
        {m.mnuSpracheSpanisch, "&Sí", "Cancelar", "Página 1", "Advertencia"},
        {m.mnuSpracheHollaendisch, "&Ja", "Annuleren", "Pagina 1", "Waarschuwing"},
    };
    m.show();
    // The Italian file is present though not offered: open the mask to reach it.
    Localizer().SetSupportedLanguages(0x21F);
    for (const Case& c : cases) {
        c.Entry->trigger();
        SCOPED_TRACE(Localizer().LanguageIndex());
        ASSERT_EQ(Localizer().LanguageIndex(), c.Entry->data().toInt());
        QApplication::processEvents();
        // The left panel's tabs all fit beside each other.
        EXPECT_LE(m.PageControlLeft->tabBar()->sizeHint().width(), m.PageControlLeft->width());
        EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), QString::fromUtf8(c.Yes));
        EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString::fromUtf8(c.Cancel));
        EXPECT_EQ(QCoreApplication::translate("MsgDlg", "Warning"), QString::fromUtf8(c.Warning));
        EXPECT_EQ(m.lblSeitenzahl->text(), QString::fromUtf8(c.Page));
        const QStringList keys = keysOf();
        for (const QString& k : german)
            EXPECT_TRUE(keys.contains(k)) << k.toStdString();
    }
    m.mnuSpracheDeutsch->trigger();
    Localizer().SetSupportedLanguages(0x217);
}

// A user whose locale the program does not offer and who never chose a
// language gets the German buttons and key names with the German texts.
TEST(Master, UnofferedLocaleKeepsGermanThrough)
{
    QLocale::setDefault(QLocale::c());
    TQwRegIniFile::Instance().WriteString("", "Sprache", "");  // no language stored
    {
        Window w;
        EXPECT_EQ(Localizer().LanguageIndex(), 0);
        EXPECT_EQ(w.M->BtnAlbumNeu->text(), QStringLiteral("Neu"));
        EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Ja"));
        EXPECT_EQ(QKeySequence(Qt::CTRL | Qt::Key_N).toString(QKeySequence::NativeText), QStringLiteral("Strg+N"));
    }
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

// Qt's own dialogs (file and print) follow the chosen language where the
// system carries Qt's translations.
TEST(Master, FrameworkDialogsFollowTheLanguage)
{
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!QFile::exists(dir + QStringLiteral("/qtbase_fr.qm")) || !QFile::exists(dir + QStringLiteral("/qtbase_de.qm")))
        GTEST_SKIP() << "Qt's translations are not installed";
    Window w;
    const auto lookIn = [] { return QCoreApplication::translate("QFileDialog", "Look in:"); };
    w.M->mnuSpracheEnglisch->trigger();
    EXPECT_EQ(lookIn(), QStringLiteral("Look in:"));
    w.M->mnuSpracheDeutsch->trigger();
    const QString german = lookIn();
    EXPECT_NE(german, QStringLiteral("Look in:"));
    w.M->mnuSpracheFranzoesisch->trigger();
    EXPECT_NE(lookIn(), QStringLiteral("Look in:"));
    EXPECT_NE(lookIn(), german);
    // The language file's own button texts still come first.
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Oui"));
    w.M->mnuSpracheDeutsch->trigger();
}

TEST(Master, WindowPositionPersists)
{
    {
        Window w;
        w.M->setGeometry(40, 50, 720, 520);
    }
    EXPECT_EQ(TQwRegIniFile::Instance().ReadInteger("Master", "Width", 0), 720);
    Window w;
    EXPECT_EQ(w.M->size(), QSize(720, 520));
}

TEST(Master, PageHeaderLayoutAndZoom)
{
    Window w;
    TMaster& m = *w.M;
    m.show();
    m.resize(760, 540);
    QApplication::processEvents();
    const int width = m.panMainviewTop->width();
    ASSERT_EQ(m.panMainviewTop->height(), 30);
    EXPECT_EQ(m.tbMainViewZoom->geometry(), QRect(width - 5 - 100, (30 - 20) / 2 - 1, 100, 20));
    EXPECT_EQ(m.imgZoom->x() + m.imgZoom->width(), m.tbMainViewZoom->x() - 3);
    EXPECT_EQ(m.BtnSeiteZurueck->x(), width / 2 - 97);
    EXPECT_EQ(m.lblSeitenzahl->x(), m.BtnSeiteZurueck->x() + m.BtnSeiteZurueck->width());
    EXPECT_EQ(m.BtnSeiteVor->x(), m.lblSeitenzahl->x() + m.lblSeitenzahl->width());

    m.tbMainViewZoom->setValue(250);
    EXPECT_FLOAT_EQ(m.MainView()->Zoom(), 2.5f);
    m.MainView()->SetZoom(3.456f);
    EXPECT_EQ(m.tbMainViewZoom->value(), 346);
    EXPECT_FLOAT_EQ(m.MainView()->Zoom(), 3.456f);  // the bar follows without zooming again
}

// Printing to a PDF file: the file is suggested under the project's name, and
// a folder that cannot take it is reported in the user's language; the
// program prints on afterwards.
TEST(Master, PdfFileNamedAfterTheProjectAndUnwritableFolderReported)
{
    Window w;
    auto* frame = static_cast<TFBPictureElement*>(w.Doc().Pages.GetPage(0)->Pictures.GetItem(0));
    frame->FillWithColor(0x0000FF);
    TPrinter& p = Printer();
    p.SetPrinterIndex(int(p.Printers().indexOf(QString::fromLatin1(PdfPrinterName))));
    p.OutputFileName.clear();
    ShowModalHook = [](QDialog&) { return int(QDialog::Accepted); };
    PrintProgressHook = [](const QString&) {};
    QStringList suggested;
    QString target;
    p.AskPdfFileName = [&](const QString& Suggested) {
        suggested << QFileInfo(Suggested).fileName();
        return target;
    };
    struct TRestore {
        ~TRestore()
        {
            Printer().AskPdfFileName = nullptr;
            PrintProgressHook = nullptr;
            Localizer().SetLanguage(0);
        }
    } restore;

    // Unsaved: the localized untitled name; a name given up prints nothing.
    EXPECT_THROW(w.M->BtnAlbumDruckenClick(), EAbort);
    Localizer().SetLanguage(1);
    EXPECT_THROW(w.M->BtnAlbumDruckenClick(), EAbort);
    Localizer().SetLanguage(0);
    w.SaveName = w.Path("projekt1.zpb");
    ASSERT_TRUE(w.M->BtnAlbumSpeichernClick());
    EXPECT_THROW(w.M->BtnAlbumDruckenClick(), EAbort);
    EXPECT_EQ(suggested.join('|').toStdString(), "Unbenannt.pdf|Untitled.pdf|projekt1.pdf");

    // A folder that cannot be written: here a plain file stands where the folder should be.
    QFile blocker(w.Path("kein-ordner"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    target = w.Path("kein-ordner/projekt1.pdf");
    const QString shown = QDir::toNativeSeparators(target);
    const std::pair<int, QString> expected[] = {
        {0, "Die PDF-Datei \"" + shown + "\" kann in diesem Ordner nicht geschrieben werden."},
        {1, "The PDF file \"" + shown + "\" cannot be written in this folder."}};
    for (const auto& [language, text] : expected) {
        Localizer().SetLanguage(language);
        try {
            w.M->BtnAlbumDruckenClick();
            ADD_FAILURE() << "no error in language " << language;
        } catch (const Exception& e) {
            EXPECT_EQ(e.text().toStdString(), text.toStdString());
        }
        EXPECT_FALSE(p.Printing());
    }
    Localizer().SetLanguage(0);
    // The next job in a folder that can take it is printed.
    target = w.Path("projekt1.pdf");
    w.M->BtnAlbumDruckenClick();
    EXPECT_TRUE(QFileInfo(target).size() > 0);
    EXPECT_EQ(QDir(w.Dir.path()).entryList({"*.part"}, QDir::Files), QStringList());
}

// The product's name above the page follows the language, also for a project
// made in another language and for names joined from several texts.
TEST(Master, ProductTitleFollowsTheLanguage)
{
    Window w;
    TMaster& m = *w.M;
    struct TGerman {
        ~TGerman() { Localizer().SetLanguage(0); }
    } german;
    w.Wizard = [](TDateiNeuDlg& D) { D.Build(61); };  // A4 calendar
    m.BtnAlbumNeuClick();
    EXPECT_EQ(m.panTitel->text(), QStringLiteral("Kalender"));
    Localizer().SetLanguage(1);
    EXPECT_EQ(m.panTitel->text(), QStringLiteral("Calendar"));
    Localizer().SetLanguage(2);
    EXPECT_EQ(m.panTitel->text(), QStringLiteral("Calendrier"));
    // Saved in French, reopened in English.
    w.SaveName = w.Path("kalender.zpb");
    ASSERT_TRUE(m.BtnAlbumSpeichernClick());
    Localizer().SetLanguage(1);
    m.OpenDocument(w.SaveName);
    EXPECT_EQ(m.panTitel->text(), QStringLiteral("Calendar"));

    // A name the wizard joins from two texts; a name of the user's own stays.
    w.Wizard = [](TDateiNeuDlg& D) { D.Build(44); };
    m.BtnAlbumNeuClick();
    const QString book = fromAnsi(w.Doc().Dokumentname).section(QStringLiteral(" \u2013 "), 0, 0);
    EXPECT_EQ(m.panTitel->text(), book + QStringLiteral(" \u2013 Full size"));
    Localizer().SetLanguage(0);
    EXPECT_EQ(m.panTitel->text(), book + QStringLiteral(" \u2013 Fullsize"));
    w.Doc().Dokumentname = "Urlaub - Sommer";
    Localizer().SetLanguage(1);
    EXPECT_EQ(m.panTitel->text(), QStringLiteral("Urlaub - Sommer"));
}
