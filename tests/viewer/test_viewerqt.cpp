// The embedded view: what reaches OSG from Qt input, and what the view draws.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWheelEvent>
#include <ctime>
#include <functional>
#include <osgGA/EventQueue>
#include <osgGA/TrackballManipulator>

#include "modaldriver.h"
#include "viewerqt.h"

namespace {

class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override {
        viewer = new ViewerQT;
        viewer->resize(400, 300);
        viewer->show();
        ASSERT_TRUE(waitUntil([this] { return viewer->isVisible(); }));
        runEventLoop(100);
    }
    void TearDown() override {
        viewer->hide();
        delete static_cast<AdapterWidget*>(viewer);
    }

    // The events the widget queued for OSG since the last call, before a frame consumes them.
    osgGA::EventQueue::Events takeEvents() {
        osgGA::EventQueue::Events events;
        viewer->getGraphicsWindow()->getEventQueue()->takeEvents(events);
        return events;
    }

    ViewerQT* viewer = nullptr;
};

TEST_F(ViewerTest, KeysAreTranslatedByKeyCodeAndUnknownKeysBecomeZero) {
    const std::pair<Qt::Key, int> table[] = {
        {Qt::Key_Space, ' '},
        {Qt::Key_H, 'h'},
        {Qt::Key_L, 'l'},
        {Qt::Key_Q, 'q'},
        {Qt::Key_S, 's'},
        {Qt::Key_W, 'w'},
        {Qt::Key_Home, osgGA::GUIEventAdapter::KEY_Home},
        {Qt::Key_F, 0},
        {Qt::Key_Escape, 0},
        {Qt::Key_A, 0},
    };
    for (const auto& [qtKey, osgKey] : table) {
        takeEvents();
        // Shifted, as a capital letter: the code sent depends on the key, not on the typed text.
        QKeyEvent press(QEvent::KeyPress, qtKey, Qt::ShiftModifier, QString(QChar(qtKey)).toUpper());
        QKeyEvent release(QEvent::KeyRelease, qtKey, Qt::ShiftModifier, QString(QChar(qtKey)).toUpper());
        QApplication::sendEvent(viewer, &press);
        QApplication::sendEvent(viewer, &release);
        const osgGA::EventQueue::Events events = takeEvents();
        ASSERT_EQ(events.size(), 2u) << qtKey;
        const auto* down = events.front()->asGUIEventAdapter();
        const auto* up = events.back()->asGUIEventAdapter();
        EXPECT_EQ(down->getEventType(), osgGA::GUIEventAdapter::KEYDOWN);
        EXPECT_EQ(down->getKey(), osgKey) << "Qt key " << qtKey;
        EXPECT_EQ(up->getEventType(), osgGA::GUIEventAdapter::KEYUP);
        EXPECT_EQ(up->getKey(), osgKey) << "Qt key " << qtKey;
    }
}

TEST_F(ViewerTest, MouseButtonsAndMotionKeepWidgetCoordinates) {
    const std::pair<Qt::MouseButton, int> table[] = {
        {Qt::LeftButton, osgGA::GUIEventAdapter::LEFT_MOUSE_BUTTON},
        {Qt::MiddleButton, osgGA::GUIEventAdapter::MIDDLE_MOUSE_BUTTON},
        {Qt::RightButton, osgGA::GUIEventAdapter::RIGHT_MOUSE_BUTTON},
    };
    for (const auto& [qtButton, osgButton] : table) {
        takeEvents();
        QTest::mousePress(viewer, qtButton, Qt::NoModifier, QPoint(37, 81));
        QTest::mouseRelease(viewer, qtButton, Qt::NoModifier, QPoint(39, 85));
        const osgGA::EventQueue::Events events = takeEvents();
        ASSERT_EQ(events.size(), 2u);
        const auto* press = events.front()->asGUIEventAdapter();
        const auto* release = events.back()->asGUIEventAdapter();
        EXPECT_EQ(press->getEventType(), osgGA::GUIEventAdapter::PUSH);
        EXPECT_EQ(press->getButton(), osgButton);
        EXPECT_FLOAT_EQ(press->getX(), 37);
        EXPECT_FLOAT_EQ(press->getY(), 81);
        EXPECT_EQ(release->getEventType(), osgGA::GUIEventAdapter::RELEASE);
        EXPECT_EQ(release->getButton(), osgButton);
        EXPECT_FLOAT_EQ(release->getX(), 39);
    }

    takeEvents();
    QMouseEvent move(QEvent::MouseMove, QPointF(120, 45), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewer, &move);
    const osgGA::EventQueue::Events moved = takeEvents();
    ASSERT_EQ(moved.size(), 1u);
    const auto* motion = moved.front()->asGUIEventAdapter();
    // No button is down on the OSG side any more, so the motion is a plain move.
    EXPECT_EQ(motion->getEventType(), osgGA::GUIEventAdapter::MOVE);
    EXPECT_FLOAT_EQ(motion->getX(), 120);
    EXPECT_FLOAT_EQ(motion->getY(), 45);

    EXPECT_EQ(AdapterWidget::translateButton(Qt::BackButton), 0);
}

