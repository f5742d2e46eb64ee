#pragma once

#include <cstdint>

namespace acw {

// The capture buffer shared by the capture cycle, the measurement engine and the scope.
// Each cycle the device writes values 0..8191 of `captureBuffer`: frame k is value 2k (left,
// line voltage) and value 2k + 1 (right, line current), signed 16-bit PCM. Values from 8192
// on are never written and stay 0.
inline constexpr int kCaptureBufferValues = 32801;  // index 0..32800
inline constexpr int kFramesPerBuffer = 4096;       // frames the device delivers per cycle
inline constexpr int kRecordedValues = 2 * kFramesPerBuffer;  // 8192 values, 16384 bytes
inline constexpr int kChannels = 2;
inline constexpr int kSampleRateHz = 11025;
// Number of sample values the engine and the scope take as one buffer (`captureLength`).
inline constexpr int kCaptureLength = 16384;
// Last frame the engine reads: (captureLength - 4) / 2.
inline constexpr int kLastFrame = (kCaptureLength - 4) / 2;  // 8190

}  // namespace acw
