// Plays arbitrary bytes as a Windows or enhanced metafile onto a small image,
// once at its size and once stretched and turned, then at 600 x 400 and at
// 1,500 pixels wide, where its time limit is 0.25 and 0.59 seconds. A play that
// takes more of its thread's time than its limit and the slack of one part
// aborts: unlike -timeout, that holds on a machine whose cores are all busy.
#include "FuzzSupport.h"
#include "Metafile.h"

#include <QFont>
#include <QFontDatabase>
#include <QImage>
#include <QPainter>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <time.h>

// The application, every font of the system and the text shaper are loaded before
// the first input (opening a large font file the first time takes up to a second),
// so that -timeout measures the play alone.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzStartApplication();
    QImage image(64, 48, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QStringList families = QFontDatabase::families();
    families << QStringLiteral("No Such Face");
    for (const QString& family : families) {
        QFont font(family);
        font.setPixelSize(100);
        p.setFont(font);
        p.drawText(QPointF(2, 20), QStringLiteral("Ag \u00c4\u00df\u20ac \u0416 \u03a9 \u4e2d"));
    }
    return 0;
}

namespace {

double ThreadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec * 1e-9;
}

// Draws M into Dest on P, within the limit of the whole device's area.
void Play(const TMetafile& M, QPainter& P, const QRectF& Dest)
{
    const double start = ThreadSeconds();
    M.Draw(P, Dest);
    const double seconds = ThreadSeconds() - start;
    const int w = P.device()->width(), h = P.device()->height();
    const double limit = TMetafile::TimeLimit(double(w) * h);
    if (seconds > limit * 1.5 + 0.05) {
        std::fprintf(stderr, "a play on %d x %d pixels took %.3f s of its thread, its limit %.3f s\n", w, h, seconds,
                     limit);
        std::abort();
    }
}

}  // namespace

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
    Play(m, p, QRectF(0, 0, 64, 48));
    p.translate(32, 24);
    p.rotate(30);
    p.setClipRect(QRectF(-20, -20, 30, 40));
    Play(m, p, QRectF(-30, -5, 90, 10));
    p.end();
    for (const QSize size : {QSize(600, 400), QSize(1500, 375)}) {
        QImage large(size, QImage::Format_ARGB32_Premultiplied);
        large.fill(Qt::white);
        QPainter lp(&large);
        Play(m, lp, QRectF(QPointF(0, 0), size));
    }
    return 0;
}
