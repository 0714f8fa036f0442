#include <QCoreApplication>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Plain text in the logs that tests read and print.
    setenv("GST_DEBUG_NO_COLOR", "1", 0);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
