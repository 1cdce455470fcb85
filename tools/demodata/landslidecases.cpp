#include "landslidecases.h"

#include <gdal_priv.h>

#include <QDir>
#include <QProcess>
#include <algorithm>
#include <array>
#include <cmath>
#include <iostream>
#include <osg/Geode>
#include <osg/Geometry>
#include <osgDB/WriteFile>
#include <random>

#include "casefiles.h"
#include "landslideraster.h"
#include "shapes.h"

namespace {

// The slide's rasters cover a square window of the valley around the slide, finer than the valley's grid.
constexpr double mosaicCell = 50.0;  // m
constexpr int mosaicSize = 56;       // cells each way
constexpr int toeColumn = 12;        // the toe of the slide, where it dams the river
constexpr int toeDepthRows = 12;     // the toe's distance from the mosaic's edge across the valley
// The centreline: one cell per column (the run reads one point per column), climbing the wall eastwards.
constexpr int centrelineColumns = 40;
constexpr int slopeRows = 36;
constexpr double fanRadius = 9.0;  // cells: the deposit spreads round the toe across the valley floor
constexpr float noData = -9999.0f;

std::string number(double value) {
    return QString::number(value, 'f', 2).toStdString();
}

// The height of the valley's terrain mesh at a map position: planar inside the mesh's triangles, so that
// what is placed at it lies on the terrain the user sees.
double terrainHeight(const ValleyGrid& grid, double x, double y) {
    const double col = std::clamp((x - grid.xll) / grid.cellSize, 0.0, grid.cols - 1.001);
    const double row =
        std::clamp((grid.rows * grid.cellSize + grid.yll - y) / grid.cellSize, 0.0, grid.rows - 1.001);
    const int i = static_cast<int>(col);
    const int j = static_cast<int>(row);
    const double fu = col - i;
    const double fv = row - j;
    const double a = grid.at(j, i);
    const double right = grid.at(j, i + 1);
    const double below = grid.at(j + 1, i);
    const double diagonal = grid.at(j + 1, i + 1);
    // The mesh cuts each cell along the diagonal from (j + 1, i) to (j, i + 1).
    if (fu + fv <= 1.0) {
        return a + fu * (right - a) + fv * (below - a);
    }
    return diagonal + (1.0 - fu) * (below - diagonal) + (1.0 - fv) * (right - diagonal);
}

// The post-disaster image: three byte bands, red, green and blue, given pixel-interleaved.
bool writeImage(const std::string& path, int size, const GeoTransform& transform,
                std::vector<unsigned char> rgb) {
    GDALAllRegister();
    GDALDriver* gtiff = GetGDALDriverManager()->GetDriverByName("GTiff");
    GdalDatasetHandle image(gtiff ? gtiff->Create(path.c_str(), size, size, 3, GDT_Byte, nullptr) : nullptr);
    GeoTransform coefficients = transform;
    return image && image->SetGeoTransform(coefficients.data()) == CE_None &&
           image->RasterIO(GF_Write, 0, 0, size, size, rgb.data(), size, size, GDT_Byte, 3, nullptr, 3,
                           3 * size, 1) == CE_None;
}

// The slide laid out on the mosaic's grid (rows from the top, as in the rasters).
struct Slide {
    double originX = 0;  // map position of the mosaic's top-left corner
    double originY = 0;
    int toeRow = 0;
    std::array<int, centrelineColumns> centreRow{};
    std::vector<float> ground;  // the terrain before the slide at each cell's top-left corner
    // Per cell: on the slide path, in the slide body, in the deposit; the distance to the toe, cells.
    std::vector<bool> path, body, deposit;
    std::vector<double> toeDistance;

