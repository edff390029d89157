// Reading and writing RTF: a document of 5,000 words in paragraphs with mixed
// character attributes, colours and sizes and in tables is read into a new
// text store (building the whole store) and written back, in MB/s of RTF.
// The baseline in the same run is the unrtf program converting the same file
// to text (Debian package unrtf); the ratio of the read speed to it is printed.
#include "BenchSupport.h"
#include "RtRtfReader.h"
#include "RtRtfWriter.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>

namespace {

constexpr int Words = 5000;

const std::string& Document()
{
    static const std::string doc = [] {
        static const char* const words[] = {"Fotobuch", "Sommer", "am", "Meer", "mit", "der", "ganzen",
                                            "Familie", "und", "Freunden", "Sonne", "Wind", "K\\'f6ln",
                                            "Gr\\'fc\\'dfe", "Strand", "Abend"};
        static const char* const attrs[] = {"", "\\b ", "\\i ", "\\ul ", "\\cf1 ", "\\cf2\\fs28 ", "\\f1 ",
                                            "\\b\\i\\cf3 "};
        std::mt19937 rng(7);
        std::string s = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\froman Times New Roman;}}"
                        "{\\colortbl;\\red200\\green0\\blue0;\\red0\\green90\\blue160;\\red20\\green120\\blue20;}"
                        "\\paperw11906\\paperh16838\\margl1134\\margr1134\r\n";
        int written = 0;
        int par = 0;
        while (written < Words) {
            if (par % 10 == 9) {
                // A table row of three cells.
                s += "\\trowd\\trgaph108\\cellx3000\\cellx6000\\cellx9000\r\n";
                for (int c = 0; c < 3; ++c, ++written)
                    s += "\\pard\\intbl " + std::string(words[rng() % std::size(words)]) + "\\cell ";
                s += "\\row\r\n";
            } else {
                s += par % 4 == 0 ? "\\pard\\qj\\sa120\\li360 " : "\\pard\\sa120 ";
                for (int w = 0; w < 40 && written < Words; ++w, ++written) {
                    const char* a = attrs[rng() % std::size(attrs)];
                    s += *a ? "{" + std::string(a) + words[rng() % std::size(words)] + "} "
                            : std::string(words[rng() % std::size(words)]) + " ";
                }
                s += "\\par\r\n";
            }
            ++par;
        }
        return s + "}";
    }();
    return doc;
}

void Read(TRtRTFText& Text, const std::string& Rtf)
{
    Text.Clear();
    TMemoryStream m;
    m.WriteBuffer(Rtf.data(), int32_t(Rtf.size()));
    m.SetPosition(0);
    TRtRtfReader reader;
    reader.Text = &Text;
    reader.Header = Text.Header();
    reader.Par = Text.FirstPar;
    reader.ReadStream(&m);
}

void BM_RtfRead(benchmark::State& State)
{
    const std::string& rtf = Document();
    TRtRTFText text;
    for (auto _ : State)
        Read(text, rtf);
    int32_t pars = 0;
    for (TParagraph* p = text.FirstPar; p; p = p->Next)
        ++pars;
    if (pars < 100)
        State.SkipWithError("the document was not read");
    State.SetBytesProcessed(int64_t(State.iterations()) * int64_t(rtf.size()));
}
BENCHMARK(BM_RtfRead)->Unit(benchmark::kMillisecond)->Apply(FastestOf<5>);

int64_t WrittenSize = 0;

void BM_RtfWrite(benchmark::State& State)
{
    TRtRTFText text;
    Read(text, Document());
    int64_t bytes = 0;
    for (auto _ : State) {
        TMemoryStream m;
        TRtRTFWriter w;
        w.Text = &text;
        w.FirstPar = text.FirstPar;
        w.Reset();
        w.Stream = &m;
        if (w.WriteStart() != 0 || w.WriteBody() != 0 || w.WriteEnd() != 0)
            State.SkipWithError("writing failed");
        bytes += m.Size();
        WrittenSize = m.Size();
    }
    State.SetBytesProcessed(bytes);
}
BENCHMARK(BM_RtfWrite)->Unit(benchmark::kMillisecond)->Apply(FastestOf<5>);

// unrtf converting the same file to text; its start-up is part of its time.
void BM_UnrtfToText(benchmark::State& State)
{
    const QString unrtf = QStandardPaths::findExecutable("unrtf");
    if (unrtf.isEmpty()) {
        State.SkipWithError("unrtf is not installed");
        return;
    }
    QTemporaryDir dir;
    const QString file = dir.filePath("doc.rtf");
    {
        QFile f(file);
        f.open(QIODevice::WriteOnly);
        f.write(Document().data(), qint64(Document().size()));
    }
    for (auto _ : State) {
        QProcess p;
        p.start(unrtf, {"--text", file});
        if (!p.waitForFinished(60000) || p.exitCode() != 0 || p.readAllStandardOutput().size() < 1000)
            State.SkipWithError("unrtf failed");
    }
    State.SetBytesProcessed(int64_t(State.iterations()) * int64_t(Document().size()));
}
BENCHMARK(BM_UnrtfToText)->Unit(benchmark::kMillisecond)->Apply(FastestOf<5>);

int PrintRatio(const TFastestRunReporter& Runs)
{
    const double mb = double(Document().size()) / 1e6;
    const auto read = Runs.Time("BM_RtfRead");
    const auto write = Runs.Time("BM_RtfWrite");
    const auto unrtf = Runs.Time("BM_UnrtfToText");
    std::printf("document: %d words, %.0f KB of RTF\n", Words, mb * 1000);
    if (read)
        std::printf("read into the store: %.1f MB/s\n", mb / (*read / 1000.0));
    if (write)
        std::printf("write: %.1f MB/s (%.0f KB written)\n", double(WrittenSize) / 1e6 / (*write / 1000.0),
                    double(WrittenSize) / 1000);
    if (read && unrtf)
        std::printf("unrtf to text: %.1f MB/s; read speed, reader / unrtf: %.1f\n", mb / (*unrtf / 1000.0),
                    *unrtf / *read);
    return 0;
}

} // namespace

LUMI_BENCHMARK_MAIN(PrintRatio)
