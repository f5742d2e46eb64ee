// The scope controls of the "Scope Control" frame: channel mode, automatic or manual scaling,
// gains, time base, split trace, gain lock and trigger lock, and the two procedures that bring
// the controls in line with the settings and redraw the scope.

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "app/WindowPrivate.h"
#include "scope/ScopeRenderer.h"

namespace acw {

namespace {

constexpr std::int32_t kMaxGain = 1024;
constexpr std::int32_t kMaxTimeBase = 256;
constexpr std::int32_t kReplacementSetting = 32;

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

void TGNCounter::Private::connectScopeControls() {
    auto on = [this](QAbstractButton* control, void (Private::*handler)()) {
        QObject::connect(control, &QAbstractButton::clicked, q,
                         [this, handler] { (this->*handler)(); });
    };
    on(SA_LR, &Private::SA_LR_Click);
    on(cmdAutoScale, &Private::cmdAutoScale_Click);
    on(cmdSC1L_volup, &Private::cmdSC1L_volup_Click);
    on(cmdSC1L_voldn, &Private::cmdSC1L_voldn_Click);
    on(cmdSC1R_volup, &Private::cmdSC1R_volup_Click);
    on(cmdSC1R_voldn, &Private::cmdSC1R_voldn_Click);
    on(cmdTbase1Up, &Private::cmdTbase1Up_Click);
    on(cmdTbase1Down, &Private::cmdTbase1Down_Click);
    on(SplitCheck, &Private::SplitCheck_Click);
    on(LockCheck, &Private::LockCheck_Click);
    on(Command1, &Private::Command1_Click);
}

void TGNCounter::Private::SA_LR_Click() {
    // L -> R -> LR -> XY -> L; a mode outside 0..3 stays as it is. The picture follows with the
    // next redraw.
    if (scope.scopeMode < 0 || scope.scopeMode > 3) return;
    scope.scopeMode = static_cast<std::int16_t>((scope.scopeMode + 1) % 4);
    LRlabel->setText(QString::fromLatin1(modeCaption(scope.scopeMode)));
}

void TGNCounter::Private::showScalingMode() {
    const bool manual = scope.manualScale != 0;
    cmdAutoScale->setText(manual ? QStringLiteral("Manual") : QStringLiteral("AutoScale"));
    const QColor box = manual ? kManualBox : kAutomaticBox;
    setBoxColour(TbaseReadout, box);
    setBoxColour(LgainReadout, box);
    setBoxColour(RgainReadout, box);
    lblTB1->setVisible(manual);
}

// The checks of manual mode: settings out of range become 32, the saved split and gain lock
// check their boxes, and the three readouts show the settings.
void TGNCounter::Private::checkManualSettings() {
    if (!inRange(scope.timeBase, kMaxTimeBase)) scope.timeBase = kReplacementSetting;
    setReadout(TbaseReadout, scope.timeBase);
    if (scope.splitTrace == 1) SplitCheck->setChecked(true);
    if (scope.lockGains == 1) {
        scope.gainR = scope.gainL;
        LockCheck->setChecked(true);
    }
    if (!inRange(scope.gainL, kMaxGain)) scope.gainL = kReplacementSetting;
    setReadout(LgainReadout, scope.gainL);
    if (!inRange(scope.gainR, kMaxGain)) scope.gainR = kReplacementSetting;
    setReadout(RgainReadout, scope.gainR);
}

void TGNCounter::Private::cmdAutoScale_Click() {
    // Any nonzero setting counts as manual. Neither direction redraws: the next picture shows
    // the new scaling.
    if (scope.manualScale == 0) {
        scope.manualScale = 1;
        showScalingMode();
        checkManualSettings();
    } else {
        scope.manualScale = 0;
        showScalingMode();
    }
}

void TGNCounter::Private::writeGainReadouts() {
    setReadout(LgainReadout, scope.gainL);
    setReadout(RgainReadout, scope.gainR);
}

void TGNCounter::Private::cmdSC1L_volup_Click() {
    scope.gainL = doubled(scope.gainL, kMaxGain);
    setReadout(LgainReadout, scope.gainL);
    if (LockCheck->isChecked()) {
        scope.gainR = scope.gainL;
        setReadout(RgainReadout, scope.gainR);
    }
    q->ApplyScopeSettings();
}

void TGNCounter::Private::cmdSC1L_voldn_Click() {
    scope.gainL = halved(scope.gainL);
    setReadout(LgainReadout, scope.gainL);
    if (LockCheck->isChecked()) {
        scope.gainR = scope.gainL;
        setReadout(RgainReadout, scope.gainR);
    }
    q->ApplyScopeSettings();
}

// With the gain lock on, the right gain snaps back to the left one.
void TGNCounter::Private::cmdSC1R_volup_Click() {
    scope.gainR = doubled(scope.gainR, kMaxGain);
    setReadout(RgainReadout, scope.gainR);
    if (LockCheck->isChecked()) {
        scope.gainR = scope.gainL;
        setReadout(RgainReadout, scope.gainR);
    }
    q->ApplyScopeSettings();
}

void TGNCounter::Private::cmdSC1R_voldn_Click() {
    scope.gainR = halved(scope.gainR);
    setReadout(RgainReadout, scope.gainR);
    if (LockCheck->isChecked()) {
        scope.gainR = scope.gainL;
        setReadout(RgainReadout, scope.gainR);
    }
    q->ApplyScopeSettings();
}

// "<" doubles the time base, ">" halves it. The readout is written by ApplyScopeSettings, and
// only in manual mode.
void TGNCounter::Private::cmdTbase1Up_Click() {
    scope.timeBase = doubled(scope.timeBase, kMaxTimeBase);
    q->ApplyScopeSettings();
}

void TGNCounter::Private::cmdTbase1Down_Click() {
    scope.timeBase = halved(scope.timeBase);
    q->ApplyScopeSettings();
}

void TGNCounter::Private::SplitCheck_Click() {
    scope.splitTrace = SplitCheck->isChecked() ? 1 : 0;
    q->ApplyScopeSettings();
}

// Checking the lock brings the right gain to the left one at once; unchecking only stops the
// coupling (`lockGains` follows with the next picture).
void TGNCounter::Private::LockCheck_Click() {
    if (!LockCheck->isChecked()) return;
    scope.gainR = scope.gainL;
    setReadout(RgainReadout, scope.gainR);
}

// The trigger lock starts on while the button shows its normal face; the first click turns it
// off. The face is white while the lock has been switched on by a click.
void TGNCounter::Private::Command1_Click() {
    if (scope.lockToL == 1) {
        scope.lockToL = 0;
        Command1->setFaceColour(cmdAutoScale->faceColour());
    } else {
        scope.lockToL = 1;
        Command1->setFaceColour(kLockOnFace);
    }
}

void TGNCounter::RefreshScopeControls() {
    ScopeState& s = d->scope;
    if (const char* caption = modeCaption(s.scopeMode)) {
        d->LRlabel->setText(QString::fromLatin1(caption));
    }
    if (!inRange(s.timeBase, kMaxTimeBase)) s.timeBase = kReplacementSetting;
    if (s.splitTrace == 1) d->SplitCheck->setChecked(true);
    if (s.lockGains == 1) {
        s.gainR = s.gainL;
        d->LockCheck->setChecked(true);
    }
    if (!inRange(s.gainL, kMaxGain)) s.gainL = kReplacementSetting;
    if (!inRange(s.gainR, kMaxGain)) s.gainR = kReplacementSetting;
    d->writeGainReadouts();
    d->showScalingMode();
    // A calibration divisor is never 0.
    if (d->engine->voltsCal == 0.0) d->engine->voltsCal = 1.0;
    if (d->engine->ampsCal == 0.0) d->engine->ampsCal = 1.0;
}

void TGNCounter::ApplyScopeSettings() {
    if (d->scope.manualScale == 1) d->checkManualSettings();
    d->resetScopeToBlank();
    drawGraticule(d->surface);
    // A pass that ends early leaves the graticule and what was drawn; nothing else to do.
    displayscope1();
}

}  // namespace acw
