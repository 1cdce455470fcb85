// vantorel-demo-data, the real program: it writes only into a folder that is empty or its own.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "testfiles.h"

namespace {

ProgramRun demoData(const QString& out) {
    return runProgram(VANTOREL_DEMO_DATA, {"--out", out, "--results", "2"}, 300000);
}

TEST(DemoData, RefusesAFolderHoldingOtherFilesAndRebuildsItsOwn) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    // The user's own scene list and a folder named like a case study.
    writeTextFile(folder.filePath("TreeMeta.json").toStdString(), "{\"test\": []}");
    ASSERT_TRUE(QDir().mkpath(folder.filePath("金江洪水/Disaster_Play")));
    const ProgramRun refused = demoData(folder.path());
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("holds files that vantorel-demo-data did not write"), std::string::npos)
        << refused.err;
    EXPECT_EQ(readTextFile(folder.filePath("TreeMeta.json").toStdString()), "{\"test\": []}");
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{"TreeMeta.json", "金江洪水"}));

    // A new folder is built, and built again: the second build replaces its own results.
    const QString out = folder.filePath("demo");
    for (int build = 1; build <= 2; ++build) {
        SCOPED_TRACE(build);
        const ProgramRun built = demoData(out);
        ASSERT_EQ(built.exitCode, 0) << built.out << built.err;
        EXPECT_EQ(QDir(out + "/金江洪水/Disaster_Play").entryList(QDir::Files),
                  (QStringList{"1.ive", "1.json", "1.txt", "2.ive", "2.json", "2.txt"}));
        EXPECT_TRUE(QFile::exists(out + "/TreeMeta.json"));
    }
}

}  // namespace
