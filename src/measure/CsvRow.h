// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

#include "measure/Measurement.h"

namespace acw {

// The columns of a measured buffer as headless measuring prints them, one line per buffer:
//   time_s,volts,amps,hz,watts,va,pf,v_cf,a_cf,volts_lock,amps_lock
// time_s is the start of the buffer in seconds since START; the readings have nine significant
// digits with "." as the decimal point whatever the locale; the lamps read "red" or "green"
// ("black", a lamp that is off, only outside a capture run).

// The header line, ending with "\n".
std::string csvHeader();

// Appends one line (ending with "\n") for `m`.
void appendCsvRow(std::string& out, const Measurement& m);

// One number as the CSV writes it: the shortest of "%.9g"-like forms that std::to_chars gives
// for nine significant digits, never "-0" (a zero is "0" whatever its sign), "nan" and "inf"
// only for values that are not finite.
void appendCsvNumber(std::string& out, double value);

std::string_view lampName(Lamp lamp);

}  // namespace acw
