// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <span>
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
    struct Case {
        double hz, phiDeg;
    };
    // Peaks of 10000 and 4000 counts are RMS values of 5000 and 2000 counts on the panel's scale.
    const double s = 5000.0 * kVoltsPerCount * 2000.0 * kAmpsPerCount;
    for (const Case c : {Case{45.0, 60.0}, Case{57.7, -60.0}, Case{65.0, 150.0}, Case{50.0, -150.0},
                         Case{60.0, 1.0}, Case{62.1, -1.0}}) {
        SCOPED_TRACE(c.phiDeg);
        const PowerAnalysis r =
            analyseFourthBuffer(SyntheticSignal::sine(c.hz, 1e4, 4e3, c.phiDeg));
        ASSERT_TRUE(r.valid);
        EXPECT_NEAR(r.fundamentalHz, c.hz, 1e-4);
        EXPECT_NEAR(r.phaseDeg, c.phiDeg, 0.01);
        EXPECT_NEAR(r.apparentPowerVa, s, 1e-4 * s);
        EXPECT_NEAR(r.activePowerW, s * std::cos(c.phiDeg * kRad), 1e-4 * s);
        EXPECT_NEAR(r.reactivePowerVar, s * std::sin(c.phiDeg * kRad), 1e-4 * s);
        EXPECT_NEAR(r.powerFactor, std::cos(c.phiDeg * kRad), 1e-4);
        EXPECT_NEAR(r.displacementPowerFactor, std::cos(c.phiDeg * kRad), 1e-4);
    }
}

TEST(PowerAnalysis, ReadsAsThePanelWhenTheBufferHoldsWholeCycles) {
    auto engine = std::make_unique<MeasurementEngine>();
    engine->voltsCal = 1.3;
    engine->ampsCal = 0.7;
    const auto buffer = std::span(engine->captureBuffer).first(kRecordedValues);
    PowerAnalyser analyser;
    PowerAnalysis r;
    for (double phiDeg : {30.0, 180.0}) {
        SyntheticSignal(SyntheticSignal::sine(17 * 11025.0 / 4095.0, 12000, 3000, phiDeg))
            .fill(buffer, kFramesPerBuffer);
        engine->ProcessBuffer();
        analyser.analyse(buffer, {1.3, 0.7, 0.0}, r);
        EXPECT_NEAR(r.voltsRms / engine->voltsRms, 1.0, 1e-6);
        EXPECT_NEAR(r.ampsRms / engine->ampsRms, 1.0, 1e-6);
        EXPECT_NEAR(r.apparentPowerVa / engine->voltAmps, 1.0, 1e-6);
        // The panel shows the magnitude; the analysis tells export (current reversed) apart.
        EXPECT_NEAR(r.activePowerW / engine->watts, phiDeg == 180.0 ? -1.0 : 1.0, 1e-6);
    }
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
    struct Case {
        double skewFrames, delayFrames;
    };
    for (const Case c :
         {Case{0.0, 0.0}, Case{1.5, 1.5}, Case{0.25, 0.25}, Case{1.5, 0.0}, Case{2.0, 3.5}}) {
        SCOPED_TRACE(c.skewFrames);
        SCOPED_TRACE(c.delayFrames);
        p.amps.delayFrames = c.skewFrames;
        const PowerAnalysis r = analyseFourthBuffer(p, c.delayFrames);
        ASSERT_TRUE(r.valid);
        const double uncorrectedDeg = (c.skewFrames - c.delayFrames) * 360.0 * 60.0 / 11025.0;
        EXPECT_NEAR(r.phaseDeg, 40.0 + uncorrectedDeg, 0.05);
        // The load's own 40 degrees taken off, the rest is the skew left uncorrected.
        EXPECT_NEAR(currentDelayForResistiveLoad(r.phaseDeg - 40.0, r.fundamentalHz, c.delayFrames),
                    c.skewFrames, 0.005);
        EXPECT_NEAR(r.apparentPowerVa, s, 1e-3 * s);
        EXPECT_NEAR(r.voltsThdPct, 100.0 * std::sqrt(0.0125), 0.05);
        EXPECT_NEAR(r.ampsThdPct, 100.0 * std::sqrt(0.1301), 0.05);
        const int orders[] = {2, 3, 5, 7, 49, 50};
        const double voltsRatio[] = {0, 0.10, 0.05, 0, 0, 0},
                     ampsRatio[] = {0, 0.3, 0.2, 0, 0, 0.01};
        for (int i = 0; i < 6; ++i) {
            EXPECT_NEAR(r.voltsHarmonicsRms[orders[i] - 1] / r.voltsHarmonicsRms[0], voltsRatio[i],
                        5e-4);
            EXPECT_NEAR(r.ampsHarmonicsRms[orders[i] - 1] / r.ampsHarmonicsRms[0], ampsRatio[i],
                        5e-4);
        }
        if (c.skewFrames != c.delayFrames) continue;
        EXPECT_NEAR(r.activePowerW, pTrue, 5e-4 * s);
        EXPECT_NEAR(r.reactivePowerVar, s1 * std::sin(40.0 * kRad), 1e-3 * s);
    }
}

TEST(PowerAnalysis, EmptyWithoutALineFundamentalAndFiniteForAnyInput) {
    struct Case {
        const char* name;
        SyntheticSignal::Params params;
        double fundamentalHz;  // 0: no valid result
    };
    auto offset = [](SyntheticSignal::Params p, double volts, double amps) {
        p.volts.offsetCounts = volts;
        p.amps.offsetCounts = amps;
        return p;
    };
    auto noise = SyntheticSignal::sine(50.0, 0.0, 0.0);
    noise.volts.noiseRmsCounts = noise.amps.noiseRmsCounts = 30000.0;
    const Case cases[] = {
        {"silence", SyntheticSignal::sine(50.0, 0.0, 0.0), 0.0},
        {"1 kHz test tone", SyntheticSignal::sine(1000.0, 20000.0, 8000.0), 0.0},
        {"38 Hz", SyntheticSignal::sine(38.0, 20000.0, 8000.0), 0.0},
        {"72 Hz", SyntheticSignal::sine(72.0, 20000.0, 8000.0), 0.0},
        {"full-scale noise", noise, 0.0},
        {"both rails", offset(SyntheticSignal::sine(50.0, 0.0, 0.0), 4e4, -4e4), 0.0},
        {"square between the rails", SyntheticSignal::sine(50.0, 1e6, 1e6, 90.0), 50.0},
        {"clipped sine on a DC offset", offset(SyntheticSignal::sine(60.0, 3e4, 9e3), 2e4, 0),
         60.0},
        {"current alone", SyntheticSignal::sine(55.0, 0.0, 8000.0), 55.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PowerAnalysis r = analyseFourthBuffer(c.params);
        EXPECT_EQ(r.valid, c.fundamentalHz > 0.0);
        EXPECT_NEAR(r.fundamentalHz, c.fundamentalHz, 1e-3);
        for (double x : {r.voltsRms, r.ampsRms, r.activePowerW, r.reactivePowerVar, r.phaseDeg,
                         r.powerFactor, r.voltsThdPct, r.ampsThdPct})
            EXPECT_TRUE(r.valid ? std::isfinite(x) : x == 0.0);
    }
    EXPECT_EQ(analyseFourthBuffer(SyntheticSignal::demoAdaptor(), 0.0, 2047).valid, false);
    EXPECT_EQ(analyseFourthBuffer(SyntheticSignal::demoAdaptor(), 0.0, 2048).valid, true);
}

}  // namespace
}  // namespace acw
