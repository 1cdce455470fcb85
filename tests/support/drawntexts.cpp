#include "drawntexts.h"

#include <algorithm>
#include <osgText/Text>
#include <osgUtil/RenderStage>
#include <osgUtil/SceneView>
#include <osgViewer/Renderer>

namespace {

// The glyph box with its frame margin and the matrix of the text's last drawing, which OSG keeps to
// itself; pointers to the members, taken in a derived class, read them.
struct TextLayout : osgText::Text {
    static const osg::BoundingBox& box(const osgText::Text& text) { return text.*(&TextLayout::_textBBWithMargin); }
};

struct Collector {
    osg::Matrix sceneProjection;
    const osg::Viewport* viewport;
    std::vector<DrawnText> texts;

    void leaf(const osgUtil::RenderLeaf& leaf, bool ownCamera) {
        const auto* text = dynamic_cast<const osgText::Text*>(leaf.getDrawable());
        if (!text) {
            return;
        }
        const osg::Matrix& projection = *leaf._projection;
        const osg::Matrix toScreen =
            text->getMatrix() * *leaf._modelview * projection * viewport->computeWindowMatrix();
        const osg::BoundingBox& box = TextLayout::box(*text);
        DrawnText drawn{text->getText().createUTF8EncodedString(), 1e300, 1e300, -1e300, -1e300, 0, 0, false};
        for (int corner = 0; corner < 4; ++corner) {
            const osg::Vec3 at = box.corner(corner) * toScreen;
            drawn.left = std::min(drawn.left, double(at.x()));
            drawn.right = std::max(drawn.right, double(at.x()));
            drawn.bottom = std::min(drawn.bottom, double(at.y()));
            drawn.top = std::max(drawn.top, double(at.y()));
        }
        const osg::Vec3 origin = box.center() * toScreen;
        const double across = ((box.center() + osg::Vec3(1, 0, 0)) * toScreen - origin).length();
        const double up = ((box.center() + osg::Vec3(0, 1, 0)) * toScreen - origin).length();
        drawn.characterPixels = text->getCharacterHeight() * up;
        drawn.stretch = across / up;
        // The depth range the view fits to the scene after culling leaves the scale across and up alone.
        drawn.overlay = ownCamera || projection(0, 0) != sceneProjection(0, 0) ||
                        projection(1, 1) != sceneProjection(1, 1);
        texts.push_back(drawn);
    }
    void bin(const osgUtil::RenderBin& bin, bool ownCamera) {
        for (const auto& each : bin.getRenderLeafList()) {
            leaf(*each, ownCamera);
        }
        for (const osgUtil::StateGraph* graph : bin.getStateGraphList()) {
            for (const auto& each : graph->_leaves) {
                leaf(*each, ownCamera);
            }
        }
        for (const auto& inner : bin.getRenderBinList()) {
            this->bin(*inner.second, ownCamera);
        }
        if (const auto* stage = dynamic_cast<const osgUtil::RenderStage*>(&bin)) {
            for (const auto& after : stage->getPostRenderList()) {
                this->bin(*after.second, true);
            }
        }
    }
};

}  // namespace

std::string DrawnText::where() const {
    return "(" + std::to_string(int(left)) + ", " + std::to_string(int(bottom)) + ") - (" +
           std::to_string(int(right)) + ", " + std::to_string(int(top)) + ")";
}

std::vector<DrawnText> textsOfLastFrame(osgViewer::Viewer& viewer, double& width, double& height) {
    osg::Camera* camera = viewer.getCamera();
    Collector collector{camera->getProjectionMatrix(), camera->getViewport(), {}};
    width = collector.viewport ? collector.viewport->width() : 0.0;
    height = collector.viewport ? collector.viewport->height() : 0.0;
    auto* renderer = dynamic_cast<osgViewer::Renderer*>(camera->getRenderer());
    // A single-threaded view culls and draws with its first scene view.
    const osgUtil::SceneView* sceneView = renderer ? renderer->getSceneView(0) : nullptr;
    if (sceneView && sceneView->getRenderStage() && collector.viewport) {
        collector.bin(*sceneView->getRenderStage(), false);
    }
    return collector.texts;
}
