#include "datagrinddialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "terraincolours.h"

namespace {

// What the file dialogs offer: the formats a DEM, an image or a land cover usually come in; GDAL reads
// many more, under "all files".
const char* const rasterFilter =
    "栅格 (*.tif *.tiff *.asc *.img *.dem *.hgt *.bil *.vrt *.png *.jpg);;所有文件 (*)";

QDoubleSpinBox* spinBox(double low, double high, double value, int decimals, double step) {
    auto* box = new QDoubleSpinBox;
    box->setRange(low, high);
    box->setDecimals(decimals);
    box->setSingleStep(step);
    box->setValue(value);
    return box;
}

QWidget* withButton(QLineEdit* field, QPushButton* button) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(field, 1);
    layout->addWidget(button);
    return row;
}

}  // namespace

DemPreview::DemPreview(QWidget* parent) : QLabel(parent) {
    setMinimumSize(360, 300);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setText("预览：选择 DEM 后点击“预览”；单击设坝点，Shift+单击设坝线的另一端");
    setWordWrap(true);
}

void DemPreview::showDem(std::shared_ptr<const DemGrid> shown) {
    dem = std::move(shown);
    damPoints.clear();
    if (!dem) {
        relief = QImage();
        redraw();
        return;
    }
    const TerrainColours colours = reliefColours(*dem);
    QImage image(colours.width, colours.height, QImage::Format_RGB888);
    for (int row = 0; row < colours.height; ++row) {
        std::copy_n(&colours.rgb[static_cast<std::size_t>(row) * colours.width * 3], colours.width * 3,
                    image.scanLine(row));
    }
    scale = std::min(static_cast<double>(width()) / colours.width,
                     static_cast<double>(height()) / colours.height);
    relief = image.scaled(std::max(1, static_cast<int>(colours.width * scale)),
                          std::max(1, static_cast<int>(colours.height * scale)), Qt::IgnoreAspectRatio,
                          Qt::SmoothTransformation);
    redraw();
}

QPoint DemPreview::pixelOf(double x, double y) const {
    if (!dem) {
        return {};
    }
    return QPoint(static_cast<int>((x - dem->west()) / dem->cellSize() * scale),
                  static_cast<int>((dem->north() - y) / dem->cellSize() * scale));
}

void DemPreview::markDam(const std::vector<std::pair<double, double>>& gridPoints) {
    damPoints = gridPoints;
    redraw();
}

void DemPreview::redraw() {
    if (relief.isNull()) {
        setPixmap(QPixmap());
        return;
    }
    QImage shown = relief;
    QPainter painter(&shown);
    painter.setPen(QPen(Qt::red, 3));
    for (const auto& [x, y] : damPoints) {
        painter.drawEllipse(pixelOf(x, y), 4, 4);
    }
    if (damPoints.size() == 2) {
        painter.drawLine(pixelOf(damPoints[0].first, damPoints[0].second),
                         pixelOf(damPoints[1].first, damPoints[1].second));
    }
    painter.end();
    setPixmap(QPixmap::fromImage(shown));
}

void DemPreview::mousePressEvent(QMouseEvent* event) {
    if (!dem || relief.isNull() || event->x() >= relief.width() || event->y() >= relief.height()) {
        return;
    }
    const double x = dem->west() + (event->x() + 0.5) / scale * dem->cellSize();
    const double y = dem->north() - (event->y() + 0.5) / scale * dem->cellSize();
    emit picked(x, y, (event->modifiers() & Qt::ShiftModifier) != 0);
}

