// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <array>

#include "measure/PowerAnalysis.h"

namespace acw {

// A bar chart of harmonics 1..50 of the voltage and the current, each in percent of its own
// fundamental (so the fundamentals stand at 100%), side by side per order. The vertical scale is
// linear (0..100%) or logarithmic (0.01..100%). Drawing is a few hundred rectangles and lines, so
// an update per buffer costs next to nothing; setHarmonics only stores the values and schedules
// one repaint. GUI thread only.
class HarmonicChart : public QWidget {
    Q_OBJECT
public:
    static constexpr int kOrders = PowerAnalysis::kHarmonics;
    // The lowest percentage the logarithmic scale shows.
    static constexpr double kLogFloorPct = 0.01;

    explicit HarmonicChart(QWidget* parent = nullptr);

    // The RMS values of orders 1..50 ([0] = fundamental) of both channels. A channel whose
    // fundamental is 0 shows no bars.
    void setHarmonics(const std::array<double, kOrders>& volts,
                      const std::array<double, kOrders>& amps);
    // No bars, and "---" across the chart.
    void clear();
    void setLogScale(bool logScale);
    bool logScale() const { return logScale_; }

    // What the bars show, in percent of each fundamental (0 when cleared).
    const std::array<double, kOrders>& voltsPct() const { return voltsPct_; }
    const std::array<double, kOrders>& ampsPct() const { return ampsPct_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Height of a bar of `pct` as a fraction of the plot's height (0..1).
    double barFraction(double pct) const;

    std::array<double, kOrders> voltsPct_{};
    std::array<double, kOrders> ampsPct_{};
    bool hasData_ = false;
    bool logScale_ = false;
};

}  // namespace acw
