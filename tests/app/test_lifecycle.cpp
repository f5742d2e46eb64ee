#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include "test_lifecycle_fixture.h"

namespace acw::test {
namespace {

class LifecycleTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("wattmeter.ini"));
};

TEST_F(LifecycleTest, FirstStartWithoutFileThenCloseWritesTheFirstRunFile) {
    WindowRun run(path);
    EXPECT_EQ(run.capture->list->count(), 2);
    EXPECT_EQ(run.capture->list->currentRow(), 0);
    EXPECT_EQ(run.capture->selected, 0);
    EXPECT_EQ(run.capture->frame->title(), QStringLiteral("Scope Control - Line In A"));
    const ScopeState& s = run.scope();
    EXPECT_EQ(s.scopeMode, 2);
    EXPECT_EQ(s.lockToL, 1);
    EXPECT_EQ(s.manualScale, 0);
    EXPECT_EQ(s.lockGains, 0);
    EXPECT_EQ(s.splitTrace, 0);
    EXPECT_EQ(s.gainL, 32);
    EXPECT_EQ(s.gainR, 32);
    EXPECT_EQ(s.timeBase, 32);
    EXPECT_EQ(run.engine().voltsCal, 1.0);
    EXPECT_EQ(run.engine().ampsCal, 1.0);
    EXPECT_EQ(run.child<QLineEdit>("LgainReadout")->text(), QStringLiteral("32"));

    run.window->close();
    EXPECT_EQ(readAll(path), QByteArray("0\r\n2\r\n0\r\n0\r\n0\r\n32\r\n32\r\n32\r\n1\r\n1\r\n"));
    EXPECT_EQ(run.helpCloses, 1);
    EXPECT_EQ(run.programEnds, 0);
    EXPECT_FALSE(run.window->isVisible());
}

TEST_F(LifecycleTest, StartWithoutAnyDevice) {
    WindowRun run(path, {});
    EXPECT_EQ(run.capture->list->count(), 0);
    EXPECT_EQ(run.capture->frame->title(), QStringLiteral("Scope Control - "));
    // Start-up went on to the end.
    EXPECT_EQ(run.scope().gainR, 32);
    EXPECT_EQ(run.child<QLineEdit>("RgainReadout")->text(), QStringLiteral("32"));
}

TEST_F(LifecycleTest, ShortFileAppliesItsLinesOnly) {
    writeAll(path, "1\r\n3\r\n1\r\n");
    WindowRun run(path);
    EXPECT_EQ(run.capture->selected, 1);
    EXPECT_EQ(run.capture->list->currentRow(), 1);
    EXPECT_EQ(run.capture->frame->title(), QStringLiteral("Scope Control - Line In B"));
    EXPECT_EQ(run.scope().scopeMode, 3);
    EXPECT_EQ(run.child<QLabel>("LRlabel")->text(), QStringLiteral("XY"));
    EXPECT_EQ(run.scope().lockGains, 1);
    EXPECT_TRUE(run.child<QCheckBox>("LockCheck")->isChecked());
    EXPECT_EQ(run.scope().manualScale, 0);
    EXPECT_EQ(run.scope().gainL, 32);
    EXPECT_EQ(run.scope().gainR, 32);
    EXPECT_EQ(run.engine().voltsCal, 1.0);
}

TEST_F(LifecycleTest, OutOfRangeValuesAreReplacedAtStartUp) {
    writeAll(path, "0\r\n2\r\n0\r\n0\r\n1\r\n5000\r\n0\r\n300\r\n0\r\n-2.5\r\n");
    WindowRun run(path);
    EXPECT_EQ(run.scope().gainL, 32);
    EXPECT_EQ(run.scope().gainR, 32);
    EXPECT_EQ(run.child<QLineEdit>("RgainReadout")->text(), QStringLiteral("32"));
    EXPECT_EQ(run.scope().timeBase, 32);
    EXPECT_EQ(run.child<QLineEdit>("TbaseReadout")->text(), QStringLiteral("32"));
    EXPECT_EQ(run.engine().voltsCal, 1.0);
    EXPECT_EQ(run.engine().ampsCal, -2.5);  // negative divisors are kept
}

TEST_F(LifecycleTest, SavedDeviceThatNamesNoEntry) {
    struct Case {
        const char* line1;
        std::int32_t selected;
        const char* caption;
    };
    // 7 with two devices: the first entry stays selected and the caption names nothing; a
    // negative id skips the selection and the caption; above 50 only the caption is skipped.
    for (const Case& c : {Case{"7", 7, "Scope Control - "}, Case{"-1", -1, "Scope Control"},
                          Case{"51", 51, "Scope Control"}}) {
        writeAll(path, QByteArray(c.line1) + "\r\n");
        WindowRun run(path);
        EXPECT_EQ(run.capture->selected, c.selected) << c.line1;
        EXPECT_EQ(run.capture->list->currentRow(), 0) << c.line1;
        EXPECT_EQ(run.capture->frame->title(), QString::fromLatin1(c.caption)) << c.line1;
        run.window->close();
        EXPECT_TRUE(readAll(path).startsWith(QByteArray(c.line1) + "\r\n2\r\n")) << c.line1;
    }
}

