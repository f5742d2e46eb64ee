// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/MeasuringCalibration.h"

#include <sys/stat.h>

#include <QFile>
#include <QStandardPaths>
#include <QString>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "settings/SettingsFile.h"

namespace acw {

namespace {

// The ten values of a settings file fit in far less; a larger file is read only this far.
constexpr std::size_t kSettingsReadLimit = 64 * 1024;

std::string inQuotes(const std::string& path) { return "'" + path + "'"; }

std::string systemReason(int error) { return std::string(" (") + std::strerror(error) + ")"; }

// Reads at most kSettingsReadLimit bytes of a regular file. Returns "" or the problem. Anything
// but a regular file is refused before it is opened: opening a pipe waits for a writer forever.
std::string readSmallFile(const std::string& path, std::string& text) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return "settings file not found";
        return "settings file cannot be read" + systemReason(errno);
    }
    if (S_ISDIR(info.st_mode)) return "is a folder, not a settings file";
    if (!S_ISREG(info.st_mode)) return "is not a regular file, not a settings file";
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return "settings file cannot be read" + systemReason(errno);
    text.resize(kSettingsReadLimit);
    const std::size_t n = std::fread(text.data(), 1, text.size(), file);
    const bool failed = std::ferror(file) != 0;
    const int readErrno = errno;
    std::fclose(file);
    if (failed) return "settings file cannot be read" + systemReason(readErrno);
    text.resize(n);
    return {};
}

double startUpDivisor(double value) { return value == 0.0 || std::isnan(value) ? 1.0 : value; }

}  // namespace

std::string userSettingsPath() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (folder.isEmpty()) return {};
    return QFile::encodeName(folder + QStringLiteral("/wattmeter.ini")).toStdString();
}

std::string loadCalibration(const std::optional<std::string>& settingsPath,
                            CalibrationDivisors& divisors, std::string& warning) {
    divisors = CalibrationDivisors{};
    warning.clear();
    std::string text;
    SettingsValues values;
    // A divisor the file does not hold stays NaN: the reader takes only finite numbers.
    values.voltsCal = values.ampsCal = std::numeric_limits<double>::quiet_NaN();
    if (settingsPath) {
        const std::string problem = readSmallFile(*settingsPath, text);
        if (!problem.empty()) return inQuotes(*settingsPath) + ": " + problem;
        readSettingsText(text, values);
        // A file the user named for its calibration must hold one: a recording or any other
        // file given by mistake would otherwise measure silently uncalibrated.
        if (std::isnan(values.voltsCal) || std::isnan(values.ampsCal)) {
            const bool volts = std::isnan(values.voltsCal);
            return inQuotes(*settingsPath) + ": line " + (volts ? "9" : "10") + " holds no " +
                   (volts ? "voltage" : "current") + " calibration; is this a settings file?";
        }
    } else {
        const std::string path = userSettingsPath();
        struct stat info {};
        if (path.empty() || ::stat(path.c_str(), &info) != 0) return {};
        const std::string problem = readSmallFile(path, text);
        if (!problem.empty()) {
            warning = inQuotes(path) + ": " + problem + "; measuring with calibration 1";
            return {};
        }
        readSettingsText(text, values);
    }
    divisors.voltsCal = startUpDivisor(values.voltsCal);
    divisors.ampsCal = startUpDivisor(values.ampsCal);
    return {};
}

}  // namespace acw
