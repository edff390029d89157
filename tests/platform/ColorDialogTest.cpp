#include "ColorDialog.h"

#include <QApplication>
#include <QColorDialog>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Finishes the colour dialog once it is shown, after noting its custom colours.
void FinishDialogWhenShown(bool accept, QList<QColor>& seenCustomColors)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, accept, &seenCustomColors] {
        auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        for (int i = 0; i < QColorDialog::customCount(); ++i)
            seenCustomColors << QColorDialog::customColor(i);
        QColorDialog::setCustomColor(3, QColor(0x12, 0x34, 0x56));
        accept ? dialog->accept() : dialog->reject();
        timer->deleteLater();
    });
    timer->start();
}

} // namespace

TEST(ColorDialog, CustomColoursGoInAndComeBack)
{
    TColorDialog dialog;
    dialog.Color = 0x00FF00;
    dialog.CustomColors.SetText("ColorA=0000FF\r\nColorC=zz\r\nColorB=FF0000");
    QList<QColor> seen;
    FinishDialogWhenShown(true, seen);
    ASSERT_TRUE(dialog.Execute());

    ASSERT_EQ(seen.size(), TColorDialog::MaxCustomColors);
    EXPECT_EQ(seen[0], QColor(Qt::red));
    EXPECT_EQ(seen[1], QColor(Qt::blue));
    EXPECT_EQ(seen[2], QColor(Qt::white));  // unreadable
    EXPECT_EQ(seen[15], QColor(Qt::white)); // missing
    EXPECT_EQ(dialog.Color, 0x00FF00);
    ASSERT_EQ(dialog.CustomColors.Count(), 16);
    EXPECT_EQ(dialog.CustomColors[0], "ColorA=0000FF");
    EXPECT_EQ(dialog.CustomColors[1], "ColorB=FF0000");
    EXPECT_EQ(dialog.CustomColors[2], "ColorC=FFFFFF");
    EXPECT_EQ(dialog.CustomColors[3], "ColorD=563412");
    EXPECT_EQ(dialog.CustomColors[15], "ColorP=FFFFFF");
}

TEST(ColorDialog, CancelKeepsTheColour)
{
    TColorDialog dialog;
    dialog.Color = 0x123456;
    QList<QColor> seen;
    FinishDialogWhenShown(false, seen);
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(dialog.Color, 0x123456);
    EXPECT_EQ(dialog.CustomColors.Values("ColorD"), "563412");
}
