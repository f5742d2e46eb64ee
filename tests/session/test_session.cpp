// SPDX-License-Identifier: GPL-3.0-or-later
// The measurement session with the capture cycle inside it: paced runs from a scripted input
// (what an observer hears and in which order, START and STOP, one buffer per pass of the event
// loop, the capture errors) and unpaced runs of recordings (several observers, some leaving).

#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>
#include <functional>

#include "RecordingTestSupport.h"
#include "ScriptedInput.h"
#include "capture/CaptureCycle.h"
#include "capture/PacedInput.h"
#include "measure/MeasurementObserver.h"
#include "session/MeasurementSession.h"

namespace acw {
namespace {

using test::ScriptedInput;

// Notes every call as a word of a line shared by several observers: "A*rr" lamps red/red (o =
// off, g = green), "A+" capture started, "A4rg" buffer 4 measured with lamps red/green ("A4rg~2":
// two buffers dropped just before it), "A-" capture stopped. Capture errors add "!<text>".
struct Recorder : MeasurementObserver {
    Recorder(char n, std::string& l) : name(n), log(l) {}
    void note(const std::string& word) { log += (log.empty() ? "" : " ") + (name + word); }
    static char letter(Lamp lamp) { return "org"[static_cast<int>(lamp)]; }
    void measured(const Measurement& m) override {
        const auto dropped = m.buffersDroppedBefore;
        note(std::to_string(m.bufferIndex) + letter(m.voltsLock) + letter(m.ampsLock) +
             (dropped ? "~" + std::to_string(dropped) : ""));
        if (onMeasured) onMeasured(m);
    }
    void lampsChanged(Lamp v, Lamp a) override { note(std::string("*") + letter(v) + letter(a)); }
    void captureStarted() override {
        note("+");
        if (onStarted) onStarted();
    }
    void captureStopped() override { note("-"); }

    char name;
    std::string& log;
    std::function<void(const Measurement&)> onMeasured;
    std::function<void()> onStarted;
};

// A scripted input that also reports buffers dropped since it was opened.
struct DroppingInput : ScriptedInput {
    std::uint64_t droppedBuffers() const override { return dropped; }
    std::uint64_t dropped = 0;
};

// A session around a dropping input, followed by the observer A. The buffers pushed are a clean
// 50 Hz line, each following the one before.
struct PacedSession {
    PacedSession() {
        session.setErrorReporter([this](const QString&, const QString& text, const QString& why) {
            log += " !" + text.toStdString();
            advice = why.toStdString();
        });
        session.addObserver(a);
    }
    void pushAndWait() {
        const std::int64_t n = session.buffersMeasured() + 1;
        signal.fill(last, 4096);
        input.push(last);
        EXPECT_TRUE(QTest::qWaitFor([&] { return session.buffersMeasured() >= n; }, 30000));
    }

    std::string log, advice;
    ScriptedInput::Buffer last{};
    Recorder a{'A', log};
    DroppingInput& input = *new DroppingInput;  // owned by the session
    MeasurementSession session{std::unique_ptr<WaveInput>(&input)};
    SyntheticSignal signal{SyntheticSignal::sine(50.0, 12000.0, 3000.0, 20.0)};
};

TEST(PacedSession, AnObserverHearsEachRunInOrder) {
    PacedSession s;
    s.session.setSelectedDevice(1);
    s.session.setVoltsCal(2.0);
    s.session.setAmpsCal(0.0);                    // never stored: becomes 1
    s.session.captureCycle().setWatchdogMs(600);  // buffers keep coming: it stays quiet
    s.input.dropped = 5;                          // before START: not this run's
    ASSERT_TRUE(s.session.startCapture());
    EXPECT_EQ(s.input.lastOpenId, 1);
    EXPECT_EQ(s.input.lastFormat, (WaveFormat{1, 2, 11025, 44100, 4, 16, 0}));
    EXPECT_TRUE(s.session.startCapture()) << "a second START goes on with the running capture";
    s.a.onMeasured = [&](const Measurement& m) {
        EXPECT_TRUE(std::equal(m.capturedFrames.begin(), m.capturedFrames.end(), s.last.begin()));
        EXPECT_EQ(m.voltsCal + m.ampsCal, 3.0);
    };
    for (int i = 0; i < 5; ++i) {
        if (i == 2) s.input.dropped = 7;
        s.pushAndWait();
        QTest::qWait(150);
    }
    s.session.stopCapture();
    EXPECT_EQ(s.log, "A*rr A+ A0rr A1rr A4rr~2 A5gg A6gg A*oo A-");
    // START again: the averages, the buffer count and the drop count start afresh. User events
    // queued while a buffer is measured come before the next buffer; a STOP between two buffers
    // leaves the waiting ones unmeasured, and buffers after it are ignored.
    s.log.clear();
    s.a.onMeasured = [&s](const Measurement& m) {
        QTimer::singleShot(0, &s.session, [&s, i = m.bufferIndex] {
            s.log += " click" + std::to_string(i);
            if (i == 1) s.session.stopCapture();
        });
    };
    ASSERT_TRUE(s.session.startCapture());
    for (int i = 0; i < 4; ++i) s.input.push(s.last);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !s.session.isCapturing(); }, 30000));
    s.input.push(s.last);
    QTest::qWait(100);
    EXPECT_EQ(s.log, "A*rr A+ A0rr click0 A1rr click1 A*oo A-");
    EXPECT_EQ(
        (std::vector{s.input.openCalls, s.input.startCalls, s.input.closeCalls, s.input.taken}),
        (std::vector{2, 2, 2, 7}));
}

