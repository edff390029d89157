// The picture panel: its controls follow the bound frame, the traffic light
// shows the print quality, and every change is recorded for undo first and
// announced with the panel as sender.
#include "PanelFixture.h"
#include "PaintBox.h"
#include "SFormBild.h"
#include "uModalDialog.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QSlider>
#include <QToolButton>
#include <gtest/gtest.h>

#include <memory>

using namespace paneltest;

namespace {

std::unique_ptr<TSFormBild> MakePanel()
{
    std::unique_ptr<TSFormBild> panel(TLocalizerForm::create<TSFormBild>(nullptr));
    panel->resize(640, 120);
    return panel;
}

// Which lamp of the shown light is lit: 0 red, 1 yellow, 2 green, 3 none.
int LitLamp(TSFormBild& Panel)
{
    const QImage shot = Panel.pbAmpel->grab().toImage();
    for (int lamp = 0; lamp < 3; ++lamp) {
        const QColor c = shot.pixelColor(8, 6 + lamp * 10);
        if (std::max({c.red(), c.green(), c.blue()}) > 150)
            return lamp;
    }
    return 3;
}

void Press(QWidget& W)
{
    pvtest::Press(W, QPoint(2, 2), Qt::RightButton);
}

void Release(QWidget& W)
{
    pvtest::Release(W, QPoint(2, 2), Qt::RightButton);
}

}  // namespace

TEST(SFormBild, LightAndDpiFollowTheResolution)
{
    PanelBook b;
    auto panel = MakePanel();
    const struct {
        int Pixels;
        int Lamp;
    } cases[] = {{1, 0}, {99, 0}, {100, 1}, {199, 1}, {200, 2}, {1200, 2}};
    for (const auto& c : cases) {
        pvtest::GivePicture(b.Frame, 0, c.Pixels, c.Pixels);
        panel->SetElement(b.Frame);
        EXPECT_EQ(panel->lbldpi->text(), QString::number(c.Pixels) + " dpi") << c.Pixels;
        EXPECT_EQ(LitLamp(*panel), c.Lamp) << c.Pixels;
        // Magenta is transparent: the corner beside the housing shows the panel.
        EXPECT_NE(panel->pbAmpel->grab().toImage().pixel(0, 0), 0xFFFF00FFu);
    }
}

TEST(SFormBild, FrameWithoutPictureShowsGreyLightAndDisablesTools)
{
    PanelBook b;
    auto panel = MakePanel();
    pvtest::GivePicture(b.Frame, 0, 300, 300);
    panel->SetElement(b.Frame);
    EXPECT_TRUE(panel->ZoomTrackbar->isEnabled());
    EXPECT_EQ(panel->lbldpi->text(), "300 dpi");

    // Binding the empty frame does not leave the previous frame's state.
    panel->SetElement(b.Other);
    for (QWidget* w : std::initializer_list<QWidget*>{panel->ZoomTrackbar, panel->BtnBildDrehenRechts,
                                                      panel->BtnBildDrehenLinks, panel->BtnBildFilter})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_TRUE(panel->lbldpi->text().isEmpty());
    EXPECT_EQ(LitLamp(*panel), 3);
    const QColor grey = panel->pbAmpel->grab().toImage().pixelColor(8, 16);
    EXPECT_EQ(grey, QColor(90, 90, 90));

    // A picture arriving by another window's change enables the tools.
    pvtest::GivePicture(b.Other, 0, 150, 150);
    panel->ContentChanged(b.Other->Page, b.Other);
    EXPECT_TRUE(panel->BtnBildFilter->isEnabled());
    EXPECT_FALSE(panel->lbldpi->text().isEmpty());
}

TEST(SFormBild, ContentChangedActsOnlyOnTheBoundFrame)
{
    PanelBook b;
    auto panel = MakePanel();
    pvtest::GivePicture(b.Frame, 0, 300, 300);
    pvtest::GivePicture(b.Other);
    panel->SetElement(b.Frame);
    b.Frame->ClearPicture();
    panel->ContentChanged(b.Other->Page, b.Other);
    EXPECT_TRUE(panel->BtnBildDrehenLinks->isEnabled());
    EXPECT_EQ(panel->lbldpi->text(), "300 dpi");
    panel->ContentChanged(b.Frame->Page, b.Frame);
    EXPECT_FALSE(panel->BtnBildDrehenLinks->isEnabled());
    EXPECT_TRUE(panel->lbldpi->text().isEmpty());
}

