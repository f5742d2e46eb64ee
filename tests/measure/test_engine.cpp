#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <span>
#include <vector>

#include "measure/MeasurementEngine.h"
#include "measure/SyntheticSignal.h"

namespace acw {
namespace {

constexpr double kVoltsPerCount = 750.0 / 32767.0;
constexpr double kAmpsPerCount = 75.0 / 32767.0;
// 22 whole cycles in frames 1..4095, the frames the sums see: mean of sin^2 is exactly 1/2.
constexpr double kWholeCyclesHz = 22.0 * 11025.0 / 4095.0;
// A period of exactly 180 frames: samples land on the crests, so the extremes are exact.
constexpr double kCrestOnSampleHz = 11025.0 / 180.0;

// Feeds the engine as the capture cycle does: frames 0..4095 written, the rest left zero.
class EngineTest : public ::testing::Test {
protected:
    void feed(SyntheticSignal& signal) {
        signal.fill(std::span(engine->captureBuffer).first(kRecordedValues), kFramesPerBuffer);
        engine->ProcessBuffer();
    }
    void feed(const SyntheticSignal::Params& params) {
        SyntheticSignal signal(params);
        feed(signal);
    }
    void feedSilence() {
        std::fill_n(engine->captureBuffer.begin(), kRecordedValues, std::int16_t{0});
        engine->ProcessBuffer();
    }

