#include "app/Lifecycle.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QMessageBox>
#include <cstdio>
#include <utility>

#include "app/MainWindow.h"
#include "app/WindowMain.h"
#include "measure/CaptureLayout.h"
#include "measure/MeasurementEngine.h"
#include "scope/ScopeState.h"

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

void reportOnStderrAndInABox(QWidget& parent, const QString& path, const QString& reason) {
    const QString text = QStringLiteral("The settings could not be saved to %1: %2")
                             .arg(QDir::toNativeSeparators(path), reason);
    std::fprintf(stderr, "ac-wattmeter: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
    QMessageBox::warning(&parent, QStringLiteral("Error"), text);
}

}  // namespace

Lifecycle::Lifecycle(TGNCounter& window, CaptureSide& capture, SettingsStore store, Hooks hooks,
                     QObject* parent)
    : QObject(parent),
      window_(window),
      capture_(capture),
      store_(std::move(store)),
      hooks_(std::move(hooks)) {
    if (!hooks_.endProgram) hooks_.endProgram = [] { QCoreApplication::exit(0); };
    if (!hooks_.reportSaveFailure) {
        hooks_.reportSaveFailure = [this](const QString& path, const QString& reason) {
            reportOnStderrAndInABox(window_, path, reason);
        };
    }
}

Lifecycle::Lifecycle(TGNCounter& window, CaptureSide& capture, SettingsStore store, QObject* parent)
    : Lifecycle(window, capture, std::move(store), Hooks{}, parent) {}

Lifecycle::~Lifecycle() { window_.setCloseHandler({}); }

void Lifecycle::startUp() {
    window_.setCloseHandler([this] { shutdown(Origin::CloseEvent); });
    if (auto* mnuExit = window_.findChild<QAction*>(QStringLiteral("mnuExit"))) {
        connect(mnuExit, &QAction::triggered, this, &Lifecycle::exit);
    }

    MeasurementEngine& engine = window_.engine();
    // The window's fixed size is set when it is built.
    runStep([&] { setFixedParameters(window_); });
    runStep([&] {
        engine.label2Colour = kLampBlack;
        window_.showLamps();
    });
    runStep([&] { capture_.listDevices(); });
    // `selectedDevice` still holds 0 here: the first entry, when there is one.
    runStep([&] {
        if (capture_.selectedDevice() >= 0) capture_.selectListEntry(capture_.selectedDevice());
    });
    // The FFT's bit-reversal table and the weighting table were built with the engine.
    runStep([&] { LoadSettings(); });
    runStep([&] {
        const std::int32_t device = capture_.selectedDevice();
        if (device < 0) return;
        // An id that names no entry keeps the earlier selection but still sets the caption.
        capture_.selectListEntry(device);
        capture_.showSelectedDeviceInCaption();
    });
    // The hidden surfaces take the scope screen's size and background; the scope screen's
    // coordinate system is fixed in its image surface.
    runStep([&] { window_.prepareScopeSurfaces(); });
    runStep([&] { window_.RefreshScopeControls(); });
    runStep([&] { window_.ApplyScopeSettings(); });
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
        const auto* lockCheck = window_.findChild<QCheckBox*>(QStringLiteral("LockCheck"));
        if (lockCheck != nullptr) window_.scope().lockGains = lockCheck->isChecked() ? 1 : 0;
    });
    runStep([&] {
        QString reason;
        if (SaveSettings(&reason) || failureReported_) return;
        failureReported_ = true;
        hooks_.reportSaveFailure(store_.path(), reason);
    });

    bool capturing = false;
    runStep([&] { capturing = capture_.isCapturing(); });
    if (capturing) {
        runStep([&] { capture_.StopCapture(); });
        programEnded_ = true;
        runStep([&] { hooks_.endProgram(); });
    } else {
        runStep([&] {
            if (hooks_.closeHelpWindow) hooks_.closeHelpWindow();
        });
        // A close event is closing the window already; "Exit" closes it here.
        if (origin == Origin::ExitCommand) runStep([&] { window_.close(); });
    }

    closingFromEvent_ = wasClosingFromEvent;
    --shutdownDepth_;
}

void Lifecycle::LoadSettings() {
    SettingsValues values = currentSettings();
    if (store_.load(values)) applySettings(values);
}

bool Lifecycle::SaveSettings(QString* reason) { return store_.save(currentSettings(), reason); }

SettingsValues Lifecycle::currentSettings() const {
    const ScopeState& scope = window_.scope();
    const MeasurementEngine& engine = window_.engine();
    SettingsValues values;
    values.selectedDevice = capture_.selectedDevice();
    values.scopeMode = scope.scopeMode;
    values.lockGains = scope.lockGains;
    values.splitTrace = scope.splitTrace;
    values.manualScale = scope.manualScale;
    values.gainL = scope.gainL;
    values.gainR = scope.gainR;
    values.timeBase = scope.timeBase;
    values.voltsCal = engine.voltsCal;
    values.ampsCal = engine.ampsCal;
    return values;
}

void Lifecycle::applySettings(const SettingsValues& values) {
    ScopeState& scope = window_.scope();
    MeasurementEngine& engine = window_.engine();
    capture_.setSelectedDevice(values.selectedDevice);
    scope.scopeMode = values.scopeMode;
    scope.lockGains = values.lockGains;
    scope.splitTrace = values.splitTrace;
    scope.manualScale = values.manualScale;
    scope.gainL = values.gainL;
    scope.gainR = values.gainR;
    scope.timeBase = values.timeBase;
    engine.voltsCal = values.voltsCal;
    engine.ampsCal = values.ampsCal;
}

}  // namespace acw
