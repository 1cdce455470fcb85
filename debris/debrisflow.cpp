#include "debrisflow.h"

#include <QFileDialog>
#include <QMessageBox>

#include "gridreader.h"
#include "legendbar.h"
#include "ui_debrisflow.h"

namespace {

void warn(const QString& text) {
    QMessageBox::information(nullptr, "Warning", text, QMessageBox::Ok);
}

std::string localPath(const QString& path) {
    return path.toLocal8Bit().toStdString();
}

}  // namespace

DebrisFlow::DebrisFlow(QWidget* parent) : QWidget(parent), ui(new Ui::DebrisFlow) {
    ui->setupUi(this);
    ui->comboBox->addItems({"0.2", "0.4", "0.6", "0.8"});
    ui->comboBox->setCurrentIndex(2);
}

DebrisFlow::~DebrisFlow() = default;

osg::Vec4 DebrisFlow::depthColour(float depth, float span) const {
    return debrisDepthColour(depth, span, shallowColour, deepColour);
}

osg::ref_ptr<osg::Projection> DebrisFlow::legendBar(int lower, int upper) const {
    return LegendBarBuilder().buildLegendBar(shallowColour, deepColour, lower, upper);
}

TerrainHeights DebrisFlow::readHeights(const std::string& path) const {
    return readTerrainHeights(path);
}

void DebrisFlow::chooseInto(std::size_t slot, QLineEdit* box, const QString& filter) {
    const QString path = QFileDialog::getOpenFileName(this, "", "", filter);
    if (path.isEmpty()) {
        warn("请选择正确文件");
        return;
    }
    // Each file keeps its entry whatever the order of choosing: the terrain grid first, the breach second.
    if (urlList.size() <= slot) {
        urlList.resize(slot + 1);
    }
    urlList[slot] = localPath(path);
    box->setText(path);
}

void DebrisFlow::on_pushButton_clicked() {
    chooseInto(0, ui->lineEdit_12, QString::fromUtf8(rasterFileFilter));
}

void DebrisFlow::on_pushButton_8_clicked() {
    if (ui->lineEdit_12->text().isEmpty()) {
        warn("请先加dem数据");
        return;
    }
    chooseInto(1, ui->lineEdit_13);
}

void DebrisFlow::on_pushButton_7_clicked() {
    const QString path = QFileDialog::getOpenFileName(this, "", "", "");
    if (path.isEmpty()) {
        warn("请选择正确文件");
        return;
    }
    sceneFile = localPath(path);
    ui->lineEdit_14->setText(path);
    emit sendScenePath(sceneFile);
}

void DebrisFlow::on_pushButton_4_clicked() {
    for (QLineEdit* box : {ui->lineEdit, ui->lineEdit_2, ui->lineEdit_12, ui->lineEdit_13, ui->lineEdit_14}) {
        box->clear();
    }
    debrisValues.clear();
    urlList.clear();
}

void DebrisFlow::on_pushButton_5_clicked() {
    if (ui->lineEdit_12->text().isEmpty() || ui->lineEdit_13->text().isEmpty()) {
        warn("未填写文件");
        return;
    }
    // Text that is not a number is sent as 0; the run refuses what it cannot use and says why.
    DebrisRunSettings settings;
    settings.totalVolume = ui->lineEdit->text().toDouble();
    settings.outletDepth = ui->lineEdit_2->text().toDouble();
    settings.packetVolume = ui->lineEdit_3->text().toDouble();
    settings.timeStep = ui->comboBox->currentText().toDouble();
    settings.colourLow = ui->lineEdit_4->text().toInt(nullptr, 10);
    settings.colourHigh = ui->lineEdit_5->text().toInt(nullptr, 10);
    debrisValues = settings.parameters();
    if (ui->lineEdit->text().isEmpty() || ui->lineEdit_2->text().isEmpty() ||
        ui->comboBox->currentText().isEmpty()) {
        warn("Please input parameters");
        return;
    }
    // The boxes are what the user sees (and may have typed); the run gets exactly those files.
    urlList = {localPath(ui->lineEdit_12->text()), localPath(ui->lineEdit_13->text())};
    close();
    emit sendURL(urlList);
    emit senddebrisValudes(settings);
}

void DebrisFlow::on_pushButton_6_clicked() {
    close();
    emit sendStart(2);
}
