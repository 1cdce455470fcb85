#include "scenemarks.h"

#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <limits>
#include <osg/Geode>
#include <osgText/Font>
#include <osgText/Text>

#include "configreader.h"
#include "labellayout.h"
#include "scenelist.h"
#include "vectorlayer.h"

namespace {

// An attribute as a number; text that is no number, and a number no float holds or that is not finite
// (a mark at infinity has no place in the view), read as 0.
float attributeNumber(const QDomElement& element, const char* name) {
    bool converted = false;
    const double value = element.attribute(name).toDouble(&converted);
    return converted && std::fabs(value) <= std::numeric_limits<float>::max() ? static_cast<float>(value)
                                                                              : 0.0f;
}

}  // namespace

std::vector<SceneMark> readSceneMarks(const QString& markFile) {
    std::vector<SceneMark> marks;
    QDomDocument document;
    // Most scenes have no text marks: a missing file is not worth a diagnostic.
    if (!QFileInfo::exists(markFile) || !parseXmlFile(markFile, document)) {
        return marks;
    }
    for (QDomElement markElement = document.documentElement().firstChildElement("Mark");
         !markElement.isNull(); markElement = markElement.nextSiblingElement("Mark")) {
        SceneMark mark;
        int childCount = 0;
        for (QDomElement child = markElement.firstChildElement(); !child.isNull();
             child = child.nextSiblingElement()) {
            ++childCount;
            const QString tag = child.tagName();
            if (tag == "text") {
                mark.text = child.attribute("textstr").toStdString();
            } else if (tag == "pos") {
                mark.position.set(attributeNumber(child, "X"), attributeNumber(child, "Y"),
                                  attributeNumber(child, "Z"));
            } else if (tag == "color") {
                mark.color.set(attributeNumber(child, "r"), attributeNumber(child, "g"),
                               attributeNumber(child, "b"), attributeNumber(child, "a"));
            } else if (tag == "size") {
                mark.size = attributeNumber(child, "S");
            }
        }
        // A mark counts once its fourth child is there, whatever the children are called.
        if (childCount >= 4) {
            marks.push_back(mark);
        }
    }
    return marks;
}

osg::ref_ptr<osg::Group> buildMarkNode(const std::vector<SceneMark>& marks) {
    osg::ref_ptr<osg::Group> group = new osg::Group;
    osg::ref_ptr<osgText::Font> font = osgText::readRefFontFile("fonts/simhei.ttf");
    for (const SceneMark& mark : marks) {
        osg::ref_ptr<osgText::Text> text = new osgText::Text;
        text->setFont(font);
        text->setPosition(mark.position + osg::Vec3(0.0f, 0.0f, 200.0f));
        text->setColor(mark.color);
        text->setCharacterSize(mark.size);
        text->setText(mark.text, osgText::String::ENCODING_UTF8);
        text->setAxisAlignment(osgText::Text::SCREEN);
        osg::ref_ptr<osg::Geode> geode = new osg::Geode;
        geode->addDrawable(text);
        group->addChild(makeLaidOutLabel(geode, LabelPriority::PlaceName));
    }
    return group;
}

namespace {

std::string firstValue(const std::vector<std::string>& values) {
    return values.empty() ? "" : values.front();
}

// One layer of the shared builder, from this file's features only; the colours and options set before
// (and the render bin that `buildLayer` leaves behind) carry over.
void addLayer(VectorLayerBuilder& builder, const std::string& utf8Path, osg::Group& group) {
    builder.clearFeatures();
    builder.readShapefile(QFile::encodeName(QString::fromStdString(utf8Path)).constData());
    group.addChild(builder.buildLayer());
}

}  // namespace

osg::ref_ptr<osg::Group> buildSceneMarks(const SceneCatalog& catalog) {
    const QString folder = catalog.currentFolder();
    SceneConfigReader reader(catalog);
    const std::string house = firstValue(reader.readConfigValues(reader.path, "House"));
    const std::string river = firstValue(reader.readConfigValues(reader.path, "River"));
    const std::string road = firstValue(reader.readConfigValues(reader.path, "Road"));

    VectorLayerBuilder builder;
    osg::ref_ptr<osg::Group> group = new osg::Group;
    if (!house.empty()) {
        builder.renderBin = 6.0f;
        builder.vectorColor = QColor(176, 232, 220, 255);
        addLayer(builder, house, *group);
    }
    if (!river.empty()) {
        builder.vectorColor = QColor(0, 102, 255, 255);
        addLayer(builder, river, *group);
    }
    if (!road.empty()) {
        builder.renderBin = 6.0f;
        builder.vectorColor = QColor(246, 222, 145, 255);
        builder.lineWidth = 5.0f;
        addLayer(builder, road, *group);
    }
    if (!folder.isEmpty()) {
        const std::vector<SceneMark> marks = readSceneMarks(folder + "/Disaster_Signs/mark.xml");
        if (!marks.empty()) {
            group->addChild(buildMarkNode(marks));
        }
    }
    for (const std::string& otherShapefile : reader.readConfigValues(reader.path, "Othershp")) {
        builder.vectorColor = QColor(77, 179, 118, 255);
        addLayer(builder, otherShapefile, *group);
    }
    return group;
}
