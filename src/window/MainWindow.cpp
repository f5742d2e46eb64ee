#include "window/MainWindow.h"

#include <QAction>
#include <QMessageBox>
#include <QCloseEvent>
#include <QLayout>
#include <QPointer>

#include "session/MeasurementSession.h"
#include "window/AnalysisControls.h"
#include "window/CalibrationControls.h"
#include "window/CaptureControls.h"
#include "window/EnergyControls.h"
#include "window/MenuCommands.h"
#include "window/ProgramSettings.h"
#include "window/PublishingControls.h"
#include "window/ReadoutPanel.h"
#include "window/RecordingControls.h"
#include "window/ScopePanel.h"

namespace acw {

MainWindow::MainWindow(MeasurementSession& session, QWidget* parent)
    : QMainWindow(parent), session_(session) {
    buildFace();
    scopePanel_ = std::make_unique<ScopePanel>(controls_, scopeImage_);
    readoutPanel_ = std::make_unique<ReadoutPanel>(controls_);
    captureControls_ = std::make_unique<CaptureControls>(controls_, session_, *scopePanel_, this);
    calibrationControls_ = std::make_unique<CalibrationControls>(controls_, session_, this);
    menuCommands_ = std::make_unique<MenuCommands>(controls_, *scopePanel_, this);
    programSettings_ = std::make_unique<ProgramSettings>();
    programSettings_->setReporter([this](const QString& text) {
        auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok,
                                    this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->show();
    });
    analysisControls_ = std::make_unique<AnalysisControls>(session_, *programSettings_, this);
    energyControls_ = std::make_unique<EnergyControls>(session_, *programSettings_, this);
    recordingControls_ = std::make_unique<RecordingControls>(session_, controls_.logAction,
                                                             controls_.recordAction, this);
    publishingControls_ = std::make_unique<PublishingControls>(
        session_, *programSettings_, controls_.mqttAction, controls_.mqttStatus, this);
    connect(controls_.powerAnalysisAction, &QAction::triggered, this,
            [this] { analysisControls_->showWindow(); });
    connect(controls_.energyAction, &QAction::triggered, this,
            [this] { energyControls_->showEnergyWindow(); });
    connect(controls_.trendAction, &QAction::triggered, this,
            [this] { energyControls_->showTrendWindow(); });
    // A buffer shows in this order: the readouts and lamps, then the new scope picture, then the
    // further views and outputs.
    for (MeasurementObserver* observer : observers()) session_.addObserver(*observer);
}

std::vector<MeasurementObserver*> MainWindow::observers() {
    return {readoutPanel_.get(),        scopePanel_.get(),
            calibrationControls_.get(), this,
            analysisControls_.get(),    energyControls_.get(),
            recordingControls_.get(),   publishingControls_.get()};
}

void MainWindow::applyProgramSettings() {
    programSettings_->load(session_.programConfigStore());
    analysisControls_->applySettings();
    energyControls_->applySettings();
    publishingControls_->applySettings();
}

void MainWindow::finishOutputs() {
    energyControls_->saveNow();
    recordingControls_->finishAll();
    publishingControls_->stop();
}

MainWindow::~MainWindow() {
    for (MeasurementObserver* observer : observers()) session_.removeObserver(*observer);
    // The parts are QObject children of the window or refer to its controls: they go first,
    // while the controls and the scope image still exist.
    publishingControls_.reset();
    recordingControls_.reset();
    energyControls_.reset();
    analysisControls_.reset();
    menuCommands_.reset();
    calibrationControls_.reset();
    captureControls_.reset();
    QList<QPointer<QObject>> owned;
    for (QObject* child : children()) {
        if (qobject_cast<QLayout*>(child) == nullptr) owned.append(child);
    }
    for (const QPointer<QObject>& child : owned) delete child.data();
}

void MainWindow::captureStarted() {
    activateWindow();
    setFocus(Qt::OtherFocusReason);
}

void MainWindow::setCloseHandler(std::function<void()> handler) {
    closeHandler_ = std::move(handler);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The window always closes; the handler runs the shutdown sequence first.
    if (closeHandler_) closeHandler_();
    event->accept();
}

}  // namespace acw
