// Model files read through the checker process: whatever a file does to the plug-in, the reading
// process gets a model or a message naming the file, and goes on to read the next file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <osg/Billboard>
#include <osg/Camera>
#include <osg/Geometry>
#include <thread>
#include <vector>

#include "modelchecker.h"
#include "modelfile.h"
#include "testfiles.h"
#include "testmodels.h"

namespace {

using Verdict = ModelChecker::Verdict;

class CheckedModelFiles : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }
    std::string path(const std::string& name) const { return folder.path().toStdString() + "/" + name; }
    std::string written(const osg::Node& node) const {
        std::string bytes;
        std::string problem;
        EXPECT_TRUE(modelFileBytes(node, ".ive", bytes, problem)) << problem;
        return bytes;
    }
    // A billboard's frame with its geometry's identification damaged: the plug-in crashes on it.
    std::string crashingFrame() const {
        osg::ref_ptr<osg::Billboard> board = new osg::Billboard;
        board->addDrawable(patch->getDrawable(0));
        std::string bytes = written(*board);
        const std::size_t geometry = bytes.find(std::string("\x01\x10\0\0\0\x10\0\0", 8));
        EXPECT_NE(geometry, std::string::npos);
        std::memset(&bytes[std::min(geometry, bytes.size() - 4)], 0x25, 4);
        return bytes;
    }
    // The bytes with the last four, a count, replaced by `count`.
    static std::string withLastCount(std::string bytes, std::uint32_t count) {
        std::memcpy(&bytes[bytes.size() - 4], &count, 4);
        return bytes;
    }

    QTemporaryDir folder;
    osg::ref_ptr<osg::Geode> patch = makeTerrainPatch(0, 0, 10, 2);
};

TEST_F(CheckedModelFiles, GiveAModelOrAMessageNamingTheFile) {
    const std::string frame = written(*patch);
    // A billboard's frame ends with its positions, a count and one Vec3: a count past the end had the
    // plug-in write through a null pointer. A plain frame ends with a count of arrays (none): a huge one
    // has it read on past the end, for minutes unless the first read there ends it.
    osg::ref_ptr<osg::Billboard> board = new osg::Billboard;
    board->addDrawable(patch->getDrawable(0));
    const std::string boardFrame = written(*board);
    std::string countPastTheEnd = boardFrame;
    std::memset(&countPastTheEnd[countPastTheEnd.size() - 16], 0x25, 4);
    // Drawings and colours that reach past the vertices, as a damaged count leaves them.
    osg::ref_ptr<osg::Geometry> surface =
        static_cast<osg::Geometry*>(patch->getDrawable(0)->clone(osg::CopyOp::DEEP_COPY_ALL));
    const unsigned vertices = surface->getVertexArray()->getNumElements();
    surface->setPrimitiveSet(0, new osg::DrawArrays(GL_TRIANGLES, 0, vertices + 3));
    osg::ref_ptr<osg::Geode> pastTheEnd = new osg::Geode;
    pastTheEnd->addDrawable(surface);
    osg::ref_ptr<osg::Geometry> pale =
        static_cast<osg::Geometry*>(patch->getDrawable(0)->clone(osg::CopyOp::DEEP_COPY_ALL));
    pale->setColorArray(new osg::Vec4Array(vertices - 1), osg::Array::BIND_PER_VERTEX);
    osg::ref_ptr<osg::Geode> fewColours = new osg::Geode;
    fewColours->addDrawable(pale);
    const struct {
        const char* name;
        std::string bytes;
        Verdict verdict;
    } cases[] = {
        {"draws-past-the-end.ive", written(*pastTheEnd), Verdict::noModel},
        {"few-colours.ive", written(*fewColours), Verdict::noModel},
        {"valid.ive", frame, Verdict::model},
        {"board.ive", boardFrame, Verdict::model},
        {"truncated.ive", frame.substr(0, frame.size() / 2), Verdict::noModel},
        {"empty.ive", "", Verdict::noModel},
        {"count-too-small.ive", withLastCount(frame, 1), Verdict::noModel},
        {"board-count-past-the-end.ive", countPastTheEnd, Verdict::noModel},
        {"crashes.ive", crashingFrame(), Verdict::crashed},
        {"valid-after-crash.ive", frame, Verdict::model},
        {"reads-past-the-end.ive", withLastCount(frame, 0x7fffffff), Verdict::noModel},
    };
    // Long enough for a small frame on a loaded machine.
    ModelChecker checker({}, 2);
    pid_t process = -1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = path(c.name);
        writeTextFile(file, c.bytes);
        EXPECT_EQ(checker.check(c.bytes, ".ive", folder.path().toStdString()).verdict, c.verdict);
        // One process serves file after file until one ends it.
        if (c.verdict == Verdict::model || c.verdict == Verdict::noModel) {
            EXPECT_TRUE(process == -1 || checker.process() == process);
            process = checker.process();
        } else {
            process = -1;
        }
        std::string problem;
        const auto started = std::chrono::steady_clock::now();
        const osg::ref_ptr<osg::Node> node = readModelFile(file, problem, checker);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(6));
        if (c.verdict == Verdict::model) {
            ASSERT_TRUE(node.valid()) << problem;
            EXPECT_EQ(vertexCount(*node), vertexCount(*patch));
        } else {
            EXPECT_FALSE(node.valid());
            EXPECT_NE(problem.find(file), std::string::npos) << problem;
        }
    }
}

