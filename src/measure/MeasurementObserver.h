// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "measure/Measurement.h"

namespace acw {

// Something that follows the measurement session: a view of the window, the readout panel, the
// scope, headless measuring's CSV, a log, a publisher.
//
// Every call comes on the session's thread (the GUI thread), between buffers, never from inside
// another call to the same observer. An observer never reaches into another one: what it needs
// comes in these calls. For one capture run the calls come in this order: lampsChanged (both
// lamps red), captureStarted, measured for each buffer in order, lampsChanged (both lamps off),
// captureStopped.
class MeasurementObserver {
public:
    virtual ~MeasurementObserver() = default;

    // A buffer was measured. The spans and texts of `m` are valid only during the call.
    virtual void measured(const Measurement& m) = 0;
    // The lamps changed outside a buffer: START turned both red, STOP turned both off.
    virtual void lampsChanged(Lamp voltsLock, Lamp ampsLock) {
        (void)voltsLock;
        (void)ampsLock;
    }
    // A capture run began (the device is open and running).
    virtual void captureStarted() {}
    // The capture run ended: STOP, the device stopped delivering, or the end of an unpaced
    // source.
    virtual void captureStopped() {}
};

}  // namespace acw
