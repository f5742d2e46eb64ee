// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file reader on arbitrary bytes: no crash, only finite divisors taken. The ten
// lines written for the values read, with the first eight bytes as the bit pattern of the
// current's divisor (any finite double must survive the file), read back to the same values and
// the same text, every field written over (the reader starts from values unlike any default).
#include <cmath>
#include <cstring>

#include "FuzzCheck.h"
#include "settings/SettingsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    acw::SettingsValues read;
    acw::readSettingsText(std::string_view(reinterpret_cast<const char*>(data), size), read);
    ACW_FUZZ_CHECK(std::isfinite(read.voltsCal) && std::isfinite(read.ampsCal));
    if (size >= 8) std::memcpy(&read.ampsCal, data, 8);
    if (!std::isfinite(read.ampsCal)) return 0;
    const std::string written = acw::writeSettingsText(read);
    ACW_FUZZ_CHECK(written.find_first_not_of("0123456789+-.E\r\n") == std::string::npos);
    acw::SettingsValues back{-12345, -7, -7, -7, -7, 987654, 987654, 987654, -42.25, -4.5};
    acw::readSettingsText(written, back);
    ACW_FUZZ_CHECK(acw::writeSettingsText(back) == written && written.ends_with("\r\n"));
    ACW_FUZZ_CHECK(std::memcmp(&back.voltsCal, &read.voltsCal, 8) == 0 &&
                   std::memcmp(&back.ampsCal, &read.ampsCal, 8) == 0);
    return 0;
}