TEST(SFormBild, TrackbarShowsZoomWithoutChangingIt)
{
    PanelBook b;
    auto panel = MakePanel();
    pvtest::GivePicture(b.Frame, 0, 300, 300);
    const struct {
        float Zoom;
        int Position;
    } cases[] = {{2.346f, 235}, {1.125f, 112}, {1.375f, 138}, {4.0f, 400}};
    for (const auto& c : cases) {
        b.Frame->Zoom = c.Zoom;
        panel->SetElement(b.Frame);
        EXPECT_EQ(panel->ZoomTrackbar->value(), c.Position) << c.Zoom;
        // Showing the zoom is no change: the exact zoom stays, nothing is recorded.
        EXPECT_EQ(b.Frame->Zoom, c.Zoom);
    }
    EXPECT_EQ(GetUndoManager().Count(), 0);
    EXPECT_TRUE(b.Notices.empty());
}

TEST(SFormBild, ZoomDragLeavesOneUndoItem)
{
    PanelBook b;
    auto panel = MakePanel();
    pvtest::GivePicture(b.Frame, 0, 200, 200);
    panel->SetElement(b.Frame);
    QSlider& bar = *panel->ZoomTrackbar;

    Press(bar);
    bar.setValue(180);
    bar.setValue(250);
    Release(bar);
    EXPECT_FLOAT_EQ(b.Frame->Zoom, 2.5f);
    EXPECT_EQ(GetUndoManager().Count(), 1);
    EXPECT_EQ(PanelBook::LastUndoClass(), "TUndoBildZoomPan");
    ASSERT_EQ(b.Notices.size(), 2u);
    EXPECT_EQ(b.Notices[1].Sender, panel.get());
    EXPECT_EQ(b.Notices[1].Element, b.Frame);
    EXPECT_EQ(b.Notices[1].Page, b.Frame->Page);
    EXPECT_EQ(panel->lbldpi->text(), "80 dpi");
    EXPECT_EQ(LitLamp(*panel), 0);

    GetUndoManager().Undo(b.Doc);
    EXPECT_FLOAT_EQ(b.Frame->Zoom, 1.0f);

    // A drag back to where it started leaves nothing.
    Press(bar);
    bar.setValue(300);
    bar.setValue(250);
    Release(bar);
    EXPECT_EQ(GetUndoManager().Count(), 0);
}

TEST(SFormBild, PressWithoutFrameDropsNoOlderItem)
{
    PanelBook b;
    auto panel = MakePanel();
    pvtest::GivePicture(b.Frame);
    panel->SetElement(b.Frame);
    GetUndoManager().AddBildDrehen(b.Frame);
    panel->SetElement(nullptr);
    Press(*panel->ZoomTrackbar);
    Release(*panel->ZoomTrackbar);
    EXPECT_EQ(GetUndoManager().Count(), 1);
    EXPECT_EQ(PanelBook::LastUndoClass(), "TUndoBildDrehen");
}

TEST(SFormBild, WheelStepsAreRecordedAsOneItem)
{
    PanelBook b;
    auto panel = MakePanel();
    pvtest::GivePicture(b.Frame);
    panel->SetElement(b.Frame);
    panel->ZoomTrackbar->setValue(110);
    panel->ZoomTrackbar->setValue(120);
    EXPECT_FLOAT_EQ(b.Frame->Zoom, 1.2f);
    EXPECT_EQ(GetUndoManager().Count(), 1);
    GetUndoManager().Undo(b.Doc);
    EXPECT_FLOAT_EQ(b.Frame->Zoom, 1.0f);
}

TEST(SFormBild, RotateTurnsRecordsAndAnnounces)
{
    const struct {
        const char* Name;
        bool Left;
        QPoint Marker;  // where the red top-left corner goes
    } cases[] = {{"left", true, {2, 37}}, {"right", false, {27, 2}}};
    for (const auto& c : cases) {
        PanelBook b;
        auto panel = MakePanel();
        auto img = std::make_unique<QImage>(40, 30, QImage::Format_RGB32);
        img->fill(Qt::white);
        QPainter(img.get()).fillRect(0, 0, 5, 5, Qt::red);
        b.Frame->RefIndex = BildManager().AddBitmap(std::move(img));
        b.Frame->CanZoomAndTrack = true;
        panel->SetElement(b.Frame);

        (c.Left ? panel->BtnBildDrehenLinks : panel->BtnBildDrehenRechts)->click();
        const QImage* turned = b.Frame->GetBitmap();
        ASSERT_TRUE(turned) << c.Name;
        EXPECT_EQ(turned->size(), QSize(30, 40)) << c.Name;
        EXPECT_EQ(turned->pixelColor(c.Marker), QColor(Qt::red)) << c.Name;
        EXPECT_EQ(PanelBook::LastUndoClass(), "TUndoBildDrehen") << c.Name;
        ASSERT_EQ(b.Notices.size(), 1u) << c.Name;
        EXPECT_EQ(b.Notices[0].Sender, panel.get());
        EXPECT_EQ(b.Notices[0].Element, b.Frame);

        GetUndoManager().Undo(b.Doc);
        ASSERT_TRUE(b.Frame->GetBitmap());
        EXPECT_EQ(b.Frame->GetBitmap()->size(), QSize(40, 30)) << c.Name;
    }
}

