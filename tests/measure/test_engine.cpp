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
    void SetUp() override { engine = std::make_unique<MeasurementEngine>(); }

    void feed(SyntheticSignal& signal) {
        signal.fill(std::span(engine->captureBuffer).first(kRecordedValues), kFramesPerBuffer);
        engine->ProcessBuffer();
    }

    void feedSilence() {
        std::fill_n(engine->captureBuffer.begin(), kRecordedValues, std::int16_t{0});
        engine->ProcessBuffer();
    }

    std::unique_ptr<MeasurementEngine> engine;
};

TEST_F(EngineTest, WindowTableIsTheRaisedCosineOverEvenEntries) {
    EXPECT_EQ(engine->windowTable[0], 0.0f);
    EXPECT_EQ(engine->windowTable[8192], static_cast<float>(0.54 - 0.54 * std::cos(6.28318 / 2)));
    EXPECT_NEAR(engine->windowTable[8192], 1.08f, 1e-6);
    EXPECT_EQ(engine->windowTable[4096],
              static_cast<float>(0.54 - 0.54 * std::cos(6.28318 * 4096 / 16384)));
    EXPECT_LT(engine->windowTable[6754], 1.0f);
    EXPECT_GT(engine->windowTable[6755], 1.0f);
    EXPECT_GT(engine->windowTable[9629], 1.0f);
    EXPECT_LT(engine->windowTable[9630], 1.0f);
}

TEST_F(EngineTest, KnownSineGivesKnownRmsHalfRangeAndCrest) {
    const double peak = 20000.0;
    SyntheticSignal signal(SyntheticSignal::sine(kWholeCyclesHz, peak, peak / 4));
    engine->voltsCal = 2.0;
    engine->ampsCal = 0.5;
    feed(signal);
    // 4095 of the 8190 frames carry the sine: RMS = peak / sqrt(2) * sqrt(4095 / 8190).
    EXPECT_NEAR(engine->voltsRms, peak * 0.5 * kVoltsPerCount / 2.0, 1e-3);
    EXPECT_NEAR(engine->ampsRms, peak / 4 * 0.5 * kAmpsPerCount / 0.5, 1e-4);
    EXPECT_NEAR(engine->voltsHalfRange, peak, 2);
    EXPECT_NEAR(engine->ampsHalfRange, peak / 4, 1);
    // Crest: half-range * 0.707 over the RMS reading of half the frames: 1.414.
    EXPECT_NEAR(engine->voltsCrest, 1.414, 2e-4);
    EXPECT_NEAR(engine->ampsCrest, 1.414, 2e-4);
    EXPECT_EQ(engine->readouts.label3, "1.414");
    EXPECT_EQ(engine->readouts.label5, "1.414");
    EXPECT_EQ(engine->leftSamples[0], engine->captureBuffer[0]);
    EXPECT_EQ(engine->rightSamples[4095], engine->captureBuffer[8191]);
    EXPECT_EQ(engine->leftSamples[4096], 0);
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
        engine = std::make_unique<MeasurementEngine>();
        SyntheticSignal signal(SyntheticSignal::sine(kWholeCyclesHz, 16000, 8000, c.shiftDeg));
        feed(signal);
        const double va = engine->voltsRms * engine->ampsRms;
        EXPECT_DOUBLE_EQ(engine->voltAmps, va);
        // A current transformer wired backwards (180 degrees) still reads positive watts.
        EXPECT_GE(engine->watts, 0.0);
        EXPECT_NEAR(engine->watts, c.powerFactor * va, 2e-4 * va);
        EXPECT_NEAR(engine->powerFactor, c.powerFactor, 2e-4);
        EXPECT_EQ(engine->readouts.label42, c.text);
    }
}

