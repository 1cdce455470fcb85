// vantorel-screenshots: pictures of the case studies for the README, taken from the real window. It opens
// the window with the scene list beside this program, plays a flood case, a debris-flow case, the case on
// real terrain and a landslide story as a user's double-click would, and saves the window with its 3-D
// view at a chosen moment of each. scripts/screenshots sets up the folder it runs in.
#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QPainter>
#include <QStandardItemModel>
#include <QThread>
#include <functional>
#include <iostream>

#include "mainwindow.h"
#include "viewerqt.h"

namespace {

const char* const usage =
    "usage: vantorel-screenshots --out DIR [--size WIDTHxHEIGHT]\n"
    "\n"
    "Plays the case studies of the scene list beside this program in the window and writes\n"
    "DIR/flood-case.png, DIR/debris-case.png, DIR/real-terrain-case.png and DIR/landslide-story.png, of a\n"
    "window of the given size\n"
    "(default 1024x768). Needs an X display (Xvfb).\n";

// Lets the window run until `done` holds or `timeoutMs` have passed; false on time-out.
bool runUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

void runFor(int milliseconds) {
    runUntil([] { return false; }, milliseconds);
}

// The window as it is on screen: its widgets, with the 3-D view read back from OpenGL (a widget grab
// leaves an OpenGL view blank).
QImage windowPicture(MainWindow& window) {
    QImage picture = window.grab().toImage();
    QPainter painter(&picture);
    ViewerQT* view = window.view();
    painter.drawImage(view->mapTo(&window, QPoint(0, 0)), view->grabFrameBuffer());
    return picture;
}

bool playCase(MainWindow& window, const QString& name) {
    const QList<QStandardItem*> found = window.sceneTreeModel()->findItems(name);
    if (found.isEmpty()) {
        std::cerr << "vantorel-screenshots: the scene list has no case \"" << name.toStdString() << "\"\n";
        return false;
    }
    window.OnlineTreeViewDoubleClick(found.front()->index());
    return true;
}

bool save(MainWindow& window, const QString& path) {
    if (!windowPicture(window).save(path)) {
        std::cerr << "vantorel-screenshots: cannot write " << path.toStdString() << "\n";
        return false;
    }
    std::cout << "wrote " << path.toStdString() << "\n";
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    const int outAt = arguments.indexOf("--out");
    if (outAt < 0 || outAt + 1 >= arguments.size()) {
        std::cout << usage;
        return arguments.contains("--help") ? 0 : 2;
    }
    const QString out = arguments[outAt + 1];
    if (!QDir().mkpath(out)) {
        std::cerr << "vantorel-screenshots: cannot create " << out.toStdString() << "\n";
        return 1;
    }
    QSize size(1024, 768);
    if (const int sizeAt = arguments.indexOf("--size"); sizeAt >= 0) {
        const QStringList parts =
            sizeAt + 1 < arguments.size() ? arguments[sizeAt + 1].split('x') : QStringList();
        size = parts.size() == 2 ? QSize(parts[0].toInt(), parts[1].toInt()) : QSize();
        if (size.width() < 400 || size.height() < 300 || size.width() > 4096 || size.height() > 4096) {
            std::cerr << "vantorel-screenshots: --size needs WIDTHxHEIGHT from 400x300 to 4096x4096\n";
            return 2;
        }
    }
    MainWindow window;
    showMainWindow(window);
    window.resize(size);
    if (!runUntil([&window] { return window.view()->getFrameStamp()->getFrameNumber() > 2; }, 30000)) {
        std::cerr << "vantorel-screenshots: the 3-D view draws no frame\n";
        return 1;
    }

    // The flood at the end of its replay, with the gauges of its monitor points beneath.
    if (!playCase(window, "6.1洪水") ||
        !runUntil([&window] { return window.currentFrameIndex() > window.availableFrameCount(); }, 300000)) {
        return 1;
    }
    window.findChild<QDockWidget*>("monitorDock")->show();
    runFor(500);
    if (!save(window, out + "/flood-case.png")) {
        return 1;
    }

    // The debris flow two thirds of the way down its slope, in the whole view.
    window.findChild<QDockWidget*>("monitorDock")->hide();
    if (!playCase(window, "七盘泥石流") ||
        !runUntil([&window] { return 3 * window.currentFrameIndex() > 2 * window.availableFrameCount(); },
                  300000)) {
        return 1;
    }
    runFor(300);
    if (!save(window, out + "/debris-case.png")) {
        return 1;
    }

    // The case the data tool made from a real DEM, its flood half way down the valley below the dam.
    if (!playCase(window, "jacksboro flood") ||
        !runUntil([&window] { return 2 * window.currentFrameIndex() > window.availableFrameCount(); }, 300000)) {
        return 1;
    }
    runFor(300);
    if (!save(window, out + "/real-terrain-case.png")) {
        return 1;
    }

    // The landslide story while the slide runs down under its dust.
    if (!playCase(window, "金江滑坡")) {
        return 1;
    }
    runFor(14000);
    return save(window, out + "/landslide-story.png") ? 0 : 1;
}
