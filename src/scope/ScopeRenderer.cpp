#include "scope/ScopeRenderer.h"

#include <cmath>
#include <cstddef>
#include <limits>

#include "measure/MeasurementEngine.h"
#include "measure/ReadoutText.h"

namespace acw {

namespace {

// Last frame the engine fills per buffer, the reference rate of the sweep formulas (four times
// the capture rate), the first frame of the trigger search and of every manual and XY sweep.
constexpr double kLastFilledFrame = 8190.0;
constexpr double kReferenceRate = 44100.0;
constexpr int kTriggerSearchStart = 500;
constexpr long long kManualSweepStart = 1000;

double nearest(double x) { return std::nearbyint(x); }

// One channel's view of the state: the working values and settings that differ between the
// left and the right trace, so one routine draws both.
struct Channel {
    std::span<const std::int32_t> samples;
    double frequency;
    std::int32_t& max;
    std::int32_t& min;
    double& cycles;
    std::int16_t& trigger;
    double& xScale;
    double& yScale;
    std::int32_t gain;
    Rgb colour;
    double baseLine;
    bool isRight;
};

class Pass {
public:
    Pass(ScopeState& state, DrawingSurface& surface, ScopeView& view)
        : s_(state), surface_(surface), view_(view) {}

    bool drawChannel(Channel& c);
    bool drawXY(std::span<const std::int32_t> left, std::span<const std::int32_t> right);

private:
    // Reads sample `index`; false when the index lies outside the array.
    static bool sampleAt(std::span<const std::int32_t> samples, long long index,
                         std::int32_t& value) {
        if (index < 0 || index >= static_cast<long long>(samples.size())) return false;
        value = samples[static_cast<std::size_t>(index)];
        return true;
    }
    bool triggerSearch(Channel& c);
    void verticalScale(Channel& c);
    bool manualSweep(const Channel& c);
    bool automaticSweep(const Channel& c);
    void setTraceColour(Rgb normal) {
        traceColour_ = s_.exportMode != 0 ? kExportTraceColour : normal;
        s_.traceColour = colourValue(traceColour_);
    }
    void segment(double x1, double y1, double x2, double y2) {
        surface_.drawLine(static_cast<float>(x1), static_cast<float>(y1), static_cast<float>(x2),
                          static_cast<float>(y2), traceColour_);
    }

