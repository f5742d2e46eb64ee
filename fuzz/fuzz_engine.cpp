// The measurement engine on arbitrary 16-bit buffers with arbitrary finite, non-zero calibration
// divisors, over several consecutive buffers (the engine carries extremes, peak bins and the
// frequency average from one buffer to the next). Every reading must stay finite, and no readout
// may show anything but a number.
//
// Input layout: bytes 0..7 and 8..15 are the bit patterns of voltsCal and ampsCal (inputs whose
// divisors are zero or not finite are skipped: calibration never stores them); byte 16 chooses
// the run (bits 0-1: one to four buffers; bit 2: fill every frame the engine reads, not only the
// 4096 the capture delivers; bit 3: no START before the first buffer; bit 4: both divisors
// return to 1.0 after the first buffer, as during a calibration); the rest are the samples,
// little-endian, repeated as often as the buffers need.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "FuzzCheck.h"
#include "measure/CaptureLayout.h"
#include "measure/MeasurementEngine.h"

namespace {

constexpr std::size_t kHeaderBytes = 17;

// A readout shows a number: an optional leading "-", digits and at most one ".".
bool showsNumber(const std::string& text) {
    if (text.empty()) return false;
    int points = 0;
    int digits = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '-' && i == 0) continue;
        if (c == '.') {
            ++points;
            continue;
        }
        if (c < '0' || c > '9') return false;
        ++digits;
    }
    return points <= 1 && (digits > 0 || points == 1);
}

void checkReadings(const acw::MeasurementEngine& e) {
    ACW_FUZZ_CHECK(std::isfinite(e.voltsRms));
    ACW_FUZZ_CHECK(std::isfinite(e.ampsRms));
    ACW_FUZZ_CHECK(std::isfinite(e.watts));
    ACW_FUZZ_CHECK(std::isfinite(e.voltAmps));
    ACW_FUZZ_CHECK(std::isfinite(e.powerFactor));
    ACW_FUZZ_CHECK(std::isfinite(e.voltsCrest));
    ACW_FUZZ_CHECK(std::isfinite(e.ampsCrest));
    ACW_FUZZ_CHECK(std::isfinite(e.averageFrequency));
    ACW_FUZZ_CHECK(e.leftFrequency >= 0.0 && e.leftFrequency < 5500.0);
    ACW_FUZZ_CHECK(e.rightFrequency >= 0.0 && e.rightFrequency < 5500.0);
    ACW_FUZZ_CHECK(e.averageFrequency >= 0.0 && e.averageFrequency < 5500.0);

    const acw::ReadoutTexts& r = e.readouts;
    ACW_FUZZ_CHECK(r.label57 == "V" && r.label54 == "A");
    const struct {
        const std::string& text;
        double reading;
        int decimals;
    } shown[] = {{r.label36, e.averageFrequency, 1},
                 {r.label37, e.voltsRms, 3},
                 {r.label7, e.voltsRms, 1},
                 {r.label35, e.ampsRms, 3},
                 {r.label8, e.ampsRms, 2},
                 {r.label41, e.voltAmps, 3},
                 {r.label40, e.watts, 3},
                 {r.label42, e.powerFactor, 3},
                 {r.label3, e.voltsCrest, 3},
                 {r.label5, e.ampsCrest, 3}};
    for (const auto& s : shown) {
        // The text is the reading rounded to the readout's decimals.
        const bool number = showsNumber(s.text);
        const double value = number ? std::strtod(s.text.c_str(), nullptr) : 0.0;
        const double tolerance =
            0.5 * std::pow(10.0, -s.decimals) * (1 + 1e-9) + std::fabs(s.reading) * 1e-15;
        if (!number || std::fabs(value - s.reading) > tolerance) {
            std::fprintf(stderr, "readout \"%s\" for %.17g\n", s.text.c_str(), s.reading);
            ACW_FUZZ_CHECK(false);
        }
    }
}

// With positive divisors of moderate size nothing can overflow, so every reading of this buffer
// is fresh and the physics holds: no negative readings, and the power never exceeds the apparent
// power (|mean of v a| <= RMS v x RMS a), up to the rounding of sums over 8190 frames.
void checkPhysics(const acw::MeasurementEngine& e) {
    ACW_FUZZ_CHECK(e.voltsRms >= 0.0 && e.ampsRms >= 0.0 && e.watts >= 0.0);
    ACW_FUZZ_CHECK(e.watts <= e.voltAmps * (1.0 + 1e-9));
    ACW_FUZZ_CHECK(e.powerFactor >= 0.0 && e.powerFactor <= 1.0 + 1e-9);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kHeaderBytes) return 0;
    double voltsCal = 0.0;
    double ampsCal = 0.0;
    std::memcpy(&voltsCal, data, sizeof voltsCal);
    std::memcpy(&ampsCal, data + 8, sizeof ampsCal);
    if (!std::isfinite(voltsCal) || !std::isfinite(ampsCal) || voltsCal == 0.0 || ampsCal == 0.0)
        return 0;
    const std::uint8_t run = data[16];
    const int buffers = 1 + (run & 3);
    const bool everyFrame = (run & 4) != 0;
    const bool start = (run & 8) == 0;
    const bool calibrating = (run & 16) != 0;
    const std::uint8_t* samples = data + kHeaderBytes;
    const std::size_t sampleCount = (size - kHeaderBytes) / 2;

    // Every input starts from an engine as at program start: a copy of one built once, which
    // spares each run the tables' construction (both objects are about 1 MB: on the heap).
    static const auto pristine = std::make_unique<const acw::MeasurementEngine>();
    static const auto engine = std::make_unique<acw::MeasurementEngine>();
    *engine = *pristine;
    acw::MeasurementEngine& e = *engine;
    e.voltsCal = voltsCal;
    e.ampsCal = ampsCal;
    if (start) e.startCapture();

    const bool moderate =
        voltsCal >= 1e-100 && voltsCal <= 1e100 && ampsCal >= 1e-100 && ampsCal <= 1e100;
    const std::size_t filled = everyFrame ? 2 * (acw::kLastFrame + 1) : acw::kRecordedValues;
    std::size_t next = 0;
    for (int b = 0; b < buffers; ++b) {
        for (std::size_t i = 0; i < filled; ++i) {
            std::int16_t value = 0;
            if (sampleCount != 0) {
                const std::uint8_t* p = samples + 2 * (next % sampleCount);
                value = static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
                ++next;
            }
            e.captureBuffer[i] = value;
        }
        e.ProcessBuffer();
        checkReadings(e);
        if (moderate) checkPhysics(e);
        if (calibrating) e.voltsCal = e.ampsCal = 1.0;
    }
    return 0;
}
