// SPDX-License-Identifier: GPL-3.0-or-later
// Time to draw one complete scope picture into the off-screen image, as after every buffer:
// clear to the blank background, graticule, then the traces. Goal: well under 1 ms.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "measure/CaptureLayout.h"
#include "scope/ImageSurface.h"
#include "scope/ScopeRenderer.h"
#include "scope/ScopeState.h"
#include "scope/ScopeView.h"

namespace {

class NullView : public acw::ScopeView {
public:
    void setTimeBaseText(const std::string& text) override { last = text; }
    std::string last;
};

std::vector<std::int32_t> sine(double frequencyHz, double peak, double phase) {
    std::vector<std::int32_t> s(acw::kCaptureBufferValues, 0);
    for (int k = 0; k <= acw::kLastFrame; ++k) {
        s[k] = static_cast<std::int32_t>(std::lround(
            peak * std::sin(2.0 * std::numbers::pi * frequencyHz * k / 11025.0 + phase)));
    }
    return s;
}

void drawPictures(benchmark::State& bs, acw::ScopeState state) {
    const auto left = sine(60.0, 12000.0, 0.0);
    const auto right = sine(60.0, 6000.0, -0.5);
    const acw::ScopeSamples samples{left, right, 60.0, 60.0};
    acw::ImageSurface surface;
    NullView view;
    for (auto _ : bs) {
        surface.clear();
        const bool complete = acw::displayscope1(samples, state, surface, view);
        benchmark::DoNotOptimize(complete);
        benchmark::DoNotOptimize(surface.image().constBits());
    }
}

void BM_ScopePictureAutomatic60Hz(benchmark::State& bs) {
    acw::ScopeState state;  // both traces, automatic
    drawPictures(bs, state);
}
BENCHMARK(BM_ScopePictureAutomatic60Hz)->Unit(benchmark::kMicrosecond);

void BM_ScopePictureManualTimeBase256(benchmark::State& bs) {
    acw::ScopeState state;
    state.manualScale = 1;
    state.gainL = state.gainR = 32;
    state.timeBase = 256;
    drawPictures(bs, state);
}
BENCHMARK(BM_ScopePictureManualTimeBase256)->Unit(benchmark::kMicrosecond);

void BM_ScopePictureXYTimeBase256(benchmark::State& bs) {
    acw::ScopeState state;
    state.scopeMode = 3;
    state.gainL = state.gainR = 32;
    state.timeBase = 256;
    drawPictures(bs, state);
}
BENCHMARK(BM_ScopePictureXYTimeBase256)->Unit(benchmark::kMicrosecond);

void BM_Graticule(benchmark::State& bs) {
    acw::ImageSurface surface;
    for (auto _ : bs) {
        acw::drawGraticule(surface);
        benchmark::DoNotOptimize(surface.image().constBits());
    }
}
BENCHMARK(BM_Graticule)->Unit(benchmark::kMicrosecond);

}  // namespace
