#include "capture/RecordingReader.h"

#include <fcntl.h>
#include <sndfile.h>
#include <soxr.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

#include "measure/CaptureLayout.h"

namespace acw {

namespace {

SNDFILE* handle(void* file) { return static_cast<SNDFILE*>(file); }
soxr_t resampler(void* r) { return static_cast<soxr_t>(r); }

// Rates that are resampled to 11025 Hz; a recording outside them is refused.
constexpr int kMinFileRateHz = 8000;
constexpr int kMaxFileRateHz = 192000;
// Frames of a stereo file read at a time on the converting path (fewer with more channels).
constexpr std::int64_t kStereoSliceFrames = 4096;

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

// Bytes one frame takes in the file; 0 for encodings whose frames are not all the same size.
std::int64_t bytesPerFrame(const SF_INFO& info) {
    switch (info.format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
        case SF_FORMAT_ULAW:
        case SF_FORMAT_ALAW:
            return info.channels;
        case SF_FORMAT_PCM_16:
            return 2 * info.channels;
        case SF_FORMAT_PCM_24:
            return 3 * info.channels;
        case SF_FORMAT_PCM_32:
        case SF_FORMAT_FLOAT:
            return 4 * info.channels;
        case SF_FORMAT_DOUBLE:
            return 8 * info.channels;
        default:
            return 0;
    }
}

// The whole number at the start of `text`; false when there is none.
bool leadingCount(std::string_view text, std::int64_t& value) {
    return std::from_chars(text.data(), text.data() + text.size(), value).ec == std::errc();
}

// The frames the header of a WAV or AIFF file promises when its sample data chunk claims more
// bytes than the file holds; libsndfile then shortens the length it reports without an error
// and notes "data : <claimed> (should be <present>)" in its log (" SSND : ..." for AIFF, whose
// sizes count 8 bytes of chunk header as well). Returns `info.frames` when nothing is missing,
// and also for a claim of 0xFFFFFFFF bytes: the mark of a file written as a stream, whose length
// is whatever is there.
std::int64_t promisedFrames(SNDFILE* file, const SF_INFO& info) {
    std::array<char, 8192> log{};
    sf_command(file, SFC_GET_LOG_INFO, log.data(), static_cast<int>(log.size() - 1));
    std::string_view rest(log.data());
    while (!rest.empty()) {
        std::string_view line = rest.substr(0, rest.find('\n'));
        rest.remove_prefix(std::min(rest.size(), line.size() + 1));
        line.remove_prefix(std::min(line.size(), line.find_first_not_of(' ')));
        std::int64_t headerBytes = 0;
        if (line.substr(0, 7) == "SSND : ")
            headerBytes = 8;
        else if (line.substr(0, 7) != "data : ")
            continue;
        constexpr std::string_view kShould = " (should be ";
        const std::size_t should = line.find(kShould);
        if (should == std::string_view::npos) return info.frames;
        std::int64_t claimed = 0;
        std::int64_t present = 0;
        if (!leadingCount(line.substr(7), claimed) ||
            !leadingCount(line.substr(should + kShould.size()), present) || claimed <= present ||
            claimed == 0xFFFFFFFF)
            return info.frames;
        claimed -= headerBytes;
        present -= headerBytes;
        const std::int64_t width = bytesPerFrame(info);
        if (width > 0) return claimed / width;
        if (present <= 0) return info.frames;
        return static_cast<std::int64_t>(static_cast<long double>(info.frames) * claimed / present);
    }
    return info.frames;
}

// Frames at 11025 Hz that `fileFrames` frames at `rateHz` become (rounded down: the resampler
// delivers this many or one more).
std::int64_t framesAtCaptureRate(std::int64_t fileFrames, int rateHz) {
    return static_cast<std::int64_t>(static_cast<__int128>(fileFrames) * kSampleRateHz / rateHz);
}

}  // namespace

std::string parseChannelChoice(std::string_view text, ChannelChoice& choice) {
    const std::string bad = "bad value '" + std::string(text) + "': ";
    const std::size_t comma = text.find(',');
    int numbers[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        const std::string_view part =
            i == 0
                ? text.substr(0, comma)
                : (comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1));
        const char* end = part.data() + part.size();
        const auto [ptr, ec] = std::from_chars(part.data(), end, numbers[i]);
        if (part.empty() || ec != std::errc() || ptr != end)
            return bad + "two channel numbers L,R are needed (voltage, current; e.g. 3,1)";
        if (numbers[i] < 1 || numbers[i] > ChannelChoice::kMaxChannel)
            return bad + "channels are numbered from 1 to " +
                   std::to_string(ChannelChoice::kMaxChannel);
    }
    if (numbers[0] == numbers[1]) return bad + "voltage and current need two different channels";
    choice.voltsChannel = numbers[0];
    choice.ampsChannel = numbers[1];
    return {};
}

