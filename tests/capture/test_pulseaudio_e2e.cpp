// SPDX-License-Identifier: GPL-3.0-or-later
// End to end through a private PulseAudio daemon whose pipe source is fed a generated line in
// real time: the program measuring it live (against the same line measured as a recording), its
// device list, stop signals and device errors, and the capture layer in this process losing the
// server and starting again once it is back. Everything the daemon and the program write stays
// in a temporary folder. No timing is asserted: the waits are generous upper limits.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMediaDevices>
#include <QTest>
#include <cmath>

#include "../common/ProgramRun.h"
#include "PulseFixture.h"
#include "RecordingTestSupport.h"
#include "capture/AudioDeviceInput.h"
#include "capture/CaptureCycle.h"
#include "session/MeasurementObserver.h"
#include "session/MeasurementSession.h"

namespace acw {
namespace {

using namespace std::chrono_literals;

test::TempFolder* gFolder = nullptr;
test::PulseDaemon* gDaemon = nullptr;

// The demo adaptor's line, with noise: no two stretches of it are alike. 22 s.
const std::vector<std::int16_t>& line() {
    static const auto values = test::synthesise(SyntheticSignal::demoAdaptor(), 60 * 4096);
    return values;
}

bool waitFor(const std::function<bool()>& done, std::chrono::seconds limit = 60s) {
    return QTest::qWaitFor(done, static_cast<int>(limit.count() * 1000));
}

struct PulseAudio : ::testing::Test {
    void SetUp() override {
        if (!gDaemon->start()) GTEST_SKIP() << "pulseaudio is not installed or did not start";
        // The program lists ids 0..n-1 with names of at most 31 characters; the pipe is one.
        test::Program list({"--list-devices"}, file("list.err"), file("list.out"));
        ASSERT_EQ(list.wait(), 0) << list.err();
        const auto entries = test::lines(list.out());
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const std::string id = std::to_string(i);
            ASSERT_EQ(entries[i].rfind(id + " ", 0), 0u) << entries[i];
            EXPECT_LE(entries[i].size(), id.size() + 1 + 31) << entries[i];
            if (entries[i].rfind(id + " Unix FIFO source", 0) == 0) pipeId = id;
        }
        ASSERT_NE(pipeId, "") << list.out();
    }
    static std::string file(const std::string& name) { return gFolder->file(name); }
    // The program measuring `device` live, once it is capturing.
    std::unique_ptr<test::Program> measureLive(const std::string& device,
                                               std::vector<std::string> more = {}) {
        more.insert(more.begin(), {"--measure", "--device", device});
        auto p = std::make_unique<test::Program>(more, file("live.err"), file("live.out"));
        EXPECT_TRUE(waitFor([&] { return !p->out().empty() || p->finished(); })) << p->err();
        return p;
    }
    std::string pipeId;
};

// Every line complete, with its eleven fields.
void expectWholeLines(const std::string& out) {
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back(), '\n');
    for (const std::string& row : test::lines(out))
        EXPECT_EQ(test::split(row, ',').size(), 11u) << row;
}

// What the program measures live from the sound card is what it measures from a recording of
// the same line: the captured buffers are whole, contiguous stretches of the line and measure
// exactly as the engine measures them.
TEST_F(PulseAudio, LiveMeasuringGivesTheCsvOfTheSameLineRecorded) {
    const auto live = measureLive(pipeId, {"--buffers", "6"});
    test::LineFeed feed(gDaemon->fifoPath(), line());
    ASSERT_EQ(live->wait(), 0) << live->err();
    EXPECT_EQ(live->err(), "");
    ASSERT_TRUE(test::writeWav(file("line.wav"), line()));
    test::Program recorded({"--measure", "--input", file("line.wav")}, file("rec.err"),
                           file("rec.out"));
    ASSERT_EQ(recorded.wait(), 0) << recorded.err();
    const auto got = test::lines(live->out()), want = test::lines(recorded.out());
    ASSERT_EQ(got.size(), 7u) << live->out();
    EXPECT_EQ(got[0], want[0]);
    // A buffer dropped on a machine that fell behind shows as a gap in time_s; from there on
    // only the readings of a buffer alone (volts, amps, watts, VA, PF) can agree.
    bool gap = false;
    for (std::size_t i = 1; i < got.size(); ++i) {
        const auto a = test::split(got[i], ',');
        const auto k = static_cast<std::size_t>(std::lround(std::stod(a[0]) * 11025 / 4096));
        gap = gap || k != i - 1;
        ASSERT_LT(k + 1, want.size());
        const auto b = test::split(want[k + 1], ',');
        const auto pick = [gap](const std::vector<std::string>& v) {
            return gap ? std::vector<std::string>{v[0], v[1], v[2], v[4], v[5], v[6]} : v;
        };
        EXPECT_EQ(pick(a), pick(b)) << "line " << i;
    }
}