TEST_F(EngineTest, FrequencyWithinFiveHundredthsOfAHertzFrom45To65) {
    for (double hz = 45.0; hz <= 65.01; hz += 2.23) {
        for (double phase : {0.0, 77.0, 161.0, 270.0}) {
            SyntheticSignal::Params p = SyntheticSignal::sine(hz, 25000, 9000, 35.0);
            p.volts.phaseDeg = phase;
            p.amps.phaseDeg = phase - 35.0;
            p.volts.harmonics = {{3, 0.10, 40.0}};
            p.amps.harmonics = {{3, 0.10, 200.0}};
            p.volts.noiseRmsCounts = 250;
            p.amps.noiseRmsCounts = 90;
            p.noiseSeed = static_cast<std::uint64_t>(hz * 100 + phase);
            SyntheticSignal signal(p);
            feed(signal);
            EXPECT_NEAR(engine->leftFrequency, hz, 0.05) << "phase " << phase;
            EXPECT_NEAR(engine->rightFrequency, hz, 0.05) << "phase " << phase;
        }
    }
}

TEST_F(EngineTest, PeakBinIsTheFirstBinOfLargestPower) {
    std::vector<double> re(kCaptureBufferValues);
    for (int trial = 0; trial < 4; ++trial) {
        SyntheticSignal::Params p = trial == 0 ? SyntheticSignal::demoAdaptor()
                                               : SyntheticSignal::sine(40.0 + 100 * trial, 3000, 0);
        p.volts.noiseRmsCounts = trial == 3 ? 8000 : p.volts.noiseRmsCounts;
        p.noiseSeed = 17 + static_cast<std::uint64_t>(trial);
        SyntheticSignal signal(p);
        feed(signal);
        ASSERT_TRUE(engine->fft.ComputeFFT(engine->windowedLeft, re));
        const auto& im = engine->fft.imaginaryParts;
        double best = 0.0;
        int bin = 0;
        for (int n = 2; n <= 8160; ++n) {
            const double power =
                re[static_cast<std::size_t>(n)] * re[static_cast<std::size_t>(n)] +
                double{im[static_cast<std::size_t>(n)]} * im[static_cast<std::size_t>(n)];
            if (power > best) {
                best = power;
                bin = n;
            }
        }
        EXPECT_EQ(engine->leftPeakBin, bin) << "trial " << trial;
        EXPECT_NEAR(engine->leftFrequency, bin * 2.6916 / 4, 0.5 * 2.6916 / 4);
    }
}

TEST_F(EngineTest, SixtyHertzLineReadsSixtyPointZeroAndLocksOnTheFourthBuffer) {
    SyntheticSignal::Params p = SyntheticSignal::sine(60.0, 24000, 6000, 30.0);
    p.volts.harmonics = {{3, 0.10, 0.0}};
    p.volts.noiseRmsCounts = 240;
    SyntheticSignal signal(p);
    EXPECT_EQ(engine->label1Colour, kLampBlack);
    EXPECT_EQ(engine->label2Colour, kLampBlack);
    engine->startCapture();
    for (int buffer = 1; buffer <= 5; ++buffer) {
        SCOPED_TRACE(buffer);
        feed(signal);
        const std::uint32_t expected = buffer >= 4 ? kLampGreen : kLampRed;
        EXPECT_EQ(engine->label1Colour, expected);
        EXPECT_EQ(engine->label2Colour, expected);
        EXPECT_EQ(engine->readouts.label36, "60.0");
    }
    engine->stopCapture();
    EXPECT_EQ(engine->label1Colour, kLampBlack);
    EXPECT_EQ(engine->label2Colour, kLampBlack);
    EXPECT_EQ(engine->readouts.label36, "60.0");
}

