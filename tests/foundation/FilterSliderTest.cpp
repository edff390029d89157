#include "uFilterPic.h"
#include "uFilterSlider.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTimer>
#include <cmath>

namespace {

struct Fixture {
    QWidget window;
    TFilterSlider* slider;
    int changes = 0;
    explicit Fixture(TSliderMode mode = smLinear)
    {
        slider = new TFilterSlider(&window);
        slider->SetSliderMode(mode);
        slider->setGeometry(0, 0, 510, 30);
        slider->OnChange = [this] { ++changes; };
        window.resize(600, 100);
        window.show();
        QApplication::processEvents();
    }
    void Key(int key, const QString& text = QString())
    {
        QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(slider, &e);
    }
    void TypeIntoEdit(const QString& text)
    {
        for (QChar c : text) {
            QKeyEvent e(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(slider->Edit(), &e);
        }
    }
    void Mouse(QEvent::Type type, int x)
    {
        const QPointF p(x, slider->TrackRect().center().y());
        QMouseEvent e(type, p, slider->mapToGlobal(p), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(slider, &e);
    }
};

void Wait(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 2);
}

}  // namespace

TEST(FilterSlider, GeometryFromFontAndEditBox)
{
    Fixture f;
    const QFontMetrics fm(f.slider->font());
    EXPECT_EQ(f.slider->height(), fm.height() + 10);
    const int editWidth = fm.horizontalAdvance("10,00") + 10;
    EXPECT_EQ(f.slider->Edit()->geometry(),
              QRect(510 - editWidth - 2, 2, editWidth, f.slider->height() - 4));
    const QRect t = f.slider->TrackRect();
    EXPECT_EQ(t.left(), 6);
    EXPECT_EQ(t.top(), 4);
    EXPECT_EQ(t.right() + 1, f.slider->Edit()->x() - 12);
    EXPECT_EQ(t.bottom() + 1, f.slider->height() - 3);
}

TEST(FilterSlider, LinearAndExponentialMappings)
{
    Fixture f;
    const QRect t = f.slider->TrackRect();
    int span = t.right() + 1 - t.left();
    span += span & 1;
    EXPECT_DOUBLE_EQ(f.slider->PixelToPosition(t.left()), -100);
    EXPECT_DOUBLE_EQ(f.slider->PixelToPosition(t.left() + span / 2), 0);
    EXPECT_DOUBLE_EQ(f.slider->PixelToPosition(t.left() + 100), 100.0 / span * 200 - 100);
    EXPECT_EQ(span % 2, 0);

    const int w = t.right() + 1 - t.left();
    struct Case {
        float pos;
        double offset;
    } linear[] = {{-100, 0}, {0, w / 2.0}, {100, double(w)}, {50, 0.75 * w}};
    for (const Case& c : linear) {
        f.slider->SetPosition(c.pos);
        EXPECT_EQ(f.slider->ThumbRect(), QRect(t.left() - 3 + int(std::nearbyint(c.offset)), t.top(), 6, t.height()))
            << c.pos;
    }

    f.slider->SetSliderMode(smExpo);
    EXPECT_FLOAT_EQ(f.slider->Position(), 10);  // re-clamped from 50
    EXPECT_NEAR(f.slider->PixelToPosition(t.left()), 0.1, 1e-12);
    EXPECT_NEAR(f.slider->PixelToPosition(t.left() + span / 2), 1, 1e-12);
    EXPECT_NEAR(f.slider->PixelToPosition(t.left() + span), 10, 1e-12);
    f.slider->SetPosition(1.0f);
    EXPECT_EQ(f.slider->ThumbRect().left() + 3, t.left() + int(std::nearbyint(w / 2.0)));  // the middle
    f.slider->SetPosition(0.05f);
    EXPECT_FLOAT_EQ(f.slider->Position(), 0.1f);
    EXPECT_EQ(f.slider->ThumbRect().left(), t.left() - 3);
}

TEST(FilterSlider, EditTextFollowsThePosition)
{
    Fixture f;
    struct Case {
        TSliderMode mode;
        float pos;
        const char* text;
    } cases[] = {{smLinear, 12.5f, "12"}, {smLinear, 13.5f, "14"}, {smLinear, -37.4f, "-37"},
                 {smLinear, 250, "100"},  {smExpo, 1.0f, "1,00"},   {smExpo, 2.345f, "2,35"},
                 {smExpo, 0.01f, "0,10"}};
    for (const Case& c : cases) {
        f.slider->SetSliderMode(c.mode);
        f.slider->SetPosition(c.pos);
        EXPECT_EQ(f.slider->Edit()->text(), c.text) << c.pos;
    }
}

TEST(FilterSlider, TypingIntoTheEditBox)
{
    Fixture f;
    f.slider->Edit()->clear();
    f.TypeIntoEdit("250");
    EXPECT_EQ(f.slider->Edit()->text(), "100");
    EXPECT_FLOAT_EQ(f.slider->Position(), 100);
    EXPECT_GE(f.changes, 1);  // reported at once without a delay
    f.TypeIntoEdit("x");
    EXPECT_EQ(f.slider->Edit()->text(), "100");  // a letter does nothing
    f.slider->Edit()->clear();
    f.TypeIntoEdit("-4,5");
    EXPECT_FLOAT_EQ(f.slider->Position(), -4.5f);
    EXPECT_EQ(f.slider->Edit()->text(), "-4,5");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    f.slider->Edit()->setFocus();
    QApplication::sendEvent(f.slider->Edit(), &enter);
    EXPECT_TRUE(f.slider->hasFocus());
    EXPECT_EQ(f.slider->Edit()->text(), "-4");  // rewritten when the box is left
}

TEST(FilterSlider, EditBoxKeepsItsEditingAndNavigationKeys)
{
    // Keys that type no character reach the edit box and the dialog even
    // though the platform delivers them with a control character as text.
    Fixture f;
    QLineEdit& edit = *f.slider->Edit();
    edit.setFocus();
    edit.setText("45");
    edit.setCursorPosition(0);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QString(QChar(0x7F)));
    QApplication::sendEvent(&edit, &del);
    EXPECT_EQ(edit.text(), "5");
    QKeyEvent selectAll(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, QString(QChar(0x01)));
    QApplication::sendEvent(&edit, &selectAll);
    EXPECT_EQ(edit.selectedText(), "5");
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, "\t");
    QApplication::sendEvent(&edit, &tab);
    EXPECT_FALSE(edit.hasFocus());
    EXPECT_EQ(edit.text(), "5");
}

