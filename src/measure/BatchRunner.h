// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace acw {

// Runs the items of a batch on several threads at once: the calling thread and `threads - 1`
// threads of its own, kept for the life of the object. run() hands out the items 0..count-1 one
// at a time to whichever thread is free and returns when every item is done, so what the items
// wrote is visible to the caller afterwards.
//
// `job(item, thread)` gets the item and the index of the thread running it (0..threads-1; 0 is
// the caller), so each thread can work in memory of its own. Jobs must not throw. One caller at a
// time; run() must not be called from inside a job.
class BatchRunner {
public:
    using Job = std::function<void(int item, int thread)>;

    explicit BatchRunner(int threads);
    ~BatchRunner();
    BatchRunner(const BatchRunner&) = delete;
    BatchRunner& operator=(const BatchRunner&) = delete;

    int threads() const { return static_cast<int>(workers_.size()) + 1; }
    void run(int count, const Job& job);

    // The threads worth having here: the processor's cores, at least 1, at most `limit`.
    static int usefulThreads(int limit);

private:
    void work(int thread);
    void takeItems(int thread);

    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    // Read by threads that may wake after their batch is over: atomic.
    std::atomic<const Job*> job_{nullptr};
    std::atomic<int> count_{0};
    std::atomic<int> next_{0};
    int busy_ = 0;
    std::uint64_t generation_ = 0;
    bool quit_ = false;
};

}  // namespace acw
