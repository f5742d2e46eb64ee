// End to end through a real audio server: a private PulseAudio daemon with a pipe source at
// 11025 Hz stereo s16le is fed a generated recording in real time, and the instrument captures it
// through the Qt Multimedia backend. Everything the daemon writes stays in a temporary folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sndfile.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QMediaDevices>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "PulseFixture.h"
#include "app/CaptureBinding.h"
#include "app/CommandLine.h"
#include "app/MainWindow.h"
#include "app/ProgramWindow.h"
#include "capture/AudioDeviceInput.h"
#include "capture/CaptureCycle.h"
#include "capture/RecordingReader.h"
#include "measure/MeasurementEngine.h"
#include "measure/SyntheticSignal.h"

namespace acw {
namespace {

QTemporaryDir* gDir = nullptr;

QString fifoPath() { return gDir->filePath("run/line-in.fifo"); }
QString socketPath() { return gDir->filePath("run/native"); }

// The private daemon. Started once for the suite; stopped at the end whatever happens (also when
// the test process dies: the daemon gets SIGKILL when its parent goes).
class Daemon {
public:
    bool start(QString* why) {
        if (running()) return true;
        const QString exe = QStandardPaths::findExecutable("pulseaudio");
        if (exe.isEmpty()) {
            *why = "pulseaudio is not installed";
            return false;
        }
        // A killed daemon leaves its socket and its FIFO behind.
        QFile::remove(socketPath());
        QFile::remove(fifoPath());
        process_ = std::make_unique<QProcess>();
        process_->setProgram(exe);
        process_->setArguments({
            "-n",
            "--daemonize=no",
            "--system=no",
            "--use-pid-file=no",
            "--exit-idle-time=-1",
            "--disable-shm=yes",
            "--log-target=stderr",
            "-L",
            "module-native-protocol-unix auth-anonymous=1 socket=" + socketPath(),
            "-L",
            "module-pipe-source source_name=acw_line_in file=" + fifoPath() +
                " format=s16le rate=11025 channels=2",
        });
        process_->setStandardOutputFile(gDir->filePath("pulseaudio.log"), QIODevice::Append);
        process_->setStandardErrorFile(gDir->filePath("pulseaudio.log"), QIODevice::Append);
        process_->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        process_->start();
        if (!process_->waitForStarted(10000)) {
            *why = "pulseaudio did not start";
            return false;
        }
        for (int i = 0; i < 200; ++i) {
            if (QFileInfo::exists(socketPath()) && QFileInfo::exists(fifoPath())) {
                QTest::qWait(200);
                return true;
            }
            if (process_->state() != QProcess::Running) break;
            QTest::qWait(50);
        }
        QFile log(gDir->filePath("pulseaudio.log"));
        log.open(QIODevice::ReadOnly);
        *why = "pulseaudio did not come up: " + QString::fromLocal8Bit(log.readAll());
        stop();
        return false;
    }

