// The scope controls of the "Scope Control" frame and the pictures of the scope screen.

#include "window/ScopePanel.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "scope/ImageSurface.h"
#include "scope/ScopeRenderer.h"
#include "window/MainWindow.h"
#include "window/WindowControls.h"

namespace acw {

namespace {

constexpr std::int32_t kMaxGain = 1024;
constexpr std::int32_t kMaxTimeBase = 256;
constexpr std::int32_t kReplacementSetting = 32;
// Room kept between the frame's caption and the time-per-division text beside it.
constexpr int kCaptionGapPx = 6;

const QColor kManualBox(255, 255, 255);
const QColor kAutomaticBox(204, 204, 204);
const QColor kLockOnFace(255, 255, 255);

// v * 2, capped.
std::int32_t doubled(std::int32_t v, std::int32_t cap) {
    return static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{v} * 2, cap));
}

// The nearest integer to v / 2 (ties to even), at least 1: 1 -> 1, 3 -> 2, 5 -> 2, 7 -> 4.
std::int32_t halved(std::int32_t v) {
    const double half = std::nearbyint(static_cast<double>(v) / 2.0);
    return static_cast<std::int32_t>(std::max(half, 1.0));
}

bool inRange(std::int32_t v, std::int32_t high) { return v >= 1 && v <= high; }

void setReadout(QLineEdit* box, std::int32_t value) { box->setText(QString::number(value)); }

void setBoxColour(QLineEdit* box, const QColor& colour) {
    QPalette pal = box->palette();
    pal.setColor(QPalette::Base, colour);
    box->setPalette(pal);
}

const char* modeCaption(std::int16_t mode) {
    switch (mode) {
        case 0:
            return "L";
        case 1:
            return "R";
        case 2:
            return "LR";
        case 3:
            return "XY";
        default:
            return nullptr;
    }
}

}  // namespace

ScopePanel::ScopePanel(const MainWindowControls& controls, ImageSurface& image)
    : controls_(controls), image_(image) {
    connectControls();
}

void ScopePanel::connectControls() {
    const MainWindowControls& c = controls_;
    auto on = [](QAbstractButton* control, auto handler) {
        QObject::connect(control, &QAbstractButton::clicked, control, handler);
    };
    on(c.channelModeButton, [this] { nextChannelMode(); });
    on(c.scalingButton, [this] { toggleScaling(); });
    on(c.leftGainUpButton, [this] { changeGain(false, true); });
    on(c.leftGainDownButton, [this] { changeGain(false, false); });
    on(c.rightGainUpButton, [this] { changeGain(true, true); });
    on(c.rightGainDownButton, [this] { changeGain(true, false); });
    on(c.longerTimeBaseButton, [this] { changeTimeBase(true); });
    on(c.shorterTimeBaseButton, [this] { changeTimeBase(false); });
    on(c.splitTraceCheck, [this] { toggleSplitTrace(); });
    on(c.lockGainsCheck, [this] { toggleGainLock(); });
    on(c.triggerLockButton, [this] { toggleTriggerLock(); });
}

void ScopePanel::setFixedParameters() {
    state_.captureLength = kCaptureLength;
    state_.scopeMode = 2;
    state_.sampleRate = kSampleRateHz;
    state_.lockToL = 1;
}

void ScopePanel::prepareScopeSurfaces() {
    const QSize size(ImageSurface::kWidthPixels, ImageSurface::kHeightPixels);
    controls_.scopeBuffer->reshape(size, QColor(0, 0, 0));
    controls_.blankScope->reshape(size, QColor(0, 0, 0));
}

void ScopePanel::setTimeBaseText(const std::string& text) {
    controls_.timeBaseLabel->setText(QString::fromStdString(text));
    fitCaption();
}

// The frame's caption names the input device. It may run under the time-per-division label
// wherever that label shows nothing: up to its text in manual mode, across the whole frame in
// automatic mode.
void ScopePanel::fitCaption() {
    const QLabel* label = controls_.timeBaseLabel;
    int limit = 0;
    if (label->isVisibleTo(controls_.scopeFrame)) {
        const int textWidth = label->fontMetrics().horizontalAdvance(label->text().trimmed());
        limit = label->x() + (label->width() - textWidth) / 2 - kCaptionGapPx;
        if (textWidth == 0) limit = 0;
    }
    controls_.scopeFrame->setCaptionWidthLimit(limit);
}

void ScopePanel::resetScopeToBlank() {
    // `nullscope` is a blank image of its background colour; assigning it to the scope screen
    // leaves every pixel in that colour.
    const QColor blank = controls_.blankScope->background();
    image_.clear(Rgb{static_cast<std::uint8_t>(blank.red()),
                     static_cast<std::uint8_t>(blank.green()),
                     static_cast<std::uint8_t>(blank.blue())});
}

bool ScopePanel::displayscope1() {
    const ScopeSamples samples{leftSamples_, rightSamples_, leftFrequency_, rightFrequency_};
    const bool complete = acw::displayscope1(samples, state_, image_, *this);
    // The picture shows at once, also while no capture is running.
    controls_.scopeScreen->repaint();
    return complete;
}

void ScopePanel::measured(const Measurement& m) {
    // Frames 0..8190 are filled; the rest of the copy stays 0 as in the engine's arrays.
    const std::size_t filled = static_cast<std::size_t>(kLastFrame) + 1;
    if (m.leftSamples.size() >= filled && m.rightSamples.size() >= filled) {
        std::memcpy(leftSamples_.data(), m.leftSamples.data(), filled * sizeof(std::int32_t));
        std::memcpy(rightSamples_.data(), m.rightSamples.data(), filled * sizeof(std::int32_t));
    }
    leftFrequency_ = m.readings.leftFrequency;
    rightFrequency_ = m.readings.rightFrequency;
    resetScopeToBlank();
    displayscope1();
}

