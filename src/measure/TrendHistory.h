// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace acw {

// The readings the trend keeps per buffer.
enum class TrendQuantity : int { Watts, Volts, Amps, PowerFactor, Hertz, ThdVolts, ThdAmps };
inline constexpr int kTrendQuantityCount = 7;

// One buffer's readings with the time they belong to. A reading that has no value for this
// buffer (no THD result, for instance) is NaN: it is not drawn and breaks the line.
struct TrendPoint {
    std::int64_t timeMs = 0;  // milliseconds since the epoch (UTC)
    float watts = 0;
    float volts = 0;
    float amps = 0;
    float powerFactor = 0;
    float hertz = 0;
    float thdVoltsPercent = 0;
    float thdAmpsPercent = 0;

    float value(TrendQuantity quantity) const;
};

// One pixel column of the chart: what the points falling into it span. `first` and `last` are
// the first and last drawable values in time order; `joinsPrevious` says that a line goes from
// the last value of the nearest earlier column that has data to `first` (no gap between them).
struct TrendColumn {
    float minimum = 0;
    float maximum = 0;
    float first = 0;
    float last = 0;
    bool hasData = false;
    bool joinsPrevious = false;
};

// The last day of readings, one point per buffer, in a ring of fixed capacity allocated once by
// the constructor: append() never allocates, and when the ring is full the oldest point goes.
//
// Time stamps never decrease: a point stamped earlier than the newest one (the clock was set
// back) is stored with the newest one's stamp. A point starts a new line segment (a gap: nothing
// is drawn between it and the point before) when markGap() was called before it, or when it
// comes more than kGapMs after the point before (the capture stopped, or buffers were lost).
//
// Not thread-safe: one thread appends and queries (the window's).
class TrendHistory {
public:
    // A day of continuous buffers (86400 s / (4096 / 11025 s) = 232,559) and a little more.
    static constexpr std::size_t kDayCapacity = 232'600;
    // Buffers come every 371.5 ms; a step of more than four of them is a gap by itself.
    static constexpr std::int64_t kGapMs = 1500;

    explicit TrendHistory(std::size_t capacity = kDayCapacity);

    void append(const TrendPoint& point);
    // The next appended point starts a new segment (the caller knows that buffers were lost).
    void markGap();
    // Forgets every point; the capacity stays allocated.
    void clear();

    std::size_t size() const { return size_; }
    std::size_t capacity() const { return times_.size(); }
    // Point `index`, 0 being the oldest; index < size().
    TrendPoint at(std::size_t index) const;
    // The point whose time stamp is nearest to `timeMs`; nothing when the history is empty.
    std::optional<TrendPoint> nearest(std::int64_t timeMs) const;

    // Splits [fromMs, toMs] (fromMs < toMs) into out.size() columns of equal duration, column c
    // covering [fromMs + c * span / n, fromMs + (c + 1) * span / n) and the last one including
    // toMs, and fills each with the minimum, maximum, first and last of `quantity` over the
    // points in it. Costs one pass over the points in the range; allocates nothing.
    void columns(TrendQuantity quantity, std::int64_t fromMs, std::int64_t toMs,
                 std::span<TrendColumn> out) const;

private:
    std::size_t physical(std::size_t index) const;
    // Index of the first point stamped at or after `timeMs` (size() when there is none).
    std::size_t lowerBound(std::int64_t timeMs) const;

    std::vector<std::int64_t> times_;
    std::vector<float> values_[kTrendQuantityCount];
    std::vector<std::uint8_t> startsSegment_;
    std::size_t oldest_ = 0;
    std::size_t size_ = 0;
    bool gapPending_ = true;
};

}  // namespace acw
