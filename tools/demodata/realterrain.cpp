#include "realterrain.h"

#include <cpl_vsi.h>

#include <cstring>
#include <iostream>
#include <memory>
#include <regex>

#include "casefiles.h"
#include "casestudy.h"
#include "fileio.h"
#include "georaster.h"
#include "gridreader.h"

namespace {

struct VsiFile {
    VSILFILE* handle = nullptr;
    ~VsiFile() {
        if (handle != nullptr) {
            VSIFCloseL(handle);
        }
    }
};

// A value of the array's type, from its little-endian bytes.
double valueAt(const unsigned char* bytes, char kind, int size) {
    unsigned char ordered[8] = {};
    std::memcpy(ordered, bytes, static_cast<std::size_t>(size));
    // The archive is little-endian, as the header's "<" says; so is every processor this runs on.
    if (kind == 'f') {
        if (size == 4) {
            float value;
            std::memcpy(&value, ordered, 4);
            return value;
        }
        double value;
        std::memcpy(&value, ordered, 8);
        return value;
    }
    long long value = 0;
    std::memcpy(&value, ordered, static_cast<std::size_t>(size));
    if (kind == 'i' && size < 8 && (ordered[size - 1] & 0x80)) {
        value -= 1LL << (8 * size);
    }
    return static_cast<double>(value);
}

}  // namespace

bool readNpzArray(const std::string& path, const std::string& name, NpyArray& array, std::string& problem) {
    const std::string where = "\"" + path + "\", array " + name;
    // Checked as every file handed to GDAL by its path: a pipe in its place or among its companions
    // ("x.npz.aux.xml") would hold a reader in open() for good.
    if (regularFileStatus(path, problem) != FileReadStatus::ok || !checkDataFile(path, problem)) {
        return false;
    }
    VsiFile file;
    // Braces, because GDAL knows a zip archive by its extension only otherwise.
    file.handle = VSIFOpenL(("/vsizip/{" + path + "}/" + name + ".npy").c_str(), "rb");
    if (file.handle == nullptr) {
        problem = where + ": no such array in the archive";
        return false;
    }
    std::vector<unsigned char> bytes;
    unsigned char chunk[65536];
    std::size_t read = 0;
    // The largest array taken: a DEM of some 16 million cells of 8 bytes.
    constexpr std::size_t largest = std::size_t(128) << 20;
    while ((read = VSIFReadL(chunk, 1, sizeof chunk, file.handle)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + read);
        if (bytes.size() > largest) {
            problem = where + ": larger than " + std::to_string(largest) + " bytes";
            return false;
        }
    }
    if (bytes.size() < 10 || std::memcmp(bytes.data(), "\x93NUMPY", 6) != 0) {
        problem = where + ": not a NumPy array";
        return false;
    }
    const int major = bytes[6];
    const std::size_t lengthBytes = major == 1 ? 2 : 4;
    std::size_t headerLength = 0;
    for (std::size_t i = 0; i < lengthBytes; ++i) {
        headerLength |= static_cast<std::size_t>(bytes[8 + i]) << (8 * i);
    }
    const std::size_t dataStart = 8 + lengthBytes + headerLength;
    if (dataStart > bytes.size()) {
        problem = where + ": its header is cut short";
        return false;
    }
    const std::string header(bytes.begin() + static_cast<long>(8 + lengthBytes),
                             bytes.begin() + static_cast<long>(dataStart));
    std::smatch type;
    std::smatch shape;
    if (!std::regex_search(header, type, std::regex("'descr': *'([<|])([iuf])([1248])'")) ||
        header.find("'fortran_order': False") == std::string::npos ||
        !std::regex_search(header, shape, std::regex("'shape': *\\(([0-9, ]*)\\)"))) {
        problem = where + ": not a little-endian array of numbers in C order (" + header + ")";
        return false;
    }
    const char kind = type[2].str()[0];
    const int size = std::stoi(type[3].str());
    if (kind == 'f' && size < 4) {
        problem = where + ": half-precision floats are not read";
        return false;
    }
    array.shape.clear();
    std::size_t count = 1;
    const std::string dimensions = shape[1].str();
    const std::regex digits("[0-9]+");
    for (std::sregex_iterator it(dimensions.begin(), dimensions.end(), digits), end; it != end; ++it) {
        array.shape.push_back(std::stoul(it->str()));
        count *= array.shape.back();
    }
    if (count * static_cast<std::size_t>(size) != bytes.size() - dataStart) {
        problem = where + ": its " + std::to_string(bytes.size() - dataStart) +
                  " bytes of values do not fit its shape";
        return false;
    }
    array.values.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        array.values[i] = valueAt(&bytes[dataStart + i * static_cast<std::size_t>(size)], kind, size);
    }
    return true;
}

