#pragma once

#include <QColor>
#include <QDialog>

#include "vectorlayer.h"

class QLabel;

namespace Ui {
class ReadshpDialog;
}

// The dialog that drapes a shapefile over the scene: file, colours and label size, reported through
// `sendGroup`; the layer itself comes from the builder it is.
class ReadshpDialog : public QDialog, public VectorLayerBuilder {
    Q_OBJECT

public:
    explicit ReadshpDialog(QWidget* parent = nullptr);
    ~ReadshpDialog() override;

signals:
    void sendGroup(shapeFormat* format);

private slots:
    void on_pushButton_2_clicked();
    void on_choosefile_clicked();
    void on_pushButton_clicked();
    void on_pushButton_3_clicked();

private:
    // A cancelled colour dialog keeps the colour in force.
    void chooseColor(QColor& color, QLabel* swatch);

    Ui::ReadshpDialog* ui;
};
