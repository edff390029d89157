#include "KvSpinEdit.h"

#include <gtest/gtest.h>

#include <limits>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

namespace {

void SendMouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButtons buttons)
{
    QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)),
                  type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void Key(QWidget* w, int key, const QString& text = QString())
{
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &e);
}

void Type(QWidget* w, const QString& text)
{
    for (QChar c : text)
        Key(w, 0, QString(c));
}

void Wait(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

struct Form {
    QDialog dlg;
    TKvSpinEdit* spin;
    QLineEdit* other;
    Form()
    {
        spin = new TKvSpinEdit(&dlg);
        other = new QLineEdit(&dlg);
        spin->setGeometry(10, 10, 80, 24);
        other->setGeometry(10, 50, 80, 24);
        dlg.resize(200, 100);
        dlg.show();
        QApplication::setActiveWindow(&dlg);
        spin->setFocus();
        QApplication::processEvents();
    }
};

}  // namespace

TEST(KvSpinEdit, LeavingTheFieldLimitsTheValue)
{
    Form f;
    f.spin->SetMinValue(1);
    f.spin->SetMaxValue(99);
    EXPECT_EQ(f.spin->text(), "0");
    f.spin->clear();
    Type(f.spin, "15x0");
    EXPECT_EQ(f.spin->text(), "150");
    f.other->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(f.spin->text(), "99");
    f.spin->setText("-3");
    f.spin->setFocus();
    f.other->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(f.spin->Value(), 1);

    f.spin->setText("zehn");
    EXPECT_EQ(f.spin->Value(), 1);  // not a number: MinValue
}

TEST(KvSpinEdit, EnterReachesTheDialog)
{
    Form f;
    auto* ok = new QPushButton("OK", &f.dlg);
    ok->setDefault(true);
    ok->show();
    int clicks = 0;
    QObject::connect(ok, &QPushButton::clicked, [&] { ++clicks; });
    Key(f.spin, Qt::Key_Return, "\r");
    EXPECT_EQ(clicks, 1);
}

TEST(KvSpinEdit, StepsAndLimits)
{
    QWidget parent;
    TKvSpinEdit spin(&parent);
    spin.SetValue(-5);
    EXPECT_EQ(spin.Value(), -5);  // MinValue = MaxValue: no limits
    spin.SetMinValue(0);
    spin.SetMaxValue(10);
    spin.SetIncrement(4);
    spin.SetValue(5);
    spin.UpClick();
    EXPECT_EQ(spin.Value(), 9);
    spin.UpClick();
    EXPECT_EQ(spin.Value(), 10);
    Key(&spin, Qt::Key_Down);
    EXPECT_EQ(spin.Value(), 6);
    spin.setReadOnly(true);
    spin.DownClick();
    EXPECT_EQ(spin.Value(), 6);

    // Without limits a step stops at the ends of the integer range instead of
    // wrapping around to the other end.
    TKvSpinEdit open(&parent);
    open.SetIncrement(10);
    open.setText("2147483640");
    open.UpClick();
    EXPECT_EQ(open.Value(), std::numeric_limits<int32_t>::max());
    open.setText("-2147483640");
    open.DownClick();
    EXPECT_EQ(open.Value(), std::numeric_limits<int32_t>::min());
}

TEST(KvSpinEdit, EditorDisabledRefusesTypingButKeepsTheButtons)
{
    QWidget parent;
    TKvSpinEdit spin(&parent);
    spin.SetEditorEnabled(false);
    spin.setText("3");
    spin.setCursorPosition(1);
    Type(&spin, "7");
    Key(&spin, Qt::Key_Backspace, "\b");
    EXPECT_EQ(spin.text(), "3");
    Key(&spin, Qt::Key_Up);
    EXPECT_EQ(spin.Value(), 4);
    spin.Button()->OnUpClick();
    EXPECT_EQ(spin.Value(), 5);

    EXPECT_TRUE(spin.IsValidChar('\x03'));
    EXPECT_FALSE(spin.IsValidChar('\r'));
    spin.SetEditorEnabled(true);
    for (char c : {'+', '-', '0', '9', '\b'})
        EXPECT_TRUE(spin.IsValidChar(c)) << c;
    for (char c : {'a', '.', ',', ' ', '\r'})
        EXPECT_FALSE(spin.IsValidChar(c)) << c;
}

