#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <span>

#include "capture/BufferAssembler.h"
#include "capture/WaveFormat.h"

namespace acw {

// Longest device name shown in the picker and the frame caption, in characters.
inline constexpr int kDeviceNameMaxChars = 31;

// Cuts `name` to at most 31 characters (Unicode code points; a surrogate pair is never split).
QString shortDeviceName(const QString& name);

// A source of captured stereo buffers: a sound card, the built-in demo adaptor or a recording.
//
// Contract:
// - deviceNames() is fixed for the life of the object: device i (id i) is entry i, ids 0..n-1,
//   names at most 31 characters.
// - Calls come in the order open() -> start() -> close(); close() may come at any time, also
//   without an open (it then does nothing), and more than once. After close() the object can be
//   opened again.
// - open(id, format) either succeeds (true: the device is held, nothing is captured yet) or fails
//   (false: nothing is held). The id -1 means the system's default input; any other id outside
//   0..n-1 fails, and so does a device that refuses `format`.
// - After start(), 4096-frame buffers are assembled from the stream; consecutive buffers are
//   contiguous, and a consumer that falls behind by more than a buffer gets the newest complete
//   one (older ones are dropped). bufferReady() is emitted when a complete buffer becomes
//   available; takeBuffer() copies it out.
// - deviceLost() is emitted at most once per run when the stream ends on its own (device
//   unplugged, audio server gone, stream error). The device stays held until close().
// - problem() says why the last open() failed or why the stream ended (before deviceLost() is
//   emitted), in a few words that name the device or file; it is empty when the source cannot
//   tell, and cleared by the next open().
// - Everything, signals included, happens on the thread that owns the object (the GUI thread);
//   no signal is emitted from inside open(), start(), takeBuffer(), readUnpaced() or close().
// - Sources that make their signal themselves (a recording, the demo adaptor) can also be read
//   unpaced, for headless measuring: after open() and instead of start(), each readUnpaced()
//   writes the next buffer at once. A sound card cannot be read so.
class WaveInput : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual QStringList deviceNames() const = 0;
    virtual bool open(int deviceId, const WaveFormat& format) = 0;
    virtual void start() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Copies the waiting buffer into `out` (8192 values, frame k = values 2k and 2k + 1) and
    // returns true; returns false and leaves `out` alone when no complete buffer waits.
    virtual bool takeBuffer(std::span<std::int16_t, 8192> out) = 0;
    virtual bool hasBuffer() const = 0;
    // Complete buffers dropped since open() because the consumer fell behind.
    virtual std::uint64_t droppedBuffers() const { return 0; }

    // Unpaced reading: writes the next buffer into `out` and returns true; returns false at the
    // end of the signal (problem() is then empty) or when reading failed (problem() says why),
    // and always for a source that cannot be read unpaced or is not open.
    virtual bool readUnpaced(std::span<std::int16_t, 8192> out) {
        (void)out;
        return false;
    }

    // Why the last open failed or the stream ended, without a closing full stop; may be empty.
    const QString& problem() const { return problem_; }

signals:
    void bufferReady();
    void deviceLost();

protected:
    void setProblem(QString problem) { problem_ = std::move(problem); }

private:
    QString problem_;
};

// Base of the real sources: holds the assembler, so a backend only feeds captured bytes.
class AssemblingWaveInput : public WaveInput {
    Q_OBJECT
public:
    using WaveInput::WaveInput;

    bool takeBuffer(std::span<std::int16_t, 8192> out) override;
    bool hasBuffer() const override;
    std::uint64_t droppedBuffers() const override { return assembler_.droppedBuffers(); }

protected:
    // Appends captured bytes; emits bufferReady() when a complete buffer becomes available.
    void feed(const void* data, std::size_t bytes);
    // Forgets captured bytes (call on open and close).
    void resetStream() { assembler_.clear(); }
    // Records why the stream ended (when `why` is not empty) and emits deviceLost(), once per
    // run.
    void reportLost(const QString& why = QString());
    void armLossReport() { lostReported_ = false; }

private:
    BufferAssembler assembler_;
    bool lostReported_ = false;
};

}  // namespace acw
