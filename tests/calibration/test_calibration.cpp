#include <gtest/gtest.h>

#include <limits>

#include "calibration/Calibration.h"

namespace acw {
namespace {

TEST(CalibrationDivisor, MapsTheReadingToTheReferenceButIsNeverZeroOrNonFinite) {
    EXPECT_EQ(calibrationDivisor(240.0, 120.0), 2.0);
    EXPECT_EQ(calibrationDivisor(240.0, -120.0), -2.0);  // a negative reference turns the sign
    EXPECT_EQ(calibrationDivisor(240.0, 0.0), 1.0);      // no reference: no division
    EXPECT_EQ(calibrationDivisor(0.0, 120.0), 1.0);      // no reading yet
    EXPECT_EQ(calibrationDivisor(1e-300, 1e300), 1.0);   // underflows to 0
    EXPECT_EQ(calibrationDivisor(1e300, 1e-300), 1.0);   // overflows
    EXPECT_EQ(calibrationDivisor(std::numeric_limits<double>::quiet_NaN(), 120.0), 1.0);
}

TEST(CalibrationChannel, PressWaitsWithNeutralDivisorAndASecondPressKeepsTheDelay) {
    double divisor = 3.0;
    CalibrationChannel channel(divisor);
    EXPECT_TRUE(channel.press());  // start the delay
    EXPECT_EQ(divisor, 1.0);
    divisor = 7.0;
    EXPECT_FALSE(channel.press());  // the running delay is kept
    EXPECT_EQ(divisor, 1.0);

    channel.complete(240.0, "1 20 V");
    EXPECT_EQ(divisor, 2.0);
    EXPECT_FALSE(channel.waiting());
    EXPECT_TRUE(channel.press());  // idle again: a new delay
    channel.complete(240.0, "1e400");
    EXPECT_EQ(divisor, 1.0);
}

}  // namespace
}  // namespace acw
