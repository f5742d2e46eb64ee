#include "capture/CaptureCycle.h"

#include <span>

#include "capture/WaveInput.h"
#include "measure/CaptureLayout.h"
#include "measure/MeasurementEngine.h"

namespace acw {

namespace {

// "<problem>. <what to do>", or only what to do when the problem is not known.
QString withProblem(const QString& problem, const QString& whatToDo) {
    if (problem.isEmpty()) return whatToDo;
    QString first = problem;
    first[0] = first[0].toUpper();
    return first + QStringLiteral(". ") + whatToDo;
}

}  // namespace

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

bool CaptureCycle::StartCapture(int deviceId) {
    // A second START while capturing would open a second device; the running capture goes on.
    if (capturing_) return true;
    waveFormat_ = WaveFormat::stereoPcm11025();
    sampleRate_ = static_cast<int>(waveFormat_.samplesPerSec);
    if (!input_.open(deviceId, waveFormat_)) {
        if (host_.reportError) {
            host_.reportError(
                QStringLiteral("Error"), QStringLiteral("Wave input device didn't open!"),
                withProblem(input_.problem(), QStringLiteral("Check that the device is connected "
                                                             "and not held by another program, or "
                                                             "choose another one under Soundcard "
                                                             "Setup; then press START again.")));
        }
        return false;
    }
    input_.start();
    droppedAtStart_ = input_.droppedBuffers();
    engine_.StartCapture();
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
    engine_.StopCapture();
    if (host_.showLamps) host_.showLamps();
    if (wasCapturing) emit captureStopped();
}

std::uint64_t CaptureCycle::buffersDropped() const {
    return input_.droppedBuffers() - droppedAtStart_;
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
    reportStopped(QStringLiteral("No sound arrived from the device for %1 s")
                      .arg(static_cast<double>(watchdogMs_) / 1000.0));
}

void CaptureCycle::onDeviceLost() { reportStopped(input_.problem()); }

void CaptureCycle::reportStopped(const QString& problem) {
    if (!capturing_) return;
    StopCapture();
    if (host_.reportError) {
        host_.reportError(
            QStringLiteral("Error"), QStringLiteral("Wave input device stopped!"),
            withProblem(problem, QStringLiteral("The readings shown are those of the last buffer "
                                                "before the stop. Check the device or the "
                                                "recording (or restart the audio server), then "
                                                "press START again.")));
    }
}

}  // namespace acw
