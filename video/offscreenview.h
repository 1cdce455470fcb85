#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <osg/Camera>
#include <osg/Image>
#include <osg/Node>
#include <osg/ref_ptr>
#include <osgViewer/Viewer>

// Draws a scene into a picture of a fixed size, away from the screen (an OpenGL pbuffer), from the
// viewpoint of another camera: the view of the window, at the size a film needs whatever the size of
// the window. Its overlays (clock, legend) are screen overlays and fill the picture as they fill the view.
class OffscreenView {
public:
    OffscreenView() = default;
    OffscreenView(const OffscreenView&) = delete;
    OffscreenView& operator=(const OffscreenView&) = delete;

    // Prepares the drawing of `scene` at `size`. False, with the reason in `problem`, when the display
    // gives no offscreen OpenGL context of that size.
    bool open(osg::Node* scene, QSize size, QString& problem);

    // The scene drawn now from the view matrix `view`, with the vertical field of view of `projection`
    // (a perspective; another projection is taken as it is) over `background`.
    QImage render(const osg::Matrixd& view, const osg::Matrixd& projection, const osg::Vec4& background);

    QSize size() const { return pictureSize; }

private:
    QSize pictureSize;
    osg::ref_ptr<osgViewer::Viewer> viewer;
    osg::ref_ptr<osg::Image> image;
};
