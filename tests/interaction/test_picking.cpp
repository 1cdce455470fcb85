// Picking the terrain under the cursor and recording views, through the real window and view.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <osgGA/TrackballManipulator>

#include "mainwindow.h"
#include "modaldriver.h"
#include "pickhandle.h"
#include "testmodels.h"
#include "viewerqt.h"
#include "viewhistory.h"

namespace {

class PickingTest : public ::testing::Test {
protected:
    void SetUp() override {
        pickedPoint.clear();
        showMainWindow(window);
        ASSERT_TRUE(waitUntil([this] { return window.isVisible(); }));
        // A small flat patch centred on a projected map point, filling the view.
        window.sceneRoot()->addChild(makeTerrainPatch(483426.7 - 4, 3434170.2 - 4, 8, 1666.25).get());
        lookDownAt(*window.view(), osg::Vec3d(483426.7, 3434170.2, 1666.25), 40);
        runEventLoop(300);
    }
    QPoint viewCentre() const { return QPoint(window.view()->width() / 2, window.view()->height() / 2); }
    MainWindow window;
};

TEST_F(PickingTest, LeftPressShowsTheHitPointWithSixDigits) {
    QTest::mousePress(window.view(), Qt::LeftButton, Qt::NoModifier, viewCentre());
    QTest::mouseRelease(window.view(), Qt::LeftButton, Qt::NoModifier, viewCentre());
    ASSERT_TRUE(waitUntil([] { return !pickedPoint.empty(); }, 5000));
    EXPECT_NEAR(pickedPoint[0], 483426.7, 0.5);
    EXPECT_NEAR(pickedPoint[1], 3434170.2, 0.5);
    EXPECT_FLOAT_EQ(pickedPoint[2], 1666.25f);
    ASSERT_TRUE(waitUntil([this] { return !window.coordinateLabel()->text().isEmpty(); }, 2000));
    EXPECT_EQ(window.coordinateLabel()->text(), "( X:483427, Y:3.43417e+06, Z:1666.25)");
}

TEST_F(PickingTest, MissesAndOtherButtonsLeaveThePreviousPoint) {
    QTest::mousePress(window.view(), Qt::RightButton, Qt::NoModifier, viewCentre());
    QTest::mouseRelease(window.view(), Qt::RightButton, Qt::NoModifier, viewCentre());
    runEventLoop(200);
    EXPECT_TRUE(pickedPoint.empty());

    QTest::mousePress(window.view(), Qt::LeftButton, Qt::NoModifier, viewCentre());
    QTest::mouseRelease(window.view(), Qt::LeftButton, Qt::NoModifier, viewCentre());
    ASSERT_TRUE(waitUntil([] { return !pickedPoint.empty(); }, 5000));
    const std::vector<float> hit = pickedPoint;

    // The patch does not reach the corner of the view.
    QTest::mousePress(window.view(), Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    QTest::mouseRelease(window.view(), Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    runEventLoop(200);
    EXPECT_EQ(pickedPoint, hit);
    EXPECT_EQ(window.coordinateLabel()->text(), coordinateText(hit));
}

TEST_F(PickingTest, EveryReleaseInTheViewRecordsTheView) {
    const std::size_t before = viewEyes.size();
    QTest::mouseClick(window.view(), Qt::LeftButton, Qt::NoModifier, viewCentre());
    QTest::mouseClick(window.view(), Qt::MiddleButton, Qt::NoModifier, viewCentre());
    ASSERT_TRUE(waitUntil([before] { return viewEyes.size() == before + 2; }, 5000));
    EXPECT_EQ(viewIndex, static_cast<int>(viewEyes.size()));
    // The recorded centre lies far along the line of sight, as the case-study viewpoints do.
    EXPECT_GT((viewCenters.back() - viewEyes.back()).length(), 1e29);
}

}  // namespace
