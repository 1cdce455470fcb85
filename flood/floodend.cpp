#include "floodend.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include "cafloodnew.h"

bool floodHasSettled(const CAFlood& engine, float restSpeed) {
    if (engine.simulatedTime() < engine.hydrographDuration()) {
        return false;
    }
    const FloodCell* const* rows = engine.cellRows();
    if (!rows) {
        return true;
    }
    for (int r = 0; r < engine.rowCount(); ++r) {
        for (int c = 0; c < engine.columnCount(); ++c) {
            const FloodCell& cell = rows[r][c];
            if (cell.surfaceOld - cell.ground >= floodRestMinimumDepth && cell.speed > restSpeed) {
                return false;
            }
        }
    }
    return true;
}

long long resultSetBytes(const std::string& folder, int number) {
    long long bytes = 0;
    const QFileInfoList files = QDir(QString::fromLocal8Bit(folder.c_str()))
                                    .entryInfoList({QString("%1.*").arg(number)}, QDir::Files);
    for (const QFileInfo& file : files) {
        bytes += file.size();
    }
    return bytes;
}

bool diskHasRoomForResults(const std::string& folder, long long lastResultBytes) {
    const QStorageInfo disk(QString::fromLocal8Bit(folder.c_str()));
    // Pseudo file systems (such as /proc) report no size at all; their writes fail on their own.
    if (!disk.isValid() || !disk.isReady() || disk.bytesTotal() <= 0) {
        return true;
    }
    return disk.bytesAvailable() > resultDiskReserve + 4 * lastResultBytes;
}
