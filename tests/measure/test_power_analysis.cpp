// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <span>
#include <tuple>
#include <utility>
#include <vector>

#include "measure/MeasurementEngine.h"
#include "measure/PowerAnalysis.h"
#include "measure/SyntheticSignal.h"

namespace acw {
namespace {

constexpr double kVoltsPerCount = 750.0 / 32767.0;
constexpr double kAmpsPerCount = 75.0 / 32767.0;
constexpr double kRad = std::numbers::pi / 180.0;

// The fourth buffer of a steady signal, as the capture delivers it.
PowerAnalysis analyseFourthBuffer(const SyntheticSignal::Params& p, double delayFrames = 0.0,
                                  int frames = kFramesPerBuffer) {
    SyntheticSignal signal(p);
    std::vector<std::int16_t> buffer(2 * static_cast<std::size_t>(frames));
    for (int b = 0; b < 4; ++b) signal.fill(buffer, frames);
    PowerAnalysis r;
    PowerAnalyser().analyse(buffer, {1.0, 1.0, delayFrames}, r);
    return r;
}

TEST(PowerAnalysis, SignsFollowLeadLagAndExportAtAnyLineFrequency) {
    // Peaks of 10000 and 4000 counts are RMS values of 5000 and 2000 counts on the panel's scale.
    const double s = 5000.0 * kVoltsPerCount * 2000.0 * kAmpsPerCount;
    for (const auto& [hz, phiDeg] : {std::pair{45.0, 60.0},
                                     {57.7, -60.0},
                                     {65.0, 150.0},
                                     {50.0, -150.0},
                                     {60.0, 1.0},
                                     {62.1, -1.0}}) {
        SCOPED_TRACE(phiDeg);
        const PowerAnalysis r = analyseFourthBuffer(SyntheticSignal::sine(hz, 1e4, 4e3, phiDeg));
        EXPECT_NEAR(r.fundamentalHz, hz, 1e-4);
        EXPECT_NEAR(r.phaseDeg, phiDeg, 0.01);
        EXPECT_NEAR(r.apparentPowerVa, s, 1e-4 * s);
        EXPECT_NEAR(r.activePowerW, s * std::cos(phiDeg * kRad), 1e-4 * s);
        EXPECT_NEAR(r.reactivePowerVar, s * std::sin(phiDeg * kRad), 1e-4 * s);
        EXPECT_NEAR(r.powerFactor, std::cos(phiDeg * kRad), 1e-4);
        EXPECT_NEAR(r.displacementPowerFactor, std::cos(phiDeg * kRad), 1e-4);
    }
}

TEST(PowerAnalysis, ReadsAsThePanelWhenTheBufferHoldsWholeCycles) {
    auto engine = std::make_unique<MeasurementEngine>();
    engine->voltsCal = 1.3;
    engine->ampsCal = 0.7;
    const auto buffer = std::span(engine->captureBuffer).first(kRecordedValues);
    // Current reversed: the panel shows the magnitude of P, the analysis tells export apart.
    SyntheticSignal(SyntheticSignal::sine(17 * 11025.0 / 4095.0, 12000, 3000, 150.0))
        .fill(buffer, kFramesPerBuffer);
    engine->ProcessBuffer();
    PowerAnalysis r;
    PowerAnalyser().analyse(buffer, {1.3, 0.7, 0.0}, r);
    EXPECT_NEAR(r.voltsRms / engine->voltsRms, 1.0, 1e-6);
    EXPECT_NEAR(r.apparentPowerVa / engine->voltAmps, 1.0, 1e-6);
    EXPECT_NEAR(r.activePowerW / engine->watts, -1.0, 1e-6);
}

// Distorted voltage and current with the current channel late by `skewFrames`, analysed with
// `delayFrames`. Harmonic phases: 3rd at 90 degrees between V and I, 5th at 200.
TEST(PowerAnalysis, HarmonicMixAndChannelSkewCorrection) {
    auto p = SyntheticSignal::sine(60.0, 12000, 6000, 40.0);
    p.volts.harmonics = {{3, 0.10, 0.0}, {5, 0.05, 0.0}};
    p.amps.harmonics = {{3, 0.30, 30.0}, {5, 0.20, 0.0}, {50, 0.01, 0.0}};
    p.volts.noiseRmsCounts = p.amps.noiseRmsCounts = 3.0;
    const double s1 = 6000.0 * kVoltsPerCount * 3000.0 * kAmpsPerCount;
    const double s = s1 * std::sqrt(1.0125 * 1.1301);
    const double pTrue = s1 * (std::cos(40.0 * kRad) + 0.05 * 0.2 * std::cos(200.0 * kRad));
    // Orders and their RMS of the fundamental's, voltage and current.
    const std::tuple<int, double, double> harmonics[] = {
        {2, 0, 0}, {3, 0.1, 0.3}, {5, 0.05, 0.2}, {49, 0, 0}, {50, 0, 0.01}};
    for (const auto& [skewFrames, delayFrames] :
         {std::pair{0.0, 0.0}, {1.5, 1.5}, {0.25, 0.25}, {1.5, 0.0}, {2.0, 3.5}}) {
        SCOPED_TRACE(testing::Message() << "skew " << skewFrames << ", delay " << delayFrames);
        p.amps.delayFrames = skewFrames;
        const PowerAnalysis r = analyseFourthBuffer(p, delayFrames);
        const double uncorrectedDeg = (skewFrames - delayFrames) * 360.0 * 60.0 / 11025.0;
        EXPECT_NEAR(r.phaseDeg, 40.0 + uncorrectedDeg, 0.05);
        // The load's own 40 degrees taken off, the rest is the skew left uncorrected.
        EXPECT_NEAR(currentDelayForResistiveLoad(r.phaseDeg - 40.0, r.fundamentalHz, delayFrames),
                    skewFrames, 0.005);
        EXPECT_NEAR(r.apparentPowerVa, s, 1e-3 * s);
        EXPECT_NEAR(r.voltsThdPct, 100.0 * std::sqrt(0.0125), 0.05);
        EXPECT_NEAR(r.ampsThdPct, 100.0 * std::sqrt(0.1301), 0.05);
        for (const auto& [order, volts, amps] : harmonics) {
            EXPECT_NEAR(r.voltsHarmonicsRms[order - 1] / r.voltsHarmonicsRms[0], volts, 5e-4);
            EXPECT_NEAR(r.ampsHarmonicsRms[order - 1] / r.ampsHarmonicsRms[0], amps, 5e-4);
        }
        if (skewFrames != delayFrames) continue;
        EXPECT_NEAR(r.activePowerW, pTrue, 5e-4 * s);
        EXPECT_NEAR(r.reactivePowerVar, s1 * std::sin(40.0 * kRad), 1e-3 * s);
    }
}

TEST(PowerAnalysis, EmptyWithoutALineFundamentalAndFiniteForAnyInput) {
    struct Case {
        const char* name;
        double hz, voltsPeak, ampsPeak, voltsOffset, noise;
        bool valid;
    };
    // Peaks beyond full scale clip to the rails.
    for (const Case c :
         {Case{"silence", 50, 0, 0, 0, 0, false},
          Case{"1 kHz test tone", 1000, 2e4, 8e3, 0, 0, false},
          Case{"38 Hz", 38, 2e4, 8e3, 0, 0, false}, Case{"72 Hz", 72, 2e4, 8e3, 0, 0, false},
          Case{"full-scale noise", 50, 0, 0, 0, 3e4, false},
          Case{"DC at the rail", 50, 0, 0, 4e4, 0, false},
          Case{"square between the rails", 50, 1e6, 1e6, 0, 0, true},
          Case{"clipped sine on a DC offset", 60, 3e4, 9e3, 2e4, 0, true},
          Case{"current alone", 55, 0, 8e3, 0, 0, true}}) {
        SCOPED_TRACE(c.name);
        auto p = SyntheticSignal::sine(c.hz, c.voltsPeak, c.ampsPeak, 90.0);
        p.volts.offsetCounts = c.voltsOffset;
        p.volts.noiseRmsCounts = p.amps.noiseRmsCounts = c.noise;
        const PowerAnalysis r = analyseFourthBuffer(p);
        EXPECT_EQ(r.valid, c.valid);
        EXPECT_NEAR(r.fundamentalHz, c.valid ? c.hz : 0.0, 1e-3);
        for (double x : {r.voltsRms, r.ampsRms, r.activePowerW, r.reactivePowerVar, r.phaseDeg,
                         r.powerFactor, r.voltsThdPct, r.ampsThdPct})
            EXPECT_TRUE(r.valid ? std::isfinite(x) : x == 0.0);
    }
    EXPECT_EQ(analyseFourthBuffer(SyntheticSignal::demoAdaptor(), 0.0, 2047).valid, false);
    EXPECT_EQ(analyseFourthBuffer(SyntheticSignal::demoAdaptor(), 0.0, 2048).valid, true);
}

}  // namespace
}  // namespace acw
