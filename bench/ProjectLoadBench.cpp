// Loading a 48-page book of about 120 MB (two 12-MP JPEGs per page) as whole
// processes, with the file in the page cache: this program started again to
// open the project and load the document, against `cp` of the same file. The
// summary prints load / cp (the goal: at most 1.3) and the process's fixed
// cost: the same for a one-page book without pictures.
#include "BenchSupport.h"
#include "FBPictureElement.h"
#include "uDataFile.h"
#include "uFotobuchBildManager.h"
#include "uFotobuchDocument.h"
#include "uFotobuchSetup.h"

#include "SysUtils.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kPages = 48;

QString g_self;


class TBook {
public:
    TBook() : photos_(2 * kPages, 4000, 3000)
    {
        name_ = photos_.Path(QStringLiteral("buch48.zpb"));
        TFBDocument doc;
        SetupPhotobook86(&doc, kPages);
        for (int i = 0; i < doc.Pages.Count(); ++i) {
            TFBPage* page = doc.Pages.GetPage(i);
            for (int f = 0; f < 2; ++f) {
                auto* frame = AddElement(page->Pictures, std::make_unique<TFBPictureElement>(page),
                                         doc.PageWidth / 2, doc.PageHeight / 4 * float(1 + 2 * f),
                                         doc.PageWidth - 20, doc.PageHeight / 2 - 10);
                frame->SetRefIndex(BildManager().AddFile(photos_.File(2 * i + f)));
            }
        }
        TMemoryStream stream;
        {
            TMemoryDataFile file(stream);
            doc.SaveToDataFile(file);
        }
        stream.SaveToFile(name_);
        doc.Clear();
        BildManager().Clear();
        std::fprintf(stderr, "book of %d pages: %.1f MB\n", kPages,
                     double(QFile(name_).size()) / (1024.0 * 1024.0));
    }
    const QString& Name() const { return name_; }
    QString CopyName() const { return photos_.Path(QStringLiteral("kopie.zpb")); }

private:
    TPhotoFolder photos_;
    QString name_;
};

const TBook& Book()
{
    static const TBook book;
    return book;
}

// A one-page book without pictures.
class TEmptyBook {
public:
    TEmptyBook()
    {
        name_ = dir_.filePath(QStringLiteral("buch1.zpb"));
        TFBDocument doc;
        SetupPhotobook86(&doc, 1);
        TMemoryStream stream;
        {
            TMemoryDataFile file(stream);
            doc.SaveToDataFile(file);
        }
        stream.SaveToFile(name_);
    }
    const QString& Name() const { return name_; }

private:
    QTemporaryDir dir_;
    QString name_;
};

void RunProcess(benchmark::State& State, const QString& Program, const QStringList& Arguments)
{
    if (QProcess::execute(Program, Arguments) != 0)
        State.SkipWithError("the process failed");
}

void BM_CopyWithCp(benchmark::State& state)
{
    const TBook& book = Book();
    for (auto _ : state) {
        RunProcess(state, QStringLiteral("cp"), {book.Name(), book.CopyName()});
        state.PauseTiming();
        QFile::remove(book.CopyName());
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CopyWithCp)->Unit(benchmark::kMillisecond)->Iterations(3)->Apply(FastestOf<5>);

void BM_LoadProject(benchmark::State& state)
{
    const TBook& book = Book();
    for (auto _ : state)
        RunProcess(state, g_self, {QStringLiteral("--load"), book.Name(), QString::number(kPages)});
}
BENCHMARK(BM_LoadProject)->Unit(benchmark::kMillisecond)->Iterations(3)->Apply(FastestOf<5>);

void BM_LoadEmptyProject(benchmark::State& state)
{
    static const TEmptyBook book;
    for (auto _ : state)
        RunProcess(state, g_self, {QStringLiteral("--load"), book.Name(), QStringLiteral("1")});
}
BENCHMARK(BM_LoadEmptyProject)->Unit(benchmark::kMillisecond)->Iterations(3)->Apply(FastestOf<5>);

int PrintRatio(const TFastestRunReporter& Runs)
{
    const auto cp = Runs.Time("BM_CopyWithCp");
    const auto load = Runs.Time("BM_LoadProject");
    if (cp && load)
        std::printf("48-page book: load %.1f ms, cp %.1f ms; load / cp: %.2f (goal: at most 1.3)\n",
                    *load, *cp, *load / *cp);
    if (const auto empty = Runs.Time("BM_LoadEmptyProject"))
        std::printf("fixed cost of the loading process (one page, no pictures): %.1f ms\n", *empty);
    return 0;
}

// The loading process: opens the project as the program does, loads the
// document and checks its number of pages.
int LoadProject(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TDataFile file(QString::fromLocal8Bit(argv[2]));
    TFBDocument doc;
    doc.LoadFromDataFile(file);
    return doc.Pages.Count() == std::atoi(argv[3]) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--load") == 0)
        return LoadProject(argc, argv);
    TBenchProgram program(argc, argv);
    g_self = QCoreApplication::applicationFilePath();
    return program.Run(PrintRatio);
}
