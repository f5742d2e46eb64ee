// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <cstdint>
#include <optional>

#include "history/TrendChart.h"
#include "measure/TrendHistory.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QMouseEvent;
class QPaintEvent;

namespace acw {

class TrendWindow;

// The chart area of the "Trend" window. It paints the window's current view and reports the
// time and value under the mouse to the window's readout.
class TrendChartWidget : public QWidget {
    Q_OBJECT
public:
    TrendChartWidget(const TrendHistory& history, TrendWindow& window);
    QSize sizeHint() const override { return {720, 320}; }
    // Where the last paint put the plot (for the cursor readout).
    const TrendFrame& lastFrame() const { return frame_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    const TrendHistory& history_;
    TrendWindow& window_;
    TrendChart chart_;
    TrendFrame frame_;
};

// The "Trend" window: a strip chart of one reading per buffer over the last minute to day.
// `quantityBox` picks the reading (W, V, A, PF, Hz, THD-V, THD-I), `spanBox` the span (1 min,
// 10 min, 1 h, 6 h, 24 h), `freezeBox` ("Freeze") holds the picture; `cursorLabel` shows the
// clock time and value of the point under the mouse.
//
// Live, the right edge of the chart is the newest point of the history. The measuring side calls
// historyChanged() once per buffer, after appending to the history; the window then asks for a
// repaint, which Qt merges with any other pending one and skips while the window is hidden, so
// it redraws at most once per buffer and never faster than the screen is updated. Frozen, the
// right edge stays where it was when "Freeze" was ticked; points that arrive meanwhile are kept
// in the history and shown when it is unticked. (A freeze longer than the history holds lets the
// oldest points of the frozen picture go.)
//
// The window reads the history only on the GUI thread, in paint and mouse events; the history
// must outlive the window. It does not delete itself on close.
class TrendWindow : public QWidget {
    Q_OBJECT
public:
    explicit TrendWindow(const TrendHistory& history, QWidget* parent = nullptr);

    // One more buffer was appended to the history (or it was cleared).
    void historyChanged();

    // What the chart shows now.
    TrendView view() const;

    QComboBox* quantityBox() const { return quantityBox_; }
    QComboBox* spanBox() const { return spanBox_; }
    QCheckBox* freezeBox() const { return freezeBox_; }
    QLabel* cursorLabel() const { return cursorLabel_; }
    TrendChartWidget* chart() const { return chart_; }

private:
    friend class TrendChartWidget;
    void showCursor(std::optional<QPoint> position);
    std::int64_t liveEndMs() const;

    const TrendHistory& history_;
    QComboBox* quantityBox_ = nullptr;
    QComboBox* spanBox_ = nullptr;
    QCheckBox* freezeBox_ = nullptr;
    QLabel* cursorLabel_ = nullptr;
    TrendChartWidget* chart_ = nullptr;
    std::int64_t frozenEndMs_ = 0;
};

}  // namespace acw
