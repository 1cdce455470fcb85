#include "scenelist.h"

#include <QDebug>
#include <QFile>
#include <QIcon>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QTextCodec>

#include "fileio.h"
#include "platform.h"

// A scene list holds a few records; anything near this size is not one and is not loaded into memory.
static constexpr std::size_t maxJsonBytes = 16 * 1024 * 1024;

QJsonObject readJsonFile(QString file) {
    std::string bytes;
    std::string problem;
    const FileReadStatus status =
        readRegularFile(QFile::encodeName(file).toStdString(), maxJsonBytes, bytes, problem);
    platform::selectLocalTextCodec();
    if (status == FileReadStatus::tooLarge) {
        qDebug() << file << "is too large for a JSON document";
    } else if (status == FileReadStatus::ok) {
        // Decoding and encoding again turns stray bytes into replacement characters instead of letting
        // them through into the parser.
        QTextCodec* utf8 = QTextCodec::codecForName("UTF8");
        bytes = utf8->toUnicode(bytes.data(), static_cast<int>(bytes.size())).toUtf8().toStdString();
    } else {
        bytes.clear();
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(bytes), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return QJsonObject();
    }
    return document.object();
}

// A member as the text the program works with: a string as it stands, a number as its decimal text (a
// hand-edited `"type": 1` is the scene type "1"), anything else empty.
static QString memberText(const QJsonValue& value) {
    if (value.isDouble()) {
        return QString::number(value.toDouble(), 'g', 17);
    }
    return value.toString();
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
        scenes.push_back({memberText(record.value("name")), memberText(record.value("path")),
                          memberText(record.value("type"))});
    }
    return scenes;
}

int SceneCatalog::load(const QString& treeMetaPath) {
    qDebug() << treeMetaPath;
    scenes = readSceneList(treeMetaPath);
    return static_cast<int>(scenes.size());
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

// Writes the bytes through a temporary file, which replaces the old list only when complete.
static bool writeListFile(const QString& treeMetaPath, const QByteArray& text, QString* error) {
    std::string problem;
    if (!writeFileAtomically(QFile::encodeName(treeMetaPath).toStdString(),
                             std::string_view(text.constData(), static_cast<std::size_t>(text.size())),
                             problem)) {
        if (error) {
            *error = QString::fromStdString(problem);
        }
        return false;
    }
    return true;
}

bool writeSceneList(const QString& treeMetaPath, const std::list<FileManage>& scenes, QString* error) {
    return writeListFile(treeMetaPath, sceneListJson(scenes), error);
}

bool saveSceneBinding(const QString& treeMetaPath, const std::list<FileManage>& scenes,
                      const QString& sceneName, QString* error) {
    std::string bytes;
    std::string problem;
    const FileReadStatus status =
        readRegularFile(QFile::encodeName(treeMetaPath).toStdString(), maxJsonBytes, bytes, problem);
    if (status == FileReadStatus::missing) {
        return writeSceneList(treeMetaPath, scenes, error);
    }
    const auto refuse = [&](const QString& reason) {
        if (error) {
            *error = reason;
        }
        return false;
    };
    if (status != FileReadStatus::ok) {
        return refuse(QString::fromStdString(problem));
    }
    QJsonParseError parseError;
    QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(bytes), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject() ||
        (document.object().contains("test") && !document.object().value("test").isArray())) {
        // Not a list this program can change without losing what it holds.
        return refuse(treeMetaPath + " is not a scene list that can be changed safely");
    }
    QJsonObject top = document.object();
    QJsonArray records = top.value("test").toArray();
    bool found = false;
    for (int i = 0; i < records.size(); ++i) {
        QJsonObject record = records[i].toObject();
        if (!records[i].isObject() || memberText(record.value("name")) != sceneName) {
            continue;
        }
        for (const FileManage& scene : scenes) {
            if (scene.name == sceneName) {
                record.insert("path", scene.path);
            }
        }
        records[i] = record;
        found = true;
    }
    // A scene the file no longer lists (changed since the start) is added as the program knows it.
    if (!found) {
        for (const FileManage& scene : scenes) {
            if (scene.name == sceneName) {
                QJsonObject record;
                record.insert("name", scene.name);
                record.insert("path", scene.path);
                record.insert("type", scene.type);
                records.append(record);
            }
        }
    }
    top.insert("test", records);
    return writeListFile(treeMetaPath, QJsonDocument(top).toJson(QJsonDocument::Indented), error);
}

static const FileManage* findScene(const std::list<FileManage>& scenes, const QString& name) {
    for (const FileManage& scene : scenes) {
        if (scene.name == name) {
            return &scene;
        }
    }
    return nullptr;
}

QString SceneCatalog::pathOf(const QString& name) const {
    const FileManage* scene = findScene(scenes, name);
    return scene ? scene->path : QString();
}

QString SceneCatalog::typeOf(const QString& name) const {
    const FileManage* scene = findScene(scenes, name);
    return scene ? scene->type : QString();
}

void fillSceneTree(QStandardItemModel& model, const std::list<FileManage>& scenes) {
    model.setHorizontalHeaderLabels(QStringList() << "Flood");
    for (const FileManage& scene : scenes) {
        model.appendRow(new QStandardItem(QIcon(":/src/images/Point.png"), QString("%1").arg(scene.name)));
    }
}
