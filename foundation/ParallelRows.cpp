#include "ParallelRows.h"

#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>

namespace {

// One call's bands. Helpers from the pool may start after the call has
// returned; they then find no band left and touch nothing but this state,
// which they share.
struct TRowJob {
    const std::function<void(int, int)>* Band = nullptr;  // valid while bands remain
    int Rows = 0;
    int BandRows = 1;
    std::atomic<int> Next{0};
    std::atomic<int> Done{0};
    std::mutex Lock;
    std::condition_variable Finished;

    // Takes bands until none is left; the rows of each band done go to
    // AfterBand (on the thread that did it).
    template <class F>
    void Work(F AfterBand)
    {
        for (;;) {
            const int first = Next.fetch_add(BandRows);
            if (first >= Rows)
                return;
            const int last = std::min(Rows, first + BandRows);
            (*Band)(first, last);
            const int all = Done.fetch_add(last - first) + (last - first);
            AfterBand(all);
            if (all == Rows) {
                std::lock_guard<std::mutex> lock(Lock);
                Finished.notify_all();
            }
        }
    }
};

}  // namespace

void ParallelRows(int Rows, int MinRows, const std::function<void(int, int)>& Band,
                  const std::function<void(int)>& Done)
{
    if (Rows <= 0)
        return;
    const int minRows = std::max(1, MinRows);
    QThreadPool* pool = QThreadPool::globalInstance();
    const int threads = std::clamp(Rows / minRows, 1, std::max(1, pool->maxThreadCount()));
    auto job = std::make_shared<TRowJob>();
    job->Band = &Band;
    job->Rows = Rows;
    // Alone, the calling thread reports after every row; shared, several
    // bands per thread even out threads that the machine slows down.
    job->BandRows = threads == 1 ? 1 : std::max(minRows, Rows / (threads * 8));
    for (int t = 1; t < threads; ++t)
        pool->start([job] { job->Work([](int) {}); });
    std::exception_ptr failure;
    job->Work([&](int All) {
        if (Done && All < Rows && !failure) {
            try {
                Done(All);
            } catch (...) {
                failure = std::current_exception();
            }
        }
    });
    {
        std::unique_lock<std::mutex> lock(job->Lock);
        job->Finished.wait(lock, [&] { return job->Done.load() == Rows; });
    }
    if (failure)
        std::rethrow_exception(failure);
    if (Done)
        Done(Rows);
}
