#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "app/CommandLine.h"

namespace acw {

class MeasurementEngine;

// Exit statuses of the program.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailedPartWay = 1;  // output was started, then reading or writing failed
inline constexpr int kExitBadInput = 2;       // bad options or input; nothing was written

// The calibration divisors that headless measuring uses.
struct CalibrationDivisors {
    double voltsCal = 1.0;
    double ampsCal = 1.0;
};

// The user's settings file: "wattmeter.ini" in the generic configuration folder
// (normally ~/.config/wattmeter.ini). Empty when no such folder can be named.
std::string userSettingsPath();

// Takes voltsCal and ampsCal from lines 9 and 10 of a settings file, with the file's field rules;
// a divisor that reads as 0 (or is missing) becomes 1.0. With `settingsPath` the file must exist
// and be readable, else the result is a one-line error naming it. Without it the user's settings
// file is used where it exists, else both divisors are 1.0; a user's file that exists but cannot
// be read leaves 1.0 and sets `warning`. Returns "" on success. Never writes any file.
std::string loadCalibration(const std::optional<std::string>& settingsPath,
                            CalibrationDivisors& divisors, std::string& warning);

// The CSV header line, ending with "\n".
const char* csvHeader();

// Appends one CSV line (ending with "\n") for the buffer just processed: its start time in
// seconds, the eight readings with 9 significant digits and "." as the decimal point whatever
// the locale, and the two lamps ("VOLTS LOCK" from label2Colour, "AMPS LOCK" from label1Colour)
// as "red" or "green" ("black" when idle).
void appendCsvRow(std::string& out, double timeS, const MeasurementEngine& engine);

// Headless measuring (action Measure): checks the calibration source and the recording first
// and, only when everything is in order, writes the CSV header and one line per buffer to `out`.
// The engine is started with START's resets before the first buffer; each buffer carries 4096
// frames in the capture layout (values 0..8191, the rest zero); a last partial block of a
// recording is not measured. The demo adaptor is not paced. Errors go to `err` as one line
// beginning with "ac-wattmeter: ". Returns kExitOk, kExitBadInput (nothing written to `out`) or
// kExitFailedPartWay (the CSV is incomplete).
int runHeadlessMeasure(const CommandLineOptions& options, std::FILE* out, std::FILE* err);

}  // namespace acw
