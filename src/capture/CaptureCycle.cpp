#include "capture/CaptureCycle.h"

#include <span>

#include "capture/WaveInput.h"
#include "measure/CaptureLayout.h"
#include "measure/MeasurementEngine.h"

namespace acw {

CaptureCycle::CaptureCycle(WaveInput& input, MeasurementEngine& engine, CaptureHost host,
                           QObject* parent)
    : QObject(parent), input_(input), engine_(engine), host_(std::move(host)) {
    watchdog_.setSingleShot(true);
    connect(&watchdog_, &QTimer::timeout, this, &CaptureCycle::onWatchdog);
    connect(&input_, &WaveInput::bufferReady, this, &CaptureCycle::onBufferReady);
    connect(&input_, &WaveInput::deviceLost, this, &CaptureCycle::onDeviceLost);
}

CaptureCycle::~CaptureCycle() {
    if (capturing_) input_.close();
}

bool CaptureCycle::start(int deviceId) {
    // A second START while capturing would open a second device; the running capture goes on.
    if (capturing_) return true;
    waveFormat_ = WaveFormat::stereoPcm11025();
    sampleRate_ = static_cast<int>(waveFormat_.samplesPerSec);
    if (!input_.open(deviceId, waveFormat_)) {
        if (host_.reportError) {
            host_.reportError(QStringLiteral("Error"),
                              QStringLiteral("Wave input device didn't open!"));
        }
        return false;
    }
    input_.start();
    engine_.startCapture();
    if (host_.showLamps) host_.showLamps();
    capturing_ = true;
    buffersProcessed_ = 0;
    watchdog_.start(watchdogMs_);
    if (host_.takeFocus) host_.takeFocus();
    emit captureStarted();
    return true;
}

void CaptureCycle::StopCapture() {
    const bool wasCapturing = capturing_;
    input_.close();
    capturing_ = false;
    watchdog_.stop();
    engine_.stopCapture();
    if (host_.showLamps) host_.showLamps();
    if (wasCapturing) emit captureStopped();
}

void CaptureCycle::onBufferReady() {
    if (!capturing_) return;
    watchdog_.start(watchdogMs_);
    if (processScheduled_) return;
    processScheduled_ = true;
    // The buffer is measured in a later pass of the event loop, never inside the input's signal,
    // and one buffer per pass: user events queued meanwhile are handled first.
    QMetaObject::invokeMethod(this, &CaptureCycle::processNext, Qt::QueuedConnection);
}

void CaptureCycle::processNext() {
    processScheduled_ = false;
    if (!capturing_ || inBuffer_) return;
    std::span<std::int16_t, kRecordedValues> recorded(engine_.captureBuffer.data(),
                                                      kRecordedValues);
    if (!input_.takeBuffer(recorded)) return;
    inBuffer_ = true;
    if (host_.processBuffer) host_.processBuffer();
    inBuffer_ = false;
    ++buffersProcessed_;
    if (capturing_ && input_.hasBuffer()) {
        processScheduled_ = true;
        QMetaObject::invokeMethod(this, &CaptureCycle::processNext, Qt::QueuedConnection);
    }
}

void CaptureCycle::onWatchdog() {
    if (!capturing_) return;
    if (input_.hasBuffer()) {
        // The event loop was held up, not the device.
        onBufferReady();
        return;
    }
    onDeviceLost();
}

void CaptureCycle::onDeviceLost() {
    if (!capturing_) return;
    StopCapture();
    if (host_.reportError) {
        host_.reportError(QStringLiteral("Error"), QStringLiteral("Wave input device stopped!"));
    }
}

}  // namespace acw
