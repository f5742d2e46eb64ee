#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <cstdlib>
#include <string>

// The tests never touch the user's own files: HOME and the configuration folder point into a
// private temporary folder for the whole run.
int main(int argc, char** argv) {
    std::string root = (QDir::tempPath() + QStringLiteral("/acw-lifecycle-XXXXXX")).toStdString();
    if (mkdtemp(root.data()) == nullptr) return 1;
    setenv("HOME", root.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);

    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    QDir(QString::fromStdString(root)).removeRecursively();
    return result;
}
