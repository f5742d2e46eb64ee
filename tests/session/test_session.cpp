// SPDX-License-Identifier: GPL-3.0-or-later
// The measurement session with the capture cycle inside it: paced runs from a scripted input
// (START, STOP, the order of what observers hear, the capture errors), the drop count, a
// recording cut short while playing, and unpaced runs of recordings.

#include <gtest/gtest.h>

#include <QFile>
#include <QTest>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "RecordingTestSupport.h"
#include "ScriptedInput.h"
#include "capture/CaptureCycle.h"
#include "capture/PacedInput.h"
#include "measure/CsvRow.h"
#include "measure/MeasurementEngine.h"
#include "session/MeasurementObserver.h"
#include "session/MeasurementSession.h"

namespace acw {
namespace {

using test::ScriptedInput;
using Log = std::vector<std::string>;

// Writes every call into a log shared by several observers, as "<name> <call>".
struct Recorder : MeasurementObserver {
    Recorder(std::string n, Log& l) : name(std::move(n)), log(l) {}
    void measured(const Measurement& m) override {
        log.push_back(name + " buffer " + std::to_string(m.bufferIndex) + " " +
                      std::string(lampName(m.voltsLock)) + "/" + std::string(lampName(m.ampsLock)));
        seen.push_back(m);
        first.push_back(m.capturedFrames[0]);
        if (onMeasured) onMeasured(m);
    }
    void lampsChanged(Lamp v, Lamp a) override {
        log.push_back(name + " lamps " + std::string(lampName(v)) + "/" + std::string(lampName(a)));
    }
    void captureStarted() override { log.push_back(name + " started"); }
    void captureStopped() override { log.push_back(name + " stopped"); }

    std::string name;
    Log& log;
    std::vector<Measurement> seen;  // spans and texts not valid afterwards
    std::vector<std::int16_t> first;
    std::function<void(const Measurement&)> onMeasured;
};

// A scripted input that reports buffers dropped since it was opened.
struct DroppingInput : ScriptedInput {
    std::uint64_t droppedBuffers() const override { return dropped; }
    std::uint64_t dropped = 0;
};

// A session around a scripted input, observed by A and then B.
struct PacedSession {
    PacedSession() {
        auto owned = std::make_unique<DroppingInput>();
        input = owned.get();
        session = std::make_unique<MeasurementSession>(std::move(owned));
        session->setErrorReporter(
            [this](const QString& title, const QString& text, const QString& advice) {
                log.push_back("error " + (title + ": " + text).toStdString());
                advice_ = advice.toStdString();
            });
        session->addObserver(a);
        session->addObserver(b);
    }
    // Buffers of a clean 50 Hz line, each following the one before.
    ScriptedInput::Buffer next() {
        ScriptedInput::Buffer buffer{};
        signal.fill(buffer, 4096);
        return buffer;
    }
    void waitMeasured(std::size_t n) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return b.seen.size() >= n; }, 20000));
    }
    Log tail(std::size_t from) const { return Log(log.begin() + from, log.end()); }

    Log log;
    std::string advice_;
    Recorder a{"A", log};
    Recorder b{"B", log};
    DroppingInput* input = nullptr;
    std::unique_ptr<MeasurementSession> session;
    SyntheticSignal signal{SyntheticSignal::sine(50.0, 12000.0, 3000.0, 20.0)};
};

