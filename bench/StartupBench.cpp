// Start-up time to the main window, without the start image's minimum time:
// the main window built, the start image shown and closed, the main window
// shown and painted, and the new-project command reached (the wizard is
// answered at once). The first start of the process is reported apart, as it
// also pays for loading the language and the fonts.
#include "BenchSupport.h"
#include "FDateiNeuDlg.h"
#include "FMainform.h"
#include "FStartbild.h"
#include "uModalDialog.h"
#include "uProgramStart.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

namespace {

double StartOnce()
{
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<TMaster> master(StartProgram({}));
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    master.reset();
    return ms;
}

void BM_StartToMainWindow(benchmark::State& State)
{
    for (auto _ : State)
        State.SetIterationTime(StartOnce() / 1000.0);
}
BENCHMARK(BM_StartToMainWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

int main(int argc, char** argv)
{
    const TPrivateHome home;
    TBenchProgram program(argc, argv);
    StartImageMinimumTime = 0;
    ShowModalHook = [](QDialog&) { return 2; };

    std::printf("first start of the process: %.1f ms to the main window\n", StartOnce());
    return program.Run();
}
