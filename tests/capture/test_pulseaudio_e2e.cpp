// SPDX-License-Identifier: GPL-3.0-or-later
// End to end through a private PulseAudio daemon whose pipe source is fed a generated line in
// real time: the program measuring it live (against the same line measured as a recording), its
// device list, stop signals and device errors, recording the live input and publishing it over
// MQTT through a broker that goes away and comes back, the capture layer in this process losing
// the server and starting again once it is back, and the window's message when the source it
// captures goes away. Everything the daemon and the program write stays
// in a temporary folder. No timing is asserted: the waits are generous upper limits.

#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QTest>
#include <cmath>
#include <csignal>

#include "../publish/BrokerFixture.h"
#include "PulseFixture.h"
#include "RecordingTestSupport.h"
#include "capture/AudioDeviceInput.h"
#include "capture/CaptureCycle.h"
#include "session/MeasurementSession.h"
#include "window/CaptureControls.h"
#include "window/MainWindow.h"

namespace acw {
namespace {

using test::lines;

test::PulseDaemon* gDaemon = nullptr;  // the test runs in its folder
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
        test::Program list({"--list-devices"}, "list.err", "list.out");
        list.wait();
        ASSERT_EQ(list.out(),
                  "0 " + ("Unix FIFO source " + gDaemon->fifoPath()).substr(0, 31) + "\n");
    }
    // The program measuring `device` live, once it is capturing, and the line fed to the pipe.
    void measureLive(const std::string& device, std::vector<std::string> more = {}) {
        more.insert(more.begin(), {"--measure", "--device", device});
        live = std::make_unique<test::Program>(more, "live.err", "live.out");
        EXPECT_TRUE(waitFor([&] { return !live->out().empty() || live->finished(); }));
        feed = std::make_unique<test::LineFeed>(gDaemon->fifoPath(), line());
    }
    std::unique_ptr<test::Program> live;
    std::unique_ptr<test::LineFeed> feed;
};

