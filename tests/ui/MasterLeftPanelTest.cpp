#include "../common/Latin1Folder.h"
#include "DragDrop.h"
#include "DropSource.h"
#include "FMainform.h"
#include "PageViewFixture.h"
#include "uFotobuchMainview.h"
#include "Classes.h"
#include "SsShellItem.h"
#include "SsNamespace.h"
#include "SsShellController.h"
#include "ulocalize.h"
#include "uFotobuchDocument.h"
#include "uFotobuchPresets.h"
#include "uLeftPanelLists.h"
#include "uQwRegistry.h"
#include "uShellTreeViewEx.h"
#include "uThumbnailListview.h"
#include "uFotobuchBildManager.h"
#include "FBPictureElement.h"
#include "RegistryStore.h"
#include "SFormSeiten.h"
#include "SysUtils.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QContextMenuEvent>
#include <QMenu>
#include <QDir>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QImage>
#include <QMimeData>
#include <QMessageBox>
#include <QClipboard>
#include <QUrl>
#include <QMouseEvent>
#include <QTimer>
#include <QStandardPaths>
#include <QScrollArea>
#include <QTabWidget>
#include <QTemporaryDir>
#include <memory>

#include <cstdio>
#include <sys/stat.h>

namespace {

std::unique_ptr<TMaster> NewMaster()
{
    return std::unique_ptr<TMaster>(TLocalizerForm::create<TMaster>(nullptr));
}

bool IsInside(const QWidget* W, const QWidget* Sheet)
{
    for (const QWidget* p = W; p; p = p->parentWidget())
        if (p == Sheet)
            return true;
    return false;
}

// Presses on the item of List at Row and moves out of the drag box after
// the drag delay.
void DragItem(TMaster& M, TQwListview* List, int Row)
{
    QWidget* view = List->viewport();
    const QPoint p = List->visualItemRect(List->item(Row)).center();
    const QPoint far = p + QPoint(QApplication::startDragDistance() + 5, 0);
    QTimer::singleShot(DragStartDelay + 30, view, [view, far] {
        QCoreApplication::postEvent(view, new QMouseEvent(QEvent::MouseMove, QPointF(far), QPointF(view->mapToGlobal(far)),
                                                          Qt::NoButton, Qt::LeftButton, Qt::NoModifier));
    });
    M.LeftListMouseDown(List, p);
}

// Writes a one-coloured picture under the system's bytes of Path.
bool WritePictureAt(const QByteArray& Path, QColor Colour)
{
    QImage img(40, 30, QImage::Format_RGB32);
    img.fill(Colour);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!img.save(&buffer, "PNG"))
        return false;
    FILE* f = std::fopen(Path.constData(), "wb");
    if (!f)
        return false;
    const bool written = std::fwrite(png.constData(), 1, size_t(png.size()), f) == size_t(png.size());
    return std::fclose(f) == 0 && written;
}

