// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace acw {

class SoundFileSink;
template <typename T>
class WriterQueue;

// Records the measured input, buffer by buffer, to a WAV or FLAC file (16-bit stereo, 11025
// frames/s; left = voltage, right = current) from a writer thread of its own, so that the
// measuring thread never waits for the disk. Measuring the finished file gives back the same
// buffers, bit for bit, in the same order.
//
// The queue holds about two minutes of input by default, so a disk that stalls for a minute
// loses nothing. A failing write (a full disk, a file too large, a removed folder), a queue
// overflow, or a WAV file reaching its 4 GiB limit (about 27 hours) stops the recording for
// good: the file is completed with every frame written before and stays a valid recording
// (for FLAC, too: a frame written in part is cut off and the header says how many frames the
// file holds), and takeFailure() gives the reason.
//
// Threads and order: open(), then append() for each measured buffer, then close(); open() may
// follow close() for another file. open() and close() must not overlap any other call on the
// object. Between them, append() runs on one thread (the measuring one) while isOpen(),
// framesWritten() and takeFailure() may be called from any thread.
class InputRecorder {
public:
    static constexpr int kBufferFrames = 4096;
    static constexpr int kBufferValues = 2 * kBufferFrames;
    // 324 buffers of 4096 frames at 11025 frames/s: 120 s of input, 5.3 MB.
    static constexpr std::size_t kDefaultQueueBuffers = 324;

    // `queueBuffers` is the room for buffers waiting for the disk, allocated by the first open().
    explicit InputRecorder(std::size_t queueBuffers = kDefaultQueueBuffers);
    // Closes a recording that is still open (see close()).
    ~InputRecorder();
    InputRecorder(const InputRecorder&) = delete;
    InputRecorder& operator=(const InputRecorder&) = delete;

    // Creates `path`, replacing an existing file, as WAV or FLAC by its extension (.wav, .flac,
    // in any letter case). Returns "" on success, or a one-line message naming the file (another
    // or no extension, missing folder, no permission, a folder or other non-regular file, the
    // header cannot be written); then nothing runs. Closes a recording that is still open
    // first and discards a failure that was not taken.
    std::string open(const std::string& path);

    // Queues one measured buffer (4096 frames, interleaved left/right): copies it and returns at
    // once, never waiting for the disk and never allocating. Ignored when no recording is open
    // or the recording has stopped; a buffer that finds the queue full stops the recording (an
    // overflow) after the buffers queued before it are written.
    void append(std::span<const std::int16_t, kBufferValues> buffer);

    // Writes every queued buffer, completes the file (its header then gives the final length)
    // and ends the writer thread. Blocks until then (as long as the disk takes). A failure of
    // these last writes is left for takeFailure(). Does nothing when closed.
    void close();

    // True from a successful open() until close(), or until the recording stopped early (the
    // reason is then ready for takeFailure(); after an overflow, once the buffers queued before
    // it are written).
    bool isOpen() const;
    const std::string& path() const { return path_; }

    // Frames in the file so far; after close() exactly the frames the file holds. A FLAC file
    // receives its frames in blocks of 4096, so the count may lag the queue by one buffer.
    std::uint64_t framesWritten() const { return framesWritten_.load(std::memory_order_relaxed); }

    // Why the recording stopped early, e.g. "Recording to '/data/in.flac' stopped after 40960
    // frames (3.7 s): No space left on device"; given once, then empty. Stays available after
    // close().
    std::optional<std::string> takeFailure();

private:
    std::size_t queueBuffers_;
    std::string path_;
    std::atomic<std::uint64_t> framesWritten_{0};
    std::unique_ptr<SoundFileSink> sink_;
    std::unique_ptr<WriterQueue<std::int16_t>> queue_;
};

}  // namespace acw
