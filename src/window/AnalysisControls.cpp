// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/AnalysisControls.h"

#include <QMessageBox>
#include <cmath>

#include "analysis/PowerAnalysisWindow.h"
#include "session/MeasurementSession.h"
#include "window/ProgramSettings.h"

namespace acw {

AnalysisControls::AnalysisControls(MeasurementSession& session, ProgramSettings& settings,
                                   QWidget* mainWindow)
    : QObject(mainWindow),
      session_(session),
      settings_(settings),
      mainWindow_(mainWindow),
      window_(std::make_unique<PowerAnalysisWindow>()) {
    window_->setObjectName(QStringLiteral("PowerAnalysisWindow"));
    connect(window_.get(), &PowerAnalysisWindow::currentDelayEdited, this,
            &AnalysisControls::setDelay);
    connect(window_.get(), &PowerAnalysisWindow::resistiveLoadCalibrationRequested, this,
            &AnalysisControls::calibrateWithResistiveLoad);
    reporter_ = [this](const QString& text) {
        auto* box = new QMessageBox(QMessageBox::Information, window_->windowTitle(), text,
                                    QMessageBox::Ok, window_.get());
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::WindowModal);
        box->show();
    };
}

AnalysisControls::~AnalysisControls() = default;

void AnalysisControls::applySettings() {
    session_.setCurrentDelayFrames(settings_.config().currentDelayFrames);
    window_->setCurrentDelayFrames(session_.currentDelayFrames());
}

void AnalysisControls::showWindow() {
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void AnalysisControls::measured(const Measurement& m) {
    if (m.analysis == nullptr) return;
    if (m.analysis->valid) lastValid_ = *m.analysis;
    if (window_->isVisible()) window_->showAnalysis(*m.analysis);
}

void AnalysisControls::setDelay(double frames) {
    session_.setCurrentDelayFrames(frames);
    settings_.config().currentDelayFrames = session_.currentDelayFrames();
    settings_.save();
    window_->setCurrentDelayFrames(session_.currentDelayFrames());
}

void AnalysisControls::calibrateWithResistiveLoad() {
    if (!lastValid_) {
        reporter_(
            QStringLiteral("There is no analysis to calibrate against: connect a resistive "
                           "load (a heater, an incandescent lamp), press START and try "
                           "again. The delay is unchanged."));
        return;
    }
    const double frames = currentDelayForResistiveLoad(
        lastValid_->phaseDeg, lastValid_->fundamentalHz, session_.currentDelayFrames());
    if (!std::isfinite(frames) || std::fabs(frames) > kMaxCurrentDelayFrames) {
        reporter_(QStringLiteral("The phase of %1 degrees would need a delay of more than 4 "
                                 "frames: is the load resistive? The delay is unchanged.")
                      .arg(lastValid_->phaseDeg, 0, 'f', 2));
        return;
    }
    setDelay(frames);
}

}  // namespace acw
