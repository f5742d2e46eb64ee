// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numeric>
#include <random>

#include "ReferenceFFT.h"
#include "measure/AudioFFT.h"
#include "measure/CsvRow.h"
#include "measure/MeasurementEngine.h"
#include "measure/ReadoutText.h"
#include "measure/SyntheticSignal.h"

using namespace acw;
using Frames = std::vector<std::array<int, 3>>;  // frame, volts, amps; every other value 0
constexpr double kV = 750.0 / 32767.0, kA = 75.0 / 32767.0;  // per count at divisor 1
// 22 whole cycles in frames 1..4095, the frames the sums see: the mean of sin^2 is exactly 1/2.
constexpr double kWholeCyclesHz = 22.0 * 11025.0 / 4095.0;

struct EngineTest : ::testing::Test {
    // A signal in frames 0..4095, as the capture cycle writes them, or only the frames given.
    void feed(const SyntheticSignal::Params& signal, const Frames& frames = {}) {
        e->captureBuffer.fill(0);
        if (frames.empty()) SyntheticSignal(signal).fill(e->captureBuffer, kFramesPerBuffer);
        for (const auto& [k, v, a] : frames)
            e->captureBuffer[2 * k] = v, e->captureBuffer[2 * k + 1] = a;
        e->ProcessBuffer();
    }
    std::unique_ptr<MeasurementEngine> e = std::make_unique<MeasurementEngine>();
};

// Frames 1..8190 enter the sums (not frame 0, not 8191; the current alone keeps a frame in),
// divided by 8190 and by the divisors; the power is the magnitude of the signed sum of products,
// over both divisors.
TEST_F(EngineTest, SumsOverFrames1To8190DividedBy8190) {
    e->voltsCal = 2;
    e->ampsCal = -4;
    feed({}, {{0, 1000, 1000}, {1, 1000, 1000}, {2, 1000, -3000}, {8190, 0, 300}, {8191, 9, 9}});
    const double r = std::sqrt(8190.0);
    EXPECT_DOUBLE_EQ(e->voltsRms, 1000 * kV * std::sqrt(2.0) / r / 2);
    EXPECT_DOUBLE_EQ(e->ampsRms, kA * std::sqrt(1e6 + 9e6 + 9e4) / r / -4);
    EXPECT_DOUBLE_EQ(e->watts, 2e6 * kV * kA / 8190 / -8);
}

// Every readout of a known sine: PF 0.5, crest factor sqrt 2 over the RMS of half the frames.
TEST_F(EngineTest, ReadoutsOfKnownSines) {
    e->voltsCal = 2.0;
    e->ampsCal = 0.5;
    feed(SyntheticSignal::sine(kWholeCyclesHz, 20000, 5000, 60));
    const ReadoutTexts& r = e->readouts;
    EXPECT_EQ(std::vector({r.averageFrequency, r.voltsUnit, r.voltsRms, r.voltsLarge, r.ampsUnit,
                           r.ampsRms, r.ampsLarge, r.voltAmps, r.watts, r.powerFactor, r.voltsCrest,
                           r.ampsCrest}),
              std::vector<std::string>({"59.2", "V", "114.444", "114.4", "A", "11.444", "11.44",
                                        "1309.751", "654.876", "0.500", "1.414", "1.414"}));
}

