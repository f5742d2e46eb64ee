#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <array>
#include <cstdint>
#include <vector>

#include "RecordingTestSupport.h"
#include "capture/BufferAssembler.h"
#include "capture/CaptureCycle.h"
#include "capture/PacedInput.h"
#include "capture/WaveInput.h"
#include "measure/MeasurementEngine.h"
#include "measure/SyntheticSignal.h"

namespace acw {
namespace {

using Block = std::array<std::int16_t, 8192>;

// Little-endian bytes of consecutive sample values starting at `first`.
std::vector<std::uint8_t> rampBytes(int first, int values) {
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < values; ++i) {
        const auto v = static_cast<std::uint16_t>(static_cast<std::int16_t>(first + i - 16000));
        bytes.push_back(static_cast<std::uint8_t>(v & 0xff));
        bytes.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    return bytes;
}

void expectRamp(const Block& b, int first) {
    for (int i = 0; i < 8192; ++i) {
        ASSERT_EQ(b[i], static_cast<std::int16_t>(first + i - 16000)) << "value " << i;
    }
}

TEST(BufferAssembler, ChunksOfAnySizeMakeContiguousBuffers) {
    BufferAssembler a;
    const auto bytes = rampBytes(0, 3 * 8192 + 100);
    // Odd chunk sizes split samples and frames across appends.
    const std::size_t sizes[] = {1, 3, 4095, 7, 16384, 9999, 1};
    std::size_t pos = 0;
    int next = 0;
    Block b{};
    std::size_t k = 0;
    while (pos < bytes.size()) {
        const std::size_t n = std::min(sizes[k++ % std::size(sizes)], bytes.size() - pos);
        a.append(bytes.data() + pos, n);
        pos += n;
        while (a.take(b)) {
            expectRamp(b, next);
            next += 8192;
        }
    }
    EXPECT_EQ(next, 3 * 8192);
    EXPECT_EQ(a.pendingBytes(), 200u);
    EXPECT_EQ(a.droppedBuffers(), 0u);
}

TEST(BufferAssembler, FallingBehindGivesTheNewestCompleteBuffer) {
    BufferAssembler a;
    const auto bytes = rampBytes(0, 3 * 8192 + 10);
    EXPECT_TRUE(a.append(bytes.data(), bytes.size()));
    EXPECT_EQ(a.droppedBuffers(), 2u);
    Block b{};
    ASSERT_TRUE(a.take(b));
    expectRamp(b, 2 * 8192);
    EXPECT_FALSE(a.take(b));
    // The partial buffer after it is kept and continues contiguously.
    const auto more = rampBytes(3 * 8192 + 10, 8192);
    a.append(more.data(), more.size());
    ASSERT_TRUE(a.take(b));
    expectRamp(b, 3 * 8192);
    // clear() forgets a partial buffer.
    a.clear();
    const auto next = rampBytes(100, 8192);
    a.append(next.data(), next.size());
    ASSERT_TRUE(a.take(b));
    expectRamp(b, 100);
}

TEST(DeviceNames, AreCutTo31CharactersWithoutSplittingACharacter) {
    const QString exact = QString(31, QChar('x'));
    EXPECT_EQ(shortDeviceName(exact), exact);
    EXPECT_EQ(shortDeviceName(exact + "yz"), exact);
    // 30 letters, then a character outside the basic plane (two UTF-16 units), then more.
    const QString wide = QString(30, QChar('a')) + QString::fromUcs4(U"\U0001F50C") + "bc";
    const QString cut = shortDeviceName(wide);
    EXPECT_EQ(cut, QString(30, QChar('a')) + QString::fromUcs4(U"\U0001F50C"));
}

// Collects every buffer an input delivers.
struct Collector {
    explicit Collector(WaveInput& in) : input(in) {
        QObject::connect(&input, &WaveInput::bufferReady, [this] {
            Block b{};
            while (input.takeBuffer(b)) blocks.push_back(b);
        });
        QObject::connect(&input, &WaveInput::deviceLost, [this] { ++lost; });
    }
    WaveInput& input;
    std::vector<Block> blocks;
    int lost = 0;
};

TEST(DemoAdaptorInput, IsTheOnlyDeviceAndDeliversTheDemoSignalContiguously) {
    DemoAdaptorInput input;
    EXPECT_EQ(input.deviceNames(), QStringList{"Demo adaptor"});
    WaveFormat mono = WaveFormat::stereoPcm11025();
    mono.channels = 1;
    EXPECT_FALSE(input.open(0, mono));
    EXPECT_FALSE(input.open(1, WaveFormat::stereoPcm11025()));
    EXPECT_FALSE(input.isOpen());
    ASSERT_TRUE(input.open(0, WaveFormat::stereoPcm11025()));

    Collector c(input);
    input.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return c.blocks.size() >= 3; }, 10000));
    input.close();
    const std::size_t got = c.blocks.size();
    QTest::qWait(450);  // more than one buffer period: nothing arrives after close
    EXPECT_EQ(c.blocks.size(), got);

    SyntheticSignal reference(SyntheticSignal::demoAdaptor());
    Block expected{};
    for (std::size_t i = 0; i < 3; ++i) {
        reference.fill(expected, 4096);
        EXPECT_EQ(c.blocks[i], expected) << "buffer " << i;
    }
    EXPECT_EQ(c.lost, 0);
}