TEST_F(ViewerTest, WheelNeverReachesOsg) {
    takeEvents();
    QWheelEvent wheel(QPointF(50, 50), viewer->mapToGlobal(QPoint(50, 50)), QPoint(0, 120), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewer, &wheel);
    EXPECT_TRUE(takeEvents().empty());
}

TEST_F(ViewerTest, ResizingUpdatesTheOsgWindowAndViewport) {
    viewer->resize(520, 260);
    runEventLoop(200);
    const osg::Viewport* viewport = viewer->getCamera()->getViewport();
    EXPECT_EQ(viewport->width(), 520);
    EXPECT_EQ(viewport->height(), 260);
    int x = 0, y = 0, width = 0, height = 0;
    viewer->getGraphicsWindow()->getWindowRectangle(x, y, width, height);
    EXPECT_EQ(width, 520);
    EXPECT_EQ(height, 260);
}

// Processor time of the whole process (the software renderer's threads included), s.
double processorSeconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

TEST_F(ViewerTest, DrawsWhenSomethingChangedAndIdlesOtherwise) {
    osg::ref_ptr<osg::Group> scene = new osg::Group;
    viewer->setSceneData(scene.get());
    viewer->setCameraManipulator(new osgGA::TrackballManipulator);
    runEventLoop(300);
    const auto frameNumber = [this] { return viewer->getFrameStamp()->getFrameNumber(); };

    // Idle: no frame, and less than 3 % of a core.
    const unsigned settled = frameNumber();
    const double before = processorSeconds();
    idleEventLoop(2000);
    EXPECT_EQ(frameNumber(), settled);
    EXPECT_LT(processorSeconds() - before, 0.03 * 2.0);

    osg::ref_ptr<osg::Group> child = new osg::Group;
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"a node added to the scene", [&] { scene->addChild(child.get()); }},
        {"a node added below it", [&] { child->addChild(new osg::Group); }},
        {"a node taken away", [&] { scene->removeChild(child.get()); }},
        {"the camera moved by code",
         [&] { viewer->getCameraManipulator()->setByMatrix(osg::Matrixd::translate(0, 0, 50)); }},
        {"a frame asked for", [&] { viewer->requestRedraw(); }},
        {"input",
         [&] {
             // A drag: a plain move reaches no widget that does not track the mouse.
             QMouseEvent move(QEvent::MouseMove, QPointF(20, 30), Qt::NoButton, Qt::LeftButton,
                              Qt::NoModifier);
             QApplication::sendEvent(viewer, &move);
         }},
    };
    for (const auto& [what, change] : changes) {
        const unsigned drawn = frameNumber();
        change();
        EXPECT_TRUE(waitUntil([&] { return frameNumber() > drawn; }, 2000)) << what;
        runEventLoop(100);
        const unsigned after = frameNumber();
        runEventLoop(200);
        EXPECT_EQ(frameNumber(), after) << "idle again after " << what;
    }
    EXPECT_EQ(viewer->getThreadingModel(), osgViewer::ViewerBase::SingleThreaded);
    const QImage frame = viewer->grabFrameBuffer();
    EXPECT_EQ(frame.pixelColor(frame.width() / 2, frame.height() / 2), QColor(Qt::white));
}

}  // namespace
