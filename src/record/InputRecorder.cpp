// SPDX-License-Identifier: GPL-3.0-or-later
#include "record/InputRecorder.h"

#include <fcntl.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cerrno>
#include <cstdio>

#include "record/OutputFile.h"
#include "record/WriterQueue.h"

namespace acw {

namespace {

constexpr int kSampleRateHz = 11025;
constexpr int kChannels = 2;
constexpr int kFrameBytes = kChannels * 2;
constexpr std::size_t kPieceBuffers = 16;  // buffers handed to the file at a time
// A WAV file counts its bytes in 32 bits: the recording stops on the last whole buffer that
// fits, leaving room for the header.
constexpr std::uint64_t kMaxWavFrames = (0xFFFFFFFFull - 4096) / kFrameBytes /
                                        InputRecorder::kBufferFrames * InputRecorder::kBufferFrames;

// Samples per channel in the FLAC frame that `bytes` starts with; 0 when it is no frame (the
// stream marker and the metadata blocks start otherwise).
std::uint32_t flacFrameSamples(const unsigned char* bytes, std::size_t size) {
    if (size < 8 || bytes[0] != 0xFF || (bytes[1] & 0xFE) != 0xF8) return 0;
    const unsigned code = bytes[2] >> 4;
    if (code == 1) return 192;
    if (code >= 2 && code <= 5) return 576u << (code - 2);
    if (code >= 8) return 256u << (code - 8);
    if (code != 6 && code != 7) return 0;
    // The block size follows the frame number, which is coded like UTF-8 (1 to 7 bytes).
    const std::size_t at = 4 + std::max(1, std::countl_one(bytes[4]));
    if (at + 1 >= size) return 0;
    return code == 6 ? bytes[at] + 1u : (bytes[at] << 8 | bytes[at + 1]) + 1u;
}

// Ends the FLAC stream header of an interrupted file: the total length in frames (the encoder
// stops updating it after a failed write) and an empty checksum (the encoder's covers frames
// that never reached the file). Only bytes the file already has are rewritten.
void completeFlacHeader(int fd, std::uint64_t frames) {
    unsigned char head[42];
    if (::pread(fd, head, sizeof head, 0) != static_cast<ssize_t>(sizeof head)) return;
    if (std::string_view(reinterpret_cast<const char*>(head), 4) != "fLaC" || (head[4] & 0x7F) != 0)
        return;  // no stream information block where it belongs
    head[21] = static_cast<unsigned char>((head[21] & 0xF0) | ((frames >> 32) & 0x0F));
    for (int i = 0; i < 4; ++i) head[22 + i] = static_cast<unsigned char>(frames >> (24 - 8 * i));
    std::fill(head + 26, head + 42, 0);
    std::size_t written = 0;
    writeAll(fd, reinterpret_cast<const char*>(head + 21), 21, written, 21);
}

}  // namespace

// Writes the queued buffers through libsndfile into the open file, on the writer thread after
// open(). libsndfile reaches the file only through the virtual I/O below, which sees each WAV
// buffer and each FLAC frame as one write: a write that fails is taken back whole, so the file
// always ends on a whole buffer or a whole frame.
class SoundFileSink final : public WriterSink<std::int16_t> {
public:
    SoundFileSink(std::string path, bool flac, std::size_t queueBuffers,
                  std::atomic<std::uint64_t>& frames)
        : path_(std::move(path)), flac_(flac), queueBuffers_(queueBuffers), frames_(frames) {}
    ~SoundFileSink() override { release(); }

