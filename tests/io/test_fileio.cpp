// Whole files by the bytes of their paths: reading only regular files of a bounded size, and writing
// through a temporary file that never leaves a file cut short.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <filesystem>

#include "fileio.h"
#include "testfiles.h"

namespace {

class FileIo : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }
    std::string path(const std::string& name) const { return folder.path().toStdString() + "/" + name; }

    QTemporaryDir folder;
};

TEST_F(FileIo, ReadsRegularFilesOnlyAndNeverWaitsOnAPipeOrADevice) {
    writeTextFile(path("grid.asc"), "ncols 1\n");
    ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
    std::filesystem::create_symlink(path("grid.asc"), path("link.asc"));
    // A sparse file of 3 GiB: refused by its size before anything is read.
    {
        FILE* sparse = std::fopen(path("sparse.bin").c_str(), "w");
        ASSERT_NE(sparse, nullptr);
        ASSERT_EQ(::ftruncate(fileno(sparse), 3LL << 30), 0);
        std::fclose(sparse);
    }
    const struct {
        std::string path;
        FileReadStatus status;
        std::string bytes;
        const char* problem;
    } cases[] = {
        {path("grid.asc"), FileReadStatus::ok, "ncols 1\n", ""},
        {path("link.asc"), FileReadStatus::ok, "ncols 1\n", ""},
        {path("missing.asc"), FileReadStatus::missing, "", "cannot open"},
        {path("grid.asc/inside"), FileReadStatus::missing, "", "cannot open"},
        {folder.path().toStdString(), FileReadStatus::notRegular, "", "is not a regular file"},
        {path("pipe"), FileReadStatus::notRegular, "", "is not a regular file"},
        {"/dev/zero", FileReadStatus::notRegular, "", "\"/dev/zero\" is not a regular file"},
        {path("sparse.bin"), FileReadStatus::tooLarge, "",
         "holds 3221225472 bytes, more than the 1073741824"},
    };
    // A reader that waited on the pipe would never return: the alarm ends the test program instead.
    ::alarm(60);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::string bytes = "stale";
        std::string problem;
        EXPECT_EQ(readRegularFile(c.path, std::size_t(1) << 30, bytes, problem), c.status);
        EXPECT_EQ(bytes, c.bytes);
        EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
        if (c.status != FileReadStatus::ok) {
            EXPECT_NE(problem.find(c.path), std::string::npos) << problem;
        }
    }
    ::alarm(0);

    std::string bytes;
    std::string problem;
    EXPECT_EQ(readRegularFile(path("grid.asc"), 7, bytes, problem), FileReadStatus::tooLarge);
    EXPECT_EQ(readRegularFile(path("grid.asc"), 8, bytes, problem), FileReadStatus::ok);
}