RecordingReader::~RecordingReader() { close(); }

void RecordingReader::close() {
    if (file_) sf_close(handle(file_));
    if (resampler_) soxr_delete(resampler(resampler_));
    file_ = nullptr;
    resampler_ = nullptr;
    frames_ = 0;
    fileFrames_ = 0;
    fileRateHz_ = 0;
    fileChannels_ = 0;
    blocksRead_ = 0;
    format_ = 0;
    direct_ = true;
    fileFramesRead_ = 0;
    fileEnded_ = false;
    pendingFrames_ = 0;
    pendingTaken_ = 0;
}

std::string RecordingReader::open(const std::string& path, std::optional<ChannelChoice> channels) {
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

    const ChannelChoice choice = channels.value_or(ChannelChoice{});
    const bool rateReadable =
        sfinfo.samplerate >= kMinFileRateHz && sfinfo.samplerate <= kMaxFileRateHz;
    const std::int64_t fileFrames =
        sfinfo.frames == SF_COUNT_MAX ? SF_COUNT_MAX : promisedFrames(file, sfinfo);
    const std::int64_t frames = rateReadable && fileFrames != SF_COUNT_MAX
                                    ? framesAtCaptureRate(fileFrames, sfinfo.samplerate)
                                    : 0;
    std::string problem;
    if (sfinfo.channels < kChannels) {
        problem = "has " + plural(sfinfo.channels, "channel", "channels") +
                  ", 2 are needed (left = voltage, right = current)";
    } else if (sfinfo.channels > kChannels && !channels) {
        problem = "has " + std::to_string(sfinfo.channels) +
                  " channels; choose the voltage and current channels (--channels L,R)";
    } else if (std::max(choice.voltsChannel, choice.ampsChannel) > sfinfo.channels) {
        problem = "has " + std::to_string(sfinfo.channels) + " channels, channel " +
                  std::to_string(std::max(choice.voltsChannel, choice.ampsChannel)) + " was chosen";
    } else if (!rateReadable) {
        problem = "sample rate is " + std::to_string(sfinfo.samplerate) + " Hz; " +
                  std::to_string(kMinFileRateHz) + " to " + std::to_string(kMaxFileRateHz) +
                  " Hz can be read";
    } else if (frames < kBlockFrames) {
        problem =
            (fileFrames == SF_COUNT_MAX
                 ? std::string("length unknown")
                 : "has " + plural(frames, "frame", "frames") +
                       (sfinfo.samplerate == kSampleRateHz ? std::string() : " at 11025 Hz")) +
            ", at least 4096 (one buffer) are needed";
    }
    soxr_t converter = nullptr;
    if (problem.empty() && sfinfo.samplerate != kSampleRateHz) {
        // Doubles in and out: the file's samples are already normalised, and rounding to 16 bits
        // happens once, after resampling.
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
        soxr_error_t soxrError = nullptr;
        converter = soxr_create(sfinfo.samplerate, kSampleRateHz, kChannels, &soxrError, &io,
                                &quality, nullptr);
        if (!converter)
            problem = std::string("cannot be resampled (") + (soxrError ? soxrError : "") + ")";
    }
    if (!problem.empty()) {
        sf_close(file);
        return name + ": " + problem;
    }

    // Integer reads of integer files must never wrap; clipping keeps converted extremes at full
    // scale.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    file_ = file;
    resampler_ = converter;
    frames_ = frames;
    fileFrames_ = fileFrames;
    fileRateHz_ = sfinfo.samplerate;
    fileChannels_ = sfinfo.channels;
    format_ = sfinfo.format;
    voltsIndex_ = choice.voltsChannel - 1;
    ampsIndex_ = choice.ampsChannel - 1;
    direct_ = !converter && sfinfo.channels == kChannels && voltsIndex_ == 0;
    blocksRead_ = 0;
    if (!direct_) {
        const std::int64_t sliceFrames =
            std::max<std::int64_t>(16, 2 * kStereoSliceFrames / fileChannels_);
        fileScratch_.resize(static_cast<std::size_t>(sliceFrames * fileChannels_));
        pending_.resize(static_cast<std::size_t>(2 * sliceFrames));
        converted_.resize(kBlockValues);
    }
    return {};
}

