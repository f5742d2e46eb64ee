#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <span>

#include "app/CalibrationBinding.h"
#include "measure/CaptureLayout.h"
#include "measure/SyntheticSignal.h"
#include "test_lifecycle_fixture.h"

namespace acw::test {
namespace {

// A started window with the calibration wired in and a steady input: every buffer is the same
// 60 Hz block, so the readings repeat exactly from buffer to buffer.
class CalibrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        installCalibration(*run.window);
        SyntheticSignal signal(SyntheticSignal::sine(60.0, 9000.0, 4000.0, 20.0));
        signal.fill(std::span<std::int16_t>(engine.captureBuffer.data(), kRecordedValues),
                    kFramesPerBuffer);
        engine.startCapture();
    }
    void click(const char* button) { run.child<QPushButton>(button)->click(); }
    void fire(QTimer* timer) { QMetaObject::invokeMethod(timer, "timeout"); }
    void buffer() { run.window->processBuffer(); }

    QTemporaryDir dir;
    WindowRun run{dir.filePath(QStringLiteral("wattmeter.ini"))};
    MeasurementEngine& engine = run.engine();
    QTimer* timer1 = run.child<QTimer>("Timer1");
    QTimer* timer2 = run.child<QTimer>("Timer2");
};

TEST_F(CalibrationTest, ReadingsFollowTheReferenceTextFromTheNextBuffer) {
    struct Case {
        const char* text;
        double reference;  // 0: the divisor stays 1.0
    };
    for (const Case& c : {Case{"120 V", 120.0}, Case{"1 20", 120.0}, Case{"volts", 0.0},
                          Case{".5", 0.5}, Case{"230", 230.0}}) {
        engine.voltsCal = 3.0;  // an earlier calibration
        buffer();
        run.child<QLineEdit>("txtV")->setText(QString::fromLatin1(c.text));
        click("cmdCalV");
        EXPECT_EQ(engine.voltsCal, 1.0);
        EXPECT_TRUE(timer1->isActive());
        buffer();  // a buffer during the delay reads uncalibrated
        const double raw = engine.voltsRms;
        fire(timer1);
        EXPECT_FALSE(timer1->isActive());
        buffer();
        if (c.reference == 0.0) {
            EXPECT_EQ(engine.voltsCal, 1.0) << c.text;
            EXPECT_EQ(engine.voltsRms, raw) << c.text;
        } else {
            EXPECT_EQ(engine.voltsCal, raw / c.reference) << c.text;
            EXPECT_NEAR(engine.voltsRms, c.reference, 1e-12 * c.reference) << c.text;
        }
    }
    EXPECT_EQ(run.child<QLabel>("Label7")->text(), QStringLiteral("230.0"));
}

TEST_F(CalibrationTest, FreshStartWithoutCaptureKeepsNeutralDivisors) {
    EXPECT_FALSE(timer1->isActive() || timer2->isActive());
    click("cmdCalV");
    click("cmdCalA");
    fire(timer1);
    fire(timer2);
    EXPECT_EQ(engine.voltsCal, 1.0);
    EXPECT_EQ(engine.ampsCal, 1.0);
}

TEST_F(CalibrationTest, OverlappingCalibrationsUseTheLastBufferBeforeEachTimer) {
    run.child<QLineEdit>("txtA")->setText(QStringLiteral("2"));
    click("cmdCalV");
    click("cmdCalA");
    EXPECT_TRUE(timer1->isActive() && timer2->isActive());
    buffer();
    const double rawVolts = engine.voltsRms;
    fire(timer2);
    EXPECT_EQ(engine.ampsCal, engine.ampsRms / 2.0);
    EXPECT_EQ(engine.voltsCal, 1.0);  // still waiting
    buffer();
    EXPECT_EQ(engine.voltsRms, rawVolts);
    fire(timer1);
    buffer();
    EXPECT_NEAR(engine.voltsRms, 120.0, 1e-10);  // txtV keeps its "120"
    EXPECT_EQ(run.child<QLabel>("Label8")->text(), QStringLiteral("2.00"));
}

TEST_F(CalibrationTest, SecondClickWhileWaitingKeepsTheFirstDeadline) {
    click("cmdCalV");
    QTest::qWait(300);
    const int left = timer1->remainingTime();
    engine.voltsCal = 5.0;
    click("cmdCalV");
    EXPECT_EQ(engine.voltsCal, 1.0);
    // A restarted delay would have 2000 ms left again; at least 300 ms have passed.
    EXPECT_TRUE(timer1->isActive());
    EXPECT_LE(timer1->remainingTime(), left);
    // The timer fires once, by itself.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !timer1->isActive(); }, 20000));
}

}  // namespace
}  // namespace acw::test
