#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <utility>
#include <vector>

// Writers of the small text files a case-study folder holds, its folders, and the batch runs that compute
// its prepared results.

// One category of a scene file: its tag and its entries, each an element tag with its attributes.
struct XmlEntry {
    std::string tag;
    std::vector<std::pair<std::string, std::string>> attributes;
};
struct XmlCategory {
    std::string tag;
    std::vector<XmlEntry> entries;
};

// Writes an XML scene file ("configXML.xml", "LandslideXML.xml") with the root element `rootTag`.
bool writeSceneXml(const std::string& path, const std::string& rootTag,
                   const std::vector<XmlCategory>& categories);

// A "strPath" entry, the form of most categories.
XmlEntry pathEntry(const std::string& path, const std::string& tag = "file");
// The "eye", "center" and "up" entries of a camera category.
std::vector<XmlEntry> cameraEntries(const double eye[3], const double center[3], const double up[3]);

// One text mark of "mark.xml".
struct TextMark {
    std::string text;  // UTF-8
    double x, y, z;
    float red, green, blue, alpha;
    float size;  // scene units
};
bool writeMarks(const std::string& path, const std::vector<TextMark>& marks);

bool writeText(const std::string& path, const std::string& text);

// Creates the folders `base` + each of `folders`; says which one failed on standard error.
bool makeFolders(const QString& base, const QStringList& folders);

// Runs vantorel-batch (`batch`) with `arguments` to its end; false, with its output on standard error
// under `what`, when it fails.
bool runBatch(const QString& batch, const QStringList& arguments, const std::string& what);
