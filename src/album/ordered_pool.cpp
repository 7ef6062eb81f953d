#include "album/ordered_pool.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace lumigal {

int defaultWorkerCount() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int>(n);
}

void runOrdered(std::size_t count, int workers, const std::function<void(std::size_t)>& work,
                const std::function<void(std::size_t)>& deliver) {
    if (workers <= 1 || count <= 1) {
        for (std::size_t i = 0; i < count; ++i) {
            work(i);
            deliver(i);
        }
        return;
    }
    std::mutex mutex;
    std::condition_variable doneChanged;
    std::vector<char> done(count, 0);
    std::size_t next = 0;  // the next job to start
    bool stop = false;
    const auto worker = [&] {
        for (;;) {
            std::size_t job;
            {
                std::lock_guard lock(mutex);
                if (stop || next == count) return;
                job = next++;
            }
            work(job);
            {
                std::lock_guard lock(mutex);
                done[job] = 1;
            }
            doneChanged.notify_all();
        }
    };
    const std::size_t threadCount = std::min<std::size_t>(static_cast<std::size_t>(workers), count);
    std::vector<std::jthread> threads;
    threads.reserve(threadCount);
    for (std::size_t t = 0; t < threadCount; ++t) threads.emplace_back(worker);
    try {
        for (std::size_t i = 0; i < count; ++i) {
            {
                std::unique_lock lock(mutex);
                doneChanged.wait(lock, [&] { return done[i] != 0; });
            }
            deliver(i);
        }
    } catch (...) {
        {
            std::lock_guard lock(mutex);
            stop = true;
        }
        threads.clear();  // joins
        throw;
    }
}

}  // namespace lumigal
