// SPDX-License-Identifier: GPL-3.0-or-later
// The power analysis: its accuracy over the whole range of line signals it is meant for, each
// quantity's worst error as a ratio to its tolerance (1 = at the limit), and its time per buffer
// as a ratio to 0.5 ms.
//
// The accuracy sweep: 45-65 Hz mains, phases -80..80 degrees, currents from 5% to 70% of full
// scale, clean or with 10% third and 5% fifth voltage harmonics and current harmonics up to 30%,
// with or without noise, and current channels skewed by 0-2 frames with the analysis told the
// skew. Buffers 4..7 of each steady signal are analysed. The truth is analytic, from the
// generator's parameters.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>
#include <numbers>
#include <span>
#include <vector>

#include "measure/MeasurementEngine.h"
#include "measure/PowerAnalysis.h"
#include "measure/SyntheticSignal.h"

namespace {

using acw::PowerAnalysis;
using acw::SyntheticSignal;

constexpr double kVoltsPerCount = 750.0 / 32767.0;
constexpr double kAmpsPerCount = 75.0 / 32767.0;
constexpr double kDegToRad = std::numbers::pi / 180.0;
constexpr int kFirstBuffer = 4;  // the goals hold from the fourth buffer of a steady signal
constexpr int kBuffersPerCase = 4;

// Tolerances of the goals.
constexpr double kPowerTol = 1e-3;     // P, of S
constexpr double kReactiveTol = 2e-3;  // Q1, of S
constexpr double kApparentTol = 2e-3;  // S, relative
constexpr double kPhaseTolDeg = 0.1;
constexpr double kThdTolPct = 0.2;
constexpr double kHarmonicTol = 1e-3;  // each harmonic 2..50, of the fundamental

// The analytic readings of a generated signal on the panel's scale (cal 1): a peak of A counts is
// an RMS of A / 2 counts after the panel's factor 1/2 on mean squares.
struct Truth {
    double hz, volts, amps, p, q, s, phiDeg, thdV, thdI;
    std::vector<double> vHarm, iHarm;  // relative to the fundamental, orders 1..50
};

double channelMeanSquare(const SyntheticSignal::Channel& c) {
    double ms = 0.5 * c.peakCounts * c.peakCounts;
    for (const auto& h : c.harmonics) ms += 0.5 * std::pow(c.peakCounts * h.relativeAmplitude, 2);
    return ms + c.noiseRmsCounts * c.noiseRmsCounts + c.offsetCounts * c.offsetCounts;
}

// Phase (radians) of harmonic `order` of a channel at frame 0, its delay included.
double harmonicPhase(const SyntheticSignal::Channel& c, int order, double harmonicPhaseDeg,
                     double frequencyHz) {
    return order * c.phaseDeg * kDegToRad + harmonicPhaseDeg * kDegToRad -
           2.0 * std::numbers::pi * order * frequencyHz * c.delayFrames / 11025.0;
}

Truth truthOf(const SyntheticSignal::Params& p) {
    const auto& v = p.volts;
    const auto& a = p.amps;
    Truth t{};
    t.hz = p.frequencyHz;
    t.volts = std::sqrt(channelMeanSquare(v) * 0.5) * kVoltsPerCount;
    t.amps = std::sqrt(channelMeanSquare(a) * 0.5) * kAmpsPerCount;
    t.s = t.volts * t.amps;
    const double scale = 0.5 * kVoltsPerCount * kAmpsPerCount;
    // The analysis is told the current's delay, so the truth is the undelayed current.
    auto undelayed = a;
    undelayed.delayFrames = 0.0;
    auto product = [&](int order, double vRel, double vPh, double aRel, double aPh) {
        const double dphi = harmonicPhase(v, order, vPh, p.frequencyHz) -
                            harmonicPhase(undelayed, order, aPh, p.frequencyHz);
        return 0.5 * v.peakCounts * vRel * a.peakCounts * aRel * std::cos(dphi);
    };
    double pCounts = product(1, 1.0, 0.0, 1.0, 0.0) + v.offsetCounts * a.offsetCounts;
    for (const auto& hv : v.harmonics)
        for (const auto& ha : a.harmonics)
            if (hv.order == ha.order)
                pCounts += product(hv.order, hv.relativeAmplitude, hv.phaseDeg,
                                   ha.relativeAmplitude, ha.phaseDeg);
    t.p = pCounts * scale;
    t.phiDeg = v.phaseDeg - a.phaseDeg;
    t.q = 0.5 * v.peakCounts * a.peakCounts * scale * std::sin(t.phiDeg * kDegToRad);
    t.vHarm.assign(PowerAnalysis::kHarmonics, 0.0);
    t.iHarm.assign(PowerAnalysis::kHarmonics, 0.0);
    t.vHarm[0] = t.iHarm[0] = 1.0;
    double sv = 0.0, si = 0.0;
    for (const auto& h : v.harmonics) {
        t.vHarm[h.order - 1] = h.relativeAmplitude;
        sv += h.relativeAmplitude * h.relativeAmplitude;
    }
    for (const auto& h : a.harmonics) {
        t.iHarm[h.order - 1] = h.relativeAmplitude;
        si += h.relativeAmplitude * h.relativeAmplitude;
    }
    t.thdV = 100.0 * std::sqrt(sv);
    t.thdI = 100.0 * std::sqrt(si);
    return t;
}

struct Worst {
    double p = 0, q = 0, s = 0, phi = 0, thd = 0, harmonic = 0;
    int wrongQSign = 0, invalid = 0, analysed = 0;
    double frequencyHz = 0;
    static void take(double& slot, double ratio) { slot = std::max(slot, ratio); }
};

void compare(const PowerAnalysis& r, const Truth& t, Worst& w) {
    ++w.analysed;
    if (!r.valid) {
        ++w.invalid;
        return;
    }
    w.take(w.frequencyHz, std::fabs(r.fundamentalHz - t.hz));
    w.take(w.p, std::fabs(r.activePowerW - t.p) / t.s / kPowerTol);
    w.take(w.q, std::fabs(r.reactivePowerVar - t.q) / t.s / kReactiveTol);
    w.take(w.s, std::fabs(r.apparentPowerVa / t.s - 1.0) / kApparentTol);
    w.take(w.phi, std::fabs(r.phaseDeg - t.phiDeg) / kPhaseTolDeg);
    w.take(w.thd, std::fabs(r.voltsThdPct - t.thdV) / kThdTolPct);
    w.take(w.thd, std::fabs(r.ampsThdPct - t.thdI) / kThdTolPct);
    for (int k = 1; k < PowerAnalysis::kHarmonics; ++k) {
        w.take(w.harmonic, std::fabs(r.voltsHarmonicsRms[k] / r.voltsHarmonicsRms[0] - t.vHarm[k]) /
                               kHarmonicTol);
        w.take(w.harmonic, std::fabs(r.ampsHarmonicsRms[k] / r.ampsHarmonicsRms[0] - t.iHarm[k]) /
                               kHarmonicTol);
    }
    if (std::fabs(t.phiDeg) >= 1.0 && (r.reactivePowerVar > 0) != (t.q > 0)) ++w.wrongQSign;
}

SyntheticSignal::Params sweepCase(double hz, double voltsPeak, double phiDeg, double ampsShare,
                                  bool distorted, double noise, double skewFrames) {
    auto p = SyntheticSignal::sine(hz, voltsPeak, ampsShare * 32767.0, phiDeg);
    if (distorted) {
        p.volts.harmonics = {{3, 0.10, 20.0}, {5, 0.05, -70.0}};
        p.amps.harmonics = {
            {3, 0.30, 10.0}, {5, 0.20, 160.0}, {7, 0.10, -45.0}, {11, 0.05, 90.0}, {49, 0.01, 0.0}};
        // Keep the current's peak at the share of full scale asked for.
        p.amps.peakCounts /= 1.66;
    }
    p.volts.noiseRmsCounts = p.amps.noiseRmsCounts = noise;
    p.volts.phaseDeg = 37.0;  // the line's phase at frame 0 is arbitrary
    p.amps.phaseDeg += 37.0;
    p.amps.delayFrames = skewFrames;
    p.noiseSeed = static_cast<std::uint64_t>(hz * 1000 + phiDeg * 7 + ampsShare * 100 + noise);
    return p;
}

// Arg: the noise on both channels in counts RMS. 3 is the demo adaptor's (a plain sound card's
// line input); 10 (-67 dB of full scale) is a noisy one, where the smallest currents approach
// the noise's own share of each harmonic.
void BM_AnalysisAccuracySweep(benchmark::State& state) {
    const double noise = static_cast<double>(state.range(0));
    Worst w;
    acw::PowerAnalyser analyser;
    std::vector<std::int16_t> buffer(acw::kRecordedValues);
    PowerAnalysis r;
    auto run = [&](double hz, double phi, double share, bool distorted, double skew) {
        const double voltsPeak = hz < 55.0 ? 14200.0 : 7400.0;  // 230 V and 120 V lines
        const auto params = sweepCase(hz, voltsPeak, phi, share, distorted, noise, skew);
        const Truth truth = truthOf(params);
        SyntheticSignal signal(params);
        for (int b = 1; b < kFirstBuffer + kBuffersPerCase; ++b) {
            signal.fill(buffer, acw::kFramesPerBuffer);
            if (b < kFirstBuffer) continue;
            analyser.analyse(buffer, {1.0, 1.0, skew}, r);
            compare(r, truth, w);
        }
    };
    for (auto _ : state) {
        w = Worst{};
        for (double hz : {45.0, 47.3, 50.0, 52.9, 55.0, 57.7, 60.0, 62.1, 65.0})
            for (double phi : {-80.0, -45.0, -10.0, -1.0, 0.0, 1.0, 10.0, 45.0, 80.0})
                for (double share : {0.05, 0.2, 0.7})
                    for (bool distorted : {false, true})
                        for (double skew : {0.0, 0.25, 1.0, 2.0})
                            run(hz, phi, share, distorted, skew);
    }
    state.counters["frequency_err_hz"] = w.frequencyHz;
    state.counters["p_err_vs_tol"] = w.p;
    state.counters["q_err_vs_tol"] = w.q;
    state.counters["q_wrong_sign"] = w.wrongQSign;
    state.counters["s_err_vs_tol"] = w.s;
    state.counters["phi_err_vs_tol"] = w.phi;
    state.counters["thd_err_vs_tol"] = w.thd;
    state.counters["harmonic_err_vs_tol"] = w.harmonic;
    state.counters["invalid"] = w.invalid;
    state.counters["buffers"] = w.analysed;
}
BENCHMARK(BM_AnalysisAccuracySweep)
    ->Arg(0)
    ->Arg(3)
    ->Arg(10)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// Whole cycles in frames 1..4095: the analysis's RMS values, VA and |W| against the panel's, the
// worst relative difference as a ratio to 1e-6. And the ripple the panel shows from buffer to
// buffer on a steady 60 Hz line against the analysis's, as watts' spread over S.
void BM_AnalysisAgainstPanel(benchmark::State& state) {
    auto engine = std::make_unique<acw::MeasurementEngine>();
    acw::PowerAnalyser analyser;
    acw::PowerAnalysis r;
    double worst = 0.0, panelSpread = 0.0, analysisSpread = 0.0;
    std::span<std::int16_t> buffer = std::span(engine->captureBuffer).first(acw::kRecordedValues);
    for (auto _ : state) {
        for (int cycles : {17, 20, 22, 24}) {
            for (double phi : {-60.0, 0.0, 30.0}) {
                SyntheticSignal signal(
                    SyntheticSignal::sine(cycles * 11025.0 / 4095.0, 12000.0, 3000.0, phi));
                signal.fill(buffer, acw::kFramesPerBuffer);
                engine->voltsCal = 1.3;
                engine->ampsCal = 0.7;
                engine->ProcessBuffer();
                analyser.analyse(buffer, {1.3, 0.7, 0.0}, r);
                const auto rel = [](double a, double b) { return std::fabs(a / b - 1.0); };
                worst = std::max({worst, rel(r.voltsRms, engine->voltsRms),
                                  rel(r.ampsRms, engine->ampsRms),
                                  rel(r.apparentPowerVa, engine->voltAmps),
                                  rel(std::fabs(r.activePowerW), engine->watts)});
            }
        }
        auto params = SyntheticSignal::sine(60.0, 12000.0, 3000.0, 72.5);
        SyntheticSignal signal(params);
        double pMin[2] = {1e300, 1e300}, pMax[2] = {-1e300, -1e300}, s = 0.0;
        engine->voltsCal = engine->ampsCal = 1.0;
        for (int b = 0; b < 40; ++b) {
            signal.fill(buffer, acw::kFramesPerBuffer);
            engine->ProcessBuffer();
            analyser.analyse(buffer, {}, r);
            pMin[0] = std::min(pMin[0], engine->watts);
            pMax[0] = std::max(pMax[0], engine->watts);
            pMin[1] = std::min(pMin[1], r.activePowerW);
            pMax[1] = std::max(pMax[1], r.activePowerW);
            s = r.apparentPowerVa;
        }
        panelSpread = (pMax[0] - pMin[0]) / s;
        analysisSpread = (pMax[1] - pMin[1]) / s;
    }
    state.counters["whole_cycles_diff_vs_1e-6"] = worst / 1e-6;
    state.counters["panel_w_spread_of_s"] = panelSpread;
    state.counters["analysis_w_spread_of_s"] = analysisSpread;
    state.counters["analysis_vs_panel_spread"] = analysisSpread / panelSpread;
}
BENCHMARK(BM_AnalysisAgainstPanel)->Iterations(1)->Unit(benchmark::kMillisecond);

// The resistive-load calibration of the channel delay: recordings skewed by 0.25..2 frames, the
// delay found from phi, worst error in frames as a ratio to the 0.01 frame that keeps phi within
// a tenth of its tolerance at 65 Hz; starting from no delay and from a wrong one.
void BM_DelayCalibration(benchmark::State& state) {
    acw::PowerAnalyser analyser;
    std::vector<std::int16_t> buffer(acw::kRecordedValues);
    PowerAnalysis r;
    double worst = 0.0;
    for (auto _ : state) {
        for (double hz : {45.0, 50.0, 60.0, 65.0})
            for (double skew : {0.25, 0.8, 1.5, 2.0})
                for (double inUse : {0.0, -1.0, 3.0}) {
                    auto params = SyntheticSignal::sine(hz, 14000.0, 5000.0, 0.0);
                    params.amps.delayFrames = skew;
                    params.volts.noiseRmsCounts = params.amps.noiseRmsCounts = 3.0;
                    SyntheticSignal signal(params);
                    for (int b = 0; b < kFirstBuffer; ++b) signal.fill(buffer, 4096);
                    analyser.analyse(buffer, {1.0, 1.0, inUse}, r);
                    const double found =
                        acw::currentDelayForResistiveLoad(r.phaseDeg, r.fundamentalHz, inUse);
                    worst = std::max(worst, std::fabs(found - skew) / 0.01);
                }
    }
    state.counters["delay_err_vs_0.01_frame"] = worst;
}
BENCHMARK(BM_DelayCalibration)->Iterations(1)->Unit(benchmark::kMillisecond);

double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Time per buffer against the 0.5 ms allowed, on a distorted, noisy line and on silence (which
// searches both channels for a fundamental before it gives up).
void BM_AnalyseBuffer(benchmark::State& state) {
    const bool silent = state.range(0) != 0;
    auto params = sweepCase(50.0, 14200.0, 30.0, 0.3, true, 3.0, 0.5);
    SyntheticSignal signal(params);
    std::vector<std::int16_t> buffer(acw::kRecordedValues);
    if (!silent) signal.fill(buffer, acw::kFramesPerBuffer);
    acw::PowerAnalyser analyser;
    PowerAnalysis r;
    const acw::PowerAnalysisSettings settings{1.0, 1.0, 0.5};
    // Processor time of this thread, not wall time: the machine may be shared.
    const double start = threadSeconds();
    for (auto _ : state) {
        analyser.analyse(buffer, settings, r);
        benchmark::DoNotOptimize(r);
    }
    const double elapsed = threadSeconds() - start;
    state.counters["per_buffer_vs_0.5ms"] =
        elapsed / static_cast<double>(state.iterations()) / 0.5e-3;
    state.counters["valid"] = r.valid;
}
BENCHMARK(BM_AnalyseBuffer)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
