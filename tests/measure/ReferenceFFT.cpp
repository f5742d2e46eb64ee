// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReferenceFFT.h"

#include <cmath>

#include "measure/AudioFFT.h"

void acw::testing::referenceFFT(std::span<const std::int16_t> input, double* re, float* im) {
    using D = double;
    for (int i = 0; i < 16384; ++i) {
        re[acw::AudioFFT::ReverseBits(i, 14)] = input[static_cast<std::size_t>(i)];
        im[acw::AudioFFT::ReverseBits(i, 14)] = 0.0f;
    }
    for (int half = 1, step = 2; step <= 16384; half = step, step *= 2) {
        const float theta = static_cast<float>(6.28318530717958 / step);
        float alpha = static_cast<float>(std::sin(D{theta} * 0.5));
        alpha = static_cast<float>((D{alpha} + D{alpha}) * D{alpha});
        const float beta = static_cast<float>(std::sin(D{theta}));
        for (int j = 0; j < 16384; j += step) {
            float wr = 1.0f, wi = 0.0f;
            for (int m = j; m < j + half; ++m) {
                const int k = m + half;
                const float tr = static_cast<float>(D{wr} * re[k] - D{im[k]} * D{wi});
                const float ti = static_cast<float>(D{im[k]} * D{wr} + D{wi} * re[k]);
                re[k] = re[m] - D{tr};
                im[k] = static_cast<float>(D{im[m]} - D{ti});
                re[m] = re[m] + D{tr};
                im[m] = static_cast<float>(D{im[m]} + D{ti});
                const float t = static_cast<float>(D{wi} * D{beta} + D{wr} * D{alpha});
                wi = static_cast<float>(D{wi} - (D{alpha} * D{wi} - D{wr} * D{beta}));
                wr = static_cast<float>(D{wr} - D{t});
            }
        }
    }
}
