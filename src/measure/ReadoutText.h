#pragma once

#include <string>
#include <string_view>

namespace acw {

// Formats `value` with a number pattern made of '#', '0' and one '.':
//  '0' a digit always shown, '#' a digit shown only when significant (no leading zeros before
//  the point, no trailing zeros after it), '.' the decimal point, always shown. The count of
//  '0' and '#' after the point is the number of decimals the value is rounded to. Negative
//  values get a leading '-'. The decimal point is '.' whatever the user's locale.
// Examples: (59.73, "###.#") -> "59.7"; (0.5, "###.#") -> ".5"; (0, "###.#") -> ".";
//           (55.1234, "0.0##") -> "55.123"; (0.04, "0.0") -> "0.0"; (1, "0.000") -> "1.000".
std::string formatPattern(double value, std::string_view pattern);

// "###.#" completed to one decimal: the "HZ" readout (60 -> "60.0", 0 -> ".0").
std::string frequencyReadoutText(double averageFrequency);

// "#.###" completed to three decimals: the small "V" and "A" readouts (120 -> "120.000",
// 0.25 -> ".250", 0 -> ".000").
std::string rmsReadoutText(double rms);

}  // namespace acw
