#pragma once

// Helpers for tests that need recordings on disk: a temporary folder that removes itself, and
// WAV files written with libsndfile from SyntheticSignal or from given samples.

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
    SyntheticSignal signal(params);
    signal.fill(samples, static_cast<int>(frames));
    return samples;
}

// Writes interleaved samples with `channels` channels. `subformat` is a libsndfile sample format
// (SF_FORMAT_PCM_16, SF_FORMAT_PCM_24, SF_FORMAT_PCM_U8, SF_FORMAT_FLOAT, ...). 16-bit samples
// go to floating-point files normalised (sample / 32768), as audio tools store them; doubles are
// written as they are, values beyond +-1.0 included.
inline bool writeWav(const std::string& path, const std::vector<std::int16_t>& samples,
                     int channels = 2, int sampleRateHz = 11025, int subformat = SF_FORMAT_PCM_16) {
    SF_INFO info{};
    info.samplerate = sampleRateHz;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | subformat;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return false;
    const sf_count_t frames = static_cast<sf_count_t>(samples.size()) / channels;
    std::vector<double> normalised(samples.begin(), samples.end());
    for (double& v : normalised) v /= 32768.0;
    const bool isFloat = subformat == SF_FORMAT_FLOAT || subformat == SF_FORMAT_DOUBLE;
    const sf_count_t written = isFloat ? sf_writef_double(file, normalised.data(), frames)
                                       : sf_writef_short(file, samples.data(), frames);
    sf_close(file);
    return written == frames;
}

inline bool writeFloatWav(const std::string& path, const std::vector<double>& samples) {
    SF_INFO info{0, 11025, 2, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0, 0};
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return false;
    const auto frames = static_cast<sf_count_t>(samples.size()) / 2;
    const sf_count_t written = sf_writef_double(file, samples.data(), frames);
    sf_close(file);
    return written == frames;
}

}  // namespace acw::test
