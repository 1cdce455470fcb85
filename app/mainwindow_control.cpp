// Simulation control: the forms' hand-overs and the roam controls of every evolution.
#include "mainwindow.h"

void MainWindow::setData_flood() {}
void MainWindow::setData_debrisflow() {}
void MainWindow::setData_landslide() {}
void MainWindow::acceptStart(int) {}
void MainWindow::acceptURL(std::vector<std::string>) {}
void MainWindow::acceptScenePath(std::string) {}
void MainWindow::stopCal() {}
void MainWindow::startRoam() {}
void MainWindow::pauseRoam() {}
void MainWindow::continueRoma() {}
void MainWindow::stopRoam() {}
void MainWindow::restartRoam() {}
void MainWindow::speedControl() {}
