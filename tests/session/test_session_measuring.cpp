// SPDX-License-Identifier: GPL-3.0-or-later
// Headless measuring with the power analysis and the energy, as users run it: a run on every core
// gives the values of measuring one buffer at a time, and the energy of twelve minutes of
// changing loads agrees with the analytic truth.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <stdlib.h>

#include <QString>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "capture/RecordingReader.h"
#include "capture/WaveInputFactory.h"
#include "cli/HeadlessMeasure.h"
#include "measure/CsvRow.h"
#include "measure/MeasurementObserver.h"
#include "measure/SyntheticSignal.h"
#include "session/MeasurementSession.h"

namespace acw {
namespace {

// Peak counts of a sine that reads 1 V or 1 A at calibration 1 (the panel's scale).
constexpr double kCountsPerVolt = 2.0 * 32767.0 / 750.0;
constexpr double kCountsPerAmp = 2.0 * 32767.0 / 75.0;
constexpr double kBufferHours = 4096.0 / 11025.0 / 3600.0;

// A steady load: RMS readings of the fundamentals, the current's lag, third harmonics relative
// to the fundamentals.
struct Load {
    int buffers;
    double volts, amps, lagDeg;
    double voltsThird = 0.0, ampsThird = 0.0;
    double watts() const {
        const double rad = lagDeg * std::numbers::pi / 180.0;
        return volts * amps * (std::cos(rad) + voltsThird * ampsThird * std::cos(3 * rad));
    }
    double vars() const { return volts * amps * std::sin(lagDeg * std::numbers::pi / 180.0); }
    double voltAmps() const {
        return volts * std::hypot(1.0, voltsThird) * amps * std::hypot(1.0, ampsThird);
    }
};

class MeasuringRun : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "acw-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    // The loads one after another at `hz`, each starting on a buffer boundary.
    std::string record(const std::vector<Load>& loads, double hz) {
        const std::string path = folder_ + "/loads.wav";
        SF_INFO info{};
        info.samplerate = 11025;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
        SyntheticSignal signal(SyntheticSignal::Params{});
        std::vector<std::int16_t> buffer(2 * 4096);
        for (const Load& load : loads) {
            SyntheticSignal::Params p;
            p.frequencyHz = hz;
            p.volts.peakCounts = load.volts * kCountsPerVolt;
            p.volts.harmonics = {{3, load.voltsThird, 0.0}};
            p.volts.noiseRmsCounts = 3.0;
            p.amps.peakCounts = load.amps * kCountsPerAmp;
            p.amps.phaseDeg = -load.lagDeg;
            p.amps.harmonics = {{3, load.ampsThird, 0.0}};
            p.amps.noiseRmsCounts = 3.0;
            signal.setParams(p);
            for (int b = 0; b < load.buffers; ++b) {
                signal.fill(buffer, 4096);
                sf_writef_short(file, buffer.data(), 4096);
            }
        }
        sf_close(file);
        return path;
    }

    std::string folder_;
};

TEST_F(MeasuringRun, OnEveryCoreAsOneBufferAtATime) {
    // Drifting frequency, a harmonic load, silence and a batch that does not fill up.
    const std::string path =
        record({{45, 120, 5, 30, 0.1, 0.3}, {20, 0, 0, 0}, {50, 230, 0.5, -70}}, 50.3);
    CommandLineOptions options;
    options.action = CommandLineOptions::Action::Measure;
    options.inputPath = path;
    options.settingsPath = folder_ + "/wattmeter.ini";
    options.configPath = folder_ + "/none.conf";
    options.analysis = options.harmonics = options.energy = true;
    std::FILE* settings = std::fopen(options.settingsPath->c_str(), "wb");
    std::fputs("0\r\n2\r\n0\r\n0\r\n0\r\n32\r\n32\r\n32\r\n0.8\r\n1.25\r\n", settings);
    std::fclose(settings);
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* out = ::open_memstream(&text, &size);
    ASSERT_EQ(runHeadlessMeasure(options, out, stderr), kExitOk);
    std::fclose(out);
    const std::string parallel(text, size);
    std::free(text);

    auto engine = std::make_unique<MeasurementEngine>();
    engine->voltsCal = 0.8;
    engine->ampsCal = 1.25;
    engine->StartCapture();
    PowerAnalyser analyser;
    PowerAnalysis analysis;
    EnergyIntegrator energy;
    energy.start();
    RecordingReader reader;
    ASSERT_EQ(reader.open(path), "");
    const CsvLayout layout{true, true, true};
    std::string oneByOne = csvHeader(layout);
    for (std::int64_t index = 0; reader.readBlock(engine->captureBuffer.data()); ++index) {
        engine->ProcessBuffer();
        Measurement m = measurementOf(*engine, index, 0);
        analyser.analyse(m.capturedFrames, {0.8, 1.25, 0.0}, analysis);
        m.analysis = &analysis;
        energy.add(energySampleOf(m));
        const EnergyTotals totals = energy.totals();
        m.energy = &totals;
        appendCsvRow(oneByOne, m, layout);
    }
    EXPECT_EQ(parallel, oneByOne);
}

TEST_F(MeasuringRun, EnergyOfChangingLoadsFollowsTheTruth) {
    // Twelve minutes: consumption, off, export, PF 0.5, a harmonic-rich load.
    const std::vector<Load> loads = {{388, 120, 5, 30},
                                     {388, 120, 0, 0},
                                     {388, 120, 4, 180},
                                     {388, 230, 2, 60},
                                     {388, 120, 6, 20, 0.1, 0.3}};
    MeasurementSession session(makeWaveInput(false, record(loads, 59.7), RecordingPlayback::Once));
    session.setEnergyEnabled(true);
    session.energy().start();
    struct Last : MeasurementObserver {
        EnergyTotals totals;
        void measured(const Measurement& m) override { totals = *m.energy; }
    } last;
    session.addObserver(last);
    ASSERT_EQ(session.measureUnpaced(INT64_MAX), MeasurementSession::UnpacedEnd::SignalEnded);

    double wh = 0, whImport = 0, whExport = 0, varh = 0, vah = 0;
    int buffers = 0;
    for (const Load& load : loads) {
        const double hours = load.buffers * kBufferHours;
        wh += load.watts() * hours;
        (load.watts() > 0 ? whImport : whExport) += std::fabs(load.watts()) * hours;
        varh += load.vars() * hours;
        vah += load.voltAmps() * hours;
        buffers += load.buffers;
    }
    const EnergyTotals& e = last.totals;
    for (const auto& [measured, truth, tolerance] :
         {std::tuple{e.wh, wh, 0.001}, std::tuple{e.whImport, whImport, 0.001},
          std::tuple{e.whExport, whExport, 0.001}, std::tuple{e.varh, varh, 0.002},
          std::tuple{e.vah, vah, 0.002}})
        EXPECT_NEAR(measured, truth, tolerance * vah) << truth;
    EXPECT_EQ(e.buffers, static_cast<std::uint64_t>(buffers));
    EXPECT_DOUBLE_EQ(e.elapsedS, buffers * 4096.0 / 11025.0);
}

}  // namespace
}  // namespace acw
