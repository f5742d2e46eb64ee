#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "measure/AudioFFT.h"
#include "measure/CaptureLayout.h"

namespace acw {

// Lamp colours as 0x00BBGGRR values (red + 256 green + 65536 blue).
inline constexpr std::uint32_t kLampBlack = 0;
inline constexpr std::uint32_t kLampRed = 255;
inline constexpr std::uint32_t kLampGreen = 65280;

// The texts of the readout panel after a buffer, by label name. The four readout updates of a
// buffer are, in this order: frequency (label36); voltage (label57, label37, label7); current
// (label54, label35, label8); power group (label41, label40, label42, label3, label5).
struct ReadoutTexts {
    std::string label36 = "0.0";  // averageFrequency, "###.#" completed
    std::string label57 = "V";
    std::string label37 = "0.0";  // voltsRms, "#.###" completed
    std::string label7 = "0.0";   // voltsRms, "0.0"
    std::string label54 = "A";
    std::string label35 = "0.0";  // ampsRms, "#.###" completed
    std::string label8 = "0.0";   // ampsRms, "0.00"
    std::string label41 = "0.0";  // voltAmps, "0.0##"
    std::string label40 = "0.0";  // watts, "0.0##"
    std::string label42 = "0.0";  // powerFactor, "0.000"
    std::string label3 = "0.0";   // voltsCrest, "0.000"
    std::string label5 = "0.0";   // ampsCrest, "0.000"
};

// The measurement engine. It owns every value the per-buffer computation keeps, under the
// instrument's names. The capture side writes `captureBuffer` (values 0..8191) and calls
// ProcessBuffer once per buffer; the window then copies `readouts` and the two lamp colours to
// its labels and hands the sample arrays and frequencies to the scope. Nothing here depends on a
// window, so the engine runs and is observed headless.
//
// Order of calls: construct (builds windowTable and the FFT's bit-reversal table), then for each
// capture run: startCapture(), any number of ProcessBuffer(), stopCapture(). The calibration
// divisors may change between buffers and must never be 0.
//
// The object is about 1 MB; allocate it on the heap.
class MeasurementEngine {
public:
    static constexpr int kWindowTableSize = 16385;  // index 0..16384
    static constexpr int kHistorySize = 1001;       // index 0..1000

    MeasurementEngine();

    // START after a successful open: resets the moving averages and turns both lamps red.
    void startCapture();
    // STOP: both lamps black; every reading and the rest of the state stay.
    void stopCapture();
    // Computes every reading from `captureBuffer`.
    void ProcessBuffer();

    // Input written by the capture cycle.
    std::array<std::int16_t, kCaptureBufferValues> captureBuffer{};
    int captureLength = kCaptureLength;

    // Calibration divisors; every reading is the uncalibrated value divided by them.
    double voltsCal = 1.0;
    double ampsCal = 1.0;

    int averagingDepth = 3;
    std::array<float, kWindowTableSize> windowTable{};

    // De-interleaved samples and dominant frequencies of the last buffer (read by the scope).
    std::array<std::int32_t, kCaptureBufferValues> leftSamples{};
    std::array<std::int32_t, kCaptureBufferValues> rightSamples{};
    double leftFrequency = 0.0;
    double rightFrequency = 0.0;

    // Readings.
    double voltsRms = 0.0;
    double ampsRms = 0.0;
    double watts = 0.0;
    double voltAmps = 0.0;
    double powerFactor = 0.0;
    double voltsCrest = 0.0;
    double ampsCrest = 0.0;
    double averageFrequency = 0.0;

    // Extremes carried from buffer to buffer.
    std::int32_t voltsMax = 0, voltsMin = 0, voltsHalfRange = 0;
    std::int32_t ampsMax = 0, ampsMin = 0, ampsHalfRange = 0;

    // Transform inputs and outputs.
    std::array<std::int16_t, kCaptureBufferValues> windowedLeft{};
    std::array<std::int16_t, kCaptureBufferValues> windowedRight{};
    std::array<double, kCaptureBufferValues> spectrumLeft{};
    std::array<double, kCaptureBufferValues> spectrumRight{};
    std::int16_t leftPeakBin = 0;
    std::int16_t rightPeakBin = 0;

    // Voltage frequency moving average and the lamp counters.
    std::array<double, kHistorySize> frequencyHistory{};
    std::int32_t historyIndex = 0;
    std::int32_t historyCount = 0;
    double frequencySum = 0.0;
    std::int32_t ampsHistoryCount = 0;

    // Lamp colours: Label2 is "VOLTS LOCK", Label1 is "AMPS LOCK".
    std::uint32_t label2Colour = kLampBlack;
    std::uint32_t label1Colour = kLampBlack;

    ReadoutTexts readouts;

    AudioFFT fft;
};

}  // namespace acw
