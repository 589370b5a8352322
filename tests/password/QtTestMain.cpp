#include <QApplication>

#include <gtest/gtest.h>

// The dialog tests need a QApplication. They run on Qt's offscreen platform (set by the test
// environment, and here as well for the test listing run at build time), never on a real
// display.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
