#pragma once

#include <cstdint>

namespace acw {

// The capture format that START asks of the device: the fields of a PCM wave-format record.
// The instrument always captures stereo (left = line voltage, right = line current), signed
// 16-bit, 11025 frames per second.
struct WaveFormat {
    std::uint16_t formatTag = 0;       // 1 = PCM
    std::uint16_t channels = 0;        // 2
    std::uint32_t samplesPerSec = 0;   // 11025
    std::uint32_t avgBytesPerSec = 0;  // blockAlign * samplesPerSec = 44100
    std::uint16_t blockAlign = 0;      // channels * bitsPerSample / 8 = 4
    std::uint16_t bitsPerSample = 0;   // 16
    std::uint16_t extraSize = 0;       // 0

    // The record as START fills it.
    static WaveFormat stereoPcm11025();

    bool operator==(const WaveFormat&) const = default;
};

}  // namespace acw
