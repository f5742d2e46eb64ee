// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/TrendHistory.h"

#include <algorithm>
#include <cmath>

namespace acw {

float TrendPoint::value(TrendQuantity quantity) const {
    switch (quantity) {
        case TrendQuantity::Watts:
            return watts;
        case TrendQuantity::Volts:
            return volts;
        case TrendQuantity::Amps:
            return amps;
        case TrendQuantity::PowerFactor:
            return powerFactor;
        case TrendQuantity::Hertz:
            return hertz;
        case TrendQuantity::ThdVolts:
            return thdVoltsPercent;
        case TrendQuantity::ThdAmps:
            return thdAmpsPercent;
    }
    return watts;
}

TrendHistory::TrendHistory(std::size_t capacity)
    : times_(std::max<std::size_t>(capacity, 1)), startsSegment_(times_.size()) {
    for (auto& v : values_) v.resize(times_.size());
}

std::size_t TrendHistory::physical(std::size_t index) const {
    const std::size_t i = oldest_ + index;
    return i < times_.size() ? i : i - times_.size();
}

void TrendHistory::append(const TrendPoint& point) {
    std::int64_t timeMs = point.timeMs;
    bool gap = gapPending_;
    if (size_ > 0) {
        const std::int64_t newest = times_[physical(size_ - 1)];
        timeMs = std::max(timeMs, newest);
        gap = gap || timeMs - newest > kGapMs;
    }
    std::size_t slot = 0;
    if (size_ < times_.size()) {
        slot = physical(size_++);
    } else {
        slot = oldest_;
        oldest_ = physical(1);
    }
    times_[slot] = timeMs;
    for (int q = 0; q < kTrendQuantityCount; ++q) {
        values_[q][slot] = point.value(static_cast<TrendQuantity>(q));
    }
    startsSegment_[slot] = gap ? 1 : 0;
    gapPending_ = false;
}

void TrendHistory::markGap() { gapPending_ = true; }

void TrendHistory::clear() {
    oldest_ = 0;
    size_ = 0;
    gapPending_ = true;
}

TrendPoint TrendHistory::at(std::size_t index) const {
    const std::size_t i = physical(index);
    TrendPoint p;
    p.timeMs = times_[i];
    p.watts = values_[static_cast<int>(TrendQuantity::Watts)][i];
    p.volts = values_[static_cast<int>(TrendQuantity::Volts)][i];
    p.amps = values_[static_cast<int>(TrendQuantity::Amps)][i];
    p.powerFactor = values_[static_cast<int>(TrendQuantity::PowerFactor)][i];
    p.hertz = values_[static_cast<int>(TrendQuantity::Hertz)][i];
    p.thdVoltsPercent = values_[static_cast<int>(TrendQuantity::ThdVolts)][i];
    p.thdAmpsPercent = values_[static_cast<int>(TrendQuantity::ThdAmps)][i];
    return p;
}

std::size_t TrendHistory::lowerBound(std::int64_t timeMs) const {
    std::size_t low = 0;
    std::size_t high = size_;
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (times_[physical(middle)] < timeMs) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

std::optional<TrendPoint> TrendHistory::nearest(std::int64_t timeMs) const {
    if (size_ == 0) return std::nullopt;
    std::size_t index = lowerBound(timeMs);
    if (index == size_ ||
        (index > 0 && timeMs - times_[physical(index - 1)] < times_[physical(index)] - timeMs)) {
        --index;
    }
    return at(index);
}

void TrendHistory::columns(TrendQuantity quantity, std::int64_t fromMs, std::int64_t toMs,
                           std::span<TrendColumn> out) const {
    std::fill(out.begin(), out.end(), TrendColumn{});
    const auto count = static_cast<std::int64_t>(out.size());
    if (count == 0 || toMs <= fromMs) return;
    const std::int64_t spanMs = toMs - fromMs;
    const std::vector<float>& values = values_[static_cast<int>(quantity)];

    std::size_t index = lowerBound(fromMs);
    std::size_t slot = physical(index);
    // The first point in range never joins a point before the range; a gap, or a value that
    // cannot be drawn, breaks the line until the next drawable value.
    bool broken = true;
    bool anyBefore = false;
    for (std::int64_t c = 0; c < count && index < size_; ++c) {
        // Points of this column are stamped before `end` (the last column takes toMs as well).
        const std::int64_t end = c + 1 == count ? toMs + 1 : fromMs + (c + 1) * spanMs / count;
        TrendColumn& column = out[static_cast<std::size_t>(c)];
        while (index < size_ && times_[slot] < end) {
            const float v = values[slot];
            broken = broken || startsSegment_[slot] != 0;
            if (!std::isfinite(v)) {
                broken = true;
            } else if (!column.hasData) {
                column = {v, v, v, v, true, !broken && anyBefore};
                broken = false;
            } else {
                column.minimum = std::min(column.minimum, v);
                column.maximum = std::max(column.maximum, v);
                column.last = v;
                broken = false;
            }
            ++index;
            if (++slot == times_.size()) slot = 0;
        }
        anyBefore = anyBefore || column.hasData;
    }
}

}  // namespace acw
