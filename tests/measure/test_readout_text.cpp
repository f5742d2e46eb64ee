#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "measure/ReadoutText.h"

namespace acw {
namespace {

struct Example {
    double value;
    const char* pattern;
    const char* text;
};

TEST(FormatPattern, LaysOutDigitsAsThePatternSays) {
    const Example examples[] = {
        {59.73, "###.#", "59.7"},
        {60.04, "###.#", "60."},
        {0.5, "###.#", ".5"},
        {0, "###.#", "."},
        {120.4, "#.###", "120.4"},
        {0.123, "#.###", ".123"},
        {120, "#.###", "120."},
        {55, "0.0##", "55.0"},
        {55.12, "0.0##", "55.12"},
        {55.1234, "0.0##", "55.123"},
        {1, "0.000", "1.000"},
        {0.04, "0.0", "0.0"},
        {0.0004, "0.0##", "0.0"},
        {120, "0.0##", "120.0"},
        {0.05, "0.00", "0.05"},
        {0.0, "0.000", "0.000"},
        {9.9996, "0.000", "10.000"},
        {0.9999, "#.###", "1."},
        {7.0, "00.0", "07.0"},
        {1234.6, "0", "1235"},
        // The scope's time-base readout: 16384 * gain / 749700.
        {16384.0 * 32 / 749700, "####.###", ".699"},
        {16384.0 * 256 / 749700, "####.###", "5.595"},
        {16384.0 * 16 / 749700, "####.###", ".35"},
    };
    for (const Example& e : examples)
        EXPECT_EQ(formatPattern(e.value, e.pattern), e.text) << e.value << " with " << e.pattern;
}

TEST(FormatPattern, NegativeValuesGetALeadingMinusButZeroDoesNot) {
    EXPECT_EQ(formatPattern(-1.5, "0.000"), "-1.500");
    EXPECT_EQ(formatPattern(-0.25, "#.###"), "-.25");
    EXPECT_EQ(formatPattern(-0.0001, "0.0"), "0.0");
    EXPECT_EQ(formatPattern(-0.0, "###.#"), ".");
    EXPECT_EQ(rmsReadoutText(-0.25), "-.250");
    EXPECT_EQ(rmsReadoutText(-120), "-120.000");
}

TEST(FormatPattern, RoundsHalfwayValuesToEven) {
    // 0.125 and 0.375 are exact in binary, so they are true ties.
    EXPECT_EQ(formatPattern(0.125, "0.00"), "0.12");
    EXPECT_EQ(formatPattern(0.375, "0.00"), "0.38");
    EXPECT_EQ(formatPattern(2.5, "0"), "2");
    EXPECT_EQ(formatPattern(3.5, "0"), "4");
}

TEST(FormatPattern, NonFiniteAndHugeValuesStaySane) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double v : {nan, inf, -inf}) {
        for (const char* pattern : {"###.#", "#.###", "0.0", "0.0##", "0.000"}) {
            const std::string text = formatPattern(v, pattern);
            EXPECT_EQ(text.find("nan"), std::string::npos);
            EXPECT_EQ(text.find("inf"), std::string::npos);
            EXPECT_FALSE(text.empty());
        }
        EXPECT_EQ(rmsReadoutText(v).find('n'), std::string::npos);
        EXPECT_EQ(frequencyReadoutText(v).find('n'), std::string::npos);
    }
    const std::string huge = formatPattern(std::numeric_limits<double>::max(), "0.0##");
    EXPECT_EQ(huge.substr(0, 5), "17976");
    EXPECT_EQ(huge.substr(huge.size() - 2), ".0");
    EXPECT_EQ(huge.size(), 309u + 2u);
}

TEST(ReadoutCompletion, RmsTextsHaveThreeDecimals) {
    const std::pair<double, const char*> cases[] = {
        {120, "120.000"}, {1.5, "1.500"}, {1.25, "1.250"},       {0.25, ".250"},
        {0, ".000"},      {0.05, ".050"}, {230.1234, "230.123"}, {0.0004, ".000"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(rmsReadoutText(value), text) << value;
}

TEST(ReadoutCompletion, FrequencyTextHasOneDecimal) {
    const std::pair<double, const char*> cases[] = {
        {60, "60.0"}, {59.96, "60.0"}, {0, ".0"}, {0.3, ".3"}, {59.73, "59.7"}, {5490.86, "5490.9"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(frequencyReadoutText(value), text) << value;
}

}  // namespace
}  // namespace acw
