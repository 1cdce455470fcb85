#include "screenoverlay.h"

#include <osg/Transform>
#include <osgText/Font>
#include <osgUtil/CullVisitor>

namespace {

// Pixels from a corner of the view to the unit square its holder maps onto the view. The view is the one
// being culled, read at every traversal: the same overlay may be drawn in the window and in a film.
class ViewCornerTransform : public osg::Transform {
public:
    ViewCornerTransform(ViewCorner corner, float needsWidth) : corner(corner), needsWidth(needsWidth) {
        setReferenceFrame(ABSOLUTE_RF);
        // Its bound, computed without a view, says nothing about where it lies on the screen.
        setCullingActive(false);
    }

    bool computeLocalToWorldMatrix(osg::Matrix& matrix, osg::NodeVisitor* visitor) const override {
        matrix = pixelsToUnitSquare(visitor);
        return true;
    }

    bool computeWorldToLocalMatrix(osg::Matrix& matrix, osg::NodeVisitor* visitor) const override {
        matrix.invert(pixelsToUnitSquare(visitor));
        return true;
    }

private:
    osg::Matrix pixelsToUnitSquare(osg::NodeVisitor* visitor) const {
        const osgUtil::CullVisitor* cull = visitor ? visitor->asCullVisitor() : nullptr;
        const osg::Viewport* viewport = cull ? cull->getViewport() : nullptr;
        // Outside a drawing traversal there is no view: one pixel stands for the whole of it.
        const double width = viewport && viewport->width() > 0 ? viewport->width() : 1.0;
        const double height = viewport && viewport->height() > 0 ? viewport->height() : 1.0;
        const double shrink = viewport && width < needsWidth ? width / needsWidth : 1.0;
        return osg::Matrix::scale(shrink, shrink, 1.0) * osg::Matrix::translate(viewCornerPoint(corner, width, height)) *
               osg::Matrix::scale(1.0 / width, 1.0 / height, 1.0);
    }

    ViewCorner corner;
    double needsWidth;
};

}  // namespace

osg::Vec3 viewCornerPoint(ViewCorner corner, double width, double height) {
    const bool right = corner == ViewCorner::LowerRight || corner == ViewCorner::UpperRight;
    const bool upper = corner == ViewCorner::UpperLeft || corner == ViewCorner::UpperRight;
    return osg::Vec3(right ? static_cast<float>(width) : 0.0f, upper ? static_cast<float>(height) : 0.0f, 0.0f);
}

void anchorToViewCorner(osg::Group& holder, osg::Node* content, ViewCorner corner, float needsWidthPixels) {
    osg::ref_ptr<osg::Transform> placement = new ViewCornerTransform(corner, needsWidthPixels);
    placement->addChild(content);
    holder.addChild(placement);
}

osg::ref_ptr<osg::Camera> makeScreenOverlayCamera(osg::Node* content, ViewCorner corner, float needsWidthPixels) {
    osg::ref_ptr<osg::Camera> camera = new osg::Camera;
    camera->setProjectionMatrix(osg::Matrixd::ortho2D(0, 1, 0, 1));
    camera->setReferenceFrame(osg::Transform::ABSOLUTE_RF);
    camera->setViewMatrix(osg::Matrixd::identity());
    camera->setClearMask(GL_DEPTH_BUFFER_BIT);
    camera->setAllowEventFocus(false);
    camera->setRenderOrder(osg::Camera::POST_RENDER, 0);
    anchorToViewCorner(*camera, content, corner, needsWidthPixels);
    return camera;
}

osg::ref_ptr<osg::Geode> makeOverlayGeode() {
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    osg::StateSet* state = geode->getOrCreateStateSet();
    state->setMode(GL_LIGHTING, osg::StateAttribute::OFF);
    state->setMode(GL_DEPTH_TEST, osg::StateAttribute::OFF);
    state->setMode(GL_BLEND, osg::StateAttribute::ON);
    return geode;
}

osg::ref_ptr<osgText::Text> makeOverlayText(const std::string& utf8, const osg::Vec3& position, float size,
                                            const osg::Vec4& colour) {
    osg::ref_ptr<osgText::Text> text = new osgText::Text;
    text->setFont(osgText::readRefFontFile("fonts/simhei.ttf"));
    text->setPosition(position);
    text->setColor(colour);
    text->setCharacterSize(size);
    text->setText(utf8, osgText::String::ENCODING_UTF8);
    return text;
}
