// SPDX-License-Identifier: GPL-3.0-or-later
// START, STOP and the sound-card picker through the window; the readouts, the lamps and the scope
// picture of measured buffers.

#include "WindowRig.h"

namespace acw::test {
namespace {

void clickEntry(QListWidget* list, int row) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(row)).center());
}

// The picker shows at the top of the window; a click chooses a device, EXIT names it in the frame
// caption (cut to 31 characters as in the list) and hides the picker, and START opens it.
TEST(WindowCapture, PickerChoosesTheDeviceThatStartOpens) {
    Rig rig({"Line In (Card A)", "Microphone Array (High Definition Audio Device)"});
    const MainWindowControls& c = rig.c();
    const int left = c.devicePicker->x();
    c.soundcardSetupAction->trigger();
    EXPECT_EQ(joined(c.devicePicker->isVisible(), c.devicePicker->x() - left, c.devicePicker->y()),
              "true 0 2");  // Top 30 twips
    clickEntry(c.deviceList, 1);
    EXPECT_EQ(c.scopeFrame->title(), "Scope Control - Line In (Card A)");
    click(c.pickerExitButton);
    EXPECT_EQ(joined(c.scopeFrame->title(), c.devicePicker->isVisible()),
              "Scope Control - Microphone Array (High Definiti false");
    click(c.startButton);
    EXPECT_EQ(joined(rig.input->lastOpenId, rig.session.isCapturing()), "1 true");
}

// A saved device the list does not hold keeps the first entry highlighted, and clicking that entry
// chooses it. A device that does not open, and one that stops, are reported.
TEST(WindowCapture, HighlightedEntryCanBeChosenAndCaptureErrorsAreReported) {
    Rig rig({"Card A", "Card B"}, "7\r\n");
    rig.input->openSucceeds = false;
    click(rig.c().startButton);
    EXPECT_EQ(joined(rig.input->lastOpenId, rig.lamps()), "7 off off");
    clickEntry(rig.c().deviceList, 0);
    rig.input->openSucceeds = true;
    click(rig.c().startButton);
    EXPECT_EQ(joined(rig.input->lastOpenId, rig.lamps()), "0 red red");
    rig.input->lose(QStringLiteral("unplugged"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return rig.reports.size() == 2; }));
    EXPECT_EQ(joined(rig.reports.join('|'), rig.session.isCapturing(), rig.lamps()),
              "Wave input device didn't open!|Wave input device stopped! false off off");
}

// A sine of 22 whole periods per buffer (59.216 Hz) with the current lagging by 60 degrees: power
// factor 0.5, 300 W of 600 VA, crest factors root 2. Full scale (32767 counts) is 750 V or 75 A.
TEST(WindowCapture, BuffersShowReadoutsLampsAndTracesUntilStop) {
    Rig rig;
    // Before the first buffer: the graticule on black, no trace.
    EXPECT_EQ(coverage(rig.image(), kBlackPx).second + coverage(rig.image(), kGridPx).second,
              309 * 213);
    EXPECT_EQ(std::tuple(rig.pixel(-200, -40), rig.pixel(19000, 460), rig.pixel(5000, 210),
                         rig.pixel(5000, 185)),
              std::tuple(kGridPx, kGridPx, kGridPx, kBlackPx));
    // START is a left click that ends over the label.
    QTest::mouseClick(rig.c().startButton, Qt::RightButton);
    QTest::mousePress(rig.c().startButton, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(rig.c().startButton, Qt::LeftButton, {}, QPoint(100, 5));
    EXPECT_EQ(rig.input->openCalls, 0);
    click(rig.c().startButton);
    const double volts = 2 * 120.02 * 32767 / 750, amps = 2 * 5.003 * 32767 / 75;
    SyntheticSignal signal(SyntheticSignal::sine(11025.0 * 22 / 4096, volts, amps, 60.0));
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
    EXPECT_EQ(std::pair(rig.pixel(-200, -40), rig.pixel(-1500, -70)), std::pair(kGridPx, kBlackPx));
    EXPECT_EQ(rig.c()
                  .scopeScreen->grab()
                  .toImage()
                  .copy(2, 2, 309, 213)
                  .convertToFormat(QImage::Format_RGB32),
              rig.image().convertToFormat(QImage::Format_RGB32));

    // A device chosen meanwhile and a second START leave the capture running as it is; STOP turns
    // the lamps off and leaves the readings and the picture.
    rig.c().soundcardSetupAction->trigger();
    clickEntry(rig.c().deviceList, 1);
    click(rig.c().pickerExitButton);
    click(rig.c().startButton);
    const QImage picture = rig.image();
    click(rig.c().stopButton);
    EXPECT_EQ(joined(rig.input->openCalls, rig.input->lastOpenId, rig.input->closeCalls,
                     rig.session.isCapturing(), rig.lamps(), rig.texts("Label37")),
              "1 0 1 false off off 120.035");
    EXPECT_EQ(rig.image(), picture);
    EXPECT_TRUE(rig.reports.isEmpty());
}

}  // namespace
}  // namespace acw::test
