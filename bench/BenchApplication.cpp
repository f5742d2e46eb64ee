// SPDX-License-Identifier: GPL-3.0-or-later
#include "BenchApplication.h"

#include <benchmark/benchmark.h>

#include <QApplication>

namespace acw::bench {

int runWithApplication(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace acw::bench
