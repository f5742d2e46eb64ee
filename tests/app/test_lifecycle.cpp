#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <functional>

#include "../common/FileFaults.h"
#include "test_lifecycle_fixture.h"

namespace acw::test {
namespace {

class LifecycleTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("wattmeter.ini"));
};

const QByteArray kFirstRunFile("0\r\n2\r\n0\r\n0\r\n0\r\n32\r\n32\r\n32\r\n1\r\n1\r\n");

// The state after start-up, as a settings file would hold it (compares every value exactly).
QByteArray state(const SettingsValues& v) {
    return QByteArray::fromStdString(writeSettingsText(v));
}
SettingsValues firstRun(const std::function<void(SettingsValues&)>& change = {}) {
    SettingsValues v{0, 2, 0, 0, 0, 32, 32, 32, 1.0, 1.0};
    if (change) change(v);
    return v;
}

TEST_F(LifecycleTest, StartUpFromFilesValidatesAndSelectsTheSavedDevice) {
    struct Case {
        const char* name;
        const char* file;  // nullptr: no file
        QStringList devices;
        SettingsValues expected;
        int row;  // selected entry of List1
        const char* caption;
    };
    const QStringList two{"Line In A", "Line In B"};
    const Case cases[] = {
        {"no file", nullptr, two, firstRun(), 0, "Scope Control - Line In A"},
        {"no device", nullptr, {}, firstRun(), -1, "Scope Control - "},
        {"three lines", "1\r\n3\r\n1\r\n", two, firstRun([](SettingsValues& v) {
             v.selectedDevice = 1, v.scopeMode = 3, v.lockGains = 1;
         }),
         1, "Scope Control - Line In B"},
        {"out of range", "0\r\n2\r\n0\r\n0\r\n1\r\n5000\r\n0\r\n300\r\n0\r\n-2.5\r\n", two,
         firstRun([](SettingsValues& v) { v.manualScale = 1, v.ampsCal = -2.5; }), 0,
         "Scope Control - Line In A"},
        {"unconvertible",
         "abc\r\n70000\r\n1.5\r\nnan\r\n1\r\n9999999999\r\n64\r\n16\r\ninf\r\n1e999", two,
         firstRun([](SettingsValues& v) { v.manualScale = 1, v.gainR = 64, v.timeBase = 16; }), 0,
         "Scope Control - Line In A"},
        {"id without entry", "7\r\n", two,
         firstRun([](SettingsValues& v) { v.selectedDevice = 7; }), 0, "Scope Control - "},
        {"negative id", "-1\r\n", two, firstRun([](SettingsValues& v) { v.selectedDevice = -1; }),
         0, "Scope Control"},
        {"id above 50", "51\r\n", two, firstRun([](SettingsValues& v) { v.selectedDevice = 51; }),
         0, "Scope Control"},
    };
    for (const Case& c : cases) {
        QFile::remove(path);
        if (c.file != nullptr) writeAll(path, c.file);
        WindowRun run(path, c.devices);
        EXPECT_EQ(state(run.life->currentSettings()), state(c.expected)) << c.name;
        EXPECT_EQ(run.capture->list->currentRow(), c.row) << c.name;
        EXPECT_EQ(run.capture->frame->title(), QString::fromLatin1(c.caption)) << c.name;
        EXPECT_EQ(run.scope().lockToL, 1) << c.name;
        // The controls show the validated values.
        EXPECT_EQ(run.child<QLineEdit>("RgainReadout")->text(), QString::number(c.expected.gainR))
            << c.name;
        EXPECT_EQ(run.child<QCheckBox>("LockCheck")->isChecked(), c.expected.lockGains == 1);
    }
}

TEST_F(LifecycleTest, CloseWritesTheFirstRunFileAndClosesTheHelpWindow) {
    WindowRun run(path);
    run.window->close();
    EXPECT_EQ(readAll(path), kFirstRunFile);
    EXPECT_EQ(run.helpCloses, 1);
    EXPECT_EQ(run.programEnds, 0);
    EXPECT_FALSE(run.window->isVisible());
}

TEST_F(LifecycleTest, EveryValueSurvivesSaveAndLoad) {
    const SettingsValues saved[] = {{1, 0, 0, 1, 1, 1024, 1, 256, 1.0 / 3.0, -0.5},
                                    {0, 3, 1, 0, 0, 4, 4, 1, 123456789.125, 1e-300}};
    for (const SettingsValues& v : saved) {
        {
            WindowRun run(path);
            run.life->applySettings(v);
            // lockGains is taken from the check box at shutdown.
            run.child<QCheckBox>("LockCheck")->setChecked(v.lockGains == 1);
            run.window->close();
        }
        WindowRun run(path);
        EXPECT_EQ(state(run.life->currentSettings()), state(v));
        EXPECT_EQ(run.capture->list->currentRow(), v.selectedDevice);
        EXPECT_EQ(run.child<QCheckBox>("SplitCheck")->isChecked(), v.splitTrace == 1);
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

// A read-only settings file: shutdown reports it, and once the user has made it writable and
// chosen Retry the session's calibration reaches the file; "Exit" writes twice, reports once.
TEST_F(LifecycleTest, ReadOnlySettingsFileIsReportedAndWrittenOnRetry) {
    writeAll(path, kFirstRunFile);
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner));
    const ObeyFilePermissions asAUser;
    if (!asAUser.obeyed()) GTEST_SKIP() << "permission bits do not apply to this process";
    WindowRun run(path);
    run.engine().voltsCal = 2.5;
    run.onSaveFailure = [&] {
        EXPECT_EQ(readAll(path), kFirstRunFile);  // untouched while the box is up
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        return true;
    };
    run.child<QAction>("mnuExit")->trigger();
    EXPECT_EQ(run.reports, QStringList{path + ": Permission denied"});
    EXPECT_EQ(readAll(path), state(firstRun([](SettingsValues& v) { v.voltsCal = 2.5; })));
    EXPECT_FALSE(run.window->isVisible());
}

// A folder where the settings file should be: start-up says so and starts from the start-up
// values; shutdown says so too and leaves the folder and its content alone.
TEST_F(LifecycleTest, FolderInPlaceOfTheSettingsFileIsReportedAtStartUpAndShutdown) {
    ASSERT_TRUE(QDir().mkpath(path));
    writeAll(path + "/notes.txt", "mine");
    WindowRun run(path);
    EXPECT_EQ(run.loadReports, QStringList{path + ": it is a folder, not a file"});
    EXPECT_EQ(state(run.life->currentSettings()), state(firstRun()));
    run.child<QAction>("mnuExit")->trigger();
    EXPECT_EQ(run.reports, QStringList{path + ": it is a folder, not a file"});  // once
    EXPECT_EQ(run.helpCloses, 2);  // both writes were tried
    EXPECT_EQ(readAll(path + "/notes.txt"), QByteArray("mine"));
    EXPECT_FALSE(run.window->isVisible());
}

TEST(SettingsMessages, NameTheFileTheReasonAndWhatToDo) {
    const UserMessage save = settingsSaveFailureMessage("/cfg/wattmeter.ini", "Permission denied");
    EXPECT_EQ(save.text, "Could not save the settings to /cfg/wattmeter.ini: Permission denied.");
    const UserMessage load =
        settingsLoadFailureMessage("/cfg/wattmeter.ini", "it is a folder, not a file");
    EXPECT_EQ(load.text,
              "Could not read the settings from /cfg/wattmeter.ini: it is a folder, not a file.");
    EXPECT_TRUE(load.advice.contains("Rename or remove that folder"));
}

}  // namespace
}  // namespace acw::test
