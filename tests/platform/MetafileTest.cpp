#include "Metafile.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QtEndian>

#include <cstdlib>

// shapes.svg was turned into shapes.wmf and shapes.emf by LibreOffice Draw;
// shapes-189.png and shapes-377.png are those metafiles drawn by LibreOffice
// Draw at 96 and 192 dots per inch, cut to the picture's frame.
namespace {

QByteArray DataFile(const char* Name)
{
    QFile f(QStringLiteral(LUMI_TEST_DATA "/metafile/") + QLatin1String(Name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QImage Played(const TMetafile& M, int W, int H)
{
    QImage image(W, H, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    M.Draw(p, QRectF(0, 0, W, H));
    return image;
}

bool Near(QRgb P, QRgb Q)
{
    return std::abs(qRed(P) - qRed(Q)) <= 64 && std::abs(qGreen(P) - qGreen(Q)) <= 64
           && std::abs(qBlue(P) - qBlue(Q)) <= 64;
}

// Share of pixels with no pixel of a near colour within Reach pixels of the
// same place in the other picture (edges and smoothing may move by a pixel).
double FarPixels(const QImage& A, const QImage& B, int Reach)
{
    const QImage a = A.convertToFormat(QImage::Format_RGB32), b = B.convertToFormat(QImage::Format_RGB32);
    if (a.size() != b.size())
        return 1;
    int far = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            bool found = false;
            for (int dy = -Reach; dy <= Reach && !found; ++dy)
                for (int dx = -Reach; dx <= Reach && !found; ++dx)
                    found = b.valid(x + dx, y + dy) && Near(a.pixel(x, y), b.pixel(x + dx, y + dy));
            far += !found;
        }
    return double(far) / (a.width() * a.height());
}

// What is drawn, cut to the pixels that are not white.
QImage Content(const QImage& Image)
{
    QRect box;
    for (int y = 0; y < Image.height(); ++y)
        for (int x = 0; x < Image.width(); ++x)
            if (Image.pixel(x, y) != qRgb(255, 255, 255))
                box |= QRect(x, y, 1, 1);
    return Image.copy(box);
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
