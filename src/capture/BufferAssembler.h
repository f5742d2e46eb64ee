#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace acw {

// Cuts a stream of captured bytes (interleaved little-endian 16-bit stereo frames, delivered in
// chunks of any size, even odd byte counts) into buffers of 4096 frames.
//
// Consecutive buffers are contiguous in the stream. At most one complete buffer is kept: when a
// second one completes before the first was taken, the older is dropped (counted by
// droppedBuffers()), so a consumer that falls behind gets the newest complete buffer instead of a
// growing backlog. Memory is fixed after construction. Plain C++, single-threaded.
class BufferAssembler {
public:
    static constexpr std::size_t kBufferBytes = 16384;  // 4096 frames x 2 channels x 2 bytes

    BufferAssembler();

    // Appends captured bytes. Returns true when a complete buffer is waiting afterwards.
    bool append(const void* data, std::size_t bytes);
    // True when a complete buffer is waiting.
    bool hasBuffer() const { return size_ >= kBufferBytes; }
    // Copies the waiting buffer as 8192 sample values (frame k = values 2k, 2k + 1) and removes
    // it; the bytes already captured for the following buffer stay. False (and `out` untouched)
    // when no complete buffer is waiting.
    bool take(std::span<std::int16_t, 8192> out);
    // Forgets everything captured so far (a new capture run begins).
    void clear();

    std::uint64_t droppedBuffers() const { return dropped_; }
    std::size_t pendingBytes() const { return size_; }

private:
    std::vector<std::uint8_t> bytes_;  // 2 buffers: the complete one and the next, partial one
    std::size_t size_ = 0;
    std::uint64_t dropped_ = 0;
};

}  // namespace acw
