// The X server a GUI test program starts for itself: a display of its own, gone with it, and a reason
// when there is none.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdlib>
#include <string>

#include "testfiles.h"
#include "virtualdisplay.h"

namespace {

std::string socketOf(const std::string& display) {
    return "/tmp/.X11-unix/X" + display.substr(1);
}

TEST(VirtualDisplay, EachProgramGetsADisplayOfItsOwnThatGoesWithIt) {
    std::string first;
    {
        VirtualDisplay one;
        VirtualDisplay two;
        std::string problem;
        ASSERT_TRUE(one.start(problem)) << problem;
        ASSERT_TRUE(two.start(problem)) << problem;
        EXPECT_EQ(std::getenv("DISPLAY"), two.name()) << "clients connect to the last one started";
        EXPECT_NE(one.name(), two.name());
        for (const VirtualDisplay* display : {&one, &two}) {
            EXPECT_TRUE(QFileInfo(QString::fromStdString(socketOf(display->name()))).exists())
                << display->name() << " accepts no clients";
        }
        first = one.name();
    }
    EXPECT_FALSE(QFileInfo(QString::fromStdString(socketOf(first))).exists()) << "the server outlived its owner";
}

TEST(VirtualDisplay, SaysWhyWhenNoServerReportsADisplay) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    // A server that never reports.
    const std::string silent = folder.filePath("silent").toStdString();
    writeTextFile(silent, "#!/bin/sh\nexec sleep 60\n");
    ASSERT_EQ(chmod(silent.c_str(), 0755), 0);
    setenv("DISPLAY", ":4242", 1);
    const struct {
        std::string server;
        int timeoutMs;
        std::string reason;
    } cases[] = {
        {"vantorel-no-such-server", 5000, "cannot run vantorel-no-such-server"},
        {"true", 5000, "true ended before it reported its display"},
        {silent, 300, silent + " reported no display within 300 ms"},
    };
    for (const auto& c : cases) {
        VirtualDisplay display;
        std::string problem;
        EXPECT_FALSE(display.start(problem, c.server, c.timeoutMs)) << c.server;
        EXPECT_NE(problem.find(c.reason), std::string::npos) << problem;
        EXPECT_TRUE(display.name().empty());
        EXPECT_STREQ(std::getenv("DISPLAY"), ":4242") << c.server;
    }
}

}  // namespace