TEST_F(LifecycleTest, UnconvertibleValuesKeepTheirStartValues) {
    writeAll(path,
             "abc\r\n70000\r\n1.5\r\nnan\r\n1\r\n99999999999\r\n64\r\n16\r\ninf\r\n1e999\r\n");
    WindowRun run(path);
    EXPECT_EQ(run.capture->selected, 0);
    EXPECT_EQ(run.scope().scopeMode, 2);
    EXPECT_EQ(run.scope().lockGains, 0);
    EXPECT_EQ(run.scope().splitTrace, 0);
    EXPECT_EQ(run.scope().manualScale, 1);
    EXPECT_EQ(run.child<QPushButton>("cmdAutoScale")->text(), QStringLiteral("Manual"));
    EXPECT_EQ(run.scope().gainL, 32);
    EXPECT_EQ(run.scope().gainR, 64);
    EXPECT_EQ(run.scope().timeBase, 16);
    EXPECT_EQ(run.engine().voltsCal, 1.0);
    EXPECT_EQ(run.engine().ampsCal, 1.0);
}

TEST_F(LifecycleTest, EveryValueSurvivesSaveAndLoad) {
    struct Saved {
        std::int32_t device;
        std::int16_t mode, split, manual;
        bool lock;
        std::int32_t gainL, gainR, timeBase;
        double voltsCal, ampsCal;
    };
    for (const Saved& v : {Saved{1, 0, 1, 1, false, 1024, 1, 256, 1.0 / 3.0, -0.5},
                           Saved{0, 3, 0, 0, true, 4, 4, 1, 123456789.125, 1e-300}}) {
        {
            WindowRun run(path);
            run.capture->selected = v.device;
            run.scope().scopeMode = v.mode;
            run.scope().splitTrace = v.split;
            run.scope().manualScale = v.manual;
            run.child<QCheckBox>("LockCheck")->setChecked(v.lock);
            run.scope().gainL = v.gainL;
            run.scope().gainR = v.gainR;
            run.scope().timeBase = v.timeBase;
            run.engine().voltsCal = v.voltsCal;
            run.engine().ampsCal = v.ampsCal;
            run.window->close();
        }
        WindowRun run(path);
        EXPECT_EQ(run.capture->selected, v.device);
        EXPECT_EQ(run.capture->list->currentRow(), v.device);
        EXPECT_EQ(run.scope().scopeMode, v.mode);
        EXPECT_EQ(run.scope().splitTrace, v.split);
        EXPECT_EQ(run.child<QCheckBox>("SplitCheck")->isChecked(), v.split == 1);
        EXPECT_EQ(run.scope().manualScale, v.manual);
        EXPECT_EQ(run.scope().lockGains, v.lock ? 1 : 0);
        EXPECT_EQ(run.child<QCheckBox>("LockCheck")->isChecked(), v.lock);
        EXPECT_EQ(run.scope().gainL, v.gainL);
        EXPECT_EQ(run.scope().gainR, v.gainR);
        EXPECT_EQ(run.scope().timeBase, v.timeBase);
        EXPECT_EQ(run.engine().voltsCal, v.voltsCal);
        EXPECT_EQ(run.engine().ampsCal, v.ampsCal);
    }
}

TEST_F(LifecycleTest, ExitWritesTheSameFileTwiceAndClosesBothWindows) {
    WindowRun run(path);
    run.engine().voltsCal = 2.5;
    QList<QByteArray> written;
    // The help window closes after each write: take the file away to see the next write.
    run.onHelpClose = [&] {
        written << readAll(path);
        QFile::remove(path);
    };
    run.child<QAction>("mnuExit")->trigger();
    ASSERT_EQ(written.size(), 2);
    EXPECT_EQ(written[0], written[1]);
    EXPECT_TRUE(written[0].endsWith("\r\n2.5\r\n1\r\n"));
    EXPECT_FALSE(run.window->isVisible());
    EXPECT_EQ(run.programEnds, 0);
    EXPECT_TRUE(run.reports.isEmpty());
}

TEST_F(LifecycleTest, ShutdownDuringCaptureStopsOnceAndEndsTheProgram) {
    for (const bool viaExit : {false, true}) {
        QFile::remove(path);
        WindowRun run(path);
        run.capture->capturing = true;
        run.engine().ampsCal = 0.25;
        if (viaExit) {
            run.child<QAction>("mnuExit")->trigger();
        } else {
            run.window->close();
        }
        EXPECT_EQ(run.capture->stops, 1);
        EXPECT_EQ(run.programEnds, 1);
        EXPECT_EQ(run.helpCloses, 0);
        EXPECT_TRUE(readAll(path).endsWith("\r\n1\r\n0.25\r\n"));
        // Windows closed while the program ends do not stop or end again.
        run.window->close();
        run.child<QAction>("mnuExit")->trigger();
        EXPECT_EQ(run.capture->stops, 1);
        EXPECT_EQ(run.programEnds, 1);
    }
}

TEST_F(LifecycleTest, UnwritableSettingsFileIsReportedOnceAndShutdownCompletes) {
    writeAll(dir.filePath(QStringLiteral("plain-file")), "x");
    const QString unwritable = dir.filePath(QStringLiteral("plain-file/wattmeter.ini"));
    WindowRun run(unwritable);
    run.child<QAction>("mnuExit")->trigger();
    ASSERT_EQ(run.reports.size(), 1);
    EXPECT_TRUE(run.reports[0].startsWith(unwritable + QStringLiteral(": ")));
    EXPECT_GT(run.reports[0].size(), unwritable.size() + 2);
    EXPECT_EQ(run.helpCloses, 2);
    EXPECT_FALSE(run.window->isVisible());
}

}  // namespace
}  // namespace acw::test
