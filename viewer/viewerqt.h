#pragma once

#include <QGLWidget>
#include <QTimer>
#include <osgViewer/GraphicsWindow>
#include <osgViewer/Viewer>
#include <vector>

// A Qt OpenGL widget that owns an embedded OSG graphics window and feeds it the widget's input events.
// The mouse wheel is deliberately not forwarded: the view does not zoom with it.
class AdapterWidget : public QGLWidget {
    Q_OBJECT

public:
    explicit AdapterWidget(QWidget* parent = nullptr);

    osgViewer::GraphicsWindow* getGraphicsWindow() { return graphicsWindow.get(); }
    const osgViewer::GraphicsWindow* getGraphicsWindow() const { return graphicsWindow.get(); }

    // Qt button to OSG button number: left 1, middle 2, right 3, anything else 0.
    static int translateButton(Qt::MouseButton button);
    // Qt key to the OSG key code the view understands; keys outside the table become 0.
    static int translateKey(int qtKey);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void initializeGL() override;
    void resizeGL(int width, int height) override;

    osg::ref_ptr<osgViewer::GraphicsWindowEmbedded> graphicsWindow;
};

// The 3-D view: an OSG viewer drawn into the adapter widget, one complete frame per repaint.
// Single-threaded, because the GL context belongs to the GUI thread and the main window changes the
// scene graph from its slots between frames.
//
// It draws on demand: every 10 ms it looks whether anything calls for a frame (input waiting, a
// manipulator or animation asking for updates, a request, the camera moved by code, a node added to or
// taken from the upper levels of the scene) and repaints only then, so an idle view costs next to
// nothing.
class ViewerQT : public osgViewer::Viewer, public AdapterWidget {
public:
    explicit ViewerQT(QWidget* parent = nullptr);

    static constexpr int redrawIntervalMs = 10;

    // True when the view would draw at its next look: the test of the redraw timer.
    bool frameWanted();

protected:
    void paintGL() override;

    QTimer redrawTimer;

private:
    // What the last frame showed of the scene's upper levels and the camera, to see what changed since.
    std::vector<double> sceneOutline() const;

    std::vector<double> drawnOutline;
};