void ScopePanel::nextChannelMode() {
    // L -> R -> LR -> XY -> L; a mode outside 0..3 stays as it is. The picture follows with the
    // next redraw.
    if (state_.scopeMode < 0 || state_.scopeMode > 3) return;
    state_.scopeMode = static_cast<std::int16_t>((state_.scopeMode + 1) % 4);
    controls_.channelModeLabel->setText(QString::fromLatin1(modeCaption(state_.scopeMode)));
}

void ScopePanel::showScalingMode() {
    const bool manual = state_.manualScale != 0;
    controls_.scalingButton->setText(manual ? QStringLiteral("Manual")
                                            : QStringLiteral("AutoScale"));
    const QColor box = manual ? kManualBox : kAutomaticBox;
    setBoxColour(controls_.timeBaseBox, box);
    setBoxColour(controls_.leftGainBox, box);
    setBoxColour(controls_.rightGainBox, box);
    controls_.timeBaseLabel->setVisible(manual);
    fitCaption();
}

// The checks of manual mode: settings out of range become 32, the saved split and gain lock
// check their boxes, and the three readouts show the settings.
void ScopePanel::checkManualSettings() {
    if (!inRange(state_.timeBase, kMaxTimeBase)) state_.timeBase = kReplacementSetting;
    setReadout(controls_.timeBaseBox, state_.timeBase);
    if (state_.splitTrace == 1) controls_.splitTraceCheck->setChecked(true);
    if (state_.lockGains == 1) {
        state_.gainR = state_.gainL;
        controls_.lockGainsCheck->setChecked(true);
    }
    if (!inRange(state_.gainL, kMaxGain)) state_.gainL = kReplacementSetting;
    setReadout(controls_.leftGainBox, state_.gainL);
    if (!inRange(state_.gainR, kMaxGain)) state_.gainR = kReplacementSetting;
    setReadout(controls_.rightGainBox, state_.gainR);
}

void ScopePanel::toggleScaling() {
    // Any nonzero setting counts as manual. Neither direction redraws: the next picture shows
    // the new scaling.
    if (state_.manualScale == 0) {
        state_.manualScale = 1;
        showScalingMode();
        checkManualSettings();
    } else {
        state_.manualScale = 0;
        showScalingMode();
    }
}

void ScopePanel::writeGainReadouts() {
    setReadout(controls_.leftGainBox, state_.gainL);
    setReadout(controls_.rightGainBox, state_.gainR);
}

// With the gain lock on, the right gain follows the left one, and snaps back to it when changed
// on its own.
void ScopePanel::changeGain(bool right, bool up) {
    std::int32_t& gain = right ? state_.gainR : state_.gainL;
    gain = up ? doubled(gain, kMaxGain) : halved(gain);
    setReadout(right ? controls_.rightGainBox : controls_.leftGainBox, gain);
    if (controls_.lockGainsCheck->isChecked()) {
        state_.gainR = state_.gainL;
        setReadout(controls_.rightGainBox, state_.gainR);
    }
    ApplyScopeSettings();
}

// "<" doubles the time base, ">" halves it. The readout is written by ApplyScopeSettings, and
// only in manual mode.
void ScopePanel::changeTimeBase(bool longer) {
    state_.timeBase = longer ? doubled(state_.timeBase, kMaxTimeBase) : halved(state_.timeBase);
    ApplyScopeSettings();
}

void ScopePanel::toggleSplitTrace() {
    state_.splitTrace = controls_.splitTraceCheck->isChecked() ? 1 : 0;
    ApplyScopeSettings();
}

// Checking the lock brings the right gain to the left one at once; unchecking stops the
// coupling.
void ScopePanel::toggleGainLock() {
    const bool locked = controls_.lockGainsCheck->isChecked();
    state_.lockGains = locked ? 1 : 0;
    if (!locked) return;
    state_.gainR = state_.gainL;
    setReadout(controls_.rightGainBox, state_.gainR);
}

// The trigger lock starts on while the button shows its normal face; the first click turns it
// off. The face is white while the lock has been switched on by a click.
void ScopePanel::toggleTriggerLock() {
    if (state_.lockToL == 1) {
        state_.lockToL = 0;
        controls_.triggerLockButton->setFaceColour(controls_.scalingButton->faceColour());
    } else {
        state_.lockToL = 1;
        controls_.triggerLockButton->setFaceColour(kLockOnFace);
    }
}

void ScopePanel::RefreshScopeControls() {
    ScopeState& s = state_;
    if (const char* caption = modeCaption(s.scopeMode)) {
        controls_.channelModeLabel->setText(QString::fromLatin1(caption));
    }
    if (!inRange(s.timeBase, kMaxTimeBase)) s.timeBase = kReplacementSetting;
    if (s.splitTrace == 1) controls_.splitTraceCheck->setChecked(true);
    if (s.lockGains == 1) {
        s.gainR = s.gainL;
        controls_.lockGainsCheck->setChecked(true);
    }
    // From here on the gain lock is what the box shows.
    s.lockGains = controls_.lockGainsCheck->isChecked() ? 1 : 0;
    if (!inRange(s.gainL, kMaxGain)) s.gainL = kReplacementSetting;
    if (!inRange(s.gainR, kMaxGain)) s.gainR = kReplacementSetting;
    writeGainReadouts();
    showScalingMode();
}

void ScopePanel::ApplyScopeSettings() {
    if (state_.manualScale == 1) checkManualSettings();
    resetScopeToBlank();
    drawGraticule(image_);
    // A pass that ends early leaves the graticule and what was drawn; nothing else to do.
    displayscope1();
}

}  // namespace acw