// The window and the writer and loader threads read at once; the checker takes one file at a time, and a
// crash on one thread's file costs no other thread its model.
TEST_F(CheckedModelFiles, ReadFromSeveralThreadsEachGetTheirOwnAnswer) {
    writeTextFile(path("valid.ive"), written(*patch));
    writeTextFile(path("crashes.ive"), crashingFrame());
    osg::ref_ptr<osg::Camera> view = new osg::Camera;
    view->setViewMatrixAsLookAt(osg::Vec3d(5, 5, 100), osg::Vec3d(5, 5, 2), osg::Vec3d(0, 1, 0));
    std::string problem;
    ASSERT_TRUE(writeModelFile(*view, path("valid_cam.osg"), problem)) << problem;
    const std::vector<std::string> names = {"valid.ive", "crashes.ive", "valid_cam.osg", "valid.ive"};

    ModelChecker checker({}, 2);
    std::vector<int> read(names.size() * 4, -1);
    std::vector<std::thread> threads;
    for (std::size_t thread = 0; thread < 4; ++thread) {
        threads.emplace_back([&, thread] {
            for (std::size_t i = 0; i < names.size(); ++i) {
                std::string reason;
                const std::string file = path(names[(i + thread) % names.size()]);
                read[thread * names.size() + i] = readModelFile(file, reason, checker).valid();
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (std::size_t at = 0; at < read.size(); ++at) {
        const std::string& name = names[(at % names.size() + at / names.size()) % names.size()];
        EXPECT_EQ(read[at], name == "crashes.ive" ? 0 : 1) << name;
    }
}

// Without a checker the window still shows the models it trusts, as it did before there was one.
TEST_F(CheckedModelFiles, AreReadInTheWindowWhenNoCheckerStarts) {
    const std::string file = path("valid.ive");
    writeTextFile(file, written(*patch));
    for (const char* program : {"/nonexistent/vantorel-modelcheck", "/bin/true"}) {
        SCOPED_TRACE(program);
        ModelChecker checker(program, 2);
        EXPECT_EQ(checker.check("", ".ive", folder.path().toStdString()).verdict, Verdict::unavailable);
        std::string problem;
        const osg::ref_ptr<osg::Node> node = readModelFile(file, problem, checker);
        ASSERT_TRUE(node.valid()) << problem;
        EXPECT_EQ(vertexCount(*node), vertexCount(*patch));
    }
}

// A checker that stops answering, as the plug-in looping on a file leaves it, is stopped in time, the file
// refused and the next file read by a new checker.
TEST_F(CheckedModelFiles, AreRefusedWhenTheCheckerGivesNoAnswer) {
    const std::string file = path("valid.ive");
    writeTextFile(file, written(*patch));
    const std::string silent = path("silent-checker");
    writeTextFile(silent, "#!/bin/sh\nprintf R\nexec sleep 60\n");
    ASSERT_EQ(::chmod(silent.c_str(), 0755), 0);
    ModelChecker checker(silent, 0.5);
    // The second file is refused too: it is not read unchecked in the window once a checker was stopped.
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::string problem;
        const auto started = std::chrono::steady_clock::now();
        EXPECT_FALSE(readModelFile(file, problem, checker).valid());
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
        EXPECT_NE(problem.find(file), std::string::npos) << problem;
        EXPECT_EQ(checker.process(), -1);
    }
}

}  // namespace
