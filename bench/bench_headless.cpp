// Headless measuring over a one-hour recording of the demo adaptor (about 159 MB of 16-bit
// stereo at 11025 Hz), written once into a temporary folder. Goal: the whole --measure run,
// output to /dev/null, in under 5 s on the 2-core reference machine.

#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <stdlib.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/HeadlessMeasure.h"
#include "capture/RecordingReader.h"
#include "measure/SyntheticSignal.h"

namespace {

constexpr std::int64_t kHourFrames = 11025LL * 3600;

// The recording, generated on first use and removed at exit.
class HourRecording {
public:
    static const std::string& path() {
        static HourRecording recording;
        return recording.path_;
    }

    ~HourRecording() {
        std::error_code ec;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, ec);
    }

private:
    HourRecording() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "acw-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) return;
        folder_ = pattern;
        path_ = (folder_ / "hour.wav").string();
        SF_INFO info{};
        info.samplerate = 11025;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* file = sf_open(path_.c_str(), SFM_WRITE, &info);
        if (!file) {
            path_.clear();
            return;
        }
        acw::SyntheticSignal signal(acw::SyntheticSignal::demoAdaptor());
        std::vector<std::int16_t> chunk(2 * 65536);
        for (std::int64_t done = 0; done < kHourFrames;) {
            const int n = static_cast<int>(std::min<std::int64_t>(65536, kHourFrames - done));
            signal.fill(chunk, n);
            sf_writef_short(file, chunk.data(), n);
            done += n;
        }
        sf_close(file);
    }

    std::filesystem::path folder_;
    std::string path_;
};

// The real --measure run, CSV to /dev/null.
void BM_MeasureOneHourRecording(benchmark::State& state) {
    const std::string& path = HourRecording::path();
    if (path.empty()) {
        state.SkipWithError("cannot write the recording");
        return;
    }
    acw::CommandLineOptions options;
    options.action = acw::CommandLineOptions::Action::Measure;
    options.inputPath = path;
    // An empty settings file: calibration 1, and the user's own file is not consulted.
    const std::string settings = path + ".ini";
    std::fclose(std::fopen(settings.c_str(), "wb"));
    options.settingsPath = settings;

    std::FILE* devNull = std::fopen("/dev/null", "wb");
    for (auto _ : state) {
        const int status = acw::runHeadlessMeasure(options, devNull, stderr);
        if (status != acw::kExitOk) state.SkipWithError("measuring failed");
    }
    std::fclose(devNull);
    state.counters["buffers"] = static_cast<double>(kHourFrames / 4096);
    state.counters["audio_s_per_s"] = benchmark::Counter(
        3600.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MeasureOneHourRecording)->Unit(benchmark::kSecond)->Iterations(2);

// Reading alone: the share of decoding the file in the run above.
void BM_ReadOneHourRecording(benchmark::State& state) {
    const std::string& path = HourRecording::path();
    acw::RecordingReader reader;
    if (path.empty() || !reader.open(path).empty()) {
        state.SkipWithError("cannot open the recording");
        return;
    }
    std::array<std::int16_t, acw::RecordingReader::kBlockValues> block{};
    for (auto _ : state) {
        reader.rewind();
        while (reader.readBlock(block.data())) benchmark::DoNotOptimize(block.data());
    }
}
BENCHMARK(BM_ReadOneHourRecording)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
