// SPDX-License-Identifier: GPL-3.0-or-later
// The window's further views and outputs on the demo line: the power analysis, energy and trend
// windows follow the buffers, the channel delay and the energy totals outlive the program, and
// the readings log and the input recording hold what was measured.
#include "WindowRig.h"
#include "analysis/PowerAnalysisWindow.h"
#include "capture/RecordingReader.h"
#include "history/EnergyWindow.h"
#include "measure/TrendHistory.h"
#include "window/AnalysisControls.h"
#include "window/EnergyControls.h"
#include "window/RecordingControls.h"

namespace acw {
namespace {

using test::Rig;

TEST(WindowOutputs, ViewsFollowTheBuffersAndSettingsOutliveTheProgram) {
    QTemporaryDir config;
    const QString conf = config.filePath("ac-wattmeter.conf");
    SyntheticSignal line(SyntheticSignal::demoAdaptor());
    std::uint64_t integrated = 0;
    for (const bool again : {false, true}) {
        Rig rig;
        rig.session.setProgramConfigStore(ProgramConfigStore(conf));
        rig.window.energyControls().setReporter([&](const QString& t) { rig.reports << t; });
        rig.window.applyProgramSettings();
        EXPECT_EQ(rig.c().mqttStatus->text(), "MQTT: off");
        for (QAction* view : {rig.c().powerAnalysisAction, rig.c().energyAction}) view->trigger();
        test::click(rig.c().startButton);
        rig.feed(line, 4);
        PowerAnalysisWindow& analysis = rig.window.analysisControls().window();
        EXPECT_TRUE(analysis.activePowerReadout()->text().endsWith(" W import"));
        EXPECT_TRUE(analysis.reactivePowerReadout()->text().endsWith(" var ind"));
        EXPECT_EQ(rig.window.energyControls().history().size(), 4u);
        if (!again) {
            // Typed in the analysis window: the session uses it, the configuration keeps it.
            emit analysis.currentDelayEdited(1.5);
            rig.window.finishOutputs();
            integrated = rig.session.energy().totals().buffers;
            continue;
        }
        EXPECT_EQ(rig.session.currentDelayFrames(), 1.5);
        EXPECT_EQ(rig.session.energy().totals().buffers, integrated + 4);
        EXPECT_EQ(rig.session.energy().totals().gaps, 1u) << "the restart is a break";
        EXPECT_NE(rig.window.energyControls().energyWindow().values().wh->text(), "0");
        EXPECT_TRUE(rig.reports.isEmpty()) << rig.reports.join('\n').toStdString();
    }
    // A damaged file is set aside and said so; the totals start again.
    QFile totals(config.filePath("energy-totals.txt"));
    ASSERT_TRUE(totals.open(QIODevice::Append));
    totals.write("damage");
    totals.close();
    Rig rig;
    rig.session.setProgramConfigStore(ProgramConfigStore(conf));
    rig.window.energyControls().setReporter([&](const QString& t) { rig.reports << t; });
    rig.window.applyProgramSettings();
    EXPECT_EQ(rig.session.energy().totals().buffers, 0u);
    ASSERT_EQ(rig.reports.size(), 1);
    EXPECT_TRUE(rig.reports[0].contains("set aside")) << rig.reports[0].toStdString();
}

TEST(WindowOutputs, LogAndRecordingHoldWhatWasMeasured) {
    Rig rig;
    QTemporaryDir out;
    rig.window.recordingControls().setFileChooser([&](const QString& title, const QString&, bool) {
        return out.filePath(title.startsWith("Log") ? "log.csv" : "input.flac");
    });
    rig.c().logAction->trigger();
    rig.c().recordAction->trigger();
    EXPECT_TRUE(rig.c().logAction->isChecked() && rig.c().recordAction->isChecked());
    test::click(rig.c().startButton);
    SyntheticSignal line(SyntheticSignal::demoAdaptor());
    rig.feed(line, 3);
    test::click(rig.c().stopButton);
    EXPECT_FALSE(rig.c().recordAction->isChecked()) << "STOP ends the recording";
    rig.c().logAction->trigger();  // ends the log
    EXPECT_FALSE(rig.c().logAction->isChecked());
    rig.window.recordingControls().finishAll();

    const QStringList log = QString(test::readAll(out.filePath("log.csv"))).split('\n');
    ASSERT_EQ(log.size(), 5);  // the header, three lines and the end of the last one
    EXPECT_TRUE(log[0].startsWith("local_time,time_s,volts,") && log[0].endsWith(",elapsed_s"));
    const QRegularExpression stamp(
        "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d,");
    for (int i = 1; i <= 3; ++i) EXPECT_TRUE(stamp.match(log[i]).hasMatch()) << i;

    RecordingReader reader;
    ASSERT_EQ(reader.open(out.filePath("input.flac").toStdString()), "");
    SyntheticSignal again(SyntheticSignal::demoAdaptor());
    test::ScriptedInput::Buffer recorded{}, fed{};
    for (int b = 0; b < 3; ++b) {
        ASSERT_TRUE(reader.readBlock(recorded.data()));
        again.fill(fed, 4096);
        EXPECT_EQ(recorded, fed) << b;
    }
    EXPECT_FALSE(reader.readBlock(recorded.data()));
}

}  // namespace
}  // namespace acw
