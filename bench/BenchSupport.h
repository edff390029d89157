#pragma once
// What the benchmark programs share: a reporter of the fastest runs, the
// program frame, photo-like pictures, page elements, texts and memory figures.
// Header-only, as every .cpp in this folder is a program of its own.
#include "Application.h"

#include <QFileInfo>
#include <QImage>
#include <QLocale>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// ---- the fastest runs -----------------------------------------------------------------

// Repeats a benchmark N times and shows only the statistics, among them "min":
// the fastest repetition is the least disturbed by the machine.
template <int N>
void FastestOf(benchmark::internal::Benchmark* B)
{
    B->Repetitions(N)
        ->ComputeStatistics("min",
                            [](const std::vector<double>& v) {
                                return *std::min_element(v.begin(), v.end());
                            })
        ->DisplayAggregatesOnly(true);
}

// Console output, keeping the fastest time per iteration of every benchmark in
// its own unit: the "min" of a repeated benchmark, else the fastest run.
class TFastestRunReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& Runs) override
    {
        ConsoleReporter::ReportRuns(Runs);
        for (const Run& run : Runs) {
            if (run.error_occurred || run.iterations == 0 ||
                (run.run_type == Run::RT_Aggregate && run.aggregate_name != "min"))
                continue;
            Keep(fastest_, Name(run.run_name), run.GetAdjustedRealTime());
            Keep(fastestCpu_, Name(run.run_name), run.GetAdjustedCPUTime());
        }
    }

    // The time of "Function" or "Function/Args" ("BM_Draw/96", "BM_Draw/dpi:96");
    // none when it did not run or failed.
    std::optional<double> Time(const std::string& Name) const { return Find(fastest_, Name); }
    // The same for the CPU time of the benchmark's thread: what the machine's
    // other work disturbs least, but blind to work left to other threads.
    std::optional<double> CpuTime(const std::string& Name) const { return Find(fastestCpu_, Name); }

private:
    static std::string Name(const benchmark::BenchmarkName& N)
    {
        return N.args.empty() ? N.function_name : N.function_name + "/" + N.args;
    }

    static void Keep(std::map<std::string, double>& Times, const std::string& Name, double Time)
    {
        const auto [it, added] = Times.emplace(Name, Time);
        if (!added)
            it->second = std::min(it->second, Time);
    }
    static std::optional<double> Find(const std::map<std::string, double>& Times, const std::string& Name)
    {
        const auto it = Times.find(Name);
        if (it == Times.end())
            return std::nullopt;
        return it->second;
    }

    std::map<std::string, double> fastest_, fastestCpu_;
};

// ---- the program ----------------------------------------------------------------------

// A home of its own for the run (HOME, XDG_CONFIG_HOME, XDG_DATA_HOME), so that
// it leaves the user's settings alone; made before the program.
class TPrivateHome {
public:
    TPrivateHome()
    {
        const QByteArray root = home_.path().toLocal8Bit();
        qputenv("HOME", root);
        qputenv("XDG_CONFIG_HOME", root + "/config");
        qputenv("XDG_DATA_HOME", root + "/data");
    }

private:
    QTemporaryDir home_;
};

// The application a benchmark runs in: the offscreen platform unless another is
// set, and the German locale of the program's own texts.
class TBenchProgram {
public:
    TBenchProgram(int& argc, char** argv) : argc_(argc), argv_(argv)
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<TApplication>(argc, argv);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }

    // Prints what follows from the fastest runs; returns the exit code.
    using TSummary = int (*)(const TFastestRunReporter& Runs);

    // Runs the benchmarks the command line selects and returns the exit code: 1 if
    // the command line holds an option the library does not know, else Summary's
    // (0 without one).
    int Run(TSummary Summary = nullptr)
    {
        benchmark::Initialize(&argc_, argv_);
        if (benchmark::ReportUnrecognizedArguments(argc_, argv_))
            return 1;
        TFastestRunReporter fastest;
        benchmark::RunSpecifiedBenchmarks(Summary ? &fastest : nullptr);
        benchmark::Shutdown();
        return Summary ? Summary(fastest) : 0;
    }

private:
    int& argc_;
    char** argv_;
    std::unique_ptr<TApplication> app_;
};

// main() of a program that runs its benchmarks, optionally followed by a summary.
#define LUMI_BENCHMARK_MAIN(...)           \
    int main(int argc, char** argv)        \
    {                                      \
        TBenchProgram program(argc, argv); \
        return program.Run(__VA_ARGS__);   \
    }

