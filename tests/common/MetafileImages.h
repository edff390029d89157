#pragma once
// Comparing a drawing with another program's rendering of it: both cut to
// what is drawn, compared pixel by pixel with a tolerance for smoothing.
#include <QImage>
#include <QRect>

#include <cstdlib>

namespace metafile_images {

inline bool Near(QRgb P, QRgb Q)
{
    return std::abs(qRed(P) - qRed(Q)) <= 64 && std::abs(qGreen(P) - qGreen(Q)) <= 64
           && std::abs(qBlue(P) - qBlue(Q)) <= 64;
}

// Share of pixels with no pixel of a near colour within Reach pixels of the
// same place in the other picture (edges and smoothing may move by a pixel).
inline double FarPixels(const QImage& A, const QImage& B, int Reach)
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
inline QImage Content(const QImage& Image)
{
    QRect box;
    for (int y = 0; y < Image.height(); ++y)
        for (int x = 0; x < Image.width(); ++x)
            if (Image.pixel(x, y) != qRgb(255, 255, 255))
                box |= QRect(x, y, 1, 1);
    return Image.copy(box);
}

}  // namespace metafile_images
