#include "capture/BufferAssembler.h"

#include <algorithm>
#include <cstring>

namespace acw {

BufferAssembler::BufferAssembler() : bytes_(2 * kBufferBytes) {}

bool BufferAssembler::append(const void* data, std::size_t bytes) {
    const auto* src = static_cast<const std::uint8_t*>(data);
    while (bytes > 0) {
        if (size_ == bytes_.size()) {
            // Two complete buffers: the consumer fell behind. Keep the newer one.
            std::memmove(bytes_.data(), bytes_.data() + kBufferBytes, kBufferBytes);
            size_ = kBufferBytes;
            ++dropped_;
        }
        const std::size_t n = std::min(bytes, bytes_.size() - size_);
        std::memcpy(bytes_.data() + size_, src, n);
        size_ += n;
        src += n;
        bytes -= n;
    }
    return hasBuffer();
}

bool BufferAssembler::take(std::span<std::int16_t, 8192> out) {
    if (!hasBuffer()) return false;
    const std::uint8_t* p = bytes_.data();
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto lo = static_cast<std::uint16_t>(p[2 * i]);
        const auto hi = static_cast<std::uint16_t>(p[2 * i + 1]);
        out[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | (hi << 8)));
    }
    std::memmove(bytes_.data(), bytes_.data() + kBufferBytes, size_ - kBufferBytes);
    size_ -= kBufferBytes;
    return true;
}

void BufferAssembler::clear() { size_ = 0; }

}  // namespace acw
