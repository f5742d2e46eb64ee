// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include "measure/PowerAnalysis.h"

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;

namespace acw {

class HarmonicChart;

// The "Power Analysis" window: the power analysis of the latest buffer, next to (not instead of)
// the readout panel. It shows P (with "import" when energy flows into the load as the adaptor is
// wired, "export" when it flows back), Q (with "ind" or "cap"), S, the power factor P/S (signed),
// cos phi1, phi in degrees, THD of voltage and current, the line frequency, and a bar chart of
// harmonics 1..50 of both channels with a log/linear switch. Below them, the current channel's
// delay in frames (typed, -4..4) and "Calibrate with a resistive load".
//
// The window only shows what it is given and reports what the user asks for: it is a top-level
// window (also with a parent), never modal, and it owns no analysis or setting. GUI thread only.
// showAnalysis() is cheap: nine label texts and one scheduled repaint of the chart.
class PowerAnalysisWindow : public QWidget {
    Q_OBJECT
public:
    explicit PowerAnalysisWindow(QWidget* parent = nullptr);

    // Shows `analysis`; "---" in every readout and no bars when !analysis.valid.
    void showAnalysis(const PowerAnalysis& analysis);
    // Shows the delay in use, clamped to -4..4 (no signal emitted).
    void setCurrentDelayFrames(double frames);

    QLabel* activePowerReadout() const { return activePower_; }
    QLabel* reactivePowerReadout() const { return reactivePower_; }
    QLabel* apparentPowerReadout() const { return apparentPower_; }
    QLabel* powerFactorReadout() const { return powerFactor_; }
    QLabel* displacementPowerFactorReadout() const { return displacementPowerFactor_; }
    QLabel* phaseReadout() const { return phase_; }
    QLabel* voltsThdReadout() const { return voltsThd_; }
    QLabel* ampsThdReadout() const { return ampsThd_; }
    QLabel* frequencyReadout() const { return frequency_; }
    HarmonicChart* harmonicChart() const { return chart_; }
    QCheckBox* logScaleCheck() const { return logScale_; }
    QDoubleSpinBox* currentDelaySpin() const { return currentDelay_; }
    QPushButton* calibrateDelayButton() const { return calibrateDelay_; }

signals:
    // The user entered a new current delay, in frames (-4..4). The window keeps showing it; the
    // owner applies it (and may show another value with setCurrentDelayFrames).
    void currentDelayEdited(double frames);
    // The user asked to calibrate the delay with a resistive load connected; the owner takes the
    // latest valid analysis, computes currentDelayForResistiveLoad() and applies it.
    void resistiveLoadCalibrationRequested();

private:
    QLabel* activePower_ = nullptr;
    QLabel* reactivePower_ = nullptr;
    QLabel* apparentPower_ = nullptr;
    QLabel* powerFactor_ = nullptr;
    QLabel* displacementPowerFactor_ = nullptr;
    QLabel* phase_ = nullptr;
    QLabel* voltsThd_ = nullptr;
    QLabel* ampsThd_ = nullptr;
    QLabel* frequency_ = nullptr;
    HarmonicChart* chart_ = nullptr;
    QCheckBox* logScale_ = nullptr;
    QDoubleSpinBox* currentDelay_ = nullptr;
    QPushButton* calibrateDelay_ = nullptr;
};

}  // namespace acw
