#include <gtest/gtest.h>

#include "Graphics.h"
#include "WVLTBComboBox.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEnterEvent>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleFactory>

#include <vector>

namespace {

// Runs with the unthemed "windows" style, under which the combo draws its flat look.
struct ClassicStyle {
    ClassicStyle() : previous(QApplication::style()->name()) { QApplication::setStyle(QStringLiteral("windows")); }
    ~ClassicStyle() { QApplication::setStyle(previous); }
    QString previous;
};

void Send(QWidget& W, QEvent& E)
{
    QApplication::sendEvent(&W, &E);
}

}  // namespace

TEST(WVLTBComboBox, FontListSkipsRasterFontsAndRepeatsOfTheLastName)
{
    const QStringList list = TWVLTBFontComboBox::BuildFontList({{"Zeta", false},
                                                                 {"alpha", false},
                                                                 {"ALPHA", false},
                                                                 {"Fixed", true},
                                                                 {"Beta", false},
                                                                 {"zeta", false}});
    EXPECT_EQ(list, (QStringList{"alpha", "Beta", "Zeta", "zeta"}));

    const QStringList screen = TWVLTBFontComboBox::BuildFontList(TWVLTBFontComboBox::ScreenFontFamilies());
    EXPECT_EQ(screen.count(QStringLiteral("Liberation Sans")), 1);
    for (const QString& name : screen) {
        EXPECT_TRUE(QFontDatabase::isScalable(name)) << name.toStdString();
        // Families of several foundries appear once, under their plain name.
        EXPECT_FALSE(name.endsWith(QLatin1Char(']'))) << name.toStdString();
        EXPECT_EQ(screen.count(name), 1) << name.toStdString();
    }
}

TEST(WVLTBComboBox, StateFollowsMouseFocusAndList)
{
    TWVLTBComboBox combo;
    combo.addItems({"a", "b"});
    combo.resize(120, combo.height());
    EXPECT_EQ(combo.State(), 0);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    Send(combo, enter);
    EXPECT_EQ(combo.State(), TWVLTBComboBox::stHover);
    QFocusEvent in(QEvent::FocusIn);
    Send(combo, in);
    EXPECT_EQ(combo.State(), TWVLTBComboBox::stHover | TWVLTBComboBox::stFocus);
    QEvent leave(QEvent::Leave);
    Send(combo, leave);
    EXPECT_EQ(combo.State(), TWVLTBComboBox::stFocus);
    Send(combo, enter);
    QFocusEvent out(QEvent::FocusOut);
    Send(combo, out);  // leaving the control clears hover too
    EXPECT_EQ(combo.State(), 0);

    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    Send(combo, press);
    EXPECT_TRUE(combo.State() & TWVLTBComboBox::stPressed);
    bool closed = false;
    combo.OnCloseUp = [&](QObject*) { closed = true; };
    combo.hidePopup();
    EXPECT_FALSE(combo.State() & TWVLTBComboBox::stPressed);
    EXPECT_TRUE(closed);
}

TEST(WVLTBComboBox, HeightFollowsFontAndDisabledColours)
{
    TWVLTBComboBox combo;
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(30);
    combo.setFont(f);
    EXPECT_EQ(combo.height(), QFontMetrics(f).height() + 6);

    combo.setEnabled(false);
    EXPECT_EQ(combo.palette().color(QPalette::Base), toQColor(clBtnFace));
    EXPECT_EQ(combo.palette().color(QPalette::Text), toQColor(clBtnShadow));
    combo.setEnabled(true);
    EXPECT_EQ(combo.palette().color(QPalette::Base), toQColor(clWindow));
    EXPECT_EQ(combo.palette().color(QPalette::Text), toQColor(clWindowText));
}