TEST(SFormBild, FilterDialogsRecordOnlyWhenConfirmed)
{
    struct ModalResult {
        explicit ModalResult(int R)
        {
            ShowModalHook = [R](QDialog& D) {
                D.done(R);
                return D.result();
            };
        }
        ~ModalResult() { ShowModalHook = nullptr; }
    };
    for (int which = 0; which < 4; ++which) {
        PanelBook b;
        auto panel = MakePanel();
        pvtest::GivePicture(b.Frame, which, 60, 40);
        panel->SetElement(b.Frame);
        QAction* item[] = {panel->mnuHKIG, panel->mnuHSL, panel->mnuSWCol, panel->mnuRedEye};
        {
            ModalResult cancel(QDialog::Rejected);
            item[which]->trigger();
        }
        EXPECT_EQ(GetUndoManager().Count(), 0) << which;
        EXPECT_TRUE(b.Notices.empty()) << which;
        // A dialog that fails is reported and leaves no item behind.
        ShowModalHook = [](QDialog&) -> int { throw Exception("failed"); };
        item[which]->trigger();
        ShowModalHook = nullptr;
        EXPECT_EQ(GetUndoManager().Count(), 0) << which;
        EXPECT_TRUE(b.Notices.empty()) << which;
        {
            ModalResult ok(QDialog::Accepted);
            item[which]->trigger();
        }
        EXPECT_EQ(GetUndoManager().Count(), 1) << which;
        EXPECT_EQ(PanelBook::LastUndoClass(), "TUndoBildFilter") << which;
        ASSERT_EQ(b.Notices.size(), 1u) << which;
        EXPECT_EQ(b.Notices[0].Sender, panel.get());
        EXPECT_EQ(b.Notices[0].Element, b.Frame);
    }
}

TEST(SFormBild, FilterButtonPopsUpTheMenuBelowIt)
{
    PanelBook b;
    auto panel = MakePanel();
    pvtest::GivePicture(b.Frame);
    panel->SetElement(b.Frame);
    panel->show();
    panel->BtnBildFilter->click();
    EXPECT_TRUE(panel->pmBildFilter->isVisible());
    const QRect button = panel->BtnBildFilter->geometry();
    EXPECT_EQ(panel->pmBildFilter->pos(), panel->mapToGlobal(QPoint(button.left(), button.bottom() + 1)));
    panel->pmBildFilter->hide();
}

TEST(SFormBild, TextsFollowTheLanguage)
{
    PanelBook b;
    auto panel = MakePanel();
    pvtest::GivePicture(b.Frame, 0, 150, 150);
    panel->SetElement(b.Frame);
    Localizer().SetLanguage(2);
    EXPECT_EQ(panel->BtnBildDrehenRechts->text(), QString::fromUtf8("Tourner à droite"));
    EXPECT_EQ(panel->mnuRedEye->text(), "Supprimer les yeux rouges...");
    EXPECT_EQ(panel->lbldpi->text(), "150 ppp");
    // The longer captions push the following controls along.
    EXPECT_GE(panel->BtnBildDrehenRechts->width(), panel->BtnBildDrehenRechts->sizeHint().width());
    EXPECT_GT(panel->BtnBildFilter->x(), panel->BtnBildDrehenRechts->geometry().right());
    EXPECT_GT(panel->ZoomTrackbar->x(), panel->BtnBildFilter->geometry().right());
    Localizer().SetLanguage(0);
    EXPECT_EQ(panel->BtnBildDrehenRechts->text(), "Rechts drehen");
    EXPECT_EQ(panel->lbldpi->text(), "150 dpi");
}
