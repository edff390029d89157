// The page view's context menu, clipboard commands, page commands and its
// drop target, driven offscreen with synthetic drag events.
#include "Application.h"
#include "DragDropMime.h"
#include "FBildRahmen.h"
#include "FBMainViewCommands.h"
#include "FBPictureElement.h"
#include "PageViewFixture.h"
#include "uFotobuchBildManager.h"
#include "uFotobuchMainview.h"
#include "uFotobuchPageTemplate.h"
#include "uFotobuchSetup.h"
#include "uModalDialog.h"
#include "uMulticaster.h"
#include "uTransformation.h"
#include "ulocalize.h"
#include "uUndo.h"
#include "../common/ShownMessages.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QTimer>
#include <QColorDialog>
#include <QCoreApplication>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

#include <optional>
#include <cmath>

using namespace pvtest;

namespace {

struct CommandFixture {
    TFBDocument Doc;
    std::unique_ptr<TFBMainView> View;
    int PageListNotices = 0;
    std::vector<int> CurrentPageNotices;

    CommandFixture(uint8_t Mode, int Pages)
    {
        MakeDocument(Doc, Mode, Pages);
        GetUndoManager().Clear();
        QGuiApplication::clipboard()->clear();
        TMulticaster& mc = GetMulticaster();
        mc.OnPageListChanged = [this](TMulticaster*, TObject*) { ++PageListNotices; };
        mc.OnCurrentPageChanged = [this](TMulticaster*, TObject*, int I) { CurrentPageNotices.push_back(I); };
    }
    ~CommandFixture()
    {
        GetMulticaster().OnPageListChanged = nullptr;
        GetMulticaster().OnCurrentPageChanged = nullptr;
        ShowModalHook = nullptr;
        GetUndoManager().Clear();
        View.reset();
    }
    TFBMainView& Show()
    {
        View = std::make_unique<TFBMainView>(nullptr, &Doc);
        View->OnContextMenu = [](TFBPage*, TFBElement*, const QPoint&) {};
        View->resize(800, 600);
        View->show();
        QCoreApplication::processEvents();
        GetUndoManager().SetUIStateHost(View.get());
        return *View;
    }
    // The client pixel of a page point.
    QPoint Px(const TFBPage* Page, float X, float Y) { return PagePixel(*View, Doc, Page, X, Y); }
    TFBPage* Page(int I) { return Doc.Pages.GetPage(I); }
    QAction* Item(const char* Name) { return View->ContextMenu()->findChild<QAction*>(QString::fromLatin1(Name)); }
    // Right click, which focuses and builds the menu.
    void RightClick(QPoint P)
    {
        Press(*View, P, Qt::RightButton);
        Release(*View, P, Qt::RightButton);
    }
};

// One synthetic drag (enter, move) and, with Drop, the drop; returns whether
// the last event was accepted.
bool DragTo(QWidget& W, const QMimeData& Mime, QPoint P, bool Drop,
            Qt::DropActions Actions = Qt::CopyAction | Qt::MoveAction)
{
    QDragEnterEvent enter(P, Actions, &Mime, Qt::LeftButton, Qt::NoModifier);
    enter.ignore();
    QCoreApplication::sendEvent(&W, &enter);
    QDragMoveEvent move(P, Actions, &Mime, Qt::LeftButton, Qt::NoModifier);
    move.ignore();
    QCoreApplication::sendEvent(&W, &move);
    if (!Drop) {
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(&W, &leave);
        return move.isAccepted() && move.dropAction() != Qt::IgnoreAction;
    }
    QDropEvent drop(QPointF(P), Actions, &Mime, Qt::NoButton, Qt::NoModifier);
    drop.ignore();
    QCoreApplication::sendEvent(&W, &drop);
    return drop.isAccepted();
}

std::unique_ptr<QMimeData> Payload(const char* Format, const QByteArray& Bytes)
{
    auto m = std::make_unique<QMimeData>();
    m->setData(QString::fromLatin1(Format), Bytes);
    return m;
}

// Pictures written to a temporary folder: Count files of W x H pixels.
QStringList PictureFiles(const QTemporaryDir& Dir, int Count, int W = 60, int H = 40)
{
    QStringList files;
    for (int i = 0; i < Count; ++i) {
        const QString name = Dir.filePath(QStringLiteral("bild%1.png").arg(i));
        Photo(W, H, i)->save(name);
        files << name;
    }
    return files;
}

QByteArray FileList(const QStringList& Files)
{
    return Files.join(QStringLiteral("\r\n")).toUtf8();
}

bool Same(const QImage* A, const QImage* B)
{
    return A && B && *A == *B;
}

}  // namespace

// ---- context menu ----------------------------------------------------------------------------------

