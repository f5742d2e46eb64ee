#include "measure/AudioFFT.h"

#include <cmath>
#include <cstring>

#include "measure/SimdClone.h"

namespace acw {

namespace {

// Four butterflies at a time. The arithmetic is exactly that of one butterfly done by hand:
//   tr = float(wr * Re[k] - Im[k] * wi), ti = float(Im[k] * wr + wi * Re[k]) in double,
//   Re[k] = Re[j] - tr, Re[j] = Re[j] + tr in double, Im[k] = Im[j] - ti, Im[j] = Im[j] + ti
// rounded to float. A float sum or difference rounded once equals the same sum formed in double
// and rounded to float, so the imaginary updates are done in float directly.
typedef double Vd __attribute__((vector_size(32)));
typedef float Vf __attribute__((vector_size(16)));
typedef long long Vi __attribute__((vector_size(32)));
typedef int Vfi __attribute__((vector_size(16)));

// Helpers take vectors by reference so that no 32-byte vector crosses a call boundary by value.
#define ACW_INLINE inline __attribute__((always_inline))

ACW_INLINE void loadD(Vd& v, const double* p) { std::memcpy(&v, p, sizeof v); }
ACW_INLINE void loadF(Vf& v, const float* p) { std::memcpy(&v, p, sizeof v); }
ACW_INLINE void storeD(double* p, const Vd& v) { std::memcpy(p, &v, sizeof v); }
ACW_INLINE void storeF(float* p, const Vf& v) { std::memcpy(p, &v, sizeof v); }

// Float lanes widened to double; written lane by lane, which compiles to one conversion.
ACW_INLINE void widen(Vd& d, const Vf& f) {
    d = Vd{static_cast<double>(f[0]), static_cast<double>(f[1]), static_cast<double>(f[2]),
           static_cast<double>(f[3])};
}

struct Quad {
    Vd jr, kr;
    Vf ji, ki;
};

ACW_INLINE void butterflies(Quad& q, const Vd& wr, const Vd& wi) {
    Vd xi;
    widen(xi, q.ki);
    const Vf tr = __builtin_convertvector(wr * q.kr - xi * wi, Vf);
    const Vf ti = __builtin_convertvector(xi * wr + wi * q.kr, Vf);
    Vd trd;
    widen(trd, tr);
    q.kr = q.jr - trd;
    q.jr = q.jr + trd;
    q.ki = q.ji - ti;
    q.ji = q.ji + ti;
}

// Lanes of two vectors chosen by a mask (lane i of the result is lane mask[i] of a:b). Clang,
// used for the fuzz build, has no two-vector shuffle with a mask vector; it picks lane by lane.
#if defined(__clang__)
template <typename V, typename M>
ACW_INLINE void pickLanes(V& out, const V& a, const V& b, const M& mask) {
    constexpr int kLanes = sizeof(V) / sizeof(a[0]);
    for (int i = 0; i < kLanes; ++i) {
        const int m = static_cast<int>(mask[i]) & (2 * kLanes - 1);
        out[i] = m < kLanes ? a[m] : b[m - kLanes];
    }
}
#define ACW_SHUFFLE(a, b, mask)               \
    ({                                        \
        __typeof__(a) picked_;                \
        pickLanes(picked_, (a), (b), (mask)); \
        picked_;                              \
    })
#else
#define ACW_SHUFFLE __builtin_shuffle
#endif

// Eight neighbouring points: the j lanes and k lanes picked by `pick`, put back by `put`.
ACW_INLINE void shuffledButterflies(double* re, float* im, const Vd& wr, const Vd& wi,
                                    const Vi& pickJ, const Vi& pickK, const Vi& putLo,
                                    const Vi& putHi) {
    Vd a, b;
    Vf c, d;
    loadD(a, re);
    loadD(b, re + 4);
    loadF(c, im);
    loadF(d, im + 4);
    const Vfi pickJf = __builtin_convertvector(pickJ, Vfi);
    const Vfi pickKf = __builtin_convertvector(pickK, Vfi);
    Quad q{ACW_SHUFFLE(a, b, pickJ), ACW_SHUFFLE(a, b, pickK), ACW_SHUFFLE(c, d, pickJf),
           ACW_SHUFFLE(c, d, pickKf)};
    butterflies(q, wr, wi);
    storeD(re, ACW_SHUFFLE(q.jr, q.kr, putLo));
    storeD(re + 4, ACW_SHUFFLE(q.jr, q.kr, putHi));
    storeF(im, ACW_SHUFFLE(q.ji, q.ki, __builtin_convertvector(putLo, Vfi)));
    storeF(im + 4, ACW_SHUFFLE(q.ji, q.ki, __builtin_convertvector(putHi, Vfi)));
}

// Two consecutive stages, half and 2 * half (half >= 4), in one sweep over the blocks of
// 4 * half points inside [begin, end): the four points m, m + half, m + 2 half, m + 3 half go
// through the first stage's two butterflies and then the second stage's two, in registers.
// Each butterfly sees exactly the operands it would see stage by stage.
ACW_INLINE void pairedStages(double* re, float* im, const double* twr, const double* twi, int half,
                             int begin, int end) {
    for (int i = begin; i < end; i += 4 * half) {
        for (int m = 0; m < half; m += 4) {
            double* r0 = re + i + m;
            float* i0 = im + i + m;
            Quad a, b;
            loadD(a.jr, r0);
            loadD(a.kr, r0 + half);
            loadF(a.ji, i0);
            loadF(a.ki, i0 + half);
            loadD(b.jr, r0 + 2 * half);
            loadD(b.kr, r0 + 3 * half);
            loadF(b.ji, i0 + 2 * half);
            loadF(b.ki, i0 + 3 * half);
            Vd wr, wi;
            loadD(wr, twr + half + m);
            loadD(wi, twi + half + m);
            butterflies(a, wr, wi);
            butterflies(b, wr, wi);
            // Second stage: (m, m + 2 half) with twiddle m, (m + half, m + 3 half) with m + half.
            Quad c{a.jr, b.jr, a.ji, b.ji};
            Quad d{a.kr, b.kr, a.ki, b.ki};
            loadD(wr, twr + 2 * half + m);
            loadD(wi, twi + 2 * half + m);
            butterflies(c, wr, wi);
            loadD(wr, twr + 3 * half + m);
            loadD(wi, twi + 3 * half + m);
            butterflies(d, wr, wi);
            storeD(r0, c.jr);
            storeD(r0 + half, d.jr);
            storeD(r0 + 2 * half, c.kr);
            storeD(r0 + 3 * half, d.kr);
            storeF(i0, c.ji);
            storeF(i0 + half, d.ji);
            storeF(i0 + 2 * half, c.ki);
            storeF(i0 + 3 * half, d.ki);
        }
    }
}

// Points per cache-resident chunk: the stages whose blocks fit in a chunk run chunk by chunk, so
// the data stays in the first-level cache across those stages. Blocks are independent of each
// other, so the order in which they are done does not change any value.
constexpr int kChunk = 1024;

// The bit-reversed load and all 14 stages: half = 1 and 2 by shuffles, then the pairs
// (4, 8) (16, 32) (64, 128) (256, 512) inside each chunk, then (1024, 2048) and (4096, 8192)
// over the whole array.
static_assert(AudioFFT::N == 16 * kChunk && kChunk == 1024, "stage pairing assumes 16384 points");
ACW_WITH_AVX2_CLONE void transform(const std::int16_t* x, const std::int32_t* reverse, double* re,
                                   float* im, const double* twr, const double* twi, int n) {
    // half = 1: pairs (0,1) (2,3) (4,5) (6,7) of eight points; the twiddle is entry 1.
    const Vd wr1 = {twr[1], twr[1], twr[1], twr[1]};
    const Vd wi1 = {twi[1], twi[1], twi[1], twi[1]};
    // half = 2: blocks (0,1|2,3) and (4,5|6,7); the twiddles are entries 2 and 3.
    const Vd wr2 = {twr[2], twr[3], twr[2], twr[3]};
    const Vd wi2 = {twi[2], twi[3], twi[2], twi[3]};
    for (int begin = 0; begin < n; begin += kChunk) {
        const int end = begin + kChunk;
        // The table is its own inverse, so point j takes input element reverse[j].
        for (int j = begin; j < end; ++j) re[j] = static_cast<double>(x[reverse[j]]);
        std::memset(im + begin, 0, sizeof(float) * kChunk);
        for (int i = begin; i < end; i += 8)
            shuffledButterflies(re + i, im + i, wr1, wi1, Vi{0, 2, 4, 6}, Vi{1, 3, 5, 7},
                                Vi{0, 4, 1, 5}, Vi{2, 6, 3, 7});
        for (int i = begin; i < end; i += 8)
            shuffledButterflies(re + i, im + i, wr2, wi2, Vi{0, 1, 4, 5}, Vi{2, 3, 6, 7},
                                Vi{0, 1, 4, 5}, Vi{2, 3, 6, 7});
        for (int half = 4; half < kChunk; half *= 4)
            pairedStages(re, im, twr, twi, half, begin, end);
    }
    for (int half = kChunk; half < n; half *= 4) pairedStages(re, im, twr, twi, half, 0, n);
}

}  // namespace

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

