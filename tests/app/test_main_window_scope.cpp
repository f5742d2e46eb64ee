// The scope controls: gains, time base, channel mode, scaling mode, locks and split trace.

#include <QCheckBox>

#include "app/WindowControls.h"
#include "test_main_window_support.h"

namespace acw::test {
namespace {

QColor boxColour(QWidget* box) { return box->palette().color(QPalette::Base); }

const QColor kWhite(255, 255, 255);
const QColor kGrey(204, 204, 204);

TEST_F(MainWindowTest, GainButtonsDoubleAndHalveWithinTheirLimits) {
    struct Case {
        const char* button;
        std::int32_t before;
        std::int32_t after;
    };
    const Case cases[] = {
        {"cmdSC1L_voldn", 1, 1}, {"cmdSC1L_voldn", 2, 1},      {"cmdSC1L_voldn", 3, 2},
        {"cmdSC1L_voldn", 5, 2}, {"cmdSC1L_voldn", 7, 4},      {"cmdSC1L_voldn", 1024, 512},
        {"cmdSC1L_volup", 1, 2}, {"cmdSC1L_volup", 600, 1024}, {"cmdSC1L_volup", 1024, 1024},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.button) + " from " + std::to_string(c.before));
        scope().gainL = c.before;
        scope().gainR = 9;
        click(c.button);
        EXPECT_EQ(scope().gainL, c.after);
        EXPECT_EQ(text("LgainReadout"), QString::number(c.after));
        EXPECT_EQ(scope().gainR, 9);  // not locked
    }
    // The right side follows the same rules.
    scope().gainR = 5;
    click("cmdSC1R_voldn");
    EXPECT_EQ(scope().gainR, 2);
    EXPECT_EQ(text("RgainReadout"), "2");
    scope().gainR = 600;
    click("cmdSC1R_volup");
    EXPECT_EQ(scope().gainR, 1024);
    EXPECT_EQ(text("RgainReadout"), "1024");
}

TEST_F(MainWindowTest, TimeBaseButtonsDoubleAndHalveWithinTheirLimits) {
    scope().timeBase = 3;
    click("cmdTbase1Down");  // ">" halves
    EXPECT_EQ(scope().timeBase, 2);
    scope().timeBase = 1;
    click("cmdTbase1Down");
    EXPECT_EQ(scope().timeBase, 1);
    scope().timeBase = 200;
    click("cmdTbase1Up");  // "<" doubles
    EXPECT_EQ(scope().timeBase, 256);
    click("cmdTbase1Up");
    EXPECT_EQ(scope().timeBase, 256);
}

TEST_F(MainWindowTest, GainLockKeepsTheRightGainOnTheLeftOne) {
    scope().gainL = 64;
    scope().gainR = 16;
    click("LockCheck");
    ASSERT_TRUE(child<QCheckBox>("LockCheck")->isChecked());
    EXPECT_EQ(scope().gainR, 64);  // checking the box brings the right gain over at once
    EXPECT_EQ(text("RgainReadout"), "64");

    click("cmdSC1R_volup");  // snaps back
    EXPECT_EQ(scope().gainR, 64);
    EXPECT_EQ(text("RgainReadout"), "64");
    click("cmdSC1L_volup");  // moves both
    EXPECT_EQ(scope().gainL, 128);
    EXPECT_EQ(scope().gainR, 128);
    EXPECT_EQ(text("LgainReadout"), "128");
    EXPECT_EQ(text("RgainReadout"), "128");
    click("cmdSC1L_voldn");
    EXPECT_EQ(scope().gainR, 64);
    EXPECT_EQ(scope().lockGains, 1);  // every picture copies the box

    // Unchecking only stops the coupling; the gains stay.
    click("LockCheck");
    EXPECT_EQ(scope().gainR, 64);
    click("cmdSC1R_volup");
    EXPECT_EQ(scope().gainL, 64);
    EXPECT_EQ(scope().gainR, 128);
    EXPECT_EQ(scope().lockGains, 0);
}

