#include "Application.h"
#include "Graphics.h"
#include "SysUtils.h"
#include "../common/ShownMessages.h"

#include <QTimer>
#include <gtest/gtest.h>

TEST(Graphics, FontSizeAndHeightFollowEachOtherAndNotify)
{
    TFont f;
    int changes = 0;
    f.OnChange = [&](TObject*) { ++changes; };
    f.SetSize(12);
    EXPECT_EQ(f.Height(), -16);
    EXPECT_EQ(f.Size(), 12);
    f.SetSize(12);
    EXPECT_EQ(changes, 1);
    f.SetStyle(fsBold | fsItalic);
    TFont g;
    g.Assign(f);
    EXPECT_TRUE(g == f);
    EXPECT_EQ(changes, 2);
}

TEST(Graphics, ColourValues)
{
    EXPECT_EQ(RGB(1, 2, 3), 0x030201);
    EXPECT_EQ(toQColor(clRed), QColor(255, 0, 0));
    EXPECT_EQ(fromQColor(QColor(0, 0, 255)), clBlue);
    EXPECT_LT(clBtnFace, 0);
    EXPECT_GE(ColorToRGB(clBtnFace), 0);
    EXPECT_EQ(ColorToRGB(0x12345678), 0x345678);
}

TEST(Application, ExceptionsInEventHandlersDoNotCrossTheLoop)
{
    ShownMessages messages;
    const QStringList& shown = messages.Texts;
    QTimer::singleShot(0, [] { throw EConvertError("bad value"); });
    QTimer::singleShot(0, [] { Abort(); });
    QTimer::singleShot(0, [] { throw Exception("ends with a stop."); });
    QCoreApplication::processEvents();
    HandleExceptions([] { throw EInvalidOperation("direct"); });
    EXPECT_EQ(shown, QStringList({"bad value.", "ends with a stop.", "direct."}));
}
