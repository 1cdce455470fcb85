// One tick of a computed flood as the live run and the batch run share it: the excess-volume trim, a
// guard that a volume-keeping step never needs, says how much water it took when it does act.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <sstream>

#include "cafloodnew.h"
#include "floodhud.h"
#include "floodrun.h"
#include "floodtestdata.h"
#include "floodtick.h"
#include "monitorpoints.h"

namespace {

TEST(FloodTickTest, ExcessVolumeTrimSaysHowMuchItRemoved) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const ValleyShape shape{30, 60};
    CAFlood engine;
    ASSERT_EQ(startFloodRun(engine, writeValley(folder.path().toStdString(), shape, {{14, shape.nrows - 3}}),
                            FloodRunSettings{1e6f, 20.0f, 10.0f}),
              FloodRunStart::Ready);
    FloodHud hud;
    MonitorPoints monitors;
    FloodTickSettings settings;
    testing::internal::CaptureStdout();
    for (int tick = 0; tick < 400; ++tick) {
        advanceFloodTick(engine, hud, monitors, settings);
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "the trim has not acted";
    ASSERT_EQ(engine.trimmedVolume(), 0.0);

    // The breach prepared anew with a tenth of its volume: the grid now holds far more water than the
    // new breach releases, and the trim lowers the deepest cells.
    engine.setBreachParameters(1e5f, 20.0f, 10.0f, 0.0f, 0.0f, 1.0f, true);
    ASSERT_TRUE(engine.prepareHydrograph());
    testing::internal::CaptureStdout();
    advanceFloodTick(engine, hud, monitors, settings);
    const std::string said = testing::internal::GetCapturedStdout();
    ASSERT_GT(engine.trimmedVolume(), 0.0);
    std::ostringstream expected;
    expected << "excess-volume trim: removed " << engine.trimmedVolume() << " m^3 by "
             << engine.simulatedTime() << " s (" << engine.trimmedVolume() << " m^3 in all)\n";
    EXPECT_EQ(said, expected.str());

    // A run that keeps its terminal for a progress line says nothing here.
    settings.printDiagnostics = false;
    testing::internal::CaptureStdout();
    const double before = engine.trimmedVolume();
    advanceFloodTick(engine, hud, monitors, settings);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_GT(engine.trimmedVolume(), before);
}

}  // namespace
