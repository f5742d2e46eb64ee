#include "settings/SettingsFile.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>
#include <system_error>

namespace acw {

namespace {

constexpr int kFieldCount = 10;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Splits off the next field of `rest`: everything up to the next comma or line end, which is
// consumed with it (CR LF counts as one line end). Returns nothing at the end of the text.
std::optional<std::string_view> nextField(std::string_view& rest) {
    if (rest.empty()) return std::nullopt;
    std::size_t end = 0;
    while (end < rest.size() && rest[end] != ',' && rest[end] != '\r' && rest[end] != '\n') ++end;
    const std::string_view field = rest.substr(0, end);
    std::size_t next = end;
    if (next < rest.size()) {
        if (rest[next] == '\r' && next + 1 < rest.size() && rest[next + 1] == '\n') ++next;
        ++next;
    }
    rest.remove_prefix(next);
    return field;
}

std::string_view trimBlanks(std::string_view field) {
    while (!field.empty() && isBlank(field.front())) field.remove_prefix(1);
    while (!field.empty() && isBlank(field.back())) field.remove_suffix(1);
    return field;
}

// Drops a leading "+" (the conversions below take only "-"), unless a second sign follows.
bool dropPlus(std::string_view& text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (text.empty() || text.front() == '+' || text.front() == '-') return false;
    }
    return true;
}

bool parseDouble(std::string_view field, double& target) {
    std::string_view text = trimBlanks(field);
    if (!dropPlus(text) || text.empty()) return false;
    // Only decimal numbers: letters other than an exponent "e" or "E" (hex digits, "inf", "nan")
    // are refused before the conversion sees them.
    for (char c : text) {
        const bool allowed =
            (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
        if (!allowed) return false;
    }
    double value = 0.0;
    const char* last = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), last, value, std::chars_format::general);
    if (ec != std::errc() || ptr != last || !std::isfinite(value)) return false;
    target = value;
    return true;
}

void readDouble(std::string_view field, double& target) { parseDouble(field, target); }

// Plain decimal integers, and any other number whose value is a whole number in the field's
// range ("64.0", "1e2"): another program, or a hand, may have written the file.
template <typename Int>
void readInteger(std::string_view field, Int& target) {
    std::string_view text = trimBlanks(field);
    if (!dropPlus(text) || text.empty()) return;
    Int value{};
    const char* last = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), last, value, 10);
    if (ec == std::errc() && ptr == last) {
        target = value;
        return;
    }
    double number = 0.0;
    if (!parseDouble(field, number) || number != std::trunc(number)) return;
    if (number < static_cast<double>(std::numeric_limits<Int>::min()) ||
        number > static_cast<double>(std::numeric_limits<Int>::max()))
        return;
    target = static_cast<Int>(number);
}

void appendLine(std::string& out, std::string_view value) {
    out.append(value);
    out.append("\r\n");
}

template <typename Int>
std::string integerText(Int value) {
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

}  // namespace

void readSettingsText(std::string_view text, SettingsValues& values) {
    std::string_view rest = text;
    for (int index = 0; index < kFieldCount; ++index) {
        const std::optional<std::string_view> field = nextField(rest);
        if (!field) return;
        switch (index) {
            case 0:
                readInteger(*field, values.selectedDevice);
                break;
            case 1:
                readInteger(*field, values.scopeMode);
                break;
            case 2:
                readInteger(*field, values.lockGains);
                break;
            case 3:
                readInteger(*field, values.splitTrace);
                break;
            case 4:
                readInteger(*field, values.manualScale);
                break;
            case 5:
                readInteger(*field, values.gainL);
                break;
            case 6:
                readInteger(*field, values.gainR);
                break;
            case 7:
                readInteger(*field, values.timeBase);
                break;
            case 8:
                readDouble(*field, values.voltsCal);
                break;
            case 9:
                readDouble(*field, values.ampsCal);
                break;
            default:
                break;
        }
    }
}

std::string writeSettingsText(const SettingsValues& values) {
    std::string out;
    out.reserve(128);
    appendLine(out, integerText(values.selectedDevice));
    appendLine(out, integerText(values.scopeMode));
    appendLine(out, integerText(values.lockGains));
    appendLine(out, integerText(values.splitTrace));
    appendLine(out, integerText(values.manualScale));
    appendLine(out, integerText(values.gainL));
    appendLine(out, integerText(values.gainR));
    appendLine(out, integerText(values.timeBase));
    appendLine(out, formatSettingsDouble(values.voltsCal));
    appendLine(out, formatSettingsDouble(values.ampsCal));
    return out;
}

std::string formatSettingsDouble(double value) {
    char buffer[64];
    if (!std::isfinite(value)) {
        if (std::isnan(value)) return "nan";
        return value < 0 ? "-inf" : "inf";
    }
    const double magnitude = std::fabs(value);
    if (magnitude == 0.0 || (magnitude >= 1e-5 && magnitude < 1e15)) {
        // Plain decimals: the shortest digits that read back to the same value.
        const auto result =
            std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
        return std::string(buffer, result.ptr);
    }
    // Exponent form: "d.ddd", "E", sign, power without leading zeros.
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    const std::string_view sci(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const std::size_t e = sci.find('e');
    std::string out(sci.substr(0, e));
    out.push_back('E');
    out.push_back(sci[e + 1]);  // to_chars always writes the exponent's sign
    std::string_view power = sci.substr(e + 2);
    while (power.size() > 1 && power.front() == '0') power.remove_prefix(1);
    out.append(power);
    return out;
}

}  // namespace acw
