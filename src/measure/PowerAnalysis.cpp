// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/PowerAnalysis.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <limits>
#include <numbers>

#include "measure/SimdClone.h"

namespace acw {

namespace {

using Complex = std::complex<double>;

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kSampleRate = kSampleRateHz;
// The panel's scale: 32767 counts are 750 V or 75 A at calibration 1, and its sums over the 4095
// frames of a buffer are divided by 8190.
constexpr double kVoltsPerCount = 750.0 / 32767.0;
constexpr double kAmpsPerCount = 75.0 / 32767.0;
constexpr double kPanelMeanScale = 4095.0 / 8190.0;

// The coarse search looks at this band, a little wider than the one accepted, so that a
// fundamental near either edge still shows as a peak with a neighbour on each side.
constexpr double kScanLowHz = 36.0;
constexpr double kScanHighHz = 74.0;
// A fundamental must have at least this peak, in counts, and carry at least this share of the
// channel's AC power: mains with heavy distortion pass, a tone elsewhere or noise does not.
constexpr double kMinFundamentalPeakCounts = 16.0;
constexpr double kMinFundamentalShare = 0.5;
// Below this peak, in counts, a fundamental has no phase worth showing.
constexpr double kMinPhasePeakCounts = 1.0;
// A span this close (in cycles) to one more whole cycle than fits is taken as that many cycles,
// so a buffer that holds whole cycles is analysed whole, as the panel sums it.
constexpr double kWholeCycleSlack = 1e-4;
// The frequency refinement stops once the phase it corrects is below this (radians): the error
// left after each round is of the order of the square of the one before, so the next would be
// far below anything measurable.
constexpr double kPhaseConverged = 1e-6;
constexpr int kMaxRefinements = 6;

// The resonator bank over both channels at once: for each frequency f, s = y[j] + coef[f] * s1 -
// s2 over the samples, with coef[f] = 2 cos(omega_f); on return s1 and s2 hold the last two
// states. Two samples per step, so the states are loaded and stored once per pair. The lanes
// are independent, so the inner loop vectorises without changing any result.
ACW_WITH_AVX2_CLONE void resonate(const double* __restrict yv, const double* __restrict ya,
                                  int count, const double* __restrict coef, int lanes,
                                  double* __restrict sv1, double* __restrict sv2,
                                  double* __restrict sa1, double* __restrict sa2) {
    for (int f = 0; f < lanes; ++f) sv1[f] = sv2[f] = sa1[f] = sa2[f] = 0.0;
    int j = 0;
    for (; j + 1 < count; j += 2) {
        const double v0 = yv[j], v1 = yv[j + 1], a0 = ya[j], a1 = ya[j + 1];
        for (int f = 0; f < lanes; ++f) {
            const double c = coef[f];
            const double v2 = (v0 - sv2[f]) + c * sv1[f];
            sv1[f] = (v1 - sv1[f]) + c * v2;
            sv2[f] = v2;
            const double a2 = (a0 - sa2[f]) + c * sa1[f];
            sa1[f] = (a1 - sa1[f]) + c * a2;
            sa2[f] = a2;
        }
    }
    if (j < count) {
        for (int f = 0; f < lanes; ++f) {
            const double v2 = (yv[j] - sv2[f]) + coef[f] * sv1[f];
            sv2[f] = sv1[f];
            sv1[f] = v2;
            const double a2 = (ya[j] - sa2[f]) + coef[f] * sa1[f];
            sa2[f] = sa1[f];
            sa1[f] = a2;
        }
    }
}

// The sum of y[j] e^{-i omega j} over j = 0..count-1 from the resonator's last two states.
Complex resonatorSum(double omega, int count, double s1, double s2) {
    const Complex last = s1 - std::polar(1.0, -omega) * s2;
    return std::polar(1.0, -omega * (count - 1)) * last;
}

// A raised-cosine weighting that is 0 at `start` - 1/2 and at `start` - 1/2 + `length` (sample j
// stands for the interval j - 1/2 .. j + 1/2): w(j) = (1 - cos(2 pi (j + 1/2 - start) / length))
// / 2. Calls visit(j, w) for every sample with w > 0 inside 0..count-1. The cosine comes from a
// rotation, so no library call per sample.
template <typename Visit>
void forEachRaisedCosine(int count, double start, double length, Visit visit) {
    const int first = std::max(0, static_cast<int>(std::ceil(start - 0.5)));
    const int end = std::min(count, static_cast<int>(std::ceil(start - 0.5 + length)));
    const double step = kTwoPi / length;
    const double tc = std::cos(step), ts = std::sin(step);
    double pc = std::cos(step * (first + 0.5 - start)), ps = std::sin(step * (first + 0.5 - start));
    for (int j = first; j < end; ++j) {
        visit(j, 0.5 - 0.5 * pc);
        const double nextC = pc * tc - ps * ts;
        ps = pc * ts + ps * tc;
        pc = nextC;
    }
}

// The raised-cosine weighted sum of x[j] e^{-i omega j} over one window (placed as in
// forEachRaisedCosine), not normalised: only its angle is used. Even and odd samples rotate
// separately by twice the angle, so that neither rotation waits for the other.
Complex weightedPhasor(const double* x, int count, double start, double length, double omega) {
    const int first = std::max(0, static_cast<int>(std::ceil(start - 0.5)));
    const int end = std::min(count, static_cast<int>(std::ceil(start - 0.5 + length)));
    const double step = kTwoPi / length;
    const double tc = std::cos(2.0 * step), ts = std::sin(2.0 * step);
    const double rc = std::cos(2.0 * omega), rs = -std::sin(2.0 * omega);
    double pc[2], ps[2], zc[2], zs[2], re[2] = {0.0, 0.0}, im[2] = {0.0, 0.0};
    for (int l = 0; l < 2; ++l) {
        pc[l] = std::cos(step * (first + l + 0.5 - start));
        ps[l] = std::sin(step * (first + l + 0.5 - start));
        zc[l] = std::cos(omega * (first + l));
        zs[l] = -std::sin(omega * (first + l));
    }
    for (int j = first; j < end; j += 2) {
        for (int l = 0; l < 2 && j + l < end; ++l) {
            const double wx = (0.5 - 0.5 * pc[l]) * x[j + l];
            re[l] += wx * zc[l];
            im[l] += wx * zs[l];
            const double nextP = pc[l] * tc - ps[l] * ts;
            ps[l] = pc[l] * ts + ps[l] * tc;
            pc[l] = nextP;
            const double nextZ = zc[l] * rc - zs[l] * rs;
            zs[l] = zc[l] * rs + zs[l] * rc;
            zc[l] = nextZ;
        }
    }
    return {re[0] + re[1], im[0] + im[1]};
}

// The largest whole number of cycles of `omega` (radians per frame) that fits `count` frames,
// as a length in frames; a count just short of one more cycle is taken as that cycle.
double wholeCycleSpan(double omega, int count) {
    const double period = kTwoPi / omega;
    const double cycles = std::floor(count / period + kWholeCycleSlack);
    return std::min(cycles * period, static_cast<double>(count));
}

double wrapDegrees(double deg) {
    // Into (-180, 180].
    double wrapped = std::remainder(deg, 360.0);
    if (wrapped <= -180.0) wrapped += 360.0;
    return wrapped;
}

}  // namespace

PowerAnalyser::PowerAnalyser(int maxFrames)
    : maxFrames_(std::max(maxFrames, kMinFrames)),
      volts_(static_cast<std::size_t>(maxFrames_)),
      amps_(static_cast<std::size_t>(maxFrames_)),
      weighted_(static_cast<std::size_t>(maxFrames_)),
      weightedAmps_(static_cast<std::size_t>(maxFrames_)) {}

// The band 36..74 Hz in steps of half a transform bin: the power of both channels, raised-cosine
// weighted over the whole buffer, at each step. One pass over the samples serves both.
void PowerAnalyser::scanBand(const double* v, const double* a, int count) {
    double* wv = weighted_.data();
    double* wa = weightedAmps_.data();
    forEachRaisedCosine(count, 0.0, count, [&](int j, double w) {
        wv[j] = w * v[j];
        wa[j] = w * a[j];
    });
    scanStepHz_ =
        std::max(0.5 * kSampleRate / count, (kScanHighHz - kScanLowHz) / (kMaxScanPoints - 1));
    scanPoints_ = std::min(
        kMaxScanPoints, static_cast<int>(std::floor((kScanHighHz - kScanLowHz) / scanStepHz_)) + 1);
    std::array<double, kMaxScanPoints> coef{}, sv1{}, sv2{}, sa1{}, sa2{};
    for (int p = 0; p < scanPoints_; ++p)
        coef[p] = 2.0 * std::cos(kTwoPi * (kScanLowHz + p * scanStepHz_) / kSampleRate);
    resonate(wv, wa, count, coef.data(), scanPoints_, sv1.data(), sv2.data(), sa1.data(),
             sa2.data());
    for (int p = 0; p < scanPoints_; ++p) {
        voltsScan_[p] = sv1[p] * sv1[p] + sv2[p] * sv2[p] - coef[p] * sv1[p] * sv2[p];
        ampsScan_[p] = sa1[p] * sa1[p] + sa2[p] * sa2[p] - coef[p] * sa1[p] * sa2[p];
    }
}

// Coarse: the strongest point of the channel's scan, with a parabola through the log-powers
// around it. Then refined, and checked.
bool PowerAnalyser::findFundamental(const double* x, int count, const double* power,
                                    double& omega) {
    const int points = scanPoints_;
    int best = 0;
    for (int p = 0; p < points; ++p)
        if (power[p] > power[best]) best = p;
    if (best == 0 || best == points - 1 || !(power[best] > 0.0)) return false;
    double offset = 0.0;
    if (power[best - 1] > 0.0 && power[best + 1] > 0.0) {
        const double a = std::log(power[best - 1]);
        const double b = std::log(power[best]);
        const double c = std::log(power[best + 1]);
        const double curvature = a - 2.0 * b + c;
        if (curvature < 0.0) offset = std::clamp(0.5 * (a - c) / curvature, -0.5, 0.5);
    }
    omega = refineFrequency(x, count,
                            kTwoPi * (kScanLowHz + (best + offset) * scanStepHz_) / kSampleRate);
    const double hz = omega * kSampleRate / kTwoPi;
    return hz >= kAnalysisMinHz && hz <= kAnalysisMaxHz;
}

// The frequency from the phase advance of the fundamental between the two halves of the buffer,
// each weighted over a whole number of cycles of the current estimate; a few rounds converge.
double PowerAnalyser::refineFrequency(const double* x, int count, double omega) {
    for (int round = 0; round < kMaxRefinements; ++round) {
        if (!(omega > 0.0)) return omega;
        const double half = wholeCycleSpan(omega, count / 2);
        if (!(half > 0.0)) return omega;
        const Complex first = weightedPhasor(x, count, 0.0, half, omega);
        const Complex second = weightedPhasor(x, count, half, half, omega);
        const double advance = std::arg(second * std::conj(first));
        if (!std::isfinite(advance)) return omega;
        omega += advance / half;
        if (std::fabs(advance) < kPhaseConverged) break;
    }
    return omega;
}

void PowerAnalyser::analyse(std::span<const std::int16_t> interleaved,
                            const PowerAnalysisSettings& settings, PowerAnalysis& out) {
    out = PowerAnalysis{};
    const int frames = static_cast<int>(
        std::min<std::size_t>(interleaved.size() / 2, static_cast<std::size_t>(maxFrames_)));
    const bool calibrated = std::isfinite(settings.voltsCal) && settings.voltsCal > 0.0 &&
                            std::isfinite(settings.ampsCal) && settings.ampsCal > 0.0;
    if (frames < kMinFrames || !calibrated) return;

    // Frames 1..frames-1 as doubles, each channel less its mean.
    const int count = frames - 1;
    const std::int16_t* raw = interleaved.data() + 2;
    std::int64_t voltsSum = 0, ampsSum = 0;
    for (int j = 0; j < count; ++j) {
        voltsSum += raw[2 * j];
        ampsSum += raw[2 * j + 1];
    }
    const double voltsMean = static_cast<double>(voltsSum) / count;
    const double ampsMean = static_cast<double>(ampsSum) / count;
    double* v = volts_.data();
    double* a = amps_.data();
    for (int j = 0; j < count; ++j) {
        v[j] = raw[2 * j] - voltsMean;
        a[j] = raw[2 * j + 1] - ampsMean;
    }

    // The line frequency from the voltage, or from the current when the voltage has none.
    scanBand(v, a, count);
    double omega = 0.0;
    if (findFundamental(v, count, voltsScan_.data(), omega) &&
        analyseSpan(raw, count, omega, 0, settings, out))
        return;
    if (findFundamental(a, count, ampsScan_.data(), omega))
        analyseSpan(raw, count, omega, 1, settings, out);
}

bool PowerAnalyser::analyseSpan(const std::int16_t* raw, int count, double omega, int reference,
                                const PowerAnalysisSettings& settings, PowerAnalysis& out) {
    // Plain means over the whole cycles: the full frames summed exactly as integers, the last
    // frame weighted by the part of it inside the span.
    const double span = wholeCycleSpan(omega, count);
    const int full = static_cast<int>(span);
    const double tail = full < count ? span - full : 0.0;
    std::int64_t sumV = 0, sumA = 0, sumVv = 0, sumAa = 0, sumVa = 0;
    for (int j = 0; j < full; ++j) {
        const std::int64_t vj = raw[2 * j], aj = raw[2 * j + 1];
        sumV += vj;
        sumA += aj;
        sumVv += vj * vj;
        sumAa += aj * aj;
        sumVa += vj * aj;
    }
    double meanV = static_cast<double>(sumV), meanA = static_cast<double>(sumA);
    double meanVv = static_cast<double>(sumVv), meanAa = static_cast<double>(sumAa),
           meanVa = static_cast<double>(sumVa);
    if (tail > 0.0) {
        const double vj = raw[2 * full], aj = raw[2 * full + 1];
        meanV += tail * vj;
        meanA += tail * aj;
        meanVv += tail * (vj * vj);
        meanAa += tail * (aj * aj);
        meanVa += tail * (vj * aj);
    }
    meanV /= span;
    meanA /= span;
    meanVv /= span;
    meanAa /= span;
    meanVa /= span;

    // Harmonics 1..50 of both channels over the same span, raised-cosine weighted.
    constexpr int kLanes = PowerAnalysis::kHarmonics;
    const double* v = volts_.data();
    const double* a = amps_.data();
    double* wv = weighted_.data();
    double* wa = weightedAmps_.data();
    double weightSum = 0.0;
    int weightedCount = 0;
    forEachRaisedCosine(count, 0.0, span, [&](int j, double w) {
        wv[j] = w * v[j];
        wa[j] = w * a[j];
        weightSum += w;
        weightedCount = j + 1;
    });
    std::array<double, kLanes> coef{}, sv1{}, sv2{}, sa1{}, sa2{};
    for (int k = 0; k < kLanes; ++k) coef[k] = 2.0 * std::cos((k + 1) * omega);
    resonate(wv, wa, weightedCount, coef.data(), kLanes, sv1.data(), sv2.data(), sa1.data(),
             sa2.data());

    double delay = std::isfinite(settings.currentDelayFrames) ? settings.currentDelayFrames : 0.0;
    delay = std::clamp(delay, -kMaxCurrentDelayFrames, kMaxCurrentDelayFrames);
    // Peak phasors in counts. The current's are advanced by the delay; the mean product gains
    // what each harmonic's product gains by it.
    std::array<Complex, kLanes> voltsPhasor, ampsPhasor;
    double productGain = 0.0;
    for (int k = 0; k < kLanes; ++k) {
        const double omegaK = (k + 1) * omega;
        voltsPhasor[k] = (2.0 / weightSum) * resonatorSum(omegaK, weightedCount, sv1[k], sv2[k]);
        const Complex measured =
            (2.0 / weightSum) * resonatorSum(omegaK, weightedCount, sa1[k], sa2[k]);
        ampsPhasor[k] = delay != 0.0 ? measured * std::polar(1.0, omegaK * delay) : measured;
        productGain += 0.5 * (std::real(voltsPhasor[k] * std::conj(ampsPhasor[k])) -
                              std::real(voltsPhasor[k] * std::conj(measured)));
    }

    // The reference channel's fundamental must stand out of its AC power over the span.
    const double fundamentalPeak = std::abs(reference == 0 ? voltsPhasor[0] : ampsPhasor[0]);
    const double acPower = reference == 0 ? meanVv - meanV * meanV : meanAa - meanA * meanA;
    if (!(fundamentalPeak >= kMinFundamentalPeakCounts &&
          0.5 * fundamentalPeak * fundamentalPeak >= kMinFundamentalShare * acPower))
        return false;

    const double voltsScale = kVoltsPerCount / settings.voltsCal;
    const double ampsScale = kAmpsPerCount / settings.ampsCal;
    PowerAnalysis r;
    r.fundamentalHz = omega * kSampleRate / kTwoPi;
    r.voltsRms = std::sqrt(meanVv * kPanelMeanScale) * voltsScale;
    r.ampsRms = std::sqrt(meanAa * kPanelMeanScale) * ampsScale;
    r.activePowerW = (meanVa + productGain) * kPanelMeanScale * voltsScale * ampsScale;
    r.apparentPowerVa = r.voltsRms * r.ampsRms;
    if (r.apparentPowerVa > 0.0) r.powerFactor = r.activePowerW / r.apparentPowerVa;

    // A peak phasor of A counts is a harmonic of RMS A / sqrt(2) * sqrt(1/2) = A / 2 counts.
    const double harmonicScale = std::sqrt(0.5 * kPanelMeanScale);
    double voltsDistortion = 0.0, ampsDistortion = 0.0;
    for (int k = 0; k < kLanes; ++k) {
        const double vk = std::abs(voltsPhasor[k]), ak = std::abs(ampsPhasor[k]);
        r.voltsHarmonicsRms[k] = vk * harmonicScale * voltsScale;
        r.ampsHarmonicsRms[k] = ak * harmonicScale * ampsScale;
        if (k > 0) {
            voltsDistortion += vk * vk;
            ampsDistortion += ak * ak;
        }
    }
    const double v1 = std::abs(voltsPhasor[0]), a1 = std::abs(ampsPhasor[0]);
    if (v1 > 0.0) r.voltsThdPct = 100.0 * std::sqrt(voltsDistortion) / v1;
    if (a1 > 0.0) r.ampsThdPct = 100.0 * std::sqrt(ampsDistortion) / a1;
    if (v1 >= kMinPhasePeakCounts && a1 >= kMinPhasePeakCounts) {
        const double phi = std::arg(voltsPhasor[0] * std::conj(ampsPhasor[0]));
        r.phaseDeg = wrapDegrees(phi * 180.0 / std::numbers::pi);
        r.displacementPowerFactor = std::cos(phi);
        r.reactivePowerVar = r.voltsHarmonicsRms[0] * r.ampsHarmonicsRms[0] * std::sin(phi);
    }

    const auto finite = [](double x) { return std::isfinite(x); };
    const bool allFinite =
        finite(r.fundamentalHz) && finite(r.voltsRms) && finite(r.ampsRms) &&
        finite(r.activePowerW) && finite(r.reactivePowerVar) && finite(r.apparentPowerVa) &&
        finite(r.phaseDeg) && finite(r.powerFactor) && finite(r.displacementPowerFactor) &&
        finite(r.voltsThdPct) && finite(r.ampsThdPct) &&
        std::all_of(r.voltsHarmonicsRms.begin(), r.voltsHarmonicsRms.end(), finite) &&
        std::all_of(r.ampsHarmonicsRms.begin(), r.ampsHarmonicsRms.end(), finite);
    if (!allFinite) return false;
    r.valid = true;
    out = r;
    return true;
}

double currentDelayForResistiveLoad(double measuredPhaseDeg, double fundamentalHz,
                                    double delayInUseFrames) {
    if (!std::isfinite(measuredPhaseDeg) || !std::isfinite(fundamentalHz) ||
        !std::isfinite(delayInUseFrames) || !(fundamentalHz > 0.0))
        return std::numeric_limits<double>::quiet_NaN();
    // The corrected current lags the voltage by omega * (true delay - delay in use) radians,
    // omega = 2 pi f / sample rate per frame; a resistive load itself adds nothing.
    return delayInUseFrames + measuredPhaseDeg / 360.0 * kSampleRate / fundamentalHz;
}

}  // namespace acw
