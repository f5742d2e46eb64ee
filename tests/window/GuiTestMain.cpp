// SPDX-License-Identifier: GPL-3.0-or-later
// The main of the GUI tests: Qt widgets on the offscreen platform, so no display is needed (test
// discovery runs the binary outside ctest's environment).
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
