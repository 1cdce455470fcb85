#pragma once

#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <list>
#include <string>

#include "scenelist.h"
#include "testfiles.h"

// A scene data folder for one test: a temporary folder bound to a scene name that is made the current
// scene. The scene list and the current name of the process are put back afterwards.
class BoundScene {
public:
    explicit BoundScene(const QString& name = "测试场景")
        : savedScenes(boundScenes), savedName(currentSceneName) {
        EXPECT_TRUE(dir.isValid());
        boundScenes = {{name, dir.path(), "1"}};
        currentSceneName = name;
    }
    ~BoundScene() {
        boundScenes = savedScenes;
        currentSceneName = savedName;
    }
    BoundScene(const BoundScene&) = delete;
    BoundScene& operator=(const BoundScene&) = delete;

    QString folder() const { return dir.path(); }
    std::string path(const QString& relative) const { return (dir.path() + "/" + relative).toStdString(); }

    // Writes a file below the folder, creating its subfolders.
    void write(const QString& relative, const QByteArray& content) const {
        writeTextFile(path(relative), content.toStdString());
    }

private:
    QTemporaryDir dir;
    std::list<FileManage> savedScenes;
    QString savedName;
};
