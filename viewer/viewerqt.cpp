#include "viewerqt.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <cstdint>
#include <osg/MatrixTransform>
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

    QObject::connect(&redrawTimer, &QTimer::timeout, this, [this] {
        if (frameWanted()) {
            updateGL();
        }
    });
    redrawTimer.start(redrawIntervalMs);
}

namespace {

// Levels of the scene below its root whose nodes count in the outline: the window adds and removes
// frames, overlays and marks as children of the root or of its groups.
constexpr int outlineDepth = 3;

void addOutline(const osg::Node& node, int depth, std::vector<double>& outline) {
    outline.push_back(static_cast<double>(reinterpret_cast<std::uintptr_t>(&node)));
    if (const osg::MatrixTransform* transform = dynamic_cast<const osg::MatrixTransform*>(&node)) {
        const osg::Matrixd& matrix = transform->getMatrix();
        outline.insert(outline.end(), matrix.ptr(), matrix.ptr() + 16);
    }
    const osg::Group* group = node.asGroup();
    if (!group) {
        return;
    }
    outline.push_back(group->getNumChildren());
    if (depth < outlineDepth) {
        for (unsigned i = 0; i < group->getNumChildren(); ++i) {
            addOutline(*group->getChild(i), depth + 1, outline);
        }
    }
}

}  // namespace

std::vector<double> ViewerQT::sceneOutline() const {
    std::vector<double> outline;
    // The view the manipulator asks for: a camera moved by code changes it without any event.
    if (const osgGA::CameraManipulator* manipulator = getCameraManipulator()) {
        const osg::Matrixd view = manipulator->getInverseMatrix();
        outline.insert(outline.end(), view.ptr(), view.ptr() + 16);
    }
    outline.push_back(width());
    outline.push_back(height());
    if (const osg::Node* scene = getSceneData()) {
        addOutline(*scene, 0, outline);
    }
    return outline;
}

bool ViewerQT::frameWanted() {
    // Input reaches the handlers and the manipulator only inside a frame.
    return !getGraphicsWindow()->getEventQueue()->empty() || checkNeedToDoFrame() ||
           sceneOutline() != drawnOutline;
}

void ViewerQT::paintGL() {
    frame();
    drawnOutline = sceneOutline();
}
