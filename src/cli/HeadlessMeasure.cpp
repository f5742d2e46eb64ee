#include "cli/HeadlessMeasure.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "capture/PacedInput.h"
#include "capture/WaveInput.h"
#include "capture/WaveInputFactory.h"
#include "cli/CsvOutput.h"
#include "cli/HeadlessExtras.h"
#include "cli/ProgressLine.h"
#include "cli/StopSignals.h"
#include "session/MeasurementSession.h"
#include "settings/MeasuringCalibration.h"

namespace acw {

namespace {

// The progress of a recording on the terminal: a line on stderr (percent, buffers, time left),
// erased at the end; only when stderr is a terminal and stdout is not the same one, so scripts,
// pipes and the CSV never see it.
class ProgressReport : public MeasurementObserver {
public:
    ProgressReport(MeasurementSession& session, std::int64_t limit, std::FILE* out, std::FILE* err)
        : session_(session), limit_(limit), out_(out), err_(err) {}

    void captureStarted() override {
        const auto* recording = dynamic_cast<const RecordingInput*>(&session_.input());
        if (recording == nullptr || ::isatty(::fileno(out_))) return;
        line_ = std::make_unique<ProgressLine>(
            err_, std::min(recording->buffersInRecording(), limit_), ::isatty(::fileno(err_)) != 0);
    }
    void measured(const Measurement& m) override {
        if (line_) line_->update(m.bufferIndex + 1);
    }
    void finish() {
        if (line_) line_->finish();
    }

private:
    MeasurementSession& session_;
    std::int64_t limit_;
    std::FILE* out_;
    std::FILE* err_;
    std::unique_ptr<ProgressLine> line_;
};

}  // namespace

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

    std::optional<ChannelChoice> channels;
    if (const std::string problem = channelChoiceOf(options, channels); !problem.empty()) {
        report(problem);
        return kExitBadInput;
    }
    MeasurementSession session(
        makeWaveInput(options.demo, options.inputPath, RecordingPlayback::Once, channels));
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
    ProgressReport progress(session, options.buffers.value_or(INT64_MAX), out, err);
    session.addObserver(progress);
    // Ctrl-C or SIGTERM ends the run after the buffer being measured, with every line written.
    StopSignals stopSignals;
    struct StopOnSignal : MeasurementObserver {
        StopSignals& stop;
        MeasurementSession& run;
        StopOnSignal(StopSignals& s, MeasurementSession& m) : stop(s), run(m) {}
        void measured(const Measurement&) override {
            if (stop.drain()) run.stopUnpaced();
        }
    } stopOnSignal(stopSignals, session);
    session.addObserver(stopOnSignal);

    const auto end = session.measureUnpaced(options.buffers.value_or(INT64_MAX));
    progress.finish();
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