TEST(FilterSlider, KeysStepInBothModes)
{
    Fixture f;
    f.slider->SetPosition(10);
    struct Case {
        int key;
        const char* text;
        float linear;
        float expo;  // starting from 1.0
    } cases[] = {{Qt::Key_Left, "", 9, 0.9f},     {Qt::Key_Up, "", 9, 0.9f},
                 {Qt::Key_Right, "", 11, 1.1f},   {Qt::Key_Down, "", 11, 1.1f},
                 {Qt::Key_PageUp, "", 0, 0.1f},   {Qt::Key_PageDown, "", 20, 2},
                 {Qt::Key_Home, "", -100, 0.1f},  {Qt::Key_End, "", 100, 10},
                 {Qt::Key_R, "r", 0, 1}};
    for (const Case& c : cases) {
        f.slider->SetSliderMode(smLinear);
        f.slider->SetPosition(10);
        f.Key(c.key, c.text);
        EXPECT_FLOAT_EQ(f.slider->Position(), c.linear) << c.key;
        f.slider->SetSliderMode(smExpo);
        f.slider->SetPosition(1.0f);
        f.Key(c.key, c.text);
        EXPECT_NEAR(f.slider->Position(), c.expo, 1e-6) << c.key;
    }
}

TEST(FilterSlider, DragReportsOnceAfterTheDelay)
{
    Fixture f;
    f.slider->SetChangeDelay(400);
    EXPECT_EQ(f.slider->ChangeDelay(), 400);
    const QRect t = f.slider->TrackRect();
    f.Mouse(QEvent::MouseButtonPress, t.left() + 10);
    EXPECT_TRUE(f.slider->hasFocus());
    for (int x = t.left() + 11; x < t.left() + 60; x += 3) {
        f.Mouse(QEvent::MouseMove, x);
        QApplication::processEvents();
    }
    f.Mouse(QEvent::MouseButtonRelease, t.left() + 60);
    EXPECT_EQ(f.changes, 0);
    EXPECT_EQ(f.slider->Edit()->text(), QString::number(int(std::nearbyint(f.slider->Position()))));
    QElapsedTimer clock;
    clock.start();
    while (f.changes == 0 && clock.elapsed() < 15000)
        QApplication::processEvents(QEventLoop::AllEvents, 2);
    EXPECT_EQ(f.changes, 1);
    EXPECT_GE(clock.elapsed(), 200);  // each move restarted the delay
    Wait(500);
    EXPECT_EQ(f.changes, 1);
    EXPECT_FALSE(f.slider->ChangeTimer()->isActive());
    EXPECT_NEAR(f.slider->Position(), f.slider->PixelToPosition(t.left() + 59), 1e-4);
}