// A 16-bit WAV file of `frames` frames: left = frame number, right = -frame number (wrapping).
void writeWav(const QString& path, int frames, int rate = 11025, int channels = 2) {
    std::vector<std::int16_t> data(static_cast<std::size_t>(frames) * channels);
    for (std::size_t k = 0; k < data.size(); ++k) {
        const auto frame = static_cast<std::int16_t>(k / channels);
        data[k] = k % channels == 0 ? frame : static_cast<std::int16_t>(-frame);
    }
    ASSERT_TRUE(test::writeWav(path.toStdString(), data, channels, rate));
}

// The recording plays its whole blocks and loops; another recording renamed over it while it
// plays (a re-export from an audio editor) changes nothing: the open file keeps playing whole.
TEST(RecordingInput, PlaysTheOpenRecordingAndLoopsOverItsWholeBlocks) {
    QTemporaryDir dir;
    const QString path = dir.filePath("two blocks and a bit.wav");
    const QString other = dir.filePath("other.wav");
    writeWav(path, 2 * 4096 + 500);
    writeWav(other, 4096, 11025, 1);  // mono: it would not even open

    RecordingInput input(path.toStdString());
    EXPECT_EQ(input.deviceNames(), QStringList{"two blocks and a bit.wav"});
    ASSERT_TRUE(input.open(0, WaveFormat::stereoPcm11025()));
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QFile::rename(other, path));
    Collector c(input);
    input.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return c.blocks.size() >= 3; }, 10000));
    input.close();
    EXPECT_EQ(c.lost, 0);

    // Blocks 0, 1, then block 0 again: the 500 frames after the last whole block are not played.
    const int firstFrame[] = {0, 4096, 0};
    for (int i = 0; i < 3; ++i) {
        for (int k = 0; k < 4096; ++k) {
            ASSERT_EQ(c.blocks[i][2 * k], static_cast<std::int16_t>(firstFrame[i] + k));
            ASSERT_EQ(c.blocks[i][2 * k + 1], static_cast<std::int16_t>(-(firstFrame[i] + k)));
        }
    }
}

// A recording cut short on disk while the window plays it (a copy still in progress, another
// program rewriting it): the capture stops at the first block that cannot be read whole, with
// the stop message and the reader's reason, and measures nothing partial or stale after it.
TEST(RecordingInput, FileCutShortWhilePlayingStopsTheCaptureWithTheReason) {
    constexpr qint64 kHeaderBytes = 44;
    constexpr qint64 kFrameBytes = 4;
    // Cut inside block 1 (250 of its frames left), or inside block 0 (100 frames left).
    for (const int framesLeft : {4096 + 250, 100}) {
        QTemporaryDir dir;
        const QString path = dir.filePath("line.wav");
        writeWav(path, 3 * 4096);
        RecordingInput input(path.toStdString());
        MeasurementEngine engine;
        std::vector<std::int16_t> firstLeft;
        std::vector<std::pair<QString, QString>> errors;
        CaptureHost host;
        host.processBuffer = [&] {
            engine.ProcessBuffer();
            firstLeft.push_back(engine.captureBuffer[0]);
        };
        host.reportError = [&](const QString&, const QString& text, const QString& advice) {
            errors.emplace_back(text, advice);
        };
        CaptureCycle cycle(input, engine, host);
        ASSERT_TRUE(cycle.start(0));
        // The file was opened and checked; now it shrinks under the reader.
        ASSERT_TRUE(QFile::resize(path, kHeaderBytes + framesLeft * kFrameBytes));

        ASSERT_TRUE(QTest::qWaitFor([&] { return !errors.empty(); }, 10000));
        QTest::qWait(800);  // two more buffer periods: nothing else arrives
        EXPECT_FALSE(cycle.isCapturing());
        EXPECT_FALSE(input.isOpen());
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0].first, "Wave input device stopped!");
        EXPECT_EQ(errors[0].second,
                  "'" + path + "': reading stopped after " + QString::number(framesLeft) +
                      " of 12288 frames (the file is shorter than its header says). The readings "
                      "shown are those of the last buffer before the stop. Check the device or "
                      "the recording (or restart the audio server), then press START again.");
        // Only the whole block 0 was measured, when there was one.
        EXPECT_EQ(firstLeft,
                  framesLeft > 4096 ? std::vector<std::int16_t>{0} : std::vector<std::int16_t>{});
        EXPECT_EQ(engine.label2Colour, kLampBlack);
    }
}

}  // namespace
}  // namespace acw
