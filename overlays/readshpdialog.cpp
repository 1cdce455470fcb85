// The shapefile dialog: file, colours and label size, reported through `sendGroup`.
#include "readshpdialog.h"

#include <QColorDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegExpValidator>

#include "ui_readshpdialog.h"

// A colour swatch is a cleared label whose background is filled with the colour.
static void showSwatch(QLabel* swatch, const QColor& color) {
    swatch->clear();
    QPalette palette = swatch->palette();
    palette.setColor(QPalette::Window, color);
    swatch->setPalette(palette);
    swatch->setAutoFillBackground(true);
}

ReadshpDialog::ReadshpDialog(QWidget* parent) : QDialog(parent), ui(new Ui::ReadshpDialog) {
    ui->setupUi(this);
    ui->txsize->setValidator(new QRegExpValidator(QRegExp("[0-9]+$", Qt::CaseSensitive), ui->txsize));
    showSwatch(ui->colorshow, vectorColor);
    showSwatch(ui->textcolor, textColor);
}

ReadshpDialog::~ReadshpDialog() {
    delete ui;
}

void ReadshpDialog::chooseColor(QColor& color, QLabel* swatch) {
    const QColor chosen = QColorDialog::getColor(Qt::red, this, "选择你要的颜色");
    if (chosen.isValid()) {
        color = chosen;
        showSwatch(swatch, color);
    }
}

void ReadshpDialog::on_pushButton_2_clicked() {
    chooseColor(vectorColor, ui->colorshow);
}

void ReadshpDialog::on_pushButton_3_clicked() {
    chooseColor(textColor, ui->textcolor);
}

void ReadshpDialog::on_choosefile_clicked() {
    const QString chosen =
        QFileDialog::getOpenFileName(this, tr("打开shapefile."), ".", tr("shapefile(*.shp);;All files(*.*)"));
    if (!chosen.isEmpty()) {
        ui->filepath->setPlaceholderText(chosen);
        filePath = QFile::encodeName(chosen).toStdString();
    }
}

void ReadshpDialog::on_pushButton_clicked() {
    clearFeatures();
    textSize = ui->txsize->text().toInt();

    if (!QFileInfo::exists(QFile::decodeName(filePath.c_str()))) {
        QMessageBox::warning(this, "警告!", "文件不存在", QMessageBox::Ok);
        return;
    }
    auto* format = new shapeFormat;
    format->filePath = filePath;
    format->textColor = textColor;
    format->vectorColor = vectorColor;
    format->textSize = textSize;
    // The receiver owns the record; with nobody listening it would never be freed.
    if (receivers(SIGNAL(sendGroup(shapeFormat*))) == 0) {
        delete format;
        return;
    }
    emit sendGroup(format);
}
