#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>

#include "capture/WaveFormat.h"

namespace acw {

class MeasurementEngine;
class WaveInput;

// What the capture cycle needs of the window around it. All calls come on the GUI thread from
// the event loop, never from inside one another.
struct CaptureHost {
    // The buffer is in engine.captureBuffer: measure it and show what was measured.
    std::function<void()> processBuffer;
    // The engine's lamps changed (START turned them red, STOP off): show them.
    std::function<void()> showLamps;
    // Show a modal error message and return when it is closed: `text` is the instrument's fixed
    // message, `advice` (a second line, the informative text of a message box) says what went
    // wrong in detail and what the user can do.
    std::function<void(const QString& title, const QString& text, const QString& advice)>
        reportError;
    // Give the main window the keyboard focus (capture start).
    std::function<void()> takeFocus;
};

// The capture cycle between START and STOP, event driven on the GUI thread.
//
// START (StartCapture()) fills waveFormat, opens the device `deviceId` of the input and, on
// success, starts it, resets the engine's moving averages, turns both lamps red and begins
// capturing; a failed open shows "Wave input device didn't open!" (title "Error") and changes
// nothing else. A START while capturing is ignored.
//
// While capturing, each complete buffer is copied into values 0..8191 of engine.captureBuffer
// (values 8192 and above are never written) and host.processBuffer() runs. At most one buffer is
// handled per pass of the event loop, so user events are handled between any two buffers, and
// nothing is handled while a buffer is processed. A buffer is taken only after the previous one
// has been measured and drawn; when processing falls behind, the newest buffer is taken.
//
// StopCapture() (STOP, and the shutdown sequence) closes the device, turns the lamps black and
// leaves the readouts with the last buffer's results; pending buffers are discarded. While idle
// it only turns the lamps black.
//
// When the device stops delivering while capturing (a stream error or loss reported by the
// input, or no complete buffer for `watchdogMs`, 3 s by default), the cycle stops as STOP would
// and then reports "Wave input device stopped!" (title "Error"). Both messages carry advice: the
// input's problem() (or the silence of the watchdog) and what to do next.
//
// The input, the engine and the host outlive the cycle.
class CaptureCycle : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultWatchdogMs = 3000;

    CaptureCycle(WaveInput& input, MeasurementEngine& engine, CaptureHost host,
                 QObject* parent = nullptr);
    ~CaptureCycle() override;

    // START with the device id chosen in the picker (-1 = the system's default input). Returns
    // true when capture runs afterwards (also when it was running already).
    bool StartCapture(int deviceId);
    // STOP.
    void StopCapture();
    bool isCapturing() const { return capturing_; }

    // The format record that START fills and the device open uses.
    const WaveFormat& waveFormat() const { return waveFormat_; }
    int sampleRate() const { return sampleRate_; }

    void setWatchdogMs(int ms) { watchdogMs_ = ms; }
    int watchdogMs() const { return watchdogMs_; }

    // Buffers measured since the last START.
    long long buffersProcessed() const { return buffersProcessed_; }
    // Buffers the input dropped since the last START because measuring fell behind.
    std::uint64_t buffersDropped() const;

signals:
    void captureStarted();
    void captureStopped();

private:
    void onBufferReady();
    void processNext();
    void onWatchdog();
    void onDeviceLost();
    void reportStopped(const QString& problem);

    WaveInput& input_;
    MeasurementEngine& engine_;
    CaptureHost host_;
    WaveFormat waveFormat_;
    int sampleRate_ = 11025;
    bool capturing_ = false;
    bool processScheduled_ = false;
    bool inBuffer_ = false;
    int watchdogMs_ = kDefaultWatchdogMs;
    QTimer watchdog_;
    long long buffersProcessed_ = 0;
    std::uint64_t droppedAtStart_ = 0;
};

}  // namespace acw
