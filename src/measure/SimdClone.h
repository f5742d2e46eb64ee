#pragma once

// Hot loops of the measurement library get an AVX2 clone chosen at load time on processors that
// have it. Building with ACW_MEASURE_BASELINE_ONLY leaves only the baseline code, so tests can
// check that path too.
#ifdef ACW_MEASURE_BASELINE_ONLY
#define ACW_WITH_AVX2_CLONE
#else
#define ACW_WITH_AVX2_CLONE __attribute__((target_clones("avx2", "default")))
#endif

// Loops that are compiled several times by hand, once per instruction set, and chosen at run time
// (see AudioFFT::widestSimdLevel): these mark the AVX2-with-FMA and the AVX-512 versions. A
// baseline-only build compiles them too but never calls them.
#define ACW_AVX2_FMA_TARGET __attribute__((target("avx2,fma")))
#define ACW_AVX512_TARGET __attribute__((target("avx512f,avx512vl,avx2,fma")))
