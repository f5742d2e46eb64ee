// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <optional>
#include <string>

#include "measure/MeasurementObserver.h"

class QAction;
class QLabel;

namespace acw {

class MeasurementPublisher;
class MeasurementSession;
class ProgramSettings;
struct ProgramConfig;

// Publishing over MQTT from the window: "MQTT Publishing..." in the File menu opens a small
// dialog (on/off, broker, port, TLS, topic prefix, user, password, discovery prefix) whose
// settings are kept in the program's configuration; `--mqtt URL` publishes to that broker for
// this run instead. A label at the right end of the menu bar shows the connection ("MQTT:
// connected", "MQTT: broker unreachable, retrying", ...); the password is never shown.
//
// As an observer of the session it hands every buffer to the publisher, which never makes a
// buffer wait (see MqttPublisher). GUI thread only.
class PublishingControls : public QObject, public MeasurementObserver {
    Q_OBJECT
public:
    PublishingControls(MeasurementSession& session, ProgramSettings& settings, QAction* action,
                       QLabel* statusLabel, QWidget* mainWindow);
    ~PublishingControls() override;

    // `--mqtt URL`: this broker for this run, whatever the configuration says.
    void setUrlForThisRun(const std::string& url) { urlForThisRun_ = url; }
    // Start-up: publishing starts when it is on.
    void applySettings();
    // Shutdown: "offline" and a clean disconnect.
    void stop();
    // Opens the dialog; with its OK the settings are saved and publishing starts again.
    void editSettings();
    QString statusText() const;

    void measured(const Measurement& m) override;

private:
    void restart();
    void showState();

    MeasurementSession& session_;
    ProgramSettings& settings_;
    QLabel* statusLabel_;
    QWidget* mainWindow_;
    std::unique_ptr<MeasurementPublisher> publisher_;
    std::optional<std::string> urlForThisRun_;
    QString problem_;
    QTimer poll_;
};

}  // namespace acw
