#include "QwColorPopupButton.h"
#include "uQwUtils.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolButton>
#include <QWindow>

namespace {

void Mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// A button on a shown window, with its events recorded.
struct Fixture {
    QWidget window;
    TQwColorPopupButton* button;
    std::vector<TColor> changes;
    std::vector<int> menus;
    explicit Fixture(TColorButtonStyle style = cbsBrush)
    {
        button = new TQwColorPopupButton(&window);
        button->move(10, 10);
        button->SetColorButtonStyle(style);
        button->OnColorChange = [this](QObject*, TColor c) { changes.push_back(c); };
        button->OnMenuButtonClick = [this](QObject*, int code) { menus.push_back(code); };
        window.resize(300, 200);
        window.show();
        QApplication::setActiveWindow(&window);
    }
    ~Fixture() { ColorList().Clear(); }
    TQwColorPopupForm* Popup() { return button->PopupForm(); }
    void Release(QPoint at)
    {
        Mouse(Popup(), QEvent::MouseButtonPress, at);
        Mouse(Popup(), QEvent::MouseButtonRelease, at);
    }
};

}  // namespace

TEST(QwColorPopupButton, PopupHeightFollowsStyleOptionsAndCustomColours)
{
    ColorList().Clear();
    struct Case {
        TColorButtonStyle style;
        int customColours;
        int height;
    } cases[] = {
        {cbsPen, 0, 5 + 22 + 90 + 12 + 22 + 5},
        {cbsBrush, 0, 5 + 22 + 90 + 12 + 22 + 22 + 5},
        {cbsColor, 0, 5 + 90 + 12 + 22 + 5},
        {cbsFont, 8, 5 + 90 + 12 + 18 + 12 + 22 + 5},
        {cbsBrush, 9, 5 + 22 + 90 + 12 + 36 + 12 + 22 + 22 + 5},
    };
    for (const Case& c : cases) {
        ColorList().Clear();
        for (int i = 0; i < c.customColours; ++i)
            ColorList().SetColor(i, RGB(i, 2 * i, 3 * i));
        Fixture f(c.style);
        f.Popup()->LayoutPopup();
        EXPECT_EQ(f.Popup()->size(), QSize(154, c.height)) << c.style << " " << c.customColours;
        EXPECT_EQ(f.Popup()->CustRect().height(), c.customColours ? ((c.customColours - 1) / 8 + 1) * 18 : 0);
    }
    ColorList().Clear();
    Fixture pen(cbsPen);
    EXPECT_EQ(pen.Popup()->NoColorRect(), QRect(5, 5, 144, 22));
    EXPECT_EQ(pen.Popup()->DefRect(), QRect(5, 27, 144, 90));
    EXPECT_EQ(pen.Popup()->DefSepRect(), QRect(5, 117, 144, 12));
    EXPECT_EQ(pen.Popup()->MoreColorRect(), QRect(5, 129, 144, 22));
    EXPECT_FALSE(pen.Popup()->GradientRect().isValid());
    EXPECT_EQ(cCaptionNoColor, "- ohne -");

    pen.button->SetColorPopupOptions(cpDefColor | cpStruktur);
    EXPECT_EQ(pen.Popup()->height(), 5 + 90 + 12 + 22 + 5);
    EXPECT_EQ(cCaptionStruktur, "Strukturf\xFCllung...");
}

TEST(QwColorPopupButton, FixedSizeAndButtonLayout)
{
    Fixture f(cbsBrush);
    f.button->resize(80, 40);
    EXPECT_EQ(f.button->size(), QSize(36, 22));
    EXPECT_EQ(f.button->SwatchButton()->geometry(), QRect(0, 0, 24, 22));
    EXPECT_EQ(f.button->ArrowButton()->geometry(), QRect(24, 0, 12, 22));
    f.button->SetColorButtonStyle(cbsColor);
    EXPECT_EQ(f.button->SwatchButton()->geometry(), QRect(0, 0, 36, 22));
    EXPECT_TRUE(f.button->ArrowButton()->isHidden());
    f.button->SetFlat(false);
    EXPECT_FALSE(f.button->ArrowButton()->autoRaise());
}

