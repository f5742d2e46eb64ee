#include <gtest/gtest.h>

#include <array>
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

// A ramp that makes every sample's position visible: left = frame % 30000, right = -left.
std::vector<std::int16_t> ramp(std::int64_t frames) {
    std::vector<std::int16_t> samples(static_cast<std::size_t>(2 * frames));
    for (std::int64_t k = 0; k < frames; ++k) {
        samples[2 * k] = static_cast<std::int16_t>(k % 30000);
        samples[2 * k + 1] = static_cast<std::int16_t>(-(k % 30000));
    }
    return samples;
}

TEST(RecordingReader, DeliversWholeBlocksInOrderAndDropsThePartialLast) {
    TempFolder folder;
    const std::string path = folder.file("ramp.wav");
    const std::int64_t frames = 3 * 4096 + 1000;
    const auto samples = ramp(frames);
    ASSERT_TRUE(writeWav(path, samples));

    RecordingReader reader;
    ASSERT_EQ(reader.open(path), "");
    EXPECT_EQ(reader.frames(), frames);
    EXPECT_EQ(reader.blocks(), 3);

    Block block{};
    for (int b = 0; b < 3; ++b) {
        ASSERT_TRUE(reader.readBlock(block.data())) << "block " << b;
        for (int v = 0; v < RecordingReader::kBlockValues; ++v)
            ASSERT_EQ(block[v], samples[b * 8192 + v]) << "block " << b << " value " << v;
    }
    EXPECT_FALSE(reader.readBlock(block.data()));
    EXPECT_EQ(reader.error(), "") << "a normal end is not a failure";

    // rewind() starts again at frame 0.
    ASSERT_TRUE(reader.rewind());
    ASSERT_TRUE(reader.readBlock(block.data()));
    EXPECT_EQ(block[2 * 4095 + 1], -4095);
    EXPECT_EQ(reader.blocksRead(), 1);
}

TEST(RecordingReader, ConvertsOtherSampleFormatsToFullScale16Bit) {
    TempFolder folder;
    const auto samples = ramp(4096);

    // 24-bit files hold every 16-bit value exactly (floating point: see the next test).
    const std::string path24 = folder.file("pcm24.wav");
    ASSERT_TRUE(writeWav(path24, samples, 2, 11025, SF_FORMAT_PCM_24));
    RecordingReader reader;
    Block block{};
    ASSERT_EQ(reader.open(path24), "");
    ASSERT_TRUE(reader.readBlock(block.data()));
    for (int v = 0; v < 8192; ++v) ASSERT_EQ(block[v], samples[v]) << "24-bit value " << v;

    // 8-bit files keep the top 8 bits: a value of k * 256 comes back unchanged.
    std::vector<std::int16_t> coarse(8192);
    for (int v = 0; v < 8192; ++v) coarse[v] = static_cast<std::int16_t>(((v % 256) - 128) * 256);
    const std::string path8 = folder.file("u8.wav");
    ASSERT_TRUE(writeWav(path8, coarse, 2, 11025, SF_FORMAT_PCM_U8));
    ASSERT_EQ(reader.open(path8), "");
    ASSERT_TRUE(reader.readBlock(block.data()));
    for (int v = 0; v < 8192; ++v) ASSERT_EQ(block[v], coarse[v]) << "8-bit value " << v;
}

TEST(RecordingReader, FloatingPointBeyondFullScaleIsClippedNotWrapped) {
    TempFolder folder;
    std::vector<double> samples(8192, 0.25);
    samples[0] = 1.5;   // beyond full scale
    samples[1] = -2.0;  // beyond negative full scale
    samples[2] = 1.0;   // exactly full scale: one count above 32767
    samples[3] = -1.0;
    samples[4] = 0.5;
    const std::string path = folder.file("hot.wav");
    ASSERT_TRUE(test::writeFloatWav(path, samples));

    RecordingReader reader;
    ASSERT_EQ(reader.open(path), "");
    Block block{};
    ASSERT_TRUE(reader.readBlock(block.data()));
    EXPECT_EQ(block[0], 32767);
    EXPECT_EQ(block[1], -32768);
    EXPECT_EQ(block[2], 32767);
    EXPECT_EQ(block[3], -32768);
    EXPECT_EQ(block[4], 16384) << "levels are absolute, not stretched to the file's peak";
}

TEST(RecordingReader, ReopeningReplacesTheFileAndClosedReaderDeliversNothing) {
    TempFolder folder;
    const std::string a = folder.file("a.wav");
    const std::string b = folder.file("b.wav");
    ASSERT_TRUE(writeWav(a, std::vector<std::int16_t>(2 * 4096 * 2, 111)));
    ASSERT_TRUE(writeWav(b, std::vector<std::int16_t>(2 * 4096, -222)));

    RecordingReader reader;
    ASSERT_EQ(reader.open(a), "");
    Block block{};
    ASSERT_TRUE(reader.readBlock(block.data()));
    EXPECT_EQ(block[5], 111);

    ASSERT_EQ(reader.open(b), "");
    EXPECT_EQ(reader.blocks(), 1);
    EXPECT_EQ(reader.blocksRead(), 0);
    ASSERT_TRUE(reader.readBlock(block.data()));
    EXPECT_EQ(block[5], -222);
    EXPECT_FALSE(reader.readBlock(block.data())) << "exactly one block";

    // A failed open closes the previous file.
    EXPECT_NE(reader.open(folder.file("none.wav")), "");
    EXPECT_FALSE(reader.isOpen());
    EXPECT_EQ(reader.frames(), 0);
    EXPECT_FALSE(reader.readBlock(block.data()));
    EXPECT_FALSE(reader.rewind());
}

// The same mains signal recorded at other rates and in other sample formats gives the readings
// of the 11025 Hz recording: volts, amps and watts within 0.1 %, the frequency within 0.05 Hz.
TEST(RecordingReader, OtherRatesGiveTheReadingsOfThe11025HzRecording) {
    TempFolder folder;
    SyntheticSignal::Params params = SyntheticSignal::demoAdaptor();
    params.volts.noiseRmsCounts = params.amps.noiseRmsCounts = 0.0;
    std::vector<std::array<double, 4>> reference;
    for (const int rateHz : {11025, 44100, 48000, 8000}) {
        const int subformat = rateHz == 48000 ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_16;
        params.sampleRateHz = rateHz;
        const std::string path = folder.file(std::to_string(rateHz) + ".wav");
        const auto samples = test::synthesise(params, (6 * 4096 + 100) * rateHz / 11025);
        ASSERT_TRUE(writeWav(path, samples, 2, rateHz, subformat));
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
TEST(RecordingReader, RecordingCutShortFailsAfterItsWholeBlocks) {
    TempFolder folder;
    const std::string path = folder.file("cut.wav");
    for (const bool streamed : {false, true}) {
        ASSERT_TRUE(writeWav(path, ramp(3 * 4096 + 100)));
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
TEST(RecordingReader, ChannelChoiceNamesVoltageAndCurrent) {
    TempFolder folder;
    std::vector<std::int16_t> quad(4 * 4096);
    for (std::size_t v = 0; v < quad.size(); ++v) quad[v] = static_cast<std::int16_t>(v % 4 + 1);
    ASSERT_TRUE(writeWav(folder.file("quad.wav"), quad, 4));
    ASSERT_TRUE(writeWav(folder.file("mono.wav"), quad, 1));
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
