#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "app/Lifecycle.h"

namespace acw {

class CaptureCycle;
class TGNCounter;
class WaveInput;
struct CommandLineOptions;

// Wires the capture cycle and the sound-card picker into the main window:
// - `Label15` "START" starts capture from device `selectedDevice`, `Label16` "STOP" stops it;
// - "Soundcard Setup" (`mnuSetup`) moves the picker `frmSoundcardPicker` to the top of the window
//   (Top 30 twips) and shows it; a click on an entry of `List1` chooses that device; "EXIT"
//   (`Label64`) names the chosen device in the caption of `ScopeFrame` ("Scope Control - " and
//   the name, for ids 0..50 only) and hides the picker.
//
// Start-up and shutdown reach it through CaptureSide: listDevices() once at start-up, then the
// selection calls; isCapturing() and StopCapture() in the shutdown sequence. `selectedDevice` is
// kept here (0 at creation; -1 means the system's default input).
//
// Error messages ("Wave input device didn't open!", "Wave input device stopped!", title "Error",
// each with advice: what went wrong and what to do) go to the reporter, by default a warning
// message box over the window with the advice as its informative text, and a line on stderr;
// tests inject their own.
// Everything runs on the GUI thread. The binding is a child of the window and dies with it.
class CaptureBinding : public QObject, public CaptureSide {
    Q_OBJECT
public:
    using ErrorReporter =
        std::function<void(const QString& title, const QString& text, const QString& advice)>;
    static constexpr int kDeviceNameEntries = 51;  // deviceNames, index 0..50

    CaptureBinding(TGNCounter& window, std::unique_ptr<WaveInput> input,
                   ErrorReporter reporter = {});
    ~CaptureBinding() override;

    // CaptureSide.
    void listDevices() override;
    bool selectListEntry(std::int32_t index) override;
    std::int32_t selectedDevice() const override { return selectedDevice_; }
    void setSelectedDevice(std::int32_t device) override { selectedDevice_ = device; }
    void showSelectedDeviceInCaption() override;
    bool isCapturing() const override;
    void StopCapture() override;

    // START, as the click on `Label15` runs it. A START while capturing is ignored.
    void start();
    // "Soundcard Setup" and "EXIT".
    void showPicker();
    void closePicker();

    const std::array<QString, kDeviceNameEntries>& deviceNames() const { return deviceNames_; }
    CaptureCycle& cycle() { return *cycle_; }
    WaveInput& input() { return *input_; }
    void setErrorReporter(ErrorReporter reporter) { reporter_ = std::move(reporter); }

private:
    void report(const QString& title, const QString& text, const QString& advice);

    TGNCounter& window_;
    std::unique_ptr<WaveInput> input_;
    std::unique_ptr<CaptureCycle> cycle_;
    ErrorReporter reporter_;
    std::array<QString, kDeviceNameEntries> deviceNames_;
    std::int32_t selectedDevice_ = 0;
};

// Creates the binding for `window` with the given input (parented to the window) and connects
// the controls. The start-up sequence then lists the devices (listDevices()).
CaptureBinding* installCapture(TGNCounter& window, std::unique_ptr<WaveInput> input,
                               CaptureBinding::ErrorReporter reporter = {});
// The same with the source chosen from the program's options: a recording (--input FILE), the
// demo adaptor (--demo), or the system's sound cards.
CaptureBinding* installCapture(TGNCounter& window, const CommandLineOptions& options);

}  // namespace acw
