#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "ScriptedInput.h"
#include "capture/CaptureCycle.h"
#include "measure/MeasurementEngine.h"
#include "measure/SyntheticSignal.h"

namespace acw {
namespace {

using test::ScriptedInput;

ScriptedInput::Buffer sineBuffer(SyntheticSignal& s) {
    ScriptedInput::Buffer b{};
    s.fill(b, 4096);
    return b;
}

// The cycle with a scripted input, a real engine and a host that records what it is asked to do.
struct CycleFixture : ::testing::Test {
    CycleFixture() : engine(std::make_unique<MeasurementEngine>()) {
        CaptureHost host;
        host.processBuffer = [this] {
            events.push_back("process");
            engine->ProcessBuffer();
            volts.push_back(engine->voltsRms);
            lamps.push_back({engine->label2Colour, engine->label1Colour});
            if (onProcess) onProcess();
        };
        host.showLamps = [this] {
            events.push_back("lamps");
            shownLamps = {engine->label2Colour, engine->label1Colour};
        };
        host.reportError = [this](const QString& title, const QString& text,
                                  const QString& advice) {
            events.push_back("error");
            errors.push_back({title.toStdString(), text.toStdString()});
            advices.push_back(advice.toStdString());
        };
        host.takeFocus = [this] { ++focusCalls; };
        cycle = std::make_unique<CaptureCycle>(input, *engine, host);
    }

    void waitProcessed(std::size_t n) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return volts.size() >= n; }, 5000));
    }

    ScriptedInput input;
    std::unique_ptr<MeasurementEngine> engine;
    std::unique_ptr<CaptureCycle> cycle;
    std::vector<std::string> events;
    std::vector<double> volts;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> lamps;
    std::pair<std::uint32_t, std::uint32_t> shownLamps{12345, 12345};
    std::vector<std::pair<std::string, std::string>> errors;
    std::vector<std::string> advices;
    std::function<void()> onProcess;
    int focusCalls = 0;
};

TEST_F(CycleFixture, FailedOpenShowsTheMessageAndChangesNothingElse) {
    input.openSucceeds = false;
    input.openProblem = "there is no audio input number 3";
    engine->historyCount = 2;
    engine->frequencySum = 180.0;

    EXPECT_FALSE(cycle->start(3));

    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].first, "Error");
    EXPECT_EQ(errors[0].second, "Wave input device didn't open!");
    EXPECT_EQ(advices[0],
              "There is no audio input number 3. Check that the device is connected and not held "
              "by another program, or choose another one under Soundcard Setup; then press START "
              "again.");
    EXPECT_EQ(input.startCalls, 0);
    EXPECT_FALSE(cycle->isCapturing());
    EXPECT_EQ(engine->historyCount, 2);
    EXPECT_EQ(engine->frequencySum, 180.0);
    EXPECT_EQ(std::vector<std::string>{"error"}, events);
}

TEST_F(CycleFixture, StartOpensTheChosenDeviceWithTheInstrumentFormatAndTurnsLampsRed) {
    engine->historyCount = 3;
    engine->ampsHistoryCount = 3;
    engine->frequencySum = 180.0;

    EXPECT_TRUE(cycle->start(1));

    EXPECT_EQ(input.lastOpenId, 1);
    // PCM, 2 channels, 11025 frames/s, 44100 bytes/s, 4-byte frames of 16-bit samples.
    EXPECT_EQ(input.lastFormat, (WaveFormat{1, 2, 11025, 44100, 4, 16, 0}));
    EXPECT_EQ(input.startCalls, 1);
    EXPECT_TRUE(cycle->isCapturing());
    EXPECT_EQ(engine->historyCount, 0);
    EXPECT_EQ(engine->ampsHistoryCount, 0);
    EXPECT_EQ(engine->frequencySum, 0.0);
    EXPECT_EQ(shownLamps, std::make_pair(kLampRed, kLampRed));
    EXPECT_EQ(focusCalls, 1);
}

