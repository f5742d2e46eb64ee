// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/TrendChart.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <array>
#include <cmath>

namespace acw {

namespace {

constexpr std::int64_t kSecondMs = 1000;
constexpr std::int64_t kMinuteMs = 60 * kSecondMs;
constexpr std::int64_t kHourMs = 60 * kMinuteMs;

// Time grid steps, chosen so that the labels do not crowd each other.
constexpr std::array<std::int64_t, 17> kTimeSteps = {
    kSecondMs, 2 * kSecondMs, 5 * kSecondMs, 10 * kSecondMs, 15 * kSecondMs, 30 * kSecondMs,
    kMinuteMs, 2 * kMinuteMs, 5 * kMinuteMs, 10 * kMinuteMs, 15 * kMinuteMs, 30 * kMinuteMs,
    kHourMs,   2 * kHourMs,   3 * kHourMs,   6 * kHourMs,    12 * kHourMs,
};

// 1, 2 or 5 times a power of ten, at least `rough`.
double roundStep(double rough) {
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double m : {1.0, 2.0, 5.0}) {
        if (m * power >= rough * (1 - 1e-9)) return m * power;
    }
    return 10.0 * power;
}

// The label of a value tick: as many decimals as the step needs, never "-0".
QString valueLabel(double value, double step) {
    const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
    if (std::fabs(value) < step * 1e-6) value = 0;
    return QString::number(value, 'f', decimals);
}

}  // namespace

QString trendQuantityName(TrendQuantity quantity) {
    switch (quantity) {
        case TrendQuantity::Watts:
            return QStringLiteral("Power");
        case TrendQuantity::Volts:
            return QStringLiteral("Voltage");
        case TrendQuantity::Amps:
            return QStringLiteral("Current");
        case TrendQuantity::PowerFactor:
            return QStringLiteral("Power factor");
        case TrendQuantity::Hertz:
            return QStringLiteral("Frequency");
        case TrendQuantity::ThdVolts:
            return QStringLiteral("THD-V");
        case TrendQuantity::ThdAmps:
            return QStringLiteral("THD-I");
    }
    return {};
}

QString trendQuantityUnit(TrendQuantity quantity) {
    switch (quantity) {
        case TrendQuantity::Watts:
            return QStringLiteral("W");
        case TrendQuantity::Volts:
            return QStringLiteral("V");
        case TrendQuantity::Amps:
            return QStringLiteral("A");
        case TrendQuantity::PowerFactor:
            return QStringLiteral("PF");
        case TrendQuantity::Hertz:
            return QStringLiteral("Hz");
        case TrendQuantity::ThdVolts:
        case TrendQuantity::ThdAmps:
            return QStringLiteral("%");
    }
    return {};
}

int TrendFrame::columnX(std::int64_t timeMs) const {
    const std::int64_t width = std::max(1, plot.width());
    // Column c holds [from + c * span / n, from + (c + 1) * span / n): the largest such c.
    const std::int64_t c = ((timeMs - fromMs) * width + width - 1) / (toMs - fromMs);
    const std::int64_t column = std::clamp<std::int64_t>(
        fromMs + c * (toMs - fromMs) / width <= timeMs ? c : c - 1, 0, width - 1);
    return plot.left() + static_cast<int>(column);
}

int TrendFrame::valueY(double value) const {
    const double fraction = (value - low) / (high - low);
    return plot.bottom() - static_cast<int>(std::lround(fraction * (plot.height() - 1)));
}

std::int64_t TrendFrame::timeAtX(int x) const {
    return fromMs + (x - plot.left()) * (toMs - fromMs) / std::max(1, plot.width());
}

