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
//
// Field rules in detail:
// - A line end is CR LF, a lone LF or a lone CR; each comma and each line end closes one field,
//   so "1,2\r\n3" holds three fields and an empty line is an empty field. The end of the text
//   closes a last field that has no line end; nothing after the last line end is a field.
// - Blanks (spaces and tabs) before and after the value are skipped ("  7" reads 7, "7 " too).
// - Integer fields take an optional sign and decimal digits, or any number in the form of the
//   double fields whose value is a whole number ("64.0", "1e2" read 64 and 100): "12abc", "1.5"
//   and an empty field cannot be converted. A value outside the range of the field's type
//   (16-bit for lines 2..5, 32-bit for the others) cannot be converted either.
// - Double fields take an optional sign, digits with an optional "." fraction and an optional
//   exponent ("1", "-0.5", ".5", "1e3", "1.5E+20"). "nan", "inf", a value too large or too small
//   for a double (it would become infinite or lose every digit) and anything followed by other
//   text ("0.5V") cannot be converted.
// - The values are taken as read, without validation: the caller applies start-up's rules.
void readSettingsText(std::string_view text, SettingsValues& values);

// The file's exact content: ten lines, each ended by CR LF; integers as plain decimals, doubles
// with "." whatever the locale, whole numbers without a fraction ("1"), exponent form only for
// very large or small magnitudes; every double reads back to the same value.
std::string writeSettingsText(const SettingsValues& values);

// One double in the file's form (see writeSettingsText): the shortest text that reads back to
// the same value. Magnitudes from 1E-5 up to below 1E+15 are written in plain decimals
// ("0.00001", "123456789.125", "-3"); smaller and larger ones as digits, "E", a signed power
// ("1E-300", "1.5E+20"). Zero is "0" and negative zero "-0". A value that is not finite is
// written as "nan", "inf" or "-inf", which the reader rejects (the field keeps its value).
std::string formatSettingsDouble(double value);

}  // namespace acw