TEST_F(FileIo, WritesThroughATemporaryFileKeepingTheOldOneUntilTheNewIsComplete) {
    const std::string file = path("1.txt");
    std::string problem;
    ASSERT_TRUE(writeFileAtomically(file, "first", problem)) << problem;
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    ASSERT_TRUE(writeFileAtomically(file, "second, longer", problem)) << problem;
    EXPECT_EQ(readTextFile(file), "second, longer");
    struct stat status {};
    ASSERT_EQ(::stat(file.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u) << "the permissions of the file it replaces";

    // A full disk: the write fails, says which file, and leaves the old one whole and nothing else.
    {
        FileSizeLimit limit(64);
        EXPECT_FALSE(writeFileAtomically(file, std::string(1000, 'x'), problem));
    }
    EXPECT_NE(problem.find("cannot write \"" + file + "\": File too large"), std::string::npos) << problem;
    EXPECT_EQ(readTextFile(file), "second, longer");
    EXPECT_EQ(folderEntries(folder.path().toStdString()), std::vector<std::string>{"1.txt"});

    // Through a symbolic link: the file it names is written, and the link stays.
    std::filesystem::create_symlink(file, path("link.txt"));
    ASSERT_TRUE(writeFileAtomically(path("link.txt"), "third", problem)) << problem;
    EXPECT_TRUE(std::filesystem::is_symlink(path("link.txt")));
    EXPECT_EQ(readTextFile(file), "third");

    EXPECT_FALSE(writeFileAtomically(path("no folder/1.txt"), "x", problem));
    EXPECT_NE(problem.find("no folder/1.txt"), std::string::npos) << problem;
    EXPECT_FALSE(writeFileAtomically(path(""), "x", problem));
}

TEST_F(FileIo, FilesForLibrariesAreRegularFilesAndSoAreTheirCompanions) {
    for (const char* name : {"grid.tif", "points.shp", "points.dbf", "other.tif", "plain.asc"}) {
        writeTextFile(path(name), "x");
    }
    ASSERT_EQ(::mkfifo(path("points.SHX").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(path("grid.tif.aux.xml").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(path("pipe.tif").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(path("plainer.prj").c_str(), 0600), 0);
    std::filesystem::create_symlink(path("other.tif"), path("link.tif"));
    std::filesystem::create_symlink(path("pipe.tif"), path("other.tfw"));
    std::filesystem::create_directory(path("plain.asc.d"));
    const struct {
        const char* name;
        const char* problem;  // empty: the file is fine
    } cases[] = {
        {"plain.asc", ""},                  // a folder and an unrelated pipe beside it
        {"link.tif", ""},                   // a link to a regular file
        {"grid.tif", "grid.tif.aux.xml\", beside"},
        {"points.shp", "points.SHX\", beside"},  // companions in any letter case
        {"other.tif", "other.tfw\", beside"},    // a link to a pipe
        {"pipe.tif", "pipe.tif\" is not a regular file"},
        {"missing.tif", "missing.tif\" does not open: No such file"},
        {"", "\" is not a regular file"},     // the folder itself
    };
    ::alarm(60);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string problem;
        EXPECT_EQ(checkDataFile(path(c.name), problem), *c.problem == '\0');
        EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
    }
    ::alarm(0);
    // GDAL's in-memory files, which the fuzz targets hand the readers, are no pipes.
    std::string problem;
    EXPECT_TRUE(checkDataFile("/vsimem/points/monitors.shp", problem)) << problem;
}

TEST_F(FileIo, LinkAtTheWrittenPathIsWrittenThroughOrReplacedAsAsked) {
    const std::string outside = path("outside.txt");
    writeTextFile(outside, "keep");
    std::string problem;
    std::filesystem::create_symlink(outside, path("replaced.csv"));
    ASSERT_TRUE(writeFileAtomically(path("replaced.csv"), "new", problem, LinkAtPath::replace)) << problem;
    EXPECT_FALSE(std::filesystem::is_symlink(path("replaced.csv")));
    EXPECT_EQ(readTextFile(path("replaced.csv")), "new");
    EXPECT_EQ(readTextFile(outside), "keep");

    std::filesystem::create_symlink(outside, path("through.csv"));
    ASSERT_TRUE(writeFileAtomically(path("through.csv"), "written", problem)) << problem;
    EXPECT_TRUE(std::filesystem::is_symlink(path("through.csv")));
    EXPECT_EQ(readTextFile(outside), "written");
}

TEST_F(FileIo, PathsAreBytesWhateverTheirEncoding) {
    // A folder whose name is not UTF-8 (Latin-1 "ré"), as another system may have made it.
    const std::string latin1 = path("r\xe9sultats");
    ASSERT_EQ(::mkdir(latin1.c_str(), 0700), 0);
    std::string problem;
    ASSERT_TRUE(writeFileAtomically(latin1 + "/1.txt", "5", problem)) << problem;
    std::string bytes;
    EXPECT_EQ(readRegularFile(latin1 + "/1.txt", 100, bytes, problem), FileReadStatus::ok);
    EXPECT_EQ(bytes, "5");
    EXPECT_EQ(folderEntries(latin1), std::vector<std::string>{"1.txt"});
}

TEST(TemporaryFileNames, AreTheNamesTheWriterGives) {
    EXPECT_TRUE(isTemporaryFileName(".12.ive.partial-a8Bc3d"));
    for (const char* name : {"12.ive", ".12.ive.partial-", ".12.ive.partial-abc", "12.ive.partial-a8Bc3d",
                             ".partial-a8Bc3d", ".x.partial-a8Bc3dz"}) {
        EXPECT_FALSE(isTemporaryFileName(name)) << name;
    }
}

}  // namespace
