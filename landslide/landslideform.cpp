#include "landslideform.h"

#include <QFileDialog>
#include <QMessageBox>

#include "gridreader.h"
#include "ui_landslideform.h"

namespace {

void warn(const QString& text) {
    QMessageBox::information(nullptr, "Warning", text, QMessageBox::Ok);
}

std::string localPath(const QString& path) {
    return path.toLocal8Bit().toStdString();
}

// The seven inputs in list order: their field's position and the warning when the one before is empty.
// The grids are offered with the raster filter; the image and the centreline with none.
struct InputField {
    int position;
    const char* predecessorMissing;
    bool raster;
};
constexpr InputField inputFields[] = {
    {0, nullptr, true},
    {1, "请先选择堆积体", true},
    {2, "请先选择滑坡道", true},
    {3, "请先选择滑坡体", false},
    {4, "请先选择灾后影像", false},
    {5, "请先选择中心线", true},
    {7, "请先选择镶嵌后的dem", true},
};
constexpr std::size_t inputCount = sizeof inputFields / sizeof inputFields[0];
constexpr int scenePosition = 6;

}  // namespace

LandslideForm::LandslideForm(QWidget* parent) : QWidget(parent), ui(new Ui_LandslideForm) {
    ui->setupUi(this);
    ui->comboBox->addItem(".ive");
    ui->comboBox->addItem(".3ds");
    ui->comboBox->addItem(".tif");
    QLineEdit* const fields[] = {ui->lineEdit,   ui->lineEdit_2, ui->lineEdit_3, ui->lineEdit_4,
                                 ui->lineEdit_5, ui->lineEdit_6, ui->lineEdit_7, ui->lineEdit_8};
    std::copy(std::begin(fields), std::end(fields), lineEdits);
}

LandslideForm::~LandslideForm() = default;

void LandslideForm::loadInput(std::size_t index) {
    const InputField& input = inputFields[index];
    if (index > 0 && lineEdits[inputFields[index - 1].position]->text().isEmpty()) {
        warn(input.predecessorMissing);
        return;
    }
    const QString filter = input.raster ? QString::fromUtf8(rasterFileFilter) : QString();
    const QString path = QFileDialog::getOpenFileName(this, "", "", filter);
    if (path.isEmpty()) {
        warn("请选择正确文件");
        return;
    }
    // Each input stays at its own index, also when a field before it was typed by hand and never
    // entered the list.
    if (urlList.size() <= index) {
        urlList.resize(index + 1);
    }
    urlList[index] = localPath(path);
    lineEdits[input.position]->setText(path);
}

void LandslideForm::on_pushButton_clicked() {
    for (const InputField& input : inputFields) {
        if (lineEdits[input.position]->text().isEmpty()) {
            warn("未填写文件");
            return;
        }
    }
    // The fields are what the user sees, typed or chosen; the format goes at index 7 each time, so that
    // a run after a change of format writes the format now chosen.
    urlList.resize(inputCount);
    for (std::size_t index = 0; index < inputCount; ++index) {
        urlList[index] = localPath(lineEdits[inputFields[index].position]->text());
    }
    urlList.push_back(ui->comboBox->currentText().toStdString());
    LandslideRunRequest request;
    LandslideInputs& inputs = request.inputs;
    // In the order of the fields.
    std::string* const targets[inputCount] = {&inputs.deposit, &inputs.path,   &inputs.body,   &inputs.image,
                                              &inputs.centreline, &inputs.mosaic, &inputs.postDem};
    for (std::size_t index = 0; index < inputCount; ++index) {
        *targets[index] = urlList[index];
    }
    request.format = urlList.back();
    close();
    emit sendURL(urlList);
    emit sendLandSlide(request);
}

void LandslideForm::on_pushButton_2_clicked() {
    close();
    emit sendStart(3);
}

void LandslideForm::on_pushButton_3_clicked() {
    loadInput(0);
}

void LandslideForm::on_pushButton_4_clicked() {
    loadInput(1);
}

void LandslideForm::on_pushButton_5_clicked() {
    loadInput(2);
}

void LandslideForm::on_pushButton_9_clicked() {
    const QString path = QFileDialog::getOpenFileName(this, "", "", "");
    if (path.isEmpty()) {
        warn("请选择正确文件");
        return;
    }
    lineEdits[scenePosition]->setText(path);
    emit sendScenePath(localPath(path));
}

void LandslideForm::on_pushButton_6_clicked() {
    loadInput(3);
}

void LandslideForm::on_pushButton_7_clicked() {
    loadInput(4);
}

void LandslideForm::on_pushButton_8_clicked() {
    loadInput(5);
}

void LandslideForm::on_pushButton_10_clicked() {
    urlList.clear();
    for (QLineEdit* field : lineEdits) {
        field->setText("");
    }
}

void LandslideForm::on_pushButton_11_clicked() {
    loadInput(6);
}
