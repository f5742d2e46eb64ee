// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Recordings on disk for tests: a temporary folder that removes itself, and WAV files written
// with libsndfile.

#include <sndfile.h>

#include <QTemporaryDir>
#include <cstdint>
#include <string>
#include <vector>

#include "measure/SyntheticSignal.h"

namespace acw::test {

struct TempFolder : QTemporaryDir {
    std::string file(const char* name) const { return filePath(name).toStdString(); }
};

// `frames` frames of `params`, interleaved left/right, as SyntheticSignal delivers them.
inline std::vector<std::int16_t> synthesise(const SyntheticSignal::Params& params,
                                            std::int64_t frames) {
    std::vector<std::int16_t> samples(static_cast<std::size_t>(2 * frames));
    SyntheticSignal(params).fill(samples, static_cast<int>(frames));
    return samples;
}

// Writes samples given in counts of 16-bit full scale. Integer sample formats get them as 16-bit
// samples (exactly; 8-bit keeps the top 8 bits); floating-point formats get them normalised
// (count / 32768), as audio tools store them, values beyond full scale and NaN included.
template <typename Sample>
bool writeWav(const std::string& path, const std::vector<Sample>& counts,
              int subformat = SF_FORMAT_PCM_16, int channels = 2, int sampleRateHz = 11025) {
    SF_INFO info{0, sampleRateHz, channels, SF_FORMAT_WAV | subformat, 0, 0};
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return false;
    const auto frames = static_cast<sf_count_t>(counts.size()) / channels;
    sf_count_t written = 0;
    if (subformat == SF_FORMAT_FLOAT || subformat == SF_FORMAT_DOUBLE) {
        std::vector<double> normalised(counts.begin(), counts.end());
        for (double& v : normalised) v /= 32768.0;
        written = sf_writef_double(file, normalised.data(), frames);
    } else {
        const std::vector<short> shorts(counts.begin(), counts.end());
        written = sf_writef_short(file, shorts.data(), frames);
    }
    sf_close(file);
    return written == frames;
}

}  // namespace acw::test
