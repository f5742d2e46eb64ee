#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "calibration/ReferenceValue.h"

namespace acw {
namespace {

struct Case {
    const char* text;
    double value;
};

// What users actually type next to a reference meter, and the value each reads as (the nearest
// double, exactly).
TEST(ReferenceValue, ReadsTypedMeterValues) {
    const Case cases[] = {
        {"120", 120.0},      {"120 V", 120.0},
        {"1 20", 120.0},     {"\t1\n2 0", 120.0},
        {"  117.3 ", 117.3}, {".5", 0.5},
        {"5.", 5.0},         {"+.5", 0.5},
        {"-12.5", -12.5},    {"- 12.5", -12.5},
        {"2.5A", 2.5},       {"1,5", 1.0},
        {"1.2.3", 1.2},      {"0012", 12.0},
        {"1.2E3", 1200.0},   {"1.2e3", 1200.0},
        {"15E-1", 1.5},      {"15 E - 1 V", 1.5},
        {"4E+2", 400.0},     {"3E", 3.0},
        {"3E+", 3.0},        {"3EV", 3.0},
        {"3e-x", 3.0},       {"1e2e3", 100.0},
        {"0.000001e6", 1.0}, {"120\r", 120.0},
        {"0.1", 0.1},        {"3.14159265358979323846264338", 3.141592653589793},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(readReferenceValue(c.text), c.value) << '"' << c.text << '"';
    }
}

TEST(ReferenceValue, TextWithoutLeadingNumberReadsZero) {
    for (const char* text : {"", "   ", "V", "abc", "-", "+", ".", "-.", "e5", ".e5", "--5", "+-5",
                             "V120", "\r120", ",5", "E"}) {
        EXPECT_EQ(readReferenceValue(text), 0.0) << '"' << text << '"';
    }
}

TEST(ReferenceValue, MagnitudesBeyondDoubleRange) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(readReferenceValue("1e400"), inf);
    EXPECT_EQ(readReferenceValue("-1e400"), -inf);
    EXPECT_EQ(readReferenceValue("1e99999999999999999999999"), inf);
    EXPECT_EQ(readReferenceValue("0.0001e310"), 1e306);

    EXPECT_EQ(readReferenceValue("1e-400"), 0.0);
    EXPECT_EQ(readReferenceValue("1000e-99999999999999999999"), 0.0);
    const double negativeTiny = readReferenceValue("-1e-400");
    EXPECT_EQ(negativeTiny, 0.0);
    EXPECT_TRUE(std::signbit(negativeTiny));
    // Subnormal values are still values.
    EXPECT_EQ(readReferenceValue("5e-324"), std::numeric_limits<double>::denorm_min());
    // A zero mantissa stays zero whatever the exponent.
    EXPECT_EQ(readReferenceValue("0e99999999999999999999"), 0.0);
}

TEST(ReferenceValue, LongTextsAreReadWithoutTrouble) {
    std::string digits(5000, '7');
    EXPECT_EQ(readReferenceValue(digits), std::numeric_limits<double>::infinity());
    std::string blanks(100000, ' ');
    EXPECT_EQ(readReferenceValue(blanks + "42" + blanks), 42.0);
    std::string fraction = "0." + std::string(400, '0') + "1";
    EXPECT_EQ(readReferenceValue(fraction), 0.0);
}

}  // namespace
}  // namespace acw
