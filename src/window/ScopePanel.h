#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "measure/CaptureLayout.h"
#include "measure/MeasurementObserver.h"
#include "scope/ScopeState.h"
#include "scope/ScopeView.h"

namespace acw {

class ImageSurface;
struct MainWindowControls;

// The oscilloscope of the main window: the scope settings and working values, the scope's image
// (shown by the scope screen `GraphBox`) and the controls of the "Scope Control" frame (channel
// mode, automatic or manual scaling, gains, time base, split trace, gain lock, trigger lock).
//
// As an observer of the session it keeps its own copy of each buffer's two channels and
// frequencies and draws the new picture on the blank background. The controls change the
// settings between buffers; the gain and time-base buttons redraw at once, the others take
// effect with the next picture. The picture stays on the screen when capture stops and is
// redrawn from the last buffer's samples.
//
// Everything runs on the GUI thread. Made by the main window once its face is built; the
// controls and the image outlive the panel.
class ScopePanel : public MeasurementObserver, private ScopeView {
public:
    ScopePanel(const MainWindowControls& controls, ImageSurface& image);

    ScopeState& state() { return state_; }
    ImageSurface& image() { return image_; }

    // The fixed parameters of start-up: channel mode L and R, trigger lock on, 11025 frames/s,
    // 16384 values per buffer.
    void setFixedParameters();
    // Start-up step: the hidden surfaces `ScopeBuff` and the blank `nullscope` take the size and
    // the black background of the scope's image.
    void prepareScopeSurfaces();
    // Brings the controls in line with the settings (start-up, after the settings file): labels,
    // gains and time base checked (outside 1..1024 and 1..256 they become 32), the split and
    // gain-lock boxes, the scaling mode.
    void RefreshScopeControls();
    // Checks the manual settings, clears the scope, draws the graticule and the picture.
    void ApplyScopeSettings();
    // Draws one scope picture over the current image (graticule and traces) and repaints the
    // screen. Returns false when the pass ended early (the trigger search left the samples).
    bool displayscope1();

    // MeasurementObserver.
    void measured(const Measurement& m) override;

private:
    void connectControls();
    void setTimeBaseText(const std::string& text) override;
    void fitCaption();
    void resetScopeToBlank();
    void nextChannelMode();
    void toggleScaling();
    void showScalingMode();
    void checkManualSettings();
    void writeGainReadouts();
    void changeGain(bool right, bool up);
    void changeTimeBase(bool longer);
    void toggleSplitTrace();
    void toggleGainLock();
    void toggleTriggerLock();

    const MainWindowControls& controls_;
    ImageSurface& image_;
    ScopeState state_;
    std::array<std::int32_t, kCaptureBufferValues> leftSamples_{};
    std::array<std::int32_t, kCaptureBufferValues> rightSamples_{};
    double leftFrequency_ = 0.0;
    double rightFrequency_ = 0.0;
};

}  // namespace acw
