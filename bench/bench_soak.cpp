// SPDX-License-Identifier: GPL-3.0-or-later
// Soak run: the instrument with its main window (offscreen) capturing a demo adaptor that always
// has the next buffer ready, through the session's real capture cycle, for the equivalent of 24
// hours of buffers, faster than real time, with the scope switched through every channel mode
// (L, R, LR, XY), automatic and manual scaling, split and joined traces along the way.
//
// Reported:
// - peak resident memory after the first minute's worth of buffers (162) and at the end, and
//   the growth between them (memory must stay flat over a day of capture);
// - heap allocations in the measuring path, in total and per buffer (the goal is 0): counted on
//   the GUI thread from the moment the input hands a buffer over (takeBuffer) until the first
//   observer of the session sees it, which covers ProcessBuffer, the power analysis, the energy
//   integration and building the Measurement. The counting observer is added to the session
//   before the window, so it is called before every part of the window; measuring_path_buffers
//   (the buffers so counted) equals buffers;
// - for comparison, every allocation of the GUI thread per buffer after the first minute
//   (drawing, the readouts, the trend and everything else the window does with a buffer);
// - run time and buffers per second.
//
// ACW_SOAK_BUFFERS sets the number of buffers (default 232,000, a day at 0.3715 s a buffer);
// 20000 runs in well under a minute on an idle machine.
#include <benchmark/benchmark.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMetaObject>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "BenchApplication.h"
#include "BenchInstrument.h"
#include "capture/WaveInput.h"
#include "measure/CaptureLayout.h"
#include "measure/MeasurementObserver.h"
#include "measure/SyntheticSignal.h"
#include "session/MeasurementSession.h"
#include "window/CaptureControls.h"
#include "window/MainWindow.h"
#include "window/WindowControls.h"

namespace {

using acw::bench::BenchInstrument;

// Allocations on the GUI thread from a buffer's hand-over to its first observer.
struct MeasuringPathAllocations {
    std::size_t mark = 0;
    bool armed = false;
    long long total = 0;
    long long buffers = 0;  // buffers counted from hand-over to observer

    void arm() {
        mark = acw::bench::threadAllocations();
        armed = true;
    }
    void disarm() {
        if (!armed) return;
        total += static_cast<long long>(acw::bench::threadAllocations() - mark);
        ++buffers;
        armed = false;
    }
};

// The demo adaptor without the sound card's pace: a new buffer is always waiting, so the cycle
// takes one per pass of the event loop, as fast as it can measure and draw.
class UnpacedDemoInput : public acw::WaveInput {
public:
    explicit UnpacedDemoInput(MeasuringPathAllocations& allocations) : allocations_(allocations) {}

    QStringList deviceNames() const override { return {QStringLiteral("Demo adaptor")}; }
    bool open(int deviceId, const acw::WaveFormat& format) override {
        close();
        if ((deviceId != 0 && deviceId != -1) || format != acw::WaveFormat::stereoPcm11025()) {
            return false;
        }
        signal_ = std::make_unique<acw::SyntheticSignal>(acw::SyntheticSignal::demoAdaptor());
        open_ = true;
        return true;
    }
    void start() override {
        if (!open_) return;
        running_ = true;
        announce();
    }
    void close() override {
        open_ = false;
        running_ = false;
    }
    bool isOpen() const override { return open_; }
    bool takeBuffer(std::span<std::int16_t, 8192> out) override {
        if (!running_) return false;
        signal_->fill(out, acw::kFramesPerBuffer);
        announce();
        allocations_.arm();
        return true;
    }
    bool hasBuffer() const override { return running_; }

private:
    // bufferReady is never emitted from inside start() or takeBuffer(): it is queued.
    void announce() {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (running_) emit bufferReady();
            },
            Qt::QueuedConnection);
    }

    MeasuringPathAllocations& allocations_;
    std::unique_ptr<acw::SyntheticSignal> signal_;
    bool open_ = false;
    bool running_ = false;
};

// The first observer of the session: ends the count of each buffer, keeps the figures of the
// run, switches the scope between buffers and ends the run after `total` buffers.
class SoakObserver : public acw::MeasurementObserver {
public:
    // A minute of capture at 4096 frames per buffer and 11025 frames per second.
    static constexpr long long kFirstMinuteBuffers = (60 * acw::kSampleRateHz + 4095) / 4096;

    SoakObserver(MeasuringPathAllocations& allocations, long long total, QEventLoop& loop)
        : allocations_(allocations),
          total_(total),
          switchEvery_(std::max<long long>(1, std::min<long long>(1000, total / 16))),
          loop_(loop) {}

    void setScopeButtons(QAbstractButton* mode, QAbstractButton* scale, QAbstractButton* split) {
        mode_ = mode;
        scale_ = scale;
        split_ = split;
    }

