// SPDX-License-Identifier: GPL-3.0-or-later
// Headless measuring of arbitrary bytes as a recording, as `--measure --input FILE` measures it
// (at most six buffers): no crash; the file is refused before anything is written exactly when
// the reader refuses it, and otherwise each whole block is measured (all of them unless reading
// failed part way) and printed as numbers and lamps.
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <fstream>

#include "FuzzCheck.h"
#include "capture/RecordingReader.h"
#include "cli/HeadlessMeasure.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::string folder =
        std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") + "/acwXXXXXX";
    static const bool made = mkdtemp(folder.data()) != nullptr;  // left to TMPDIR's owner
    static FILE* const errors = fopen("/dev/null", "w");
    const acw::CommandLineOptions options{.action = acw::CommandLineOptions::Action::Measure,
                                          .inputPath = folder + "/input.wav",
                                          .settingsPath = folder + "/wattmeter.ini",
                                          .buffers = 6};
    std::ofstream(*options.inputPath).write(reinterpret_cast<const char*>(data), size);
    std::ofstream(*options.settingsPath) << "0\n2\n0\n0\n0\n32\n32\n32\n2\n0.5\n";
    char* out = nullptr;
    std::size_t length = 0;
    FILE* csv = open_memstream(&out, &length);
    const int status = acw::runHeadlessMeasure(options, csv, errors);
    fclose(csv);
    const std::string text(out, length);
    free(out);
    acw::RecordingReader reader;
    const bool usable = reader.open(*options.inputPath).empty();
    const auto rows = std::count(text.begin(), text.end(), '\n') - 1;
    ACW_FUZZ_CHECK(made && status >= 0 && status <= 2 && usable == (status != acw::kExitBadInput));
    ACW_FUZZ_CHECK(usable ? text.starts_with("time_s,volts,amps,hz,") : text.empty());
    ACW_FUZZ_CHECK(text.find_first_not_of("0123456789.e+-,redgn\n", 64) == std::string::npos);
    ACW_FUZZ_CHECK(status != acw::kExitOk || rows == std::min<std::int64_t>(reader.blocks(), 6));
    ACW_FUZZ_CHECK(status != acw::kExitFailedPartWay || rows < reader.blocks());
    return 0;
}
