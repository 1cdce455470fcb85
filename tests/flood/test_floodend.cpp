// When a computed flood is over: after the breach hydrograph, once the water has come to rest.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <string>

#include "cafloodnew.h"
#include "floodend.h"
#include "floodrun.h"
#include "floodtestdata.h"

namespace {

std::vector<float> depths(const CAFlood& engine) {
    std::vector<float> all;
    for (int r = 0; r < engine.rowCount(); ++r) {
        for (int c = 0; c < engine.columnCount(); ++c) {
            all.push_back(cellDepth(engine, r, c));
        }
    }
    return all;
}

// Small to large breaches into a closed valley: each run goes on while water still comes in and comes to
// rest within a simulated hour after that: no cell deeper than 5 cm runs faster than 5 cm/s, and a cell
// without water has no speed at all. Once settled the water stays where it is: ten more minutes move no
// depth by more than a quarter of a metre, a twentieth of one depth colour class of the default range.
// (A scheme that pumps water between a film and its neighbours, or lets a lake slosh for hours, never
// gets there.)
TEST(FloodEndTest, ClosedValleySettlesAfterItsHydrographAndThenStaysStill) {
    for (float capacity : {2000.0f, 20000.0f, 200000.0f}) {
        SCOPED_TRACE(std::to_string(capacity) + " m^3");
        QTemporaryDir folder;
        const ValleyShape valley{40, 40, 10.0f, 0.05f, 0.01f};
        CAFlood engine;
        ASSERT_EQ(
            startFloodRun(engine,
                          writeValley(folder.path().toStdString(), valley, {{18, 37}, {19, 37}, {20, 37}}),
                          smallBreach(capacity)),
            FloodRunStart::Ready);
        const float inflowEnds = engine.hydrographDuration();
        ASSERT_GT(inflowEnds, 0.0f);
        while (engine.simulatedTime() < inflowEnds) {
            EXPECT_FALSE(floodHasSettled(engine)) << "at " << engine.simulatedTime() << " s";
            runUntil(engine, std::min<double>(inflowEnds, engine.simulatedTime() + inflowEnds / 8));
        }
        while (engine.simulatedTime() < inflowEnds + 3600.0 && !floodHasSettled(engine)) {
            engine.step();
        }
        ASSERT_TRUE(floodHasSettled(engine));
        float fastest = 0.0f;
        for (int r = 0; r < engine.rowCount(); ++r) {
            for (int c = 0; c < engine.columnCount(); ++c) {
                const FloodCell& cell = engine.cellRows()[r][c];
                const float depth = cellDepth(engine, r, c);
                if (depth > 0.05f) {
                    fastest = std::max(fastest, cell.speed);
                }
                if (!cell.source && !(depth > 0.0f)) {
                    ASSERT_EQ(cell.speed, 0.0f) << "dry cell at row " << r << ", column " << c;
                }
            }
        }
        EXPECT_LT(fastest, 0.05f);

        const std::vector<float> atRest = depths(engine);
        runUntil(engine, engine.simulatedTime() + 600.0f);
        const std::vector<float> later = depths(engine);
        float largestChange = 0.0f;
        for (std::size_t i = 0; i < later.size(); ++i) {
            largestChange = std::max(largestChange, std::abs(later[i] - atRest[i]));
        }
        EXPECT_LT(largestChange, 0.25f);
    }
}

}  // namespace
