#include "measure/AudioFFT.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>
#include <utility>

#include "measure/SimdClone.h"

namespace acw {

namespace {

// Four or eight butterflies at a time. The arithmetic is exactly that of one butterfly done by
// hand:
//   tr = float(wr * Re[k] - Im[k] * wi), ti = float(Im[k] * wr + wi * Re[k]) in double,
//   Re[k] = Re[j] - tr, Re[j] = Re[j] + tr in double, Im[k] = Im[j] - ti, Im[j] = Im[j] + ti
// rounded to float. A float sum or difference rounded once equals the same sum formed in double
// and rounded to float, so the imaginary updates are done in float directly. Im[k] * wi and
// Im[k] * wr are products of two floats and exact in double, so adding them to the other,
// rounded product with one fused multiply-add gives the same value as the two steps.
template <int kLanes>
struct Lanes {
    typedef double Vd __attribute__((vector_size(8 * kLanes)));
    typedef float Vf __attribute__((vector_size(4 * kLanes)));
    typedef std::make_index_sequence<kLanes> Index;
};
typedef Lanes<4>::Vd Vd;
typedef Lanes<4>::Vf Vf;
typedef long long Vi __attribute__((vector_size(32)));
typedef int Vfi __attribute__((vector_size(16)));
typedef short Vs __attribute__((vector_size(8)));

// Helpers take vectors by reference so that no vector crosses a call boundary by value.
#define ACW_INLINE inline __attribute__((always_inline))

template <typename V, typename T>
ACW_INLINE void load(V& v, const T* p) {
    std::memcpy(&v, p, sizeof v);
}
template <typename T, typename V>
ACW_INLINE void store(T* p, const V& v) {
    std::memcpy(p, &v, sizeof v);
}

// Float lanes widened to double; written lane by lane, which compiles to one conversion.
template <typename D, typename F, std::size_t... I>
ACW_INLINE void widen(D& d, const F& f, std::index_sequence<I...>) {
    d = D{static_cast<double>(f[I])...};
}

// r = a * b + c (kSign = 1) or c - a * b (kSign = -1) for products a * b that are exact in
// double. With kFma one fused operation, which the compiler turns into a vector instruction where
// the target has it.
template <bool kFma, int kSign, typename D, std::size_t... I>
ACW_INLINE void mulAdd(D& r, const D& a, const D& b, const D& c, std::index_sequence<I...>) {
    if constexpr (kFma)
        r = D{__builtin_fma(kSign * a[I], b[I], c[I])...};
    else if constexpr (kSign > 0)
        r = a * b + c;
    else
        r = c - a * b;
}

template <int kLanes>
struct Quad {
    typename Lanes<kLanes>::Vd jr, kr;
    typename Lanes<kLanes>::Vf ji, ki;
};

template <bool kFma, int kLanes>
ACW_INLINE void butterflies(Quad<kLanes>& q, const typename Lanes<kLanes>::Vd& wr,
                            const typename Lanes<kLanes>::Vd& wi) {
    using L = Lanes<kLanes>;
    typename L::Vd xi, c, s, trd;
    widen(xi, q.ki, typename L::Index());
    mulAdd<kFma, -1>(c, xi, wi, wr * q.kr, typename L::Index());
    mulAdd<kFma, 1>(s, xi, wr, wi * q.kr, typename L::Index());
    const typename L::Vf tr = __builtin_convertvector(c, typename L::Vf);
    const typename L::Vf ti = __builtin_convertvector(s, typename L::Vf);
    widen(trd, tr, typename L::Index());
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
#define ACW_SHUFFLE(a, b, mask)                   \
    ({                                            \
        std::remove_cvref_t<decltype(a)> picked_; \
        pickLanes(picked_, (a), (b), (mask));     \
        picked_;                                  \
    })
#else
#define ACW_SHUFFLE __builtin_shuffle
#endif

constexpr int kN = AudioFFT::N;
static_assert(kN == 16384, "the stage plan below assumes 16384 points");

// The bit-reversed load and the stages half = 1 and 2. Point j takes sample rev(j), so the four
// points 4h..4h+3 of a block of the second stage take samples r, r + 8192, r + 4096, r + 12288
// with r = rev(4h). Four neighbouring r are four blocks, one per lane, loaded without gathering;
// the results are transposed into the blocks. The blocks of r + 2048, r + 1024 and r + 3072 follow
// the block of r in memory, so those four are done together and their stores fill whole lines.
//
// Both stages have twiddle (1, 0) except the second stage's butterfly of points 1 and 3, and every
// imaginary part is +0 before the second stage. A butterfly with twiddle (1, 0) and +0 imaginary
// parts gives Re[j] + Re[k], Re[j] - Re[k] and +0 imaginary parts, and the real parts here are
// integers of at most 2^17 in magnitude, so these sums are formed in integers (a zero result is +0
// either way). The butterfly of points 1 and 3 is an ordinary one on +0 imaginary parts.
template <bool kFma>
ACW_INLINE void firstTwoStages(const std::int16_t* x, const std::int32_t* reverse, double* re,
                               float* im, const double* twr, const double* twi) {
    const Vd wr = {twr[3], twr[3], twr[3], twr[3]};
    const Vd wi = {twi[3], twi[3], twi[3], twi[3]};
    const Vf zero = {};
    for (int r = 0; r < kN / 16; r += 4) {
        const int b0 = reverse[r], b1 = reverse[r + 1], b2 = reverse[r + 2], b3 = reverse[r + 3];
        for (int k = 0; k < 4; ++k) {
            const std::int16_t* s = x + r + reverse[4 * k];
            Vs s0, s1, s2, s3;
            std::memcpy(&s0, s, sizeof s0);
            std::memcpy(&s1, s + kN / 2, sizeof s1);
            std::memcpy(&s2, s + kN / 4, sizeof s2);
            std::memcpy(&s3, s + 3 * kN / 4, sizeof s3);
            const Vfi a0 = __builtin_convertvector(s0, Vfi);
            const Vfi a1 = __builtin_convertvector(s1, Vfi);
            const Vfi a2 = __builtin_convertvector(s2, Vfi);
            const Vfi a3 = __builtin_convertvector(s3, Vfi);
            const Vfi p0 = a0 + a1;
            const Vfi p2 = a2 + a3;
            const Vd re0 = __builtin_convertvector(p0 + p2, Vd);
            const Vd re2 = __builtin_convertvector(p0 - p2, Vd);
            Quad<4> q{__builtin_convertvector(a0 - a1, Vd), __builtin_convertvector(a2 - a3, Vd),
                      zero, zero};
            butterflies<kFma>(q, wr, wi);
            // Lane l is block k of the four after rev(r + l): points (re0, q.jr, re2, q.kr) and
            // (0, q.ji, 0, q.ki).
            const Vd t0 = ACW_SHUFFLE(re0, q.jr, (Vi{0, 4, 2, 6}));
            const Vd t1 = ACW_SHUFFLE(re0, q.jr, (Vi{1, 5, 3, 7}));
            const Vd t2 = ACW_SHUFFLE(re2, q.kr, (Vi{0, 4, 2, 6}));
            const Vd t3 = ACW_SHUFFLE(re2, q.kr, (Vi{1, 5, 3, 7}));
            const Vf u0 = ACW_SHUFFLE(q.ji, q.ki, (Vfi{0, 4, 1, 5}));
            const Vf u1 = ACW_SHUFFLE(q.ji, q.ki, (Vfi{2, 6, 3, 7}));
            const int o = 4 * k;
            store(re + b0 + o, ACW_SHUFFLE(t0, t2, (Vi{0, 1, 4, 5})));
            store(re + b1 + o, ACW_SHUFFLE(t1, t3, (Vi{0, 1, 4, 5})));
            store(re + b2 + o, ACW_SHUFFLE(t0, t2, (Vi{2, 3, 6, 7})));
            store(re + b3 + o, ACW_SHUFFLE(t1, t3, (Vi{2, 3, 6, 7})));
            store(im + b0 + o, ACW_SHUFFLE(zero, u0, (Vfi{0, 4, 1, 5})));
            store(im + b1 + o, ACW_SHUFFLE(zero, u0, (Vfi{2, 6, 3, 7})));
            store(im + b2 + o, ACW_SHUFFLE(zero, u1, (Vfi{0, 4, 1, 5})));
            store(im + b3 + o, ACW_SHUFFLE(zero, u1, (Vfi{2, 6, 3, 7})));
        }
    }
}

// Two consecutive stages, half and 2 * half (half >= kLanes), on the columns m in
// [mBegin, mEnd) of the block of 4 * half points starting at i: the four points m, m + half,
// m + 2 half, m + 3 half go through the first stage's two butterflies and then the second stage's
// two, in registers. Each butterfly sees exactly the operands it would see stage by stage.
template <bool kFma, int kLanes>
ACW_INLINE void pairedStages(double* re, float* im, const double* twr, const double* twi, int half,
                             int i, int mBegin, int mEnd) {
    for (int m = mBegin; m < mEnd; m += kLanes) {
        double* r0 = re + i + m;
        float* i0 = im + i + m;
        Quad<kLanes> a, b;
        load(a.jr, r0);
        load(a.kr, r0 + half);
        load(a.ji, i0);
        load(a.ki, i0 + half);
        load(b.jr, r0 + 2 * half);
        load(b.kr, r0 + 3 * half);
        load(b.ji, i0 + 2 * half);
        load(b.ki, i0 + 3 * half);
        typename Lanes<kLanes>::Vd wr, wi;
        load(wr, twr + half + m);
        load(wi, twi + half + m);
        butterflies<kFma>(a, wr, wi);
        butterflies<kFma>(b, wr, wi);
        // Second stage: (m, m + 2 half) with twiddle m, (m + half, m + 3 half) with m + half.
        Quad<kLanes> c{a.jr, b.jr, a.ji, b.ji};
        Quad<kLanes> d{a.kr, b.kr, a.ki, b.ki};
        load(wr, twr + 2 * half + m);
        load(wi, twi + 2 * half + m);
        butterflies<kFma>(c, wr, wi);
        load(wr, twr + 3 * half + m);
        load(wi, twi + 3 * half + m);
        butterflies<kFma>(d, wr, wi);
        store(r0, c.jr);
        store(r0 + half, d.jr);
        store(r0 + 2 * half, c.kr);
        store(r0 + 3 * half, d.kr);
        store(i0, c.ji);
        store(i0 + half, d.ji);
        store(i0 + 2 * half, c.ki);
        store(i0 + 3 * half, d.ki);
    }
}

// Points per cache-resident chunk: the stages half = 4 .. 512 run chunk by chunk, so the data
// stays in the first-level cache across them. Blocks are independent of each other, so the order
// in which they are done does not change any value.
constexpr int kChunk = 1024;
// Columns per sweep of the last four stages (half = 1024 .. 8192): their butterflies link the
// points m + 1024 u (u = 0..15) only, so those stages run over a narrow band of columns at a time.
constexpr int kBand = 256;

// All 14 stages: half = 1 and 2 with the bit-reversed load, then the pairs (4, 8) (16, 32)
// (64, 128) (256, 512) inside each chunk, then (1024, 2048) and (4096, 8192) band by band.
// kLanes butterflies at a time from half = 16 on.
template <bool kFma, int kLanes>
ACW_INLINE void transform(const std::int16_t* x, const std::int32_t* reverse, double* re, float* im,
                          const double* twr, const double* twi) {
    firstTwoStages<kFma>(x, reverse, re, im, twr, twi);
    for (int begin = 0; begin < kN; begin += kChunk) {
        for (int i = begin; i < begin + kChunk; i += 16)
            pairedStages<kFma, 4>(re, im, twr, twi, 4, i, 0, 4);
        for (int half = 16; half < kChunk; half *= 4)
            for (int i = begin; i < begin + kChunk; i += 4 * half)
                pairedStages<kFma, kLanes>(re, im, twr, twi, half, i, 0, half);
    }
    for (int m = 0; m < kChunk; m += kBand) {
        for (int i = 0; i < kN; i += 4 * kChunk)
            pairedStages<kFma, kLanes>(re, im, twr, twi, kChunk, i, m, m + kBand);
        for (int u = 0; u < 4; ++u)
            pairedStages<kFma, kLanes>(re, im, twr, twi, 4 * kChunk, 0, m + u * kChunk,
                                       m + u * kChunk + kBand);
    }
}

ACW_AVX512_TARGET void transformAvx512(const std::int16_t* x, const std::int32_t* reverse,
                                       double* re, float* im, const double* twr,
                                       const double* twi) {
    transform<true, 8>(x, reverse, re, im, twr, twi);
}

ACW_AVX2_FMA_TARGET void transformAvx2(const std::int16_t* x, const std::int32_t* reverse,
                                       double* re, float* im, const double* twr,
                                       const double* twi) {
    transform<true, 4>(x, reverse, re, im, twr, twi);
}

void transformBaseline(const std::int16_t* x, const std::int32_t* reverse, double* re, float* im,
                       const double* twr, const double* twi) {
    transform<false, 4>(x, reverse, re, im, twr, twi);
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

AudioFFT::SimdLevel AudioFFT::widestSimdLevel() {
#ifndef ACW_MEASURE_BASELINE_ONLY
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl"))
        return SimdLevel::Avx512;
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return SimdLevel::Avx2;
#endif
    return SimdLevel::Baseline;
}

bool AudioFFT::ComputeFFT(std::span<const std::int16_t> input, std::span<double> output) {
    if (input.size() < static_cast<std::size_t>(N) || output.size() < static_cast<std::size_t>(N))
        return false;
    auto* run = transformBaseline;
    const SimdLevel level = std::min(simdLevel, widestSimdLevel());
    if (level == SimdLevel::Avx512)
        run = transformAvx512;
    else if (level == SimdLevel::Avx2)
        run = transformAvx2;
    run(input.data(), bitReverseTable.data(), output.data(), imaginaryParts.data(),
        twiddleRe_.data(), twiddleIm_.data());
    return true;
}

}  // namespace acw