TEST(PacedSession, ObserversHearOneRunInOrderWithEachBufferMeasuredOnce) {
    PacedSession s;
    s.session->setSelectedDevice(1);
    s.session->setVoltsCal(2.0);
    s.session->setAmpsCal(0.0);  // never stored: becomes 1
    ASSERT_TRUE(s.session->startCapture());
    EXPECT_EQ(s.input->lastOpenId, 1);
    EXPECT_EQ(s.input->lastFormat, (WaveFormat{1, 2, 11025, 44100, 4, 16, 0}));
    EXPECT_EQ(s.input->startCalls, 1);
    EXPECT_TRUE(s.session->startCapture()) << "a second START goes on with the running capture";
    EXPECT_EQ(s.input->openCalls, 1);

    auto reference = std::make_unique<MeasurementEngine>();
    reference->voltsCal = 2.0;
    reference->StartCapture();
    std::vector<ScriptedInput::Buffer> pushed;
    for (std::size_t i = 0; i < 5; ++i) {
        pushed.push_back(s.next());
        s.input->push(pushed.back());
        s.waitMeasured(i + 1);
    }
    s.session->stopCapture();
    EXPECT_EQ(s.input->closeCalls, 1);
    EXPECT_EQ(s.log, (Log{"A lamps red/red", "B lamps red/red", "A started", "B started",
                          "A buffer 0 red/red", "B buffer 0 red/red", "A buffer 1 red/red",
                          "B buffer 1 red/red", "A buffer 2 red/red", "B buffer 2 red/red",
                          "A buffer 3 green/green", "B buffer 3 green/green",
                          "A buffer 4 green/green", "B buffer 4 green/green", "A lamps black/black",
                          "B lamps black/black", "A stopped", "B stopped"}));
    ASSERT_EQ(s.b.seen.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE("buffer " + std::to_string(i));
        std::copy(pushed[i].begin(), pushed[i].end(), reference->captureBuffer.begin());
        reference->ProcessBuffer();
        const Measurement& m = s.b.seen[i];
        EXPECT_EQ(m.startFrame, static_cast<std::int64_t>(i) * 4096);
        EXPECT_EQ(m.buffersDroppedBefore, 0u);
        EXPECT_EQ(s.b.first[i], pushed[i][0]);
        EXPECT_EQ(m.voltsCal, 2.0);
        EXPECT_EQ(m.ampsCal, 1.0);
        EXPECT_EQ(m.readings.voltsRms, reference->voltsRms);
        EXPECT_EQ(m.readings.ampsRms, reference->ampsRms);
        EXPECT_EQ(m.readings.watts, reference->watts);
        EXPECT_EQ(m.readings.averageFrequency, reference->averageFrequency);
    }
    // STOP leaves the last readings; START again resets the averages and counts from 0.
    EXPECT_EQ(s.session->engine().voltsRms, reference->voltsRms);
    const std::size_t before = s.log.size();
    ASSERT_TRUE(s.session->startCapture());
    s.input->push(s.next());
    s.waitMeasured(6);
    EXPECT_EQ(s.tail(before), (Log{"A lamps red/red", "B lamps red/red", "A started", "B started",
                                   "A buffer 0 red/red", "B buffer 0 red/red"}));
    EXPECT_TRUE(s.advice_.empty());
}

// User events queued while a buffer is measured are handled before the next buffer; STOP between
// two buffers ends the run with the waiting ones unmeasured, and buffers after it are ignored.
TEST(PacedSession, OneBufferPerPassOfTheEventLoop) {
    PacedSession s;
    s.session->removeObserver(s.b);
    ASSERT_TRUE(s.session->startCapture());
    s.a.onMeasured = [&s](const Measurement& m) {
        QMetaObject::invokeMethod(
            s.session.get(),
            [&s, i = m.bufferIndex] {
                s.log.push_back("click " + std::to_string(i));
                if (i == 1) s.session->stopCapture();
            },
            Qt::QueuedConnection);
    };
    for (int i = 0; i < 3; ++i) s.input->push(s.next());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !s.session->isCapturing(); }, 20000));
    s.input->push(s.next());
    QTest::qWait(100);
    EXPECT_EQ(s.tail(2), (Log{"A buffer 0 red/red", "click 0", "A buffer 1 red/red", "click 1",
                              "A lamps black/black", "A stopped"}));
    EXPECT_EQ(s.input->taken, 2);
}

// Buffers the input dropped while measuring fell behind still count: the index says which
// buffer of the stream was measured, and each run counts afresh.
TEST(PacedSession, DroppedBuffersCountInTheIndex) {
    PacedSession s;
    s.input->dropped = 5;  // before START: not this run's
    ASSERT_TRUE(s.session->startCapture());
    s.input->push(s.next());
    s.waitMeasured(1);
    s.input->dropped = 7;
    s.input->push(s.next());
    s.waitMeasured(2);
    s.input->push(s.next());
    s.waitMeasured(3);
    s.session->stopCapture();
    ASSERT_TRUE(s.session->startCapture());
    s.input->push(s.next());
    s.waitMeasured(4);
    const std::pair<std::int64_t, std::uint64_t> expected[] = {{0, 0}, {3, 2}, {4, 0}, {0, 0}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(s.b.seen[i].bufferIndex, expected[i].first) << i;
        EXPECT_EQ(s.b.seen[i].startFrame, expected[i].first * 4096) << i;
        EXPECT_EQ(s.b.seen[i].buffersDroppedBefore, expected[i].second) << i;
    }
}

