#include "calibration/ReferenceValue.h"

#include <charconv>
#include <limits>
#include <string>
#include <system_error>

namespace acw {
namespace {

bool isIgnoredBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The parts of the number found at the start of the text, blanks removed.
struct NumberText {
    bool negative = false;
    std::string integerDigits;
    std::string fractionDigits;
    bool exponentNegative = false;
    std::string exponentDigits;  // empty: no exponent (or an incomplete one, which is dropped)
};

NumberText scanNumber(std::string_view text) {
    enum class State { Start, AfterSign, Integer, Fraction, ExponentStart, ExponentSign, Exponent };
    NumberText number;
    State state = State::Start;
    for (const char c : text) {
        if (isIgnoredBlank(c)) continue;
        const bool hasMantissaDigit =
            !number.integerDigits.empty() || !number.fractionDigits.empty();
        switch (state) {
            case State::Start:
                if (c == '+' || c == '-') {
                    number.negative = (c == '-');
                    state = State::AfterSign;
                    continue;
                }
                [[fallthrough]];
            case State::AfterSign:
                if (isDigit(c)) {
                    number.integerDigits += c;
                    state = State::Integer;
                    continue;
                }
                if (c == '.') {
                    state = State::Fraction;
                    continue;
                }
                return number;
            case State::Integer:
                if (isDigit(c)) {
                    number.integerDigits += c;
                    continue;
                }
                if (c == '.') {
                    state = State::Fraction;
                    continue;
                }
                if ((c == 'E' || c == 'e') && hasMantissaDigit) {
                    state = State::ExponentStart;
                    continue;
                }
                return number;
            case State::Fraction:
                if (isDigit(c)) {
                    number.fractionDigits += c;
                    continue;
                }
                if ((c == 'E' || c == 'e') && hasMantissaDigit) {
                    state = State::ExponentStart;
                    continue;
                }
                return number;
            case State::ExponentStart:
                if (c == '+' || c == '-') {
                    number.exponentNegative = (c == '-');
                    state = State::ExponentSign;
                    continue;
                }
                [[fallthrough]];
            case State::ExponentSign:
            case State::Exponent:
                if (isDigit(c)) {
                    number.exponentDigits += c;
                    state = State::Exponent;
                    continue;
                }
                return number;
        }
    }
    return number;
}

// Decimal exponent of the leading nonzero digit (the value lies in [10^e, 10^(e+1))), saturated
// far beyond the range of a double. Only called when there is a nonzero digit.
long leadingDigitExponent(const NumberText& number) {
    constexpr long kSaturation = 1000000;
    long exponent = 0;
    for (const char c : number.exponentDigits) {
        exponent = exponent * 10 + (c - '0');
        if (exponent > kSaturation) {
            exponent = kSaturation;
            break;
        }
    }
    if (number.exponentNegative) exponent = -exponent;

    const std::size_t firstNonzero = number.integerDigits.find_first_not_of('0');
    if (firstNonzero != std::string::npos) {
        return exponent + static_cast<long>(number.integerDigits.size() - 1 - firstNonzero);
    }
    const std::size_t firstFractionNonzero = number.fractionDigits.find_first_not_of('0');
    return exponent - static_cast<long>(firstFractionNonzero + 1);
}

}  // namespace

double readReferenceValue(std::string_view text) {
    const NumberText number = scanNumber(text);
    if (number.integerDigits.empty() && number.fractionDigits.empty()) return 0.0;

    // A plain "C" form that std::from_chars reads without regard to the locale.
    std::string plain = number.integerDigits.empty() ? "0" : number.integerDigits;
    if (!number.fractionDigits.empty()) plain += '.' + number.fractionDigits;
    if (!number.exponentDigits.empty()) {
        plain += number.exponentNegative ? "e-" : "e";
        plain += number.exponentDigits;
    }

    double magnitude = 0.0;
    const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), magnitude);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        magnitude =
            leadingDigitExponent(number) >= 0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (error != std::errc()) {
        magnitude = 0.0;
    }
    return number.negative ? -magnitude : magnitude;
}

}  // namespace acw
