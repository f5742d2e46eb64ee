// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "measure/MeasurementObserver.h"
#include "measure/PowerAnalysis.h"

namespace acw {

class MeasurementSession;
class PowerAnalysisWindow;
class ProgramSettings;

// The "Power Analysis" window of the main window: opened from the menu, updated with every
// buffer while it is shown. The current channel's delay typed there goes to the session and the
// program's configuration; "Calibrate with a resistive load" takes the phase of the latest buffer
// that had an analysis and sets the delay that makes it zero. A delay that would lie outside
// -4..4 frames (no resistive load, or no line) is refused with a message.
//
// As an observer of the session it sees every buffer. GUI thread only.
class AnalysisControls : public QObject, public MeasurementObserver {
    Q_OBJECT
public:
    using Reporter = std::function<void(const QString& text)>;

    AnalysisControls(MeasurementSession& session, ProgramSettings& settings, QWidget* mainWindow);
    ~AnalysisControls() override;

    // Start-up: the delay of the configuration goes to the session.
    void applySettings();
    void showWindow();
    PowerAnalysisWindow& window() { return *window_; }
    void setReporter(Reporter reporter) { reporter_ = std::move(reporter); }

    void measured(const Measurement& m) override;

private:
    void setDelay(double frames);
    void calibrateWithResistiveLoad();

    MeasurementSession& session_;
    ProgramSettings& settings_;
    QWidget* mainWindow_;
    std::unique_ptr<PowerAnalysisWindow> window_;
    std::optional<PowerAnalysis> lastValid_;
    Reporter reporter_;
};

}  // namespace acw
