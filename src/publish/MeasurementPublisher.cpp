// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/MeasurementPublisher.h"

#include "measure/CsvRow.h"

namespace acw {

void stateFieldsOf(const Measurement& m, std::array<StateField, kStateKeys.size()>& fields) {
    const Readings& r = m.readings;
    const PowerAnalysis* a = m.analysis != nullptr && m.analysis->valid ? m.analysis : nullptr;
    const EnergyTotals* e = m.energy;
    const double numbers[] = {m.startSeconds(),   r.voltsRms,   r.ampsRms,
                              r.averageFrequency, r.watts,      r.voltAmps,
                              r.powerFactor,      r.voltsCrest, r.ampsCrest};
    std::size_t k = 0;
    for (double value : numbers) {
        fields[k] = StateField::value(kStateKeys[k], value);
        ++k;
    }
    fields[k] = StateField::label(kStateKeys[k], lampName(m.voltsLock));
    ++k;
    fields[k] = StateField::label(kStateKeys[k], lampName(m.ampsLock));
    ++k;
    const double analysis[] = {a ? a->activePowerW : 0.0,    a ? a->reactivePowerVar : 0.0,
                               a ? a->apparentPowerVa : 0.0, a ? a->phaseDeg : 0.0,
                               a ? a->voltsThdPct : 0.0,     a ? a->ampsThdPct : 0.0};
    for (double value : analysis) {
        fields[k] = a ? StateField::value(kStateKeys[k], value) : StateField::none(kStateKeys[k]);
        ++k;
    }
    const double energy[] = {e ? e->wh : 0.0,   e ? e->whImport : 0.0, e ? e->whExport : 0.0,
                             e ? e->varh : 0.0, e ? e->vah : 0.0,      e ? e->elapsedS : 0.0};
    for (double value : energy) {
        fields[k] = e ? StateField::value(kStateKeys[k], value) : StateField::none(kStateKeys[k]);
        ++k;
    }
}

void MeasurementPublisher::measured(const Measurement& m) {
    stateFieldsOf(m, fields_);
    publisher_.publishState(fields_);
}

}  // namespace acw
