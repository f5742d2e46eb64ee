// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "measure/MeasurementObserver.h"
#include "record/InputRecorder.h"
#include "record/LogWriter.h"

namespace acw {

// The readings log: an observer of the measurement session that appends one line per measured
// buffer to a CSV file (see LogWriter: off the measuring thread, flushed line by line). Each line
// is the local time the buffer was measured, in ISO 8601 with milliseconds and the offset from
// UTC ("2026-12-07T14:03:21.372+01:00"), then the columns of headless measuring with the
// analysis and energy columns. The header names them: "local_time,time_s,volts,...".
class ReadingsLog : public MeasurementObserver {
public:
    std::string open(const std::string& path);
    void close() { writer_.close(); }
    bool isOpen() const { return writer_.isOpen(); }
    std::optional<std::string> takeFailure() { return writer_.takeFailure(); }

    void measured(const Measurement& m) override;

    // The line for `m`, measured at `when` (for tests: a fixed time).
    static void formatLine(std::string& out, const Measurement& m,
                           std::chrono::system_clock::time_point when);

private:
    LogWriter writer_;
    std::string line_;
};

// Recording the input: an observer that writes exactly the frames that are measured, in order,
// to a WAV or FLAC file (see InputRecorder: off the measuring thread). Measuring the file
// afterwards gives the same buffers.
class InputRecording : public MeasurementObserver {
public:
    std::string open(const std::string& path) { return recorder_.open(path); }
    // Finishes the file; waits for what is still queued.
    void close() { recorder_.close(); }
    bool isOpen() const { return recorder_.isOpen(); }
    std::optional<std::string> takeFailure() { return recorder_.takeFailure(); }

    void measured(const Measurement& m) override;

private:
    InputRecorder recorder_;
};

}  // namespace acw
