#include "ReferenceFFT.h"

#include <cmath>

#include "measure/AudioFFT.h"

namespace acw::testing {

void referenceFFT(std::span<const std::int16_t> input, double* re, float* im) {
    constexpr int n = 16384;
    for (int i = 0; i < n; ++i) {
        const int j = AudioFFT::ReverseBits(i, 14);
        re[j] = static_cast<double>(input[static_cast<std::size_t>(i)]);
        im[j] = 0.0f;
    }
    int half = 1;
    for (int step = 2; step <= n; step *= 2) {
        const float theta = static_cast<float>(6.28318530717958 / step);
        float alpha = static_cast<float>(std::sin(double{theta} * 0.5));
        alpha = static_cast<float>((double{alpha} + double{alpha}) * double{alpha});
        const float beta = static_cast<float>(std::sin(double{theta}));
        for (int i = 0; i < n; i += step) {
            float wr = 1.0f;
            float wi = 0.0f;
            int j = i;
            for (int m = 1; m <= half; ++m) {
                const int k = j + half;
                const float tr =
                    static_cast<float>(double{wr} * re[k] - double{im[k]} * double{wi});
                const float ti =
                    static_cast<float>(double{im[k]} * double{wr} + double{wi} * re[k]);
                re[k] = re[j] - double{tr};
                im[k] = static_cast<float>(double{im[j]} - double{ti});
                re[j] = re[j] + double{tr};
                im[j] = static_cast<float>(double{im[j]} + double{ti});
                const float t =
                    static_cast<float>(double{wi} * double{beta} + double{wr} * double{alpha});
                wi = static_cast<float>(double{wi} -
                                        (double{alpha} * double{wi} - double{wr} * double{beta}));
                wr = static_cast<float>(double{wr} - double{t});
                j = j + 1;
            }
        }
        half = step;
    }
}

}  // namespace acw::testing
