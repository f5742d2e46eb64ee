// SPDX-License-Identifier: GPL-3.0-or-later
// The readings log and the input recording: what reaches the file, also when writing fails.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "../common/FileFaults.h"
#include "capture/RecordingReader.h"
#include "record/InputRecorder.h"
#include "record/LogWriter.h"

namespace acw {

namespace fs = std::filesystem;
using Buffer = std::array<std::int16_t, InputRecorder::kBufferValues>;

// Buffer b of a test recording. Over buffers 0..7 every 16-bit value occurs exactly once.
Buffer testBuffer(int b) {
    Buffer values;
    for (int i = 0; i < InputRecorder::kBufferValues; ++i)
        values[i] = static_cast<std::int16_t>((b * InputRecorder::kBufferValues + i) * 40503u);
    return values;
}

class RecordTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(dir_); }
    void TearDown() override { fs::remove_all(dir_); }
    std::string at(const std::string& name) const { return (dir_ / name).string(); }
    std::string contents(const std::string& name) const {
        std::ifstream in(at(name));
        return {std::istreambuf_iterator<char>(in), {}};
    }
    const fs::path dir_ = fs::temp_directory_path() / ("acw-record-" + std::to_string(::getpid()));
};

// Measured afterwards, a recording gives back the buffers bit for bit. A disk that fills up
// part-way stops it with a reason naming the file and the system's, and the file stays a valid
// recording of every frame written before.
TEST_F(RecordTest, RecordingReadsBackBitForBit) {
    constexpr rlim_t kAll = RLIM_INFINITY, kFull = 3 * 16384 + 1000;
    const std::pair<const char*, rlim_t> cases[] = {
        {"in.wav", kAll}, {"in.FLAC", kAll}, {"full.wav", kFull}, {"full.flac", kFull}};
    for (const auto& [name, limitBytes] : cases) {
        InputRecorder recorder;
        ASSERT_EQ(recorder.open(at(name)), "");
        {
            const test::FileSizeLimit limit(limitBytes);
            for (int b = 0; b < 12; ++b) recorder.append(testBuffer(b));
            recorder.close();
        }
        const bool full = limitBytes != RLIM_INFINITY;
        const std::string failure = recorder.takeFailure().value_or("");
        const bool named = failure.starts_with("Recording to '" + at(name) + "' stopped after ");
        EXPECT_EQ(named && failure.ends_with(": File too large"), full) << failure;
        const std::uint64_t frames = recorder.framesWritten();
        EXPECT_TRUE(full ? frames >= 2 * 4096u && frames < 12 * 4096u : frames == 12 * 4096u);

        RecordingReader reader;
        ASSERT_EQ(reader.open(at(name)), "");
        EXPECT_EQ(static_cast<std::uint64_t>(reader.frames()), frames) << name;
        Buffer got;
        for (int b = 0; reader.readBlock(got.data()); ++b) ASSERT_EQ(got, testBuffer(b)) << b;
    }
}

TEST_F(RecordTest, LogAppendsAfterExistingContent) {
    std::ofstream(at("empty.csv")).flush();
    std::ofstream(at("old.csv")) << "old";  // no line break at its end
    for (const char* name : {"new.csv", "new.csv", "empty.csv", "old.csv"}) {
        LogWriter log;
        ASSERT_EQ(log.open(at(name), "time,W"), "");
        log.append("a\n");
        log.append("b");
        log.close();
    }
    EXPECT_EQ(contents("new.csv"), "time,W\na\nb\na\nb\n");
    EXPECT_EQ(contents("empty.csv"), "time,W\na\nb\n");
    EXPECT_EQ(contents("old.csv"), "old\na\nb\n");
}

// A full disk stops the log with the reason; the file keeps every line written before, whole.
// So does a removed folder.
TEST_F(RecordTest, FailedWriteStopsTheLog) {
    std::string lines = "time,W\n";
    LogWriter log;
    ASSERT_EQ(log.open(at("full.csv"), lines), "");
    {
        const test::FileSizeLimit full(2500);
        for (int i = 0; i < 200; ++i) {
            const std::string line = "2024-05-01T12:00:00," + std::to_string(i) + "\n";
            lines += line;
            log.append(line);
        }
        log.close();
    }
    EXPECT_EQ(log.takeFailure(), "Logging to '" + at("full.csv") + "' stopped: File too large");
    const std::string kept = contents("full.csv");
    EXPECT_GT(kept.size(), 2500u - 30);
    EXPECT_EQ(kept, lines.substr(0, lines.find('\n', kept.size() - 1) + 1));

    fs::create_directory(at("day"));
    ASSERT_EQ(log.open(at("day/log.csv"), "time,W\n"), "");
    fs::remove_all(at("day"));
    log.append("a\n");
    log.close();
    EXPECT_TRUE(log.takeFailure().value_or("").starts_with(
        "Logging to '" + at("day/log.csv") + "' stopped: the file or its folder was removed"));
}

// Places a recording cannot go: open() refuses at once, names the file and creates nothing.
TEST_F(RecordTest, OpenRefusesWhatCannotBeWritten) {
    fs::create_directory(at("locked"));
    fs::permissions(at("locked"), fs::perms::owner_read | fs::perms::owner_exec);
    const test::ObeyFilePermissions asAUser;
    const std::pair<std::string, std::string> cases[] = {
        {"input.mp3", "unknown recording format '.mp3' (use .wav or .flac)"},
        {"missing/input.wav", "the folder '" + at("missing") + "' does not exist"},
        {"locked/input.flac", "cannot be written (Permission denied)"},
    };
    for (const auto& [name, reason] : cases) {
        if (name.starts_with("locked") && !asAUser.obeyed()) continue;
        EXPECT_EQ(InputRecorder().open(at(name)), "'" + at(name) + "': " + reason);
        EXPECT_FALSE(fs::exists(at(name)));
    }
}

}  // namespace acw
