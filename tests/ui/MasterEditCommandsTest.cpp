// The main window's edit menu and page-view buttons: cut, copy, paste,
// duplicate, text box and orientation go to the page view.
#include "FMainform.h"
#include "uFotobuchDocument.h"
#include "uFotobuchMainview.h"
#include "uModalDialog.h"
#include "uUndo.h"

#include <QAction>
#include <QClipboard>
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
