#include "floodform.h"

#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <iostream>

#include "depthramp.h"
#include "gridreader.h"
#include "legendbar.h"
#include "ui_floodform.h"

namespace {

void warn(const QString& text) {
    QMessageBox::information(nullptr, "Warning", text, QMessageBox::Ok);
}

std::string localPath(const QString& path) {
    return path.toLocal8Bit().toStdString();
}

// "HNW.txt" holds one number; anything longer is not such a file.
constexpr qint64 presetFileLimitBytes = 1024;

}  // namespace

FloodForm::FloodForm(QWidget* parent) : QWidget(parent), ui(new Ui::FloodForm) {
    ui->setupUi(this);
    // Numbers in the C format, as the scene files and the batch command write them.
    for (QDoubleSpinBox* box : {ui->doubleSpinBox, ui->doubleSpinBox_2, ui->doubleSpinBox_3, ui->doubleSpinBox_4}) {
        box->setLocale(QLocale::c());
    }
    // The note says where a preset width came from until the user sets one.
    connect(ui->doubleSpinBox, qOverload<double>(&QDoubleSpinBox::valueChanged), this, [this] {
        if (!presettingWidth) {
            ui->label_12->clear();
            ui->label_12->setToolTip(QString());
        }
    });
}

FloodForm::~FloodForm() = default;

osg::Vec4 FloodForm::depthColour(float depth, float range) const {
    return floodDepthColour(depth, range, shallowColour, deepColour);
}

osg::ref_ptr<osg::Projection> FloodForm::makeDepthLegend(int low, int high) const {
    return LegendBarBuilder().buildLegendBar(shallowColour, deepColour, low, high);
}

QString FloodForm::chooseInto(std::size_t slot, QLineEdit* box, bool optional, const QString& filter) {
    const QString path = QFileDialog::getOpenFileName(this, "", "", filter);
    if (path.isEmpty()) {
        if (!optional) {
            warn("请选择正确文件");
        }
        return path;
    }
    // Entries stay at their slot whatever the order of choosing, so a monitor-point file chosen first
    // does not take the place of the roughness grid.
    if (urlList.size() <= slot) {
        urlList.resize(slot + 1);
    }
    urlList[slot] = localPath(path);
    box->setText(path);
    return path;
}

void FloodForm::presetWidthFrom(const QString& outbreakPath) {
    const QString presetPath = QFileInfo(outbreakPath).dir().filePath("HNW.txt");
    QFile preset(presetPath);
    if (!preset.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return;
    }
    bool isNumber = false;
    double width = 0;
    if (preset.size() <= presetFileLimitBytes) {
        width = QString::fromLocal8Bit(preset.readAll()).trimmed().toDouble(&isNumber);
    }
    if (!isNumber || width < ui->doubleSpinBox->minimum() || width > ui->doubleSpinBox->maximum()) {
        std::cout << "HNW.txt ignored, not an outbreak width from " << ui->doubleSpinBox->minimum() << " to "
                  << ui->doubleSpinBox->maximum() << ": " << localPath(presetPath) << std::endl;
        return;
    }
    presettingWidth = true;
    ui->doubleSpinBox->setValue(width);
    presettingWidth = false;
    ui->label_12->setText(QString("Outbreak Width set to %1 m from HNW.txt beside the outbreak file").arg(width));
    ui->label_12->setToolTip(presetPath);
}

