#include "app/Lifecycle.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QMessageBox>
#include <utility>

#include "session/MeasurementSession.h"
#include "window/CaptureControls.h"
#include "window/MainWindow.h"
#include "window/MenuCommands.h"
#include "window/ReadoutPanel.h"
#include "window/ScopePanel.h"

namespace acw {
namespace {

// Start-up and shutdown run step by step: a step that fails is skipped and the next one runs.
template <class Step>
void runStep(Step&& step) noexcept {
    try {
        step();
    } catch (...) {
    }
}

// A line on stderr (both parts) and a warning box with the advice as its informative text.
QMessageBox::StandardButton reportOnStderrAndInABox(QWidget& parent, const UserMessage& message,
                                                    QMessageBox::StandardButtons buttons) {
    MeasurementSession::writeToStderr(message.text, message.advice);
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Error"), message.text, buttons, &parent);
    box.setInformativeText(message.advice);
    // Escape means "go on without": Ignore where it is offered.
    if (buttons.testFlag(QMessageBox::Ignore)) box.setEscapeButton(QMessageBox::Ignore);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

bool isFolderInPlace(const QString& reason) {
    return reason.contains(QStringLiteral("is a folder"));
}

}  // namespace

UserMessage settingsSaveFailureMessage(const QString& path, const QString& reason) {
    UserMessage m;
    m.text = QStringLiteral("Could not save the settings to %1: %2.")
                 .arg(QDir::toNativeSeparators(path), reason);
    QString fix = QStringLiteral(
        "Check that the folder (and the file, if it was made read-only) is writable and that the "
        "disk is not full");
    if (isFolderInPlace(reason)) {
        fix = QStringLiteral("Rename or remove that folder");
    } else if (reason.contains(QStringLiteral("a file is in the way"))) {
        fix = QStringLiteral("Rename or remove that file, or save the settings elsewhere");
    } else if (reason.contains(QStringLiteral("cannot be created"))) {
        fix = QStringLiteral("Create that folder, or make the folder above it writable");
    }
    m.advice = fix + QStringLiteral(
                         ", then choose Retry. Ignore closes without saving: the settings and the "
                         "calibration of this session are then lost; the file on disk stays as "
                         "it was.");
    return m;
}

UserMessage settingsLoadFailureMessage(const QString& path, const QString& reason) {
    UserMessage m;
    m.text = QStringLiteral("Could not read the settings from %1: %2.")
                 .arg(QDir::toNativeSeparators(path), reason);
    const QString fix = isFolderInPlace(reason) ? QStringLiteral("Rename or remove that folder")
                                                : QStringLiteral("Check that the file is readable");
    m.advice =
        QStringLiteral("The instrument starts with its default settings and a calibration of 1. ") +
        fix + QStringLiteral(" and restart to use the saved calibration.");
    return m;
}

Lifecycle::Lifecycle(MainWindow& window, Hooks hooks, QObject* parent)
    : QObject(parent), window_(window), hooks_(std::move(hooks)) {
    if (!hooks_.endProgram) hooks_.endProgram = [] { QCoreApplication::exit(0); };
    if (!hooks_.reportSaveFailure) {
        hooks_.reportSaveFailure = [this](const QString& path, const QString& reason) {
            return reportOnStderrAndInABox(window_, settingsSaveFailureMessage(path, reason),
                                           QMessageBox::Retry | QMessageBox::Ignore) ==
                   QMessageBox::Retry;
        };
    }
    if (!hooks_.reportLoadFailure) {
        hooks_.reportLoadFailure = [this](const QString& path, const QString& reason) {
            reportOnStderrAndInABox(window_, settingsLoadFailureMessage(path, reason),
                                    QMessageBox::Ok);
        };
    }
}

Lifecycle::~Lifecycle() { window_.setCloseHandler({}); }

const SettingsStore& Lifecycle::store() const { return window_.session().settingsStore(); }

void Lifecycle::startUp() {
    window_.setCloseHandler([this] { shutdown(Origin::CloseEvent); });
    connect(window_.controls().exitAction, &QAction::triggered, this, &Lifecycle::exit);

    CaptureControls& capture = window_.captureControls();
    MeasurementSession& session = window_.session();
    ScopePanel& scope = window_.scopePanel();
    // The window's fixed size is set when it is built; the engine's parameters with the session.
    runStep([&] { scope.setFixedParameters(); });
    runStep([&] { window_.readoutPanel().showLamps(Lamp::Off, Lamp::Off); });
    runStep([&] { capture.listDevices(); });
    // The chosen device is still 0 here: the first entry, when there is one.
    runStep([&] {
        if (session.selectedDevice() >= 0) capture.selectListEntry(session.selectedDevice());
    });
    // The FFT's bit-reversal table and the weighting table were built with the engine.
    runStep([&] { LoadSettings(); });
    runStep([&] {
        const int device = session.selectedDevice();
        if (device < 0) return;
        // An id that names no entry keeps the earlier selection but still sets the caption.
        capture.selectListEntry(device);
        capture.showSelectedDeviceInCaption();
    });
    // The hidden surfaces take the scope screen's size and background; the scope screen's
    // coordinate system is fixed in its image surface.
    runStep([&] { scope.prepareScopeSurfaces(); });
    runStep([&] { scope.RefreshScopeControls(); });
    runStep([&] { scope.ApplyScopeSettings(); });
    // The program's own settings, apart from the ten-line file: the analysis's channel delay,
    // the energy totals and tariff, MQTT publishing.
    runStep([&] { window_.applyProgramSettings(); });
}

void Lifecycle::exit() { shutdown(Origin::ExitCommand); }

void Lifecycle::shutdown(Origin origin) {
    // Once the program has been ended (a close during capture), a close only closes.
    if (programEnded_) return;
    // "Exit" does not nest in a running shutdown; a close event nests once, in "Exit".
    if (origin == Origin::ExitCommand ? shutdownDepth_ > 0 : closingFromEvent_) return;

    if (shutdownDepth_ == 0) failureReported_ = false;
    ++shutdownDepth_;
    const bool wasClosingFromEvent = closingFromEvent_;
    if (origin == Origin::CloseEvent) closingFromEvent_ = true;

    runStep([&] {
        window_.scopePanel().state().lockGains =
            window_.controls().lockGainsCheck->isChecked() ? 1 : 0;
    });
    runStep([&] {
        // Until written, or until the user chooses to go on without saving.
        QString reason;
        while (!SaveSettings(&reason) && !failureReported_) {
            if (!hooks_.reportSaveFailure(store().path(), reason)) failureReported_ = true;
        }
    });

    // The energy totals, the log, the recording and the publisher are finished before anything
    // can end the program.
    runStep([&] { window_.finishOutputs(); });

    bool capturing = false;
    runStep([&] { capturing = window_.session().isCapturing(); });
    if (capturing) {
        runStep([&] { window_.session().stopCapture(); });
        programEnded_ = true;
        runStep([&] { hooks_.endProgram(); });
    } else {
        runStep([&] {
            if (hooks_.closeHelpWindow)
                hooks_.closeHelpWindow();
            else
                window_.menuCommands().closeHelpWindow();
        });
        // A close event is closing the window already; "Exit" closes it here.
        if (origin == Origin::ExitCommand) runStep([&] { window_.close(); });
    }

    closingFromEvent_ = wasClosingFromEvent;
    --shutdownDepth_;
}

void Lifecycle::LoadSettings() {
    SettingsValues values = currentSettings();
    QString reason;
    if (store().load(values, &reason)) {
        applySettings(values);
    } else if (!reason.isEmpty() && hooks_.reportLoadFailure) {
        hooks_.reportLoadFailure(store().path(), reason);
    }
}

bool Lifecycle::SaveSettings(QString* reason) { return store().save(currentSettings(), reason); }

SettingsValues Lifecycle::currentSettings() const {
    const ScopeState& scope = window_.scopePanel().state();
    const MeasurementSession& session = window_.session();
    SettingsValues values;
    values.selectedDevice = session.selectedDevice();
    values.scopeMode = scope.scopeMode;
    values.lockGains = scope.lockGains;
    values.splitTrace = scope.splitTrace;
    values.manualScale = scope.manualScale;
    values.gainL = scope.gainL;
    values.gainR = scope.gainR;
    values.timeBase = scope.timeBase;
    values.voltsCal = session.voltsCal();
    values.ampsCal = session.ampsCal();
    return values;
}

void Lifecycle::applySettings(const SettingsValues& values) {
    ScopeState& scope = window_.scopePanel().state();
    MeasurementSession& session = window_.session();
    session.setSelectedDevice(values.selectedDevice);
    scope.scopeMode = values.scopeMode;
    scope.lockGains = values.lockGains;
    scope.splitTrace = values.splitTrace;
    scope.manualScale = values.manualScale;
    scope.gainL = values.gainL;
    scope.gainR = values.gainR;
    scope.timeBase = values.timeBase;
    // A divisor of 0 becomes 1.0.
    session.setVoltsCal(values.voltsCal);
    session.setAmpsCal(values.ampsCal);
}

}  // namespace acw
