// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Small helpers the benchmarks share (plain C++, no Qt).

#include <cstddef>
#include <filesystem>
#include <string>

namespace acw::bench {

// A folder of its own under the system's temporary folder, removed with everything in it when
// the object goes. path() is empty when the folder could not be made.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // A file in the folder, which need not exist.
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// A positive whole number from the environment variable `name`, or `fallback` when it is unset
// or not a positive number.
long long positiveFromEnvironment(const char* name, long long fallback);

// CPU time (user + system) of the whole process, all threads, in seconds.
double processCpuSeconds();
// CPU time of the calling thread, in seconds.
double threadCpuSeconds();
// The largest resident set of the process so far, and the current one, in KiB.
long peakRssKiB();
long currentRssKiB();

// Heap allocations (every form of operator new) made on the calling thread since it began; take
// the difference of two readings. Only in executables that link acw_bench_allocations, which
// replaces the global operator new and delete with ones that count and go to malloc and free.
std::size_t threadAllocations();

}  // namespace acw::bench
