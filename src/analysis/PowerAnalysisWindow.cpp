// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/PowerAnalysisWindow.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "analysis/HarmonicChart.h"

namespace acw {

namespace {

const QString kNoValue = QStringLiteral("---");

// About four significant digits: 3 decimals below 10, none from 1000 on.
QString fourDigits(double value) {
    const double magnitude = std::fabs(value);
    const int decimals = magnitude < 10.0 ? 3 : magnitude < 100.0 ? 2 : magnitude < 1000.0 ? 1 : 0;
    return QString::number(value, 'f', decimals);
}

}  // namespace

PowerAnalysisWindow::PowerAnalysisWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("powerAnalysisWindow"));
    setWindowTitle(QStringLiteral("Power Analysis"));

    QFont readoutFont = font();
    readoutFont.setPointSizeF(readoutFont.pointSizeF() * 1.4);
    readoutFont.setBold(true);
    auto* readouts = new QGridLayout;
    readouts->setHorizontalSpacing(12);
    // Three columns of caption and value: powers, then factors and phase, then distortion and
    // frequency.
    auto addReadout = [&](int row, int column, const QString& caption, const char* name,
                          const QString& toolTip) {
        auto* captionLabel = new QLabel(caption, this);
        auto* value = new QLabel(kNoValue, this);
        value->setObjectName(QLatin1String(name));
        value->setFont(readoutFont);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setMinimumWidth(
            QFontMetrics(readoutFont).horizontalAdvance(QStringLiteral("-00000.0 var ind")));
        value->setToolTip(toolTip);
        captionLabel->setToolTip(toolTip);
        readouts->addWidget(captionLabel, row, 2 * column);
        readouts->addWidget(value, row, 2 * column + 1);
        return value;
    };
    activePower_ = addReadout(0, 0, tr("P"), "activePowerReadout",
                              tr("Active power; import: into the load as the adaptor is wired"));
    reactivePower_ = addReadout(1, 0, tr("Q"), "reactivePowerReadout",
                                tr("Reactive power of the fundamental; ind: current lags, cap: "
                                   "current leads"));
    apparentPower_ = addReadout(2, 0, tr("S"), "apparentPowerReadout", tr("Apparent power"));
    powerFactor_ = addReadout(0, 1, tr("PF"), "powerFactorReadout", tr("Power factor P/S"));
    displacementPowerFactor_ = addReadout(1, 1, tr("cos \u03c61"), "displacementPowerFactorReadout",
                                          tr("Displacement power factor of the fundamental"));
    phase_ = addReadout(2, 1, tr("\u03c6"), "phaseReadout",
                        tr("Phase of the voltage fundamental minus that of the current"));
    voltsThd_ = addReadout(0, 2, tr("THD-V"), "voltsThdReadout",
                           tr("Total harmonic distortion of the voltage, orders 2..50, of the "
                              "fundamental"));
    ampsThd_ = addReadout(1, 2, tr("THD-I"), "ampsThdReadout",
                          tr("Total harmonic distortion of the current, orders 2..50, of the "
                             "fundamental"));
    frequency_ = addReadout(2, 2, tr("f"), "frequencyReadout", tr("Line frequency"));

    chart_ = new HarmonicChart(this);
    chart_->setObjectName(QStringLiteral("harmonicChart"));
    chart_->clear();

    logScale_ = new QCheckBox(tr("Logarithmic scale"), this);
    logScale_->setObjectName(QStringLiteral("logScaleCheck"));
    connect(logScale_, &QCheckBox::toggled, chart_, &HarmonicChart::setLogScale);

    auto* delayLabel = new QLabel(tr("Current delay"), this);
    currentDelay_ = new QDoubleSpinBox(this);
    currentDelay_->setObjectName(QStringLiteral("currentDelaySpin"));
    currentDelay_->setRange(-kMaxCurrentDelayFrames, kMaxCurrentDelayFrames);
    currentDelay_->setDecimals(3);
    currentDelay_->setSingleStep(0.05);
    currentDelay_->setSuffix(tr(" frames"));
    // Only a finished entry (Enter, leaving the field, or a step) counts, not every keystroke.
    currentDelay_->setKeyboardTracking(false);
    const QString delayTip =
        tr("Frames by which the current channel arrives after the voltage channel");
    currentDelay_->setToolTip(delayTip);
    delayLabel->setToolTip(delayTip);
    delayLabel->setBuddy(currentDelay_);
    connect(currentDelay_, &QDoubleSpinBox::valueChanged, this,
            &PowerAnalysisWindow::currentDelayEdited);

    calibrateDelay_ = new QPushButton(tr("Calibrate with a resistive load"), this);
    calibrateDelay_->setObjectName(QStringLiteral("calibrateDelayButton"));
    calibrateDelay_->setToolTip(
        tr("With a purely resistive load connected, set the delay that makes \u03c6 read 0"));
    connect(calibrateDelay_, &QPushButton::clicked, this,
            &PowerAnalysisWindow::resistiveLoadCalibrationRequested);

    auto* controls = new QHBoxLayout;
    controls->addWidget(logScale_);
    controls->addStretch(1);
    controls->addWidget(delayLabel);
    controls->addWidget(currentDelay_);
    controls->addWidget(calibrateDelay_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(readouts);
    layout->addWidget(chart_, 1);
    layout->addLayout(controls);
}

void PowerAnalysisWindow::showAnalysis(const PowerAnalysis& a) {
    if (!a.valid) {
        for (QLabel* label : {activePower_, reactivePower_, apparentPower_, powerFactor_,
                              displacementPowerFactor_, phase_, voltsThd_, ampsThd_, frequency_})
            label->setText(kNoValue);
        chart_->clear();
        return;
    }
    const QString direction = a.activePowerW > 0.0   ? tr(" import")
                              : a.activePowerW < 0.0 ? tr(" export")
                                                     : QString();
    activePower_->setText(fourDigits(a.activePowerW) + tr(" W") + direction);
    const QString kind = a.reactivePowerVar > 0.0   ? tr(" ind")
                         : a.reactivePowerVar < 0.0 ? tr(" cap")
                                                    : QString();
    reactivePower_->setText(fourDigits(a.reactivePowerVar) + tr(" var") + kind);
    apparentPower_->setText(fourDigits(a.apparentPowerVa) + tr(" VA"));
    powerFactor_->setText(QString::number(a.powerFactor, 'f', 3));
    displacementPowerFactor_->setText(QString::number(a.displacementPowerFactor, 'f', 3));
    phase_->setText(QString::number(a.phaseDeg, 'f', 2) + QStringLiteral("\u00b0"));
    voltsThd_->setText(QString::number(a.voltsThdPct, 'f', 2) + QStringLiteral(" %"));
    ampsThd_->setText(QString::number(a.ampsThdPct, 'f', 2) + QStringLiteral(" %"));
    frequency_->setText(QString::number(a.fundamentalHz, 'f', 2) + tr(" Hz"));
    chart_->setHarmonics(a.voltsHarmonicsRms, a.ampsHarmonicsRms);
}

void PowerAnalysisWindow::setCurrentDelayFrames(double frames) {
    const QSignalBlocker quiet(currentDelay_);
    currentDelay_->setValue(std::isfinite(frames) ? frames : 0.0);
}

}  // namespace acw