// Readings that cannot be computed keep the previous buffer's: an overflow or a vanishing
// divisor, no apparent power (silence, a negative divisor), no dominant bin (silence); the
// fuzz target fuzz_engine checks that every reading stays finite whatever the divisors.
TEST_F(EngineTest, ReadingsThatCannotBeComputedKeepThePreviousValue) {
    const auto sine = SyntheticSignal::sine(kWholeCyclesHz, 16000, 8000, 60);
    feed(sine);
    const MeasurementEngine before = *e;
    e->voltsCal = e->ampsCal = 1e-200;  // their product vanishes
    feed(sine);
    EXPECT_DOUBLE_EQ(e->voltsRms, before.voltsRms * 1e200);
    EXPECT_EQ(std::tuple(e->watts, e->voltAmps, e->powerFactor),
              std::tuple(before.watts, before.voltAmps, before.powerFactor));
    e->voltsCal = e->ampsCal = 1.0;
    feed({}, {});
    EXPECT_EQ(e->readouts.watts + e->readouts.voltAmps + e->readouts.powerFactor, "0.00.00.500");
    EXPECT_EQ(std::tuple(e->voltsCrest, e->leftFrequency, e->leftPeakBin),
              std::tuple(before.voltsCrest, before.leftFrequency, before.leftPeakBin));
    e->voltsCal = -1.0;  // negative RMS and VA
    feed({}, {{1000, 1000, 1000}});
    EXPECT_EQ(std::pair(e->voltsCrest, e->powerFactor),
              std::pair(before.voltsCrest, before.powerFactor));
    const double ampsCrest = e->ampsCrest;
    std::swap(e->voltsCal, e->ampsCal);
    feed({}, {{1000, 1000, 1000}});
    EXPECT_EQ(e->ampsCrest, ampsCrest);
}

// The extremes carry over from the buffer before, restarting from the half-range: it follows a
// rise at once and halves its excess after a drop; frame 0 takes no part; ties round to even.
TEST_F(EngineTest, HalfRangeFollowsARiseAtOnceAndHalvesItsExcessAfterADrop) {
    for (const auto& [peak, volts] : {std::pair{20000, 20000}, {10000, 15000}, {10000, 12500}}) {
        feed(SyntheticSignal::sine(11025.0 / 180, peak, peak * 0.4));  // samples on the crests
        EXPECT_EQ(std::pair(e->voltsHalfRange, e->ampsHalfRange), std::pair(volts, volts * 2 / 5));
    }
    e->voltsMax = 20001;
    e->voltsMin = -20000;
    feed({}, {{0, 32767, -32768}});
    EXPECT_EQ(e->voltsHalfRange, 20000);
}

// The raised cosine peaks at 1.08: loud samples under its bulge saturate; frames past the
// captured ones weigh to 0.
TEST_F(EngineTest, WeightedSamplesAreRoundedAndClampedTo16Bits) {
    Frames rails;
    for (int k = 0; k < kFramesPerBuffer; ++k) rails.push_back({k, 32767, -32768});
    feed({}, rails);
    for (int i = 0; i <= 8161; ++i) {
        const double w = i >= 1 && i < kFramesPerBuffer ? e->windowTable[2 * i] : 0;
        ASSERT_EQ(e->windowedLeft[i], std::min(32767.0, std::nearbyint(32767 * w))) << i;
        ASSERT_EQ(e->windowedRight[i], std::max(-32768.0, std::nearbyint(-32768 * w))) << i;
    }
}

// The dominant frequency: bins 2..8160 (to 5.49 kHz), the lowest of equal bins, a parabola
// between bins clamped to half a bin, 2.6916 / 4 Hz per bin.
TEST_F(EngineTest, DominantFrequencyFromMainsToTheTopOfTheSearch) {
    const std::tuple<double, double, double, int> cases[] = {
        // clang-format off
        {45, 45, 0.05, 67}, {65, 65, 0.05, 97}, {4000, 3999.9253, 1e-4, 5944},
        {5400, 5399.8886, 1e-4, 8025}, {5505, 8160 * 2.6916 / 4, 1e-9, 8160},
        // clang-format on
    };
    for (const auto& [hz, expected, tolerance, bin] : cases) {
        feed(SyntheticSignal::sine(hz, 25000, 9000, 35));
        EXPECT_NEAR(e->leftFrequency, expected, tolerance) << hz;
        EXPECT_NEAR(e->rightFrequency, expected, std::max(tolerance, 0.02)) << hz;
        EXPECT_EQ(e->leftPeakBin, bin) << hz;
    }
    Frames dc;  // DC leaks into bins 1, 2, 3: the peak is clamped half a bin down
    for (int k = 0; k < kFramesPerBuffer; ++k) dc.push_back({k, 1000, 1000});
    feed({}, dc);
    EXPECT_EQ(std::pair(e->leftPeakBin, e->leftFrequency),
              std::pair(std::int16_t{2}, 1.5 * 2.6916 / 4));
    feed({}, {{256, 32767, 32767}});  // an impulse: 255 equal bins from bin 32 on
    EXPECT_EQ(e->leftPeakBin, 32);
    EXPECT_NEAR(e->leftFrequency, 32 * 2.6916 / 4, 0.5 * 2.6916 / 4);
}

