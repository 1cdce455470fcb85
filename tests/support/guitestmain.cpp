// Entry point of the GUI tests: one real QApplication on a real X display (Xvfb under CI).
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <iostream>

int main(int argc, char** argv) {
    if (!std::getenv("DISPLAY")) {
        std::cerr << "GUI tests need an X display; run them through scripts/test (Xvfb).\n";
        return 1;
    }
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
