// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "measure/CsvRow.h"
#include "measure/MeasurementObserver.h"

namespace acw {

class InputRecording;
class MeasurementPublisher;
class MeasurementSession;
struct CommandLineOptions;

// What the options --analysis, --harmonics, --energy, --current-delay, --mqtt and --record add
// to headless measuring, set up on a session and taken down again.
//
// Order of calls: prepare() before the run (it checks everything the user gave and returns a
// one-line error, for exit status 2, before anything is written); the run; finish() after it.
// While the run goes on, it is an observer of the session (add it after the CSV output): it
// prints one line on stderr when the MQTT broker goes or comes back, and when the recording
// stops early, and measuring goes on.
class HeadlessExtras : public MeasurementObserver {
public:
    HeadlessExtras(const CommandLineOptions& options, std::FILE* err);
    ~HeadlessExtras() override;

    std::string prepare(MeasurementSession& session);
    // The CSV's columns.
    CsvLayout layout() const { return layout_; }
    // Stops publishing ("offline") and finishes the recording. Returns false when something
    // the user asked for failed on the way (already reported on stderr).
    bool finish();

    void measured(const Measurement& m) override;

private:
    void report(const std::string& line);
    void pollEvents();

    const CommandLineOptions& options_;
    std::FILE* err_;
    CsvLayout layout_;
    std::unique_ptr<MeasurementPublisher> publisher_;
    std::unique_ptr<InputRecording> recording_;
    bool failed_ = false;
};

}  // namespace acw
