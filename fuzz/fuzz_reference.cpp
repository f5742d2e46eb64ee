// SPDX-License-Identifier: GPL-3.0-or-later
// The reference typed for a calibration, on arbitrary text, and the calibration made with it:
// refused unless 0 < reference < 1e6; otherwise the new divisor is exactly reading / reference,
// or the divisor of before the press when that is 0 or not finite (the engine divides by it).
#include <cmath>
#include <cstring>

#include "FuzzCheck.h"
#include "calibration/Calibration.h"
#include "calibration/ReferenceValue.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using Outcome = acw::CalibrationChannel::Outcome;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const double reference = acw::readReferenceValue(text);
    const bool usable = reference > 0 && reference < 1e6;
    ACW_FUZZ_CHECK(!std::isnan(reference));
    for (double reading : {0.0, 120.5, -3.25, 1e-300, 5e-324, 1.7e308, HUGE_VAL, double{NAN}}) {
        acw::CalibrationChannel channel;
        ACW_FUZZ_CHECK((channel.press(text, true, 7.0) == Outcome::StartDelay) == usable);
        if (!usable) return 0;
        double divisor = 1.0, ratio = reading / reference;
        const bool made = std::isfinite(ratio) && ratio != 0;
        ACW_FUZZ_CHECK(channel.complete(text, reading, divisor) ==
                       (made ? Outcome::Calibrated : Outcome::Restored));
        if (!made) ratio = 7.0;
        ACW_FUZZ_CHECK(std::memcmp(&divisor, &ratio, sizeof ratio) == 0);
    }
    return 0;
}
