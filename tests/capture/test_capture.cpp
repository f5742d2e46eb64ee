// SPDX-License-Identifier: GPL-3.0-or-later
// The capture sources below the session: the buffer assembler, device names, the paced sources
// (demo adaptor and recordings) and the recording reader.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <array>
#include <cmath>
#include <thread>
#include <vector>

#include "RecordingTestSupport.h"
#include "capture/BufferAssembler.h"
#include "capture/PacedInput.h"
#include "capture/RecordingReader.h"

namespace acw {
namespace {

using Block = std::array<std::int16_t, 8192>;

// Little-endian bytes of the sample values first, first + 1, ... (wrapping at 16 bits).
std::vector<std::uint8_t> rampBytes(int first, int values) {
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < values; ++i) {
        const auto v = static_cast<std::uint16_t>(first + i);
        bytes.insert(bytes.end(),
                     {static_cast<std::uint8_t>(v & 0xff), static_cast<std::uint8_t>(v >> 8)});
    }
    return bytes;
}

bool isRamp(const Block& b, int first) {
    for (int i = 0; i < 8192; ++i)
        if (b[i] != static_cast<std::int16_t>(first + i)) return false;
    return true;
}

TEST(BufferAssembler, ChunksOfAnySizeMakeContiguousBuffers) {
    BufferAssembler a;
    const auto bytes = rampBytes(-16000, 3 * 8192 + 100);
    // Odd chunk sizes split samples and frames across appends.
    const std::size_t sizes[] = {1, 3, 4095, 7, 16384, 9999, 1};
    int next = -16000;
    Block b{};
    for (std::size_t pos = 0, k = 0; pos < bytes.size(); ++k) {
        const std::size_t n = std::min(sizes[k % std::size(sizes)], bytes.size() - pos);
        a.append(bytes.data() + pos, n);
        pos += n;
        for (; a.take(b); next += 8192) ASSERT_TRUE(isRamp(b, next)) << "buffer at " << next;
    }
    EXPECT_EQ(next, -16000 + 3 * 8192);
    EXPECT_EQ(a.pendingBytes(), 200u);
    EXPECT_EQ(a.droppedBuffers(), 0u);
}

TEST(BufferAssembler, FallingBehindKeepsTheNewestCompleteBufferAndCountsTheDropped) {
    BufferAssembler a;
    const auto bytes = rampBytes(0, 3 * 8192 + 10);
    EXPECT_TRUE(a.append(bytes.data(), bytes.size()));
    EXPECT_EQ(a.droppedBuffers(), 2u);
    Block b{};
    ASSERT_TRUE(a.take(b));
    EXPECT_TRUE(isRamp(b, 2 * 8192));
    EXPECT_FALSE(a.take(b));
    // The partial buffer after it is kept and goes on contiguously; clear() forgets one.
    const auto more = rampBytes(3 * 8192 + 10, 8192 + 5);
    a.append(more.data(), more.size());
    ASSERT_TRUE(a.take(b));
    EXPECT_TRUE(isRamp(b, 3 * 8192));
    a.clear();
    a.append(bytes.data(), 16384);
    ASSERT_TRUE(a.take(b));
    EXPECT_TRUE(isRamp(b, 0));
}

TEST(ShortDeviceName, CutsAfter31CharactersNeverInsideOne) {
    const QString plug = QString::fromUcs4(U"\U0001F50C");  // two UTF-16 units
    const QString x31(31, QChar('x'));
    const std::pair<QString, QString> cases[] = {
        {"Line In", "Line In"},
        {x31, x31},
        {x31 + "yz", x31},
        {QString(30, QChar('a')) + plug + "bc", QString(30, QChar('a')) + plug},
        {QString(31, QChar('a')) + plug, QString(31, QChar('a'))},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(shortDeviceName(name), expected) << name.size();
}

// Every buffer a source delivers, with how many it had produced by then and when, measured on a
// clock started before the source.
struct Collector {
    explicit Collector(PacedInput& in) : input(in) {
        clock.start();
        QObject::connect(&input, &WaveInput::bufferReady, [this] {
            Block b{};
            while (input.takeBuffer(b)) {
                blocks.push_back(b);
                produced.push_back(input.buffersProduced());
                elapsedNs.push_back(clock.nsecsElapsed());
            }
        });
        QObject::connect(&input, &WaveInput::deviceLost, [this] { ++lost; });
    }
    bool waitFor(std::size_t n) {
        return QTest::qWaitFor([&] { return blocks.size() >= n; }, 30000);
    }
    PacedInput& input;
    QElapsedTimer clock;
    std::vector<Block> blocks;
    std::vector<std::uint64_t> produced;
    std::vector<qint64> elapsedNs;
    int lost = 0;
};

TEST(DemoAdaptorInput, IsTheOnlyDeviceAndDeliversTheDemoSignalAtTheSoundCardsPace) {
    DemoAdaptorInput input;
    EXPECT_EQ(input.deviceNames(), QStringList{"Demo adaptor"});
    WaveFormat mono = WaveFormat::stereoPcm11025();
    mono.channels = 1;
    EXPECT_FALSE(input.open(0, mono));
    EXPECT_FALSE(input.open(1, WaveFormat::stereoPcm11025()));
    EXPECT_FALSE(input.isOpen());
    ASSERT_TRUE(input.open(-1, WaveFormat::stereoPcm11025()));

    Collector c(input);
    input.start();
    ASSERT_TRUE(c.waitFor(4));
    input.close();
    const std::size_t got = c.blocks.size();
    QTest::qWait(450);  // more than a buffer period: nothing arrives after close
    EXPECT_EQ(c.blocks.size(), got);
    EXPECT_EQ(c.lost, 0);

    SyntheticSignal reference(SyntheticSignal::demoAdaptor());
    Block expected{};
    for (std::size_t i = 0; i < got; ++i) {
        reference.fill(expected, 4096);
        EXPECT_EQ(c.blocks[i], expected) << "buffer " << i;
        // Buffer n is complete n x 4096 / 11025 s after start, not before.
        EXPECT_GE(c.elapsedNs[i] * 11025, static_cast<qint64>(i + 1) * 4096 * 1000000000);
    }
}

// A 16-bit recording of `frames` frames: left = frame number, right = -frame number.
void writeCounting(const std::string& path, int frames, int channels = 2) {
    std::vector<std::int16_t> data(static_cast<std::size_t>(frames) * channels);
    for (std::size_t k = 0; k < data.size(); ++k)
        data[k] = static_cast<std::int16_t>((k % channels == 0 ? 1 : -1) * (k / channels));
    ASSERT_TRUE(test::writeWav(path, data, channels));
}

bool isBlockOfCounting(const Block& b, int block) {
    for (int k = 0; k < 4096; ++k) {
        const auto frame = static_cast<std::int16_t>(block * 4096 + k);
        if (b[2 * k] != frame || b[2 * k + 1] != -frame) return false;
    }
    return true;
}

// The whole blocks in order, over and over; another file renamed over the recording while it
// plays (a re-export from an audio editor) changes nothing: the open file keeps playing.
TEST(RecordingInput, LoopsOverTheWholeBlocksOfTheOpenFile) {
    test::TempFolder folder;
    const std::string path = folder.file("two blocks and a bit of a line.wav");
    writeCounting(path, 2 * 4096 + 500);
    writeCounting(folder.file("mono.wav"), 4096, 1);

    RecordingInput input(path);
    EXPECT_EQ(input.deviceNames(), QStringList{"two blocks and a bit of a line."});
    ASSERT_TRUE(input.open(0, WaveFormat::stereoPcm11025()));
    std::filesystem::rename(folder.file("mono.wav"), path);
    Collector c(input);
    input.start();
    ASSERT_TRUE(c.waitFor(3));
    input.close();
    EXPECT_EQ(c.lost, 0);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(isBlockOfCounting(c.blocks[i], i % 2)) << i;
}

// An event loop held up for more than two buffers: the source skips ahead to real time and
// delivers one buffer, the one due now, instead of the whole backlog at once.
TEST(RecordingInput, SkipsAheadAfterTheEventLoopWasHeldUp) {
    test::TempFolder folder;
    const std::string path = folder.file("three blocks.wav");
    writeCounting(path, 3 * 4096);
    RecordingInput input(path);
    ASSERT_TRUE(input.open(0, WaveFormat::stereoPcm11025()));
    Collector c(input);
    input.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));  // 5.4 buffer periods
    ASSERT_TRUE(c.waitFor(3));
    input.close();
    ASSERT_GE(c.produced[0], 5u) << "the backlog came at once";
    for (std::size_t i = 0; i < 3; ++i) {
        const int block = static_cast<int>((c.produced[i] - 1) % 3);
        EXPECT_TRUE(isBlockOfCounting(c.blocks[i], block)) << "buffer " << i;
    }
}

