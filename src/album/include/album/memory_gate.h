// A bound on the memory that worker jobs hold together while they decode.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace lumigal {

// Bounds the memory that the workers' decoded images take together: a job
// waits while others hold the budget, unless nothing is held at all.
class MemoryGate {
public:
    explicit MemoryGate(std::uint64_t budget) : budget_(budget) {}
    void acquire(std::uint64_t bytes) {
        std::unique_lock lock(mutex_);
        released_.wait(lock, [&] { return used_ == 0 || used_ + bytes <= budget_; });
        used_ += bytes;
    }
    void release(std::uint64_t bytes) {
        {
            std::lock_guard lock(mutex_);
            used_ -= bytes;
        }
        released_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable released_;
    std::uint64_t budget_;
    std::uint64_t used_ = 0;
};

class MemoryHold {
public:
    MemoryHold(MemoryGate& gate, std::uint64_t bytes) : gate_(gate), bytes_(bytes) {
        gate_.acquire(bytes_);
    }
    ~MemoryHold() { gate_.release(bytes_); }
    MemoryHold(const MemoryHold&) = delete;
    MemoryHold& operator=(const MemoryHold&) = delete;

private:
    MemoryGate& gate_;
    std::uint64_t bytes_;
};

}  // namespace lumigal
