#pragma once
// Camera-like JPEGs for the orientation tests: an upright picture of four
// coloured quarters, stored turned or mirrored with the EXIF orientation
// (1-8) that makes a viewer show it upright again.
#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QSize>

#include <cstdlib>

namespace orientedjpeg {

// The quarters of the upright picture.
inline const QColor kTopLeft{220, 30, 30}, kTopRight{30, 200, 30}, kBottomLeft{30, 30, 220},
    kBottomRight{240, 240, 240};

// The upright picture: W x H, one colour per quarter.
inline QImage Upright(int W, int H)
{
    QImage img(W, H, QImage::Format_RGB32);
    QPainter p(&img);
    p.fillRect(0, 0, W / 2, H / 2, kTopLeft);
    p.fillRect(W / 2, 0, W - W / 2, H / 2, kTopRight);
    p.fillRect(0, H / 2, W / 2, H - H / 2, kBottomLeft);
    p.fillRect(W / 2, H / 2, W - W / 2, H - H / 2, kBottomRight);
    return img;
}

// The stored pixel that a viewer shows at (X, Y) of the upright picture of
// size Shown under Orientation.
inline QPoint StoredPoint(int Orientation, QSize Shown, int X, int Y)
{
    const int w = Shown.width(), h = Shown.height();
    switch (Orientation) {
    case 2: return {w - 1 - X, Y};
    case 3: return {w - 1 - X, h - 1 - Y};
    case 4: return {X, h - 1 - Y};
    case 5: return {Y, X};
    case 6: return {Y, w - 1 - X};
    case 7: return {h - 1 - Y, w - 1 - X};
    case 8: return {h - 1 - Y, X};
    default: return {X, Y};
    }
}

// The JPEG bytes of Shown stored under Orientation, with an EXIF block
// (little-endian, one entry) carrying it.
inline QByteArray Make(const QImage& Shown, int Orientation)
{
    const bool swapped = Orientation >= 5;
    QImage stored(swapped ? Shown.height() : Shown.width(), swapped ? Shown.width() : Shown.height(),
                  QImage::Format_RGB32);
    for (int y = 0; y < Shown.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(Shown.constScanLine(y));
        for (int x = 0; x < Shown.width(); ++x) {
            const QPoint at = StoredPoint(Orientation, Shown.size(), x, y);
            reinterpret_cast<QRgb*>(stored.scanLine(at.y()))[at.x()] = row[x];
        }
    }
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    stored.save(&buffer, "JPEG", 95);

    const char tiff[] = {'I', 'I', 42, 0, 8, 0, 0, 0,               // header, IFD at 8
                         1, 0,                                      // one entry
                         0x12, 0x01, 3, 0, 1, 0, 0, 0,              // orientation, SHORT, 1
                         char(Orientation), 0, 0, 0,                // value
                         0, 0, 0, 0};                               // no next IFD
    const QByteArray payload = QByteArray("Exif\0\0", 6) + QByteArray(tiff, sizeof tiff);
    const int length = int(payload.size()) + 2;
    const QByteArray app1 = QByteArray("\xFF\xE1", 2) + char(length >> 8) + char(length & 0xFF) + payload;
    return jpeg.left(2) + app1 + jpeg.mid(2);  // right after the start marker
}

// True when the colour of Img at the quarter centres is that of the upright picture.
inline bool IsUpright(const QImage& Img, int Tolerance = 50)
{
    if (Img.isNull())
        return false;
    auto near = [&](int X, int Y, const QColor& C) {
        const QColor p = Img.pixelColor(X, Y);
        return std::abs(p.red() - C.red()) <= Tolerance && std::abs(p.green() - C.green()) <= Tolerance
               && std::abs(p.blue() - C.blue()) <= Tolerance;
    };
    const int w = Img.width(), h = Img.height();
    return near(w / 4, h / 4, kTopLeft) && near(3 * w / 4, h / 4, kTopRight) && near(w / 4, 3 * h / 4, kBottomLeft)
           && near(3 * w / 4, 3 * h / 4, kBottomRight);
}

} // namespace orientedjpeg
