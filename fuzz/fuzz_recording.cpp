// Headless measuring of a recording made of arbitrary bytes: the bytes are written to a file in
// a private temporary folder and measured exactly as `--measure --input FILE` measures them
// (RecordingReader through libsndfile, the engine, the CSV). Whatever the file holds, measuring
// must not crash, refuse it before writing anything or measure every whole block it reads, and
// never print a reading that is not a number.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "app/CommandLine.h"
#include "app/HeadlessMeasure.h"
#include "capture/RecordingReader.h"

namespace {

// Measuring stops after this many buffers: a small compressed file may decode to many blocks,
// and a few buffers already carry every code path of the loop.
constexpr std::int64_t kMaxBuffers = 6;

struct Workspace {
    std::filesystem::path folder;
    std::string recording;
    std::string settings;

    Workspace() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/acw-fuzz-XXXXXX";
        ACW_FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
        folder = pattern;
        recording = (folder / "input.wav").string();
        settings = (folder / "wattmeter.ini").string();
        writeFile(settings, "0\r\n2\r\n0\r\n0\r\n0\r\n32\r\n32\r\n32\r\n1\r\n1\r\n");
    }
    ~Workspace() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }

    static void writeFile(const std::string& path, std::string_view bytes) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ACW_FUZZ_CHECK(fd >= 0);
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
            ACW_FUZZ_CHECK(n > 0);
            done += static_cast<std::size_t>(n);
        }
        ::close(fd);
    }
};

// Runs headless measuring with stdout and stderr captured in memory.
int measure(const acw::CommandLineOptions& options, std::string& out, std::string& err) {
    char* outData = nullptr;
    char* errData = nullptr;
    std::size_t outSize = 0;
    std::size_t errSize = 0;
    std::FILE* outFile = open_memstream(&outData, &outSize);
    std::FILE* errFile = open_memstream(&errData, &errSize);
    ACW_FUZZ_CHECK(outFile && errFile);
    const int status = acw::runHeadlessMeasure(options, outFile, errFile);
    std::fclose(outFile);
    std::fclose(errFile);
    out.assign(outData, outSize);
    err.assign(errData, errSize);
    std::free(outData);
    std::free(errData);
    return status;
}

// Every line of `text` starts with `prefix` and ends with a line feed.
bool linesStartWith(std::string_view text, std::string_view prefix) {
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) return false;
        if (text.substr(0, prefix.size()) != prefix) return false;
        text.remove_prefix(end + 1);
    }
    return true;
}

// A CSV row: time, eight readings that are plain numbers, and the two lamps.
bool wellFormedRow(std::string_view row) {
    if (row.find("nan") != std::string_view::npos || row.find("inf") != std::string_view::npos)
        return false;
    int commas = 0;
    for (char c : row) commas += c == ',' ? 1 : 0;
    if (commas != 10) return false;
    const std::size_t lamps = row.rfind(',', row.rfind(',') - 1);
    const std::string_view lampText = row.substr(lamps + 1);
    return lampText == "red,red" || lampText == "green,green";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Workspace workspace;
    Workspace::writeFile(workspace.recording,
                         std::string_view(reinterpret_cast<const char*>(data), size));

    acw::CommandLineOptions options;
    options.action = acw::CommandLineOptions::Action::Measure;
    options.inputPath = workspace.recording;
    options.settingsPath = workspace.settings;
    options.buffers = kMaxBuffers;

    std::string out;
    std::string err;
    const int status = measure(options, out, err);
    ACW_FUZZ_CHECK(status == acw::kExitOk || status == acw::kExitBadInput ||
                   status == acw::kExitFailedPartWay);
    ACW_FUZZ_CHECK(linesStartWith(err, "ac-wattmeter: "));

    // The reader alone agrees on whether the file is a usable recording.
    acw::RecordingReader reader;
    const bool usable = reader.open(workspace.recording).empty();
    if (status == acw::kExitBadInput) {
        ACW_FUZZ_CHECK(!usable);
        ACW_FUZZ_CHECK(out.empty());
        ACW_FUZZ_CHECK(!err.empty());
        return 0;
    }
    ACW_FUZZ_CHECK(usable);

    const std::string_view header = acw::csvHeader();
    ACW_FUZZ_CHECK(std::string_view(out).substr(0, header.size()) == header);
    std::string_view rows = std::string_view(out).substr(header.size());
    std::int64_t count = 0;
    while (!rows.empty()) {
        const std::size_t end = rows.find('\n');
        ACW_FUZZ_CHECK(end != std::string_view::npos);
        ACW_FUZZ_CHECK(wellFormedRow(rows.substr(0, end)));
        rows.remove_prefix(end + 1);
        ++count;
    }
    if (status == acw::kExitOk) {
        ACW_FUZZ_CHECK(err.empty());
        ACW_FUZZ_CHECK(count == std::min<std::int64_t>(reader.blocks(), kMaxBuffers));
    } else {
        ACW_FUZZ_CHECK(count < reader.blocks());
    }
    return 0;
}
