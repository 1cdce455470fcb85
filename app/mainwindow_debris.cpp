// The debris-flow run and its live tick.
#include "mainwindow.h"

void MainWindow::acceptdebrisValues(std::vector<double>) {}
void MainWindow::flowVisualize() {}