TEST(RecordingReader, ConvertsEverySampleFormatToFullScale16Bit) {
    // Written in counts of 16-bit full scale: integer formats as 16-bit samples, floating point
    // normalised. Floating point is scaled, never stretched to the file's peak, rounded, and
    // clipped, not wrapped.
    const struct {
        int subformat;
        std::vector<double> written;
        std::vector<std::int16_t> read;
    } cases[] = {
        {SF_FORMAT_PCM_U8, {16384, -8192, -32768, 32512}, {16384, -8192, -32768, 32512}},
        {SF_FORMAT_PCM_24, {16384, -32768, 32767, 1, -3}, {16384, -32768, 32767, 1, -3}},
        {SF_FORMAT_PCM_32, {8192, -16384, 5, 32767}, {8192, -16384, 5, 32767}},
        {SF_FORMAT_FLOAT,
         {16384, 49152, -65536, 32768, -32768, 1.7, -1.7, NAN},
         {16384, 32767, -32768, 32767, -32768, 2, -2, -32768}},
        {SF_FORMAT_DOUBLE, {-16384, 98304}, {-16384, 32767}},
    };
    test::TempFolder folder;
    for (const auto& c : cases) {
        std::vector<double> values(8192, 0.0);
        std::copy(c.written.begin(), c.written.end(), values.begin());
        const std::string path = folder.file("f" + std::to_string(c.subformat) + ".wav");
        const bool isFloat = c.subformat == SF_FORMAT_FLOAT || c.subformat == SF_FORMAT_DOUBLE;
        ASSERT_TRUE(
            isFloat ? test::writeWav(path, values, c.subformat)
                    : test::writeWav(path, std::vector<std::int16_t>(values.begin(), values.end()),
                                     2, 11025, c.subformat));
        RecordingReader reader;
        ASSERT_EQ(reader.open(path), "");
        Block block{};
        ASSERT_TRUE(reader.readBlock(block.data()));
        EXPECT_EQ(std::vector<std::int16_t>(block.begin(), block.begin() + c.read.size()), c.read)
            << "subformat " << std::hex << c.subformat;
        EXPECT_FALSE(reader.readBlock(block.data()));
        EXPECT_EQ(reader.error(), "") << "a normal end is not a failure";
    }
}

TEST(RecordingReader, OpeningAnotherFileClosesTheFirstEvenWhenItFails) {
    test::TempFolder folder;
    writeCounting(folder.file("a.wav"), 2 * 4096);
    writeCounting(folder.file("b.wav"), 4096 + 10);
    RecordingReader reader;
    Block block{};
    ASSERT_EQ(reader.open(folder.file("a.wav")), "");
    ASSERT_TRUE(reader.readBlock(block.data()));
    ASSERT_TRUE(reader.readBlock(block.data()));
    ASSERT_EQ(reader.open(folder.file("b.wav")), "");
    EXPECT_EQ(reader.blocks(), 1);
    ASSERT_TRUE(reader.readBlock(block.data()));
    EXPECT_TRUE(isBlockOfCounting(block, 0));
    EXPECT_NE(reader.open(folder.file("none.wav")), "");
    EXPECT_FALSE(reader.isOpen());
    EXPECT_FALSE(reader.readBlock(block.data()));
    EXPECT_FALSE(reader.rewind());
}

}  // namespace
}  // namespace acw
