#pragma once

#include <QColor>
#include <osg/Group>
#include <osg/Vec4>
#include <osg/ref_ptr>
#include <string>
#include <vector>

// What the shapefile dialog reports: the file and how to draw it. Created by the dialog, deleted by the
// receiver of `sendGroup`.
class shapeFormat {
public:
    std::string filePath;  // local 8-bit path of the .shp file
    QColor textColor;
    QColor vectorColor;
    int textSize = 30;  // label size, screen pixels
};

// A point feature: map coordinates and height as stored in the file, and its "NAME".
struct ShpPoint {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    std::string name;
};

// A line or the outer ring of a polygon; `color` is fixed when the feature is read.
struct ShpFeature {
    std::vector<ShpPoint> vertices;
    osg::Vec4 color;
    std::string name;
};

// The vector-layer builder of the whole program: set the colours and options, `readShapefile`, then
// `buildLayer`. No window needed; the shapefile dialog is one with a form around it.
class VectorLayerBuilder {
public:
    // Appends the point, line and polygon features of every layer of the file (local 8-bit path). A file
    // that does not open prints "Open failed" (and, when it or a companion is no regular file, why on
    // standard error) and marks the builder invalid until the next `buildLayer`.
    void readShapefile(const char* path);

    // The scene-graph layer of the features read, drawing only the kind of the last feature read. Leaves
    // `featureAlpha` at 1.0 and `renderBin` at 3.0 for a later call on the same builder.
    osg::ref_ptr<osg::Group> buildLayer();

    // Forgets the features read so far, so that the next file is built on its own.
    void clearFeatures();

    // Drawing settings, read by `readShapefile` and `buildLayer`.
    QColor vectorColor{255, 0, 0, 255};  // lines and polygons
    QColor textColor{0, 0, 0, 255};      // labels
    int textSize = 30;                   // labels, screen pixels
    int lineStyle = 0;                   // 0 solid, 1 stippled lines
    float featureAlpha = 1.0f;           // alpha of line and polygon colours
    float lineWidth = 3.0f;              // pixels
    float renderBin = 1.0f;              // render bin of the line geode, truncated when used

    // What was read.
    std::string filePath;  // chosen in the dialog
    std::vector<ShpPoint> points;
    std::vector<ShpFeature> lines;
    std::vector<ShpFeature> polygons;
    int geometryType = 0;  // kind of the last feature read: 1 point, 2 line, 3 polygon
    bool valid = true;     // false after a file that could not be opened
};
