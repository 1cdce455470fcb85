#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <list>

class QStandardItemModel;

// One bound scene: the name shown in the scene tree, its data folder (absolute, no trailing separator)
// and its type ("1" flood, "2" debris flow, "3" landslide).
struct FileManage {
    QString name;
    QString path;
    QString type;
};

// The scene list of the running program and the scene open in it. The window owns it and hands it to
// the scene-file readers, the marks and the binding dialog.
struct SceneCatalog {
    // The scene list, in "TreeMeta.json" order. Filled at start-up, changed by the binding dialog.
    std::list<FileManage> scenes;
    // Name of the scene whose data folder the configuration readers use; "null" until a scene is opened.
    QString currentScene = "null";

    // Replaces the list with the records of the file. Returns how many there are.
    int load(const QString& treeMetaPath);
    // Folder and type of the first scene with exactly this name (case-sensitive). For a name that no
    // record holds both return an empty string, and callers take their own failure paths: the scene-file
    // readers treat an empty folder like a missing file, and an empty type matches no scene kind.
    QString pathOf(const QString& name) const;
    QString typeOf(const QString& name) const;
    // The data folder of the current scene.
    QString currentFolder() const { return pathOf(currentScene); }
};

// Reads a JSON document whose top level is an object; an empty object when the file cannot be read or
// does not parse.
QJsonObject readJsonFile(QString file);

// The records of a "TreeMeta.json" document ({"test": [{"name", "path", "type"}, ...]}), in file order.
// A missing or malformed file gives an empty list; a missing member reads as an empty string, a number
// as its decimal text.
std::list<FileManage> readSceneList(const QString& treeMetaPath);

// The "TreeMeta.json" text of a scene list: indented, keys name/path/type, list order kept.
QByteArray sceneListJson(const std::list<FileManage>& scenes);

// Writes the scene list to `treeMetaPath` through a temporary file that replaces the old one only when
// everything was written, so a failed write never leaves the old list truncated. On failure returns
// false and, when `error` is given, says why.
bool writeSceneList(const QString& treeMetaPath, const std::list<FileManage>& scenes,
                    QString* error = nullptr);

// Saves the binding of `sceneName` made in `scenes` (the program's list) to the scene list file: only the
// "path" of that scene's records changes, and everything else the file holds stays as it is (other
// members and records, numbers as numbers). A file that does not exist yet is written from `scenes`; a
// scene the file does not list is added. A file that exists but is not a JSON object whose "test" is an
// array is left alone, and the binding is not saved. Written like writeSceneList.
bool saveSceneBinding(const QString& treeMetaPath, const std::list<FileManage>& scenes,
                      const QString& sceneName, QString* error = nullptr);

// The scene tree's rows: header "Flood", then one row per scene of the list with the point icon.
void fillSceneTree(QStandardItemModel& model, const std::list<FileManage>& scenes);
