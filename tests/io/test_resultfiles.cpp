// Numbered result folders: which files are results, the last frame of a folder, clearing old results,
// and results written whole or not at all.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <osg/Geode>
#include <osg/Geometry>
#include <osgDB/ReadFile>

#include "modelfile.h"
#include "resultfiles.h"
#include "testfiles.h"

namespace {

class ResultFiles : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }
    std::string dir() const { return folder.path().toStdString(); }
    void touch(const std::vector<std::string>& names) const {
        for (const std::string& name : names) {
            writeTextFile(dir() + "/" + name, "x");
        }
    }

    QTemporaryDir folder;
};

TEST(ResultFileNames, AreNumbersFromOneWithTheExtensionsOfAResult) {
    const struct {
        const char* name;
        int number;
    } cases[] = {
        {"1.ive", 1},  {"12.txt", 12},   {"7.json", 7},         {"300.tif", 300},
        {"5.3ds", 5},  {"0.ive", 0},     {"012.ive", 0},        {"1.png", 0},
        {"a.txt", 0},  {"1.ive.bak", 0}, {".1.ive", 0},         {"1", 0},
        {"-1.txt", 0}, {"1e3.txt", 0},   {"1234567890.txt", 0}, {"TreeMeta.json", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(resultNumber(c.name), c.number) << c.name;
    }
}

TEST_F(ResultFiles, LastFrameIsTheHighestNumberWhateverIsMissingOrBeside) {
    EXPECT_EQ(lastResultNumber(dir()), 0);
    EXPECT_EQ(lastResultNumber(dir() + "/missing"), 0);
    touch({"1.ive", "1.txt", "2.ive", "2.txt", "6.ive", "6.txt", "6.json", "notes.txt", "40.png"});
    EXPECT_EQ(lastResultNumber(dir()), 6);
    touch({".9.txt.partial-a8Bc3d"});
    std::vector<std::string> listed = listResultFiles(dir());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{".9.txt.partial-a8Bc3d", "1.ive", "1.txt", "2.ive", "2.txt",
                                                "6.ive", "6.json", "6.txt"}));
    EXPECT_EQ(lastResultNumber(dir()), 6) << "an unfinished file is no frame";

    std::string problem;
    ASSERT_TRUE(removeResultFiles(dir(), problem)) << problem;
    EXPECT_EQ(folderEntries(dir()), (std::vector<std::string>{"40.png", "notes.txt"}));
}

TEST_F(ResultFiles, ResultThatCannotBeWrittenWholeIsTakenAway) {
    touch({"1.ive", "1.txt"});
    ResultFrameWriter second(dir(), 2);
    EXPECT_EQ(second.path(".txt"), dir() + "/2.txt");
    ASSERT_TRUE(second.write(".ive", std::string(100, 'm')));
    {
        FileSizeLimit limit(50);
        EXPECT_FALSE(second.write(".txt", std::string(100, 's')));
    }
    EXPECT_EQ(second.failedFile(), dir() + "/2.txt");
    EXPECT_EQ(second.problem().rfind("cannot write \"" + dir() + "/2.txt\": File too large", 0), 0u)
        << second.problem();
    EXPECT_EQ(folderEntries(dir()), (std::vector<std::string>{"1.ive", "1.txt"}));

    ResultFrameWriter third(dir(), 3);
    ASSERT_TRUE(third.write(".ive", "m"));
    third.fail(".json", "no monitor values");
    EXPECT_EQ(third.problem(), "cannot write \"" + dir() + "/3.json\": no monitor values");
    EXPECT_EQ(folderEntries(dir()), (std::vector<std::string>{"1.ive", "1.txt"}));
}

TEST_F(ResultFiles, ModelFilesAreCompleteOrNotWrittenAndNeverReportedWrittenWhenCut) {
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(osg::createTexturedQuadGeometry(osg::Vec3(), osg::Vec3(1, 0, 0), osg::Vec3(0, 1, 0)));
    std::string problem;
    for (const char* name : {"1.ive", "1.3ds", "1_cam.osg"}) {
        SCOPED_TRACE(name);
        const std::string file = dir() + "/" + name;
        ASSERT_TRUE(writeModelFile(*geode, file, problem)) << problem;
        EXPECT_TRUE(osg::ref_ptr<osg::Node>(osgDB::readNodeFile(file)).valid());
        const std::string complete = readTextFile(file);
        {
            // Room for a few bytes only: the model writer itself would report success here.
            FileSizeLimit limit(64);
            EXPECT_FALSE(writeModelFile(*geode, file, problem));
        }
        EXPECT_NE(problem.find(file), std::string::npos) << problem;
        EXPECT_EQ(readTextFile(file), complete);
    }
    EXPECT_FALSE(writeModelFile(*geode, dir() + "/1.unknown-format", problem));
    EXPECT_NE(problem.find("no model writer"), std::string::npos) << problem;
}

}  // namespace
