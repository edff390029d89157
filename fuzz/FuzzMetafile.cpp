// Plays arbitrary bytes as a Windows or enhanced metafile onto a small image,
// once at its size and once stretched and turned.
#include "FuzzSupport.h"
#include "Metafile.h"

#include <QImage>
#include <QPainter>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzStartApplication();
    TMetafile m;
    if (!m.LoadFromBytes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size))))
        return 0;
    m.Width(96);
    m.Height(600);
    QImage image(64, 48, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter p(&image);
    m.Draw(p, QRectF(0, 0, 64, 48));
    p.translate(32, 24);
    p.rotate(30);
    p.setClipRect(QRectF(-20, -20, 30, 40));
    m.Draw(p, QRectF(-30, -5, 90, 10));
    return 0;
}
