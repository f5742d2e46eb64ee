// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/TrendWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <cmath>

namespace acw {

namespace {

struct Span {
    const char* label;
    std::int64_t ms;
};
constexpr Span kSpans[] = {
    {"1 min", 60'000},        {"10 min", 600'000},        {"1 h", 3'600'000},
    {"6 h", 6 * 3'600'000LL}, {"24 h", 24 * 3'600'000LL},
};

constexpr TrendQuantity kQuantities[] = {
    TrendQuantity::Watts,       TrendQuantity::Volts, TrendQuantity::Amps,
    TrendQuantity::PowerFactor, TrendQuantity::Hertz, TrendQuantity::ThdVolts,
    TrendQuantity::ThdAmps,
};

}  // namespace

TrendChartWidget::TrendChartWidget(const TrendHistory& history, TrendWindow& window)
    : history_(history), window_(window) {
    setObjectName(QStringLiteral("trendChart"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(320, 160);
}

void TrendChartWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    frame_ = chart_.draw(painter, rect(), history_, window_.view());
}

void TrendChartWidget::mouseMoveEvent(QMouseEvent* event) {
    window_.showCursor(event->position().toPoint());
}

void TrendChartWidget::leaveEvent(QEvent*) { window_.showCursor(std::nullopt); }

TrendWindow::TrendWindow(const TrendHistory& history, QWidget* parent)
    : QWidget(parent, Qt::Window), history_(history) {
    setObjectName(QStringLiteral("trendWindow"));
    setWindowTitle(QStringLiteral("Trend"));

    quantityBox_ = new QComboBox(this);
    quantityBox_->setObjectName(QStringLiteral("trendQuantity"));
    for (const TrendQuantity q : kQuantities) {
        quantityBox_->addItem(
            trendQuantityName(q) + QStringLiteral(" (") + trendQuantityUnit(q) + QLatin1Char(')'),
            static_cast<int>(q));
    }
    spanBox_ = new QComboBox(this);
    spanBox_->setObjectName(QStringLiteral("trendSpan"));
    for (const Span& s : kSpans) {
        spanBox_->addItem(QString::fromLatin1(s.label), QVariant::fromValue<qint64>(s.ms));
    }
    freezeBox_ = new QCheckBox(QStringLiteral("Freeze"), this);
    freezeBox_->setObjectName(QStringLiteral("trendFreeze"));
    cursorLabel_ = new QLabel(this);
    cursorLabel_->setObjectName(QStringLiteral("trendCursor"));
    cursorLabel_->setMinimumWidth(
        cursorLabel_->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00.0   -00000.000 W")));
    chart_ = new TrendChartWidget(history, *this);

    auto* controls = new QHBoxLayout;
    controls->addWidget(quantityBox_);
    controls->addWidget(spanBox_);
    controls->addWidget(freezeBox_);
    controls->addStretch(1);
    controls->addWidget(cursorLabel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(chart_, 1);

    const auto repaint = [this] { chart_->update(); };
    connect(quantityBox_, &QComboBox::currentIndexChanged, this, repaint);
    connect(spanBox_, &QComboBox::currentIndexChanged, this, repaint);
    connect(freezeBox_, &QCheckBox::toggled, this, [this](bool frozen) {
        if (frozen) frozenEndMs_ = liveEndMs();
        chart_->update();
    });
}

void TrendWindow::historyChanged() {
    if (!freezeBox_->isChecked()) chart_->update();
}

std::int64_t TrendWindow::liveEndMs() const {
    return history_.size() > 0 ? history_.at(history_.size() - 1).timeMs
                               : QDateTime::currentMSecsSinceEpoch();
}

TrendView TrendWindow::view() const {
    TrendView v;
    v.quantity = static_cast<TrendQuantity>(quantityBox_->currentData().toInt());
    v.spanMs = spanBox_->currentData().value<qint64>();
    v.endMs = freezeBox_->isChecked() ? frozenEndMs_ : liveEndMs();
    return v;
}

void TrendWindow::showCursor(std::optional<QPoint> position) {
    const TrendFrame& frame = chart_->lastFrame();
    if (!position || !frame.plot.contains(*position)) {
        cursorLabel_->clear();
        return;
    }
    const TrendView v = view();
    const std::int64_t timeMs = frame.timeAtX(position->x());
    const std::int64_t columnMs = (frame.toMs - frame.fromMs) / std::max(1, frame.plot.width());
    const auto point = history_.nearest(timeMs);
    const float value = point ? point->value(v.quantity) : NAN;
    const auto clock = [](std::int64_t ms) {
        return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("HH:mm:ss"));
    };
    // A time in a gap, far from any point, shows no value.
    QString text = clock(timeMs);
    if (point && std::llabs(point->timeMs - timeMs) <= std::max(TrendHistory::kGapMs, columnMs) &&
        std::isfinite(value)) {
        text = clock(point->timeMs) + QStringLiteral("   ") + QString::number(value, 'g', 6) +
               QLatin1Char(' ') + trendQuantityUnit(v.quantity);
    }
    cursorLabel_->setText(text);
}

}  // namespace acw
