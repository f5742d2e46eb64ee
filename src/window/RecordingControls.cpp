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

// Chooses the file and opens the output there; it then follows the session, checked in the menu.
template <typename Output>
void RecordingControls::startOutput(std::unique_ptr<Output>& output, QAction* action,
                                    const QString& title, const QString& filter,
                                    bool appendToExisting) {
    action->setChecked(false);
    const QString path = chooser_(title, filter, appendToExisting);
    if (path.isEmpty()) return;
    auto opened = std::make_unique<Output>();
    const std::string error = opened->open(QFile::encodeName(path).toStdString());
    if (!error.empty()) {
        reporter_(QString::fromStdString(error));
        return;
    }
    output = std::move(opened);
    session_.addObserver(*output);
    action->setChecked(true);
}

// Leaves the session and finishes the file (the queue written, a recording's header completed)
// away from the GUI thread.
template <typename Output>
void RecordingControls::stopOutput(std::unique_ptr<Output>& output, QAction* action) {
    if (!output) return;
    session_.removeObserver(*output);
    std::shared_ptr<Output> finishing(std::move(output));
    finishing_.push_back(std::async(std::launch::async, [finishing] { finishing->close(); }));
    action->setChecked(false);
}

void RecordingControls::toggleLog() {
    if (log_) return stopLog();
    startOutput(log_, logAction_, QStringLiteral("Log Readings"),
                QStringLiteral("CSV files (*.csv);;All Files (*)"), true);
}

void RecordingControls::toggleRecording() {
    if (recording_) return stopRecording();
    startOutput(recording_, recordAction_, QStringLiteral("Record Input"),
                QStringLiteral("Recordings (*.wav *.flac)"), false);
}

void RecordingControls::stopLog() { stopOutput(log_, logAction_); }

void RecordingControls::stopRecording() { stopOutput(recording_, recordAction_); }

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
