#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "measure/ReadoutText.h"

namespace acw {
namespace {

TEST(FormatPattern, LaysOutDigitsAsThePatternSays) {
    struct Example {
        double value;
        const char* pattern;
        const char* text;
    };
    const Example examples[] = {
        {59.73, "###.#", "59.7"},
        {60.04, "###.#", "60."},
        {0.5, "###.#", ".5"},
        {0, "###.#", "."},
        {120.4, "#.###", "120.4"},
        {0.123, "#.###", ".123"},
        {55, "0.0##", "55.0"},
        {55.12, "0.0##", "55.12"},
        {55.1234, "0.0##", "55.123"},
        {1, "0.000", "1.000"},
        {0.0004, "0.0##", "0.0"},
        {0.05, "0.00", "0.05"},
        {9.9996, "0.000", "10.000"},
        {0.9999, "#.###", "1."},
        {7.0, "00.0", "07.0"},
        {1234.6, "0", "1235"},
        // The scope's time base: 16384 * gain / 749700 ms per division.
        {16384.0 * 32 / 749700, "####.###", ".699"},
        {16384.0 * 256 / 749700, "####.###", "5.595"},
        // Negative values get a minus unless they round to zero.
        {-1.5, "0.000", "-1.500"},
        {-0.25, "#.###", "-.25"},
        {-0.0001, "0.0", "0.0"},
        {-0.0, "###.#", "."},
        // Exact binary halves are true ties: they round to even.
        {0.125, "0.00", "0.12"},
        {0.375, "0.00", "0.38"},
        {2.5, "0", "2"},
        {3.5, "0", "4"},
    };
    for (const Example& e : examples)
        EXPECT_EQ(formatPattern(e.value, e.pattern), e.text) << e.value << " with " << e.pattern;
}

TEST(FormatPattern, NonFiniteAndHugeValuesStaySane) {
    for (double v :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        for (const std::string& text :
             {formatPattern(v, "0.0##"), rmsReadoutText(v), frequencyReadoutText(-v)}) {
            EXPECT_FALSE(text.empty());
            EXPECT_EQ(text.find_first_of("inaf"), std::string::npos) << text;
        }
    }
    const std::string huge = formatPattern(std::numeric_limits<double>::max(), "0.0##");
    EXPECT_EQ(huge.substr(0, 5), "17976");
    EXPECT_EQ(huge.substr(huge.size() - 2), ".0");
    EXPECT_EQ(huge.size(), 309u + 2u);
}

TEST(ReadoutCompletion, RmsTextsHaveThreeDecimals) {
    const std::pair<double, const char*> cases[] = {
        {120, "120.000"}, {1.5, "1.500"}, {1.25, "1.250"},       {0.25, ".250"},
        {0, ".000"},      {0.05, ".050"}, {230.1234, "230.123"}, {-120, "-120.000"},
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
