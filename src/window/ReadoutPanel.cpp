#include "window/ReadoutPanel.h"

#include <QColor>
#include <QLabel>
#include <QPalette>
#include <string>

#include "window/MainWindow.h"

namespace acw {

namespace {

QColor lampColour(Lamp lamp) {
    switch (lamp) {
        case Lamp::Red:
            return QColor(255, 0, 0);
        case Lamp::Green:
            return QColor(0, 255, 0);
        case Lamp::Off:
            break;
    }
    return QColor(0, 0, 0);
}

void setLamp(QLabel* lamp, Lamp state) {
    QPalette pal = lamp->palette();
    const QColor colour = lampColour(state);
    if (pal.color(QPalette::Window) == colour) return;
    pal.setColor(QPalette::Window, colour);
    lamp->setPalette(pal);
}

void setCaption(QLabel* label, const std::string& text) {
    label->setText(QString::fromStdString(text));
}

}  // namespace

ReadoutPanel::ReadoutPanel(const MainWindowControls& controls) : controls_(controls) {}

void ReadoutPanel::showLamps(Lamp voltsLock, Lamp ampsLock) {
    setLamp(controls_.voltsLockLamp, voltsLock);
    setLamp(controls_.ampsLockLamp, ampsLock);
}

void ReadoutPanel::measured(const Measurement& m) {
    if (m.texts != nullptr) {
        const ReadoutTexts& t = *m.texts;
        const MainWindowControls& c = controls_;
        setCaption(c.frequencyReadout, t.averageFrequency);
        setCaption(c.voltsUnit, t.voltsUnit);
        setCaption(c.voltsReadout, t.voltsRms);
        setCaption(c.voltsLargeReadout, t.voltsLarge);
        setCaption(c.ampsUnit, t.ampsUnit);
        setCaption(c.ampsReadout, t.ampsRms);
        setCaption(c.ampsLargeReadout, t.ampsLarge);
        setCaption(c.voltAmpsReadout, t.voltAmps);
        setCaption(c.wattsReadout, t.watts);
        setCaption(c.powerFactorReadout, t.powerFactor);
        setCaption(c.voltsCrestReadout, t.voltsCrest);
        setCaption(c.ampsCrestReadout, t.ampsCrest);
    }
    showLamps(m.voltsLock, m.ampsLock);
}

}  // namespace acw
