// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/CsvRow.h"

#include <charconv>

namespace acw {

namespace {

void appendField(std::string& out, double value) {
    out.push_back(',');
    appendCsvNumber(out, value);
}

void appendEmpty(std::string& out, int fields) {
    out.append(static_cast<std::size_t>(fields), ',');
}

}  // namespace

std::string csvHeader(const CsvLayout& layout) {
    std::string header = "time_s,volts,amps,hz,watts,va,pf,v_cf,a_cf,volts_lock,amps_lock";
    if (layout.analysis) header += ",p_w,q_var,s_va,phi_deg,thd_v_pct,thd_i_pct";
    if (layout.analysis && layout.harmonics) {
        for (const char* channel : {"v", "i"}) {
            for (int h = 1; h <= PowerAnalysis::kHarmonics; ++h)
                header += std::string(",") + channel + "_h" + std::to_string(h);
        }
    }
    if (layout.energy) header += ",wh,wh_import,wh_export,varh,vah,elapsed_s";
    return header + "\n";
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

void appendCsvRow(std::string& out, const Measurement& m, const CsvLayout& layout) {
    const Readings& r = m.readings;
    appendCsvNumber(out, m.startSeconds());
    for (double value : {r.voltsRms, r.ampsRms, r.averageFrequency, r.watts, r.voltAmps,
                         r.powerFactor, r.voltsCrest, r.ampsCrest})
        appendField(out, value);
    out.push_back(',');
    out.append(lampName(m.voltsLock));
    out.push_back(',');
    out.append(lampName(m.ampsLock));

    const PowerAnalysis* a = m.analysis != nullptr && m.analysis->valid ? m.analysis : nullptr;
    if (layout.analysis) {
        if (a != nullptr) {
            for (double value : {a->activePowerW, a->reactivePowerVar, a->apparentPowerVa,
                                 a->phaseDeg, a->voltsThdPct, a->ampsThdPct})
                appendField(out, value);
        } else {
            appendEmpty(out, 6);
        }
    }
    if (layout.analysis && layout.harmonics) {
        if (a != nullptr) {
            for (double value : a->voltsHarmonicsRms) appendField(out, value);
            for (double value : a->ampsHarmonicsRms) appendField(out, value);
        } else {
            appendEmpty(out, 2 * PowerAnalysis::kHarmonics);
        }
    }
    if (layout.energy) {
        if (const EnergyTotals* e = m.energy) {
            for (double value : {e->wh, e->whImport, e->whExport, e->varh, e->vah, e->elapsedS})
                appendField(out, value);
        } else {
            appendEmpty(out, 6);
        }
    }
    out.push_back('\n');
}

}  // namespace acw
