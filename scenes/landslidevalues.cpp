// The landslide scenario file "LandslideXML.xml", read by category like the scene configuration.
#include <QDomDocument>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "configreader.h"
#include "fileio.h"

namespace {

// One entry element a category reads, with its attributes in value order.
struct EntryRule {
    const char* tag;
    std::vector<const char*> attributes;
};

// A category: "any" categories read "strPath" of every entry element, the others only the listed tags.
struct CategoryRule {
    const char* name;
    bool any;
    std::vector<EntryRule> entries;
};

const EntryRule eye{"eye", {"x", "y", "z"}};
const EntryRule center{"center", {"x", "y", "z"}};
const EntryRule up{"up", {"x", "y", "z"}};
const EntryRule pos{"pos", {"X", "Y", "Z"}};
const EntryRule attitude{"attitude", {"X_axis", "Y_axis", "Z_axis"}};
const EntryRule text{"text", {"textstr"}};
const EntryRule path{"path", {"strPath"}};

const CategoryRule categoryRules[] = {
    {"Path", true, {}},
    {"Camera1", false, {eye, center, up}},
    {"Camera2", false, {eye, center, up, pos, attitude, text}},
    {"Camera3", false, {eye, center, up}},
    {"DiZhiXian", true, {}},
    {"lishizaihai", false, {text, pos}},
    {"dizhijiegou", false, {{"location", {"strPath"}}, pos, text}},
    {"SingleArrow", false, {path, pos, {"posd", {"X", "Y", "Z"}}, attitude, text}},
    {"boundary", false, {{"location", {"strPath"}}, text, pos}},
    {"landslide", false, {path, {"location", {"LocationFile"}}, pos}},
    {"BarrierLake", false, {path, text}},
    {"DoubleArrowPicture", true, {}},
    {"DoubleArrow1", false, {{"location", {"Arrow1Location"}}, pos, attitude, text}},
    {"DoubleArrow2",
     false,
     {{"location", {"Arrow2Location"}}, {"pos1", {"X", "Y", "Z"}}, {"pos2", {"X", "Y", "Z"}}, text}},
    {"DoubleArrow3", false, {{"location", {"Arrow3Location"}}, pos, {"Len", {"Length"}}, text}},
    {"DoubleArrow4", false, {{"location", {"Arrow4Location"}}, pos, attitude, text}},
    {"BarrierRiver", true, {}},
    {"MaskRiver", true, {}},
    {"NormalRiver", true, {}},
    {"MaskRoad", true, {}},
    {"NormalRoad", true, {}},
    {"MaskBuilding", true, {}},
    {"NormalBuilding", true, {}},
    {"DamageInfo", false, {text, pos}},
    {"OtherFeature", false, {path}},
    {"rainDescribe", false, {text, pos}},
    {"BendArrow", false, {path, pos, {"type", {"T"}}}},
    {"LandslideDescribe", false, {text, pos}},
    {"Landslidearea", false, {path}},
    {"Risk", false, {path, text}},
    {"Threat", false, {path, text, pos}},
    // The story's title and where it stands; optional.
    {"title", false, {text, pos}},
};

const CategoryRule* findCategory(const std::string& name) {
    const auto found = std::find_if(std::begin(categoryRules), std::end(categoryRules),
                                    [&name](const CategoryRule& rule) { return name == rule.name; });
    return found == std::end(categoryRules) ? nullptr : found;
}

std::string attributeValue(const QDomElement& entry, const char* attribute) {
    const QString value = entry.attribute(attribute);
    // Label texts go to the multibyte conversion of the label builders, in the system's own encoding.
    return std::string(attribute) == "textstr" ? value.toLocal8Bit().toStdString() : value.toStdString();
}

}  // namespace

std::vector<std::string> SceneConfigReader::readLandslideValues(QString& landslidePath,
                                                                const std::string& category) {
    std::vector<std::string> values;
    const CategoryRule* rule = findCategory(category);
    QDomDocument document;
    readSceneDocument("LandslideXML.xml", landslidePath, document);
    if (!rule) {
        return values;
    }
    forEachEntry(document, category, [&](const QDomElement& entry) {
        if (rule->any) {
            values.push_back(attributeValue(entry, "strPath"));
            return;
        }
        const QString tag = entry.tagName();
        for (const EntryRule& entryRule : rule->entries) {
            if (tag == entryRule.tag) {
                for (const char* attribute : entryRule.attributes) {
                    values.push_back(attributeValue(entry, attribute));
                }
                return;
            }
        }
    });
    return values;
}

bool SceneConfigReader::checkLandslideScenario(std::string& problem) {
    QString file;
    QDomDocument document;
    QString failure;
    readSceneDocument("LandslideXML.xml", file, document, &failure);
    const std::string name = "\"" + file.toStdString() + "\"";
    if (document.documentElement().isNull()) {
        problem = "the scenario file " + name + " cannot be read: " +
                  (failure.isEmpty() ? std::string("it holds no element") : failure.toStdString());
        return false;
    }
    QString ignored;
    const std::vector<std::string> camera = readLandslideValues(ignored, "Camera1");
    if (camera.size() < 9) {
        problem = "the scenario file " + name + " gives " + std::to_string(camera.size()) +
                  " of the nine values of its opening camera (\"Camera1\": eye, center and up)";
        return false;
    }
    for (std::size_t i = 0; i < 9; ++i) {
        if (!std::isfinite(std::atof(camera[i].c_str()))) {
            problem = "the scenario file " + name + " gives \"" + camera[i] + "\" as value " +
                      std::to_string(i + 1) + " of its opening camera (\"Camera1\"), which is no number";
            return false;
        }
    }
    const std::vector<std::string> terrain = readLandslideValues(ignored, "Path");
    std::string fileProblem;
    if (terrain.empty() || !checkDataFile(terrain.front(), fileProblem)) {
        problem = "the scenario file " + name + " names no terrain model that can be opened" +
                  (terrain.empty() ? std::string(" (\"Path\")") : ": " + fileProblem);
        return false;
    }
    const std::vector<std::string> slide = readLandslideValues(ignored, "landslide");
    if (slide.empty() || slide.front().empty() ||
        !QFileInfo(QString::fromStdString(slide.front())).isDir()) {
        problem = "the scenario file " + name + " names no folder of the slide's frames" +
                  (slide.empty() ? std::string(" (\"landslide\")") : ": \"" + slide.front() + "\" is none");
        return false;
    }
    return true;
}
