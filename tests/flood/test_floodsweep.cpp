// A sweep of independent vantorel-batch runs, the way the README shows it: three capacities through GNU
// parallel, and the same through the Slurm job-array script run by hand, one array task at a time.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "floodhud.h"
#include "floodtestdata.h"

namespace {

class FloodSweepTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        inputs = writeValley(folder.path().toStdString(), ValleyShape{20, 30}, {{9, 28}});
    }

    // The run folder of one capacity is complete: `results` numbered depth rasters and display states
    // of that capacity, and the summary with one volume row per result.
    void expectCompleteRun(const QString& out, const QString& capacity, int results) const {
        SCOPED_TRACE(out.toStdString());
        EXPECT_EQ(QDir(out).entryList({"*.tif"}, QDir::Files).size(), results);
        EXPECT_EQ(QDir(out).entryList({"*.txt"}, QDir::Files).size(), results);
        FloodHud state;
        ASSERT_TRUE(state.readState((out + "/" + QString::number(results) + ".txt").toStdString()));
        EXPECT_EQ(state.capacity, capacity.toFloat());
        // The rasters, the hazard classes and their names, the GIS layers, the volume table and the report.
        EXPECT_EQ(QDir(out + "_summary").entryList(QDir::Files).size(), 9);
        const QStringList rows =
            QString::fromStdString(readTextFile((out + "_summary/volume.csv").toStdString()))
                .split('\n', Qt::SkipEmptyParts);
        EXPECT_EQ(rows.size(), results + 1);
    }

    QTemporaryDir folder;
    std::vector<std::string> inputs;
    const QStringList capacities = {"100000", "200000", "300000"};
};

TEST_F(FloodSweepTest, GnuParallelRunsThreeScenariosIntoThreeCompleteFolders) {
    const QString sweep = folder.filePath("sweep");
    const ProgramRun parallel =
        runProgram("parallel", QStringList{"--halt",       "now,fail=1",
                                           VANTOREL_BATCH, "flood",
                                           "--roughness",  QString::fromStdString(inputs[0]),
                                           "--dem",        QString::fromStdString(inputs[1]),
                                           "--outbreak",   QString::fromStdString(inputs[2]),
                                           "--width",      "10",
                                           "--height",     "5",
                                           "--capacity",   "{}",
                                           "--results",    "6",
                                           "--out",        sweep + "/capacity-{}",
                                           ":::"} +
                                   capacities);
    ASSERT_EQ(parallel.exitCode, 0) << parallel.out << parallel.err;
    for (const QString& capacity : capacities) {
        expectCompleteRun(sweep + "/capacity-" + capacity, capacity, 6);
    }
}

TEST_F(FloodSweepTest, SlurmArrayScriptRunsTheScenarioOfItsTask) {
    const QString sweep = folder.filePath("slurm");
    const QStringList environment = {
        QString("VANTOREL_BATCH=") + VANTOREL_BATCH,
        "SWEEP_ROUGHNESS=" + QString::fromStdString(inputs[0]),
        "SWEEP_DEM=" + QString::fromStdString(inputs[1]),
        "SWEEP_OUTBREAK=" + QString::fromStdString(inputs[2]),
        "SWEEP_CAPACITIES=" + capacities.join(' '),
        "SWEEP_UNTIL=4",
        "SWEEP_OUT=" + sweep,
    };
    for (int task = 0; task < capacities.size(); ++task) {
        const ProgramRun run = runProgram(
            "env",
            environment + QStringList{"SLURM_ARRAY_TASK_ID=" + QString::number(task), VANTOREL_SWEEP_SCRIPT});
        ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    }
    // The default breach of the form on a valley this small: 4 s of simulated time is 4 results.
    for (const QString& capacity : capacities) {
        expectCompleteRun(sweep + "/capacity-" + capacity, capacity, 4);
    }
    const ProgramRun beyond =
        runProgram("env", environment + QStringList{"SLURM_ARRAY_TASK_ID=3", VANTOREL_SWEEP_SCRIPT});
    EXPECT_EQ(beyond.exitCode, 2);
    EXPECT_NE(beyond.err.find("task 3 has no capacity"), std::string::npos) << beyond.err;
}

}  // namespace
