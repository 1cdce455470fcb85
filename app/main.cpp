#include <QApplication>

#include "mainwindow.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    MainWindow window;
    showMainWindow(window);
    return application.exec();
}