TEST(WVLTBComboBox, FlatLookWithoutThemes)
{
    ClassicStyle classic;
    TWVLTBComboBox combo;
    combo.addItems({"Eins", "Zwei"});
    combo.resize(140, combo.height());
    const QRect b = combo.ButtonRect();
    EXPECT_EQ(b.right(), combo.width() - 3);
    EXPECT_EQ(b.top(), 2);
    EXPECT_EQ(b.width(), combo.style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    const QPoint arrowTop(b.left() + b.width() / 2, b.top() + (b.height() - 3) / 2);

    QImage flat = combo.grab().toImage();
    EXPECT_EQ(flat.pixelColor(0, 0), toQColor(clBtnFace));
    EXPECT_EQ(flat.pixelColor(2, 5), toQColor(clWindow));
    EXPECT_EQ(flat.pixelColor(arrowTop + QPoint(-2, 0)), toQColor(clWindowText));
    EXPECT_EQ(flat.pixelColor(arrowTop + QPoint(0, 2)), toQColor(clWindowText));
    EXPECT_EQ(flat.pixelColor(arrowTop + QPoint(-1, 2)), toQColor(clBtnFace));

    QFocusEvent in(QEvent::FocusIn);
    Send(combo, in);
    const QImage hot = combo.grab().toImage();
    EXPECT_EQ(hot.pixelColor(0, 5), toQColor(clBtnShadow));                 // sunken edge
    EXPECT_EQ(hot.pixelColor(combo.width() - 1, 5), toQColor(clBtnHighlight));
    EXPECT_EQ(hot.pixelColor(b.topLeft()), toQColor(clBtnHighlight));      // raised button

    combo.setEnabled(false);
    const QImage disabled = combo.grab().toImage();
    EXPECT_EQ(disabled.pixelColor(arrowTop), toQColor(clBtnShadow));
}

TEST(WVLTBComboBox, TGlyphShape)
{
    QImage img(10, 11, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        TWVLTBFontComboBox::DrawTGlyph(p, 1, 1, Qt::black);
    }
    const char* expected[] = {
        "..........",
        ".########.",
        ".##.##.##.",
        ".#..##..#.",
        "....##....",
        "....##....",
        "....##....",
        "....##....",
        "....##....",
        "..######..",
        "..........",
    };
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 10; ++x)
            EXPECT_EQ(img.pixelColor(x, y) == Qt::black, expected[y][x] == '#') << x << "," << y;
}

TEST(WVLTBComboBox, FontComboSelectsAndPreviewsTheHighlightedFont)
{
    TWVLTBFontComboBox combo;
    combo.resize(160, combo.height());
    combo.show();
    EXPECT_EQ(combo.count(), combo.FontList.size());
    EXPECT_EQ(combo.GetSelectedFontName(), QString());
    combo.SelectFontName(QStringLiteral("Liberation Sans"));
    EXPECT_EQ(combo.GetSelectedFontName(), QStringLiteral("Liberation Sans"));
    combo.SelectFontName(QStringLiteral("Keine solche Schrift"));
    EXPECT_EQ(combo.GetSelectedFontName(), QString());
    // The missing font's name is what the box shows: its label is drawn, where
    // an empty name leaves the box blank.
    const auto label = [&combo] {
        QImage img(combo.size(), QImage::Format_ARGB32);
        combo.render(&img);
        return img.copy(4, 3, combo.width() - 30, combo.height() - 6);
    };
    const QImage named = label();
    std::vector<int> indices;   // no font is selected on the way to none
    const auto watch = QObject::connect(&combo, &QComboBox::currentIndexChanged,
                                        [&indices](int I) { indices.push_back(I); });
    combo.SelectFontName(QString());
    QObject::disconnect(watch);
    EXPECT_EQ(indices, std::vector<int>{});
    EXPECT_EQ(combo.currentIndex(), -1);
    const QImage blank = label();
    EXPECT_NE(named, blank);
    EXPECT_FALSE(combo.FontWindow->isVisible());

    combo.showPopup();
    EXPECT_TRUE(combo.FontWindow->isVisible());
    EXPECT_EQ(combo.FontWindow->pos(), combo.mapToGlobal(QPoint(combo.width() - 1, combo.height())));
    const int index = int(combo.FontList.indexOf(QStringLiteral("Liberation Sans")));
    ASSERT_GE(index, 0);
    combo.view()->setCurrentIndex(combo.model()->index(index, 0));
    const QString text = QStringLiteral("Liberation Sans - Franz jagt im komplett ...");
    EXPECT_EQ(combo.FontWindow->Text(), text);
    EXPECT_EQ(combo.FontWindow->font().family(), QStringLiteral("Liberation Sans"));
    EXPECT_EQ(combo.FontWindow->font().pointSize(), 20);
    EXPECT_EQ(combo.FontWindow->width(), QFontMetrics(combo.FontWindow->font()).horizontalAdvance(text) + 25);
    EXPECT_TRUE(combo.FontWindow->testAttribute(Qt::WA_TransparentForMouseEvents));
    combo.hidePopup();
    EXPECT_FALSE(combo.FontWindow->isVisible());
}
