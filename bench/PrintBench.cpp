// Speed of printing: a folded 24-page photo book with 48 distinct 12-megapixel
// pictures (two per A5 page, two pages per A4 sheet) printed through the print
// driver to the PDF printer at 1200 dpi. Reported: seconds per page and the
// size of the PDF. The first run decodes the pictures; later runs find them
// decoded in the picture manager.
//
// The pictures are made once per run in a temporary folder (this takes a while).
#include "Printers.h"
#include "uFotobuchDocument.h"
#include "uFotobuchPrinter.h"
#include "uPrinterSupport.h"
#include "uQwDruckDlg.h"

#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QImage>
#include <QLocale>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

constexpr int kPages = 24;
constexpr int kPictures = 48;
constexpr int kPictureWidth = 4000;  // 12 megapixels
constexpr int kPictureHeight = 3000;

// A photo-like picture, different for every index.
QImage MakePicture(int Index)
{
    QImage img(kPictureWidth, kPictureHeight, QImage::Format_RGB32);
    uint32_t seed = 2246822519u * uint32_t(Index + 1);
    for (int y = 0; y < kPictureHeight; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(img.scanLine(y));
        for (int x = 0; x < kPictureWidth; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = int(seed >> 27) - 16;
            const int wave = ((x / (35 + Index)) ^ (y / (25 + Index))) % 4 * 20;
            const int r = std::clamp(x * 220 / kPictureWidth + wave + grain, 0, 255);
            const int g = std::clamp(y * 200 / kPictureHeight + (Index * 41) % 50 + grain, 0, 255);
            const int b = std::clamp(100 + wave - grain, 0, 255);
            row[x] = 0xFF000000u | uint32_t(r << 16) | uint32_t(g << 8) | uint32_t(b);
        }
    }
    return img;
}

struct TPictureFolder {
    QTemporaryDir Dir;
    TPictureFolder()
    {
        std::fprintf(stderr, "making %d pictures of %d x %d ...\n", kPictures, kPictureWidth,
                     kPictureHeight);
        std::vector<std::thread> workers;
        const int n = int(std::max(1u, std::thread::hardware_concurrency()));
        for (int t = 0; t < n; ++t)
            workers.emplace_back([this, t, n] {
                for (int i = t; i < kPictures; i += n)
                    MakePicture(i).save(File(i), "JPG", 90);
            });
        for (auto& w : workers)
            w.join();
    }
    QString File(int Index) const { return Dir.filePath(QStringLiteral("Bild%1.jpg").arg(Index)); }
};

std::unique_ptr<TFBDocument> MakePhotoBook(const TPictureFolder& Pictures)
{
    auto doc = std::make_unique<TFBDocument>();
    doc->DocType = 1;
    doc->ScreenMode = 1;
    doc->PageWidth = 148.5f;
    doc->PageHeight = 210;
    doc->PrintPaperSize = 9;
    doc->PrintPaperWidth = 210;
    doc->PrintPaperHeight = 297;
    int picture = 0;
    for (int p = 0; p < kPages; ++p) {
        auto page = std::make_unique<TFBPage>(doc.get());
        for (int f = 0; f < 2; ++f) {
            auto e = std::make_unique<TFBPictureElement>(page.get());
            e->CenterX = 74.25f;
            e->CenterY = 55 + f * 100;
            e->Width = 128.5f;
            e->Height = 92;
            e->LoadPictureFromFile(Pictures.File(picture++));
            page->Pictures.Add(std::move(e));
        }
        doc->Pages.Add(std::move(page));
    }
    return doc;
}

void BM_PrintPhotoBookToPdf(benchmark::State& state)
{
    static TPictureFolder pictures;
    static auto doc = MakePhotoBook(pictures);
    QTemporaryDir out;
    TPrinter& p = Printer();
    p.SetPrinterIndex(int(p.Printers().indexOf(QString::fromLatin1(PdfPrinterName))));
    p.OutputFileName = out.filePath(QStringLiteral("fotobuch.pdf"));
    ExecModalHook = [](QDialog& D) { return int(dynamic_cast<TQwDruckDlg*>(&D) ? QDialog::Accepted : QDialog::Rejected); };
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        TFotobuchPrinter printer(doc.get());
        printer.Print();
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
    }
    ExecModalHook = nullptr;
    const QFileInfo pdf(p.OutputFileName);
    if (!pdf.exists())
        state.SkipWithError("no PDF written");
    state.counters["s_per_page"] = seconds / kPages;
    state.counters["pdf_MB"] = double(pdf.size()) / (1024.0 * 1024.0);
}
BENCHMARK(BM_PrintPhotoBookToPdf)->Iterations(1)->Repetitions(3)->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
