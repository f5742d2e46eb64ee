// The scope controls: gains, time base, channel mode, scaling mode, locks and split trace.

#include <QCheckBox>

#include "app/WindowControls.h"
#include "measure/SyntheticSignal.h"
#include "test_main_window_support.h"

namespace acw::test {
namespace {

QColor boxColour(QWidget* box) { return box->palette().color(QPalette::Base); }

const QColor kWhite(255, 255, 255);
const QColor kGrey(204, 204, 204);

// Halving rounds to the nearest, ties to even, never below 1; doubling stops at the cap (1024 for
// a gain, 256 for the time base). Without the lock a button moves its own setting only.
TEST_F(MainWindowTest, StepButtonsDoubleAndHalveWithinTheirLimits) {
    using S = ScopeState;
    struct Case {
        const char* button;
        std::int32_t S::*setting;
        std::int32_t before;
        std::int32_t after;
    };
    const Case cases[] = {
        {"cmdSC1L_voldn", &S::gainL, 1, 1},      {"cmdSC1L_voldn", &S::gainL, 3, 2},
        {"cmdSC1L_voldn", &S::gainL, 5, 2},      {"cmdSC1L_voldn", &S::gainL, 7, 4},
        {"cmdSC1L_volup", &S::gainL, 600, 1024}, {"cmdSC1L_volup", &S::gainL, 1024, 1024},
        {"cmdSC1R_voldn", &S::gainR, 1024, 512}, {"cmdSC1R_volup", &S::gainR, 3, 6},
        {"cmdTbase1Down", &S::timeBase, 3, 2},   {"cmdTbase1Down", &S::timeBase, 1, 1},
        {"cmdTbase1Up", &S::timeBase, 200, 256},
    };
    auto settings = [this] { return std::tuple(scope().gainL, scope().gainR, scope().timeBase); };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.button) + " from " + std::to_string(c.before));
        scope().gainL = scope().gainR = scope().timeBase = 9;
        scope().*c.setting = c.after;
        const auto expected = settings();
        scope().*c.setting = c.before;
        click(c.button);
        EXPECT_EQ(settings(), expected);
        if (c.setting != &S::timeBase) {  // its readout is written only in manual mode
            const char* readout = c.setting == &S::gainL ? "LgainReadout" : "RgainReadout";
            EXPECT_EQ(text(readout), QString::number(c.after));
        }
    }
}

TEST_F(MainWindowTest, GainLockCouplesTheGainsAndTriggerLockToggles) {
    scope().gainL = 64;
    scope().gainR = 16;
    click("LockCheck");  // brings the right gain over at once
    EXPECT_EQ(scope().gainR, 64);
    EXPECT_EQ(text("RgainReadout"), "64");
    click("cmdSC1R_volup");  // snaps back
    EXPECT_EQ(scope().gainR, 64);
    EXPECT_EQ(text("RgainReadout"), "64");
    click("cmdSC1L_volup");  // moves both
    EXPECT_EQ(scope().gainR, 128);
    EXPECT_EQ(text("RgainReadout"), "128");

    // Unchecking only stops the coupling; the gains stay.
    click("LockCheck");
    click("cmdSC1R_voldn");
    EXPECT_EQ(scope().gainL, 128);
    EXPECT_EQ(scope().gainR, 64);

    // The trigger lock starts on with the normal face; white only while a click turned it on.
    const QColor normal(224, 224, 224);
    const std::pair<int, QColor> afterClick[] = {{0, normal}, {1, kWhite}, {0, normal}};
    for (const auto& [lock, face] : afterClick) {
        click("Command1");
        EXPECT_EQ(scope().lockToL, lock);
        EXPECT_EQ(child<CommandButton>("Command1")->faceColour(), face);
    }
}

TEST_F(MainWindowTest, AutoScaleSwitchesToManualAndBack) {
    // Automatic: grey boxes, no time-base label, and the time base readout is not written.
    click("cmdTbase1Up");
    EXPECT_EQ(scope().timeBase, 64);
    EXPECT_EQ(text("TbaseReadout"), "1");
    EXPECT_EQ(boxColour(child("TbaseReadout")), kGrey);
    EXPECT_TRUE(child("lblTB1")->isHidden());

    // Manual checks the saved settings: out of range becomes 32, split and lock check their boxes.
    scope().splitTrace = 1;
    scope().lockGains = 1;
    scope().gainL = 5000;
    scope().gainR = 7;
    scope().timeBase = 0;
    click("cmdAutoScale");
    EXPECT_EQ(scope().manualScale, 1);
    EXPECT_EQ(text("cmdAutoScale"), "Manual");
    EXPECT_FALSE(child("lblTB1")->isHidden());
    EXPECT_TRUE(child<QCheckBox>("SplitCheck")->isChecked());
    EXPECT_TRUE(child<QCheckBox>("LockCheck")->isChecked());
    EXPECT_EQ(scope().gainR, 32);
    for (const char* box : {"TbaseReadout", "LgainReadout", "RgainReadout"}) {
        EXPECT_EQ(boxColour(child(box)), kWhite) << box;
        EXPECT_EQ(text(box), "32") << box;
    }
    // The readout and the time per division now follow the buttons.
    click("cmdTbase1Down");
    EXPECT_EQ(text("TbaseReadout"), "16");
    EXPECT_EQ(text("lblTB1"), ".35 ms/div");

    scope().manualScale = 5;  // any nonzero setting counts as manual
    click("cmdAutoScale");
    EXPECT_EQ(scope().manualScale, 0);
    EXPECT_EQ(text("cmdAutoScale"), "AutoScale");
    EXPECT_TRUE(child("lblTB1")->isHidden());
    EXPECT_EQ(boxColour(child("RgainReadout")), kGrey);
}

