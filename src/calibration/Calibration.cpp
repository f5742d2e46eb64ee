#include "calibration/Calibration.h"

#include <cmath>

#include "calibration/ReferenceValue.h"

namespace acw {

bool isUsableReference(double referenceValue) {
    return referenceValue > 0.0 && referenceValue < kLargestReference;
}

std::optional<double> calibrationDivisor(double uncalibratedReading, double referenceValue) {
    if (referenceValue == 0.0) return std::nullopt;
    const double divisor = uncalibratedReading / referenceValue;
    if (divisor == 0.0 || !std::isfinite(divisor)) return std::nullopt;
    return divisor;
}

CalibrationChannel::Outcome CalibrationChannel::press(std::string_view referenceText,
                                                      bool readingExpected, double currentDivisor) {
    if (!isUsableReference(readReferenceValue(referenceText))) return Outcome::BadReference;
    if (waiting_) return Outcome::DelayRunning;
    if (!readingExpected) return Outcome::NoReading;
    waiting_ = true;
    divisorBefore_ = currentDivisor;
    return Outcome::StartDelay;
}

CalibrationChannel::Outcome CalibrationChannel::complete(std::string_view referenceText,
                                                         std::optional<double> uncalibratedReading,
                                                         double& divisor, Outcome* why) {
    waiting_ = false;
    const double reference = readReferenceValue(referenceText);
    std::optional<double> result;
    Outcome reason = Outcome::NoReading;
    if (!isUsableReference(reference)) {
        reason = Outcome::BadReference;
    } else if (uncalibratedReading) {
        result = calibrationDivisor(*uncalibratedReading, reference);
    }
    if (!result) {
        divisor = divisorBefore_;
        if (why != nullptr) *why = reason;
        return Outcome::Restored;
    }
    divisor = *result;
    return Outcome::Calibrated;
}

}  // namespace acw
