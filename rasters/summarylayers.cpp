#include "summarylayers.h"

#include <cpl_string.h>
#include <gdal_alg.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <memory>

#include "fileio.h"
#include "gdaldataset.h"
#include "summaryfiles.h"

namespace {

bool matchesFrame(const RasterFrame& frame, std::size_t values) {
    return frame.width > 0 && frame.height > 0 && values == frame.cellCount();
}

}  // namespace

bool writeSummaryClasses(const std::string& folder, const std::string& name, const RasterFrame& frame,
                         const std::vector<std::uint8_t>& classes, const std::vector<RasterClass>& legend,
                         std::string& problem) {
    const std::string path = folder + "/" + name;
    if (!matchesFrame(frame, classes.size())) {
        problem = quoted(path) + ": the classes do not match their frame";
        return false;
    }
    if (!makeSummaryFolder(folder, problem)) {
        return false;
    }
    GDALAllRegister();
    QuietGdal quiet;
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
    const std::string memoryFile = memoryFilePath(".tif");
    GdalDatasetHandle dataset(
        driver ? driver->Create(memoryFile.c_str(), frame.width, frame.height, 1, GDT_Byte, nullptr)
               : nullptr);
    if (!dataset) {
        problem = quoted(path) + " cannot be created" + gdalReason();
        return false;
    }
    georeference(*dataset, frame);
    GDALRasterBand* band = dataset->GetRasterBand(1);
    band->SetNoDataValue(0);
    GDALColorTable colours;
    CPLStringList names;
    const GDALColorEntry none{0, 0, 0, 0};
    colours.SetColorEntry(0, &none);
    names.AddString("");
    for (const RasterClass& rasterClass : legend) {
        const GDALColorEntry entry{rasterClass.red, rasterClass.green, rasterClass.blue, 255};
        colours.SetColorEntry(rasterClass.value, &entry);
        while (names.size() < rasterClass.value) {
            names.AddString("");
        }
        names.AddString(rasterClass.name.c_str());
    }
    band->SetColorTable(&colours);
    band->SetCategoryNames(names.List());
    const CPLErr written = band->RasterIO(GF_Write, 0, 0, frame.width, frame.height,
                                          const_cast<std::uint8_t*>(classes.data()), frame.width,
                                          frame.height, GDT_Byte, 0, 0);
    dataset.reset();
    const std::optional<std::string> bytes = takeMemoryFile(memoryFile);
    // The category names live in GDAL's side file; GIS tools look for it beside the raster.
    const std::optional<std::string> sideFile = takeMemoryFile(memoryFile + ".aux.xml");
    if (written != CE_None || CPLGetLastErrorType() == CE_Failure || !bytes || !sideFile) {
        problem = quoted(path) + " cannot be written" + gdalReason();
        return false;
    }
    return writeFileAtomically(path + ".aux.xml", *sideFile, problem, LinkAtPath::replace) &&
           writeFileAtomically(path, *bytes, problem, LinkAtPath::replace);
}

bool extentAndIsochronesPackage(const std::string& path, const RasterFrame& frame,
                                const std::vector<float>& depth, float wetDepth,
                                const std::vector<float>& arrivalSeconds, double intervalMinutes,
                                std::string& package, std::string& problem) {
    if (!matchesFrame(frame, depth.size()) || !matchesFrame(frame, arrivalSeconds.size())) {
        problem = quoted(path) + ": the grids do not match their frame";
        return false;
    }
    if (!(intervalMinutes > 0.0)) {
        problem = quoted(path) + ": the isochrone interval must be above 0 minutes";
        return false;
    }
    std::vector<std::uint8_t> wet(depth.size());
    std::vector<float> minutes(arrivalSeconds.size(), summaryNoData);
    for (std::size_t i = 0; i < depth.size(); ++i) {
        wet[i] = depth[i] != summaryNoData && depth[i] > wetDepth;
        if (arrivalSeconds[i] != summaryNoData) {
            minutes[i] = static_cast<float>(arrivalSeconds[i] / 60.0);
        }
    }
    GDALAllRegister();
    QuietGdal quiet;
    const GdalDatasetHandle wetRaster = memoryRaster(frame, GDT_Byte, wet.data());
    const GdalDatasetHandle minutesRaster = memoryRaster(frame, GDT_Float32, minutes.data());
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GPKG");
    const std::string memoryFile = memoryFilePath(".gpkg");
    GdalDatasetHandle layers(driver && wetRaster && minutesRaster
                                 ? driver->Create(memoryFile.c_str(), 0, 0, 0, GDT_Unknown, nullptr)
                                 : nullptr);
    if (!layers) {
        problem = quoted(path) + " cannot be created" + gdalReason();
        return false;
    }
    OGRSpatialReference reference;
    const bool referenced =
        !frame.projection.empty() && reference.importFromWkt(frame.projection.c_str()) == OGRERR_NONE;
    OGRLayer* extent = layers->CreateLayer("extent", referenced ? &reference : nullptr, wkbPolygon, nullptr);
    OGRLayer* isochrones =
        layers->CreateLayer("isochrones", referenced ? &reference : nullptr, wkbLineString, nullptr);
    OGRFieldDefn wetField("wet", OFTInteger);
    OGRFieldDefn minutesField("minutes", OFTReal);
    bool made = extent && isochrones && extent->CreateField(&wetField) == OGRERR_NONE &&
                isochrones->CreateField(&minutesField) == OGRERR_NONE;
    // One transaction: a GeoPackage commits every feature on its own otherwise, slowly.
    made = made && layers->StartTransaction() == OGRERR_NONE;
    if (made) {
        GDALRasterBandH wetBand = GDALRasterBand::ToHandle(wetRaster->GetRasterBand(1));
        made = GDALPolygonize(wetBand, wetBand, OGRLayer::ToHandle(extent), 0, nullptr, nullptr, nullptr) ==
               CE_None;
        // Written in full: six decimals would shift every line of an interval such as 1/3 minute.
        const std::string interval = "LEVEL_INTERVAL=" + std::string(CPLSPrintf("%.17g", intervalMinutes));
        const std::string noData = "NODATA=" + std::string(CPLSPrintf("%.17g", summaryNoData));
        const char* options[] = {interval.c_str(), noData.c_str(), "ELEV_FIELD=minutes", nullptr};
        made = made && GDALContourGenerateEx(GDALRasterBand::ToHandle(minutesRaster->GetRasterBand(1)),
                                             OGRLayer::ToHandle(isochrones), const_cast<char**>(options),
                                             nullptr, nullptr) == CE_None;
        made = layers->CommitTransaction() == OGRERR_NONE && made;
    }
    layers.reset();
    std::optional<std::string> bytes = takeMemoryFile(memoryFile);
    if (!made || CPLGetLastErrorType() == CE_Failure || !bytes) {
        problem = quoted(path) + " cannot be written" + gdalReason();
        return false;
    }
    package = std::move(*bytes);
    return true;
}
