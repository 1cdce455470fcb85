// The flood run, its live tick and the replay of stored frames, and the dam-break replays.
#include "mainwindow.h"

void MainWindow::acceptfloodValues(std::vector<QString>) {}
void MainWindow::resultVisualize() {}
void MainWindow::Visualize() {}
void MainWindow::FloodModelA() {}
void MainWindow::FloodModelH() {}
void MainWindow::FloodingAnalysis() {}
