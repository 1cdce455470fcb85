#include "debristestdata.h"

#include <cstdio>
#include <fstream>

namespace debristest {

void writeGrid(const std::string& path, int rows, int cols, double cellSize,
               const std::function<double(int, int)>& height, double minX, double minY) {
    std::ofstream file(path, std::ios::binary);
    char number[40];
    file << "ncols " << cols << "\nnrows " << rows << "\n";
    std::snprintf(number, sizeof number, "%.17g", minX);
    file << "xllcorner " << number << "\n";
    std::snprintf(number, sizeof number, "%.17g", minY);
    file << "yllcorner " << number << "\n";
    std::snprintf(number, sizeof number, "%.17g", cellSize);
    file << "cellsize " << number << "\nNODATA_value -9999\n";
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            std::snprintf(number, sizeof number, "%.17g", height(r, c));
            file << (c == 0 ? "" : " ") << number;
        }
        file << "\n";
    }
}

void writeBreach(const std::string& path, const std::vector<BreachCell>& cells, double leadingValue) {
    std::ofstream file(path, std::ios::binary);
    file << leadingValue << "\n" << cells.size() << "\n";
    for (const BreachCell& cell : cells) {
        file << cell.row << " " << cell.col << "\n";
    }
}

std::vector<double> formDefaults() {
    return {2040000, 5.0, 0, 1880, 2650, 0.36, 0, 40.0, 1000, 0.593, 11.64, 0.25, 0.6, 0, 10};
}

}  // namespace debristest