    // Every block of a stage runs the same recurrence from wr = 1, wi = 0: theta = 2 pi / step,
    // alpha = 1 - cos(theta) = 2 sin^2(theta / 2), beta = sin(theta), all single precision, each
    // product and sum formed in double and rounded to float where it is stored.
    for (int half = 1; half < N; half *= 2) {
        const int step = 2 * half;
        const float theta = static_cast<float>(6.28318530717958 / step);
        float alpha = static_cast<float>(std::sin(static_cast<double>(theta) * 0.5));
        alpha = static_cast<float>((static_cast<double>(alpha) + alpha) * alpha);
        const float beta = static_cast<float>(std::sin(static_cast<double>(theta)));
        float wr = 1.0f;
        float wi = 0.0f;
        for (int m = 0; m < half; ++m) {
            twiddleRe_[static_cast<std::size_t>(half + m)] = wr;
            twiddleIm_[static_cast<std::size_t>(half + m)] = wi;
            const float t = static_cast<float>(static_cast<double>(wi) * beta +
                                               static_cast<double>(wr) * alpha);
            wi = static_cast<float>(
                wi - (static_cast<double>(alpha) * wi - static_cast<double>(wr) * beta));
            wr = static_cast<float>(static_cast<double>(wr) - t);
        }
    }
}

bool AudioFFT::ComputeFFT(std::span<const std::int16_t> input, std::span<double> output) {
    if (input.size() < static_cast<std::size_t>(N) || output.size() < static_cast<std::size_t>(N))
        return false;
    transform(input.data(), bitReverseTable.data(), output.data(), imaginaryParts.data(),
              twiddleRe_.data(), twiddleIm_.data(), N);
    return true;
}

}  // namespace acw
