#pragma once

#include <optional>
#include <string_view>

namespace acw {

// The divisor used while a calibration waits: with it the channel shows its uncalibrated
// reading.
inline constexpr double kNeutralDivisor = 1.0;

// Reference values a calibration accepts: positive numbers below 1,000,000 (volts or amperes of
// a reference meter). Anything else (0, a negative number, a text that is not a number, 1e308)
// would make every reading meaningless.
inline constexpr double kLargestReference = 1e6;
bool isUsableReference(double referenceValue);

// The calibration divisor that makes `uncalibratedReading` read as `referenceValue`:
// reading / reference, or nothing when that is 0 or not finite (a reading of 0, an overflow).
// So a divisor it gives is always finite and never 0, which the measurement engine relies on.
std::optional<double> calibrationDivisor(double uncalibratedReading, double referenceValue);

// One calibration channel: the voltage channel ("Cal V", its timer, the reference box, the volts
// reading and `voltsCal`) or the current channel ("Cal A", ..., `ampsCal`).
//
// A calibration is idle or waiting. press() (the click on the channel's button) checks the
// reference and that there is a reading to calibrate against; when it may go on, the caller sets
// the divisor to 1.0 (so that the buffers measured during the two-second delay are uncalibrated)
// and starts the delay. A press while waiting keeps the delay that runs (the divisor goes to 1.0
// again). complete() (the end of the delay) gives the new divisor from the last uncalibrated
// reading (the reading times the divisor it was made with) and the reference, or the divisor of
// before the press when that cannot be made, and makes the channel idle.
class CalibrationChannel {
public:
    enum class Outcome {
        StartDelay,    // press: set the divisor to 1.0, start the delay
        DelayRunning,  // press while waiting: set the divisor to 1.0, keep the delay
        BadReference,  // the reference is not a positive number below 1e6: nothing changed
        NoReading,     // nothing was measured to calibrate against: nothing changed
        Calibrated,    // complete: the new divisor
        Restored,      // complete: the divisor of before the press, with the reason
    };

    // `referenceText` as typed; `readingExpected`: a buffer has been measured since start-up, or
    // capture runs so that one will be; `currentDivisor`: the divisor now, restored if the
    // calibration cannot be made.
    Outcome press(std::string_view referenceText, bool readingExpected, double currentDivisor);

    // `uncalibratedReading`: the last buffer's reading times its divisor, nothing when no buffer
    // has been measured since start-up. Sets `divisor` and returns Calibrated, or restores the
    // divisor of before the press and returns Restored with `why` (BadReference or NoReading).
    Outcome complete(std::string_view referenceText, std::optional<double> uncalibratedReading,
                     double& divisor, Outcome* why = nullptr);

    bool waiting() const { return waiting_; }

private:
    bool waiting_ = false;
    double divisorBefore_ = kNeutralDivisor;
};

}  // namespace acw
