// SPDX-License-Identifier: GPL-3.0-or-later
// The capture sources below the session: the buffer assembler, device names, the paced sources
// (the demo adaptor and recordings) and the recording reader.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <cmath>
#include <filesystem>
#include <thread>

#include "RecordingTestSupport.h"
#include "capture/BufferAssembler.h"
#include "capture/PacedInput.h"
#include "capture/RecordingReader.h"

namespace acw {
namespace {

using Block = std::array<std::int16_t, 8192>;

// `frames` frames of a counting stream from frame `first` on: frame f holds f on the left and -f
// on the right (16-bit, wrapping).
std::vector<std::int16_t> counting(std::size_t first, std::size_t frames) {
    std::vector<std::int16_t> values;
    for (std::size_t f = first; f < first + frames; ++f)
        values.insert(values.end(), {static_cast<std::int16_t>(f), static_cast<std::int16_t>(-f)});
    return values;
}
bool isCounting(const Block& b, std::size_t first) {
    return std::equal(b.begin(), b.end(), counting(first, 4096).begin());
}

TEST(BufferAssembler, CutsAnyChunksIntoContiguousBuffersAndKeepsTheNewest) {
    const auto values = counting(0, 5 * 4096);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(values.data());  // little-endian
    BufferAssembler a;
    Block b{};
    // Odd chunk sizes split samples and frames across appends.
    std::size_t pos = 0, frame = 0;
    for (const std::size_t n : {1, 3, 4095, 7, 16384, 9999, 1, 16384, 2378}) {
        a.append(bytes + pos, n);
        for (pos += n; a.take(b); frame += 4096) ASSERT_TRUE(isCounting(b, frame)) << frame;
    }
    EXPECT_EQ(frame, 3 * 4096u);
    EXPECT_EQ(a.droppedBuffers(), 0u);
    // Falling behind: of three complete buffers the newest is kept and two count as dropped; the
    // partial buffer after it goes on contiguously, after clear() forgot the 100 bytes before.
    a.clear();
    a.append(bytes, 3 * 16384 + 10);
    EXPECT_EQ(a.droppedBuffers(), 2u);
    ASSERT_TRUE(a.take(b));
    EXPECT_TRUE(isCounting(b, 2 * 4096));
    EXPECT_FALSE(a.take(b));
    a.append(bytes + 3 * 16384 + 10, 16384);
    ASSERT_TRUE(a.take(b));
    EXPECT_TRUE(isCounting(b, 3 * 4096));
}

TEST(ShortDeviceName, CutsAfter31CharactersNeverInsideOne) {
    const QString plug = QString::fromUcs4(U"\U0001F50C");  // two UTF-16 units
    const QString a30(30, QChar('a')), a31(31, QChar('a'));
    QStringList cut;
    for (const QString& name : {QString("Line In"), a31, a31 + "yz", a30 + plug + "bc", a31 + plug})
        cut << shortDeviceName(name);
    EXPECT_EQ(cut, (QStringList{"Line In", a31, a31, a30 + plug, a31}));
}

// Every buffer a paced source delivers, with how many it had produced by then and when, on a
// clock started before the source.
struct Collector {
    explicit Collector(PacedInput& input) {
        clock.start();
        QObject::connect(&input, &WaveInput::bufferReady, [this, &input] {
            for (Block b{}; input.takeBuffer(b);)
                got.emplace_back(b, input.buffersProduced(), clock.nsecsElapsed());
        });
        QObject::connect(&input, &WaveInput::deviceLost, [this] { ++lost; });
    }
    QElapsedTimer clock;
    std::vector<std::tuple<Block, std::uint64_t, qint64>> got;  // buffer, produced, when
    int lost = 0;
};

// A recording plays its whole blocks over and over, buffer n not before n x 4096 / 11025 s after
// start. After the event loop was held up for more than two buffers it skips ahead to real time
// and delivers the one buffer due now, not the backlog.
TEST(RecordingInput, LoopsOverItsWholeBlocksAtTheSoundCardsPace) {
    test::TempFolder folder;
    const std::string path = folder.file("three blocks and a bit of the line.wav");
    ASSERT_TRUE(test::writeWav(path, counting(0, 3 * 4096 + 500)));
    RecordingInput input(path);
    EXPECT_FALSE(input.open(1, WaveFormat::stereoPcm11025()));
    ASSERT_TRUE(input.open(-1, WaveFormat::stereoPcm11025()));
    Collector c(input);
    input.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));  // 5.4 buffer periods
    ASSERT_TRUE(QTest::qWaitFor([&] { return c.got.size() >= 4; }, 30000));
    input.close();
    const std::size_t n = c.got.size();
    QTest::qWait(450);  // more than a buffer period: nothing comes after close
    ASSERT_EQ(c.got.size(), n);
    ASSERT_GE(std::get<1>(c.got[0]), 5u) << "the backlog came at once";
    for (const auto& [block, produced, ns] : c.got) {
        EXPECT_TRUE(isCounting(block, (produced - 1) % 3 * 4096)) << produced;
        EXPECT_GE(ns * 11025, static_cast<qint64>(produced) * 4096 * 1000000000);
    }
}