TEST(QwColorPopupButton, ChoosingAColourFromTheGrid)
{
    Fixture f(cbsBrush);
    Mouse(f.button->ArrowButton(), QEvent::MouseButtonPress, QPoint(5, 5));
    ASSERT_TRUE(f.button->PopupOpen());
    ASSERT_TRUE(f.Popup()->isVisible());
    EXPECT_EQ(f.Popup()->pos(), f.button->mapToGlobal(QPoint(0, 22)));
    const QRect grid = f.Popup()->DefRect();
    f.Release(grid.topLeft() + QPoint(5 * 18 + 9, 1 * 18 + 9));  // row 2, column 6
    EXPECT_FALSE(f.button->PopupOpen());
    EXPECT_FALSE(f.Popup()->isVisible());
    EXPECT_EQ(f.changes, std::vector<TColor>{0xFF0000});
    EXPECT_TRUE(f.menus.empty());
    EXPECT_EQ(f.button->Color(), 0xFF0000);
    EXPECT_EQ(f.button->SwatchGlyph().pixel(6, 5), qRgb(0, 0, 255));
    EXPECT_EQ(f.button->SwatchGlyph().pixel(15, 14), qRgb(0, 0, 255));
    EXPECT_NE(f.button->SwatchGlyph().pixel(16, 14), qRgb(0, 0, 255));

    // A custom colour cell returns the colour list's slot.
    ColorList().SetColor(0, 0x123456);
    f.button->DropDown();
    f.Release(f.Popup()->CustRect().topLeft() + QPoint(9, 9));
    EXPECT_EQ(f.button->Color(), 0x123456);
    // Cells past the used colours are nothing.
    f.button->DropDown();
    f.Release(f.Popup()->CustRect().topLeft() + QPoint(18 + 9, 9));
    EXPECT_EQ(f.button->Color(), 0x123456);
    EXPECT_EQ(f.changes.size(), 2u);
}

TEST(QwColorPopupButton, NoColourFiresTheMenuEventAndCrossesTheSwatch)
{
    Fixture f(cbsBrush);
    f.button->SetColor(0x00FF00);
    f.button->DropDown();
    f.Release(f.Popup()->NoColorRect().center());
    EXPECT_EQ(f.menus, std::vector<int>{crNoColor});
    EXPECT_TRUE(f.changes.empty());
    EXPECT_EQ(f.button->Color(), clNoColor);
    const QImage& g = f.button->SwatchGlyph();
    EXPECT_EQ(g.size(), QSize(16, 15));
    EXPECT_EQ(g.pixel(6, 5), qRgb(0, 0, 0));     // frame and crossing
    EXPECT_EQ(g.pixel(10, 9), qRgb(0, 0, 0));    // first diagonal
    EXPECT_EQ(g.pixel(12, 8), qRgb(0, 0, 0));    // second diagonal
    EXPECT_EQ(g.pixel(9, 7), qRgb(255, 255, 255));
    EXPECT_EQ(g.pixel(15, 10), qRgb(0, 0, 0));   // right edge of the frame

    // The other command buttons report their codes and keep the colour.
    for (auto [rect, code] : {std::pair{f.Popup()->MoreColorRect(), crMoreColor},
                              std::pair{f.Popup()->GradientRect(), crGradient}}) {
        f.button->DropDown();
        f.Release(rect.center());
        EXPECT_EQ(f.menus.back(), code);
    }
    EXPECT_EQ(f.button->Color(), clNoColor);
}

