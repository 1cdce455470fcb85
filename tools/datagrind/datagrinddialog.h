#pragma once

#include <QDialog>
#include <QImage>
#include <QLabel>
#include <memory>
#include <string>

#include "casestudy.h"

class QCheckBox;
class QDoubleSpinBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The shaded preview of the DEM in the data tool: a click puts the dam point there, a click with Shift
// the other end of a dam line. Reports map coordinates of the prepared grid.
class DemPreview : public QLabel {
    Q_OBJECT
public:
    explicit DemPreview(QWidget* parent = nullptr);
    // Shows the DEM's relief, scaled to fit the label; forgets a previous DEM when `dem` is null.
    void showDem(std::shared_ptr<const DemGrid> dem);
    // The pixel of the shown picture at map point (x, y) of the grid, and back.
    QPoint pixelOf(double x, double y) const;
    void markDam(const std::vector<std::pair<double, double>>& gridPoints);

signals:
    void picked(double gridX, double gridY, bool lineEnd);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void redraw();
    std::shared_ptr<const DemGrid> dem;
    QImage relief;
    double scale = 1.0;  // picture pixels per cell
    std::vector<std::pair<double, double>> damPoints;
};

// Datagrind, the data tool of the "&数据处理工具" menu: a DEM of the user's own valley into a flood case
// study that the scene list opens, through the same library as vantorel-prepare (casestudy.h).
class DatagrindDialog : public QDialog {
    Q_OBJECT
public:
    // `sceneList`: the "TreeMeta.json" a new case is added to (the one beside the program).
    explicit DatagrindDialog(QString sceneList, QWidget* parent = nullptr);

    // The settings the fields give; false, with the field at fault in `problem`, when a number is not one.
    bool settings(CaseStudySettings& settings, QString& problem) const;

public slots:
    // Reads the DEM of the DEM field and shows it in the preview.
    void previewDem();
    // Makes the case; says what was made, or why not, in a message box.
    void makeCase();

private:
    void chooseFile(QLineEdit* field, const QString& filter);
    void takePick(double gridX, double gridY, bool lineEnd);

    QString sceneList;
    QLineEdit* demField;
    QLineEdit* demSystemField;
    QDoubleSpinBox* cellSizeBox;
    QLineEdit* imageField;
    QRadioButton* oneRoughness;
    QDoubleSpinBox* manningBox;
    QLineEdit* landCoverField;
    QLineEdit* tableField;
    QLineEdit* damFields[4];  // x1, y1, x2, y2 in the DEM's coordinate system; x2, y2 empty for a point
    QDoubleSpinBox* capacityBox;
    QDoubleSpinBox* widthBox;
    QDoubleSpinBox* heightBox;
    QLineEdit* nameField;
    QLineEdit* folderField;
    QCheckBox* addToSceneList;
    DemPreview* preview;
    QLabel* status;
    std::shared_ptr<const DemGrid> previewed;
};
