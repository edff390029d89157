// The table picker: choosing by the nearest grid lines, growing past the
// edge, painting at least one cell, and its ways to confirm or cancel.
#include "RtTableSelect.h"

#include "RtTestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

TEST(RtTableSelect, ChoosesTheNearestGridLinesAndPaintsAtLeastOneCell)
{
    TRtTableSelect form;
    form.show();
    QApplication::processEvents();
    const int32_t cell = form.Cell();
    ASSERT_GT(cell, 5);
    form.PaintBox1MouseDown(cell / 2 - 1, cell / 2 - 1);
    EXPECT_EQ(form.Columns, 0);
    EXPECT_EQ(form.Rows, 0);
    QImage img(form.PaintBox1->size(), QImage::Format_RGB32);
    QPainter p(&img);
    form.FormPaint(p);
    p.end();
    EXPECT_EQ(form.Columns, 1);
    EXPECT_EQ(form.Rows, 1);
    EXPECT_EQ(form.Status->text(), "1 X 1");
    form.PaintBox1MouseDown(3 * cell - cell / 2, 2 * cell - cell / 2);
    EXPECT_EQ(form.Columns, 3);
    EXPECT_EQ(form.Rows, 2);
}

TEST(RtTableSelect, GrowsWhileTheChoiceReachesItsEdge)
{
    TRtTableSelect form;
    form.show();
    QApplication::processEvents();
    const QSize start = form.size();
    const int32_t cell = form.Cell();
    form.PaintBox1MouseDown(form.PaintBox1->width() + cell / 2, 0);
    EXPECT_EQ(form.width(), start.width() + cell + 2);
    EXPECT_EQ(form.height(), start.height());
    form.PaintBox1MouseDown(form.PaintBox1->width() + cell / 2, form.PaintBox1->height() + cell / 2);
    EXPECT_EQ(form.height(), start.height() + cell + 2);
}

TEST(RtTableSelect, ConfirmsAndCancelsByKeyButtonAndDoubleClick)
{
    auto run = [](const std::function<void(TRtTableSelect&)>& Act) {
        TRtTableSelect form;
        QTimer::singleShot(0, &form, [&] { Act(form); });
        return form.exec();
    };
    EXPECT_EQ(run([](TRtTableSelect& F) { QTest::keyClick(&F, Qt::Key_Return); }), 1);
    EXPECT_EQ(run([](TRtTableSelect& F) { QTest::keyClick(&F, Qt::Key_Escape); }), 2);
    EXPECT_EQ(run([](TRtTableSelect& F) { F.OKButton->click(); }), 1);
    EXPECT_EQ(run([](TRtTableSelect& F) { F.SpeedButton2->click(); }), 2);
    // A double click with no column chosen cancels; with one it confirms.
    EXPECT_EQ(run([](TRtTableSelect& F) { QTest::mouseDClick(F.PaintBox1, Qt::LeftButton, {}, QPoint(1, 1)); }), 2);
    EXPECT_EQ(run([](TRtTableSelect& F) {
                  const int c = F.Cell();
                  QTest::mouseDClick(F.PaintBox1, Qt::LeftButton, {}, QPoint(2 * c, c));
              }),
              1);
    // The borders button starts down.
    TRtTableSelect form;
    EXPECT_TRUE(form.Borders());
    form.ShowBord->click();
    EXPECT_FALSE(form.Borders());
}

}  // namespace