    std::size_t at(int row, int col) const { return static_cast<std::size_t>(row) * mosaicSize + col; }
    double x(double col) const { return originX + col * mosaicCell; }
    double y(double row) const { return originY - row * mosaicCell; }
};

Slide layOutSlide(const ValleyGrid& before, double toeX, double toeY, int side) {
    Slide slide;
    slide.toeRow = side > 0 ? mosaicSize - toeDepthRows : toeDepthRows;
    slide.originX = toeX - toeColumn * mosaicCell;
    slide.originY = toeY + slide.toeRow * mosaicCell;
    for (int i = 0; i < centrelineColumns; ++i) {
        const double t = static_cast<double>(i) / (centrelineColumns - 1);
        const double climb = slopeRows * t + 3.0 * std::sin(M_PI * t);
        slide.centreRow[i] = slide.toeRow - side * static_cast<int>(std::lround(climb));
    }
    const std::size_t cells = static_cast<std::size_t>(mosaicSize) * mosaicSize;
    slide.ground.resize(cells);
    slide.path.assign(cells, false);
    slide.body.assign(cells, false);
    slide.deposit.assign(cells, false);
    slide.toeDistance.resize(cells);
    for (int row = 0; row < mosaicSize; ++row) {
        for (int col = 0; col < mosaicSize; ++col) {
            const std::size_t cell = slide.at(row, col);
            slide.ground[cell] = static_cast<float>(terrainHeight(before, slide.x(col), slide.y(row)));
            // The nearest centreline point, and how far along the line it lies (0 at the toe, 1 at the top).
            double nearest = 1e9;
            double along = 0;
            for (int i = 0; i < centrelineColumns; ++i) {
                const double distance = std::hypot(row - slide.centreRow[i], col - (toeColumn + i));
                if (distance < nearest) {
                    nearest = distance;
                    along = static_cast<double>(i) / (centrelineColumns - 1);
                }
            }
            slide.toeDistance[cell] = std::hypot(row - slide.toeRow, col - toeColumn);
            slide.deposit[cell] = slide.toeDistance[cell] <= fanRadius;
            slide.path[cell] = slide.deposit[cell] || nearest <= 4.0 + 3.0 * (1.0 - along);
            slide.body[cell] = slide.path[cell] && along >= 0.78;
        }
    }
    return slide;
}

struct SlideColours {
    std::array<float, 3> debris{128, 104, 78};
    std::array<float, 3> scar{182, 160, 124};
    std::array<float, 3> untouched{88, 118, 70};
};

// The seven inputs of the run, in the order of vantorel-batch landslide's options.
bool writeSlideRasters(const Slide& slide, const std::string& folder) {
    const GeoTransform transform{slide.originX, mosaicCell, 0.0, slide.originY, 0.0, -mosaicCell};
    const std::size_t cells = slide.ground.size();
    std::vector<float> path(cells), body(cells), deposit(cells), centre(cells, noData), post(cells, noData);
    for (std::size_t cell = 0; cell < cells; ++cell) {
        path[cell] = slide.path[cell] ? 1.0f : 0.0f;
        body[cell] = slide.body[cell] ? 30.0f : noData;
        deposit[cell] = slide.deposit[cell] ? 1.0f : 0.0f;
        // After the slide: the scar where the body was, a thin sheet along the path and the dam across
        // the valley. Everything else is unchanged and stays out of the final surface.
        if (slide.deposit[cell]) {
            const double fraction = slide.toeDistance[cell] / (fanRadius + 0.5);
            post[cell] = slide.ground[cell] + static_cast<float>(75.0 * (1.0 - fraction * fraction));
        } else if (slide.body[cell]) {
            post[cell] = slide.ground[cell] - 25.0f;
        } else if (slide.path[cell]) {
            post[cell] = slide.ground[cell] + 3.0f;
        }
    }
    for (int i = 0; i < centrelineColumns; ++i) {
        centre[slide.at(slide.centreRow[i], toeColumn + i)] = 1.0f;
    }

    // The image after the slide, two pixels per cell each way, with a little texture.
    const int imageSize = 2 * mosaicSize;
    const SlideColours colours;
    std::mt19937 generator(7);
    std::uniform_real_distribution<float> grain(-14.0f, 14.0f);
    std::vector<unsigned char> rgb;
    rgb.reserve(static_cast<std::size_t>(imageSize) * imageSize * 3);
    for (int row = 0; row < imageSize; ++row) {
        for (int col = 0; col < imageSize; ++col) {
            const std::size_t cell = slide.at(row / 2, col / 2);
            const std::array<float, 3>& colour = slide.body[cell]   ? colours.scar
                                                 : slide.path[cell] ? colours.debris
                                                                    : colours.untouched;
            const float shade = grain(generator);
            for (const float channel : colour) {
                rgb.push_back(static_cast<unsigned char>(std::clamp(channel + shade, 0.0f, 255.0f)));
            }
        }
    }
    const GeoTransform imageTransform{slide.originX, mosaicCell / 2, 0.0, slide.originY,
                                      0.0,           -mosaicCell / 2};

    RasterFrame frame;
    frame.width = mosaicSize;
    frame.height = mosaicSize;
    frame.geoTransform = transform;
    std::string problem;
    return writeGeoTiff(folder + "/deposit.tif", frame, deposit, std::nullopt, problem) &&
           writeGeoTiff(folder + "/path.tif", frame, path, std::nullopt, problem) &&
           writeGeoTiff(folder + "/body.tif", frame, body, noData, problem) &&
           writeImage(folder + "/image.tif", imageSize, imageTransform, rgb) &&
           writeGeoTiff(folder + "/centreline.tif", frame, centre, noData, problem) &&
           writeGeoTiff(folder + "/mosaic.tif", frame, slide.ground, std::nullopt, problem) &&
           writeGeoTiff(folder + "/postdem.tif", frame, post, noData, problem);
}

// The outline of the slide path: per column, the first and the last path cell, round the shape.
std::vector<osg::Vec3d> slideOutline(const Slide& slide, const ValleyGrid& before) {
    std::vector<osg::Vec3d> top, bottom;
    for (int col = 0; col < mosaicSize; ++col) {
        int first = -1;
        int last = -1;
        for (int row = 0; row < mosaicSize; ++row) {
            if (slide.path[slide.at(row, col)]) {
                first = first < 0 ? row : first;
                last = row;
            }
        }
        if (first < 0) {
            continue;
        }
        auto point = [&](double row) {
            const double x = slide.x(col + 0.5);
            const double y = slide.y(row);
            return osg::Vec3d(x, y, terrainHeight(before, x, y) + 10.0);
        };
        top.push_back(point(first - 0.5));
        bottom.push_back(point(last + 1.5));
    }
    std::vector<osg::Vec3d> outline = top;
    outline.insert(outline.end(), bottom.rbegin(), bottom.rend());
    outline.push_back(top.front());
    return outline;
}

// Two faults crossing the slope, as white line strips a few metres above the terrain.
osg::ref_ptr<osg::Geode> geologicalLines(const ValleyGrid& before, double toeX, double toeY, int side) {
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    for (const auto& [upSlope, rise] : {std::pair{700.0, 0.15}, std::pair{1350.0, -0.2}}) {
        osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
        for (double east = -400.0; east <= 2600.0; east += 100.0) {
            const double x = toeX + east;
            const double y = toeY + side * (upSlope + rise * east);
            vertices->push_back(osg::Vec3(x, y, terrainHeight(before, x, y) + 8.0));
        }
        osg::ref_ptr<osg::Vec4Array> white = new osg::Vec4Array;
        white->push_back(osg::Vec4(1, 1, 1, 1));
        osg::ref_ptr<osg::Geometry> line = new osg::Geometry;
        line->setVertexArray(vertices);
        line->setColorArray(white, osg::Array::BIND_OVERALL);
        line->addPrimitiveSet(new osg::DrawArrays(GL_LINE_STRIP, 0, vertices->size()));
        geode->addDrawable(line);
    }
    return geode;
}

XmlEntry triple(const char* tag, const osg::Vec3d& at) {
    return {tag, {{"X", number(at.x())}, {"Y", number(at.y())}, {"Z", number(at.z())}}};
}

XmlEntry textEntry(const std::string& text) {
    return {"text", {{"textstr", text}}};
}

bool fail(const std::string& name, const std::string& what) {
    std::cerr << "vantorel-demo-data: " << what << " of " << name << "\n";
    return false;
}

// The frames a landslide run writes; the last is the state after the slide.
constexpr int slideFrames = 101;

// Keeps frames 1, 1 + step, 1 + 2 step, ... and the last of the slide's result models in `play`,
// renumbered 1, 2, 3, ...; the others go. False, naming the file, when one cannot be moved or removed.
bool keepEveryFrame(const QString& play, int step, std::string& problem) {
    QDir folder(play);
    int kept = 0;
    for (int frame = 1; frame <= slideFrames; ++frame) {
        const QString name = QString::number(frame) + ".ive";
        if ((frame - 1) % step == 0 || frame == slideFrames) {
            // Every lower number is gone or taken by an earlier kept frame: the new name is free.
            const QString keptName = QString::number(++kept) + ".ive";
            if (keptName != name && !folder.rename(name, keptName)) {
                problem = folder.filePath(name).toStdString() + " cannot be renamed";
                return false;
            }
        } else if (!folder.remove(name)) {
            problem = folder.filePath(name).toStdString() + " cannot be removed";
            return false;
        }
    }
    return true;
}

}  // namespace

