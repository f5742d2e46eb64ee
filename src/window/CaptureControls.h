#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>

namespace acw {

class MeasurementSession;
class ScopePanel;
struct MainWindowControls;

// START, STOP and the sound-card picker of the main window:
// - "START" starts capture from the chosen device, "STOP" stops it;
// - "Soundcard Setup" moves the picker `frmSoundcardPicker` to the top of the window (Top 30
//   twips) and shows it; a click on an entry of its list chooses that device; "EXIT" names the
//   chosen device in the caption of the scope frame ("Scope Control - " and the name, for ids
//   0..50 only) and hides the picker.
// The chosen device is the session's selectedDevice (-1 means the system's default input).
//
// Capture errors ("Wave input device didn't open!", "Wave input device stopped!", title "Error",
// each with advice: what went wrong and what to do) go to the error reporter: by default a line
// on stderr and a warning box over the window, with the advice as its informative text, that
// stays on screen until the user dismisses it; tests set their own.
// Everything runs on the GUI thread; the controls, the session and the scope outlive this object.
class CaptureControls : public QObject {
    Q_OBJECT
public:
    using ErrorReporter =
        std::function<void(const QString& title, const QString& text, const QString& advice)>;
    static constexpr int kDeviceNameEntries = 51;  // names kept for the caption, ids 0..50

    CaptureControls(const MainWindowControls& controls, MeasurementSession& session,
                    ScopePanel& scope, QWidget* window);

    // Lists the source's input devices into the picker's list, device i as entry i. Called once,
    // at start-up.
    void listDevices();
    // Selects entry `index` of the list as a click on it would, so that the session's device
    // becomes `index`. Returns false and changes nothing when the list has no such entry.
    bool selectListEntry(std::int32_t index);
    // Sets the frame caption to "Scope Control - " and the chosen device's name (nothing after
    // the dash for an id of 0..50 that names no device); leaves it unchanged for other ids.
    void showSelectedDeviceInCaption();

    void startCapture();
    void stopCapture();
    void showPicker();
    void closePicker();

    const std::array<QString, kDeviceNameEntries>& deviceNames() const { return deviceNames_; }
    void setErrorReporter(ErrorReporter reporter) { reporter_ = std::move(reporter); }

private:
    void report(const QString& title, const QString& text, const QString& advice);

    const MainWindowControls& controls_;
    MeasurementSession& session_;
    ScopePanel& scope_;
    QWidget* window_;
    ErrorReporter reporter_;
    std::array<QString, kDeviceNameEntries> deviceNames_;
};

}  // namespace acw
