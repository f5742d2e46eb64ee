#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace acw {

// A synthetic mains voltage and load current, as the hardware adaptor would deliver them to the
// line input: left = voltage, right = current, in signed 16-bit sample counts. It serves the demo
// adaptor, the tests and the benchmarks. The waveform is a function of the absolute frame number,
// so it stays continuous in phase from one block to the next, also when the parameters change
// between blocks (an amplitude step keeps the phase).
class SyntheticSignal {
public:
    struct Harmonic {
        int order = 3;                   // multiple of the fundamental
        double relativeAmplitude = 0.0;  // peak, relative to the channel's fundamental peak
        double phaseDeg = 0.0;           // relative to the channel's fundamental
    };

    struct Channel {
        double peakCounts = 0.0;  // peak of the fundamental, in sample counts
        double phaseDeg = 0.0;    // phase of the fundamental at frame 0
        std::vector<Harmonic> harmonics;
        double noiseRmsCounts = 0.0;  // white Gaussian noise
        double offsetCounts = 0.0;    // DC offset
        // The waveform (not the noise) arrives this many frames late, fractional: a skew between
        // the two channels of the adaptor or the sound card. 0 leaves the samples as they were.
        double delayFrames = 0.0;
    };

    struct Params {
        double frequencyHz = 60.0;
        double sampleRateHz = 11025.0;
        Channel volts;  // left channel
        Channel amps;   // right channel
        std::uint64_t noiseSeed = 1;
    };

    // The built-in demo adaptor: a 120 V 60 Hz line with an inductive load drawing about 5 A at a
    // power factor of about 0.85 with a little third harmonic, scaled so that the uncalibrated
    // readings (calibration divisors 1) are about 120 V and 5 A.
    static Params demoAdaptor();

    // A clean sine on both channels: `voltsPeak` and `ampsPeak` counts at `frequencyHz`, current
    // shifted by `phaseShiftDeg` (positive = current lags), no noise, no harmonics.
    static Params sine(double frequencyHz, double voltsPeak, double ampsPeak,
                       double phaseShiftDeg = 0.0);

    explicit SyntheticSignal(Params params);

    const Params& params() const { return params_; }
    // New parameters take effect from the next frame; the frame count goes on.
    void setParams(const Params& params) { params_ = params; }

    // Writes the next `frames` frames, interleaved left/right, into `interleaved` (which must hold
    // at least 2 * frames values). Values are rounded and clamped to the 16-bit range.
    void fill(std::span<std::int16_t> interleaved, int frames);

    // Frames produced so far.
    std::uint64_t frameCount() const { return frame_; }

private:
    double channelValue(const Channel& c);
    double gaussian();

    Params params_;
    std::uint64_t frame_ = 0;
    std::uint64_t rngState_;
    bool haveSpare_ = false;
    double spare_ = 0.0;
};

}  // namespace acw
