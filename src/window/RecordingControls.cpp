// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/RecordingControls.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

#include "record/MeasurementLog.h"
#include "session/MeasurementSession.h"

namespace acw {

RecordingControls::RecordingControls(MeasurementSession& session, QAction* logAction,
                                     QAction* recordAction, QWidget* mainWindow)
    : QObject(mainWindow), session_(session), logAction_(logAction), recordAction_(recordAction) {
    logAction_->setCheckable(true);
    recordAction_->setCheckable(true);
    connect(logAction_, &QAction::triggered, this, &RecordingControls::toggleLog);
    connect(recordAction_, &QAction::triggered, this, &RecordingControls::toggleRecording);
    chooser_ = [mainWindow](const QString& title, const QString& filter, bool appendToExisting) {
        return QFileDialog::getSaveFileName(
            mainWindow, title, QString(), filter, nullptr,
            appendToExisting ? QFileDialog::DontConfirmOverwrite : QFileDialog::Options());
    };
    reporter_ = [mainWindow](const QString& text) {
        auto* box = new QMessageBox(QMessageBox::Warning, mainWindow->windowTitle(), text,
                                    QMessageBox::Ok, mainWindow);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->show();
    };
}

RecordingControls::~RecordingControls() { finishAll(); }

bool RecordingControls::logging() const { return log_ != nullptr; }
bool RecordingControls::recording() const { return recording_ != nullptr; }

void RecordingControls::toggleLog() {
    if (log_) {
        stopLog();
        return;
    }
    logAction_->setChecked(false);
    const QString path = chooser_(QStringLiteral("Log Readings"),
                                  QStringLiteral("CSV files (*.csv);;All Files (*)"), true);
    if (path.isEmpty()) return;
    auto log = std::make_unique<ReadingsLog>();
    const std::string error = log->open(QFile::encodeName(path).toStdString());
    if (!error.empty()) {
        reporter_(QString::fromStdString(error));
        return;
    }
    log_ = std::move(log);
    session_.addObserver(*log_);
    logAction_->setChecked(true);
}

void RecordingControls::toggleRecording() {
    if (recording_) {
        stopRecording();
        return;
    }
    recordAction_->setChecked(false);
    const QString path = chooser_(QStringLiteral("Record Input"),
                                  QStringLiteral("Recordings (*.wav *.flac)"), false);
    if (path.isEmpty()) return;
    auto recording = std::make_unique<InputRecording>();
    const std::string error = recording->open(QFile::encodeName(path).toStdString());
    if (!error.empty()) {
        reporter_(QString::fromStdString(error));
        return;
    }
    recording_ = std::move(recording);
    session_.addObserver(*recording_);
    recordAction_->setChecked(true);
}

void RecordingControls::stopLog() {
    if (!log_) return;
    session_.removeObserver(*log_);
    std::shared_ptr<ReadingsLog> log(std::move(log_));
    finishing_.push_back(std::async(std::launch::async, [log] { log->close(); }));
    logAction_->setChecked(false);
}

void RecordingControls::stopRecording() {
    if (!recording_) return;
    session_.removeObserver(*recording_);
    // The file is finished (the queue written, the header completed) away from the GUI thread.
    std::shared_ptr<InputRecording> recording(std::move(recording_));
    finishing_.push_back(std::async(std::launch::async, [recording] { recording->close(); }));
    recordAction_->setChecked(false);
}

void RecordingControls::checkFailures() {
    if (log_) {
        if (const std::optional<std::string> failure = log_->takeFailure()) {
            stopLog();
            reporter_(QString::fromStdString(*failure) +
                      QStringLiteral(". The lines written before are kept."));
        }
    }
    if (recording_) {
        if (const std::optional<std::string> failure = recording_->takeFailure()) {
            stopRecording();
            reporter_(QString::fromStdString(*failure) +
                      QStringLiteral(". The recording holds what was written before."));
        }
    }
    std::erase_if(finishing_, [](std::future<void>& f) {
        return f.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    });
}

void RecordingControls::measured(const Measurement&) { checkFailures(); }

void RecordingControls::captureStopped() {
    checkFailures();
    stopRecording();
}

void RecordingControls::finishAll() {
    stopLog();
    stopRecording();
    for (std::future<void>& f : finishing_) f.wait();
    finishing_.clear();
}

}  // namespace acw
