#include "uJpegDecode.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImage>
#include <QImageWriter>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>
#include <gtest/gtest.h>

namespace {

QByteArray Jpeg(const QImage& Image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(Image.save(&buffer, "JPEG", 95));
    return bytes;
}

// Left half red, right half blue.
QImage Halves(int W, int H, QImage::Format Format = QImage::Format_RGB32)
{
    QImage img(W, H, QImage::Format_RGB32);
    img.fill(QColor(220, 20, 20));
    for (int y = 0; y < H; ++y)
        for (int x = W / 2; x < W; ++x)
            img.setPixel(x, y, qRgb(20, 20, 220));
    return img.convertToFormat(Format);
}

bool Decode(const QByteArray& Bytes, const QSize& MinSize, QImage& Image, std::string& Message)
{
    return DecodeJpegBytes(reinterpret_cast<const uint8_t*>(Bytes.constData()), size_t(Bytes.size()), MinSize,
                           Image, Message);
}

bool Near(QRgb A, QRgb B)
{
    return std::abs(qRed(A) - qRed(B)) <= 8 && std::abs(qGreen(A) - qGreen(B)) <= 8
           && std::abs(qBlue(A) - qBlue(B)) <= 8 && qAlpha(A) == 255;
}

}  // namespace

// The smallest of 1/8, 1/4 and 1/2 that reaches the size asked for, else all.
TEST(JpegDecode, ScaleIsTheSmallestFastOneReachingTheSize)
{
    const QByteArray bytes = Jpeg(Halves(1000, 800));
    const struct {
        QSize least, decoded;
    } cases[] = {
        {QSize(), {1000, 800}},      {{125, 100}, {125, 100}}, {{126, 100}, {250, 200}},
        {{250, 201}, {500, 400}},    {{500, 400}, {500, 400}}, {{501, 10}, {1000, 800}},
        {{2000, 2000}, {1000, 800}},
    };
    for (const auto& c : cases) {
        QImage img;
        std::string message;
        ASSERT_TRUE(Decode(bytes, c.least, img, message)) << message;
        EXPECT_EQ(img.size(), c.decoded) << c.least.width() << "x" << c.least.height();
        EXPECT_EQ(img.format(), QImage::Format_RGB32);
        EXPECT_TRUE(Near(img.pixel(img.width() / 4, img.height() / 2), qRgb(220, 20, 20)));
        EXPECT_TRUE(Near(img.pixel(img.width() * 3 / 4, img.height() / 2), qRgb(20, 20, 220)));
    }
}

TEST(JpegDecode, GreyPicturesAndColourProfilesAreKept)
{
    QImage img;
    std::string message;
    ASSERT_TRUE(Decode(Jpeg(Halves(64, 48, QImage::Format_Grayscale8)), QSize(), img, message)) << message;
    EXPECT_EQ(img.format(), QImage::Format_RGB32);
    const QRgb grey = img.pixel(10, 10);
    EXPECT_TRUE(qRed(grey) == qGreen(grey) && qGreen(grey) == qBlue(grey) && qAlpha(grey) == 255);

    QImage wide = Halves(64, 48);
    wide.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    ASSERT_TRUE(Decode(Jpeg(wide), QSize(), img, message)) << message;
    EXPECT_EQ(img.colorSpace(), QColorSpace(QColorSpace::DisplayP3));
    ASSERT_TRUE(Decode(Jpeg(Halves(64, 48)), QSize(), img, message)) << message;
    EXPECT_FALSE(img.colorSpace().isValid());
}

// Unreadable bytes fail with the library's message and leave no picture; a
// picture cut short in its data decodes as far as it goes.
TEST(JpegDecode, UnreadableBytesFail)
{
    const QByteArray good = Jpeg(Halves(200, 100));
    for (const QByteArray& bad : {QByteArray(), QByteArray("no picture at all"), good.left(100)}) {
        QImage img(4, 4, QImage::Format_RGB32);
        std::string message;
        EXPECT_FALSE(Decode(bad, QSize(), img, message));
        EXPECT_TRUE(img.isNull());
        EXPECT_FALSE(message.empty());
    }
    QImage img;
    std::string message;
    ASSERT_TRUE(Decode(good.left(good.size() * 3 / 4), QSize(), img, message)) << message;
    EXPECT_EQ(img.size(), QSize(200, 100));
}

