// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ProgressLine.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>

namespace acw {

namespace {

// "m:ss" under an hour, "h:mm:ss" from an hour on.
std::string clockText(double seconds) {
    const auto total = static_cast<std::int64_t>(std::max(0.0, std::round(seconds)));
    const std::int64_t h = total / 3600;
    const std::int64_t m = total / 60 % 60;
    const std::int64_t s = total % 60;
    char text[48];
    if (h > 0)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(h),
                      static_cast<long long>(m), static_cast<long long>(s));
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(m),
                      static_cast<long long>(s));
    return text;
}

}  // namespace

ProgressLine::ProgressLine(std::FILE* stream, std::int64_t totalBuffers, bool enabled,
                           Clock::time_point start)
    : stream_(stream), total_(totalBuffers), enabled_(enabled && stream), start_(start) {}

ProgressLine ProgressLine::forStream(std::FILE* stream, std::int64_t totalBuffers) {
    const bool terminal = stream && ::isatty(::fileno(stream)) == 1;
    return ProgressLine(stream, totalBuffers, terminal);
}

ProgressLine::~ProgressLine() { finish(); }

std::string ProgressLine::text(std::int64_t done, std::int64_t total, double elapsedS) {
    const std::string count = std::to_string(done);
    if (total <= 0) return count + " buffers  " + clockText(elapsedS);
    const std::int64_t shown = std::clamp<std::int64_t>(done, 0, total);
    const auto percent = static_cast<int>(static_cast<double>(shown) * 100.0 / total);
    char head[16];
    std::snprintf(head, sizeof head, "%3d%%", percent);
    const std::string left =
        shown > 0 ? clockText(elapsedS / shown * static_cast<double>(total - shown)) : "--:--";
    return std::string(head) + "  " + std::to_string(shown) + "/" + std::to_string(total) +
           " buffers  " + left + " left";
}

void ProgressLine::update(std::int64_t buffersDone, Clock::time_point now) {
    if (!enabled_ || (!drawNext_ && now - lastDraw_ < kRedrawInterval)) return;
    const double elapsedS = std::chrono::duration<double>(now - start_).count();
    write(text(buffersDone, total_, elapsedS));
    lastDraw_ = now;
    drawNext_ = false;
}

void ProgressLine::clear() {
    if (enabled_ && drawn_) {
        write("");
        drawn_ = false;
    }
    drawNext_ = true;
}

void ProgressLine::finish() {
    clear();
    if (enabled_) std::fflush(stream_);
    enabled_ = false;
}

void ProgressLine::write(const std::string& text) {
    // The new text, then spaces over whatever is left of the longer old one, and the cursor back
    // to the start of the line, where anything written next begins.
    std::string line = "\r" + text;
    if (shownChars_ > text.size()) line.append(shownChars_ - text.size(), ' ');
    line += '\r';
    std::fputs(line.c_str(), stream_);
    std::fflush(stream_);
    shownChars_ = text.size();
    drawn_ = !text.empty();
}

}  // namespace acw
