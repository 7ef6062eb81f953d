// Runs numbered jobs on a pool of worker threads and hands their ends to
// the calling thread in job order.
#pragma once

#include <cstddef>
#include <functional>

namespace lumigal {

// Runs work(i) for every i from 0 to count - 1 on `workers` threads (jobs
// are started in index order) and calls deliver(i) on the calling thread,
// in index order, as soon as job i and every job before it have ended.
// With one worker (or one job) everything runs on the calling thread,
// work(i) then deliver(i), one job after the other. `work` must not throw
// (an exception ends the program); `deliver` may, and then the jobs not yet
// started are dropped and the ones running finish before it propagates.
void runOrdered(std::size_t count, int workers, const std::function<void(std::size_t)>& work,
                const std::function<void(std::size_t)>& deliver);

// The default number of workers: one per processor.
int defaultWorkerCount();

}  // namespace lumigal
