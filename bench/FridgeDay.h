// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "measure/EnergyIntegrator.h"

namespace acw {
class TrendHistory;
}

namespace acw::bench {

// A day of buffers (86400 s at 4096 / 11025 s a buffer).
inline constexpr int kDayBuffers = 232'559;
inline constexpr std::int64_t kDayMs = 24 * 3'600'000LL;

// Buffer k of a day with a fridge: 15 min on at about 90 W (a start surge of 400 W), 30 min off
// at 2 W, mains at 230 V with a little ripple.
EnergySample fridge(int k);

// A day of those buffers ending at `endMs`, with three breaks of ten minutes (no points), as
// trend points appended to `history`.
void appendDayOfFridge(TrendHistory& history, std::int64_t endMs);

}  // namespace acw::bench