TEST_F(MainWindowTest, ChannelModeCycles) {
    EXPECT_EQ(text("LRlabel"), "LR");
    const char* const captions[] = {"XY", "L", "R", "LR"};
    const std::int16_t modes[] = {3, 0, 1, 2};
    for (int i = 0; i < 4; ++i) {
        click("SA_LR");
        EXPECT_EQ(scope().scopeMode, modes[i]);
        EXPECT_EQ(text("LRlabel"), captions[i]);
    }
    // A mode from a damaged settings file is left alone.
    scope().scopeMode = 7;
    click("SA_LR");
    EXPECT_EQ(scope().scopeMode, 7);
    EXPECT_EQ(text("LRlabel"), "LR");
}

TEST_F(MainWindowTest, ScalingModeSwitchesCaptionsColoursAndTheTimeBaseLabel) {
    // Automatic after a start without settings: grey readouts, no time-base label, the time
    // base readout keeps its designed text.
    EXPECT_EQ(text("cmdAutoScale"), "AutoScale");
    EXPECT_EQ(boxColour(child("TbaseReadout")), kGrey);
    EXPECT_EQ(boxColour(child("LgainReadout")), kGrey);
    EXPECT_TRUE(child("lblTB1")->isHidden());
    EXPECT_EQ(text("TbaseReadout"), "1");
    EXPECT_EQ(text("LgainReadout"), "32");

    click("cmdTbase1Up");
    click("cmdTbase1Up");
    EXPECT_EQ(scope().timeBase, 128);
    EXPECT_EQ(text("TbaseReadout"), "1");  // written only in manual mode

    click("cmdAutoScale");
    EXPECT_EQ(scope().manualScale, 1);
    EXPECT_EQ(text("cmdAutoScale"), "Manual");
    EXPECT_EQ(text("TbaseReadout"), "128");
    EXPECT_FALSE(child("lblTB1")->isHidden());
    for (const char* box : {"TbaseReadout", "LgainReadout", "RgainReadout"}) {
        EXPECT_EQ(boxColour(child(box)), kWhite) << box;
    }

    // In manual mode the time base readout and the time per division follow the buttons.
    click("cmdTbase1Down");
    EXPECT_EQ(text("TbaseReadout"), "64");
    scope().timeBase = 32;
    click("cmdTbase1Down");
    EXPECT_EQ(text("TbaseReadout"), "16");
    EXPECT_EQ(text("lblTB1"), ".35 ms/div");

    click("cmdAutoScale");
    EXPECT_EQ(scope().manualScale, 0);
    EXPECT_EQ(text("cmdAutoScale"), "AutoScale");
    EXPECT_TRUE(child("lblTB1")->isHidden());
    EXPECT_EQ(boxColour(child("RgainReadout")), kGrey);
    EXPECT_EQ(text("lblTB1"), ".35 ms/div");  // kept until the next manual picture
}

TEST_F(MainWindowTest, EnteringManualModeChecksTheSavedSettings) {
    scope().splitTrace = 1;
    scope().lockGains = 1;
    scope().gainL = 5000;
    scope().gainR = 7;
    scope().timeBase = 0;
    click("cmdAutoScale");
    EXPECT_TRUE(child<QCheckBox>("SplitCheck")->isChecked());
    EXPECT_TRUE(child<QCheckBox>("LockCheck")->isChecked());
    EXPECT_EQ(scope().gainL, 32);
    EXPECT_EQ(scope().gainR, 32);
    EXPECT_EQ(scope().timeBase, 32);
    EXPECT_EQ(text("LgainReadout"), "32");
    EXPECT_EQ(text("RgainReadout"), "32");
    EXPECT_EQ(text("TbaseReadout"), "32");
    // Any nonzero setting counts as manual.
    scope().manualScale = 5;
    click("cmdAutoScale");
    EXPECT_EQ(scope().manualScale, 0);
}

