// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/EnergyWindow.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

namespace acw {

namespace {

// An amount with a k or M prefix once it has more than four digits before the point.
QString amountText(double value, const QString& unit) {
    const double size = std::fabs(value);
    if (size < 1e4) return QString::number(value, 'f', 3) + QLatin1Char(' ') + unit;
    if (size < 1e7) return QString::number(value / 1e3, 'f', 4) + QStringLiteral(" k") + unit;
    return QString::number(value / 1e6, 'f', 4) + QStringLiteral(" M") + unit;
}

QString elapsedText(double seconds) {
    const auto s = static_cast<long long>(std::floor(seconds));
    const QString clock = QStringLiteral("%1:%2:%3")
                              .arg(s / 3600 % 24, 2, 10, QLatin1Char('0'))
                              .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                              .arg(s % 60, 2, 10, QLatin1Char('0'));
    return s >= 86400 ? QStringLiteral("%1 d ").arg(s / 86400) + clock : clock;
}

QLabel* valueLabel(QWidget* parent, const QString& objectName) {
    auto* label = new QLabel(parent);
    label->setObjectName(objectName);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

}  // namespace

EnergyWindow::EnergyWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("energyWindow"));
    setWindowTitle(QStringLiteral("Energy"));

    auto* totals = new QGridLayout;
    int row = 0;
    const auto addRow = [&](const char* caption, QLabel*& label, const char* objectName) {
        label = valueLabel(this, QString::fromLatin1(objectName));
        totals->addWidget(new QLabel(QString::fromLatin1(caption), this), row, 0);
        totals->addWidget(label, row++, 1);
    };
    addRow("Integration", values_.state, "energyState");
    addRow("Energy", values_.wh, "energyWh");
    addRow("Imported", values_.whImport, "energyWhImport");
    addRow("Exported", values_.whExport, "energyWhExport");
    addRow("Reactive", values_.varh, "energyVarh");
    addRow("Apparent", values_.vah, "energyVah");
    addRow("Charge", values_.ah, "energyAh");
    addRow("Integrated time", values_.elapsed, "energyElapsed");
    addRow("Gaps", values_.gaps, "energyGaps");
    addRow("Cost of imported energy", values_.cost, "energyCost");

    auto* statistics = new QGridLayout;
    const char* const kColumns[] = {"Mean", "Minimum", "Maximum"};
    for (int c = 0; c < 3; ++c) {
        auto* header = new QLabel(QString::fromLatin1(kColumns[c]), this);
        header->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        statistics->addWidget(header, 0, c + 1);
    }
    row = 1;
    const auto addStatistic = [&](const char* unit, QLabel*(&labels)[3], const char* name) {
        statistics->addWidget(new QLabel(QString::fromLatin1(unit), this), row, 0);
        for (int c = 0; c < 3; ++c) {
            labels[c] = valueLabel(
                this, QStringLiteral("energy%1%2")
                          .arg(QString::fromLatin1(name), QString::fromLatin1(kColumns[c])));
            statistics->addWidget(labels[c], row, c + 1);
        }
        ++row;
    };
    addStatistic("W", values_.watts, "Watts");
    addStatistic("V", values_.volts, "Volts");
    addStatistic("A", values_.amps, "Amps");
    addStatistic("Hz", values_.hertz, "Hertz");
    addStatistic("PF", values_.powerFactor, "PowerFactor");

    currencyEdit_ = new QLineEdit(this);
    currencyEdit_->setObjectName(QStringLiteral("energyCurrency"));
    currencyEdit_->setMaxLength(8);
    currencyEdit_->setMaximumWidth(
        currencyEdit_->fontMetrics().horizontalAdvance(QStringLiteral("MMMMMM")));
    priceBox_ = new QDoubleSpinBox(this);
    priceBox_->setObjectName(QStringLiteral("energyPrice"));
    priceBox_->setRange(0, 1000);
    priceBox_->setDecimals(4);
    priceBox_->setSingleStep(0.01);
    auto* tariff = new QHBoxLayout;
    tariff->addWidget(new QLabel(QStringLiteral("Currency"), this));
    tariff->addWidget(currencyEdit_);
    tariff->addWidget(new QLabel(QStringLiteral("Price per kWh"), this));
    tariff->addWidget(priceBox_, 1);

