// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/BatchRunner.h"

#include <algorithm>

namespace acw {

BatchRunner::BatchRunner(int threads) {
    for (int t = 1; t < std::max(threads, 1); ++t) workers_.emplace_back([this, t] { work(t); });
}

BatchRunner::~BatchRunner() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

int BatchRunner::usefulThreads(int limit) {
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(cores, 1, std::max(limit, 1));
}

void BatchRunner::takeItems(int thread) {
    for (int item = next_.fetch_add(1); item < count_.load(); item = next_.fetch_add(1))
        (*job_.load())(item, thread);
}

void BatchRunner::work(int thread) {
    std::uint64_t seen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [&] { return quit_ || generation_ != seen; });
            if (quit_) return;
            seen = generation_;
            ++busy_;
        }
        takeItems(thread);
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            --busy_;
        }
        done_.notify_one();
    }
}

void BatchRunner::run(int count, const Job& job) {
    if (count <= 0) return;
    {
        // A thread that woke up late for the batch before may still be looking for items: the
        // new batch is set up only once it has given up.
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [&] { return busy_ == 0; });
        job_.store(&job);
        count_.store(count);
        next_.store(0);
        ++generation_;
    }
    wake_.notify_all();
    takeItems(0);
    // Every item is taken; wait for the threads still working on theirs (a thread that wakes up
    // late finds nothing left and is not waited for).
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [&] { return busy_ == 0; });
}

}  // namespace acw
