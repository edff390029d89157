// The picture manager: adding a camera picture and the memory a whole book
// holds once every page was viewed.
//
// (1) Adding one photo of 12 and of 24 megapixels (JPEG) to the manager, as
//     dropping it on a frame does: the picture is decoded by libjpeg (at a
//     half, quarter or eighth where that still leaves half as much again as
//     the stored size) in three parts at once, each reduced to 3.87 megapixels
//     band by band on a thread of its own while being decoded, and shown;
//     its JPEG of quality 90 is made on another thread, finished while the
//     timing is paused. The file is read and decoded on a thread of its own
//     while the calling (UI) thread serves its events. Baseline in the same
//     run: a full decode, a smooth reduction and the same encoding. Printed:
//     milliseconds and the ratio to the baseline, wall-clock and as CPU time
//     of the whole process, every thread's share counted (the figure a loaded
//     machine disturbs least), and the mean difference of the
//     stored pictures in grey levels (0-255), also for camera-like pictures
//     of 12, 24 and 48 megapixels.
// (2) Every page of a 192-page book (two distinct pictures per page, each of
//     the size a 12-megapixel photo is stored at) is drawn at screen size
//     once; the resident memory afterwards, with the manager's byte bound
//     (bound:1) and with its count rule alone (bound:0), and their ratio.
#include "BenchSupport.h"
#include "FBPictureElement.h"
#include "uBitmapDrawContext.h"
#include "uDocDrawer.h"
#include "uFotobuchBildManager.h"
#include "uFotobuchDocument.h"

#include "Canvas.h"
#include "SysUtils.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>

#include <cmath>
#include <cstdio>

