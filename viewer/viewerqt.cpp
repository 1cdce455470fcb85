#include "viewerqt.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <osgGA/GUIEventAdapter>
#include <osgViewer/ViewerEventHandlers>

AdapterWidget::AdapterWidget(QWidget* parent) : QGLWidget(parent, nullptr, Qt::WindowFlags()) {
    graphicsWindow = new osgViewer::GraphicsWindowEmbedded(0, 0, width(), height());
    setFocusPolicy(Qt::ClickFocus);
}

int AdapterWidget::translateButton(Qt::MouseButton button) {
    switch (button) {
        case Qt::LeftButton:
            return 1;
        case Qt::MiddleButton:
            return 2;
        case Qt::RightButton:
            return 3;
        default:
            return 0;
    }
}

int AdapterWidget::translateKey(int qtKey) {
    switch (qtKey) {
        case Qt::Key_Space:
            return ' ';
        case Qt::Key_H:
            return 'h';
        case Qt::Key_L:
            return 'l';
        case Qt::Key_Q:
            return 'q';
        case Qt::Key_S:
            return 's';
        case Qt::Key_W:
            return 'w';
        case Qt::Key_Home:
            return osgGA::GUIEventAdapter::KEY_Home;
        default:
            return 0;
    }
}

void AdapterWidget::mousePressEvent(QMouseEvent* event) {
    graphicsWindow->getEventQueue()->mouseButtonPress(event->x(), event->y(),
                                                      translateButton(event->button()));
}

void AdapterWidget::mouseReleaseEvent(QMouseEvent* event) {
    graphicsWindow->getEventQueue()->mouseButtonRelease(event->x(), event->y(),
                                                        translateButton(event->button()));
}

void AdapterWidget::mouseMoveEvent(QMouseEvent* event) {
    graphicsWindow->getEventQueue()->mouseMotion(event->x(), event->y());
}

void AdapterWidget::keyPressEvent(QKeyEvent* event) {
    graphicsWindow->getEventQueue()->keyPress(translateKey(event->key()), 0);
}

void AdapterWidget::keyReleaseEvent(QKeyEvent* event) {
    graphicsWindow->getEventQueue()->keyRelease(translateKey(event->key()), 0);
}

void AdapterWidget::initializeGL() {}

void AdapterWidget::resizeGL(int width, int height) {
    graphicsWindow->getEventQueue()->windowResize(0, 0, width, height);
    graphicsWindow->resized(0, 0, width, height);
}

ViewerQT::ViewerQT(QWidget* parent) : osgViewer::Viewer(), AdapterWidget(parent), redrawTimer() {
    osg::Camera* camera = getCamera();
    camera->setViewport(new osg::Viewport(0, 0, width(), height()));
    camera->setProjectionMatrixAsPerspective(
        30.0, static_cast<double>(width()) / static_cast<double>(height()), 1.0, 10000.0);
    camera->setGraphicsContext(getGraphicsWindow());
    camera->setClearColor(osg::Vec4(1.0f, 1.0f, 1.0f, 1.0f));

    addEventHandler(new osgViewer::WindowSizeHandler);
    addEventHandler(new osgViewer::StatsHandler);
    addEventHandler(new osgViewer::HelpHandler(nullptr));
    addEventHandler(new osgViewer::ScreenCaptureHandler(nullptr, 1));

    setThreadingModel(osgViewer::Viewer::SingleThreaded);

    QObject::connect(&redrawTimer, SIGNAL(timeout()), this, SLOT(updateGL()));
    redrawTimer.start(redrawIntervalMs);
}

void ViewerQT::paintGL() {
    frame();
}