QString FloodForm::readValues(FloodFormValues& values) const {
    if (ui->lineEdit->text().isEmpty() || ui->doubleSpinBox->text().isEmpty() ||
        ui->doubleSpinBox_2->text().isEmpty() || ui->comboBox->currentText().isEmpty()) {
        return "Please input parameters";
    }
    // A capacity or colour bound that does not read as a number would reach the run as 0.
    bool capacityIsNumber = false;
    const double capacity = ui->lineEdit->text().toDouble(&capacityIsNumber);
    if (!capacityIsNumber || !(capacity > 0)) {
        return "Reservoir Capacity(m^3): please enter a number greater than 0.";
    }
    bool lowIsInteger = false;
    bool highIsInteger = false;
    values.colourLow = ui->lineEdit_2->text().toInt(&lowIsInteger, 10);
    values.colourHigh = ui->lineEdit_3->text().toInt(&highIsInteger, 10);
    if (!lowIsInteger || !highIsInteger) {
        return "Range of colour corresponding to depth: please enter two whole numbers.";
    }
    // A reversed or empty range would extrapolate the depth colours past both ends of the legend.
    if (values.colourLow >= values.colourHigh) {
        return "Range of colour corresponding to depth: the first number must be less than the second.";
    }
    values.breach.capacity = static_cast<float>(capacity);
    values.breach.width = static_cast<float>(ui->doubleSpinBox->value());
    values.breach.height = static_cast<float>(ui->doubleSpinBox_2->value());
    values.breach.mode = ui->comboBox->currentText().toStdString();
    values.runHours = ui->doubleSpinBox_3->value();
    values.resultEverySeconds = ui->doubleSpinBox_4->value();
    values.resultFormat = resultFormat;
    values.placesFile = localPath(ui->lineEdit_9->text());
    return QString();
}

void FloodForm::on_pushButton_3_clicked() {
    // The engine needs all three grids and files; the monitor points are optional.
    if (ui->lineEdit_4->text().isEmpty() || ui->lineEdit_5->text().isEmpty() ||
        ui->lineEdit_6->text().isEmpty()) {
        warn("未填写文件");
        return;
    }
    resultFormat = ui->comboBox_2->currentText().toStdString();
    FloodFormValues values;
    if (const QString problem = readValues(values); !problem.isEmpty()) {
        warn(problem);
        return;
    }

    // The boxes are what the user sees (and may have typed); the run gets exactly those files, in order.
    urlList = {localPath(ui->lineEdit_4->text()), localPath(ui->lineEdit_5->text()),
               localPath(ui->lineEdit_6->text())};
    if (!ui->lineEdit_8->text().isEmpty()) {
        urlList.push_back(localPath(ui->lineEdit_8->text()));
    }

    close();
    emit sendURL(urlList);
    emit sendfloodValues(values);
    emit transmitSignals(true);
}

void FloodForm::on_pushButton_4_clicked() {
    close();
    emit sendStart(1);
}

void FloodForm::on_pushButton_5_clicked() {
    const QString path = QFileDialog::getOpenFileName(this, "", "", "");
    if (path.isEmpty()) {
        warn("请选择正确文件");
        return;
    }
    emit sendScenePath(localPath(path));
    ui->lineEdit_7->setText(path);
}

void FloodForm::on_pushButton_6_clicked() {
    chooseInto(0, ui->lineEdit_4, false, QString::fromUtf8(rasterFileFilter));
}

void FloodForm::on_pushButton_7_clicked() {
    if (ui->lineEdit_4->text().isEmpty()) {
        warn("请先加载糙率文件");
        return;
    }
    chooseInto(1, ui->lineEdit_5, false, QString::fromUtf8(rasterFileFilter));
}

void FloodForm::on_pushButton_8_clicked() {
    if (ui->lineEdit_5->text().isEmpty()) {
        warn("请先加载dem文件");
        return;
    }
    const QString path = chooseInto(2, ui->lineEdit_6, false);
    // Without a chosen file there is no folder to look in (the bare "/HNW.txt" is not the user's).
    if (!path.isEmpty()) {
        presetWidthFrom(path);
    }
}

void FloodForm::on_pushButton_9_clicked() {
    chooseInto(3, ui->lineEdit_8, true);
}

void FloodForm::on_pushButton_10_clicked() {
    // Not an input of the engine, so not an entry of urlList.
    const QString path = QFileDialog::getOpenFileName(this, "", "", "");
    if (!path.isEmpty()) {
        ui->lineEdit_9->setText(path);
    }
}

void FloodForm::on_pushButton_2_clicked() {
    for (QLineEdit* box : {ui->lineEdit, ui->lineEdit_4, ui->lineEdit_5, ui->lineEdit_6, ui->lineEdit_7,
                           ui->lineEdit_8, ui->lineEdit_9}) {
        box->clear();
    }
    urlList.clear();
}