TEST(PacedSession, CaptureErrorsStopTheRunAndSayWhatToDo) {
    const std::string openAdvice =
        "Check that the device is connected and not held by another program, or choose another "
        "one under Soundcard Setup; then press START again.";
    const std::string stopAdvice =
        "The readings shown are those of the last buffer before the stop. Check the device or the "
        "recording (or restart the audio server), then press START again.";
    const Log refused{"error Error: Wave input device didn't open!"};
    const Log stopped{"A lamps red/red",
                      "B lamps red/red",
                      "A started",
                      "B started",
                      "A buffer 0 red/red",
                      "B buffer 0 red/red",
                      "A lamps black/black",
                      "B lamps black/black",
                      "A stopped",
                      "B stopped",
                      "error Error: Wave input device stopped!"};
    // Each fault comes before START and, for a running capture, after its first buffer.
    const struct {
        const char* name;
        std::function<void(PacedSession&)> beforeStart, afterBuffer;
        Log log;
        std::string advice;
    } cases[] = {
        {"open refused",
         [](PacedSession& s) {
             s.input->openSucceeds = false;
             s.input->openProblem = "there is no audio input number 3";
         },
         nullptr, refused, "There is no audio input number 3. " + openAdvice},
        {"open refused, no reason", [](PacedSession& s) { s.input->openSucceeds = false; }, nullptr,
         refused, openAdvice},
        {"device lost", [](PacedSession&) {},
         [](PacedSession& s) { s.input->lose("\"Card A\" is no longer present"); }, stopped,
         "\"Card A\" is no longer present. " + stopAdvice},
        {"device lost, no reason", [](PacedSession&) {}, [](PacedSession& s) { s.input->lose(); },
         stopped, stopAdvice},
        {"line quiet", [](PacedSession& s) { s.session->captureCycle().setWatchdogMs(300); },
         [](PacedSession&) {}, stopped,
         "No sound arrived from the device for 0.3 s. " + stopAdvice},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PacedSession s;
        c.beforeStart(s);
        EXPECT_EQ(s.session->startCapture(), c.afterBuffer != nullptr);
        if (c.afterBuffer) {
            s.input->push(s.next());
            s.waitMeasured(1);
            c.afterBuffer(s);
            EXPECT_TRUE(QTest::qWaitFor([&] { return !s.advice_.empty(); }, 20000));
        }
        EXPECT_EQ(s.log, c.log);
        EXPECT_EQ(s.advice_, c.advice);
        EXPECT_FALSE(s.session->isCapturing());
        EXPECT_EQ(s.input->startCalls, c.afterBuffer ? 1 : 0);
        // Nothing that comes after the stop is measured or reported again.
        s.input->lose("late");
        s.input->push(s.next());
        QTest::qWait(200);
        EXPECT_EQ(s.log, c.log);
    }
}

// The watchdog stays quiet while buffers keep coming, however long the run.
TEST(PacedSession, WatchdogWaitsForTheLineToGoQuiet) {
    PacedSession s;
    s.session->captureCycle().setWatchdogMs(600);
    ASSERT_TRUE(s.session->startCapture());
    for (std::size_t i = 1; i <= 12; ++i) {
        s.input->push(s.next());
        s.waitMeasured(i);
        QTest::qWait(150);
    }
    EXPECT_TRUE(s.session->isCapturing());
    EXPECT_TRUE(s.advice_.empty()) << s.advice_;
}

// A recording cut short on disk while the window plays it (a copy still in progress, another
// program rewriting it): the capture stops at the first block that cannot be read whole, with
// the reader's reason, and nothing partial or stale is measured after it.
TEST(RecordingSession, FileCutShortWhilePlayingStopsTheCaptureWithTheReason) {
    for (const int framesLeft : {4096 + 250, 100}) {
        test::TempFolder folder;
        const std::string path = folder.file("line.wav");
        ASSERT_TRUE(test::writeWav(path, test::synthesise(SyntheticSignal::demoAdaptor(), 12288)));
        MeasurementSession session(std::make_unique<RecordingInput>(path));
        Log log;
        std::string advice;
        Recorder a{"A", log};
        session.addObserver(a);
        session.setErrorReporter([&](const QString&, const QString& text, const QString& why) {
            log.push_back(text.toStdString());
            advice = why.toStdString();
        });
        ASSERT_TRUE(session.startCapture());
        std::filesystem::resize_file(path, 44 + framesLeft * 4);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !advice.empty(); }, 20000));
        QTest::qWait(800);  // two more buffer periods: nothing else arrives
        EXPECT_FALSE(session.input().isOpen());
        Log expected{"A lamps red/red",     "A started", "A buffer 0 red/red",
                     "A lamps black/black", "A stopped", "Wave input device stopped!"};
        if (framesLeft < 4096) expected.erase(expected.begin() + 2);
        EXPECT_EQ(log, expected);
        EXPECT_EQ(advice, "'" + path + "': reading stopped after " + std::to_string(framesLeft) +
                              " of 12288 frames (the file is shorter than its header says). The "
                              "readings shown are those of the last buffer before the stop. Check "
                              "the device or the recording (or restart the audio server), then "
                              "press START again.");
    }
}

