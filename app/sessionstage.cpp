#include "sessionstage.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QStandardItemModel>
#include <iostream>
#include <osg/ComputeBoundsVisitor>

#include "evolutioncontroller.h"
#include "modelfile.h"
#include "resultfiles.h"
#include "summaryfiles.h"
#include "terrainmanipulator.h"
#include "viewerqt.h"

SessionStage::SessionStage(osg::Group& root, ViewerQT& viewer, EvolutionController& evolution,
                           const PresentationPace& pace, MonitorDock& monitorDock, QStandardItemModel& sceneTree)
    : root(root), viewer(viewer), evolution(evolution), pace(pace), monitorDock(monitorDock), sceneTree(sceneTree) {}

void SessionStage::addRunNode(osg::Node* node) {
    root.addChild(node);
    runNodes.push_back(node);
}

void SessionStage::removeRunNodes() {
    for (const osg::ref_ptr<osg::Node>& node : runNodes) {
        root.removeChild(node.get());
    }
    runNodes.clear();
}

void SessionStage::keepOnlyTerrain() {
    if (root.getNumChildren() > 1) {
        root.removeChildren(1, root.getNumChildren() - 1);
    }
}

bool SessionStage::finishResultFiles() {
    std::string failedFile;
    if (resultWriter.finish(failedFile)) {
        return true;
    }
    reportUnwrittenFile(failedFile);
    return false;
}

void SessionStage::reportReplayProblem(const std::string& problem) {
    if (problem.empty() || replayProblemTold || filming) {
        return;
    }
    replayProblemTold = true;
    // A tick of the replay would otherwise run again under the message, in the middle of this one.
    const bool held = evolution.hold();
    QMessageBox::information(nullptr, QObject::tr("Warning"),
                             QObject::tr("回放文件无法正确读取，该帧的时间和图例可能不对：%1").arg(localText(problem)),
                             QMessageBox::Ok);
    if (held) {
        evolution.resume();
    }
}

void SessionStage::enableSceneTree() {
    for (int row = 0; row < sceneTree.rowCount(); ++row) {
        sceneTree.item(row, 0)->setEnabled(true);
    }
}

bool SessionStage::liesOnTerrain(osg::Node& node) const {
    if (root.getNumChildren() == 0) {
        return true;
    }
    osg::ComputeBoundsVisitor terrainBounds;
    root.getChild(0)->accept(terrainBounds);
    osg::ComputeBoundsVisitor nodeBounds;
    node.accept(nodeBounds);
    const osg::BoundingBox& terrain = terrainBounds.getBoundingBox();
    const osg::BoundingBox& box = nodeBounds.getBoundingBox();
    if (!terrain.valid() || !box.valid()) {
        return true;
    }
    return box.xMin() <= terrain.xMax() && box.xMax() >= terrain.xMin() && box.yMin() <= terrain.yMax() &&
           box.yMax() >= terrain.yMin();
}

void SessionStage::placeCamera(const osg::Vec3d& eye, const osg::Vec3d& center, const osg::Vec3d& up) {
    viewer.setCameraManipulator(new TerrainManipulator(viewer.getCamera()), true);
    viewer.getCameraManipulator()->setByInverseMatrix(osg::Matrixd::lookAt(eye, center, up));
}

void SessionStage::applyView(const osg::Vec3d& eye, const osg::Vec3d& center, const osg::Vec3d& up) {
    if (osgGA::CameraManipulator* manipulator = viewer.getCameraManipulator()) {
        manipulator->setByInverseMatrix(osg::Matrixd::lookAt(eye, center, up));
    }
}

int resultFrameCount(const QString& folder) {
    return lastResultNumber(QFile::encodeName(folder).toStdString());
}

bool cameraFromValues(const std::vector<std::string>& values, osg::Vec3d& eye, osg::Vec3d& center,
                      osg::Vec3d& up) {
    if (values.size() < 9) {
        return false;
    }
    auto value = [&values](std::size_t index) { return std::atof(values[index].c_str()); };
    eye.set(value(0), value(1), value(2));
    center.set(value(3), value(4), value(5));
    up.set(value(6), value(7), value(8));
    return true;
}

void reportUnwrittenFile(const std::string& failedFile) {
    QMessageBox::information(nullptr, QObject::tr("Warning"),
                             QObject::tr("结果文件无法写入，计算已停止：%1").arg(localText(failedFile)),
                             QMessageBox::Ok);
}

bool chooseRunFolder(QWidget* parent, std::string& folder, std::unique_ptr<ResultFolderLock>& lock) {
    const QString chosen = QFileDialog::getExistingDirectory(parent, QObject::tr("选择计算结果保存文件夹"), "./",
                                                             QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty()) {
        std::cout << "未设置保存路径" << std::endl;
        return false;
    }
    // The bytes every file of the run is written under.
    const std::string bytes = QFile::encodeName(chosen).toStdString();
    const auto refuse = [&lock](const std::string& problem) {
        lock.reset();
        QMessageBox::information(nullptr, QObject::tr("Warning"),
                                 QObject::tr("计算没有开始：%1").arg(localText(problem)), QMessageBox::Ok);
        return false;
    };
    // Two runs into one folder would each report success while one's results replace the other's.
    std::string problem;
    lock = std::make_unique<ResultFolderLock>();
    if (!lock->lock(bytes, problem)) {
        return refuse(problem);
    }
    const std::vector<std::string> results = listResultFiles(bytes);
    if (!results.empty()) {
        const QMessageBox::StandardButton answer = QMessageBox::question(
            parent, QObject::tr("警告"),
            QObject::tr("文件夹 %1 中已有 %2 个计算结果文件，新结果会与其混在一起。\n删除这些结果文件并重新计算吗？")
                .arg(QDir::toNativeSeparators(chosen))
                .arg(results.size()),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes) {
            lock.reset();
            return false;
        }
        if (!removeResultFiles(bytes, problem)) {
            return refuse(problem);
        }
    }
    // An earlier run's monitor record and plots would stand beside the new results, and a replay would
    // plot them.
    if (!removeSummaryFiles(bytes, problem)) {
        return refuse(problem);
    }
    folder = bytes;
    return true;
}

osg::ref_ptr<osg::Node> loadShownModel(const std::string& path, std::string* problem) {
    std::string reason;
    osg::ref_ptr<osg::Node> model = readModelFile(path, reason);
    if (!model) {
        std::cerr << reason << std::endl;
        if (problem) {
            *problem = reason;
        }
    }
    return model;
}