DatagrindDialog::DatagrindDialog(QString sceneList, QWidget* parent)
    : QDialog(parent), sceneList(std::move(sceneList)) {
    setWindowTitle("Datagrind 数据处理工具");
    auto* form = new QFormLayout;

    demField = new QLineEdit;
    demField->setObjectName("demField");
    auto* demButton = new QPushButton("选择...");
    connect(demButton, &QPushButton::clicked, this, [this] { chooseFile(demField, rasterFilter); });
    form->addRow("DEM：", withButton(demField, demButton));
    demSystemField = new QLineEdit;
    demSystemField->setObjectName("demSystemField");
    demSystemField->setPlaceholderText("仅当 DEM 无坐标系时填写，如 EPSG:4326");
    form->addRow("DEM 坐标系：", demSystemField);
    cellSizeBox = spinBox(0, 100000, 0, 2, 1);
    cellSizeBox->setObjectName("cellSizeBox");
    cellSizeBox->setSpecialValueText("自动");
    form->addRow("网格大小(米)：", cellSizeBox);

    imageField = new QLineEdit;
    imageField->setObjectName("imageField");
    imageField->setPlaceholderText("可选：RGB 影像；不填则按高程着色并晕渲");
    auto* imageButton = new QPushButton("选择...");
    connect(imageButton, &QPushButton::clicked, this, [this] { chooseFile(imageField, rasterFilter); });
    form->addRow("影像：", withButton(imageField, imageButton));

    oneRoughness = new QRadioButton("统一糙率 n：");
    oneRoughness->setObjectName("oneRoughness");
    oneRoughness->setChecked(true);
    auto* byCover = new QRadioButton("土地覆盖：");
    byCover->setObjectName("byLandCover");
    manningBox = spinBox(0, 1, 0.035, 3, 0.005);
    manningBox->setObjectName("manningBox");
    form->addRow(oneRoughness, manningBox);
    landCoverField = new QLineEdit;
    landCoverField->setObjectName("landCoverField");
    auto* coverButton = new QPushButton("选择...");
    connect(coverButton, &QPushButton::clicked, this, [this] { chooseFile(landCoverField, rasterFilter); });
    form->addRow(byCover, withButton(landCoverField, coverButton));
    tableField = new QLineEdit;
    tableField->setObjectName("tableField");
    tableField->setPlaceholderText("每行“类别 n”，“* n”为其余类别");
    auto* tableButton = new QPushButton("选择...");
    connect(tableButton, &QPushButton::clicked, this,
            [this] { chooseFile(tableField, "文本 (*.txt *.csv);;所有文件 (*)"); });
    form->addRow("糙率表：", withButton(tableField, tableButton));

    auto* damRow = new QWidget;
    auto* damLayout = new QHBoxLayout(damRow);
    damLayout->setContentsMargins(0, 0, 0, 0);
    const char* damNames[4] = {"damX1", "damY1", "damX2", "damY2"};
    const char* damHints[4] = {"X", "Y", "X2（坝线）", "Y2（坝线）"};
    for (int i = 0; i < 4; ++i) {
        damFields[i] = new QLineEdit;
        damFields[i]->setObjectName(damNames[i]);
        damFields[i]->setPlaceholderText(damHints[i]);
        damLayout->addWidget(damFields[i]);
    }
    form->addRow("坝址(DEM 坐标)：", damRow);
    capacityBox = spinBox(0, 1e15, 100000000, 0, 1000000);
    capacityBox->setObjectName("capacityBox");
    form->addRow("库容(立方米)：", capacityBox);
    // The ranges of the flood form's spin boxes.
    widthBox = spinBox(0, 200, 133, 2, 0.5);
    widthBox->setObjectName("widthBox");
    form->addRow("溃口宽度(米)：", widthBox);
    heightBox = spinBox(0, 99.99, 47.5, 2, 0.5);
    heightBox->setObjectName("heightBox");
    form->addRow("溃口高度(米)：", heightBox);
    nameField = new QLineEdit;
    nameField->setObjectName("nameField");
    form->addRow("案例名称：", nameField);
    folderField = new QLineEdit;
    folderField->setObjectName("folderField");
    auto* folderButton = new QPushButton("选择...");
    connect(folderButton, &QPushButton::clicked, this, [this] {
        const QString folder = QFileDialog::getExistingDirectory(this, "案例文件夹", folderField->text());
        if (!folder.isEmpty()) {
            folderField->setText(folder);
        }
    });
    form->addRow("案例文件夹：", withButton(folderField, folderButton));
    addToSceneList = new QCheckBox("加入场景列表 " + this->sceneList);
    addToSceneList->setObjectName("addToSceneList");
    addToSceneList->setChecked(true);
    form->addRow("", addToSceneList);

    preview = new DemPreview;
    preview->setObjectName("preview");
    connect(preview, &DemPreview::picked, this, &DatagrindDialog::takePick);
    auto* previewButton = new QPushButton("预览");
    previewButton->setObjectName("previewButton");
    connect(previewButton, &QPushButton::clicked, this, &DatagrindDialog::previewDem);
    auto* makeButton = new QPushButton("生成案例");
    makeButton->setObjectName("makeButton");
    connect(makeButton, &QPushButton::clicked, this, &DatagrindDialog::makeCase);
    status = new QLabel;
    status->setObjectName("status");
    status->setWordWrap(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(previewButton);
    buttons->addStretch();
    buttons->addWidget(makeButton);
    auto* left = new QVBoxLayout;
    left->addLayout(form);
    left->addLayout(buttons);
    left->addWidget(status);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 3);
    layout->addWidget(preview, 2);
}

void DatagrindDialog::chooseFile(QLineEdit* field, const QString& filter) {
    const QString path = QFileDialog::getOpenFileName(this, QString(), field->text(), filter);
    if (!path.isEmpty()) {
        field->setText(path);
    }
}

