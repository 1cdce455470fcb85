// Entry point of the GUI tests: one real QApplication on an X display of the program's own (Xvfb with
// Mesa's software OpenGL), so that several GUI test programs run side by side.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <iostream>

#include "virtualdisplay.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // ctest lists the tests to register them one by one; a list needs no window.
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS();
    }
    VirtualDisplay display;
    std::string problem;
    if (!display.start(problem)) {
        const char* shared = std::getenv("DISPLAY");
        if (!shared) {
            std::cerr << "GUI tests need an X display: " << problem << "; scripts/setup installs Xvfb.\n";
            return 1;
        }
        std::cerr << "GUI tests: " << problem << "; they run on DISPLAY=" << shared << " instead.\n";
    }
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