// A failed START changes nothing else; a device that stops delivering (lost, or quiet for the
// watchdog's time) stops the run as STOP would, then the message comes. What comes later is
// neither measured nor reported again.
TEST(PacedSession, CaptureErrorsStopTheRunAndSayWhatToDo) {
    const std::string open =
        "Check that the device is connected and not held by another program, or choose another "
        "one under Soundcard Setup; then press START again.";
    const std::string stop =
        "The readings shown are those of the last buffer before the stop. Check the device or the "
        "recording (or restart the audio server), then press START again.";
    const std::string stopped = "A*rr A+ A0rr A*oo A- !Wave input device stopped!";
    const struct {
        bool opens;
        const char* problem;  // of the failed open, or of the lost device (null: it goes quiet)
        std::string log, advice;
    } cases[] = {
        {false, "there is no audio input number 3", " !Wave input device didn't open!",
         "There is no audio input number 3. " + open},
        {true, "\"Card A\" is gone", stopped, "\"Card A\" is gone. " + stop},
        {true, "", stopped, stop},
        {true, nullptr, stopped, "No sound arrived from the device for 0.3 s. " + stop},
    };
    for (const auto& c : cases) {
        PacedSession s;
        s.input.openSucceeds = c.opens;
        s.input.openProblem = c.problem ? c.problem : "";
        if (!c.problem) s.session.captureCycle().setWatchdogMs(300);
        EXPECT_EQ(s.session.startCapture(), c.opens);
        if (c.opens) s.pushAndWait();
        if (c.opens && c.problem) s.input.lose(c.problem);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !s.advice.empty(); }, 30000));
        s.input.lose("late");
        s.input.push(s.last);
        QTest::qWait(200);
        EXPECT_EQ(s.log, c.log);
        EXPECT_EQ(s.advice, c.advice);
        EXPECT_EQ(s.input.startCalls, c.opens ? 1 : 0);
    }
}

// Unpaced runs of a recording of three buffers. Observers hear every call in the order they
// were added; one may let others and itself leave, or let others join, while it is called: those
// that left hear nothing more, one that joined hears from the next call on. An observer may stop
// the run (here after buffer 1). A recording cut short under the reader (once it is open) ends
// the run with the reader's reason, after the buffers before it. The input is closed at the end. (Headless
// measuring shows the other ends.)
TEST(UnpacedSession, ObserversInOrderAndTheEndsOfARun) {
    using End = MeasurementSession::UnpacedEnd;
    test::TempFolder folder;
    const std::string path = folder.file("line.wav");
    ASSERT_TRUE(test::writeWav(path, test::synthesise(SyntheticSignal::demoAdaptor(), 3 * 4096)));
    MeasurementSession session(
        std::make_unique<RecordingInput>(path, RecordingInput::Playback::Once));
    std::string log;
    Recorder a{'A', log}, b{'B', log}, c{'C', log}, d{'D', log};
    a.onMeasured = [&](const Measurement&) {
        session.removeObserver(b);
        session.removeObserver(a);
        session.addObserver(d);
    };
    c.onMeasured = [&](const Measurement& m) {
        if (m.bufferIndex == 1) session.stopUnpaced();
    };
    for (Recorder* r : {&a, &b, &c}) session.addObserver(*r);
    EXPECT_EQ(session.measureUnpaced(99), End::Stopped);
    EXPECT_EQ(log, "A*rr B*rr C*rr A+ B+ C+ A0rr C0rr C1rr D1rr C*oo D*oo C- D-");
    EXPECT_FALSE(session.input().isOpen());

    MeasurementSession cut(std::make_unique<RecordingInput>(path, RecordingInput::Playback::Once));
    cut.addObserver(a);
    // Cut once the file is open (buffers are read ahead in batches).
    a.onMeasured = nullptr;
    a.onStarted = [&] { std::filesystem::resize_file(path, 44 + 4346 * 4); };
    log.clear();
    EXPECT_EQ(cut.measureUnpaced(99), End::ReadFailed);
    EXPECT_EQ(log, "A*rr A+ A0rr A*oo A-");
    EXPECT_EQ(cut.input().problem().toStdString(),
              "'" + path +
                  "': reading stopped after 4346 of 12288 frames (the file is shorter than its "
                  "header says)");
    EXPECT_FALSE(cut.input().isOpen());
}

}  // namespace
}  // namespace acw
