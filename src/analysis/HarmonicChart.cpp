// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/HarmonicChart.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace acw {

namespace {

const QColor kVoltsColour(0x1f, 0x5f, 0xbf);  // blue
const QColor kAmpsColour(0xd9, 0x6a, 0x10);   // orange
const QColor kGridColour(0xd0, 0xd0, 0xd0);
const QColor kAxisColour(0x40, 0x40, 0x40);

// Percent of the fundamental for each order; all 0 without a fundamental.
std::array<double, HarmonicChart::kOrders> percentOfFundamental(
    const std::array<double, HarmonicChart::kOrders>& rms) {
    std::array<double, HarmonicChart::kOrders> pct{};
    if (!(rms[0] > 0.0)) return pct;
    for (int k = 0; k < HarmonicChart::kOrders; ++k) pct[k] = 100.0 * rms[k] / rms[0];
    return pct;
}

}  // namespace

HarmonicChart::HarmonicChart(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void HarmonicChart::setHarmonics(const std::array<double, kOrders>& volts,
                                 const std::array<double, kOrders>& amps) {
    voltsPct_ = percentOfFundamental(volts);
    ampsPct_ = percentOfFundamental(amps);
    hasData_ = true;
    update();
}

void HarmonicChart::clear() {
    voltsPct_.fill(0.0);
    ampsPct_.fill(0.0);
    hasData_ = false;
    update();
}

void HarmonicChart::setLogScale(bool logScale) {
    if (logScale == logScale_) return;
    logScale_ = logScale;
    update();
}

QSize HarmonicChart::sizeHint() const { return {640, 260}; }

QSize HarmonicChart::minimumSizeHint() const { return {360, 160}; }

double HarmonicChart::barFraction(double pct) const {
    if (!(pct > 0.0)) return 0.0;
    if (!logScale_) return std::min(pct / 100.0, 1.0);
    // Four decades, 0.01% at the bottom to 100% at the top.
    const double decades = std::log10(100.0 / kLogFloorPct);
    return std::clamp(std::log10(pct / kLogFloorPct) / decades, 0.0, 1.0);
}

void HarmonicChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    const QFontMetrics metrics(font());
    const int textHeight = metrics.height();
    const int left = metrics.horizontalAdvance(QStringLiteral("0.01%")) + 8;
    const int right = width() - 8;
    const int top = textHeight + 6;  // room for the legend
    const int bottom = height() - textHeight - 6;
    if (right - left < kOrders || bottom - top < 20) return;
    const double plotHeight = bottom - top;
    auto yOf = [&](double fraction) { return bottom - fraction * plotHeight; };

    // Horizontal grid with its percentages.
    painter.setPen(kGridColour);
    const QList<double> marks = logScale_ ? QList<double>{0.01, 0.1, 1.0, 10.0, 100.0}
                                          : QList<double>{0.0, 20.0, 40.0, 60.0, 80.0, 100.0};
    for (double mark : marks) {
        const int y =
            static_cast<int>(std::lround(yOf(logScale_ ? barFraction(mark) : mark / 100)));
        painter.setPen(kGridColour);
        painter.drawLine(left, y, right, y);
        painter.setPen(kAxisColour);
        const QString label = QString::number(mark) + QLatin1Char('%');
        painter.drawText(QRect(0, y - textHeight / 2, left - 4, textHeight),
                         Qt::AlignRight | Qt::AlignVCenter, label);
    }

    // Bars: per order a voltage bar and a current bar side by side, a gap between orders.
    const double slot = static_cast<double>(right - left) / kOrders;
    const double barWidth = std::max(1.0, slot * 0.4);
    for (int k = 0; k < kOrders; ++k) {
        const double x = left + k * slot + slot * 0.1;
        const double vHeight = barFraction(voltsPct_[k]) * plotHeight;
        const double aHeight = barFraction(ampsPct_[k]) * plotHeight;
        if (vHeight > 0.0)
            painter.fillRect(QRectF(x, bottom - vHeight, barWidth, vHeight), kVoltsColour);
        if (aHeight > 0.0)
            painter.fillRect(QRectF(x + barWidth, bottom - aHeight, barWidth, aHeight),
                             kAmpsColour);
    }

    // Axis and the order numbers 1, 5, 10, ... 50.
    painter.setPen(kAxisColour);
    painter.drawLine(left, bottom, right, bottom);
    for (int order = 1; order <= kOrders; order = order == 1 ? 5 : order + 5) {
        const int x = static_cast<int>(left + (order - 0.5) * slot);
        painter.drawLine(x, bottom, x, bottom + 3);
        painter.drawText(QRect(x - 20, bottom + 3, 40, textHeight), Qt::AlignHCenter | Qt::AlignTop,
                         QString::number(order));
    }

    // Title, top left; legend, top right.
    painter.drawText(QPoint(left, 2 + metrics.ascent()),
                     tr("Harmonic order 1..50, % of fundamental"));
    const QString voltsText = tr("Voltage");
    const QString ampsText = tr("Current");
    int x = right - metrics.horizontalAdvance(voltsText) - metrics.horizontalAdvance(ampsText) - 40;
    const int box = textHeight - 4;
    painter.fillRect(QRect(x, 4, box, box), kVoltsColour);
    x += box + 4;
    painter.drawText(QPoint(x, 2 + metrics.ascent()), voltsText);
    x += metrics.horizontalAdvance(voltsText) + 12;
    painter.fillRect(QRect(x, 4, box, box), kAmpsColour);
    x += box + 4;
    painter.drawText(QPoint(x, 2 + metrics.ascent()), ampsText);

    if (!hasData_) {
        painter.setPen(kAxisColour);
        painter.drawText(QRect(left, top, right - left, bottom - top), Qt::AlignCenter,
                         QStringLiteral("---"));
    }
}

}  // namespace acw
