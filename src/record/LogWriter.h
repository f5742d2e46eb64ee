// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace acw {

class LogFileSink;
template <typename T>
class WriterQueue;

// Appends lines of text (the readings log, one CSV line per measured buffer) to a file from a
// writer thread of its own, so that the measuring thread never waits for the disk.
//
// Lines are handed to the system as soon as the writer thread finds them queued, with no
// buffering in the program, so a crash of the program loses at most the lines still queued (a
// few microseconds' worth). The file is not synced to the disk line by line.
// An existing file is appended to and keeps its content; the header line is written only into a
// new or empty file. A failing write (a full disk, a file too large, a removed folder) stops the
// logging for good: the file keeps every complete line written before (a line written in part
// is cut off again) and takeFailure() gives the reason. So does a queue overflow, which needs
// the disk to stall for far longer than a minute at the rate of one line per buffer; it is
// reported once the lines queued before it are written.
//
// Threads and order: open(), then append() for each line, then close(); open() may follow
// close() for another file. open() and close() must not overlap any other call on the object.
// Between them, append() runs on one thread (the measuring one) while isOpen() and
// takeFailure() may be called from any thread.
class LogWriter {
public:
    static constexpr std::size_t kDefaultQueueBytes = std::size_t{1} << 20;

    // `queueBytes` is the room for lines waiting for the disk, allocated by the first open().
    explicit LogWriter(std::size_t queueBytes = kDefaultQueueBytes);
    // Closes a log that is still open (see close()).
    ~LogWriter();
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    // Opens `path` for appending, creating it if needed, and writes `headerLine` (a '\n' is
    // added when it lacks one) if the file is new or empty. When an existing file does not end
    // with a line break, one is added first so that no line is glued to an older one. Returns ""
    // on success, or a one-line message naming the file (missing folder, no permission, a
    // folder or other non-regular file, a failed header write); then nothing runs. Closes a
    // log that is still open first and discards a failure that was not taken.
    std::string open(const std::string& path, std::string_view headerLine);

    // Queues one line (a '\n' is added when it lacks one): copies it and returns at once, never
    // waiting for the disk and never allocating. Ignored when no log is open or the logging has
    // stopped; a line that finds the queue full stops the logging (an overflow).
    void append(std::string_view line);

    // Writes every queued line, closes the file and ends the writer thread. Blocks until the
    // queued lines are on their way to the disk (as long as the disk takes). A failure of these
    // last writes or of closing the file is left for takeFailure(). Does nothing when closed.
    void close();

    // True from a successful open() until close(), or until the logging stopped early (the
    // reason is then ready for takeFailure()).
    bool isOpen() const;
    const std::string& path() const { return path_; }

    // Why the logging stopped early, e.g. "Logging to '/data/log.csv' stopped: No space left on
    // device"; given once, then empty. Stays available after close().
    std::optional<std::string> takeFailure();

private:
    std::size_t queueBytes_;
    std::string path_;
    std::unique_ptr<LogFileSink> sink_;
    std::unique_ptr<WriterQueue<char>> queue_;
};

}  // namespace acw
