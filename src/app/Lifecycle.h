#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

#include "settings/SettingsFile.h"
#include "settings/SettingsStore.h"

namespace acw {

class MainWindow;

// A message for the user: `text` names what failed and why, `advice` says what to do (a second
// line on stderr, the informative text of a message box).
struct UserMessage {
    QString text;
    QString advice;
};
// "Could not save the settings to FILE: REASON." and what the user can do about it.
UserMessage settingsSaveFailureMessage(const QString& path, const QString& reason);
// "Could not read the settings from FILE: REASON." and what happens and what to do.
UserMessage settingsLoadFailureMessage(const QString& path, const QString& reason);

// Start-up and shutdown of the main window, and the settings file between them.
//
// Order of calls: construct, then startUp() once before the window is first shown. startUp()
// installs the shutdown sequence as the window's close handler and connects "Exit" to it. The
// window (with its session, whose settings store is the file used) must outlive this object.
//
// Shutdown (the close box, the system menu, "Exit"): `lockGains` from `LockCheck`, the settings
// written, the window's outputs finished (energy totals saved, log and recording closed, the
// publisher stopped), then either a running capture stopped and the program ended at once, or the help
// window closed and the main window closed. "Exit" closes the main window at its end, whose
// close event runs the sequence a second time: the file is written twice with the same content.
// Nothing loops and a capture is never stopped twice; once the program has been ended, further
// close events only close.
class Lifecycle : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        // Shutdown: closes the help window if it is open. Default: the window's help window.
        std::function<void()> closeHelpWindow;
        // Shutdown during capture: ends the program at once. Default: leave the event loop with
        // exit code 0 (QCoreApplication::exit), without closing any further window.
        std::function<void()> endProgram;
        // A settings file that could not be written at shutdown. Returns true when the user
        // asks to try again (the file is then written anew, and reported again if it still
        // fails), false to go on without saving. Default: a line on stderr and a warning box
        // (title "Error") naming the file, the reason and what to do (settingsSaveFailureMessage),
        // with the buttons Retry and Ignore. Once the user has chosen to go on, a later write in
        // the same shutdown ("Exit" writes twice) fails silently; shutdown goes on afterwards.
        std::function<bool(const QString& path, const QString& reason)> reportSaveFailure;
        // A settings file that exists but could not be read at start-up (a folder in its place,
        // no permission); a missing file is a first start and is not reported. Start-up goes on
        // with the start-up values. Default: a line on stderr and a warning box (title "Error")
        // with settingsLoadFailureMessage.
        std::function<void(const QString& path, const QString& reason)> reportLoadFailure;
    };

    explicit Lifecycle(MainWindow& window, Hooks hooks = {}, QObject* parent = nullptr);
    // Removes the close handler from the window (which must still exist).
    ~Lifecycle() override;

    // The start-up sequence, in its order; a step that fails is skipped and the next one runs:
    // fixed parameters; the "VOLTS LOCK" lamp off; device list and first selection; settings file;
    // selection of the saved device and the frame caption; hidden scope surfaces;
    // RefreshScopeControls; ApplyScopeSettings (the first, empty scope picture); the program's own
    // settings (MainWindow::applyProgramSettings). The FFT tables and the weighting table were
    // built with the measurement engine.
    void startUp();

    // "Exit": the shutdown sequence, ended by closing the main window.
    void exit();

    // The settings file: LoadSettings reads it into the window's state (values the file does not
    // hold keep theirs; no validation: start-up validates afterwards) and reports a file that
    // exists but cannot be read; SaveSettings writes the state. SaveSettings returns false with
    // the reason when the file could not be written (the file on disk is then unchanged).
    void LoadSettings();
    bool SaveSettings(QString* reason = nullptr);

    // The ten saved values as the window holds them now, and the reverse.
    SettingsValues currentSettings() const;
    void applySettings(const SettingsValues& values);

    const SettingsStore& store() const;

private:
    enum class Origin { ExitCommand, CloseEvent };
    void shutdown(Origin origin);

    MainWindow& window_;
    Hooks hooks_;
    int shutdownDepth_ = 0;          // shutdown sequences running (2 while "Exit" closes)
    bool closingFromEvent_ = false;  // a close event's sequence is running
    bool failureReported_ = false;   // within the current shutdown
    bool programEnded_ = false;
};

}  // namespace acw
