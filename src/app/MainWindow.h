#pragma once

#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <cstdint>
#include <functional>
#include <memory>

class QCloseEvent;

namespace acw {

class MeasurementEngine;
class ImageSurface;
struct ScopeState;

// A label that reacts to a mouse click like a button ("START", "STOP", "EXIT").
class ClickableLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

// The scope screen: shows the persistent off-screen image of the scope surface.
class GraphBoxWidget : public QFrame {
    Q_OBJECT
public:
    GraphBoxWidget(ImageSurface& surface, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ImageSurface& surface_;
};

// The main window "AC-Wattmeter". It owns the measurement engine, the scope settings and the
// scope image, and every control of the instrument's face. Controls carry their instrument names
// as object names (`Label37`, `cmdCalV`, `List1`, `ScopeFrame`, ...; menu actions `mnuSave1`,
// `mnuExit`, `mnuSetup`, `mnuHelp`), so that the subsystems wired into the window (capture,
// calibration, settings, export, help) find them with findChild<T*>("name") and connect to their
// signals. Labels used as buttons are ClickableLabel.
//
// Everything runs on the GUI thread. The window never blocks: a buffer is processed by
// processBuffer() when the capture side has one, and control handlers run between buffers.
class TGNCounter : public QMainWindow {
    Q_OBJECT
public:
    // The face in pixels: the designed client area below the menu bar is 499 x 570; the window
    // shows only its upper 499 x 429, so the sound-card picker at its designed place and the
    // hidden surfaces lie outside the visible part.
    static constexpr int kClientWidthPx = 499;
    static constexpr int kDesignedClientHeightPx = 570;
    static constexpr int kVisibleClientHeightPx = 429;

    // Builds the window as created: every control with its designed caption and state, lamps
    // black, readouts "0.0", the picker and the hidden surfaces hidden, timers stopped, the scope
    // settings and the engine at their start values. The window has a fixed size. Nothing is
    // drawn on the scope until start-up calls RefreshScopeControls and ApplyScopeSettings.
    explicit TGNCounter(QWidget* parent = nullptr);
    // Destroys the child objects (controls and any subsystem parented to the window) first,
    // while engine(), scope() and graphBox() still exist.
    ~TGNCounter() override;

    MeasurementEngine& engine();
    ScopeState& scope();
    ImageSurface& graphBox();

    // One captured buffer (already in engine().captureBuffer): runs ProcessBuffer, writes the
    // readouts and the lamps, resets the scope image to the blank background and draws the new
    // picture, and repaints the scope at once.
    void processBuffer();
    // The second half of processBuffer(), after the engine's ProcessBuffer: the readouts, the
    // lamps and the new scope picture of the buffer just measured.
    void showMeasurement();

    // Copies the engine's lamp colours to `Label2` ("VOLTS LOCK") and `Label1` ("AMPS LOCK").
    void showLamps();

    // Draws one scope picture over the current image (graticule and traces) and repaints it.
    // Returns false when the pass ended early (the trigger search left the sample arrays).
    bool displayscope1();
    // Brings the scope controls in line with the settings (start-up, after the settings file).
    void RefreshScopeControls();
    // Checks the manual settings, clears the scope, draws the graticule and the picture.
    void ApplyScopeSettings();

    // Start-up step for the hidden surfaces: `ScopeBuff` and the blank `nullscope` take the size
    // and the black background of the scope screen's image. Call once before
    // RefreshScopeControls and ApplyScopeSettings.
    void prepareScopeSurfaces();

    // Called from the close event (close box, system menu, "Exit") before the window closes.
    // The shutdown sequence is installed here by the application shell.
    void setCloseHandler(std::function<void()> handler);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

}  // namespace acw
