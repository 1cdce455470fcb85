// The landslide run, its playback and the scripted landslide presentation.
#include "mainwindow.h"

void MainWindow::acceptLandSlideSignals(bool) {}
void MainWindow::landslideVisualize() {}

// Orders centreline candidates by falling elevation; nothing calls it.
bool MainWindow::GreaterSort(Point a, Point b) {
    return a.elevation > b.elevation;
}

void MainWindow::displayInfo() {}
void MainWindow::displayLandslideInfo() {}
void MainWindow::Shake() {}
void MainWindow::afterLandslide() {}
void MainWindow::OutlineShake() {}
void MainWindow::StripShake1() {}
void MainWindow::StripShake2() {}
void MainWindow::StripShake3() {}
void MainWindow::Twink() {}