// What the program measures live from the sound card is what it measures from a recording of
// the same line: the captured buffers are whole, contiguous stretches of the line and measure
// exactly as the engine measures them.
TEST_F(PulseAudio, LiveMeasuringGivesTheCsvOfTheSameLineRecorded) {
    measureLive("0", {"--buffers", "6"});
    ASSERT_EQ(live->wait(), 0) << live->err();
    ASSERT_TRUE(test::writeWav("line.wav", line()));
    test::Program recorded({"--measure", "--input", "line.wav"}, "rec.err", "rec.out");
    ASSERT_EQ(recorded.wait(), 0) << recorded.err();
    const auto got = lines(live->out()), want = lines(recorded.out());
    ASSERT_EQ(got.size(), 7u) << live->out();
    // A buffer dropped on a machine that fell behind shows as a gap in time_s; from there on
    // only the readings of a buffer alone (volts, amps, watts, VA, PF) can agree.
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

// A live run ends after complete lines: with status 0 and nothing on stderr at Ctrl-C or
// SIGTERM (the pipe is also the system's default input), with status 1 and one line naming the
// device and why when the line goes quiet, the server dies or the source goes away. A device
// that is not there is refused before any output.
TEST_F(PulseAudio, LiveRunsEndCleanlyOrSayWhyTheyStopped) {
    test::Program unknown({"--measure", "--device", "1"}, "1.err", "1.out");
    EXPECT_EQ(unknown.wait(), 2);
    EXPECT_EQ(unknown.out() + "|" + unknown.err(),
              "|ac-wattmeter: sound card 1 did not open: there is no audio input number 1 (see "
              "--list-devices)\n");
    const struct {
        std::string device;
        std::function<void(PulseAudio&)> end;
        std::string reason;
    } cases[] = {
        {"0", [](PulseAudio& t) { t.live->signal(SIGINT); }, ""},
        {"-1", [](PulseAudio& t) { t.live->signal(SIGTERM); }, ""},
        {"0", [](PulseAudio& t) { t.feed.reset(); }, "no sound arrived for 3 s"},
        {"0", [](PulseAudio&) { gDaemon->kill(); }, "\"Unix FIFO source"},
        {"0", [](PulseAudio&) { std::system("pactl unload-module module-pipe-source"); },
         "\"Unix FIFO source"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.device + c.reason);
        ASSERT_TRUE(gDaemon->start());  // again, after the server died
        measureLive(c.device);
        ASSERT_TRUE(waitFor([&] { return lines(live->out()).size() >= 4; })) << live->err();
        c.end(*this);
        EXPECT_EQ(live->wait(), c.reason.empty() ? 0 : 1);
        const std::string out = live->out(), err = live->err();
        EXPECT_EQ(lines(err).size(), c.reason.empty() ? 0u : 1u) << err;
        EXPECT_EQ(err.rfind("ac-wattmeter: sound card 0 'Unix FIFO source", 0),
                  c.reason.empty() ? std::string::npos : 0u);
        const std::string count = std::to_string(lines(out).size() - 1);
        const std::size_t stopped =
            std::min(err.find("' stopped after " + count + " "), err.size());
        EXPECT_NE(err.find(c.reason, stopped), std::string::npos) << err;
        EXPECT_EQ(out.back(), '\n');
        for (const std::string& row : lines(out)) EXPECT_EQ(test::split(row, ',').size(), 11u);
    }
    gDaemon->kill();  // the next test starts a daemon with its pipe source again
}

// The live input recorded as WAV and as FLAC measures again as it was measured live (time_s
// aside, which counts buffers dropped while the machine fell behind).
TEST_F(PulseAudio, RecordedLiveInputMeasuresTheSameAgain) {
    for (const std::string file : {"live.wav", "live.flac"}) {
        measureLive("0", {"--buffers", "5", "--record", file});
        ASSERT_EQ(live->wait(), 0) << live->err();
        test::Program again({"--measure", "--input", file}, "again.err", "again.out");
        ASSERT_EQ(again.wait(), 0) << again.err();
        const auto got = lines(live->out()), want = lines(again.out());
        ASSERT_EQ(got.size(), want.size()) << file;
        for (std::size_t i = 1; i < got.size(); ++i)
            EXPECT_EQ(got[i].substr(got[i].find(',')), want[i].substr(want[i].find(',')));
    }
}

// A broker that goes away during a live run holds up no line; states come again once it is
// back, and stderr says both.
TEST_F(PulseAudio, LiveRunPublishesThroughABrokerThatGoesAndComesBack) {
    test::TempFolder folder;
    test::MosquittoBroker broker(folder.path().toStdString());
    std::string why;
    if (!broker.start(&why)) GTEST_SKIP() << why;
    measureLive("0", {"--mqtt", "mqtt://127.0.0.1:" + std::to_string(broker.port()) + "/acw/e2e"});
    ASSERT_NE(test::subscribe(broker.port(), "acw/e2e/state", 1), "");
    broker.stop();
    const std::size_t before = lines(live->out()).size();
    EXPECT_TRUE(waitFor([&] { return lines(live->out()).size() >= before + 8; }));  // 3 s
    ASSERT_TRUE(broker.start(&why)) << why;
    const auto back = std::chrono::steady_clock::now();
    EXPECT_NE(test::subscribe(broker.port(), "acw/e2e/state", 1), "");
    std::fprintf(stderr, "states again %.2f s after the broker's return\n",
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - back).count());
    live->signal(SIGINT);
    EXPECT_EQ(live->wait(), 0);
    const auto rows = lines(live->out());
    for (std::size_t i = 2; i < rows.size(); ++i)  // one line per buffer, none missing
        EXPECT_NEAR(std::stod(rows[i]) - std::stod(rows[i - 1]), 4096.0 / 11025, 1e-6) << i;
    const std::string err = live->err();
    EXPECT_NE(err.find(" lost "), std::string::npos) << err;
    EXPECT_NE(err.find("MQTT broker"), err.rfind("MQTT broker")) << err;
}

