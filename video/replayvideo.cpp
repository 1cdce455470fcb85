#include "replayvideo.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProgressDialog>

#include "offscreenview.h"
#include "videoencoder.h"

FilmOutcome writeReplayFilm(const ReplayFilm& film, QWidget* parent, QString& problem,
                            const QString& program) {
    if (film.frameCount < 1 || !film.scene || !film.showFrame) {
        problem = "There is no replay to film.";
        return FilmOutcome::Failed;
    }
    VideoEncoder encoder(program);
    OffscreenView view;
    const QSize size = VideoEncoder::frameSizeFor(film.size);
    if (!view.open(film.scene, size, problem) || !encoder.start(film.path, size, problem)) {
        return FilmOutcome::Failed;
    }
    QProgressDialog progress(
        QCoreApplication::translate("ReplayFilm", "Writing %1 …").arg(QFileInfo(film.path).fileName()),
        QCoreApplication::translate("ReplayFilm", "Cancel"), 0, film.frameCount, parent);
    progress.setWindowTitle(QCoreApplication::translate("ReplayFilm", "Export video"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setValue(0);
    for (int frame = 1; frame <= film.frameCount; ++frame) {
        if (progress.wasCanceled()) {
            encoder.cancel();
            return FilmOutcome::Cancelled;
        }
        film.showFrame(frame);
        if (!encoder.addFrame(view.render(film.view, film.projection, film.background), problem)) {
            return FilmOutcome::Failed;
        }
        // Lets the dialog draw itself and take the click on Cancel.
        progress.setValue(frame);
    }
    if (progress.wasCanceled()) {
        encoder.cancel();
        return FilmOutcome::Cancelled;
    }
    return encoder.finish(problem) ? FilmOutcome::Written : FilmOutcome::Failed;
}
