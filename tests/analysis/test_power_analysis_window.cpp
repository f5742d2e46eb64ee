// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "analysis/HarmonicChart.h"
#include "analysis/PowerAnalysisWindow.h"

namespace acw {
namespace {

TEST(PowerAnalysisWindow, ShowsAnAnalysisOrDashesAndReportsTheDelayControls) {
    PowerAnalysisWindow window;
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Power Analysis"));
    PowerAnalysis a;
    a.valid = true;
    a.voltsHarmonicsRms[0] = 120.0;
    a.voltsHarmonicsRms[2] = 12.0;  // no current: no current bars
    a.activePowerW = -812.26;
    a.reactivePowerVar = 2e3;
    window.showAnalysis(a);
    EXPECT_EQ(window.activePowerReadout()->text(), QStringLiteral("-812.3 W export"));
    EXPECT_EQ(window.reactivePowerReadout()->text(), QStringLiteral("2000 var ind"));
    a.activePowerW = 5.0;
    a.reactivePowerVar = -3.5;
    window.showAnalysis(a);
    EXPECT_EQ(window.activePowerReadout()->text(), QStringLiteral("5.000 W import"));
    EXPECT_EQ(window.reactivePowerReadout()->text(), QStringLiteral("-3.500 var cap"));
    EXPECT_EQ(window.harmonicChart()->voltsPct()[2], 10.0);
    window.logScaleCheck()->click();
    EXPECT_TRUE(window.harmonicChart()->logScale());
    EXPECT_FALSE(window.grab().isNull());
    window.showAnalysis(PowerAnalysis{});
    for (QLabel* l : {window.activePowerReadout(), window.phaseReadout(), window.ampsThdReadout()})
        EXPECT_EQ(l->text(), QStringLiteral("---"));

    QSignalSpy edited(&window, &PowerAnalysisWindow::currentDelayEdited);
    QSignalSpy calibrate(&window, &PowerAnalysisWindow::resistiveLoadCalibrationRequested);
    window.setCurrentDelayFrames(9.0);
    EXPECT_EQ(window.currentDelaySpin()->value(), 4.0);
    window.currentDelaySpin()->selectAll();
    QTest::keyClicks(window.currentDelaySpin(), QStringLiteral("-1.25"));
    QTest::keyClick(window.currentDelaySpin(), Qt::Key_Return);
    EXPECT_EQ(edited, QList<QVariantList>{{QVariant(-1.25)}});
    QTest::mouseClick(window.calibrateDelayButton(), Qt::LeftButton);
    EXPECT_EQ(calibrate.count(), 1);
}

}  // namespace
}  // namespace acw
