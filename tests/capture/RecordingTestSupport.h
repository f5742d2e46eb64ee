// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Recordings on disk for tests: a temporary folder that removes itself, and WAV files written
// with libsndfile from SyntheticSignal or from given samples.

#include <sndfile.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "measure/SyntheticSignal.h"

namespace acw::test {

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "acw-test-XXXXXX").string();
        if (::mkdtemp(pattern.data())) path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// `frames` frames of `params`, interleaved left/right, as SyntheticSignal delivers them.
inline std::vector<std::int16_t> synthesise(const SyntheticSignal::Params& params,
                                            std::int64_t frames) {
    std::vector<std::int16_t> samples(static_cast<std::size_t>(2 * frames));
    SyntheticSignal(params).fill(samples, static_cast<int>(frames));
    return samples;
}

// Writes values in counts of 16-bit full scale (beyond it too, and NaN) as they are, normalised
// (count / 32768), in a floating-point `subformat` (SF_FORMAT_FLOAT, SF_FORMAT_DOUBLE).
inline bool writeWav(const std::string& path, std::vector<double> counts, int subformat,
                     int channels = 2) {
    for (double& v : counts) v /= 32768.0;
    SF_INFO info{0, 11025, channels, SF_FORMAT_WAV | subformat, 0, 0};
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return false;
    const auto frames = static_cast<sf_count_t>(counts.size()) / channels;
    const bool ok = sf_writef_double(file, counts.data(), frames) == frames;
    sf_close(file);
    return ok;
}

// Writes 16-bit samples. Integer sample formats hold them exactly (8-bit keeps the top 8 bits);
// floating-point formats get them normalised, as audio tools store them.
inline bool writeWav(const std::string& path, const std::vector<std::int16_t>& samples,
                     int channels = 2, int sampleRateHz = 11025, int subformat = SF_FORMAT_PCM_16) {
    if (subformat == SF_FORMAT_FLOAT || subformat == SF_FORMAT_DOUBLE)
        return writeWav(path, std::vector<double>(samples.begin(), samples.end()), subformat,
                        channels);
    SF_INFO info{0, sampleRateHz, channels, SF_FORMAT_WAV | subformat, 0, 0};
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return false;
    const auto frames = static_cast<sf_count_t>(samples.size()) / channels;
    const bool ok = sf_writef_short(file, samples.data(), frames) == frames;
    sf_close(file);
    return ok;
}

}  // namespace acw::test
