// A case study from a small DEM in degrees, as a user with a GeoTIFF of their own valley makes it: the
// case folder, its scene list entry, the flood computed on it, and the messages for bad input.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ogr_spatialref.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <cmath>
#include <memory>

#include "casestudy.h"
#include "configreader.h"
#include "scenelist.h"
#include "testfiles.h"
#include "testrasters.h"

namespace {

// Longitude and latitude of the valley's dam, in UTM zone 48N.
constexpr double damLongitude = 102.03;
constexpr double damLatitude = 30.02;
constexpr double degreesPerCell = 0.0005;
constexpr int columns = 120;
constexpr int rows = 100;

// A valley whose floor falls 1 % to the north-west, with sides rising 10 % across it, as a GeoTIFF in
// longitude and latitude (no coordinate system when `epsg` is 0).
void writeValleyInDegrees(const std::string& path, int epsg) {
    const double west = damLongitude - columns / 2 * degreesPerCell;
    const double north = damLatitude + rows / 2 * degreesPerCell;
    const double metresEast = 111320 * std::cos(damLatitude * M_PI / 180);
    const double metresNorth = 110900;
    const double down[2] = {-std::sqrt(0.5), std::sqrt(0.5)};
    std::vector<double> heights;
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            const double x = (west + (column + 0.5) * degreesPerCell - damLongitude) * metresEast;
            const double y = (north - (row + 0.5) * degreesPerCell - damLatitude) * metresNorth;
            const double along = x * down[0] + y * down[1];
            const double across = -x * down[1] + y * down[0];
            heights.push_back(800 - 0.01 * along + 0.1 * std::fabs(across));
        }
    }
    writeTestRaster(path, columns, rows, heights,
                    std::array<double, 6>{west, degreesPerCell, 0, north, 0, -degreesPerCell}, epsg);
}

std::pair<double, double> toUtm48(double longitude, double latitude) {
    OGRSpatialReference from;
    OGRSpatialReference to;
    from.importFromEPSG(4326);
    to.importFromEPSG(32648);
    from.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    std::unique_ptr<OGRCoordinateTransformation> transform(OGRCreateCoordinateTransformation(&from, &to));
    transform->Transform(1, &longitude, &latitude);
    return {longitude, latitude};
}

class CaseStudyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        writeValleyInDegrees(path("valley.tif"), 4326);
        settings.demPath = path("valley.tif");
        settings.damPoints = {{damLongitude, damLatitude}};
        settings.capacity = 2e6;
        settings.breachWidth = 60;
        settings.breachHeight = 10;
        settings.name = "my valley";
        settings.folder = path("case");
        settings.sceneList = path("TreeMeta.json");
    }
    std::string path(const std::string& name) const {
        return folder.filePath(QString::fromStdString(name)).toStdString();
    }

    QTemporaryDir folder;
    CaseStudySettings settings;
    CaseStudyReport report;
    std::string problem;
};

