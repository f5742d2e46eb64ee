// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "measure/EnergyIntegrator.h"
#include "measure/PowerAnalysis.h"
#include "settings/ProgramConfig.h"
#include "settings/SettingsStore.h"

namespace acw {

class CaptureCycle;
struct Measurement;

// What the energy integration takes of a measured buffer: the analysis's signed powers and power
// factor where it found the line (nothing is drawn otherwise), the panel's volts, amps and
// frequency for the statistics.
EnergySample energySampleOf(const Measurement& m);
class MeasurementEngine;
class MeasurementObserver;
class WaveInput;

// The instrument behind every view: it owns the measurement engine, the power analysis, the
// energy integration, the capture source and the capture cycle around it, the calibration
// divisors (in the engine), the chosen input device and the settings file, and hands every
// measured buffer as one value (a Measurement) to its observers, in the order they were added.
// Nothing else calls ProcessBuffer.
//
// For each buffer, in this order: the engine's ProcessBuffer (the readout panel's readings); the
// power analysis of the same frames with the same divisors, when it is on; the energy
// integration of that analysis, when it is on (a dropped buffer counts as a gap first); then the
// observers.
//
// Two ways of running:
// - Paced, through the event loop (the window, live headless measuring): startCapture() opens
//   the chosen device and starts it; each buffer the source delivers is measured in a later pass
//   of the event loop and handed out; stopCapture() ends the run. A device that does not open or
//   stops delivering is reported through the error reporter with the instrument's fixed
//   messages ("Wave input device didn't open!", "Wave input device stopped!").
// - Unpaced (headless measuring of a recording or of the demo adaptor): measureUnpaced() reads,
//   measures and hands out buffers as fast as they come, on the calling thread, with no event
//   loop.
//
// Everything happens on the thread that owns the session (the GUI thread). Observers must stay
// alive while they are registered.
class MeasurementSession : public QObject {
    Q_OBJECT
public:
    using ErrorReporter =
        std::function<void(const QString& title, const QString& text, const QString& advice)>;

    explicit MeasurementSession(std::unique_ptr<WaveInput> input, QObject* parent = nullptr);
    ~MeasurementSession() override;

    void addObserver(MeasurementObserver& observer);
    void removeObserver(MeasurementObserver& observer);

    // START with the chosen device. Returns true when capture runs afterwards (also when it ran
    // already: a second START is ignored).
    bool startCapture();
    // STOP: the device is closed, the lamps go off, the readings stay.
    void stopCapture();
    bool isCapturing() const;

    // How an unpaced run ended.
    enum class UnpacedEnd {
        SignalEnded,  // the end of the recording
        LimitReached,
        Stopped,     // an observer called stopUnpaced()
        OpenFailed,  // input().problem() says why
        ReadFailed,  // input().problem() says why; the buffers before were handed out
    };
    // Opens device 0 of the source and measures it unpaced until the signal ends, `maxBuffers`
    // buffers were measured, or an observer asks to stop. The buffers are read ahead in batches
    // and what each gives on its own is worked out on every core; the observers get exactly the
    // values of measuring one buffer at a time, in order, but no sample arrays (empty spans).
    UnpacedEnd measureUnpaced(std::int64_t maxBuffers);
    // From an observer's measured(): no further buffer after this one.
    void stopUnpaced() { stopRequested_ = true; }

    // The device START opens (-1 = the system's default input), as chosen in the picker.
    int selectedDevice() const { return selectedDevice_; }
    void setSelectedDevice(int device) { selectedDevice_ = device; }

    // The calibration divisors; every reading is the uncalibrated value divided by them. They
    // change between buffers only; 0 is never stored (it becomes 1.0).
    double voltsCal() const;
    double ampsCal() const;
    void setVoltsCal(double divisor);
    void setAmpsCal(double divisor);

    // The power analysis of every buffer (Measurement::analysis); off until switched on. The
    // energy integration needs it and switches it on too.
    void setAnalysisEnabled(bool on) { analysisEnabled_ = on; }
    bool analysisEnabled() const { return analysisEnabled_ || energyEnabled_; }
    // The current channel's delay behind the voltage, in frames, corrected by the analysis;
    // kept within -4..4 (a value that is not a number becomes 0).
    void setCurrentDelayFrames(double frames);
    double currentDelayFrames() const { return analysisSettings_.currentDelayFrames; }

    // The energy integration (Measurement::energy): while on, each measured buffer's analysis is
    // added to the integrator while that runs (its own start and stop, apart from capture); a
    // capture run that starts while it runs counts as a break (a gap), and so do dropped
    // buffers.
    void setEnergyEnabled(bool on) { energyEnabled_ = on; }
    bool energyEnabled() const { return energyEnabled_; }
    EnergyIntegrator& energy() { return energy_; }
    const EnergyIntegrator& energy() const { return energy_; }

    // The settings file of the window (device, scope settings, calibration).
    const SettingsStore& settingsStore() const { return settingsStore_; }
    void setSettingsStore(SettingsStore store) { settingsStore_ = std::move(store); }

    // The program's own configuration file (no file until one is named).
    const ProgramConfigStore& programConfigStore() const { return programConfigStore_; }
    void setProgramConfigStore(ProgramConfigStore store) { programConfigStore_ = std::move(store); }

    // A message for the user as one line on stderr: "ac-wattmeter: <text> <advice>".
    static void writeToStderr(const QString& text, const QString& advice);

    // Capture errors; without a reporter they are written to stderr.
    void setErrorReporter(ErrorReporter reporter) { reporter_ = std::move(reporter); }

    // Buffers measured since the session was made (by either way of running).
    std::int64_t buffersMeasured() const { return buffersMeasured_; }

    WaveInput& input() { return *input_; }
    CaptureCycle& captureCycle() { return *cycle_; }
    const MeasurementEngine& engine() const { return *engine_; }

private:
    void processCaptured();
    // The analysis and the energy integration of a measured buffer, then the observers.
    void handOut(Measurement& m, const PowerAnalysis* analysis);
    void notifyLamps();
    void report(const QString& title, const QString& text, const QString& advice);
    template <typename Call>
    void forEachObserver(Call&& call);

    std::unique_ptr<MeasurementEngine> engine_;
    std::unique_ptr<PowerAnalyser> analyser_;
    PowerAnalysisSettings analysisSettings_;
    PowerAnalysis analysis_;
    bool analysisEnabled_ = false;
    EnergyIntegrator energy_;
    EnergyTotals energyTotals_;
    bool energyEnabled_ = false;
    std::unique_ptr<WaveInput> input_;
    std::unique_ptr<CaptureCycle> cycle_;
    std::vector<MeasurementObserver*> observers_;
    SettingsStore settingsStore_;
    ProgramConfigStore programConfigStore_{QString()};
    ErrorReporter reporter_;
    int selectedDevice_ = 0;
    std::int64_t buffersMeasured_ = 0;
    std::uint64_t droppedSeen_ = 0;
    bool stopRequested_ = false;
    int notifying_ = 0;
};

}  // namespace acw
