#include "getcamerapose.h"

#include "ui_getcamerapose.h"

GetCameraPose::GetCameraPose(QWidget* parent) : QDialog(parent), ui(new Ui::GetCameraPose) {
    ui->setupUi(this);
}

GetCameraPose::~GetCameraPose() = default;

void GetCameraPose::Getagrv(std::vector<double> pVectorParameters) {
    values = pVectorParameters;
    QTextEdit* const fields[] = {ui->textEdit,   ui->textEdit_2, ui->textEdit_3,
                                 ui->textEdit_5, ui->textEdit_6, ui->textEdit_4,
                                 ui->textEdit_8, ui->textEdit_9, ui->textEdit_7};
    for (std::size_t i = 0; i < values.size() && i < std::size(fields); ++i) {
        const bool centre = i >= 3 && i < 6;
        fields[i]->setPlainText(centre ? QString::number(values[i], 'g', 6)
                                       : QString::number(values[i], 'f', 2));
    }
}
