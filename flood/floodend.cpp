#include "floodend.h"

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