std::int64_t RecordingReader::readChosen(double* stereo, std::int64_t frames) {
    const auto width = static_cast<std::int64_t>(fileChannels_);
    const std::int64_t sliceFrames = static_cast<std::int64_t>(fileScratch_.size()) / width;
    std::int64_t got = 0;
    while (got < frames) {
        const std::int64_t want = std::min(sliceFrames, frames - got);
        const sf_count_t n = sf_readf_double(handle(file_), fileScratch_.data(), want);
        for (sf_count_t k = 0; k < n; ++k) {
            stereo[2 * (got + k)] = fileScratch_[static_cast<std::size_t>(k * width + voltsIndex_)];
            stereo[2 * (got + k) + 1] =
                fileScratch_[static_cast<std::size_t>(k * width + ampsIndex_)];
        }
        got += n;
        if (n < want) break;
    }
    fileFramesRead_ += got;
    return got;
}

std::int64_t RecordingReader::readConverted(std::int16_t* interleaved4096Frames) {
    double* out = converted_.data();
    std::int64_t got = 0;
    if (!resampler_) {
        got = readChosen(out, kBlockFrames);
    } else {
        const std::size_t sliceFrames = pending_.size() / 2;
        while (got < kBlockFrames) {
            if (pendingTaken_ == pendingFrames_ && !fileEnded_) {
                pendingFrames_ = static_cast<std::size_t>(readChosen(pending_.data(), sliceFrames));
                pendingTaken_ = 0;
                // A short read is the end of the file or a failure (sf_error tells which); either
                // way the resampler is flushed so that the frames read so far come out.
                fileEnded_ = pendingFrames_ < sliceFrames;
            }
            // Once everything read is taken, calls without input flush the resampler's tail.
            const bool flushing = fileEnded_ && pendingTaken_ == pendingFrames_;
            std::size_t taken = 0;
            std::size_t made = 0;
            const soxr_error_t problem = soxr_process(
                resampler(resampler_), flushing ? nullptr : pending_.data() + 2 * pendingTaken_,
                pendingFrames_ - pendingTaken_, &taken, out + 2 * got,
                static_cast<std::size_t>(kBlockFrames - got), &made);
            if (problem) {
                fail(std::string("resampling failed (") + problem + ")");
                return -1;
            }
            pendingTaken_ += taken;
            got += static_cast<std::int64_t>(made);
            if (made == 0 && (flushing || taken == 0)) break;  // the end, or no progress
        }
    }
    for (std::int64_t i = 0; i < 2 * got; ++i) interleaved4096Frames[i] = toSample(out[i]);
    return got;
}

void RecordingReader::fail(const std::string& problem) { error_ = "'" + path_ + "': " + problem; }

bool RecordingReader::readBlock(std::int16_t* interleaved4096Frames) {
    if (!file_ || blocksRead_ >= blocks()) return false;
    SNDFILE* file = handle(file_);
    sf_count_t got = 0;
    if (!direct_) {
        got = readConverted(interleaved4096Frames);
        if (got < 0) return false;
    } else if (!needsConversion(format_)) {
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
        // Counted in the file's own frames, as its header counts them.
        const std::int64_t framesRead =
            direct_ ? blocksRead_ * kBlockFrames + got : fileFramesRead_;
        std::string detail = libraryError(file);
        if (sf_error(file) == SF_ERR_NO_ERROR) detail = "the file is shorter than its header says";
        fail("reading stopped after " + std::to_string(framesRead) + " of " +
             std::to_string(fileFrames_) + " frames (" + detail + ")");
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
    if (resampler_) soxr_clear(resampler(resampler_));
    blocksRead_ = 0;
    fileFramesRead_ = 0;
    fileEnded_ = false;
    pendingFrames_ = 0;
    pendingTaken_ = 0;
    error_.clear();
    return true;
}

}  // namespace acw
