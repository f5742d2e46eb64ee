#pragma once

#include <cstdint>

#include "measure/CaptureLayout.h"

namespace acw {

// The oscilloscope's settings and the renderer's working values, under the instrument's names.
// The values given are those before the settings file is applied. The window's scope controls
// change the settings between pictures (`lockGains` follows the "Lock L  R" box); displayscope1
// reads the settings, writes `gainR` (gain lock), `traceColour` and the working values, which
// carry over from one picture to the next (the automatic sweep reuses them while a channel's
// frequency is 0).
struct ScopeState {
    // Settings.
    std::int16_t scopeMode = 2;    // 0 left, 1 right, 2 left and right, 3 XY; others: no trace
    std::int16_t manualScale = 0;  // nonzero: manual gains and time base; 0: automatic
    std::int16_t splitTrace = 0;   // nonzero: left base line y = 160, right y = 260; else 210
    std::int16_t lockGains = 0;    // 1: the right gain follows the left one ("Lock L  R")
    std::int32_t gainL = 0;        // manual gains, 1..1024 once checked by the controls
    std::int32_t gainR = 0;
    std::int32_t timeBase = 0;  // manual time base, 1..256 once checked by the controls
    std::int16_t lockToL = 1;   // 1: the right sweep starts at the left trigger frame
    std::int32_t sampleRate = kSampleRateHz;
    std::int32_t captureLength = kCaptureLength;  // only used for the time-base readout
    std::int16_t exportMode = 0;                  // nonzero: every trace is drawn white

    // Renderer working values.
    std::int32_t leftMax = 0;
    std::int32_t leftMin = 0;
    std::int32_t rightMax = 0;
    std::int32_t rightMin = 0;
    double leftCycles = 0.0;  // periods of the dominant frequency in 8190 frames at 44100/s
    double rightCycles = 0.0;
    std::int16_t leftTrigger = 0;  // first frame of the automatic sweep
    std::int16_t rightTrigger = 0;
    double leftXScale = 0.0;  // horizontal units per frame of the automatic sweep
    double rightXScale = 0.0;
    double leftYScale = 0.0;  // vertical units per sample count, at most 2 after a picture
    double rightYScale = 0.0;
    std::uint32_t traceColour = 0;  // colour of the last trace, red + 256 green + 65536 blue
};

}  // namespace acw
