// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: its face and layout, START, STOP and the sound-card picker, the readouts, the
// lamps and the scope picture of measured buffers, and the scope controls.

#include "WindowRig.h"

namespace acw::test {

// The window keeps its size; its controls their names, captions and fonts (pixel sizes, whatever
// the screen); the picker below the visible part and the drawing surfaces never show. The one
// layout check: nothing clipped, nothing overlapped.
TEST(WindowFace, FixedSizeNamedControlsCaptionsFontsAndLayout) {
    Rig rig;
    EXPECT_EQ(joined(rig.window.objectName(), rig.window.windowTitle(),
                     rig.window.minimumSize() == rig.window.maximumSize(),
                     rig.window.centralWidget()->size() == QSize(499, 429),
                     rig.named("GraphBox")->geometry() == QRect(16, 120, 313, 217),
                     rig.named("frmSoundcardPicker")->y() >= 429),
              "TGNCounter AC-Wattmeter true true true true");
    for (const char* name :
         {"frmSoundcardPicker", "Picture1", "Picture2", "nullscope", "ScopeBuff"})
        EXPECT_FALSE(rig.named(name)->isVisible()) << name;
    QImage black(309, 213, QImage::Format_RGB32);  // the scope's size, prepared at start-up
    black.fill(Qt::black);
    for (const char* name : {"nullscope", "ScopeBuff"})
        EXPECT_EQ(rig.named<HiddenSurface>(name)->image(), black) << name;
    // name=caption, then @ the font's pixel size (b: bold)
    const QString face =
        "Label37=0.0@16b|Label7=0.0@48b|Label57=V@13b|Label11=AC LINE CURRENT@13b|Label36=0.0|"
        "Label49=VOLTS LOCK@11|Label15=START@16|Label16=STOP@16|Label13=Morvane Labs KR-460@13b|"
        "cmdSC1L_volup=^@16|cmdSC1L_voldn=v@11|LockCheck=Lock L  R|SplitCheck=Split Trace|"
        "SA_LR=L/R|LRlabel=LR|cmdAutoScale=AutoScale|Command1=Lock to L|cmdCalV=Cal V|txtV=120|"
        "cmdCalA=Cal A|txtA=1|Label64=EXIT|frmSoundcardPicker=Soundcard Selection|mnuExit=Exit|"
        "mnuSave1=Save Screen1 as bmp|mnuSetup=Soundcard Setup|mnuHelp=Help|"
        "Label65=Doubleclick soundcard source from the lists above.";
    for (const QString& entry : face.split('|')) {
        const QByteArray name = entry.section('=', 0, 0).toLatin1();
        EXPECT_EQ(rig.texts(name), entry.section('=', 1).section('@', 0, 0)) << name.data();
        if (!entry.contains('@')) continue;
        const QFont f = rig.named(name)->font();
        EXPECT_EQ(QString("%1%2 %3").arg(f.pixelSize()).arg(f.bold() ? "b" : "", f.family()),
                  entry.section('@', 1) + " Liberation Sans");
    }
    const QPalette readout = rig.named("Label36")->palette();  // green on black; lamps off
    EXPECT_EQ(joined(readout.color(QPalette::WindowText).name(),
                     readout.color(QPalette::Window).name(), rig.lamps()),
              "#00ff00 #000000 off off");

    // "Soundcard Setup" and "Help" are commands on the bar itself, "Help" the last; the View
    // menu opens the further windows.
    const MainWindowControls& k = rig.c();
    EXPECT_EQ(rig.window.menuBar()->actions() + k.fileMenu->actions() + k.viewMenu->actions(),
              (QList{k.fileMenu->menuAction(), k.soundcardSetupAction, k.viewMenu->menuAction(),
                     k.helpAction, k.saveScopeAction, k.logAction, k.recordAction, k.mqttAction,
                     rig.named<QAction>("dv1"), k.exitAction, k.powerAnalysisAction,
                     k.energyAction, k.trendAction}));
    // Every caption, and the widest reading, shows whole inside its control, and no control covers
    // another: a label without a frame covers its caption only (the readouts' boxes touch).
    rig.named<QLabel>("Label40")->setText("12345.678");
    rig.named<QLabel>("Label7")->setText("999.9");
    QMap<QWidget*, QRect> covers;
    for (QWidget* w : rig.window.centralWidget()->findChildren<QWidget*>()) {
        const auto* label = qobject_cast<QLabel*>(w);
        const QString text =
            label || qobject_cast<QAbstractButton*>(w) ? w->property("text").toString() : "";
        QRect box = label ? label->contentsRect() : w->rect().adjusted(1, 0, -1, 0);
        if (qobject_cast<QCheckBox*>(w) != nullptr)
            box.setLeft(w->style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                        w->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing));
        const int wrap = label && label->wordWrap() ? Qt::TextWordWrap : 0;
        const auto align = label ? label->alignment() : Qt::AlignLeft | Qt::AlignVCenter;
        const QFontMetrics fm(w->font());
        const QSize need(fm.horizontalAdvance(text), fm.height());
        const QRect ink = wrap ? fm.boundingRect(box, wrap | align, text)
                               : QStyle::alignedRect(Qt::LeftToRight, align, need, box);
        EXPECT_TRUE(text.isEmpty() || box.contains(ink)) << w->objectName().toStdString();
        const bool captionOnly = label && label->frameShape() == QFrame::NoFrame && !wrap;
        if (!w->isHidden() && (w->parent() == rig.c().client || w->parent() == rig.c().scopeFrame))
            covers[w] = captionOnly ? ink.translated(w->pos()) : w->geometry();
    }
    for (auto a = covers.begin(); a != covers.end(); ++a)
        for (auto b = std::next(a); b != covers.end(); ++b)
            EXPECT_FALSE(a.key()->parent() == b.key()->parent() && a->intersects(*b))
                << qPrintable(a.key()->objectName() + " and " + b.key()->objectName());
}