TEST(QwColorPopupButton, SeparatorEscapeAndOutsideClickCancel)
{
    Fixture f(cbsBrush);
    f.button->DropDown();
    f.Release(f.Popup()->DefSepRect().center());
    EXPECT_FALSE(f.Popup()->isVisible());
    f.button->DropDown();
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(f.Popup(), &esc);
    EXPECT_FALSE(f.button->PopupOpen());
    // Releasing outside keeps it open; pressing outside cancels.
    f.button->DropDown();
    Mouse(f.Popup(), QEvent::MouseButtonRelease, QPoint(-20, -20));
    EXPECT_TRUE(f.Popup()->isVisible());
    Mouse(f.Popup(), QEvent::MouseButtonPress, QPoint(-20, 300));
    EXPECT_FALSE(f.Popup()->isVisible());
    // A press on the colour button itself is not handed on (it would reopen).
    f.button->DropDown();
    const QPoint onButton = f.Popup()->mapFromGlobal(f.button->mapToGlobal(QPoint(30, 5)));
    Mouse(f.Popup(), QEvent::MouseButtonPress, onButton);
    QApplication::processEvents();
    EXPECT_FALSE(f.button->PopupOpen());
    EXPECT_TRUE(f.changes.empty());
    EXPECT_TRUE(f.menus.empty());
}

TEST(QwColorPopupButton, ClickIntoAnotherControlClosesThePopupAndReachesIt)
{
    Fixture f(cbsBrush);
    auto* other = new QPushButton("other", &f.window);
    other->setGeometry(150, 150, 80, 30);
    other->show();
    int pressed = 0;
    QObject::connect(other, &QPushButton::pressed, [&] { ++pressed; });
    f.button->DropDown();
    QApplication::processEvents();
    // The press arrives as the window system delivers it: to the popup's window.
    const QPoint global = other->mapToGlobal(QPoint(40, 15));
    QWindow* win = f.Popup()->windowHandle();
    ASSERT_NE(win, nullptr);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(win->mapFromGlobal(global)), QPointF(global),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(win, &press);
    QApplication::processEvents();
    EXPECT_FALSE(f.Popup()->isVisible());
    EXPECT_EQ(pressed, 1);
    EXPECT_TRUE(f.changes.empty());
}

TEST(QwColorPopupButton, SwatchClickAndColorStyleGlyph)
{
    Fixture f(cbsPen);
    f.button->SetColor(0x0000FF);
    EXPECT_TRUE(f.changes.empty());  // setting the colour fires nothing
    Mouse(f.button->SwatchButton(), QEvent::MouseButtonPress, QPoint(5, 5));
    EXPECT_EQ(f.changes, std::vector<TColor>{0x0000FF});  // applies it again
    EXPECT_FALSE(f.button->PopupOpen());
    Mouse(f.button->SwatchButton(), QEvent::MouseButtonRelease, QPoint(5, 5));

    f.button->SetColorButtonStyle(cbsColor);
    const QImage& g = f.button->SwatchGlyph();
    EXPECT_EQ(g.size(), QSize(30, 16));
    EXPECT_EQ(g.pixel(2, 2), qRgb(0x80, 0x80, 0x80));
    EXPECT_EQ(g.pixel(18, 13), qRgb(0x80, 0x80, 0x80));
    EXPECT_EQ(g.pixel(10, 8), qRgb(255, 0, 0));
    EXPECT_EQ(g.pixel(24, 7), qRgb(0, 0, 0));
    EXPECT_NE(g.pixel(29, 7), qRgb(0, 0, 0));  // end points are excluded
    EXPECT_EQ(g.pixel(27, 9), g.pixel(0, 0));
    Mouse(f.button->SwatchButton(), QEvent::MouseButtonPress, QPoint(5, 5));
    EXPECT_TRUE(f.button->PopupOpen());  // the swatch drops the popup down
    Mouse(f.button->SwatchButton(), QEvent::MouseButtonRelease, QPoint(5, 5));
    f.Popup()->hide();  // closed by the system: a cancel
    EXPECT_FALSE(f.button->PopupOpen());
}

TEST(QwColorPopupButton, PopupOpensAboveNearTheScreenBottom)
{
    Fixture f(cbsBrush);
    const QRect screen = f.button->screen()->geometry();
    f.window.move(screen.right() - 60, screen.bottom() - 60);
    QApplication::processEvents();
    f.button->DropDown();
    const QPoint top = f.button->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(f.Popup()->y(), top.y() - f.Popup()->height());
    EXPECT_EQ(f.Popup()->x() + f.Popup()->width(), top.x() + 36 - 2);
    f.Popup()->hide();
}
