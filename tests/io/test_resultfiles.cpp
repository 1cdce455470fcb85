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

TEST_F(ResultFiles, AFolderNamedLikeAResultIsRefusedBeforeAnythingIsRemoved) {
    touch({"1.ive", "1.txt", "notes.txt"});
    writeTextFile(dir() + "/9.ive/mine.txt", "a user's own folder");
    std::string problem;
    EXPECT_FALSE(removeResultFiles(dir(), problem));
    EXPECT_NE(problem.find(dir() + "/9.ive\" is a folder, not a result file; nothing was removed"),
              std::string::npos)
        << problem;
    EXPECT_EQ(folderEntries(dir()), (std::vector<std::string>{"1.ive", "1.txt", "9.ive", "notes.txt"}));
}

TEST_F(ResultFiles, OneRunAtATimeHoldsAFolder) {
    ResultFolderLock first;
    ResultFolderLock second;
    std::string problem;
    ASSERT_TRUE(first.lock(dir(), problem)) << problem;
    EXPECT_FALSE(second.lock(dir(), problem));
    EXPECT_EQ(problem, "the result folder \"" + dir() + "\" is in use by another run; wait for it to end, or "
                       "choose another folder");
    EXPECT_FALSE(second.locked());
    {
        // Another folder is free, and a lock goes with its object.
        ResultFolderLock other;
        EXPECT_TRUE(other.lock(dir() + "/..", problem)) << problem;
    }
    first.unlock();
    EXPECT_TRUE(second.lock(dir(), problem)) << problem;
    EXPECT_FALSE(first.lock(dir() + "/missing", problem));
    EXPECT_NE(problem.find("cannot open the result folder \"" + dir() + "/missing\""), std::string::npos);
}

TEST_F(ResultFiles, ResultSetsAreSizedByTheirNumberAlone) {
    writeTextFile(dir() + "/3.ive", "12345");
    writeTextFile(dir() + "/3.json", "12");
    writeTextFile(dir() + "/30.txt", "1234567");
    writeTextFile(dir() + "/3.png", "1234567");
    EXPECT_EQ(resultSetBytes(dir(), 3), 7);
    EXPECT_EQ(resultSetBytes(dir(), 30), 7);
    EXPECT_EQ(resultSetBytes(dir(), 4), 0);
    // Nothing is that large: the disk cannot hold it; a folder on no disk cannot be asked.
    EXPECT_TRUE(diskHasRoomForResults(dir(), 7));
    EXPECT_FALSE(diskHasRoomForResults(dir(), 7, 1LL << 62));
    EXPECT_TRUE(diskHasRoomForResults("/proc", 1LL << 40));
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
