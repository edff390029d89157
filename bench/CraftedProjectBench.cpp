// Opens crafted project files of 1 MB and 10 MB whose stored counts promise as
// much as they can: a page count of 10^9, and for every page a page record and
// picture, calendar and element lists each claiming the file's size / 168
// entries. Opening must stay linear in the file's size: the summary prints the
// time of the 10 MB file against the 1 MB one (at most 15) and the 10 MB time
// itself (under 1 s); the exit code is 1 when either is missed.
#include "BenchSupport.h"
#include "FBPictureElement.h"
#include "uDataFile.h"
#include "uFotobuchBildManager.h"
#include "uFotobuchDocument.h"

#include "SysUtils.h"

#include <QTemporaryDir>

#include <cstdio>

namespace {

// Writes the crafted file of about Megabytes MB and returns its name.
QString WriteCraftedFile(const QTemporaryDir& Dir, int Megabytes)
{
    const QString name = Dir.filePath(QStringLiteral("crafted%1.zpb").arg(Megabytes));
    DeleteFile(name);
    const int64_t size = int64_t(Megabytes) << 20;
    const auto perSize = int32_t(size / DataFileRecordHeaderSize);
    TMemoryStream stream;
    {
        TMemoryDataFile file(stream);
        file.WriteInteger("Doc/Pages", "Anzahl", 1000000000);
        // Each page costs one record and three list counts: 5 x 172 bytes.
        for (int i = 0; stream.Size() + 5 * 172 < size; ++i) {
            const AnsiString page = "Doc/Pages/Page" + IntToStr(i);
            file.WriteInteger(page, "Seitenfarbe", 0xFFFFFF);
            for (const char* list : {"/Piclist", "/Kalenderlist", "/Elementlist"})
                file.WriteInteger(page + list, "Anzahl", perSize);
            file.WriteString(page + "/Piclist/Pic0", "Classname", "TFBPictureElement");
        }
    }
    stream.SaveToFile(name);
    return name;
}

void BM_OpenCraftedProject(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString name = WriteCraftedFile(dir, int(state.range(0)));
    for (auto _ : state) {
        TDataFile file(name);
        TFBDocument doc;
        doc.LoadFromDataFile(file);
        benchmark::DoNotOptimize(doc.Pages.Count());
        doc.Clear();
        BildManager().Clear();
    }
}
BENCHMARK(BM_OpenCraftedProject)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->Apply(FastestOf<5>);

int PrintGrowth(const TFastestRunReporter& Runs)
{
    const auto small = Runs.Time("BM_OpenCraftedProject/1");
    const auto large = Runs.Time("BM_OpenCraftedProject/10");
    if (!small || !large)
        return 0;
    const double ratio = *large / *small;
    std::printf("crafted 1 MB: %.1f ms, 10 MB: %.1f ms; 10 MB / 1 MB: %.2f (at most 15), "
                "10 MB under 1000 ms\n",
                *small, *large, ratio);
    return ratio <= 15.0 && *large < 1000.0 ? 0 : 1;
}

}  // namespace

LUMI_BENCHMARK_MAIN(PrintGrowth)
