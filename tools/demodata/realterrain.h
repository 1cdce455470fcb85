#pragma once

#include <QString>
#include <string>
#include <vector>

// One array of a NumPy ".npz" archive (a zip of ".npy" files): its shape and its values, row-major.
struct NpyArray {
    std::vector<std::size_t> shape;  // empty for a single value
    std::vector<double> values;
};

// Reads the array `name` of the ".npz" archive at `path`: little-endian integers and floats of C order.
// False, with the reason naming the file, for anything else.
bool readNpzArray(const std::string& path, const std::string& name, NpyArray& array, std::string& problem);

// Where Debian's python-matplotlib-data package puts a real DEM: 344 x 403 cells of 3 arc-seconds of the
// USGS (public domain), the ridge-and-valley country around the Jacksboro fault in north-east Tennessee.
constexpr const char* jacksboroDemArchive =
    "/usr/share/matplotlib/mpl-data/sample_data/jacksboro_fault_dem.npz";

// Name of the case on real terrain in the scene list.
constexpr const char* realTerrainCaseName = "jacksboro flood";

// Writes the archive's DEM as a GeoTIFF in longitude and latitude (WGS 84) to `tifPath`, builds the flood
// case from it with the data tool's library into `folder` (a dam across a plateau valley that drains
// west), and computes `results` results of its flood with vantorel-batch (`batch`) into its result
// folder. False, with the reason on standard error.
bool buildRealTerrainCase(const std::string& archive, const std::string& tifPath, const QString& folder,
                          const QString& batch, int results);
