// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <functional>
#include <future>
#include <memory>
#include <utility>

#include "measure/MeasurementObserver.h"

namespace acw {

class EnergyStore;
class EnergyWindow;
class MeasurementSession;
class ProgramSettings;
class TrendHistory;
class TrendWindow;

// Energy and history in the main window: the "Energy" window over the session's energy
// integration, with its own Start, Stop and Reset and the tariff, and the "Trend" window over a
// day of readings kept in memory.
//
// The integration's totals are kept across restarts in the program's configuration folder
// (EnergyStore): restored at start-up (a damaged file is set aside and reported, never zeroed),
// saved every 30 s while buffers come, at STOP and at exit. The saves while measuring run on a
// thread of their own, one at a time, so a slow disk never holds up a buffer; the save at exit
// waits for them. A fresh integration (no saved totals) starts running.
//
// As an observer of the session it adds each buffer to the trend (a dropped buffer or a new
// capture run breaks the line) and shows the totals. GUI thread only.
class EnergyControls : public QObject, public MeasurementObserver {
    Q_OBJECT
public:
    using Reporter = std::function<void(const QString& text)>;

    EnergyControls(MeasurementSession& session, ProgramSettings& settings, QWidget* mainWindow);
    ~EnergyControls() override;

    // Start-up: the tariff of the configuration, the saved totals from its folder.
    void applySettings();
    // Shutdown: the last save, after any still running.
    void saveNow();

    void showEnergyWindow();
    void showTrendWindow();
    EnergyWindow& energyWindow() { return *energyWindow_; }
    TrendWindow& trendWindow() { return *trendWindow_; }
    TrendHistory& history() { return *history_; }
    void setReporter(Reporter reporter) { reporter_ = std::move(reporter); }

    void measured(const Measurement& m) override;
    void captureStarted() override;
    void captureStopped() override;

private:
    void showTotals();
    void saveInBackground();
    void collectSave(bool wait);

    MeasurementSession& session_;
    ProgramSettings& settings_;
    std::unique_ptr<TrendHistory> history_;
    std::unique_ptr<EnergyWindow> energyWindow_;
    std::unique_ptr<TrendWindow> trendWindow_;
    std::unique_ptr<EnergyStore> store_;
    std::future<std::pair<bool, QString>> pendingSave_;
    QElapsedTimer sinceSave_;
    bool saveFailureReported_ = false;
    Reporter reporter_;
};

}  // namespace acw
