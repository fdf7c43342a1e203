#include "../program/threads_at_exit.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Headless also when ctest lists the tests, which runs us without the test's environment.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TThreadsGoneAtExit threads;
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
