#pragma once

#include <QObject>

#include "calibration/Calibration.h"

class QLineEdit;
class QTimer;

namespace acw {

class TGNCounter;

// Wires the two calibrations into the main window: "Cal V" (`cmdCalV`) with `Timer1`, `txtV`,
// `voltsRms` and `voltsCal`, and "Cal A" (`cmdCalA`) with `Timer2`, `txtA`, `ampsRms` and
// `ampsCal`.
//
// A click sets the channel's divisor to 1.0 and starts its timer (2000 ms, one shot); a click
// while the timer runs sets 1.0 again and keeps the running timer, so the divisor is computed at
// the first deadline. When the timer fires, the divisor becomes the last buffer's reading divided
// by the reference value read from the text box (see readReferenceValue), or stays 1.0 when that
// cannot be made (reference 0 or not a number, no reading yet, a ratio that is not finite). The
// buffers processed during the delay show uncalibrated readings; those from the next buffer on
// follow the reference meter. The two channels are independent and may overlap. The settings
// file is not written here: the divisors reach it at shutdown.
//
// Everything runs on the GUI thread, between buffers, so a divisor never changes during the
// processing of a buffer. The binding is a child of the window; create it once, after the
// window is built and before it is shown. Missing controls leave their channel unwired.
class CalibrationBinding : public QObject {
    Q_OBJECT
public:
    explicit CalibrationBinding(TGNCounter& window);

private:
    struct Channel {
        CalibrationChannel calibration;
        QTimer* timer = nullptr;
        QLineEdit* referenceText = nullptr;
        const double* reading = nullptr;
    };

    void wire(Channel& channel, const char* button);
    static void press(Channel& channel);
    static void complete(Channel& channel);

    Channel volts_;
    Channel amps_;
};

// Creates the calibration binding as a child of the window.
CalibrationBinding* installCalibration(TGNCounter& window);

}  // namespace acw
