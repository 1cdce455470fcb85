#include <unistd.h>
#include <QApplication>
#include <QSocketNotifier>

#include "mainwindow.h"
#include "stopsignals.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    MainWindow window;
    // Ctrl+C or SIGTERM ends the program between two ticks, so a computed run leaves complete results.
    catchStopSignals();
    QSocketNotifier stopNotifier(stopSignalDescriptor(), QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, [&window, &application] {
        char byte = 0;
        while (::read(stopSignalDescriptor(), &byte, 1) > 0) {
        }
        window.stopForSignal(stopSignalName());
        application.quit();
    });
    showMainWindow(window);
    return application.exec();
}