// Unpaced runs of a recording of three whole blocks and a partial one.
TEST(UnpacedSession, EndsAtTheSignalsEndTheLimitAStopOrAFailure) {
    using End = MeasurementSession::UnpacedEnd;
    const struct {
        const char* name;
        std::int64_t limit;
        int stopAt;  // buffer whose observer asks to stop
        int cutAt;   // buffer after which the file is cut short
        bool missing;
        End end;
        int buffers;
        const char* problem;
    } cases[] = {
        {"signal end", 99, -1, -1, false, End::SignalEnded, 3, ""},
        {"limit", 2, -1, -1, false, End::LimitReached, 2, ""},
        {"stop", 99, 1, -1, false, End::Stopped, 2, ""},
        {"read failure", 99, -1, 0, false, End::ReadFailed, 1,
         "reading stopped after 4346 of 12788 frames (the file is shorter than its header says)"},
        {"open failure", 99, -1, -1, true, End::OpenFailed, 0, "no such file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempFolder folder;
        const std::string path = folder.file("line.wav");
        const auto samples = test::synthesise(SyntheticSignal::demoAdaptor(), 3 * 4096 + 500);
        ASSERT_TRUE(c.missing || test::writeWav(path, samples));
        MeasurementSession session(
            std::make_unique<RecordingInput>(path, RecordingInput::Playback::Once));
        Log log;
        Recorder a{"A", log};
        a.onMeasured = [&](const Measurement& m) {
            EXPECT_TRUE(std::equal(m.capturedFrames.begin(), m.capturedFrames.end(),
                                   samples.begin() + 8192 * m.bufferIndex));
            if (m.bufferIndex == c.stopAt) session.stopUnpaced();
            if (m.bufferIndex == c.cutAt) std::filesystem::resize_file(path, 44 + 4346 * 4);
        };
        session.addObserver(a);
        EXPECT_EQ(session.measureUnpaced(c.limit), c.end);
        Log expected{"A lamps red/red", "A started"};
        for (int i = 0; i < c.buffers; ++i)
            expected.push_back("A buffer " + std::to_string(i) + " red/red");
        expected.insert(expected.end(), {"A lamps black/black", "A stopped"});
        EXPECT_EQ(log, c.end == End::OpenFailed ? Log{} : expected);
        EXPECT_EQ(session.input().problem().toStdString(),
                  *c.problem ? "'" + path + "': " + c.problem : "");
        EXPECT_FALSE(session.input().isOpen());
    }
}

// An observer may leave, or let others leave or join, while it is called: those after it that
// left hear nothing more, one that joined hears from the next call on, the rest go on.
TEST(UnpacedSession, ObserversLeavingOrJoiningDuringACall) {
    test::TempFolder folder;
    const std::string path = folder.file("line.wav");
    ASSERT_TRUE(test::writeWav(path, test::synthesise(SyntheticSignal::demoAdaptor(), 2 * 4096)));
    MeasurementSession session(
        std::make_unique<RecordingInput>(path, RecordingInput::Playback::Once));
    Log log;
    Recorder a{"A", log}, b{"B", log}, c{"C", log}, d{"D", log};
    a.onMeasured = [&](const Measurement&) {
        session.removeObserver(b);
        session.removeObserver(a);
        session.addObserver(d);
    };
    for (Recorder* r : {&a, &b, &c}) session.addObserver(*r);
    EXPECT_EQ(session.measureUnpaced(99), MeasurementSession::UnpacedEnd::SignalEnded);
    EXPECT_EQ(log, (Log{"A lamps red/red", "B lamps red/red", "C lamps red/red", "A started",
                        "B started", "C started", "A buffer 0 red/red", "C buffer 0 red/red",
                        "C buffer 1 red/red", "D buffer 1 red/red", "C lamps black/black",
                        "D lamps black/black", "C stopped", "D stopped"}));
}

}  // namespace
}  // namespace acw