bool DatagrindDialog::settings(CaseStudySettings& settings, QString& problem) const {
    settings = CaseStudySettings();
    settings.demPath = demField->text().trimmed().toStdString();
    settings.dem.coordinateSystem = demSystemField->text().trimmed().toStdString();
    settings.dem.cellSize = cellSizeBox->value();
    settings.imagePath = imageField->text().trimmed().toStdString();
    settings.manning = manningBox->value();
    if (!oneRoughness->isChecked()) {
        settings.landCoverPath = landCoverField->text().trimmed().toStdString();
        settings.roughnessTablePath = tableField->text().trimmed().toStdString();
        if (settings.landCoverPath.empty() || settings.roughnessTablePath.empty()) {
            problem = "请选择土地覆盖栅格和糙率表";
            return false;
        }
    }
    double values[4] = {};
    bool given[4] = {};
    for (int i = 0; i < 4; ++i) {
        const QString text = damFields[i]->text().trimmed();
        given[i] = !text.isEmpty();
        bool isNumber = false;
        values[i] = text.toDouble(&isNumber);
        if (given[i] && !isNumber) {
            problem = "坝址坐标“" + text + "”不是数字";
            return false;
        }
    }
    if (!given[0] || !given[1] || given[2] != given[3]) {
        problem = "请给出坝址：一个点 (X, Y)，或坝线两端 (X, Y, X2, Y2)";
        return false;
    }
    settings.damPoints.emplace_back(values[0], values[1]);
    if (given[2]) {
        settings.damPoints.emplace_back(values[2], values[3]);
    }
    settings.capacity = capacityBox->value();
    settings.breachWidth = widthBox->value();
    settings.breachHeight = heightBox->value();
    settings.name = nameField->text().trimmed().toStdString();
    settings.folder = folderField->text().trimmed().toStdString();
    if (addToSceneList->isChecked()) {
        settings.sceneList = sceneList.toStdString();
    }
    return true;
}

void DatagrindDialog::previewDem() {
    DemOptions options;
    options.coordinateSystem = demSystemField->text().trimmed().toStdString();
    options.cellSize = cellSizeBox->value();
    auto dem = std::make_shared<DemGrid>();
    std::string problem;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool loaded = loadDem(demField->text().trimmed().toStdString(), options, *dem, problem);
    QApplication::restoreOverrideCursor();
    if (!loaded) {
        QMessageBox::information(nullptr, "Warning", QString::fromStdString(problem));
        return;
    }
    previewed = dem;
    preview->showDem(previewed);
    status->setText(QString("网格 %1 x %2，%3 米").arg(dem->columns()).arg(dem->rows()).arg(dem->cellSize()));
}

void DatagrindDialog::takePick(double gridX, double gridY, bool lineEnd) {
    if (!previewed) {
        return;
    }
    double x = gridX;
    double y = gridY;
    gridToDemCoordinates(*previewed, x, y);
    // Degrees need more decimals than metres.
    const int decimals = std::fabs(x) <= 360 && std::fabs(y) <= 90 ? 6 : 2;
    const int first = lineEnd ? 2 : 0;
    damFields[first]->setText(QString::number(x, 'f', decimals));
    damFields[first + 1]->setText(QString::number(y, 'f', decimals));
    if (!lineEnd) {
        damFields[2]->clear();
        damFields[3]->clear();
    }
    std::vector<std::pair<double, double>> marked;
    for (int i = 0; i < 4; i += 2) {
        if (!damFields[i]->text().isEmpty()) {
            double px = damFields[i]->text().toDouble();
            double py = damFields[i + 1]->text().toDouble();
            demToGridCoordinates(*previewed, px, py);
            marked.emplace_back(px, py);
        }
    }
    preview->markDam(marked);
}

void DatagrindDialog::makeCase() {
    CaseStudySettings caseSettings;
    QString fieldProblem;
    if (!settings(caseSettings, fieldProblem)) {
        QMessageBox::information(nullptr, "Warning", fieldProblem);
        return;
    }
    CaseStudyReport report;
    std::string problem;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool made = prepareCaseStudy(caseSettings, report, problem, [this](const std::string& step) {
        status->setText(QString::fromStdString(step) + " ...");
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    QApplication::restoreOverrideCursor();
    if (!made) {
        status->clear();
        QMessageBox::information(nullptr, "Warning", QString::fromStdString(problem));
        return;
    }
    const QString summary =
        QString("案例“%1”已生成：%2\n网格 %3 x %4，%5 米（%6）；地形 %7 层 %8 块；溃口 %9 个单元。\n")
            .arg(QString::fromStdString(caseSettings.name),
                 QString::fromStdString(report.model).section('/', 0, -3))
            .arg(report.columns)
            .arg(report.rows)
            .arg(report.cellSize)
            .arg(QString::fromStdString(report.coordinateSystem))
            .arg(report.terrain.levels)
            .arg(report.terrain.tiles)
            .arg(report.outbreakCells) +
        (caseSettings.sceneList.empty() ? QString() : "在主程序的场景列表中双击它即可打开。\n") +
        "洪水的输入在 Disaster_Data 中；不开窗口计算：\n" + QString::fromStdString(report.batchCommand);
    status->setText(summary);
    QMessageBox::information(nullptr, "说明", summary);
}
