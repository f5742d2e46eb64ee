#include "measure/SyntheticSignal.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace acw {

namespace {

// Sample counts per volt and per ampere of the engine's nominal scale (750 V and 75 A full scale).
constexpr double kCountsPerVolt = 32767.0 / 750.0;
constexpr double kCountsPerAmp = 32767.0 / 75.0;
// The engine divides sums over 4096 captured frames by 8190, so an uncalibrated RMS reading is
// the true RMS times sqrt(4095 / 8190). The demo adaptor is scaled to make up for it.
const double kReadingScale = std::sqrt(4095.0 / 8190.0);

}  // namespace

SyntheticSignal::Params SyntheticSignal::demoAdaptor() {
    Params p;
    p.frequencyHz = 60.0;
    const double voltsRms = 120.0 / kReadingScale;
    const double ampsRms = 5.0 / kReadingScale;
    const double thirdHarmonic = 0.05;
    // PF = cos(phi) / sqrt(1 + h^2) with h the relative third harmonic: 0.85 overall.
    const double phiDeg = std::acos(0.85 * std::sqrt(1.0 + thirdHarmonic * thirdHarmonic)) *
                          180.0 / std::numbers::pi;
    p.volts.peakCounts = voltsRms * std::numbers::sqrt2 * kCountsPerVolt;
    p.volts.harmonics = {{3, 0.01, 0.0}};
    p.volts.noiseRmsCounts = 3.0;
    p.amps.peakCounts = ampsRms * std::numbers::sqrt2 /
                        std::sqrt(1.0 + thirdHarmonic * thirdHarmonic) * kCountsPerAmp;
    p.amps.phaseDeg = -phiDeg;
    p.amps.harmonics = {{3, thirdHarmonic, 0.0}};
    p.amps.noiseRmsCounts = 3.0;
    return p;
}

SyntheticSignal::Params SyntheticSignal::sine(double frequencyHz, double voltsPeak,
                                              double ampsPeak, double phaseShiftDeg) {
    Params p;
    p.frequencyHz = frequencyHz;
    p.volts.peakCounts = voltsPeak;
    p.amps.peakCounts = ampsPeak;
    p.amps.phaseDeg = -phaseShiftDeg;
    return p;
}

SyntheticSignal::SyntheticSignal(Params params)
    : params_(std::move(params)), rngState_(params_.noiseSeed ? params_.noiseSeed : 1) {}

double SyntheticSignal::channelValue(const Channel& c) {
    // Cycles since frame 0, reduced to [0, 1): exact enough for days of frames. Subtracting a
    // delay of 0 is exact, so an undelayed channel gets the same cycles as always.
    const double total =
        (static_cast<double>(frame_) - c.delayFrames) * params_.frequencyHz / params_.sampleRateHz;
    const double cycles = total - std::floor(total);
    constexpr double twoPi = 2.0 * std::numbers::pi;
    const double degToRad = std::numbers::pi / 180.0;
    const double fundamental = twoPi * cycles + c.phaseDeg * degToRad;
    double v = c.offsetCounts + c.peakCounts * std::sin(fundamental);
    for (const Harmonic& h : c.harmonics) {
        // Each harmonic's phase is reduced on its own so that high orders keep their precision.
        const double hc = cycles * h.order - std::floor(cycles * h.order);
        v += c.peakCounts * h.relativeAmplitude *
             std::sin(twoPi * hc + h.order * c.phaseDeg * degToRad + h.phaseDeg * degToRad);
    }
    if (c.noiseRmsCounts > 0.0) v += c.noiseRmsCounts * gaussian();
    return v;
}

void SyntheticSignal::fill(std::span<std::int16_t> interleaved, int frames) {
    const int n = std::min<int>(frames, static_cast<int>(interleaved.size() / 2));
    auto toSample = [](double v) {
        return static_cast<std::int16_t>(std::clamp(std::nearbyint(v), -32768.0, 32767.0));
    };
    for (int k = 0; k < n; ++k, ++frame_) {
        interleaved[2 * k] = toSample(channelValue(params_.volts));
        interleaved[2 * k + 1] = toSample(channelValue(params_.amps));
    }
}

double SyntheticSignal::gaussian() {
    // xorshift64* and Box-Muller: the same noise on every platform for a given seed.
    if (haveSpare_) {
        haveSpare_ = false;
        return spare_;
    }
    auto uniform = [this] {
        rngState_ ^= rngState_ >> 12;
        rngState_ ^= rngState_ << 25;
        rngState_ ^= rngState_ >> 27;
        const std::uint64_t r = rngState_ * 0x2545F4914F6CDD1DULL;
        return (static_cast<double>(r >> 11) + 0.5) * (1.0 / 9007199254740992.0);
    };
    const double u1 = uniform();
    const double u2 = uniform();
    const double radius = std::sqrt(-2.0 * std::log(u1));
    const double angle = 2.0 * std::numbers::pi * u2;
    spare_ = radius * std::sin(angle);
    haveSpare_ = true;
    return radius * std::cos(angle);
}

}  // namespace acw
