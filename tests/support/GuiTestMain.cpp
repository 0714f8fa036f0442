#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Plain text in the logs that tests read and print.
    setenv("GST_DEBUG_NO_COLOR", "1", 0);
    // Window tests never need a display unless the caller asks for one.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
