#include "calibration/Calibration.h"

#include <cmath>

#include "calibration/ReferenceValue.h"

namespace acw {

double calibrationDivisor(double uncalibratedReading, double referenceValue) {
    if (referenceValue == 0.0) return kNeutralDivisor;
    const double divisor = uncalibratedReading / referenceValue;
    if (divisor == 0.0 || !std::isfinite(divisor)) return kNeutralDivisor;
    return divisor;
}

bool CalibrationChannel::press() {
    divisor_ = kNeutralDivisor;
    if (waiting_) return false;
    waiting_ = true;
    return true;
}

void CalibrationChannel::complete(double lastReading, std::string_view referenceText) {
    divisor_ = calibrationDivisor(lastReading, readReferenceValue(referenceText));
    waiting_ = false;
}

}  // namespace acw
