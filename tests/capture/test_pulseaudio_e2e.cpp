// SPDX-License-Identifier: GPL-3.0-or-later
// End to end through a private PulseAudio daemon whose pipe source is fed a generated line in
// real time: the program measuring it live (against the same line measured as a recording), its
// device list, stop signals and device errors, and the capture layer in this process losing the
// server and starting again once it is back. Everything the daemon and the program write stays
// in a temporary folder. No timing is asserted: the waits are generous upper limits.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <cmath>
#include <csignal>

#include "PulseFixture.h"
#include "RecordingTestSupport.h"
#include "capture/AudioDeviceInput.h"
#include "capture/CaptureCycle.h"
#include "session/MeasurementObserver.h"
#include "session/MeasurementSession.h"

namespace acw {
namespace {

using test::lines;

test::TempFolder* gFolder = nullptr;
test::PulseDaemon* gDaemon = nullptr;

std::string file(const std::string& name) { return gFolder->file(name); }
bool waitFor(const std::function<bool()>& done) { return QTest::qWaitFor(done, 60000); }

// The demo adaptor's line, with noise: no two stretches of it are alike. 22 s.
const std::vector<std::int16_t>& line() {
    static const auto values = test::synthesise(SyntheticSignal::demoAdaptor(), 60 * 4096);
    return values;
}

struct PulseAudio : ::testing::Test {
    void SetUp() override {
        if (!gDaemon->start()) GTEST_SKIP() << "pulseaudio is not installed or did not start";
        // The pipe is the only input; the list names it in at most 31 characters.
        test::Program list({"--list-devices"}, file("list.err"), file("list.out"));
        ASSERT_EQ(list.wait(), 0) << list.err();
        ASSERT_EQ(list.out(),
                  "0 " + ("Unix FIFO source " + gDaemon->fifoPath()).substr(0, 31) + "\n");
    }
    // The program measuring `device` live, once it is capturing, and the line fed to the pipe.
    void measureLive(const std::string& device, std::vector<std::string> more = {}) {
        more.insert(more.begin(), {"--measure", "--device", device});
        live = std::make_unique<test::Program>(more, file("live.err"), file("live.out"));
        EXPECT_TRUE(waitFor([&] { return !live->out().empty() || live->finished(); }));
        feed = std::make_unique<test::LineFeed>(gDaemon->fifoPath(), line());
    }
    bool waitForLines(std::size_t n) {
        return waitFor([&] { return lines(live->out()).size() >= n; });
    }
    // The lines written so far are complete, with their eleven fields each.
    void expectWholeLines() {
        const std::string out = live->out();
        EXPECT_EQ(out.back(), '\n');
        for (const std::string& row : lines(out)) EXPECT_EQ(test::split(row, ',').size(), 11u);
    }
    const std::string pipe = "0";
    std::unique_ptr<test::Program> live;
    std::unique_ptr<test::LineFeed> feed;
};

// What the program measures live from the sound card is what it measures from a recording of
// the same line: the captured buffers are whole, contiguous stretches of the line and measure
// exactly as the engine measures them.
TEST_F(PulseAudio, LiveMeasuringGivesTheCsvOfTheSameLineRecorded) {
    measureLive(pipe, {"--buffers", "6"});
    ASSERT_EQ(live->wait(), 0) << live->err();
    EXPECT_EQ(live->err(), "");
    ASSERT_TRUE(test::writeWav(file("line.wav"), line()));
    test::Program recorded({"--measure", "--input", file("line.wav")}, file("rec.err"),
                           file("rec.out"));
    ASSERT_EQ(recorded.wait(), 0) << recorded.err();
    const auto got = lines(live->out()), want = lines(recorded.out());
    ASSERT_EQ(got.size(), 7u) << live->out();
    // A buffer dropped on a machine that fell behind shows as a gap in time_s; from there on
    // only the readings of a buffer alone (volts, amps, watts, VA, PF) can agree.
    EXPECT_EQ(got[0], want[0]);
    bool gap = false;
    for (std::size_t i = 1; i < got.size(); ++i) {
        auto a = test::split(got[i], ',');
        const auto k = static_cast<std::size_t>(std::lround(std::stod(a[0]) * 11025 / 4096)) + 1;
        ASSERT_LT(k, want.size());
        const auto b = test::split(want[k], ',');
        gap = gap || k != i;
        for (const int column : {3, 7, 8, 9, 10}) a[column] = gap ? b[column] : a[column];
        EXPECT_EQ(a, b) << "line " << i;
    }
}

// Ctrl-C and SIGTERM end a run cleanly: status 0, every line printed so far complete. The pipe
// is also the system's default input; a device that is not there is refused before any output.
TEST_F(PulseAudio, StopSignalsEndTheRunWithEverythingWritten) {
    test::Program unknown({"--measure", "--device", "7"}, file("7.err"), file("7.out"));
    EXPECT_EQ(unknown.wait(), 2);
    EXPECT_EQ(unknown.out() + "|" + unknown.err(),
              "|ac-wattmeter: sound card 7 did not open: there is no audio input number 7 (see "
              "--list-devices)\n");
    for (const auto& [signo, device] : {std::pair{SIGINT, pipe}, {SIGTERM, std::string("-1")}}) {
        measureLive(device);
        ASSERT_TRUE(waitForLines(4)) << live->err();
        live->signal(signo);
        EXPECT_EQ(live->wait(), 0) << live->err();
        EXPECT_EQ(live->err(), "");
        expectWholeLines();
    }
}

// The line going quiet, the server dying and the source going away end a live run with status 1
// and one line naming the device and why, after complete lines.
TEST_F(PulseAudio, LostDeviceEndsTheRunAfterCompleteLines) {
    const std::pair<std::function<void(PulseAudio&)>, std::string> cases[] = {
        {[](PulseAudio& t) { t.feed.reset(); }, "no sound arrived for 3 s"},
        {[](PulseAudio&) { gDaemon->kill(); }, "\"Unix FIFO source"},
        {[](PulseAudio&) { std::system("pactl unload-module module-pipe-source"); },
         "\"Unix FIFO source"},
    };
    for (const auto& [fault, reason] : cases) {
        SCOPED_TRACE(reason);
        ASSERT_TRUE(gDaemon->start());  // again, after the server died
        measureLive(pipe);
        ASSERT_TRUE(waitForLines(3)) << live->err();
        fault(*this);
        EXPECT_EQ(live->wait(), 1);
        const std::string err = live->err();
        EXPECT_EQ(err.rfind("ac-wattmeter: sound card " + pipe + " 'Unix FIFO source", 0), 0u);
        EXPECT_NE(err.find(reason, err.find("' stopped after ")), std::string::npos) << err;
        EXPECT_EQ(lines(err).size(), 1u) << err;
        expectWholeLines();
    }
    gDaemon->kill();  // the next test starts a daemon with its pipe source again
}

// In this process: the server dies while capturing; the capture stops with the message naming
// the device, and START works again on the same session once the server is back. The session is
// then deleted while capturing; its stream goes with it and the server serves the next input.
TEST_F(PulseAudio, CaptureStopsWhenTheServerDiesAndStartsAgainOnceItIsBack) {
    auto session = std::make_unique<MeasurementSession>(std::make_unique<AudioDeviceInput>());
    session->captureCycle().setWatchdogMs(600000);  // only the backend may notice here
    std::string errors;                             // "<text> <advice>", a line each
    session->setErrorReporter([&](const QString&, const QString& text, const QString& why) {
        errors += (text + " " + why + "\n").toStdString();
    });
    struct : MeasurementObserver {
        void measured(const Measurement&) override { ++buffers; }
        int buffers = 0;
    } counter;
    session->addObserver(counter);
    feed = std::make_unique<test::LineFeed>(gDaemon->fifoPath(), line());
    ASSERT_TRUE(session->startCapture());  // the pipe, device 0
    ASSERT_TRUE(waitFor([&] { return counter.buffers >= 2; }));
    gDaemon->kill();
    ASSERT_TRUE(waitFor([&] { return !errors.empty(); }));
    EXPECT_EQ(errors.rfind("Wave input device stopped! ", 0), 0u) << errors;
    EXPECT_NE(errors.find("\"Unix FIFO source"), std::string::npos) << errors;
    EXPECT_FALSE(session->input().isOpen());

    ASSERT_TRUE(gDaemon->start());
    feed = std::make_unique<test::LineFeed>(gDaemon->fifoPath(), line());
    // The client library reconnects a few seconds after the server came back; until then START
    // fails with its message and is simply pressed again.
    errors.clear();
    bool started = false;
    for (int i = 0; i < 120 && !started; ++i)
        started = (QTest::qWait(500), session->startCapture());
    ASSERT_TRUE(started) << errors;
    for (const std::string& error : lines(errors))
        EXPECT_EQ(error.rfind("Wave input device didn't open! ", 0), 0u) << error;
    counter.buffers = 0;
    EXPECT_TRUE(waitFor([&] { return counter.buffers >= 3; }));
    session.reset();
    AudioDeviceInput next;
    EXPECT_TRUE(next.open(0, WaveFormat::stereoPcm11025()));
}

}  // namespace
}  // namespace acw

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    acw::test::TempFolder folder;
    acw::gFolder = &folder;
    // The daemon, the client library and the program keep every file in the temporary folder.
    acw::test::PulseDaemon daemon(folder.file("run"));
    acw::gDaemon = &daemon;
    ::setenv("XDG_RUNTIME_DIR", folder.file("run").c_str(), 1);
    ::setenv("HOME", folder.path().toLocal8Bit().constData(), 1);
    ::setenv("PULSE_SERVER", ("unix:" + daemon.socketPath()).c_str(), 1);
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    std::filesystem::create_directory(folder.file("run"));
    std::filesystem::permissions(folder.file("run"), std::filesystem::perms::owner_all);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
