#pragma once

#include <QProcess>
#include <QSize>
#include <QString>

class QImage;

// Writes an MP4 (H.264) from pictures handed to it one by one, through Debian's ffmpeg program, which
// reads them as raw RGB frames on its standard input: no picture is stored on disk on the way.
//
//     VideoEncoder video;
//     video.start("flood.mp4", QSize(1280, 720), problem);
//     video.addFrame(picture, problem);   // for every frame
//     video.finish(problem);              // or video.cancel()
//
// The film is written under a temporary name beside the chosen one and takes that name only when ffmpeg
// has finished it, so a file of that name from before stays until then, and a cancelled or failed
// export leaves nothing behind.
class VideoEncoder {
public:
    static constexpr int framesPerSecond = 10;

    // `program` is looked up on PATH.
    explicit VideoEncoder(QString program = QStringLiteral("ffmpeg"));
    ~VideoEncoder();
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    // H.264 needs an even width and height: `size` rounded down to them (at least 2 x 2).
    static QSize frameSizeFor(QSize size);

    // Starts the program for a film of `size` (rounded by frameSizeFor) at `path`. False, with the
    // reason in `problem`, when the program is missing or does not start.
    bool start(const QString& path, QSize size, QString& problem);
    // Hands one picture over, scaled to the film's size when it differs. False, with ffmpeg's own words,
    // when the program has stopped taking pictures; the export is then cancelled.
    bool addFrame(const QImage& picture, QString& problem);
    // Lets the program finish the film and gives it its name. False, with the reason, when it fails.
    bool finish(QString& problem);
    // Stops the program and removes what it wrote.
    void cancel();

    QSize frameSize() const { return size; }
    int frameCount() const { return frames; }

private:
    QString errorText();

    QString program;
    QProcess process;
    QString target;
    QString partial;
    QSize size;
    int frames = 0;
};
