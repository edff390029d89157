// Speed of printing: a folded 24-page photo book with 48 distinct 12-megapixel
// pictures (two per A5 page, two pages per A4 sheet) printed through the print
// driver to the PDF printer at 1200 dpi. Reported: seconds per page and the
// size of the PDF. The first run decodes the pictures; later runs find them
// decoded in the picture manager.
//
// The pictures are made once per run in a temporary folder (this takes a while).
#include "BenchSupport.h"
#include "FBPictureElement.h"
#include "Printers.h"
#include "uFotobuchDocument.h"
#include "uFotobuchPrinter.h"
#include "uPrinterSupport.h"
#include "uQwDruckDlg.h"

#include <QDialog>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

namespace {

constexpr int kPages = 24;
constexpr int kPictures = 48;
constexpr int kPictureWidth = 4000;  // 12 megapixels
constexpr int kPictureHeight = 3000;

std::unique_ptr<TFBDocument> MakePhotoBook(const TPhotoFolder& Pictures)
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
            auto* e = AddElement(page->Pictures, std::make_unique<TFBPictureElement>(page.get()),
                                 74.25f, 55 + f * 100, 128.5f, 92);
            e->LoadPictureFromFile(Pictures.File(picture++));
        }
        doc->Pages.Add(std::move(page));
    }
    return doc;
}

void BM_PrintPhotoBookToPdf(benchmark::State& state)
{
    static TPhotoFolder pictures(kPictures, kPictureWidth, kPictureHeight);
    static auto doc = MakePhotoBook(pictures);
    QTemporaryDir out;
    TPrinter& p = Printer();
    p.SetPrinterIndex(int(p.Printers().indexOf(QString::fromLatin1(PdfPrinterName))));
    p.OutputFileName = out.filePath(QStringLiteral("fotobuch.pdf"));
    ShowModalHook = [](QDialog& D) { return int(dynamic_cast<TQwDruckDlg*>(&D) ? QDialog::Accepted : QDialog::Rejected); };
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        TFotobuchPrinter printer(doc.get());
        printer.Print();
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
    }
    ShowModalHook = nullptr;
    const QFileInfo pdf(p.OutputFileName);
    if (!pdf.exists())
        state.SkipWithError("no PDF written");
    state.counters["s_per_page"] = seconds / kPages;
    state.counters["pdf_MB"] = double(pdf.size()) / (1024.0 * 1024.0);
}
BENCHMARK(BM_PrintPhotoBookToPdf)->Iterations(1)->Repetitions(3)->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace

LUMI_BENCHMARK_MAIN()