TEST(MainViewContextMenu, EntriesFollowWhatLiesUnderTheMouse)
{
    Localizer().SetLanguage(0);  // the texts of the German language file
    CommandFixture f(0, 3);
    TFBPictureElement* photo = AddFrame(f.Page(1), 50, 50, 60, 40);
    GivePicture(photo);
    TFBPictureElement* area = AddFrame(f.Page(1), 150, 50, 60, 40);
    GivePicture(area, 1);
    area->CanZoomAndTrack = false;
    TFBPictureElement* empty = AddFrame(f.Page(1), 50, 120, 60, 20);
    AddText(f.Page(1), 150, 120, 60, 20);
    f.Page(1)->PageColor = RGB(10, 20, 30);
    TFBMainView& v = f.Show();
    v.SetScreen(1);

    const char* pictureItems[] = {"popBildLinksDrehen", "popBildRechtsDrehen", "popFilterHKIG", "popFilterHSL",
                                  "popFilterSWCol", "popRoteAugen", "popFarbeAendern"};
    const char* pageItems[] = {"popAusrichtung", "popSeiteDavor", "popSeiteDahinter", "popSeiteLoeschen",
                               "popVorherigeSeite", "popNaechsteSeite"};
    const char* editItems[] = {"popAusschneiden", "popKopieren", "popEinfuegen", "popLoeschen"};
    struct Case {
        const char* What;
        QPoint At;
        bool Picture, Page, Edit, Turn, Color;
    } cases[] = {
        {"empty page area", f.Px(f.Page(1), 190, 145), false, true, false, false, false},
        {"photo frame", f.Px(f.Page(1), 50, 50), true, false, true, true, false},
        {"colour area", f.Px(f.Page(1), 150, 50), true, false, true, false, true},
        {"empty frame", f.Px(f.Page(1), 50, 120), true, false, true, false, false},
        {"text box", f.Px(f.Page(1), 150, 120), false, false, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        f.RightClick(c.At);
        for (const char* name : pictureItems)
            EXPECT_EQ(f.Item(name)->isVisible(), c.Picture) << name;
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(f.Item(pictureItems[i])->isEnabled(), c.Turn) << pictureItems[i];
        EXPECT_EQ(f.Item("popFarbeAendern")->isEnabled(), c.Color);
        for (const char* name : pageItems)
            EXPECT_EQ(f.Item(name)->isVisible(), c.Page) << name;
        for (const char* name : editItems)
            EXPECT_EQ(f.Item(name)->isVisible(), c.Edit) << name;
        for (const char* name : {"popSeitenhintergrund", "popSeitenhintergrundEntfernen"})
            EXPECT_EQ(f.Item(name)->isVisible(), c.Page) << name;
        EXPECT_EQ(f.Item("popRahmen")->isVisible(), c.Picture);
    }
    // Removing the background only where the page is not white.
    f.RightClick(f.Px(f.Page(1), 190, 145));
    EXPECT_TRUE(f.Item("popSeitenhintergrundEntfernen")->isEnabled());
    f.Page(1)->PageColor = RGB(255, 255, 255);
    f.RightClick(f.Px(f.Page(1), 190, 145));
    EXPECT_FALSE(f.Item("popSeitenhintergrundEntfernen")->isEnabled());
    EXPECT_TRUE(f.Item("popSeitenhintergrund")->isEnabled());
    // Borderless prints take no picture frames.
    f.Doc.PrintBorderless = true;
    f.RightClick(f.Px(f.Page(1), 50, 50));
    EXPECT_FALSE(f.Item("popRahmen")->isVisible());
    f.Doc.PrintBorderless = false;
    (void)empty;
    // The middle screen of three: both directions and insert/delete allowed.
    f.RightClick(f.Px(f.Page(1), 190, 145));
    for (const char* name : pageItems)
        EXPECT_TRUE(f.Item(name)->isEnabled()) << name;
    EXPECT_EQ(f.Item("popSeiteDavor")->text(), QString::fromUtf8("Seite davor einfügen"));
    EXPECT_EQ(f.Item("popSeiteDahinter")->text(), QString::fromUtf8("Seite dahinter einfügen"));
    EXPECT_EQ(f.Item("popNaechsteSeite")->text(), QString::fromUtf8("Nächste Seite"));
    v.SetScreen(2);
    f.RightClick(f.Px(f.Page(2), 190, 145));
    EXPECT_FALSE(f.Item("popNaechsteSeite")->isEnabled());
    EXPECT_TRUE(f.Item("popVorherigeSeite")->isEnabled());
}

// "Seitenhintergrund..." on every side of a page that a frame leaves free:
// the side, top and bottom margins of both pages of a spread, upright and
// turned, and of a single page; never on the cover around the pages.
TEST(MainViewContextMenu, PageBackgroundInEveryMarginOfThePage)
{
    for (const uint8_t mode : {uint8_t(0), uint8_t(1)})
        for (const bool turned : {false, true}) {
            CommandFixture f(mode, 4);
            for (int i = 0; i < 4; ++i)
                AddFrame(f.Page(i), 100, 75, 180, 120);  // 10 mm free left and right, 15 above and below
            if (turned)
                f.Doc.SetScreenOrientation(1, 1);
            TFBMainView& v = f.Show();
            v.SetScreen(1);
            std::vector<TFBPage*> pages{f.Doc.GetLeftPage(1)};
            if (mode == 1)
                pages.push_back(f.Doc.GetRightPage(1));
            for (TFBPage* page : pages) {
                const struct {
                    const char* Side;
                    float X, Y;
                } margins[] = {{"left", 4, 75}, {"right", 196, 75}, {"top", 100, 6}, {"bottom", 100, 144}};
                for (const auto& m : margins) {
                    SCOPED_TRACE(std::string(m.Side) + (page->IsLeftPage() ? " of the left page" : " of the page") +
                                 (turned ? ", turned" : "") + ", screen mode " + std::to_string(mode));
                    f.RightClick(f.Px(page, m.X, m.Y));
                    EXPECT_TRUE(f.Item("popSeitenhintergrund")->isVisible());
                    EXPECT_FALSE(f.Item("popLoeschen")->isVisible());
                }
            }
            if (mode == 1) {
                // The cover below and beside the left page is no page.
                for (const QPoint at : {f.Px(pages[0], 100, 151.5f), f.Px(pages[0], -2, 75)}) {
                    f.RightClick(at);
                    EXPECT_FALSE(f.Item("popSeitenhintergrund")->isVisible());
                }
            }
        }
}

// On the A4 calendar with the picture below, the white lower part of the page
// is the empty picture frame: a right click there offers the picture's
// entries; the page background is offered beside the month and between the
// month and the frame.
TEST(MainViewContextMenu, CalendarPageOffersTheBackgroundWhereNoElementLies)
{
    CommandFixture f(0, 0);
    SetupKalenderA4PictureBottom(&f.Doc, 2027);
    f.Show();
    TFBPage* page = f.Doc.Pages.GetPage(0);
    const struct {
        const char* What;
        float X, Y;
        bool Background;
    } cases[] = {{"beside the month", 10, 110, true}, {"between month and picture", 105, 202, true},
                 {"in the empty frame", 105, 280, false}, {"on the month", 105, 110, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        f.RightClick(f.Px(page, c.X, c.Y));
        EXPECT_EQ(f.Item("popSeitenhintergrund")->isVisible(), c.Background);
    }
    EXPECT_TRUE(f.Item("popLoeschen")->isVisible());
}

TEST(MainViewContextMenu, TurnCommandRecordsUndoAndTurnsThePicture)
{
    CommandFixture f(0, 1);
    TFBPictureElement* photo = AddFrame(f.Page(0), 100, 75, 80, 60);
    GivePicture(photo, 0, 40, 20);
    TFBMainView& v = f.Show();
    f.RightClick(f.Px(f.Page(0), 100, 75));
    f.Item("popBildLinksDrehen")->trigger();
    ASSERT_NE(photo->GetBitmap(), nullptr);
    EXPECT_EQ(photo->GetBitmap()->width(), 20);
    EXPECT_EQ(GetUndoManager().Count(), 1);
    EXPECT_TRUE(f.Doc.Modified);
    GetUndoManager().Undo(f.Doc);
    EXPECT_EQ(photo->GetBitmap()->width(), 40);
    (void)v;
}

TEST(MainViewContextMenu, CancelledFilterLeavesNoUndoItem)
{
    CommandFixture f(0, 1);
    TFBPictureElement* photo = AddFrame(f.Page(0), 100, 75, 80, 60);
    GivePicture(photo);
    f.Show();
    f.RightClick(f.Px(f.Page(0), 100, 75));
    int notices = 0;
    GetMulticaster().OnContentChanged = [&](TMulticaster*, TObject*, TFBPage*, TFBElement*) { ++notices; };
    for (const char* name : {"popFilterHKIG", "popFilterHSL", "popFilterSWCol", "popRoteAugen"}) {
        ShowModalHook = [](QDialog&) { return int(QDialog::Rejected); };
        f.Item(name)->trigger();
        EXPECT_EQ(GetUndoManager().Count(), 0) << name;
        ShowModalHook = [](QDialog& D) {
            D.accept();
            return int(QDialog::Accepted);
        };
        f.Item(name)->trigger();
        EXPECT_EQ(GetUndoManager().Count(), 1) << name;
        GetUndoManager().Clear();
    }
    GetMulticaster().OnContentChanged = nullptr;
    EXPECT_EQ(notices, 4);
}

// ---- clipboard ---------------------------------------------------------------------------------------

TEST(MainViewClipboard, TextFromALeftPagePastesOntoTheLeftPageOfTheCurrentSpread)
{
    CommandFixture f(2, 6);  // spreads without cover: pages 0|1, 2|3, 4|5
    TFBTextElement* text = AddText(f.Page(0), 40, 30, 50, 20, 15);
    TFBMainView& v = f.Show();
    v.SetFocusedElement(text);
    ASSERT_TRUE(v.CanCopy());
    v.CopyElement();
    EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->hasFormat(QStringLiteral("CF_QN_FotobuchData")));
    v.SetScreen(2);
    ASSERT_TRUE(v.CanPaste());
    v.PasteElement();
    ASSERT_EQ(f.Page(4)->Elements.Count(), 1);
    EXPECT_EQ(f.Page(5)->Elements.Count(), 0);
    auto* copy = dynamic_cast<TFBTextElement*>(f.Page(4)->Elements.GetItem(0));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(v.FocusedElement(), copy);
    EXPECT_FLOAT_EQ(copy->CenterX, 40);
    EXPECT_FLOAT_EQ(copy->Width, 50);
    EXPECT_FLOAT_EQ(copy->Angle, 15);
    EXPECT_EQ(GetUndoManager().Count(), 1);
    v.SetFocusedElement(nullptr);
    GetUndoManager().Undo(f.Doc);
    EXPECT_EQ(f.Page(4)->Elements.Count(), 0);
}

TEST(MainViewClipboard, CuttingAPictureLeavesTheFrameAndPastesIntoAnother)
{
    CommandFixture f(0, 1);
    TFBPictureElement* a = AddFrame(f.Page(0), 50, 75, 60, 40);
    TFBPictureElement* b = AddFrame(f.Page(0), 150, 75, 60, 40);
    GivePicture(a, 3);
    a->SetZoom(2);
    const QImage original = *a->GetBitmap();
    TFBMainView& v = f.Show();
    v.SetFocusedElement(b);
    EXPECT_FALSE(v.CanCopy());  // an empty frame
    v.SetFocusedElement(a);
    v.CutElement();
    EXPECT_FALSE(a->HasPicture());
    EXPECT_EQ(f.Page(0)->Pictures.Count(), 2);
    EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->hasFormat(QStringLiteral("CF_QN_FotobuchPic")));
    v.SetFocusedElement(b);
    ASSERT_TRUE(v.CanPaste());
    v.PasteElement();
    ASSERT_TRUE(b->HasPicture());
    EXPECT_EQ(b->GetBitmap()->size(), original.size());
    EXPECT_FLOAT_EQ(b->Zoom, 2);
    EXPECT_FLOAT_EQ(b->CenterX, 150);  // the frame keeps its place
    EXPECT_EQ(GetUndoManager().Count(), 2);
    v.SetFocusedElement(nullptr);
    GetUndoManager().Undo(f.Doc);
    EXPECT_FALSE(b->HasPicture());
    GetUndoManager().Undo(f.Doc);
    EXPECT_TRUE(a->HasPicture());
}

