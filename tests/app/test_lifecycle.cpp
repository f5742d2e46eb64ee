// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up and shutdown of the main window, the settings file between them, and the calibration
// whose divisors it keeps.

#include "../window/WindowRig.h"

namespace acw::test {

const char* const kFirstRun = "0\r\n2\r\n0\r\n0\r\n0\r\n32\r\n32\r\n32\r\n1\r\n1\r\n";

// The ten values the window holds, as the settings file would hold them ("|" for CR LF).
static QString settingsOf(Rig& rig) {
    return QString::fromStdString(writeSettingsText(rig.life.currentSettings()))
        .replace("\r\n", "|");
}

TEST(StartUp, ReadsValidatesAndShowsTheSettingsAndSelectsTheSavedDevice) {
    // file ("|" for CR LF), the state then, the highlighted device (-1: no devices), the caption
    const std::tuple<const char*, const char*, int, const char*> cases[] = {
        {nullptr, "0|2|0|0|0|32|32|32|1|1|", 0, "Scope Control - Card A"},
        {nullptr, "0|2|0|0|0|32|32|32|1|1|", -1, "Scope Control - "},
        {"1|3|1|", "1|3|1|0|0|32|32|32|1|1|", 1, "Scope Control - Card B"},
        {"0|2|0|1|1|5000|0|300|0|-2.5|", "0|2|0|1|1|32|32|32|1|-2.5|", 0, "Scope Control - Card A"},
        {"7|", "7|2|0|0|0|32|32|32|1|1|", 0, "Scope Control - "},  // names no device
        {"-1|", "-1|2|0|0|0|32|32|32|1|1|", 0, "Scope Control"},   // not named in the caption
        {"51|", "51|2|0|0|0|32|32|32|1|1|", 0, "Scope Control"},   // beyond the names kept
    };
    for (const auto& [file, state, row, caption] : cases) {
        SCOPED_TRACE(file ? file : "no file");
        Rig rig(row < 0 ? QStringList() : QStringList{"Card A", "Card B"},
                file ? QByteArray(file).replace('|', "\r\n").data() : nullptr);
        EXPECT_EQ(settingsOf(rig), state);
        EXPECT_EQ(joined(rig.c().deviceList->currentRow(), rig.c().scopeFrame->title()),
                  joined(row, caption));
        EXPECT_EQ(rig.at({{-200, -40}}) + rig.reports.join('|'), "#");  // the graticule drawn
    }
}

// "Exit" runs shutdown and then closes the window, whose close runs it once more: the ten lines
// are written twice, byte for byte as they were read, and nothing loops. The gain lock is taken
// from its box.
TEST(Shutdown, ExitWritesTheSettingsBackTwiceAndClosesTheWindow) {
    for (const char* file :
         {kFirstRun, "1\r\n0\r\n0\r\n1\r\n1\r\n1024\r\n1\r\n256\r\n0.3333333333333333\r\n-0.5\r\n",
          "1\r\n3\r\n1\r\n0\r\n0\r\n4\r\n4\r\n1\r\n123456789.125\r\n1E-300\r\n"}) {
        Rig rig({"Card A", "Card B"}, file == kFirstRun ? nullptr : file);
        QByteArray expected(file);
        // The box checked behind the settings' back: shutdown takes the gain lock from it.
        if (file == kFirstRun) rig.c().lockGainsCheck->setChecked(true), expected[6] = '1';
        QList<QByteArray> written;
        rig.onHelpClose = [&](int) {  // after each write: taken away to see the next one
            written << readAll(rig.path);
            QFile::remove(rig.path);
        };
        rig.c().exitAction->trigger();
        EXPECT_EQ(written, QList<QByteArray>(2, expected));
        EXPECT_EQ(joined(rig.programEnds, rig.window.isVisible()), "0 false");
    }
}

TEST(Shutdown, DuringCaptureStopsOnceAndEndsTheProgram) {
    for (const bool viaExit : {false, true}) {
        Rig rig;
        click(rig.c().startButton);
        rig.session.setAmpsCal(0.25);
        viaExit ? rig.c().exitAction->trigger() : void(rig.window.close());
        EXPECT_EQ(joined(rig.input->closeCalls, rig.programEnds, rig.helpCloses), "1 1 0");
        EXPECT_TRUE(readAll(rig.path).endsWith("\r\n1\r\n0.25\r\n"));
        rig.c().exitAction->trigger();  // once ended, shutdown does nothing more
        EXPECT_EQ(joined(rig.input->closeCalls, rig.programEnds, rig.helpCloses), "1 1 0");
    }
}

// The program's own boxes: a folder in place of the settings file is reported at start-up, which
// starts from the first-run values. A failed save offers Retry and Ignore, with advice on a file
// that stands where the settings folder should be; Retry tries again, Escape means Ignore, and
// "Exit" then ends without asking again.
TEST(Shutdown, ProgramBoxesReportLoadAndSaveFailures) {
    Rig rig({"Card A"}, "/");
    EXPECT_EQ(settingsOf(rig), QString(kFirstRun).replace("\r\n", "|"));
    ASSERT_TRUE(QFile(rig.dir.filePath("cfg")).open(QIODevice::WriteOnly));  // a file in the way
    const QString path = rig.dir.filePath("cfg/sub/wattmeter.ini");
    rig.session.setSettingsStore(SettingsStore(path));
    rig.retries = 1;
    rig.onHelpClose = [&](int) { rig.reports << "help closed"; };
    rig.c().exitAction->trigger();
    const QString failedSave = "Error Could not save the settings to " + path +
                               ": a file is in the way: " + rig.dir.filePath("cfg") +
                               " is a file, not a folder. Rename or remove that file";
    EXPECT_EQ(rig.reports,
              QStringList({"Error Could not read the settings from " + rig.path +
                               ": it is a folder, not a file. The instrument starts with",
                           failedSave, failedSave, "help closed", "help closed"}));
    EXPECT_EQ(joined(rig.retries, rig.window.isVisible()), "-1 false");
}

static void calibrate(const char* reference, QLineEdit* box, QPushButton* button) {
    box->setText(QString::fromLatin1(reference));
    click(button);
}

// During capture the divisor is 1.0 for the two-second delay, then reading / reference from the
// next buffer on. A reference that is not a positive number below 1e6 is refused, saying why.
// "Cal A" has its own box, timer and divisor; a second click while waiting keeps the deadline.
TEST(Calibration, DuringCaptureTheReadingsFollowTheReference) {
    Rig rig;
    const MainWindowControls& c = rig.c();
    // 22 whole periods in every buffer: each buffer reads exactly as the one before.
    SyntheticSignal steady(SyntheticSignal::sine(11025.0 * 22 / 4096, 9000.0, 4000.0, 20.0));
    click(c.startButton);
    for (const auto& [text, reference] :
         {std::pair("120 V", 120.0), {"1e308", 0.0}, {"-120", 0.0}, {"230", 230.0}}) {
        rig.session.setVoltsCal(3.0);  // an earlier calibration
        rig.feed(steady);
        calibrate(text, c.voltsReferenceBox, c.calibrateVoltsButton);
        EXPECT_EQ(joined(rig.session.voltsCal(), c.voltsCalibrationTimer->isActive(),
                         c.voltsCalibrationTimer->interval()),
                  reference == 0.0 ? "3 false 2000" : "1 true 2000")
            << text;
        if (reference == 0.0) continue;
        rig.feed(steady);  // measured during the delay: uncalibrated
        const double raw = rig.session.engine().voltsRms;
        QMetaObject::invokeMethod(c.voltsCalibrationTimer, "timeout");  // the delay is over
        rig.feed(steady);
        EXPECT_EQ(joined(rig.session.voltsCal(), rig.session.engine().voltsRms),
                  joined(raw / reference, reference));
    }
    EXPECT_EQ(rig.reports.join('|').remove(" is not a positive number below 1000000. The "
                                           "calibration is unchanged."),
              "The reference voltage \"1e308\"|The reference voltage \"-120\"");
    calibrate("2", c.ampsReferenceBox, c.calibrateAmpsButton);
    QTest::qWait(250);  // more than a coarse timer's 5 % slack on 2000 ms
    const int left = c.ampsCalibrationTimer->remainingTime();
    click(c.calibrateAmpsButton);  // again while waiting: the delay runs on
    const bool kept = c.ampsCalibrationTimer->remainingTime() <= left;
    rig.feed(steady);
    const double rawAmps = rig.session.engine().ampsRms, voltsCal = rig.session.voltsCal();
    QMetaObject::invokeMethod(c.ampsCalibrationTimer, "timeout");
    rig.feed(steady);
    EXPECT_EQ(joined(kept, rig.session.ampsCal(), rig.session.voltsCal(),
                     rig.texts("Label7 Label8"), c.ampsCalibrationTimer->interval()),
              joined(true, rawAmps / 2, voltsCal, "230.0|2.00", 2000));
}

// Without capture: before any START a click is refused, saying why, and the saved divisor stays;
// after STOP the last buffer's uncalibrated reading (its reading x the divisor it was made with)
// is used: the demo's 120 V line reads 240 V with the divisor 0.5, and 60 typed in makes the
// instrument read as a 60 V meter would.
TEST(Calibration, WithoutCaptureTheLastUncalibratedReadingIsUsed) {
    Rig rig({"Card A"}, "0\r\n2\r\n0\r\n0\r\n0\r\n32\r\n32\r\n32\r\n0.5\r\n1\r\n");
    const MainWindowControls& c = rig.c();
    calibrate("60", c.voltsReferenceBox, c.calibrateVoltsButton);
    EXPECT_EQ(joined(rig.session.voltsCal(), c.voltsCalibrationTimer->isActive()), "0.5 false");
    EXPECT_EQ(rig.reports.join('|'),
              "There is no voltage reading to calibrate against: press "
              "START and calibrate while the line is measured. The "
              "calibration is unchanged.");
    SyntheticSignal demo(SyntheticSignal::demoAdaptor());
    click(c.startButton);
    rig.feed(demo, 3);
    click(c.stopButton);
    const double shown = rig.session.engine().voltsRms;
    EXPECT_NEAR(shown, 240.0, 5.0);
    click(c.calibrateVoltsButton);
    QMetaObject::invokeMethod(c.voltsCalibrationTimer, "timeout");  // the delay is over
    EXPECT_DOUBLE_EQ(rig.session.voltsCal(), shown * 0.5 / 60.0);
    click(c.startButton);
    rig.feed(demo, 3);
    EXPECT_NEAR(rig.session.engine().voltsRms, 60.0, 1.0);
}

}  // namespace acw::test
