// vantorel-render-video: the replay of a result folder over its terrain, filmed into an MP4 by the window's
// own "Export video…", without anyone at the window. Needs an X display (scripts/render-video starts a
// virtual one) and the window's fonts in the working folder.
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <iostream>

#include "mainwindow.h"
#include "modelfile.h"
#include "sessionstage.h"

namespace {

const char* const usage =
    "usage: vantorel-render-video FOLDER SCENE OUT.mp4 [--size WIDTHxHEIGHT] [--debris]\n"
    "\n"
    "Replays the flood result folder FOLDER (with --debris a debris-flow one) over the terrain model\n"
    "SCENE, seen from the view's home position, and writes every stored frame with its clock and legend\n"
    "into the H.264 video OUT.mp4 (default size 1280x720) through ffmpeg.\n";

int refuse(const std::string& message) {
    std::cerr << "vantorel-render-video: " << message << "\n";
    return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QStringList arguments = application.arguments().mid(1);
    if (arguments.contains("--help")) {
        std::cout << usage;
        return 0;
    }
    QSize size(1280, 720);
    EvolutionMode mode = EvolutionMode::Flood;
    if (arguments.removeAll("--debris") > 0) {
        mode = EvolutionMode::Debris;
    }
    const int sizeAt = arguments.indexOf("--size");
    if (sizeAt >= 0) {
        const QRegularExpressionMatch match =
            QRegularExpression("^(\\d{1,5})x(\\d{1,5})$").match(arguments.value(sizeAt + 1));
        if (!match.hasMatch() || match.captured(1).toInt() < 2 || match.captured(2).toInt() < 2) {
            return refuse("--size needs WIDTHxHEIGHT, two whole numbers of at least 2, not \"" +
                          arguments.value(sizeAt + 1).toStdString() + "\"");
        }
        size = QSize(match.captured(1).toInt(), match.captured(2).toInt());
        arguments.erase(arguments.begin() + sizeAt, arguments.begin() + sizeAt + 2);
    }
    if (arguments.size() != 3) {
        std::cerr << usage;
        return 2;
    }
    const QString folder = arguments[0];
    const QString scene = arguments[1];
    const QString out = arguments[2];
    if (resultFrameCount(folder) < 1) {
        return refuse(folder.toStdString() + " holds no numbered result frames");
    }
    // Through the regular-file check: a pipe named like the terrain would hold the program in open().
    std::string loadProblem;
    if (!readModelFile(QFile::encodeName(scene).toStdString(), loadProblem)) {
        return refuse(loadProblem);
    }

    MainWindow window;
    showMainWindow(window);
    window.acceptScenePath(QFile::encodeName(scene).toStdString());
    window.startReplayOf(mode, QFile::encodeName(folder).toStdString());
    QString problem;
    switch (window.filmReplay(out, size, problem)) {
        case FilmOutcome::Written:
            std::cout << "wrote " << out.toStdString() << " (" << window.availableFrameCount()
                      << " frames)\n";
            return 0;
        case FilmOutcome::Cancelled:
            return refuse("cancelled; nothing written");
        case FilmOutcome::Failed:
            break;
    }
    return refuse(problem.toStdString());
}
