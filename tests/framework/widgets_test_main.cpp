#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

// The widget tests share one QApplication on the offscreen platform. It
// lives in main so that it goes before the process's static objects do
// (QTest's input devices among them).
int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
