#include "cli/HeadlessMeasure.h"

#include <cstdint>
#include <memory>
#include <string>

#include "capture/WaveInput.h"
#include "capture/WaveInputFactory.h"
#include "cli/CsvOutput.h"
#include "cli/HeadlessExtras.h"
#include "session/MeasurementSession.h"
#include "settings/MeasuringCalibration.h"

namespace acw {

int runHeadlessMeasure(const CommandLineOptions& options, std::FILE* out, std::FILE* err) {
    auto report = [err](const std::string& message) {
        std::fprintf(err, "ac-wattmeter: %s\n", message.c_str());
        std::fflush(err);
    };
    if (!options.inputPath && !options.demo) {
        report("--measure needs --input FILE, --demo or --device N");
        return kExitBadInput;
    }

    // Everything is checked before the first line of output.
    CalibrationDivisors divisors;
    std::string warning;
    const std::string settingsProblem = loadCalibration(options.settingsPath, divisors, warning);
    if (!settingsProblem.empty()) {
        report(settingsProblem);
        return kExitBadInput;
    }
    if (!warning.empty()) report(warning);

    MeasurementSession session(
        makeWaveInput(options.demo, options.inputPath, RecordingPlayback::Once));
    session.setVoltsCal(divisors.voltsCal);
    session.setAmpsCal(divisors.ampsCal);
    HeadlessExtras extras(options, err);
    const std::string extrasProblem = extras.prepare(session);
    if (!extrasProblem.empty()) {
        report(extrasProblem);
        return kExitBadInput;
    }
    CsvOutput csv(out, &session, extras.layout());
    session.addObserver(csv);
    session.addObserver(extras);

    const auto end = session.measureUnpaced(options.buffers.value_or(INT64_MAX));
    const bool extrasDone = extras.finish();
    const QString problem = session.input().problem();
    if (end == MeasurementSession::UnpacedEnd::OpenFailed) {
        report(problem.toStdString());
        return kExitBadInput;
    }
    if (!csv.finish()) {
        report(csv.problem());
        return kExitFailedPartWay;
    }
    if (end == MeasurementSession::UnpacedEnd::ReadFailed) {
        report(problem.toStdString() + "; the output above is incomplete");
        return kExitFailedPartWay;
    }
    return extrasDone ? kExitOk : kExitFailedPartWay;
}

}  // namespace acw
