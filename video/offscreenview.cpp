#include "offscreenview.h"

#include <osg/GraphicsContext>

namespace {

// Reads the finished picture back: after the screen overlays, which are drawn after the scene's own
// stage (an image attached to the camera would be read before them).
class ReadBackPicture : public osg::Camera::DrawCallback {
public:
    explicit ReadBackPicture(osg::Image* image) : image(image) {}
    void operator()(osg::RenderInfo&) const override {
        image->readPixels(0, 0, image->s(), image->t(), GL_RGB, GL_UNSIGNED_BYTE);
    }

private:
    osg::ref_ptr<osg::Image> image;
};

}  // namespace

bool OffscreenView::open(osg::Node* scene, QSize size, QString& problem) {
    osg::ref_ptr<osg::GraphicsContext::Traits> traits = new osg::GraphicsContext::Traits;
    traits->readDISPLAY();
    traits->setUndefinedScreenDetailsToDefaultScreen();
    traits->x = 0;
    traits->y = 0;
    traits->width = size.width();
    traits->height = size.height();
    traits->red = traits->green = traits->blue = traits->alpha = 8;
    traits->depth = 24;
    traits->pbuffer = true;
    traits->doubleBuffer = false;
    traits->windowDecoration = false;
    osg::ref_ptr<osg::GraphicsContext> context = osg::GraphicsContext::createGraphicsContext(traits.get());
    if (!context || !context->valid()) {
        problem = QString("The display gives no offscreen OpenGL picture of %1 x %2 pixels.")
                      .arg(size.width())
                      .arg(size.height());
        return false;
    }
    pictureSize = size;
    viewer = new osgViewer::Viewer;
    // The scene is the window's: drawn on the thread that changes it, between its changes.
    viewer->setThreadingModel(osgViewer::Viewer::SingleThreaded);
    osg::Camera* camera = viewer->getCamera();
    camera->setGraphicsContext(context.get());
    camera->setViewport(0, 0, size.width(), size.height());
    camera->setDrawBuffer(GL_FRONT);
    camera->setReadBuffer(GL_FRONT);
    image = new osg::Image;
    image->allocateImage(size.width(), size.height(), 1, GL_RGB, GL_UNSIGNED_BYTE);
    camera->setFinalDrawCallback(new ReadBackPicture(image.get()));
    viewer->setSceneData(scene);
    viewer->realize();
    return true;
}

QImage OffscreenView::render(const osg::Matrixd& view, const osg::Matrixd& projection,
                             const osg::Vec4& background) {
    osg::Camera* camera = viewer->getCamera();
    camera->setViewMatrix(view);
    camera->setClearColor(background);
    double fovy = 30.0;
    double aspect = 1.0;
    double zNear = 1.0;
    double zFar = 10000.0;
    // The window's field of view, widened or narrowed sideways to the picture's shape.
    if (projection.getPerspective(fovy, aspect, zNear, zFar)) {
        camera->setProjectionMatrixAsPerspective(
            fovy, static_cast<double>(pictureSize.width()) / pictureSize.height(), zNear, zFar);
    } else {
        camera->setProjectionMatrix(projection);
    }
    viewer->frame();
    // OpenGL's rows run from the bottom up.
    const QImage rows(image->data(), image->s(), image->t(), static_cast<int>(image->getRowStepInBytes()),
                      QImage::Format_RGB888);
    return rows.mirrored();
}
