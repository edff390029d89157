#include "Metafile.h"

#include "../common/MetafileImages.h"
#include "../common/MetafileRecords.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QtEndian>

#include <QTemporaryFile>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <set>

#include <time.h>
#include <unistd.h>

// shapes.svg was turned into shapes.wmf and shapes.emf by LibreOffice Draw;
// shapes-189.png and shapes-377.png are those metafiles drawn by LibreOffice
// Draw at 96 and 192 dots per inch, cut to the picture's frame.
// dib-*.wmf hold one bitmap each; dib-*.png are the pages LibreOffice drew of them.
// ordinary/ holds drawings LibreOffice Draw made of SVG files (make-svg.py writes them);
// hostile/ holds small crafted files that once held the player for seconds.
using namespace metafile_images;
using namespace metafile_records;

namespace {

QByteArray DataFile(const char* Name)
{
    QFile f(QStringLiteral(LUMI_TEST_DATA "/metafile/") + QLatin1String(Name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The metafile drawn over a white image; Whole, when given, tells whether the play drew it all.
QImage Played(const TMetafile& M, int W, int H, bool* Whole = nullptr)
{
    QImage image(W, H, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    const bool whole = M.Draw(p, QRectF(0, 0, W, H));
    if (Whole)
        *Whole = whole;
    return image;
}

}  // namespace

TEST(Metafile, WordProcessorMetafilesLookAsTheirMakerDrawsThemAtTwoSizes)
{
    for (const char* file : {"shapes.wmf", "shapes.emf"}) {
        TMetafile m;
        ASSERT_TRUE(m.LoadFromBytes(DataFile(file))) << file;
        EXPECT_EQ(m.Enhanced(), QByteArray(file).endsWith("emf"));
        // About 50 x 23.5 mm, as LibreOffice sized the picture; 189 x 89 pixels on the screen.
        EXPECT_NEAR(m.MMWidth(), 4994, 2) << file;
        EXPECT_NEAR(m.MMHeight(), 2348, 2) << file;
        EXPECT_EQ(m.Width(96), 189);
        EXPECT_EQ(m.Height(96), 89);
        for (const QSize size : {QSize(189, 89), QSize(377, 177)}) {
            const QImage ref(QStringLiteral(LUMI_TEST_DATA "/metafile/shapes-%1.png").arg(size.width()));
            ASSERT_EQ(ref.size(), size);
            const QImage img = Played(m, size.width(), size.height());
            const double s = size.width() / 189.0;
            SCOPED_TRACE(std::string(file) + " at " + std::to_string(size.width()));
            // Rectangle red inside a black frame, ellipse blue, triangle yellow, text green.
            EXPECT_EQ(img.pixelColor(int(40 * s), int(25 * s)), QColor(255, 0, 0));
            EXPECT_EQ(img.pixelColor(int(4 * s), int(25 * s)), QColor(0, 0, 0));
            EXPECT_EQ(img.pixelColor(int(140 * s), int(25 * s)), QColor(0, 0, 255));
            EXPECT_EQ(img.pixelColor(int(117 * s), int(75 * s)), QColor(255, 204, 0));
            EXPECT_EQ(img.pixelColor(int(180 * s), int(60 * s)), QColor(255, 255, 255));
            int green = 0;
            for (int y = int(55 * s); y < int(80 * s); ++y)
                for (int x = int(3 * s); x < int(60 * s); ++x)
                    green += qGreen(img.pixel(x, y)) > 100 && qRed(img.pixel(x, y)) < 60;
            EXPECT_GT(green, int(60 * s * s));
            // The maker leaves its own margin inside the frame: the drawings are compared as drawn.
            const QImage refContent = Content(ref.convertToFormat(QImage::Format_RGB32));
            const QImage content = Content(img).scaled(refContent.size(), Qt::IgnoreAspectRatio,
                                                       Qt::SmoothTransformation);
            EXPECT_NEAR(Content(img).width(), refContent.width(), 8 * s);
            EXPECT_NEAR(Content(img).height(), refContent.height(), 8 * s);
            // Glyphs are smoothed differently; a lost shape or text would be far more.
            EXPECT_LT(FarPixels(content, refContent, int(s + 0.5)), 0.025);
            EXPECT_LT(FarPixels(refContent, content, int(s + 0.5)), 0.025);
        }
    }
}

TEST(Metafile, DamagedOrForeignBytesAreRefused)
{
    const QByteArray wmf = DataFile("shapes.wmf"), emf = DataFile("shapes.emf");
    TMetafile m;
    EXPECT_FALSE(m.LoadFromBytes(QByteArray("\xD7\xCD\xC6\x9A", 4)));  // a placeable key alone
    EXPECT_TRUE(m.Empty());
    EXPECT_FALSE(m.LoadFromBytes(QByteArray("\x89PNG\r\n\x1a\n", 8)));
    EXPECT_FALSE(m.LoadFromBytes(emf.left(60)));  // header cut short
    // Cut in the middle of the records: what is whole is drawn, nothing is read past the end.
    for (const QByteArray& cut : {wmf.left(wmf.size() - 400), emf.left(emf.size() - 400)}) {
        ASSERT_TRUE(m.LoadFromBytes(cut));
        const QImage img = Played(m, 189, 89);
        EXPECT_EQ(img.pixelColor(40, 25), QColor(255, 0, 0));
    }
    // A record claiming to be longer than the file ends the play.
    QByteArray bad = emf;
    bad[int(qFromLittleEndian<quint32>(emf.constData() + 4)) + 7] = char(0x7F);
    ASSERT_TRUE(m.LoadFromBytes(bad));
    Played(m, 50, 25);
}

TEST(Metafile, APictureWithoutPlaceableHeaderTakesItsWindowAsFrame)
{
    // RTF holds a metafile without the placeable header: the window settings give its frame.
    const QByteArray wmf = DataFile("shapes.wmf").mid(22);
    TMetafile m;
    ASSERT_TRUE(m.LoadFromBytes(wmf));
    EXPECT_EQ(m.Inch(), 0);
    const QImage img = Played(m, 189, 89);
    EXPECT_EQ(img.pixelColor(40, 25), QColor(255, 0, 0));
    EXPECT_EQ(img.pixelColor(140, 25), QColor(0, 0, 255));
}

TEST(Metafile, TextStretchedFarWiderThanHighIsDrawnWithoutCrash)
{
    for (const QByteArray& bytes : {StretchedTextWmf(true), StretchedTextWmf(false), StretchedTextEmf()}) {
        TMetafile m;
        ASSERT_TRUE(m.LoadFromBytes(bytes));
        for (const QSize size : {QSize(64, 64), QSize(200, 30), QSize(1000, 1000), QSize(3, 400)})
            Played(m, size.width(), size.height());
    }
    EXPECT_EQ(StretchedTextWmf(true).size(), 50);
}

TEST(Metafile, HeaderSizesOutOfRangeAreClampedNotWrapped)
{
    QByteArray frameTooWide = TEmf().Bytes(), boundsTooWide = frameTooWide;
    // A frame from -2^31 to 2^31 - 1 hundredths of a millimetre.
    qToLittleEndian<qint32>(std::numeric_limits<qint32>::min(), frameTooWide.data() + 24);
    qToLittleEndian<qint32>(std::numeric_limits<qint32>::max(), frameTooWide.data() + 32);
    // No frame: bounds of 2^31 pixels on a device of 1 pixel and 2,000 m.
    for (int off : {24, 28, 32, 36})
        qToLittleEndian<qint32>(0, boundsTooWide.data() + off);
    qToLittleEndian<qint32>(std::numeric_limits<qint32>::max(), boundsTooWide.data() + 16);
    qToLittleEndian<qint32>(std::numeric_limits<qint32>::max(), boundsTooWide.data() + 20);
    qToLittleEndian<qint32>(1, boundsTooWide.data() + 72);
    qToLittleEndian<qint32>(2000000000, boundsTooWide.data() + 100);
    for (const QByteArray& bytes : {frameTooWide, boundsTooWide}) {
        TMetafile m;
        ASSERT_TRUE(m.LoadFromBytes(bytes));
        EXPECT_EQ(m.MMWidth(), std::numeric_limits<int32_t>::max());
        EXPECT_EQ(m.Width(2540), std::numeric_limits<int32_t>::max());
        Played(m, 20, 20);
    }
    TMetafile m;
    ASSERT_TRUE(m.LoadFromBytes(boundsTooWide));
    EXPECT_EQ(m.MMHeight(), std::numeric_limits<int32_t>::max());
}

namespace {

// The colour of a 100 x 100 unit picture drawn at 100 x 100 pixels, at (X, Y).
QColor PlayedColor(const QByteArray& Bytes, int X = 50, int Y = 50)
{
    TMetafile m;
    if (!m.LoadFromBytes(Bytes))
        return {};
    return Played(m, 100, 100).pixelColor(X, Y);
}

}  // namespace

TEST(Metafile, ClipsAreRegionsOfWholeDevicePixels)
{
    // Holes with edges between device pixels: a pixel is inside a hole or not, never half.
    TWmf w = WmfWindow(100, 100);
    for (int i = 0; i < 1000; ++i) {
        const int x = (i * 37) % 95, y = (i * 53) % 95;
        w.Add(wmfExcludeClipRect, {y + 3, x + 3, y + 1, x + 1});
    }
    WmfBrush(w, qRgb(255, 0, 0)).Add(wmfSelectObject, {0});
    WmfRect(w, 0, 0, 100, 100);
    TMetafile m;
    ASSERT_TRUE(m.LoadFromBytes(w.Bytes()));
    // Drawn whole: the clip never grows past what the budget allows.
    bool whole = false;
    const QImage image = Played(m, 150, 150, &whole);
    EXPECT_TRUE(whole);
    int white = 0, other = 0;
    for (int y = 2; y < 148; ++y)
        for (int x = 2; x < 148; ++x) {
            const QRgb px = image.pixel(x, y);
            white += px == qRgb(255, 255, 255);
            other += px != qRgb(255, 255, 255) && px != qRgb(255, 0, 0);
        }
    EXPECT_GT(white, 500);
    EXPECT_EQ(other, 0);
}

TEST(Metafile, ObjectTablesAndSavedStatesAreBoundedAsTheHeaderAndDeviceSay)
{
    const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255);
    // A table of two: the third create is refused, so selecting its slot changes nothing.
    TWmf table = WmfWindow(100, 100);
    table.Objects = 2;
    WmfBrush(WmfBrush(WmfBrush(table, red), green), blue);
    table.Add(wmfSelectObject, {0}).Add(wmfSelectObject, {2});
    WmfRect(table, 0, 0, 100, 100);
    EXPECT_EQ(PlayedColor(table.Bytes()), QColor(red));

    // A full table with its first slot freed: one create takes it, the next is refused.
    TWmf full = WmfWindow(100, 100);
    full.Objects = 0xFFFF;
    for (int i = 0; i < 0xFFFF; ++i)
        WmfBrush(full, blue);
    full.Add(wmfDeleteObject, {0});
    WmfBrush(WmfBrush(full, red), green).Add(wmfSelectObject, {0});
    WmfRect(full, 0, 0, 100, 100);
    EXPECT_EQ(PlayedColor(full.Bytes()), QColor(red));

    // An enhanced metafile's objects live at indexes below the header's count.
    TEmf emf;
    emf.Handles = 2;
    emf.Add(emfCreateBrush, Longs({1, 0, 0x0000FF, 0})).Add(emfCreateBrush, Longs({5, 0, 0xFF0000, 0}));
    emf.Add(emfSelectObject, Longs({1})).Add(emfSelectObject, Longs({5}));
    emf.Add(emfRectangle, Longs({0, 0, 100, 100}));
    EXPECT_EQ(PlayedColor(emf.Bytes()), QColor(red));

    // Saves past the deepest kept state are refused: restoring the last one gives red.
    TWmf saves = WmfWindow(100, 100);
    WmfBrush(WmfBrush(saves, red), blue).Add(wmfSelectObject, {0});
    for (int i = 0; i < TMetafile::MaxSavedStates; ++i)
        saves.Add(wmfSaveDC, {});
    saves.Add(wmfSelectObject, {1}).Add(wmfSaveDC, {}).Add(wmfRestoreDC, {-1});
    WmfRect(saves, 0, 0, 100, 100);
    EXPECT_EQ(PlayedColor(saves.Bytes()), QColor(red));
}

TEST(Metafile, APlayEndsWhenItsBudgetIsSpent)
{
    // Records: red on the left, then more records than one play may take, then blue on the right.
    TWmf records = WmfWindow(100, 100);
    WmfBrush(WmfBrush(records, qRgb(255, 0, 0)), qRgb(0, 0, 255)).Add(wmfSelectObject, {0});
    WmfRect(records, 0, 0, 50, 100);
    for (int64_t i = 0; i < TMetafile::MaxWork; ++i)
        records.Add(wmfSetBkColor, Longs({0}));
    records.Add(wmfSelectObject, {1});
    WmfRect(records, 50, 0, 100, 100);
    // Pixels: red over all of it more often than the budget allows, then blue.
    TWmf pixels = WmfWindow(100, 100);
    WmfBrush(WmfBrush(pixels, qRgb(255, 0, 0)), qRgb(0, 0, 255)).Add(wmfSelectObject, {0});
    for (int64_t i = 0; i <= TMetafile::MaxPixels / (100 * 100); ++i)
        WmfRect(pixels, 0, 0, 100, 100);
    pixels.Add(wmfSelectObject, {1});
    WmfRect(pixels, 0, 0, 100, 100);
    for (const QByteArray& bytes : {records.Bytes(), pixels.Bytes()}) {
        TMetafile m;
        ASSERT_TRUE(m.LoadFromBytes(bytes));
        bool whole = true;
        const QImage image = Played(m, 100, 100, &whole);
        EXPECT_FALSE(whole);
        EXPECT_EQ(image.pixelColor(25, 50), QColor(255, 0, 0));
        EXPECT_NE(image.pixelColor(75, 50), QColor(0, 0, 255));
    }
    // A whole play says so.
    TMetafile m;
    ASSERT_TRUE(m.LoadFromBytes(DataFile("shapes.emf")));
    bool whole = false;
    Played(m, 189, 89, &whole);
    EXPECT_TRUE(whole);
}

TEST(Metafile, RecordsTheCheckerDoesNotKnowArePassedOverQuietly)
{
    TEmf e;
    e.Add(200, Longs({1, 2, 3})).Add(68, Longs({0, 0})).Add(105, Longs({0}));
    e.Add(emfCreateBrush, Longs({1, 0, 0x0000FF, 0})).Add(emfSelectObject, Longs({1}));
    e.Add(emfRectangle, Longs({0, 0, 100, 100}));
    e.Handles = 2;
    // Standard output goes to a file meanwhile.
    std::fflush(stdout);
    QTemporaryFile out;
    ASSERT_TRUE(out.open());
    const int saved = dup(1);
    ASSERT_GE(saved, 0);
    dup2(out.handle(), 1);
    const QColor color = PlayedColor(e.Bytes());
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    EXPECT_EQ(color, QColor(255, 0, 0));
    out.seek(0);
    EXPECT_EQ(out.readAll(), QByteArray());
}

TEST(Metafile, BitmapSourceRowsCountFromTheTopAsLibreOfficeDrawsThem)
{
    // A 4 x 4 bitmap, red above blue, stored top-down and bottom-up, drawn from its
    // rows 0 and 1 by StretchDIBits and by StretchBlt; dib-*.png is LibreOffice's page.
    for (const char* name : {"dib-stretchdib-topdown", "dib-stretchdib-bottomup", "dib-stretchblt-topdown",
                             "dib-stretchblt-bottomup"}) {
        const QImage ref(QStringLiteral(LUMI_TEST_DATA "/metafile/%1.png").arg(QLatin1String(name)));
        ASSERT_FALSE(ref.isNull()) << name;
        TMetafile m;
        ASSERT_TRUE(m.LoadFromBytes(DataFile((std::string(name) + ".wmf").c_str()))) << name;
        EXPECT_EQ(Played(m, 100, 100).pixelColor(50, 50), ref.pixelColor(ref.width() / 2, ref.height() / 2))
            << name;
    }
}

TEST(Metafile, ShapesFarLargerThanThePictureAreCutToWhereTheyShow)
{
    // A rectangle reaching 30,000 units past a window of 100, filled and framed by a wide
    // pen, drawn turned: what shows is still red inside and the frame stays outside.
    TWmf w = WmfWindow(100, 100);
    WmfBrush(w, qRgb(255, 0, 0)).Add(wmfSelectObject, {0});
    w.Add(wmfCreatePen, Words({0, 20, 0}) + Longs({0xFF0000})).Add(wmfSelectObject, {1});
    WmfRect(w, -30000, -30000, 30000, 30000);
    TMetafile m;
    ASSERT_TRUE(m.LoadFromBytes(w.Bytes()));
    QImage image(100, 100, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.translate(50, 50);
    p.rotate(30);
    p.setClipRect(QRectF(-30, -30, 60, 60));
    EXPECT_TRUE(m.Draw(p, QRectF(-50, -50, 100, 100)));
    p.end();
    EXPECT_EQ(image.pixelColor(50, 50), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(40, 60), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(2, 2), QColor(255, 255, 255));
}

TEST(Metafile, BitmapsPromisingMorePixelsThanTheirBytesHoldAreRefused)
{
    // Two bitmaps of 6,291,460 x 4 pixels with 64 bytes of bits: neither is decoded, and
    // the budget is left for the red rectangle after them.
    QByteArray dib = Dib({{qRgb(0, 0, 255), qRgb(0, 0, 255), qRgb(0, 0, 255), qRgb(0, 0, 255)}}, false);
    qToLittleEndian<qint32>(6291460, dib.data() + 4);
    const QByteArray stretch = Longs({0x00CC0020}) + Words({0, 4, 4, 0, 0, 100, 100, 0, 0}) + dib;
    TWmf w = WmfWindow(100, 100);
    w.Add(wmfStretchDib, stretch).Add(wmfStretchDib, stretch);
    WmfBrush(w, qRgb(255, 0, 0)).Add(wmfSelectObject, {0});
    WmfRect(w, 0, 0, 100, 100);
    TMetafile m;
    ASSERT_TRUE(m.LoadFromBytes(w.Bytes()));
    bool whole = false;
    const QImage image = Played(m, 100, 100, &whole);
    EXPECT_TRUE(whole);
    EXPECT_EQ(image.pixelColor(50, 50), QColor(255, 0, 0));
}

namespace {

// Plays Bytes at W x H; Whole tells whether the play drew the whole picture.
QImage PlayedBytes(const QByteArray& Bytes, int W, int H, bool* Whole)
{
    TMetafile m;
    if (!m.LoadFromBytes(Bytes)) {
        ADD_FAILURE() << "not a metafile";
        return {};
    }
    return Played(m, W, H, Whole);
}

}  // namespace

TEST(Metafile, AShapeReachingFarPastThePictureDrawsItsVisibleArcWhereItLies)
{
    // A circle of 16,000 pixels whose arc crosses a 100 x 100 picture through its middle,
    // filled red and framed by a solid or dashed pen: away from the arc every pixel is
    // red inside the circle and white outside it.
    const QPointF centre(50 - 16000 / std::sqrt(2.0), 50 - 16000 / std::sqrt(2.0));
    for (const int penStyle : {0, 1}) {
        TWmf w = WmfWindow(100, 100);
        WmfBrush(w, qRgb(255, 0, 0)).Add(wmfSelectObject, {0});
        w.Add(wmfCreatePen, Words({penStyle, 0, 0}) + Longs({0xFF0000})).Add(wmfSelectObject, {1});
        const int l = int(std::lround(centre.x() - 16000)), r = int(std::lround(centre.x() + 16000));
        w.Add(wmfEllipse, {r, r, l, l});
        bool whole = false;
        const QImage image = PlayedBytes(w.Bytes(), 100, 100, &whole);
        EXPECT_TRUE(whole);
        int red = 0, white = 0, wrong = 0;
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 100; ++x) {
                const double d = QLineF(centre, QPointF(x + 0.5, y + 0.5)).length() - 16000;
                const QRgb px = image.pixel(x, y);
                if (d < -2)
                    px == qRgb(255, 0, 0) ? ++red : ++wrong;
                else if (d > 2)
                    px == qRgb(255, 255, 255) ? ++white : ++wrong;
            }
        EXPECT_EQ(wrong, 0) << "pen style " << penStyle;
        EXPECT_GT(red, 4000);
        EXPECT_GT(white, 4000);
    }
    // Ten such ellipses framed by a dashed pen are drawn whole.
    bool whole = false;
    const QImage image = PlayedBytes(HugeEllipsesWmf(), 100, 100, &whole);
    EXPECT_TRUE(whole);
    EXPECT_EQ(image.pixelColor(5, 50), QColor(255, 0, 0));
}

TEST(Metafile, ADashedOutlineFarPastThePictureKeepsItsPatternPastItsStart)
{
    // A square of 30,000 pixels, 120,012 round, starting in the picture at (90, 50) and
    // going down, framed by a dashed pen 4 pixels wide: below its start the dashes lie
    // where the painter puts them on the whole outline, however far round it is.
    const QPolygonF square{{90, 50}, {90, 30050}, {-29916, 30050}, {-29916, 50}};
    TWmf w = WmfWindow(100, 100);
    w.Add(wmfCreatePen, Words({0x201, 4, 0}) + Longs({0xFF0000})).Add(wmfSelectObject, {0});
    QByteArray points = Words({int(square.size())});
    for (const QPointF& pt : square)
        points += Words({int(pt.x()), int(pt.y())});
    w.Add(wmfPolygon, points);
    bool whole = false;
    const QImage image = PlayedBytes(w.Bytes(), 100, 100, &whole);
    EXPECT_TRUE(whole);
    QImage expected(100, 100, QImage::Format_RGB32);
    expected.fill(Qt::white);
    {
        QPainter p(&expected);
        p.setPen(QPen(Qt::blue, 4, Qt::DashLine, Qt::FlatCap, Qt::RoundJoin));
        p.drawPolygon(square);
    }
    auto dark = [](const QImage& I, int Y) { return qGray(I.pixel(90, Y)) < 128; };
    int wrong = 0;
    for (int y = 56; y < 99; ++y)
        if (dark(image, y) != dark(expected, y) && dark(image, y) != dark(expected, y - 1)
            && dark(image, y) != dark(expected, y + 1))
            ++wrong;
    EXPECT_EQ(wrong, 0);
}

TEST(Metafile, ALineFarPastThePictureKeepsThePenAsWideAsThePainterTakes)
{
    // A line 10,000 pixels above the picture, 60,000 long, drawn with a pen 50,000 pixels
    // wide: cut to the picture, its pen still reaches over all of it.
    TWmf w = WmfWindow(10, 10);
    w.Add(wmfCreatePen, Words({0, 5000, 0}) + Longs({0xFF0000})).Add(wmfSelectObject, {0});
    w.Add(wmfMoveTo, {-1000, -3000}).Add(wmfLineTo, {-1000, 3000});
    bool whole = false;
    const QImage image = PlayedBytes(w.Bytes(), 100, 100, &whole);
    EXPECT_TRUE(whole);
    EXPECT_EQ(image.pixelColor(50, 50), QColor(0, 0, 255));
    EXPECT_EQ(image.pixelColor(50, 99), QColor(0, 0, 255));
}

TEST(Metafile, CurvesReachingFarPastThePictureAreChargedForWhatTheyDrawInSight)
{
    // 30,000 curves out to 2,000 times the picture and back, each crossing it twice:
    // their lines in sight are more than a play may draw.
    bool whole = true;
    PlayedBytes(FarBeziersEmf(30000), 600, 400, &whole);
    EXPECT_FALSE(whole);
    // Out of sight they cost next to nothing: the same curves beside a picture that
    // shows only a corner far from them.
    TEmf e;
    std::vector<std::pair<int, int>> pts{{-5000, -5000}};
    for (int i = 0; i < 3000; ++i)
        pts.insert(pts.end(), {{-200000, -200000}, {-200000, 200000}, {-5000, -5000}});
    e.Handles = 2;
    e.Add(emfPolyBezier, EmfPoints(pts));
    e.Add(emfCreateBrush, Longs({1, 0, 0x0000FF, 0})).Add(emfSelectObject, Longs({1}));
    e.Add(emfRectangle, Longs({0, 0, 100, 100}));
    const QImage image = PlayedBytes(e.Bytes(), 600, 400, &whole);
    EXPECT_TRUE(whole);
    EXPECT_EQ(image.pixelColor(300, 200), QColor(255, 0, 0));
}

TEST(Metafile, AClipPathIsCutToThePictureAndChargedForItsRegion)
{
    // A zigzag 80,000 pixels tall: where it shows, the clip is the polygon's inside.
    // Pixels whose side of it a scale of the picture's frame off by 1/5,000 would
    // change are left out.
    bool whole = false;
    const QImage image = PlayedBytes(ZigzagClipPathEmf(100), 600, 400, &whole);
    EXPECT_TRUE(whole);
    QPolygonF zigzag;
    for (int i = 0; i < 100; ++i)
        zigzag << QPointF(i % 2 ? 600 : 0, 200 - 40000 + i * 80000.0 / 99);
    int red = 0, white = 0, wrong = 0;
    // The filled rectangle's frame is left out too.
    for (int y = 2; y < 398; y += 2)
        for (int x = 2; x < 598; x += 2) {
            int inside = 0;
            for (const double s : {1.0, 1.0002, 0.9998})
                for (const QPointF d : {QPointF(0, 0), QPointF(2, 0), QPointF(-2, 0), QPointF(0, 2), QPointF(0, -2)})
                    inside += zigzag.containsPoint(QPointF(x + 0.5, y + 0.5) / s + d, Qt::OddEvenFill);
            if (inside % 15)
                continue;
            const QRgb expected = inside ? qRgb(255, 0, 0) : qRgb(255, 255, 255);
            image.pixel(x, y) == expected ? ++(inside ? red : white) : ++wrong;
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(red, 1000);
    EXPECT_GT(white, 1000);
    // A zigzag of 400,000 points inside the picture makes a region of millions of
    // rectangles: it is refused before it is made.
    PlayedBytes(ZigzagClipPathEmf(400000, 400), 600, 400, &whole);
    EXPECT_FALSE(whole);
}

TEST(Metafile, ARestoredClipIsHandedToThePainterWhenItChangedAndChargedForItsSize)
{
    // Left half clipped, saved, cut to the top left quarter, restored: red fills the left half.
    TEmf e;
    e.Handles = 3;
    e.Add(emfIntersectClipRect, Longs({0, 0, 50, 100})).Add(emfSaveDC, {});
    e.Add(emfIntersectClipRect, Longs({0, 0, 50, 50}));
    e.Add(emfCreateBrush, Longs({1, 0, 0xFF0000, 0})).Add(emfSelectObject, Longs({1}));
    e.Add(emfRectangle, Longs({0, 0, 100, 100}));
    e.Add(emfRestoreDC, Longs({-1}));
    e.Add(emfCreateBrush, Longs({2, 0, 0x0000FF, 0})).Add(emfSelectObject, Longs({2}));
    e.Add(emfRectangle, Longs({0, 0, 100, 100}));
    bool whole = false;
    const QImage image = PlayedBytes(e.Bytes(), 100, 100, &whole);
    EXPECT_TRUE(whole);
    EXPECT_EQ(image.pixelColor(25, 25), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(25, 75), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(75, 25), QColor(255, 255, 255));

    // A clip of 30,000 rectangles, then 2,000 small rectangles each after a save and a
    // restore: every drawing under that clip costs its rectangles.
    PlayedBytes(RestoredClipEmf(30000, 2000), 600, 400, &whole);
    EXPECT_FALSE(whole);
    // The same clip restored after each drawing without a clip is handed over each time.
    std::vector<std::array<int, 4>> rects;
    for (int i = 0; i < 30000; ++i)
        rects.push_back({(i % 300) * 2, (i / 300) * 2, (i % 300) * 2 + 1, (i / 300) * 2 + 1});
    TEmf again;
    again.Width = 600;
    again.Height = 400;
    again.Add(emfExtSelectClipRgn, EmfClipRects(rects, 5));
    for (int i = 0; i < 2000; ++i) {
        again.Add(emfSaveDC, {}).Add(emfExtSelectClipRgn, Longs({0, 5}));
        again.Add(emfRectangle, Longs({0, 0, 1, 1}));
        again.Add(emfRestoreDC, Longs({-1})).Add(emfRectangle, Longs({0, 0, 1, 1}));
    }
    PlayedBytes(again.Bytes(), 600, 400, &whole);
    EXPECT_FALSE(whole);
}

TEST(Metafile, StretchedTextIsBuiltOnlyWhereItShowsAndChargedPerOutline)
{
    // Three records of 32,000 characters ten times wider than high, running 12 million
    // pixels past the picture's right edge: the few in sight are drawn, the play is whole.
    bool whole = false;
    const QImage image = PlayedBytes(LongStretchedTextWmf(3, 32000, 12, 80), 600, 400, &whole);
    EXPECT_TRUE(whole);
    int dark = 0;
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 600; ++x)
            dark += qGray(image.pixel(x, y)) < 128;
    EXPECT_GT(dark, 2000);
    // 32,000 characters on one place all show: their outlines are more than a play may build.
    PlayedBytes(StackedStretchedTextWmf(32000), 600, 400, &whole);
    EXPECT_FALSE(whole);
}

TEST(Metafile, ABitmapWhoseSizeOverflowsIsRefusedAndThePlayGoesOn)
{
    // 2^31 - 1 by 2^31 - 1 pixels of 32 bits: rows times height do not fit 64 bits.
    const QByteArray bytes = HugeDibWmf();
    EXPECT_LE(bytes.size(), 200);
    bool whole = false;
    const QImage image = PlayedBytes(bytes, 100, 100, &whole);
    EXPECT_TRUE(whole);
    EXPECT_EQ(image.pixelColor(50, 50), QColor(255, 0, 0));
}

TEST(Metafile, OrdinaryDrawingsAreDrawnWholeFromThumbnailToPrint)
{
    // Charts, barcodes, a map, tables and pages of text, gradients, hatching and dashes
    // and many fonts, as LibreOffice Draw wrote them: whole at every size from a
    // thumbnail to print, however many edges share a row, however small the text
    // and however many strips a gradient takes.
    const auto files = MetafilesIn(QStringLiteral(LUMI_TEST_DATA "/metafile/ordinary"));
    ASSERT_GE(files.size(), 24u);
    for (const auto& [name, bytes] : files) {
        TMetafile m;
        ASSERT_TRUE(m.LoadFromBytes(bytes)) << name.toStdString();
        for (const int w : {60, 150, 600, 1500, 5000}) {
            const int h = std::max(1, int(std::lround(w * double(m.MMHeight()) / m.MMWidth())));
            bool whole = false;
            Played(m, w, h, &whole);
            EXPECT_TRUE(whole) << name.toStdString() << " at " << w << " x " << h;
        }
    }
}

TEST(Metafile, DashesFinerThanAPixelOrTooManyToCountAreDrawnAsASolidLine)
{
    // A line 2 units wide across a window of 6,000 x 100 units drawn at 600 x 100 pixels:
    // its dashes, 8 units long, are 0.8 pixels across. It is drawn solid.
    TWmf fine = WmfWindow(6000, 100);
    fine.Add(wmfCreatePen, Words({1, 2, 0}) + Longs({0})).Add(wmfSelectObject, {0});
    fine.Add(wmfMoveTo, {50, 0}).Add(wmfLineTo, {50, 6000});
    // 200 frames one over the other with a dotted pen of a pixel: 80,000 dots, more than
    // a play counts. Their top edges, along row 50, are drawn solid.
    TWmf many = WmfWindow(1200, 200);
    many.Add(wmfCreateBrush, Words({1}) + Longs({0}) + Words({0})).Add(wmfSelectObject, {0});
    many.Add(wmfCreatePen, Words({2, 0, 0}) + Longs({0})).Add(wmfSelectObject, {1});
    QByteArray frames = Words({200});
    for (int i = 0; i < 200; ++i)
        frames += Words({4});
    for (int i = 0; i < 200; ++i)
        frames += Words({0, 101, 1200, 101, 1200, 181, 0, 181});
    many.Add(wmfPolyPolygon, frames);
    for (const QByteArray& bytes : {fine.Bytes(), many.Bytes()}) {
        bool whole = false;
        const QImage image = PlayedBytes(bytes, 600, 100, &whole);
        EXPECT_TRUE(whole);
        int gaps = 0;
        for (int x = 5; x < 595; ++x)
            gaps += qGray(image.pixel(x, 50)) > 40;
        EXPECT_EQ(gaps, 0);
    }
}

TEST(Metafile, WideDashedPensUnderAStretchedMappingCostWhatTheyDraw)
{
    // A dash-dot pen 24,960 units wide, one polygon, under a mapping 96 : 2,097,248,
    // drawn stretched, turned and clipped as the fuzz target draws it: its dashes are
    // finer than a pixel, so it looks as the same pen drawn solid.
    const QByteArray dashed = DataFile("hostile/wide-dashdot-pen-stretched.emf");
    ASSERT_EQ(dashed.size(), 548);
    QByteArray solid = dashed;
    // The pen's style in its CREATEPEN record: the line kind in the low four bits.
    const int pen = solid.indexOf(QByteArray::fromHex("26000000" "1c000000" "02000000"));
    ASSERT_GT(pen, 0);
    solid[pen + 12] = char(solid[pen + 12] & 0xF0);
    auto fuzzDrawn = [](const QByteArray& Bytes) {
        TMetafile m;
        EXPECT_TRUE(m.LoadFromBytes(Bytes));
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        m.Draw(p, QRectF(0, 0, 64, 48));
        p.translate(32, 24);
        p.rotate(30);
        p.setClipRect(QRectF(-20, -20, 30, 40));
        m.Draw(p, QRectF(-30, -5, 90, 10));
        return image;
    };
    EXPECT_EQ(fuzzDrawn(dashed), fuzzDrawn(solid));
    // Ten ellipses 1.9 pixels tall stroked with a pen 32,767 pixels wide: every join of
    // their outlines reaches across the whole pen, more than a play may fill.
    bool whole = true;
    PlayedBytes(DataFile("hostile/wide-dashdotdot-ellipses.wmf"), 600, 400, &whole);
    EXPECT_FALSE(whole);
}

TEST(Metafile, TextTooSmallToReadIsDrawnInRunsWithinTheStretchGlyphsTake)
{
    // Text of an em of 0.6 pixels whose advances put its letters 1,600 pixels apart, or
    // all ten within a twentieth of a pixel: drawn in runs, stretched or narrowed
    // no further than the font engine renders glyphs.
    TWmf w = WmfWindow(12000, 8000);
    QByteArray wide, narrow;
    for (int i = 0; i < 10; ++i) {
        wide += Words({32000});
        narrow += Words({i == 9});
    }
    w.Add(wmfExtTextOut, Words({4000, 0, 10, 0}) + QByteArray("ABCDEFGHIJ") + wide);
    w.Add(wmfExtTextOut, Words({6000, 0, 10, 0}) + QByteArray("WWWWWWWWWW") + narrow);
    // Text at its own advances shows as a smudge of ink.
    w.Add(wmfExtTextOut, Words({2000, 200, 40, 0}) + QByteArray(40, 'W'));
    bool whole = false;
    const QImage image = PlayedBytes(w.Bytes(), 600, 400, &whole);
    EXPECT_TRUE(whole);
    int ink = 0;
    for (int y = 95; y < 105; ++y)
        for (int x = 10; x < 60; ++x)
            ink += qGray(image.pixel(x, y)) < 250;
    EXPECT_GT(ink, 20);
}

namespace {

// The time limit as a play really has it, for the test's scope.
struct TRealTimeLimit {
    TRealTimeLimit() { TMetafile::SetTimeLimitFactor(1); }
    ~TRealTimeLimit() { TMetafile::SetTimeLimitFactor(20); }
};

// A clock that stands still until its ExpiresAt-th reading and is far past any
// limit from then on; Reads counts the readings.
int64_t Reads = 0, ExpiresAt = 0;
int64_t SteppedClock() { return ++Reads >= ExpiresAt ? int64_t(1) << 62 : 0; }
struct TSteppedClock {
    explicit TSteppedClock(int64_t At)
    {
        Reads = 0;
        ExpiresAt = At;
        TMetafile::SetClock(SteppedClock);
    }
    ~TSteppedClock() { TMetafile::SetClock(nullptr); }
};

double ThreadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec * 1e-9;
}

int Ink(const QImage& Image)
{
    int ink = 0;
    for (int y = 0; y < Image.height(); ++y)
        for (int x = 0; x < Image.width(); ++x)
            ink += qGray(Image.pixel(x, y)) < 250;
    return ink;
}

// A zigzag of Teeth teeth across a window of 6,000 x 4,000 units, from top to bottom.
std::vector<std::pair<int, int>> Zigzag(int Teeth)
{
    std::vector<std::pair<int, int>> points;
    for (int i = 0; i <= Teeth; ++i)
        points.emplace_back(i * 6000 / Teeth, i % 2 ? 3990 : 10);
    return points;
}

TEmf ZigzagEmf()
{
    TEmf e;
    e.Width = 6000;
    e.Height = 4000;
    e.Handles = 4;
    return e;
}

}  // namespace

TEST(Metafile, ALongRecordIsDrawnInPartsThatTheTimeLimitCanEndBetween)
{
    // One drawing record each, far more work than one painter call may take: a filled
    // zigzag with many edges on every row, the same as a line 40 units wide, as a thin
    // dashed line, and a text of 400 glyphs, readable or not. A clock that runs out at its n-th reading
    // cuts the record part way for many n: the picture grows part by part, and a cut
    // play is not whole and says it ran out of time.
    std::vector<std::pair<const char*, QByteArray>> files;
    {
        TEmf e = ZigzagEmf();
        e.Add(emfCreateBrush, Longs({1, 0, 0, 0})).Add(emfSelectObject, Longs({1}));
        e.Add(emfSelectObject, Longs({0x80000008}));  // no pen
        e.Add(emfPolygon, EmfPoints(Zigzag(200)));
        files.emplace_back("fill", e.Bytes());
    }
    for (const int style : {0, 2}) {
        TEmf e = ZigzagEmf();
        e.Add(emfSelectObject, Longs({0x80000005}));  // no brush
        e.Add(emfCreatePen, Longs({1, style, style ? 0 : 40, 0, 0})).Add(emfSelectObject, Longs({1}));
        e.Add(emfPolyline, EmfPoints(Zigzag(style ? 3000 : 100)));
        files.emplace_back(style ? "thin dotted line" : "wide line", e.Bytes());
    }
    for (const int em : {100, 10}) {
        TEmf e = ZigzagEmf();
        e.Add(emfExtCreateFontIndirectW, Longs({1, -em, 0, 0, 0, 400, 0}) + QByteArray(68, '\0'));
        e.Add(emfSelectObject, Longs({1}));
        // 400 glyphs across the picture, their advances given.
        QByteArray text = Longs({0, 0, -1, -1, 1, 0, 0, 10, 1000, 400, 76, 0, 0, 0, -1, -1, 76 + 800});
        for (int i = 0; i < 400; ++i)
            Put16(text, 'A' + i % 26);
        for (int i = 0; i < 400; ++i)
            Put32(text, 15);
        e.Add(emfExtTextOutW, text);
        files.emplace_back(em == 100 ? "text" : "text too small to read", e.Bytes());
    }
    for (const auto& [name, bytes] : files) {
        TMetafile m;
        ASSERT_TRUE(m.LoadFromBytes(bytes)) << name;
        int64_t reads = 0;
        int full = 0;
        {
            TSteppedClock never(std::numeric_limits<int64_t>::max());
            bool whole = false;
            full = Ink(Played(m, 600, 400, &whole));
            EXPECT_TRUE(whole) << name;
            reads = Reads;
        }
        std::set<int> partial;
        for (int64_t n = 2; n <= reads; n += std::max<int64_t>(1, reads / 24)) {
            TSteppedClock clock(n);
            QImage image(600, 400, QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter p(&image);
            TMetafile::TPlayCost cost;
            EXPECT_FALSE(m.Draw(p, QRectF(0, 0, 600, 400), &cost)) << name << " cut at reading " << n;
            EXPECT_TRUE(cost.TimedOut) << name;
            p.end();
            const int ink = Ink(image);
            EXPECT_LE(ink, full) << name;
            if (ink > 0 && ink < full)
                partial.insert(ink);
        }
        EXPECT_GE(partial.size(), 3u) << name << ": " << reads << " readings, " << full << " pixels of ink";
    }
}

namespace {

// A clock that stands still at its first reading and is a second later from then on.
int64_t SecondLater() { return Reads++ ? 1000000000 : 0; }

}  // namespace

TEST(Metafile, APlaysTimeLimitFollowsThePartOfThePictureThatShows)
{
    // A second is past the limit of a play on 600 x 400 pixels, and within the limit of
    // one on 3,000 x 2,000; a picture ten times larger than its device has the limit of
    // what shows of it.
    const TRealTimeLimit realLimit;
    TMetafile m;
    ASSERT_TRUE(m.LoadFromBytes(DataFile("shapes.emf")));
    struct TCase {
        QSize Device;
        QRectF Dest;
        bool TimedOut;
    };
    for (const TCase& c : {TCase{{600, 400}, {0, 0, 600, 400}, true}, TCase{{3000, 2000}, {0, 0, 3000, 2000}, false},
                           TCase{{600, 400}, {-1000, -1000, 3000, 2000}, true},
                           TCase{{600, 400}, {0, 0, 6000, 4000}, true}}) {
        Reads = 0;
        TMetafile::SetClock(SecondLater);
        QImage image(c.Device, QImage::Format_Grayscale8);
        QPainter p(&image);
        TMetafile::TPlayCost cost;
        m.Draw(p, c.Dest, &cost);
        TMetafile::SetClock(nullptr);
        EXPECT_EQ(cost.TimedOut, c.TimedOut) << c.Dest.width() << " x " << c.Dest.height() << " on "
                                             << c.Device.width() << " x " << c.Device.height();
    }
}

TEST(Metafile, CraftedFilesEndWithinTheTimeLimitAtEverySize)
{
    // Zigzags of many edges per row filled, stroked wide and dashed, self-crossing
    // polygons, stacked glyphs, a character no font holds and wide dashed pens: at
    // every size each play ends within its own limit (and the slack of one part), drawn
    // whole or cut. The play's own time is measured on the thread's clock, which a
    // loaded machine does not run on while the test waits.
    const TRealTimeLimit realLimit;
    const auto files = MetafilesIn(QStringLiteral(LUMI_TEST_DATA "/metafile/hostile"));
    ASSERT_GE(files.size(), 7u);
    for (const auto& [name, bytes] : files) {
        TMetafile m;
        ASSERT_TRUE(m.LoadFromBytes(bytes)) << name.toStdString();
        for (const int w : {60, 600, 1500, 4800}) {
            const int h = std::clamp(int(std::lround(w * double(m.MMHeight()) / m.MMWidth())), 1, w);
            QImage image(w, h, QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter p(&image);
            TMetafile::TPlayCost cost;
            const double start = ThreadSeconds();
            const bool whole = m.Draw(p, QRectF(0, 0, w, h), &cost);
            const double seconds = ThreadSeconds() - start;
            const double limit = TMetafile::TimeLimit(double(w) * h);
            EXPECT_LE(seconds, limit * 1.5 + 0.05) << name.toStdString() << " at " << w << " x " << h;
            std::printf("%-34s %5d x %-5d %8.3f s of %6.2f s  %s\n", qPrintable(name), w, h, seconds, limit,
                        whole ? "whole" : cost.TimedOut ? "cut at the time limit" : "cut at the budget");
        }
    }
}

namespace {

// A character of each of many scripts, among them scripts that no installed font may
// hold and that are shaped in complex ways, a character of no script and one beyond
// the basic plane.
const QString ManyScripts = QString::fromUtf16(
    u"Aa\u03a9\u0416\u05d0\u0639\u0915\u0995\u0a15\u0a95\u0b15\u0b95\u0c15\u0c95\u0d15\u0d9a"
    u"\u0e01\u0e81\u0f40\u1000\u10d0\u1100\u1200\u13a0\u1780\u1820\u4e2d\u3042\u30a2\uac00"
    u"\u0531\u0710\u0780\u07ca\u2200\u0378\U0001F600\U0001D400");

// An enhanced metafile 1,000 units square of Lines lines of ManyScripts, Em units
// high and Advance units apart, drawn Stretch times wider than high in a font of the
// given weight.
QByteArray ScriptTextEmf(int Em, int Advance, int Lines, int Stretch, int Weight)
{
    TEmf e;
    e.Width = e.Height = 1000;
    e.Handles = 2;
    e.Add(emfSetMapMode, Longs({8}));
    e.Add(emfSetWindowExtEx, Longs({1000, 1000 * Stretch}));
    e.Add(emfSetViewportExtEx, Longs({1000, 1000}));
    QByteArray font = Longs({1, -Em, 0, 0, 0, Weight, 0, 0});
    const QString face = QStringLiteral("DejaVu Sans");
    for (int i = 0; i < 32; ++i)
        Put16(font, i < face.size() ? face[i].unicode() : 0);
    e.Add(emfExtCreateFontIndirectW, font).Add(emfSelectObject, Longs({1}));
    const int64_t n = ManyScripts.size();
    for (int line = 0; line < Lines; ++line) {
        QByteArray text = Longs({0, 0, -1, -1, 1, 0, 0, 10, 10 + int64_t(line) * Em * Stretch / 2, n, 76, 0, 0, 0,
                                 -1, -1, 76 + (n * 2 + 3) / 4 * 4});
        for (const QChar c : ManyScripts)
            Put16(text, c.unicode());
        if (n % 2)
            Put16(text, 0);
        for (int64_t i = 0; i < n; ++i)
            Put32(text, Advance);
        e.Add(emfExtTextOutW, text);
    }
    return e.Bytes();
}

// A Windows metafile 1,000 units square of a line of text, Em units high at the font's
// own advances, in each of the character sets of Greek, Cyrillic, Hebrew, Arabic,
// Thai, Vietnamese, Japanese, Korean and Chinese, in a font of the given weight.
QByteArray CharsetTextWmf(int Em, int Weight)
{
    TWmf w = WmfWindow(1000, 1000);
    w.Objects = 1;
    const std::pair<int, QByteArray> lines[] = {
        {161, "\xc1\xc2\xc3\xc4\xe1\xe2\xe3"},  {204, "\xc0\xc1\xc2\xe0\xe1\xe2"},
        {177, "\xe0\xe1\xe2\xe3\xe4"},           {178, "\xc7\xc8\xca\xcb\xcc"},
        {222, "\xa1\xa2\xa3\xd4\xd5\xe0\xe1"}, {163, "\xc3\xd2\xde\xec\xf2"},
        {128, "\x88\x9f\x88\xa0\x82\xa0\x83\x41"}, {129, "\xb0\xa1\xb0\xa2\xb0\xa3"},
        {134, "\xb0\xa1\xb0\xa2\xd6\xd0"},       {136, "\xa4\x40\xa4\x41\xa4\xa4"},
    };
    int y = 10;
    for (const auto& [charset, text] : lines) {
        w.Add(0x02FB, Words({-Em, 0, 0, 0, Weight}) + QByteArray("\0\0\0", 3) + char(charset)
                          + QByteArray(4, '\0') + QByteArray("DejaVu Sans").leftJustified(32, '\0'));
        w.Add(wmfSelectObject, {0});
        w.Add(wmfExtTextOut, Words({y, 10, int(text.size()), 0}) + text);
        w.Add(wmfDeleteObject, {0});
        y += Em;
    }
    return w.Bytes();
}

}  // namespace

TEST(Metafile, TextInManyScriptsEndsWithinTheTimeLimitColdAndWarmAtEverySize)
{
    // Text too small to read, glyphs, outlines of large or stretched text and 10,000
    // characters, at given advances and at the font's own: each file is played at each
    // size in a weight no play asked for before (the fonts of its scripts not yet
    // loaded), then again. The text shows.
    const TRealTimeLimit realLimit;
    const std::pair<const char*, std::function<QByteArray(int)>> files[] = {
        {"too small to read", [](int W) { return ScriptTextEmf(10, 25, 1, 1, W); }},
        {"glyphs", [](int W) { return ScriptTextEmf(60, 30, 1, 1, W); }},
        {"large", [](int W) { return ScriptTextEmf(400, 200, 1, 1, W); }},
        {"stretched to outlines", [](int W) { return ScriptTextEmf(400, 200, 1, 20, W); }},
        {"10,000 characters", [](int W) { return ScriptTextEmf(12, 6, 250, 1, W); }},
        {"charsets too small to read", [](int W) { return CharsetTextWmf(10, W); }},
        {"charsets, glyphs", [](int W) { return CharsetTextWmf(60, W); }},
    };
    int weight = 101;
    for (const auto& [name, make] : files) {
        for (const int w : {60, 600, 1500, 4800}) {
            TMetafile m;
            ASSERT_TRUE(m.LoadFromBytes(make(weight += 13)));
            const double limit = TMetafile::TimeLimit(double(w) * w);
            for (const char* pass : {"cold", "warm"}) {
                QImage image(w, w, QImage::Format_RGB32);
                image.fill(Qt::white);
                QPainter p(&image);
                TMetafile::TPlayCost cost;
                const double start = ThreadSeconds();
                const bool whole = m.Draw(p, QRectF(0, 0, w, w), &cost);
                const double seconds = ThreadSeconds() - start;
                p.end();
                EXPECT_LE(seconds, limit * 1.5 + 0.05) << name << " at " << w << " pixels, " << pass;
                if (whole) {
                    EXPECT_GT(Ink(image.copy(0, 0, w, w / 4)), 0) << name << " at " << w << " pixels, " << pass;
                }
                std::printf("%-28s %5d px %s %8.3f s of %6.2f s  %s\n", name, w, pass, seconds, limit,
                            whole ? "whole" : cost.TimedOut ? "cut at the time limit" : "cut at the budget");
            }
        }
    }
}

TEST(Metafile, CrossingShapesAndStackedGlyphsAreChargedForThePixelsTheyCover)
{
    // Self-crossing polygons whose signed areas cancel, and 1,000 glyphs at one place
    // with no advance: each covers its pixels again, and the pixels run out before the
    // records do, whatever the clock says.
    for (const char* name : {"hostile/bowtie-1000.wmf", "hostile/stacked-glyphs-1000.emf"}) {
        TMetafile m;
        ASSERT_TRUE(m.LoadFromBytes(DataFile(name))) << name;
        QImage image(600, 600, QImage::Format_RGB32);
        QPainter p(&image);
        TMetafile::TPlayCost cost;
        EXPECT_FALSE(m.Draw(p, QRectF(0, 0, 600, 600), &cost)) << name;
        EXPECT_FALSE(cost.TimedOut) << name;
        EXPECT_GT(cost.Pixels, 600 * 600 * TMetafile::MaxOverdraw) << name;
    }
}