// A device name of up to 31 characters shows whole in automatic mode, where the time-base label
// is hidden; in manual mode it is shortened just before the label's text.
TEST(WindowFace, DeviceNameShowsWholeInTheCaptionWhereItFits) {
    const QString title = "Scope Control - " + QString(31, 'W');  // the widest characters
    Rig rig({QString(31, 'W')});
    const CaptionFrame* frame = rig.c().scopeFrame;
    EXPECT_EQ(frame->shownCaption(), title);
    click(rig.c().scalingButton);  // manual: the next picture shows the time per division
    rig.window.scopePanel().ApplyScopeSettings();
    const QLabel* tb = rig.c().timeBaseLabel;
    const int ink = tb->x() + (tb->width() - tb->fontMetrics().horizontalAdvance(tb->text())) / 2;
    const int right = 6 + frame->fontMetrics().horizontalAdvance(frame->shownCaption());
    EXPECT_TRUE(frame->shownCaption().endsWith(QChar(0x2026)) && right < ink &&
                right + frame->fontMetrics().horizontalAdvance("WW") > ink)
        << right << " " << ink;
    click(rig.c().scalingButton);
    EXPECT_EQ(frame->shownCaption(), title);
}

static void clickEntry(QListWidget* list, int row) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(row)).center());
}

// A saved device the list does not hold keeps the first entry highlighted; clicking it chooses it.
TEST(WindowCapture, HighlightedEntryCanBeChosen) {
    Rig rig({"Card A", "Card B"}, "7\r\n");
    clickEntry(rig.c().deviceList, 0);
    click(rig.c().startButton);
    EXPECT_EQ(joined(rig.input->lastOpenId, rig.lamps()), "0 red red");
}

