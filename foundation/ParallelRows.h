#pragma once
// Work on the rows of a picture spread over the processor's cores.
#include <functional>

// Calls Band(First, Last) for bands of rows [First, Last) that together cover
// 0..Rows exactly once, on up to as many threads as there are cores; the
// calling thread takes part. Bands hold at least MinRows rows, so a small
// picture stays on the calling thread (in bands of one row). After each band
// the calling thread finishes it calls Done(rows done so far by all threads),
// and once more with Rows at the end. Band must not throw; Done runs on the calling thread
// only. Returns when every band is done.
void ParallelRows(int Rows, int MinRows, const std::function<void(int First, int Last)>& Band,
                  const std::function<void(int RowsDone)>& Done = {});
