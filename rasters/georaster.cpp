#include "georaster.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_vsi.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "fileio.h"
#include "gdaldataset.h"

std::string gdalReason() {
    const char* message = CPLGetLastErrorMsg();
    return message && *message ? std::string(" (") + message + ")" : std::string();
}

QuietGdal::QuietGdal() {
    CPLPushErrorHandler(CPLQuietErrorHandler);
    CPLErrorReset();
}

QuietGdal::~QuietGdal() {
    CPLPopErrorHandler();
}

std::string memoryFilePath(const std::string& extension) {
    static std::atomic<unsigned> serial{0};
    return "/vsimem/vantorel-" + std::to_string(serial++) + extension;
}

std::optional<std::string> takeMemoryFile(const std::string& path) {
    vsi_l_offset length = 0;
    GByte* buffer = VSIGetMemFileBuffer(path.c_str(), &length, TRUE);
    if (buffer == nullptr) {
        return std::nullopt;
    }
    std::string bytes(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(length));
    VSIFree(buffer);
    return bytes;
}

RasterFrame asciiGridFrame(int cols, int rows, double cellSize, double lowerLeftX, double lowerLeftY,
                           const std::string& projection) {
    RasterFrame frame;
    frame.width = cols;
    frame.height = rows;
    frame.geoTransform = {lowerLeftX, cellSize, 0.0, lowerLeftY + rows * cellSize, 0.0, -cellSize};
    frame.projection = projection;
    return frame;
}

bool writeGeoTiff(const std::string& path, const RasterFrame& frame, const std::vector<float>& values,
                  std::optional<double> noData, std::string& problem) {
    // Made in memory and written whole through a temporary file, so that a full disk or an interrupted
    // run never leaves a raster cut short under the result's name.
    std::string bytes;
    return geoTiffBytes(path, frame, values, noData, bytes, problem) &&
           writeFileAtomically(path, bytes, problem);
}

bool geoTiffBytes(const std::string& path, const RasterFrame& frame, const std::vector<float>& values,
                  std::optional<double> noData, std::string& bytes, std::string& problem) {
    bytes.clear();
    if (frame.width < 1 || frame.height < 1 || values.size() != frame.cellCount()) {
        problem = quoted(path) + ": the grid does not match its " + std::to_string(frame.width) + " x " +
                  std::to_string(frame.height) + " frame";
        return false;
    }
    GDALAllRegister();
    QuietGdal quiet;
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
    if (!driver) {
        problem = "GDAL has no GTiff driver";
        return false;
    }
    const std::string memoryFile = memoryFilePath(".tif");
    GdalDatasetHandle dataset(
        driver->Create(memoryFile.c_str(), frame.width, frame.height, 1, GDT_Float32, nullptr));
    if (!dataset) {
        problem = quoted(path) + " cannot be created" + gdalReason();
        return false;
    }
    georeference(*dataset, frame);
    GDALRasterBand* band = dataset->GetRasterBand(1);
    if (noData) {
        band->SetNoDataValue(*noData);
    }
    const CPLErr written =
        band->RasterIO(GF_Write, 0, 0, frame.width, frame.height, const_cast<float*>(values.data()),
                       frame.width, frame.height, GDT_Float32, 0, 0);
    // Closing flushes the file; a failure there shows only as GDAL's last error.
    dataset.reset();
    const std::optional<std::string> made = takeMemoryFile(memoryFile);
    if (written != CE_None || CPLGetLastErrorType() == CE_Failure || !made) {
        problem = quoted(path) + " cannot be written" + gdalReason();
        return false;
    }
    bytes = *made;
    return true;
}

std::string projectionBesideGrid(const std::string& gridPath, std::string& problem) {
    const std::filesystem::path prjPath = std::filesystem::path(gridPath).replace_extension(".prj");
    std::error_code error;
    if (!std::filesystem::is_regular_file(prjPath, error)) {
        return {};
    }
    // A coordinate system is a few kilobytes at most; anything far larger is not one.
    constexpr std::uintmax_t largestPrj = 1 << 20;
    if (std::filesystem::file_size(prjPath, error) > largestPrj || error) {
        problem = quoted(prjPath.string()) + " is too large to be a coordinate system";
        return {};
    }
    std::ifstream file(prjPath, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    if (!file) {
        problem = quoted(prjPath.string()) + " cannot be read";
        return {};
    }
    // ".prj" files hold ESRI's dialect of WKT (or, from older tools, its keyword lines); GDAL reads both.
    std::string content = text.str();
    QuietGdal quiet;
    OGRSpatialReference reference;
    OGRErr parsed = reference.importFromWkt(content.c_str());
    if (parsed != OGRERR_NONE) {
        CPLStringList lines(CSLTokenizeString2(content.c_str(), "\r\n", 0));
        parsed = reference.importFromESRI(lines.List());
    }
    char* wkt = nullptr;
    if (parsed != OGRERR_NONE || reference.IsEmpty() || reference.exportToWkt(&wkt) != OGRERR_NONE) {
        CPLFree(wkt);
        problem = quoted(prjPath.string()) + " holds no coordinate system GDAL can read" + gdalReason();
        return {};
    }
    std::string result = wkt;
    CPLFree(wkt);
    return result;
}
