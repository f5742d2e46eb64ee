#pragma once

#include <cstdint>
#include <span>

namespace acw::testing {

// The transform written out literally, one butterfly at a time: blocks outside, butterflies
// inside, the twiddle restarted at 1 for every block and advanced by the recurrence after every
// butterfly. Working values are floats; every product and sum is formed in double and rounded
// where it is stored. The shipped transform must match it bit for bit (the tests and the
// benchmark check it). `re` and `im` receive 16384 values each.
void referenceFFT(std::span<const std::int16_t> input, double* re, float* im);

}  // namespace acw::testing
