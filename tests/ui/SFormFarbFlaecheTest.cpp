// The colour-area panel: shows the area's colour and changes it through the
// colour dialog, recorded for undo and announced.
#include "PanelFixture.h"
#include "PaintBox.h"
#include "SFormFarbFlaeche.h"

#include <QApplication>
#include <QColorDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>
#include <optional>

using namespace paneltest;

namespace {

std::unique_ptr<TSFormFarbFlaeche> MakePanel()
{
    std::unique_ptr<TSFormFarbFlaeche> panel(TLocalizerForm::create<TSFormFarbFlaeche>(nullptr));
    panel->resize(400, 100);
    return panel;
}

QString Labels(TSFormFarbFlaeche& Panel)
{
    return Panel.lblR->text() + "," + Panel.lblG->text() + "," + Panel.lblB->text();
}

// Answers the colour dialog once it shows: picks Choice, or cancels.
void AnswerColorDialog(std::optional<QColor> Choice)
{
    QTimer::singleShot(0, [Choice] {
        auto* dlg = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dlg);
        if (Choice) {
            dlg->setCurrentColor(*Choice);
            dlg->accept();
        } else {
            dlg->reject();
        }
    });
}

}  // namespace

TEST(SFormFarbFlaeche, ShowsTheAreasColour)
{
    PanelBook b;
    auto panel = MakePanel();
    b.Frame->FillWithColor(RGB(10, 20, 230));
    panel->SetElement(b.Frame);
    EXPECT_EQ(panel->Color(), RGB(10, 20, 230));
    EXPECT_EQ(Labels(*panel), "10,20,230");
    const QImage shot = panel->pbFarbe->grab().toImage();
    EXPECT_EQ(shot.pixelColor(shot.width() / 2, shot.height() / 2), QColor(10, 20, 230));
    EXPECT_EQ(shot.pixelColor(0, 0), QColor(10, 20, 230));
}

TEST(SFormFarbFlaeche, NewColourIsRecordedFilledAndAnnounced)
{
    PanelBook b;
    auto panel = MakePanel();
    b.Frame->FillWithColor(RGB(10, 20, 30));
    panel->SetElement(b.Frame);

    AnswerColorDialog(QColor(200, 100, 50));
    panel->BtnFarbeAendern->click();
    EXPECT_EQ(Labels(*panel), "200,100,50");
    ASSERT_TRUE(b.Frame->GetBitmap());
    EXPECT_EQ(b.Frame->GetBitmap()->pixelColor(3, 3), QColor(200, 100, 50));
    EXPECT_FALSE(b.Frame->CanZoomAndTrack);
    EXPECT_EQ(PanelBook::LastUndoClass(), "TUndoFarbeEinfuegen");
    ASSERT_EQ(b.Notices.size(), 1u);
    EXPECT_EQ(b.Notices[0].Sender, panel.get());
    EXPECT_EQ(b.Notices[0].Element, b.Frame);

    // The panel follows the undo through the content notice.
    GetUndoManager().Undo(b.Doc);
    panel->ContentChanged(b.Frame->Page, b.Frame);
    EXPECT_EQ(Labels(*panel), "10,20,30");
}

TEST(SFormFarbFlaeche, CancelledDialogChangesNothing)
{
    PanelBook b;
    auto panel = MakePanel();
    b.Frame->FillWithColor(RGB(10, 20, 30));
    const int32_t ref = b.Frame->RefIndex;
    panel->SetElement(b.Frame);
    AnswerColorDialog(std::nullopt);
    panel->BtnFarbeAendern->click();
    EXPECT_EQ(Labels(*panel), "10,20,30");
    EXPECT_EQ(b.Frame->RefIndex, ref);
    EXPECT_EQ(GetUndoManager().Count(), 0);
    EXPECT_TRUE(b.Notices.empty());
}

TEST(SFormFarbFlaeche, IgnoresOtherElementsAndWorksUnbound)
{
    PanelBook b;
    auto panel = MakePanel();
    b.Frame->FillWithColor(RGB(1, 2, 3));
    b.Other->FillWithColor(RGB(4, 5, 6));
    panel->SetElement(b.Frame);
    panel->ContentChanged(b.Other->Page, b.Other);
    EXPECT_EQ(Labels(*panel), "1,2,3");
    // Unbound, the button opens nothing and changes nothing.
    panel->SetElement(nullptr);
    panel->BtnFarbeAendern->click();
    EXPECT_EQ(GetUndoManager().Count(), 0);
}