namespace {

// Colourful detail of every frequency, as in a photo with grain.
QImage Grainy(int W, int H)
{
    QImage img(W, H, QImage::Format_RGB32);
    uint32_t seed = 11;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = int(seed >> 27) - 16;
            img.setPixel(x, y, qRgb(std::clamp(x * 255 / W + grain, 0, 255), std::clamp(y * 255 / H - grain, 0, 255),
                                    ((x / 9 + y / 7) % 2) * 200 + 20));
        }
    return img;
}

QByteArray Progressive(const QImage& Image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    EXPECT_TRUE(writer.write(Image));
    return bytes;
}

}  // namespace

// A reduced decode gives the smooth scale of the decode at the same libjpeg
// scale, bit for bit: sequential pictures (decoded in parts at once) and
// progressive ones, reduced from full size and from a half.
TEST(JpegDecode, ReducedDecodeIsTheSmoothScaleOfTheDecode)
{
    const QImage picture = Grainy(900, 700);
    const QSize reduced(401, 311);
    for (const QByteArray& bytes : {Jpeg(picture), Progressive(picture)})
        for (const QSize& least : {QSize(), QSize(430, 330)}) {
            QImage decoded, small;
            std::string message;
            ASSERT_TRUE(Decode(bytes, least, decoded, message)) << message;
            ASSERT_TRUE(DecodeJpegBytes(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()),
                                        least, small, message, reduced))
                << message;
            EXPECT_EQ(small.format(), QImage::Format_RGB32);
            EXPECT_EQ(small, decoded.scaled(reduced, Qt::IgnoreAspectRatio, Qt::SmoothTransformation))
                << "decoded at " << decoded.width() << "x" << decoded.height();
        }
    // Larger than what is decoded: the decode as it is.
    QImage same;
    std::string message;
    const QByteArray bytes = Jpeg(picture);
    ASSERT_TRUE(DecodeJpegBytes(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()), QSize(),
                                same, message, QSize(901, 700)));
    EXPECT_EQ(same.size(), picture.size());
}

// Damaged bytes give a reduced picture or a failure, never a crash or a hang:
// cut short anywhere, or with bytes overwritten in the header, the tables or
// the data.
TEST(JpegDecode, DamagedBytesReducedGiveAPictureOrFail)
{
    const QByteArray good = Jpeg(Grainy(300, 240));
    const QSize reduced(170, 136);
    std::vector<QByteArray> damaged;
    for (int cut : {2, 20, 200, 600, int(good.size()) / 2, int(good.size()) - 3})
        damaged.push_back(good.left(cut));
    for (int at = 2; at < good.size(); at += 97) {
        QByteArray bad = good;
        bad[at] = char(~bad[at]);
        bad[std::min<int>(at + 1, int(bad.size()) - 1)] = char(0xFF);
        damaged.push_back(bad);
    }
    int pictures = 0;
    for (const QByteArray& bytes : damaged) {
        QImage img;
        std::string message;
        if (DecodeJpegBytes(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()), QSize(), img,
                            message, reduced)) {
            ++pictures;
            EXPECT_EQ(img.size(), reduced);
        } else {
            EXPECT_TRUE(img.isNull());
            EXPECT_FALSE(message.empty());
        }
    }
    EXPECT_GT(pictures, 0);
}

// Without memory for the buffers of a reduced decode, on the calling thread
// or on a part's own, the decode fails with a message: it neither throws nor
// ends the program. Run in a process of its own whose address space allows
// little more than what it already uses.
TEST(JpegDecode, ReducedDecodeWithoutMemoryFails)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer's shadow memory leaves no address space to limit";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "the address sanitizer's shadow memory leaves no address space to limit";
#endif
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const QByteArray bytes = Jpeg(Halves(65500, 24));
    auto decode = [&](size_t Room) {
        long pages = 0;
        if (FILE* f = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(f, "%ld", &pages) != 1)
                pages = 0;
            std::fclose(f);
        }
        if (pages <= 0)
            std::_Exit(0);  // nothing to limit by
        const rlim_t limit = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + Room;
        const rlimit rl{limit, limit};
        setrlimit(RLIMIT_AS, &rl);
        try {
            QImage img;
            std::string message;
            const bool ok = DecodeJpegBytes(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                            size_t(bytes.size()), QSize(), img, message, QSize(1000, 3));
            std::_Exit(ok || !message.empty() ? 0 : 2);
        } catch (...) {
            std::_Exit(1);
        }
    };
    // Room for the decoders and a thread or two, not for every band buffer;
    // and hardly any room at all.
    for (size_t room : {size_t(30) << 20, size_t(4) << 20})
        EXPECT_EXIT(decode(room), testing::ExitedWithCode(0), "") << (room >> 20) << " MB";
}
