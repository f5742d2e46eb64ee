// SPDX-License-Identifier: GPL-3.0-or-later
// Headless measuring of arbitrary bytes as a recording, as `--measure --input FILE` measures it
// (at most six buffers): no crash, and either the file is refused before anything is written,
// or each whole block the reader finds is measured and printed as numbers and the two lamps.
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <fstream>

#include "FuzzCheck.h"
#include "capture/RecordingReader.h"
#include "cli/HeadlessMeasure.h"
#include "measure/CsvRow.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::string folder =
        std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") + "/acwXXXXXX";
    static const bool made = mkdtemp(folder.data()) != nullptr;  // left for TMPDIR's owner
    static FILE* const errors = fopen("/dev/null", "w");
    const acw::CommandLineOptions options{.action = acw::CommandLineOptions::Action::Measure,
                                          .inputPath = folder + "/input.wav",
                                          .settingsPath = folder + "/wattmeter.ini",
                                          .buffers = 6};
    std::ofstream(*options.inputPath).write(reinterpret_cast<const char*>(data), size);
    std::ofstream(*options.settingsPath) << "0\n2\n0\n0\n0\n32\n32\n32\n2\n0.5\n";
    char* out = nullptr;
    std::size_t outSize = 0;
    FILE* outFile = open_memstream(&out, &outSize);
    const int status = acw::runHeadlessMeasure(options, outFile, errors);
    fclose(outFile);
    const std::string csv(out, outSize), header = acw::csvHeader();
    free(out);
    acw::RecordingReader reader;
    const bool usable = reader.open(*options.inputPath).empty();
    ACW_FUZZ_CHECK(made && (status == acw::kExitBadInput ? !usable && csv.empty() : usable));
    if (status == acw::kExitBadInput) return 0;
    const auto rows = std::count(csv.begin(), csv.end(), '\n') - 1;
    ACW_FUZZ_CHECK(csv.starts_with(header) && csv.ends_with("\n"));
    ACW_FUZZ_CHECK(csv.find_first_not_of("0123456789.e+-,redgn\n", header.size()) ==
                   std::string::npos);
    ACW_FUZZ_CHECK(std::count(csv.begin(), csv.end(), ',') == 10 * (rows + 1));
    ACW_FUZZ_CHECK(status == acw::kExitOk
                       ? rows == std::min<std::int64_t>(reader.blocks(), 6)
                       : status == acw::kExitFailedPartWay && rows < reader.blocks());
    return 0;
}
