// Speed of the document's project file and of page drawing.
//
// (1) A 48-page photo book holding 100 distinct 12-megapixel pictures is saved
//     as a project file and loaded again. Each time is also given as a ratio to
//     copying the saved file with cp in the same run; the peak resident memory
//     of each step is reported (the peak is reset before the step).
// (2) One page with six pictures, a text and a calendar is drawn at screen size
//     (1000 pixels wide) and at print size (300 dpi): milliseconds per page. The
//     picture manager keeps the decoded, reduced pictures, so redrawing the page
//     decodes nothing. The page's six picture frames alone at 300 dpi are timed
//     against QPainter::drawImage (smooth) of the same pictures into the same
//     rectangles, and the 300-dpi page against its goal of 50 ms.
// (3) The saved photo book is opened in the main window (1400 x 900) and the
//     window painted, page view and page overview: open to painted, against
//     its goal of 0.35 s.
//
// The pictures are made once per run in a temporary folder (this takes a while).
#include "BenchSupport.h"
#include "FBPictureElement.h"
#include "uDataFile.h"
#include "uDocDrawer.h"
#include "uFotobuchBildManager.h"
#include "uFotobuchDocument.h"

#include "Canvas.h"
#include "SysUtils.h"
#include "uBitmapDrawContext.h"
#include "uRTFDrawer.h"

#include "FMainform.h"
#include "Dialogs.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kPictures = 100;
constexpr int kPages = 48;
constexpr int kPictureWidth = 4000;   // 12 megapixels
constexpr int kPictureHeight = 3000;

TPhotoFolder& Pictures()
{
    static TPhotoFolder folder(kPictures, kPictureWidth, kPictureHeight);
    return folder;
}

// ---- documents -------------------------------------------------------------------------

const char* const kCaption =
    "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1 Times New Roman;}}{\\colortbl;\\red40\\green60"
    "\\blue120;}\\pard\\qc\\f0\\fs32\\cf1 Sommer an der K\\'fcste\\par\\pard\\f1\\fs22\\cf0 "
    "Drei Wochen mit Wind, Watt und langen Abenden am Strand; die Bilder zeigen den Hafen, "
    "die D\\'fcnen und das Leuchtfeuer bei Nacht.\\par}";

std::unique_ptr<TFBDocument> NewDocument()
{
    auto doc = std::make_unique<TFBDocument>();
    doc->ScreenMode = 1;
    doc->PageWidth = 210;
    doc->PageHeight = 297;
    return doc;
}

// 48 pages: the first four hold three pictures, the others two; a caption on each.
std::unique_ptr<TFBDocument> MakePhotoBook()
{
    auto doc = NewDocument();
    int picture = 0;
    for (int p = 0; p < kPages; ++p) {
        auto page = std::make_unique<TFBPage>(doc.get());
        TFBPage* pg = page.get();
        doc->Pages.Add(std::move(page));
        const int frames = p < 4 ? 3 : 2;
        const float h = 230.0f / frames;
        for (int f = 0; f < frames; ++f) {
            auto* e = AddElement(pg->Pictures, std::make_unique<TFBPictureElement>(pg), 105,
                                 15 + f * h + (h - 5) / 2, 180, h - 5);
            e->LoadPictureFromFile(Pictures().File(picture++));
        }
        auto* text =
            AddElement(pg->Elements, std::make_unique<TFBTextElement>(pg), 105, 267.5f, 180, 35);
        text->Drawer->SetRTFText(kCaption);
    }
    return doc;
}

// One page: six pictures, a text with shadow and a calendar month.
std::unique_ptr<TFBDocument> MakeDrawPage()
{
    auto doc = NewDocument();
    auto page = std::make_unique<TFBPage>(doc.get());
    TFBPage* pg = page.get();
    doc->Pages.Add(std::move(page));
    for (int i = 0; i < 6; ++i) {
        auto* e = AddElement(pg->Pictures, std::make_unique<TFBPictureElement>(pg),
                             56.25f + (i % 2) * 97.5f, 39 + (i / 2) * 62.0f, 92.5f, 58);
        e->LoadPictureFromFile(Pictures().File(i));
        e->SetBorderWidth(0.5f);
    }
    auto* text = AddElement(pg->Elements, std::make_unique<TFBTextElement>(pg), 55, 242, 90, 88);
    text->Drawer->SetRTFText(kCaption);
    text->SetHasShadow(true);
    auto* cal = AddElement(pg->Calendars, std::make_unique<TFBKalenderElement>(pg), 153.75f, 242,
                           92.5f, 88);
    cal->KalenderData->SetJahr(2026);
    cal->KalenderData->SetMonat(12);
    cal->KalenderData->ShowSondertage = true;
    cal->KalenderData->SondertagSize = 12;
    cal->KalenderData->SondertagFontHeight = 30;
    cal->KalenderData->ColorZellen = RGB(235, 240, 250);
    cal->KalenderData->CellSpacing.SetValues(4, 4, 4, 4);
    doc->Holidays.AddDay("1. Weihnachtstag", ", ", EncodeDate(2026, 12, 25));
    doc->Holidays.AddDay("2. Weihnachtstag", ", ", EncodeDate(2026, 12, 26));
    doc->Birthdays.AddDay("Lena", ", ", EncodeDate(2026, 12, 9));
    return doc;
}