TEST_F(CycleFixture, BuffersAreMeasuredAsTheyArriveAndLampsTurnGreenFromTheFourth) {
    // 60 Hz, 10000 counts peak on both channels.
    SyntheticSignal signal(SyntheticSignal::sine(60.0, 10000.0, 4000.0, 30.0));
    SyntheticSignal reference(signal.params());
    auto refEngine = std::make_unique<MeasurementEngine>();
    refEngine->startCapture();
    ASSERT_TRUE(cycle->start(0));
    for (int i = 0; i < 5; ++i) {
        const auto b = sineBuffer(signal);
        input.push(b);
        waitProcessed(static_cast<std::size_t>(i + 1));
        for (int v = 0; v < 8192; ++v) {
            ASSERT_EQ(engine->captureBuffer[v], b[v]) << "value " << v;
        }
        for (int v = 8192; v < kCaptureBufferValues; ++v) {
            ASSERT_EQ(engine->captureBuffer[v], 0) << "value " << v;
        }
        reference.fill(std::span(refEngine->captureBuffer.data(), 8192), 4096);
        refEngine->ProcessBuffer();
        EXPECT_EQ(engine->voltsRms, refEngine->voltsRms);
        EXPECT_EQ(engine->watts, refEngine->watts);
    }
    ASSERT_EQ(lamps.size(), 5u);
    EXPECT_EQ(lamps[2], std::make_pair(kLampRed, kLampRed));
    EXPECT_EQ(lamps[3], std::make_pair(kLampGreen, kLampGreen));
    // 10000 counts peak on the 750 V scale, its 4096 frames averaged over 8190: peak / 2.
    EXPECT_NEAR(engine->voltsRms, 10000.0 / 2.0 * 750.0 / 32767.0, 0.5);
    EXPECT_EQ(cycle->buffersProcessed(), 5);
}

TEST_F(CycleFixture, SecondStartWhileCapturingIsIgnored) {
    ASSERT_TRUE(cycle->start(0));
    engine->historyCount = 2;
    EXPECT_TRUE(cycle->start(1));
    EXPECT_EQ(input.openCalls, 1);
    EXPECT_EQ(input.lastOpenId, 0);
    EXPECT_EQ(engine->historyCount, 2);  // the running averages were not reset
}

TEST_F(CycleFixture, StopWhileIdleOnlyTurnsTheLampsBlack) {
    engine->label1Colour = kLampGreen;
    engine->label2Colour = kLampRed;
    engine->voltsRms = 119.5;
    cycle->StopCapture();
    EXPECT_EQ(shownLamps, std::make_pair(kLampBlack, kLampBlack));
    EXPECT_EQ(engine->voltsRms, 119.5);
    EXPECT_EQ(input.openCalls, 0);
    EXPECT_TRUE(errors.empty());
}

TEST_F(CycleFixture, StopDuringABufferEndsAfterThatBufferAndKeepsItsReadings) {
    SyntheticSignal signal(SyntheticSignal::sine(50.0, 8000.0, 2000.0));
    SyntheticSignal louder(SyntheticSignal::sine(50.0, 16000.0, 2000.0));
    ASSERT_TRUE(cycle->start(0));
    // The user clicks STOP while the first buffer is measured; a second buffer is waiting.
    onProcess = [this] {
        onProcess = nullptr;
        QMetaObject::invokeMethod(
            cycle.get(), [this] { cycle->StopCapture(); }, Qt::QueuedConnection);
    };
    input.push(sineBuffer(signal));
    input.push(sineBuffer(louder));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !cycle->isCapturing(); }, 5000));
    QTest::qWait(50);  // any stray buffer would be processed here

    ASSERT_EQ(volts.size(), 1u);
    EXPECT_EQ(engine->voltsRms, volts[0]);
    EXPECT_EQ(input.taken, 1);
    EXPECT_EQ(input.closeCalls, 1);
    EXPECT_EQ(shownLamps, std::make_pair(kLampBlack, kLampBlack));
}

