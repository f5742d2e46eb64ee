// CPU load of the whole instrument while it captures: the window open (offscreen), the demo
// adaptor paced like a sound card, every buffer measured, written to the readouts and drawn on
// the scope. The figure is CPU time (user + system, all threads) over wall time, in percent of
// one core; the goal is under 2 %. ACW_BENCH_CAPTURE_SECONDS sets the capture time (default 30).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdlib>

#include "app/CaptureBinding.h"
#include "app/MainWindow.h"
#include "app/WindowMain.h"
#include "capture/CaptureCycle.h"
#include "capture/PacedInput.h"

namespace {

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

int captureSeconds() {
    const char* s = std::getenv("ACW_BENCH_CAPTURE_SECONDS");
    const int v = s ? std::atoi(s) : 30;
    return v > 0 ? v : 30;
}

void BM_CaptureDemoAdaptorWithWindow(benchmark::State& state) {
    const int seconds = captureSeconds();
    for (auto _ : state) {
        acw::TGNCounter window;
        acw::CaptureBinding* binding =
            acw::installCapture(window, std::make_unique<acw::DemoAdaptorInput>());
        acw::startWindow(window);
        binding->listDevices();
        window.show();
        QEventLoop settle;
        QTimer::singleShot(500, &settle, &QEventLoop::quit);
        settle.exec();

        binding->start();
        QEventLoop loop;
        QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
        const double cpu0 = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        loop.exec();
        const double cpu = cpuSeconds() - cpu0;
        const double wallSeconds = static_cast<double>(wall.nsecsElapsed()) * 1e-9;
        const long long buffers = binding->cycle().buffersProcessed();
        binding->StopCapture();

        state.SetIterationTime(wallSeconds);
        state.counters["cpu_percent_of_one_core"] = 100.0 * cpu / wallSeconds;
        state.counters["cpu_ms_per_buffer"] = buffers > 0 ? 1000.0 * cpu / buffers : 0.0;
        state.counters["buffers"] = static_cast<double>(buffers);
        state.counters["buffers_expected"] = wallSeconds * 11025.0 / 4096.0;
    }
}
BENCHMARK(BM_CaptureDemoAdaptorWithWindow)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
