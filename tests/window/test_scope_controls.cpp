// SPDX-License-Identifier: GPL-3.0-or-later
// The scope controls: gains, time base, channel mode, scaling mode, locks, split trace, and the
// pictures they redraw. Each step of a script is a click followed by what must show then.

#include "WindowRig.h"

namespace acw::test {
namespace {

using Script = std::vector<std::pair<const char*, const char*>>;

class ScopeControls : public ::testing::Test {
protected:
    void run(const Script& script, const std::function<QString()>& state) {
        for (const auto& [control, expected] : script) {
            click(rig.named(control));
            EXPECT_EQ(state(), expected) << "after " << control;
        }
    }
    // The manual picture on silence at x = 5000: the lines y = 160, 210 and 260 are grid (#),
    // left trace (G) or right trace (Y).
    QString baseLines() {
        QString out;
        for (const double y : {160, 210, 260}) {
            const QRgb p = rig.pixel(5000, y);
            out += p == kGridPx ? '#' : p == kGreenPx ? 'G' : p == kYellowPx ? 'Y' : '?';
        }
        return out;
    }

    Rig rig;
    ScopeState& s = rig.scope();
};

// Halving rounds to the nearest, ties to even, never below 1; doubling stops at the cap (1024 for
// a gain, 256 for the time base). Without the lock a button moves its own setting only.
TEST_F(ScopeControls, StepButtonsDoubleAndHalveWithinTheirLimits) {
    // button, setting (left gain, right gain, time base), before, after
    const std::tuple<const char*, int, int, int> cases[] = {
        {"cmdSC1L_voldn", 0, 1, 1},       {"cmdSC1L_voldn", 0, 3, 2},
        {"cmdSC1L_voldn", 0, 5, 2},       {"cmdSC1L_voldn", 0, 7, 4},
        {"cmdSC1L_volup", 0, 600, 1024},  {"cmdSC1L_volup", 0, 1024, 1024},
        {"cmdSC1R_voldn", 1, 1024, 512},  {"cmdSC1R_volup", 1, 3, 6},
        {"cmdSC1R_volup", 1, 1000, 1024}, {"cmdTbase1Down", 2, 3, 2},
        {"cmdTbase1Down", 2, 1, 1},       {"cmdTbase1Up", 2, 200, 256}};
    for (const auto& [button, setting, before, after] : cases) {
        std::array<std::int32_t, 3> expected{9, 9, 9};
        s.gainL = s.gainR = s.timeBase = 9;
        *std::array{&s.gainL, &s.gainR, &s.timeBase}[setting] = before;
        expected[setting] = after;
        click(rig.named(button));
        EXPECT_EQ((std::array{s.gainL, s.gainR, s.timeBase}), expected) << button << " " << before;
        if (setting < 2)  // the gain's box follows (the time base box: in manual mode only)
            EXPECT_EQ(rig.texts(setting ? "RgainReadout" : "LgainReadout"), QString::number(after));
    }
}

TEST_F(ScopeControls, GainLockCouplesTheGainsAndTriggerLockToggles) {
    s.gainL = 64;
    s.gainR = 16;
    run({{"LockCheck", "64 64 64 1 1 #e0e0e0"},         // gains, right gain box, both locks, face
         {"cmdSC1R_volup", "64 64 64 1 1 #e0e0e0"},     // the right gain snaps back
         {"cmdSC1L_volup", "128 128 128 1 1 #e0e0e0"},  // the left one moves both
         {"LockCheck", "128 128 128 0 1 #e0e0e0"},      // unchecked: the gains stay
         {"cmdSC1R_voldn", "128 64 64 0 1 #e0e0e0"},
         {"Command1", "128 64 64 0 0 #e0e0e0"},  // the trigger lock starts on, normal face
         {"Command1", "128 64 64 0 1 #ffffff"},  // white while a click has turned it on
         {"Command1", "128 64 64 0 0 #e0e0e0"}},
        [&] {
            return joined(s.gainL, s.gainR, rig.texts("RgainReadout"), s.lockGains, s.lockToL,
                          rig.named<CommandButton>("Command1")->faceColour().name());
        });
}

// Automatic mode: grey boxes and no time-base label. Manual mode checks the settings (out of range
// becomes 32, saved split and lock check their boxes) and white boxes follow the buttons.
TEST_F(ScopeControls, AutoScaleSwitchesToManualAndBack) {
    const auto state = [&] {
        QStringList boxes;
        for (const char* box : {"LgainReadout", "RgainReadout", "TbaseReadout"})
            boxes << rig.named(box)->palette().color(QPalette::Base).name();
        return joined(
            s.manualScale, s.timeBase,
            rig.texts("cmdAutoScale LgainReadout RgainReadout TbaseReadout"), boxes.join('|'),
            rig.c().timeBaseLabel->isHidden() ? "hidden" : "[" + rig.texts("lblTB1") + "]",
            rig.c().splitTraceCheck->isChecked(), rig.c().lockGainsCheck->isChecked());
    };
    run({{"cmdTbase1Up", "0 64 AutoScale|32|32|1 #cccccc|#cccccc|#cccccc hidden false false"}},
        state);
    s.splitTrace = s.lockGains = 1;
    s.gainL = 5000;
    s.timeBase = 0;
    run({{"cmdAutoScale", "1 32 Manual|32|32|32 #ffffff|#ffffff|#ffffff [ ] true true"},
         {"cmdTbase1Down", "1 16 Manual|32|32|16 #ffffff|#ffffff|#ffffff [.35 ms/div] true true"},
         {"cmdTbase1Up", "1 32 Manual|32|32|32 #ffffff|#ffffff|#ffffff [.699 ms/div] true true"}},
        state);
    s.manualScale = 5;  // any nonzero setting counts as manual
    run({{"cmdAutoScale", "0 32 AutoScale|32|32|32 #cccccc|#cccccc|#cccccc hidden true true"}},
        state);
}

// In manual mode each control redraws at once; the channel mode (LR, XY, L, R, LR) with the next
// redraw, and a mode outside 0..3 is left alone.
TEST_F(ScopeControls, ControlsRedrawTheManualPictureAtOnce) {
    click(rig.c().scalingButton);
    rig.window.scopePanel().ApplyScopeSettings();
    EXPECT_EQ(baseLines(), "#Y#");  // silence: the right line over the left one
    run({{"SplitCheck", "G#Y LR"},
         {"SplitCheck", "#Y# LR"},
         {"SA_LR", "#Y# XY"},
         {"SA_LR", "#Y# L"},
         {"cmdSC1L_volup", "#G# L"},
         {"SA_LR", "#G# R"},
         {"SA_LR", "#G# LR"}},
        [&] { return baseLines() + " " + rig.texts("LRlabel"); });
    // At half the gain a 500-count sine is redrawn half as high, nothing left of the old one.
    click(rig.c().startButton);
    SyntheticSignal signal(SyntheticSignal::sine(60.0, 500.0, 200.0));
    s.timeBase = 256;  // several periods across the screen
    rig.feed(signal);
    EXPECT_NEAR(coverage(rig.image(), kGreenPx).first, rowOf(210 - 64 * 0.005 * 500), 1);
    click(rig.c().leftGainDownButton);
    EXPECT_NEAR(coverage(rig.image(), kGreenPx).first, rowOf(210 - 32 * 0.005 * 500), 1);
    s.scopeMode = 7;  // from a damaged settings file
    run({{"SA_LR", "7 LR"}},
        [&] { return QString::number(s.scopeMode) + " " + rig.texts("LRlabel"); });
}

}  // namespace
}  // namespace acw::test
