#pragma once

#include <QSize>
#include <QString>
#include <functional>
#include <osg/Matrixd>
#include <osg/Node>
#include <osg/Vec4>

class QWidget;

// A replay to be filmed: its frames as the window shows them, from a fixed viewpoint.
struct ReplayFilm {
    QString path;        // the MP4 file to write
    QSize size;          // picture size in pixels (rounded down to even numbers)
    int frameCount = 0;  // the frames 1 to frameCount become the film's frames, one each
    // Puts frame n of the replay, with its clock and legend, on `scene`.
    std::function<void(int)> showFrame;
    osg::Node* scene = nullptr;
    osg::Matrixd view;        // the view matrix of the window's camera
    osg::Matrixd projection;  // and its projection
    osg::Vec4 background;
};

enum class FilmOutcome { Written, Cancelled, Failed };

// Films `film` through ffmpeg (`program`), one frame after the other, under a progress dialog over
// `parent` whose Cancel stops ffmpeg and removes the partial film. Failed, with the reason in
// `problem`, when the offscreen drawing or ffmpeg fails or ffmpeg is missing.
FilmOutcome writeReplayFilm(const ReplayFilm& film, QWidget* parent, QString& problem,
                            const QString& program = QStringLiteral("ffmpeg"));
