#pragma once
// Work on the rows of a picture spread over the processor's cores.
#include <functional>

// Calls Band(First, Last) for bands of rows [First, Last) that together cover
// 0..Rows exactly once, on the calling thread and the threads of the
// application's thread pool (at most one per core). The calling thread works
// until no band is left, so the call finishes even when the pool is busy.
// Bands hold at least MinRows rows, so a small picture stays on the calling
// thread (in bands of one row). After each band the calling thread finishes
// it calls Done(rows done so far by all threads), and once more with Rows at
// the end. Band must not throw; Done runs on the calling thread only, and
// when it throws the call still waits for the other threads before passing
// the exception on. Returns when every band is done.
void ParallelRows(int Rows, int MinRows, const std::function<void(int First, int Last)>& Band,
                  const std::function<void(int RowsDone)>& Done = {});
