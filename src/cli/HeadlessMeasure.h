#pragma once

#include <cstdio>

#include "cli/CommandLine.h"

namespace acw {

// Exit statuses of the program.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailedPartWay = 1;  // output was started, then reading or writing failed
inline constexpr int kExitBadInput = 2;       // bad options or input; nothing was written

// Headless measuring of a recording or the demo adaptor (action Measure without --device): a
// measurement session reads the source unpaced, as fast as it can be measured, and the CSV goes
// to `out` (see CsvOutput). The calibration and the recording are checked first and, only when
// everything is in order, the header and one line per buffer are written; each buffer carries
// 4096 frames; a last partial block of a recording is not measured. Errors go to `err` as one
// line beginning with "ac-wattmeter: ". Returns kExitOk, kExitBadInput (nothing written to
// `out`) or kExitFailedPartWay (the CSV is incomplete).
int runHeadlessMeasure(const CommandLineOptions& options, std::FILE* out, std::FILE* err);

}  // namespace acw
