#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace acw {

// Which channels of a recording carry the voltage and the current, numbered from 1 (the
// command line's "--channels L,R"). The default is the adaptor's own layout: 1 = left = voltage,
// 2 = right = current.
struct ChannelChoice {
    static constexpr int kMaxChannel = 1024;  // libsndfile reads no more channels than this

    int voltsChannel = 1;
    int ampsChannel = 2;
};

// Reads "L,R" (two different whole numbers from 1 to 1024, voltage first, e.g. "3,1") into
// `choice`. Returns "" on success; otherwise a one-line message naming the value and what is
// needed, and `choice` is left unchanged. Whether the recording has that many channels is found
// out by RecordingReader::open().
std::string parseChannelChoice(std::string_view text, ChannelChoice& choice);

// Reads a recording of the adaptor (left = voltage, right = current, or the channels chosen) and
// delivers it as the capture cycle delivers the line input: blocks of 4096 frames at 11025 Hz,
// interleaved voltage/current as signed 16-bit samples (frame k in values 2k and 2k + 1).
//
// Any file format and sample format that libsndfile reads is accepted; 8-bit, 24-bit, 32-bit and
// floating-point samples are converted to 16 bits (floating-point samples beyond full scale are
// clipped to -32768..32767, not wrapped). The recording must have at least one whole block
// (4096 frames at 11025 Hz) and 2 channels, or more with a ChannelChoice naming the voltage and
// current channels.
//
// Recordings at 11025 frames per second are delivered as they are stored. Any other rate from
// 8000 to 192000 Hz is resampled to 11025 Hz (libsoxr, very high quality: flat to about 5 kHz,
// linear phase, the filter's delay taken out), so that a recording of the same signal at 44100
// or 48000 Hz gives the same blocks and readings as one made at 11025 Hz, up to the resampler's
// and the 16-bit rounding's error. Counts of frames and blocks are then counts at 11025 Hz.
//
// A recording cut short (a WAV or AIFF file whose header promises more sample data than the file
// holds: a full disk, an interrupted copy) is opened with the length its header promises; the
// whole blocks that are there are delivered, and then readBlock() fails with "reading stopped
// after N of M frames (the file is shorter than its header says)", N and M counted in the file's
// own frames. A header that gives 0xFFFFFFFF bytes (a file written as a stream, its length never
// filled in) is read to its end as complete.
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
    // names the file and the problem (missing, unreadable, not an audio file, 1 channel (the
    // message says that left must be voltage and right current), more than 2 channels without
    // `channels`, a chosen channel the file does not have, a sample rate outside 8000..192000 Hz,
    // fewer than 4096 frames at 11025 Hz) and leaves the reader closed. Without `channels` the
    // recording must be stereo, left = voltage and right = current.
    std::string open(const std::string& path, std::optional<ChannelChoice> channels = std::nullopt);
    void close();
    bool isOpen() const { return file_ != nullptr; }

    const std::string& path() const { return path_; }
    // Frames at 11025 Hz in the recording, as far as its header promises (0 when closed).
    std::int64_t frames() const { return frames_; }
    // The recording's own sample rate and number of channels (0 when closed).
    int fileSampleRateHz() const { return fileRateHz_; }
    int fileChannels() const { return fileChannels_; }
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
    // Reads up to `frames` frames of the file and writes the two chosen channels, interleaved
    // voltage/current and normalised to +-1.0, into `stereo`. Returns the frames read.
    std::int64_t readChosen(double* stereo, std::int64_t frames);
    // The next block through the channel choice and the resampler; returns the frames written.
    std::int64_t readConverted(std::int16_t* interleaved4096Frames);

    void* file_ = nullptr;       // SNDFILE*, kept out of this header
    void* resampler_ = nullptr;  // soxr_t while the file's rate is not 11025 Hz
    std::string path_;
    std::int64_t frames_ = 0;
    std::int64_t fileFrames_ = 0;  // frames the file's header promises, at the file's rate
    int fileRateHz_ = 0;
    int fileChannels_ = 0;
    int format_ = 0;  // libsndfile's format code of the open file
    // True when the file is stereo, voltage left, at 11025 Hz: blocks are read straight through.
    bool direct_ = true;
    int voltsIndex_ = 0;  // 0-based channels of the choice
    int ampsIndex_ = 1;
    std::int64_t blocksRead_ = 0;
    std::int64_t fileFramesRead_ = 0;  // frames taken from the file since open() or rewind()
    bool fileEnded_ = false;           // the file gave no more frames; the resampler is flushed
    std::vector<double> fileScratch_;  // one slice of every channel of the file
    std::vector<double> pending_;      // chosen frames read but not yet taken by the resampler
    std::size_t pendingFrames_ = 0;
    std::size_t pendingTaken_ = 0;
    std::vector<double> converted_;  // one block, interleaved, normalised
    std::string error_;
};

}  // namespace acw