    // Takes over `fd` and starts the file (libsndfile writes the header now or, for FLAC, with
    // the first frames). Returns "" or the problem.
    std::string start(int fd) {
        fd_ = fd;
        SF_INFO info{};
        info.samplerate = kSampleRateHz;
        info.channels = kChannels;
        info.format = (flac_ ? SF_FORMAT_FLAC : SF_FORMAT_WAV) | SF_FORMAT_PCM_16;
        static SF_VIRTUAL_IO io{&SoundFileSink::fileLength, &SoundFileSink::seek,
                                &SoundFileSink::read, &SoundFileSink::write, &SoundFileSink::tell};
        file_ = sf_open_virtual(&io, SFM_WRITE, &info, this);
        if (!file_) {
            return "cannot be written (" +
                   (error_ ? systemReason(error_) : std::string(sf_strerror(nullptr))) + ")";
        }
        // A WAV header that always gives the current length keeps the file readable even when
        // the program ends without closing it.
        if (!flac_) sf_command(file_, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
        return {};
    }

    std::string write(std::span<const std::int16_t> values) override {
        for (std::size_t at = 0; at + InputRecorder::kBufferValues <= values.size();
             at += InputRecorder::kBufferValues) {
            if (!flac_ && frames_.load() + InputRecorder::kBufferFrames > kMaxWavFrames)
                return stopped("a WAV file holds at most 4 GiB; record to .flac for longer");
            const sf_count_t n =
                sf_writef_short(file_, values.data() + at, InputRecorder::kBufferFrames);
            if (!flac_ && n > 0) frames_.fetch_add(static_cast<std::uint64_t>(n));
            if (n != InputRecorder::kBufferFrames || failed_) return stopped(failureReason());
        }
        const std::string gone = checkStillAtPath(absolutePath_, fd_);
        return gone.empty() ? std::string() : stopped(gone);
    }

    std::string finish() override {
        const bool failedBefore = failed_;
        const int closed = sf_close(file_);  // writes the last FLAC frame and the final header
        file_ = nullptr;
        if (flac_ && failed_) completeFlacHeader(fd_, frames_.load());
        std::string reason;
        if (failed_ && !failedBefore) reason = stopped(failureReason());
        if (reason.empty() && !failed_ && closed != SF_ERR_NO_ERROR)
            reason = stopped(sf_error_number(closed));
        const int result = ::close(fd_);
        const int error = errno;
        fd_ = -1;
        if (reason.empty() && result != 0) reason = stopped(systemReason(error));
        return reason;
    }

    std::string overflowReason() override {
        const auto seconds = queueBuffers_ * InputRecorder::kBufferFrames / kSampleRateHz;
        return stopped("the disk did not keep up (" + std::to_string(seconds) +
                       " s of input were waiting)");
    }

private:
    void release() {
        if (file_) sf_close(file_);
        if (fd_ >= 0) ::close(fd_);
        file_ = nullptr;
        fd_ = -1;
    }

    std::string failureReason() const {
        if (error_) return systemReason(error_);
        return file_ ? sf_strerror(file_) : "the file could not be completed";
    }

    std::string stopped(const std::string& reason) const {
        const std::uint64_t frames = frames_.load();
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", static_cast<double>(frames) / kSampleRateHz);
        return "Recording to '" + path_ + "' stopped after " + std::to_string(frames) +
               " frames (" + seconds + " s): " + reason;
    }

    static SoundFileSink& self(void* user) { return *static_cast<SoundFileSink*>(user); }
    static sf_count_t fileLength(void* user) { return self(user).length_; }
    static sf_count_t tell(void* user) { return self(user).position_; }

    static sf_count_t seek(sf_count_t offset, int whence, void* user) {
        SoundFileSink& sink = self(user);
        const sf_count_t base = whence == SEEK_SET   ? 0
                                : whence == SEEK_CUR ? sink.position_
                                                     : sink.length_;
        if (base + offset < 0) return -1;
        return sink.position_ = base + offset;
    }

    static sf_count_t read(void* to, sf_count_t bytes, void* user) {
        SoundFileSink& sink = self(user);
        const ssize_t n = ::pread(sink.fd_, to, static_cast<std::size_t>(bytes), sink.position_);
        if (n <= 0) return 0;
        sink.position_ += n;
        return n;
    }

    static sf_count_t write(const void* from, sf_count_t bytes, void* user) {
        SoundFileSink& sink = self(user);
        const sf_count_t start = sink.position_;
        // After a failure nothing more is added; the header may still be rewritten in place.
        if (sink.failed_ && start + bytes > sink.length_) return 0;
        std::size_t written = 0;
        const int error = writeAll(sink.fd_, static_cast<const char*>(from),
                                   static_cast<std::size_t>(bytes), written, start);
        if (error != 0) {
            sink.failed_ = true;
            if (!sink.error_) sink.error_ = error;
            // Take back what this write added in part.
            if (start + static_cast<sf_count_t>(written) > sink.length_ &&
                ::ftruncate(sink.fd_, sink.length_) != 0) {
            }
            return 0;
        }
        sink.position_ = start + bytes;
        sink.length_ = std::max(sink.length_, sink.position_);
        if (sink.flac_) {
            sink.frames_.fetch_add(flacFrameSamples(static_cast<const unsigned char*>(from),
                                                    static_cast<std::size_t>(bytes)));
        }
        return bytes;
    }

    const std::string path_;
    const std::string absolutePath_ = absolutePath(path_);  // for the check that it is still there
    const bool flac_;
    const std::size_t queueBuffers_;
    std::atomic<std::uint64_t>& frames_;
    int fd_ = -1;
    SNDFILE* file_ = nullptr;
    sf_count_t position_ = 0;
    sf_count_t length_ = 0;
    bool failed_ = false;  // a write failed: the file takes nothing more
    int error_ = 0;        // the system's reason for the first failure
};

InputRecorder::InputRecorder(std::size_t queueBuffers)
    : queueBuffers_(std::max<std::size_t>(1, queueBuffers)) {}

InputRecorder::~InputRecorder() { close(); }

std::string InputRecorder::open(const std::string& path) {
    close();
    if (queue_) queue_->takeFailure();
    path_ = path;
    framesWritten_.store(0);

    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    std::string extension;
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension.empty())
        return "'" + path + "': no recording format given (name the file .wav or .flac)";
    if (extension != "wav" && extension != "flac") {
        return "'" + path + "': unknown recording format '." + path.substr(dot + 1) +
               "' (use .wav or .flac)";
    }

    std::string error;
    bool created = false;
    const int fd = openOutputFile(path, O_RDWR | O_TRUNC, error, created);
    if (fd < 0) return error;
    auto sink =
        std::make_unique<SoundFileSink>(path, extension == "flac", queueBuffers_, framesWritten_);
    if (std::string problem = sink->start(fd); !problem.empty()) {
        sink.reset();
        if (created) ::unlink(path.c_str());
        return "'" + path + "': " + problem;
    }
    if (!queue_) {
        queue_ = std::make_unique<WriterQueue<std::int16_t>>(queueBuffers_ * kBufferValues,
                                                             kPieceBuffers * kBufferValues);
    }
    sink_ = std::move(sink);
    queue_->start(*sink_);
    return {};
}

void InputRecorder::append(std::span<const std::int16_t, kBufferValues> buffer) {
    if (queue_) queue_->push(buffer);
}

void InputRecorder::close() {
    if (queue_) queue_->stop();
    sink_.reset();
}

bool InputRecorder::isOpen() const { return queue_ && queue_->running(); }

std::optional<std::string> InputRecorder::takeFailure() {
    return queue_ ? queue_->takeFailure() : std::nullopt;
}

}  // namespace acw
