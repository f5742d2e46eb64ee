// Runs the real program against a private PulseAudio daemon whose pipe source is fed a generated
// recording in real time: the device list, live measuring compared with measuring the same
// recording headless, the buffer limit, Ctrl-C and SIGTERM, a line going quiet and a bad device
// id. Everything the daemon and the program write stays in a temporary folder.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <optional>

#include "../capture/PulseFixture.h"
#include "../capture/RecordingTestSupport.h"
#include "../common/ProgramRun.h"

namespace acw {
namespace {

using namespace std::chrono_literals;
using test::fields;
using test::FifoWriter;
using test::lines;
using test::slurp;
using test::TempFolder;
using test::waitFor;

TempFolder* gFolder = nullptr;

test::PulseDaemon* gDaemon = nullptr;

std::string fifoPath() { return gDaemon->fifoPath(); }

// The program running in the background, its output in files.
class Program {
public:
    // stdout goes to `stdoutPath` when given (e.g. /dev/full), else to a file of the folder.
    explicit Program(const std::vector<std::string>& arguments, const std::string& name = "run",
                     const std::string& stdoutPath = "") {
        outPath_ = stdoutPath.empty() ? gFolder->file(name + ".out") : stdoutPath;
        errPath_ = gFolder->file(name + ".err");
        pid_ = test::spawnProgram(ACW_PROGRAM, arguments, outPath_, errPath_);
    }
    ~Program() {
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    std::string out() const { return slurp(outPath_); }
    std::string err() const { return slurp(errPath_); }
    // CSV lines after the header.
    std::size_t rows() const {
        const auto all = lines(out());
        return all.empty() ? 0 : all.size() - 1;
    }
    bool waitForRows(std::size_t n, std::chrono::milliseconds limit) const {
        return waitFor([&] { return rows() >= n; }, limit);
    }
    bool waitForHeader(std::chrono::milliseconds limit) const {
        return waitFor([&] { return !out().empty() || finished(); }, limit);
    }
    void signal(int signo) const { ::kill(pid_, signo); }

    // The exit status (128 + signal when killed); -1 when it did not end within `limit`.
    int wait(std::chrono::milliseconds limit) {
        waitFor([&] { return finished(); }, limit);
        return status_.value_or(-1);
    }

private:
    bool finished() const {
        if (status_) return true;
        int status = 0;
        if (pid_ <= 0) {
            status_ = -1;
        } else if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = test::exitStatus(status);
        }
        return status_.has_value();
    }

    pid_t pid_ = -1;
    mutable std::optional<int> status_;
    std::string outPath_;
    std::string errPath_;
};

// The demo adaptor's line: 120 V, 5 A, PF 0.85, with noise, so that no two stretches of it are
// alike and a captured buffer can be found in it.
const std::vector<std::int16_t>& line() {
    static const std::vector<std::int16_t> values =
        test::synthesise(SyntheticSignal::demoAdaptor(), 40 * 4096);
    return values;
}

// The ids of the sources the program lists, checked for their form.
std::vector<std::string> listedNames() {
    Program list({"--list-devices"}, "list");
    EXPECT_EQ(list.wait(30s), 0) << list.err();
    std::vector<std::string> names;
    for (const std::string& entry : lines(list.out())) {
        const std::size_t blank = entry.find(' ');
        EXPECT_NE(blank, std::string::npos) << entry;
        if (blank == std::string::npos) break;
        EXPECT_EQ(entry.substr(0, blank), std::to_string(names.size())) << "ids count from 0";
        names.push_back(entry.substr(blank + 1));
    }
    return names;
}

class HeadlessLive : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!gDaemon->start(&why)) GTEST_SKIP() << "live measuring test skipped: " << why;
        test::drainFifo(fifoPath());
        const std::vector<std::string> names = listedNames();
        for (std::size_t i = 0; i < names.size(); ++i) {
            EXPECT_LE(names[i].size(), 31u) << names[i];
            if (names[i].rfind("Unix FIFO source", 0) == 0) pipeId = std::to_string(i);
        }
        ASSERT_FALSE(pipeId.empty()) << "the pipe source is not listed";
    }

    std::string pipeId;
};

