#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "ReferenceFFT.h"
#include "measure/AudioFFT.h"

namespace acw {
namespace {

constexpr int kN = AudioFFT::N;
constexpr int kArray = 32801;  // the engine's array length

struct Spectrum {
    std::vector<double> re = std::vector<double>(kArray, 0.0);
    std::vector<float> im = std::vector<float>(kN, 0.0f);
};

class FFTTest : public ::testing::Test {
protected:
    void SetUp() override {
        fft = std::make_unique<AudioFFT>();
        fft->BuildBitReverseTable();
    }

    Spectrum run(const std::vector<std::int16_t>& input) {
        Spectrum s;
        EXPECT_TRUE(fft->ComputeFFT(input, s.re));
        std::memcpy(s.im.data(), fft->imaginaryParts.data(), kN * sizeof(float));
        return s;
    }

    std::unique_ptr<AudioFFT> fft;
};

std::vector<std::int16_t> roundedWave(double amplitude, int bin, bool useSine) {
    std::vector<std::int16_t> x(kArray, 0);
    for (int k = 0; k < kN; ++k) {
        const double phase = 2.0 * std::numbers::pi * ((static_cast<long>(bin) * k) % kN) / kN;
        x[static_cast<std::size_t>(k)] = static_cast<std::int16_t>(
            std::nearbyint(amplitude * (useSine ? std::sin(phase) : std::cos(phase))));
    }
    return x;
}

// The real and imaginary parts of X[n] = sum x[k] e^(+2 pi i n k / N), summed directly.
void directBin(const std::vector<std::int16_t>& x, int n, double& re, double& im) {
    re = 0.0;
    im = 0.0;
    for (int k = 0; k < kN; ++k) {
        if (x[static_cast<std::size_t>(k)] == 0) continue;
        const double phase = 2.0 * std::numbers::pi * ((static_cast<long>(n) * k) % kN) / kN;
        re += x[static_cast<std::size_t>(k)] * std::cos(phase);
        im += x[static_cast<std::size_t>(k)] * std::sin(phase);
    }
}

TEST(ReverseBits, ReversesTheLowBits) {
    EXPECT_EQ(AudioFFT::ReverseBits(0, 14), 0);
    EXPECT_EQ(AudioFFT::ReverseBits(1, 14), 8192);
    EXPECT_EQ(AudioFFT::ReverseBits(3, 14), 12288);
    EXPECT_EQ(AudioFFT::ReverseBits(16383, 14), 16383);
    EXPECT_EQ(AudioFFT::ReverseBits(0b10110, 5), 0b01101);
    EXPECT_EQ(AudioFFT::ReverseBits(6, 0), 0);
}

TEST_F(FFTTest, ZerosAndImpulseAtOrigin) {
    std::vector<std::int16_t> x(kArray, 0);
    Spectrum zero = run(x);
    for (int n = 0; n < kN; ++n) {
        ASSERT_EQ(zero.re[static_cast<std::size_t>(n)], 0.0);
        ASSERT_EQ(zero.im[static_cast<std::size_t>(n)], 0.0f);
    }
    x[0] = 5;
    Spectrum impulse = run(x);
    for (int n = 0; n < kN; ++n) {
        ASSERT_EQ(impulse.re[static_cast<std::size_t>(n)], 5.0) << n;
        ASSERT_EQ(impulse.im[static_cast<std::size_t>(n)], 0.0f) << n;
    }
}

TEST_F(FFTTest, CosineAtBin89MatchesTheDirectSum) {
    const auto x = roundedWave(1000.0, 89, false);
    Spectrum s = run(x);
    EXPECT_NEAR(s.re[89], 8192000.0, 10.0);
    EXPECT_NEAR(s.re[16295], 8192000.0, 10.0);
    // Every real part lies within 10 of the directly summed one; checking a spread of bins and
    // the neighbourhoods of both peaks keeps the direct sums affordable.
    for (int n = 0; n < kN; ++n) {
        const bool nearPeak = std::abs(n - 89) < 40 || std::abs(n - 16295) < 40;
        if (!nearPeak && n % 61 != 0) continue;
        double re = 0.0, im = 0.0;
        directBin(x, n, re, im);
        ASSERT_NEAR(s.re[static_cast<std::size_t>(n)], re, 10.0) << "bin " << n;
    }
}

TEST_F(FFTTest, SineAtBin89HasAPositiveExponent) {
    const auto x = roundedWave(1000.0, 89, true);
    Spectrum s = run(x);
    EXPECT_NEAR(s.im[89], 8192000.0, 10.0);
    EXPECT_NEAR(s.im[16295], -8192000.0, 10.0);
    EXPECT_NEAR(s.re[89], 0.0, 10.0);
    double re = 0.0, im = 0.0;
    directBin(x, 1234, re, im);
    EXPECT_NEAR(s.im[1234], im, 10.0);
}

// Inputs that exercise every rounding path: random, full-scale, sines, impulses, zeros.
std::vector<std::vector<std::int16_t>> variedInputs() {
    std::vector<std::vector<std::int16_t>> inputs;
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> full(-32768, 32767);
    std::uniform_int_distribution<int> small(-300, 300);
    for (int r = 0; r < 3; ++r) {
        std::vector<std::int16_t> x(kArray, 0);
        for (int k = 0; k < kN; ++k)
            x[static_cast<std::size_t>(k)] =
                static_cast<std::int16_t>(r == 1 ? small(rng) : full(rng));
        inputs.push_back(x);
    }
    std::vector<std::int16_t> extremes(kArray, 0);
    for (int k = 0; k < kN; ++k) extremes[static_cast<std::size_t>(k)] = k % 3 ? -32768 : 32767;
    inputs.push_back(extremes);
    inputs.push_back(std::vector<std::int16_t>(kArray, -32768));
    inputs.push_back(roundedWave(32767.0, 1, false));
    inputs.push_back(roundedWave(20000.0, 89, true));
    inputs.push_back(roundedWave(12345.0, 5000, false));
    // A windowed 60 Hz burst in the first quarter, as the engine feeds it.
    std::vector<std::int16_t> burst(kArray, 0);
    for (int k = 1; k <= 8160; ++k)
        burst[static_cast<std::size_t>(k)] = static_cast<std::int16_t>(
            std::nearbyint(30000.0 * std::sin(2.0 * std::numbers::pi * 60.0 * k / 11025.0) *
                           (0.54 - 0.54 * std::cos(6.28318 * 2 * k / 16384.0)) / 1.08));
    inputs.push_back(burst);
    for (int pos : {1, 7, 8191, 16383}) {
        std::vector<std::int16_t> x(kArray, 0);
        x[static_cast<std::size_t>(pos)] = -32768;
        inputs.push_back(x);
    }
    inputs.push_back(std::vector<std::int16_t>(kArray, 0));
    return inputs;
}

TEST_F(FFTTest, BitIdenticalToTheLiteralTransform) {
    std::vector<double> refRe(kN);
    std::vector<float> refIm(kN);
    int index = 0;
    for (const auto& x : variedInputs()) {
        Spectrum s = run(x);
        testing::referenceFFT(x, refRe.data(), refIm.data());
        EXPECT_EQ(std::memcmp(s.re.data(), refRe.data(), kN * sizeof(double)), 0)
            << "real parts differ, input " << index;
        EXPECT_EQ(std::memcmp(s.im.data(), refIm.data(), kN * sizeof(float)), 0)
            << "imaginary parts differ, input " << index;
        ++index;
    }
}

TEST_F(FFTTest, TouchesOnlyTheFirst16384Elements) {
    std::vector<std::int16_t> x(kArray, 0);
    x[3] = 100;
    Spectrum clean = run(x);
    for (int k = kN; k < kArray; ++k) x[static_cast<std::size_t>(k)] = 32767;
    std::vector<double> out(kArray, -7.5);
    ASSERT_TRUE(fft->ComputeFFT(x, out));
    EXPECT_EQ(std::memcmp(out.data(), clean.re.data(), kN * sizeof(double)), 0);
    for (int k = kN; k < kArray; ++k) ASSERT_EQ(out[static_cast<std::size_t>(k)], -7.5);
    // Arrays too short are refused and left alone.
    std::vector<double> shortOut(kN - 1, -1.0);
    EXPECT_FALSE(fft->ComputeFFT(x, shortOut));
    EXPECT_EQ(shortOut[0], -1.0);
    EXPECT_FALSE(fft->ComputeFFT(std::span(x).first(kN - 1), out));
    EXPECT_EQ(out[kN - 1], clean.re[kN - 1]);
}

}  // namespace
}  // namespace acw
