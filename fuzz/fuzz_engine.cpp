// SPDX-License-Identifier: GPL-3.0-or-later
// The measurement engine on arbitrary buffers and finite, non-zero divisors (calibration never
// stores others), over one to four buffers: every readout shows a number (so every reading stays
// finite: never "nan", "inf" or "---") and the frequencies lie in the searched range. The seeds
// (make_seeds.py) run every kind of buffer against tiny, denormal, huge and negative divisors.
//
// Bytes 0..15: voltsCal and ampsCal; byte 16: bits 0-1 buffers - 1, bit 2 every frame the
// engine reads (not only the 4096 captured), bit 3 no START, bit 4 divisors back to 1 after the
// first buffer (a calibration); then 16-bit samples, repeated as the buffers need.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "FuzzCheck.h"
#include "measure/MeasurementEngine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    double voltsCal = 0, ampsCal = 0;
    if (size < 17) return 0;
    std::memcpy(&voltsCal, data, 8);
    std::memcpy(&ampsCal, data + 8, 8);
    if (!std::isfinite(voltsCal) || !std::isfinite(ampsCal) || voltsCal == 0 || ampsCal == 0)
        return 0;
    const std::uint8_t run = data[16];
    const std::size_t samples = (size - 17) / 2;
    // A fresh engine for every input, copied from one built once (both about 1 MB).
    static const auto pristine = std::make_unique<const acw::MeasurementEngine>();
    static const auto engine = std::make_unique<acw::MeasurementEngine>();
    acw::MeasurementEngine& e = *engine = *pristine;
    e.voltsCal = voltsCal;
    e.ampsCal = ampsCal;
    if (!(run & 8)) e.StartCapture();
    std::size_t next = 0;
    for (int b = 0; b <= (run & 3); ++b) {
        for (std::size_t i = 0; i < (run & 4 ? 2 * (acw::kLastFrame + 1) : 8192); ++i, ++next) {
            const std::uint8_t* p = data + 17 + 2 * (next % std::max<std::size_t>(samples, 1));
            e.captureBuffer[i] = samples ? static_cast<std::int16_t>(p[0] | p[1] << 8) : 0;
        }
        e.ProcessBuffer();
        const acw::ReadoutTexts& r = e.readouts;
        for (const std::string* text :
             {&r.averageFrequency, &r.voltsRms, &r.voltsLarge, &r.ampsRms, &r.ampsLarge,
              &r.voltAmps, &r.watts, &r.powerFactor, &r.voltsCrest, &r.ampsCrest}) {
            const std::string digits = text->substr(text->starts_with('-') ? 1 : 0);
            ACW_FUZZ_CHECK(std::count(digits.begin(), digits.end(), '.') == 1 &&
                           digits.find_first_not_of(".0123456789") == std::string::npos);
        }
        for (double f : {e.leftFrequency, e.rightFrequency, e.averageFrequency})
            ACW_FUZZ_CHECK(f >= 0 && f < 5500);
        if (run & 16) e.voltsCal = e.ampsCal = 1.0;
    }
    return 0;
}
