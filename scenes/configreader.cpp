#include "configreader.h"

#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>
#include <algorithm>
#include <iostream>

#include "fileio.h"
#include "scenelist.h"

static void printParseFailure(int line, int column, const QString& message, QString* failure) {
    const QString text = QString("%1---%2:%3").arg(line).arg(column).arg(message);
    std::cout << "parse file failed:" << text.toStdString() << std::endl;
    if (failure != nullptr) {
        *failure = text;
    }
}

// Scene files list a few paths and positions; a file this large is not one, and its document tree
// would take many times its size in memory.
static constexpr std::size_t maxXmlBytes = 64 * 1024 * 1024;

// Scene files nest three or four levels. The document tree is built and freed recursively, so a file
// nested many thousands of levels deep would overflow the stack; such a file is refused before any
// tree is built.
static constexpr int maxXmlDepth = 64;

bool parseXmlText(const QByteArray& text, QDomDocument& document, QString* failure) {
    document.clear();
    // The depth is measured with the same parser that then builds the tree, so both see one document.
    QXmlStreamReader scan(text);
    scan.setNamespaceProcessing(false);
    int depth = 0;
    while (!scan.atEnd()) {
        const QXmlStreamReader::TokenType token = scan.readNext();
        if (token == QXmlStreamReader::StartElement && ++depth > maxXmlDepth) {
            printParseFailure(static_cast<int>(scan.lineNumber()), static_cast<int>(scan.columnNumber()),
                              QString("elements nested deeper than %1 levels").arg(maxXmlDepth), failure);
            return false;
        }
        if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
    if (scan.hasError()) {
        printParseFailure(static_cast<int>(scan.lineNumber()), static_cast<int>(scan.columnNumber()),
                          scan.errorString(), failure);
        return false;
    }
    QXmlStreamReader reader(text);
    QString message;
    int line = 0;
    int column = 0;
    if (!document.setContent(&reader, false, &message, &line, &column)) {
        printParseFailure(line, column, message, failure);
        document.clear();
        return false;
    }
    return true;
}

bool parseXmlFile(const QString& file, QDomDocument& document, QString* failure) {
    document.clear();
    std::string bytes;
    std::string problem;
    switch (readRegularFile(QFile::encodeName(file).toStdString(), maxXmlBytes, bytes, problem)) {
        case FileReadStatus::ok:
            return parseXmlText(QByteArray::fromStdString(bytes), document, failure);
        case FileReadStatus::tooLarge:
            printParseFailure(0, 0,
                              file + " is too large (" + QString::number(QFileInfo(file).size()) + " bytes)",
                              failure);
            return false;
        default:
            printParseFailure(0, 0, QString::fromStdString(problem), failure);
            return false;
    }
}

void SceneConfigReader::readSceneDocument(const QString& fileName, QString& filePath,
                                          QDomDocument& document, QString* failure) const {
    const QString folder = catalog.currentFolder();
    if (folder.isEmpty()) {
        // An empty folder would turn the file name into a path at the file-system root.
        filePath.clear();
        document.clear();
        printParseFailure(0, 0, "no data folder is bound to the scene \"" + catalog.currentScene + "\"",
                          failure);
        return;
    }
    filePath = folder + "/" + fileName;
    parseXmlFile(filePath, document, failure);
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
