// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>

#include "measure/CsvRow.h"
#include "measure/ReadoutText.h"
#include "measure/SyntheticSignal.h"

using namespace acw;

// Patterns of '#', '0' and '.', ties to even, no "-" on a zero; the readouts complete them to
// one or three decimals; what is not a number shows as "---".
TEST(ReadoutText, PatternsAndTheirCompletion) {
    const std::tuple<double, const char*, const char*> patterns[] = {
        // clang-format off
        {59.73, "###.#", "59.7"}, {60.04, "###.#", "60."}, {0.5, "###.#", ".5"}, {0, "###.#", "."},
        {120.4, "#.###", "120.4"}, {55, "0.0##", "55.0"}, {55.1234, "0.0##", "55.123"},
        {0.0004, "0.0##", "0.0"}, {9.9996, "0.000", "10.000"}, {0.9999, "#.###", "1."},
        {7.0, "00.0", "07.0"}, {1234.6, "0", "1235"}, {-0.25, "#.###", "-.25"}, {-0.0001, "0.0", "0.0"},
        {-0.0, "###.#", "."}, {0.125, "0.00", "0.12"}, {0.375, "0.00", "0.38"}, {2.5, "0", "2"},
        {NAN, "0.0##", "---"}, {-INFINITY, "0.0", "---"},
        // clang-format on
    };
    for (const auto& [value, pattern, text] : patterns)
        EXPECT_EQ(formatPattern(value, pattern), text) << value << " " << pattern;
    const std::string huge = formatPattern(1.7976931348623157e308, "0.0");
    EXPECT_EQ(huge.substr(0, 5) + huge.substr(huge.size() - 2) + std::to_string(huge.size()),
              "17976.0311");
    const std::tuple<double, const char*, const char*> readouts[] = {
        {120, "120.000", "120.0"}, {0.25, ".250", ".2"},      {0, ".000", ".0"},
        {-1.25, "-1.250", "-1.2"}, {59.96, "59.960", "60.0"}, {NAN, "---", "---"}};
    for (const auto& [value, rms, hz] : readouts) {
        EXPECT_EQ(rmsReadoutText(value), rms);
        EXPECT_EQ(frequencyReadoutText(value), hz);
    }
}

// One CSV line per buffer from the engine's readings: nine significant digits, never "-0" (a
// negative divisor with silence prints 0), the lamps, and the start of the buffer in seconds.
TEST(CsvRow, MeasurementsOfTheEngineAsCsvLines) {
    EXPECT_EQ(csvHeader(), "time_s,volts,amps,hz,watts,va,pf,v_cf,a_cf,volts_lock,amps_lock\n");
    std::string row;
    for (double v : {1.0 / 3, 123456789.4, -2.5, 1e-7, -0.0, 60.0}) appendCsvNumber(row += ' ', v);
    EXPECT_EQ(row, " 0.333333333 123456789 -2.5 1e-07 0 60");
    auto engine = std::make_unique<MeasurementEngine>();
    engine->voltsCal = -1.0;
    engine->StartCapture();
    engine->ProcessBuffer();
    appendCsvRow(row = "", measurementOf(*engine, 0, 0));
    EXPECT_EQ(row, "0,0,0,0,0,0,0,0,0,red,red\n");

    engine->ampsCal = 0.25;
    SyntheticSignal signal(SyntheticSignal::demoAdaptor());
    for (int i = 0; i < 4; ++i) {
        signal.fill(engine->captureBuffer, kFramesPerBuffer);
        engine->ProcessBuffer();
    }
    engine->voltsLock = Lamp::Red;
    const Measurement m = measurementOf(*engine, 3, 1);
    EXPECT_EQ(std::tuple(m.startFrame, m.buffersDroppedBefore, m.voltsCal, m.ampsCal, m.texts),
              std::tuple(3 * 4096, 1u, -1.0, 0.25, &engine->readouts));
    EXPECT_EQ(std::pair(m.readings.leftFrequency, m.readings.rightFrequency),
              std::pair(engine->leftFrequency, engine->rightFrequency));
    EXPECT_EQ(std::tuple(m.leftSamples.data(), m.rightSamples.data(), m.capturedFrames.size()),
              std::tuple(&engine->leftSamples[0], &engine->rightSamples[0], 8192u));
    std::string expected = "1.11455782";  // 3 x 4096 / 11025 s
    for (double v : {engine->voltsRms, engine->ampsRms, engine->averageFrequency, engine->watts,
                     engine->voltAmps, engine->powerFactor, engine->voltsCrest, engine->ampsCrest})
        appendCsvNumber(expected += ',', v);
    appendCsvRow(row = "", m);
    EXPECT_EQ(row, expected + ",red,green\n");
}