// In this process: the server dies while capturing; the capture stops with the message naming
// the device, and START works again on the same session once the server is back.
TEST_F(PulseAudio, CaptureStopsWhenTheServerDiesAndStartsAgainOnceItIsBack) {
    auto session = std::make_unique<MeasurementSession>(std::make_unique<AudioDeviceInput>());
    session->captureCycle().setWatchdogMs(600000);  // only the backend may notice here
    std::string errors;                             // "<text> <advice>", a line each
    session->setErrorReporter([&](const QString&, const QString& text, const QString& why) {
        errors += (text + " " + why + "\n").toStdString();
    });
    feed = std::make_unique<test::LineFeed>(gDaemon->fifoPath(), line());
    ASSERT_TRUE(session->startCapture());  // the pipe, device 0
    ASSERT_TRUE(waitFor([&] { return session->buffersMeasured() >= 2; }));
    gDaemon->kill();
    ASSERT_TRUE(waitFor([&] { return !errors.empty(); }));
    EXPECT_EQ(errors.rfind("Wave input device stopped! ", 0), 0u) << errors;
    EXPECT_NE(errors.find("\"Unix FIFO source"), std::string::npos) << errors;

    ASSERT_TRUE(gDaemon->start());
    feed = std::make_unique<test::LineFeed>(gDaemon->fifoPath(), line());
    // The client library reconnects a few seconds after the server came back; until then START
    // fails with its message and is simply pressed again.
    errors.clear();
    bool started = false;
    for (int i = 0; i < 120 && !started; ++i)
        started = (QTest::qWait(500), session->startCapture());
    ASSERT_TRUE(started) << errors;
    EXPECT_TRUE(waitFor([&] { return session->captureCycle().buffersProcessed() >= 3; }));
    // STOP inside the stream's own buffer signal, and the session deleted before any event loop
    // could delete the stream it closed: the stream goes with it.
    QEventLoop loop;
    QObject::connect(&session->input(), &WaveInput::bufferReady, &loop, [&] {
        session->stopCapture();
        loop.quit();
    });
    loop.exec();
    session.reset();
}

// The window capturing one of two sources: when that source goes away, the warning stays on
// screen until it is dismissed. (Last: the audio system in this process needs a while to find
// the server again afterwards.)
TEST_F(PulseAudio, TheWindowShowsTheLossOfItsSourceUntilDismissed) {
    const std::string other = "module-pipe-source source_name=other file=" +
                              gDaemon->fifoPath() + ".2 source_properties=device.description=" +
                              std::string(40, 'x');
    ASSERT_EQ(std::system(("pactl load-module " + other + " > /dev/null").c_str()), 0);
    feed = std::make_unique<test::LineFeed>(gDaemon->fifoPath(), line());
    MeasurementSession session(std::make_unique<AudioDeviceInput>());
    session.captureCycle().setWatchdogMs(600000);  // only the loss may stop it here
    MainWindow window(session);
    window.captureControls().listDevices();
    const auto pipe = window.controls().deviceList->findItems("Unix FIFO", Qt::MatchStartsWith);
    ASSERT_EQ(pipe.size(), 1);
    window.captureControls().selectListEntry(window.controls().deviceList->row(pipe[0]));
    window.show();
    window.captureControls().startCapture();
    ASSERT_TRUE(waitFor([&] { return session.buffersMeasured() >= 2; }));
    std::system("pactl unload-module module-pipe-source");
    const auto box = [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible()) return b;
        return static_cast<QMessageBox*>(nullptr);
    };
    ASSERT_TRUE(waitFor([&] { return box() != nullptr; }));
    EXPECT_EQ(box()->text(), "Wave input device stopped!");
    QTest::qWait(3000);  // the audio system settles; the box stays
    ASSERT_NE(box(), nullptr);
    box()->close();
    EXPECT_TRUE(waitFor([&] { return box() == nullptr; }));
    gDaemon->kill();
}

}  // namespace
}  // namespace acw

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    acw::test::TempFolder folder;
    std::filesystem::current_path(folder.path().toStdString());
    // The daemon, the client library and the program keep every file in the temporary folder.
    acw::test::PulseDaemon daemon(folder.path().toStdString());
    acw::gDaemon = &daemon;
    for (const char* variable : {"XDG_RUNTIME_DIR", "HOME"})  // the folder is private (0700)
        ::setenv(variable, folder.path().toLocal8Bit().constData(), 1);
    ::setenv("PULSE_SERVER", ("unix:" + daemon.socketPath()).c_str(), 1);
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