    std::unique_ptr<MeasurementEngine> engine = std::make_unique<MeasurementEngine>();
};

TEST_F(EngineTest, KnownSineGivesKnownRmsHalfRangeAndCrest) {
    const double peak = 20000.0;
    engine->voltsCal = 2.0;
    engine->ampsCal = 0.5;
    feed(SyntheticSignal::sine(kWholeCyclesHz, peak, peak / 4));
    // 4095 of the 8190 frames carry the sine: RMS = peak / sqrt(2) * sqrt(4095 / 8190).
    EXPECT_NEAR(engine->voltsRms, peak * 0.5 * kVoltsPerCount / 2.0, 1e-3);
    EXPECT_NEAR(engine->ampsRms, peak / 4 * 0.5 * kAmpsPerCount / 0.5, 1e-4);
    EXPECT_NEAR(engine->voltsHalfRange, peak, 2);
    EXPECT_NEAR(engine->ampsHalfRange, peak / 4, 1);
    // Crest: half-range * 0.707 over the RMS reading of half the frames: 1.414.
    EXPECT_EQ(engine->readouts.label3, "1.414");
    EXPECT_EQ(engine->readouts.label5, "1.414");
    EXPECT_EQ(engine->rightSamples[4095], engine->captureBuffer[8191]);
}

TEST_F(EngineTest, PowerAndPowerFactorFollowThePhaseShift) {
    struct Case {
        double shiftDeg;
        double powerFactor;
        const char* text;
    };
    for (const Case c : {Case{0, 1.0, "1.000"}, Case{60, 0.5, "0.500"}, Case{90, 0.0, "0.000"},
                         Case{-45, std::sqrt(0.5), "0.707"}, Case{180, 1.0, "1.000"}}) {
        SCOPED_TRACE(c.shiftDeg);
        feed(SyntheticSignal::sine(kWholeCyclesHz, 16000, 8000, c.shiftDeg));
        const double va = engine->voltsRms * engine->ampsRms;
        EXPECT_DOUBLE_EQ(engine->voltAmps, va);
        // A current transformer wired backwards (180 degrees) still reads positive watts.
        EXPECT_GE(engine->watts, 0.0);
        EXPECT_NEAR(engine->watts, c.powerFactor * va, 2e-4 * va);
        EXPECT_EQ(engine->readouts.label42, c.text);
    }
}

TEST_F(EngineTest, FrequencyWithinFiveHundredthsOfAHertzFrom45To65) {
    for (double hz = 45.0; hz <= 65.01; hz += 2.23) {
        for (double phase : {0.0, 77.0, 161.0, 270.0}) {
            SyntheticSignal::Params p = SyntheticSignal::sine(hz, 25000, 9000);
            p.volts.phaseDeg = phase;
            p.amps.phaseDeg = phase - 35.0;
            p.volts.harmonics = {{3, 0.10, 40.0}};
            p.amps.harmonics = {{3, 0.10, 200.0}};
            p.volts.noiseRmsCounts = 250;
            p.amps.noiseRmsCounts = 90;
            p.noiseSeed = static_cast<std::uint64_t>(hz * 100 + phase);
            feed(p);
            EXPECT_NEAR(engine->leftFrequency, hz, 0.05) << "phase " << phase;
            EXPECT_NEAR(engine->rightFrequency, hz, 0.05) << "phase " << phase;
        }
    }
}

TEST_F(EngineTest, AfterStartTheLampsAndTheAverageFillOverThreeBuffers) {
    // A 60 Hz line with noise and a third harmonic reads "60.0"; the lamps go green on buffer 4.
    SyntheticSignal::Params p = SyntheticSignal::sine(60.0, 24000, 6000, 30.0);
    p.volts.harmonics = {{3, 0.10, 0.0}};
    p.volts.noiseRmsCounts = 240;
    SyntheticSignal signal(p);
    engine->startCapture();
    for (int buffer = 1; buffer <= 4; ++buffer) {
        feed(signal);
        const std::uint32_t expected = buffer == 4 ? kLampGreen : kLampRed;
        EXPECT_EQ(engine->label1Colour, expected) << buffer;
        EXPECT_EQ(engine->label2Colour, expected) << buffer;
        EXPECT_EQ(engine->readouts.label36, "60.0") << buffer;
    }
    engine->stopCapture();
    EXPECT_EQ(engine->label1Colour, kLampBlack);
    EXPECT_EQ(engine->label2Colour, kLampBlack);

    // A new START averages afresh over one, two, then the last three buffers, although the slot
    // index carries on.
    auto run = [&](double hz) {
        feed(SyntheticSignal::sine(hz, 20000, 5000));
        return engine->leftFrequency;
    };
    engine->startCapture();
    const double f1 = run(50.0);
    EXPECT_DOUBLE_EQ(engine->averageFrequency, f1);
    const double f2 = run(55.0);
    EXPECT_DOUBLE_EQ(engine->averageFrequency, (f1 + f2) / 2);
    const double f3 = run(60.0);
    const double f4 = run(65.0);
    EXPECT_NEAR(engine->averageFrequency, (f2 + f3 + f4) / 3, 1e-12);
}

TEST_F(EngineTest, HalfRangeFollowsARiseAtOnceAndHalvesItsExcessAfterADrop) {
    const auto loud = SyntheticSignal::sine(kCrestOnSampleHz, 20000, 8000);
    SyntheticSignal signal(loud);
    feed(signal);
    EXPECT_EQ(engine->voltsHalfRange, 20000);
    EXPECT_EQ(engine->ampsHalfRange, 8000);
    signal.setParams(SyntheticSignal::sine(kCrestOnSampleHz, 10000, 4000));
    const int expectedVolts[] = {15000, 12500, 11250, 10625};
    const int expectedAmps[] = {6000, 5000, 4500, 4250};
    for (int b = 0; b < 4; ++b) {
        feed(signal);
        EXPECT_EQ(engine->voltsHalfRange, expectedVolts[b]);
        EXPECT_EQ(engine->ampsHalfRange, expectedAmps[b]);
    }
    signal.setParams(loud);
    feed(signal);
    EXPECT_EQ(engine->voltsHalfRange, 20000);
    // Ties round to even: (20001 - (-20000)) / 2 = 20000.5 -> 20000.
    engine->voltsMax = 20001;
    engine->voltsMin = -20000;
    feedSilence();
    EXPECT_EQ(engine->voltsHalfRange, 20000);
}

TEST_F(EngineTest, SilenceZeroesTheSumsAndKeepsRatiosAndFrequencies) {
    feedSilence();  // no reading yet: zeros, not "nan"
    EXPECT_EQ(engine->readouts.label37, ".000");
    EXPECT_EQ(engine->readouts.label42, "0.000");
    EXPECT_EQ(engine->readouts.label36, ".0");

    feed(SyntheticSignal::sine(kWholeCyclesHz, 16000, 8000, 60));
    const double crest = engine->voltsCrest;
    const double left = engine->leftFrequency;
    ASSERT_GT(left, 50.0);
    feedSilence();
    EXPECT_EQ(engine->voltsRms, 0.0);
    EXPECT_EQ(engine->ampsRms, 0.0);
    EXPECT_EQ(engine->watts, 0.0);
    EXPECT_EQ(engine->voltsCrest, crest);
    EXPECT_EQ(engine->leftFrequency, left);
    EXPECT_EQ(engine->readouts.label8, "0.00");
    EXPECT_EQ(engine->readouts.label42, "0.500");
}

TEST_F(EngineTest, LoudSamplesUnderTheWindowBulgeSaturate) {
    // The raised cosine peaks at 1.08 and exceeds 1 from entry 6755 to 9629.
    EXPECT_NEAR(engine->windowTable[8192], 1.08f, 1e-6);
    EXPECT_LT(engine->windowTable[6754], 1.0f);
    EXPECT_GT(engine->windowTable[6755], 1.0f);
    // A buffer filled beyond the captured frames leaves weighted values behind; the next normal
    // capture must clear them.
    std::fill_n(engine->captureBuffer.begin(), 2 * 8192, std::int16_t{1000});
    engine->ProcessBuffer();
    engine->captureBuffer.fill(0);
    for (int k = 0; k < kFramesPerBuffer; ++k) {
        engine->captureBuffer[2 * k] = 32767;
        engine->captureBuffer[2 * k + 1] = -32768;
    }
    engine->ProcessBuffer();
    for (int i = 0; i <= 8161; ++i) {
        const double w = engine->windowTable[2 * i];
        const bool weighed = i >= 1 && i < kFramesPerBuffer;
        const double left = weighed ? std::min(32767.0, std::nearbyint(32767 * w)) : 0;
        const double right = weighed ? std::max(-32768.0, std::nearbyint(-32768 * w)) : 0;
        ASSERT_EQ(engine->windowedLeft[i], left) << i;
        ASSERT_EQ(engine->windowedRight[i], right) << i;
    }
    EXPECT_EQ(engine->windowedLeft[3500], 32767);
    EXPECT_EQ(engine->windowedRight[4000], -32768);
    // A constant (DC) input reads as its own RMS with no power factor surprise.
    EXPECT_NEAR(engine->voltsRms, 750.0 * std::sqrt(4095.0 / 8190.0), 1e-9);
    EXPECT_NEAR(engine->powerFactor, 1.0, 1e-4);
}

}  // namespace
}  // namespace acw