namespace {

// ---- (1) adding a picture ----------------------------------------------------------------

// Arg: megapixels, 12 (4000 x 3000) or 24 (6000 x 4000).
const QString& PhotoFile(int Megapixels)
{
    static TPhotoFolder twelve(1, 4000, 3000);
    static TPhotoFolder twentyFour(1, 6000, 4000);
    static const QString files[2] = {twelve.File(0), twentyFour.File(0)};
    return files[Megapixels == 12 ? 0 : 1];
}

QByteArray StoredBytes(TBildManagerListItem& Item)
{
    return QByteArray(reinterpret_cast<const char*>(Item.Bytes().Memory()), qsizetype(Item.Bytes().Size()));
}

// The stored pictures of the last run of each benchmark, by megapixels.
std::map<std::string, QByteArray>& Stored()
{
    static std::map<std::string, QByteArray> stored;
    return stored;
}

void BM_AddPicture(benchmark::State& state)
{
    const QString& file = PhotoFile(int(state.range(0)));
    TBildmanager manager;
    for (auto _ : state) {
        const int32_t r = manager.AddFile(file);
        state.PauseTiming();
        Stored()["new/" + std::to_string(state.range(0))] = StoredBytes(*manager.FindItem(r));
        manager.Release(r);
        state.ResumeTiming();
    }
}

// Full decode, smooth reduction to the stored size, JPEG of quality 90 and
// the preview; returns the stored bytes.
QByteArray FullDecodeAndReduce(const QString& File)
{
    QFile f(File);
    f.open(QIODevice::ReadOnly);
    const QByteArray bytes = f.readAll();
    QBuffer in;
    in.setData(bytes);
    in.open(QIODevice::ReadOnly);
    QImageReader reader(&in);
    QImage image = reader.read().convertToFormat(QImage::Format_RGB32);
    const double factor = std::sqrt(double(image.width()) * image.height() / 3871488.0);
    image = image.scaled(int(Round(image.width() / factor)), int(Round(image.height() / factor)),
                         Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    const QImage preview = image.scaled(192, 144, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    benchmark::DoNotOptimize(preview.constBits());
    return out;
}

void BM_FullDecodeAndReduce(benchmark::State& state)
{
    const QString& file = PhotoFile(int(state.range(0)));
    for (auto _ : state) {
        const QByteArray out = FullDecodeAndReduce(file);
        state.PauseTiming();
        Stored()["full/" + std::to_string(state.range(0))] = out;
        state.ResumeTiming();
    }
}

BENCHMARK(BM_FullDecodeAndReduce)->ArgName("mp")->Arg(12)->Arg(24)->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()->UseRealTime()->Apply(FastestOf<5>);
BENCHMARK(BM_AddPicture)->ArgName("mp")->Arg(12)->Arg(24)->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()->UseRealTime()->Apply(FastestOf<5>);

// Mean absolute difference per channel of two encoded pictures of one size; -1 otherwise.
double MeanDifference(const QByteArray& A, const QByteArray& B)
{
    const QImage a = QImage::fromData(A).convertToFormat(QImage::Format_RGB32);
    const QImage b = QImage::fromData(B).convertToFormat(QImage::Format_RGB32);
    if (a.isNull() || a.size() != b.size())
        return -1;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* pa = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* pb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            sum += std::abs(qRed(pa[x]) - qRed(pb[x])) + std::abs(qGreen(pa[x]) - qGreen(pb[x]))
                   + std::abs(qBlue(pa[x]) - qBlue(pb[x]));
    }
    return sum / (3.0 * a.width() * a.height());
}

// A picture like a camera's: gradients, shapes with edges, text and a fine
// grain of +-4 levels (the bench photos carry +-32, far beyond a camera's).
QString CameraLikeFile(const QTemporaryDir& Dir, int Width, int Height)
{
    QImage img(Width, Height, QImage::Format_RGB32);
    {
        QPainter p(&img);
        QLinearGradient sky(0, 0, Width, Height);
        sky.setColorAt(0, QColor(40, 90, 200));
        sky.setColorAt(1, QColor(250, 220, 150));
        p.fillRect(img.rect(), sky);
        p.setPen(QPen(Qt::black, 3));
        for (int i = 0; i < 60; ++i) {
            p.setBrush(QColor((i * 53) % 256, (i * 97) % 256, (i * 31) % 256));
            p.drawEllipse(QPointF((i * 733) % 6000, (i * 411) % 4000), 100 + i * 7, 80 + i * 5);
        }
        QFont font;
        font.setPixelSize(60);
        p.setFont(font);
        p.setPen(Qt::white);
        for (int i = 0; i < 40; ++i)
            p.drawText(100 + (i % 8) * 700, 200 + (i / 8) * 800, QStringLiteral("Lumiseite Hafen 2024"));
    }
    uint32_t seed = 7;
    for (int y = 0; y < img.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int g = int(seed >> 29) - 4;
            row[x] = qRgb(std::clamp(qRed(row[x]) + g, 0, 255), std::clamp(qGreen(row[x]) + g, 0, 255),
                          std::clamp(qBlue(row[x]) + g, 0, 255));
        }
    }
    const QString file = Dir.filePath(QStringLiteral("camera%1.jpg").arg(Width));
    img.save(file, "JPG", 90);
    return file;
}

// ---- (2) viewing every page of a book -------------------------------------------------------

constexpr int kBookPages = 192;

TPhotoFolder& BookPictures()
{
    static TPhotoFolder folder(2 * kBookPages, 2272, 1704);
    return folder;
}

// Resident megabytes after viewing, by bound.
std::map<int64_t, double>& ViewedRss()
{
    static std::map<int64_t, double> rss;
    return rss;
}

// Arg bound: 1 the manager's byte bound, 0 the count rule alone.
void BM_ViewEveryPage(benchmark::State& state)
{
    TPhotoFolder& pictures = BookPictures();
    TBildmanager& manager = BildManager();
    const uint64_t bound = manager.MaxBytesInMemory;
    if (state.range(0) == 0)
        manager.MaxBytesInMemory = UINT64_MAX;
    double rss = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto doc = std::make_unique<TFBDocument>();
        doc->PageWidth = 210;
        doc->PageHeight = 297;
        for (int p = 0; p < kBookPages; ++p) {
            auto page = std::make_unique<TFBPage>(doc.get());
            for (int f = 0; f < 2; ++f)
                AddElement(page->Pictures, std::make_unique<TFBPictureElement>(page.get()), 105,
                           80 + f * 140, 180, 130)
                    ->LoadPictureFromFile(pictures.File(2 * p + f));
            doc->Pages.Add(std::move(page));
        }
        TBitmap bitmap;
        bitmap.SetSize(1000, int(Round(1000.0 * 297 / 210)));
        state.ResumeTiming();
        for (int p = 0; p < kBookPages; ++p) {
            TBitmapDrawContext dc(bitmap);
            dc.Transformation->ScaleUniform(1000.0f / 210);
            DocumentDrawer().DrawPage(*doc->Pages.GetPage(p), dc, 0, false);
        }
        state.PauseTiming();
        rss = StatusMegabytes("VmRSS");
        doc.reset();
        state.ResumeTiming();
    }
    manager.MaxBytesInMemory = bound;
    ViewedRss()[state.range(0)] = rss;
    state.counters["rss_MB"] = rss;
    state.counters["decoded_limit"] = manager.MaxInMemory;
    state.counters["byte_bound_MB"] = double(bound) / (1 << 20);
}
BENCHMARK(BM_ViewEveryPage)->ArgName("bound")->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int Summary(const TFastestRunReporter& Runs)
{
    for (int mp : {12, 24}) {
        const std::string arg = "/mp:" + std::to_string(mp);
        const auto added = Runs.Time("BM_AddPicture" + arg);
        const auto full = Runs.Time("BM_FullDecodeAndReduce" + arg);
        if (!added || !full)
            continue;
        std::printf("adding a %d-MP picture: %.1f ms = %.2f x full decode and reduction (%.1f ms); "
                    "stored picture differs by %.2f grey levels on average\n",
                    mp, *added, *added / *full, *full,
                    MeanDifference(Stored()["new/" + std::to_string(mp)], Stored()["full/" + std::to_string(mp)]));
        const auto addedCpu = Runs.CpuTime("BM_AddPicture" + arg);
        const auto fullCpu = Runs.CpuTime("BM_FullDecodeAndReduce" + arg);
        if (addedCpu && fullCpu)
            std::printf("  CPU time of the process: %.1f ms = %.2f x the baseline's (%.1f ms)\n", *addedCpu,
                        *addedCpu / *fullCpu, *fullCpu);
    }
    if (Runs.Time("BM_AddPicture/mp:24")) {
        // 12 and 24 MP are decoded at full size; 48 MP at half size.
        QTemporaryDir dir;
        for (const QSize size : {QSize(4000, 3000), QSize(6000, 4000), QSize(8000, 6000)}) {
            const QString file = CameraLikeFile(dir, size.width(), size.height());
            TBildmanager manager;
            const int32_t r = manager.AddFile(file);
            std::printf("a camera-like %d-MP picture: stored picture differs by %.2f grey levels on average\n",
                        size.width() * size.height() / 1000000,
                        MeanDifference(StoredBytes(*manager.FindItem(r)), FullDecodeAndReduce(file)));
        }
    }
    if (ViewedRss().count(1) && ViewedRss().count(0))
        std::printf("memory after viewing every page of a %d-page book: %.0f MB = %.2f x the count rule "
                    "alone (%.0f MB)\n",
                    kBookPages, ViewedRss()[1], ViewedRss()[1] / ViewedRss()[0], ViewedRss()[0]);
    return 0;
}

}  // namespace

LUMI_BENCHMARK_MAIN(Summary)
