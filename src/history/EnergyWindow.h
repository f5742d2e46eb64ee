// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>

#include "measure/EnergyIntegrator.h"

class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace acw {

// The "Energy" window: the totals of the energy integration, the tariff and the integration's
// own Start, Stop and Reset.
//
// The window holds no totals of its own: the measuring side calls showTotals() after each buffer
// (and after Start, Stop, Reset and a restore), and acts on the request signals. Start is
// enabled while the integration is stopped, Stop while it runs. Reset asks the user to confirm
// before resetRequested() is emitted. The cost is the imported energy at the price per kWh in
// `priceBox`, shown with the currency symbol in `currencyEdit`; editing either emits
// tariffChanged() once the edit is finished (so the caller can keep the tariff in its
// configuration) and updates the cost at once. setTariff() sets both without a signal.
//
// GUI thread only. The window is not modal and does not delete itself on close.
class EnergyWindow : public QWidget {
    Q_OBJECT
public:
    // The value labels, by reading.
    struct Values {
        QLabel* state = nullptr;  // "Integrating" or "Stopped"
        QLabel* wh = nullptr;
        QLabel* whImport = nullptr;
        QLabel* whExport = nullptr;
        QLabel* varh = nullptr;
        QLabel* vah = nullptr;
        QLabel* ah = nullptr;
        QLabel* elapsed = nullptr;
        QLabel* gaps = nullptr;
        QLabel* cost = nullptr;
        // Mean, minimum and maximum, in this order, of W, V, A, Hz and PF.
        QLabel* watts[3] = {};
        QLabel* volts[3] = {};
        QLabel* amps[3] = {};
        QLabel* hertz[3] = {};
        QLabel* powerFactor[3] = {};
    };

    explicit EnergyWindow(QWidget* parent = nullptr);

    void showTotals(const EnergyTotals& totals);
    void setTariff(const QString& currencySymbol, double pricePerKwh);
    QString currencySymbol() const;
    double pricePerKwh() const;

    const Values& values() const { return values_; }
    QLineEdit* currencyEdit() const { return currencyEdit_; }
    QDoubleSpinBox* priceBox() const { return priceBox_; }
    QPushButton* startButton() const { return startButton_; }
    QPushButton* stopButton() const { return stopButton_; }
    QPushButton* resetButton() const { return resetButton_; }

signals:
    void startRequested();
    void stopRequested();
    void resetRequested();
    void tariffChanged(const QString& currencySymbol, double pricePerKwh);

private:
    void showCost();
    void confirmReset();

    Values values_;
    QLineEdit* currencyEdit_ = nullptr;
    QDoubleSpinBox* priceBox_ = nullptr;
    QPushButton* startButton_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    QPushButton* resetButton_ = nullptr;
    double whImport_ = 0;
};

}  // namespace acw
