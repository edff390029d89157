// The picture and colour-area panels in the main window: bound to the focused
// frame, filling their tabs, hearing the other windows' changes; the splitter
// above the side panels carries the grip.
#include "FBPictureElement.h"
#include "FMainform.h"
#include "PageViewFixture.h"
#include "SFormBild.h"
#include "SFormFarbFlaeche.h"
#include "SplitterGrip.h"
#include "uFotobuchMainview.h"
#include "uModalDialog.h"
#include "uMulticaster.h"
#include "uUndo.h"

#include <QLabel>
#include <QSplitter>
#include <QTabWidget>
#include <QToolButton>
#include <gtest/gtest.h>

#include <memory>

TEST(Master, PicturePanelsFollowTheFocusedFrame)
{
    ShowModalHook = [](QDialog& D) {
        D.setResult(QDialog::Rejected);
        return D.result();
    };
    std::unique_ptr<TMaster> m(TLocalizerForm::create<TMaster>(nullptr));
    m->resize(1000, 700);
    m->show();
    TFBPage* page = m->Document()->Pages.GetPage(0);
    TFBPictureElement* photo = pvtest::AddFrame(page, 40, 40, 30, 20);
    pvtest::GivePicture(photo);
    TFBPictureElement* area = pvtest::AddFrame(page, 90, 40, 30, 20);
    area->FillWithColor(RGB(12, 34, 56));

    m->MainView()->SetFocusedElement(photo);
    ASSERT_TRUE(m->SFormBild);
    EXPECT_EQ(m->SFormBild->Element(), photo);
    EXPECT_EQ(m->pagecontrolBottom->currentWidget(), m->tsBild);
    EXPECT_EQ(m->SFormBild->parentWidget(), m->tsBild);
    EXPECT_EQ(m->SFormBild->geometry(), m->tsBild->rect());
    EXPECT_TRUE(m->SFormBild->BtnBildFilter->isEnabled());

    m->MainView()->SetFocusedElement(area);
    EXPECT_EQ(m->SFormBild->Element(), nullptr);
    EXPECT_EQ(m->SFormFarbFlaeche->Element(), area);
    EXPECT_EQ(m->pagecontrolBottom->currentWidget(), m->tsFarbflaeche);
    EXPECT_EQ(m->SFormFarbFlaeche->lblB->text(), "56");

    // Another window's change of the bound frame reaches the panel; the
    // panel's own change marks the document modified.
    m->MainView()->SetFocusedElement(photo);
    photo->ClearPicture();
    GetMulticaster().ElementChanged(m->MainView(), photo);
    EXPECT_FALSE(m->SFormBild->BtnBildFilter->isEnabled());
    pvtest::GivePicture(photo, 2);
    GetMulticaster().ElementChanged(m->MainView(), photo);
    m->Document()->Modified = false;
    m->SFormBild->BtnBildDrehenLinks->click();
    EXPECT_TRUE(m->Document()->Modified);
    EXPECT_EQ(GetUndoManager().Count(), 1);

    EXPECT_TRUE(dynamic_cast<TGripSplitter*>(m->Splitter2));
    m.reset();
    GetUndoManager().Clear();
    ShowModalHook = nullptr;
}
