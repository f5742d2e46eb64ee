#pragma once

#include <cstdint>
#include <string>

namespace acw {

// Reads a stereo recording of the adaptor (left = voltage, right = current) and delivers it as
// the capture cycle delivers the line input: blocks of 4096 frames, interleaved left/right as
// signed 16-bit samples (frame k in values 2k and 2k + 1).
//
// Any file format and sample format that libsndfile reads is accepted; 8-bit, 24-bit, 32-bit and
// floating-point samples are converted to 16 bits (floating-point samples beyond full scale are
// clipped to -32768..32767, not wrapped). The recording must have 2 channels, 11025 frames per
// second and at least one whole block (4096 frames).
//
// Order of calls: open(); then readBlock() until it returns false; rewind() starts again at the
// first frame. open() may be called again at any time (the previous file is closed first).
// Not thread-safe; one reader per thread.
class RecordingReader {
public:
    static constexpr int kBlockFrames = 4096;
    static constexpr int kBlockValues = 2 * kBlockFrames;

    RecordingReader() = default;
    ~RecordingReader();
    RecordingReader(const RecordingReader&) = delete;
    RecordingReader& operator=(const RecordingReader&) = delete;

    // Opens and checks the recording. Returns "" on success; otherwise a one-line message that
    // names the file and the problem (missing, unreadable, not an audio file, not 2 channels, a
    // sample rate other than 11025 Hz, fewer than 4096 frames) and leaves the reader closed.
    std::string open(const std::string& path);
    void close();
    bool isOpen() const { return file_ != nullptr; }

    const std::string& path() const { return path_; }
    // Frames in the recording (0 when closed).
    std::int64_t frames() const { return frames_; }
    // Whole blocks in the recording: a last partial block is never delivered.
    std::int64_t blocks() const { return frames_ / kBlockFrames; }
    // Blocks delivered since open() or rewind().
    std::int64_t blocksRead() const { return blocksRead_; }

    // Writes the next block, 8192 values, into `interleaved4096Frames` and returns true. Returns
    // false, writing nothing the caller may rely on, at the end of the whole blocks, when the
    // reader is closed, or when reading fails; after a failure error() holds a one-line message
    // naming the file, and it stays "" at a normal end.
    bool readBlock(std::int16_t* interleaved4096Frames);

    // Starts again at the first frame. Returns false (with error() set) when the file cannot be
    // rewound or the reader is closed.
    bool rewind();

    // The last read or rewind failure; "" when there was none since open().
    const std::string& error() const { return error_; }

private:
    void fail(const std::string& problem);

    void* file_ = nullptr;  // SNDFILE*, kept out of this header
    std::string path_;
    std::int64_t frames_ = 0;
    int format_ = 0;  // libsndfile's format code of the open file
    std::int64_t blocksRead_ = 0;
    std::string error_;
};

}  // namespace acw