TEST_F(CaseStudyTest, DemInDegreesBecomesACaseWhoseFloodRunsBelowTheDam) {
    // A scene list with a case of its own, which stays.
    writeTextFile(settings.sceneList,
                  "{\"test\": [{\"name\": \"old\", \"path\": \"/data/old\", \"type\": \"2\"}]}");
    ASSERT_TRUE(prepareCaseStudy(settings, report, problem)) << problem;
    EXPECT_EQ(report.coordinateSystem, "WGS 84 / UTM zone 48N");
    // 0.0005 degrees are some 48 m east and 55 m north: cells of 51 m.
    EXPECT_NEAR(report.cellSize, 51, 1.5);
    const std::optional<RasterContents> dem = readRaster(report.elevation);
    ASSERT_TRUE(dem);
    EXPECT_TRUE(isSameCoordinateSystem(dem->projection, 32648));
    const std::list<FileManage> scenes = readSceneList(QString::fromStdString(settings.sceneList));
    ASSERT_EQ(scenes.size(), 2u);
    EXPECT_EQ(scenes.front().name, "old");
    EXPECT_EQ(scenes.back().name, "my valley");
    EXPECT_EQ(scenes.back().path.toStdString(), path("case"));
    EXPECT_EQ(scenes.back().type, "1");
    SceneCatalog catalog;
    catalog.scenes = scenes;
    catalog.currentScene = "my valley";
    QString configPath;
    SceneConfigReader config(catalog);
    EXPECT_EQ(config.readConfigValues(configPath, "Path"), std::vector<std::string>{report.model});
    EXPECT_EQ(config.readConfigValues(configPath, "Play"),
              std::vector<std::string>{path("case/Disaster_Play")});
    const std::vector<std::string> camera = config.readConfigValues(configPath, "Camera");
    ASSERT_EQ(camera.size(), 9u);
    // Above the dam, upstream (south-east) of it, looking north-west.
    const auto [damX, damY] = toUtm48(damLongitude, damLatitude);
    EXPECT_GT(std::stod(camera[0]), damX);
    EXPECT_LT(std::stod(camera[1]), damY);
    EXPECT_GT(std::stod(camera[2]), 810);
    EXPECT_LT(std::stod(camera[3]), damX);
    EXPECT_GT(std::stod(camera[4]), damY);
    EXPECT_NE(readTextFile(path("case/Disaster_Signs/mark.xml")).find("my valley dam"), std::string::npos);
    EXPECT_EQ(readTextFile(path("case/Disaster_Data/HNW.txt")), "60");

    // The outbreak cells: the breach across the valley at the dam point.
    const std::string outbreak = readTextFile(report.outbreak);
    std::istringstream cells(outbreak);
    int count = 0;
    cells >> count;
    ASSERT_GE(count, 1);
    const double west = dem->geoTransform[0];
    const double south = dem->geoTransform[3] + dem->height * dem->geoTransform[5];
    for (int i = 0; i < count; ++i) {
        int column = 0, rowFromBottom = 0;
        cells >> column >> rowFromBottom;
        const double x = west + (column + 0.5) * report.cellSize;
        const double y = south + (rowFromBottom - 0.5) * report.cellSize;
        EXPECT_LT(std::hypot(x - damX, y - damY), 30 + 1.5 * report.cellSize) << outbreak;
        // On the line across the valley through the dam point, not up or down the valley.
        const double along = -(x - damX) * std::sqrt(0.5) + (y - damY) * std::sqrt(0.5);
        EXPECT_LT(std::fabs(along), 1.5 * report.cellSize) << outbreak;
    }

    // The flood on the case's inputs, headless.
    const QStringList arguments = {"flood",
                                   "--roughness",
                                   QString::fromStdString(report.roughness),
                                   "--dem",
                                   QString::fromStdString(report.elevation),
                                   "--outbreak",
                                   QString::fromStdString(report.outbreak),
                                   "--capacity",
                                   "2000000",
                                   "--width",
                                   "60",
                                   "--height",
                                   "10",
                                   "--every",
                                   "20",
                                   "--until",
                                   "200",
                                   "--out",
                                   QString::fromStdString(report.results),
                                   "--overwrite"};
    const ProgramRun batch = runProgram(VANTOREL_BATCH, arguments);
    ASSERT_EQ(batch.exitCode, 0) << batch.out << batch.err;
    const std::optional<RasterContents> maxDepth = readRaster(report.results + "_summary/maxDepth.tif");
    ASSERT_TRUE(maxDepth);
    EXPECT_TRUE(isSameCoordinateSystem(maxDepth->projection, 32648));
    EXPECT_EQ(maxDepth->geoTransform, dem->geoTransform);
    // Every wet cell lies inside the DEM's footprint and below the dam.
    OGRSpatialReference utm;
    OGRSpatialReference geographic;
    utm.importFromEPSG(32648);
    geographic.importFromEPSG(4326);
    geographic.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    std::unique_ptr<OGRCoordinateTransformation> back(OGRCreateCoordinateTransformation(&utm, &geographic));
    int wet = 0;
    for (int row = 0; row < maxDepth->height; ++row) {
        for (int column = 0; column < maxDepth->width; ++column) {
            if (!(maxDepth->at(row, column) > 0.0f)) {
                continue;
            }
            ++wet;
            double x = west + (column + 0.5) * report.cellSize;
            double y = dem->geoTransform[3] - (row + 0.5) * report.cellSize;
            const double along = -(x - damX) * std::sqrt(0.5) + (y - damY) * std::sqrt(0.5);
            // Cells of the dam's line lie up to a cell to either side of it.
            EXPECT_GT(along, -1.5 * report.cellSize) << row << ", " << column;
            ASSERT_TRUE(back->Transform(1, &x, &y));
            EXPECT_GT(x, damLongitude - columns / 2 * degreesPerCell);
            EXPECT_LT(x, damLongitude + columns / 2 * degreesPerCell);
            EXPECT_GT(y, damLatitude - rows / 2 * degreesPerCell);
            EXPECT_LT(y, damLatitude + rows / 2 * degreesPerCell);
        }
    }
    EXPECT_GT(wet, 20) << batch.out << batch.err << readTextFile(report.outbreak);

    // Prepared again into its own folder, the case replaces itself and keeps one scene list entry.
    ASSERT_TRUE(prepareCaseStudy(settings, report, problem)) << problem;
    EXPECT_EQ(readSceneList(QString::fromStdString(settings.sceneList)).size(), 2u);
}

