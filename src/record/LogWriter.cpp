// SPDX-License-Identifier: GPL-3.0-or-later
#include "record/LogWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "record/OutputFile.h"
#include "record/WriterQueue.h"

namespace acw {

namespace {
constexpr std::size_t kMaxPieceBytes = 64 * 1024;
}  // namespace

// Appends the queued text to the open file; runs on the writer thread after start.
class LogFileSink final : public WriterSink<char> {
public:
    LogFileSink(std::string path, int fd, off_t length, std::size_t queueBytes)
        : path_(std::move(path)),
          fd_(fd),
          length_(length),
          lineEnd_(length),
          queueBytes_(queueBytes) {}
    ~LogFileSink() override {
        if (fd_ >= 0) ::close(fd_);
    }

    std::string write(std::span<const char> text) override {
        std::size_t written = 0;
        const int error = writeAll(fd_, text.data(), text.size(), written);
        if (const void* lastBreak = written ? ::memrchr(text.data(), '\n', written) : nullptr)
            lineEnd_ = length_ + (static_cast<const char*>(lastBreak) - text.data()) + 1;
        length_ += static_cast<off_t>(written);
        if (error != 0) {
            // Cut off a line written in part, so that the log ends with a whole line.
            if (length_ > lineEnd_ && ::ftruncate(fd_, lineEnd_) == 0) length_ = lineEnd_;
            return stopped(systemReason(error));
        }
        const std::string gone = checkStillAtPath(absolutePath_, fd_);
        return gone.empty() ? std::string() : stopped(gone);
    }

    std::string finish() override {
        const int result = ::close(fd_);
        const int error = errno;
        fd_ = -1;
        return result == 0 ? std::string() : stopped(systemReason(error));
    }

    std::string overflowReason() override {
        return stopped("the disk did not keep up (" + std::to_string(queueBytes_ >> 10) +
                       " KiB of lines were waiting)");
    }

private:
    std::string stopped(const std::string& reason) const {
        return "Logging to '" + path_ + "' stopped: " + reason;
    }

    std::string path_;
    const std::string absolutePath_ = absolutePath(path_);  // for the check that it is still there
    int fd_;
    off_t length_;   // bytes in the file
    off_t lineEnd_;  // up to the end of its last complete line
    std::size_t queueBytes_;
};

LogWriter::LogWriter(std::size_t queueBytes) : queueBytes_(queueBytes) {}

LogWriter::~LogWriter() { close(); }

std::string LogWriter::open(const std::string& path, std::string_view headerLine) {
    close();
    if (queue_) queue_->takeFailure();
    path_ = path;
    bool created = false;
    std::string error;
    const int fd = openOutputFile(path, O_RDWR | O_APPEND, error, created);
    if (fd < 0) return error;

    const auto fail = [&](const std::string& problem) {
        ::close(fd);
        return "'" + path + "': " + problem;
    };
    struct stat info {};
    if (::fstat(fd, &info) != 0) return fail("cannot be checked (" + systemReason(errno) + ")");
    std::string start;
    if (info.st_size == 0) {
        start = headerLine;
        if (!start.empty() && start.back() != '\n') start += '\n';
    } else {
        char last = '\n';
        if (::pread(fd, &last, 1, info.st_size - 1) != 1)
            return fail("cannot be read (" + systemReason(errno) + ")");
        if (last != '\n') start.assign(1, '\n');
    }
    std::size_t written = 0;
    if (const int writeError = writeAll(fd, start.data(), start.size(), written)) {
        // A header written in part is cut off again; the failure is reported either way.
        if (written > 0 && ::ftruncate(fd, info.st_size) != 0) {
        }
        return fail("cannot be written (" + systemReason(writeError) + ")");
    }

    if (!queue_) queue_ = std::make_unique<WriterQueue<char>>(queueBytes_, kMaxPieceBytes);
    sink_ = std::make_unique<LogFileSink>(path, fd, info.st_size + static_cast<off_t>(written),
                                          queueBytes_);
    queue_->start(*sink_);
    return {};
}

void LogWriter::append(std::string_view line) {
    if (!queue_ || line.empty()) return;
    const bool complete = line.back() == '\n';
    queue_->push(std::span<const char>(line.data(), line.size()),
                 std::span<const char>("\n", complete ? 0 : 1));
}

void LogWriter::close() {
    if (queue_) queue_->stop();
    sink_.reset();
}

bool LogWriter::isOpen() const { return queue_ && queue_->running(); }

std::optional<std::string> LogWriter::takeFailure() {
    return queue_ ? queue_->takeFailure() : std::nullopt;
}

}  // namespace acw
