#pragma once

#include "measure/MeasurementObserver.h"

namespace acw {

struct MainWindowControls;

// The readout panel of the main window: the numeric readouts and units (V, A, HZ, W, VA, PF,
// V-CF, A-CF and the two large line readouts) and the "VOLTS LOCK" and "AMPS LOCK" lamps
// (black while off, red, green). As an observer of the session it shows each buffer's texts in
// the order frequency, voltage, current, power group, then the lamps. Runs on the GUI thread;
// the controls outlive the panel.
class ReadoutPanel : public MeasurementObserver {
public:
    explicit ReadoutPanel(const MainWindowControls& controls);

    void showLamps(Lamp voltsLock, Lamp ampsLock);

    // MeasurementObserver.
    void measured(const Measurement& m) override;
    void lampsChanged(Lamp voltsLock, Lamp ampsLock) override { showLamps(voltsLock, ampsLock); }

private:
    const MainWindowControls& controls_;
};

}  // namespace acw