    void kill() {
        if (!process_) return;
        process_->kill();
        process_->waitForFinished(10000);
        process_.reset();
    }
    void stop() { kill(); }
    bool running() const { return process_ && process_->state() == QProcess::Running; }

private:
    std::unique_ptr<QProcess> process_;
};

Daemon* gDaemon = nullptr;

// Runs pactl against the private daemon; returns its exit code.
int pactl(const QStringList& arguments) {
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start("pactl", arguments);
    if (!p.waitForFinished(10000)) return -1;
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// A recording of `seconds` of the demo adaptor written as a WAV file and read back block by block
// through the recording reader, as headless measuring would read it.
std::vector<std::int16_t> makeRecording(int blocks) {
    const QString path = gDir->filePath("line.wav");
    SyntheticSignal signal(SyntheticSignal::demoAdaptor());
    std::vector<std::int16_t> values(static_cast<std::size_t>(blocks) * 8192);
    signal.fill(values, blocks * 4096);
    SF_INFO info{};
    info.samplerate = 11025;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(path.toLocal8Bit().constData(), SFM_WRITE, &info);
    EXPECT_NE(f, nullptr);
    if (!f) return {};
    sf_writef_short(f, values.data(), blocks * 4096);
    sf_close(f);

    RecordingReader reader;
    EXPECT_EQ(reader.open(path.toStdString()), "");
    std::vector<std::int16_t> read(values.size());
    for (int b = 0; b < blocks; ++b) {
        EXPECT_TRUE(reader.readBlock(read.data() + static_cast<std::size_t>(b) * 8192));
    }
    EXPECT_EQ(read, values);
    return read;
}

struct Reading {
    double voltsRms, ampsRms, watts, voltAmps, powerFactor, voltsCrest, ampsCrest, frequency;
    std::string label37, label35, label40;
    bool operator==(const Reading&) const = default;
};

Reading readingOf(const MeasurementEngine& e) {
    return {e.voltsRms,         e.ampsRms,          e.watts,           e.voltAmps,
            e.powerFactor,      e.voltsCrest,       e.ampsCrest,       e.averageFrequency,
            e.readouts.label37, e.readouts.label35, e.readouts.label40};
}

class PulseAudioEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        QString why;
        if (!gDaemon->start(&why))
            GTEST_SKIP() << "PulseAudio end-to-end test skipped: " << why.toStdString();
        engine = std::make_unique<MeasurementEngine>();
        input = std::make_unique<AudioDeviceInput>();
        CaptureHost host;
        host.processBuffer = [this] {
            engine->ProcessBuffer();
            captured.emplace_back(engine->captureBuffer.begin(),
                                  engine->captureBuffer.begin() + 8192);
            readings.push_back(readingOf(*engine));
        };
        host.showLamps = [] {};
        host.reportError = [this](const QString& title, const QString& text,
                                  const QString& advice) {
            errors.push_back((title + ": " + text).toStdString());
            advices.push_back(advice.toStdString());
        };
        cycle = std::make_unique<CaptureCycle>(*input, *engine, host);
    }

    // The id of the pipe source in the device list.
    int pipeSourceId() const {
        const QStringList names = input->deviceNames();
        for (int i = 0; i < names.size(); ++i) {
            if (names[i].startsWith("Unix FIFO source")) return i;
        }
        return -2;
    }

    std::unique_ptr<MeasurementEngine> engine;
    std::unique_ptr<AudioDeviceInput> input;
    std::unique_ptr<CaptureCycle> cycle;
    std::vector<std::vector<std::int16_t>> captured;
    std::vector<Reading> readings;
    std::vector<std::string> errors;
    std::vector<std::string> advices;
};

TEST_F(PulseAudioEndToEnd, CapturedBuffersMeasureExactlyLikeTheRecording) {
    const int id = pipeSourceId();
    ASSERT_GE(id, 0) << input->deviceNames().join(", ").toStdString();
    EXPECT_LE(input->deviceNames()[id].size(), 31);
    const std::vector<std::int16_t> recording = makeRecording(24);  // 8.9 s
    ASSERT_FALSE(recording.empty());

    test::FifoWriter writer(fifoPath().toStdString(), recording);
    QTest::qWait(600);  // the line is live before START, as with a real adaptor
    ASSERT_TRUE(cycle->start(id));
    constexpr std::size_t kBuffers = 8;
    EXPECT_TRUE(QTest::qWaitFor([&] { return captured.size() >= kBuffers; }, 20000));
    cycle->StopCapture();
    writer.stop();
    ASSERT_FALSE(writer.failed());
    ASSERT_GE(captured.size(), kBuffers);
    EXPECT_TRUE(errors.empty());

    // Where in the recording the first buffer starts (the line was live before START).
    const std::size_t frames = recording.size() / 2;
    std::size_t offset = frames;
    for (std::size_t k = 0; k + 4096 <= frames; ++k) {
        if (std::equal(captured[0].begin(), captured[0].end(), recording.begin() + 2 * k)) {
            offset = k;
            break;
        }
    }
    ASSERT_LT(offset, frames) << "the first captured buffer is not a stretch of the recording";
    ASSERT_LE(offset + captured.size() * 4096, frames);

    // Every buffer follows the previous one without a gap, and measuring the same stretches of
    // the recording block by block gives exactly the same readings.
    auto reference = std::make_unique<MeasurementEngine>();
    reference->startCapture();
    for (std::size_t j = 0; j < captured.size(); ++j) {
        const auto begin = recording.begin() + 2 * (offset + j * 4096);
        ASSERT_TRUE(std::equal(captured[j].begin(), captured[j].end(), begin))
            << "buffer " << j << " is not contiguous with the previous one";
        std::copy(begin, begin + 8192, reference->captureBuffer.begin());
        reference->ProcessBuffer();
        EXPECT_EQ(readings[j], readingOf(*reference)) << "buffer " << j;
    }
    // The demo line: about 120 V, 5 A, PF 0.85 at 60 Hz.
    EXPECT_NEAR(readings.back().voltsRms, 120.0, 1.0);
    EXPECT_NEAR(readings.back().ampsRms, 5.0, 0.1);
    EXPECT_NEAR(readings.back().powerFactor, 0.85, 0.01);
    EXPECT_NEAR(readings.back().frequency, 60.0, 1.0);
}

TEST_F(PulseAudioEndToEnd, LineGoingQuietStopsWithTheMessageAfterThreeSeconds) {
    const int id = pipeSourceId();
    ASSERT_GE(id, 0);
    const std::vector<std::int16_t> recording = makeRecording(40);
    test::FifoWriter writer(fifoPath().toStdString(), recording);
    ASSERT_TRUE(cycle->start(id));
    ASSERT_TRUE(QTest::qWaitFor([&] { return captured.size() >= 2; }, 20000));

    writer.pause();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !errors.empty(); }, 30000));
    const std::size_t buffers = captured.size();
    QTest::qWait(500);
    writer.stop();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Error: Wave input device stopped!");
    EXPECT_FALSE(cycle->isCapturing());
    EXPECT_EQ(captured.size(), buffers);
}

