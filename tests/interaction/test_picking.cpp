// Picking the terrain under the cursor and recording views, through the real window and view.
#include <gtest/gtest.h>

#include <QLabel>
#include <QRegularExpression>
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
        showMainWindow(window);
        ASSERT_TRUE(waitUntil([this] { return window.isVisible(); }));
        // A small flat patch centred on a projected map point, filling the view.
        window.sceneRoot()->addChild(makeTerrainPatch(483426.7 - 4, 3434170.2 - 4, 8, 1666.25).get());
        lookDownAt(*window.view(), osg::Vec3d(483426.7, 3434170.2, 1666.25), 40);
        runEventLoop(300);
    }
    QPoint viewCentre() const { return QPoint(window.view()->width() / 2, window.view()->height() / 2); }
    const std::optional<osg::Vec3d>& picked() const { return window.pickHandler().picked(); }
    MainWindow window;
};

TEST_F(PickingTest, LeftPressShowsTheHitPointToTheCentimetre) {
    QTest::mousePress(window.view(), Qt::LeftButton, Qt::NoModifier, viewCentre());
    QTest::mouseRelease(window.view(), Qt::LeftButton, Qt::NoModifier, viewCentre());
    ASSERT_TRUE(waitUntil([this] { return picked().has_value(); }, 5000));
    const osg::Vec3d hit = *picked();
    EXPECT_NEAR(hit.x(), 483426.7, 0.5);
    EXPECT_NEAR(hit.y(), 3434170.2, 0.5);
    EXPECT_NEAR(hit.z(), 1666.25, 0.01);
    // The label follows the pick without waiting for a poll.
    EXPECT_FALSE(window.coordinateLabel()->text().isEmpty());
    // The northing keeps its metres and centimetres (six significant digits rounded it to tens of metres).
    const QString text = window.coordinateLabel()->text();
    const QRegularExpressionMatch shown =
        QRegularExpression("^\\( X:(\\d+\\.\\d\\d), Y:(\\d+\\.\\d\\d), Z:(\\d+\\.\\d\\d)\\)$").match(text);
    ASSERT_TRUE(shown.hasMatch()) << text.toStdString();
    EXPECT_NEAR(shown.captured(1).toDouble(), hit.x(), 0.006);
    EXPECT_NEAR(shown.captured(2).toDouble(), hit.y(), 0.006);
    EXPECT_EQ(shown.captured(3), "1666.25");
    EXPECT_EQ(coordinateText(osg::Vec3d(483426.7, 3434170.204, -12.5)), "( X:483426.70, Y:3434170.20, Z:-12.50)");
}

TEST_F(PickingTest, MissesAndOtherButtonsLeaveThePreviousPoint) {
    QTest::mousePress(window.view(), Qt::RightButton, Qt::NoModifier, viewCentre());
    QTest::mouseRelease(window.view(), Qt::RightButton, Qt::NoModifier, viewCentre());
    runEventLoop(200);
    EXPECT_FALSE(picked().has_value());
    EXPECT_TRUE(window.coordinateLabel()->text().isEmpty());

    QTest::mousePress(window.view(), Qt::LeftButton, Qt::NoModifier, viewCentre());
    QTest::mouseRelease(window.view(), Qt::LeftButton, Qt::NoModifier, viewCentre());
    ASSERT_TRUE(waitUntil([this] { return picked().has_value(); }, 5000));
    const osg::Vec3d hit = *picked();

    // The patch does not reach the corner of the view.
    QTest::mousePress(window.view(), Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    QTest::mouseRelease(window.view(), Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    runEventLoop(200);
    EXPECT_EQ(*picked(), hit);
    EXPECT_EQ(window.coordinateLabel()->text(), coordinateText(hit));
}

TEST_F(PickingTest, EveryReleaseInTheViewRecordsTheView) {
    const ViewHistory& history = window.viewHistory();
    const std::size_t before = history.size();
    QTest::mouseClick(window.view(), Qt::LeftButton, Qt::NoModifier, viewCentre());
    QTest::mouseClick(window.view(), Qt::MiddleButton, Qt::NoModifier, viewCentre());
    ASSERT_TRUE(waitUntil([&history, before] { return history.size() == before + 2; }, 5000));
    EXPECT_EQ(history.currentPosition(), static_cast<int>(history.size()));
    // The recorded centre lies far along the line of sight, as the case-study viewpoints do.
    const RecordedView& last = history.at(history.size() - 1);
    EXPECT_GT((last.center - last.eye).length(), 1e29);
}

}  // namespace
