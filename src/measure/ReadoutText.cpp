#include "measure/ReadoutText.h"

#include <charconv>
#include <cmath>
#include <cstddef>

namespace acw {

namespace {

// Shown in place of a reading that is not a number: a readout never shows "nan" or "inf".
constexpr std::string_view kNoReading = "---";

// Longest fixed-point text of a finite double: 309 integer digits, the point and the decimals.
constexpr std::size_t kMaxIntegerDigits = 310;
constexpr int kMaxDecimals = 40;

}  // namespace

std::string formatPattern(double value, std::string_view pattern) {
    if (!std::isfinite(value)) return std::string(kNoReading);

    const std::size_t point = pattern.find('.');
    const std::string_view intPattern = pattern.substr(0, point);
    const std::string_view fracPattern =
        point == std::string_view::npos ? std::string_view{} : pattern.substr(point + 1);

    // '0' digits before the point set the least number of integer digits shown.
    std::size_t minIntDigits = 0;
    for (char c : intPattern)
        if (c == '0') ++minIntDigits;
    // Decimals: every digit place after the point counts; the last '0' among them sets how many
    // are always shown.
    int decimals = 0;
    int minDecimals = 0;
    for (char c : fracPattern) {
        if (c == '0' || c == '#') ++decimals;
        if (c == '0') minDecimals = decimals;
    }
    if (decimals > kMaxDecimals) decimals = kMaxDecimals;
    if (minDecimals > decimals) minDecimals = decimals;

    // Round the magnitude to `decimals` places (exact decimal expansion, ties to even) without
    // consulting the locale.
    char digits[kMaxIntegerDigits + 2 + kMaxDecimals];
    const auto res = std::to_chars(digits, digits + sizeof digits, std::fabs(value),
                                   std::chars_format::fixed, decimals);
    if (res.ec != std::errc{}) return std::string(kNoReading);
    const std::string_view text(digits, static_cast<std::size_t>(res.ptr - digits));

    const std::size_t dot = text.find('.');
    std::string_view intDigits = text.substr(0, dot);
    std::string_view fracDigits =
        dot == std::string_view::npos ? std::string_view{} : text.substr(dot + 1);

    bool allZero = true;
    for (char c : text)
        if (c >= '1' && c <= '9') allZero = false;

    while (!intDigits.empty() && intDigits.front() == '0' && intDigits.size() > minIntDigits)
        intDigits.remove_prefix(1);
    while (fracDigits.size() > static_cast<std::size_t>(minDecimals) && fracDigits.back() == '0')
        fracDigits.remove_suffix(1);

    std::string out;
    // A value that rounds to zero shows no sign.
    if (value < 0 && !allZero) out += '-';
    for (std::size_t i = intDigits.size(); i < minIntDigits; ++i) out += '0';
    out += intDigits;
    if (point != std::string_view::npos) {
        out += '.';
        out += fracDigits;
    }
    return out;
}

std::string frequencyReadoutText(double averageFrequency) {
    std::string s = formatPattern(averageFrequency, "###.#");
    if (!s.empty() && s.back() == '.') s += '0';
    return s;
}

std::string rmsReadoutText(double rms) {
    std::string s = formatPattern(rms, "#.###");
    // Pad to three decimals: each test looks at the text as the previous one left it.
    if (s.size() >= 1 && s[s.size() - 1] == '.') s += '0';
    if (s.size() >= 2 && s[s.size() - 2] == '.') s += '0';
    if (s.size() >= 3 && s[s.size() - 3] == '.') s += '0';
    return s;
}

}  // namespace acw