// Ctrl-C and SIGTERM end a run cleanly: status 0, every line printed so far complete. The pipe
// is also the system's default input.
TEST_F(PulseAudio, StopSignalsEndTheRunWithEverythingWritten) {
    for (const auto& [signo, device] : {std::pair{SIGINT, pipeId}, {SIGTERM, std::string("-1")}}) {
        const auto live = measureLive(device);
        test::LineFeed feed(gDaemon->fifoPath(), line());
        ASSERT_TRUE(waitFor([&] { return test::lines(live->out()).size() >= 4; })) << live->err();
        live->signal(signo);
        EXPECT_EQ(live->wait(), 0) << live->err();
        EXPECT_EQ(live->err(), "");
        expectWholeLines(live->out());
    }
}

TEST_F(PulseAudio, UnknownDeviceIsRefusedBeforeAnyOutput) {
    test::Program live({"--measure", "--device", "7"}, file("live.err"), file("live.out"));
    EXPECT_EQ(live.wait(), 2);
    EXPECT_EQ(live.out(), "");
    EXPECT_EQ(live.err(),
              "ac-wattmeter: sound card 7 did not open: there is no audio input number 7 (see "
              "--list-devices)\n");
}

// The line going quiet, the source going away and the server dying end a live run with status 1
// and one line naming the device and why, after complete lines.
TEST_F(PulseAudio, LostDeviceEndsTheRunAfterCompleteLines) {
    const std::pair<std::function<void(test::LineFeed&)>, std::string> cases[] = {
        {[](test::LineFeed& feed) { feed.quiet(); }, "no sound arrived for 3 s"},
        {[](test::LineFeed&) { gDaemon->kill(); }, "\"Unix FIFO source"},
        {[](test::LineFeed&) { std::system("pactl unload-module module-pipe-source"); },
         "\"Unix FIFO source"},
    };
    for (const auto& [fault, reason] : cases) {
        SCOPED_TRACE(reason);
        ASSERT_TRUE(gDaemon->start());  // after the server died
        const auto live = measureLive(pipeId);
        test::LineFeed feed(gDaemon->fifoPath(), line());
        ASSERT_TRUE(waitFor([&] { return test::lines(live->out()).size() >= 3; })) << live->err();
        fault(feed);
        EXPECT_EQ(live->wait(), 1);
        const std::string err = live->err();
        EXPECT_EQ(err.rfind("ac-wattmeter: sound card " + pipeId + " 'Unix FIFO source", 0), 0u);
        EXPECT_NE(err.find("' stopped after "), std::string::npos) << err;
        EXPECT_NE(err.find(reason, err.find(" buffers: ")), std::string::npos) << err;
        EXPECT_EQ(test::lines(err).size(), 1u) << err;
        expectWholeLines(live->out());
    }
    gDaemon->kill();  // the next test starts a daemon with its pipe source again
}

