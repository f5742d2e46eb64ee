// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "measure/AudioFFT.h"

using acw::AudioFFT;
constexpr int kN = AudioFFT::N;
namespace acw::testing {
void referenceFFT(std::span<const std::int16_t> input, double* re, float* im);  // ReferenceFFT.cpp
}

// Random, full-scale, sine and weighted inputs and impulses, compared bit for bit with the
// transform written out literally (which reverses bits the same way, so they are checked on
// their own). Only the first 16384 elements are read and written; shorter arrays are refused.
TEST(AudioFFT, BitIdenticalToTheLiteralTransform) {
    EXPECT_EQ(std::vector({AudioFFT::ReverseBits(1, 14), AudioFFT::ReverseBits(3, 14),
                           AudioFFT::ReverseBits(16383, 14), AudioFFT::ReverseBits(0b10110, 5)}),
              std::vector({8192, 12288, 16383, 0b01101}));
    std::mt19937 rng(12345);
    const double pi = std::numbers::pi;
    const std::function<double(int)> inputs[] = {
        [&](int) { return std::uniform_int_distribution(-32768, 32767)(rng); },
        [&](int) { return std::uniform_int_distribution(-300, 300)(rng); },
        [](int k) { return k % 3 ? -32768 : 32767; },
        [&](int k) { return 32767 * std::cos(2 * pi * k / kN); },
        [&](int k) { return 20000 * std::sin(2 * pi * 89 * k / kN); },
        [&](int k) {  // a 60 Hz buffer weighted as the engine weighs it
            const double w = 0.54 - 0.54 * std::cos(6.28318 * 2 * k / 16384.0);
            return k > 8160 ? 0 : 27000 * std::sin(2 * pi * 60 * k / 11025) * w;
        },
        [](int k) { return k == 0 || k == 7 ? -32768 : 0; },
        [](int k) { return k == 16383 ? -32768 : 0; }};
    auto fft = std::make_unique<AudioFFT>();
    fft->BuildBitReverseTable();
    std::vector<std::int16_t> x(kN + 100, 32767);
    std::vector<double> re(kN + 100, -7.5), refRe(kN);
    std::vector<float> refIm(kN);
    for (const auto& input : inputs) {
        for (int k = 0; k < kN; ++k) x[k] = static_cast<std::int16_t>(std::nearbyint(input(k)));
        ASSERT_TRUE(fft->ComputeFFT(x, re));
        acw::testing::referenceFFT(x, refRe.data(), refIm.data());
        EXPECT_EQ(std::memcmp(re.data(), refRe.data(), kN * sizeof(double)), 0);
        EXPECT_EQ(std::memcmp(fft->imaginaryParts.data(), refIm.data(), kN * sizeof(float)), 0);
        EXPECT_EQ(re[kN], -7.5);
    }
    std::vector<double> shortOut(kN - 1, -1.0);
    EXPECT_FALSE(fft->ComputeFFT(x, shortOut) || fft->ComputeFFT(std::span(x).first(kN - 1), re));
    EXPECT_EQ(shortOut[0], -1.0);
}
