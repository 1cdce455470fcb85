#include "scenelist.h"

#include <QDebug>
#include <QFile>
#include <QIcon>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSaveFile>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QTextCodec>

#include "platform.h"

std::list<FileManage> boundScenes;
QString currentSceneName = "null";

// A scene list holds a few records; anything near this size is not one and is not loaded into memory.
static constexpr qint64 maxJsonBytes = 16 * 1024 * 1024;

QJsonObject readJsonFile(QString file) {
    QFile jsonFile(file);
    QByteArray bytes;
    const bool opened = jsonFile.open(QIODevice::ReadOnly | QIODevice::Text);
    platform::selectLocalTextCodec();
    if (opened && jsonFile.size() > maxJsonBytes) {
        qDebug() << file << "is too large for a JSON document:" << jsonFile.size() << "bytes";
    } else if (opened) {
        // Decoding and encoding again turns stray bytes into replacement characters instead of letting
        // them through into the parser.
        QTextCodec* utf8 = QTextCodec::codecForName("UTF8");
        bytes = utf8->toUnicode(jsonFile.readAll()).toUtf8();
        jsonFile.close();
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return QJsonObject();
    }
    return document.object();
}

std::list<FileManage> readSceneList(const QString& treeMetaPath) {
    std::list<FileManage> scenes;
    const QJsonArray records = readJsonFile(treeMetaPath).value("test").toArray();
    for (const QJsonValue& value : records) {
        if (!value.isObject()) {
            qDebug() << treeMetaPath << ": scene record that is not an object skipped";
            continue;
        }
        const QJsonObject record = value.toObject();
        scenes.push_back({record.value("name").toString(), record.value("path").toString(),
                          record.value("type").toString()});
    }
    return scenes;
}

int loadBoundScenes(const QString& treeMetaPath) {
    qDebug() << treeMetaPath;
    boundScenes = readSceneList(treeMetaPath);
    return static_cast<int>(boundScenes.size());
}

QByteArray sceneListJson(const std::list<FileManage>& scenes) {
    QJsonArray records;
    for (const FileManage& scene : scenes) {
        // QJsonObject keeps its keys sorted, which gives the file's name/path/type order.
        QJsonObject record;
        record.insert("name", scene.name);
        record.insert("path", scene.path);
        record.insert("type", scene.type);
        records.append(record);
    }
    QJsonObject document;
    document.insert("test", records);
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

bool writeSceneList(const QString& treeMetaPath, const std::list<FileManage>& scenes, QString* error) {
    QSaveFile file(treeMetaPath);
    // Unbuffered, so that a short write (a full disk) shows in write()'s count: a buffered QSaveFile
    // commits a partly flushed file without complaint.
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Unbuffered);
    if (written) {
        const QByteArray text = sceneListJson(scenes);
        written = file.write(text) == text.size() && file.commit();
    }
    if (!written) {
        if (error) {
            *error = file.errorString();
        }
        file.cancelWriting();
    }
    return written;
}

static const FileManage* findBoundScene(const QString& name) {
    for (const FileManage& scene : boundScenes) {
        if (scene.name == name) {
            return &scene;
        }
    }
    return nullptr;
}

QString findBoundPath(const QString& name) {
    const FileManage* scene = findBoundScene(name);
    return scene ? scene->path : QString();
}

QString findBoundType(const QString& name) {
    const FileManage* scene = findBoundScene(name);
    return scene ? scene->type : QString();
}

void fillSceneTree(QStandardItemModel& model) {
    model.setHorizontalHeaderLabels(QStringList() << "Flood");
    for (const FileManage& scene : boundScenes) {
        model.appendRow(new QStandardItem(QIcon(":/src/images/Point.png"), QString("%1").arg(scene.name)));
    }
}
