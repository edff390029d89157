// Seeded runs over every command of the rich-text component: after each command the window, every
// line's top and the caret equal a fresh layout and repaint, a second layout equals the first, and a
// save reloads as itself. LUMI_RT_COMMAND_SEEDS=N runs seeds 1..N instead of the CI slice.
#include "RtCommandRun.h"
#include "RtControlTestSupport.h"

#include <cstdlib>
#include <random>

namespace {

uint32_t SeedCount()
{
    const char* n = std::getenv("LUMI_RT_COMMAND_SEEDS");
    return n && std::atoi(n) > 0 ? uint32_t(std::atoi(n)) : 24;
}

} // namespace

// Disabled until the faults it finds are mended (run with --gtest_also_run_disabled_tests): colour,
// numbering and field commands leave a window that a fresh layout changes (an empty line's height
// follows the font measured before it), and some texts after header or footer edits or raw RTF code
// do not reload as themselves.
TEST_F(RtControlTest, DISABLED_SeededRunsOfEveryCommandLeaveWhatAFreshLayoutRepaintAndReloadMake)
{
    Rtf->resize(400, 320);
    constexpr int Steps = 14;
    const uint32_t seeds = SeedCount();
    uint32_t differing = 0;
    int checked = 0;
    std::string failed;
    for (uint32_t seed = 1; seed <= seeds; ++seed) {
        std::mt19937 random(seed);
        TRtCommandRun run(*Rtf, [&](uint32_t N) { return uint32_t(random() % N); });
        run.Load();
        std::string done = "seed " + std::to_string(seed) + ":";
        std::string d = run.Check();
        for (int i = 0; i < Steps && d.empty(); ++i) {
            done += " " + run.Step() + ",";
            d = run.Check();
            ++checked;
        }
        if (!d.empty() && differing++ < 5)
            failed += "\n  " + done + d;
    }
    EXPECT_GT(checked, int(seeds));
    EXPECT_EQ(differing, 0u) << "of " << seeds << " seeds; the first:" << failed;
}