TEST_F(EngineTest, FrequencyAverageCoversOneTwoThenThreeBuffersAfterStart) {
    auto run = [&](double hz) {
        SyntheticSignal signal(SyntheticSignal::sine(hz, 20000, 5000));
        feed(signal);
        return engine->leftFrequency;
    };
    engine->startCapture();
    const double f1 = run(50.0);
    EXPECT_DOUBLE_EQ(engine->averageFrequency, f1);
    const double f2 = run(55.0);
    EXPECT_DOUBLE_EQ(engine->averageFrequency, (f1 + f2) / 2);
    const double f3 = run(60.0);
    EXPECT_NEAR(engine->averageFrequency, (f1 + f2 + f3) / 3, 1e-12);
    const double f4 = run(65.0);
    EXPECT_NEAR(engine->averageFrequency, (f2 + f3 + f4) / 3, 1e-12);
    // A new START averages afresh, although the slot index carries on.
    engine->stopCapture();
    engine->startCapture();
    EXPECT_EQ(engine->label2Colour, kLampRed);
    const double f5 = run(48.0);
    EXPECT_DOUBLE_EQ(engine->averageFrequency, f5);
    const double f6 = run(62.0);
    EXPECT_DOUBLE_EQ(engine->averageFrequency, (f5 + f6) / 2);
    const double f7 = run(58.0);
    const double f8 = run(50.0);
    EXPECT_NEAR(engine->averageFrequency, (f6 + f7 + f8) / 3, 1e-12);
    EXPECT_EQ(engine->label2Colour, kLampGreen);
}

TEST_F(EngineTest, HalfRangeFollowsARiseAtOnceAndHalvesItsExcessAfterADrop) {
    SyntheticSignal::Params loud = SyntheticSignal::sine(kCrestOnSampleHz, 20000, 8000);
    SyntheticSignal::Params quiet = SyntheticSignal::sine(kCrestOnSampleHz, 10000, 4000);
    SyntheticSignal signal(loud);
    feed(signal);
    EXPECT_EQ(engine->voltsHalfRange, 20000);
    EXPECT_EQ(engine->ampsHalfRange, 8000);
    signal.setParams(quiet);
    const int expectedVolts[] = {15000, 12500, 11250, 10625};
    const int expectedAmps[] = {6000, 5000, 4500, 4250};
    for (int b = 0; b < 4; ++b) {
        feed(signal);
        EXPECT_EQ(engine->voltsHalfRange, expectedVolts[b]);
        EXPECT_EQ(engine->ampsHalfRange, expectedAmps[b]);
    }
    // The crest factor uses the carried half-range, so it reads high while it settles.
    EXPECT_GT(engine->voltsCrest, 1.414 * 10625 / 10000 - 0.01);
    signal.setParams(loud);
    feed(signal);
    EXPECT_EQ(engine->voltsHalfRange, 20000);
    EXPECT_EQ(engine->ampsHalfRange, 8000);
    // Ties round to even: (20001 - (-20000)) / 2 = 20000.5 -> 20000.
    engine->voltsMax = 20001;
    engine->voltsMin = -20000;
    feedSilence();
    EXPECT_EQ(engine->voltsHalfRange, 20000);
}

TEST_F(EngineTest, SilenceZeroesTheSumsAndKeepsRatiosAndFrequencies) {
    feedSilence();
    EXPECT_EQ(engine->voltsRms, 0.0);
    EXPECT_EQ(engine->powerFactor, 0.0);
    EXPECT_EQ(engine->leftFrequency, 0.0);
    EXPECT_EQ(engine->readouts.label37, ".000");
    EXPECT_EQ(engine->readouts.label7, "0.0");
    EXPECT_EQ(engine->readouts.label42, "0.000");
    EXPECT_EQ(engine->readouts.label40, "0.0");
    EXPECT_EQ(engine->readouts.label36, ".0");

    SyntheticSignal signal(SyntheticSignal::sine(kWholeCyclesHz, 16000, 8000, 60));
    feed(signal);
    const double voltsCrest = engine->voltsCrest;
    const double ampsCrest = engine->ampsCrest;
    const double powerFactor = engine->powerFactor;
    const double left = engine->leftFrequency;
    const double right = engine->rightFrequency;
    const auto leftBin = engine->leftPeakBin;
    ASSERT_GT(left, 50.0);
    feedSilence();
    EXPECT_EQ(engine->voltsRms, 0.0);
    EXPECT_EQ(engine->ampsRms, 0.0);
    EXPECT_EQ(engine->watts, 0.0);
    EXPECT_EQ(engine->voltAmps, 0.0);
    EXPECT_EQ(engine->voltsCrest, voltsCrest);
    EXPECT_EQ(engine->ampsCrest, ampsCrest);
    EXPECT_EQ(engine->powerFactor, powerFactor);
    EXPECT_EQ(engine->leftFrequency, left);
    EXPECT_EQ(engine->rightFrequency, right);
    EXPECT_EQ(engine->leftPeakBin, leftBin);
    EXPECT_EQ(engine->readouts.label35, ".000");
    EXPECT_EQ(engine->readouts.label8, "0.00");
    EXPECT_EQ(engine->readouts.label42, "0.500");
}