TEST_F(MainWindowTest, TriggerLockButtonTogglesAndPaintsItsFace) {
    auto* button = child<CommandButton>("Command1");
    const QColor normal(224, 224, 224);
    EXPECT_EQ(scope().lockToL, 1);
    EXPECT_EQ(button->faceColour(), normal);
    click("Command1");
    EXPECT_EQ(scope().lockToL, 0);
    EXPECT_EQ(button->faceColour(), normal);
    click("Command1");
    EXPECT_EQ(scope().lockToL, 1);
    EXPECT_EQ(button->faceColour(), kWhite);
    click("Command1");
    EXPECT_EQ(scope().lockToL, 0);
    EXPECT_EQ(button->faceColour(), normal);
}

TEST_F(MainWindowTest, RefreshBringsControlsInLineWithLoadedSettings) {
    ScopeState& s = scope();
    s.scopeMode = 0;
    s.gainL = 64;
    s.gainR = 0;
    s.timeBase = 300;
    s.splitTrace = 1;
    s.lockGains = 0;
    window->engine().voltsCal = 0.0;
    window->engine().ampsCal = 2.5;
    child<QCheckBox>("LockCheck")->setChecked(true);
    window->RefreshScopeControls();
    EXPECT_EQ(text("LRlabel"), "L");
    EXPECT_EQ(s.gainR, 32);
    EXPECT_EQ(text("RgainReadout"), "32");
    EXPECT_EQ(text("LgainReadout"), "64");
    EXPECT_EQ(s.timeBase, 32);
    EXPECT_EQ(text("TbaseReadout"), "1");
    EXPECT_TRUE(child<QCheckBox>("SplitCheck")->isChecked());
    EXPECT_TRUE(child<QCheckBox>("LockCheck")->isChecked());  // never cleared
    EXPECT_EQ(window->engine().voltsCal, 1.0);
    EXPECT_EQ(window->engine().ampsCal, 2.5);

    s.manualScale = 1;
    s.lockGains = 1;
    window->RefreshScopeControls();
    EXPECT_EQ(s.gainR, 64);
    EXPECT_EQ(text("cmdAutoScale"), "Manual");
    EXPECT_FALSE(child("lblTB1")->isHidden());
    EXPECT_EQ(boxColour(child("TbaseReadout")), kWhite);
}

// Manual mode on silence: flat lines on the base lines, redrawn as soon as a control asks.
TEST_F(MainWindowTest, SplitTraceRedrawsAtOnceWhileIdle) {
    click("cmdAutoScale");
    window->ApplyScopeSettings();
    const int x = static_cast<int>(ImageSurface::pixelX(5000));
    const int centre = static_cast<int>(ImageSurface::pixelY(210));
    const int upper = static_cast<int>(ImageSurface::pixelY(160));
    const int lower = static_cast<int>(ImageSurface::pixelY(260));
    EXPECT_EQ(pixel(x, centre), kYellowPx);  // right line over the left one
    EXPECT_EQ(pixel(x, upper), kGridPx);  // a grid line, no trace

    click("SplitCheck");
    EXPECT_EQ(scope().splitTrace, 1);
    EXPECT_EQ(pixel(x, upper), kGreenPx);
    EXPECT_EQ(pixel(x, lower), kYellowPx);
    EXPECT_EQ(pixel(x, centre), kGridPx);  // the old trace is gone
    const QImage shown = child("GraphBox")->grab().toImage();
    EXPECT_EQ(shown.pixel(2 + x, 2 + upper) & 0xFFFFFFu, kGreenPx);

    click("SplitCheck");
    EXPECT_EQ(scope().splitTrace, 0);
    EXPECT_EQ(pixel(x, upper), kGridPx);
    EXPECT_EQ(pixel(x, centre), kYellowPx);

    // The channel mode changes only with the next picture.
    click("SA_LR");  // XY
    click("SA_LR");  // L
    EXPECT_EQ(pixel(x, centre), kYellowPx);
    click("cmdSC1L_volup");
    EXPECT_EQ(pixel(x, centre), kGreenPx);
}

}  // namespace
}  // namespace acw::test