// Waits until the tree has selected its start folder and reported it, so
// that the list shows what a test puts in it afterwards.
void SettleTree(TShellTreeViewEx* Tree)
{
    QElapsedTimer clock;
    clock.start();
    while ((!Tree->InitialSelectionDone() || clock.elapsed() < Tree->ChangeDelay + 200) && clock.elapsed() < 15000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Shows the pictures of Folder in the picture list.
void ThumbnailsOf(TMaster& M, const QString& Folder)
{
    PSsIdList list = SsPathToIdList(Folder);
    M.ThumbnailsBilder->ShowFolder(list.get());
}

// A drop of Mime at P of the page view, as the system gives it: enter, move, drop.
bool DropOnView(TFBMainView& View, const QMimeData& Mime, QPoint P)
{
    const Qt::DropActions actions = Qt::CopyAction;
    QDragEnterEvent enter(P, actions, &Mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&View, &enter);
    QDragMoveEvent move(P, actions, &Mime, Qt::LeftButton, Qt::NoModifier);
    move.ignore();
    QCoreApplication::sendEvent(&View, &move);
    if (!move.isAccepted())
        return false;
    QDropEvent drop(QPointF(P), actions, &Mime, Qt::NoButton, Qt::NoModifier);
    drop.ignore();
    QCoreApplication::sendEvent(&View, &drop);
    return drop.isAccepted();
}

// The colour in the middle of a frame's picture, null when it has none.
QColor PictureColour(const TFBPictureElement* Frame)
{
    const QImage* bmp = Frame ? Frame->GetBitmap() : nullptr;
    return bmp ? bmp->pixelColor(bmp->width() / 2, bmp->height() / 2) : QColor();
}

}  // namespace

TEST(Master, LeftPanelHostsThePictureBrowserAndTheLists)
{
    QTemporaryDir pictures, other;
    QImage img(40, 30, QImage::Format_RGB32);
    img.fill(Qt::red);
    ASSERT_TRUE(img.save(pictures.path() + "/a.png"));
    ASSERT_TRUE(img.save(pictures.path() + "/b.jpg"));
    TQwRegIniFile::Instance().WriteWideString("", "BaseDir", pictures.path());

    auto m = NewMaster();
    ASSERT_EQ(m->ThumbnailsBilder->PicList().Count(), 2);
    TPicData* first = m->ThumbnailsBilder->PicList().Items(0);
    m->show();
    QApplication::processEvents();  // the tree's first paint keeps the folder
    EXPECT_EQ(m->ThumbnailsBilder->PicList().Items(0), first);  // not listed anew
    EXPECT_TRUE(IsInside(m->ShellTreeBilder, m->tsBilder));
    EXPECT_TRUE(IsInside(m->ThumbnailsBilder, m->tsBilder));
    EXPECT_TRUE(IsInside(m->PageTemplateList, m->tsLayouts));
    EXPECT_TRUE(IsInside(m->ColorList, m->tsFarben));
    EXPECT_EQ(m->ShellTreeBilder->ChangeDelay, 500);

    // The picture tree starts in the stored folder and its pictures are listed at once.
    EXPECT_EQ(QDir(m->ShellTreeBilder->SelectedPath()).canonicalPath(), QDir(pictures.path()).canonicalPath());
    ASSERT_EQ(m->ThumbnailsBilder->count(), 2);
    if (m->ThumbnailsBilder->Thread())
        m->ThumbnailsBilder->Thread()->wait();
    EXPECT_TRUE(m->ThumbnailsBilder->PicList().Items(0)->Thumbnail());

    TFBColorList colours;
    FillColorList(colours);
    EXPECT_EQ(m->ColorList->count(), int(colours.size()));

    // The layouts follow the document; without any the tab is hidden.
    TFBPageTemplateList templates;
    FillPageTemplateList(templates, m->Document()->Layouttypen, m->Document()->LayoutStil);
    EXPECT_EQ(m->PageTemplateList->count(), int(templates.size()));
    m->Document()->Layouttypen = 0;
    m->RefreshPageTemplates();
    EXPECT_EQ(m->PageTemplateList->count(), 0);
    EXPECT_FALSE(m->PageControlLeft->isTabVisible(m->PageControlLeft->indexOf(m->tsLayouts)));

    // Another folder chosen in the tree is shown after the tree's delay, and
    // it is stored for the next start.
    ASSERT_TRUE(img.save(other.path() + "/x.png"));
    PSsIdList list = SsPathToIdList(other.path());
    m->ShellTreeBilder->SelectPidl(list.get());
    QElapsedTimer clock;
    clock.start();
    while (m->ThumbnailsBilder->count() != 1 && clock.elapsed() < 15000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_EQ(m->ThumbnailsBilder->count(), 1);
    EXPECT_GE(clock.elapsed(), 400);
    EXPECT_EQ(m->ThumbnailsBilder->PicList().Items(0)->ShellItem->DisplayName, "x.png");
    m.reset();
    EXPECT_EQ(QDir(TQwRegIniFile::Instance().ReadWideString("", "BaseDir", "")).canonicalPath(),
              QDir(other.path()).canonicalPath());
}

// The picture tree's context menu, the name of a new folder and the menu's
// messages follow the program's language.
TEST(Master, FolderMenuFollowsTheLanguage)
{
    QTemporaryDir pictures;
    TQwRegIniFile::Instance().WriteWideString("", "BaseDir", pictures.path());
    auto m = NewMaster();
    m->show();
    QApplication::processEvents();
    QStringList texts;
    QString choose;
    SsTrackPopupMenuHook = [&](QMenu& menu, const QPoint&) {
        texts.clear();
        int chosen = 0;
        for (QAction* a : menu.actions())
            if (!a->isSeparator()) {
                texts << a->text();
                if (a->text() == choose)
                    chosen = a->data().toInt();
            }
        return chosen;
    };
    const auto menu = [&](const QString& entry) {
        choose = entry;
        QWidget* view = m->ShellTreeBilder->viewport();
        QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(5, 5), view->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(view, &e);
    };
    struct Case {
        int Language;
        QStringList Menu;
        const char* NewFolder;
    };
    const Case cases[] = {
        {0,
         {"Ö&ffnen", "&Ausschneiden", "&Kopieren", "&Einfügen", "Neuer &Ordner", "&Löschen", "&Umbenennen",
          "E&igenschaften"},
         "Neuer Ordner"},
        {1, {"&Open", "Cu&t", "&Copy", "&Paste", "New &Folder", "&Delete", "Rena&me", "P&roperties"}, "New Folder"},
    };
    for (const Case& c : cases) {
        Localizer().SetLanguage(c.Language);
        SCOPED_TRACE(c.Language);
        menu(QString());
        EXPECT_EQ(texts, c.Menu);
        menu(c.Menu[4]);
        const QString made = pictures.path() + '/' + QString::fromUtf8(c.NewFolder);
        EXPECT_TRUE(QFileInfo(made).isDir());
        // The tree shows the new folder, selected; back to the pictures.
        TShellTreeViewEx* tree = m->ShellTreeBilder;
        ASSERT_NE(tree->currentItem(), nullptr);
        EXPECT_EQ(tree->FolderOf(tree->currentItem())->Path, made);
        tree->setCurrentItem(tree->FindNodeByPath(pictures.path()));
    }
    // A message of the menu in German.
    Localizer().SetLanguage(0);
    QApplication::clipboard()->clear();
    auto data = std::make_unique<QMimeData>();
    data->setUrls({QUrl::fromLocalFile(pictures.path())});
    QApplication::clipboard()->setMimeData(data.release());
    menu("&Einfügen");
    auto* box = m->ShellTreeBilder->findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), "Fehler");
    EXPECT_TRUE(box->text().startsWith("Ein Ordner kann nicht in sich selbst")) << box->text().toStdString();
    delete box;
    SsTrackPopupMenuHook = nullptr;
}