// ---- (1) saving and loading ---------------------------------------------------------------

QString SavedFile() { return Pictures().Path(QStringLiteral("Fotobuch.zpb")); }

// The photo book, built once; loading drops it so that only the loaded
// document's pictures are held.
std::unique_ptr<TFBDocument>& PhotoBook()
{
    static std::unique_ptr<TFBDocument> doc;
    return doc;
}

void Save(TFBDocument& Doc, const QString& Name)
{
    DeleteFile(Name);
    TDataFile file(Name);
    Doc.SaveToDataFile(file);
}

void BM_SavePhotoBook(benchmark::State& state)
{
    if (!PhotoBook())
        PhotoBook() = MakePhotoBook();
    const double before = StatusMegabytes("VmRSS");
    ResetPeakMemory();
    for (auto _ : state)
        Save(*PhotoBook(), SavedFile());
    state.counters["peak_MB"] = StatusMegabytes("VmHWM");
    state.counters["before_MB"] = before;
    state.counters["file_MB"] = double(QFileInfo(SavedFile()).size()) / (1024.0 * 1024.0);
    state.counters["pictures_MB"] = Pictures().Megabytes();
}

void BM_CopySavedFile(benchmark::State& state)
{
    if (!QFileInfo::exists(SavedFile())) {
        PhotoBook() = MakePhotoBook();
        Save(*PhotoBook(), SavedFile());
    }
    const QString copy = Pictures().Path(QStringLiteral("Kopie.zpb"));
    for (auto _ : state) {
        if (QProcess::execute(QStringLiteral("cp"), {SavedFile(), copy}) != 0) {
            state.SkipWithError("cp failed");
            break;
        }
        state.PauseTiming();
        QFile::remove(copy);
        state.ResumeTiming();
    }
}

void BM_LoadPhotoBook(benchmark::State& state)
{
    if (!QFileInfo::exists(SavedFile()))
        Save(*MakePhotoBook(), SavedFile());
    PhotoBook().reset();
    const double before = StatusMegabytes("VmRSS");
    ResetPeakMemory();
    for (auto _ : state) {
        auto doc = std::make_unique<TFBDocument>();
        {
            TDataFile file(SavedFile());
            doc->LoadFromDataFile(file);
        }
        state.PauseTiming();
        int frames = 0;
        for (int p = 0; p < doc->Pages.Count(); ++p)
            frames += doc->Pages.GetPage(p)->Pictures.Count();
        if (doc->Pages.Count() != kPages || frames != kPictures ||
            BildManager().Count() != kPictures) {
            state.SkipWithError("document read back wrong");
            break;
        }
        doc.reset();
        state.ResumeTiming();
    }
    state.counters["peak_MB"] = StatusMegabytes("VmHWM");
    state.counters["before_MB"] = before;
}

BENCHMARK(BM_SavePhotoBook)->Iterations(1)->Apply(FastestOf<3>)->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_CopySavedFile)->Iterations(1)->Apply(FastestOf<3>)->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_LoadPhotoBook)->Iterations(1)->Apply(FastestOf<3>)->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// ---- (2) drawing a page -----------------------------------------------------------------

// Arg: 0 screen (1000 pixels wide), 300 print resolution in dpi.
void BM_DrawPage(benchmark::State& state)
{
    auto doc = MakeDrawPage();
    TFBPage& page = *doc->Pages.GetPage(0);
    const int dpi = int(state.range(0));
    const float scale = dpi == 0 ? 1000.0f / doc->PageWidth : float(dpi / 25.4);
    TBitmap bitmap;
    bitmap.SetSize(int(Round(doc->PageWidth * scale)), int(Round(doc->PageHeight * scale)));
    if (dpi > 0)
        bitmap.Canvas().SetPixelsPerInch(dpi, dpi);
    // The decoded pictures the manager holds; drawing again must not replace them.
    auto decoded = [] {
        std::vector<const QImage*> held;
        for (const auto& item : BildManager().Items)
            held.push_back(item->FullBitmap.get());
        return held;
    };
    const auto before = decoded();
    for (auto _ : state) {
        bitmap.Image().fill(0xFFFFFFFFu);
        TBitmapDrawContext dc(bitmap);
        dc.Transformation->ScaleUniform(scale);
        DocumentDrawer().DrawPage(page, dc, 0, false);
        benchmark::DoNotOptimize(bitmap.Image().constBits());
    }
    if (decoded() != before || std::count(before.begin(), before.end(), nullptr) > 0)
        state.SkipWithError("pictures were decoded again while drawing");
    state.counters["width_px"] = bitmap.Width();
    state.counters["height_px"] = bitmap.Height();
}
BENCHMARK(BM_DrawPage)->ArgName("dpi")->Arg(0)->Arg(300)->Unit(benchmark::kMillisecond)
    ->UseRealTime()->MinTime(2.0);

