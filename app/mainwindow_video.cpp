// "Export video…": the replay on screen filmed frame by frame.
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <algorithm>
#include <osgGA/CameraManipulator>

#include "mainwindow.h"
#include "monitorcharts.h"
#include "replayvideo.h"
#include "sessionstage.h"
#include "viewerqt.h"

namespace {

// The film size offered beside the view's own.
const QSize filmSize720p(1280, 720);

}  // namespace

void MainWindow::startReplayOf(EvolutionMode mode, const std::string& folder) {
    stopEvolution();
    startCaseReplay(mode, folder, 0);
}

FilmOutcome MainWindow::filmReplay(const QString& path, QSize size, QString& problem) {
    const bool replaying = evolution->drives(Beat::Replay) || evolution->ended(Beat::Replay);
    // A landslide replay waits for the view to draw each of its frames, and carries no clock or legend.
    if (!replaying || evolution->frameCount < 1 ||
        (evolution->mode != EvolutionMode::Flood && evolution->mode != EvolutionMode::Debris)) {
        problem =
            tr("There is no flood or debris-flow replay on screen to film: replay a result folder or open "
               "a case study first.");
        return FilmOutcome::Failed;
    }
    // The replay stands still while it is filmed, and goes on from where it was afterwards.
    const bool wasPlaying = evolution->playing;
    const int shownFrame = evolution->frameIndex;
    const bool held = evolution->hold();
    evolution->playing = false;

    ReplayFilm film;
    film.path = path;
    film.size = size;
    film.frameCount = evolution->frameCount;
    film.scene = root.get();
    film.showFrame = [this](int frame) {
        evolution->frameIndex = frame;
        Visualize();
    };
    // The manipulator's view, which the camera takes only at the view's next frame.
    const osg::Camera* camera = viewer->getCamera();
    film.view = viewer->getCameraManipulator() ? viewer->getCameraManipulator()->getInverseMatrix()
                                               : camera->getViewMatrix();
    film.projection = camera->getProjectionMatrix();
    film.background = camera->getClearColor();
    stage->filming = true;
    const FilmOutcome outcome = writeReplayFilm(film, this, problem);

    evolution->frameIndex = shownFrame;
    if (shownFrame <= evolution->frameCount) {
        Visualize();
    }
    stage->filming = false;
    evolution->playing = wasPlaying;
    if (held) {
        evolution->resume();
    }
    viewer->requestRedraw();
    return outcome;
}

void MainWindow::exportVideo() {
    const QString viewSize = tr("The view's size (%1 x %2)").arg(viewer->width()).arg(viewer->height());
    const QString wide = tr("%1 x %2").arg(filmSize720p.width()).arg(filmSize720p.height());
    bool chosen = false;
    const QString size = QInputDialog::getItem(this, tr("Export video…"), tr("Picture size:"),
                                               {viewSize, wide}, 0, false, &chosen);
    if (!chosen) {
        return;
    }
    QString path =
        QFileDialog::getSaveFileName(this, tr("Export video…"), "replay.mp4", tr("MP4 video (*.mp4)"));
    if (path.isEmpty()) {
        return;
    }
    if (QFileInfo(path).suffix().isEmpty()) {
        path += ".mp4";
    }
    QString problem;
    const FilmOutcome outcome =
        filmReplay(path, size == wide ? filmSize720p : QSize(viewer->width(), viewer->height()), problem);
    if (outcome == FilmOutcome::Failed) {
        QMessageBox::information(nullptr, tr("Warning"), problem, QMessageBox::Ok);
    }
}
