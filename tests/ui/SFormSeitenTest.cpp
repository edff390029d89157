#include <gtest/gtest.h>

#include "FBMainViewCommands.h"
#include "FBPictureElement.h"
#include "PageViewFixture.h"

#include "DragDropFormats.h"
#include "DropSource.h"
#include "DropTarget.h"
#include "Graphics.h"
#include "SFormSeiten.h"
#include "uFotobuchMainview.h"
#include "uFotobuchPageTemplate.h"
#include "uModalDialog.h"
#include "uMulticaster.h"
#include "uUndo.h"

#include <QAction>
#include <QDrag>
#include <QDropEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <optional>

using namespace pvtest;

namespace {

// An overview of Doc, 800 x Height pixels, shown offscreen, with its drag
// detection and notices recorded.
struct Overview {
    explicit Overview(int Height = 160)
    {
        GetUndoManager().Clear();
        form = TLocalizerForm::create<TSFormSeiten>(nullptr);
        form->resize(800, Height);
        form->show();
        QApplication::processEvents();
        form->DetectDrag = [this](QWidget*, const QPoint&) { return dragDetected; };
        form->ShowProgressText = [this](const QString& T) { progress.push_back(T); };
        GetMulticaster().OnCurrentPageChanged = [this](TMulticaster*, TObject* S, int I) {
            pageNotices.push_back({S, I});
        };
        GetMulticaster().OnContentChanged = [this](TMulticaster*, TObject* S, TFBPage* P, TFBElement* E) {
            contentNotices.push_back({S, P, E});
        };
    }
    ~Overview()
    {
        GetMulticaster().OnCurrentPageChanged = nullptr;
        GetMulticaster().OnContentChanged = nullptr;
        ShowModalHook = nullptr;
        delete form;
    }
    void SetDocument()
    {
        form->SetDocument(&doc);
        QApplication::processEvents();
    }
    // A drop of one private format at a paint-box point; the drag answer and the drop answer.
    // A drag that enters at EnterAt (else at P), moves to P and is dropped
    // there, with the system's rules: no move after a refused enter, no drop
    // after a refused move. Gives whether the move and the drop were accepted.
    std::pair<bool, bool> Drop(const char* Format, const QByteArray& Data, QPoint P,
                               Qt::KeyboardModifiers Mods = Qt::NoModifier, std::optional<QPoint> EnterAt = {})
    {
        QMimeData mime;
        mime.setData(QString::fromLatin1(Format), Data);
        QWidget* vp = form->sb->viewport();
        const QPoint at = form->pb->mapTo(vp, P);
        const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(form->pb->mapTo(vp, EnterAt.value_or(P)), actions, &mime, Qt::LeftButton, Mods);
        enter.ignore();
        QApplication::sendEvent(vp, &enter);
        if (!enter.isAccepted())
            return {false, false};
        QDragMoveEvent move(at, actions, &mime, Qt::LeftButton, Mods);
        move.ignore();
        QApplication::sendEvent(vp, &move);
        if (!move.isAccepted()) {
            QDragLeaveEvent leave;
            QApplication::sendEvent(vp, &leave);
            return {false, false};
        }
        QDropEvent drop(QPointF(at), actions, &mime, Qt::NoButton, Mods);
        drop.ignore();
        QApplication::sendEvent(vp, &drop);
        return {true, drop.isAccepted()};
    }
    // The paint-box pixel of a page millimetre point of a screen (single
    // pages or mode 2, upright screens).
    QPoint PixelOf(int Screen, float X, float Y) const
    {
        const QRect pic = form->CellRect(Screen, TSFormSeiten::cpPicture);
        float sw, sh;
        doc.GetScreenSize(sw, sh);
        const float s = (std::min(pic.width(), pic.height()) - 3) / std::max(sw, sh);
        return QPoint(int(pic.x() + pic.width() / 2.0f + (X - sw / 2) * s),
                      int(pic.y() + pic.height() / 2.0f + (Y - sh / 2) * s));
    }

    struct PageNotice {
        TObject* sender;
        int index;
    };
    struct ContentNotice {
        TObject* sender;
        TFBPage* page;
        TFBElement* element;
    };
    TFBDocument doc;
    TSFormSeiten* form;
    bool dragDetected = false;
    std::vector<QString> progress;
    std::vector<PageNotice> pageNotices;
    std::vector<ContentNotice> contentNotices;
};

// Pages in book order, to see moves.
std::vector<TFBPage*> PageOrder(const TFBDocument& Doc)
{
    std::vector<TFBPage*> pages;
    for (int i = 0; i < Doc.Pages.Count(); ++i)
        pages.push_back(Doc.Pages.GetPage(i));
    return pages;
}

}  // namespace

