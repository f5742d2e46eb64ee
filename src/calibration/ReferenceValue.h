#pragma once

#include <string_view>

namespace acw {

// Reads the reference value that the user typed into `txtV` or `txtA` (the reading of a
// reference meter) the way the instrument has always read it:
//  - blanks, tabs and line feeds anywhere in the text are ignored ("1 20" reads as 120);
//  - an optional sign may lead ("-5", "+5", "- 5");
//  - "." is the decimal separator whatever the user's locale (".5" reads as 0.5, "5." as 5);
//  - an optional exponent, "E" or "e" followed by an optionally signed integer ("1.2E3");
//    an exponent without digits is not part of the number ("3E" reads as 3);
//  - reading stops at the first character that cannot continue the number ("120 V" reads as
//    120, "1,5" as 1, "1.2.3" as 1.2);
//  - a text that does not begin with a number reads as 0 ("", "V", "abc", "-", ".").
// The result is rounded to the nearest double. A magnitude too large for a double reads as an
// infinity of the number's sign and one too small as a zero of its sign; callers that divide by
// the value must check the result (see calibrationDivisor).
double readReferenceValue(std::string_view text);

}  // namespace acw
