#pragma once

#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "landslideinputs.h"

class QLineEdit;
class Ui_LandslideForm;

// The landslide input window: the seven input rasters in order, the scene model and the output format,
// and the two start buttons. It holds no simulation of its own: it hands its file list and commands to
// the main window through its signals, and keeps its fields between showings.
class LandslideForm : public QWidget {
    Q_OBJECT

public:
    explicit LandslideForm(QWidget* parent = nullptr);
    ~LandslideForm() override;

    // The chosen inputs at the indices of the run (deposit, slide path, slide body, post-disaster image,
    // centreline, mosaicked DEM, post-disaster DEM), then the output format once "开始计算" was pressed.
    std::vector<std::string> urlList;

signals:
    // "开始计算": the run's inputs and output format, sent after the file list.
    void sendLandSlide(LandslideRunRequest request);
    void sendStart(int flag);
    void sendURL(std::vector<std::string> UrlStr);
    void sendScenePath(std::string sceneUrl);

private slots:
    void on_pushButton_clicked();     // 开始计算
    void on_pushButton_2_clicked();   // 开始演进
    void on_pushButton_3_clicked();   // 加载堆积体
    void on_pushButton_4_clicked();   // 加载滑坡道
    void on_pushButton_5_clicked();   // 加载滑坡体
    void on_pushButton_9_clicked();   // 加载场景模型
    void on_pushButton_6_clicked();   // 加载灾后影像
    void on_pushButton_7_clicked();   // 加载中心线
    void on_pushButton_8_clicked();   // 加载镶嵌后dem
    void on_pushButton_10_clicked();  // 清空选择
    void on_pushButton_11_clicked();  // 加载灾后dem

private:
    // Asks for the input at list index `index` once its predecessor is chosen, and keeps it at that index.
    void loadInput(std::size_t index);

    std::unique_ptr<Ui_LandslideForm> ui;
    // The eight path fields in position order, lineEdit to lineEdit_8 (lineEdit_7 is the scene model).
    QLineEdit* lineEdits[8] = {};
};