// After START the voltage frequency is averaged over one, two, then the last three buffers,
// although the slot index carries on from the run before; both lamps turn green on buffer 4.
TEST_F(EngineTest, AverageOfThreeBuffersAfterStartAndLampsGreenOnTheFourth) {
    for (int b = 0; b < 5; ++b) feed(SyntheticSignal::sine(60, 24000, 6000, 30));
    e->StopCapture();
    EXPECT_EQ(std::pair(e->voltsLock, e->ampsLock), std::pair(Lamp::Off, Lamp::Off));
    e->StartCapture();
    std::vector<double> f;
    for (double hz : {50.0, 55.0, 60.0, 65.0}) {
        feed(SyntheticSignal::sine(hz, 20000, 5000));
        f.push_back(e->leftFrequency);
        const auto first = f.end() - std::min<std::ptrdiff_t>(f.size(), 3);
        EXPECT_NEAR(e->averageFrequency, std::accumulate(first, f.end(), 0.0) / (f.end() - first),
                    1e-12);
        const Lamp lamp = f.size() == 4 ? Lamp::Green : Lamp::Red;
        EXPECT_EQ(std::pair(e->voltsLock, e->ampsLock), std::pair(lamp, lamp)) << hz;
    }
    EXPECT_EQ(e->readouts.averageFrequency, "60.0");  // of 55, 60 and 65 Hz
}

// Patterns of '#', '0' and '.', ties to even, no "-" on a zero; the readouts complete them to
// one or three decimals; what is not a number shows as "---".
TEST(ReadoutText, PatternsAndTheirCompletion) {
    const std::tuple<double, const char*, const char*> patterns[] = {
        // clang-format off
        {59.73, "###.#", "59.7"}, {60.04, "###.#", "60."}, {0.5, "###.#", ".5"}, {0, "###.#", "."},
        {120.4, "#.###", "120.4"}, {55, "0.0##", "55.0"}, {55.1234, "0.0##", "55.123"},
        {0.0004, "0.0##", "0.0"}, {9.9996, "0.000", "10.000"}, {0.9999, "#.###", "1."},
        {7.0, "00.0", "07.0"}, {1234.6, "0", "1235"}, {-0.25, "#.###", "-.25"},
        {-1e-4, "0.0", "0.0"}, {0.125, "0.00", "0.12"}, {0.375, "0.00", "0.38"},
        {NAN, "0.0##", "---"}, {-INFINITY, "0", "---"},
        // clang-format on
    };
    for (const auto& [value, pattern, text] : patterns)
        EXPECT_EQ(formatPattern(value, pattern), text) << value << " " << pattern;
    const std::string huge = formatPattern(1.7976931348623157e308, "0.0");
    EXPECT_EQ(huge.substr(0, 5) + huge.substr(309) + std::to_string(huge.size()), "17976.0311");
    const std::tuple<double, const char*, const char*> readouts[] = {
        // clang-format off
        {120.0, "120.000", "120.0"}, {0.25, ".250", ".2"}, {0, ".000", ".0"},
        {-1.25, "-1.250", "-1.2"}, {59.96, "59.960", "60.0"}, {NAN, "---", "---"},
        // clang-format on
    };
    for (const auto& [value, rms, hz] : readouts)
        EXPECT_EQ(rmsReadoutText(value) + " " + frequencyReadoutText(value),
                  std::string(rms) + " " + hz);
}

