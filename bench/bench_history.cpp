// SPDX-License-Identifier: GPL-3.0-or-later
// The trend chart and the energy integrator over a day of buffers.
//  - BM_TrendRedraw24h: one complete redraw of the 24-hour view (232,559 points, a fridge's
//    compressor cycling, three breaks in the capture) into an off-screen 1000 x 400 image, as the
//    window paints it. Goal: under 16 ms (ratio_to_16ms < 1).
//  - BM_EnergyDayOfBuffers: a day of buffers through the integrator, against a long double sum
//    of the same terms. Goal: relative error under 1e-9 (error_ratio_to_1e-9 < 1); the cost per
//    buffer is reported.
//  - BM_EnergyThirtyDaysError: the same over thirty days.
//  - BM_TrendAppend: the cost of appending one point to a full history.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "BenchApplication.h"
#include "FridgeDay.h"
#include "history/TrendChart.h"
#include "measure/EnergyIntegrator.h"
#include "measure/TrendHistory.h"

namespace {

using acw::bench::fridge;
using acw::bench::kDayBuffers;
using acw::bench::kDayMs;

std::unique_ptr<acw::TrendHistory> dayOfFridge(std::int64_t endMs) {
    auto history = std::make_unique<acw::TrendHistory>();
    acw::bench::appendDayOfFridge(*history, endMs);
    return history;
}

void BM_TrendRedraw24h(benchmark::State& state) {
    const std::int64_t endMs = 1'717'000'000'000;
    const auto history = dayOfFridge(endMs);
    QImage image(1000, 400, QImage::Format_RGB32);
    acw::TrendChart chart;
    double seconds = 0;
    for (auto _ : state) {
        const auto begin = std::chrono::steady_clock::now();
        QPainter painter(&image);
        const auto frame =
            chart.draw(painter, image.rect(), *history, {acw::TrendQuantity::Watts, endMs, kDayMs});
        painter.end();
        benchmark::DoNotOptimize(frame);
        benchmark::DoNotOptimize(image.constBits());
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    }
    const double perRedraw = seconds / static_cast<double>(state.iterations());
    state.counters["points"] = static_cast<double>(history->size());
    state.counters["ms_per_redraw"] = 1000.0 * perRedraw;
    state.counters["ratio_to_16ms"] = perRedraw / 0.016;
}
BENCHMARK(BM_TrendRedraw24h)->Unit(benchmark::kMillisecond);

void BM_EnergyDayOfBuffers(benchmark::State& state) {
    std::vector<acw::EnergySample> day(kDayBuffers);
    long double in = 0, q = 0, s = 0, a = 0;
    for (int k = 0; k < kDayBuffers; ++k) {
        day[k] = fridge(k);
        in += day[k].activePowerW;
        q += day[k].reactivePowerVar;
        s += day[k].apparentPowerVa;
        a += day[k].ampsRms;
    }
    double worst = 0;
    double seconds = 0;
    for (auto _ : state) {
        const auto begin = std::chrono::steady_clock::now();
        acw::EnergyIntegrator integrator;
        integrator.start();
        for (const acw::EnergySample& sample : day) integrator.add(sample);
        const acw::EnergyTotals t = integrator.totals();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        constexpr long double kHours = 4096.0L / 11025.0L / 3600.0L;
        for (const auto& [got, exact] : {std::pair{t.whImport, in}, std::pair{t.varh, q},
                                         std::pair{t.vah, s}, std::pair{t.ah, a}}) {
            const long double reference = exact * kHours;
            worst = std::max(worst, static_cast<double>(std::fabs((got - reference) / reference)));
        }
    }
    state.counters["relative_error"] = worst;
    state.counters["error_ratio_to_1e-9"] = worst / 1e-9;
    state.counters["ns_per_buffer"] =
        1e9 * seconds /
        (static_cast<double>(kDayBuffers) * static_cast<double>(state.iterations()));
}
BENCHMARK(BM_EnergyDayOfBuffers)->Unit(benchmark::kMillisecond);

// Thirty days of buffers (6.98 million), generated on the fly: only the error is reported.
void BM_EnergyThirtyDaysError(benchmark::State& state) {
    for (auto _ : state) {
        acw::EnergyIntegrator integrator;
        integrator.start();
        long double in = 0, s = 0;
        for (int k = 0; k < 30 * kDayBuffers; ++k) {
            const acw::EnergySample sample = fridge(k);
            in += sample.activePowerW;
            s += sample.apparentPowerVa;
            integrator.add(sample);
        }
        const acw::EnergyTotals t = integrator.totals();
        constexpr long double kHours = 4096.0L / 11025.0L / 3600.0L;
        const double worst = static_cast<double>(std::max(std::fabs(t.whImport / (in * kHours) - 1),
                                                          std::fabs(t.vah / (s * kHours) - 1)));
        state.counters["relative_error"] = worst;
        state.counters["error_ratio_to_1e-9"] = worst / 1e-9;
    }
}
BENCHMARK(BM_EnergyThirtyDaysError)->Iterations(1)->Unit(benchmark::kSecond);

void BM_EnergyAdd(benchmark::State& state) {
    acw::EnergyIntegrator integrator;
    integrator.start();
    const acw::EnergySample sample = fridge(12345);
    for (auto _ : state) {
        integrator.add(sample);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_EnergyAdd);

void BM_TrendAppend(benchmark::State& state) {
    acw::TrendHistory history(1000);
    acw::TrendPoint point{0, 90.0f, 230.0f, 0.4f, 0.82f, 50.0f, 2.5f, 35.0f};
    for (auto _ : state) {
        point.timeMs += 372;
        history.append(point);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_TrendAppend);

}  // namespace

int main(int argc, char** argv) { return acw::bench::runWithApplication(argc, argv); }
