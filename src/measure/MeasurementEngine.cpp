#include "measure/MeasurementEngine.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <span>

#include "measure/ReadoutText.h"
#include "measure/SimdClone.h"

namespace acw {

namespace {

// Sample counts to volts and amperes at calibration 1: 32767 counts are 750 V or 75 A.
constexpr std::int32_t kVoltsFullScale = 750;
constexpr std::int32_t kAmpsFullScale = 75;
constexpr double kFullScaleCounts = 32767.0;
// The crest factor multiplies the half-range by this constant (1/sqrt(2) to three places).
constexpr double kCrestConstant = 0.707;
// Frames that are weighted and transformed, and the bins searched for the dominant frequency.
constexpr int kLastWindowedFrame = 8160;
constexpr int kFirstSearchedBin = 2;
constexpr int kLastSearchedBin = 8160;
// Bin spacing of the 16384-point transform at 11025 frames/s, written as the instrument's
// constant: 2.6916 / 4 Hz (about 0.6729 Hz).
constexpr double kHzPerBinNumerator = 2.6916;
constexpr double kHzPerBinDenominator = 4.0;
// Highest frame index that still has both of its values inside captureBuffer.
constexpr int kMaxFrame = (kCaptureBufferValues - 1) / 2 - 1;

// Stores `value` in `target` only if it is a finite number: a step whose result overflows or
// divides by zero is abandoned and its target keeps the previous value.
void storeIfFinite(double& target, double value) {
    if (std::isfinite(value)) target = value;
}

// Half of (max - min), rounded to the nearest integer with ties to even; a result that does not
// fit the 32-bit target leaves it unchanged.
void storeHalfRange(std::int32_t& target, std::int32_t maxValue, std::int32_t minValue) {
    const double half =
        std::nearbyint((static_cast<double>(maxValue) - static_cast<double>(minValue)) / 2.0);
    if (half >= -2147483648.0 && half <= 2147483647.0) target = static_cast<std::int32_t>(half);
}

// Pairs of doubles: a frame's voltage and current, or two neighbouring bins, side by side.
typedef double V2 __attribute__((vector_size(16)));

// Adding and subtracting 1.5 * 2^52 rounds a double of magnitude below 2^51 to the nearest
// integer, ties to even, in the default rounding mode, without a library call.
constexpr double kRoundingBias = 6755399441055744.0;

// One channel's samples (every second value of the capture buffer) times every second window
// entry, for frames 1..lastFrame, each rounded to the nearest integer (ties to even) and clamped
// to the 16-bit range, so that a loud sample under the window's bulge saturates instead of
// wrapping or leaving a stale value behind. Written plainly so that the compiler vectorises it.
ACW_WITH_AVX2_CLONE void weighChannel(const std::int16_t* __restrict samples,
                                      const float* __restrict window,
                                      std::int16_t* __restrict weighted, int lastFrame) {
    for (int i = 1; i <= lastFrame; ++i) {
        const double product = static_cast<double>(static_cast<float>(samples[2 * i])) *
                               static_cast<double>(window[2 * i]);
        double rounded = (product + kRoundingBias) - kRoundingBias;
        rounded = rounded < -32768.0 ? -32768.0 : rounded;
        rounded = rounded > 32767.0 ? 32767.0 : rounded;
        weighted[i] = static_cast<std::int16_t>(rounded);
    }
}

// The dominant frequency of one channel from the transform just computed: the searched bin of
// largest power (strictly greater wins, so the lower bin wins a tie; it must be above 0), then a
// parabola through the log-powers of it and its two neighbours places the peak between bins.
// Returns false, leaving the bin and the frequency alone, when no bin qualifies or the frequency
// is not a finite number (the engine then keeps the previous ones).
bool findDominant(const double* re, const float* im, std::int16_t& peakBin, double& frequency) {
    // The largest power first (four lanes of maxima), then the first bin that reaches it: the
    // same bin that one ascending search with a strict comparison finds. Both passes form the
    // power with the same expression, so the values compared are identical.
    constexpr int kLanes = 4;
    constexpr int kVectorEnd =
        kFirstSearchedBin + (kLastSearchedBin - kFirstSearchedBin + 1) / kLanes * kLanes;
    const auto power = [re, im](int n) {
        return re[n] * re[n] + static_cast<double>(im[n]) * im[n];
    };
    V2 maxLo = {0.0, 0.0}, maxHi = {0.0, 0.0};
    for (int n = kFirstSearchedBin; n < kVectorEnd; n += kLanes) {
        V2 rLo, rHi;
        std::memcpy(&rLo, re + n, sizeof rLo);
        std::memcpy(&rHi, re + n + 2, sizeof rHi);
        const V2 iLo = {static_cast<double>(im[n]), static_cast<double>(im[n + 1])};
        const V2 iHi = {static_cast<double>(im[n + 2]), static_cast<double>(im[n + 3])};
        const V2 powerLo = rLo * rLo + iLo * iLo;
        const V2 powerHi = rHi * rHi + iHi * iHi;
        maxLo = powerLo > maxLo ? powerLo : maxLo;
        maxHi = powerHi > maxHi ? powerHi : maxHi;
    }
    double best = std::max(std::max(maxLo[0], maxLo[1]), std::max(maxHi[0], maxHi[1]));
    for (int n = kVectorEnd; n <= kLastSearchedBin; ++n) best = std::max(best, power(n));
    if (!(best > 0.0)) return false;
    int bestBin = kFirstSearchedBin;
    while (bestBin < kLastSearchedBin && power(bestBin) != best) ++bestBin;
    double offset = 0.0;
    const double below = power(bestBin - 1);
    const double above = power(bestBin + 1);
    if (below > 0.0 && above > 0.0) {
        const double a = std::log(below);
        const double b = std::log(best);
        const double c = std::log(above);
        const double curvature = a - 2.0 * b + c;
        if (curvature < 0.0) offset = std::clamp(0.5 * (a - c) / curvature, -0.5, 0.5);
    }
    const double found = (bestBin + offset) * kHzPerBinNumerator / kHzPerBinDenominator;
    peakBin = static_cast<std::int16_t>(bestBin);
    if (!std::isfinite(found)) return false;
    frequency = found;
    return true;
}

}  // namespace

MeasurementEngine::MeasurementEngine() {
    // A raised-cosine weighting spanning 16384 entries; the engine reads every second entry, so
    // it spans 8192 frames. Entry 0 stays 0.
    for (int k = 1; k < kWindowTableSize; ++k) {
        const double w = 0.54 - 0.54 * std::cos(6.28318 * k / 16384.0);
        windowTable[static_cast<std::size_t>(k)] = static_cast<float>(w);
    }
    fft.BuildBitReverseTable();
}

void MeasurementEngine::StartCapture() {
    frequencySum = 0.0;
    historyCount = 0;
    ampsHistoryCount = 0;
    ampsLock = Lamp::Red;
    voltsLock = Lamp::Red;
}

void MeasurementEngine::StopCapture() {
    ampsLock = Lamp::Off;
    voltsLock = Lamp::Off;
}

void MeasurementEngine::ProcessBuffer() {
    BufferFindings findings;
    ExamineBuffer(captureBuffer.data(),
                  Scratch{leftSamples.data(), rightSamples.data(), windowedLeft.data(),
                          windowedRight.data(), spectrumLeft.data(), spectrumRight.data(), &fft},
                  findings);
    ApplyFindings(findings);
}

void MeasurementEngine::ExamineBuffer(const std::int16_t* cb, const Scratch& scratch,
                                      BufferFindings& out) const {
    const int lastFrame = std::clamp((captureLength - 4) / 2, 0, kMaxFrame);
    std::int32_t* left = scratch.leftSamples;
    std::int32_t* right = scratch.rightSamples;

    // De-interleave: frame k is value 2k (voltage) and value 2k + 1 (current). Frame 0 takes no
    // part in the extremes.
    left[0] = cb[0];
    right[0] = cb[1];
    std::int32_t vMax = INT32_MIN, vMin = INT32_MAX, aMax = INT32_MIN, aMin = INT32_MAX;
    // Frames after the last one with a nonzero sample add exact zeros to the sums below, which
    // leaves them unchanged, so the sums stop there (the capture fills frames 0..4095 only).
    int lastActive = 0;
    for (int k = 1; k <= lastFrame; ++k) {
        const std::int32_t v = cb[2 * k];
        const std::int32_t a = cb[2 * k + 1];
        left[k] = v;
        right[k] = a;
        vMax = v > vMax ? v : vMax;
        vMin = v < vMin ? v : vMin;
        aMax = a > aMax ? a : aMax;
        aMin = a < aMin ? a : aMin;
        lastActive = (v | a) != 0 ? k : lastActive;
    }
    out.voltsMax = vMax;
    out.voltsMin = vMin;
    out.ampsMax = aMax;
    out.ampsMin = aMin;

    double sumVoltsSquared = 0.0;
    double sumAmpsSquared = 0.0;
    double sumPower = 0.0;
    for (int k = 1; k <= lastActive; ++k) {
        const V2 counts = {static_cast<double>(left[k] * kVoltsFullScale),
                           static_cast<double>(right[k] * kAmpsFullScale)};
        const V2 scaled = counts / kFullScaleCounts;
        const double v = scaled[0];
        const double a = scaled[1];
        sumVoltsSquared += v * v;
        sumAmpsSquared += a * a;
        sumPower += v * a;
    }
    const double frames = lastFrame;
    out.voltsRms = std::sqrt(sumVoltsSquared / frames) / voltsCal;
    out.ampsRms = std::sqrt(sumAmpsSquared / frames) / ampsCal;
    // Signed products summed, then the magnitude: a reversed current transformer still reads
    // positive power, and out-of-phase parts cancel as they do in the load.
    out.watts = std::fabs(sumPower) / frames / (voltsCal * ampsCal);

    // Weighting: frame i uses window entry 2i. Frames after the last nonzero one weigh to 0.
    const int lastWeighed = std::min(lastActive, kLastWindowedFrame);
    weighChannel(cb, windowTable.data(), scratch.windowedLeft, lastWeighed);
    weighChannel(cb + 1, windowTable.data(), scratch.windowedRight, lastWeighed);
    const auto silentFrames = static_cast<std::size_t>(kLastWindowedFrame - lastWeighed);
    std::fill_n(scratch.windowedLeft + lastWeighed + 1, silentFrames, std::int16_t{0});
    std::fill_n(scratch.windowedRight + lastWeighed + 1, silentFrames, std::int16_t{0});

    // Dominant frequencies. The transform's imaginary parts are overwritten by the next call, so
    // each channel is searched right after its own transform.
    const std::span<const std::int16_t> windowedLeftSpan(scratch.windowedLeft,
                                                         kCaptureBufferValues);
    const std::span<const std::int16_t> windowedRightSpan(scratch.windowedRight,
                                                          kCaptureBufferValues);
    AudioFFT& transform = *scratch.fft;
    out.leftFound =
        transform.ComputeFFT(windowedLeftSpan, {scratch.spectrumLeft, kCaptureBufferValues}) &&
        findDominant(scratch.spectrumLeft, transform.imaginaryParts.data(), out.leftPeakBin,
                     out.leftFrequency);
    out.rightFound =
        transform.ComputeFFT(windowedRightSpan, {scratch.spectrumRight, kCaptureBufferValues}) &&
        findDominant(scratch.spectrumRight, transform.imaginaryParts.data(), out.rightPeakBin,
                     out.rightFrequency);
}

void MeasurementEngine::ApplyFindings(const BufferFindings& f) {
    // The extremes carry over from the previous buffer.
    voltsMax = std::max(voltsMax, f.voltsMax);
    voltsMin = std::min(voltsMin, f.voltsMin);
    ampsMax = std::max(ampsMax, f.ampsMax);
    ampsMin = std::min(ampsMin, f.ampsMin);

    storeIfFinite(voltsRms, f.voltsRms);
    storeIfFinite(ampsRms, f.ampsRms);
    storeIfFinite(watts, f.watts);

    storeHalfRange(voltsHalfRange, voltsMax, voltsMin);
    if (voltsRms > 0.0) {
        storeIfFinite(voltsCrest, voltsHalfRange * kCrestConstant * kVoltsFullScale /
                                      (kFullScaleCounts * voltsCal) / voltsRms);
    }
    storeHalfRange(ampsHalfRange, ampsMax, ampsMin);
    if (ampsRms > 0.0) {
        storeIfFinite(ampsCrest, ampsHalfRange * kCrestConstant * kAmpsFullScale /
                                     (kFullScaleCounts * ampsCal) / ampsRms);
    }

    // A channel with no dominant frequency in this buffer keeps the one before.
    if (f.leftFound) {
        leftPeakBin = f.leftPeakBin;
        leftFrequency = f.leftFrequency;
    }
    if (f.rightFound) {
        rightPeakBin = f.rightPeakBin;
        rightFrequency = f.rightFrequency;
    }

    // Moving average of the voltage frequency over the last averagingDepth buffers. The slot
    // dropped is the one written averagingDepth buffers ago, so START only resets the count and
    // the sum. The "VOLTS LOCK" lamp turns green once the average is full.
    const auto slotValid = [this] { return historyIndex >= 0 && historyIndex < kHistorySize; };
    historyCount += 1;
    historyIndex += 1;
    if (historyIndex >= averagingDepth + 1) historyIndex = 1;
    if (historyCount > averagingDepth) {
        historyCount = averagingDepth;
        voltsLock = Lamp::Green;
        if (slotValid()) frequencySum -= frequencyHistory[static_cast<std::size_t>(historyIndex)];
    }
    if (slotValid()) frequencyHistory[static_cast<std::size_t>(historyIndex)] = leftFrequency;
    frequencySum += leftFrequency;
    if (historyCount != 0) storeIfFinite(averageFrequency, frequencySum / historyCount);

    // "AMPS LOCK": green after the same number of buffers; the current frequency is not averaged.
    ampsHistoryCount += 1;
    if (ampsHistoryCount > averagingDepth) {
        ampsHistoryCount = averagingDepth;
        ampsLock = Lamp::Green;
    }

    readouts.averageFrequency = frequencyReadoutText(averageFrequency);

    // Both extremes restart from the half-range: on a zero-centred signal the half-range follows
    // a rise at once and halves its excess over a lower peak on every following buffer.
    voltsMin = voltsHalfRange;
    voltsMax = voltsHalfRange;

    readouts.voltsUnit.assign(1, 'V');
    readouts.voltsRms = rmsReadoutText(voltsRms);
    readouts.voltsLarge = formatPattern(voltsRms, "0.0");

    ampsMin = ampsHalfRange;
    ampsMax = ampsHalfRange;

    readouts.ampsUnit.assign(1, 'A');
    readouts.ampsRms = rmsReadoutText(ampsRms);
    readouts.ampsLarge = formatPattern(ampsRms, "0.00");

    storeIfFinite(voltAmps, voltsRms * ampsRms);
    // Power factor as W / VA; without apparent power it keeps its previous value.
    if (voltAmps > 0.0) storeIfFinite(powerFactor, watts / voltAmps);

    readouts.voltAmps = formatPattern(voltAmps, "0.0##");
    readouts.watts = formatPattern(watts, "0.0##");
    readouts.powerFactor = formatPattern(powerFactor, "0.000");
    readouts.voltsCrest = formatPattern(voltsCrest, "0.000");
    readouts.ampsCrest = formatPattern(ampsCrest, "0.000");
}

}  // namespace acw