TEST_F(PulseAudioEndToEnd, UnpluggedSourceStopsWithTheMessage) {
    const int id = pipeSourceId();
    ASSERT_GE(id, 0);
    const std::vector<std::int16_t> recording = makeRecording(40);
    cycle->setWatchdogMs(600000);  // only the backend may notice here
    test::FifoWriter writer(fifoPath().toStdString(), recording);
    ASSERT_TRUE(cycle->start(id));
    ASSERT_TRUE(QTest::qWaitFor([&] { return captured.size() >= 2; }, 20000));

    ASSERT_EQ(pactl({"unload-module", "module-pipe-source"}), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !errors.empty(); }, 30000));
    writer.stop();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Error: Wave input device stopped!");
    EXPECT_NE(advices[0].find("\"Unix FIFO source"), std::string::npos) << advices[0];
    EXPECT_FALSE(cycle->isCapturing());

    // Plug it back in for the tests that follow.
    ASSERT_EQ(QProcess::execute("pactl",
                                {"load-module", "module-pipe-source", "source_name=acw_line_in",
                                 "file=" + fifoPath(), "format=s16le", "rate=11025", "channels=2"}),
              0);
    EXPECT_TRUE(QTest::qWaitFor(
        [] {
            for (const QAudioDevice& d : QMediaDevices::audioInputs()) {
                if (d.description().startsWith("Unix FIFO source")) return true;
            }
            return false;
        },
        10000));
}