TEST(MainViewClipboard, CalendarFocusAllowsOnlyThePasteOfElements)
{
    CommandFixture f(0, 1);
    TFBKalenderElement* cal = AddCalendar(f.Page(0), 100, 100, 80, 40);
    TFBMainView& v = f.Show();
    v.SetFocusedElement(cal);
    EXPECT_FALSE(v.CanCopy());
    EXPECT_FALSE(v.CanDelete());
    EXPECT_FALSE(v.CanDuplicate());
    EXPECT_FALSE(v.CanPaste());
    v.CutElement();
    EXPECT_EQ(f.Page(0)->Calendars.Count(), 1);

    // A text element on the clipboard, and a calendar entry beside it.
    TFBTextElement* text = AddText(f.Page(0), 40, 30, 50, 20);
    v.SetFocusedElement(text);
    EXPECT_TRUE(v.CanDuplicate());
    v.CopyElement();
    auto* both = new QMimeData;
    both->setData(QStringLiteral("CF_QN_FotobuchData"),
                  QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("CF_QN_FotobuchData")));
    QGuiApplication::clipboard()->setMimeData(both);
    v.SetFocusedElement(cal);
    EXPECT_TRUE(v.CanPaste());
    both = new QMimeData;
    both->setData(QStringLiteral("CF_QN_FotobuchKalender"), QByteArray("x"));
    both->setData(QStringLiteral("CF_QN_FotobuchData"), QByteArray("y"));
    QGuiApplication::clipboard()->setMimeData(both);
    v.PasteElement();
    EXPECT_EQ(f.Page(0)->Elements.Count(), 1);
    EXPECT_EQ(GetUndoManager().Count(), 0);
}