// A folder of the picture tree that is gone when it is chosen loses its node
// and is reported in the program's language, under the error title.
TEST(Master, VanishedFolderIsReportedInTheLanguage)
{
    QTemporaryDir pictures;
    TQwRegIniFile::Instance().WriteWideString("", "BaseDir", pictures.path());
    auto m = NewMaster();
    m->show();
    QApplication::processEvents();
    TShellTreeViewEx* tree = m->ShellTreeBilder;
    QTreeWidgetItem* base = tree->FindNodeByPath(pictures.path());
    ASSERT_NE(base, nullptr);
    // Italian too, which the program leaves out of its menu.
    struct TAllLanguages {
        uint16_t Kept = Localizer().SupportedLanguages();
        TAllLanguages() { Localizer().SetSupportedLanguages(TLocalizer::DefaultSupportedLanguages); }
        ~TAllLanguages()
        {
            Localizer().SetLanguage(0);
            Localizer().SetSupportedLanguages(Kept);
        }
    } all;
    struct Case {
        int Language;
        const char* Title;
        const char* Text;
    };
    const Case cases[] = {{1, "Error", "Invalid folder"},       {2, "Erreur", "Dossier non valide"},
                          {3, "Errore", "Cartella non valida"}, {4, "Error", "Carpeta no válida"},
                          {9, "Fout", "Ongeldige map"},         {0, "Fehler", "Ungültiger Ordner"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Language);
        Localizer().SetLanguage(c.Language);
        const QString gone = pictures.path() + "/weg";
        ASSERT_TRUE(QDir().mkpath(gone));
        tree->Notification()->SetActive(true);
        tree->RefreshNode(base);
        QTreeWidgetItem* node = tree->FindNodeByPath(gone);
        ASSERT_NE(node, nullptr);
        tree->Notification()->SetActive(false);  // it goes unnoticed
        ASSERT_TRUE(QDir().rmdir(gone));
        tree->setCurrentItem(node);
        QElapsedTimer clock;
        clock.start();
        while (!tree->findChild<QMessageBox*>() && clock.elapsed() < 15000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        auto* box = tree->findChild<QMessageBox*>();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), QString::fromUtf8(c.Title));
        EXPECT_TRUE(box->text().startsWith(QString::fromUtf8(c.Text))) << box->text().toStdString();
        delete box;
        EXPECT_EQ(tree->FindNodeByPath(gone), nullptr);
    }
    // The folder error raised elsewhere speaks German too.
    try {
        RaiseSsError<ESsInvalidFolder>(SsscInvalidFolder);
    } catch (const ESsInvalidFolder& e) {
        EXPECT_EQ(e.text(), QString::fromUtf8("Ungültiger Ordner"));
        EXPECT_EQ(e.ErrorCode, 240);
    }
}

