// SPDX-License-Identifier: GPL-3.0-or-later
// Headless measuring over a one-hour recording of the demo adaptor (about 159 MB of 16-bit
// stereo at 11025 Hz), written once into a temporary folder: the real --measure run
// (runHeadlessMeasure), CSV to /dev/null, with a settings file of its own (calibration 1) and a
// program configuration that does not exist, so nothing of the user's is read.
//
// Goals on the 2-core reference machine, as ratios of the wall time to the limit (below 1
// meets it): the plain run in at most 1.0 s (ratio_to_1s), with --analysis --energy in at most
// 1.5 s (ratio_to_1_5s). Each run also reports the time to read the recording alone, taken just
// before it (read_only_s, and read_share of the run), and the process's CPU time (cpu_s) and
// that over the run's wall time (cores_busy: 2 would be both cores throughout). On a shared
// machine the wall time depends on what else runs; ratio_if_2_cores_free is the figure the run
// would reach with both cores to itself and the same CPU time (cpu_s / 2 over the limit: the
// part of the run on one thread alone is a few percent). Five repetitions; read the medians.
#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "capture/RecordingReader.h"
#include "cli/CommandLine.h"
#include "cli/HeadlessMeasure.h"
#include "measure/CaptureLayout.h"
#include "measure/SyntheticSignal.h"
#include "settings/SettingsFile.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::int64_t kHourFrames = std::int64_t{acw::kSampleRateHz} * 3600;

// The recording and the files around it, made on first use and removed at exit.
class HourRecording {
public:
    static const HourRecording& get() {
        static const HourRecording recording;
        return recording;
    }

    bool ok() const { return ok_; }
    std::string recording() const { return folder_.file("hour.wav"); }
    // Calibration 1 on lines 9 and 10.
    std::string settings() const { return folder_.file("wattmeter.ini"); }
    // Never created: the program's configuration is then all defaults.
    std::string config() const { return folder_.file("no-config/ac-wattmeter.conf"); }

private:
    HourRecording() {
        if (folder_.path().empty()) return;
        acw::SettingsValues values;
        values.voltsCal = 1.0;
        values.ampsCal = 1.0;
        const std::string text = acw::writeSettingsText(values);
        std::FILE* settingsFile = std::fopen(settings().c_str(), "wb");
        if (settingsFile == nullptr) return;
        const bool written = std::fwrite(text.data(), 1, text.size(), settingsFile) == text.size();
        if (std::fclose(settingsFile) != 0 || !written) return;

        SF_INFO info{};
        info.samplerate = acw::kSampleRateHz;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* file = sf_open(recording().c_str(), SFM_WRITE, &info);
        if (file == nullptr) return;
        acw::SyntheticSignal signal(acw::SyntheticSignal::demoAdaptor());
        std::vector<std::int16_t> chunk(2 * 65536);
        bool complete = true;
        for (std::int64_t done = 0; done < kHourFrames && complete;) {
            const int n = static_cast<int>(std::min<std::int64_t>(65536, kHourFrames - done));
            signal.fill(chunk, n);
            complete = sf_writef_short(file, chunk.data(), n) == n;
            done += n;
        }
        ok_ = sf_close(file) == 0 && complete;
    }

    acw::bench::TempFolder folder_;
    bool ok_ = false;
};

// Reads the whole recording as headless measuring does, without measuring; returns seconds.
double readWholeRecording(const std::string& path) {
    acw::RecordingReader reader;
    if (!reader.open(path).empty()) return 0.0;
    std::array<std::int16_t, acw::RecordingReader::kBlockValues> block{};
    const auto start = Clock::now();
    while (reader.readBlock(block.data())) benchmark::DoNotOptimize(block.data());
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void measureOneHour(benchmark::State& state, bool analysisAndEnergy, double limitSeconds,
                    const char* ratioName) {
    const HourRecording& files = HourRecording::get();
    if (!files.ok()) {
        state.SkipWithError("cannot write the recording or its settings file");
        return;
    }
    acw::CommandLineOptions options;
    options.action = acw::CommandLineOptions::Action::Measure;
    options.inputPath = files.recording();
    options.settingsPath = files.settings();
    options.configPath = files.config();
    options.analysis = analysisAndEnergy;
    options.energy = analysisAndEnergy;

    std::FILE* devNull = std::fopen("/dev/null", "wb");
    double measureSeconds = 0.0, readSeconds = 0.0, cpuSeconds = 0.0;
    for (auto _ : state) {
        readSeconds += readWholeRecording(files.recording());
        const double cpuBefore = acw::bench::processCpuSeconds();
        const auto start = Clock::now();
        const int status = acw::runHeadlessMeasure(options, devNull, stderr);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        cpuSeconds += acw::bench::processCpuSeconds() - cpuBefore;
        if (status != acw::kExitOk) {
            state.SkipWithError("measuring failed");
            break;
        }
        state.SetIterationTime(seconds);
        measureSeconds += seconds;
    }
    std::fclose(devNull);
    const auto runs =
        static_cast<double>(std::max<benchmark::IterationCount>(1, state.iterations()));
    state.counters[ratioName] = measureSeconds / runs / limitSeconds;
    state.counters["read_only_s"] = readSeconds / runs;
    state.counters["read_share"] = measureSeconds > 0.0 ? readSeconds / measureSeconds : 0.0;
    state.counters["cpu_s"] = cpuSeconds / runs;
    state.counters["cores_busy"] = measureSeconds > 0.0 ? cpuSeconds / measureSeconds : 0.0;
    state.counters["ratio_if_2_cores_free"] = cpuSeconds / runs / 2.0 / limitSeconds;
    state.counters["buffers"] = static_cast<double>(kHourFrames / acw::kFramesPerBuffer);
}

// The real --measure run, CSV to /dev/null. Goal: at most 1.0 s.
void BM_MeasureOneHourRecording(benchmark::State& state) {
    measureOneHour(state, false, 1.0, "ratio_to_1s");
}
BENCHMARK(BM_MeasureOneHourRecording)
    ->Unit(benchmark::kSecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(5);

// --measure --analysis --energy. Goal: at most 1.5 s.
void BM_MeasureOneHourRecordingAnalysisEnergy(benchmark::State& state) {
    measureOneHour(state, true, 1.5, "ratio_to_1_5s");
}
BENCHMARK(BM_MeasureOneHourRecordingAnalysisEnergy)
    ->Unit(benchmark::kSecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(5);

}  // namespace

BENCHMARK_MAIN();
