#pragma once

#include <string_view>

namespace acw {

// The divisor used while a calibration waits and whenever a calibration cannot be made: with it
// the channel shows its uncalibrated reading.
inline constexpr double kNeutralDivisor = 1.0;

// The calibration divisor that makes `uncalibratedReading` read as `referenceValue`:
// reading / reference. The neutral divisor 1.0 is returned instead when the reference is 0 (no
// division is made), when the ratio is 0 (no reading yet) and when the ratio is not finite (an
// infinite or overflowing value, or a reading that is not a number). So the result is always
// finite and never 0, which the measurement engine relies on. Negative results are kept: a
// negative reference value turns the sign of the readings.
double calibrationDivisor(double uncalibratedReading, double referenceValue);

// One calibration channel: the voltage channel (`voltsCal`, "Cal V", `Timer1`, `txtV`,
// `voltsRms`) or the current channel (`ampsCal`, "Cal A", `Timer2`, `txtA`, `ampsRms`).
//
// A calibration is idle or waiting. press() (the click on the channel's button) sets the divisor
// to 1.0 so that the buffers processed during the delay yield uncalibrated readings, and puts the
// channel in the waiting state; its result tells the caller whether to start the two-second
// delay. A press while waiting sets the divisor to 1.0 again and keeps the delay that is already
// running (the divisor has been 1.0 all along since the first press, so the first deadline
// already gives an uncalibrated reading). complete() (the end of the delay) sets the divisor
// from the last reading and the reference text and makes the channel idle.
//
// The channel writes the divisor it is given and nothing else; the divisor must outlive it.
class CalibrationChannel {
public:
    explicit CalibrationChannel(double& divisor) : divisor_(divisor) {}

    // The click on the channel's button. Returns true when the delay must be started now, false
    // when a delay is already running.
    bool press();

    // The end of the delay: divisor = calibrationDivisor(lastReading,
    // readReferenceValue(referenceText)). `lastReading` is the channel's RMS reading of the last
    // buffer processed (computed with the divisor 1.0 when a buffer was processed since press()).
    void complete(double lastReading, std::string_view referenceText);

    bool waiting() const { return waiting_; }

private:
    double& divisor_;
    bool waiting_ = false;
};

}  // namespace acw
