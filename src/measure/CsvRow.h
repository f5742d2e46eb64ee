// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

#include "measure/Measurement.h"

namespace acw {

// The columns of a measured buffer as headless measuring prints them (and the readings log
// writes them), one line per buffer:
//   time_s,volts,amps,hz,watts,va,pf,v_cf,a_cf,volts_lock,amps_lock
// then, as asked for,
//   p_w,q_var,s_va,phi_deg,thd_v_pct,thd_i_pct                  (the power analysis)
//   v_h1,...,v_h50,i_h1,...,i_h50                               (its harmonics)
//   wh,wh_import,wh_export,varh,vah,elapsed_s                  (the energy integration)
// time_s is the start of the buffer in seconds since START; the numbers have nine significant
// digits with "." as the decimal point whatever the locale; the lamps read "red" or "green"
// ("black", a lamp that is off, only outside a capture run). The analysis columns are empty
// where the buffer has no analysis (no fundamental within 40..70 Hz), the energy columns where
// the measurement carries no totals.
struct CsvLayout {
    bool analysis = false;
    bool harmonics = false;
    bool energy = false;
};

// The header line, ending with "\n".
std::string csvHeader(const CsvLayout& layout = {});

// Appends one line (ending with "\n") for `m`.
void appendCsvRow(std::string& out, const Measurement& m, const CsvLayout& layout = {});

// One number as the CSV writes it: std::to_chars with nine significant digits, never "-0" (a
// zero is "0" whatever its sign), "nan" and "inf" only for values that are not finite.
void appendCsvNumber(std::string& out, double value);

std::string_view lampName(Lamp lamp);

}  // namespace acw
