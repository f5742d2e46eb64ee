#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace acw {

// The fixed 16384-point transform behind the frequency readings: radix-2 decimation in time on
// bit-reversed input, twiddles from the trigonometric recurrence, positive exponent, no
// normalisation. Working values are single precision; every product and sum is evaluated in
// double precision and rounded where it is stored.
class AudioFFT {
public:
    static constexpr int N = 16384;
    static constexpr int kBits = 14;

    // Index with its low `bits` bits reversed (for 0 <= index < 2^bits).
    static std::int32_t ReverseBits(std::int32_t index, std::uint8_t bits);

    // Fills bitReverseTable and the per-stage twiddle tables; must run once before the first
    // ComputeFFT.
    void BuildBitReverseTable();

    // Reads input[0..16383], writes output[0..16383] = Re X[n] and imaginaryParts[n] = Im X[n],
    // X[n] = sum_k x[k] e^(+2 pi i n k / 16384). Elements from 16384 on are neither read nor
    // written. Returns false, touching nothing, when either span is shorter than 16384. All
    // working memory is in the object: different objects may transform on different threads.
    bool ComputeFFT(std::span<const std::int16_t> input, std::span<double> output);

    // Vector instruction sets the transform has code for. Every one gives bit-identical results;
    // they differ in speed only.
    enum class SimdLevel { Baseline, Avx2, Avx512 };
    // The widest level this processor runs (Baseline in a build with ACW_MEASURE_BASELINE_ONLY).
    static SimdLevel widestSimdLevel();
    // The widest level ComputeFFT may use; lowering it lets tests check the narrower code.
    SimdLevel simdLevel = SimdLevel::Avx512;

    std::array<std::int32_t, N> bitReverseTable{};
    std::array<float, N> imaginaryParts{};

private:
    // The twiddle recurrence restarts at 1 in every block of a stage, so a stage's twiddles are
    // the same for all its blocks and all calls: stage `half` uses entries half..2*half-1, the
    // recurrence's float values held as doubles.
    std::array<double, N> twiddleRe_{};
    std::array<double, N> twiddleIm_{};
};

}  // namespace acw