// One CSV line per buffer from the engine's readings: nine significant digits, never "-0" (a
// negative divisor with silence prints 0), the lamps, and the start of the buffer in seconds.
TEST_F(EngineTest, MeasurementsAsCsvLines) {
    EXPECT_EQ(csvHeader(), "time_s,volts,amps,hz,watts,va,pf,v_cf,a_cf,volts_lock,amps_lock\n");
    std::string row;
    e->voltsCal = -1.0;
    e->StartCapture();
    feed({}, {});
    appendCsvRow(row = "", measurementOf(*e, 0, 0));
    EXPECT_EQ(row, "0,0,0,0,0,0,0,0,0,red,red\n");

    e->voltsCal = 2.0;
    e->ampsCal = 0.25;
    for (int i = 0; i < 3; ++i) feed(SyntheticSignal::sine(50, 20000, 5000, 30));
    e->voltsLock = Lamp::Red;
    const Measurement m = measurementOf(*e, 3, 1);
    EXPECT_EQ(std::tuple(m.startFrame, m.buffersDroppedBefore, m.voltsCal, m.ampsCal, m.texts,
                         m.readings.leftFrequency, m.readings.rightFrequency, m.leftSamples.data()),
              std::tuple(3 * 4096, 1u, 2.0, 0.25, &e->readouts, e->leftFrequency, e->rightFrequency,
                         &e->leftSamples[0]));
    appendCsvRow(row = "", m);  // 3 x 4096 / 11025 s, the readings, the lamps
    EXPECT_EQ(row,
              "1.11455782,114.255251,22.8528476,49.9839037,2258.80962,2611.05785,0.865093671,"
              "1.41634099,1.4162296,red,green\n");
}

// Random, full-scale, sine and weighted inputs and impulses, compared bit for bit with the
// transform written out literally (which reverses bits the same way: the frequencies above
// check them). Only the first 16384 elements are read and written.
TEST(AudioFFT, BitIdenticalToTheLiteralTransform) {
    constexpr int kN = AudioFFT::N;
    std::mt19937 rng(12345);
    const double pi = std::numbers::pi;
    const std::function<double(int)> inputs[] = {
        [&](int) { return std::uniform_int_distribution(-32768, 32767)(rng); },
        [](int k) { return k % 3 ? -32768 : 32767; },
        [&](int k) { return 20000 * std::sin(2 * pi * 89 * k / kN); },
        [&](int k) {  // a 60 Hz buffer weighted as the engine weighs it
            const double w = 0.54 - 0.54 * std::cos(6.28318 * 2 * k / 16384.0);
            return k > 8160 ? 0 : 27000 * std::sin(2 * pi * 60 * k / 11025) * w;
        },
        [](int k) { return k == 0 || k == 7 || k == 16383 ? -32768 : 0; }};
    auto fft = std::make_unique<AudioFFT>();
    fft->BuildBitReverseTable();
    std::vector<std::int16_t> x(kN + 100, 32767);
    std::vector<double> re(kN + 100, -7.5), refRe(kN);
    std::vector<float> refIm(kN);
    for (const auto& input : inputs) {
        for (int k = 0; k < kN; ++k) x[k] = static_cast<std::int16_t>(std::nearbyint(input(k)));
        acw::testing::referenceFFT(x, refRe.data(), refIm.data());
        // On every vector instruction set this processor runs, down to the baseline code.
        for (int level = 0; level <= static_cast<int>(AudioFFT::widestSimdLevel()); ++level) {
            fft->simdLevel = static_cast<AudioFFT::SimdLevel>(level);
            ASSERT_TRUE(fft->ComputeFFT(x, re));
            EXPECT_EQ(std::memcmp(re.data(), refRe.data(), kN * sizeof(double)), 0) << level;
            EXPECT_EQ(std::memcmp(fft->imaginaryParts.data(), refIm.data(), kN * sizeof(float)),
                      0)
                << level;
        }
        EXPECT_EQ(re[kN], -7.5);
    }
}
