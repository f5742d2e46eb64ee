#include <gtest/gtest.h>

#include <QCoreApplication>

// Runs GoogleTest inside a Qt application, so tests can run the event loop.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
