// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/CsvRow.h"

#include <charconv>

namespace acw {

std::string csvHeader() {
    return "time_s,volts,amps,hz,watts,va,pf,v_cf,a_cf,volts_lock,amps_lock\n";
}

std::string_view lampName(Lamp lamp) {
    switch (lamp) {
        case Lamp::Green:
            return "green";
        case Lamp::Red:
            return "red";
        case Lamp::Off:
            break;
    }
    return "black";
}

void appendCsvNumber(std::string& out, double value) {
    // A zero of either sign is printed as "0": a negative divisor times silence is no reading
    // below zero.
    if (value == 0.0) value = 0.0;
    char buffer[40];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 9);
    out.append(buffer, result.ptr);
}

void appendCsvRow(std::string& out, const Measurement& m) {
    const Readings& r = m.readings;
    const double values[] = {r.voltsRms, r.ampsRms,     r.averageFrequency, r.watts,
                             r.voltAmps, r.powerFactor, r.voltsCrest,       r.ampsCrest};
    appendCsvNumber(out, m.startSeconds());
    for (double value : values) {
        out.push_back(',');
        appendCsvNumber(out, value);
    }
    out.push_back(',');
    out.append(lampName(m.voltsLock));
    out.push_back(',');
    out.append(lampName(m.ampsLock));
    out.push_back('\n');
}

}  // namespace acw