// The offset in the line where a buffer with these uncalibrated volts and amps begins: the sums
// run over frames 1..4095 of the buffer, as the engine's do. Every offset that matches to the
// printed digits is returned.
std::vector<std::size_t> offsetsOf(double volts, double amps) {
    const auto& v = line();
    const std::size_t frames = v.size() / 2;
    std::vector<std::int64_t> sumV(frames + 1, 0), sumA(frames + 1, 0);
    for (std::size_t f = 0; f < frames; ++f) {
        sumV[f + 1] = sumV[f] + std::int64_t{v[2 * f]} * v[2 * f];
        sumA[f + 1] = sumA[f] + std::int64_t{v[2 * f + 1]} * v[2 * f + 1];
    }
    const double vScale = 750.0 / 32767.0, aScale = 75.0 / 32767.0;
    std::vector<std::size_t> found;
    for (std::size_t k = 0; k + 4096 <= frames; ++k) {
        const double vk =
            std::sqrt(static_cast<double>(sumV[k + 4096] - sumV[k + 1]) / 8190) * vScale;
        const double ak =
            std::sqrt(static_cast<double>(sumA[k + 4096] - sumA[k + 1]) / 8190) * aScale;
        if (std::fabs(vk - volts) <= volts * 2e-8 && std::fabs(ak - amps) <= amps * 2e-8)
            found.push_back(k);
    }
    return found;
}

// Measures the line from frame `offset` on, headless, as a recording: the CSV lines.
std::vector<std::string> measuredFrom(std::size_t offset, std::size_t buffers) {
    const auto& v = line();
    const std::string path = gFolder->file("from-" + std::to_string(offset) + ".wav");
    EXPECT_TRUE(test::writeWav(path, std::vector<std::int16_t>(v.begin() + 2 * offset, v.end())));
    Program reference({"--measure", "--input", path, "--buffers", std::to_string(buffers)},
                      "reference");
    EXPECT_EQ(reference.wait(60s), 0) << reference.err();
    return lines(reference.out());
}

TEST_F(HeadlessLive, MeasuresTheLiveLineExactlyLikeTheSameRecording) {
    constexpr std::size_t kBuffers = 6;
    Program live({"--measure", "--device", pipeId, "--buffers", std::to_string(kBuffers)});
    ASSERT_TRUE(live.waitForHeader(30s));
    FifoWriter writer(fifoPath(), line());
    ASSERT_EQ(live.wait(60s), 0) << live.err();
    writer.stop();
    EXPECT_EQ(live.err(), "");
    const std::vector<std::string> got = lines(live.out());
    ASSERT_EQ(got.size(), kBuffers + 1) << live.out();
    EXPECT_EQ(got[0], "time_s,volts,amps,hz,watts,va,pf,v_cf,a_cf,volts_lock,amps_lock");

    const auto first = fields(got[1]);
    ASSERT_EQ(first.size(), 11u);
    const std::vector<std::size_t> offsets = offsetsOf(std::stod(first[1]), std::stod(first[2]));
    ASSERT_FALSE(offsets.empty()) << "the first buffer is not a stretch of the line: " << got[1];

    // Each line's time tells which buffer of the stream it is; a buffer dropped because the
    // machine fell behind leaves a gap, and then the averaged readings may differ.
    std::vector<std::size_t> index;
    for (std::size_t i = 1; i < got.size(); ++i) {
        const double t = std::stod(fields(got[i])[0]);
        index.push_back(static_cast<std::size_t>(std::lround(t * 11025.0 / 4096.0)));
    }
    EXPECT_EQ(index[0], 0u);
    const bool contiguous = index.back() == kBuffers - 1;

    bool matched = false;
    for (std::size_t offset : offsets) {
        const std::vector<std::string> expected = measuredFrom(offset, index.back() + 1);
        ASSERT_EQ(expected.size(), index.back() + 2);
        if (contiguous) {
            matched = got == expected;
        } else {
            // The readings of a buffer alone (volts, amps, watts, VA, PF) still agree.
            matched = true;
            for (std::size_t i = 0; i < index.size(); ++i) {
                const auto a = fields(got[i + 1]), b = fields(expected[index[i] + 1]);
                matched = matched && a[0] == b[0] &&
                          std::equal(a.begin() + 1, a.begin() + 3, b.begin() + 1) &&
                          std::equal(a.begin() + 4, a.begin() + 7, b.begin() + 4);
            }
        }
        if (matched) break;
    }
    EXPECT_TRUE(matched) << live.out();
    // The demo line's readings.
    const auto last = fields(got.back());
    EXPECT_NEAR(std::stod(last[1]), 120.0, 2.0);
    EXPECT_NEAR(std::stod(last[2]), 5.0, 0.1);
    EXPECT_NEAR(std::stod(last[6]), 0.85, 0.01);
    EXPECT_NEAR(std::stod(last[3]), 60.0, 0.2);
}

