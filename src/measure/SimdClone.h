#pragma once

// Hot loops of the measurement library get an AVX2 clone chosen at load time on processors that
// have it. Building with ACW_MEASURE_BASELINE_ONLY leaves only the baseline code, so tests can
// check that path too.
#ifdef ACW_MEASURE_BASELINE_ONLY
#define ACW_WITH_AVX2_CLONE
#else
#define ACW_WITH_AVX2_CLONE __attribute__((target_clones("avx2", "default")))
#endif
