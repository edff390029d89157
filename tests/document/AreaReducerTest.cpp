#include "AreaReducer.h"

#include <QImage>
#include <gtest/gtest.h>

#include <cstdint>

namespace {

// Opaque pixels of every value, so that each weight and each truncation shows.
QImage Noise(int W, int H, uint32_t Seed)
{
    QImage img(W, H, QImage::Format_RGB32);
    for (int y = 0; y < H; ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < W; ++x) {
            Seed = Seed * 1664525u + 1013904223u;
            row[x] = 0xFF000000u | (Seed >> 8);
        }
    }
    return img;
}

// Feeds the rows of Source from Reducer's first row on, in bands of 1, 7 and
// the rest, as a decoder hands them over.
void Feed(TAreaReducer& Reducer, const QImage& Source)
{
    int y = Reducer.FirstRow();
    for (int band : {1, 7, Source.height()}) {
        const int n = std::min(band, Source.height() - y);
        Reducer.AddRows(Source.constScanLine(y), Source.bytesPerLine(), n);
        y += n;
    }
}

QImage Reduced(const QImage& Source, const QSize& Target)
{
    QImage out(Target, QImage::Format_RGB32);
    out.fill(Qt::black);
    TAreaReducer reducer(Source.size(), Target, out.bits(), out.bytesPerLine());
    Feed(reducer, Source);
    EXPECT_TRUE(reducer.Done());
    return out;
}

}  // namespace

// The pixels of QImage's smooth scale, bit for bit, for shrinking by a
// little, by about two, by a lot and to a single pixel; the same size is
// the picture itself.
TEST(AreaReducer, GivesTheSmoothScalesPixels)
{
    const struct {
        QSize source, target;
    } cases[] = {
        {{400, 300}, {227, 170}}, {{600, 400}, {227, 170}}, {{333, 222}, {200, 199}}, {{500, 100}, {499, 99}},
        {{97, 61}, {13, 7}},      {{64, 64}, {1, 1}},       {{1000, 3}, {17, 2}},
    };
    uint32_t seed = 1;
    for (const auto& c : cases) {
        const QImage source = Noise(c.source.width(), c.source.height(), seed++);
        EXPECT_EQ(Reduced(source, c.target), source.scaled(c.target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation))
            << c.source.width() << "x" << c.source.height() << " -> " << c.target.width() << "x"
            << c.target.height();
    }
    const QImage same = Noise(31, 17, 99);
    EXPECT_EQ(Reduced(same, same.size()), same);
}

// Parts made by reducers of their own, each fed only the rows it needs, make
// the whole.
TEST(AreaReducer, PartsMadeApartMakeTheWhole)
{
    const QImage source = Noise(500, 400, 7);
    const QSize target(283, 211);
    QImage parts(target, QImage::Format_RGB32);
    parts.fill(Qt::black);
    for (const QRect part : {QRect(0, 0, 100, 150), QRect(100, 0, 183, 150), QRect(0, 150, 283, 61)}) {
        TAreaReducer reducer(source.size(), target, parts.bits(), parts.bytesPerLine(), part);
        EXPECT_GE(reducer.FirstRow(), 0);
        EXPECT_LE(reducer.EndRow(), source.height());
        Feed(reducer, source);
        EXPECT_TRUE(reducer.Done());
    }
    EXPECT_EQ(parts, Reduced(source, target));
}

// A target larger than the source, an empty one or a part beyond it makes
// nothing and takes no rows.
TEST(AreaReducer, MakesNothingForTargetsItCannotMake)
{
    const QImage source = Noise(40, 30, 3);
    QImage out(60, 40, QImage::Format_RGB32);
    out.fill(Qt::blue);
    const QImage before = out;
    const struct {
        QSize target;
        QRect part;
    } cases[] = {
        {{60, 20}, {}}, {{20, 40}, {}}, {{0, 10}, {}}, {{20, 10}, {10, 0, 11, 5}}, {{20, 10}, {-1, 0, 5, 5}},
    };
    for (const auto& c : cases) {
        TAreaReducer reducer(source.size(), c.target, out.bits(), out.bytesPerLine(), c.part);
        EXPECT_TRUE(reducer.Done());
        reducer.AddRows(source.constBits(), source.bytesPerLine(), source.height());
    }
    EXPECT_EQ(out, before);
    EXPECT_FALSE(TAreaReducer::CanReduce(QSize(40, 30), QSize(41, 30)));
    EXPECT_TRUE(TAreaReducer::CanReduce(QSize(40, 30), QSize(40, 30)));
}
