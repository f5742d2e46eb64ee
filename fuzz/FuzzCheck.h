#pragma once

#include <cstdio>
#include <cstdlib>

// A property the target checks on every input. A broken one prints what was expected and aborts,
// which libFuzzer reports as a crash and saves the input that caused it.
#define ACW_FUZZ_CHECK(condition) \
    ((condition)                  \
         ? void(0)                \
         : (std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #condition), std::abort()))
