// SPDX-License-Identifier: GPL-3.0-or-later
#include "BenchInstrument.h"

#include <QEventLoop>
#include <QTimer>
#include <cstdio>

#include "app/Lifecycle.h"
#include "capture/WaveInput.h"
#include "session/MeasurementSession.h"
#include "settings/ProgramConfig.h"
#include "settings/SettingsStore.h"
#include "window/CaptureControls.h"
#include "window/MainWindow.h"

namespace acw::bench {

BenchInstrument::BenchInstrument(std::unique_ptr<WaveInput> input)
    : session_(std::make_unique<MeasurementSession>(std::move(input))) {
    session_->setSettingsStore(
        SettingsStore(QString::fromStdString(folder_.file(SettingsStore::kFileName))));
    session_->setProgramConfigStore(ProgramConfigStore(QString()));
}

BenchInstrument::~BenchInstrument() {
    if (session_->isCapturing()) session_->stopCapture();
    lifecycle_.reset();
    window_.reset();
    session_.reset();
}

void BenchInstrument::openWindow() {
    window_ = std::make_unique<MainWindow>(*session_);
    window_->captureControls().setErrorReporter(
        [this](const QString&, const QString& text, const QString& advice) {
            report(text, advice);
        });
    Lifecycle::Hooks hooks;
    hooks.reportSaveFailure = [this](const QString& path, const QString& reason) {
        report(QStringLiteral("could not save the settings to ") + path, reason);
        return false;
    };
    hooks.reportLoadFailure = [this](const QString& path, const QString& reason) {
        report(QStringLiteral("could not read the settings from ") + path, reason);
    };
    hooks.endProgram = [] {};
    lifecycle_ = std::make_unique<Lifecycle>(*window_, std::move(hooks));
    lifecycle_->startUp();
    window_->show();
}

void BenchInstrument::runEventLoop(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

void BenchInstrument::report(const QString& text, const QString& advice) {
    ++errors_;
    std::fprintf(stderr, "bench: %s: %s\n", text.toLocal8Bit().constData(),
                 advice.toLocal8Bit().constData());
}

}  // namespace acw::bench