    ScopeState& s_;
    DrawingSurface& surface_;
    ScopeView& view_;
    Rgb traceColour_;
};

// Analysis of the dominant frequency and the peak trigger search over four periods from frame
// 500. Fails when the search window runs past the end of the sample array.
bool Pass::triggerSearch(Channel& c) {
    if (c.frequency == 0.0) return true;  // keep the previous sweep and trigger
    c.cycles = kLastFilledFrame / kReferenceRate / (1.0 / c.frequency);
    c.xScale = kReferenceRate / s_.sampleRate * 5000.0 / (kLastFilledFrame / c.cycles);
    c.max = 0;
    c.min = 0;
    c.trigger = 0;
    const double end = nearest(kLastFilledFrame / c.cycles + kTriggerSearchStart);
    for (long long k = kTriggerSearchStart; k <= end; ++k) {
        std::int32_t v = 0;
        if (!sampleAt(c.samples, k, v)) return false;
        if (v > c.max) {
            // The trigger is a 16-bit frame number; a later frame cannot be a sweep start.
            if (k > std::numeric_limits<std::int16_t>::max()) return false;
            c.max = v;
            c.trigger = static_cast<std::int16_t>(k);
        }
        if (v < c.min) c.min = v;
    }
    return true;
}

// Draws the peak-to-peak swing 65000 / 240 units high, at most 2 units per count; a flat
// channel keeps the previous scale.
void Pass::verticalScale(Channel& c) {
    const double swing = static_cast<double>(c.max) - static_cast<double>(c.min);
    if (swing != 0.0) c.yScale = 1.0 / (std::fabs(swing) / 65000.0 * 240.0);
    if (c.yScale > 2.0) c.yScale = 2.0;
}

// The user's gain and time base, from frame 1000, no trigger.
bool Pass::manualSweep(const Channel& c) {
    view_.setTimeBaseText(timeBaseReadoutText(s_.captureLength, s_.timeBase));
    const double n = nearest(kLastFilledFrame / 200.0 * 9.3 * (s_.timeBase / 25.0) * s_.sampleRate /
                             kReferenceRate);
    const double unitsPerFrameDivisor = s_.timeBase / 25.0;
    const double framesToUnits = kReferenceRate / s_.sampleRate;
    auto x = [&](long long p) {
        return std::floor(framesToUnits * static_cast<double>(p) * 50.0 / unitsPerFrameDivisor) -
               200.0;
    };
    auto y = [&](std::int32_t v) { return std::floor(c.baseLine - c.gain * 0.005 * v); };
    std::int32_t a = 0;
    if (n >= 0 && !sampleAt(c.samples, kManualSweepStart, a)) return false;
    for (long long p = 0; p <= n; ++p) {
        std::int32_t b = 0;
        if (!sampleAt(c.samples, kManualSweepStart + p + 1, b)) return false;
        segment(x(p), y(a), x(p + 1), y(b));
        a = b;
    }
    return true;
}

// 3.81 periods from the trigger frame, one period 5000 units wide, drawn only when the sweep
// ends inside the frames filled for this buffer.
bool Pass::automaticSweep(const Channel& c) {
    if (c.cycles == 0.0) return true;
    const double q = kLastFilledFrame / c.cycles * 3.81 * s_.sampleRate / kReferenceRate;
    if (!(kLastFilledFrame - q > c.trigger)) return true;
    const double last = nearest(q);
    const long long start = c.trigger;
    std::int32_t a = 0;
    if (last >= 0 && !sampleAt(c.samples, start, a)) return false;
    for (long long p = 0; p <= last; ++p) {
        std::int32_t b = 0;
        if (!sampleAt(c.samples, start + p + 1, b)) return false;
        segment(std::floor(static_cast<double>(p) * c.xScale) - 200.0,
                std::floor(c.baseLine - a * c.yScale),
                std::floor(static_cast<double>(p + 1) * c.xScale) - 200.0,
                std::floor(c.baseLine - b * c.yScale));
        a = b;
    }
    return true;
}

bool Pass::drawChannel(Channel& c) {
    if (!triggerSearch(c)) return false;
    verticalScale(c);
    if (c.isRight && s_.lockToL == 1) c.trigger = s_.leftTrigger;
    setTraceColour(c.colour);
    if (s_.manualScale != 0) return manualSweep(c);
    if (c.isRight) view_.setTimeBaseText(" ");
    if (!c.isRight && c.cycles != 0.0) view_.setTimeBaseText(" ");
    return automaticSweep(c);
}

// Left against right: left horizontal (positive to the left of x = 9350), right vertical
// (positive below y = 210), with the manual gains and time base, from frame 1000.
bool Pass::drawXY(std::span<const std::int32_t> left, std::span<const std::int32_t> right) {
    setTraceColour(kLeftTraceColour);
    view_.setTimeBaseText(" ");
    const double n = nearest(kLastFilledFrame / 200.0 * 11.0 * (s_.timeBase / 25.0) *
                             s_.sampleRate / kReferenceRate);
    auto px = [&](std::int32_t l) { return std::floor(9350.0 - s_.gainL * 0.005 * 24.0 * l); };
    auto py = [&](double h, std::int32_t r) {
        return h - std::floor(350.0 - s_.gainR * 0.005 * r);
    };
    for (long long p = 0; p <= n; ++p) {
        const long long i = kManualSweepStart + p;
        std::int32_t l1 = 0, r1 = 0, l2 = 0, r2 = 0;
        if (!sampleAt(left, i, l1) || !sampleAt(right, i, r1) || !sampleAt(left, i + 1, l2) ||
            !sampleAt(right, i + 1, r2)) {
            return false;
        }
        const double h = surface_.scaleHeight();
        segment(px(l1), py(h, r1), px(l2), py(h, r2));
    }
    return true;
}

}  // namespace

ScopeSamples scopeSamplesOf(const MeasurementEngine& engine) {
    return ScopeSamples{engine.leftSamples, engine.rightSamples, engine.leftFrequency,
                        engine.rightFrequency};
}

void drawGraticule(DrawingSurface& surface) {
    surface.setPenColour(kGraticuleColour);
    for (int k = -1; k <= 16; ++k) {
        const double y = 50.0 * k - 40.0;
        surface.drawLine(-200.0f, static_cast<float>(y), 19080.0f, static_cast<float>(y));
    }
    for (int k = 1; k <= 17; ++k) {
        const double x = 1200.0 * k - 1400.0;
        surface.drawLine(static_cast<float>(x), -40.0f, static_cast<float>(x), 460.0f);
    }
    surface.setPenWidth(1);
    for (int k = 5; k <= 85; ++k) {
        const double x = 240.0 * k - 1400.0;
        surface.drawLine(static_cast<float>(x), 205.0f, static_cast<float>(x), 220.0f);
    }
    for (int k = 1; k <= 50; ++k) {
        const double y = 10.01 * k - 40.2;
        surface.drawLine(9335.0f, static_cast<float>(y), 9565.0f, static_cast<float>(y));
    }
    surface.setPenWidth(1);
    surface.setPenColour(Rgb{0, 0, 0});
}

std::string timeBaseReadoutText(std::int32_t captureLength, std::int32_t timeBase) {
    const double msPerDivision =
        static_cast<double>(captureLength) * static_cast<double>(timeBase) / 749700.0;
    return formatPattern(msPerDivision, "####.###") + " ms/div";
}

bool displayscope1(const ScopeSamples& samples, ScopeState& state, DrawingSurface& surface,
                   ScopeView& view) {
    // Gain lock: while it is on the right gain follows the left one.
    if (state.lockGains == 1) state.gainR = state.gainL;

    drawGraticule(surface);

    Pass pass(state, surface, view);
    const bool split = state.splitTrace != 0;
    const std::int16_t mode = state.scopeMode;
    if (mode == 3) return pass.drawXY(samples.leftSamples, samples.rightSamples);
    if (mode == 0 || mode == 2) {
        Channel left{samples.leftSamples, samples.leftFrequency, state.leftMax,
                     state.leftMin,       state.leftCycles,      state.leftTrigger,
                     state.leftXScale,    state.leftYScale,      state.gainL,
                     kLeftTraceColour,    split ? 160.0 : 210.0, false};
        if (!pass.drawChannel(left)) return false;
    }
    if (mode == 1 || mode == 2) {
        Channel right{samples.rightSamples, samples.rightFrequency, state.rightMax,
                      state.rightMin,       state.rightCycles,      state.rightTrigger,
                      state.rightXScale,    state.rightYScale,      state.gainR,
                      kRightTraceColour,    split ? 260.0 : 210.0,  true};
        if (!pass.drawChannel(right)) return false;
    }
    return true;
}

bool displayscope1(const MeasurementEngine& engine, ScopeState& state, DrawingSurface& surface,
                   ScopeView& view) {
    return displayscope1(scopeSamplesOf(engine), state, surface, view);
}

}  // namespace acw
