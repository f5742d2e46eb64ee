// SPDX-License-Identifier: GPL-3.0-or-later
// "Cal V" and "Cal A" on the running window: during capture, after STOP, before any START, and
// with references that cannot be used.

#include "../window/WindowRig.h"
#include "measure/MeasurementEngine.h"

namespace acw::test {
namespace {

void fire(QTimer* timer) { QMetaObject::invokeMethod(timer, "timeout"); }

void calibrate(const char* reference, QLineEdit* box, QPushButton* button) {
    box->setText(QString::fromLatin1(reference));
    click(button);
}

// During capture the divisor is 1.0 for the two-second delay, then reading / reference from the
// next buffer on. A reference that is not a positive number below 1e6 is refused, saying why.
TEST(Calibration, DuringCaptureTheReadingsFollowTheReference) {
    Rig rig;
    const MainWindowControls& c = rig.c();
    const double& volts = rig.session.engine().voltsRms;
    // 22 whole periods in every buffer: each buffer reads exactly as the one before.
    SyntheticSignal steady(SyntheticSignal::sine(11025.0 * 22 / 4096, 9000.0, 4000.0, 20.0));
    click(c.startButton);
    for (const auto& [text, reference] :
         {std::pair("120 V", 120.0), {"1e308", 0.0}, {"-120", 0.0}, {"230", 230.0}}) {
        rig.session.setVoltsCal(3.0);  // an earlier calibration
        rig.feed(steady);
        calibrate(text, c.voltsReferenceBox, c.calibrateVoltsButton);
        EXPECT_EQ(joined(rig.session.voltsCal(), c.voltsCalibrationTimer->isActive()),
                  reference == 0.0 ? "3 false" : "1 true")
            << text;
        if (reference == 0.0) continue;
        rig.feed(steady);  // measured during the delay: uncalibrated
        const double raw = volts;
        fire(c.voltsCalibrationTimer);
        rig.feed(steady);
        EXPECT_EQ(rig.session.voltsCal(), raw / reference);
        EXPECT_NEAR(volts, reference, 1e-12 * reference);
    }
    EXPECT_EQ(rig.reports, QStringList({"The reference voltage \"1e308\" is not a positive number "
                                        "below 1000000. The calibration is unchanged.",
                                        "The reference voltage \"-120\" is not a positive number "
                                        "below 1000000. The calibration is unchanged."}));
    EXPECT_EQ(c.voltsLargeReadout->text(), "230.0");

    // "Cal A" with its own box and timer; a second click while waiting keeps the deadline.
    calibrate("2", c.ampsReferenceBox, c.calibrateAmpsButton);
    QTest::qWait(50);
    const int left = c.ampsCalibrationTimer->remainingTime();
    rig.session.setAmpsCal(5.0);
    click(c.calibrateAmpsButton);
    EXPECT_EQ(joined(rig.session.ampsCal(), c.ampsCalibrationTimer->remainingTime() <= left),
              "1 true");
    rig.feed(steady);
    const double rawAmps = rig.session.engine().ampsRms, voltsCal = rig.session.voltsCal();
    fire(c.ampsCalibrationTimer);
    rig.feed(steady);
    EXPECT_EQ(joined(rig.session.ampsCal(), rig.session.voltsCal(), c.ampsLargeReadout->text()),
              joined(rawAmps / 2, voltsCal, "2.00"));
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
    EXPECT_EQ(rig.reports, QStringList("There is no voltage reading to calibrate against: press "
                                       "START and calibrate while the line is measured. The "
                                       "calibration is unchanged."));
    SyntheticSignal demo(SyntheticSignal::demoAdaptor());
    click(c.startButton);
    rig.feed(demo, 3);
    click(c.stopButton);
    const double shown = rig.session.engine().voltsRms;
    EXPECT_NEAR(shown, 240.0, 5.0);
    click(c.calibrateVoltsButton);
    fire(c.voltsCalibrationTimer);
    EXPECT_DOUBLE_EQ(rig.session.voltsCal(), shown * 0.5 / 60.0);
    click(c.startButton);
    rig.feed(demo, 3);
    EXPECT_NEAR(rig.session.engine().voltsRms, 60.0, 1.0);
    EXPECT_EQ(rig.reports.size(), 1);
}

}  // namespace
}  // namespace acw::test
