#pragma once

#include <QWidget>
#include <memory>
#include <osg/Projection>
#include <osg/Vec4>
#include <osg/ref_ptr>
#include <string>
#include <vector>

#include "debrisrun.h"
#include "debrissurface.h"
#include "terrainheights.h"

class QLineEdit;

namespace Ui {
class DebrisFlow;
}

// The debris-flow parameter window: total volume, outlet depth, packet volume, time step and depth colour
// range, the terrain grid, the breach file and the scene model. It reports to the main window only
// through its signals and is reused for every run, keeping its values between showings. It also owns the
// two end colours of the debris surface and builds their legend.
class DebrisFlow : public QWidget {
    Q_OBJECT

public:
    explicit DebrisFlow(QWidget* parent = nullptr);
    ~DebrisFlow() override;

    // Colour of a debris depth (m) over a colour range `span` metres wide, painted with this form's
    // colours (see debrisDepthColour).
    osg::Vec4 depthColour(float depth, float span) const;
    // The legend of the depth colours from `lower` to `upper` metres, to add to the scene.
    osg::ref_ptr<osg::Projection> legendBar(int lower, int upper) const;
    // The heights of a terrain grid, one row per grid row (see readTerrainHeights).
    TerrainHeights readHeights(const std::string& path) const;

    // The fifteen run parameters of the last "开始计算", in the order the run takes them (as sent, see
    // DebrisRunSettings::parameters).
    std::vector<double> debrisValues;
    // Terrain grid, then breach file.
    std::vector<std::string> urlList;
    std::string sceneFile;
    osg::Vec4 shallowColour = debrisShallowColour;
    osg::Vec4 deepColour = debrisDeepColour;

signals:
    void senddebrisValudes(DebrisRunSettings values);
    void sendStart(int flag);
    void sendURL(std::vector<std::string> UrlStr);
    void sendScenePath(std::string sceneUrl);

private slots:
    void on_pushButton_5_clicked();  // 开始计算
    void on_pushButton_6_clicked();  // 开始演进
    void on_pushButton_clicked();    // 加载灾后DEM数据
    void on_pushButton_7_clicked();  // 加载场景模型
    void on_pushButton_4_clicked();  // 清空设置
    void on_pushButton_8_clicked();  // 加载溃口信息文件

private:
    // Asks for a file for entry `slot` of urlList and shows it in `box`; warns when cancelled.
    void chooseInto(std::size_t slot, QLineEdit* box, const QString& filter = QString());

    std::unique_ptr<Ui::DebrisFlow> ui;
};
