// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QLine>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QVector>
#include <cstdint>
#include <vector>

#include "measure/TrendHistory.h"

class QPainter;

namespace acw {

// The name and unit of a trend quantity as the chart and the window show them ("W", "THD-V").
QString trendQuantityName(TrendQuantity quantity);
QString trendQuantityUnit(TrendQuantity quantity);

// What the chart shows: one quantity over the `spanMs` milliseconds that end at `endMs`.
struct TrendView {
    TrendQuantity quantity = TrendQuantity::Watts;
    std::int64_t endMs = 0;
    std::int64_t spanMs = 60'000;
};

// Where a drawn chart put things, for the cursor readout and for checks of the picture: the
// plot area (inside the axes) with one pixel column per TrendHistory::columns() column, the time
// range across it and the value range up it.
struct TrendFrame {
    QRect plot;
    std::int64_t fromMs = 0;
    std::int64_t toMs = 1;
    double low = 0;
    double high = 1;

    // The x of the column that holds `timeMs` (as TrendHistory::columns splits the range).
    int columnX(std::int64_t timeMs) const;
    // The y of `value`: low at the bottom row of the plot, high at the top row.
    int valueY(double value) const;
    // The time at the left edge of column x.
    std::int64_t timeAtX(int x) const;
};

// Draws the trend strip chart: a white plot with a grey grid, the time axis in local clock time
// below it, the value axis (scaled to the values in view, with round tick steps) to its left, the
// quantity and unit above it, and the trace in kTraceColour. Each pixel column draws the vertical
// span from the minimum to the maximum of its points, and a line joins it to the previous column
// that has data unless a gap (TrendHistory) lies between them. The cost is one pass over the
// points in view plus one line per column, whatever the span.
//
// The chart keeps its column buffer between calls, so drawing at an unchanged size allocates
// nothing. Call from the GUI thread (QPainter with text).
class TrendChart {
public:
    static inline const QColor kBackground{255, 255, 255};
    static inline const QColor kGridColour{222, 222, 222};
    static inline const QColor kAxisColour{0, 0, 0};
    static inline const QColor kTraceColour{0, 70, 200};

    // Draws into `area` of `painter` and returns where things went.
    TrendFrame draw(QPainter& painter, const QRect& area, const TrendHistory& history,
                    const TrendView& view);

private:
    std::vector<TrendColumn> columns_;
    QVector<QLine> lines_;
    QVector<QPoint> points_;
};

}  // namespace acw
