// Films of replays: drawn off screen, handed to Debian's ffmpeg, read back by ffprobe.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <osg/Geode>
#include <osg/ShapeDrawable>

#include "modaldriver.h"
#include "replayvideo.h"
#include "testfiles.h"

namespace {

// A red box on a dark blue background, seen from the front.
class FilmTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        auto* box = new osg::ShapeDrawable(new osg::Box(osg::Vec3(), 10.0f));
        box->setColor(osg::Vec4(1, 0, 0, 1));
        osg::ref_ptr<osg::Geode> geode = new osg::Geode;
        geode->addDrawable(box);
        geode->getOrCreateStateSet()->setMode(GL_LIGHTING, osg::StateAttribute::OFF);
        scene->addChild(geode);
        film.path = folder.filePath("replay.mp4");
        film.size = QSize(161, 121);
        film.frameCount = 5;
        film.scene = scene.get();
        film.showFrame = [this](int frame) { shown.push_back(frame); };
        film.view = osg::Matrixd::lookAt(osg::Vec3d(0, -60, 0), osg::Vec3d(), osg::Vec3d(0, 0, 1));
        film.projection = osg::Matrixd::perspective(30, 4.0 / 3.0, 1, 1000);
        film.background = osg::Vec4(0, 0, 0.4f, 1);
    }

    QTemporaryDir folder;
    osg::ref_ptr<osg::Group> scene = new osg::Group;
    ReplayFilm film;
    std::vector<int> shown;
};

TEST_F(FilmTest, HasAFrameForEveryReplayFrameAndPlays) {
    QString problem;
    ASSERT_EQ(writeReplayFilm(film, nullptr, problem), FilmOutcome::Written) << problem.toStdString();
    EXPECT_EQ(shown, (std::vector<int>{1, 2, 3, 4, 5}));
    // H.264 takes even sizes only.
    EXPECT_EQ(probeVideo(film.path), "h264,160,120,5");
    EXPECT_FALSE(QFile::exists(film.path + ".partial"));

    // The scene as the camera sees it: the box in the middle, the background around it.
    const QString still = folder.filePath("still.png");
    const ProgramRun grab = runProgram("ffmpeg", {"-v", "error", "-i", film.path, "-frames:v", "1", still});
    ASSERT_EQ(grab.exitCode, 0) << grab.err;
    const QImage picture(still);
    ASSERT_EQ(picture.size(), QSize(160, 120));
    const QColor middle = picture.pixelColor(80, 60);
    const QColor corner = picture.pixelColor(3, 3);
    EXPECT_GT(middle.red(), 200);
    EXPECT_LT(middle.blue(), 60);
    EXPECT_LT(corner.red(), 40);
    EXPECT_NEAR(corner.blue(), 102, 25);
}

TEST_F(FilmTest, CancelStopsFfmpegAndLeavesTheFileThatWasThere) {
    writeTextFile(film.path.toStdString(), "an older film");
    ModalDriver cancel([](QWidget* dialog) { static_cast<QProgressDialog*>(dialog)->cancel(); }, 15000,
                       "QProgressDialog");
    film.showFrame = [&](int frame) {
        shown.push_back(frame);
        if (frame == 2) {
            waitUntil([&cancel] { return cancel.answered(); });
        }
    };
    QString problem;
    EXPECT_EQ(writeReplayFilm(film, nullptr, problem), FilmOutcome::Cancelled) << problem.toStdString();
    EXPECT_TRUE(cancel.answered());
    EXPECT_EQ(shown, (std::vector<int>{1, 2}));
    EXPECT_EQ(readTextFile(film.path.toStdString()), "an older film");
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{"replay.mp4"});
}

TEST_F(FilmTest, MissingProgramIsNamedAndNothingIsDrawn) {
    QString problem;
    EXPECT_EQ(writeReplayFilm(film, nullptr, problem, "vantorel-no-such-ffmpeg"), FilmOutcome::Failed);
    EXPECT_TRUE(problem.contains("\"vantorel-no-such-ffmpeg\"")) << problem.toStdString();
    EXPECT_TRUE(shown.empty());
    EXPECT_TRUE(QDir(folder.path()).entryList(QDir::Files).isEmpty());
}

}  // namespace
