// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The whole instrument with its window, as the program starts it, for the benchmarks that run
// it (offscreen) and nothing of the user's: the settings file lives in a temporary folder and the
// program's configuration is the empty store (nothing read, nothing saved).

#include <QString>
#include <memory>

#include "BenchSupport.h"

namespace acw {
class Lifecycle;
class MainWindow;
class MeasurementSession;
class WaveInput;
}  // namespace acw

namespace acw::bench {

// Order of use: construct with the capture source; add any observer that must see each buffer
// before the window's parts to session(); openWindow() (the main window over the session, the
// start-up sequence, shown); then capture. Capture still running at the end is stopped before
// the window and the session go.
//
// Messages that would open a box (capture errors, settings that cannot be read or written) are
// written to stderr and counted instead.
class BenchInstrument {
public:
    explicit BenchInstrument(std::unique_ptr<WaveInput> input);
    ~BenchInstrument();
    BenchInstrument(const BenchInstrument&) = delete;
    BenchInstrument& operator=(const BenchInstrument&) = delete;

    MeasurementSession& session() { return *session_; }
    MainWindow& window() { return *window_; }
    void openWindow();

    // Runs the event loop for `ms` milliseconds.
    static void runEventLoop(int ms);

    int errors() const { return errors_; }

private:
    void report(const QString& text, const QString& advice);

    TempFolder folder_;
    std::unique_ptr<MeasurementSession> session_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<Lifecycle> lifecycle_;
    int errors_ = 0;
};

}  // namespace acw::bench
