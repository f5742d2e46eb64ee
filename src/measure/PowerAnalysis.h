// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "measure/CaptureLayout.h"

namespace acw {

// What the power analysis needs besides the samples.
struct PowerAnalysisSettings {
    // Calibration divisors, the same as the readout panel's (MeasurementEngine::voltsCal and
    // ampsCal); every reading is the uncalibrated value divided by them. A divisor that is not
    // a positive finite number makes the result invalid.
    double voltsCal = 1.0;
    double ampsCal = 1.0;
    // The current channel arrives this many frames later than the voltage channel (fractional).
    // The analysis advances every harmonic of the current by it before P, Q, phi and the phases
    // are formed. Values outside kMaxCurrentDelayFrames are clamped; one that is not finite
    // counts as 0.
    double currentDelayFrames = 0.0;
};

// The largest channel delay, in frames either way, that the analysis corrects.
inline constexpr double kMaxCurrentDelayFrames = 4.0;

// The lowest and highest line frequency the analysis recognises as a fundamental.
inline constexpr double kAnalysisMinHz = 40.0;
inline constexpr double kAnalysisMaxHz = 70.0;

// The power analysis of one buffer, on the readout panel's scale: counts x 750/32767 volts and
// counts x 75/32767 amperes divided by the calibration divisors, every mean square and mean
// product multiplied by 4095/8190 = 1/2 as the panel's sums are. So for a steady signal with a
// whole number of cycles in frames 1..4095, voltsRms, ampsRms, apparentPowerVa and
// |activePowerW| equal the panel's volts, amps, VA and W.
//
// Everything is computed over the whole line cycles found in the buffer, so it does not ripple
// from one buffer to the next. When `valid` is false every other member is 0.
struct PowerAnalysis {
    static constexpr int kHarmonics = 50;

    bool valid = false;  // a fundamental within 40..70 Hz was found
    double fundamentalHz = 0.0;
    double voltsRms = 0.0;  // true RMS, DC and every component included
    double ampsRms = 0.0;
    // Mean of the signed product v*i (DC included): positive when energy flows into the load as
    // the adaptor is wired, negative when it flows back (export).
    double activePowerW = 0.0;
    // Fundamental reactive power V1 * I1 * sin(phi): positive inductive, negative capacitive.
    double reactivePowerVar = 0.0;
    double apparentPowerVa = 0.0;  // voltsRms * ampsRms
    // Phase of the voltage fundamental minus that of the current fundamental, in (-180, 180]:
    // positive when the current lags (inductive), near 180 for export. 0 when either fundamental
    // is too small to have a phase (below about 1 sample count).
    double phaseDeg = 0.0;
    double powerFactor = 0.0;              // activePowerW / apparentPowerVa, signed; 0 without S
    double displacementPowerFactor = 0.0;  // cos(phi); 0 when phaseDeg has no fundamental
    // 100 * sqrt(sum of squares of harmonics 2..50) / fundamental; 0 without a fundamental.
    double voltsThdPct = 0.0;
    double ampsThdPct = 0.0;
    // RMS of harmonics 1..50 ([0] = fundamental) on the same scale as voltsRms and ampsRms.
    std::array<double, kHarmonics> voltsHarmonicsRms{};
    std::array<double, kHarmonics> ampsHarmonicsRms{};
};

// Computes a PowerAnalysis from one buffer. It keeps no state from one buffer to the next: the
// same buffer and settings always give the same result, bit for bit. One analyser per thread;
// analyse() allocates nothing, all memory is taken at construction.
//
// How: the line frequency is found on the voltage channel (on the current channel when the
// voltage has no fundamental within 40..70 Hz), first coarsely by a scan of the band and then
// from the phase advance of the fundamental between the two halves of the buffer. The largest
// whole number of its cycles that fits frames 1.. is the span analysed; RMS values and P are
// plain means over that span (its last frame weighted by the fraction it contributes), the
// harmonics come from a raised-cosine weighted transform at exact multiples of the fundamental
// over the same span, so neither leaks into the other.
class PowerAnalyser {
public:
    // `maxFrames`: the longest buffer analysed; frames beyond it are ignored.
    explicit PowerAnalyser(int maxFrames = kFramesPerBuffer);

    // `interleaved` holds the buffer's frames as captured: frame k is value 2k (volts) and value
    // 2k + 1 (amps), at kSampleRateHz; normally kFramesPerBuffer frames. Frame 0 takes no part,
    // as in the panel's sums. Buffers of fewer than kMinFrames frames, silence, a test tone
    // outside 40..70 Hz or broadband noise give valid = false. Any input gives finite values.
    void analyse(std::span<const std::int16_t> interleaved, const PowerAnalysisSettings& settings,
                 PowerAnalysis& out);

    static constexpr int kMinFrames = 2048;

private:
    static constexpr int kMaxScanPoints = 64;

    void scanBand(const double* v, const double* a, int count);
    bool findFundamental(const double* x, int count, const double* power, double& omega);
    double refineFrequency(const double* x, int count, double omega);
    // Everything over the whole cycles of `omega`; false (and `out` untouched) when the channel
    // the frequency came from (0 volts, 1 amps) has no fundamental that stands out.
    bool analyseSpan(const std::int16_t* raw, int count, double omega, int reference,
                     const PowerAnalysisSettings& settings, PowerAnalysis& out);

    int maxFrames_;
    std::vector<double> volts_, amps_;  // counts, frames 1.., DC removed
    std::vector<double> weighted_;      // one channel times a raised-cosine weighting
    std::vector<double> weightedAmps_;
    std::array<double, kMaxScanPoints> voltsScan_{}, ampsScan_{};
    int scanPoints_ = 0;
    double scanStepHz_ = 0.0;
};

// The current delay, in frames, that makes a resistive load (power factor 1) read phi = 0, from
// the phi it reads now at `fundamentalHz` with `delayInUseFrames` already applied. Only a result
// within +-kMaxCurrentDelayFrames is a plausible skew; one outside means the load was not
// resistive (or the current transformer is reversed) and should be refused. NaN when the inputs
// are not finite or fundamentalHz is not positive.
double currentDelayForResistiveLoad(double measuredPhaseDeg, double fundamentalHz,
                                    double delayInUseFrames);

}  // namespace acw
