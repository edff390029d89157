// The background picture of the edit control: painted under the text at any
// zoom, scrolling with the text or fixed, kept in the text's RTF, loaded from
// and saved to files; and a transparent control showing its parent.
#include "RtBackground.h"
#include "RtControlTestSupport.h"

#include <QScrollBar>
#include <QTemporaryDir>

namespace {

class RtBackground : public RtControlTest {
public:
    // What the control shows now.
    QImage Shown()
    {
        Rtf->viewport()->repaint();
        return Rtf->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
    // A picture whose one half (left or top) is blue and the other green.
    static QImage Halves(bool Vertical)
    {
        QImage picture(16, 16, QImage::Format_RGB32);
        picture.fill(Qt::green);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                if ((Vertical ? y : x) < 8)
                    picture.setPixel(x, y, qRgb(0, 0, 255));
        return picture;
    }
    static bool IsPicture(QRgb C) { return C == qRgb(0, 0, 255) || C == qRgb(0, 255, 0); }
};

TEST_F(RtBackground, PaintedUnderTheTextAtTwoZooms)
{
    Type("Hello");
    Rtf->SetBackgroundImage(Halves(false));
    for (int32_t zoom : {100, 200}) {
        Rtf->SetZooming(zoom);
        const QImage shown = Shown();
        const int bottom = shown.height() - 4;
        // The picture's pixels are window pixels at every zoom: both halves, repeated every 16.
        int blue = 0, green = 0;
        for (int x = 0; x + 16 < shown.width(); ++x) {
            const QRgb c = shown.pixel(x, bottom);
            ASSERT_TRUE(IsPicture(c)) << zoom << " " << x;
            EXPECT_EQ(c, shown.pixel(x + 16, bottom)) << zoom << " " << x;
            (c == qRgb(0, 0, 255) ? blue : green)++;
        }
        EXPECT_GT(blue, 0);
        EXPECT_GT(green, 0);
        // The text's line: the picture right of the word and dark glyph pixels on it.
        const QPoint word = PointOf(2);
        EXPECT_TRUE(IsPicture(shown.pixel(shown.width() - 20, word.y()))) << zoom;
        int dark = 0;
        for (int x = 0; x < PointOf(5).x(); ++x)
            for (int y = word.y() - 4 * zoom / 100; y <= word.y() + 4 * zoom / 100; ++y)
                dark += qGray(shown.pixel(x, y)) < 60 ? 1 : 0;
        EXPECT_GT(dark, 5) << zoom;
    }
    // Without a picture the paper is white again.
    Rtf->SetBackgroundImage(QImage());
    EXPECT_EQ(Shown().pixel(10, Rtf->viewport()->height() - 4), qRgb(255, 255, 255));
}

TEST_F(RtBackground, ScrollsWithTheTextOrStaysFixed)
{
    for (int i = 0; i < 40; ++i) {
        Type("line");
        Key(Qt::Key_Return);
    }
    Key(Qt::Key_Home, Qt::ControlModifier);
    Rtf->SetBackgroundImage(Halves(true));
    const int x = Rtf->viewport()->width() - 8;
    for (bool scrolling : {true, false}) {
        Rtf->SetBackgroundScrolling(scrolling);
        Rtf->verticalScrollBar()->setValue(0);
        const QRgb before = Shown().pixel(x, 2);
        Rtf->verticalScrollBar()->setValue(8);
        ASSERT_EQ(E()->TopY, E()->ScreenToDoc(8));
        const QRgb after = Shown().pixel(x, 2);
        EXPECT_TRUE(IsPicture(before));
        EXPECT_EQ(before != after, scrolling);
    }
}

TEST_F(RtBackground, TravelsWithTheTextsRtfAndFiles)
{
    Type("x");
    const QImage picture = Halves(true);
    Rtf->SetBackgroundImage(picture);
    E()->TextSaveFormat = "RTF";
    const AnsiString rtf = Rtf->GetTextAsString();
    EXPECT_NE(rtf.find("\\rtbackbmp"), AnsiString::npos);
    TRtRichText other;
    other.SetText(rtf);
    EXPECT_EQ(other.BackgroundImage(), picture);
    // A text without one takes the picture away.
    other.SetText("{\\rtf1\\ansi plain}");
    EXPECT_TRUE(other.BackgroundImage().isNull());

    QTemporaryDir dir;
    const QString saved = dir.filePath("back.png");
    ASSERT_TRUE(Rtf->BackgroundSaveToFile(saved));
    EXPECT_FALSE(other.BackgroundSaveToFile(dir.filePath("none.png"))) << "no picture, no file";
    EXPECT_FALSE(QFile::exists(dir.filePath("none.png")));
    ASSERT_TRUE(other.BackgroundLoadFromFile(saved));
    EXPECT_EQ(other.BackgroundImage(), picture);
    // A file that is no picture changes nothing.
    QFile junk(dir.filePath("junk.png"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a picture");
    junk.close();
    EXPECT_FALSE(other.BackgroundLoadFromFile(junk.fileName()));
    EXPECT_EQ(other.BackgroundImage(), picture);
}

TEST_F(RtBackground, TransparentShowsTheParent)
{
    QWidget parent;
    parent.resize(300, 200);
    QPalette palette = parent.palette();
    palette.setColor(QPalette::Window, QColor(200, 0, 0));
    parent.setPalette(palette);
    parent.setAutoFillBackground(true);
    Rtf->setParent(&parent);
    Rtf->setGeometry(20, 20, 200, 120);
    parent.show();
    Type("Hi");
    const QPoint free(Rtf->viewport()->width() - 10, Rtf->viewport()->height() - 10);
    EXPECT_EQ(Shown().pixel(free), qRgb(255, 255, 255));
    Rtf->SetBackgroundImage(Halves(false));
    Rtf->SetTransparent(true);
    const QImage shown = Shown();
    EXPECT_EQ(shown.pixel(free), qRgb(200, 0, 0));
    EXPECT_EQ(shown.pixel(PointOf(2).x() + 40, PointOf(2).y()), qRgb(200, 0, 0)) << "also beside the text";
    Rtf->SetTransparent(false);
    EXPECT_TRUE(IsPicture(Shown().pixel(free)));
    Rtf->setParent(nullptr);
}

// A transparent control paints its surface anew only when something under it
// or in it changed: the parent's colour, the text, the scrolling.
TEST_F(RtBackground, TransparentPaintsAnewOnlyAfterAChange)
{
    QWidget parent;
    parent.resize(300, 200);
    parent.setAutoFillBackground(true);
    const auto fill = [&parent](QColor Colour) {
        QPalette palette = parent.palette();
        palette.setColor(QPalette::Window, Colour);
        parent.setPalette(palette);
    };
    fill(QColor(200, 0, 0));
    Rtf->setParent(&parent);
    Rtf->setGeometry(20, 20, 200, 120);
    parent.show();
    Rtf->SetTransparent(true);
    for (int i = 0; i < 12; ++i) {
        Type("line");
        Key(Qt::Key_Return);
    }
    const QPoint free(Rtf->viewport()->width() - 10, Rtf->viewport()->height() - 10);
    EXPECT_EQ(Shown().pixel(free), qRgb(200, 0, 0));
    const qint64 painted = E()->Surface().cacheKey();
    Shown();
    EXPECT_EQ(E()->Surface().cacheKey(), painted) << "a paint without a change leaves the surface as it was";
    fill(QColor(0, 0, 200));
    EXPECT_EQ(Shown().pixel(free), qRgb(0, 0, 200));
    // Typed text and a scrolled view show over the parent.
    Key(Qt::Key_Home, Qt::ControlModifier);
    Type("WWWWWWWWWWWWWW");
    QImage shown = Shown();
    int dark = 0;
    for (int x = 0; x < shown.width(); ++x)
        dark += qGray(shown.pixel(x, PointOf(2).y())) < 60 ? 1 : 0;
    EXPECT_GT(dark, 20);
    EXPECT_EQ(shown.pixel(free), qRgb(0, 0, 200));
    const QImage top = shown;
    Rtf->verticalScrollBar()->setValue(Rtf->verticalScrollBar()->maximum());
    shown = Shown();
    EXPECT_NE(shown, top);
    EXPECT_EQ(shown.pixel(free.x(), 2), qRgb(0, 0, 200));
    Rtf->setParent(nullptr);
}

} // namespace
