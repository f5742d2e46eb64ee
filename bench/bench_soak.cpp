// Soak run: the main window (offscreen) capturing the demo adaptor through the real capture cycle
// for the equivalent of 24 hours of buffers, faster than real time, with the scope switched
// through every channel mode (L, R, LR, XY), automatic and manual scaling, split and joined
// traces along the way.
//
// Reported:
// - peak resident memory after the first minute's worth of buffers (162) and at the end, and
//   the growth between them (memory must stay flat over a day of capture);
// - heap allocations made inside the engine's ProcessBuffer, in total and per buffer (a
//   counting global operator new, armed only around that call: it must be 0);
// - run time and buffers per second.
//
// ACW_SOAK_BUFFERS sets the number of buffers (default 232,000, a day at 0.3715 s a buffer).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMetaObject>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>

#include "app/MainWindow.h"
#include "app/WindowMain.h"
#include "capture/CaptureCycle.h"
#include "capture/WaveInput.h"
#include "measure/CaptureLayout.h"
#include "measure/MeasurementEngine.h"
#include "measure/SyntheticSignal.h"
#include "scope/ScopeState.h"

// ---- Counting global allocation functions --------------------------------------------------
// Only allocations made on a thread whose flag is set are counted; every allocation goes to
// malloc, every release to free, so all forms of new and delete stay consistent.
namespace {

thread_local bool tCounting = false;
std::atomic<long long> gCountedAllocations{0};

void* allocate(std::size_t bytes) {
    if (tCounting) gCountedAllocations.fetch_add(1, std::memory_order_relaxed);
    void* p = std::malloc(bytes != 0 ? bytes : 1);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

void* allocateAligned(std::size_t bytes, std::align_val_t alignment) {
    if (tCounting) gCountedAllocations.fetch_add(1, std::memory_order_relaxed);
    const auto align = static_cast<std::size_t>(alignment);
    const std::size_t rounded = (bytes + align - 1) / align * align;
    void* p = std::aligned_alloc(align, rounded != 0 ? rounded : align);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

}  // namespace

void* operator new(std::size_t n) { return allocate(n); }
void* operator new[](std::size_t n) { return allocate(n); }
void* operator new(std::size_t n, std::align_val_t a) { return allocateAligned(n, a); }
void* operator new[](std::size_t n, std::align_val_t a) { return allocateAligned(n, a); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    try {
        return allocate(n);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    try {
        return allocate(n);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

// The demo adaptor without the sound card's pace: a new buffer is always waiting, so the cycle
// takes one per pass of the event loop, as fast as it can measure and draw.
class UnpacedDemoInput : public acw::WaveInput {
public:
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
        signal_->fill(out, 4096);
        announce();
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

    std::unique_ptr<acw::SyntheticSignal> signal_;
    bool open_ = false;
    bool running_ = false;
};

long long soakBuffers() {
    const char* s = std::getenv("ACW_SOAK_BUFFERS");
    const long long v = s != nullptr ? std::atoll(s) : 0;
    return v > 0 ? v : 232000;
}

// Peak resident set size of the process so far, in KiB.
long peakRssKiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Current resident set size, in KiB.
long currentRssKiB() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    if (fields.size() < 2) return 0;
    return fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024);
}

void BM_SoakDemoAdaptorWithWindow(benchmark::State& state) {
    const long long total = soakBuffers();
    // A minute of capture at 4096 frames per buffer and 11025 frames per second.
    constexpr long long kFirstMinuteBuffers = (60 * 11025 + 4095) / 4096;
    const long long switchEvery = std::max<long long>(1, std::min<long long>(1000, total / 16));

    for (auto _ : state) {
        acw::TGNCounter window;
        acw::startWindow(window);
        window.show();
        auto* modeButton = window.findChild<QAbstractButton*>(QStringLiteral("SA_LR"));
        auto* scaleButton = window.findChild<QAbstractButton*>(QStringLiteral("cmdAutoScale"));
        auto* splitCheck = window.findChild<QAbstractButton*>(QStringLiteral("SplitCheck"));
        if (modeButton == nullptr || scaleButton == nullptr || splitCheck == nullptr) {
            state.SkipWithError("scope controls not found");
            return;
        }

        acw::MeasurementEngine& engine = window.engine();
        UnpacedDemoInput input;
        QEventLoop loop;
        long long processed = 0;
        long long switches = 0;
        long long errors = 0;
        long peakAfterMinute = 0;
        long rssAfterMinute = 0;
        long long allocationsAfterMinute = 0;
        double maxVolts = 0.0;
        double minVolts = 1e9;
        std::unique_ptr<acw::CaptureCycle> cycle;

        acw::CaptureHost host;
        host.processBuffer = [&] {
            tCounting = true;
            engine.ProcessBuffer();
            tCounting = false;
            window.showMeasurement();
            ++processed;
            if (processed > 8) {
                maxVolts = std::max(maxVolts, engine.voltsRms);
                minVolts = std::min(minVolts, engine.voltsRms);
            }
            if (processed == kFirstMinuteBuffers) {
                peakAfterMinute = peakRssKiB();
                rssAfterMinute = currentRssKiB();
                allocationsAfterMinute = gCountedAllocations.load();
            }
            if (processed % switchEvery == 0) {
                // L -> R -> LR -> XY; after each full round, automatic <-> manual; after two,
                // split <-> joined.
                modeButton->click();
                ++switches;
                if (switches % 4 == 0) scaleButton->click();
                if (switches % 8 == 0) splitCheck->click();
            }
            if (processed >= total) {
                cycle->StopCapture();
                loop.quit();
            }
        };
        host.showLamps = [&] { window.showLamps(); };
        host.reportError = [&](const QString&, const QString& text, const QString& advice) {
            ++errors;
            std::fprintf(stderr, "soak: %s %s\n", text.toLocal8Bit().constData(),
                         advice.toLocal8Bit().constData());
            loop.quit();
        };
        cycle = std::make_unique<acw::CaptureCycle>(input, engine, host);

        window.scope().sampleRate = acw::kSampleRateHz;
        gCountedAllocations = 0;
        QElapsedTimer wall;
        wall.start();
        if (!cycle->start(0)) {
            state.SkipWithError("the demo input did not open");
            return;
        }
        loop.exec();
        const double seconds = static_cast<double>(wall.nsecsElapsed()) * 1e-9;
        const long peakEnd = peakRssKiB();
        const long rssEnd = currentRssKiB();
        const long long allocations = gCountedAllocations.load();
        cycle.reset();

        state.SetIterationTime(seconds);
        state.counters["buffers"] = static_cast<double>(processed);
        state.counters["captured_hours"] = static_cast<double>(processed) * 4096.0 / 11025.0 / 3600;
        state.counters["buffers_per_second"] = static_cast<double>(processed) / seconds;
        state.counters["mode_switches"] = static_cast<double>(switches);
        state.counters["errors"] = static_cast<double>(errors);
        state.counters["peak_rss_after_minute_KiB"] = static_cast<double>(peakAfterMinute);
        state.counters["peak_rss_end_KiB"] = static_cast<double>(peakEnd);
        state.counters["peak_rss_growth_KiB"] = static_cast<double>(peakEnd - peakAfterMinute);
        state.counters["rss_after_minute_KiB"] = static_cast<double>(rssAfterMinute);
        state.counters["rss_end_KiB"] = static_cast<double>(rssEnd);
        state.counters["process_buffer_allocations"] = static_cast<double>(allocations);
        state.counters["process_buffer_allocations_after_minute"] =
            static_cast<double>(allocations - allocationsAfterMinute);
        state.counters["allocations_per_buffer"] =
            processed > 0 ? static_cast<double>(allocations) / static_cast<double>(processed) : 0.0;
        state.counters["volts_min"] = minVolts;
        state.counters["volts_max"] = maxVolts;
    }
}
BENCHMARK(BM_SoakDemoAdaptorWithWindow)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
