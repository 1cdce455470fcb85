// Scene files and views: open, add, save the scene with its camera, step through the visited views,
// and show the picked point.
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QStatusBar>
#include <iostream>
#include <osg/Camera>
#include <osgDB/ReadFile>
#include <osgDB/WriteFile>
#include <osgGA/TrackballManipulator>

#include "mainwindow.h"
#include "modelfile.h"
#include "pickhandle.h"
#include "sessionstage.h"
#include "terrainmanipulator.h"
#include "viewerqt.h"
#include "useeventhandler.h"
#include "viewhistory.h"

void MainWindow::setCurrentFile(const QString& path) {
    QFile file(path);
    if (!file.open(QFile::ReadOnly | QFile::Text)) {
        QMessageBox::warning(
            this, tr("Application"),
            tr("Cannot read file %1:\n%2.").arg(QDir::toNativeSeparators(path), file.errorString()));
        return;
    }
    currentFile = path;
    setWindowFilePath(currentFile.isEmpty() ? "untitled.txt" : currentFile);
    statusBar()->showMessage(tr("open"), 2000);
}

void MainWindow::open() {
    const QString fileName = QFileDialog::getOpenFileName(this);
    if (fileName.isEmpty()) {
        return;
    }
    setCurrentFile(fileName);
    statusBar()->showMessage(fileName, 2000);

    models[1] = loadModel(fileName.toLocal8Bit().toStdString());
    if (!models[1]) {
        return;
    }
    // Nothing of a run in the old scene may go on drawing over the new one.
    stopEvolution();
    evolution->mode = EvolutionMode::None;
    root->removeChildren(0, root->getNumChildren());
    models[1]->getOrCreateStateSet()->setMode(GL_LIGHTING,
                                              osg::StateAttribute::OFF | osg::StateAttribute::OVERRIDE);
    root->addChild(models[1].get());

    const QFileInfo info(fileName);
    const QString cameraFile = info.absolutePath() + "/" + info.completeBaseName() + "_cam.osg";
    std::cout << cameraFile.toLocal8Bit().toStdString() << std::endl;
    // Most models have no saved view: its absence needs no word.
    std::string noView;
    osg::ref_ptr<osg::Node> cameraNode = readModelFile(cameraFile.toLocal8Bit().toStdString(), noView);
    if (auto* camera = dynamic_cast<osg::Camera*>(cameraNode.get())) {
        viewer->getCameraManipulator()->setByInverseMatrix(camera->getViewMatrix());
    } else {
        // Without a saved view the old one may show the new model as a speck, or nothing at all.
        viewer->setCameraManipulator(new TerrainManipulator(viewer->getCamera()), true);
    }
}

void MainWindow::addData() {
    const QString fileName = QFileDialog::getOpenFileName(this, tr("文件"), QString(), tr("(*.ive)"));
    if (!fileName.isEmpty()) {
        setCurrentFile(fileName);
    }
    statusBar()->showMessage(fileName, 2000);

    osg::ref_ptr<osg::Node> model = loadModel(fileName.toLocal8Bit().toStdString());
    if (model) {
        root->addChild(model.get());
        // Re-home the view on the enlarged scene.
        viewer->setCameraManipulator(new TerrainManipulator(viewer->getCamera()), true);
    }
}

void MainWindow::save() {
    if (!currentFile.isEmpty()) {
        writeScene(currentFile);
    } else {
        saveAs();
    }
}

void MainWindow::saveAs() {
    // The dialog could only ask about the name typed, which is not a file written: the scene goes to
    // NAME.ive and NAME_cam.osg, and those are what the user is asked about.
    const QString fileName = QFileDialog::getSaveFileName(this, QString(), QString(), QString(), nullptr,
                                                          QFileDialog::DontConfirmOverwrite);
    if (fileName.isEmpty()) {
        return;
    }
    QStringList existing;
    for (const QString& file : {fileName + ".ive", fileName + "_cam.osg"}) {
        if (QFileInfo::exists(file)) {
            existing << QDir::toNativeSeparators(file);
        }
    }
    if (!existing.isEmpty() &&
        QMessageBox::question(this, tr("警告"),
                              tr("这些文件已存在：\n%1\n要替换它们吗？").arg(existing.join("\n")),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) {
        return;
    }
    currentFile = fileName;
    writeScene(fileName);
}

void MainWindow::writeScene(const QString& name) {
    osg::Vec3d eye, center, up;
    viewer->getCamera()->getViewMatrixAsLookAt(eye, center, up, 1.0);
    osg::ref_ptr<osg::Camera> camera = new osg::Camera;
    camera->setViewMatrixAsLookAt(eye, center, up);

    // An opened "valley.ive" is the scene file of the pair named "valley": saving it again must not
    // write "valley.ive.ive" beside it.
    const QString baseName = name.endsWith(".ive", Qt::CaseInsensitive) ? name.chopped(4) : name;
    const std::string base = baseName.toUtf8().toStdString();
    const std::string cameraFile = base + "_cam.osg";
    const std::string sceneFile = base + ".ive";
    std::cout << "campath:" << cameraFile << ",  filepath:" << sceneFile << std::endl;
    // A save that silently did not happen, or left a file cut short, would lose the user's work at the
    // next close; each file replaces its old version only once it is complete.
    std::string problem;
    if (!writeModelFile(*camera, cameraFile, problem) || !writeModelFile(*root, sceneFile, problem)) {
        QMessageBox::warning(this, tr("Application"),
                             tr("Cannot write file: %1").arg(QString::fromStdString(problem)));
    }
}

const PickHandle& MainWindow::pickHandler() const {
    return *picker;
}

const ViewHistory& MainWindow::viewHistory() const {
    return viewRecorder->history;
}

void MainWindow::preView() {
    RecordedView view;
    if (viewRecorder->history.stepBack(view)) {
        stage->applyView(view.eye, view.center, view.up);
    }
}

void MainWindow::nextView() {
    RecordedView view;
    if (viewRecorder->history.stepForward(view)) {
        stage->applyView(view.eye, view.center, view.up);
    }
}

void MainWindow::showCoordinate() {
    if (picker->picked()) {
        coordLabel->setText(coordinateText(*picker->picked()));
    }
}