TEST(MainViewClipboard, ForeignOrDamagedClipboardDataChangesNothing)
{
    CommandFixture f(0, 1);
    TFBPictureElement* frame = AddFrame(f.Page(0), 50, 75, 60, 40);
    TFBMainView& v = f.Show();
    // A copied picture pasted with no picture frame focused is no element.
    GivePicture(frame);
    v.SetFocusedElement(frame);
    v.CopyElement();
    auto* mime = new QMimeData;
    mime->setData(QStringLiteral("CF_QN_FotobuchData"),
                  QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("CF_QN_FotobuchPic")));
    QGuiApplication::clipboard()->setMimeData(mime);
    v.SetFocusedElement(nullptr);
    v.PasteElement();
    EXPECT_EQ(f.Page(0)->Elements.Count(), 0);
    EXPECT_EQ(GetUndoManager().Count(), 0);
    // Bytes that are no data file make no element.
    mime = new QMimeData;
    mime->setData(QStringLiteral("CF_QN_FotobuchData"), QByteArray("no data file at all"));
    QGuiApplication::clipboard()->setMimeData(mime);
    try {
        v.PasteElement();
    } catch (const Exception&) {
        // a clear error is as good
    }
    EXPECT_EQ(f.Page(0)->Elements.Count(), 0);
    EXPECT_EQ(GetUndoManager().Count(), 0);
}

// ---- page and element commands -----------------------------------------------------------------------

TEST(MainViewCommands, InsertedTextBoxFollowsTheLandscapePage)
{
    CommandFixture f(0, 2);
    f.Page(1)->SetOrientation(1);
    f.Doc.ScreenQuerformatWinkel = 90;
    TFBMainView& v = f.Show();
    struct Case {
        int Screen;
        float Width, Angle;
    } cases[] = {{0, 120, 0}, {1, 90, -90}};
    for (const Case& c : cases) {
        v.SetScreen(c.Screen);
        v.InsertTextElement();
        ASSERT_EQ(f.Page(c.Screen)->Elements.Count(), 1);
        auto* text = static_cast<TFBTextElement*>(f.Page(c.Screen)->Elements.GetItem(0));
        EXPECT_FLOAT_EQ(text->Width, c.Width);
        EXPECT_FLOAT_EQ(text->Height, 20);
        EXPECT_FLOAT_EQ(text->CenterX, 100);
        EXPECT_FLOAT_EQ(text->CenterY, 75);
        EXPECT_FLOAT_EQ(text->Angle, c.Angle);
        EXPECT_TRUE(text->HasShadow());
        EXPECT_TRUE(text->NewText);
        EXPECT_EQ(v.FocusedElement(), text);
    }
    EXPECT_EQ(GetUndoManager().Count(), 2);
}

TEST(MainViewCommands, OrientationTogglesWithoutAnUndoItem)
{
    CommandFixture f(0, 1);
    TFBMainView& v = f.Show();
    v.ToggleOrientation();
    EXPECT_NE(f.Doc.GetScreenOrientation(0), 0);
    EXPECT_TRUE(f.Doc.Modified);
    v.ToggleOrientation();
    EXPECT_EQ(f.Doc.GetScreenOrientation(0), 0);
    EXPECT_EQ(GetUndoManager().Count(), 0);
}

TEST(MainViewCommands, InsertAndDeleteScreens)
{
    CommandFixture f(0, 3);
    AddText(f.Page(1), 40, 30, 50, 20);
    TFBMainView& v = f.Show();
    v.SetScreen(1);
    v.InsertScreen(false);
    EXPECT_EQ(f.Doc.Pages.Count(), 4);
    EXPECT_EQ(v.ScreenIndex(), 1);
    EXPECT_EQ(f.Page(1)->Elements.Count(), 0);  // the new screen
    v.InsertScreen(true);
    EXPECT_EQ(f.Doc.Pages.Count(), 5);
    EXPECT_EQ(v.ScreenIndex(), 2);
    EXPECT_EQ(f.PageListNotices, 2);
    EXPECT_EQ(f.CurrentPageNotices, (std::vector<int>{1, 2}));

    // The question: No keeps the screen, Yes deletes it.
    QString asked;
    int answer = QMessageBox::No;
    ShowModalHook = [&](QDialog& D) {
        asked = static_cast<QMessageBox&>(D).text();
        return answer;
    };
    v.SetScreen(3);
    TFBElement* text = f.Page(3)->Elements.GetItem(0);
    v.SetFocusedElement(text);
    v.DeleteScreen();
    EXPECT_EQ(asked, QStringLiteral("Soll die Seite wirklich gelöscht werden?"));
    EXPECT_EQ(f.Doc.Pages.Count(), 5);
    answer = QMessageBox::Yes;
    v.DeleteScreen();
    EXPECT_EQ(f.Doc.Pages.Count(), 4);
    EXPECT_EQ(v.FocusedElement(), nullptr);
    EXPECT_EQ(GetUndoManager().Count(), 3);
    GetUndoManager().Undo(f.Doc);
    EXPECT_EQ(f.Doc.Pages.Count(), 5);
    EXPECT_EQ(f.Page(3)->Elements.Count(), 1);
}

TEST(MainViewCommands, FrameDialogSetsTheBorderOnlyOnOk)
{
    CommandFixture f(0, 1);
    TFBPictureElement* photo = AddFrame(f.Page(0), 100, 75, 80, 60);
    GivePicture(photo);
    TFBMainView& v = f.Show();
    v.SetFocusedElement(photo);
    ShowModalHook = [](QDialog&) { return int(QDialog::Rejected); };
    v.PictureBorder();
    EXPECT_EQ(GetUndoManager().Count(), 0);
    ShowModalHook = [](QDialog& D) {
        auto& frame = static_cast<TBildRahmen&>(D);
        frame.SetColor(RGB(0, 128, 0));
        frame.SetWidth(BildRahmenWidths[3]);
        return int(QDialog::Accepted);
    };
    v.PictureBorder();
    EXPECT_FLOAT_EQ(photo->BorderWidth, float(BildRahmenWidths[3]));
    EXPECT_EQ(photo->BorderColor, RGB(0, 128, 0));
    GetUndoManager().Undo(f.Doc);
    EXPECT_FLOAT_EQ(photo->BorderWidth, 0);
}

