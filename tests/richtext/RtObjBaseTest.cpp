#include "RtObjBase.h"

#include "Canvas.h"

#include <QImage>
#include <gtest/gtest.h>

TEST(RtObjectBase, WithoutOwnerDoesNothing)
{
    QImage img(4, 4, QImage::Format_ARGB32);
    img.fill(Qt::red);
    TCanvas canvas(&img);
    TRtObjectBase obj;
    obj.ObjRect = TRect{0, 0, 4, 4};
    obj.Paint(&canvas);
    canvas.Flush();
    EXPECT_EQ(img.pixel(1, 1), QColor(Qt::red).rgba());
    EXPECT_FALSE(obj.UpdateRect());
    EXPECT_FALSE(obj.UpdateScreenRect());
    obj.Changed();
    obj.Select(true);
    EXPECT_EQ(obj.Value, -1);
    EXPECT_EQ(obj.GetNaturalWidth(), 1001);
    EXPECT_EQ(obj.GetNaturalHeight(), 721);
}

TEST(RtObjectBase, DestructionClearsTheReferencesPointer)
{
    TRtObjectBase* held = new TRtObjectBase;
    held->RefField = &held;
    held->SetSourceName("pic.png");
    EXPECT_EQ(held->SourceName, "pic.png");
    delete held;
    EXPECT_EQ(held, nullptr);
}
