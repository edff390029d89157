// The main window's edit menu and page-view buttons: cut, copy, paste,
// duplicate, text box and orientation go to the page view.
#include "FBPictureElement.h"
#include "FMainform.h"
#include "uFotobuchDocument.h"
#include "uFotobuchMainview.h"
#include "uFotobuchPageTemplate.h"
#include "uModalDialog.h"
#include "uTransformation.h"
#include "uUndo.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QMimeData>
#include <QGuiApplication>
#include <QKeySequence>
#include <QToolButton>
#include <gtest/gtest.h>

#include <memory>

namespace {

struct EditWindow {
    std::unique_ptr<TMaster> M;
    EditWindow()
    {
        ShowModalHook = [](QDialog& D) {
            D.setResult(2);
            return D.result();
        };
        M.reset(TLocalizerForm::create<TMaster>(nullptr));
        M->AskSaveHook = [](const QString&) { return 0; };
        QGuiApplication::clipboard()->clear();
        GetUndoManager().Clear();
    }
    ~EditWindow()
    {
        M.reset();
        ShowModalHook = nullptr;
        GetUndoManager().Clear();
    }
};

}  // namespace

TEST(MasterEditCommands, MenuAndButtonsReachThePageView)
{
    EditWindow w;
    TMaster& m = *w.M;
    TFBMainView& view = *m.MainView();
    struct Item {
        QAction* Action;
        QKeySequence Keys;
    } items[] = {
        {m.mnuBearbeitenAusschneiden, QKeySequence(Qt::CTRL | Qt::Key_X)},
        {m.mnuBearbeitenKopieren, QKeySequence(Qt::CTRL | Qt::Key_C)},
        {m.mnuBearbeitenEinfuegen, QKeySequence(Qt::CTRL | Qt::Key_V)},
        {m.mnuBearbeitenDuplizieren, QKeySequence(Qt::CTRL | Qt::Key_D)},
    };
    for (const Item& i : items)
        EXPECT_EQ(i.Action->shortcut(), i.Keys) << i.Action->objectName().toStdString();
    EXPECT_FALSE(m.mnuBearbeitenDuplizieren->isVisible());
    EXPECT_FALSE(m.mnuBearbeitenKopieren->isEnabled());

    for (QToolButton* b : {m.BtnTextEinfuegen, m.BtnBlattausrichtung})
        EXPECT_FALSE(b->icon().pixmap(24, 24).isNull()) << b->objectName().toStdString();

    // The text button inserts a focused text box, which the menu can copy.
    m.BtnTextEinfuegen->click();
    TFBElement* text = view.FocusedElement();
    ASSERT_NE(dynamic_cast<TFBTextElement*>(text), nullptr);
    EXPECT_TRUE(m.mnuBearbeitenKopieren->isEnabled());
    EXPECT_FALSE(m.mnuBearbeitenEinfuegen->isEnabled());
    m.mnuBearbeitenKopieren->trigger();
    EXPECT_TRUE(m.mnuBearbeitenEinfuegen->isEnabled());
    TFBPage* page = text->Page;
    m.mnuBearbeitenEinfuegen->trigger();
    EXPECT_EQ(page->Elements.Count(), 2);
    m.mnuBearbeitenAusschneiden->trigger();
    EXPECT_EQ(page->Elements.Count(), 1);
    EXPECT_EQ(view.FocusedElement(), nullptr);
    EXPECT_FALSE(m.mnuBearbeitenAusschneiden->isEnabled());

    // The orientation button turns the current screen.
    const uint8_t before = m.Document()->GetScreenOrientation(view.ScreenIndex());
    m.BtnBlattausrichtung->click();
    EXPECT_NE(m.Document()->GetScreenOrientation(view.ScreenIndex()) != 0, before != 0);
}

TEST(MasterEditCommands, PageViewTakesDropsInsideTheMainWindow)
{
    EditWindow w;
    TMaster& m = *w.M;
    m.resize(1100, 780);
    m.show();
    QApplication::processEvents();
    TFBMainView& view = *m.MainView();
    TFBPage* page = m.Document()->GetLeftPage(view.ScreenIndex());
    if (!page)
        page = m.Document()->GetRightPage(view.ScreenIndex());
    ASSERT_NE(page, nullptr);
    ASSERT_GT(page->Pictures.Count(), 0);
    auto* frame = static_cast<TFBPictureElement*>(page->Pictures.GetItem(0));
    // The frame's centre on the view.
    view.SetupTransformation();
    TTransformation& t = view.Transformation();
    t.Push();
    m.Document()->TranslateToPage(t, page);
    float x, y;
    t.Transform(frame->CenterX, frame->CenterY, x, y);
    t.Pop();
    const QPoint at{int(x), int(y)};

    TMemoryStream stream;
    TFBColor(AnsiString("Blau"), RGB(0, 0, 255)).SaveToStream(stream);
    QMimeData mime;
    mime.setData(QStringLiteral("QwColor"),
                 QByteArray(reinterpret_cast<const char*>(stream.Memory()), qsizetype(stream.Size())));
    const Qt::DropActions actions = Qt::CopyAction;
    QDragEnterEvent enter(at, actions, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &enter);
    QDragMoveEvent move(at, actions, &mime, Qt::LeftButton, Qt::NoModifier);
    move.ignore();
    QApplication::sendEvent(&view, &move);
    EXPECT_TRUE(move.isAccepted());
    QDropEvent drop(QPointF(at), actions, &mime, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &drop);
    ASSERT_TRUE(frame->HasPicture());
    EXPECT_EQ(QColor(frame->GetBitmap()->pixel(0, 0)), QColor(0, 0, 255));
    EXPECT_TRUE(m.Document()->Modified);
}
