#include "capture/PacedInput.h"

#include <QFileInfo>
#include <algorithm>

#include "capture/RecordingReader.h"

namespace acw {

namespace {

constexpr std::uint64_t kFramesPerBuffer = 4096;
constexpr std::uint64_t kFramesPerSecond = 11025;
// Beyond this many buffers behind real time the signal skips ahead instead of catching up.
constexpr std::uint64_t kMaxCatchUpBuffers = 2;

// Microseconds from start() until buffer n (counted from 1) is complete, rounded up.
std::uint64_t dueMicroseconds(std::uint64_t n) {
    const std::uint64_t num = n * kFramesPerBuffer * 1000000u;
    return (num + kFramesPerSecond - 1) / kFramesPerSecond;
}

// Buffers complete after `us` microseconds.
std::uint64_t buffersDue(std::uint64_t us) {
    return us * kFramesPerSecond / (kFramesPerBuffer * 1000000u);
}

}  // namespace

PacedInput::PacedInput(const QString& deviceName, QObject* parent)
    : AssemblingWaveInput(parent), deviceName_(shortDeviceName(deviceName)) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &PacedInput::tick);
}

PacedInput::~PacedInput() = default;

bool PacedInput::open(int deviceId, const WaveFormat& format) {
    close();
    setProblem(QString());
    if (deviceId != 0 && deviceId != -1) return false;
    if (format != WaveFormat::stereoPcm11025()) return false;
    if (!openSource()) return false;
    open_ = true;
    resetStream();
    armLossReport();
    return true;
}

void PacedInput::start() {
    if (!open_ || running_) return;
    running_ = true;
    produced_ = 0;
    clock_.start();
    scheduleNext();
}

void PacedInput::close() {
    timer_.stop();
    running_ = false;
    resetStream();
    if (!open_) return;
    open_ = false;
    closeSource();
}

bool PacedInput::readUnpaced(std::span<std::int16_t, 8192> out) {
    if (!open_ || running_) return false;
    if (produce(out)) return true;
    setProblem(endReason());
    return false;
}

void PacedInput::tick() {
    if (!running_) return;
    const auto nowUs = static_cast<std::uint64_t>(clock_.nsecsElapsed() / 1000);
    const std::uint64_t due = buffersDue(nowUs);
    if (due > produced_ + kMaxCatchUpBuffers) {
        const std::uint64_t missed = due - produced_ - 1;
        if (!skip(missed)) {
            running_ = false;
            reportLost(endReason());
            return;
        }
        produced_ += missed;
    }
    while (produced_ < due) {
        if (!produce(block_)) {
            running_ = false;
            reportLost(endReason());
            return;
        }
        ++produced_;
        for (std::size_t i = 0; i < block_.size(); ++i) {
            const auto v = static_cast<std::uint16_t>(block_[i]);
            bytes_[2 * i] = static_cast<std::uint8_t>(v & 0xff);
            bytes_[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
        }
        feed(bytes_.data(), bytes_.size());
        if (!running_) return;  // a handler of bufferReady closed the device
    }
    scheduleNext();
}

void PacedInput::scheduleNext() {
    const auto nowUs = static_cast<std::uint64_t>(clock_.nsecsElapsed() / 1000);
    const std::uint64_t nextUs = dueMicroseconds(produced_ + 1);
    const std::uint64_t waitUs = nextUs > nowUs ? nextUs - nowUs : 0;
    timer_.start(static_cast<int>((waitUs + 999) / 1000));
}

DemoAdaptorInput::DemoAdaptorInput(QObject* parent)
    : DemoAdaptorInput(SyntheticSignal::demoAdaptor(), parent) {}

DemoAdaptorInput::DemoAdaptorInput(const SyntheticSignal::Params& params, QObject* parent)
    : PacedInput(QStringLiteral("Demo adaptor"), parent), params_(params) {}

bool DemoAdaptorInput::openSource() {
    signal_ = std::make_unique<SyntheticSignal>(params_);
    return true;
}

bool DemoAdaptorInput::produce(std::span<std::int16_t, 8192> block) {
    signal_->fill(block, static_cast<int>(kFramesPerBuffer));
    return true;
}

bool DemoAdaptorInput::skip(std::uint64_t buffers) {
    // The demo signal is continuous in its own frame count; a skipped stretch only moves its
    // phase, which nobody can tell from a live line.
    (void)buffers;
    return true;
}

RecordingInput::RecordingInput(const std::string& path, Playback playback,
                               std::optional<ChannelChoice> channels, QObject* parent)
    : PacedInput(QFileInfo(QString::fromStdString(path)).fileName(), parent),
      path_(path),
      playback_(playback),
      channels_(channels) {}

RecordingInput::~RecordingInput() = default;

bool RecordingInput::openSource() {
    reader_ = std::make_unique<RecordingReader>();
    openError_ = reader_->open(path_, channels_);
    if (!openError_.empty()) {
        reader_.reset();
        setProblem(QString::fromStdString(openError_));
        return false;
    }
    return true;
}

QString RecordingInput::endReason() const {
    if (!reader_) return {};
    return QString::fromStdString(reader_->error());
}

void RecordingInput::closeSource() { reader_.reset(); }

std::int64_t RecordingInput::buffersInRecording() const { return reader_ ? reader_->blocks() : 0; }

bool RecordingInput::nextBlock(std::int16_t* block) {
    if (!reader_) return false;
    if (reader_->readBlock(block)) return true;
    if (playback_ == Playback::Once) return false;
    if (!reader_->error().empty() || !reader_->rewind()) return false;
    return reader_->readBlock(block);
}

bool RecordingInput::produce(std::span<std::int16_t, 8192> block) {
    return nextBlock(block.data());
}

bool RecordingInput::skip(std::uint64_t buffers) {
    if (!reader_ || reader_->blocks() <= 0) return false;
    const auto blocks = static_cast<std::uint64_t>(reader_->blocks());
    std::uint64_t n = buffers % blocks;
    std::array<std::int16_t, 8192> scratch{};
    while (n-- > 0) {
        if (!nextBlock(scratch.data())) return false;
    }
    return true;
}

}  // namespace acw