TEST_F(CaseStudyTest, BadInputIsRefusedNamingTheFile) {
    writeValleyInDegrees(path("no-crs.tif"), 0);
    // An image far away, in Sichuan's neighbour zone.
    writeTestRaster(path("far-image.tif"), 4, 4, std::vector<double>(16, 200),
                    std::array<double, 6>{90.0, 0.01, 0, 20.0, 0, -0.01}, 4326);
    // Land cover of two classes, one without an n in the table.
    std::vector<double> classes(columns * rows, 11);
    std::fill(classes.begin(), classes.begin() + columns * 10, 42);
    writeTestRaster(path("cover.tif"), columns, rows, classes,
                    std::array<double, 6>{damLongitude - columns / 2 * degreesPerCell, degreesPerCell, 0,
                                          damLatitude + rows / 2 * degreesPerCell, 0, -degreesPerCell},
                    4326);
    writeTextFile(path("table.txt"), "# class n\n11 0.04\n");
    writeTextFile(path("bad-table.txt"), "11 0.04\n12, fast\n");
    writeTextFile(path("words.tif"), "no raster at all");
    writeTextFile(path("case-of-mine/notes.txt"), "mine");
    writeValleyInDegrees(path("piped.tif"), 0);
    ASSERT_EQ(::mkfifo(path("piped.tif.aux.xml").c_str(), 0600), 0);
    const auto with = [this](const std::function<void(CaseStudySettings&)>& change) {
        CaseStudySettings changed = settings;
        change(changed);
        return changed;
    };
    const struct {
        const char* name;
        CaseStudySettings settings;
        std::string message;
    } cases[] = {
        {"DEM without a coordinate system",
         with([this](CaseStudySettings& s) { s.demPath = path("no-crs.tif"); }),
         "the DEM \"" + path("no-crs.tif") + "\" has no coordinate system; give it one"},
        {"coordinate system given that GDAL does not know", with([this](CaseStudySettings& s) {
             s.demPath = path("no-crs.tif");
             s.dem.coordinateSystem = "EPSG:999999";
         }),
         "the coordinate system \"EPSG:999999\" given for the DEM \"" + path("no-crs.tif") + "\""},
        {"DEM that is no raster", with([this](CaseStudySettings& s) { s.demPath = path("words.tif"); }),
         "the DEM \"" + path("words.tif") + "\" is no raster GDAL reads"},
        {"DEM with a pipe as its companion", with([this](CaseStudySettings& s) { s.demPath = path("piped.tif"); }),
         "the DEM: \"" + path("piped.tif.aux.xml") + "\", beside"},
        {"missing DEM", with([this](CaseStudySettings& s) { s.demPath = path("none.tif"); }),
         "the DEM: cannot open \"" + path("none.tif") + "\""},
        {"dam outside the DEM", with([](CaseStudySettings& s) {
             s.damPoints = {{103.5, 30.02}};
         }),
         "lies outside the DEM"},
        {"image not overlapping it",
         with([this](CaseStudySettings& s) { s.imagePath = path("far-image.tif"); }),
         "the image \"" + path("far-image.tif") + "\" does not overlap the DEM"},
        {"land-cover class without an n", with([this](CaseStudySettings& s) {
             s.landCoverPath = path("cover.tif");
             s.roughnessTablePath = path("table.txt");
         }),
         "the land-cover class 42 of \"" + path("cover.tif") +
             "\" has no Manning's n in the roughness table \"" + path("table.txt") + "\""},
        {"table line without a number", with([this](CaseStudySettings& s) {
             s.landCoverPath = path("cover.tif");
             s.roughnessTablePath = path("bad-table.txt");
         }),
         "the roughness table \"" + path("bad-table.txt") +
             "\", line 2: \"12  fast\" is not a class and its Manning's n"},
        {"folder holding other files",
         with([this](CaseStudySettings& s) { s.folder = path("case-of-mine"); }),
         "holds files the data tool did not write"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(prepareCaseStudy(c.settings, report, problem)) << c.name;
        EXPECT_NE(problem.find(c.message), std::string::npos) << c.name << ": " << problem;
    }
    EXPECT_EQ(readTextFile(path("case-of-mine/notes.txt")), "mine");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(settings.sceneList)));

    // With an n for class 42 the same land cover makes the case, each cell with its class's n.
    writeTextFile(path("table.txt"), "11 0.04\n42 = 0.1\n");
    CaseStudySettings covered = settings;
    covered.landCoverPath = path("cover.tif");
    covered.roughnessTablePath = path("table.txt");
    ASSERT_TRUE(prepareCaseStudy(covered, report, problem)) << problem;
    const std::optional<RasterContents> roughness = readRaster(report.roughness);
    ASSERT_TRUE(roughness);
    std::map<float, int> counts;
    for (const float n : roughness->values) {
        ++counts[n];
    }
    EXPECT_GT(counts[0.04f], counts[0.1f]);
    EXPECT_GT(counts[0.1f], 0);
}

}  // namespace
