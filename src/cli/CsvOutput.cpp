// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CsvOutput.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "measure/CsvRow.h"
#include "session/MeasurementSession.h"

namespace acw {

namespace {

// Output into a file is handed to stdio in chunks of about this size.
constexpr std::size_t kOutputChunk = 1 << 20;

bool isPipeOrTerminal(std::FILE* out) {
    const int fd = ::fileno(out);
    if (fd < 0) return false;
    if (::isatty(fd)) return true;
    struct stat info {};
    return ::fstat(fd, &info) == 0 && (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode));
}

}  // namespace

CsvOutput::CsvOutput(std::FILE* out, MeasurementSession* session, CsvLayout layout,
                     Flushing flushing)
    : out_(out),
      session_(session),
      layout_(layout),
      perLine_(flushing == Flushing::PerLine ||
               (flushing == Flushing::Auto && isPipeOrTerminal(out))) {
    buffer_.reserve(perLine_ ? 4096 : kOutputChunk + 4096);
}

void CsvOutput::captureStarted() {
    buffer_ += csvHeader(layout_);
    if (perLine_) write();
}

void CsvOutput::measured(const Measurement& m) {
    if (failed_) return;
    appendCsvRow(buffer_, m, layout_);
    ++lines_;
    if (perLine_ || buffer_.size() >= kOutputChunk) write();
    if (failed_ && session_ != nullptr) session_->stopUnpaced();
}

void CsvOutput::write() {
    if (!failed_ && !buffer_.empty()) {
        if (std::fwrite(buffer_.data(), 1, buffer_.size(), out_) != buffer_.size()) fail();
        if (!failed_ && perLine_ && std::fflush(out_) != 0) fail();
    }
    buffer_.clear();
}

bool CsvOutput::finish() {
    write();
    if (!failed_ && std::fflush(out_) != 0) fail();
    return !failed_;
}

void CsvOutput::fail() {
    failed_ = true;
    problem_ = std::string("writing the output failed (") + std::strerror(errno) + ")";
}

}  // namespace acw