// Ctrl-C and SIGTERM end the run cleanly: status 0, every line printed so far complete.
TEST_F(HeadlessLive, StopSignalsEndCleanlyWithEverythingFlushed) {
    for (const int signo : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signo == SIGINT ? "SIGINT" : "SIGTERM");
        test::drainFifo(fifoPath());
        // The system's default input is the pipe source, the only one.
        Program live({"--measure", "--device", signo == SIGINT ? pipeId : "-1"});
        ASSERT_TRUE(live.waitForHeader(30s));
        FifoWriter writer(fifoPath(), line());
        ASSERT_TRUE(live.waitForRows(3, 30s)) << live.err();
        live.signal(signo);
        EXPECT_EQ(live.wait(30s), 0) << live.err();
        writer.stop();
        EXPECT_EQ(live.err(), "");
        const std::string out = live.out();
        ASSERT_FALSE(out.empty());
        EXPECT_EQ(out.back(), '\n');
        const auto all = lines(out);
        EXPECT_GE(all.size(), 4u);
        for (const std::string& row : all) EXPECT_EQ(fields(row).size(), 11u) << row;
    }
}

TEST_F(HeadlessLive, LineGoingQuietEndsWithAnErrorAfterThePrintedLines) {
    Program live({"--measure", "--device", pipeId});
    ASSERT_TRUE(live.waitForHeader(30s));
    FifoWriter writer(fifoPath(), line());
    ASSERT_TRUE(live.waitForRows(2, 30s)) << live.err();
    writer.pause();
    EXPECT_EQ(live.wait(30s), 1) << live.err();
    writer.stop();
    const auto errLines = lines(live.err());
    ASSERT_EQ(errLines.size(), 1u) << live.err();
    EXPECT_EQ(errLines[0].rfind("ac-wattmeter: sound card " + pipeId + " 'Unix FIFO source", 0), 0u)
        << errLines[0];
    EXPECT_NE(errLines[0].find("stopped after"), std::string::npos) << errLines[0];
    EXPECT_NE(errLines[0].find("no sound arrived for 3 s"), std::string::npos) << errLines[0];
    const std::string out = live.out();
    EXPECT_EQ(out.back(), '\n');
    for (const std::string& row : lines(out)) EXPECT_EQ(fields(row).size(), 11u) << row;
}

TEST_F(HeadlessLive, UnknownDeviceOrUnwritableOutputIsReported) {
    Program live({"--measure", "--device", "7", "--buffers", "1"});
    EXPECT_EQ(live.wait(30s), 2);
    EXPECT_EQ(live.out(), "");
    const auto errLines = lines(live.err());
    ASSERT_EQ(errLines.size(), 1u) << live.err();
    EXPECT_EQ(errLines[0],
              "ac-wattmeter: sound card 7 did not open: there is no audio input number 7 (see "
              "--list-devices)");

    if (!std::filesystem::exists("/dev/full")) return;
    Program full({"--measure", "--device", pipeId}, "full", "/dev/full");
    EXPECT_EQ(full.wait(30s), 1);
    EXPECT_NE(full.err().find("ac-wattmeter: writing the output failed"), std::string::npos)
        << full.err();
}

}  // namespace
}  // namespace acw

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    acw::test::TempFolder folder;
    if (folder.path().empty()) return 1;
    acw::gFolder = &folder;
    std::filesystem::create_directories(folder.file("run"));
    std::filesystem::create_directories(folder.file("home"));
    std::filesystem::permissions(folder.file("run"), std::filesystem::perms::owner_all);
    // The daemon, the client library and the program keep every file in the temporary folder.
    ::setenv("XDG_RUNTIME_DIR", folder.file("run").c_str(), 1);
    ::setenv("PULSE_RUNTIME_PATH", folder.file("run/pulse").c_str(), 1);
    ::setenv("PULSE_STATE_PATH", folder.file("run/state").c_str(), 1);
    ::setenv("HOME", folder.file("home").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", folder.file("home/.config").c_str(), 1);
    acw::test::PulseDaemon daemon(folder.file("run"));
    acw::gDaemon = &daemon;
    ::setenv("PULSE_SERVER", ("unix:" + daemon.socketPath()).c_str(), 1);
    ::setenv("PULSE_COOKIE", folder.file("home/cookie").c_str(), 1);
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");

    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    daemon.stop();
    return rc;
}
