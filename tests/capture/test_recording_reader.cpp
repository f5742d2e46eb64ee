#include <gtest/gtest.h>

#include <array>

#include "RecordingTestSupport.h"
#include "capture/RecordingReader.h"

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

}  // namespace
}  // namespace acw
