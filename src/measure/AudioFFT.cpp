#include "measure/AudioFFT.h"

#include <cmath>

namespace acw {

std::int32_t AudioFFT::ReverseBits(std::int32_t index, std::uint8_t bits) {
    std::int32_t result = 0;
    for (int b = 0; b < bits; ++b) {
        result = result * 2 + (index & 1);
        index = index / 2;
    }
    return result;
}

void AudioFFT::BuildBitReverseTable() {
    for (int i = 0; i < N; ++i)
        bitReverseTable[static_cast<std::size_t>(i)] = ReverseBits(i, kBits);
}

bool AudioFFT::ComputeFFT(std::span<const std::int16_t> input, std::span<double> output) {
    if (input.size() < static_cast<std::size_t>(N) || output.size() < static_cast<std::size_t>(N))
        return false;
    double* re = output.data();
    float* im = imaginaryParts.data();
    for (int i = 0; i < N; ++i) {
        const int j = bitReverseTable[static_cast<std::size_t>(i)];
        re[j] = static_cast<double>(input[static_cast<std::size_t>(i)]);
        im[j] = 0.0f;
    }
    int half = 1;
    for (int step = 2; step <= N; step *= 2) {
        const float theta = static_cast<float>(6.28318530717958 / step);
        float alpha = static_cast<float>(std::sin(static_cast<double>(theta) * 0.5));
        alpha = static_cast<float>((static_cast<double>(alpha) + alpha) * alpha);
        const float beta = static_cast<float>(std::sin(static_cast<double>(theta)));
        for (int i = 0; i < N; i += step) {
            float wr = 1.0f;
            float wi = 0.0f;
            int j = i;
            for (int m = 0; m < half; ++m) {
                const int k = j + half;
                const float tr = static_cast<float>(wr * re[k] - static_cast<double>(im[k]) * wi);
                const float ti = static_cast<float>(static_cast<double>(im[k]) * wr + wi * re[k]);
                re[k] = re[j] - tr;
                im[k] = static_cast<float>(static_cast<double>(im[j]) - ti);
                re[j] = re[j] + tr;
                im[j] = static_cast<float>(static_cast<double>(im[j]) + ti);
                const float t = static_cast<float>(static_cast<double>(wi) * beta +
                                                   static_cast<double>(wr) * alpha);
                wi = static_cast<float>(
                    wi - (static_cast<double>(alpha) * wi - static_cast<double>(wr) * beta));
                wr = static_cast<float>(static_cast<double>(wr) - t);
                ++j;
            }
        }
        half = step;
    }
    return true;
}

}  // namespace acw