// The page's picture frames at 300 dpi; range(0) 0: the frames drawn by the
// page drawer's picture elements through the bitmap draw context, 1: the same
// pictures and source rectangles by QPainter::drawImage with smooth
// transformation into the frames' device rectangles.
void BM_DrawPageFrames(benchmark::State& state)
{
    auto doc = MakeDrawPage();
    TFBPage& page = *doc->Pages.GetPage(0);
    const float scale = float(300 / 25.4);
    TBitmap bitmap;
    bitmap.SetSize(int(Round(doc->PageWidth * scale)), int(Round(doc->PageHeight * scale)));
    bitmap.Canvas().SetPixelsPerInch(300, 300);
    const bool painter = state.range(0) == 1;
    for (auto _ : state) {
        bitmap.Image().fill(0xFFFFFFFFu);
        if (painter) {
            QPainter p(&bitmap.Image());
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            for (int i = 0; i < page.Pictures.Count(); ++i) {
                auto* e = static_cast<TFBPictureElement*>(page.Pictures.GetItem(i));
                TRect src;
                e->GetSourceRect(0, src);
                const QRectF target((e->CenterX - e->Width / 2) * scale,
                                    (e->CenterY - e->Height / 2) * scale, e->Width * scale,
                                    e->Height * scale);
                p.drawImage(target, *BildManager().GetFullBitmap(e->RefIndex),
                            QRectF(src.Left, src.Top, src.Width(), src.Height()));
            }
        } else {
            TBitmapDrawContext dc(bitmap);
            dc.Transformation->ScaleUniform(scale);
            for (int i = 0; i < page.Pictures.Count(); ++i)
                page.Pictures.GetItem(i)->Draw(dc, 0);
        }
        benchmark::DoNotOptimize(bitmap.Image().constBits());
    }
}
BENCHMARK(BM_DrawPageFrames)->ArgName("qpainter")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)
    ->UseRealTime()->MinTime(2.0);

// ---- (3) open to painted ------------------------------------------------------------------

void BM_OpenToPainted(benchmark::State& state)
{
    if (!QFileInfo::exists(SavedFile()))
        Save(*MakePhotoBook(), SavedFile());
    PhotoBook().reset();
    ShowMessageHandler = [](const QString&) {};
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<TMaster> master(TLocalizerForm::create<TMaster>(nullptr));
        master->resize(1400, 900);
        master->show();
        QApplication::processEvents();
        state.ResumeTiming();
        master->OpenDocument(SavedFile());
        QApplication::processEvents();
        benchmark::DoNotOptimize(master->grab());
        state.PauseTiming();
        if (master->Document()->Pages.Count() != kPages)
            state.SkipWithError("the book did not open");
        master.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenToPainted)->Iterations(1)->Apply(FastestOf<3>)->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The save and load times against copying the saved file; the page and its
// frames, and opening, against their goals.
int PrintRatiosToCopy(const TFastestRunReporter& Runs)
{
    if (const auto copy = Runs.Time("BM_CopySavedFile")) {
        std::printf("cp of the saved file: %.1f ms\n", *copy);
        for (const char* name : {"BM_SavePhotoBook", "BM_LoadPhotoBook"})
            if (const auto ms = Runs.Time(name))
                std::printf("%s: %.1f ms = %.1f x cp\n", name, *ms, *ms / *copy);
    }
    const auto frames = Runs.Time("BM_DrawPageFrames/qpainter:0");
    const auto painter = Runs.Time("BM_DrawPageFrames/qpainter:1");
    if (frames && painter)
        std::printf("picture frames at 300 dpi: %.1f ms = %.2f x QPainter::drawImage (%.1f ms)\n",
                    *frames, *frames / *painter, *painter);
    if (const auto ms = Runs.Time("BM_DrawPage/dpi:300"))
        std::printf("page at 300 dpi: %.1f ms = %.2f x the goal of 50 ms\n", *ms, *ms / 50);
    if (const auto ms = Runs.Time("BM_OpenToPainted"))
        std::printf("open to painted: %.0f ms = %.2f x the goal of 350 ms\n", *ms, *ms / 350);
    return 0;
}

}  // namespace

LUMI_BENCHMARK_MAIN(PrintRatiosToCopy)
