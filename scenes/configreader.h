#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <string>
#include <vector>

class QDomDocument;
class QDomElement;

// Reads an XML file into `document` (no namespace processing). When the file cannot be read (missing, not
// a regular file, over 64 MiB), is not well-formed or nests elements more than 64 levels deep, writes
// "parse file failed:<line>---<column>:<message>" to standard output, leaves the document empty and
// returns false.
// `failure`, when given, receives the same text after "parse file failed:".
bool parseXmlFile(const QString& file, QDomDocument& document, QString* failure = nullptr);
// The same for the text of an XML file.
bool parseXmlText(const QByteArray& text, QDomDocument& document, QString* failure = nullptr);

struct SceneCatalog;

// Reads the scene files kept in the data folder of the catalog's current scene, one category at a time.
// Every call reads the file again; nothing is cached.
class SceneConfigReader {
public:
    explicit SceneConfigReader(const SceneCatalog& catalog) : catalog(catalog) {}

    // The values of every entry of every `category` element of "configXML.xml", in document order:
    // "strPath" of each entry for "Path", "House", "Road", "River", "Play", "BarrierLake" and "PlayH";
    // "x", "y", "z" of the "eye", "center" and "up" entries for "Camera"; "strPath" of the "path"
    // entries for "Othershp". Any other category, a missing or malformed file and a scene without a bound
    // folder give an empty list. `configPath` receives the path of the file read (empty when no folder
    // is bound).
    std::vector<std::string> readConfigValues(QString& configPath, const std::string& category);

    // The values of every recognised entry of every `category` element of "LandslideXML.xml", the
    // scenario file of a landslide case, in document order. Each category lists the entry tags it reads
    // and their attributes in value order; "any" categories read "strPath" of every entry. "textstr" comes
    // back in the local 8-bit encoding, everything else in UTF-8; a missing attribute gives an empty
    // value. An unknown category, a missing or malformed file and a scene without a bound folder give an
    // empty list. `landslidePath` receives the path of the file read (empty when no folder is bound).
    std::vector<std::string> readLandslideValues(QString& landslidePath, const std::string& category);

    // Whether the scenario file of the current scene can be played: it reads as XML, its opening camera
    // ("Camera1") is nine finite numbers, its terrain (the first "Path") a model file that can be opened
    // and its slide's frames (the first "landslide" path) a folder. False, with one message naming the
    // file and the value at fault in `problem`, otherwise.
    bool checkLandslideScenario(std::string& problem);

    // Where callers keep the path of the last file read.
    QString path;

private:
    const SceneCatalog& catalog;

    // Parses `fileName` in the current scene's folder; `filePath` receives its full path.
    void readSceneDocument(const QString& fileName, QString& filePath, QDomDocument& document,
                           QString* failure = nullptr) const;
    // Calls `visit` with every entry element of every category element named `category` under the
    // document's root, in document order.
    static void forEachEntry(const QDomDocument& document, const std::string& category,
                             const std::function<void(const QDomElement& entry)>& visit);
};
