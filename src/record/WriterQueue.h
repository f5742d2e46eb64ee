// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>

namespace acw {

// What the writer thread of a WriterQueue does with the queued values. Every call comes from
// the writer thread, in this order: write() any number of times, then finish() exactly once.
template <typename T>
class WriterSink {
public:
    virtual ~WriterSink() = default;
    // Writes `values` after everything written before. Returns "" or a one-line reason why
    // writing stops (the queue then writes nothing more and calls finish()).
    virtual std::string write(std::span<const T> values) = 0;
    // Completes the file after the last write(), also after a failure or an overflow, and
    // releases it. Returns "" or a one-line reason.
    virtual std::string finish() = 0;
    // The reason reported when values were refused because the queue was full.
    virtual std::string overflowReason() = 0;
};

// A bounded single-producer queue with its own writer thread, so that the thread which measures
// never waits for a disk.
//
// The memory for `capacity` values is allocated (and touched) once, in the constructor. push()
// copies into it and returns at once: it takes no lock, never allocates and never waits for the
// writer. The writer thread hands the values to the sink in order, in pieces of at most
// `maxPiece` values that never cross the end of the storage (so a capacity and a piece size that
// are multiples of a record size keep every piece made of whole records).
//
// The writer stops for good on the first of: stop() (after writing everything queued), a write
// that fails, or an overflow (push() found too little room; everything queued before it is
// still written, nothing after it is accepted). The sink's finish() runs in every case, and a
// failure or an overflow leaves its one-line reason for takeFailure() (for an overflow, once the
// values queued before it are written).
//
// Threads: start(), push() and stop() belong to the owner and must not run at the same time as
// each other (one thread, or serialised by the caller). running() and takeFailure() may be
// called from any thread. running() turns false only after the failure, if any, is in place, so
// an owner that sees the writer stopped finds the reason with takeFailure().
template <typename T>
class WriterQueue {
public:
    WriterQueue(std::size_t capacity, std::size_t maxPiece)
        : capacity_(capacity),
          maxPiece_(std::max<std::size_t>(1, maxPiece)),
          storage_(new T[capacity]()) {}
    ~WriterQueue() { stop(); }
    WriterQueue(const WriterQueue&) = delete;
    WriterQueue& operator=(const WriterQueue&) = delete;

    std::size_t capacity() const { return capacity_; }

    // Starts the writer thread on an empty queue; the sink must outlive the next stop(). Any
    // earlier run must have been stopped. Discards a failure that was not taken.
    void start(WriterSink<T>& sink) {
        sink_ = &sink;
        head_.store(0, std::memory_order_relaxed);
        tail_.store(0, std::memory_order_relaxed);
        overflowed_.store(false, std::memory_order_relaxed);
        stopRequested_.store(false, std::memory_order_relaxed);
        {
            std::lock_guard lock(failureMutex_);
            failure_.reset();
        }
        accepting_.store(true, std::memory_order_release);
        running_.store(true, std::memory_order_release);
        thread_ = std::thread([this] { run(); });
    }

    // Queues `first` followed by `second` as one unit: both or neither. Returns false, queuing
    // nothing, when the writer has stopped or the queue lacks room (an overflow: the writer then
    // stops after writing what was queued before).
    bool push(std::span<const T> first, std::span<const T> second = {}) {
        if (!accepting_.load(std::memory_order_relaxed)) return false;
        const std::uint64_t tail = tail_.load(std::memory_order_relaxed);
        const std::uint64_t used = tail - head_.load(std::memory_order_acquire);
        if (capacity_ - used < first.size() + second.size()) {
            accepting_.store(false, std::memory_order_relaxed);
            overflowed_.store(true, std::memory_order_release);
            wakeWriter();
            return false;
        }
        copyIn(tail, first);
        copyIn(tail + first.size(), second);
        tail_.store(tail + first.size() + second.size(), std::memory_order_release);
        wakeWriter();
        return true;
    }

    // Lets the writer write everything queued, finish the sink and end; waits for all of it (as
    // long as the disk takes). Does nothing when the writer was never started.
    void stop() {
        if (!thread_.joinable()) return;
        stopRequested_.store(true, std::memory_order_release);
        wakeWriter();
        thread_.join();
    }

    // True from start() until stop(), or until the writer ended after a failure or an overflow
    // (its reason is then ready for takeFailure()).
    bool running() const { return running_.load(std::memory_order_acquire); }

    // The reason the writer stopped early, once; empty when there is none (left).
    std::optional<std::string> takeFailure() {
        std::lock_guard lock(failureMutex_);
        std::optional<std::string> taken = std::move(failure_);
        failure_.reset();
        return taken;
    }

private:
    void copyIn(std::uint64_t position, std::span<const T> values) {
        if (values.empty()) return;
        const std::size_t at = static_cast<std::size_t>(position % capacity_);
        const std::size_t before = std::min(values.size(), capacity_ - at);
        std::memcpy(storage_.get() + at, values.data(), before * sizeof(T));
        std::memcpy(storage_.get(), values.data() + before, (values.size() - before) * sizeof(T));
    }

    void wakeWriter() {
        wakeups_.fetch_add(1, std::memory_order_release);
        wakeups_.notify_one();
    }

    void run() {
        std::string reason;
        std::uint64_t head = head_.load(std::memory_order_relaxed);
        for (;;) {
            const std::uint32_t seen = wakeups_.load(std::memory_order_acquire);
            const std::uint64_t tail = tail_.load(std::memory_order_acquire);
            if (head == tail) {
                const bool overflowed = overflowed_.load(std::memory_order_acquire);
                if (overflowed || stopRequested_.load(std::memory_order_acquire)) {
                    // Both flags are raised after the producer's last push: look once more.
                    if (tail_.load(std::memory_order_acquire) != head) continue;
                    if (overflowed) reason = sink_->overflowReason();
                    break;
                }
                wakeups_.wait(seen, std::memory_order_acquire);
                continue;
            }
            const std::size_t at = static_cast<std::size_t>(head % capacity_);
            const std::size_t count = static_cast<std::size_t>(
                std::min<std::uint64_t>({tail - head, capacity_ - at, maxPiece_}));
            reason = sink_->write(std::span<const T>(storage_.get() + at, count));
            if (!reason.empty()) break;
            head += count;
            head_.store(head, std::memory_order_release);
        }
        accepting_.store(false, std::memory_order_relaxed);
        std::string finishReason = sink_->finish();
        if (reason.empty()) reason = std::move(finishReason);
        if (!reason.empty()) {
            std::lock_guard lock(failureMutex_);
            failure_ = std::move(reason);
        }
        running_.store(false, std::memory_order_release);
    }

    const std::size_t capacity_;
    const std::size_t maxPiece_;
    const std::unique_ptr<T[]> storage_;
    WriterSink<T>* sink_ = nullptr;
    std::thread thread_;

    // Values ever queued (tail, written by push) and ever written (head, by the writer).
    std::atomic<std::uint64_t> head_{0};
    std::atomic<std::uint64_t> tail_{0};
    std::atomic<std::uint32_t> wakeups_{0};  // the writer sleeps on changes of this counter
    std::atomic<bool> accepting_{false};     // push() takes values
    std::atomic<bool> running_{false};       // the writer has not ended
    std::atomic<bool> overflowed_{false};
    std::atomic<bool> stopRequested_{false};

    std::mutex failureMutex_;  // held only to move the reason in or out, never across I/O
    std::optional<std::string> failure_;
};

}  // namespace acw