TrendFrame TrendChart::draw(QPainter& painter, const QRect& area, const TrendHistory& history,
                            const TrendView& view) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(area, kBackground);
    const QFontMetrics metrics = painter.fontMetrics();
    const int textHeight = metrics.height();
    const int timeLabelWidth = metrics.horizontalAdvance(QStringLiteral("00:00:00"));

    TrendFrame frame;
    frame.plot = area.adjusted(metrics.horizontalAdvance(QStringLiteral("-88888.88")) + 8,
                               textHeight + 6, -(timeLabelWidth / 2 + 4), -(textHeight + 8));
    if (frame.plot.width() < 2 || frame.plot.height() < 2) {
        painter.restore();
        return frame;
    }
    frame.toMs = view.endMs;
    frame.fromMs = view.endMs - std::max<std::int64_t>(view.spanMs, 1);
    const auto spanMs = frame.toMs - frame.fromMs;

    columns_.resize(static_cast<std::size_t>(frame.plot.width()));
    history.columns(view.quantity, frame.fromMs, frame.toMs, columns_);

    // The value axis: round steps around the values in view.
    double minimum = INFINITY;
    double maximum = -INFINITY;
    for (const TrendColumn& c : columns_) {
        if (!c.hasData) continue;
        minimum = std::min<double>(minimum, c.minimum);
        maximum = std::max<double>(maximum, c.maximum);
    }
    if (minimum > maximum) {
        minimum = 0;
        maximum = 1;
    }
    if (maximum - minimum < 1e-6 * std::max(1.0, std::fabs(maximum))) {
        const double pad = std::max(0.01, std::fabs(maximum) * 0.01);
        minimum -= pad;
        maximum += pad;
    }
    const int valueTicks = std::clamp(frame.plot.height() / (2 * textHeight), 2, 8);
    const double step = roundStep((maximum - minimum) / valueTicks);
    frame.low = std::floor(minimum / step) * step;
    frame.high = std::ceil(maximum / step) * step;

    painter.setPen(kAxisColour);
    painter.drawText(area.left() + 4, area.top() + 2 + metrics.ascent(),
                     trendQuantityName(view.quantity) + QStringLiteral(" (") +
                         trendQuantityUnit(view.quantity) + QLatin1Char(')'));
    const int tickCount = static_cast<int>(std::lround((frame.high - frame.low) / step));
    for (int i = 0; i <= tickCount; ++i) {
        const double value = frame.low + i * step;
        const int y = frame.valueY(value);
        painter.setPen(kGridColour);
        painter.drawLine(frame.plot.left(), y, frame.plot.right(), y);
        painter.setPen(kAxisColour);
        const QRect label(area.left(), y - textHeight / 2, frame.plot.left() - area.left() - 4,
                          textHeight);
        painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter, valueLabel(value, step));
    }

    // The time axis: local clock time, on round times of the day.
    const int maxLabels = std::max(1, frame.plot.width() / (timeLabelWidth + timeLabelWidth / 2));
    std::int64_t timeStep = kTimeSteps.back();
    for (const std::int64_t s : kTimeSteps) {
        if (spanMs / s <= maxLabels) {
            timeStep = s;
            break;
        }
    }
    const QString format =
        timeStep < kMinuteMs ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm");
    // Ticks on round local times; the offset from UTC is taken again at each tick, so that a
    // change to or from summer time within the span keeps the ticks round.
    const auto offsetAt = [](std::int64_t ms) {
        return std::int64_t{QDateTime::fromMSecsSinceEpoch(ms).offsetFromUtc()} * 1000;
    };
    std::int64_t offsetMs = offsetAt(frame.fromMs);
    const std::int64_t localFrom = frame.fromMs + offsetMs;
    for (std::int64_t local = (localFrom / timeStep + (localFrom % timeStep > 0)) * timeStep;;
         local += timeStep) {
        offsetMs = offsetAt(local - offsetMs);
        const std::int64_t t = local - offsetMs;
        if (t > frame.toMs) break;
        if (t < frame.fromMs) continue;
        const int x = frame.columnX(t);
        painter.setPen(kGridColour);
        painter.drawLine(x, frame.plot.top(), x, frame.plot.bottom());
        painter.setPen(kAxisColour);
        painter.drawLine(x, frame.plot.bottom() + 1, x, frame.plot.bottom() + 3);
        const QRect label(x - timeLabelWidth, frame.plot.bottom() + 4, 2 * timeLabelWidth,
                          textHeight);
        painter.drawText(label, Qt::AlignHCenter | Qt::AlignTop,
                         QDateTime::fromMSecsSinceEpoch(t).toString(format));
    }
    painter.setPen(kAxisColour);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(frame.plot.adjusted(-1, -1, 0, 0));

    // The trace: per column the span of its values, and the join from the previous column.
    lines_.clear();
    points_.clear();
    int previousX = 0;
    int previousY = 0;
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        const TrendColumn& column = columns_[c];
        if (!column.hasData) continue;
        const int x = frame.plot.left() + static_cast<int>(c);
        const int top = frame.valueY(column.maximum);
        const int bottom = frame.valueY(column.minimum);
        if (top != bottom) {
            lines_.append(QLine(x, top, x, bottom));
        } else {
            points_.append(QPoint(x, top));
        }
        if (column.joinsPrevious)
            lines_.append(QLine(previousX, previousY, x, frame.valueY(column.first)));
        previousX = x;
        previousY = frame.valueY(column.last);
    }
    painter.setClipRect(frame.plot);
    painter.setPen(kTraceColour);
    painter.drawLines(lines_);
    painter.drawPoints(points_);
    painter.restore();
    return frame;
}

}  // namespace acw
