// The reference value typed for a calibration, on arbitrary text, and the divisor made from it.
// The text is checked against a plain reading of the same rules (blanks dropped, the longest
// number at the start converted by the C library), and the divisor must be finite and non-zero
// for every reading, since the engine divides by it without a guard.

#include <locale.h>

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "calibration/Calibration.h"
#include "calibration/ReferenceValue.h"

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The value the text stands for: blanks, tabs and line feeds removed, then the longest prefix
// of the form [sign] digits [. digits] [E [sign] digits] with at least one mantissa digit,
// converted with correct rounding in the "C" locale; 0 when there is no such prefix.
double expectedValue(std::string_view text) {
    std::string s;
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\n') s += c;
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t mantissaDigits = 0;
    while (i < s.size() && isDigit(s[i])) ++i, ++mantissaDigits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) ++i, ++mantissaDigits;
    }
    if (mantissaDigits == 0) return 0.0;
    std::size_t end = i;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        const std::size_t exponentStart = j;
        while (j < s.size() && isDigit(s[j])) ++j;
        if (j > exponentStart) end = j;
    }
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    const std::string number = s.substr(0, end);
    return strtod_l(number.c_str(), nullptr, cLocale);
}

bool sameBits(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const double reference = acw::readReferenceValue(text);
    ACW_FUZZ_CHECK(!std::isnan(reference));
    ACW_FUZZ_CHECK(sameBits(reference, expectedValue(text)));

    // Readings a calibration may meet: none yet, ordinary ones, the extremes of a double, and
    // values that no buffer should give but a divisor must survive all the same.
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const double readings[] = {0.0,
                               -0.0,
                               1.0,
                               120.5,
                               -3.25,
                               reference,
                               std::numeric_limits<double>::denorm_min(),
                               std::numeric_limits<double>::min(),
                               std::numeric_limits<double>::max(),
                               -std::numeric_limits<double>::max(),
                               kInf,
                               -kInf,
                               std::numeric_limits<double>::quiet_NaN()};
    for (const double reading : readings) {
        const double divisor = acw::calibrationDivisor(reading, reference);
        ACW_FUZZ_CHECK(std::isfinite(divisor));
        ACW_FUZZ_CHECK(divisor != 0.0);
        // A division that can be made is made, exactly.
        const double ratio = reading / reference;
        if (reference != 0.0 && std::isfinite(ratio) && ratio != 0.0)
            ACW_FUZZ_CHECK(sameBits(divisor, ratio));

        // The button's path gives the same divisor.
        double channelDivisor = 7.0;
        acw::CalibrationChannel channel(channelDivisor);
        ACW_FUZZ_CHECK(channel.press());
        ACW_FUZZ_CHECK(channelDivisor == acw::kNeutralDivisor);
        channel.complete(reading, text);
        ACW_FUZZ_CHECK(sameBits(channelDivisor, divisor));
        ACW_FUZZ_CHECK(!channel.waiting());
    }
    return 0;
}
