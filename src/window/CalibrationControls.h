#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

#include "calibration/Calibration.h"
#include "measure/MeasurementObserver.h"

class QLineEdit;
class QPushButton;
class QTimer;

namespace acw {

class MeasurementSession;
struct MainWindowControls;

// The two calibrations of the main window: "Cal V" with its timer (`Timer1`, 2000 ms, one shot),
// the reference box `txtV` and the session's `voltsCal`; "Cal A" with `Timer2`, `txtA` and
// `ampsCal`.
//
// A click sets the channel's divisor to 1.0 and starts its timer; a click while the timer runs
// sets 1.0 again and keeps the running timer. When the timer fires, the divisor becomes the last
// buffer's uncalibrated reading (its reading times the divisor it was made with) divided by the
// reference value in the box, so the readings from the next buffer on follow the reference meter,
// also when capture was stopped meanwhile. A click is refused with a short message, and the
// divisor kept, when the reference is not a positive number below 1e6 or when nothing has been
// measured since start-up; at the deadline the divisor of before the click comes back, with the
// message, when the calibration cannot be made then. The settings file is not written here: the
// divisors reach it at shutdown.
//
// As an observer of the session it keeps the last uncalibrated readings. Everything runs on the
// GUI thread, between buffers.
class CalibrationControls : public QObject, public MeasurementObserver {
    Q_OBJECT
public:
    // Shows why a calibration was refused or undone (default: an information box over the
    // window that stays until dismissed).
    using Reporter = std::function<void(const QString& text)>;

    CalibrationControls(const MainWindowControls& controls, MeasurementSession& session,
                        QWidget* window);

    void setReporter(Reporter reporter) { reporter_ = std::move(reporter); }

    // MeasurementObserver.
    void measured(const Measurement& m) override;

private:
    struct Channel {
        CalibrationChannel calibration;
        QTimer* timer = nullptr;
        QLineEdit* referenceBox = nullptr;
        std::optional<double> uncalibratedReading;
        bool volts = true;
    };

    void wire(Channel& channel, QPushButton* button);
    void press(Channel& channel);
    void complete(Channel& channel);
    double divisor(const Channel& channel) const;
    void setDivisor(const Channel& channel, double value);
    void report(const Channel& channel, CalibrationChannel::Outcome why);

    MeasurementSession& session_;
    QWidget* window_;
    Reporter reporter_;
    Channel volts_;
    Channel amps_;
};

}  // namespace acw
