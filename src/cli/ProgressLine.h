// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace acw {

// A one-line progress indicator for long headless runs, drawn on a terminal as
//
//    42%  4093/9690 buffers  0:12 left
//
// and redrawn in place (a carriage return, then the new text padded over the old) at most every
// kRedrawInterval, so that update() may be called after every buffer. finish() erases the line
// and leaves the cursor where the line began, so the terminal shows nothing of it afterwards.
//
// A disabled line never writes to its stream. forStream() enables it only when the stream is a
// terminal: with stderr redirected to a file or a pipe, scripts see exactly what they saw before.
// Where the same terminal also receives other output (the CSV on a stdout that is not
// redirected), call clear() before writing it; the next update() draws the line again.
//
// The time left is estimated from the average pace since construction: elapsed / done x
// (total - done); it shows "--:--" until the first buffer is done. With a total of 0 or less
// (not known, e.g. a live source without a buffer limit) the line shows the buffers and the time
// so far instead.
//
// Order of calls: construct; update() any number of times with counts that do not decrease;
// clear() at any time; finish() once (the destructor calls it, later calls do nothing). Not
// thread-safe: one thread writes the stream through it.
class ProgressLine {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kRedrawInterval{100};

    // `start` is the moment the work began; elapsed and remaining times count from it.
    ProgressLine(std::FILE* stream, std::int64_t totalBuffers, bool enabled,
                 Clock::time_point start = Clock::now());
    // Enabled when `stream` is a terminal.
    static ProgressLine forStream(std::FILE* stream, std::int64_t totalBuffers);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    bool enabled() const { return enabled_; }

    // `buffersDone` buffers are done. Costs a clock read and a comparison, except on the calls
    // that redraw: the first, then at most one per kRedrawInterval.
    void update(std::int64_t buffersDone) {
        if (enabled_) update(buffersDone, Clock::now());
    }
    // The same with the time given (a caller that has it already, and tests).
    void update(std::int64_t buffersDone, Clock::time_point now);

    // Erases the line now; the next update() draws it again at once.
    void clear();
    // Erases the line for good and flushes the stream; update() does nothing afterwards.
    void finish();

    // The text of the line (no carriage return, no padding) for `done` of `total` buffers after
    // `elapsedS` seconds.
    static std::string text(std::int64_t done, std::int64_t total, double elapsedS);

private:
    void write(const std::string& text);

    std::FILE* stream_;
    std::int64_t total_;
    bool enabled_;
    Clock::time_point start_;
    Clock::time_point lastDraw_{};
    bool drawn_ = false;          // some text of the line is on the terminal
    bool drawNext_ = true;        // the next update() draws whatever the time
    std::size_t shownChars_ = 0;  // length of the text on the terminal
};

}  // namespace acw
