#include "app/HeadlessMeasure.h"

#include <QFile>
#include <QStandardPaths>
#include <QString>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <memory>
#include <span>

#include "app/SettingsFile.h"
#include "capture/RecordingReader.h"
#include "measure/MeasurementEngine.h"
#include "measure/SyntheticSignal.h"

namespace acw {

namespace {

constexpr const char* kProgram = "ac-wattmeter: ";
// The ten values of a settings file fit in far less; a larger file is read only this far, so a
// wrong path to a huge file (or a device) cannot hang or exhaust memory.
constexpr std::size_t kSettingsReadLimit = 64 * 1024;
// Output is handed to stdio in chunks of about this size.
constexpr std::size_t kOutputChunk = 1 << 20;

std::string inQuotes(const std::string& path) { return "'" + path + "'"; }

// Reads at most kSettingsReadLimit bytes of a regular file. Returns "" or the problem.
std::string readSmallFile(const std::string& path, std::string& text) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) return "settings file not found";
    if (std::filesystem::is_directory(status)) return "is a folder, not a settings file";
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return std::string("settings file cannot be read (") + std::strerror(errno) + ")";
    text.resize(kSettingsReadLimit);
    const std::size_t n = std::fread(text.data(), 1, text.size(), file);
    const bool failed = std::ferror(file) != 0;
    const int readErrno = errno;
    std::fclose(file);
    if (failed)
        return std::string("settings file cannot be read (") + std::strerror(readErrno) + ")";
    text.resize(n);
    return {};
}

void appendNumber(std::string& out, double value) {
    char buffer[40];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 9);
    out.append(buffer, result.ptr);
}

const char* lampName(std::uint32_t colour) {
    if (colour == kLampGreen) return "green";
    if (colour == kLampRed) return "red";
    return "black";
}

// Where the buffers come from: a recording or the demo adaptor.
class BufferSource {
public:
    virtual ~BufferSource() = default;
    // Writes the next 4096 frames into values 0..8191; false at the end or on failure.
    virtual bool next(std::int16_t* values) = 0;
    // The failure that ended next(), "" at a normal end.
    virtual std::string error() const = 0;
};

class RecordingSource final : public BufferSource {
public:
    RecordingReader reader;
    bool next(std::int16_t* values) override { return reader.readBlock(values); }
    std::string error() const override { return reader.error(); }
};

class DemoSource final : public BufferSource {
public:
    DemoSource() : signal_(SyntheticSignal::demoAdaptor()) {}
    bool next(std::int16_t* values) override {
        signal_.fill(std::span<std::int16_t>(values, kRecordedValues), kFramesPerBuffer);
        return true;
    }
    std::string error() const override { return {}; }

private:
    SyntheticSignal signal_;
};

// Collects output and hands it to the stream in large chunks; remembers the first failure.
class ChunkedWriter {
public:
    explicit ChunkedWriter(std::FILE* out) : out_(out) { buffer_.reserve(kOutputChunk + 4096); }

    std::string& buffer() { return buffer_; }
    bool failed() const { return failed_; }
    const std::string& problem() const { return problem_; }

    void flushIfFull() {
        if (buffer_.size() >= kOutputChunk) flush();
    }

    void flush() {
        if (!failed_ && !buffer_.empty() &&
            std::fwrite(buffer_.data(), 1, buffer_.size(), out_) != buffer_.size())
            fail();
        buffer_.clear();
    }

    void finish() {
        flush();
        if (!failed_ && std::fflush(out_) != 0) fail();
    }

private:
    void fail() {
        failed_ = true;
        problem_ = std::string("writing the output failed (") + std::strerror(errno) + ")";
    }

