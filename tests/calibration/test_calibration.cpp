#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "calibration/Calibration.h"
#include "measure/CaptureLayout.h"
#include "measure/MeasurementEngine.h"
#include "measure/SyntheticSignal.h"

namespace acw {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(CalibrationDivisor, MapsTheReadingToTheReference) {
    EXPECT_EQ(calibrationDivisor(240.0, 120.0), 2.0);
    EXPECT_EQ(calibrationDivisor(5.0, 2.0), 2.5);
    EXPECT_EQ(calibrationDivisor(60.0, 120.0), 0.5);
    // A negative reference turns the sign of the readings.
    EXPECT_EQ(calibrationDivisor(240.0, -120.0), -2.0);
}

TEST(CalibrationDivisor, NeverZeroAndAlwaysFinite) {
    EXPECT_EQ(calibrationDivisor(240.0, 0.0), 1.0);  // no reference: no division
    EXPECT_EQ(calibrationDivisor(240.0, -0.0), 1.0);
    EXPECT_EQ(calibrationDivisor(0.0, 120.0), 1.0);     // no reading yet
    EXPECT_EQ(calibrationDivisor(1e-300, 1e300), 1.0);  // underflows to 0
    EXPECT_EQ(calibrationDivisor(1e300, 1e-300), 1.0);  // overflows
    EXPECT_EQ(calibrationDivisor(240.0, kInf), 1.0);
    EXPECT_EQ(calibrationDivisor(kInf, 120.0), 1.0);
    EXPECT_EQ(calibrationDivisor(kNaN, 120.0), 1.0);
    EXPECT_EQ(calibrationDivisor(240.0, kNaN), 1.0);
}

TEST(CalibrationChannel, PressWaitsWithNeutralDivisorAndCompletesFromTheText) {
    double divisor = 3.0;
    CalibrationChannel channel(divisor);
    EXPECT_TRUE(channel.press());
    EXPECT_EQ(divisor, 1.0);
    EXPECT_TRUE(channel.waiting());

    channel.complete(240.0, "120 V");
    EXPECT_EQ(divisor, 2.0);
    EXPECT_FALSE(channel.waiting());
}

TEST(CalibrationChannel, SecondPressWhileWaitingKeepsTheRunningDelay) {
    double divisor = 3.0;
    CalibrationChannel channel(divisor);
    ASSERT_TRUE(channel.press());
    divisor = 7.0;  // whatever happened meanwhile, the press makes it neutral again
    EXPECT_FALSE(channel.press());
    EXPECT_EQ(divisor, 1.0);
    EXPECT_TRUE(channel.waiting());

    channel.complete(50.0, "1 00");
    EXPECT_EQ(divisor, 0.5);
    // Idle again: the next press starts a new delay.
    EXPECT_TRUE(channel.press());
}

TEST(CalibrationChannel, UnusableReferenceOrReadingKeepsNeutralDivisor) {
    double divisor = 3.0;
    CalibrationChannel channel(divisor);
    for (const char* text : {"volts", "", "0", "1e400", "1e-400"}) {
        channel.press();
        channel.complete(240.0, text);
        EXPECT_EQ(divisor, 1.0) << '"' << text << '"';
    }
    channel.press();
    channel.complete(0.0, "120");  // nothing measured yet
    EXPECT_EQ(divisor, 1.0);
    channel.press();
    channel.complete(1e300, "1e-300");  // ratio too large for a double
    EXPECT_EQ(divisor, 1.0);
}

// The whole calibration against the real engine: a steady input, the reference meter says
// 120 V and 2.5 A; after calibrating both channels the engine reads exactly that.
class CalibratedEngine : public ::testing::Test {
protected:
    void SetUp() override {
        engine = std::make_unique<MeasurementEngine>();
        SyntheticSignal signal(SyntheticSignal::sine(60.0, 12000.0, 3000.0, 30.0));
        signal.fill(std::span<std::int16_t>(engine->captureBuffer.data(), kRecordedValues),
                    kFramesPerBuffer);
        engine->startCapture();
    }
    std::unique_ptr<MeasurementEngine> engine;
};

TEST_F(CalibratedEngine, ReadingsFollowTheReferenceFromTheNextBuffer) {
    engine->voltsCal = 4.0;  // an earlier, wrong calibration
    engine->ampsCal = 0.25;
    engine->ProcessBuffer();

    CalibrationChannel volts(engine->voltsCal);
    CalibrationChannel amps(engine->ampsCal);
    volts.press();
    amps.press();             // both calibrations overlap
    engine->ProcessBuffer();  // a buffer during the delay: uncalibrated readings
    const double rawVolts = engine->voltsRms;
    const double rawAmps = engine->ampsRms;
    ASSERT_GT(rawVolts, 10.0);
    ASSERT_GT(rawAmps, 0.1);
    const double rawWatts = engine->watts;

    volts.complete(engine->voltsRms, "120 V");
    engine->ProcessBuffer();  // the current channel still waits
    EXPECT_NEAR(engine->voltsRms, 120.0, 1e-9);
    EXPECT_EQ(engine->ampsRms, rawAmps);

    amps.complete(engine->ampsRms, "2.5");
    engine->ProcessBuffer();
    EXPECT_NEAR(engine->voltsRms, 120.0, 1e-9);
    EXPECT_NEAR(engine->ampsRms, 2.5, 1e-12);
    // Power follows both divisors: watts / (voltsCal * ampsCal).
    EXPECT_NEAR(engine->watts, rawWatts * (120.0 / rawVolts) * (2.5 / rawAmps), 1e-9);
    EXPECT_NEAR(engine->powerFactor, std::cos(30.0 * M_PI / 180.0), 0.01);
}

TEST_F(CalibratedEngine, WithoutAnyBufferTheDivisorStaysNeutral) {
    // Fresh start, no capture: the reading is still 0.
    CalibrationChannel volts(engine->voltsCal);
    volts.press();
    volts.complete(engine->voltsRms, "120");
    EXPECT_EQ(engine->voltsCal, 1.0);
}

}  // namespace
}  // namespace acw
