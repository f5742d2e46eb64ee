// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <future>
#include <memory>
#include <vector>

#include "measure/MeasurementObserver.h"

class QAction;

namespace acw {

class InputRecording;
class MeasurementSession;
class ReadingsLog;

// "Log Readings..." and "Record Input..." in the File menu (each checked while it runs):
// - the readings log appends one CSV line per measured buffer to the file the user chose (an
//   existing log is continued); choosing the entry again stops it;
// - recording the input writes the measured frames to a WAV or FLAC file; it ends at STOP, or
//   when the entry is chosen again.
// Neither writes on the GUI thread (see ReadingsLog, InputRecording); finishing a recording waits
// for its queue on a thread of its own, so the window stays responsive. A write that fails (a
// full disk, a removed folder) stops that output with a message; what was written is kept.
//
// As an observer of the session it hands over each buffer. GUI thread only. Tests replace the
// file dialog and the message.
class RecordingControls : public QObject, public MeasurementObserver {
    Q_OBJECT
public:
    // The file dialog: (title, filter, accept an existing file without asking) -> path or "".
    using FileChooser = std::function<QString(const QString&, const QString&, bool)>;
    using Reporter = std::function<void(const QString& text)>;

    RecordingControls(MeasurementSession& session, QAction* logAction, QAction* recordAction,
                      QWidget* mainWindow);
    ~RecordingControls() override;

    void toggleLog();
    void toggleRecording();
    // Shutdown: both outputs finished, waiting for the disk.
    void finishAll();
    bool logging() const;
    bool recording() const;

    void setFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }
    void setReporter(Reporter reporter) { reporter_ = std::move(reporter); }

    void measured(const Measurement& m) override;
    void captureStopped() override;

private:
    template <typename Output>
    void startOutput(std::unique_ptr<Output>& output, QAction* action, const QString& title,
                     const QString& filter, bool appendToExisting);
    template <typename Output>
    void stopOutput(std::unique_ptr<Output>& output, QAction* action);
    void stopLog();
    void stopRecording();
    void checkFailures();

    MeasurementSession& session_;
    QAction* logAction_;
    QAction* recordAction_;
    std::unique_ptr<ReadingsLog> log_;
    std::unique_ptr<InputRecording> recording_;
    std::vector<std::future<void>> finishing_;
    FileChooser chooser_;
    Reporter reporter_;
};

}  // namespace acw
