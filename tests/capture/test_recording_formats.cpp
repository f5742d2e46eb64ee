// SPDX-License-Identifier: GPL-3.0-or-later
// Recordings as users have them: at other rates (resampled), cut short by a full disk, with more
// than two channels.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <memory>

#include "RecordingTestSupport.h"
#include "capture/RecordingReader.h"
#include "measure/MeasurementEngine.h"

namespace acw {
namespace {

using test::TempFolder;
using test::writeWav;
using Block = std::array<std::int16_t, RecordingReader::kBlockValues>;

// The same mains signal recorded at other rates and in other sample formats gives the readings
// of the 11025 Hz recording: volts, amps and watts within 0.1 %, the frequency within 0.05 Hz.
TEST(RecordingFormats, OtherRatesGiveTheReadingsOfThe11025HzRecording) {
    TempFolder folder;
    SyntheticSignal::Params params = SyntheticSignal::demoAdaptor();
    params.volts.noiseRmsCounts = params.amps.noiseRmsCounts = 0.0;
    std::vector<std::array<double, 4>> reference;
    for (const int rateHz : {11025, 44100, 48000, 8000}) {
        const int subformat = rateHz == 48000 ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_16;
        params.sampleRateHz = rateHz;
        const std::string path = folder.file((std::to_string(rateHz) + ".wav").c_str());
        const auto samples = test::synthesise(params, (6 * 4096 + 100) * rateHz / 11025);
        ASSERT_TRUE(writeWav(path, samples, subformat, 2, rateHz));
        RecordingReader reader;
        ASSERT_EQ(reader.open(path), "");
        auto engine = std::make_unique<MeasurementEngine>();
        std::vector<std::array<double, 4>> readings;
        while (reader.readBlock(engine->captureBuffer.data())) {
            engine->ProcessBuffer();
            readings.push_back(
                {engine->voltsRms, engine->ampsRms, engine->watts, engine->averageFrequency});
        }
        if (reference.empty()) reference = readings;
        ASSERT_EQ(readings.size(), 6u) << rateHz;
        for (std::size_t b = 0; b < 6; ++b)
            for (std::size_t i = 0; i < 4; ++i)
                EXPECT_NEAR(readings[b][i], reference[b][i], i == 3 ? 0.05 : 1e-3 * reference[b][i])
                    << rateHz << " Hz, buffer " << b << ", reading " << i;
    }
}

// A header that promises 3 blocks and 100 frames over a file cut after 2 blocks and 1000 frames;
// written as a stream (data size 0xFFFFFFFF) the same bytes are a complete recording.
TEST(RecordingFormats, RecordingCutShortFailsAfterItsWholeBlocks) {
    TempFolder folder;
    const std::string path = folder.file("cut.wav");
    std::vector<std::int16_t> ramp(2 * (3 * 4096 + 100));
    for (std::size_t v = 0; v < ramp.size(); ++v) ramp[v] = static_cast<std::int16_t>(v % 30000);
    for (const bool streamed : {false, true}) {
        ASSERT_TRUE(writeWav(path, ramp));
        std::filesystem::resize_file(path, 44 + 9192 * 4);
        if (streamed)
            std::fstream(path, std::ios::in | std::ios::out).seekp(40) << "\xff\xff\xff\xff";
        RecordingReader reader;
        ASSERT_EQ(reader.open(path), "");
        int blocks = 0;
        for (Block block{}; reader.readBlock(block.data());) ++blocks;
        EXPECT_EQ(blocks, 2);
        const std::string cut =
            "': reading stopped after 9192 of 12388 frames (the file is "
            "shorter than its header says)";
        EXPECT_EQ(reader.error(), streamed ? "" : "'" + path + cut);
    }
}

// Channel k of the four-channel file holds the value k throughout.
TEST(RecordingFormats, ChannelChoiceNamesVoltageAndCurrent) {
    TempFolder folder;
    std::vector<std::int16_t> quad(4 * 4096);
    for (std::size_t v = 0; v < quad.size(); ++v) quad[v] = static_cast<std::int16_t>(v % 4 + 1);
    ASSERT_TRUE(writeWav(folder.file("quad.wav"), quad, SF_FORMAT_PCM_16, 4));
    ASSERT_TRUE(writeWav(folder.file("mono.wav"), quad, SF_FORMAT_PCM_16, 1));
    const struct {
        const char* file;
        const char* choice;  // as given to --channels; nullptr: none
        const char* problem;
    } cases[] = {
        {"mono.wav", nullptr, "has 1 channel, 2 are needed (left = voltage, right = current)"},
        {"quad.wav", nullptr, "has 4 channels; choose the voltage and current channels"},
        {"quad.wav", "5,1", "has 4 channels, channel 5 was chosen"},
        {"quad.wav", "4", "bad value '4': two channel numbers L,R are needed"},
        {"quad.wav", "2,2", "voltage and current need two different channels"},
        {"quad.wav", "4,2", ""},
    };
    for (const auto& c : cases) {
        ChannelChoice choice;
        std::string problem = c.choice ? parseChannelChoice(c.choice, choice) : "";
        RecordingReader reader;
        if (problem.empty())
            problem =
                reader.open(folder.file(c.file), c.choice ? std::optional(choice) : std::nullopt);
        EXPECT_TRUE(*c.problem ? problem.find(c.problem) != std::string::npos : problem.empty())
            << problem;
        Block block{};
        if (!problem.empty()) continue;
        ASSERT_TRUE(reader.readBlock(block.data()));
        EXPECT_EQ(block[8190] * 10 + block[8191], 42) << "voltage from channel 4, current from 2";
    }
}

}  // namespace
}  // namespace acw
