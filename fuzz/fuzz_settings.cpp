// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file reader on arbitrary bytes: no crash, only finite divisors taken, and the ten
// lines written for the values read read back to the same values and text, every field written
// over (the reader starts from values unlike any default). Then the same for the first eight
// bytes as the bit pattern of both divisors (one negated): any finite divisor survives the file.
#include <cmath>
#include <cstring>

#include "FuzzCheck.h"
#include "settings/SettingsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    acw::SettingsValues read;
    acw::readSettingsText(std::string_view(reinterpret_cast<const char*>(data), size), read);
    ACW_FUZZ_CHECK(std::isfinite(read.voltsCal) && std::isfinite(read.ampsCal));
    for (int round = 0; round < 2 && std::isfinite(read.voltsCal); ++round) {
        const std::string written = acw::writeSettingsText(read);
        ACW_FUZZ_CHECK(written.find_first_not_of("0123456789+-.E\r\n") == std::string::npos);
        acw::SettingsValues back{-12345, -7, -7, -7, -7, 987654, 987654, 987654, -42.25, -4.5};
        acw::readSettingsText(written, back);
        ACW_FUZZ_CHECK(acw::writeSettingsText(back) == written && written.ends_with("\r\n"));
        ACW_FUZZ_CHECK(std::memcmp(&back.voltsCal, &read.voltsCal, 8) == 0 &&
                       std::memcmp(&back.ampsCal, &read.ampsCal, 8) == 0);
        if (size < 8) return 0;
        std::memcpy(&read.voltsCal, data, 8);
        read.ampsCal = -read.voltsCal;
    }
    return 0;
}