// The picker shows at the top of the window; a click chooses a device, EXIT names it in the frame
// caption (cut to 31 characters as in the list) and hides the picker, and START opens it. Then a
// sine of 22 whole periods per buffer (59.216 Hz) with the current lagging by 60 degrees: power
// factor 0.5, 300 W of 600 VA, crest factors root 2 (full scale, 32767 counts, is 750 V or 75 A).
TEST(WindowCapture, StartMeasuresTheChosenDeviceUntilStop) {
    Rig rig({"Line In (Card A)", "Microphone Array (High Definition Audio Device)"});
    const MainWindowControls& c = rig.c();
    // Before the first buffer: the graticule on black, no trace.
    EXPECT_EQ(rig.at({{-200, -40}, {19000, 460}, {5000, 210}, {5000, 185}, {-1500, -70}}), "###..");
    // START is a left click that ends over the label.
    QTest::mouseClick(c.startButton, Qt::RightButton);
    QTest::mousePress(c.startButton, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(c.startButton, Qt::LeftButton, {}, QPoint(100, 5));
    c.soundcardSetupAction->trigger();
    EXPECT_EQ(joined(rig.input->openCalls, c.devicePicker->isVisible(),
                     c.devicePicker->pos() == QPoint(8, 2)),
              "0 true true");
    clickEntry(c.deviceList, 1);
    EXPECT_EQ(c.scopeFrame->title(), "Scope Control - Line In (Card A)");
    click(c.pickerExitButton);
    EXPECT_EQ(joined(c.scopeFrame->title(), c.devicePicker->isVisible()),
              "Scope Control - Microphone Array (High Definiti false");
    click(c.startButton);
    SyntheticSignal signal(SyntheticSignal::sine(11025.0 * 22 / 4096, 2 * 120.02 * 32767 / 750,
                                                 2 * 5.003 * 32767 / 75, 60.0));
    QStringList lamps{rig.lamps()};
    for (int buffer = 1; buffer <= 4; ++buffer) {
        rig.feed(signal);
        lamps << rig.lamps();
    }
    EXPECT_EQ(lamps.join('|'), "red red|red red|red red|red red|green green");
    EXPECT_EQ(rig.texts("Label37 Label7 Label57 Label35 Label8 Label54 Label42 Label40 Label41 "
                        "Label3 Label5 Label36"),
              "120.035|120.0|V|5.003|5.00|A|0.500|300.301|600.495|1.414|1.414|59.2");
    // Automatic scaling draws the voltage's swing 270.8 units high around y = 210, the current in
    // yellow, over the graticule on black; the screen shows the image in its 2-pixel border.
    EXPECT_NEAR(coverage(rig.image(), kGreenPx).first, rowOf(210 - 135.4), 1);
    EXPECT_NEAR(212 - coverage(rig.image().mirrored(), kGreenPx).first, rowOf(210 + 135.4), 1);
    EXPECT_GT(coverage(rig.image(), kYellowPx).second, 200);
    EXPECT_EQ(rig.at({{-200, -40}, {-1500, -70}}), "#.");
    const QImage screen = c.scopeScreen->grab().toImage();
    EXPECT_EQ(screen.copy(2, 2, 309, 213).convertToFormat(QImage::Format_RGB32), rig.image());
    // A second START leaves the capture running as it is; STOP turns the lamps off and leaves
    // the readings and the picture.
    click(c.startButton);
    const QImage picture = rig.image();
    click(c.stopButton);
    EXPECT_EQ(joined(rig.input->openCalls, rig.input->lastOpenId, rig.input->closeCalls,
                     rig.session.isCapturing(), rig.lamps(), rig.texts("Label37")),
              "1 1 1 false off off 120.035");
    EXPECT_EQ(joined(rig.image() == picture, rig.reports.join('|')), "true ");
}

// The scope controls, by scripts: each step a click and the state that must show after it.
class ScopeControls : public ::testing::Test {
protected:
    void step(const char* control, const QString& expected) {
        click(rig.named(control));
        EXPECT_EQ(state(), expected) << "after " << control;
    }
    static QString box(QWidget* w) { return w->palette().color(QPalette::Base).name(); }

    Rig rig;
    ScopeState& s = rig.scope();
    std::function<QString()> state;
};

// Halving rounds to the nearest, ties to even, never below 1; doubling stops at the cap (1024 for
// a gain, 256 for the time base). Without the lock a button moves its own setting only.
TEST_F(ScopeControls, StepButtonsDoubleAndHalveWithinTheirLimits) {
    // button, setting (left gain, right gain, time base), before, after
    const std::tuple<const char*, int, int, int> cases[] = {
        {"cmdSC1L_voldn", 0, 1, 1},  {"cmdSC1L_voldn", 0, 5, 2},
        {"cmdSC1L_voldn", 0, 7, 4},  {"cmdSC1L_volup", 0, 600, 1024},
        {"cmdSC1R_voldn", 1, 3, 2},  {"cmdSC1R_volup", 1, 1000, 1024},
        {"cmdTbase1Down", 2, 1, 1},  {"cmdTbase1Down", 2, 3, 2},
        {"cmdTbase1Up", 2, 200, 256}};
    for (const auto& [button, setting, before, after] : cases) {
        std::array<std::int32_t, 3> expected{9, 9, 9};
        s.gainL = s.gainR = s.timeBase = 9;
        *std::array{&s.gainL, &s.gainR, &s.timeBase}[setting] = before;
        expected[setting] = after;
        click(rig.named(button));
        EXPECT_EQ((std::array{s.gainL, s.gainR, s.timeBase}), expected) << button << " " << before;
        if (setting < 2) {  // the gain's box follows (the time base box: in manual mode only)
            EXPECT_EQ(rig.texts(setting ? "RgainReadout" : "LgainReadout"), QString::number(after));
        }
    }
}

// Gains, the right gain's box, the gain lock, the trigger lock and the face of its button.
TEST_F(ScopeControls, GainLockCouplesTheGainsAndTriggerLockToggles) {
    state = [&] {
        return joined(s.gainL, s.gainR, rig.texts("RgainReadout"), s.lockGains, s.lockToL,
                      rig.named<CommandButton>("Command1")->faceColour().name());
    };
    s.gainL = 64;
    s.gainR = 16;
    step("LockCheck", "64 64 64 1 1 #e0e0e0");         // checked: the right gain comes over at once
    step("cmdSC1R_volup", "64 64 64 1 1 #e0e0e0");     // and snaps back
    step("cmdSC1L_volup", "128 128 128 1 1 #e0e0e0");  // the left one moves both
    step("LockCheck", "128 128 128 0 1 #e0e0e0");      // unchecked: the gains stay
    step("cmdSC1R_voldn", "128 64 64 0 1 #e0e0e0");
    step("Command1", "128 64 64 0 0 #e0e0e0");  // the trigger lock starts on, normal face
    step("Command1", "128 64 64 0 1 #ffffff");  // white while a click has turned it on
}

// Automatic mode: grey boxes, no time-base label. Manual mode checks the settings (out of range
// becomes 32, a saved split and lock check their boxes); white boxes follow the buttons.
TEST_F(ScopeControls, AutoScaleSwitchesToManualAndBack) {
    state = [&] {
        return joined(s.manualScale, s.timeBase,
                      rig.texts("cmdAutoScale LgainReadout RgainReadout TbaseReadout"),
                      box(rig.c().leftGainBox),
                      box(rig.c().leftGainBox) == box(rig.c().rightGainBox) &&
                          box(rig.c().rightGainBox) == box(rig.c().timeBaseBox),
                      rig.c().timeBaseLabel->isHidden() ? "-" : "[" + rig.texts("lblTB1") + "]",
                      rig.c().splitTraceCheck->isChecked(), rig.c().lockGainsCheck->isChecked());
    };
    step("cmdTbase1Up", "0 64 AutoScale|32|32|1 #cccccc true - false false");
    s.splitTrace = s.lockGains = 1;
    s.gainL = 5000;
    s.timeBase = 0;
    step("cmdAutoScale", "1 32 Manual|32|32|32 #ffffff true [ ] true true");
    step("cmdTbase1Down", "1 16 Manual|32|32|16 #ffffff true [.35 ms/div] true true");
    s.manualScale = 5;  // any nonzero setting counts as manual
    step("cmdAutoScale", "0 16 AutoScale|32|32|16 #cccccc true - true true");
}

// In manual mode each control redraws at once; the channel mode (LR, XY, L, R, LR) shows with the
// next redraw, and a mode outside 0..3 is left alone.
TEST_F(ScopeControls, ControlsRedrawTheManualPictureAtOnce) {
    state = [&] {  // the lines y = 160, 210, 260 at x = 5000, and the channel mode's label
        return rig.at({{5000, 160}, {5000, 210}, {5000, 260}}) + " " + rig.texts("LRlabel");
    };
    click(rig.c().scalingButton);
    rig.window.scopePanel().ApplyScopeSettings();
    EXPECT_EQ(state(), "#Y# LR");  // silence: the right line over the left one
    for (const auto& [control, expected] : {std::pair("SplitCheck", "G#Y LR"),
                                            {"SplitCheck", "#Y# LR"},
                                            {"SA_LR", "#Y# XY"},
                                            {"SA_LR", "#Y# L"},
                                            {"cmdSC1L_volup", "#G# L"},
                                            {"SA_LR", "#G# R"},
                                            {"SA_LR", "#G# LR"}})
        step(control, expected);
    // At half the gain a 500-count sine is redrawn half as high, nothing left of the old one.
    click(rig.c().startButton);
    SyntheticSignal signal(SyntheticSignal::sine(60.0, 500.0, 200.0));
    s.timeBase = 256;  // several periods across the screen
    rig.feed(signal);
    EXPECT_NEAR(coverage(rig.image(), kGreenPx).first, rowOf(210 - 64 * 0.005 * 500), 1);
    click(rig.c().leftGainDownButton);
    EXPECT_NEAR(coverage(rig.image(), kGreenPx).first, rowOf(210 - 32 * 0.005 * 500), 1);
    s.scopeMode = 7;  // from a damaged settings file
    state = [&] { return joined(s.scopeMode, rig.texts("LRlabel")); };
    step("SA_LR", "7 LR");
}

}  // namespace acw::test