// The audio server killed while capturing, then started again: the capture stops with the
// message, and START works again on the same input once the server is back.
TEST_F(PulseAudioEndToEnd, ServerKilledMidCaptureStopsWithTheMessageAndStartWorksAfterRestart) {
    const int id = pipeSourceId();
    ASSERT_GE(id, 0);
    const std::vector<std::int16_t> recording = makeRecording(40);
    cycle->setWatchdogMs(600000);  // only the backend may notice here
    {
        test::FifoWriter writer(fifoPath().toStdString(), recording);
        ASSERT_TRUE(cycle->start(id));
        ASSERT_TRUE(QTest::qWaitFor([&] { return captured.size() >= 2; }, 20000));

        gDaemon->kill();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !errors.empty(); }, 20000));
    }
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Error: Wave input device stopped!");
    // The advice names the device that stopped.
    EXPECT_NE(advices[0].find("\"Unix FIFO source"), std::string::npos) << advices[0];
    EXPECT_FALSE(cycle->isCapturing());
    EXPECT_FALSE(input->isOpen());

    QString why;
    ASSERT_TRUE(gDaemon->start(&why)) << why.toStdString();
    ASSERT_TRUE(QTest::qWaitFor(
        [] {
            for (const QAudioDevice& d : QMediaDevices::audioInputs()) {
                if (d.description().startsWith("Unix FIFO source")) return true;
            }
            return false;
        },
        10000));
    captured.clear();
    readings.clear();
    test::FifoWriter writer(fifoPath().toStdString(), recording);
    // The client library reconnects to the new server a few seconds after it lost the old one;
    // until then START fails with its message and may simply be pressed again.
    QElapsedTimer sinceRestart;
    sinceRestart.start();
    bool started = false;
    while (!started && sinceRestart.elapsed() < 20000) {
        QTest::qWait(500);
        started = cycle->start(id);
    }
    ASSERT_TRUE(started) << advices.back();
    std::printf("START worked again %.1f s after the server restart (%zu failed STARTs)\n",
                static_cast<double>(sinceRestart.elapsed()) / 1000.0, errors.size() - 1);
    for (std::size_t i = 1; i < errors.size(); ++i) {
        EXPECT_EQ(errors[i], "Error: Wave input device didn't open!");
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return captured.size() >= 3; }, 20000));
    cycle->StopCapture();
    writer.stop();
    ASSERT_GE(captured.size(), 3u);
    EXPECT_NEAR(readings.back().voltsRms, 120.0, 1.0);
    EXPECT_NEAR(readings.back().ampsRms, 5.0, 0.1);
}

// An input destroyed right after close(), before control is back in an event loop, releases the
// stream it just stopped, whether it was closed from the event loop or from a handler of the
// stream's own signal; and one destroyed while still capturing releases it too.
TEST_F(PulseAudioEndToEnd, InputDestroyedRightAfterCloseOrWhileCapturing) {
    const int id = pipeSourceId();
    ASSERT_GE(id, 0);
    const std::vector<std::int16_t> recording = makeRecording(40);
    test::FifoWriter writer(fifoPath().toStdString(), recording);
    cycle.reset();
    for (int round = 0; round < 3; ++round) {
        auto closed = std::make_unique<AudioDeviceInput>();
        ASSERT_TRUE(closed->open(id, WaveFormat::stereoPcm11025()));
        closed->start();
        QTest::qWait(300);
        // Closed from inside an event loop, as a click on STOP does, and destroyed once that
        // loop has returned: the stream was handed over for later deletion but never deleted.
        QEventLoop loop;
        QTimer::singleShot(0, &loop, [&] {
            closed->close();
            loop.quit();
        });
        loop.exec();
        EXPECT_FALSE(closed->isOpen());
        closed.reset();

        // Closed by a buffer handler, inside the stream's own signal, and destroyed once the
        // event loop has returned, before it could delete the stream.
        auto fromHandler = std::make_unique<AudioDeviceInput>();
        int buffers = 0;
        QObject::connect(fromHandler.get(), &WaveInput::bufferReady, fromHandler.get(), [&] {
            ++buffers;
            fromHandler->close();
            loop.quit();
        });
        ASSERT_TRUE(fromHandler->open(id, WaveFormat::stereoPcm11025()));
        fromHandler->start();
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        EXPECT_EQ(buffers, 1);
        EXPECT_FALSE(fromHandler->isOpen());
        fromHandler.reset();

        auto running = std::make_unique<AudioDeviceInput>();
        ASSERT_TRUE(running->open(id, WaveFormat::stereoPcm11025()));
        running->start();
        QTest::qWait(300);
        running.reset();
    }
    // The server still serves a new input afterwards.
    input = std::make_unique<AudioDeviceInput>();
    ASSERT_TRUE(input->open(id, WaveFormat::stereoPcm11025()));
    input->close();
    writer.stop();
}

// The program with its window, run as a child process of this test on the private server: it
// starts capturing from the pipe source, and once buffers come in the window is closed, which
// stops the capture and ends the program the way it always does.
constexpr const char* kWindowChildVariable = "ACW_E2E_WINDOW_CHILD";

