// The result files of a computed flood step: written under the folder's own bytes, each file whole, and
// a result whose files cannot all be written taken away and named.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QTemporaryDir>
#include <osgDB/ReadFile>

#include "cafloodnew.h"
#include "floodhud.h"
#include "floodtestdata.h"
#include "floodtick.h"
#include "monitorpoints.h"

namespace {

class FloodResults : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        const ValleyShape shape{20, 30};
        const std::vector<std::string> inputs = writeValley(dir(), shape, {{9, shape.nrows - 2}});
        ASSERT_EQ(startFloodRun(engine, inputs, smallBreach(3e5f)), FloodRunStart::Ready);
        writeTextFile(
            dir() + "/monitors.json",
            R"({"Monitors": [{"x": 95, "y": 270, "z": 100, "vec": 0, "flu": 0, "dep": 0, "time": 0}]})");
        ASSERT_TRUE(monitors.readJson(dir() + "/monitors.json"));
        FloodTickSettings settings;
        settings.printDiagnostics = false;
        for (int tick = 0; tick < 20; ++tick) {
            water = advanceFloodTick(engine, hud, monitors, settings);
        }
    }
    std::string dir() const { return folder.path().toStdString(); }

    QTemporaryDir folder;
    CAFlood engine;
    FloodHud hud;
    MonitorPoints monitors;
    osg::ref_ptr<osg::Geode> water;
};

TEST_F(FloodResults, EveryFileOfARunGoesIntoTheFolderItsBytesName) {
    // A folder whose name is not UTF-8 (Latin-1 "résultats"): the model, the raster, the state and the
    // monitor values all land in it.
    const std::string results = dir() + "/r\xe9sultats";
    ASSERT_EQ(::mkdir(results.c_str(), 0700), 0);
    std::string problem;
    int number = 0;
    for (const char* format : {".ive", ".3ds", ".tif"}) {
        SCOPED_TRACE(format);
        ++number;
        ASSERT_TRUE(writeFloodResult(results, number, format, *water, engine, hud, monitors, problem, false))
            << problem;
        const std::string base = results + "/" + std::to_string(number);
        EXPECT_EQ(readTextFile(base + format).empty(), false);
        FloodHud state;
        ASSERT_TRUE(state.readState(base + ".txt"));
        EXPECT_FLOAT_EQ(state.time, hud.time);
        MonitorPoints read;
        ASSERT_TRUE(read.readJson(base + ".json"));
        EXPECT_EQ(read.list().size(), 1u);
    }
    EXPECT_TRUE(osg::ref_ptr<osg::Node>(osgDB::readNodeFile(results + "/1.ive")).valid());
    EXPECT_EQ(folderEntries(results), (std::vector<std::string>{"1.ive", "1.json", "1.txt", "2.3ds", "2.json",
                                                                "2.txt", "3.json", "3.tif", "3.txt"}));
}

TEST_F(FloodResults, ResultThatCannotBeWrittenWholeIsTakenAwayAndNamed) {
    const std::string results = dir() + "/results";
    ASSERT_EQ(::mkdir(results.c_str(), 0700), 0);
    std::string problem;
    ASSERT_TRUE(writeFloodResult(results, 1, ".ive", *water, engine, hud, monitors, problem, false));
    for (const char* format : {".ive", ".tif"}) {
        SCOPED_TRACE(format);
        {
            // As on a full disk: the model or raster does not fit, the small files would.
            FileSizeLimit limit(2048);
            EXPECT_FALSE(writeFloodResult(results, 2, format, *water, engine, hud, monitors, problem, false));
        }
        EXPECT_EQ(problem, "cannot write \"" + results + "/2" + format + "\": File too large");
        EXPECT_EQ(folderEntries(results), (std::vector<std::string>{"1.ive", "1.json", "1.txt"}));
    }
    // A model format without a writer is named as well, and leaves nothing behind.
    EXPECT_FALSE(writeFloodResult(results, 2, ".nowriter", *water, engine, hud, monitors, problem, false));
    EXPECT_NE(problem.find("cannot write \"" + results + "/2.nowriter\": no model writer"), std::string::npos)
        << problem;
    EXPECT_EQ(folderEntries(results), (std::vector<std::string>{"1.ive", "1.json", "1.txt"}));
}

}  // namespace
