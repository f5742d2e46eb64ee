#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "scope/DrawingSurface.h"
#include "scope/ScopeState.h"
#include "scope/ScopeView.h"

namespace acw {

class MeasurementEngine;

// Colours of the scope picture.
inline constexpr Rgb kGraticuleColour{85, 85, 85};
inline constexpr Rgb kLeftTraceColour{0, 255, 0};  // also the XY trace
inline constexpr Rgb kRightTraceColour{255, 255, 0};
inline constexpr Rgb kExportTraceColour{255, 255, 255};
inline constexpr Rgb kScopeBackground{0, 0, 0};

// What one picture is drawn from: the de-interleaved channels of the last buffer (sample of
// frame k at index k; normally 32801 values, of which 0..8190 are filled) and the dominant
// frequency of each channel in Hz (0 while none has been found).
struct ScopeSamples {
    std::span<const std::int32_t> leftSamples;
    std::span<const std::int32_t> rightSamples;
    double leftFrequency = 0.0;
    double rightFrequency = 0.0;
};

// Takes the engine's sample arrays and frequencies (no copy; valid while the engine lives).
ScopeSamples scopeSamplesOf(const MeasurementEngine& engine);

// Draws the graticule: 166 segments in (85, 85, 85), pen width 1, then leaves the pen colour
// black (0, 0, 0). Grid of 16 x 1200 units from x = -200 to 19000 and 10 x 50 units from
// y = -40 to 460, with ticks along the centre lines x = 9400 and y = 210. ApplyScopeSettings
// draws it on the cleared surface before calling displayscope1.
void drawGraticule(DrawingSurface& surface);

// The time-base readout of the manual sweep for `lblTB1`: captureLength * timeBase / 749700
// with the mask "####.###" and " ms/div" ("0.699 ms" shows as ".699 ms/div" for 32).
std::string timeBaseReadoutText(std::int32_t captureLength, std::int32_t timeBase);

// Draws one complete scope picture over whatever the surface holds (it never clears): the gain
// lock (`lockGains` 1: the right gain takes the left one), the graticule, then the traces of
// `state.scopeMode` (automatic sweep with trigger and vertical scale, manual sweep, or XY), and
// sets the time-per-division label through the view. Reads the settings in `state`, writes
// `gainR`, `traceColour` and the working values. Every trace is white while `exportMode` is
// nonzero.
//
// Returns true after a complete picture. Returns false when the pass ended early because a
// sample index left the arrays (the trigger search of a frequency below about 1.37 Hz runs
// past index 32800): what was drawn stays, the working values keep what the search had
// reached, and the caller simply carries on.
bool displayscope1(const ScopeSamples& samples, ScopeState& state, DrawingSurface& surface,
                   ScopeView& view);
bool displayscope1(const MeasurementEngine& engine, ScopeState& state, DrawingSurface& surface,
                   ScopeView& view);

}  // namespace acw