    void measured(const acw::Measurement& m) override {
        allocations_.disarm();
        ++processed;
        if (processed > 8) {
            maxVolts = std::max(maxVolts, m.readings.voltsRms);
            minVolts = std::min(minVolts, m.readings.voltsRms);
        }
        if (processed == kFirstMinuteBuffers) {
            peakAfterMinute = acw::bench::peakRssKiB();
            rssAfterMinute = acw::bench::currentRssKiB();
            allocationsAfterMinute = allocations_.total;
            guiAllocationsAfterMinute = acw::bench::threadAllocations();
        }
        if (processed % switchEvery_ == 0) {
            // As a user would, between buffers: L -> R -> LR -> XY; after each full round,
            // automatic <-> manual; after two, split <-> joined.
            QMetaObject::invokeMethod(
                mode_, [this] { switchScope(); }, Qt::QueuedConnection);
        }
        if (processed == total_) {
            guiAllocationsAtEnd = acw::bench::threadAllocations();
            loop_.quit();
        }
    }

    long long processed = 0;
    long long switches = 0;
    long peakAfterMinute = 0;
    long rssAfterMinute = 0;
    long long allocationsAfterMinute = 0;
    std::size_t guiAllocationsAfterMinute = 0;
    std::size_t guiAllocationsAtEnd = 0;
    double maxVolts = 0.0;
    double minVolts = 1e9;

private:
    void switchScope() {
        mode_->click();
        ++switches;
        if (switches % 4 == 0) scale_->click();
        if (switches % 8 == 0) split_->click();
    }

    MeasuringPathAllocations& allocations_;
    long long total_;
    long long switchEvery_;
    QEventLoop& loop_;
    QAbstractButton* mode_ = nullptr;
    QAbstractButton* scale_ = nullptr;
    QAbstractButton* split_ = nullptr;
};

void BM_SoakDemoAdaptorWithWindow(benchmark::State& state) {
    const long long total = acw::bench::positiveFromEnvironment("ACW_SOAK_BUFFERS", 232000);
    for (auto _ : state) {
        MeasuringPathAllocations allocations;
        QEventLoop loop;
        SoakObserver soak(allocations, total, loop);
        BenchInstrument instrument(std::make_unique<UnpacedDemoInput>(allocations));
        instrument.session().addObserver(soak);
        instrument.openWindow();
        const acw::MainWindowControls& controls = instrument.window().controls();
        soak.setScopeButtons(controls.channelModeButton, controls.scalingButton,
                             controls.splitTraceCheck);

        QElapsedTimer wall;
        wall.start();
        instrument.window().captureControls().startCapture();
        if (!instrument.session().isCapturing()) {
            state.SkipWithError("the demo input did not open");
            return;
        }
        loop.exec();
        const double seconds = static_cast<double>(wall.nsecsElapsed()) * 1e-9;
        instrument.window().captureControls().stopCapture();
        const long peakEnd = acw::bench::peakRssKiB();
        const long rssEnd = acw::bench::currentRssKiB();
        instrument.session().removeObserver(soak);

        const auto processed = static_cast<double>(soak.processed);
        state.SetIterationTime(seconds);
        state.counters["buffers"] = processed;
        state.counters["captured_hours"] = processed * 4096.0 / acw::kSampleRateHz / 3600.0;
        state.counters["buffers_per_second"] = processed / seconds;
        state.counters["mode_switches"] = static_cast<double>(soak.switches);
        state.counters["errors"] = instrument.errors();
        state.counters["peak_rss_after_minute_KiB"] = static_cast<double>(soak.peakAfterMinute);
        state.counters["peak_rss_end_KiB"] = static_cast<double>(peakEnd);
        state.counters["peak_rss_growth_KiB"] = static_cast<double>(peakEnd - soak.peakAfterMinute);
        state.counters["rss_after_minute_KiB"] = static_cast<double>(soak.rssAfterMinute);
        state.counters["rss_end_KiB"] = static_cast<double>(rssEnd);
        state.counters["measuring_path_buffers"] = static_cast<double>(allocations.buffers);
        state.counters["measuring_path_allocations"] = static_cast<double>(allocations.total);
        state.counters["measuring_path_allocations_after_minute"] =
            static_cast<double>(allocations.total - soak.allocationsAfterMinute);
        state.counters["allocations_per_buffer"] =
            processed > 0 ? static_cast<double>(allocations.total) / processed : 0.0;
        const double buffersAfterMinute = processed - SoakObserver::kFirstMinuteBuffers;
        state.counters["gui_thread_allocations_per_buffer_after_minute"] =
            buffersAfterMinute > 0
                ? static_cast<double>(soak.guiAllocationsAtEnd - soak.guiAllocationsAfterMinute) /
                      buffersAfterMinute
                : 0.0;
        state.counters["volts_min"] = soak.minVolts;
        state.counters["volts_max"] = soak.maxVolts;
    }
}
BENCHMARK(BM_SoakDemoAdaptorWithWindow)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) { return acw::bench::runWithApplication(argc, argv); }