TEST(KvSpinEdit, HoldingTheUpButtonRepeatsAfter400ThenEvery100Ms)
{
    Form f;
    f.spin->SetMinValue(0);
    f.spin->SetMaxValue(1000);
    TKvTimerSpeedButton* up = f.spin->Button()->UpButton();
    const QPoint mid(up->width() / 2, up->height() / 2);
    QElapsedTimer clock;
    clock.start();
    SendMouse(up, QEvent::MouseButtonPress, mid, Qt::LeftButton);
    ASSERT_NE(up->RepeatTimer(), nullptr);
    EXPECT_EQ(up->RepeatTimer()->interval(), 400);
    // Only lower bounds of time are checked: a busy machine may be late, never early.
    const auto waitForValue = [&](int Value) {
        while (f.spin->Value() < Value && clock.elapsed() < 15000)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        return f.spin->Value() >= Value;
    };
    ASSERT_TRUE(waitForValue(1));
    const qint64 first = clock.elapsed();
    EXPECT_GE(first, 395);
    EXPECT_EQ(up->RepeatTimer()->interval(), 100);
    ASSERT_TRUE(waitForValue(4));
    // Measured from the press: the first repeat may have been seen late,
    // which would shorten the time counted from it.
    EXPECT_GE(clock.elapsed(), 400 + 3 * 100 - 5);
    const int repeats = f.spin->Value();
    SendMouse(up, QEvent::MouseButtonRelease, mid, Qt::NoButton);
    EXPECT_FALSE(up->RepeatTimer()->isActive());
    EXPECT_EQ(f.spin->Value(), repeats + 1);  // the release is the last click
    Wait(250);
    EXPECT_EQ(f.spin->Value(), repeats + 1);
    EXPECT_TRUE(f.spin->hasFocus());  // the press left the focus on the edit
}

TEST(KvSpinEdit, DraggingOverTheStripStepsPerPixel)
{
    QWidget parent;
    TKvSpinEdit spin(&parent);
    spin.SetIncrement(2);
    QWidget* strip = spin.Button()->DragStrip();
    SendMouse(strip, QEvent::MouseButtonPress, QPoint(2, 20), Qt::LeftButton);
    SendMouse(strip, QEvent::MouseMove, QPoint(2, 10), Qt::LeftButton);
    EXPECT_EQ(spin.Value(), 20);  // ten pixels up: ten up clicks
    SendMouse(strip, QEvent::MouseMove, QPoint(2, 13), Qt::LeftButton);
    EXPECT_EQ(spin.Value(), 14);
    SendMouse(strip, QEvent::MouseMove, QPoint(2, 0), Qt::NoButton);
    EXPECT_EQ(spin.Value(), 14);  // without the button nothing happens
    SendMouse(strip, QEvent::MouseButtonRelease, QPoint(2, 0), Qt::NoButton);
}

TEST(KvSpinEdit, ButtonLayout)
{
    QWidget parent;
    parent.resize(200, 100);
    parent.show();
    TKvSpinButton b(&parent);
    b.show();
    EXPECT_EQ(b.size(), QSize(20, 15));
    b.resize(10, 20);
    EXPECT_EQ(b.width(), 16);  // at least 16 wide
    EXPECT_EQ(b.UpButton()->geometry(), QRect(0, 1, 16, 9));
    EXPECT_EQ(b.DownButton()->geometry(), QRect(0, 11, 16, 9));
    EXPECT_EQ(b.DragStrip()->geometry(), QRect(0, 10, 17, 11));
    EXPECT_FALSE(b.UpButton()->Glyph().isNull());
    EXPECT_EQ(b.UpButton()->Glyph().size(), QSize(7, 4));
    EXPECT_EQ(b.DragStrip()->cursor().shape(), Qt::BitmapCursor);

    TKvSpinEdit spin(&parent);
    spin.show();
    spin.resize(80, 4);
    EXPECT_EQ(spin.height(), spin.MinHeight());
    EXPECT_EQ(spin.Button()->geometry().right(), spin.width() - 3);
}

TEST(KvSpinEdit, AutoSizeKeepsTheMinimumHeightAndCanBeTurnedOff)
{
    QWidget parent;
    parent.resize(200, 100);
    parent.show();
    TKvSpinEdit spin(&parent);
    spin.show();
    EXPECT_TRUE(spin.AutoSize());
    spin.resize(80, 4);
    EXPECT_EQ(spin.height(), spin.MinHeight());

    // Without it the field takes any height, its button within it.
    spin.SetAutoSize(false);
    spin.resize(80, 8);
    EXPECT_EQ(spin.height(), 8);
    EXPECT_EQ(spin.Button()->height(), 5);
    QFont big = spin.font();
    big.setPointSize(big.pointSize() * 3);
    spin.setFont(big);
    EXPECT_EQ(spin.height(), 8);

    // Turned on again, the field grows to what its font needs.
    spin.SetAutoSize(true);
    EXPECT_EQ(spin.height(), spin.MinHeight());
    EXPECT_EQ(spin.Button()->height(), spin.MinHeight() - 3);
    big.setPointSize(big.pointSize() * 2);
    const int before = spin.height();
    spin.setFont(big);
    EXPECT_GT(spin.MinHeight(), before);
    EXPECT_EQ(spin.height(), spin.MinHeight());
}
