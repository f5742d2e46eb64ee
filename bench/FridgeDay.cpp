// SPDX-License-Identifier: GPL-3.0-or-later
#include "FridgeDay.h"

#include <cmath>

#include "measure/TrendHistory.h"

namespace acw::bench {

namespace {

constexpr double kBufferMs = 1000.0 * EnergyIntegrator::kBufferSeconds;

}  // namespace

EnergySample fridge(int k) {
    const double minutes = k * kBufferMs / 60'000.0;
    const double phase = std::fmod(minutes, 45.0);
    const double ripple = std::sin(k * 0.731) + 0.5 * std::sin(k * 0.0173);
    double watts = 2.0 + 0.05 * ripple;
    if (phase < 15.0) watts = (phase < 0.02 ? 400.0 : 90.0) + 1.5 * ripple;
    const double volts = 230.0 + 0.8 * ripple;
    const double pf = phase < 15.0 ? 0.82 : 0.3;
    const double va = watts / pf;
    return {watts, std::sqrt(va * va - watts * watts), va, volts, va / volts, 50.0 + 0.01 * ripple,
            pf};
}

void appendDayOfFridge(TrendHistory& history, std::int64_t endMs) {
    const std::int64_t startMs = endMs - kDayMs;
    for (int k = 0; k < kDayBuffers; ++k) {
        const auto t = startMs + static_cast<std::int64_t>(k * kBufferMs);
        // Three breaks of ten minutes: no points.
        if ((k / 1615) % 48 == 7) continue;
        const EnergySample s = fridge(k);
        history.append({t, static_cast<float>(s.activePowerW), static_cast<float>(s.voltsRms),
                        static_cast<float>(s.ampsRms), static_cast<float>(s.powerFactor),
                        static_cast<float>(s.frequencyHz), 2.5f, 35.0f});
    }
}

}  // namespace acw::bench