bool buildRealTerrainCase(const std::string& archive, const std::string& tifPath, const QString& folder,
                          const QString& batch, int results) {
    const auto fail = [](const std::string& problem) {
        std::cerr << "vantorel-demo-data: the case on real terrain: " << problem << "\n";
        return false;
    };
    std::string problem;
    NpyArray elevation;
    NpyArray west;
    NpyArray north;
    NpyArray cellX;
    NpyArray cellY;
    // The archive calls the latitude of its first (northern) row "ymin".
    if (!readNpzArray(archive, "elevation", elevation, problem) ||
        !readNpzArray(archive, "xmin", west, problem) || !readNpzArray(archive, "ymin", north, problem) ||
        !readNpzArray(archive, "dx", cellX, problem) || !readNpzArray(archive, "dy", cellY, problem)) {
        return fail(problem);
    }
    if (elevation.shape.size() != 2 || west.values.size() != 1 || north.values.size() != 1 ||
        cellX.values.size() != 1 || cellY.values.size() != 1) {
        return fail("\"" + archive + "\" does not hold a DEM with its corner and cell size");
    }
    RasterFrame frame;
    frame.height = static_cast<int>(elevation.shape[0]);
    frame.width = static_cast<int>(elevation.shape[1]);
    frame.geoTransform = {west.values[0], cellX.values[0], 0.0, north.values[0], 0.0, -cellY.values[0]};
    frame.projection =
        "GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,298.257223563]],"
        "PRIMEM[\"Greenwich\",0],UNIT[\"degree\",0.0174532925199433],AUTHORITY[\"EPSG\",\"4326\"]]";
    const std::vector<float> heights(elevation.values.begin(), elevation.values.end());
    if (!writeGeoTiff(tifPath, frame, heights, std::nullopt, problem)) {
        return fail(problem);
    }

    CaseStudySettings settings;
    settings.demPath = tifPath;
    // A plateau valley west of the fault, some 130 m deep, that drains west for 7 km.
    settings.damPoints = {{-84.30083, 36.61667}};
    settings.capacity = 30000000;
    settings.breachWidth = 120;
    settings.breachHeight = 40;
    settings.manning = 0.05;
    settings.name = realTerrainCaseName;
    settings.folder = folder.toStdString();
    CaseStudyReport report;
    if (!prepareCaseStudy(settings, report, problem)) {
        return fail(problem);
    }
    return runBatch(batch,
                    {"flood",
                     "--roughness",
                     QString::fromStdString(report.roughness),
                     "--dem",
                     QString::fromStdString(report.elevation),
                     "--outbreak",
                     QString::fromStdString(report.outbreak),
                     "--capacity",
                     QString::number(settings.capacity, 'f', 0),
                     "--width",
                     QString::number(settings.breachWidth),
                     "--height",
                     QString::number(settings.breachHeight),
                     "--format",
                     ".ive",
                     "--results",
                     QString::number(results),
                     "--out",
                     QString::fromStdString(report.results),
                     "--overwrite"},
                    std::string("flood run of ") + realTerrainCaseName);
}