// The page colour and the picture frame, chosen from the context menu, each
// with its undo item.
TEST(MainViewContextMenu, PageBackgroundAndFrameEntriesChangeAndUndo)
{
    CommandFixture f(0, 1);
    TFBPictureElement* photo = AddFrame(f.Page(0), 60, 50, 60, 40);
    GivePicture(photo);
    f.Show();
    f.RightClick(f.Px(f.Page(0), 170, 130));
    // The colour dialog runs its own loop: the user chooses blue there.
    QTimer::singleShot(0, [] {
        if (auto* colour = qobject_cast<QColorDialog*>(QApplication::activeModalWidget())) {
            colour->setCurrentColor(QColor(0, 0, 200));
            colour->accept();
        }
    });
    f.Item("popSeitenhintergrund")->trigger();
    EXPECT_EQ(f.Page(0)->PageColor, RGB(0, 0, 200));
    EXPECT_EQ(GetUndoManager().Count(), 1);

    f.RightClick(f.Px(f.Page(0), 60, 50));
    ShowModalHook = [](QDialog& D) {
        auto& frame = static_cast<TBildRahmen&>(D);
        frame.SetColor(RGB(255, 255, 0));
        frame.SetWidth(BildRahmenWidths[2]);
        return int(QDialog::Accepted);
    };
    f.Item("popRahmen")->trigger();
    EXPECT_FLOAT_EQ(photo->BorderWidth, float(BildRahmenWidths[2]));
    EXPECT_EQ(photo->BorderColor, RGB(255, 255, 0));

    f.RightClick(f.Px(f.Page(0), 170, 130));
    f.Item("popSeitenhintergrundEntfernen")->trigger();
    EXPECT_EQ(f.Page(0)->PageColor, RGB(255, 255, 255));
    ASSERT_EQ(GetUndoManager().Count(), 3);
    GetUndoManager().Undo(f.Doc);
    EXPECT_EQ(f.Page(0)->PageColor, RGB(0, 0, 200));
    GetUndoManager().Undo(f.Doc);
    photo = static_cast<TFBPictureElement*>(f.Page(0)->Pictures.GetItem(0));
    EXPECT_FLOAT_EQ(photo->BorderWidth, 0);
    GetUndoManager().Undo(f.Doc);
    EXPECT_EQ(f.Page(0)->PageColor, RGB(255, 255, 255));
}

TEST(MainViewCommands, PageBackgroundRemovalIsWhiteAndUndoable)
{
    CommandFixture f(0, 1);
    f.Page(0)->PageColor = RGB(200, 0, 0);
    TFBMainView& v = f.Show();
    v.SetPageBackground(f.Page(0), true);
    EXPECT_EQ(f.Page(0)->PageColor, RGB(255, 255, 255));
    GetUndoManager().Undo(f.Doc);
    EXPECT_EQ(f.Page(0)->PageColor, RGB(200, 0, 0));
}

// ---- drop target -----------------------------------------------------------------------------------

TEST(MainViewDrop, TenPicturesFillTheFramesFromTheThirdOnAndTheRestIsIgnored)
{
    CommandFixture f(0, 3);
    std::vector<TFBPictureElement*> frames;
    for (int p = 0; p < 3; ++p) {
        frames.push_back(AddFrame(f.Page(p), 50, 75, 80, 60));
        frames.push_back(AddFrame(f.Page(p), 150, 75, 80, 60));
    }
    QTemporaryDir dir;
    const QStringList files = PictureFiles(dir, 10);
    TFBMainView& v = f.Show();
    v.SetScreen(1);
    int focusNotices = 0;
    v.OnFocusChanged = [&](TObject*) { ++focusNotices; };
    auto mime = Payload("QwFileList", FileList(files));
    EXPECT_TRUE(DragTo(v, *mime, f.Px(f.Page(1), 50, 75), true));
    EXPECT_FALSE(frames[0]->HasPicture());
    EXPECT_FALSE(frames[1]->HasPicture());
    for (int i = 2; i < 6; ++i) {
        ASSERT_TRUE(frames[size_t(i)]->HasPicture()) << i;
        QImage expected(files[i - 2]);
        EXPECT_EQ(frames[size_t(i)]->GetBitmap()->size(), expected.size());
    }
    EXPECT_FALSE(Same(frames[2]->GetBitmap(), frames[3]->GetBitmap()));
    EXPECT_EQ(GetUndoManager().Count(), 4);
    EXPECT_TRUE(f.Doc.Modified);
    EXPECT_EQ(focusNotices, 1);
    EXPECT_FALSE(v.MessagePanel()->isVisible());
}

// One large picture takes seconds to decode: its drop shows the progress
// panel as drops of several do and the busy cursor, and the window is served
// meanwhile (a timer fires while the frame still waits for its picture),
// refusing further drops until the picture is in.
TEST(MainViewDrop, ALargePictureLoadsWhileTheWindowIsServed)
{
    // Dropped onto a frame, and as clip-art onto the page.
    for (const bool clipart : {false, true}) {
        SCOPED_TRACE(clipart);
        CommandFixture f(0, 1);
        TFBPictureElement* frame = AddFrame(f.Page(0), 100, 75, 120, 90);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("gross.jpg"));
        ASSERT_TRUE(Photo(4000, 3000)->save(file, "JPEG", 90));
        TFBMainView& v = f.Show();
        const QPoint at = f.Px(f.Page(0), 100, 75);
        auto mime = clipart ? Payload("QwClipart", file.toUtf8()) : Payload("QwFileList", FileList({file}));
        const auto loaded = [&] { return clipart ? f.Page(0)->Elements.Count() > 0 : frame->HasPicture(); };

        bool firedWhileLoading = false, dropRefused = false, busyCursor = false;
        QString progress;
        QTimer timer;
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (loaded() || firedWhileLoading)
                return;
            firedWhileLoading = true;
            progress = v.MessagePanel()->isVisible() ? v.MessagePanel()->text() : QString();
            const QCursor* cursor = QGuiApplication::overrideCursor();
            busyCursor = cursor && cursor->shape() == Qt::WaitCursor;
            dropRefused = !DragTo(v, *mime, at, false);
        });
        timer.start();
        EXPECT_TRUE(DragTo(v, *mime, at, true));
        timer.stop();
        EXPECT_TRUE(firedWhileLoading);
        EXPECT_EQ(progress, QStringLiteral("Bild 1 von 1 wird geladen"));
        EXPECT_TRUE(busyCursor);
        EXPECT_TRUE(dropRefused);
        ASSERT_TRUE(loaded());
        EXPECT_EQ(GetUndoManager().Count(), 1);
        EXPECT_FALSE(v.MessagePanel()->isVisible());
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_TRUE(DragTo(v, *mime, at, false));  // taken again once loaded
    }
}

