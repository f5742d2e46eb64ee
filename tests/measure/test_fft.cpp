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
using Samples = std::vector<std::int16_t>;

class FFTTest : public ::testing::Test {
protected:
    void SetUp() override {
        fft = std::make_unique<AudioFFT>();
        fft->BuildBitReverseTable();
    }
    // Transforms `x`; the real parts land in `re`, the imaginary parts stay in fft.
    void run(const Samples& x) { ASSERT_TRUE(fft->ComputeFFT(x, re)); }
    float im(int n) const { return fft->imaginaryParts[static_cast<std::size_t>(n)]; }

    std::unique_ptr<AudioFFT> fft;
    std::vector<double> re = std::vector<double>(kArray, 0.0);
};

// cos or sin of 2 pi m / N for m = 0..N-1.
std::vector<double> unitWave(bool useSine) {
    std::vector<double> w(kN);
    for (int m = 0; m < kN; ++m) {
        const double phase = 2.0 * std::numbers::pi * m / kN;
        w[m] = useSine ? std::sin(phase) : std::cos(phase);
    }
    return w;
}

Samples roundedWave(double amplitude, int bin, bool useSine) {
    const std::vector<double> w = unitWave(useSine);
    Samples x(kArray, 0);
    for (int k = 0; k < kN; ++k)
        x[k] = static_cast<std::int16_t>(std::nearbyint(amplitude * w[(bin * k) % kN]));
    return x;
}

TEST(ReverseBits, ReversesTheLowBits) {
    for (const auto& [index, bits, reversed] : std::vector<std::array<int, 3>>{
             {0, 14, 0}, {1, 14, 8192}, {3, 14, 12288}, {16383, 14, 16383}, {0b10110, 5, 0b01101}})
        EXPECT_EQ(AudioFFT::ReverseBits(index, static_cast<std::uint8_t>(bits)), reversed) << index;
}

// A cosine and a sine of 1000 counts at bin 89: the peaks hold N/2 * 1000 in the real or
// imaginary part (positive exponent: +sine at bin 89, -sine at its mirror), and the real parts
// of the cosine and the imaginary parts of the sine agree with the direct sum
// X[n] = sum x[k] e^(+2 pi i n k / N).
TEST_F(FFTTest, Bin89CosineAndSineMatchTheDirectSum) {
    for (const bool useSine : {false, true}) {
        SCOPED_TRACE(useSine ? "sine" : "cosine");
        const Samples x = roundedWave(1000.0, 89, useSine);
        const std::vector<double> w = unitWave(useSine);
        run(x);
        // The component under test at both peaks, and the other one at bin 89.
        auto part = [&](int n) { return useSine ? double{im(n)} : re[n]; };
        EXPECT_NEAR(part(89), 8192000.0, 10.0);
        EXPECT_NEAR(part(16295), useSine ? -8192000.0 : 8192000.0, 10.0);
        EXPECT_NEAR(useSine ? re[89] : double{im(89)}, 0.0, 10.0);
        for (int n = 0; n < kN; ++n) {
            if (std::abs(n - 89) >= 40 && std::abs(n - 16295) >= 40 && n % 97 != 0) continue;
            double sum = 0.0;
            for (int k = 0; k < kN; ++k) sum += x[k] * w[(n * k) % kN];
            ASSERT_NEAR(part(n), sum, 10.0) << "bin " << n;
        }
    }
}

// Inputs that exercise every rounding path: random, full-scale, sines, impulses.
std::vector<Samples> variedInputs() {
    std::vector<Samples> inputs;
    std::mt19937 rng(12345);
    for (const int range : {32768, 300}) {
        std::uniform_int_distribution<int> dist(-range, std::min(range, 32767));
        Samples x(kArray, 0);
        for (int k = 0; k < kN; ++k) x[k] = static_cast<std::int16_t>(dist(rng));
        inputs.push_back(x);
    }
    Samples extremes(kArray, 0);
    for (int k = 0; k < kN; ++k) extremes[k] = k % 3 ? -32768 : 32767;
    inputs.push_back(extremes);
    inputs.push_back(roundedWave(32767.0, 1, false));
    inputs.push_back(roundedWave(20000.0, 89, true));
    // A windowed 60 Hz burst in the first half, as the engine feeds it.
    Samples burst(kArray, 0);
    for (int k = 1; k <= 8160; ++k)
        burst[k] = static_cast<std::int16_t>(
            std::nearbyint(30000.0 * std::sin(2.0 * std::numbers::pi * 60.0 * k / 11025.0) *
                           (0.54 - 0.54 * std::cos(6.28318 * 2 * k / 16384.0)) / 1.08));
    inputs.push_back(burst);
    for (int pos : {0, 7, 16383}) {
        Samples x(kArray, 0);
        x[pos] = -32768;
        inputs.push_back(x);
    }
    return inputs;
}

// On every vector instruction set this processor runs, down to the baseline code.
TEST_F(FFTTest, BitIdenticalToTheLiteralTransform) {
    std::vector<double> refRe(kN);
    std::vector<float> refIm(kN);
    const std::vector<Samples> inputs = variedInputs();
    for (const Samples& x : inputs) {
        testing::referenceFFT(x, refRe.data(), refIm.data());
        for (int level = 0; level <= static_cast<int>(AudioFFT::widestSimdLevel()); ++level) {
            fft->simdLevel = static_cast<AudioFFT::SimdLevel>(level);
            run(x);
            EXPECT_TRUE(!std::memcmp(re.data(), refRe.data(), kN * sizeof(double)) &&
                        !std::memcmp(fft->imaginaryParts.data(), refIm.data(), kN * sizeof(float)))
                << "input " << &x - inputs.data() << ", level " << level;
        }
    }
}

TEST_F(FFTTest, TouchesOnlyTheFirst16384ElementsAndRefusesShortArrays) {
    Samples x(kArray, 0);
    x[3] = 100;
    run(x);
    const std::vector<double> clean = re;
    for (int k = kN; k < kArray; ++k) x[k] = 32767;
    std::vector<double> out(kArray, -7.5);
    ASSERT_TRUE(fft->ComputeFFT(x, out));
    EXPECT_EQ(std::memcmp(out.data(), clean.data(), kN * sizeof(double)), 0);
    for (int k = kN; k < kArray; ++k) ASSERT_EQ(out[k], -7.5);

    std::vector<double> shortOut(kN - 1, -1.0);
    EXPECT_FALSE(fft->ComputeFFT(x, shortOut));
    EXPECT_EQ(shortOut[0], -1.0);
    EXPECT_FALSE(fft->ComputeFFT(std::span(x).first(kN - 1), out));
}

}  // namespace
}  // namespace acw
