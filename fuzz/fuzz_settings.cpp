// The settings file reader on arbitrary bytes. Whatever a damaged or hand-edited file holds, the
// reader must not crash, every double it takes must be finite, and the file that shutdown writes
// for the values read must read back to exactly those values.

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "app/SettingsFile.h"

namespace {

bool sameBits(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

bool sameValues(const acw::SettingsValues& a, const acw::SettingsValues& b) {
    return a.selectedDevice == b.selectedDevice && a.scopeMode == b.scopeMode &&
           a.lockGains == b.lockGains && a.splitTrace == b.splitTrace &&
           a.manualScale == b.manualScale && a.gainL == b.gainL && a.gainR == b.gainR &&
           a.timeBase == b.timeBase && sameBits(a.voltsCal, b.voltsCal) &&
           sameBits(a.ampsCal, b.ampsCal);
}

// Values unlike any default, so that a field the second reading skips would show.
acw::SettingsValues sentinel() {
    acw::SettingsValues v;
    v.selectedDevice = -12345;
    v.scopeMode = v.lockGains = v.splitTrace = v.manualScale = -777;
    v.gainL = v.gainR = v.timeBase = 987654;
    v.voltsCal = v.ampsCal = -42.25;
    return v;
}

// The written file: ten lines, each ended by CR LF, of decimal numbers only.
bool wellFormed(const std::string& text) {
    int lines = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            if (i + 1 >= text.size() || text[i + 1] != '\n') return false;
            ++lines;
            ++i;
            continue;
        }
        const bool numeric = (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'E';
        if (!numeric) return false;
    }
    return lines == 10 && text.size() >= 2 && text.substr(text.size() - 2) == "\r\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    acw::SettingsValues read;
    acw::readSettingsText(input, read);
    ACW_FUZZ_CHECK(std::isfinite(read.voltsCal));
    ACW_FUZZ_CHECK(std::isfinite(read.ampsCal));

    const std::string written = acw::writeSettingsText(read);
    ACW_FUZZ_CHECK(wellFormed(written));
    acw::SettingsValues reread = sentinel();
    acw::readSettingsText(written, reread);
    ACW_FUZZ_CHECK(sameValues(read, reread));
    ACW_FUZZ_CHECK(acw::writeSettingsText(reread) == written);

    // The first eight bytes as a divisor's bit pattern: every finite double, denormals and the
    // extremes included, survives the file as line 9 and line 10.
    if (size >= sizeof(double)) {
        double divisor = 0.0;
        std::memcpy(&divisor, data, sizeof divisor);
        if (std::isfinite(divisor)) {
            acw::SettingsValues calibrated;
            calibrated.voltsCal = divisor;
            calibrated.ampsCal = -divisor;
            acw::SettingsValues back = sentinel();
            acw::readSettingsText(acw::writeSettingsText(calibrated), back);
            ACW_FUZZ_CHECK(sameValues(calibrated, back));
        }
    }
    return 0;
}
