// Memory of the program over a session with a large book: a 48-page photo book
// holding 95 distinct pictures of 2400 x 1600 is opened in the main window
// (1400 x 900), every screen is shown, the book is printed to a PDF file, the
// program idles for two seconds, and a new project is started. After each
// step the resident memory (RSS) is given beside what the program holds on the
// heap (malloc's bytes in use, mallinfo2), and, at the end, the RSS once the
// allocator has handed its free memory back (malloc_trim). The difference
// between RSS and bytes in use is memory the allocator keeps for reuse, not
// memory the program holds.
//
// The pictures are made once per run in a temporary folder.
#include "BenchSupport.h"
#include "FBPictureElement.h"
#include "FMainform.h"
#include "Dialogs.h"
#include "Printers.h"
#include "uDataFile.h"
#include "uFotobuchBildManager.h"
#include "uFotobuchDocument.h"
#include "uFotobuchMainview.h"
#include "uModalDialog.h"
#include "uQwDruckDlg.h"

#include "SysUtils.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThreadPool>
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdio>
#include <memory>

namespace {

constexpr int kPages = 48;
constexpr int kPictures = 95;
constexpr int kPictureWidth = 2400;
constexpr int kPictureHeight = 1600;

// The saved book: two pictures on every page but the last, which has one.
QString SaveBook(const TPhotoFolder& Pictures)
{
    const QString name = Pictures.Path(QStringLiteral("Fotobuch.zpb"));
    TFBDocument doc;
    doc.ScreenMode = 1;
    doc.DocType = 1;
    doc.PageWidth = 210;
    doc.PageHeight = 297;
    int picture = 0;
    for (int p = 0; p < kPages; ++p) {
        auto page = std::make_unique<TFBPage>(&doc);
        for (int f = 0; f < 2 && picture < kPictures; ++f) {
            auto* e = AddElement(page->Pictures, std::make_unique<TFBPictureElement>(page.get()), 105,
                                 80 + f * 135, 180, 120);
            e->LoadPictureFromFile(Pictures.File(picture++));
        }
        doc.Pages.Add(std::move(page));
    }
    DeleteFile(name);
    TDataFile file(name);
    doc.SaveToDataFile(file);
    doc.Clear();
    return name;
}

double InUseMegabytes()
{
    const struct mallinfo2 m = mallinfo2();
    return double(m.uordblks + m.hblkhd) / (1024.0 * 1024.0);
}

void Idle(int Milliseconds)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < Milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
}

void BM_SessionMemory(benchmark::State& state)
{
    static TPhotoFolder pictures(kPictures, kPictureWidth, kPictureHeight);
    const QString book = SaveBook(pictures);
    BildManager().Clear();
    QThreadPool::globalInstance()->waitForDone();
    malloc_trim(0);
    TPrinter& printer = Printer();
    printer.SetPrinterIndex(int(printer.Printers().indexOf(QString::fromLatin1(PdfPrinterName))));
    printer.OutputFileName = pictures.Path(QStringLiteral("Fotobuch.pdf"));
    ShowMessageHandler = [](const QString&) {};
    const double start = StatusMegabytes("VmRSS");
    for (auto _ : state) {
        auto note = [&](const char* Step) {
            QThreadPool::globalInstance()->waitForDone();
            state.counters[std::string(Step) + "_RSS_MB"] = StatusMegabytes("VmRSS");
            state.counters[std::string(Step) + "_inuse_MB"] = InUseMegabytes();
            state.counters[std::string(Step) + "_free_MB"] = double(mallinfo2().fordblks) / (1024.0 * 1024.0);
        };
        std::unique_ptr<TMaster> master(TLocalizerForm::create<TMaster>(nullptr));
        master->resize(1400, 900);
        master->show();
        QApplication::processEvents();
        master->OpenDocument(book);
        QApplication::processEvents();
        benchmark::DoNotOptimize(master->grab());
        note("1_opened");

        TFBMainView& view = *master->MainView();
        for (int s = 0; s < master->Document()->GetScreenCount(); ++s) {
            view.SetScreen(s);
            QApplication::processEvents();
            benchmark::DoNotOptimize(master->grab());
        }
        note("2_paged");

        ShowModalHook = [](QDialog& D) {
            return int(dynamic_cast<TQwDruckDlg*>(&D) ? QDialog::Accepted : QDialog::Rejected);
        };
        master->BtnAlbumDruckenClick();
        QApplication::processEvents();
        note("3_printed");
        Idle(2000);
        note("4_idle");

        // A new project: the wizard is cancelled, the default book stays.
        master->BtnSchliessenClick();
        QApplication::processEvents();
        ShowModalHook = nullptr;
        note("5_new");
        malloc_trim(0);
        note("6_trimmed");
        if (!QFileInfo(printer.OutputFileName).exists())
            state.SkipWithError("no PDF written");
    }
    ShowMessageHandler = nullptr;
    state.counters["0_start_RSS_MB"] = start;
}
BENCHMARK(BM_SessionMemory)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

LUMI_BENCHMARK_MAIN()
