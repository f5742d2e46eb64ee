#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace acw {

// The ten values of the settings file "wattmeter.ini", one per line in this order. The defaults
// are the values start-up holds before the file is read; start-up validates afterwards (gains
// and time base outside their ranges become 32, a divisor of 0 becomes 1.0).
struct SettingsValues {
    std::int32_t selectedDevice = 0;  // line 1
    std::int16_t scopeMode = 2;       // line 2
    std::int16_t lockGains = 0;       // line 3
    std::int16_t splitTrace = 0;      // line 4
    std::int16_t manualScale = 0;     // line 5
    std::int32_t gainL = 0;           // line 6
    std::int32_t gainR = 0;           // line 7
    std::int32_t timeBase = 0;        // line 8
    double voltsCal = 0.0;            // line 9
    double ampsCal = 0.0;             // line 10
};

// Reads the file's text into `values`, field by field in the order above. A field ends at a
// comma or a line end; blanks before a value are skipped. A field that cannot be converted to
// its type (not a number, out of range, not finite) leaves its value unchanged and reading goes
// on with the next field; fields past the end of the text leave their values unchanged.
void readSettingsText(std::string_view text, SettingsValues& values);

// The file's exact content: ten lines, each ended by CR LF; integers as plain decimals, doubles
// with "." whatever the locale, whole numbers without a fraction ("1"), exponent form only for
// very large or small magnitudes; every double reads back to the same value.
std::string writeSettingsText(const SettingsValues& values);

// One double in the file's form (see writeSettingsText).
std::string formatSettingsDouble(double value);

}  // namespace acw
