#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "capture/RecordingReader.h"
#include "capture/WaveInput.h"
#include "measure/SyntheticSignal.h"

namespace acw {

// A single-device source that produces its signal itself, delivered at the pace of a sound card:
// buffer n becomes available n x 4096 / 11025 s after start(), measured on a monotonic clock
// from start(), so the pace does not drift however late a timer fires. When the consumer or the
// event loop was held up by more than two buffers, the signal skips ahead to real time instead of
// producing the missed buffers at once.
//
// The only device is id 0 (the id -1, the default input, opens it too). open() accepts only the
// instrument's format (stereo, 16 bits, 11025 Hz).
class PacedInput : public AssemblingWaveInput {
    Q_OBJECT
public:
    PacedInput(const QString& deviceName, QObject* parent);
    ~PacedInput() override;

    QStringList deviceNames() const override { return {deviceName_}; }
    bool open(int deviceId, const WaveFormat& format) override;
    void start() override;
    void close() override;
    bool isOpen() const override { return open_; }
    bool readUnpaced(std::span<std::int16_t, 8192> out) override;

    // Buffers produced since start().
    std::uint64_t buffersProduced() const { return produced_; }

protected:
    // Prepares the signal for a new run; false makes open() fail.
    virtual bool openSource() = 0;
    virtual void closeSource() {}
    // Writes the next 4096 frames (8192 values, frame k = values 2k and 2k + 1). Returns false
    // when the signal has ended for good (the device is then reported lost).
    virtual bool produce(std::span<std::int16_t, 8192> block) = 0;
    // Advances the signal by `buffers` buffers without delivering them.
    virtual bool skip(std::uint64_t buffers) = 0;
    // Why produce() or skip() failed, for problem(); empty when unknown.
    virtual QString endReason() const { return {}; }

private:
    void tick();
    void scheduleNext();

    QString deviceName_;
    QTimer timer_;
    QElapsedTimer clock_;
    bool open_ = false;
    bool running_ = false;
    std::uint64_t produced_ = 0;
    std::array<std::int16_t, 8192> block_{};
    std::array<std::uint8_t, 16384> bytes_{};
};

// The built-in demo adaptor (a 120 V, 5 A, 60 Hz line with an inductive load), listed as the
// device "Demo adaptor". Each run starts the signal afresh.
class DemoAdaptorInput : public PacedInput {
    Q_OBJECT
public:
    explicit DemoAdaptorInput(QObject* parent = nullptr);
    explicit DemoAdaptorInput(const SyntheticSignal::Params& params, QObject* parent = nullptr);

protected:
    bool openSource() override;
    bool produce(std::span<std::int16_t, 8192> block) override;
    bool skip(std::uint64_t buffers) override;

private:
    SyntheticSignal::Params params_;
    std::unique_ptr<SyntheticSignal> signal_;
};

// A recording of the adaptor played as a sound card: its whole 4096-frame blocks in order, over
// and over again (Playback::Looping, the window) or once (Playback::Once, headless measuring: the
// end of the recording ends the signal). The device name is the file's name (cut to 31
// characters). open() fails when the file is
// missing or fails the recording checks (2 channels, 11025 Hz, at least 4096 frames); the reason
// is then in openError() and problem().
//
// The file is read as it is while playing. A file that is cut short under the reader (a copy
// still in progress, a full disk, another program rewriting it) ends the stream at the first
// block that cannot be read whole: deviceLost() is emitted with the reader's message (naming the
// file and how far it got) in problem(), and no further block, nor a stale or partial one, is
// delivered. A file replaced by renaming another over it keeps playing the old content, which
// the open handle still holds.
class RecordingInput : public PacedInput {
    Q_OBJECT
public:
    enum class Playback { Looping, Once };

    // `channels` names the voltage and current channels of a recording with more than two.
    explicit RecordingInput(const std::string& path, Playback playback = Playback::Looping,
                            std::optional<ChannelChoice> channels = std::nullopt,
                            QObject* parent = nullptr);
    ~RecordingInput() override;

    const std::string& openError() const { return openError_; }
    // Whole buffers in the recording (0 while it is not open).
    std::int64_t buffersInRecording() const;

protected:
    bool openSource() override;
    void closeSource() override;
    bool produce(std::span<std::int16_t, 8192> block) override;
    bool skip(std::uint64_t buffers) override;
    QString endReason() const override;

private:
    bool nextBlock(std::int16_t* block);

    std::string path_;
    Playback playback_;
    std::optional<ChannelChoice> channels_;
    std::unique_ptr<RecordingReader> reader_;
    std::string openError_;
};

}  // namespace acw