    startButton_ = new QPushButton(QStringLiteral("Start"), this);
    startButton_->setObjectName(QStringLiteral("energyStart"));
    stopButton_ = new QPushButton(QStringLiteral("Stop"), this);
    stopButton_->setObjectName(QStringLiteral("energyStop"));
    resetButton_ = new QPushButton(QStringLiteral("Reset..."), this);
    resetButton_->setObjectName(QStringLiteral("energyReset"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(startButton_);
    buttons->addWidget(stopButton_);
    buttons->addStretch(1);
    buttons->addWidget(resetButton_);

    auto* statisticsBox = new QGroupBox(QStringLiteral("Since the integration started"), this);
    statisticsBox->setLayout(statistics);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(totals);
    layout->addWidget(statisticsBox);
    layout->addLayout(tariff);
    layout->addLayout(buttons);

    connect(startButton_, &QPushButton::clicked, this, &EnergyWindow::startRequested);
    connect(stopButton_, &QPushButton::clicked, this, &EnergyWindow::stopRequested);
    connect(resetButton_, &QPushButton::clicked, this, &EnergyWindow::confirmReset);
    const auto tariffEdited = [this] {
        showCost();
        emit tariffChanged(currencySymbol(), pricePerKwh());
    };
    connect(currencyEdit_, &QLineEdit::editingFinished, this, tariffEdited);
    connect(priceBox_, &QDoubleSpinBox::editingFinished, this, tariffEdited);

    showTotals(EnergyTotals{});
}

void EnergyWindow::showTotals(const EnergyTotals& t) {
    values_.state->setText(t.running ? QStringLiteral("Integrating") : QStringLiteral("Stopped"));
    startButton_->setEnabled(!t.running);
    stopButton_->setEnabled(t.running);
    values_.wh->setText(amountText(t.wh, QStringLiteral("Wh")));
    values_.whImport->setText(amountText(t.whImport, QStringLiteral("Wh")));
    values_.whExport->setText(amountText(t.whExport, QStringLiteral("Wh")));
    values_.varh->setText(amountText(t.varh, QStringLiteral("varh")));
    values_.vah->setText(amountText(t.vah, QStringLiteral("VAh")));
    values_.ah->setText(amountText(t.ah, QStringLiteral("Ah")));
    values_.elapsed->setText(elapsedText(t.elapsedS));
    values_.gaps->setText(
        t.missedBuffers == 0
            ? QString::number(t.gaps)
            : QStringLiteral("%1 (%2 buffers lost)").arg(t.gaps).arg(t.missedBuffers));
    const auto statistic = [](QLabel* const(&labels)[3], const EnergyStatistic& s, int decimals) {
        labels[0]->setText(QString::number(s.mean, 'f', decimals));
        labels[1]->setText(QString::number(s.minimum, 'f', decimals));
        labels[2]->setText(QString::number(s.maximum, 'f', decimals));
    };
    statistic(values_.watts, t.watts, 1);
    statistic(values_.volts, t.volts, 2);
    statistic(values_.amps, t.amps, 3);
    statistic(values_.hertz, t.hertz, 2);
    statistic(values_.powerFactor, t.powerFactor, 3);
    whImport_ = t.whImport;
    showCost();
}

void EnergyWindow::setTariff(const QString& currencySymbol, double pricePerKwh) {
    currencyEdit_->setText(currencySymbol);
    priceBox_->setValue(pricePerKwh);
    showCost();
}

QString EnergyWindow::currencySymbol() const { return currencyEdit_->text().trimmed(); }

double EnergyWindow::pricePerKwh() const { return priceBox_->value(); }

void EnergyWindow::showCost() {
    const QString amount = QString::number(importCost(whImport_, pricePerKwh()), 'f', 2);
    const QString symbol = currencySymbol();
    values_.cost->setText(symbol.isEmpty() ? amount : symbol + QLatin1Char(' ') + amount);
}

void EnergyWindow::confirmReset() {
    const auto answer =
        QMessageBox::question(this, QStringLiteral("Reset energy"),
                              QStringLiteral("Set all energy totals, gaps and statistics to zero?"),
                              QMessageBox::Reset | QMessageBox::Cancel, QMessageBox::Cancel);
    if (answer == QMessageBox::Reset) emit resetRequested();
}

}  // namespace acw
