// SPDX-License-Identifier: GPL-3.0-or-later
// Speed of the 16384-point transform (against FFTW's single-precision complex transform of the
// same size, run in the same process) and of the whole per-buffer computation against its two
// transforms. The goal for the transform is at most 2x FFTW: run with --benchmark_repetitions
// and read the median of the counter fftRatio.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <span>
#include <vector>

#include "ReferenceFFT.h"
#include "measure/AudioFFT.h"
#include "measure/MeasurementEngine.h"
#include "measure/SyntheticSignal.h"

#ifdef ACW_BENCH_WITH_FFTW
#include <fftw3.h>
#endif

namespace {

constexpr int kN = acw::AudioFFT::N;

// An engine holding one buffer of the demo adaptor, measured once so that every working array
// is filled.
std::unique_ptr<acw::MeasurementEngine> demoEngine() {
    auto engine = std::make_unique<acw::MeasurementEngine>();
    acw::SyntheticSignal signal(acw::SyntheticSignal::demoAdaptor());
    signal.fill(std::span(engine->captureBuffer).first(acw::kRecordedValues),
                acw::kFramesPerBuffer);
    engine->StartCapture();
    engine->ProcessBuffer();
    return engine;
}

// A windowed capture as the engine hands it to the transform: frames 1..8160 weighted, the rest 0.
std::vector<std::int16_t> windowedDemoInput() {
    const auto engine = demoEngine();
    return {engine->windowedLeft.begin(), engine->windowedLeft.end()};
}

// The shipped transform must equal the literal one bit for bit; checked once before timing.
bool matchesLiteralTransform() {
    auto fft = std::make_unique<acw::AudioFFT>();
    fft->BuildBitReverseTable();
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> sample(-32768, 32767);
    std::vector<std::int16_t> inputs[2] = {windowedDemoInput(), std::vector<std::int16_t>(kN)};
    for (auto& v : inputs[1]) v = static_cast<std::int16_t>(sample(rng));
    std::vector<double> re(kN), refRe(kN);
    std::vector<float> refIm(kN);
    for (const auto& input : inputs) {
        fft->ComputeFFT(input, re);
        acw::testing::referenceFFT(input, refRe.data(), refIm.data());
        if (std::memcmp(re.data(), refRe.data(), kN * sizeof(double)) != 0 ||
            std::memcmp(fft->imaginaryParts.data(), refIm.data(), kN * sizeof(float)) != 0)
            return false;
    }
    return true;
}

void BM_ComputeFFT(benchmark::State& state) {
    auto fft = std::make_unique<acw::AudioFFT>();
    fft->BuildBitReverseTable();
    const auto input = windowedDemoInput();
    std::vector<double> output(kN);
    for (auto _ : state) {
        fft->ComputeFFT(input, output);
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ComputeFFT);

void BM_LiteralFFT(benchmark::State& state) {
    const auto input = windowedDemoInput();
    std::vector<double> re(kN);
    std::vector<float> im(kN);
    for (auto _ : state) {
        acw::testing::referenceFFT(input, re.data(), im.data());
        benchmark::DoNotOptimize(re.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_LiteralFFT);

#ifdef ACW_BENCH_WITH_FFTW
// FFTW's single-precision complex transform of the windowed demo input (imaginary parts 0).
class FftwTransform {
public:
    FftwTransform()
        : in_(static_cast<fftwf_complex*>(fftwf_malloc(sizeof(fftwf_complex) * kN))),
          out_(static_cast<fftwf_complex*>(fftwf_malloc(sizeof(fftwf_complex) * kN))),
          plan_(fftwf_plan_dft_1d(kN, in_, out_, FFTW_BACKWARD, FFTW_MEASURE)) {
        const auto input = windowedDemoInput();
        for (int k = 0; k < kN; ++k) {
            in_[k][0] = input[static_cast<std::size_t>(k)];
            in_[k][1] = 0.0f;
        }
    }
    ~FftwTransform() {
        fftwf_destroy_plan(plan_);
        fftwf_free(in_);
        fftwf_free(out_);
    }
    FftwTransform(const FftwTransform&) = delete;
    FftwTransform& operator=(const FftwTransform&) = delete;

    void run() {
        fftwf_execute(plan_);
        benchmark::DoNotOptimize(out_);
        benchmark::ClobberMemory();
    }

private:
    fftwf_complex* in_;
    fftwf_complex* out_;
    fftwf_plan plan_;
};

void BM_FftwSingleComplex16384(benchmark::State& state) {
    FftwTransform fftw;
    for (auto _ : state) fftw.run();
}
BENCHMARK(BM_FftwSingleComplex16384);

// ComputeFFT and FFTW's transform in turns, each timed on its own; the counter fftRatio is
// ComputeFFT's time over FFTW's (the goal is at most 2). Taking turns keeps the ratio fair while
// other processes load the machine, which the two separate benchmarks above cannot.
void BM_ComputeFFTOverFftw(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    auto fft = std::make_unique<acw::AudioFFT>();
    fft->BuildBitReverseTable();
    const auto input = windowedDemoInput();
    std::vector<double> output(kN);
    FftwTransform fftw;
    Clock::duration ours{}, theirs{};
    for (auto _ : state) {
        const auto start = Clock::now();
        fft->ComputeFFT(input, output);
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
        const auto middle = Clock::now();
        fftw.run();
        const auto end = Clock::now();
        ours += middle - start;
        theirs += end - middle;
    }
    state.counters["fftRatio"] =
        std::chrono::duration<double>(ours) / std::chrono::duration<double>(theirs);
}
BENCHMARK(BM_ComputeFFTOverFftw);
#endif

// The two transforms of one buffer, for comparison with ProcessBuffer.
void BM_TwoComputeFFT(benchmark::State& state) {
    auto engine = demoEngine();
    for (auto _ : state) {
        engine->fft.ComputeFFT(engine->windowedLeft, engine->spectrumLeft);
        engine->fft.ComputeFFT(engine->windowedRight, engine->spectrumRight);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_TwoComputeFFT);

void BM_ProcessBuffer(benchmark::State& state) {
    auto engine = demoEngine();
    for (auto _ : state) {
        engine->ProcessBuffer();
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(engine->watts);
}
BENCHMARK(BM_ProcessBuffer);

// What carries from buffer to buffer alone (extremes, averages, lamps and the readout texts):
// the part of ProcessBuffer that an unpaced run does in order on one thread.
void BM_ApplyFindings(benchmark::State& state) {
    auto engine = demoEngine();
    acw::BufferFindings findings;
    engine->ExamineBuffer(engine->captureBuffer.data(),
                          {engine->leftSamples.data(), engine->rightSamples.data(),
                           engine->windowedLeft.data(), engine->windowedRight.data(),
                           engine->spectrumLeft.data(), engine->spectrumRight.data(), &engine->fft},
                          findings);
    for (auto _ : state) {
        engine->ApplyFindings(findings);
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(engine->readouts.watts.data());
}
BENCHMARK(BM_ApplyFindings);

// ProcessBuffer and its two transforms in turns, each timed on its own, as fftRatio above: the
// counter processBufferRatio is ProcessBuffer's time over that of its two transforms (1 would
// mean everything but the transforms is free).
void BM_ProcessBufferOverTwoTransforms(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    auto engine = demoEngine();
    auto fft = std::make_unique<acw::AudioFFT>();
    fft->BuildBitReverseTable();
    std::vector<double> output(kN);
    Clock::duration whole{}, transforms{};
    for (auto _ : state) {
        const auto start = Clock::now();
        engine->ProcessBuffer();
        benchmark::ClobberMemory();
        const auto middle = Clock::now();
        fft->ComputeFFT(engine->windowedLeft, output);
        benchmark::ClobberMemory();
        fft->ComputeFFT(engine->windowedRight, output);
        benchmark::ClobberMemory();
        const auto end = Clock::now();
        whole += middle - start;
        transforms += end - middle;
    }
    state.counters["processBufferRatio"] =
        std::chrono::duration<double>(whole) / std::chrono::duration<double>(transforms);
}
BENCHMARK(BM_ProcessBufferOverTwoTransforms);

}  // namespace

int main(int argc, char** argv) {
    const bool identical = matchesLiteralTransform();
    std::printf("ComputeFFT bit-identical to the literal transform: %s\n",
                identical ? "yes" : "NO");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return identical ? 0 : 1;
}
