// Memory of the program over a session with a large book, in two forms:
// - a 48-page photo book holding 95 distinct pictures of 2400 x 1600 is opened
//   in the main window (1400 x 900);
// - a 46-page book of empty frames is opened and 48 pictures of 6000 x 4000
//   (24 MP) are dropped onto its first frame, filling all 48 frames.
// Then every screen is shown, the book is printed to a PDF file, the program
// idles for two seconds, and a new project is started. After each step the
// resident memory (RSS) is given beside what the program holds on the heap
// (malloc's bytes in use and free bytes, mallinfo2), and, at the end, the RSS
// once the allocator has handed its free memory back (malloc_trim). The
// difference between RSS and bytes in use is memory the allocator keeps for
// reuse, not memory the program holds; "0_fresh" is the main window showing
// the book before any picture is decoded.
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
#include <QFile>
#include <QFileInfo>
#include <QThreadPool>
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

constexpr int kPages = 48;
constexpr int kPictures = 95;
constexpr int kPictureWidth = 2400;
constexpr int kPictureHeight = 1600;

constexpr int kCameraPages = 46;
constexpr int kCameraPictures = 48;
constexpr int kCameraWidth = 6000;
constexpr int kCameraHeight = 4000;

// A folded A4 book of Pages pages saved under Name; the first Double pages
// have two frames, the others one. With Pictures, frame i holds picture i.
QString SaveBook(const TPhotoFolder& Folder, const QString& Name, int Pages, int Double,
                 const TPhotoFolder* Pictures, int PictureCount)
{
    const QString name = Folder.Path(Name);
    TFBDocument doc;
    doc.ScreenMode = 1;
    doc.DocType = 1;
    doc.PageWidth = 210;
    doc.PageHeight = 297;
    int picture = 0;
    for (int p = 0; p < Pages; ++p) {
        auto page = std::make_unique<TFBPage>(&doc);
        const int frames = p < Double ? 2 : 1;
        for (int f = 0; f < frames; ++f) {
            auto* e = AddElement(page->Pictures, std::make_unique<TFBPictureElement>(page.get()), 105,
                                 80 + f * 135, 180, 120);
            if (Pictures && picture < PictureCount)
                e->LoadPictureFromFile(Pictures->File(picture++));
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

// Opens Book in the main window, runs Load (which may fill its frames), pages
// through every screen, prints, idles and starts a new project, noting the
// memory after each step.
void RunSession(benchmark::State& state, const TPhotoFolder& Folder, const QString& Book,
                const std::function<void(TMaster&)>& Load)
{
    BildManager().Clear();
    QThreadPool::globalInstance()->waitForDone();
    malloc_trim(0);
    TPrinter& printer = Printer();
    printer.SetPrinterIndex(int(printer.Printers().indexOf(QString::fromLatin1(PdfPrinterName))));
    printer.OutputFileName = Folder.Path(QStringLiteral("Fotobuch.pdf"));
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
        master->OpenDocument(Book);
        QApplication::processEvents();
        benchmark::DoNotOptimize(master->grab());
        note("0_fresh");
        Load(*master);
        QApplication::processEvents();
        benchmark::DoNotOptimize(master->grab());
        note("1_loaded");

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
        master->Document()->Modified = false;
        master->BtnSchliessenClick();
        QApplication::processEvents();
        ShowModalHook = nullptr;
        note("5_new");
        malloc_trim(0);
        note("6_trimmed");
        if (!QFileInfo(printer.OutputFileName).exists())
            state.SkipWithError("no PDF written");
        QFile::remove(printer.OutputFileName);
    }
    ShowMessageHandler = nullptr;
    state.counters["start_RSS_MB"] = start;
}

// The 95 pictures, stored in the book that is opened.
void BM_SessionMemory(benchmark::State& state)
{
    static TPhotoFolder pictures(kPictures, kPictureWidth, kPictureHeight);
    const QString book =
        SaveBook(pictures, QStringLiteral("Fotobuch.zpb"), kPages, kPages - 1, &pictures, kPictures);
    RunSession(state, pictures, book, [](TMaster&) {});
}
BENCHMARK(BM_SessionMemory)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// The 24-MP pictures, dropped onto the empty book's first frame.
void BM_DroppedCameraPictures(benchmark::State& state)
{
    static TPhotoFolder pictures(kCameraPictures, kCameraWidth, kCameraHeight);
    const QString book =
        SaveBook(pictures, QStringLiteral("Leer.zpb"), kCameraPages, kCameraPictures - kCameraPages, nullptr, 0);
    QStringList files;
    for (int i = 0; i < kCameraPictures; ++i)
        files.append(pictures.File(i));
    RunSession(state, pictures, book, [&files](TMaster& Master) {
        TFBDocument& doc = *Master.Document();
        auto* first = static_cast<TFBPictureElement*>(doc.Pages.GetPage(0)->Pictures.GetItem(0));
        Master.MainView()->FillFramesWithFiles(files, first);
    });
}
BENCHMARK(BM_DroppedCameraPictures)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

LUMI_BENCHMARK_MAIN()
