#include "videoencoder.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QStandardPaths>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

namespace {

// Long enough for a slow machine to take in a frame or close a film of a few thousand frames.
constexpr int frameWriteTimeoutMs = 60000;
constexpr int finishTimeoutMs = 600000;

}  // namespace

VideoEncoder::VideoEncoder(QString program) : program(std::move(program)) {}

VideoEncoder::~VideoEncoder() {
    if (process.state() != QProcess::NotRunning) {
        cancel();
    }
}

QSize VideoEncoder::frameSizeFor(QSize size) {
    return QSize(std::max(2, size.width() & ~1), std::max(2, size.height() & ~1));
}

bool VideoEncoder::start(const QString& path, QSize requested, QString& problem) {
    const QString found = QStandardPaths::findExecutable(program);
    if (found.isEmpty()) {
        problem = QString(
                      "The video export needs the program \"%1\" (Debian's package ffmpeg), which is not "
                      "installed or not on PATH.")
                      .arg(program);
        return false;
    }
    size = frameSizeFor(requested);
    frames = 0;
    target = path;
    partial = path + ".partial";
    const QStringList arguments = {
        "-hide_banner", "-loglevel", "error", "-y",
        // Raw pictures on standard input, one after another, at a fixed rate.
        "-f", "rawvideo", "-pix_fmt", "rgb24", "-video_size",
        QString("%1x%2").arg(size.width()).arg(size.height()), "-framerate", QString::number(framesPerSecond),
        "-i", "-",
        // H.264 in the pixel format every player takes, with the index at the front for playing at once.
        "-an", "-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", "-movflags", "+faststart",
        "-f", "mp4", partial};
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(found, arguments);
    if (!process.waitForStarted()) {
        problem = QString("\"%1\" did not start: %2").arg(found, process.errorString());
        return false;
    }
    return true;
}

QString VideoEncoder::errorText() {
    return QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
}

bool VideoEncoder::addFrame(const QImage& picture, QString& problem) {
    QImage frame = picture.convertToFormat(QImage::Format_RGB888);
    if (frame.size() != size) {
        frame = frame.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    // ffmpeg takes the rows packed; a QImage pads each row to four bytes.
    const int rowBytes = size.width() * 3;
    QByteArray bytes(rowBytes * size.height(), Qt::Uninitialized);
    for (int y = 0; y < size.height(); ++y) {
        std::memcpy(bytes.data() + static_cast<qsizetype>(y) * rowBytes, frame.constScanLine(y), rowBytes);
    }
    if (process.state() == QProcess::Running) {
        process.write(bytes);
        // One frame in flight at most, so that a long film does not pile up in memory.
        while (process.bytesToWrite() > 0 && process.state() == QProcess::Running) {
            if (!process.waitForBytesWritten(frameWriteTimeoutMs)) {
                break;
            }
        }
    }
    if (process.state() != QProcess::Running || process.bytesToWrite() > 0) {
        problem = QString("ffmpeg stopped taking frames after %1 of them: %2").arg(frames).arg(errorText());
        cancel();
        return false;
    }
    ++frames;
    return true;
}

bool VideoEncoder::finish(QString& problem) {
    process.closeWriteChannel();
    if (!process.waitForFinished(finishTimeoutMs)) {
        problem = "ffmpeg did not finish the video " + target;
        cancel();
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        problem = QString("ffmpeg could not write %1: %2").arg(target, errorText());
        QFile::remove(partial);
        return false;
    }
    // Replaces a file of that name in one step.
    if (std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(target).constData()) != 0) {
        problem = "The video could not take the name " + target;
        QFile::remove(partial);
        return false;
    }
    return true;
}

void VideoEncoder::cancel() {
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(frameWriteTimeoutMs);
    }
    if (!partial.isEmpty()) {
        QFile::remove(partial);
    }
}