TEST(SFormSeiten, CellWidthFollowsTheHeightWithinLimits)
{
    for (auto [height, width] : {std::pair{118, 100}, std::pair{300, 200}, std::pair{150, 132}}) {
        Overview o(height);
        MakeDocument(o.doc, 0, 2);
        o.SetDocument();
        EXPECT_EQ(o.form->pb->height(), height);
        EXPECT_EQ(o.form->CellWidth, width) << height;
        EXPECT_EQ(o.form->pb->width(), 2 * width);
    }
}

TEST(SFormSeiten, CellPartsAndInsertPositions)
{
    Overview o(150);  // cells 132 wide, tolerance 23
    MakeDocument(o.doc, 0, 3);
    o.SetDocument();
    EXPECT_EQ(o.form->CellRect(1, TSFormSeiten::cpCell), QRect(132, 0, 132, 150));
    EXPECT_EQ(o.form->CellRect(1, TSFormSeiten::cpPicture), QRect(142, 10, 112, 110));
    EXPECT_EQ(o.form->CellRect(1, TSFormSeiten::cpCaption), QRect(142, 122, 112, 18));
    for (auto [x, boundary] : {std::pair{0, 0}, std::pair{22, 0}, std::pair{23, -3}, std::pair{110, 1},
                               std::pair{154, 1}, std::pair{155, -3}, std::pair{264, 2}, std::pair{374, 3},
                               std::pair{1000, 3}, std::pair{66, -3}})
        EXPECT_EQ(o.form->InsertPosition(x), boundary) << x;
}

TEST(SFormSeiten, WhichScreensMayMoveWhere)
{
    Overview o;
    MakeDocument(o.doc, 0, 6);
    o.SetDocument();
    EXPECT_FALSE(o.form->MoveAllowed(2, 2));
    EXPECT_FALSE(o.form->MoveAllowed(2, 3));
    EXPECT_TRUE(o.form->MoveAllowed(2, 5));
    EXPECT_TRUE(o.form->MoveAllowed(2, 0));
    EXPECT_TRUE(o.form->MoveAllowed(2, 6));
    EXPECT_FALSE(o.form->MoveAllowed(2, -3));
    EXPECT_FALSE(o.form->MoveAllowed(9, 0));

    // A book with cover: neither cover can be dragged, nothing lands outside them.
    MakeDocument(o.doc, 1, 10);
    o.SetDocument();
    const int count = o.doc.GetScreenCount();
    ASSERT_GE(count, 4);
    EXPECT_FALSE(o.form->CanDragScreen(0));
    EXPECT_FALSE(o.form->CanDragScreen(count - 1));
    EXPECT_TRUE(o.form->CanDragScreen(1));
    EXPECT_FALSE(o.form->MoveAllowed(2, 0));
    EXPECT_FALSE(o.form->MoveAllowed(1, count));
    EXPECT_TRUE(o.form->MoveAllowed(1, count - 1));

    // Calendars keep their order.
    for (uint8_t setting : {7, 8}) {
        MakeDocument(o.doc, 0, 6);
        o.doc.PrintSetting = setting;
        o.SetDocument();
        EXPECT_FALSE(o.form->CanDragScreen(2));
        EXPECT_FALSE(o.form->MoveAllowed(2, 5));
    }
}