TEST(FilterPic, FitsTurnsAndScalesThePicture)
{
    QWidget window;
    auto* pic = new TFilterPic(&window);
    pic->setGeometry(0, 0, 300, 225);
    EXPECT_EQ(pic->GetScaledBitmap(), nullptr);
    // Left half red, right half blue, 200 x 100.
    QImage src(200, 100, QImage::Format_ARGB32);
    src.fill(qRgb(0, 0, 255));
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            src.setPixel(x, y, qRgb(255, 0, 0));
    pic->SetPicture(src, 0);
    ASSERT_NE(pic->Bitmap(), nullptr);
    EXPECT_EQ(pic->Bitmap()->size(), QSize(300, 150));
    EXPECT_EQ(pic->Bitmap()->pixel(10, 75), qRgb(255, 0, 0));
    EXPECT_EQ(pic->Bitmap()->pixel(290, 75), qRgb(0, 0, 255));

    pic->SetPicture(src, 90);  // clockwise: the red half goes to the top
    EXPECT_EQ(pic->Bitmap()->size(), QSize(113, 225));
    EXPECT_EQ(pic->Bitmap()->pixel(56, 10), qRgb(255, 0, 0));
    EXPECT_EQ(pic->Bitmap()->pixel(56, 215), qRgb(0, 0, 255));
    pic->SetPicture(src, 270);
    EXPECT_EQ(pic->Bitmap()->pixel(56, 10), qRgb(0, 0, 255));

    pic->SetPicture(src, 0);
    pic->resize(150, 225);
    const std::unique_ptr<QImage> scaled = pic->GetScaledBitmap();
    EXPECT_EQ(scaled->size(), QSize(150, 75));
    EXPECT_EQ(scaled->pixel(140, 37), qRgb(0, 0, 255));
    EXPECT_EQ(scaled->pixel(5, 37), qRgb(255, 0, 0));

    // Painted centred on the view colour.
    pic->SetColor(clBlack);
    pic->resize(300, 225);
    pic->SetPicture(src, 0);
    const QImage shot = pic->grab().toImage();
    EXPECT_EQ(shot.pixel(150, 10), qRgb(0, 0, 0));
    EXPECT_EQ(shot.pixel(10, 112), qRgb(255, 0, 0));
    EXPECT_EQ(shot.pixel(290, 112), qRgb(0, 0, 255));
}
