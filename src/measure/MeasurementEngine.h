#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "measure/AudioFFT.h"
#include "measure/CaptureLayout.h"

namespace acw {

// The state of a lock lamp: off while no capture runs, red until the readings have settled,
// green once they have.
enum class Lamp : std::uint8_t { Off, Red, Green };

// The texts of the readout panel after a buffer, under the reading each one shows. The four
// readout updates of a buffer are, in this order: frequency; voltage (unit, small and large
// readout); current (unit, small and large readout); power group (VA, W, PF, V-CF, A-CF).
struct ReadoutTexts {
    std::string averageFrequency = "0.0";  // "###.#" completed to one decimal
    std::string voltsUnit = "V";
    std::string voltsRms = "0.0";    // "#.###" completed to three decimals
    std::string voltsLarge = "0.0";  // "0.0", the large AC LINE VOLTAGE readout
    std::string ampsUnit = "A";
    std::string ampsRms = "0.0";      // "#.###" completed to three decimals
    std::string ampsLarge = "0.0";    // "0.00", the large AC LINE CURRENT readout
    std::string voltAmps = "0.0";     // "0.0##"
    std::string watts = "0.0";        // "0.0##"
    std::string powerFactor = "0.0";  // "0.000"
    std::string voltsCrest = "0.0";   // "0.000"
    std::string ampsCrest = "0.0";    // "0.000"
};

// What one buffer gives on its own, before anything carried from the buffers before it: the
// extremes of frames 1..lastFrame, the RMS and power readings (to be kept only when finite) and
// the dominant frequency of each channel (none found: the previous one stays).
struct BufferFindings {
    std::int32_t voltsMax = 0, voltsMin = 0, ampsMax = 0, ampsMin = 0;
    double voltsRms = 0.0, ampsRms = 0.0, watts = 0.0;
    bool leftFound = false, rightFound = false;
    std::int16_t leftPeakBin = 0, rightPeakBin = 0;
    double leftFrequency = 0.0, rightFrequency = 0.0;
};

// The measurement engine. It owns every value the per-buffer computation keeps, under the
// instrument's names. The measurement session writes `captureBuffer` (values 0..8191), calls
// ProcessBuffer once per buffer and hands what it computed to the views. Nothing here depends on
// a window, so the engine runs and is observed headless.
//
// Order of calls: construct (builds windowTable and the FFT's bit-reversal table), then for each
// capture run: StartCapture(), any number of ProcessBuffer(), StopCapture(). The calibration
// divisors may change between buffers and must never be 0.
//
// The object is about 1 MB; allocate it on the heap.
class MeasurementEngine {
public:
    static constexpr int kWindowTableSize = 16385;  // index 0..16384
    static constexpr int kHistorySize = 1001;       // index 0..1000

    MeasurementEngine();

    // START after a successful open: resets the moving averages and turns both lamps red.
    void StartCapture();
    // STOP: both lamps off; every reading and the rest of the state stay.
    void StopCapture();
    // Computes every reading from `captureBuffer`: ExamineBuffer on the engine's own arrays,
    // then ApplyFindings.
    void ProcessBuffer();

    // The working arrays of ExamineBuffer: the de-interleaved channels (32801 values each), the
    // weighted channels (32801), the spectra (16384 real parts each) and a transform.
    struct Scratch {
        std::int32_t* leftSamples;
        std::int32_t* rightSamples;
        std::int16_t* windowedLeft;
        std::int16_t* windowedRight;
        double* spectrumLeft;
        double* spectrumRight;
        AudioFFT* fft;
    };
    // The part of ProcessBuffer that depends on one buffer alone (and on the divisors, the
    // weighting table and captureLength, which must not change meanwhile): `captured` is a
    // capture buffer (32801 values, 0..8191 as captured, the rest 0). Reads nothing else of the
    // engine's state and writes only `scratch` and `out`, so several buffers may be examined at
    // once on different threads, each with a scratch of its own.
    void ExamineBuffer(const std::int16_t* captured, const Scratch& scratch,
                       BufferFindings& out) const;
    // The rest of ProcessBuffer, in buffer order: the carried extremes and crest factors, the
    // frequency average, the lamps and the readout texts.
    void ApplyFindings(const BufferFindings& findings);

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

    // "VOLTS LOCK" and "AMPS LOCK".
    Lamp voltsLock = Lamp::Off;
    Lamp ampsLock = Lamp::Off;

    ReadoutTexts readouts;

    AudioFFT fft;
};

}  // namespace acw