TEST(SFormSeiten, DroppedScreenMovesBehindTheBoundaryAndUndoes)
{
    Overview o;
    MakeDocument(o.doc, 0, 6);
    o.SetDocument();
    const auto before = PageOrder(o.doc);
    const int cw = o.form->CellWidth;

    // Boundaries 2 and 3 around screen 2 are refused.
    for (int boundary : {2, 3}) {
        const auto [entered, dropped] = o.Drop("QwView", "2", QPoint(boundary * cw, 20));
        EXPECT_FALSE(dropped) << boundary;
    }
    EXPECT_EQ(PageOrder(o.doc), before);
    EXPECT_EQ(GetUndoManager().Count(), 0);

    std::vector<int> released;
    o.form->OnReleaseFocusOnPage = [&](TFBPage* P) { released.push_back(o.doc.Pages.IndexOf(P)); };
    const auto [entered, dropped] = o.Drop("QwView", "2", QPoint(5 * cw, 20));
    ASSERT_TRUE(dropped);
    // The page view let go of elements on every screen that changed its place.
    EXPECT_EQ(released, (std::vector<int>{2, 3, 4}));
    auto expected = before;
    std::rotate(expected.begin() + 2, expected.begin() + 3, expected.begin() + 5);
    EXPECT_EQ(PageOrder(o.doc), expected);
    EXPECT_EQ(o.form->CurrentScreen, 4);
    EXPECT_EQ(o.form->InsertMarker, -3);
    EXPECT_TRUE(o.doc.Modified);
    ASSERT_FALSE(o.pageNotices.empty());
    EXPECT_EQ(o.pageNotices.back().sender, o.form);
    EXPECT_EQ(o.pageNotices.back().index, 4);
    ASSERT_FALSE(o.contentNotices.empty());
    EXPECT_EQ(o.contentNotices.back().page, o.doc.Pages.GetPage(4));

    ASSERT_EQ(GetUndoManager().Count(), 1);
    GetUndoManager().Undo(o.doc);
    EXPECT_EQ(PageOrder(o.doc), before);

    // A screen number that is no screen of the document is refused.
    EXPECT_FALSE(o.Drop("QwView", "77", QPoint(0, 20)).second);
    EXPECT_FALSE(o.Drop("QwView", "x", QPoint(0, 20)).second);
    EXPECT_EQ(PageOrder(o.doc), before);
}