// In this process: the server dies while capturing; the capture stops with the message naming
// the device, and START works again on the same session once the server is back.
TEST_F(PulseAudio, CaptureStopsWhenTheServerDiesAndStartsAgainOnceItIsBack) {
    MeasurementSession session(std::make_unique<AudioDeviceInput>());
    session.setSelectedDevice(std::stoi(pipeId));
    session.captureCycle().setWatchdogMs(600000);  // only the backend may notice here
    std::vector<std::string> errors, advice;
    session.setErrorReporter([&](const QString&, const QString& text, const QString& why) {
        errors.push_back(text.toStdString());
        advice.push_back(why.toStdString());
    });
    struct Counter : MeasurementObserver {
        void measured(const Measurement&) override { ++buffers; }
        int buffers = 0;
    } counter;
    session.addObserver(counter);
    {
        test::LineFeed feed(gDaemon->fifoPath(), line());
        ASSERT_TRUE(session.startCapture());
        ASSERT_TRUE(waitFor([&] { return counter.buffers >= 2; }));
        gDaemon->kill();
        ASSERT_TRUE(waitFor([&] { return !errors.empty(); }));
    }
    EXPECT_EQ(errors, std::vector<std::string>{"Wave input device stopped!"});
    EXPECT_NE(advice[0].find("\"Unix FIFO source"), std::string::npos) << advice[0];
    EXPECT_FALSE(session.input().isOpen());

    ASSERT_TRUE(gDaemon->start());
    test::LineFeed feed(gDaemon->fifoPath(), line());
    // The client library reconnects a few seconds after the server came back; until then START
    // fails with its message and is simply pressed again.
    bool started = false;
    for (int i = 0; i < 60 && !started; ++i) started = (QTest::qWait(500), session.startCapture());
    ASSERT_TRUE(started) << advice.back();
    for (std::size_t i = 1; i < errors.size(); ++i)
        EXPECT_EQ(errors[i], "Wave input device didn't open!");
    counter.buffers = 0;
    EXPECT_TRUE(waitFor([&] { return counter.buffers >= 3; }));
    session.stopCapture();
}

// A sound card input deleted right after close, before the event loop ran again, releases the
// stream it stopped, whether it was closed from the event loop or from a handler of the stream's
// own signal; one deleted while capturing releases it too.
TEST_F(PulseAudio, InputDeletedRightAfterCloseOrWhileCapturing) {
    test::LineFeed feed(gDaemon->fifoPath(), line());
    const int id = std::stoi(pipeId);
    for (const int way : {0, 1, 2}) {  // closed after a buffer, inside its handler, not closed
        SCOPED_TRACE(way);
        auto input = std::make_unique<AudioDeviceInput>();
        ASSERT_TRUE(input->open(id, WaveFormat::stereoPcm11025()));
        input->start();
        int buffers = 0;
        QObject::connect(input.get(), &WaveInput::bufferReady, input.get(), [&] {
            if (++buffers == 1 && way == 1) input->close();
        });
        ASSERT_TRUE(waitFor([&] { return buffers > 0; }));
        if (way == 0) input->close();
        EXPECT_EQ(input->isOpen(), way == 2);
        input.reset();
    }
    AudioDeviceInput after;  // the server still serves a new input
    EXPECT_TRUE(after.open(id, WaveFormat::stereoPcm11025()));
}

}  // namespace
}  // namespace acw

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    acw::test::TempFolder folder;
    acw::gFolder = &folder;
    std::filesystem::create_directories(folder.file("run"));
    std::filesystem::create_directories(folder.file("home"));
    std::filesystem::permissions(folder.file("run"), std::filesystem::perms::owner_all);
    // The daemon, the client library and the program keep every file in the temporary folder.
    acw::test::PulseDaemon daemon(folder.file("run"));
    acw::gDaemon = &daemon;
    for (const auto& [name, value] :
         {std::pair<const char*, std::string>{"XDG_RUNTIME_DIR", folder.file("run")},
          {"PULSE_RUNTIME_PATH", folder.file("run/pulse")},
          {"PULSE_STATE_PATH", folder.file("run/state")},
          {"HOME", folder.file("home")},
          {"XDG_CONFIG_HOME", folder.file("home/.config")},
          {"PULSE_SERVER", "unix:" + daemon.socketPath()},
          {"PULSE_COOKIE", folder.file("home/cookie")}})
        ::setenv(name, value.c_str(), 1);
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
