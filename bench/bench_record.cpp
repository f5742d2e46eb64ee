// SPDX-License-Identifier: GPL-3.0-or-later
// The readings log and the input recorder: what append() costs the measuring thread, how long
// a stalled disk may stall without losing a buffer, and how fast the writer catches up.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>
#include <thread>

#include "BenchSupport.h"
#include "record/InputRecorder.h"
#include "record/LogWriter.h"
#include "record/WriterQueue.h"

namespace acw {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Buffer = std::array<std::int16_t, InputRecorder::kBufferValues>;

constexpr double kSampleRateHz = 11025.0;
// Buffers per second the instrument measures, and so records.
constexpr double kBuffersPerSecond = kSampleRateHz / InputRecorder::kBufferFrames;

// 230 V and a lagging current at 50 Hz, as the adaptor delivers them (about 3/4 of full scale).
Buffer mainsBuffer() {
    Buffer values;
    for (int k = 0; k < InputRecorder::kBufferFrames; ++k) {
        const double phase = 2.0 * M_PI * 50.0 * k / kSampleRateHz;
        values[2 * k] = static_cast<std::int16_t>(std::lround(24000.0 * std::sin(phase)));
        values[2 * k + 1] = static_cast<std::int16_t>(std::lround(9000.0 * std::sin(phase - 0.5)));
    }
    return values;
}

// Times each call alone (manual time) and keeps the slowest in a counter.
template <typename Call>
void timeCall(benchmark::State& state, double& slowestSeconds, Call call) {
    const auto start = Clock::now();
    call();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    slowestSeconds = std::max(slowestSeconds, seconds);
    state.SetIterationTime(seconds);
}

// Before each timed append the writer has written everything and gone back to sleep, as at the
// instrument's own rate of 2.7 buffers a second: the append then also wakes it.
void BM_RecorderAppend(benchmark::State& state, const char* name) {
    bench::TempFolder folder;
    InputRecorder recorder;
    if (const std::string error = recorder.open(folder.file(name)); !error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    const Buffer buffer = mainsBuffer();
    const bool flac = std::string(name).ends_with(".flac");
    std::uint64_t appended = 0;
    double slowest = 0;
    for (auto _ : state) {
        // FLAC frames reach the file one buffer late.
        while (recorder.framesWritten() + (flac ? 4096u : 0u) < appended * 4096u)
            std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        timeCall(state, slowest, [&] { recorder.append(buffer); });
        ++appended;
    }
    recorder.close();
    if (const auto failure = recorder.takeFailure()) state.SkipWithError(failure->c_str());
    state.counters["slowest_us"] = slowest * 1e6;
    // The share of the time between two buffers that append() takes at most.
    state.counters["slowest_share_of_buffer_period"] = slowest * kBuffersPerSecond;
}
BENCHMARK_CAPTURE(BM_RecorderAppend, wav, "append.wav")->UseManualTime()->Iterations(2000);
BENCHMARK_CAPTURE(BM_RecorderAppend, flac, "append.flac")->UseManualTime()->Iterations(2000);

void BM_LogAppend(benchmark::State& state) {
    bench::TempFolder folder;
    LogWriter log;
    const std::string path = folder.file("append.csv");
    if (const std::string error = log.open(path, "time,V,A,W,VA,PF,Hz\n"); !error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    const std::string line =
        "2024-05-01T12:00:00.372+02:00,230.12,4.321,912.3,994.4,0.917,49.998,1.414,1.523\n";
    double slowest = 0;
    off_t expected = static_cast<off_t>(fs::file_size(path));
    for (auto _ : state) {
        struct stat info {};
        while (::stat(path.c_str(), &info) == 0 && info.st_size < expected)
            std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        timeCall(state, slowest, [&] { log.append(line); });
        expected += static_cast<off_t>(line.size());
    }
    log.close();
    if (const auto failure = log.takeFailure()) state.SkipWithError(failure->c_str());
    state.counters["slowest_us"] = slowest * 1e6;
    state.counters["slowest_share_of_buffer_period"] = slowest * kBuffersPerSecond;
}
BENCHMARK(BM_LogAppend)->UseManualTime()->Iterations(2000);

// How fast a backlog of buffers reached the disk, also as a multiple of the rate they come in.
void reportCatchUp(benchmark::State& state, double seconds) {
    const double buffersPerSecond = static_cast<double>(state.iterations()) *
                                    static_cast<double>(InputRecorder::kDefaultQueueBuffers) /
                                    seconds;
    state.counters["buffers_per_s"] = buffersPerSecond;
    state.counters["times_real_time"] = buffersPerSecond / kBuffersPerSecond;
}

// A disk that takes every write but only after `gate` opens, and then `delayMs` per write.
class SlowSink final : public WriterSink<std::int16_t> {
public:
    explicit SlowSink(int delayMs) : delay_(delayMs) {}
    std::atomic<bool> gate{true};
    std::string write(std::span<const std::int16_t>) override {
        while (!gate.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(delay_);
        return {};
    }
    std::string finish() override { return {}; }
    std::string overflowReason() override { return "overflow"; }

private:
    std::chrono::milliseconds delay_;
};

// The disk stalls completely while the instrument keeps measuring: the recorder's queue takes
// every buffer until it holds its full two minutes, each append staying as cheap as ever.
void BM_StalledDisk(benchmark::State& state) {
    WriterQueue<std::int16_t> queue(InputRecorder::kDefaultQueueBuffers * Buffer().size(),
                                    16 * Buffer().size());
    const Buffer buffer = mainsBuffer();
    std::size_t accepted = 0;
    for (auto _ : state) {
        SlowSink stalled(0);
        stalled.gate = false;
        queue.start(stalled);
        accepted = 0;
        const auto start = Clock::now();
        while (queue.push(buffer)) ++accepted;
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count() /
                               static_cast<double>(accepted + 1));
        stalled.gate = true;
        queue.stop();
        queue.takeFailure();
    }
    const double stallSeconds = static_cast<double>(accepted) / kBuffersPerSecond;
    state.counters["stall_ridden_out_s"] = stallSeconds;
    state.counters["stall_ridden_out_per_minute"] = stallSeconds / 60.0;
}
BENCHMARK(BM_StalledDisk)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(20);

// A backlog of two minutes of input (after a stall) drains through a disk that takes
// `range(0)` ms per write; the writer hands it 16 buffers at a time.
void BM_SlowDiskCatchUp(benchmark::State& state) {
    WriterQueue<std::int16_t> queue(InputRecorder::kDefaultQueueBuffers * Buffer().size(),
                                    16 * Buffer().size());
    const Buffer buffer = mainsBuffer();
    double seconds = 0;
    for (auto _ : state) {
        SlowSink slow(static_cast<int>(state.range(0)));
        queue.start(slow);
        const auto start = Clock::now();
        for (std::size_t b = 0; b < InputRecorder::kDefaultQueueBuffers; ++b) queue.push(buffer);
        queue.stop();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        if (queue.takeFailure()) state.SkipWithError("the queue overflowed");
    }
    reportCatchUp(state, seconds);
}
BENCHMARK(BM_SlowDiskCatchUp)->Arg(50)->Arg(200)->UseManualTime()->Unit(benchmark::kMillisecond);

// The same backlog through the real file writer into the temporary folder: libsndfile, the
// FLAC encoder and the file system.
void BM_FileCatchUp(benchmark::State& state, const char* name) {
    bench::TempFolder folder;
    const Buffer buffer = mainsBuffer();
    double seconds = 0;
    for (auto _ : state) {
        InputRecorder recorder;
        if (const std::string error = recorder.open(folder.file(name)); !error.empty()) {
            state.SkipWithError(error.c_str());
            return;
        }
        const auto start = Clock::now();
        for (std::size_t b = 0; b < InputRecorder::kDefaultQueueBuffers; ++b)
            recorder.append(buffer);
        recorder.close();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        if (const auto failure = recorder.takeFailure()) state.SkipWithError(failure->c_str());
    }
    reportCatchUp(state, seconds);
}
BENCHMARK_CAPTURE(BM_FileCatchUp, wav, "catch-up.wav")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FileCatchUp, flac, "catch-up.flac")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace acw

BENCHMARK_MAIN();
