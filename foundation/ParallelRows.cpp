#include "ParallelRows.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

void ParallelRows(int Rows, int MinRows, const std::function<void(int, int)>& Band,
                  const std::function<void(int)>& Done)
{
    if (Rows <= 0)
        return;
    const int minRows = std::max(1, MinRows);
    const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    const int threads = std::clamp(Rows / minRows, 1, cores);
    // Several bands per thread even out threads that the machine slows down.
    // Alone, the calling thread reports after every row.
    const int bandRows = threads == 1 ? 1 : std::max(minRows, Rows / (threads * 8));
    std::atomic<int> next{0};
    std::atomic<int> done{0};
    auto work = [&](bool Caller) {
        for (;;) {
            const int first = next.fetch_add(bandRows);
            if (first >= Rows)
                return;
            const int last = std::min(Rows, first + bandRows);
            Band(first, last);
            const int all = done.fetch_add(last - first) + (last - first);
            if (Caller && Done && all < Rows)
                Done(all);
        }
    };
    {
        std::vector<std::jthread> helpers;
        helpers.reserve(size_t(threads - 1));
        try {
            for (int t = 1; t < threads; ++t)
                helpers.emplace_back(work, false);
        } catch (const std::system_error&) {
            // No more threads: the ones there are take the rest.
        }
        work(true);
    }
    if (Done)
        Done(Rows);
}