// The folder whose pictures are shown, renamed by another program (to a
// name that is no UTF-8): the pictures are shown from its new place.
TEST(Master, PictureListFollowsItsFolderRenamedElsewhere)
{
    QTemporaryDir pictures;
    const QByteArray base = QFile::encodeName(pictures.path());
    ASSERT_TRUE(QDir().mkpath(pictures.path() + "/Urlaub"));
    ASSERT_TRUE(QImage(30, 20, QImage::Format_RGB32).save(pictures.path() + "/Urlaub/a.png"));
    TQwRegIniFile::Instance().WriteWideString("", "BaseDir", pictures.path() + "/Urlaub");
    QElapsedTimer clock;
    clock.start();
    auto m = NewMaster();
    m->show();
    // The start folder's selection is reported once the tree has been drawn
    // and the selection's delay has run out: only then is the folder renamed,
    // so that no report of the selection shows the folder at its new place.
    const int delay = m->ShellTreeBilder->ChangeDelay;
    while ((!m->ShellTreeBilder->InitialSelectionDone() || clock.elapsed() < delay + 200) && clock.elapsed() < 15000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    TThumbnailListview* list = m->ThumbnailsBilder;
    ASSERT_EQ(SsIdListToNativePath(list->Enumerator().RootPidl()), base + "/Urlaub");
    const QByteArray renamed = base + "/Gr\xfc\xdf" "e";
    ASSERT_EQ(::rename((base + "/Urlaub").constData(), renamed.constData()), 0);
    struct Cleanup {
        QByteArray path;
        ~Cleanup() { SsRemoveEntry(path); }
    } cleanup{renamed};
    clock.restart();
    while (SsIdListToNativePath(list->Enumerator().RootPidl()) != renamed && clock.elapsed() < 15000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(SsIdListToNativePath(list->Enumerator().RootPidl()), renamed);
    ASSERT_EQ(list->PicList().Count(), 1);
    EXPECT_EQ(list->PicList().Items(0)->ShellItem->NativePath(), renamed + "/a.png");
}

TEST(Master, StoredPictureFolderThatIsGoneFallsBackToDocuments)
{
    const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    ASSERT_TRUE(QDir().mkpath(docs));
    TQwRegIniFile::Instance().WriteWideString("", "BaseDir", "/no/such/folder/anywhere");
    auto m = NewMaster();
    m->show();
    QApplication::processEvents();
    EXPECT_EQ(QDir(m->ShellTreeBilder->SelectedPath()).canonicalPath(), QDir(docs).canonicalPath());
}

TEST(Master, DragsFromTheLeftPanelCarryTheirFormats)
{
    QTemporaryDir pictures;
    const QString names[] = {"a.png", QString::fromUtf8("b-\xC3\x9C" "ber.png"), "c.png"};
    QImage img(20, 20, QImage::Format_RGB32);
    img.fill(Qt::green);
    for (const QString& n : names)
        ASSERT_TRUE(img.save(pictures.path() + "/" + n, "PNG"));
    TQwRegIniFile::Instance().WriteWideString("", "BaseDir", pictures.path());
    auto m = NewMaster();
    m->show();
    QApplication::processEvents();
    TThumbnailListview* thumbs = m->ThumbnailsBilder;
    ASSERT_EQ(thumbs->count(), 3);

    // Pictures: the selected files, UTF-8, one per line; after a copy drop
    // only the first of them stays selected.
    int drags = 0;
    QByteArray files;
    m->dropsrcPicFiles->ExecDrag = [&](QDrag& Drag, Qt::DropActions) {
        ++drags;
        files = Drag.mimeData()->data("QwFileList");
        EXPECT_FALSE(Drag.mimeData()->hasUrls());
        return Qt::CopyAction;
    };
    thumbs->item(1)->setSelected(true);
    thumbs->item(2)->setSelected(true);
    DragItem(*m, thumbs, 2);
    EXPECT_EQ(drags, 1);
    EXPECT_EQ(QString::fromUtf8(files),
              pictures.path() + "/" + names[1] + "\r\n" + pictures.path() + "/" + names[2] + "\r\n");
    EXPECT_TRUE(thumbs->item(1)->isSelected());
    EXPECT_FALSE(thumbs->item(2)->isSelected());

    // Colours and templates: the entry under the mouse, streamed.
    QByteArray colour, layout;
    m->dropsrcColor->ExecDrag = [&](QDrag& Drag, Qt::DropActions) {
        colour = Drag.mimeData()->data("QwColor");
        return Qt::CopyAction;
    };
    m->dropsrcPageTemplate->ExecDrag = [&](QDrag& Drag, Qt::DropActions) {
        layout = Drag.mimeData()->data("QwPageTemplate");
        return Qt::CopyAction;
    };
    m->PageControlLeft->setCurrentWidget(m->tsFarben);
    QApplication::processEvents();
    DragItem(*m, m->ColorList, 3);
    TMemoryStream cs;
    cs.Write(colour.constData(), colour.size());
    cs.SetPosition(0);
    TFBColor dropped;
    dropped.LoadFromStream(cs);
    EXPECT_EQ(dropped.Name, m->ColorList->Colors[3]->Name);
    EXPECT_EQ(dropped.Color, m->ColorList->Colors[3]->Color);

    m->PageControlLeft->setCurrentWidget(m->tsLayouts);
    QApplication::processEvents();
    ASSERT_GE(m->PageTemplateList->count(), 2);
    DragItem(*m, m->PageTemplateList, 1);
    TMemoryStream ts;
    ts.Write(layout.constData(), layout.size());
    ts.SetPosition(0);
    TFBPageTemplate droppedLayout;
    droppedLayout.LoadFromStream(ts);
    EXPECT_EQ(droppedLayout.Name, m->PageTemplateList->Templates[1]->Name);
    EXPECT_EQ(droppedLayout.Frames.Count(), m->PageTemplateList->Templates[1]->Frames.Count());

    // Released inside the drag box: no drag.
    QWidget* view = thumbs->viewport();
    const QPoint p = thumbs->visualItemRect(thumbs->item(0)).center();
    QTimer::singleShot(20, view, [view, p] {
        QCoreApplication::postEvent(view, new QMouseEvent(QEvent::MouseButtonRelease, QPointF(p), QPointF(view->mapToGlobal(p)),
                                                          Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    });
    m->PageControlLeft->setCurrentWidget(m->tsBilder);
    m->LeftListMouseDown(thumbs, p);
    EXPECT_EQ(drags, 1);
}

// The clip-art tab: its own folder tree and thumbnails, starting in the
// stored clip-art folder when the tab is first shown; a clip-art drag lands on
// the page view as a clip-art element, and the folder is stored again on exit.
TEST(Master, ClipartTabDragsClipartOntoThePage)
{
    QTemporaryDir clipart, other;
    QImage img(30, 30, QImage::Format_ARGB32);
    img.fill(QColor(200, 40, 40, 180));
    ASSERT_TRUE(img.save(clipart.path() + "/herz.png"));
    ASSERT_TRUE(img.save(clipart.path() + "/stern.png"));
    TQwRegIniFile::Instance().WriteWideString("", "ClipartBaseDir", clipart.path());

    auto m = NewMaster();
    m->show();
    QApplication::processEvents();
    EXPECT_TRUE(m->PageControlLeft->isTabVisible(m->PageControlLeft->indexOf(m->tsClipart)));
    EXPECT_TRUE(IsInside(m->ShellTreeClipart, m->tsClipart));
    EXPECT_TRUE(IsInside(m->ThumbnailsClipart, m->tsClipart));
    EXPECT_EQ(m->ShellTreeClipart->ChangeDelay, 500);
    EXPECT_EQ(m->ShellTreeClipart->topLevelItemCount(), 0) << "the tab was not shown yet";
    EXPECT_EQ(m->ThumbnailsClipart->count(), 0);
    m->PageControlLeft->setCurrentWidget(m->tsClipart);
    QApplication::processEvents();
    EXPECT_EQ(QDir(m->ShellTreeClipart->SelectedPath()).canonicalPath(), QDir(clipart.path()).canonicalPath());
    ASSERT_EQ(m->ThumbnailsClipart->count(), 2);

    // The drag carries the selected files as "QwClipart"; the page view takes it.
    TFBMainView* view = m->MainView();
    TFBDocument* doc = m->Document();
    TFBPage* page = doc->GetLeftPage(view->ScreenIndex()) ? doc->GetLeftPage(view->ScreenIndex())
                                                           : doc->GetRightPage(view->ScreenIndex());
    ASSERT_NE(page, nullptr);
    const int before = page->Elements.Count();
    QByteArray dragged;
    bool dropped = false;
    m->dropsrcClipart->ExecDrag = [&](QDrag& Drag, Qt::DropActions Actions) {
        dragged = Drag.mimeData()->data("QwClipart");
        const QPoint at = pvtest::PagePixel(*view, *doc, page, doc->PageWidth / 2, doc->PageHeight / 2);
        QDragEnterEvent enter(at, Actions, Drag.mimeData(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &enter);
        QDragMoveEvent move(at, Actions, Drag.mimeData(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &move);
        QDropEvent drop(QPointF(at), Actions, Drag.mimeData(), Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &drop);
        dropped = drop.isAccepted();
        return Qt::CopyAction;
    };
    m->PageControlLeft->setCurrentWidget(m->tsClipart);
    QApplication::processEvents();
    m->ThumbnailsClipart->item(1)->setSelected(true);
    DragItem(*m, m->ThumbnailsClipart, 1);
    EXPECT_EQ(QString::fromUtf8(dragged), clipart.path() + "/stern.png\r\n");
    EXPECT_TRUE(dropped);
    ASSERT_EQ(page->Elements.Count(), before + 1);
    auto* element = dynamic_cast<TFBClipartElement*>(page->Elements.GetItem(before));
    ASSERT_NE(element, nullptr);
    EXPECT_NEAR(element->CenterX, doc->PageWidth / 2, 1.0);
    EXPECT_EQ(view->FocusedElement(), element);

    // Another folder chosen in the clip-art tree is stored on exit.
    ASSERT_TRUE(img.save(other.path() + "/mond.png"));
    PSsIdList list = SsPathToIdList(other.path());
    m->ShellTreeClipart->SelectPidl(list.get());
    m.reset();
    EXPECT_EQ(QDir(TQwRegIniFile::Instance().ReadWideString("", "ClipartBaseDir", "")).canonicalPath(),
              QDir(other.path()).canonicalPath());
}

// Pictures in a folder whose name is no UTF-8 (Latin-1 bytes from an old
// memory card) reach the page like any other: dragged from the picture list
// or the clip-art list, dropped from another program as a URI list, and kept
// with their names by a project saved and reopened.
TEST(Master, PicturesFromAFolderNamedInLatin1ReachThePage)
{
    const TLatin1Folder latin1;
    ASSERT_TRUE(latin1.Made);
    const QByteArray& folder = latin1.Path;
    const QByteArray green = folder + "/gr\xfcn.png", red = folder + "/rot.png";
    ASSERT_TRUE(WritePictureAt(green, Qt::green));
    ASSERT_TRUE(WritePictureAt(red, Qt::red));
    auto m = NewMaster();
    m->SaveDialogHook = [&] { return latin1.Dir.filePath("album.zpb"); };
    m->show();
    QApplication::processEvents();
    TFBMainView* view = m->MainView();
    TFBDocument* doc = m->Document();
    TFBPage* page = doc->GetLeftPage(view->ScreenIndex()) ? doc->GetLeftPage(view->ScreenIndex())
                                                           : doc->GetRightPage(view->ScreenIndex());
    ASSERT_NE(page, nullptr);
    const int pageIndex = doc->Pages.IndexOf(page);
    TFBPictureElement* first = pvtest::AddFrame(page, doc->PageWidth / 4, doc->PageHeight / 4, 30, 30);
    TFBPictureElement* second = pvtest::AddFrame(page, doc->PageWidth * 3 / 4, doc->PageHeight * 3 / 4, 30, 30);
    view->update();
    QApplication::processEvents();
    auto pixelOf = [&](const TFBPictureElement* Frame) {
        return pvtest::PagePixel(*view, *doc, page, Frame->CenterX, Frame->CenterY);
    };

    // From the picture list, with the data it hands out.
    SettleTree(m->ShellTreeBilder);
    TThumbnailListview* thumbs = m->ThumbnailsBilder;
    thumbs->ShowFolder(SsNativePathToIdList(folder).get());
    ASSERT_EQ(thumbs->count(), 2);
    ASSERT_EQ(thumbs->PicList().Items(0)->ShellItem->NativePath(), green);
    bool dropped = false;
    int drags = 0;
    m->dropsrcPicFiles->ExecDrag = [&](QDrag& Drag, Qt::DropActions) {
        ++drags;
        dropped = DropOnView(*view, *Drag.mimeData(), pixelOf(first));
        return Qt::CopyAction;
    };
    thumbs->item(0)->setSelected(true);
    DragItem(*m, thumbs, 0);
    EXPECT_EQ(drags, 1);
    EXPECT_TRUE(dropped);
    EXPECT_EQ(PictureColour(first), QColor(Qt::green));
    const TBildManagerListItem* item = BildManager().FindItem(first->RefIndex);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(EncodeFileName(item->FileName), green);

    // From another program: a URI list, its bytes percent-encoded.
    QMimeData uris;
    uris.setData("text/uri-list", "file://" + red.toPercentEncoding("/") + "\r\n");
    EXPECT_TRUE(DropOnView(*view, uris, pixelOf(second)));
    EXPECT_EQ(PictureColour(second), QColor(Qt::red));

    // From the clip-art list: a clip-art element with the picture.
    m->PageControlLeft->setCurrentWidget(m->tsClipart);
    SettleTree(m->ShellTreeClipart);
    m->ThumbnailsClipart->ShowFolder(SsNativePathToIdList(folder).get());
    ASSERT_EQ(m->ThumbnailsClipart->count(), 2);
    const int elements = page->Elements.Count();
    m->dropsrcClipart->ExecDrag = [&](QDrag& Drag, Qt::DropActions) {
        dropped = DropOnView(*view, *Drag.mimeData(),
                             pvtest::PagePixel(*view, *doc, page, doc->PageWidth / 2, doc->PageHeight / 2));
        return Qt::CopyAction;
    };
    m->ThumbnailsClipart->item(1)->setSelected(true);
    DragItem(*m, m->ThumbnailsClipart, 1);
    ASSERT_EQ(page->Elements.Count(), elements + 1);
    auto* clipart = dynamic_cast<TFBClipartElement*>(page->Elements.GetItem(elements));
    ASSERT_NE(clipart, nullptr);
    const TBildManagerListItem* clipartItem = BildManager().FindItem(clipart->RefIndex);
    ASSERT_NE(clipartItem, nullptr);
    EXPECT_EQ(EncodeFileName(clipartItem->FileName), red);
    EXPECT_GT(clipartItem->PicWidth, 0);

    // Saved and reopened: the pictures and their names come back.
    ASSERT_TRUE(m->BtnAlbumSpeichernClick());
    m->OpenDocument(latin1.Dir.filePath("album.zpb"));
    doc = m->Document();
    TFBPage* reopened = doc->Pages.GetPage(pageIndex);
    ASSERT_NE(reopened, nullptr);
    std::vector<QByteArray> names;
    std::vector<QColor> colours;
    for (int i = 0; i < reopened->Pictures.Count(); ++i) {
        auto* frame = dynamic_cast<TFBPictureElement*>(reopened->Pictures.GetItem(i));
        if (!frame || !frame->HasPicture())
            continue;
        colours.push_back(PictureColour(frame));
        names.push_back(EncodeFileName(BildManager().FindItem(frame->RefIndex)->FileName));
    }
    EXPECT_EQ(colours, (std::vector<QColor>{QColor(Qt::green), QColor(Qt::red)}));
    EXPECT_EQ(names, (std::vector<QByteArray>{green, red}));
}

// The picture folder chosen last, named in Latin-1, is the start folder at
// the next start too, read again from the settings file.
TEST(Master, StartFolderNamedInLatin1ComesBack)
{
    const TLatin1Folder latin1;
    ASSERT_TRUE(latin1.Made);
    const QByteArray& folder = latin1.Path;
    ASSERT_TRUE(WritePictureAt(folder + "/a.png", Qt::green));
    const QString settings = TRegistryStore::DefaultFileName();
    {
        auto m = NewMaster();
        m->show();
        QApplication::processEvents();
        PSsIdList list = SsNativePathToIdList(folder);
        ASSERT_TRUE(m->ShellTreeBilder->SelectPidl(list.get()));
    }
    // What the next start reads is the file, not what this process holds:
    // the file is changed behind the settings' back, so it is read again.
    QFile file(settings);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite | QIODevice::Append));
    file.write("\n");
    file.close();
    auto m = NewMaster();
    m->show();
    QApplication::processEvents();
    EXPECT_EQ(m->ShellTreeBilder->SelectedFolder() ? m->ShellTreeBilder->SelectedFolder()->NativePath() : QByteArray(),
              folder);
    EXPECT_EQ(SsIdListToNativePath(m->ThumbnailsBilder->Enumerator().RootPidl()), folder);
    EXPECT_EQ(m->ThumbnailsBilder->count(), 1);
    // A folder named in UTF-8 is stored as text, as before.
    PSsIdList docs = SsPathToIdList(latin1.Dir.path());
    ASSERT_TRUE(m->ShellTreeBilder->SelectPidl(docs.get()));
    m.reset();
    EXPECT_EQ(TQwRegIniFile::Instance().ReadWideString("", "BaseDir", ""), latin1.Dir.path());
}

// A drag that passes over the page overview on its way to the page view
// leaves no insertion marker behind: neither a picture from the list (which
// the overview takes only on a frame) nor a screen, for which the overview
// shows where it would go.
TEST(Master, DragPassingOverThePageOverviewLeavesNoMarker)
{
    QTemporaryDir dir;
    ASSERT_TRUE(WritePictureAt(QFile::encodeName(dir.path()) + "/gruen.png", Qt::green));
    auto m = NewMaster();
    m->resize(1200, 800);
    m->show();
    QApplication::processEvents();
    SettleTree(m->ShellTreeBilder);
    TFBMainView* view = m->MainView();
    TFBDocument* doc = m->Document();
    TFBPage* page = doc->GetLeftPage(view->ScreenIndex()) ? doc->GetLeftPage(view->ScreenIndex())
                                                           : doc->GetRightPage(view->ScreenIndex());
    ASSERT_NE(page, nullptr);
    TFBPictureElement* frame = pvtest::AddFrame(page, doc->PageWidth / 2, doc->PageHeight / 2, 40, 40);
    TSFormSeiten& overview = *m->SFormSeiten;
    ASSERT_GE(doc->Pages.Count(), 4);
    QWidget* over = overview.sb->viewport();
    const QPoint boundary = overview.pb->mapTo(over, QPoint(3 * overview.CellWidth, 20));
    // No column of the overview shows the marker's navy.
    auto markerShown = [&] {
        QApplication::processEvents();
        const QImage shot = overview.grab().toImage();
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                if (shot.pixelColor(x, y) == QColor(0, 0, 0x80))
                    return true;
        return false;
    };
    // Enter the overview at a boundary, move over it, leave it, drop on the frame.
    bool shownMeanwhile = false;
    auto passOver = [&](const QMimeData& Mime, int& MarkerMeanwhile) {
        const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(boundary, actions, &Mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(over, &enter);
        QDragMoveEvent move(boundary, actions, &Mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(over, &move);
        MarkerMeanwhile = overview.InsertMarker;
        shownMeanwhile = markerShown();
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(over, &leave);
        return DropOnView(*view, Mime, pvtest::PagePixel(*view, *doc, page, frame->CenterX, frame->CenterY));
    };

    ThumbnailsOf(*m, dir.path());
    int marker = 0;
    bool dropped = false;
    m->dropsrcPicFiles->ExecDrag = [&](QDrag& Drag, Qt::DropActions) {
        dropped = passOver(*Drag.mimeData(), marker);
        return dropped ? Qt::CopyAction : Qt::IgnoreAction;
    };
    m->ThumbnailsBilder->item(0)->setSelected(true);
    DragItem(*m, m->ThumbnailsBilder, 0);
    EXPECT_TRUE(dropped);
    EXPECT_EQ(PictureColour(frame), QColor(Qt::green));
    EXPECT_EQ(marker, -3);
    EXPECT_FALSE(shownMeanwhile);
    EXPECT_EQ(overview.InsertMarker, -3);
    EXPECT_FALSE(markerShown());

    // A screen shows the marker while over the boundary; the page view
    // refuses it, and the marker is gone.
    QMimeData screen;
    screen.setData("QwView", "1");
    EXPECT_FALSE(passOver(screen, marker));
    EXPECT_EQ(marker, 3);
    EXPECT_TRUE(shownMeanwhile);
    EXPECT_EQ(overview.InsertMarker, -3);
    EXPECT_FALSE(markerShown());
}
