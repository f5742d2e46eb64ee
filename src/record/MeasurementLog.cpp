// SPDX-License-Identifier: GPL-3.0-or-later
#include "record/MeasurementLog.h"

#include <ctime>

#include "measure/CsvRow.h"

namespace acw {

namespace {

constexpr CsvLayout kLogColumns{true, false, true};

}  // namespace

std::string ReadingsLog::open(const std::string& path) {
    line_.reserve(1024);
    return writer_.open(path, "local_time," + csvHeader(kLogColumns));
}

void ReadingsLog::formatLine(std::string& out, const Measurement& m,
                             std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count() %
        1000;
    std::tm local{};
    ::localtime_r(&seconds, &local);
    char stamp[48];
    std::size_t n = std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &local);
    char zone[8];
    std::strftime(zone, sizeof zone, "%z", &local);  // "+0100"
    n += static_cast<std::size_t>(
        std::snprintf(stamp + n, sizeof stamp - n, ".%03d%.3s:%.2s",
                      static_cast<int>(millis < 0 ? millis + 1000 : millis), zone, zone + 3));
    out.assign(stamp, n);
    out.push_back(',');
    appendCsvRow(out, m, kLogColumns);
}

void ReadingsLog::measured(const Measurement& m) {
    if (!writer_.isOpen()) return;
    formatLine(line_, m, std::chrono::system_clock::now());
    writer_.append(line_);
}

void InputRecording::measured(const Measurement& m) {
    if (!recorder_.isOpen() || m.capturedFrames.size() < InputRecorder::kBufferValues) return;
    recorder_.append(m.capturedFrames.first<InputRecorder::kBufferValues>());
}

}  // namespace acw
