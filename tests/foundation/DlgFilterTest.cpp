#include "DlgFilter.h"
#include "DlgRoteAugen.h"
#include "uFilterPic.h"
#include "uPixPinsel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <memory>

namespace {

// A small landscape: hue running across, lighter towards the top, and a red
// spot with a darker rim in the middle.
QImage Landscape(int w = 400, int h = 300)
{
    QImage img(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixelColor(x, y, QColor::fromHsl(x * 300 / w, 160, 200 - y * 150 / h));
    for (int y = -12; y <= 12; ++y)
        for (int x = -12; x <= 12; ++x)
            if (x * x + y * y <= 144)
                img.setPixel(w / 2 + x, h / 2 + y, x * x + y * y <= 64 ? qRgb(210, 30, 40) : qRgb(60, 30, 20));
    return img;
}

template <class T>
std::unique_ptr<T> Create()
{
    return std::unique_ptr<T>(TLocalizerForm::create<T>(nullptr));
}

bool Grey(QRgb p)
{
    return qRed(p) == qGreen(p) && qGreen(p) == qBlue(p);
}

// Saves a picture of the dialog, in a folder of this run's own; a picture
// that was written and shows its preview is part of the check.
void Screenshot(QWidget& dlg, const char* name)
{
    dlg.show();
    QApplication::processEvents();
    static const QTemporaryDir dir;
    EXPECT_TRUE(dlg.grab().save(dir.filePath(QString::fromLatin1(name) + ".png"))) << name;
    dlg.hide();
}

}  // namespace

TEST(DlgFilter, HKIGPreviewResetAndOK)
{
    QImage picture = Landscape();
    const QImage original = picture;
    auto dlg = Create<TDlgFilterHKIG>();
    EXPECT_EQ(dlg->windowTitle(), "Bildnachbearbeitung");
    EXPECT_EQ(dlg->Slider(3)->SliderMode(), smExpo);
    EXPECT_FLOAT_EQ(dlg->Slider(3)->Position(), 1.0f);
    EXPECT_EQ(dlg->Slider(0)->geometry().topLeft(), QPoint(90, 250));
    EXPECT_EQ(dlg->Slider(3)->geometry().topLeft(), QPoint(90, 340));
    EXPECT_EQ(dlg->Slider(2)->ChangeDelay(), 40);
    EXPECT_EQ(dlg->PicAlt()->size(), QSize(300, 225));
    EXPECT_EQ(dlg->PicAlt()->Color(), clWindow);

    dlg->SetPicture(&picture, 0);
    const std::unique_ptr<QImage> unfiltered = dlg->PicAlt()->GetScaledBitmap();
    ASSERT_NE(dlg->PicNeu()->Bitmap(), nullptr);
    EXPECT_EQ(*dlg->PicNeu()->Bitmap(), *unfiltered);

    dlg->Slider(0)->SetPosition(40);
    dlg->Slider(3)->SetPosition(2);
    dlg->SliderChange();
    QImage expected = *unfiltered;
    HKIGFilter(expected, nullptr, 0.4f, 0, 0, 2);
    EXPECT_EQ(*dlg->PicNeu()->Bitmap(), expected);
    Screenshot(*dlg, "DlgFilterHKIG");

    dlg->BtnZuruecksetzen()->click();
    EXPECT_FLOAT_EQ(dlg->Slider(0)->Position(), 0);
    EXPECT_FLOAT_EQ(dlg->Slider(3)->Position(), 1);
    EXPECT_EQ(*dlg->PicNeu()->Bitmap(), *unfiltered);  // the preview is the unfiltered picture
    EXPECT_EQ(picture, original);                       // only OK changes the picture

    dlg->Slider(1)->SetPosition(-50);
    dlg->BtnOK()->click();
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(dlg->ProgressBar()->value(), 100);
    QImage full = original;
    HKIGFilter(full, nullptr, 0, -0.5f, 0, 1);
    EXPECT_EQ(picture, full);
}

TEST(DlgFilter, HSLPreviewOnBlack)
{
    QImage picture = Landscape();
    auto dlg = Create<TDlgFilterHSL>();
    EXPECT_EQ(dlg->PicNeu()->Color(), clBlack);
    dlg->SetPicture(&picture, 90);
    EXPECT_EQ(dlg->PicAlt()->Bitmap()->size(), QSize(169, 225));  // turned and fitted
    dlg->Slider(0)->SetPosition(100);
    dlg->Slider(1)->SetPosition(-20);
    dlg->SliderChange();
    QImage expected = *dlg->PicAlt()->GetScaledBitmap();
    HSLFilter(expected, nullptr, 0.5f, -0.2f, 0);
    EXPECT_EQ(*dlg->PicNeu()->Bitmap(), expected);
    Screenshot(*dlg, "DlgFilterHSL");
    const QImage shot = dlg->PicNeu()->grab().toImage();
    EXPECT_EQ(shot.pixel(5, 112), qRgb(0, 0, 0));  // beside the fitted picture
}

TEST(DlgFilter, SWColTintAndBlackAndWhite)
{
    QImage picture = Landscape();
    auto dlg = Create<TDlgFilterSWCol>();
    EXPECT_FLOAT_EQ(dlg->Slider(0)->Position(), -80);
    EXPECT_FLOAT_EQ(dlg->Slider(1)->Position(), -40);
    dlg->SetPicture(&picture, 0);
    dlg->SliderChange();
    QImage tint = *dlg->PicAlt()->GetScaledBitmap();
    SWColFilter(tint, nullptr, 0.1f, 0.3f);
    EXPECT_EQ(*dlg->PicNeu()->Bitmap(), tint);
    Screenshot(*dlg, "DlgFilterSWCol");

    dlg->Slider(0)->SetPosition(-30);
    dlg->BtnSchwarzWeiss()->click();
    EXPECT_FLOAT_EQ(dlg->Slider(0)->Position(), -30);  // the hue stays
    EXPECT_FLOAT_EQ(dlg->Slider(1)->Position(), -100);
    const QImage& preview = *dlg->PicNeu()->Bitmap();
    for (int y = 0; y < preview.height(); y += 17)
        for (int x = 0; x < preview.width(); x += 13)
            ASSERT_TRUE(Grey(preview.pixel(x, y))) << x << "," << y;

    dlg->BtnZuruecksetzen()->click();
    EXPECT_FLOAT_EQ(dlg->Slider(0)->Position(), -80);
    EXPECT_FLOAT_EQ(dlg->Slider(1)->Position(), -40);
    dlg->BtnOK()->click();
    QImage full = Landscape();
    SWColFilter(full, nullptr, 0.1f, 0.3f);
    EXPECT_EQ(picture, full);
}

TEST(PixPinsel, RoundMasks)
{
    auto count = [](TPixPinsel& p) {
        int n = 0;
        for (int y = 0; y < p.Height(); ++y)
            for (int x = 0; x < p.Width(); ++x)
                n += p.Mask(x, y) == 255;
        return n;
    };
    TPixPinsel p(3, 3);
    p.MakeRound();
    EXPECT_EQ(count(p), 9);
    p.SetSize(5, 5);
    p.MakeRound();
    EXPECT_EQ(count(p), 21);
    for (auto [x, y] : {std::pair{0, 0}, {4, 0}, {0, 4}, {4, 4}})
        EXPECT_EQ(p.Mask(x, y), 0);
    EXPECT_EQ(p.Mask(1, 0), 255);
    p.SetSize(9, 9);
    p.MakeRound();
    EXPECT_EQ(count(p), 69);
    EXPECT_EQ(p.Mask(9, 4), 0);  // outside the mask
    p.SetSize(0, -3);
    EXPECT_EQ(p.Mask(0, 0), 0);
    EXPECT_EQ(p.Width(), 1);
}

TEST(DlgRoteAugen, BrushTurnsRedIntoTheMeanOfGreenAndBlue)
{
    auto dlg = Create<TDlgRoteAugen>();
    EXPECT_EQ(dlg->BrushSize(), 5);
    EXPECT_TRUE(dlg->BtnPinsel(1)->isChecked());
    EXPECT_TRUE(dlg->BtnDrag()->isChecked());
    QImage src(20, 10, QImage::Format_RGB32);
    src.fill(qRgb(210, 30, 40));                 // red: hue 0.99
    src.setPixel(10, 5, qRgb(40, 200, 60));      // green stays
    src.setPixel(11, 5, qRgb(200, 120, 40));     // orange, hue 0.083: corrected
    src.setPixel(12, 5, qRgb(200, 140, 40));     // hue 0.104: stays
    dlg->SetPicture(src, 0);
    EXPECT_EQ(dlg->PaintBox()->size(), QSize(20, 10));
    dlg->CorrectAt(11, 5);  // brush covers 9..13 x 3..7 without the corners
    const QImage& p = *dlg->Picture();
    EXPECT_EQ(p.pixel(9, 4), qRgb(35, 30, 40));
    EXPECT_EQ(p.pixel(10, 5), qRgb(40, 200, 60));
    EXPECT_EQ(p.pixel(11, 5), qRgb(80, 120, 40));
    EXPECT_EQ(p.pixel(12, 5), qRgb(200, 140, 40));
    EXPECT_EQ(p.pixel(9, 3), qRgb(210, 30, 40));   // corner of the mask
    EXPECT_EQ(p.pixel(14, 5), qRgb(210, 30, 40));  // outside the brush

    // At the edge only pixels inside the picture change.
    dlg->CorrectAt(0, 0);
    EXPECT_EQ(p.pixel(0, 0), qRgb(35, 30, 40));
    EXPECT_EQ(p.pixel(2, 2), qRgb(210, 30, 40));  // corner cell of the mask
    dlg->BtnPinsel(0)->click();
    EXPECT_EQ(dlg->BrushSize(), 3);
    dlg->CorrectAt(19, 9);
    EXPECT_EQ(p.pixel(18, 8), qRgb(35, 30, 40));
    EXPECT_EQ(src.pixel(0, 0), qRgb(210, 30, 40));  // the caller's picture is untouched
}

TEST(DlgRoteAugen, ZoomLimitsAndCentre)
{
    auto dlg = Create<TDlgRoteAugen>();
    dlg->show();
    QImage big(2000, 300, QImage::Format_ARGB32);
    big.fill(qRgb(90, 120, 150));
    dlg->SetPicture(big, 0);
    for (int i = 0; i < 12; ++i)
        dlg->ZoomAt(10, 10, true);
    EXPECT_FLOAT_EQ(dlg->Zoom(), 15);  // 30000 / 2000
    EXPECT_EQ(dlg->PaintBox()->width(), 30000);
    for (int i = 0; i < 12; ++i)
        dlg->ZoomAt(0, 0, false);
    EXPECT_FLOAT_EQ(dlg->Zoom(), 0.25f);

    QImage small(200, 100, QImage::Format_ARGB32);
    small.fill(qRgb(90, 120, 150));
    dlg->SetPicture(small, 0);
    dlg->ZoomAt(0, 0, true);  // 0.375
    dlg->ZoomAt(100, 50, true);
    dlg->ZoomAt(100, 50, true);  // 0.84375, then 1.265625
    EXPECT_FLOAT_EQ(dlg->Zoom(), 0.25f * 1.5f * 1.5f * 1.5f);
    for (int i = 0; i < 10; ++i)
        dlg->ZoomAt(0, 0, true);
    EXPECT_FLOAT_EQ(dlg->Zoom(), 20);
    EXPECT_EQ(dlg->PaintBox()->size(), QSize(4000, 2000));
    // The point under the mouse ends in the middle of the view.
    dlg->ZoomAt(2000, 1000, false);
    QScrollArea* sb = dlg->ScrollBox();
    const QSize view = sb->viewport()->size();
    EXPECT_NEAR(sb->horizontalScrollBar()->value(), 100 * dlg->Zoom() - view.width() / 2.0, 1);
    EXPECT_NEAR(sb->verticalScrollBar()->value(), 50 * dlg->Zoom() - view.height() / 2.0, 1);
}

TEST(DlgRoteAugen, BrushOutlineAndScreenshot)
{
    auto dlg = Create<TDlgRoteAugen>();
    QImage picture = Landscape();
    dlg->SetPicture(picture, 0);
    dlg->show();
    QApplication::processEvents();
    dlg->BtnRedEye()->click();
    EXPECT_EQ(dlg->Mode(), 1);
    EXPECT_EQ(dlg->PaintBox()->cursor().shape(), Qt::BlankCursor);
    const QPoint at(200, 150);
    QMouseEvent move(QEvent::MouseMove, QPointF(at), dlg->PaintBox()->mapToGlobal(QPointF(at)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(dlg->PaintBox(), &move);
    EXPECT_EQ(dlg->OutlineRect(), QRect(QPoint(198, 148), QPoint(203, 153)));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), dlg->PaintBox()->mapToGlobal(QPointF(at)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dlg->PaintBox(), &press);
    EXPECT_EQ(dlg->Picture()->pixel(200, 150), qRgb(35, 30, 40));
    const QImage shot = dlg->PaintBox()->grab(QRect(190, 140, 20, 20)).toImage();
    EXPECT_NE(shot.pixel(8, 8), shot.pixel(5, 5));  // the inverted outline
    Screenshot(*dlg, "DlgRoteAugen");
    dlg->BtnDrag()->click();
    EXPECT_FALSE(dlg->OutlineRect().isValid());
}

TEST(DlgRoteAugen, DraggingScrollsAndAClickZooms)
{
    auto dlg = Create<TDlgRoteAugen>();
    QImage wide(2000, 300, QImage::Format_ARGB32);
    wide.fill(qRgb(90, 120, 150));
    dlg->SetPicture(wide, 0);
    dlg->show();
    QApplication::processEvents();
    QWidget* pb = dlg->PaintBox();
    auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButton button) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
        QMouseEvent e(type, QPointF(at), pb->mapToGlobal(QPointF(at)), type == QEvent::MouseMove ? Qt::NoButton : button,
                      held, Qt::NoModifier);
        QApplication::sendEvent(pb, &e);
    };
    QScrollBar* h = dlg->ScrollBox()->horizontalScrollBar();
    send(QEvent::MouseButtonPress, QPoint(300, 100), Qt::LeftButton);
    send(QEvent::MouseMove, QPoint(260, 100), Qt::LeftButton);
    EXPECT_EQ(h->value(), 40);  // the picture moves with the pointer
    send(QEvent::MouseButtonRelease, pb->mapFromGlobal(pb->mapToGlobal(QPoint(260, 100))), Qt::LeftButton);
    EXPECT_FLOAT_EQ(dlg->Zoom(), 1);  // moved too far for a click

    const QPoint at(500, 100);
    send(QEvent::MouseButtonPress, at, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, at + QPoint(2, -2), Qt::LeftButton);
    EXPECT_FLOAT_EQ(dlg->Zoom(), 1.5f);
    send(QEvent::MouseButtonPress, at, Qt::RightButton);
    send(QEvent::MouseButtonRelease, at, Qt::RightButton);
    EXPECT_FLOAT_EQ(dlg->Zoom(), 1);

    // With Ctrl the wheel zooms: towards the user (negative delta) zooms in.
    QWheelEvent wheel(QPointF(at), pb->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(pb, &wheel);
    EXPECT_FLOAT_EQ(dlg->Zoom(), 1.5f);
}