TEST_F(MainWindowTest, RefreshBringsControlsInLineWithLoadedSettings) {
    ScopeState& s = scope();
    s.scopeMode = 0;
    s.gainL = 64;
    s.gainR = 0;
    s.timeBase = 300;
    window->engine().voltsCal = 0.0;
    window->engine().ampsCal = 2.5;
    child<QCheckBox>("LockCheck")->setChecked(true);
    window->RefreshScopeControls();
    EXPECT_EQ(text("LRlabel"), "L");
    EXPECT_EQ(text("RgainReadout"), "32");
    EXPECT_EQ(s.timeBase, 32);
    EXPECT_TRUE(child<QCheckBox>("LockCheck")->isChecked());  // never cleared
    EXPECT_EQ(window->engine().voltsCal, 1.0);                // a calibration divisor is never 0
    EXPECT_EQ(window->engine().ampsCal, 2.5);

    s.manualScale = 1;
    s.lockGains = 1;
    window->RefreshScopeControls();
    EXPECT_EQ(text("RgainReadout"), "64");
    EXPECT_EQ(text("cmdAutoScale"), "Manual");
}

// Manual mode, first on silence (flat lines on the base lines): a control redraws at once.
TEST_F(MainWindowTest, ControlsRedrawTheManualPictureAtOnce) {
    click("cmdAutoScale");
    window->ApplyScopeSettings();
    const int x = columnOf(5000), centre = rowOf(210), upper = rowOf(160), lower = rowOf(260);
    EXPECT_EQ(pixel(x, centre), kYellowPx);  // right line over the left one
    EXPECT_EQ(pixel(x, upper), kGridPx);

    click("SplitCheck");
    EXPECT_EQ(pixel(x, upper), kGreenPx);
    EXPECT_EQ(pixel(x, lower), kYellowPx);
    EXPECT_EQ(pixel(x, centre), kGridPx);  // the old trace is gone
    // The scope screen shows the image inside its 2-pixel border.
    const QImage shown = child("GraphBox")->grab().toImage();
    EXPECT_EQ(shown.pixel(2 + x, 2 + upper) & 0xFFFFFFu, kGreenPx);
    click("SplitCheck");
    EXPECT_EQ(pixel(x, centre), kYellowPx);

    // The mode cycles LR, XY, L, R, LR; the picture follows only with the next redraw.
    const std::pair<int, const char*> modes[] = {{3, "XY"}, {0, "L"}, {1, "R"}, {2, "LR"}};
    for (const auto& [mode, caption] : modes) {
        click("SA_LR");
        EXPECT_EQ(scope().scopeMode, mode);
        EXPECT_EQ(text("LRlabel"), caption);
        if (mode == 0) {
            EXPECT_EQ(pixel(x, centre), kYellowPx);
            click("cmdSC1L_volup");
            EXPECT_EQ(pixel(x, centre), kGreenPx);
        }
    }
    // At half the gain a 500-count sine is redrawn half as high, with nothing left of the old one.
    SyntheticSignal signal(SyntheticSignal::sine(60.0, 500.0, 200.0));
    signal.fill(window->engine().captureBuffer, kFramesPerBuffer);
    scope().timeBase = 256;  // several periods across the screen
    window->processBuffer();
    EXPECT_NEAR(coverage(window->graphBox().image())[kGreenPx].top, rowOf(210 - 64 * 0.005 * 500),
                1);
    click("cmdSC1L_voldn");
    EXPECT_NEAR(coverage(window->graphBox().image())[kGreenPx].top, rowOf(210 - 32 * 0.005 * 500),
                1);

    scope().scopeMode = 7;  // from a damaged settings file: left alone
    click("SA_LR");
    EXPECT_EQ(scope().scopeMode, 7);
    EXPECT_EQ(text("LRlabel"), "LR");
}

}  // namespace
}  // namespace acw::test