// A file that holds no picture, or is gone since it was listed, is named in
// the picture manager's message; the frame, the document and the undo list
// stay as they were, and a clip-art drop adds no element.
TEST(MainViewDrop, AFileThatIsNoPictureChangesNothing)
{
    CommandFixture f(0, 1);
    TFBPictureElement* frame = AddFrame(f.Page(0), 50, 75, 80, 60);
    QTemporaryDir dir;
    frame->LoadPictureFromFile(PictureFiles(dir, 1).first());
    const int32_t held = frame->RefIndex;
    TFBMainView& v = f.Show();
    ShownMessages messages;
    QStringList& shown = messages.Texts;
    const int elements = f.Page(0)->Elements.Count();
    const struct {
        const char* Name;
        const char* Format;
        std::optional<QByteArray> Content;  // none: the file is not there
    } cases[] = {
        {"text.png", "QwFileList", QByteArray("kein Bild")},
        {"leer.jpg", "QwFileList", QByteArray()},
        {"fehlt.png", "QwFileList", std::nullopt},
        {"fehlt.png", "QwClipart", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Name) + " " + c.Format);
        const QString file = dir.filePath(c.Name);
        if (c.Content) {
            QFile out(file);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(*c.Content);
        }
        f.Doc.Modified = false;
        shown.clear();
        auto mime = Payload(c.Format, FileList({file}));
        DragTo(v, *mime, f.Px(f.Page(0), 50, 75), true);
        EXPECT_EQ(f.Page(0)->Elements.Count(), elements);
        EXPECT_EQ(shown, QStringList("Bild " + file + " konnte nicht geladen werden."));
        EXPECT_EQ(frame->RefIndex, held);
        EXPECT_EQ(BildManager().FindItem(held)->RefCount, 1);
        EXPECT_EQ(BildManager().Count(), 1);
        EXPECT_FALSE(f.Doc.Modified);
        EXPECT_EQ(GetUndoManager().Count(), 0);
    }
}

TEST(MainViewDrop, ProgressTextTakesItsNumbersWithoutFormatting)
{
    // The text comes from a language file: only "%d" is filled, in order,
    // and anything else stays as it is.
    const struct {
        const char* Text;
        const char* Expected;
    } cases[] = {
        {"Bild %d von %d wird geladen", "Bild 3 von 12 wird geladen"},
        {"%d/%d", "3/12"},
        {"Bild %s von %d", "Bild %s von 3"},
        {"%d %d %d", "3 12 %d"},
        {"ohne Zahl", "ohne Zahl"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FillNumbers(QString::fromUtf8(c.Text), {3, 12}), QString::fromUtf8(c.Expected)) << c.Text;
}

TEST(MainViewDrop, APictureTurnsItsSingleFramePage)
{
    CommandFixture f(0, 2);
    TFBPictureElement* a = AddFrame(f.Page(0), 100, 75, 100, 100);
    TFBPictureElement* b = AddFrame(f.Page(1), 100, 75, 100, 100);
    f.Doc.ScreenQuerformatWinkel = 90;
    QTemporaryDir dir;
    const QString wide = PictureFiles(dir, 1, 60, 40).first();
    const QString tall = dir.filePath(QStringLiteral("tall.png"));
    Photo(40, 60)->save(tall);
    TFBMainView& v = f.Show();
    v.FillFramesWithFiles({wide, tall}, a);
    EXPECT_NE(f.Page(0)->Orientation, 0);
    EXPECT_EQ(f.Page(1)->Orientation, 0);
    // On the landscape page the picture is turned left.
    EXPECT_EQ(a->GetBitmap()->size(), QSize(40, 60));
    EXPECT_EQ(b->GetBitmap()->size(), QSize(40, 60));
}

TEST(MainViewDrop, FilesFromOtherProgramsFillFramesToo)
{
    CommandFixture f(0, 1);
    TFBPictureElement* frame = AddFrame(f.Page(0), 50, 75, 80, 60);
    AddFrame(f.Page(0), 150, 75, 80, 60);
    QTemporaryDir dir;
    const QStringList files = PictureFiles(dir, 1);
    TFBMainView& v = f.Show();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(files.first())});
    EXPECT_FALSE(DragTo(v, mime, f.Px(f.Page(0), 100, 140), false));  // no frame there
    EXPECT_TRUE(DragTo(v, mime, f.Px(f.Page(0), 50, 75), true));
    EXPECT_TRUE(frame->HasPicture());
}

