#include "window/CalibrationControls.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <string>

#include "session/MeasurementSession.h"
#include "window/MainWindow.h"
#include "window/WindowControls.h"

namespace acw {

CalibrationControls::CalibrationControls(const MainWindowControls& controls,
                                         MeasurementSession& session, QWidget* window)
    : QObject(window), session_(session), window_(window) {
    volts_.timer = controls.voltsCalibrationTimer;
    volts_.referenceBox = controls.voltsReferenceBox;
    amps_.timer = controls.ampsCalibrationTimer;
    amps_.referenceBox = controls.ampsReferenceBox;
    amps_.volts = false;
    wire(volts_, controls.calibrateVoltsButton);
    wire(amps_, controls.calibrateAmpsButton);
}

void CalibrationControls::wire(Channel& channel, QPushButton* button) {
    channel.timer->setSingleShot(true);
    connect(button, &QPushButton::clicked, this, [this, &channel] { press(channel); });
    connect(channel.timer, &QTimer::timeout, this, [this, &channel] { complete(channel); });
}

void CalibrationControls::measured(const Measurement& m) {
    volts_.uncalibratedReading = m.readings.voltsRms * m.voltsCal;
    amps_.uncalibratedReading = m.readings.ampsRms * m.ampsCal;
}

double CalibrationControls::divisor(const Channel& channel) const {
    return channel.volts ? session_.voltsCal() : session_.ampsCal();
}

void CalibrationControls::setDivisor(const Channel& channel, double value) {
    if (channel.volts)
        session_.setVoltsCal(value);
    else
        session_.setAmpsCal(value);
}

void CalibrationControls::press(Channel& channel) {
    using Outcome = CalibrationChannel::Outcome;
    const bool readingExpected = channel.uncalibratedReading.has_value() || session_.isCapturing();
    const Outcome outcome = channel.calibration.press(channel.referenceBox->text().toStdString(),
                                                      readingExpected, divisor(channel));
    if (outcome == Outcome::BadReference || outcome == Outcome::NoReading) {
        report(channel, outcome);
        return;
    }
    setDivisor(channel, kNeutralDivisor);
    // A running delay is kept; a stopped timer is started even if the channel still waits.
    if (outcome == Outcome::StartDelay || !channel.timer->isActive()) channel.timer->start();
}

void CalibrationControls::complete(Channel& channel) {
    using Outcome = CalibrationChannel::Outcome;
    channel.timer->stop();
    double value = divisor(channel);
    Outcome why = Outcome::NoReading;
    const Outcome outcome = channel.calibration.complete(channel.referenceBox->text().toStdString(),
                                                         channel.uncalibratedReading, value, &why);
    setDivisor(channel, value);
    if (outcome == Outcome::Restored) report(channel, why);
}

void CalibrationControls::report(const Channel& channel, CalibrationChannel::Outcome why) {
    const QString quantity = channel.volts ? QStringLiteral("voltage") : QStringLiteral("current");
    QString text;
    if (why == CalibrationChannel::Outcome::BadReference) {
        text = QStringLiteral(
                   "The reference %1 \"%2\" is not a positive number below 1000000. "
                   "The calibration is unchanged.")
                   .arg(quantity, channel.referenceBox->text());
    } else {
        text = QStringLiteral(
                   "There is no %1 reading to calibrate against: press START and "
                   "calibrate while the line is measured. The calibration is "
                   "unchanged.")
                   .arg(quantity);
    }
    if (reporter_) {
        reporter_(text);
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Information, window_->windowTitle(), text,
                                QMessageBox::Ok, window_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->show();
}

}  // namespace acw