    std::FILE* out_;
    std::string buffer_;
    bool failed_ = false;
    std::string problem_;
};

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
    std::string path;
    std::string text;
    if (settingsPath) {
        path = *settingsPath;
        const std::string problem = readSmallFile(path, text);
        if (!problem.empty()) return inQuotes(path) + ": " + problem;
    } else {
        path = userSettingsPath();
        std::error_code ec;
        if (path.empty() || !std::filesystem::exists(path, ec)) return {};
        const std::string problem = readSmallFile(path, text);
        if (!problem.empty()) {
            warning = inQuotes(path) + ": " + problem + "; measuring with calibration 1";
            return {};
        }
    }
    SettingsValues values;
    readSettingsText(text, values);
    // Start-up's rule: a divisor of 0 becomes 1.0 (the reader never yields a non-finite one).
    divisors.voltsCal = values.voltsCal == 0.0 ? 1.0 : values.voltsCal;
    divisors.ampsCal = values.ampsCal == 0.0 ? 1.0 : values.ampsCal;
    return {};
}

const char* csvHeader() {
    return "time_s,volts,amps,hz,watts,va,pf,v_cf,a_cf,volts_lock,amps_lock\n";
}

void appendCsvRow(std::string& out, double timeS, const MeasurementEngine& engine) {
    const double readings[] = {engine.voltsRms,   engine.ampsRms,  engine.averageFrequency,
                               engine.watts,      engine.voltAmps, engine.powerFactor,
                               engine.voltsCrest, engine.ampsCrest};
    appendNumber(out, timeS);
    for (double value : readings) {
        out.push_back(',');
        appendNumber(out, value);
    }
    out.push_back(',');
    out.append(lampName(engine.label2Colour));
    out.push_back(',');
    out.append(lampName(engine.label1Colour));
    out.push_back('\n');
}

int runHeadlessMeasure(const CommandLineOptions& options, std::FILE* out, std::FILE* err) {
    auto report = [err](const std::string& message) {
        std::fprintf(err, "%s%s\n", kProgram, message.c_str());
        std::fflush(err);
    };

    // Everything is checked before the first line of output.
    CalibrationDivisors divisors;
    std::string warning;
    const std::string settingsProblem = loadCalibration(options.settingsPath, divisors, warning);
    if (!settingsProblem.empty()) {
        report(settingsProblem);
        return kExitBadInput;
    }
    if (!warning.empty()) report(warning);

    std::unique_ptr<BufferSource> source;
    if (options.inputPath) {
        auto recording = std::make_unique<RecordingSource>();
        const std::string problem = recording->reader.open(*options.inputPath);
        if (!problem.empty()) {
            report(problem);
            return kExitBadInput;
        }
        source = std::move(recording);
    } else if (options.demo) {
        source = std::make_unique<DemoSource>();
    } else {
        report("--measure needs --input FILE, --demo or --device N");
        return kExitBadInput;
    }
    const std::int64_t limit = options.buffers.value_or(INT64_MAX);

    auto engine = std::make_unique<MeasurementEngine>();
    engine->voltsCal = divisors.voltsCal;
    engine->ampsCal = divisors.ampsCal;
    engine->startCapture();

    ChunkedWriter writer(out);
    writer.buffer().append(csvHeader());
    std::int64_t done = 0;
    for (; done < limit; ++done) {
        // Values 0..8191 are overwritten by every buffer; the rest were zeroed at construction
        // and nothing writes them, as in the capture buffer.
        if (!source->next(engine->captureBuffer.data())) break;
        engine->ProcessBuffer();
        const double timeS = static_cast<double>(done) * kFramesPerBuffer / kSampleRateHz;
        appendCsvRow(writer.buffer(), timeS, *engine);
        writer.flushIfFull();
        if (writer.failed()) break;
    }
    writer.finish();
    engine->stopCapture();

    if (writer.failed()) {
        report(writer.problem());
        return kExitFailedPartWay;
    }
    const std::string readProblem = source->error();
    if (!readProblem.empty()) {
        report(readProblem + "; the output above is incomplete");
        return kExitFailedPartWay;
    }
    return kExitOk;
}

}  // namespace acw