TEST(SFormSeiten, DraggingOverShowsTheMarkerAtTheBoundary)
{
    Overview o;
    MakeDocument(o.doc, 0, 4);
    o.SetDocument();
    QMimeData mime;
    mime.setData(QStringLiteral("QwView"), "0");
    QWidget* vp = o.form->sb->viewport();
    const QPoint at = o.form->pb->mapTo(vp, QPoint(3 * o.form->CellWidth, 5));
    QDragEnterEvent enter(at, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDragMoveEvent move(at, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &move);
    EXPECT_TRUE(move.isAccepted());
    EXPECT_EQ(o.form->InsertMarker, 3);
    QDragLeaveEvent leave;
    QApplication::sendEvent(vp, &leave);
    EXPECT_EQ(o.form->InsertMarker, -3);
}

TEST(SFormSeiten, FrameHitTestHonoursRotationAndSpreads)
{
    Overview o(300);
    MakeDocument(o.doc, 2, 4);  // spreads of two 200 x 150 pages
    o.SetDocument();
    const int screen = 1;
    TFBPage* left = o.doc.GetLeftPage(screen);
    TFBPage* right = o.doc.GetRightPage(screen);
    ASSERT_NE(left, right);
    TFBPictureElement* a = AddFrame(left, 100, 75, 100, 20);
    TFBPictureElement* b = AddFrame(right, 100, 75, 60, 60);
    a->Angle = 90;  // now 20 wide and 100 high

    EXPECT_EQ(o.form->FrameAt(o.PixelOf(screen, 100, 75).x(), o.PixelOf(screen, 100, 75).y()), a);
    const QPoint wide = o.PixelOf(screen, 140, 75);  // inside the unturned box only
    EXPECT_EQ(o.form->FrameAt(wide.x(), wide.y()), nullptr);
    const QPoint tall = o.PixelOf(screen, 100, 115);
    EXPECT_EQ(o.form->FrameAt(tall.x(), tall.y()), a);
    const QPoint onRight = o.PixelOf(screen, 300, 75);
    EXPECT_EQ(o.form->FrameAt(onRight.x(), onRight.y()), b);
    EXPECT_EQ(o.form->FrameAt(onRight.x(), 2), nullptr);
    EXPECT_EQ(o.form->FrameAt(-5, 100), nullptr);
    EXPECT_EQ(o.form->FrameAt(o.doc.GetScreenCount() * o.form->CellWidth + 5, 100), nullptr);

    EXPECT_EQ(o.form->PageAt(wide.x(), wide.y()), left);
    EXPECT_EQ(o.form->PageAt(onRight.x(), onRight.y()), right);
    EXPECT_EQ(o.form->PageAt(onRight.x(), 2), nullptr);  // above the pages
}

TEST(SFormSeiten, DroppedPictureIsCopiedOrSwappedAndForeignReferencesAreRefused)
{
    Overview o(300);
    MakeDocument(o.doc, 0, 2);
    o.SetDocument();
    TFBPictureElement* source = AddFrame(o.doc.Pages.GetPage(0), 100, 75, 80, 60);
    TFBPictureElement* target = AddFrame(o.doc.Pages.GetPage(1), 100, 75, 80, 60);
    GivePicture(source, 1);
    GivePicture(target, 2);
    const int sourceRef = source->RefIndex, targetRef = target->RefIndex;
    const QPoint onTarget = o.PixelOf(1, 100, 75);
    const QByteArray ref = QByteArray::fromStdString(PictureDragData(source));

    // Onto itself: refused.
    EXPECT_FALSE(o.Drop("QwPic", ref, o.PixelOf(0, 100, 75)).second);

    // A move swaps the pictures, undo swaps them back.
    ASSERT_TRUE(o.Drop("QwPic", ref, onTarget).second);
    EXPECT_EQ(target->RefIndex, sourceRef);
    EXPECT_EQ(source->RefIndex, targetRef);
    ASSERT_GE(o.contentNotices.size(), 2u);
    EXPECT_EQ(o.contentNotices[0].element, source);
    EXPECT_EQ(o.contentNotices[1].element, target);
    GetUndoManager().Undo(o.doc);
    EXPECT_EQ(target->RefIndex, targetRef);
    EXPECT_EQ(source->RefIndex, sourceRef);

    // With Ctrl a copy: both frames show the source picture.
    ASSERT_TRUE(o.Drop("QwPic", ref, onTarget, Qt::ControlModifier).second);
    EXPECT_EQ(target->RefIndex, sourceRef);
    EXPECT_EQ(source->RefIndex, sourceRef);

    // A number that is no frame of this document (another program's, or a
    // frame deleted since) is never followed.
    const int undoCount = GetUndoManager().Count();
    EXPECT_FALSE(o.Drop("QwPic", "12345", onTarget).second);
    EXPECT_FALSE(o.Drop("QwPic", "", onTarget).second);
    EXPECT_EQ(GetUndoManager().Count(), undoCount);
}

TEST(SFormSeiten, DroppedFilesFillFramesFromTheHitOneOn)
{
    Overview o(300);
    MakeDocument(o.doc, 0, 3);
    o.doc.DocType = 1;  // orientation stays as it is
    o.SetDocument();
    std::vector<TFBPictureElement*> frames;
    for (int p = 0; p < 3; ++p)
        for (int i = 0; i < 2; ++i)
            frames.push_back(AddFrame(o.doc.Pages.GetPage(p), 50 + 100 * i, 75, 80, 60));
    QTemporaryDir dir;
    QStringList files;
    for (int i = 0; i < 4; ++i) {
        // A name may end in a blank.
        files << dir.filePath(QStringLiteral("bild%1.png").arg(i) + (i == 3 ? QStringLiteral(" ") : QString()));
        ASSERT_TRUE(Photo(40, 30, i)->save(files.back(), "PNG"));
    }
    // The second frame of the first page.
    ASSERT_TRUE(o.Drop("QwFileList", files.join(QStringLiteral("\r\n")).toUtf8() + "\r\n", o.PixelOf(0, 150, 75)).second);
    EXPECT_FALSE(frames[0]->HasPicture());
    for (int i = 1; i <= 4; ++i) {
        ASSERT_TRUE(frames[size_t(i)]->HasPicture()) << i;
        const QImage* picture = frames[size_t(i)]->GetBitmap();
        ASSERT_NE(picture, nullptr) << i;
        EXPECT_EQ(picture->size(), QSize(40, 30)) << i;
    }
    EXPECT_FALSE(frames[5]->HasPicture());
    EXPECT_EQ(o.progress, (std::vector<QString>{"Bild 1 von 4 wird geladen", "Bild 2 von 4 wird geladen",
                                                "Bild 3 von 4 wird geladen", "Bild 4 von 4 wird geladen"}));
    EXPECT_EQ(GetUndoManager().Count(), 4);
    EXPECT_TRUE(o.doc.Modified);

    // More files than frames: loading stops at the last frame.
    o.progress.clear();
    files << files;
    o.form->LoadFilesIntoFrames(files, frames[3]);
    EXPECT_EQ(o.progress.size(), 3u);
}

TEST(SFormSeiten, SinglePictureTurnsItsPageToThePicture)
{
    Overview o(300);
    MakeDocument(o.doc, 0, 2);
    o.SetDocument();
    TFBPictureElement* frame = AddFrame(o.doc.Pages.GetPage(0), 100, 75, 80, 60);
    QTemporaryDir dir;
    const QString wide = dir.filePath(QStringLiteral("wide.png"));
    const QString tall = dir.filePath(QStringLiteral("tall.png"));
    ASSERT_TRUE(Photo(60, 30)->save(wide));
    ASSERT_TRUE(Photo(30, 60)->save(tall));

    o.form->LoadFilesIntoFrames({wide}, frame);
    EXPECT_EQ(o.doc.Pages.GetPage(0)->Orientation, 1);
    EXPECT_TRUE(o.progress.empty());  // one file shows no progress
    o.form->LoadFilesIntoFrames({tall}, frame);
    EXPECT_EQ(o.doc.Pages.GetPage(0)->Orientation, 0);

    // A second frame on the page keeps the orientation.
    AddFrame(o.doc.Pages.GetPage(0), 20, 20, 10, 10);
    o.form->LoadFilesIntoFrames({wide}, frame);
    EXPECT_EQ(o.doc.Pages.GetPage(0)->Orientation, 0);

    // On a landscape page the picture is turned, whatever the document type,
    // as when it is dropped on the page view.
    o.doc.DocType = 1;
    o.doc.Pages.GetPage(0)->SetOrientation(1);
    o.form->LoadFilesIntoFrames({wide}, frame);
    EXPECT_EQ(o.doc.Pages.GetPage(0)->Orientation, 1);
    EXPECT_EQ(frame->GetBitmap()->size(), QSize(30, 60));
}

TEST(SFormSeiten, DroppedColourAndTemplate)
{
    Overview o(300);
    MakeDocument(o.doc, 0, 2);
    o.SetDocument();
    TFBPictureElement* frame = AddFrame(o.doc.Pages.GetPage(1), 100, 75, 80, 60);
    TMemoryStream colour;
    TFBColor("Rot", 0x0000FF).SaveToStream(colour);
    const QByteArray colourBytes(reinterpret_cast<const char*>(colour.Memory()), int(colour.GetSize()));
    EXPECT_FALSE(o.Drop("QwColor", colourBytes, o.PixelOf(1, 5, 5)).second);  // no frame there
    // A drag that enters beside the frame reaches it.
    ASSERT_TRUE(o.Drop("QwColor", colourBytes, o.PixelOf(1, 100, 75), Qt::NoModifier, o.PixelOf(1, 5, 5)).second);
    ASSERT_TRUE(frame->HasPicture());
    EXPECT_EQ(frame->GetBitmap()->pixelColor(1, 1), QColor(255, 0, 0));
    EXPECT_EQ(GetUndoManager().Count(), 1);

    TFBPageTemplate layout;
    layout.TemplateWidth = 200;
    layout.TemplateHeight = 150;
    layout.AddFrame(10, 10, 50, 50);
    layout.AddFrame(100, 10, 50, 50);
    layout.AddFrame(10, 80, 50, 50);
    TMemoryStream bytes;
    layout.SaveToStream(bytes);
    TFBPage* released = nullptr;
    o.form->OnReleaseFocusOnPage = [&](TFBPage* P) { released = P; };
    ASSERT_TRUE(o.Drop("QwPageTemplate", QByteArray(reinterpret_cast<const char*>(bytes.Memory()), int(bytes.GetSize())),
                       o.PixelOf(0, 5, 5)).second);
    EXPECT_EQ(released, o.doc.Pages.GetPage(0));
    EXPECT_EQ(o.doc.Pages.GetPage(0)->Pictures.Count(), 3);
    EXPECT_EQ(GetUndoManager().Count(), 2);
    GetUndoManager().Undo(o.doc);
    EXPECT_EQ(o.doc.Pages.GetPage(0)->Pictures.Count(), 0);
}

TEST(SFormSeiten, ContextMenuInsertsAndDeletesScreens)
{
    Overview o;
    MakeDocument(o.doc, 0, 3);
    o.SetDocument();
    o.form->ClickedScreen = 1;
    o.form->UpdateMenu();
    EXPECT_EQ(o.form->mnuSeiteloeschen->text(), QString::fromUtf8("Seite löschen"));
    EXPECT_EQ(o.form->mnuSeiteVorAktuellerEinfuegen->text(), QString::fromUtf8("Seite davor einfügen"));
    EXPECT_EQ(o.form->mnuSeiteNachAktuellerEinfuegen->text(), QString::fromUtf8("Seite dahinter einfügen"));
    EXPECT_TRUE(o.form->mnuSeiteloeschen->isEnabled());

    TFBPage* second = o.doc.Pages.GetPage(1);
    o.form->mnuSeiteNachAktuellerEinfuegenClick();
    ASSERT_EQ(o.doc.Pages.Count(), 4);
    EXPECT_EQ(o.doc.Pages.GetPage(1), second);
    EXPECT_EQ(o.form->CurrentScreen, 2);
    EXPECT_EQ(o.form->pb->width(), 4 * o.form->CellWidth);
    ASSERT_FALSE(o.pageNotices.empty());
    EXPECT_EQ(o.pageNotices.back().index, 2);
    o.form->mnuSeiteVorAktuellerEinfuegenClick();
    EXPECT_EQ(o.doc.Pages.Count(), 5);
    EXPECT_EQ(o.doc.Pages.GetPage(2), second);
    EXPECT_EQ(o.form->CurrentScreen, 1);

    // The question answered No keeps the page; Yes deletes it.
    QString asked;
    int answer = QMessageBox::No;
    ShowModalHook = [&](QDialog& D) {
        asked = static_cast<QMessageBox&>(D).text();
        return answer;
    };
    o.form->ClickedScreen = 2;
    o.form->mnuSeiteloeschenClick();
    EXPECT_EQ(asked, QString::fromUtf8("Soll die Seite wirklich gelöscht werden?"));
    EXPECT_EQ(o.doc.Pages.Count(), 5);
    answer = QMessageBox::Yes;
    o.form->mnuSeiteloeschenClick();
    EXPECT_EQ(o.doc.Pages.Count(), 4);
    EXPECT_EQ(o.doc.Pages.IndexOf(second), -1);
    EXPECT_EQ(GetUndoManager().Count(), 3);
    GetUndoManager().Undo(o.doc);
    EXPECT_EQ(o.doc.Pages.Count(), 5);

    // Deleting the last screen leaves the new last one current.
    o.form->Refresh();
    o.form->ClickedScreen = 4;
    o.form->mnuSeiteloeschenClick();
    EXPECT_EQ(o.form->CurrentScreen, 3);
    EXPECT_EQ(o.pageNotices.back().index, 3);

    // Spreads: the spread captions; the covers can be neither deleted nor preceded.
    MakeDocument(o.doc, 1, 10);
    o.SetDocument();
    o.form->ClickedScreen = 0;
    o.form->UpdateMenu();
    EXPECT_EQ(o.form->mnuSeiteloeschen->text(), QString::fromUtf8("Doppelseite löschen"));
    EXPECT_EQ(o.form->mnuSeiteNachAktuellerEinfuegen->text(), QString::fromUtf8("Doppelseite dahinter einfügen"));
    EXPECT_FALSE(o.form->mnuSeiteloeschen->isEnabled());
    EXPECT_FALSE(o.form->mnuSeiteVorAktuellerEinfuegen->isEnabled());
    o.form->ClickedScreen = 1;
    o.form->UpdateMenu();
    EXPECT_TRUE(o.form->mnuSeiteloeschen->isEnabled());

    // The page view lets go of an element on the pages before they go.
    std::vector<int> released;
    o.form->OnReleaseFocusOnPage = [&](TFBPage* P) { released.push_back(o.doc.Pages.IndexOf(P)); };
    const std::vector<int> pages = {o.doc.Pages.IndexOf(o.doc.GetLeftPage(1)), o.doc.Pages.IndexOf(o.doc.GetRightPage(1))};
    o.form->mnuSeiteloeschenClick();
    EXPECT_EQ(o.doc.Pages.Count(), 8);
    std::sort(released.begin(), released.end());
    EXPECT_EQ(released, pages);
}

TEST(SFormSeiten, ClicksKeysAndCurrentScreen)
{
    Overview o;
    MakeDocument(o.doc, 0, 12);
    o.SetDocument();
    const int cw = o.form->CellWidth;
    Press(*o.form->pb, QPoint(3 * cw + 20, 30));
    Release(*o.form->pb, QPoint(3 * cw + 25, 30));
    EXPECT_EQ(o.form->CurrentScreen, 3);
    ASSERT_EQ(o.pageNotices.size(), 1u);
    EXPECT_EQ(o.pageNotices[0].sender, o.form);

    // Pressed on one cell and released on another: no change.
    Press(*o.form->pb, QPoint(5 * cw + 20, 30));
    Release(*o.form->pb, QPoint(6 * cw + 20, 30));
    EXPECT_EQ(o.form->CurrentScreen, 3);

    // A press on a movable caption without a drag is a click.
    const QRect caption = o.form->CellRect(7, TSFormSeiten::cpCaption);
    Press(*o.form->pb, caption.center());
    EXPECT_EQ(o.form->CurrentScreen, 7);

    QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    QApplication::sendEvent(o.form->sb, &right);
    EXPECT_EQ(o.form->CurrentScreen, 8);
    // The last cell is scrolled into view.
    o.form->SetCurrentScreen(11);
    QScrollBar* bar = o.form->sb->horizontalScrollBar();
    EXPECT_EQ(bar->value() + o.form->sb->viewport()->width(), 12 * cw);
    QApplication::sendEvent(o.form->sb, &right);
    EXPECT_EQ(o.form->CurrentScreen, 11);
    o.form->SetCurrentScreen(0);
    EXPECT_EQ(bar->value(), 0);
    QKeyEvent left(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier);
    QApplication::sendEvent(o.form->sb, &left);
    EXPECT_EQ(o.form->CurrentScreen, 0);

    // Clamped, and announced only when it changes.
    const size_t notices = o.pageNotices.size();
    o.form->SetCurrentScreen(40);
    EXPECT_EQ(o.form->CurrentScreen, 11);
    o.form->SetCurrentScreen(11);
    EXPECT_EQ(o.pageNotices.size(), notices + 1);
    o.form->SetCurrentScreen(-7);
    EXPECT_EQ(o.form->CurrentScreen, -1);

    // A refresh keeps the current screen while it still exists.
    o.form->SetCurrentScreen(5);
    o.form->Refresh();
    EXPECT_EQ(o.form->CurrentScreen, 5);
    o.doc.Pages.Delete(11);
    o.doc.Pages.Delete(10);
    o.form->SetCurrentScreen(9);
    o.doc.Pages.Delete(9);
    o.form->Refresh();
    EXPECT_EQ(o.form->CurrentScreen, -1);
}

TEST(SFormSeiten, DragsCarryTheScreenOrTheFrame)
{
    Overview o(300);
    MakeDocument(o.doc, 0, 4);
    o.SetDocument();
    TFBPictureElement* frame = AddFrame(o.doc.Pages.GetPage(2), 100, 75, 80, 60);
    GivePicture(frame);
    // The cursor tells what a press would drag.
    MoveTo(*o.form->pb, o.form->CellRect(1, TSFormSeiten::cpCaption).center(), Qt::NoButton);
    EXPECT_EQ(o.form->pb->cursor().shape(), Qt::SizeHorCursor);
    MoveTo(*o.form->pb, o.PixelOf(2, 100, 75), Qt::NoButton);
    EXPECT_EQ(o.form->pb->cursor().shape(), Qt::OpenHandCursor);
    MoveTo(*o.form->pb, o.PixelOf(2, 10, 10), Qt::NoButton);
    EXPECT_EQ(o.form->pb->cursor().shape(), Qt::ArrowCursor);

    o.dragDetected = true;
    QByteArray carried;
    QString format;
    int images = -1;
    auto capture = [&](QDrag& Drag, Qt::DropActions) {
        for (const QString& f : {QStringLiteral("QwView"), QStringLiteral("QwPic")})
            if (Drag.mimeData()->hasFormat(f))
                format = f, carried = Drag.mimeData()->data(f);
        images = int(o.form->ImgList.size());
        return Qt::IgnoreAction;
    };
    o.form->DropSrcView->ExecDrag = capture;
    o.form->dropsrcPics->ExecDrag = capture;

    Press(*o.form->pb, o.form->CellRect(1, TSFormSeiten::cpCaption).center());
    EXPECT_EQ(format, QStringLiteral("QwView"));
    EXPECT_EQ(carried, QByteArray("1"));
    EXPECT_EQ(o.form->CurrentScreen, -1);  // a drag is no click

    Press(*o.form->pb, o.PixelOf(2, 100, 75));
    EXPECT_EQ(format, QStringLiteral("QwPic"));
    EXPECT_EQ(PictureOfDragData(&o.doc, carried.toStdString()), frame);
    EXPECT_EQ(images, 1);
    EXPECT_TRUE(o.form->ImgList.isEmpty());
}

TEST(SFormSeiten, PaintsUsedAreaCurrentFrameAndThumbnails)
{
    Overview o(200);
    MakeDocument(o.doc, 1, 10);
    o.SetDocument();
    // Content on page 4 (a right page): screens up to it count as used.
    TFBPage* used = o.doc.Pages.GetPage(4);
    GivePicture(AddFrame(used, 100, 75, 160, 110), 3);
    GivePicture(AddFrame(o.doc.Pages.GetPage(1), 60, 50, 80, 60), 1);
    o.form->SetCurrentScreen(1);
    const QImage shot = o.form->grab().toImage();
    shot.save(QStringLiteral("/tmp/overview.png"));
    const QPoint origin = o.form->pb->mapTo(o.form, QPoint(0, 0));
    const int cw = o.form->CellWidth;
    const int l = used->GetScreenIndex() + (used->IsLeftPage() ? 0 : 1);
    EXPECT_EQ(o.form->LastUsedPage, o.doc.GetLastUsedPageIndex());
    EXPECT_EQ(shot.pixelColor(origin + QPoint(0 * cw + 2, 2)), QColor(0xF5, 0xF5, 0xF5));
    EXPECT_EQ(shot.pixelColor(origin + QPoint((l + 1) * cw + 2, 2)), QColor(Qt::white));
    // The current screen's frame.
    EXPECT_EQ(shot.pixelColor(origin + QPoint(1 * cw + 4, 100)), toQColor(clBtnShadow));
    // Something of the thumbnail in the middle of a picture part.
    EXPECT_EQ(l, 3);
    const QRect pic = o.form->CellRect(2, TSFormSeiten::cpPicture);
    const QColor onPicture = shot.pixelColor(origin + pic.center() + QPoint(pic.width() / 4, 0));
    EXPECT_NE(onPicture, QColor(Qt::white));
    EXPECT_NE(onPicture, QColor(0xF5, 0xF5, 0xF5));
}

// The used part of a book is light grey up to the red line at the end of the
// last used sheet: on the screen of that line the grey lies on the used side
// of the spine, the other side stays white, as every screen after it does;
// also after the project is saved and opened again, and on a turned screen.
TEST(SFormSeiten, UsedAreaEndsAtTheRedLineOnItsScreen)
{
    Overview o(200);
    MakeDocument(o.doc, 1, 10);
    // Pages 1 to 4 ("Seite 4" is the left page of screen 2, "Seite 4 - 5").
    for (int i = 0; i < 4; ++i)
        GivePicture(AddFrame(o.doc.Pages.GetPage(i), 100, 75, 160, 110), i);
    o.SetDocument();
    const QColor grey(0xF5, 0xF5, 0xF5), white(Qt::white), red(Qt::red);
    const int cw = o.form->CellWidth;
    auto check = [&](const char* Step) {
        SCOPED_TRACE(Step);
        const QImage shot = o.form->grab().toImage();
        const QPoint origin = o.form->pb->mapTo(o.form, QPoint(0, 0));
        auto at = [&](int Screen, int X, int Y) { return shot.pixelColor(origin + QPoint(Screen * cw + X, Y)); };
        const QRect pic = o.form->CellRect(2, TSFormSeiten::cpPicture).translated(-2 * cw, 0);
        const int n = pic.x() + pic.width() / 2;
        EXPECT_EQ(at(1, 2, 2), grey);                 // a used screen
        EXPECT_EQ(at(2, n, 2), red);                  // the end of the used sheet
        EXPECT_EQ(at(2, n / 2, 2), grey);             // "Seite 4", used
        EXPECT_EQ(at(2, (n + cw) / 2, 2), white);     // "Seite 5", not used
        EXPECT_EQ(at(3, cw / 2, 2), white);           // the screen after
    };
    check("painted");
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("projekt1.zpb"));
    {
        TDataFile f(file);
        o.doc.SaveToDataFile(f);
    }
    {
        TDataFile f(file);
        o.doc.Clear();
        o.doc.LoadFromDataFile(f);
    }
    o.form->Refresh();
    check("reopened");

    // A turned screen: the used side is the half that holds its left page.
    o.doc.SetScreenOrientation(2, 1);
    o.form->pb->update();
    const QImage shot = o.form->grab().toImage();
    const QPoint origin = o.form->pb->mapTo(o.form, QPoint(0, 0)) + QPoint(2 * cw, 0);
    const QRect pic = o.form->CellRect(2, TSFormSeiten::cpPicture).translated(-2 * cw, 0);
    const int m = pic.y() + pic.height() / 2;
    const int q = pic.height() / 4;
    // The half with the left page's picture is the used one.
    auto isPicture = [&](int Y) {
        const QColor c = shot.pixelColor(origin + QPoint(pic.center().x(), Y));
        return c != white && c != grey && c.saturation() > 40;
    };
    ASSERT_NE(isPicture(m - q), isPicture(m + q));
    const int used = isPicture(m - q) ? m - q : m + q;
    const int unused = isPicture(m - q) ? m + q : m - q;
    EXPECT_EQ(shot.pixelColor(origin + QPoint(2, used)), grey);
    EXPECT_EQ(shot.pixelColor(origin + QPoint(2, unused)), white);
    EXPECT_EQ(shot.pixelColor(origin + QPoint(cw / 4, m)), red);
}