std::vector<LandslideCaseDesign> landslideCases() {
    return {
        {"金江滑坡",
         1,
         {{"1935年 左岸崩塌堵江", 300, 900},
          {"1967年 滑坡堵江断流九日", 1200, 1300},
          {"2005年 坡体前缘开裂", 2000, 1600}},
         "北东向断裂破碎带",
         "金江滑坡 滑源区",
         "连降暴雨 214毫米",
         "金江堰塞湖"},
        {"茂滑坡",
         -1,
         {{"1933年 地震诱发崩塌", 400, 800}, {"1981年 暴雨滑坡", 1500, 1400}},
         "顺层岩质边坡",
         "茂滑坡 滑源区",
         "持续降雨 156毫米",
         "茂县堰塞湖"},
    };
}

bool buildLandslideCase(const LandslideCaseDesign& design, const ValleyDesign& valley, const QString& folder,
                        const QString& batch, int frameStep) {
    const std::string root = folder.toStdString();
    for (const char* sub : {"/Disaster_DiXing", "/Disaster_Data", "/Disaster_Signs", "/Landslide_Play"}) {
        if (!QDir().mkpath(folder + sub)) {
            return fail(design.name, "cannot create the folders");
        }
    }
    // The dammed valley, and the same valley before the slide dammed it.
    const ValleyGrid dammed = makeValley(valley);
    ValleyDesign undammed = valley;
    undammed.damHeight = 0.0;
    const ValleyGrid before = makeValley(undammed);
    const int dam = dammed.damColumn;
    const double toeX = dammed.cellX(dam);
    const double toeY = dammed.cellY(dammed.floorRow[dam]);
    const double floor = before.at(dammed.floorRow[dam], dam);
    const double crest = dammed.at(dammed.floorRow[dam], dam - 1);
    const int side = design.side;

    const std::string terrain = root + "/Disaster_DiXing/terrain.ive";
    const std::string data = root + "/Disaster_Data";
    const std::string signs = root + "/Disaster_Signs";
    const std::string play = root + "/Landslide_Play";
    const Slide slide = layOutSlide(before, toeX, toeY, side);
    if (!osgDB::writeNodeFile(*buildTerrainMesh(before), terrain) || !writeSlideRasters(slide, data) ||
        !osgDB::writeNodeFile(*geologicalLines(before, toeX, toeY, side), signs + "/geology.ive")) {
        return fail(design.name, "cannot write the terrain and the slide rasters");
    }

    // The filling lake ends at the level of the flood stage's lake (the dam crest less 5 m), which the
    // filling reaches 19 m above the top of its model.
    const double lakeTop = crest - 5.0 - 19.0;
    const std::vector<osg::Vec3d> lake = {{toeX - 1600, toeY - 900, lakeTop},
                                          {toeX - 200, toeY - 900, lakeTop},
                                          {toeX - 200, toeY + 900, lakeTop},
                                          {toeX - 1600, toeY + 900, lakeTop}};
    const osg::Vec3d slidePoint(toeX + 300, toeY + side * 300,
                                terrainHeight(before, toeX + 300, toeY + side * 300) + 40);
    const std::vector<NamedShape> outlineShapes{NamedShape{"", slideOutline(slide, before)}};
    const std::vector<NamedShape> lakeShapes{NamedShape{design.lakeName, lake}};
    const std::vector<NamedShape> pointShapes{NamedShape{design.name, {slidePoint}}};
    if (!writeShapefile(signs + "/boundary.shp", ShapeKind::Lines, outlineShapes) ||
        !writeShapefile(signs + "/BarrierLake.shp", ShapeKind::Polygons, lakeShapes) ||
        !writeShapefile(signs + "/landslide.shp", ShapeKind::Points, pointShapes)) {
        return fail(design.name, "cannot write the outline, lake and slide point");
    }

    // The slide's frames, computed by the program's own landslide run.
    QProcess run;
    run.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    run.start(batch, {"landslide", "--deposit", QString::fromStdString(data + "/deposit.tif"), "--path",
                      QString::fromStdString(data + "/path.tif"), "--body",
                      QString::fromStdString(data + "/body.tif"), "--image",
                      QString::fromStdString(data + "/image.tif"), "--centreline",
                      QString::fromStdString(data + "/centreline.tif"), "--mosaic",
                      QString::fromStdString(data + "/mosaic.tif"), "--post-dem",
                      QString::fromStdString(data + "/postdem.tif"), "--format", ".ive", "--out",
                      QString::fromStdString(play),
                      // A folder built before holds the frames of that build.
                      "--overwrite"});
    if (!run.waitForFinished(-1) || run.exitStatus() != QProcess::NormalExit || run.exitCode() != 0) {
        std::cerr << run.readAllStandardOutput().toStdString();
        return fail(design.name, "the landslide run failed");
    }
    std::string problem;
    if (frameStep > 1 && !keepEveryFrame(QString::fromStdString(play), frameStep, problem)) {
        return fail(design.name, "the slide's frames: " + problem);
    }

    auto above = [&](double east, double upSlope, double lift) {
        const double x = toeX + east;
        const double y = toeY + side * upSlope;
        return osg::Vec3d(x, y, terrainHeight(before, x, y) + lift);
    };
    XmlCategory history{"lishizaihai", {}};
    for (const LandslideCaseDesign::History& disaster : design.history) {
        history.entries.push_back(textEntry(disaster.text));
        history.entries.push_back(triple("pos", above(disaster.east, disaster.upSlope, 350)));
    }
    // Across the valley from the slide, looking at it and at the title floating above it.
    const double openingEye[3] = {toeX + 300, toeY - side * 6000, floor + 5500};
    const double openingCenter[3] = {toeX + 300, toeY + side * 700, floor + 300};
    const double up[3] = {0, 0, 1};
    // Above the valley downstream of the dam, for the lake and the flood.
    const double floodEye[3] = {toeX + 1000, toeY - 6500, floor + 7000};
    const double floodCenter[3] = {toeX + 500, toeY + 200, floor};
    const std::vector<XmlCategory> scenario = {
        {"Path", {pathEntry(terrain)}},
        {"Camera1", cameraEntries(openingEye, openingCenter, up)},
        {"Camera2", cameraEntries(floodEye, floodCenter, up)},
        history,
        {"dizhijiegou",
         {triple("pos", above(500, 1800, 300)), textEntry(design.structureNote),
          XmlEntry{"location", {{"strPath", signs + "/geology.ive"}}}}},
        {"DiZhiXian", {pathEntry(signs + "/geology.ive")}},
        {"boundary",
         {XmlEntry{"location", {{"strPath", signs + "/boundary.shp"}}}, textEntry(design.boundaryName),
          triple("pos", above(1200, 1000, 250))}},
        {"rainDescribe", {textEntry(design.rainText), triple("pos", above(-1400, 1400, 900))}},
        {"landslide",
         {XmlEntry{"path", {{"strPath", play}}},
          XmlEntry{"location", {{"LocationFile", signs + "/landslide.shp"}}}, triple("pos", slidePoint)}},
        {"BarrierLake",
         {XmlEntry{"path", {{"strPath", signs + "/BarrierLake.shp"}}}, textEntry(design.lakeName)}},
    };
    if (!writeSceneXml(root + "/LandslideXML.xml", "Scene", scenario)) {
        return fail(design.name, "cannot write LandslideXML.xml");
    }
    return true;
}