TEST_F(EngineTest, LoudSamplesUnderTheWindowBulgeSaturate) {
    // First a buffer filled beyond the captured frames leaves values behind in the windowed
    // arrays; a normal capture must clear them.
    std::fill_n(engine->captureBuffer.begin(), 2 * 8192, std::int16_t{1000});
    engine->ProcessBuffer();
    ASSERT_NE(engine->windowedLeft[6000], 0);
    engine->captureBuffer.fill(0);
    for (int k = 0; k < kFramesPerBuffer; ++k) {
        engine->captureBuffer[static_cast<std::size_t>(2 * k)] = 32767;
        engine->captureBuffer[static_cast<std::size_t>(2 * k + 1)] = -32768;
    }
    engine->ProcessBuffer();
    for (int i = 1; i <= 8160; ++i) {
        const double w = engine->windowTable[static_cast<std::size_t>(2 * i)];
        const int expectedLeft =
            i < kFramesPerBuffer ? static_cast<int>(std::min(32767.0, std::nearbyint(32767 * w)))
                                 : 0;
        const int expectedRight =
            i < kFramesPerBuffer ? static_cast<int>(std::max(-32768.0, std::nearbyint(-32768 * w)))
                                 : 0;
        ASSERT_EQ(engine->windowedLeft[static_cast<std::size_t>(i)], expectedLeft) << i;
        ASSERT_EQ(engine->windowedRight[static_cast<std::size_t>(i)], expectedRight) << i;
    }
    EXPECT_EQ(engine->windowedLeft[3500], 32767);
    EXPECT_EQ(engine->windowedRight[4000], -32768);
    EXPECT_EQ(engine->windowedLeft[0], 0);
    EXPECT_EQ(engine->windowedLeft[8161], 0);
    // A constant (DC) input reads as its own RMS with no power factor surprise.
    EXPECT_NEAR(engine->voltsRms, 750.0 * std::sqrt(4095.0 / 8190.0), 1e-9);
    EXPECT_NEAR(engine->powerFactor, 1.0, 1e-4);
}

TEST_F(EngineTest, AReadingThatOverflowsKeepsItsPreviousValue) {
    SyntheticSignal signal(SyntheticSignal::sine(kWholeCyclesHz, 16000, 8000, 0));
    feed(signal);
    const double volts = engine->voltsRms;
    const double crest = engine->voltsCrest;
    const std::string voltsText = engine->readouts.label37;
    // A divisor so small that the reading overflows: that step is dropped, the others run.
    engine->voltsCal = 1e-310;
    engine->ampsCal = 2.0;
    feed(signal);
    EXPECT_EQ(engine->voltsRms, volts);
    EXPECT_EQ(engine->voltsCrest, crest);
    EXPECT_EQ(engine->readouts.label37, voltsText);
    EXPECT_NEAR(engine->ampsRms, 8000 * 0.5 * kAmpsPerCount / 2.0, 1e-4);
    EXPECT_NEAR(engine->ampsCrest, 1.414, 2e-4);
    for (const std::string* text : {&engine->readouts.label40, &engine->readouts.label41,
                                    &engine->readouts.label42, &engine->readouts.label3}) {
        EXPECT_EQ(text->find("inf"), std::string::npos) << *text;
        EXPECT_EQ(text->find("nan"), std::string::npos) << *text;
    }
}

}  // namespace
}  // namespace acw
