#pragma once

#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <list>
#include <string>

#include "scenelist.h"
#include "testfiles.h"

// A scene data folder for one test: a temporary folder bound to a scene name in a catalog of its own,
// which makes it the current scene.
class BoundScene {
public:
    explicit BoundScene(const QString& name = "测试场景") {
        EXPECT_TRUE(dir.isValid());
        scenes.scenes = {{name, dir.path(), "1"}};
        scenes.currentScene = name;
    }
    BoundScene(const BoundScene&) = delete;
    BoundScene& operator=(const BoundScene&) = delete;

    QString folder() const { return dir.path(); }
    SceneCatalog& catalog() { return scenes; }
    std::string path(const QString& relative) const { return (dir.path() + "/" + relative).toStdString(); }

    // Writes a file below the folder, creating its subfolders.
    void write(const QString& relative, const QByteArray& content) const {
        writeTextFile(path(relative), content.toStdString());
    }

private:
    QTemporaryDir dir;
    SceneCatalog scenes;
};