// A recording cut short while it plays (a copy still in progress, another program rewriting it)
// ends the stream at the first block that cannot be read whole, with the reader's reason.
TEST(RecordingInput, FileCutShortWhilePlayingIsALostDevice) {
    test::TempFolder folder;
    const std::string path = folder.file("line.wav");
    ASSERT_TRUE(test::writeWav(path, counting(0, 3 * 4096)));
    RecordingInput input(path);
    ASSERT_TRUE(input.open(0, WaveFormat::stereoPcm11025()));
    std::filesystem::resize_file(path, 44 + (4096 + 250) * 4);
    Collector c(input);
    input.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return c.lost > 0; }, 30000));
    QTest::qWait(800);  // two more buffer periods: nothing else comes
    EXPECT_EQ(c.lost, 1);
    ASSERT_EQ(c.got.size(), 1u);
    EXPECT_TRUE(isCounting(std::get<0>(c.got[0]), 0));
    EXPECT_EQ(input.problem().toStdString(),
              "'" + path +
                  "': reading stopped after 4346 of 12288 frames (the file is shorter than its "
                  "header says)");
}

TEST(RecordingReader, ConvertsEverySampleFormatToFullScale16Bit) {
    // Written in counts of 16-bit full scale. Floating point is scaled, never stretched to the
    // file's peak, rounded, and clipped, not wrapped.
    const struct {
        int subformat;
        std::vector<double> written;
        std::vector<std::int16_t> read;
    } cases[] = {
        {SF_FORMAT_PCM_U8, {16384, -8192, -32768, 32512}, {16384, -8192, -32768, 32512}},
        {SF_FORMAT_PCM_24, {16384, -32768, 32767, 1, -3}, {16384, -32768, 32767, 1, -3}},
        {SF_FORMAT_FLOAT,
         {16384, 49152, -65536, 32768, -32768, 1.7, -1.7, NAN},
         {16384, 32767, -32768, 32767, -32768, 2, -2, -32768}},
    };
    test::TempFolder folder;
    for (const auto& c : cases) {
        std::vector<double> values(8192, 0.0);
        std::copy(c.written.begin(), c.written.end(), values.begin());
        const std::string path = folder.file((std::to_string(c.subformat) + ".wav").c_str());
        ASSERT_TRUE(test::writeWav(path, values, c.subformat));
        RecordingReader reader;
        ASSERT_EQ(reader.open(path), "");
        Block block{};
        ASSERT_TRUE(reader.readBlock(block.data()));
        EXPECT_EQ(std::vector<std::int16_t>(block.begin(), block.begin() + c.read.size()), c.read)
            << "subformat " << std::hex << c.subformat;
    }
}

}  // namespace
}  // namespace acw