void driveWindowChild() {
    QTimer::singleShot(0, [] {
        TGNCounter* window = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* t = qobject_cast<TGNCounter*>(w)) window = t;
        }
        auto* capture = window ? window->findChild<CaptureBinding*>() : nullptr;
        if (capture == nullptr) {
            std::fprintf(stderr, "no capture binding in the window\n");
            std::_Exit(90);
        }
        capture->setSelectedDevice(qEnvironmentVariableIntValue(kWindowChildVariable));
        capture->start();
        auto* poll = new QTimer(window);
        auto* since = new QElapsedTimer;
        since->start();
        QObject::connect(poll, &QTimer::timeout, window, [window, capture, poll, since] {
            if (!capture->isCapturing() && since->elapsed() < 20000) return;
            // A second of live readings, then the user closes the window while capturing.
            if (since->elapsed() < 1500 && capture->isCapturing()) return;
            poll->stop();
            std::printf("capturing=%d\n", capture->isCapturing() ? 1 : 0);
            std::fflush(stdout);
            window->close();
        });
        poll->start(100);
    });
}

int runWindowChild(int argc, char** argv) {
    CommandLineOptions options;
    options.settingsPath = QDir(qEnvironmentVariable("HOME")).filePath("window.ini").toStdString();
    qAddPreRoutine(driveWindowChild);
    return runWindow(argc, argv, options);
}

// Closing the window during capture ends the program cleanly, every time: status 0, the settings
// written, no abort in the audio backend's teardown (it came about one run in twenty).
TEST_F(PulseAudioEndToEnd, WindowClosedDuringCaptureEndsTheProgramCleanly) {
    const int id = pipeSourceId();
    ASSERT_GE(id, 0);
    const std::vector<std::int16_t> recording = makeRecording(60);
    test::FifoWriter writer(fifoPath().toStdString(), recording);
    cycle.reset();
    input.reset();
    const QString settings = QDir(qEnvironmentVariable("HOME")).filePath("window.ini");
    QFile::remove(settings);
    for (int run = 0; run < 8; ++run) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(kWindowChildVariable, QString::number(id));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        const bool finished = child.waitForFinished(30000);
        if (!finished) {
            child.kill();
            child.waitForFinished(10000);
        }
        const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(child.readAllStandardError());
        ASSERT_TRUE(finished) << "run " << run << " did not end: " << out.toStdString()
                              << err.toStdString();
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit)
            << "run " << run << ": " << err.toStdString();
        EXPECT_EQ(child.exitCode(), 0) << "run " << run << ": " << err.toStdString();
        EXPECT_TRUE(out.contains("capturing=1")) << out.toStdString() << err.toStdString();
        // The shutdown wrote the settings before the program ended.
        EXPECT_TRUE(QFileInfo::exists(settings)) << "run " << run;
        QFile::remove(settings);
        EXPECT_FALSE(err.contains("Assertion")) << err.toStdString();
    }
    writer.stop();
}

}  // namespace
}  // namespace acw

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    // The child runs in the parent's temporary folder and on its server.
    if (qEnvironmentVariableIsSet(acw::kWindowChildVariable))
        return acw::runWindowChild(argc, argv);
    QTemporaryDir dir(QDir::tempPath() + "/acw-pulse-XXXXXX");
    if (!dir.isValid()) return 1;
    acw::gDir = &dir;
    QDir().mkpath(dir.filePath("run"));
    QDir().mkpath(dir.filePath("home"));
    QFile::setPermissions(dir.filePath("run"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // The daemon and the client library keep every file in the temporary folder.
    ::setenv("XDG_RUNTIME_DIR", dir.filePath("run").toLocal8Bit().constData(), 1);
    ::setenv("PULSE_RUNTIME_PATH", dir.filePath("run/pulse").toLocal8Bit().constData(), 1);
    ::setenv("PULSE_STATE_PATH", dir.filePath("run/state").toLocal8Bit().constData(), 1);
    ::setenv("HOME", dir.filePath("home").toLocal8Bit().constData(), 1);
    ::setenv("XDG_CONFIG_HOME", dir.filePath("home/.config").toLocal8Bit().constData(), 1);
    ::setenv("PULSE_SERVER", ("unix:" + acw::socketPath()).toLocal8Bit().constData(), 1);
    ::setenv("PULSE_COOKIE", dir.filePath("home/cookie").toLocal8Bit().constData(), 1);
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");

    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    acw::Daemon daemon;
    acw::gDaemon = &daemon;
    const int rc = RUN_ALL_TESTS();
    daemon.stop();
    return rc;
}