TEST_F(CycleFixture, UserEventsAreHandledBetweenBuffers) {
    ASSERT_TRUE(cycle->start(0));
    int clicks = 0;
    onProcess = [&] {
        // A user event arriving while a buffer is measured.
        QMetaObject::invokeMethod(
            cycle.get(), [&] { events.push_back("click" + std::to_string(++clicks)); },
            Qt::QueuedConnection);
    };
    SyntheticSignal signal(SyntheticSignal::sine(50.0, 8000.0, 2000.0));
    // Three buffers waiting at once (the input was faster than the drawing).
    for (int i = 0; i < 3; ++i) input.push(sineBuffer(signal));
    waitProcessed(3);
    EXPECT_TRUE(QTest::qWaitFor([&] { return clicks == 3; }, 2000));

    std::vector<std::string> afterStart(events.begin() + 1, events.end());  // skip "lamps"
    EXPECT_EQ(afterStart, (std::vector<std::string>{"process", "click1", "process", "click2",
                                                    "process", "click3"}));
}

TEST_F(CycleFixture, DeviceLossStopsTheCaptureAndSaysSo) {
    ASSERT_TRUE(cycle->start(0));
    SyntheticSignal signal(SyntheticSignal::sine(50.0, 8000.0, 2000.0));
    input.push(sineBuffer(signal));
    waitProcessed(1);
    const double lastVolts = engine->voltsRms;

    input.lose("\"Card A\" is no longer present");

    EXPECT_FALSE(cycle->isCapturing());
    EXPECT_EQ(input.closeCalls, 1);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].second, "Wave input device stopped!");
    EXPECT_EQ(advices[0],
              "\"Card A\" is no longer present. The readings shown are those of the last buffer "
              "before the stop. Check the device or the recording (or restart the audio server), "
              "then press START again.");
    EXPECT_EQ(shownLamps, std::make_pair(kLampBlack, kLampBlack));
    EXPECT_EQ(engine->voltsRms, lastVolts);
    // The lamps were black before the message appeared.
    EXPECT_EQ(events.back(), "error");
    EXPECT_EQ(events[events.size() - 2], "lamps");

    // A loss reported after the stop is not a second message.
    input.lose();
    EXPECT_EQ(errors.size(), 1u);
}

TEST_F(CycleFixture, SilentDeviceIsDeclaredLostByTheWatchdog) {
    cycle->setWatchdogMs(150);
    ASSERT_TRUE(cycle->start(0));
    SyntheticSignal signal(SyntheticSignal::sine(50.0, 8000.0, 2000.0));
    input.push(sineBuffer(signal));
    waitProcessed(1);

    EXPECT_TRUE(QTest::qWaitFor([&] { return !errors.empty(); }, 5000));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].second, "Wave input device stopped!");
    EXPECT_EQ(advices[0].rfind("No sound arrived from the device for 0.15 s. The readings", 0), 0u)
        << advices[0];
    EXPECT_FALSE(cycle->isCapturing());
    EXPECT_EQ(input.closeCalls, 1);
}

TEST_F(CycleFixture, CaptureCanBeStartedAgainAfterStopAndTheWatchdogStaysQuietMeanwhile) {
    cycle->setWatchdogMs(50);
    ASSERT_TRUE(cycle->start(0));
    cycle->StopCapture();
    QTest::qWait(200);
    EXPECT_TRUE(errors.empty());
    cycle->setWatchdogMs(3000);

    ASSERT_TRUE(cycle->start(0));
    SyntheticSignal signal(SyntheticSignal::sine(50.0, 8000.0, 2000.0));
    for (int i = 0; i < 4; ++i) input.push(sineBuffer(signal));
    waitProcessed(4);
    EXPECT_EQ(engine->label2Colour, kLampGreen);
    cycle->StopCapture();

    ASSERT_TRUE(cycle->start(1));
    EXPECT_EQ(input.openCalls, 3);
    EXPECT_EQ(input.lastOpenId, 1);
    EXPECT_EQ(engine->historyCount, 0);
    EXPECT_EQ(shownLamps, std::make_pair(kLampRed, kLampRed));
    input.push(sineBuffer(signal));
    waitProcessed(5);
    EXPECT_EQ(lamps.back(), std::make_pair(kLampRed, kLampRed));
}

}  // namespace
}  // namespace acw
