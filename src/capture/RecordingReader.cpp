#include "capture/RecordingReader.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "measure/CaptureLayout.h"

namespace acw {

namespace {

SNDFILE* handle(void* file) { return static_cast<SNDFILE*>(file); }

// libsndfile's description of its last error, without its closing full stop.
std::string libraryError(SNDFILE* file) {
    std::string text = sf_strerror(file);
    while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
    return text;
}

std::string plural(std::int64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// 16-bit PCM is delivered as it is stored. Every other sample format is read as normalised
// doubles (full scale +-1.0, the way libsndfile maps 8-, 24- and 32-bit integers and the way
// floating-point recordings are stored) and scaled to 16 bits here. libsndfile's own
// floating-point-to-16-bit read does not do this: unscaled it turns +-1.0 into +-1, and scaled
// it stretches the file's own peak to full scale, which would change every reading.
bool needsConversion(int format) { return (format & SF_FORMAT_SUBMASK) != SF_FORMAT_PCM_16; }

std::int16_t toSample(double normalised) {
    const double counts = std::nearbyint(normalised * 32768.0);
    if (!(counts > -32768.0)) return -32768;  // also catches NaN
    if (counts > 32767.0) return 32767;
    return static_cast<std::int16_t>(counts);
}

}  // namespace

RecordingReader::~RecordingReader() { close(); }

void RecordingReader::close() {
    if (file_) sf_close(handle(file_));
    file_ = nullptr;
    frames_ = 0;
    blocksRead_ = 0;
    format_ = 0;
}

std::string RecordingReader::open(const std::string& path) {
    close();
    path_ = path;
    error_.clear();
    const std::string name = "'" + path + "'";

    if (path.empty()) return "no recording file given";
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return name + ": no such file";
        return name + ": cannot be read (" + std::strerror(errno) + ")";
    }
    if (S_ISDIR(info.st_mode)) return name + ": is a folder, not an audio file";
    if (!S_ISREG(info.st_mode)) return name + ": is not a regular file";

    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return name + ": cannot be read (" + std::strerror(errno) + ")";

    SF_INFO sfinfo{};
    SNDFILE* file = sf_open_fd(fd, SFM_READ, &sfinfo, SF_TRUE);  // closes fd on failure too
    if (!file) {
        const int code = sf_error(nullptr);
        const std::string detail = libraryError(nullptr);
        if (code == SF_ERR_SYSTEM) return name + ": cannot be read (" + detail + ")";
        if (code == SF_ERR_UNSUPPORTED_ENCODING)
            return name + ": audio encoding not supported (" + detail + ")";
        return name + ": not an audio file (" + detail + ")";
    }

    std::string problem;
    if (sfinfo.channels != kChannels) {
        problem = "has " + plural(sfinfo.channels, "channel", "channels") +
                  ", 2 are needed (left = voltage, right = current)";
    } else if (sfinfo.samplerate != kSampleRateHz) {
        problem = "sample rate is " + std::to_string(sfinfo.samplerate) + " Hz, 11025 Hz is needed";
    } else if (sfinfo.frames < kBlockFrames || sfinfo.frames == SF_COUNT_MAX) {
        problem =
            (sfinfo.frames == SF_COUNT_MAX ? std::string("length unknown")
                                           : "has " + plural(sfinfo.frames, "frame", "frames")) +
            ", at least 4096 (one buffer) are needed";
    }
    if (!problem.empty()) {
        sf_close(file);
        return name + ": " + problem;
    }

    // Integer reads of integer files must never wrap; clipping keeps converted extremes at full
    // scale.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    file_ = file;
    frames_ = sfinfo.frames;
    format_ = sfinfo.format;
    blocksRead_ = 0;
    return {};
}

void RecordingReader::fail(const std::string& problem) { error_ = "'" + path_ + "': " + problem; }

bool RecordingReader::readBlock(std::int16_t* interleaved4096Frames) {
    if (!file_ || blocksRead_ >= blocks()) return false;
    SNDFILE* file = handle(file_);
    sf_count_t got = 0;
    if (!needsConversion(format_)) {
        got = sf_readf_short(file, interleaved4096Frames, kBlockFrames);
    } else {
        // Converted in slices to keep the scratch small and on the stack.
        constexpr int kSliceFrames = 512;
        std::array<double, 2 * kSliceFrames> scratch;
        while (got < kBlockFrames) {
            const sf_count_t want = std::min<sf_count_t>(kSliceFrames, kBlockFrames - got);
            const sf_count_t n = sf_readf_double(file, scratch.data(), want);
            for (sf_count_t i = 0; i < 2 * n; ++i)
                interleaved4096Frames[2 * got + i] = toSample(scratch[static_cast<std::size_t>(i)]);
            got += n;
            if (n < want) break;
        }
    }
    if (got != kBlockFrames) {
        const std::int64_t framesRead = blocksRead_ * kBlockFrames + got;
        std::string detail = libraryError(file);
        if (sf_error(file) == SF_ERR_NO_ERROR) detail = "the file is shorter than its header says";
        fail("reading stopped after " + std::to_string(framesRead) + " of " +
             std::to_string(frames_) + " frames (" + detail + ")");
        return false;
    }
    ++blocksRead_;
    return true;
}

bool RecordingReader::rewind() {
    if (!file_) {
        error_ = "no recording open";
        return false;
    }
    if (sf_seek(handle(file_), 0, SEEK_SET) != 0) {
        fail("cannot go back to the start (" + libraryError(handle(file_)) + ")");
        return false;
    }
    blocksRead_ = 0;
    error_.clear();
    return true;
}

}  // namespace acw
