#include "configreader.h"

#include <QDomDocument>
#include <QFile>
#include <algorithm>
#include <iostream>

#include "scenelist.h"

static void printParseFailure(int line, int column, const QString& message) {
    std::cout << "parse file failed:" << line << "---" << column << ":" << message.toStdString() << std::endl;
}

// Scene files list a few paths and positions; a file this large is not one, and its document tree
// would take many times its size in memory.
static constexpr qint64 maxXmlBytes = 64 * 1024 * 1024;

bool parseXmlFile(const QString& file, QDomDocument& document) {
    document.clear();
    QFile xmlFile(file);
    if (!xmlFile.open(QIODevice::ReadOnly)) {
        printParseFailure(0, 0, "cannot open " + file + ": " + xmlFile.errorString());
        return false;
    }
    if (xmlFile.size() > maxXmlBytes) {
        printParseFailure(0, 0, file + " is too large (" + QString::number(xmlFile.size()) + " bytes)");
        return false;
    }
    QString message;
    int line = 0;
    int column = 0;
    const bool parsed = document.setContent(&xmlFile, false, &message, &line, &column);
    xmlFile.close();
    if (!parsed) {
        printParseFailure(line, column, message);
        document.clear();
    }
    return parsed;
}

void SceneConfigReader::readSceneDocument(const QString& fileName, QString& filePath,
                                          QDomDocument& document) {
    const QString folder = findBoundPath(currentSceneName);
    if (folder.isEmpty()) {
        // An empty folder would turn the file name into a path at the file-system root.
        filePath.clear();
        document.clear();
        printParseFailure(0, 0, "no data folder is bound to the scene \"" + currentSceneName + "\"");
        return;
    }
    filePath = folder + "/" + fileName;
    parseXmlFile(filePath, document);
}

void SceneConfigReader::forEachEntry(const QDomDocument& document, const std::string& category,
                                     const std::function<void(const QDomElement& entry)>& visit) {
    const QString wanted = QString::fromStdString(category);
    for (QDomElement group = document.documentElement().firstChildElement(); !group.isNull();
         group = group.nextSiblingElement()) {
        if (group.tagName() != wanted) {
            continue;
        }
        for (QDomElement entry = group.firstChildElement(); !entry.isNull();
             entry = entry.nextSiblingElement()) {
            visit(entry);
        }
    }
}

std::vector<std::string> SceneConfigReader::readConfigValues(QString& configPath,
                                                             const std::string& category) {
    static const char* const strPathCategories[] = {"Path", "House",       "Road", "River",
                                                    "Play", "BarrierLake", "PlayH"};
    const bool listsStrPath = std::find(std::begin(strPathCategories), std::end(strPathCategories),
                                        category) != std::end(strPathCategories);

    QDomDocument document;
    readSceneDocument("configXML.xml", configPath, document);

    std::vector<std::string> values;
    forEachEntry(document, category, [&](const QDomElement& entry) {
        const QString tag = entry.tagName();
        if (listsStrPath || (category == "Othershp" && tag == "path")) {
            values.push_back(entry.attribute("strPath").toStdString());
        } else if (category == "Camera" && (tag == "eye" || tag == "center" || tag == "up")) {
            for (const char* axis : {"x", "y", "z"}) {
                values.push_back(entry.attribute(axis).toStdString());
            }
        }
    });
    return values;
}
