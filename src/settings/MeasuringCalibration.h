// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

namespace acw {

// The calibration divisors that headless measuring uses.
struct CalibrationDivisors {
    double voltsCal = 1.0;
    double ampsCal = 1.0;
};

// The user's settings file: "wattmeter.ini" in the generic configuration folder (normally
// ~/.config/wattmeter.ini), in the system's encoding. Empty when no such folder can be named.
std::string userSettingsPath();

// Takes voltsCal and ampsCal from lines 9 and 10 of a settings file for headless measuring; a
// divisor that reads as 0 becomes 1.0, as at start-up. Never writes any file.
// - With `settingsPath` (the user named the file): the file must be a readable regular file (a
//   folder, a pipe or a device is refused without being opened) whose lines 9 and 10 both hold a
//   number; otherwise the result is a one-line error naming the file (and the line), and the
//   divisors stay 1.0.
// - Without it: the user's settings file where it exists, with the window's start-up rules (a
//   line that cannot be read gives 1.0); a file that exists but cannot be read leaves 1.0 and
//   sets `warning`. No file: both 1.0.
// Returns "" on success.
std::string loadCalibration(const std::optional<std::string>& settingsPath,
                            CalibrationDivisors& divisors, std::string& warning);

}  // namespace acw
