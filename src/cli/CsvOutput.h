// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "measure/CsvRow.h"
#include "measure/MeasurementObserver.h"

namespace acw {

class MeasurementSession;

// Headless measuring's output: the CSV header when capture starts and one line per measured
// buffer, written to a stream. Into a file the lines go out in large chunks; into a pipe or a
// terminal each line goes out as soon as its buffer is measured, so a reader sees it at once and
// a reader that went away (`| head -1`) ends the run at once.
//
// The first failed write ends the output: nothing more is written, failed() turns true and
// problem() says why; for an unpaced run the session is asked to stop. finish() hands out what
// is still held; call it once the run is over.
class CsvOutput : public MeasurementObserver {
public:
    enum class Flushing { Auto, PerLine, InChunks };

    // `session`: asked to stop an unpaced run when writing fails (may be null).
    explicit CsvOutput(std::FILE* out, MeasurementSession* session = nullptr, CsvLayout layout = {},
                       Flushing flushing = Flushing::Auto);

    bool finish();
    bool failed() const { return failed_; }
    const std::string& problem() const { return problem_; }
    std::int64_t lines() const { return lines_; }

    // MeasurementObserver.
    void captureStarted() override;
    void measured(const Measurement& m) override;

private:
    void write();
    void fail();

    std::FILE* out_;
    MeasurementSession* session_;
    CsvLayout layout_;
    bool perLine_;
    std::string buffer_;
    std::int64_t lines_ = 0;
    bool failed_ = false;
    std::string problem_;
};

}  // namespace acw
