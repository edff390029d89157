// The splitter grip: its place and length on bars of any size, and the bars
// of the grip splitter drawing it.
#include "SplitterGrip.h"

#include <QLabel>
#include <QSplitterHandle>
#include <gtest/gtest.h>

TEST(SplitterGrip, PlaceAndLengthFollowTheBar)
{
    const struct {
        Qt::Orientation Bar;
        QSize Client;
        QRect Grip;  // null: no grip
    } cases[] = {
        {Qt::Horizontal, {110, 5}, QRect(QPoint(10, 0), QPoint(99, 4))},
        {Qt::Horizontal, {24, 5}, QRect()},
        {Qt::Horizontal, {25, 5}, QRect(QPoint(10, 0), QPoint(14, 4))},
        {Qt::Horizontal, {119, 5}, QRect(QPoint(10, 0), QPoint(108, 4))},
        {Qt::Horizontal, {120, 5}, QRect(QPoint(10, 0), QPoint(109, 4))},
        {Qt::Horizontal, {301, 5}, QRect(QPoint(100, 0), QPoint(199, 4))},
        {Qt::Vertical, {5, 110}, QRect(QPoint(0, 10), QPoint(4, 99))},
        {Qt::Vertical, {5, 500}, QRect(QPoint(0, 200), QPoint(4, 299))},
        {Qt::Vertical, {5, 10}, QRect()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitterGripRect(c.Bar, c.Client), c.Grip)
            << c.Bar << " " << c.Client.width() << "x" << c.Client.height();
}

TEST(SplitterGrip, SplitterBarsDrawARaisedGrip)
{
    for (Qt::Orientation o : {Qt::Vertical, Qt::Horizontal}) {
        TGripSplitter splitter(o);
        splitter.addWidget(new QLabel("a"));
        splitter.addWidget(new QLabel("b"));
        splitter.resize(300, 300);
        splitter.show();
        QSplitterHandle* handle = splitter.handle(1);
        ASSERT_TRUE(handle);
        const QImage shot = handle->grab().toImage();
        // The bar between a top and a bottom pane carries a horizontal grip.
        const Qt::Orientation bar = o == Qt::Vertical ? Qt::Horizontal : Qt::Vertical;
        const QRect grip = SplitterGripRect(bar, handle->size());
        ASSERT_FALSE(grip.isEmpty()) << o;
        const QPalette pal = handle->palette();
        EXPECT_EQ(shot.pixelColor(grip.topLeft() + QPoint(1, 0)).rgb(), pal.color(QPalette::Light).rgb()) << o;
        EXPECT_EQ(shot.pixelColor(grip.bottomRight() - QPoint(1, 0)).rgb(), pal.color(QPalette::Dark).rgb()) << o;
    }
}
