#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "measure/CaptureLayout.h"
#include "scope/ScopeView.h"

namespace acw::test {

// Records what the renderer does to the two scope controls.
class FakeScopeView : public ScopeView {
public:
    bool lockChecked = false;
    std::vector<std::string> lblTB1Texts;

    bool lockCheckChecked() const override { return lockChecked; }
    void setLblTB1Text(const std::string& text) override { lblTB1Texts.push_back(text); }
};

// A sample array of the engine's size, all zero.
inline std::vector<std::int32_t> silence() {
    return std::vector<std::int32_t>(kCaptureBufferValues, 0);
}

// Frames 0..8190 of a cosine of `peak` counts whose crest falls on frame `crestFrame`.
inline std::vector<std::int32_t> cosine(double frequencyHz, double peak, double crestFrame) {
    std::vector<std::int32_t> s = silence();
    for (int k = 0; k <= kLastFrame; ++k) {
        const double phase = 2.0 * std::numbers::pi * frequencyHz * (k - crestFrame) / 11025.0;
        s[k] = static_cast<std::int32_t>(std::lround(peak * std::cos(phase)));
    }
    return s;
}

}  // namespace acw::test
