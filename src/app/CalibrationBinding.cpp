#include "app/CalibrationBinding.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <string>

#include "app/MainWindow.h"
#include "measure/MeasurementEngine.h"

namespace acw {

CalibrationBinding::CalibrationBinding(TGNCounter& window)
    : QObject(&window),
      volts_{CalibrationChannel(window.engine().voltsCal),
             window.findChild<QTimer*>(QStringLiteral("Timer1")),
             window.findChild<QLineEdit*>(QStringLiteral("txtV")), &window.engine().voltsRms},
      amps_{CalibrationChannel(window.engine().ampsCal),
            window.findChild<QTimer*>(QStringLiteral("Timer2")),
            window.findChild<QLineEdit*>(QStringLiteral("txtA")), &window.engine().ampsRms} {
    wire(volts_, "cmdCalV");
    wire(amps_, "cmdCalA");
}

void CalibrationBinding::wire(Channel& channel, const char* button) {
    auto* cmd = parent()->findChild<QPushButton*>(QString::fromLatin1(button));
    if (cmd == nullptr || channel.timer == nullptr || channel.referenceText == nullptr) return;
    channel.timer->setSingleShot(true);
    connect(cmd, &QPushButton::clicked, this, [&channel] { press(channel); });
    connect(channel.timer, &QTimer::timeout, this, [&channel] { complete(channel); });
}

void CalibrationBinding::press(Channel& channel) {
    // A running delay is kept; a stopped timer is started even if the channel still waits.
    if (channel.calibration.press() || !channel.timer->isActive()) channel.timer->start();
}

void CalibrationBinding::complete(Channel& channel) {
    channel.timer->stop();
    const std::string text = channel.referenceText->text().toStdString();
    channel.calibration.complete(*channel.reading, text);
}

CalibrationBinding* installCalibration(TGNCounter& window) {
    return new CalibrationBinding(window);
}

}  // namespace acw
