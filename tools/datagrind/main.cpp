// Datagrind: the data tool that "&数据处理工具" starts, beside the program.
#include <QApplication>

#include "datagrinddialog.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    DatagrindDialog dialog(QCoreApplication::applicationDirPath() + "/TreeMeta.json");
    dialog.show();
    return application.exec();
}
