// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>

#include "calibration/Calibration.h"
#include "calibration/ReferenceValue.h"

using namespace acw;

// What users type next to a reference meter, and the value each reads as (exactly). Blanks
// anywhere are skipped; reading stops at the first character that cannot continue the number.
TEST(ReferenceValue, ReadsTheLeadingNumberOfTypedText) {
    const std::pair<std::string, double> cases[] = {
        // clang-format off
        {"120 V", 120}, {"\t1\n2 0", 120}, {".5", 0.5}, {"- 12.5", -12.5}, {"1,5", 1},
        {"1.2.3", 1.2}, {"15 E - 1 V", 1.5}, {"4E+2", 400}, {"3e-x", 3}, {"1e2e3", 100},
        {"volts", 0}, {"", 0}, {".e5", 0}, {"+-5", 0}, {"\r120", 0}, {"-1e400", -HUGE_VAL},
        {"1e-400", 0}, {"0.0001e310", 1e306}, {"1e99999999999999999999999", HUGE_VAL},
        {"0e99999999999999999999", 0}, {"5e-324", 5e-324}, {std::string(5000, '7'), HUGE_VAL},
        {std::string(99999, ' ') + "42", 42},
        // clang-format on
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(readReferenceValue(text), value) << '"' << text.substr(0, 40) << '"';
    EXPECT_TRUE(std::signbit(readReferenceValue("-1e-400")));
}

// A press checks the reference and that a reading can come; the completion divides the
// uncalibrated reading by the reference, or restores the divisor of before the press.
TEST(CalibrationChannel, OutcomesOfPressAndCompletion) {
    using O = CalibrationChannel::Outcome;
    CalibrationChannel channel;
    for (const char* bad : {"1e308", "-120", "0", "abc", "1000000"})
        EXPECT_EQ(channel.press(bad, true, 3.0), O::BadReference) << bad;
    EXPECT_EQ(channel.press("120", false, 3.0), O::NoReading);
    const std::tuple<const char*, std::optional<double>, O, O, double> completions[] = {
        {"1 20 V", 240.0, O::Calibrated, O::Calibrated, 2.0},
        {"999999", 1e-300, O::Calibrated, O::Calibrated, 1e-300 / 999999},
        {"-5", 240.0, O::Restored, O::BadReference, 3.0},  // the reference went bad meanwhile
        {"120", std::nullopt, O::Restored, O::NoReading, 3.0},
        {"120", 0.0, O::Restored, O::NoReading, 3.0},
    };
    for (const auto& [reference, reading, outcome, reason, expected] : completions) {
        EXPECT_FALSE(channel.waiting());
        EXPECT_EQ(channel.press("120", true, 3.0), O::StartDelay);
        EXPECT_EQ(channel.press("50", false, 1.0), O::DelayRunning);  // the delay runs on
        double divisor = 1.0;
        O why = O::Calibrated;
        EXPECT_EQ(channel.complete(reference, reading, divisor, &why), outcome);
        EXPECT_EQ(std::pair(why, divisor), std::pair(reason, expected)) << reference;
    }
}
