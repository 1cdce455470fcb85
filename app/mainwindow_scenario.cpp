// Case studies: the scene tree, its data-path binding, opening a case, and the vector layers.
#include "mainwindow.h"

void MainWindow::OnlineTreeViewDoubleClick(QModelIndex) {}
void MainWindow::ClickTree(QModelIndex) {}
void MainWindow::BindFilePath() {}
void MainWindow::OpenShapeFile() {}
void MainWindow::receiveGroup(shapeFormat*) {}
void MainWindow::DeleteAllNode() {}