TEST(MainViewDrop, DragEnteringBesideAFrameStillDropsOnIt)
{
    // A drag from the left panel enters the view over the empty border first.
    CommandFixture f(0, 1);
    TFBPictureElement* frame = AddFrame(f.Page(0), 50, 75, 80, 60);
    QTemporaryDir dir;
    const QStringList files = PictureFiles(dir, 1);
    TFBMainView& v = f.Show();
    auto mime = Payload("QwFileList", FileList(files));
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
    const QPoint beside(2, 2), onFrame = f.Px(f.Page(0), 50, 75);

    QDragEnterEvent enter(beside, actions, mime.get(), Qt::LeftButton, Qt::NoModifier);
    enter.ignore();
    QCoreApplication::sendEvent(&v, &enter);
    // Refusing the enter would end the visit: no further moves or drop arrive.
    EXPECT_TRUE(enter.isAccepted());
    QDragMoveEvent away(beside, actions, mime.get(), Qt::LeftButton, Qt::NoModifier);
    away.ignore();
    QCoreApplication::sendEvent(&v, &away);
    EXPECT_FALSE(away.isAccepted() && away.dropAction() != Qt::IgnoreAction);
    QDragMoveEvent over(onFrame, actions, mime.get(), Qt::LeftButton, Qt::NoModifier);
    over.ignore();
    QCoreApplication::sendEvent(&v, &over);
    EXPECT_TRUE(over.isAccepted());
    QDropEvent drop(QPointF(onFrame), actions, mime.get(), Qt::NoButton, Qt::NoModifier);
    drop.ignore();
    QCoreApplication::sendEvent(&v, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_TRUE(frame->HasPicture());
}

TEST(MainViewDrop, DragOverAcceptsByFormatAndPoint)
{
    CommandFixture f(0, 1);
    TFBPictureElement* frame = AddFrame(f.Page(0), 50, 75, 80, 60);
    TFBMainView& v = f.Show();
    const QPoint onFrame = f.Px(f.Page(0), 50, 75);
    const QPoint onPage = f.Px(f.Page(0), 170, 140);
    const QPoint outside(2, 2);
    auto files = Payload("QwFileList", "/x.png");
    auto color = Payload("QwColor", QByteArray(8, '\0'));
    auto layout = Payload("QwPageTemplate", QByteArray(4, '\0'));
    auto clipart = Payload("QwClipart", "/c.png");
    auto own = Payload("QwPic", QByteArray(PictureDragData(frame).c_str()));
    auto bogus = Payload("QwPic", "12345");
    auto huge = Payload("QwPic", "999999999999999999999999");
    auto other = Payload("text/plain", "hallo");
    QMimeData mixed;
    mixed.setData(QStringLiteral("QwPageTemplate"), QByteArray(4, '\0'));
    mixed.setData(QStringLiteral("QwColor"), QByteArray(8, '\0'));
    struct Case {
        const char* What;
        const QMimeData* Mime;
        QPoint At;
        bool Accepted;
    } cases[] = {
        {"files on a frame", files.get(), onFrame, true},
        {"files beside it", files.get(), onPage, false},
        {"colour on a frame", color.get(), onFrame, true},
        {"colour beside it", color.get(), onPage, false},
        {"layout on the page", layout.get(), onPage, true},
        {"layout outside", layout.get(), outside, false},
        {"clip-art on the page", clipart.get(), onPage, true},
        {"picture onto itself", own.get(), onFrame, false},
        {"picture of no element", bogus.get(), onFrame, false},
        {"picture of a number too large", huge.get(), onFrame, false},
        {"layout and colour beside a frame", &mixed, onPage, false},
        {"layout and colour on a frame", &mixed, onFrame, true},
        {"foreign text", other.get(), onFrame, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DragTo(v, *c.Mime, c.At, false), c.Accepted) << c.What;
}

TEST(MainViewDrop, MovedPictureExchangesAndUndoExchangesBack)
{
    CommandFixture f(0, 2);
    TFBPictureElement* a = AddFrame(f.Page(0), 50, 75, 80, 60);
    TFBPictureElement* b = AddFrame(f.Page(1), 50, 75, 80, 60);
    GivePicture(a, 1);
    GivePicture(b, 2);
    const QImage pa = *a->GetBitmap(), pb = *b->GetBitmap();
    TFBMainView& v = f.Show();
    v.SetScreen(1);
    auto mime = Payload("QwPic", QByteArray(PictureDragData(a).c_str()));
    EXPECT_TRUE(DragTo(v, *mime, f.Px(f.Page(1), 50, 75), true, Qt::MoveAction));
    EXPECT_EQ(*a->GetBitmap(), pb);
    EXPECT_EQ(*b->GetBitmap(), pa);
    ASSERT_EQ(GetUndoManager().Count(), 1);
    GetUndoManager().Undo(f.Doc);
    EXPECT_EQ(*a->GetBitmap(), pa);
    EXPECT_EQ(*b->GetBitmap(), pb);

    // Copy: the target gets the source's picture, the source keeps it.
    EXPECT_TRUE(DragTo(v, *mime, f.Px(f.Page(1), 50, 75), true, Qt::CopyAction));
    EXPECT_EQ(*a->GetBitmap(), pa);
    EXPECT_EQ(*b->GetBitmap(), pa);
}

TEST(MainViewDrop, PageTemplateColourAndClipartDrops)
{
    CommandFixture f(0, 1);
    TFBPictureElement* frame = AddFrame(f.Page(0), 50, 75, 80, 60);
    TFBMainView& v = f.Show();

    TMemoryStream colorStream;
    TFBColor(AnsiString("Rot"), RGB(255, 0, 0)).SaveToStream(colorStream);
    auto color = Payload("QwColor", QByteArray(reinterpret_cast<const char*>(colorStream.Memory()),
                                               qsizetype(colorStream.Size())));
    EXPECT_TRUE(DragTo(v, *color, f.Px(f.Page(0), 50, 75), true));
    ASSERT_TRUE(frame->HasPicture());
    EXPECT_FALSE(frame->CanZoomAndTrack);
    EXPECT_EQ(QColor(frame->GetBitmap()->pixel(0, 0)), QColor(255, 0, 0));

    TFBPageTemplate layout;
    layout.TemplateWidth = 200;
    layout.TemplateHeight = 150;
    layout.AddFrame(10, 10, 80, 60);
    layout.AddFrame(110, 10, 80, 60);
    layout.AddFrame(60, 80, 80, 60);
    TMemoryStream layoutStream;
    layout.SaveToStream(layoutStream);
    auto layoutMime = Payload("QwPageTemplate", QByteArray(reinterpret_cast<const char*>(layoutStream.Memory()),
                                                           qsizetype(layoutStream.Size())));
    EXPECT_TRUE(DragTo(v, *layoutMime, f.Px(f.Page(0), 170, 140), true));
    EXPECT_EQ(f.Page(0)->Pictures.Count(), 3);
    EXPECT_EQ(v.FocusedElement(), nullptr);

    QTemporaryDir dir;
    const QString art = dir.filePath(QStringLiteral("art.png"));
    QImage png(50, 50, QImage::Format_ARGB32);
    png.fill(QColor(0, 0, 255, 128));
    png.save(art);
    auto clipart = Payload("QwClipart", art.toUtf8());
    const QPoint at = f.Px(f.Page(0), 120, 100);
    EXPECT_TRUE(DragTo(v, *clipart, at, true));
    ASSERT_EQ(f.Page(0)->Elements.Count(), 1);
    TFBElement* e = f.Page(0)->Elements.GetItem(0);
    EXPECT_NE(dynamic_cast<TFBClipartElement*>(e), nullptr);
    EXPECT_NEAR(e->CenterX, 120, 1);
    EXPECT_NEAR(e->CenterY, 100, 1);
    EXPECT_EQ(v.FocusedElement(), e);
    EXPECT_EQ(GetUndoManager().Count(), 3);
    v.SetFocusedElement(nullptr);
    GetUndoManager().Undo(f.Doc);
    GetUndoManager().Undo(f.Doc);
    EXPECT_EQ(f.Page(0)->Elements.Count(), 0);
    EXPECT_EQ(f.Page(0)->Pictures.Count(), 1);
}

TEST(MainViewCommands, MessagePanelIsCentredHalfTheWidth)
{
    CommandFixture f(0, 1);
    TFBMainView& v = f.Show();
    v.ShowMessagePanel(QStringLiteral("Bild 1 von 3 wird geladen"));
    QLabel* panel = v.MessagePanel();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->geometry(), QRect(200, 275, 400, 50));
    EXPECT_EQ(panel->text(), QStringLiteral("Bild 1 von 3 wird geladen"));
    v.HideMessagePanel();
    EXPECT_FALSE(panel->isVisible());
}

// Clip-art dropped on a DIN A4 page that a landscape photo turned: the
// selection frame's handles lie on the corners and edges of the drawn
// picture, at either landscape angle and at several zooms, as on an upright
// page, for 8- and 16-bit pictures of any aspect, opaque or transparent.
TEST(MainViewDrop, ClipartOnALandscapePageIsFramedWhereItIsDrawn)
{
    QTemporaryDir dir;
    // A magenta cross reaching all four edges: the drawn pixels span the
    // whole element, while the corners may be transparent.
    struct Art {
        const char* Name;
        int W, H;
        QImage::Format Format;
        bool Transparent;
    };
    const Art arts[] = {
        {"wide opaque 8-bit", 200, 100, QImage::Format_ARGB32, false},
        {"square transparent 16-bit", 300, 300, QImage::Format_RGBA64, true},
        {"tall transparent 8-bit", 100, 240, QImage::Format_ARGB32, true},
        {"square opaque 16-bit", 120, 120, QImage::Format_RGBX64, false},
    };
    const QStringList photo = PictureFiles(dir, 1, 600, 400);
    // Dropped on the centre of the page's part in the window, and near its
    // top right corner, where the frame reaches past the window's top edge.
    const QPointF drops[] = {{0.5, 0.5}, {0.8, 0.05}};
    for (const Art& a : arts) {
        const QString art = dir.filePath(QString::fromLatin1(a.Name) + QStringLiteral(".png"));
        QImage png(a.W, a.H, a.Format);
        png.fill(a.Transparent ? QColor(Qt::transparent) : QColor(Qt::white));
        {
            QPainter p(&png);
            p.fillRect(0, a.H / 3, a.W, a.H / 3, QColor(255, 0, 255));
            p.fillRect(a.W / 3, 0, a.W / 3, a.H, QColor(255, 0, 255));
        }
        ASSERT_TRUE(png.save(art));
        for (const float angle : {90.0f, -90.0f})
            for (const bool landscape : {false, true})
                for (const float zoom : {1.0f, 2.0f})
                    for (const QPointF& drop : drops) {
                        const std::string what = std::string(a.Name) + " angle " + std::to_string(int(angle))
                                                 + (landscape ? " landscape" : " upright") + " zoom "
                                                 + std::to_string(int(zoom)) + " drop at "
                                                 + std::to_string(drop.x()) + "," + std::to_string(drop.y());
                        CommandFixture f(0, 1);
                        SetupDINA4(&f.Doc, 1);
                        f.Doc.ScreenQuerformatWinkel = angle;
                        TFBMainView& v = f.Show();
                        if (landscape) {
                            EXPECT_TRUE(DragTo(v, *Payload("QwFileList", FileList(photo)), f.Px(f.Page(0), 105, 148), true));
                            ASSERT_NE(f.Page(0)->Orientation, 0) << what;
                        }
                        v.SetZoom(zoom);
                        const QRect page = QRect(f.Px(f.Page(0), 0, 0), f.Px(f.Page(0), 210, 297)).normalized()
                                           & QRect(0, 0, v.ClientWidth(), v.ClientHeight());
                        const QPoint at(page.left() + int(drop.x() * page.width()), page.top() + int(drop.y() * page.height()));
                        EXPECT_TRUE(DragTo(v, *Payload("QwClipart", art.toUtf8()), at, true)) << what;
                        const QImage img = v.grab().toImage();
                        QRect drawn;
                        for (int y = 0; y < img.height(); ++y)
                            for (int x = 0; x < img.width(); ++x)
                                if (QColor(img.pixel(x, y)) == QColor(255, 0, 255))
                                    drawn |= QRect(x, y, 1, 1);
                        ASSERT_FALSE(drawn.isEmpty()) << what;
                        v.SetupTransformation();
                        TTransformation& T = v.Transformation();
                        T.Push();
                        f.Doc.TranslateToPage(T, f.Page(0));
                        float left = 1e9f, top = 1e9f, right = -1e9f, bottom = -1e9f;
                        for (int code = 1; code <= 8; ++code) {
                            const TPointF h = v.Tracker().HandlePoint(T, code);
                            left = std::min(left, h.X);
                            top = std::min(top, h.Y);
                            right = std::max(right, h.X);
                            bottom = std::max(bottom, h.Y);
                        }
                        T.Pop();
                        // Where the frame reaches beyond the window, so does the picture.
                        EXPECT_NEAR(std::max(left, 0.0f), drawn.left(), 2) << what;
                        EXPECT_NEAR(std::max(top, 0.0f), drawn.top(), 2) << what;
                        EXPECT_NEAR(std::min(right, float(v.ClientWidth())), drawn.right() + 1, 2) << what;
                        EXPECT_NEAR(std::min(bottom, float(v.ClientHeight())), drawn.bottom() + 1, 2) << what;
                        // Seen upright, with the picture's own aspect.
                        EXPECT_NEAR((right - left) / (bottom - top), float(a.W) / float(a.H), 0.05f) << what;
                    }
    }
}
