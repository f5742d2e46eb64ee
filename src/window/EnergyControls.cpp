// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/EnergyControls.h"

#include <QDateTime>
#include <QDir>
#include <QMessageBox>
#include <cmath>
#include <cstdio>
#include <limits>

#include "history/EnergyStore.h"
#include "history/EnergyWindow.h"
#include "history/TrendWindow.h"
#include "measure/TrendHistory.h"
#include "session/MeasurementSession.h"
#include "window/ProgramSettings.h"

namespace acw {

namespace {

constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();

TrendPoint trendPointOf(const Measurement& m) {
    TrendPoint p;
    p.timeMs = QDateTime::currentMSecsSinceEpoch();
    const Readings& r = m.readings;
    p.volts = static_cast<float>(r.voltsRms);
    p.amps = static_cast<float>(r.ampsRms);
    p.hertz = static_cast<float>(r.averageFrequency);
    const bool analysed = m.analysis != nullptr && m.analysis->valid;
    p.watts = analysed ? static_cast<float>(m.analysis->activePowerW) : kNoValue;
    p.powerFactor = analysed ? static_cast<float>(m.analysis->powerFactor) : kNoValue;
    p.thdVoltsPercent = analysed ? static_cast<float>(m.analysis->voltsThdPct) : kNoValue;
    p.thdAmpsPercent = analysed ? static_cast<float>(m.analysis->ampsThdPct) : kNoValue;
    return p;
}

}  // namespace

EnergyControls::EnergyControls(MeasurementSession& session, ProgramSettings& settings,
                               QWidget* mainWindow)
    : QObject(mainWindow),
      session_(session),
      settings_(settings),
      history_(std::make_unique<TrendHistory>()),
      energyWindow_(std::make_unique<EnergyWindow>()),
      trendWindow_(std::make_unique<TrendWindow>(*history_)) {
    energyWindow_->setObjectName(QStringLiteral("EnergyWindow"));
    trendWindow_->setObjectName(QStringLiteral("TrendWindow"));
    session_.setEnergyEnabled(true);
    connect(energyWindow_.get(), &EnergyWindow::startRequested, this, [this] {
        session_.energy().start();
        showTotals();
    });
    connect(energyWindow_.get(), &EnergyWindow::stopRequested, this, [this] {
        session_.energy().stop();
        showTotals();
        saveInBackground();
    });
    connect(energyWindow_.get(), &EnergyWindow::resetRequested, this, [this] {
        session_.energy().reset();
        showTotals();
        saveInBackground();
    });
    connect(energyWindow_.get(), &EnergyWindow::tariffChanged, this,
            [this](const QString& symbol, double price) {
                settings_.config().currencySymbol = symbol;
                settings_.config().pricePerKwh = price;
                settings_.save();
            });
    reporter_ = [mainWindow](const QString& text) {
        auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Energy"), text,
                                    QMessageBox::Ok, mainWindow);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->show();
    };
}

EnergyControls::~EnergyControls() { collectSave(true); }

void EnergyControls::applySettings() {
    energyWindow_->setTariff(settings_.config().currencySymbol, settings_.config().pricePerKwh);
    const QString folder = settings_.store().folder();
    if (folder.isEmpty()) {
        session_.energy().start();
        showTotals();
        return;
    }
    store_ = std::make_unique<EnergyStore>(folder);
    EnergyStore::LoadResult loaded = store_->load();
    switch (loaded.status) {
        case EnergyStore::LoadResult::Status::Restored:
            session_.energy() = *loaded.integrator;
            break;
        case EnergyStore::LoadResult::Status::Damaged:
            reporter_(QStringLiteral("The saved energy totals could not be restored (%1). The "
                                     "file was set aside as %2; the totals start from zero.")
                          .arg(loaded.reason, QDir::toNativeSeparators(loaded.setAsidePath)));
            session_.energy().start();
            break;
        case EnergyStore::LoadResult::Status::None:
            session_.energy().start();
            break;
    }
    showTotals();
    sinceSave_.start();
}

void EnergyControls::showEnergyWindow() {
    showTotals();
    energyWindow_->show();
    energyWindow_->raise();
    energyWindow_->activateWindow();
}

void EnergyControls::showTrendWindow() {
    trendWindow_->show();
    trendWindow_->raise();
    trendWindow_->activateWindow();
}

void EnergyControls::showTotals() { energyWindow_->showTotals(session_.energy().totals()); }

void EnergyControls::measured(const Measurement& m) {
    if (m.buffersDroppedBefore > 0) history_->markGap();
    history_->append(trendPointOf(m));
    trendWindow_->historyChanged();
    if (energyWindow_->isVisible() && m.energy != nullptr) energyWindow_->showTotals(*m.energy);
    collectSave(false);
    if (sinceSave_.isValid() && sinceSave_.elapsed() >= EnergyStore::kSaveIntervalMs)
        saveInBackground();
}

void EnergyControls::captureStarted() { history_->markGap(); }

void EnergyControls::captureStopped() { saveInBackground(); }

void EnergyControls::saveInBackground() {
    if (!store_) return;
    collectSave(false);
    if (pendingSave_.valid()) return;  // one save at a time; the next one is due soon
    sinceSave_.restart();
    const EnergyIntegrator snapshot = session_.energy();
    EnergyStore* store = store_.get();
    pendingSave_ = std::async(std::launch::async, [store, snapshot] {
        QString reason;
        const bool saved = store->save(snapshot, &reason);
        return std::make_pair(saved, reason);
    });
}

void EnergyControls::collectSave(bool wait) {
    if (!pendingSave_.valid()) return;
    if (!wait && pendingSave_.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return;
    const auto [saved, reason] = pendingSave_.get();
    if (saved) {
        saveFailureReported_ = false;
    } else if (!saveFailureReported_) {
        saveFailureReported_ = true;
        reporter_(QStringLiteral("Could not save the energy totals to %1: %2. They are kept and "
                                 "saved again later.")
                      .arg(QDir::toNativeSeparators(store_->path()), reason));
    }
}

void EnergyControls::saveNow() {
    if (!store_) return;
    collectSave(true);
    QString reason;
    if (!store_->save(session_.energy(), &reason))
        std::fprintf(stderr, "ac-wattmeter: could not save the energy totals to %s: %s\n",
                     QDir::toNativeSeparators(store_->path()).toLocal8Bit().constData(),
                     reason.toLocal8Bit().constData());
}

}  // namespace acw
