#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "calibration/ReferenceValue.h"

namespace acw {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// What users type next to a reference meter, and the value each reads as (exactly). Blanks
// anywhere are skipped; reading stops at the first character that cannot continue the number.
TEST(ReferenceValue, ReadsTheLeadingNumberOfTypedText) {
    // clang-format off
    const std::pair<const char*, double> cases[] = {
        {"120 V", 120.0}, {"1 20", 120.0}, {"\t1\n2 0", 120.0}, {".5", 0.5}, {"- 12.5", -12.5},
        {"1,5", 1.0}, {"1.2.3", 1.2}, {"15 E - 1 V", 1.5}, {"4E+2", 400.0}, {"3e-x", 3.0},
        {"1e2e3", 100.0}, {"3.14159265358979323846264338", 3.141592653589793},
        // Letters or signs without digits, or anything before the number, read as 0.
        {"volts", 0.0}, {"", 0.0}, {"-.", 0.0}, {".e5", 0.0}, {"+-5", 0.0}, {"V120", 0.0},
        {"\r120", 0.0},
        // Beyond the range of a double: infinite or zero, keeping the sign.
        {"1e400", kInf}, {"-1e400", -kInf}, {"1e99999999999999999999999", kInf},
        {"0.0001e310", 1e306}, {"1e-400", 0.0}, {"0e99999999999999999999", 0.0},
        {"5e-324", std::numeric_limits<double>::denorm_min()},
    };
    // clang-format on
    for (const auto& [text, value] : cases)
        EXPECT_EQ(readReferenceValue(text), value) << '"' << text << '"';
    EXPECT_TRUE(std::signbit(readReferenceValue("-1e-400")));
}

TEST(ReferenceValue, LongTextsAreReadWithoutTrouble) {
    EXPECT_EQ(readReferenceValue(std::string(5000, '7')), kInf);
    const std::string blanks(100000, ' ');
    EXPECT_EQ(readReferenceValue(blanks + "42" + blanks), 42.0);
    EXPECT_EQ(readReferenceValue("0." + std::string(400, '0') + "1"), 0.0);
}

}  // namespace
}  // namespace acw
