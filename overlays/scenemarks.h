#pragma once

#include <QString>
#include <osg/Group>
#include <osg/Vec3>
#include <osg/Vec4>
#include <osg/ref_ptr>
#include <string>
#include <vector>


struct SceneCatalog;
// One free text mark of a case-study scene.
struct SceneMark {
    osg::Vec3 position;  // marked point, map coordinates and height
    std::string text;    // UTF-8
    osg::Vec4 color;     // r, g, b, a from 0 to 1
    float size = 0.0f;   // character size, scene units
};

// The marks of a "mark.xml" file, in file order. Under the root, every "Mark" element with at least four
// child elements is a mark; its "text" ("textstr"), "pos" ("X", "Y", "Z"), "color" ("r", "g", "b", "a")
// and "size" ("S") children set its fields, missing attributes reading as 0 or empty text. A missing file
// gives no marks; a malformed one gives no marks and a diagnostic line.
std::vector<SceneMark> readSceneMarks(const QString& markFile);

// One geode per mark: the text 200 units above its point, facing the viewer, as a place name under the
// label layout.
osg::ref_ptr<osg::Group> buildMarkNode(const std::vector<SceneMark>& marks);

// The map decoration of the catalog's current scene, in this order: the house, river and road
// layers and the "Othershp" layers named in its "configXML.xml", with the text marks of
// "Disaster_Signs/mark.xml" in its folder between road and "Othershp". A scene without any of them, or
// without a bound folder, gives an empty group.
osg::ref_ptr<osg::Group> buildSceneMarks(const SceneCatalog& catalog);