// ---- pictures -------------------------------------------------------------------------

// A camera-like picture: soft gradients, bands that differ per index and fine
// grain, so that every picture is distinct and compresses like a photo. Opaque,
// so Format may be RGB32 or ARGB32.
inline QImage MakePhoto(int Width, int Height, int Index,
                        QImage::Format Format = QImage::Format_RGB32)
{
    QImage img(Width, Height, Format);
    uint32_t seed = 2654435761u * uint32_t(Index + 1);
    for (int y = 0; y < Height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(img.scanLine(y));
        for (int x = 0; x < Width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = int(seed >> 26) - 32;
            const int band = ((x / (40 + Index)) + (y / (30 + 2 * Index))) % 3 * 24;
            const int r = std::clamp(x * 200 / Width + band + grain, 0, 255);
            const int g = std::clamp(y * 180 / Height + (Index * 37) % 60 + grain, 0, 255);
            const int b = std::clamp(120 + band - grain + (x ^ y) % 17, 0, 255);
            row[x] = 0xFF000000u | uint32_t(r << 16) | uint32_t(g << 8) | uint32_t(b);
        }
    }
    return img;
}

// A 24-megapixel photo (6000 x 4000, ARGB32), made once.
inline const QImage& LargePhoto()
{
    static const QImage photo = MakePhoto(6000, 4000, 0, QImage::Format_ARGB32);
    return photo;
}

// A temporary folder of Count distinct photos saved as JPEG ("Bild000.jpg", ...),
// made on all cores.
class TPhotoFolder {
public:
    TPhotoFolder(int Count, int Width, int Height) : count_(Count)
    {
        std::fprintf(stderr, "making %d pictures of %d x %d in %s ...\n", Count, Width, Height,
                     qPrintable(dir_.path()));
        std::vector<std::thread> workers;
        const int n = int(std::max(1u, std::thread::hardware_concurrency()));
        for (int t = 0; t < n; ++t)
            workers.emplace_back([this, t, n, Width, Height] {
                for (int i = t; i < count_; i += n)
                    MakePhoto(Width, Height, i).save(File(i), "JPG", 90);
            });
        for (auto& w : workers)
            w.join();
    }
    QString File(int Index) const
    {
        return dir_.filePath(QStringLiteral("Bild%1.jpg").arg(Index, 3, 10, QLatin1Char('0')));
    }
    // Another file in the folder.
    QString Path(const QString& Name) const { return dir_.filePath(Name); }
    // The size of all photos.
    double Megabytes() const
    {
        qint64 sum = 0;
        for (int i = 0; i < count_; ++i)
            sum += QFileInfo(File(i)).size();
        return double(sum) / (1024.0 * 1024.0);
    }

private:
    QTemporaryDir dir_;
    int count_;
};

// ---- page elements --------------------------------------------------------------------

// Adds element E to List, centred at (CX, CY) with the size W x H in millimetres.
template <class TList, class TElement>
TElement* AddElement(TList& List, std::unique_ptr<TElement> E, float CX, float CY, float W,
                     float H)
{
    E->CenterX = CX;
    E->CenterY = CY;
    E->Width = W;
    E->Height = H;
    TElement* raw = E.get();
    List.Add(std::move(E));
    return raw;
}

// ---- texts ---------------------------------------------------------------------------

// A paragraph of German words, starting at word I of a short list and at least
// MinLength characters long, so that neighbouring paragraphs differ.
inline std::string ParText(int I, size_t MinLength)
{
    static const char* const words[] = {"Fotobuch", "Sommer", "am", "Meer", "mit", "der",
                                        "ganzen", "Familie", "und", "Freunden", "Sonne", "Wind"};
    std::string s;
    for (int w = 0; s.size() < MinLength; ++w) {
        if (!s.empty())
            s += ' ';
        s += words[(I + w) % std::size(words)];
    }
    return s;
}

// ---- memory ---------------------------------------------------------------------------

// A figure of /proc/self/status in megabytes ("VmHWM" the peak, "VmRSS" the current
// resident memory).
inline double StatusMegabytes(const char* Key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string key = std::string(Key) + ":";
    while (std::getline(in, line))
        if (line.compare(0, key.size(), key) == 0)
            return std::stod(line.substr(key.size())) / 1024.0;
    return 0;
}

// Starts a new peak of the resident memory.
inline void ResetPeakMemory()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}
